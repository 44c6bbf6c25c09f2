// Packings 5 (MP3) and 6 (TrueSpeech) over an AcmApi, their readers, and the
// progress callback of the sound jobs. Blocks are assembled in memory and
// appended in one write, so a failed or cancelled job adds nothing to the
// recording; everything read back from a block is checked against the block
// before it is used or allocated.
#include "SoundPackingAcm.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <new>

#include "ByteReader.h"
#include "ByteWriter.h"
#include "Mp3SeekIndex.h"
#include "SoundTrack.h"
#include "SysUtils.h"
#include "WavHelpers.h"

namespace {

SoundProgressWindow* g_progressWindow = nullptr;

// Decoded sound larger than this is taken for a damaged block: it would not
// fit the 32-bit process, and no recording's sound comes near it.
constexpr uint32_t kMaxDecoded = 512u << 20;

int damaged(FormatsHost& host) {
  host.showMessage("声音数据已损坏");
  return -1;
}

bool plausiblePcm(int channels, int rate, int bits) {
  return (channels == 1 || channels == 2) && (bits == 8 || bits == 16) && rate > 0 && rate <= 192000;
}

// The listed formats that match the PCM format, in the order listBitrates
// gives their bit rates: the chooser's answer indexes both.
std::vector<const CACM::FoundFormat*> matchingFormats(const CACM& acm, const std::vector<uint8_t>& pcm) {
  const WaveFormat p = readWaveFormat(pcm.data(), pcm.size());
  std::vector<const CACM::FoundFormat*> out;
  for (const CACM::FoundFormat& f : acm.formats()) {
    const WaveFormat w = readWaveFormat(f.bytes.data(), f.bytes.size());
    if (w.channels == p.channels && w.samplesPerSec == p.samplesPerSec) out.push_back(&f);
  }
  return out;
}

// Codes PCM through the driver of one listed format. The output buffer holds
// whichever is larger: the driver's own estimate (acmStreamSize) or the coded
// length at the format's byte rate plus a margin; both have room for sounds
// shorter than a second.
int codeWith(AcmApi& api, FormatsHost& host, const std::vector<uint8_t>& pcm, const CACM::FoundFormat& format,
             const std::vector<uint8_t>& data, std::vector<uint8_t>& coded) {
  coded.clear();
  if (data.empty()) return 1;  // nothing to code; a driver may refuse an empty buffer
  CACM acm(api, host);
  acm.setFormats(pcm.data(), format.bytes.data());
  if (!acm.open(format.driver)) return -1;
  const uint32_t length = static_cast<uint32_t>(data.size());
  uint32_t needed = 0;
  if (!acm.convert(data.data(), length, nullptr, needed)) return -1;
  const WaveFormat src = readWaveFormat(pcm.data(), pcm.size());
  const WaveFormat dst = readWaveFormat(format.bytes.data(), format.bytes.size());
  const int kbps = static_cast<int>((uint64_t(dst.avgBytesPerSec) * 8 + 999) / 1000);
  uint32_t capacity = std::max(needed, mp3OutputCapacity(length, src.avgBytesPerSec, kbps));
  try {
    coded.resize(capacity);
  } catch (const std::bad_alloc&) {
    host.showMessage("as error!");
    return -1;
  }
  bool cancelled = false;
  acm.setProgress([&](int percent) {
    if (host.progress(percent)) return true;
    cancelled = true;
    return false;
  });
  if (!acm.convert(data.data(), length, coded.data(), capacity)) {
    coded.clear();
    return cancelled ? -2 : -1;
  }
  coded.resize(capacity);
  return 1;
}

int writeBlock(ByteSink& out, const std::vector<uint8_t>& pcm, const CACM::FoundFormat& coded,
               const Mp3SeekIndex* index, const std::vector<uint8_t>& data) {
  std::vector<uint8_t> b;
  ByteWriter w(b);
  w.bytes(pcm.data(), kWaveFormatHead).bytes(coded.bytes.data(), kWaveFormatHead);
  if (index) {
    VectorSink s;
    index->write(s);
    w.bytes(s.bytes);
  }
  w.length(data.size()).bytes(data);
  return w.ok() && out.write(b.data(), b.size()) ? 1 : -1;
}

// Reads a whole WAV file; "打开文件失败," and the name when it cannot.
int loadPcmFile(const AnsiString& path, PcmSound& sound, FormatsHost& host) {
  std::unique_ptr<TFileStream> f;
  try {
    f.reset(new TFileStream(path, fmOpenRead | fmShareDenyWrite));
  } catch (const EStreamError&) {
    host.showMessage(AnsiString("打开文件失败,") + path);
    return -1;
  }
  StreamSource src(*f);
  if (!readPcmWav(src, sound)) {
    host.showMessage(AnsiString("打开文件失败,") + path);
    return -1;
  }
  return 1;
}

// Appends a finished block at the stream's position; a short write (disk
// full) is cut off again so that no partial block stays behind the end.
int appendToStream(TStream& out, const std::vector<uint8_t>& block, FormatsHost& host) {
  const int64_t start = out.Position();
  const bool atEnd = start == out.Size();
  StreamSink sink(out);
  if (sink.write(block.data(), block.size())) return 1;
  if (atEnd) {
    out.SetSize(start);
    out.Seek(start, soFromBeginning);
  }
  host.showMessage("写入声音失败");
  return -1;
}

// Puts the widened copy in the side file's place without a moment in which
// neither exists under a name we can restore: the original steps aside first
// and comes back when the copy cannot move in.
void replaceSideFile(const AnsiString& copy, const AnsiString& side) {
  const AnsiString backup = side + ".8bit~";
  DeleteFile(backup);
  if (!RenameFile(side, backup)) return;
  if (RenameFile(copy, side)) {
    DeleteFile(backup);
    return;
  }
  RenameFile(backup, side);
}

}  // namespace

