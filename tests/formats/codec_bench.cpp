// Benchmarks of the per-frame hot paths on desktop-like pictures (flat
// background, windows with frames and title gradients, text-like strips),
// each measured next to its yardstick in the same run: a plain memcmp of the
// two frames for change detection, a plain zlib compress2 at level 5 of the
// same BMP bytes for the codec's encoders, and zlib uncompress of that
// stream back to the same BMP bytes for its decoder. The codec's encoders run
// with the deflate threads this process may use, and once more on one thread
// (the program pins itself to one processor).
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <cstring>

#include "ChangedRegions.h"
#include "FrameCodec.h"
#include "FrameCodecDeflate.h"
#include "codec_screens.h"

namespace {

using namespace codecscreens;

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

// The decoder's yardstick does the decoder's whole job the plain way: from a
// frame packed at the same zlib level to the BMP file image. Inflating the
// codec's own stream alone would time only the first half of the decoder's
// work, and another program's decoder would time its start-up and container.
void BM_Uncompress5(benchmark::State& st) {
  Screen& s = screen(int(st.range(0)), int(st.range(1)), int(st.range(2)));
  std::vector<uint8_t> packed(compressBound(s.bmp.size()));
  uLongf n = packed.size();
  if (compress2(packed.data(), &n, s.bmp.data(), s.bmp.size(), 5) != Z_OK) {
    st.SkipWithError("compress2 failed");
    return;
  }
  std::vector<uint8_t> bmp(s.bmp.size());
  for (auto _ : st) {
    uLongf got = bmp.size();
    if (uncompress(bmp.data(), &got, packed.data(), n) != Z_OK || got != s.bmp.size()) {
      st.SkipWithError("uncompress failed");
      break;
    }
  }
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

void BM_EncodeType3OneThread(benchmark::State& st) {
  setDeflateWorkers(1);
  BM_EncodeType3(st);
  setDeflateWorkers(0);
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
  for (auto _ : st) {
    if (decodeFrameImageBytes(image.data() + 4, image.size() - 4, 3, bmp, host) != 1) {
      st.SkipWithError("decode failed");
      break;
    }
  }
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
BENCHMARK(BM_EncodeType3OneThread)->Apply(sizes);
BENCHMARK(BM_EncodeReduced3)->Apply(sizes);
BENCHMARK(BM_Uncompress5)->Apply(sizes);
BENCHMARK(BM_DecodeType3)->Apply(sizes);

}  // namespace

BENCHMARK_MAIN();
