// Benchmarks of the per-frame hot paths on desktop-like pictures (flat
// background, windows with frames and title gradients, text-like strips),
// each measured next to its yardstick in the same run: a plain memcmp of the
// two frames for change detection, a plain zlib compress2 at level 5 of the
// same BMP bytes for the codec.
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <cstring>
#include <map>
#include <memory>
#include <tuple>

#include "ChangedRegions.h"
#include "FrameCodec.h"

namespace {

struct Screen {
  int width, height, bits, stride;
  std::vector<uint8_t> bmp;    // header + pixels, as a frame is coded
  std::vector<uint8_t> small;  // pixels with a few words of text changed
  std::vector<uint8_t> large;  // pixels with a window dragged across
  int headerLength;
  const uint8_t* pixels() const { return bmp.data() + headerLength; }
};

uint32_t rgb(int r, int g, int b) { return uint32_t(r) << 16 | uint32_t(g) << 8 | uint32_t(b); }

void putPixel(Screen& s, std::vector<uint8_t>& px, int x, int y, uint32_t c, std::size_t base) {
  if (x < 0 || y < 0 || x >= s.width || y >= s.height) return;
  uint8_t* p = px.data() + base + std::size_t(s.height - 1 - y) * s.stride;
  if (s.bits == 32) {
    std::memcpy(p + 4 * x, &c, 4);
  } else {
    const uint16_t v = uint16_t(((c >> 19) & 31) << 11 | ((c >> 10) & 63) << 5 | ((c >> 3) & 31));
    std::memcpy(p + 2 * x, &v, 2);
  }
}

void fill(Screen& s, std::vector<uint8_t>& px, std::size_t base, int x0, int y0, int w, int h, uint32_t c) {
  for (int y = y0; y < y0 + h; ++y)
    for (int x = x0; x < x0 + w; ++x) putPixel(s, px, x, y, c, base);
}

// Text-like strips: short runs of dark pixels on white, glyph-sized cells.
void text(Screen& s, std::vector<uint8_t>& px, std::size_t base, int x0, int y0, int w, int lines, int seed) {
  uint32_t st = 2166136261u ^ uint32_t(seed);
  for (int l = 0; l < lines; ++l)
    for (int y = 0; y < 12; ++y)
      for (int x = 0; x < w; ++x) {
        st = st * 1664525u + 1013904223u;
        const bool ink = (x % 7 != 6) && y > 1 && y < 11 && ((st >> 28) < 5);
        putPixel(s, px, x0 + x, y0 + l * 16 + y, ink ? rgb(20, 20, 30) : rgb(255, 255, 255), base);
      }
}

void window(Screen& s, std::vector<uint8_t>& px, std::size_t base, int x0, int y0, int w, int h, int seed) {
  fill(s, px, base, x0, y0, w, h, rgb(212, 208, 200));
  for (int x = 0; x < w; ++x)  // title bar gradient
    for (int y = 0; y < 22; ++y)
      putPixel(s, px, x0 + x, y0 + y, rgb(10, 36 + 100 * x / w, 106 + 140 * x / w), base);
  fill(s, px, base, x0 + 4, y0 + 26, w - 8, h - 30, rgb(255, 255, 255));
  text(s, px, base, x0 + 8, y0 + 30, w - 16, (h - 40) / 16, seed);
}

Screen& screen(int width, int height, int bits) {
  static std::map<std::tuple<int, int, int>, std::unique_ptr<Screen>> cache;
  auto& slot = cache[{width, height, bits}];
  if (slot) return *slot;
  slot.reset(new Screen);
  Screen& s = *slot;
  s.width = width;
  s.height = height;
  s.bits = bits;
  s.stride = ((width * bits + 31) / 32) * 4;
  s.headerLength = bits == 16 ? 66 : 54;
  s.bmp.assign(std::size_t(s.headerLength) + std::size_t(s.stride) * height, 0);
  if (bits == 16) {
    buildBmpHeader(width, height, s.bmp.data());
  } else {
    buildBmpHeader(width, height, s.bmp.data());
    s.bmp[10] = 54;
    s.bmp[28] = 32;
    std::memset(s.bmp.data() + 30, 0, 4);
  }
  const std::size_t base = std::size_t(s.headerLength);
  // Desktop: a gradient sky over a flat colour, a task bar, two windows.
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      putPixel(s, s.bmp, x, y, y < height / 3 ? rgb(30, 60 + 80 * y / height, 140 + 60 * y / height)
                                             : rgb(58, 110, 165), base);
  fill(s, s.bmp, base, 0, height - 30, width, 30, rgb(192, 192, 192));
  window(s, s.bmp, base, width / 10, height / 8, width / 2, height / 2, 1);
  window(s, s.bmp, base, width / 3, height / 3, width / 2, height / 2, 2);
  s.small.assign(s.bmp.begin() + s.headerLength, s.bmp.end());
  text(s, s.small, 0, width / 3 + 40, height / 3 + 80, 120, 1, 3);  // a few words typed
  s.large.assign(s.bmp.begin() + s.headerLength, s.bmp.end());
  window(s, s.large, 0, width / 5, height / 5, width / 2, height / 2, 4);  // a window moved
  return s;
}

void setLabel(benchmark::State& st, const Screen& s) {
  st.SetBytesProcessed(int64_t(st.iterations()) * int64_t(s.bmp.size() - s.headerLength));
  st.SetLabel(std::to_string(s.width) + "x" + std::to_string(s.height) + "x" + std::to_string(s.bits));
}

void BM_Memcmp(benchmark::State& st) {
  Screen& s = screen(int(st.range(0)), int(st.range(1)), int(st.range(2)));
  std::vector<uint8_t> copy(s.pixels(), s.pixels() + s.small.size());
  for (auto _ : st) benchmark::DoNotOptimize(std::memcmp(s.pixels(), copy.data(), copy.size()));
  setLabel(st, s);
}

void regions(benchmark::State& st, bool large) {
  Screen& s = screen(int(st.range(0)), int(st.range(1)), int(st.range(2)));
  const PicturePair p{s.pixels(), large ? s.large.data() : s.small.data(), s.width, s.height,
                      s.stride, s.bits};
  std::vector<ChangedRect> out;
  for (auto _ : st) benchmark::DoNotOptimize(findChangedRegions(p, out));
  st.counters["rects"] = double(out.size());
  setLabel(st, s);
}
void BM_ChangedRegionsSmall(benchmark::State& st) { regions(st, false); }
void BM_ChangedRegionsLarge(benchmark::State& st) { regions(st, true); }

void BM_Zlib5(benchmark::State& st) {
  Screen& s = screen(int(st.range(0)), int(st.range(1)), int(st.range(2)));
  std::vector<uint8_t> out(compressBound(s.bmp.size()));
  uLongf n = 0;
  for (auto _ : st) {
    n = out.size();
    compress2(out.data(), &n, s.bmp.data(), s.bmp.size(), 5);
  }
  st.counters["ratio"] = double(s.bmp.size()) / double(n);
  setLabel(st, s);
}

void BM_EncodeType3(benchmark::State& st) {
  Screen& s = screen(int(st.range(0)), int(st.range(1)), int(st.range(2)));
  std::vector<uint8_t> out;
  for (auto _ : st) {
    out.clear();
    encodeFrameImageBytes(s.bmp.data(), s.bmp.size(), 3, out);
  }
  st.counters["ratio"] = double(s.bmp.size()) / double(out.size());
  setLabel(st, s);
}

void BM_EncodeReduced3(benchmark::State& st) {
  Screen& s = screen(int(st.range(0)), int(st.range(1)), int(st.range(2)));
  std::vector<uint8_t> out;
  for (auto _ : st) {
    out.clear();
    // Level 0 leaves the pixels alone, so the same picture serves every round.
    encodeReducedFrameBytes(s.bmp.data(), s.headerLength, s.bmp.data() + s.headerLength, 3, true,
                            0, out);
  }
  st.counters["ratio"] = double(s.bmp.size()) / double(out.size());
  setLabel(st, s);
}

void BM_DecodeType3(benchmark::State& st) {
  Screen& s = screen(int(st.range(0)), int(st.range(1)), int(st.range(2)));
  std::vector<uint8_t> image, bmp;
  encodeFrameImageBytes(s.bmp.data(), s.bmp.size(), 3, image);
  SilentHost host;
  for (auto _ : st) decodeFrameImageBytes(image.data() + 4, image.size() - 4, 3, bmp, host);
  setLabel(st, s);
}

void sizes(benchmark::internal::Benchmark* b) {
  for (int bits : {16, 32}) {
    b->Args({1024, 768, bits});
    b->Args({1920, 1080, bits});
  }
  b->Unit(benchmark::kMillisecond);
}

BENCHMARK(BM_Memcmp)->Apply(sizes);
BENCHMARK(BM_ChangedRegionsSmall)->Apply(sizes);
BENCHMARK(BM_ChangedRegionsLarge)->Apply(sizes);
BENCHMARK(BM_Zlib5)->Apply(sizes);
BENCHMARK(BM_EncodeType3)->Apply(sizes);
BENCHMARK(BM_EncodeReduced3)->Apply(sizes);
BENCHMARK(BM_DecodeType3)->Apply(sizes);

}  // namespace

BENCHMARK_MAIN();