// ---- progress ------------------------------------------------------------------------
void setSoundProgressWindow(SoundProgressWindow* window) { g_progressWindow = window; }

bool soundProgress(int percent) {
  if (!g_progressWindow) return true;
  g_progressWindow->setProgress(100, percent);
  g_progressWindow->processMessages();
  return g_progressWindow->isShown();
}

// ---- packing -------------------------------------------------------------------------
bool readPcmWav(ByteSource& wav, PcmSound& sound) {
  uint8_t h[kWavHeaderSize];
  const int64_t size = wav.size();
  if (size < int64_t(kWavHeaderSize) || size > INT32_MAX || !wav.readAt(0, h, sizeof h)) return false;
  sound.channels = getU16(h + 22);
  sound.rate = getI32(h + 24);
  sound.bits = getU16(h + 34);
  if (!plausiblePcm(sound.channels, sound.rate, sound.bits)) return false;
  const int64_t frame = sound.channels * sound.bits / 8;
  const int64_t data = (size - int64_t(kWavHeaderSize)) / frame * frame;
  return wav.readVec(int64_t(kWavHeaderSize), static_cast<std::size_t>(data), sound.data);
}

int packMp3Pcm(const PcmSound& sound, ByteSink& out, AcmApi& api, BitrateChooser& chooser, FormatsHost& host) {
  // The encoders take 16-bit samples only; the file-level packing widens first.
  if (sound.bits != 16 || !plausiblePcm(sound.channels, sound.rate, sound.bits)) {
    host.showMessage("转换声音失败");
    return -1;
  }
  const std::vector<uint8_t> pcm = pcmFormat(sound.channels, sound.rate, 16);
  CACM acm(api, host);
  std::vector<uint8_t> filter(acm.sourceFormat().size(), 0);
  std::copy(pcm.begin(), pcm.end(), filter.begin());
  AcmDriverId id = 0;
  acm.findFormats(static_cast<int16_t>(kTagMpegLayer3), -1, filter.data(), filter.size(), id);
  const std::vector<const CACM::FoundFormat*> formats = matchingFormats(acm, pcm);
  if (formats.empty()) {
    host.showMessage("没有找到可用的MP3编码器");
    return -1;
  }
  const int choice = chooser.chooseBitrate(acm.listBitrates(pcm.data()), sound.rate);
  if (choice < 0 || choice >= static_cast<int>(formats.size())) return -2;

  std::vector<uint8_t> mp3;
  const int r = codeWith(api, host, pcm, *formats[choice], sound.data, mp3);
  if (r != 1) return r;
  Mp3SeekIndex index;
  index.build(mp3.data(), mp3.size());
  return writeBlock(out, pcm, *formats[choice], &index, mp3);
}

