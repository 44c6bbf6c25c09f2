// The direct AVI output through the AVIFile interface: one stream of the
// chosen compressor, one sample per captured picture at its position in time
// (positions of owed ticks are left out; AVIFile marks them as empty frames),
// and the finish through the copy of AvwFinish_win.cpp, since the platform
// adds no stream to a file whose frames are already written.
#include <windows.h>
#include <vfw.h>

#include <cstring>

#include "AviOutput.h"
#include "AvwFinish.h"
#include "BmpHeader_win.h"
#include "ByteReader.h"
#include "DibHelpers.h"
#include "SoundFitting.h"
#include "SysUtils.h"

struct AviOutput::Streams {
  PAVIFILE file = nullptr;
  PAVISTREAM compressed = nullptr;
  bool formatSet = false;
  std::vector<uint8_t> formatBuffer;
};

namespace {

int bitsOf(int32_t pixelFormat) {
  switch (pixelFormat) {
    case pf8bit: return 8;
    case pf15bit:
    case pf16bit: return 16;
    case pf24bit: return 24;
    default: return 32;  // pf32bit and pfDevice
  }
}

uint32_t imageSize(int width, int height, int bits) {
  return static_cast<uint32_t>((bits * width + 31) / 32 * 4) * static_cast<uint32_t>(height);
}

// Frees a packed DIB from makePackedDib on every path.
struct PackedDib {
  HGLOBAL block = nullptr;
  const uint8_t* data = nullptr;
  ~PackedDib() {
    if (block) {
      GlobalUnlock(block);
      GlobalFree(block);
    }
  }
  bool make(const TBitmap& bitmap, int bits) {
    // Handle() creates the DIB section on demand; it does not touch the pixels.
    block = static_cast<HGLOBAL>(makePackedDib(const_cast<TBitmap&>(bitmap).Handle(), bits));
    if (block) data = static_cast<const uint8_t*>(GlobalLock(block));
    return data != nullptr;
  }
  const BITMAPINFOHEADER& header() const { return *reinterpret_cast<const BITMAPINFOHEADER*>(data); }
  uint32_t formatSize() const { return header().biSize + header().biClrUsed * 4; }
};

}  // namespace

AviOutput::AviOutput(const AnsiString& aviPath, const AviOutputOptions& options, FormatsHost* host)
    : aviPath_(aviPath), path_(aviPath), options_(options), host_(host) {}

AviOutput::~AviOutput() { close(); }

void AviOutput::close() {
  if (!streams_) return;
  if (streams_->compressed) AVIStreamRelease(streams_->compressed);
  if (streams_->file) AVIFileRelease(streams_->file);
  AVIFileExit();
  streams_.reset();
}

bool AviOutput::open(const LxHeader& header) {
  if (streams_ || header.width <= 0 || header.height <= 0) return false;
  uint32_t scale = 0, rate = 0;
  if (!aviTimeBase(header.msPerFrame, scale, rate)) return false;
  header_ = header;
  frames_ = dropped_ = 0;
  failed_ = false;
  owedTail_.clear();
  // The unfinished name until the finish: ".avi" with its last letter "w".
  path_ = AnsiString(aviPath_.str().substr(0, aviPath_.Length() - 1)) + "w";

  streams_ = std::make_unique<Streams>();
  AVIFileInit();
  if (AVIFileOpenW(&streams_->file, Cp936ToWide(path_).c_str(),
                   OF_CREATE | OF_SHARE_EXCLUSIVE | OF_WRITE, nullptr) != 0) {
    streams_->file = nullptr;
    failure_ = "创建AVI文件失败";
    close();
    return false;
  }
  const int bits = bitsOf(header.pixelFormat);
  AVISTREAMINFOW info{};
  info.fccType = streamtypeVIDEO;
  info.fccHandler = options_.fccHandler;
  info.dwScale = scale;
  info.dwRate = rate;
  info.dwSuggestedBufferSize = imageSize(header.width, header.height, bits);
  info.dwQuality = static_cast<DWORD>(-1);
  SetRect(&info.rcFrame, 0, 0, header.width, header.height);
  PAVISTREAM plain = nullptr;
  bool made = AVIFileCreateStreamW(streams_->file, &plain, &info) == 0;
  if (made) {
    AVICOMPRESSOPTIONS o{};
    o.fccType = streamtypeVIDEO;
    o.fccHandler = options_.fccHandler;
    o.dwQuality = static_cast<DWORD>(options_.quality);
    o.dwKeyFrameEvery = static_cast<DWORD>(options_.keyFrameEvery > 0 ? options_.keyFrameEvery : 1);
    o.dwFlags = AVICOMPRESSF_KEYFRAMES;
    if (!options_.codecState.empty()) {
      o.lpParms = options_.codecState.data();
      o.cbParms = static_cast<DWORD>(options_.codecState.size());
    }
    made = AVIMakeCompressedStream(&streams_->compressed, plain, &o, nullptr) == 0;
    if (!made) streams_->compressed = nullptr;
  }
  if (plain) AVIStreamRelease(plain);  // the compressed stream holds its own reference
  if (!made) {
    failure_ = "未能创建压缩流,生成AVI失败";
    close();
    DeleteFile(path_);
    return false;
  }
  bytes_ = 2048;  // the header lists and their padding before the frames
  return true;
}

