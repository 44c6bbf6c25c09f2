// A fake Audio Compression Manager with working codecs, for the packing tests:
// an "MP3 encoder" that turns every frame's worth of 16-bit PCM into one frame
// that starts with a real MPEG audio header (the rest is filler), a
// "TrueSpeech encoder" that makes a 32-byte block of every 240 samples, the
// matching decoders (each frame or block back to silence of its length), and
// a PCM converter for driver 0 that changes rate, channels and width by
// length alone. Every stream opened is recorded with its formats; a stream
// can be told to fail its n-th conversion call.
#pragma once

#include <cstring>
#include <string>
#include <vector>

#include "Acm.h"
#include "ByteReader.h"

namespace fakecodec {

struct Driver {
  AcmDriverId id;
  std::string longName;
  std::vector<std::vector<uint8_t>> formats;  // driver index = position
};

// An MP3 format as an encoder lists it: 18-byte head, cbSize 12 and extras.
inline std::vector<uint8_t> mp3Format(int channels, int rate, int kbps) {
  std::vector<uint8_t> b(kWaveFormatHead + 12, 0xEE);
  WaveFormat f;
  f.formatTag = kTagMpegLayer3;
  f.channels = uint16_t(channels);
  f.samplesPerSec = uint32_t(rate);
  f.avgBytesPerSec = uint32_t(kbps * 125);
  f.blockAlign = 1;
  f.cbSize = 12;
  writeWaveFormat(b.data(), f);
  return b;
}

inline std::vector<uint8_t> trueSpeechFormat(int avgBytes = 1067) {
  std::vector<uint8_t> b(kWaveFormatHead + 32, 0);
  WaveFormat f{kTagTrueSpeech, 1, 8000, uint32_t(avgBytes), 32, 1, 32};
  writeWaveFormat(b.data(), f);
  putU16(&b[18], 1);
  putU16(&b[20], 240);
  return b;
}

// Layer III frame length and samples per frame (the standard's formulas).
inline int mp3FrameLength(int rate, int kbps) { return (rate >= 32000 ? 144000 : 72000) * kbps / rate; }
inline int mp3FrameSamples(int rate) { return rate >= 32000 ? 1152 : 576; }

// The four header bytes of a Layer III frame, no CRC, no padding.
inline void mp3Header(uint8_t* p, int rate, int kbps, int channels) {
  struct Rate { int hz, version, index; };
  const Rate rates[] = {{44100, 3, 0}, {48000, 3, 1}, {32000, 3, 2}, {22050, 2, 0}, {24000, 2, 1},
                        {16000, 2, 2}, {11025, 0, 0}, {12000, 0, 1}, {8000, 0, 2}};
  const int mpeg1[] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};
  const int mpeg2[] = {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160};
  int version = 3, sr = 0, br = 0;
  for (const Rate& r : rates)
    if (r.hz == rate) { version = r.version; sr = r.index; }
  for (int i = 0; i < 15; ++i)
    if ((version == 3 ? mpeg1 : mpeg2)[i] == kbps) br = i;
  p[0] = 0xFF;
  p[1] = uint8_t(0xE0 | version << 3 | 1 << 1 | 1);  // layer III, no CRC
  p[2] = uint8_t(br << 4 | sr << 2);
  p[3] = uint8_t(channels == 1 ? 0xC0 : 0x00);
}

struct OpenedStream {
  AcmHandle driver;
  std::vector<uint8_t> src, dst;  // full formats (18 + cbSize)
};

class FakeCodecAcm : public AcmApi {
public:
  std::vector<Driver> drivers;
  std::vector<OpenedStream> opened;
  int failConvertAtCall = -1;  // counted over all streams
  bool failStreamOpen = false;
  int convertCalls = 0;