int packTrueSpeechPcm(const PcmSound& sound, ByteSink& out, AcmApi& api, BitrateChooser& chooser,
                      FormatsHost& host) {
  if (!plausiblePcm(sound.channels, sound.rate, sound.bits)) {
    host.showMessage("转换声音失败");
    return -1;
  }
  const std::vector<uint8_t> pcm = pcmFormat(1, 8000, 16);
  const std::vector<uint8_t>* data = &sound.data;
  std::vector<uint8_t> converted;
  bool cancelled = false;
  const auto progress = [&](int percent) {
    if (host.progress(percent)) return true;
    cancelled = true;
    return false;
  };
  if (!(sound.channels == 1 && sound.rate == 8000 && sound.bits == 16) && !sound.data.empty()) {
    // Sized from the frames that come out, not from the input length: 8-bit
    // 11,025 Hz sound grows by 45 % on its way to 16-bit 8,000 Hz.
    const uint64_t frames = sound.data.size() / (sound.channels * sound.bits / 8);
    const uint64_t capacity = std::max<uint64_t>(uint64_t(sound.data.size() * 1.2),
                                                 frames * 8000 / uint64_t(sound.rate) * 2 * 6 / 5 + 4096);
    if (capacity > kMaxDecoded) {
      host.showMessage("转换声音失败");
      return -1;
    }
    converted.resize(static_cast<std::size_t>(capacity));
    uint32_t got = static_cast<uint32_t>(capacity);
    const std::vector<uint8_t> from = pcmFormat(sound.channels, sound.rate, sound.bits);
    if (!convertWithAcm(api, from.data(), pcm.data(), sound.data.data(), static_cast<uint32_t>(sound.data.size()),
                        converted.data(), got, progress)) {
      if (cancelled) return -2;
      host.showMessage("转换声音失败");
      return -1;
    }
    converted.resize(got);
    data = &converted;
  }

  CACM acm(api, host);
  std::vector<uint8_t> filter(acm.sourceFormat().size(), 0);
  std::copy(pcm.begin(), pcm.end(), filter.begin());
  AcmDriverId id = 0;
  acm.findFormats(static_cast<int16_t>(kTagTrueSpeech), -1, filter.data(), filter.size(), id);
  const std::vector<const CACM::FoundFormat*> formats = matchingFormats(acm, pcm);
  if (formats.empty()) {
    host.showMessage("没有找到可用的TrueSpeech编码器");
    return -1;
  }
  int choice = 0;
  if (formats.size() > 1) {
    choice = chooser.chooseBitrate(acm.listBitrates(pcm.data()), 8000);
    if (choice < 0 || choice >= static_cast<int>(formats.size())) return -2;
  }
  std::vector<uint8_t> coded;
  const int r = codeWith(api, host, pcm, *formats[choice], *data, coded);
  if (r != 1) return r;
  return writeBlock(out, pcm, *formats[choice], nullptr, coded);
}

int packMp3SoundFile(const AnsiString& wavPath, TStream& out, const AcmPackingContext& ctx, FormatsHost& host) {
  PcmSound sound;
  int r = loadPcmFile(wavPath, sound, host);
  if (r != 1) return r;
  AnsiString widened;
  if (sound.bits == 8) {
    widened = (ctx.tempFolder ? ctx.tempFolder() : AnsiString()) + kWidenedWavName;
    DeleteFile(widened);
    r = convertWav8To16(wavPath, widened, host);
    if (r == 1) r = loadPcmFile(widened, sound, host);
    else if (r == -1) host.showMessage("转换声音失败");
  }
  VectorSink block;
  if (r == 1) r = packMp3Pcm(sound, block, *ctx.api, *ctx.chooser, host);
  if (r == 1) r = appendToStream(out, block.bytes, host);
  if (!widened.IsEmpty()) {
    if (r == 1) replaceSideFile(widened, wavPath);
    DeleteFile(widened);
  }
  return r;
}

