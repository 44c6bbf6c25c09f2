// The monitor's waveform over any bytes of a WAV side file that is still
// being written: whatever the file's size, the read position and the sample
// depth, a refresh reads only bytes the file has, draws at most a panel's
// width of columns, and every column stays on the panel.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "ByteReader.h"
#include "TickSideWork.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ByteReader r(data, size);
  uint32_t fileSize = 0, position = 0;
  uint8_t bits = 0, width = 0;
  if (!r.u32(fileSize) || !r.u32(position) || !r.u8(bits) || !r.u8(width)) return 0;
  const int W = width % 200 + 1;
  const int H = 128;
  const WaveRead plan = planWaveRead(fileSize, position, bits, W);
  if (plan.columns == 0) return 0;
  if (plan.columns > W || plan.from < position || plan.from + plan.bytes > int64_t(fileSize)) std::abort();
  // The samples themselves: what is left of the input, as much as the plan asks.
  const std::size_t have = r.left();
  const std::size_t n = std::min<std::size_t>(have, static_cast<std::size_t>(plan.bytes));
  const std::vector<WaveColumn> columns = waveColumns(r.here(), n, bits, H);
  if (columns.size() > static_cast<std::size_t>(plan.columns)) std::abort();
  for (const WaveColumn& c : columns)
    if (c.yFrom < 0 || c.yTo > H || c.yFrom >= c.yTo) std::abort();
  return 0;
}
