// WAV helpers. Files are reached through the framework's streams; the sample
// work happens on byte buffers so that it can be tested without files.
#include "WavHelpers.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "ByteReader.h"
#include "SysUtils.h"

namespace {

std::unique_ptr<TFileStream> openFile(const AnsiString& path, uint16_t mode) {
  try {
    return std::unique_ptr<TFileStream>(new TFileStream(path, mode));
  } catch (const EStreamError&) {
    return nullptr;
  }
}

#ifdef _WIN32
const char kPathSep[] = "\\";
#else
const char kPathSep[] = "/";
#endif

AnsiString joinPath(const AnsiString& folder, const char* name) {
  AnsiString f = folder;
  if (!f.IsEmpty() && f[f.Length()] != '\\' && f[f.Length()] != '/') f += kPathSep;
  return f + name;
}

}  // namespace

void makeWavHeader(uint8_t* h, int rate, int16_t bits) {
  std::memset(h, 0, kWavHeaderSize);
  std::memcpy(h, "RIFF", 4);
  std::memcpy(h + 8, "WAVEfmt ", 8);
  putU32(h + 16, 16);
  putU16(h + 20, 1);  // PCM
  putU16(h + 22, 1);  // mono
  putI32(h + 24, rate);
  putI32(h + 28, bits / 8 * rate);
  putU16(h + 32, static_cast<uint16_t>(bits / 8));
  putU16(h + 34, static_cast<uint16_t>(bits));
  std::memcpy(h + 36, "data", 4);
}

void writeWavHeader(TStream& stream, int rate, int16_t bits) {
  uint8_t h[kWavHeaderSize];
  makeWavHeader(h, rate, bits);
  stream.Seek(0, soFromBeginning);
  stream.WriteBuffer(h, sizeof h);
}

int createWavFile(const AnsiString& path, int rate, int16_t bits) {
  auto f = openFile(path, fmCreate);
  if (!f) return 0;
  uint8_t h[kWavHeaderSize];
  makeWavHeader(h, rate, bits);
  return f->Write(h, sizeof h) == int(sizeof h) ? 1 : 0;
}

int wavChannelCount(const AnsiString& path) {
  auto f = openFile(path, fmOpenRead | fmShareDenyNone);
  uint8_t h[24];
  if (!f || f->Read(h, sizeof h) != int(sizeof h)) return 0;
  int n = getU16(h + 22);
  return n == 1 || n == 2 ? n : 0;
}

bool walkRiffWave(ByteSource& src, RiffWave& w) {
  w = RiffWave();
  uint8_t head[12];
  if (!src.readAt(0, head, 12) || std::memcmp(head, "RIFF", 4) != 0 ||
      std::memcmp(head + 8, "WAVE", 4) != 0)
    return false;
  int64_t size = src.size();
  int64_t pos = 12;
  while (size - pos >= 8) {
    uint8_t c[8];
    if (!src.readAt(pos, c, 8)) return false;
    uint32_t n = getU32(c + 4);
    int64_t body = pos + 8;
    if (std::memcmp(c, "fmt ", 4) == 0 && !w.hasFormat && n >= 16) {
      uint8_t f[16];
      if (src.readAt(body, f, 16)) {
        w.hasFormat = true;
        w.formatOffset = body;
        w.formatSize = n;
        w.channels = getU16(f + 2);
        w.rate = getI32(f + 4);
        w.bits = getU16(f + 14);
      }
    } else if (std::memcmp(c, "data", 4) == 0) {
      w.hasData = true;
      w.dataOffset = body;
      // Recorders that never patched the size leave 0 or 0xFFFFFFFF: the file decides.
      w.dataSize = std::min<int64_t>(n, size - body);
      return true;
    }
    pos = body + int64_t(n) + (n & 1);  // chunks are padded to even sizes
  }
  return false;
}

AnsiString normalizeWav(const AnsiString& folder, const AnsiString& wavPath) {
  auto in = openFile(wavPath, fmOpenRead | fmShareDenyWrite);
  if (!in) return AnsiString();
  StreamSource src(*in);
  uint8_t at36[4];
  if (src.readAt(36, at36, 4) && std::memcmp(at36, "data", 4) == 0) return wavPath;
  RiffWave w;
  if (!walkRiffWave(src, w)) return AnsiString();
  int rate = w.hasFormat ? w.rate : 0;
  int bits = w.hasFormat ? w.bits : 0;
  if (!w.hasFormat) {  // no fmt chunk before the data: the fixed header places
    uint8_t h[36];
    if (!src.readAt(0, h, 36)) return AnsiString();
    rate = getI32(h + 24);
    bits = getU16(h + 34);
  }

  AnsiString outPath = joinPath(folder, "exehqpyd.wav");
  DeleteFile(outPath);
  bool ok = false;
  {
    auto out = openFile(outPath, fmCreate);
    if (out) {
      uint8_t h[kWavHeaderSize];
      makeWavHeader(h, rate, static_cast<int16_t>(bits));
      int64_t n = w.dataSize;
      putU32(h + 4, static_cast<uint32_t>(n + 36));
      putU32(h + 40, static_cast<uint32_t>(n));
      ok = out->Write(h, sizeof h) == int(sizeof h);
      std::vector<uint8_t> buf(1 << 16);
      for (int64_t done = 0; ok && done < n;) {
        std::size_t step = static_cast<std::size_t>(std::min<int64_t>(n - done, int64_t(buf.size())));
        ok = src.readAt(w.dataOffset + done, buf.data(), step) &&
             out->Write(buf.data(), int(step)) == int(step);
        done += int64_t(step);
      }
    }
  }
  if (!ok) {
    DeleteFile(outPath);
    return AnsiString();
  }
  return outPath;
}

