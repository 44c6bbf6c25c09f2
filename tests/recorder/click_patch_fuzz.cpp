// Fuzz target: a damaged recording's mouse list and frame index, as the
// finish and the repair tools read them back. The input is split at its
// first NUL: the mouse list text before it, and after it a frame index text
// whose lines point into the input itself; every event's cursor is patched.
// Neither reading may go outside the stream or raise.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "ClickList.h"
#include "LxOutput.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const uint8_t* nul = static_cast<const uint8_t*>(std::memchr(data, 0, size));
  const std::size_t split = nul ? std::size_t(nul - data) : size;
  TStringList mouse, index;
  mouse.SetText(AnsiString(reinterpret_cast<const char*>(data), split));
  if (split < size)
    index.SetText(AnsiString(reinterpret_cast<const char*>(data) + split + 1, size - split - 1));
  TMemoryStream stream;
  stream.Write(data, static_cast<int>(size));
  for (const ClickEvent& e : readClickEvents(mouse))
    patchLxFrameCursor(stream, index, e.frame, clickCursorX(e), clickCursorY(e));
  if (stream.Size() != static_cast<int64_t>(size)) __builtin_trap();  // patching never grows the file
  return 0;
}
