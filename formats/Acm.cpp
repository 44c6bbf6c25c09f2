// CACM and the chunked conversion over an AcmApi: driver and format search by
// tag, bit-rate lists, and the conversion loop with progress and cancel.
// Portable; nothing here knows whether the driver is msacm32 or a test's fake.
// Driver answers are untrusted: a driver that claims to have used or written
// more than it was given fails the conversion instead of moving the cursor
// outside the buffers.
#include "Acm.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "ByteReader.h"

WaveFormat readWaveFormat(const uint8_t* p, std::size_t size) {
  WaveFormat f;
  ByteReader r(p, size);
  if (r.u16(f.formatTag) && r.u16(f.channels) && r.u32(f.samplesPerSec) && r.u32(f.avgBytesPerSec) &&
      r.u16(f.blockAlign) && r.u16(f.bitsPerSample) && r.u16(f.cbSize))
    return f;
  return WaveFormat();
}

void writeWaveFormat(uint8_t* p, const WaveFormat& f) {
  putU16(p, f.formatTag);
  putU16(p + 2, f.channels);
  putU32(p + 4, f.samplesPerSec);
  putU32(p + 8, f.avgBytesPerSec);
  putU16(p + 12, f.blockAlign);
  putU16(p + 14, f.bitsPerSample);
  putU16(p + 16, f.cbSize);
}

std::size_t waveFormatSize(const uint8_t* p) { return kWaveFormatHead + getU16(p + 16); }

std::vector<uint8_t> pcmFormat(int channels, int rate, int bits) {
  WaveFormat f;
  f.formatTag = kTagPcm;
  f.channels = static_cast<uint16_t>(channels);
  f.samplesPerSec = static_cast<uint32_t>(rate);
  f.blockAlign = static_cast<uint16_t>(channels * bits / 8);
  f.avgBytesPerSec = static_cast<uint32_t>(rate) * f.blockAlign;
  f.bitsPerSample = static_cast<uint16_t>(bits);
  std::vector<uint8_t> out(kWaveFormatHead);
  writeWaveFormat(out.data(), f);
  return out;
}

AcmStep convertInChunks(AcmApi& api, AcmHandle stream, const uint8_t* src, uint32_t length,
                        uint8_t* out, uint32_t outCapacity, uint32_t& outLength,
                        const std::function<bool(int)>& progress) {
  outLength = 0;
  uint32_t dstChunk = 0;
  if (!api.streamSize(stream, kAcmChunk, dstChunk) || dstChunk == 0) return AcmStep::Size;
  std::vector<uint8_t> srcBuf(kAcmChunk), dstBuf(dstChunk);
  if (!api.prepareHeader(stream, srcBuf.data(), kAcmChunk, dstBuf.data(), dstChunk)) return AcmStep::Prepare;

  AcmStep step = AcmStep::Ok;
  uint32_t pos = 0;
  for (;;) {
    const uint32_t n = std::min(kAcmChunk, length - pos);
    // A short chunk sits in a zeroed buffer; only its own bytes are converted.
    std::fill(srcBuf.begin() + n, srcBuf.end(), 0);
    if (n) std::memcpy(srcBuf.data(), src + pos, n);
    const bool last = pos + n == length;
    uint32_t used = 0, made = 0;
    if (!api.convert(stream, n, last, used, made) || used > n || made > dstChunk) {
      step = AcmStep::Convert;
      break;
    }
    if (made > outCapacity - outLength) {
      step = AcmStep::Capacity;
      break;
    }
    if (made) std::memcpy(out + outLength, dstBuf.data(), made);
    outLength += made;
    if (last) break;
    // Without this the loop would offer the same bytes again for ever.
    if (used == 0) {
      step = AcmStep::Stalled;
      break;
    }
    pos += used;
    // 64-bit: position x 100 passes 2^31 for sources above 21 MB.
    if (progress && !progress(static_cast<int>(uint64_t(pos) * 100 / length))) {
      step = AcmStep::Cancelled;
      break;
    }
  }
  if (!api.unprepareHeader(stream) && step == AcmStep::Ok) step = AcmStep::Unprepare;
  if (step != AcmStep::Ok) outLength = 0;
  return step;
}