int packTrueSpeechSoundFile(const AnsiString& wavPath, TStream& out, const AcmPackingContext& ctx,
                            FormatsHost& host) {
  PcmSound sound;
  int r = loadPcmFile(wavPath, sound, host);
  if (r != 1) return r;
  VectorSink block;
  r = packTrueSpeechPcm(sound, block, *ctx.api, *ctx.chooser, host);
  return r == 1 ? appendToStream(out, block.bytes, host) : r;
}

// ---- unpacking -----------------------------------------------------------------------
bool readAcmSoundBlock(ByteSource& src, int64_t& pos, int64_t limit, bool withIndex, AcmSoundBlock& block,
                       uint16_t expectedTag) {
  limit = std::min(limit, src.size());
  int64_t at = pos;
  auto take = [&](std::size_t n, std::vector<uint8_t>& v) {
    if (at < 0 || int64_t(n) > limit - at || !src.readVec(at, n, v)) return false;
    at += int64_t(n);
    return true;
  };
  std::vector<uint8_t> head;
  if (!take(2 * kWaveFormatHead, head)) return false;
  block.pcmFormat.assign(head.begin(), head.begin() + kWaveFormatHead);
  block.codedFormat.assign(head.begin() + kWaveFormatHead, head.end());
  const WaveFormat p = readWaveFormat(block.pcmFormat.data(), kWaveFormatHead);
  const WaveFormat c = readWaveFormat(block.codedFormat.data(), kWaveFormatHead);
  if (p.formatTag != kTagPcm || !plausiblePcm(p.channels, int(p.samplesPerSec), p.bitsPerSample) ||
      c.formatTag != expectedTag || c.channels < 1 || c.channels > 2 || c.samplesPerSec == 0)
    return false;

  Mp3SeekIndex index;
  if (withIndex) {
    std::vector<uint8_t> counts;
    if (!take(8, counts)) return false;
    const int32_t n = getI32(counts.data() + 4);
    if (n < 0 || (int64_t(n) + 1) * 4 > limit - at) return false;
    std::vector<uint8_t> stored = counts, offsets;
    if (!take((std::size_t(n) + 1) * 4, offsets)) return false;
    stored.insert(stored.end(), offsets.begin(), offsets.end());
    ByteReader r(stored.data(), stored.size());
    if (!index.read(r)) return false;
  }
  std::vector<uint8_t> len;
  if (!take(4, len)) return false;
  const int32_t n = getI32(len.data());
  if (n < 0 || n > limit - at) return false;
  // The index seeks into this data: an entry beyond it is damage.
  if (withIndex && !index.offsets.empty() && index.offsets.back() > uint32_t(n)) return false;
  if (!take(std::size_t(n), block.data)) return false;
  pos = at;
  return true;
}

std::vector<uint8_t> decoderFormat(const AcmSoundBlock& block) {
  std::vector<uint8_t> f(block.codedFormat.begin(), block.codedFormat.begin() + kWaveFormatHead);
  WaveFormat w = readWaveFormat(f.data(), f.size());
  if (w.formatTag == kTagMpegLayer3) {
    // MPEGLAYER3WAVEFORMAT: wID 1 (MPEG), fdwFlags 0 (ISO padding), one frame
    // per block of the nominal frame length, no delay known.
    const uint32_t kbps = uint32_t(uint64_t(w.avgBytesPerSec) * 8 / 1000);
    const uint32_t frame = w.samplesPerSec ? (w.samplesPerSec >= 32000 ? 144000 : 72000) * kbps / w.samplesPerSec : 0;
    w.cbSize = 12;
    f.resize(kWaveFormatHead + 12, 0);
    putU16(&f[18], 1);
    putU32(&f[20], 0);
    putU16(&f[24], static_cast<uint16_t>(std::min<uint32_t>(frame, 0xFFFF)));
    putU16(&f[26], 1);
    putU16(&f[28], 0);
  } else if (w.formatTag == kTagTrueSpeech) {
    // TRUESPEECHWAVEFORMAT: wRevision 1, 240 samples per block, 28 reserved bytes.
    w.cbSize = 32;
    f.resize(kWaveFormatHead + 32, 0);
    putU16(&f[18], 1);
    putU16(&f[20], 240);
  } else {
    w.cbSize = 0;
  }
  writeWaveFormat(f.data(), w);
  return f;
}