bool AviOutput::writePicture(const RecordedPicture& picture, int framesInTime) {
  if (!streams_ || failed_ || framesInTime < 1 || !picture.bitmap) return false;
  const TBitmap& bitmap = *picture.bitmap;
  if (bitmap.Width() != header_.width || bitmap.Height() != header_.height) return false;
  const int bits = bitsOf(header_.pixelFormat);

  PackedDib dib;
  const void* data = nullptr;
  uint32_t size = imageSize(header_.width, header_.height, bits);
  const void* format = nullptr;
  uint32_t formatSize = 0;
  BITMAPINFOHEADER plain{};
  if (bits <= 16) {
    // GDI turns the picture into the stream's depth (16 bits: 5-5-5).
    if (!dib.make(bitmap, bits)) return fail("生成AVI失败");
    data = dib.data + dib.formatSize();
    size = dib.header().biSizeImage;
    format = dib.data;
    formatSize = dib.formatSize();
  } else {
    if (bitmap.BitsPerPixel() != bits) return fail("生成AVI失败");
    data = bitmap.Bits();
    BmpInfo info = BmpInfo::plain(header_.width, header_.height, bits);
    info.sizeImage = size;
    plain = bitmapInfoHeader(info);
    format = &plain;
    formatSize = plain.biSize;
  }
  if (!streams_->formatSet) {
    if (AVIStreamSetFormat(streams_->compressed, 0, const_cast<void*>(format),
                           static_cast<LONG>(formatSize)) != 0)
      return fail("未能创建压缩流,生成AVI失败");
    streams_->formatSet = true;
  }
  LONG written = 0;
  if (AVIStreamWrite(streams_->compressed, frames_, 1, const_cast<void*>(data),
                     static_cast<LONG>(size), 0, nullptr, &written) != 0)
    return fail(kAviWriteFailedMessage);
  if (framesInTime > 1)
    owedTail_.assign(static_cast<const uint8_t*>(data), static_cast<const uint8_t*>(data) + size);
  else
    owedTail_.clear();
  frames_ += framesInTime;
  dropped_ += framesInTime - 1;
  // Chunk header and index entry per sample, and an empty chunk per skipped one.
  bytes_ += (written > 0 ? written : size) + 24 + int64_t(framesInTime - 1) * 24;
  return true;
}

bool AviOutput::fail(const char* message) {
  failure_ = message;
  failed_ = true;
  return false;
}

void AviOutput::takeClicks(const TStringList& clicks) {
  clicks_.Clear();
  for (int i = 0; i < clicks.Count(); ++i) clicks_.Add(clicks[i]);
}

bool AviOutput::appendTail(bool clicksPending) {
  try {
    TFileStream f(path_, fmOpenReadWrite | fmShareExclusive);
    f.Seek(0, soFromEnd);
    uint8_t word[4];
    if (clicksPending) {
      const AnsiString text = clicks_.Text();
      if (text.Length() > 0) f.WriteBuffer(text.c_str(), text.Length());
      putI32(word, text.Length());
      f.WriteBuffer(word, 4);
    }
    putI32(word, 1);  // soundRecorded: only recordings with sound are deferred
    f.WriteBuffer(word, 4);
    putI32(word, clicksPending ? 1 : 0);
    f.WriteBuffer(word, 4);
    return true;
  } catch (const Exception&) {
    return false;
  }
}

bool AviOutput::finish(bool finishNow) {
  if (!streams_) return false;
  if (!failed_ && !owedTail_.empty()) {
    LONG written = 0;
    if (AVIStreamWrite(streams_->compressed, frames_ - 1, 1, owedTail_.data(), static_cast<LONG>(owedTail_.size()),
                       0, nullptr, &written) == 0)
      bytes_ += (written > 0 ? written : LONG(owedTail_.size())) + 24;
  }
  owedTail_.clear();
  close();
  // A failed write leaves the frames written before it; the finishing tools
  // rebuild such a file, so it keeps its unfinished name and no tail.
  if (failed_) return false;
  const bool sound = !wavPath_.IsEmpty() && FileExists(wavPath_);
  if (!sound) {
    if (!MoveFileW(Cp936ToWide(path_).c_str(), Cp936ToWide(aviPath_).c_str())) {
      failure_ = "wca error5,请联系作者";
      return false;
    }
    path_ = aviPath_;
    if (finishNow) report_ = aviDropReport(frames_, dropped_, options_.camera);
    return true;
  }
  if (!finishNow) return appendTail(options_.clickSoundsPending);

  SilentHost silent;
  FormatsHost& host = host_ ? *host_ : silent;
  bool clicksPending = options_.clickSoundsPending;
  if (clicksPending) {
    uint32_t scale = 1, rate = 1;
    aviTimeBase(header_.msPerFrame, scale, rate);
    if (addClickSounds(wavPath_, options_.clickSoundFolder, clicks_, double(rate) / scale, host) == -2)
      return appendTail(true);  // cancelled before all were mixed: mix later
    clicksPending = false;
  }
  const AnsiString part = aviPath_ + ".part";
  const AviCopyResult r = copyAviWithSound(path_, FileSizeOf(path_), wavPath_, part, host);
  if (r != AviCopyResult::Done || !MoveFileW(Cp936ToWide(part).c_str(), Cp936ToWide(aviPath_).c_str())) {
    // The recording stays complete as a deferred one: the finishing tools
    // can add the sound later.
    DeleteFile(part);
    if (r != AviCopyResult::Cancelled) failure_ = "wca error4";
    return appendTail(clicksPending);
  }
  DeleteFile(path_);
  DeleteFile(wavPath_);  // its sound is in the finished file now
  path_ = aviPath_;
  report_ = aviDropReport(frames_, dropped_, options_.camera);
  return true;
}

void AviOutput::abandon() {
  const bool existed = static_cast<bool>(streams_);
  close();
  if (existed) DeleteFile(path_);
  owedTail_.clear();
  frames_ = dropped_ = 0;
  bytes_ = 0;
}
