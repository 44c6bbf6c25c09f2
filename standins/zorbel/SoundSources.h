// Where recorded samples come from: the system's wave-in device, or, for
// tests, a paced test signal (a counter ramp or silence) clocked from the
// system clock so that it delivers exactly as many samples as time passed.
// A source is driven by one capture thread: start, then collect whenever its
// event fires (or on a short poll), then stop.
#pragma once

#include "WavFile.h"

#include <functional>
#include <memory>

namespace zorbel {

enum class SourceKind { Device, Ramp, Silence };

// "ramp" and "silence" (any case) name the test signals; anything else, or
// nothing, is the device.
SourceKind sourceKindFromText(const wchar_t* text);

class SoundSource {
public:
  using Sink = std::function<void(const uint8_t*, std::size_t)>;
  virtual ~SoundSource() = default;
  // firstSample: samples already in the file, so that a test signal goes on
  // where the file ends. False when the source cannot deliver format f.
  virtual bool start(const PcmFormat& f, uint64_t firstSample) = 0;
  // Signalled when data is ready; null for a source that is polled.
  virtual HANDLE readyEvent() const { return nullptr; }
  // Hands everything captured so far to sink, in order, whole samples only.
  virtual void collect(const Sink& sink) = 0;
  // Ends the capture; what was captured up to this moment goes to sink first.
  virtual void stop(const Sink& sink) = 0;
};

std::unique_ptr<SoundSource> makeSoundSource(SourceKind kind);

// Sample k of the ramp, as the bytes of one channel: 8-bit k mod 256, 16-bit
// k mod 65536 taken as a signed little-endian word.
inline uint32_t rampSample(uint64_t k, uint16_t bits) {
  return bits == 8 ? uint32_t(k & 0xFF) : uint32_t(k & 0xFFFF);
}

}  // namespace zorbel
