// The direct EXE output's per-frame cost at 1024 x 768, 16 bits: a screen
// where a small area (a 120 x 40 block, as a typing cursor or a menu) moves
// every frame, stored as changed rectangles with the lossless codec types.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "ByteReader.h"
#include "ExeOutput.h"
#include "Graphics.h"

namespace {

void paint(TBitmap& b, int t) {
  for (int y = 0; y < b.Height(); ++y) {
    uint8_t* row = b.ScanLine(y);
    for (int x = 0; x < b.Width(); ++x) {
      uint16_t c = uint16_t((x / 64 + y / 48) % 2 ? 0x39E7 : 0x7BEF);
      const int bx = (t * 7) % 900, by = 300 + (t % 5) * 10;
      if (x >= bx && x < bx + 120 && y >= by && y < by + 40) c = 0xF800;
      putU16(row + 2 * x, c);
    }
  }
}

void BM_WritePicture1024x768(benchmark::State& state) {
  const auto dir = std::filesystem::temp_directory_path() / "vidorra_exe_bench";
  std::filesystem::create_directories(dir);
  const std::string stub = (dir / "play.dat").string();
  { std::FILE* f = std::fopen(stub.c_str(), "wb"); std::fputs("MZ stub", f); std::fclose(f); }

  ExeOutputOptions o;
  o.stubPath = AnsiString(stub);
  o.playSettings.imageCodec = static_cast<int>(state.range(0));
  o.keyFrameInterval = 100;
  ExeOutput out(AnsiString((dir / "b.exw").string()), o);
  LxHeader h{};
  h.captureTarget = 1;
  h.width = 1024;
  h.height = 768;
  h.pixelFormat = pf16bit;
  h.msPerFrame = 100;
  h.hasCursor = 1;
  if (!out.open(h)) {
    state.SkipWithError("open failed");
    return;
  }
  // Pictures are prepared ahead: the benchmark times the output, not the painting.
  constexpr int kPictures = 16;
  TBitmap frames[kPictures];
  for (int i = 0; i < kPictures; ++i) {
    frames[i].SetPixelFormat(pf16bit);
    frames[i].SetSize(1024, 768);
    paint(frames[i], i);
  }
  RecordedPicture pic;
  pic.cursor.present = true;
  pic.cursor.icon.assign(766, 1);
  int t = 0;
  for (auto _ : state) {
    pic.bitmap = &frames[t++ % kPictures];
    if (!out.writePicture(pic, 1)) {
      state.SkipWithError("write failed");
      break;
    }
  }
  state.counters["bytes/frame"] =
      benchmark::Counter(double(out.bytesWritten()) / double(t > 0 ? t : 1));
  out.abandon();
  std::filesystem::remove_all(dir);
}
BENCHMARK(BM_WritePicture1024x768)->Arg(1)->Arg(2)->Arg(3)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
