// Finishing and repairing unfinished direct EXE recordings. The finishing
// works in place on the .exw (the sound block is written where its short
// tail stood) but keeps that tail in memory until the new tail is on disk,
// so a failed packing restores the file; the repair only reads the .exw and
// writes a new file whose trailer comes last.
#include "ExwFinish.h"

#include <algorithm>
#include <climits>
#include <memory>
#include <vector>

#include "ByteReader.h"
#include "ClickList.h"
#include "ExeContainer.h"
#include "LxFile.h"
#include "SoundFitting.h"
#include "SoundTrack.h"
#include "SysUtils.h"

namespace {

constexpr int64_t kPictureLead = 160;  // LxHeader, two reserved fields, caption
// Frames beyond this offset are not looked for (the recorder rolls over to
// a new file long before).
constexpr double kMaxRepairOffset = 2040109465.6;
constexpr int kMinKeyFrameGap = 80;

void writeI32At(TStream& s, int64_t at, int32_t v) {
  uint8_t p[4];
  putI32(p, v);
  s.Seek(at, soFromBeginning);
  s.WriteBuffer(p, 4);
}

void writeBytes(TStream& s, const std::vector<uint8_t>& b) {
  if (!b.empty()) s.WriteBuffer(b.data(), static_cast<int>(b.size()));
}

AnsiString withLastChar(const AnsiString& path, char c) {
  std::string s = path.str();
  if (!s.empty()) s.back() = c;
  return AnsiString(s);
}

// True when the EXE at path opens whole and carries a sound block: checked
// before a sound side file is given up.
bool soundSafelyIn(const AnsiString& path) {
  try {
    TFileStream f(path, fmOpenRead);
    StreamSource src(f);
    ExeRecording rec;
    return rec.open(src) && rec.soundStart >= 0 && rec.soundEnd > rec.soundStart;
  } catch (const Exception&) {
    return false;
  }
}

// The recording's click sounds, placed at frame x msPerFrame milliseconds
// (the recording's own interval, never a rate typed since).
void mixRecordingClicks(const AnsiString& wav, const AnsiString& folder,
                        const std::string& mouseList, int32_t msPerFrame, FormatsHost& host) {
  if (msPerFrame <= 0) return;
  TStringList lines;
  lines.SetText(AnsiString(mouseList));
  std::vector<ClickEvent> events = readClickEvents(lines);
  for (ClickEvent& e : events) {
    const int64_t ms = int64_t(e.frame) * msPerFrame;
    e.frame = (e.frame < 0 || ms > INT_MAX) ? -1 : static_cast<int>(ms);
  }
  // At 1000 "frames" a second a frame number is a millisecond.
  for (const ClickSound& c : planClickSounds(events, 1000.0)) {
    if (!host.progress(0)) return;
    mixClickSound(wav, folder, c.ms, c.times);
  }
}

// The image codec the frames of a recording were written with, told from the
// first bytes of frame 0's image: a JPEG file, a BMP file image ("BM", type
// 1), the extended layout (its mode), or an RLE length and a zlib stream
// whose header tells level 9 (type 2) from level 5 (type 3). fallback when
// none of them fits.
int sniffImageCodec(ByteSource& src, int64_t h, bool hasCursor, int fallback) {
  int64_t pos = h + kPictureLead;
  uint8_t b[12];
  if (hasCursor) {
    if (!src.readAt(pos + 8, b, 4)) return fallback;
    const int32_t icon = getI32(b);
    if (icon < 0) return fallback;
    pos += 12 + icon;
  }
  uint8_t img[16];
  if (!src.readAt(pos, b, 4) || getI32(b) < int32_t(sizeof img) || !src.readAt(pos + 4, img, sizeof img))
    return fallback;
  if (img[0] == 0xFF && img[1] == 0xD8) return 0;
  if (img[0] == 'B' && img[1] == 'M') return 1;
  if (getI32(img) == -1 && getI32(img + 4) == -1) {
    const int32_t mode = getI32(img + 8);
    const int32_t base = mode >= 10 ? mode / 10 : mode;
    return base >= 1 && base <= 3 ? base : fallback;
  }
  if (img[4] == 0x78 && img[5] == 0xDA) return 2;
  if (img[4] == 0x78 && img[5] == 0x5E) return 3;
  return fallback;
}

}  // namespace

int exwNeedsRepair(const AnsiString& path, FormatsHost& host) {
  try {
    TFileStream f(path, fmOpenRead);
    StreamSource src(f);
    ExwTail tail;
    return readExwTail(src, tail) ? 0 : 1;
  } catch (const Exception&) {
    host.showMessage("打开文件失败," + path);
    return 1;
  }
}

AnsiString exeNameFor(const AnsiString& path) {
  const std::string& s = path.str();
  return AnsiString(s.substr(0, s.size() >= 4 ? s.size() - 4 : 0)) + ".exe";
}

