// Fuzz target: an unfinished direct-AVI recording as the finisher reads it,
// the tail from the end and the video chunks of the AVI before it, and the
// length fix-up on the same bytes. Every chunk found must lie inside the
// input, and the fix-up may change only four bytes.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "AvwFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  TMemoryStream stream;
  stream.Write(data, static_cast<int>(size));
  AvwTail tail;
  readAvwTail(stream, tail);
  if (tail.aviEnd < 0 || tail.aviEnd > static_cast<int64_t>(size)) __builtin_trap();
  for (int64_t end : {tail.aviEnd, static_cast<int64_t>(size)}) {
    AviVideoScan scan;
    if (!scanAviVideo(stream, end, scan)) continue;
    if (scan.scale == 0 || scan.rate == 0) __builtin_trap();
    for (const AviFrameChunk& f : scan.frames)
      if (f.offset < 0 || f.offset + f.size > end) __builtin_trap();
  }
  setAviStreamLength(stream, "auds", 12345);
  if (stream.Size() != static_cast<int64_t>(size)) __builtin_trap();
  int changed = 0;
  for (std::size_t i = 0; i < size; ++i) changed += stream.Bytes()[i] != data[i];
  if (changed > 4) __builtin_trap();
  return 0;
}
