// Fuzz target: MP3 data of any shape through the frame walks (seek index and
// frame count), and the same bytes as a stored seek index.
#include <cstddef>
#include <cstdint>

#include "ByteReader.h"
#include "Mp3SeekIndex.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  Mp3SeekIndex index;
  index.build(data, size);
  if (index.offsets.size() != std::size_t(index.count) + 1) __builtin_trap();
  for (uint32_t o : index.offsets)
    if (o > size) __builtin_trap();
  int32_t frames = 0, samples = 0;
  Mp3SeekIndex::countFrames(data, size, frames, samples);
  ByteReader r(data, size);
  Mp3SeekIndex stored;
  stored.read(r);
  return 0;
}
