// Fuzz target: WAV files of any shape through the RIFF walk, the silence
// level, the 8-to-16-bit widening and the click mixer.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "WavHelpers.h"

namespace {
struct CountSink : ByteSink {
  std::size_t n = 0;
  bool write(const void*, std::size_t k) override { n += k; return true; }
};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  SpanSource src(data, size);
  RiffWave w;
  if (walkRiffWave(src, w)) {
    if (w.dataOffset < 0 || w.dataSize < 0 || w.dataOffset + w.dataSize > int64_t(size)) __builtin_trap();
  }
  meanSampleValue(src, 8, int64_t(size));
  meanSampleValue(src, 16, int64_t(size) * 3);
  SilentHost host;
  CountSink out;
  if (convertWav8To16(src, out, host) == 1 && out.n != 44 + 2 * (size - 44)) __builtin_trap();
  std::vector<uint8_t> target(data, data + size / 2);
  mixClickSamples(target.data(), data + size / 2, target.size(), 8);
  mixClickSamples(target.data(), data + size / 2, target.size(), 16);
  return 0;
}
