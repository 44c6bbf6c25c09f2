// Fuzz target: a sound-track block (first byte: the packing) through the
// unpackers, then the same bytes as a WAV through the packers.
#include <cstddef>
#include <cstdint>

#include "SoundTrack.h"

namespace {
struct CountSink : ByteSink {
  std::size_t n = 0;
  bool write(const void*, std::size_t k) override { n += k; return true; }
};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  SilentHost host;
  SpanSource block(data + 1, size - 1);
  const SoundPacking* p = findSoundPacking(data[0] & 1 ? kSoundZlib : kSoundRaw);
  CountSink out;
  int64_t pos = 0;
  p->unpack(block, pos, block.size(), out, host);
  if (pos < 0 || pos > block.size()) __builtin_trap();
  if (size < 4096) {
    CountSink packed;
    packRawSound(block, packed, host);
    packZlibSound(block, packed, host);
  }
  return 0;
}