// --- CACM ------------------------------------------------------------------------
CACM::CACM(AcmApi& api, FormatsHost& host) : api_(api), host_(host) {
  const std::size_t size = std::max<std::size_t>(api_.maxFormatSize(), kWaveFormatHead);
  src_.assign(size, 0);
  dst_.assign(size, 0);
}

CACM::~CACM() { close(); }

void CACM::close() {
  if (stream_) api_.closeStream(stream_);
  if (driver_) api_.closeDriver(driver_);
  stream_ = 0;
  driver_ = 0;
}

namespace {
bool isMp3EncoderName(AnsiString name) {
  return name.LowerCase().Pos("mpeg layer-3") > 0;
}
}  // namespace

int CACM::findFormats(int16_t tag, int16_t index, uint8_t* buffer, std::size_t bufferSize,
                      AcmDriverId& driverId) {
  const bool listMode = index < 0;
  const WaveFormat filter = readWaveFormat(buffer, bufferSize);
  if (listMode) list_.clear();
  bool found = false, fetched = false;
  const uint16_t wanted = static_cast<uint16_t>(tag);

  const bool enumerated = api_.enumDrivers([&](AcmDriverId id) {
    if (wanted == kTagMpegLayer3) {
      // Other tag-85 drivers (decoders) share the tag; only the name tells an
      // encoder apart.
      AnsiString name;
      if (!api_.driverLongName(id, name) || !isMp3EncoderName(name)) return true;
    }
    AcmHandle driver = 0;
    if (!api_.openDriver(id, driver)) return true;  // one broken driver must not hide the others
    api_.enumFormats(driver, wanted, [&](uint32_t fi, const uint8_t* fmt, std::size_t size) {
      const WaveFormat f = readWaveFormat(fmt, size);
      if (size < kWaveFormatHead || f.formatTag != wanted) return true;
      const std::size_t full = std::min(size, kWaveFormatHead + f.cbSize);
      if (listMode) {
        found = true;
        driverId = id;
        const bool passes = filter.channels == 0 ||
                            (f.channels == filter.channels && f.samplesPerSec == filter.samplesPerSec);
        if (passes && list_.size() < kMaxListed)
          list_.push_back(FoundFormat{std::vector<uint8_t>(fmt, fmt + full), fi, id});
        return true;
      }
      if (fi != static_cast<uint32_t>(index)) return true;
      found = true;
      driverId = id;
      if (full <= bufferSize) {
        std::memcpy(buffer, fmt, full);
        fetched = true;
      }
      return false;
    });
    api_.closeDriver(driver);
    return !(found && !listMode);
  });
  if (!enumerated) return 0;
  if (!listMode) return fetched ? 1 : 0;
  return found ? 1 : 0;
}

std::vector<int> CACM::listBitrates(const uint8_t* pcm) const {
  const WaveFormat p = readWaveFormat(pcm, kWaveFormatHead);
  std::vector<int> rates;
  for (const FoundFormat& ff : list_) {
    const WaveFormat f = readWaveFormat(ff.bytes.data(), ff.bytes.size());
    if (f.channels == p.channels && f.samplesPerSec == p.samplesPerSec)
      rates.push_back(static_cast<int>(uint64_t(f.avgBytesPerSec) * 8 / 1000));
  }
  return rates;
}

int CACM::findFormatIndex(const uint8_t* pcm, int kbps) const {
  const WaveFormat p = readWaveFormat(pcm, kWaveFormatHead);
  for (const FoundFormat& ff : list_) {
    const WaveFormat f = readWaveFormat(ff.bytes.data(), ff.bytes.size());
    if (f.channels == p.channels && f.samplesPerSec == p.samplesPerSec &&
        static_cast<int>(uint64_t(f.avgBytesPerSec) * 8 / 1000) == kbps)
      return static_cast<int>(ff.index);
  }
  return -1;
}