bool finishExwRecording(const AnsiString& exwPath, const AnsiString& wavPath,
                        const ExwFinishOptions& options, FormatsHost& host) {
  std::unique_ptr<TFileStream> file;
  try {
    file = std::make_unique<TFileStream>(exwPath, fmOpenReadWrite | fmShareDenyNone);
  } catch (const Exception&) {
    host.showMessage("打开文件失败," + exwPath);
    return false;
  }
  StreamSource whole(*file);
  ExwTail tail;
  ExeRecording rec;
  WindowSource recording(whole, 0, whole.size() - int64_t(ExwTail::kSize - ExeTrailer::kSize));
  // The frames lie before the tail; K is 0 while no sound was added.
  if (!readExwTail(whole, tail) || whole.size() < int64_t(ExwTail::kSize) ||
      !rec.open(recording) || rec.dataStartWord != 0) {
    host.showMessage("failed1");
    return false;
  }
  const int64_t tailStart = rec.framesEnd;
  std::vector<uint8_t> oldTail;
  if (!whole.readVec(tailStart, static_cast<std::size_t>(whole.size() - tailStart), oldTail)) {
    host.showMessage("failed1");
    return false;
  }

  bool packed = false;
  ExePlaySettings settings = rec.settings;
  try {
    if (tail.soundRecorded == 1) {
      const bool haveSound = !wavPath.IsEmpty() && FileExists(wavPath);
      if (haveSound && tail.addClickSounds == 1)
        mixRecordingClicks(wavPath, options.clickSoundFolder, rec.mouseList,
                           rec.header.msPerFrame, host);
      if (!haveSound) {
        host.showMessage("找不到配音文件" + wavPath);
      } else {
        file->Seek(tailStart, soFromBeginning);
        const int r = packSoundTrack(*file, wavPath, options.soundCodec, host);
        if (r < 0) {
          // Put the .exw back as it was: the sound stays in its side file.
          file->SetSize(tailStart);
          file->Seek(tailStart, soFromBeginning);
          writeBytes(*file, oldTail);
          if (r == -1) host.showMessage("压缩声音文件失败");
          return false;
        }
        packed = true;
        settings.soundCodec = options.soundCodec;  // the block is in this packing
        const int64_t soundEnd = file->Position();
        writeI32At(*file, rec.trailer.playerSize, static_cast<int32_t>(-tailStart));
        file->Seek(soundEnd, soFromBeginning);
      }
    }
    if (!packed) file->Seek(tailStart, soFromBeginning);
    VectorSink out;
    writeExeTail(out, rec.mouseList, rec.frameList, settings, rec.trailer);
    writeBytes(*file, out.bytes);
    file->SetSize(file->Position());
  } catch (const Exception&) {
    host.showMessage("failed2");
    return false;
  }
  file.reset();

  const AnsiString exe = withLastChar(exwPath, 'e');
  if (!RenameFile(exwPath, exe)) {
    host.showMessage("改名失败," + exwPath + " -> " + exe);
    return true;
  }
  if (packed && soundSafelyIn(exe)) DeleteFile(wavPath);
  return true;
}

bool rebuildFrameIndex(ByteSource& src, int64_t playerSize, TStringList& keyFrames,
                       int32_t& next, int64_t& end, FormatsHost* progress) {
  next = 0;
  end = 0;
  keyFrames.Clear();
  const int64_t size = src.size();
  const int64_t h = playerSize + 4;
  uint8_t head[kLxHeaderSize];
  if (playerSize < 0 || !src.readAt(h, head, sizeof head)) return false;
  LxHeader header;
  readLxHeader(head, header);
  const bool hasCursor = header.hasCursor == 1;

  int64_t pos = h + kPictureLead;
  auto i32 = [&](int32_t& v) {
    uint8_t b[4];
    if (!src.readAt(pos, b, 4)) return false;
    v = getI32(b);
    pos += 4;
    return true;
  };
  // Skips n bytes that must end by limit.
  auto skip = [&](int32_t n, int64_t limit) {
    if (n < 0 || n > limit - pos) return false;
    pos += n;
    return true;
  };

  int32_t v;
  if (hasCursor) {
    int32_t x, y, icon;
    if (!i32(x) || !i32(y) || !i32(icon) || !skip(icon, size)) return false;
  }
  if (!i32(v) || !skip(v, size) || !i32(v) || v != 0) return false;
  keyFrames.Add("0");
  keyFrames.Add(IntToStr(int(kPictureLead)));
  int32_t lastKey = 0;

  // A frame must leave room for what follows it in a whole file; a torn
  // frame at the end of the file is dropped.
  const int64_t limit = size - 14;
  for (int32_t k = 1; k < INT32_MAX && pos < size - 10 && double(pos) < kMaxRepairOffset; ++k) {
    const int64_t recordStart = pos;
    bool cursorStored = false;
    if (hasCursor) {
      int32_t x, y, icon;
      if (!i32(x) || !i32(y) || !i32(icon) || !skip(icon, limit)) break;
      cursorStored = icon > 0;
    }
    bool torn = false, wholePicture = false, any = false;
    if (!i32(v)) break;
    while (v > 0 && v == k) {
      uint8_t r[ExeFrameRect::kSize];
      int32_t length;
      if (!src.readAt(pos, r, sizeof r)) { torn = true; break; }
      pos += ExeFrameRect::kSize;
      if (!i32(length) || !skip(length, limit)) { torn = true; break; }
      const ExeFrameRect rect = ExeFrameRect::load(r);
      any = true;
      wholePicture = rect.left == 0 && rect.top == 0 && rect.right == header.width &&
                     rect.bottom == header.height;
      if (!i32(v)) { torn = true; break; }
    }
    if (torn || v != -k) break;
    next = k + 1;
    end = pos;
    if (k - lastKey > kMinKeyFrameGap && any && wholePicture && (!hasCursor || cursorStored)) {
      keyFrames.Add(IntToStr(k));
      keyFrames.Add(IntToStr(recordStart - h));
      lastKey = k;
    }
    if (progress && k % 100 == 99) progress->progress(int(pos * 100 / std::max<int64_t>(size, 1)));
  }
  return next != 0;
}