  uint32_t maxFormatSize() override { return 64; }
  bool enumDrivers(const std::function<bool(AcmDriverId)>& fn) override {
    for (const Driver& d : drivers)
      if (!fn(d.id)) break;
    return true;
  }
  bool driverLongName(AcmDriverId id, AnsiString& name) override {
    const Driver* d = find(id);
    if (d) name = AnsiString(d->longName);
    return d != nullptr;
  }
  bool openDriver(AcmDriverId id, AcmHandle& driver) override {
    driver = id + 1000;
    return find(id) != nullptr;
  }
  void closeDriver(AcmHandle) override {}
  bool enumFormats(AcmHandle driver, uint16_t tag,
                   const std::function<bool(uint32_t, const uint8_t*, std::size_t)>& fn) override {
    const Driver* d = find(driver - 1000);
    if (!d) return false;
    for (std::size_t i = 0; i < d->formats.size(); ++i)
      if (getU16(d->formats[i].data()) == tag && !fn(uint32_t(i), d->formats[i].data(), d->formats[i].size()))
        break;
    return true;
  }
  bool openStream(AcmHandle driver, const uint8_t* src, const uint8_t* dst, AcmHandle& stream) override {
    if (failStreamOpen) return false;
    opened.push_back({driver, std::vector<uint8_t>(src, src + waveFormatSize(src)),
                      std::vector<uint8_t>(dst, dst + waveFormatSize(dst))});
    s_ = Stream();
    s_.src = readWaveFormat(src, kWaveFormatHead);
    s_.dst = readWaveFormat(dst, kWaveFormatHead);
    // Like a real driver, refuse what it cannot code (zero-length units).
    if (s_.src.samplesPerSec == 0 || s_.dst.samplesPerSec == 0 || unitIn() == 0 || unitOut() == 0) return false;
    stream = 7;
    return true;
  }
  void closeStream(AcmHandle) override {}
  bool streamSize(AcmHandle, uint32_t srcBytes, uint32_t& dstBytes) override {
    dstBytes = uint32_t((uint64_t(srcBytes) / unitIn() + 2) * unitOut());
    return true;
  }
  bool prepareHeader(AcmHandle, uint8_t* src, uint32_t, uint8_t* dst, uint32_t dstCap) override {
    s_.srcBuf = src;
    s_.dstBuf = dst;
    s_.dstCap = dstCap;
    return true;
  }
  bool convert(AcmHandle, uint32_t srcLength, bool end, uint32_t& srcUsed, uint32_t& dstUsed) override {
    if (convertCalls++ == failConvertAtCall) return false;
    s_.pending.insert(s_.pending.end(), s_.srcBuf, s_.srcBuf + srcLength);
    std::vector<uint8_t> made;
    const std::size_t in = unitIn();
    while (s_.pending.size() >= in || (end && !s_.pending.empty())) {
      emitUnit(made);
      s_.pending.erase(s_.pending.begin(), s_.pending.begin() + std::min(in, s_.pending.size()));
    }
    if (made.size() > s_.dstCap) return false;
    if (!made.empty()) std::memcpy(s_.dstBuf, made.data(), made.size());
    srcUsed = srcLength;
    dstUsed = uint32_t(made.size());
    return true;
  }
  bool unprepareHeader(AcmHandle) override { return true; }

private:
  struct Stream {
    WaveFormat src, dst;
    uint8_t* srcBuf = nullptr;
    uint8_t* dstBuf = nullptr;
    uint32_t dstCap = 0;
    std::vector<uint8_t> pending;
  };
  Stream s_;

  const Driver* find(AcmDriverId id) const {
    for (const Driver& d : drivers)
      if (d.id == id) return &d;
    return nullptr;
  }
  int kbps(const WaveFormat& f) const { return int(f.avgBytesPerSec * 8 / 1000); }
  // Bytes consumed and produced per unit of coding.
  std::size_t unitIn() const {
    if (s_.dst.formatTag == kTagMpegLayer3) return std::size_t(mp3FrameSamples(s_.dst.samplesPerSec)) * s_.src.blockAlign;
    if (s_.dst.formatTag == kTagTrueSpeech) return 480;
    if (s_.src.formatTag == kTagMpegLayer3) return mp3FrameLength(s_.src.samplesPerSec, kbps(s_.src));
    if (s_.src.formatTag == kTagTrueSpeech) return 32;
    return std::size_t(s_.src.blockAlign) * 441;  // PCM: 441 frames at a time
  }
  std::size_t unitOut() const {
    if (s_.dst.formatTag == kTagMpegLayer3) return mp3FrameLength(s_.dst.samplesPerSec, kbps(s_.dst));
    if (s_.dst.formatTag == kTagTrueSpeech) return 32;
    if (s_.src.formatTag == kTagMpegLayer3) return std::size_t(mp3FrameSamples(s_.src.samplesPerSec)) * s_.dst.blockAlign;
    if (s_.src.formatTag == kTagTrueSpeech) return 480;
    return std::size_t(441) * s_.dst.samplesPerSec / s_.src.samplesPerSec * s_.dst.blockAlign;
  }
  void emitUnit(std::vector<uint8_t>& out) {
    const std::size_t at = out.size();
    out.resize(at + unitOut(), s_.dst.formatTag == kTagTrueSpeech ? 0x5A : 0);
    if (s_.dst.formatTag == kTagMpegLayer3) {
      mp3Header(&out[at], s_.dst.samplesPerSec, kbps(s_.dst), s_.dst.channels);
      for (std::size_t i = at + 4; i < out.size(); ++i) out[i] = 0x11;  // never a sync byte
    }
  }
};

}  // namespace fakecodec