void CACM::setFormats(const uint8_t* src, const uint8_t* dst) {
  // Never more than the buffers hold, whatever cbSize claims.
  std::fill(src_.begin(), src_.end(), 0);
  std::fill(dst_.begin(), dst_.end(), 0);
  std::memcpy(src_.data(), src, std::min(waveFormatSize(src), src_.size()));
  std::memcpy(dst_.data(), dst, std::min(waveFormatSize(dst), dst_.size()));
}

int CACM::open(AcmDriverId id) {
  close();
  if (!api_.openDriver(id, driver_)) {
    driver_ = 0;
    showError("acmDriverOpen error!");
    return 0;
  }
  driverId_ = id;
  if (!api_.openStream(driver_, src_.data(), dst_.data(), stream_)) {
    stream_ = 0;
    showError("acmStreamOpen error!");
    return 0;
  }
  return 1;
}

int CACM::convert(const uint8_t* src, uint32_t length, uint8_t* out, uint32_t& outLength) {
  uint32_t needed = 0;
  if (!stream_ || !api_.streamSize(stream_, length, needed)) {
    outLength = 0;
    showError("as error!");
    return 0;
  }
  if (outLength == 0) {
    outLength = needed;
    return 1;
  }
  const std::function<bool(int)> progress =
      progress_ ? progress_ : std::function<bool(int)>([this](int p) { return host_.progress(p); });
  uint32_t written = 0;
  const AcmStep step = convertInChunks(api_, stream_, src, length, out, outLength, written, progress);
  outLength = written;
  switch (step) {
    case AcmStep::Ok: return 1;
    case AcmStep::Size: showError("as error!"); break;
    case AcmStep::Prepare: showError("ap error!"); break;
    case AcmStep::Convert: case AcmStep::Stalled: showError("ac error!"); break;
    case AcmStep::Unprepare: showError("au error!"); break;
    case AcmStep::Cancelled: case AcmStep::Capacity: break;
  }
  return 0;
}

int convertWithAcm(AcmApi& api, const uint8_t* srcFormat, const uint8_t* dstFormat, const uint8_t* src,
                   uint32_t length, uint8_t* out, uint32_t& outLength,
                   const std::function<bool(int)>& progress) {
  const uint32_t capacity = outLength;
  outLength = 0;
  AcmHandle stream = 0;
  if (!api.openStream(0, srcFormat, dstFormat, stream)) return 0;
  uint32_t needed = 0;
  int result = 0;
  if (api.streamSize(stream, length, needed) && needed <= capacity) {
    uint32_t written = 0;
    if (convertInChunks(api, stream, src, length, out, capacity, written, progress) == AcmStep::Ok) {
      outLength = written;
      result = 1;
    }
  }
  api.closeStream(stream);
  return result;
}

bool hasMp3Codec(AcmApi& api) {
  SilentHost host;
  CACM acm(api, host);
  std::vector<uint8_t> any(acm.sourceFormat().size(), 0);
  AcmDriverId id = 0;
  return acm.findFormats(kTagMpegLayer3, -1, any.data(), any.size(), id) == 1 && !acm.formats().empty();
}

uint32_t mp3OutputCapacity(uint32_t dataLength, uint32_t avgBytesPerSec, int kbps) {
  // Encoder delay, padding and the final flush: a few frames of up to 1,441
  // bytes whatever the length.
  const double slack = 16384.0;
  if (avgBytesPerSec == 0 || kbps <= 0) return static_cast<uint32_t>(slack);
  const double coded = double(dataLength) / avgBytesPerSec * (kbps * 1000.0 / 8.0) * 1.2;
  const double total = std::ceil(coded + slack);
  return total >= 4294967295.0 ? 4294967295u : static_cast<uint32_t>(total);
}