AnsiString repairExwRecording(const AnsiString& exwPath, const AnsiString& wavPath,
                              const AnsiString& target, const ExwRepairOptions& options,
                              FormatsHost& host) {
  if (LowerCase(exwPath) == LowerCase(target)) return AnsiString();
  std::unique_ptr<TFileStream> in;
  try {
    in = std::make_unique<TFileStream>(exwPath, fmOpenRead);
  } catch (const Exception&) {
    host.showMessage("failed4");
    return AnsiString();
  }
  StreamSource src(*in);
  TStringList keyFrames;
  int32_t frames = 0;
  int64_t end = 0;
  if (!rebuildFrameIndex(src, options.playerSize, keyFrames, frames, end, &host))
    return AnsiString();
  const int64_t h = options.playerSize + 4;
  uint8_t head[kLxHeaderSize];
  if (!src.readAt(h, head, sizeof head)) return AnsiString();
  LxHeader header;
  readLxHeader(head, header);
  header.frameCount = frames;
  writeLxHeader(header, head);

  std::vector<uint8_t> stub;
  try {
    TFileStream s(options.stubPath, fmOpenRead);
    const int64_t n = s.Size();
    if (n <= 0 || n > INT32_MAX / 2) throw EReadError("stub size");
    stub.resize(static_cast<std::size_t>(n));
    s.ReadBuffer(stub.data(), static_cast<int>(n));
  } catch (const Exception& e) {
    host.showMessage("拷贝文件失败:" + options.stubPath + "->" + target + " 原因:" + e.Message);
    return AnsiString();
  }

  bool ok = false;
  try {
    TFileStream out(target, fmCreate);
    const int64_t s = static_cast<int64_t>(stub.size());
    writeBytes(out, stub);
    uint8_t zero[4] = {0, 0, 0, 0};
    out.WriteBuffer(zero, 4);
    out.WriteBuffer(head, sizeof head);
    // The picture part after its header, in 1 MiB blocks.
    constexpr int64_t kBlock = 1 << 20;
    std::vector<uint8_t> block;
    for (int64_t at = h + kLxHeaderSize; at < end; at += kBlock) {
      const std::size_t n = static_cast<std::size_t>(std::min(kBlock, end - at));
      if (!src.readVec(at, n, block)) throw EReadError("exw");
      writeBytes(out, block);
      host.progress(int((at - h) * 100 / std::max<int64_t>(end - h, 1)));
    }
    // The tail that named the frames' codec is gone: take it from the frames.
    ExePlaySettings settings = options.playSettings;
    settings.imageCodec = sniffImageCodec(src, h, header.hasCursor == 1, settings.imageCodec);
    if (!wavPath.IsEmpty() && FileExists(wavPath)) {
      fitWaveLength(wavPath, int64_t(header.msPerFrame) * frames);
      const int64_t soundAt = out.Position();
      const int r = packSoundTrack(out, wavPath, settings.soundCodec, host);
      if (r < 0) {
        if (r == -1) host.showMessage("压缩声音文件失败");
        throw EWriteError("sound");
      }
      const int64_t soundEnd = out.Position();
      writeI32At(out, s, static_cast<int32_t>(-soundAt));
      out.Seek(soundEnd, soFromBeginning);
    }
    ExeTrailer trailer = options.trailer;
    trailer.playerSize = static_cast<int32_t>(s);
    VectorSink tail;
    // The recorded clicks are not recoverable: an empty mouse list.
    writeExeTail(tail, std::string(), keyFrames.Text().str(), settings, trailer);
    writeBytes(out, tail.bytes);
    ok = true;
  } catch (const Exception&) {
    ok = false;
  }
  if (!ok) {
    DeleteFile(target);
    return AnsiString();
  }
  return target;
}