int meanSampleValue(ByteSource& wav, int bits, int64_t dataBytes) {
  int64_t have = std::max<int64_t>(0, wav.size() - int64_t(kWavHeaderSize));
  dataBytes = std::min(dataBytes, have);
  if (dataBytes <= 0) return 0;
  if (bits == 8) {
    std::size_t n = static_cast<std::size_t>(std::min<int64_t>(dataBytes, 10000));
    std::vector<uint8_t> b(n);
    if (!wav.readAt(kWavHeaderSize, b.data(), n)) return 0;
    int64_t sum = 0;
    for (uint8_t v : b) sum += v;
    return static_cast<int>(sum / int64_t(n));
  }
  if (bits == 16) {
    std::size_t n = static_cast<std::size_t>(std::min<int64_t>(dataBytes / 2, 1000));
    if (n == 0) return 0;
    std::vector<uint8_t> b(2 * n);
    if (!wav.readAt(kWavHeaderSize, b.data(), b.size())) return 0;
    int64_t sum = 0;
    for (std::size_t i = 0; i < n; ++i) sum += static_cast<int16_t>(getU16(&b[2 * i]));
    return static_cast<int>(sum / int64_t(n));
  }
  return 0;
}

int wavBaselineLevel(const AnsiString& wavPath) {
  auto f = openFile(wavPath, fmOpenRead | fmShareDenyNone);
  if (!f) return 0;
  StreamSource src(*f);
  uint8_t h[36];
  if (!src.readAt(0, h, 36)) return 0;
  return meanSampleValue(src, getU16(h + 34), src.size() - int64_t(kWavHeaderSize));
}

bool mixClickSamples(uint8_t* target, const uint8_t* click, std::size_t n, int bits) {
  if (bits == 8) {
    for (std::size_t i = 0; i < n; ++i) {
      int v = int(target[i]) + int(click[i]) - 128;  // both carry the 128 midpoint
      target[i] = static_cast<uint8_t>(std::clamp(v, 0, 255));
    }
    return true;
  }
  if (bits == 16) {
    for (std::size_t i = 0; i + 1 < n; i += 2) {
      int v = int(int16_t(getU16(target + i))) + int(int16_t(getU16(click + i)));
      putU16(target + i, static_cast<uint16_t>(static_cast<int16_t>(std::clamp(v, -32768, 32767))));
    }
    return true;
  }
  return false;
}

bool mixSoundIntoWav(const AnsiString& targetWav, const AnsiString& clickWav, int bits,
                     int64_t offset, int times) {
  if ((bits != 8 && bits != 16) || offset < 0 || times < 0) return false;
  std::vector<uint8_t> click;
  {
    auto c = openFile(clickWav, fmOpenRead | fmShareDenyWrite);
    if (!c) return false;
    StreamSource src(*c);
    int64_t n = src.size() - int64_t(kWavHeaderSize);
    if (n > 0 && !src.readVec(kWavHeaderSize, static_cast<std::size_t>(n), click)) return false;
  }
  auto t = openFile(targetWav, fmOpenReadWrite | fmShareDenyNone);
  if (!t) return false;
  int64_t L = static_cast<int64_t>(click.size());
  if (t->Size() < offset + L * times) return false;
  std::vector<uint8_t> buf(click.size());
  for (int i = 0; i < times && L > 0; ++i) {
    int64_t at = offset + int64_t(i) * L;
    t->Seek(at, soFromBeginning);
    if (t->Read(buf.data(), int(L)) != int(L)) return false;
    mixClickSamples(buf.data(), click.data(), buf.size(), bits);
    t->Seek(at, soFromBeginning);
    if (t->Write(buf.data(), int(L)) != int(L)) return false;
  }
  return true;
}

int convertWav8To16(ByteSource& src, ByteSink& dst, FormatsHost& host) {
  uint8_t h[kWavHeaderSize];
  if (!src.readAt(0, h, sizeof h)) return -1;
  int64_t data = src.size() - int64_t(kWavHeaderSize);
  if (data * 2 + 36 > INT32_MAX) return -1;  // the doubled sizes must fit the header
  putU16(h + 32, static_cast<uint16_t>(getU16(h + 32) * 2));
  putU32(h + 28, getU32(h + 28) * 2);
  putU16(h + 34, 16);
  putU32(h + 40, static_cast<uint32_t>(data * 2));
  putU32(h + 4, static_cast<uint32_t>(data * 2 + 36));
  if (!dst.write(h, sizeof h)) return -1;
  constexpr int64_t kBlock = 10000;
  int64_t blocks = (data + kBlock - 1) / kBlock;
  std::vector<uint8_t> in(kBlock), out(2 * kBlock);
  for (int64_t b = 0; b < blocks; ++b) {
    if (!host.progress(static_cast<int>(b * 100 / (blocks + 1)))) return -2;
    std::size_t n = static_cast<std::size_t>(std::min(kBlock, data - b * kBlock));
    if (!src.readAt(int64_t(kWavHeaderSize) + b * kBlock, in.data(), n)) return -1;
    for (std::size_t i = 0; i < n; ++i)
      putU16(&out[2 * i], static_cast<uint16_t>((int(in[i]) - 128) * 256));
    if (!dst.write(out.data(), 2 * n)) return -1;
  }
  host.progress(100);
  return 1;
}

int convertWav8To16(const AnsiString& srcPath, const AnsiString& dstPath, FormatsHost& host) {
  auto in = openFile(srcPath, fmOpenRead | fmShareDenyWrite);
  if (!in) return -1;
  int result;
  {
    auto out = openFile(dstPath, fmCreate);
    if (!out) return -1;
    StreamSource src(*in);
    StreamSink sink(*out);
    result = convertWav8To16(src, sink, host);
  }
  if (result != 1) DeleteFile(dstPath);
  return result;
}