int unpackAcmSound(ByteSource& src, int64_t& pos, int64_t limit, ByteSink& out, AcmApi& api, FormatsHost& host,
                   int packing) {
  AcmSoundBlock block;
  const bool mp3 = packing == kSoundMp3;
  if (!readAcmSoundBlock(src, pos, limit, mp3, block, mp3 ? kTagMpegLayer3 : kTagTrueSpeech))
    return damaged(host);
  const WaveFormat p = readWaveFormat(block.pcmFormat.data(), kWaveFormatHead);
  // Our own PCM format from the stored fields, not the stored sizes.
  const std::vector<uint8_t> pcm = pcmFormat(p.channels, int(p.samplesPerSec), p.bitsPerSample);
  const std::vector<uint8_t> coded = decoderFormat(block);

  std::vector<uint8_t> samples;
  uint32_t got = 0;
  if (!block.data.empty()) {
    AcmHandle stream = 0;
    if (!api.openStream(0, coded.data(), pcm.data(), stream)) {
      host.showMessage("acmStreamOpen error!");
      return -1;
    }
    uint32_t needed = 0, chunk = 0;
    const uint32_t length = static_cast<uint32_t>(block.data.size());
    if (!api.streamSize(stream, length, needed) || !api.streamSize(stream, kAcmChunk, chunk) ||
        needed > kMaxDecoded) {
      api.closeStream(stream);
      host.showMessage("as error!");
      return -1;
    }
    // The estimate covers the data; the last chunk's flush may add up to one
    // more chunk's worth.
    const uint32_t capacity = std::min<uint64_t>(uint64_t(needed) + chunk, kMaxDecoded);
    AcmStep step = AcmStep::Size;
    try {
      samples.resize(capacity);
      step = convertInChunks(api, stream, block.data.data(), length, samples.data(), capacity, got,
                             [&](int percent) {
                               host.progress(percent);  // unpacking runs to the end
                               return true;
                             });
    } catch (const std::bad_alloc&) {
    }
    api.closeStream(stream);
    if (step != AcmStep::Ok) {
      host.showMessage(step == AcmStep::Size ? "as error!" : step == AcmStep::Prepare ? "ap error!" : "ac error!");
      return -1;
    }
  }
  // A whole number of sample frames, as every WAV reader expects.
  got -= got % (pcm[12] | pcm[13] << 8);
  uint8_t h[kWavHeaderSize];
  makeWavHeader(h, int(p.samplesPerSec), int16_t(p.bitsPerSample));
  std::memcpy(h + 22, &pcm[2], 2);     // channels
  std::memcpy(h + 28, &pcm[8], 6);     // byte rate, block align
  putU32(h + 40, got);
  putU32(h + 4, got + 36);
  if (!out.write(h, sizeof h) || (got && !out.write(samples.data(), got))) return -1;
  return 1;
}

void registerAcmSoundPackings(const AcmPackingContext& ctx) {
  SoundPacking mp3;
  mp3.code = kSoundMp3;
  mp3.lossy = true;
  mp3.pack = [ctx](const AnsiString& wav, TStream& out, FormatsHost& host) {
    return packMp3SoundFile(wav, out, ctx, host);
  };
  AcmApi* api = ctx.api;
  mp3.unpack = [api](ByteSource& src, int64_t& pos, int64_t limit, ByteSink& out, FormatsHost& host) {
    return unpackAcmSound(src, pos, limit, out, *api, host, kSoundMp3);
  };
  registerSoundPacking(mp3);
  SoundPacking ts;
  ts.code = kSoundTrueSpeech;
  ts.lossy = true;
  ts.pack = [ctx](const AnsiString& wav, TStream& out, FormatsHost& host) {
    return packTrueSpeechSoundFile(wav, out, ctx, host);
  };
  ts.unpack = [api](ByteSource& src, int64_t& pos, int64_t limit, ByteSink& out, FormatsHost& host) {
    return unpackAcmSound(src, pos, limit, out, *api, host, kSoundTrueSpeech);
  };
  registerSoundPacking(ts);
}
