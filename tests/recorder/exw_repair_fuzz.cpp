// Fuzz target: the repair's walk over a damaged unfinished recording (player
// stub of 8 bytes, then K and the picture part) and the video advice over
// the same bytes. Neither may read outside the input; a walk that succeeds
// must describe frames inside it.
#include <cstddef>
#include <cstdint>

#include "ByteSource.h"
#include "ExeOutput.h"
#include "ExwFinish.h"
#include "SysUtils.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  SpanSource src(data, size);
  TStringList keys;
  int32_t next = 0;
  int64_t end = 0;
  if (rebuildFrameIndex(src, 8, keys, next, end)) {
    if (next < 2 || end > static_cast<int64_t>(size) || keys.Count() < 2 || keys.Count() % 2)
      __builtin_trap();
    for (int i = 1; i < keys.Count(); i += 2)
      if (StrToInt(keys[i]) < 160 || StrToInt(keys[i]) >= end - 12) __builtin_trap();
  }
  exeCompressesPoorly(src);
  return 0;
}
