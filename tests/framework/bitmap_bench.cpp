// Costs of the per-frame bitmap work of a recording at 1024 x 768: the BMP
// file image written for the frame codec, loading it back, and a 32-bit
// capture converted to 16 bits.
#include <benchmark/benchmark.h>

#include "Graphics.h"
#include "Jpeg.h"

namespace {

void fill(TBitmap& b, TPixelFormat pf) {
  b.SetPixelFormat(pf);
  b.SetSize(1024, 768);
  for (int y = 0; y < 768; ++y)
    for (int i = 0; i < b.Stride(); ++i) b.ScanLine(y)[i] = uint8_t(i ^ y);
}

void SaveBmp16(benchmark::State& state) {
  TBitmap b;
  fill(b, pf16bit);
  for (auto _ : state) {
    TMemoryStream m;
    b.SaveToStream(m);
    benchmark::DoNotOptimize(m.Memory());
  }
}
BENCHMARK(SaveBmp16)->Unit(benchmark::kMicrosecond);

void LoadBmp16(benchmark::State& state) {
  TBitmap b;
  fill(b, pf16bit);
  TMemoryStream m;
  b.SaveToStream(m);
  TBitmap c;
  for (auto _ : state) {
    m.SetPosition(0);
    c.LoadFromStream(m);
  }
}
BENCHMARK(LoadBmp16)->Unit(benchmark::kMicrosecond);

void Convert32To16(benchmark::State& state) {
  TBitmap b, c;
  fill(b, pf32bit);
  for (auto _ : state) {
    c.Assign(b);
    c.SetPixelFormat(pf16bit);
  }
}
BENCHMARK(Convert32To16)->Unit(benchmark::kMillisecond);

void JpegEncode(benchmark::State& state) {
  TBitmap b;
  fill(b, pf24bit);
  for (auto _ : state) {
    TJPEGImage j;
    j.Assign(b);
    benchmark::DoNotOptimize(j.Data().size());
  }
}
BENCHMARK(JpegEncode)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
