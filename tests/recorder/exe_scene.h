// Synthetic input for the direct EXE tests: a 16-bit scene of moving
// rectangles with a still stretch, pictures as bitmaps, a small player stub,
// PCM WAV files, and an EXE output over them.
#pragma once

#include <string>
#include <vector>

#include "ExeOutput.h"
#include "Graphics.h"
#include "exe_checker.h"
#include "test_files.h"

namespace exescene {

using execheck::Picture;

constexpr int kW = 64, kH = 48;

inline void fill(Picture& p, int x0, int y0, int w, int h, uint16_t c) {
  for (int y = std::max(0, y0); y < std::min(p.h, y0 + h); ++y)
    for (int x = std::max(0, x0); x < std::min(p.w, x0 + w); ++x) p.px[std::size_t(y) * p.w + x] = c;
}

// Picture t of the scene: a patterned background, a red block moving right,
// a green block moving down; from `stillFrom` to `stillTo` (exclusive) the
// picture of stillFrom - 1 stays; at `flashAt` the whole picture changes.
struct Scene {
  int stillFrom = 20, stillTo = 40, flashAt = -1;
  Picture at(int t) const {
    if (t >= stillFrom && t < stillTo) t = stillFrom - 1;
    Picture p;
    p.w = kW;
    p.h = kH;
    p.px.resize(std::size_t(kW) * kH);
    for (int y = 0; y < kH; ++y)
      for (int x = 0; x < kW; ++x) p.px[std::size_t(y) * kW + x] = uint16_t((x / 8 + y / 8) % 2 ? 0x39E7 : 0x7BEF);
    if (t == flashAt) fill(p, 0, 0, kW, kH, uint16_t(0x1234 + t));
    fill(p, (t * 3) % (kW - 12), 6, 12, 8, 0xF800);
    fill(p, 40, (t * 2) % (kH - 6), 6, 6, 0x07E0);
    return p;
  }
};

inline void toBitmap(const Picture& p, TBitmap& b) {
  b.SetPixelFormat(pf16bit);
  b.SetSize(p.w, p.h);
  for (int y = 0; y < p.h; ++y)
    for (int x = 0; x < p.w; ++x) putU16(b.ScanLine(y) + 2 * x, p.px[std::size_t(y) * p.w + x]);
}

inline Bytes stubBytes() {
  Bytes b = {'M', 'Z'};
  for (int i = 0; i < 98; ++i) b.push_back(uint8_t(i * 7));
  return b;
}

// A mono PCM WAV of n data bytes with a recognisable ramp (8-bit: silence 128
// when flat).
inline Bytes wavBytes(int rate, int bits, std::size_t n, bool flat = false) {
  Bytes b = {'R', 'I', 'F', 'F'};
  put32(b, uint32_t(36 + n));
  for (char c : std::string("WAVEfmt ")) b.push_back(uint8_t(c));
  put32(b, 16);
  put16(b, 1);
  put16(b, 1);
  put32(b, uint32_t(rate));
  put32(b, uint32_t(rate * bits / 8));
  put16(b, uint16_t(bits / 8));
  put16(b, uint16_t(bits));
  for (char c : std::string("data")) b.push_back(uint8_t(c));
  put32(b, uint32_t(n));
  for (std::size_t i = 0; i < n; ++i) b.push_back(flat ? 128 : uint8_t(i * 13 + i / 300));
  return b;
}

inline LxHeader header(int ms = 200, bool cursor = true) {
  LxHeader h{};
  h.captureTarget = 3;
  h.width = kW;
  h.height = kH;
  h.pixelFormat = pf16bit;
  h.msPerFrame = ms;
  h.soundSource = 1;
  h.hasCursor = cursor ? 1 : 0;
  return h;
}

inline ExeOutputOptions options(const TempDir& dir, int keyInterval = 10, int imageCodec = 1) {
  writeAll(dir.file("play.dat"), stubBytes());
  ExeOutputOptions o;
  o.stubPath = dir.path("play.dat");
  o.playSettings.imageCodec = imageCodec;
  o.playSettings.soundCodec = 2;
  o.keyFrameInterval = keyInterval;
  return o;
}

inline RecordedPicture recorded(const TBitmap& b, int x, int y, const Bytes& icon) {
  RecordedPicture r;
  r.bitmap = &b;
  r.cursor.present = true;
  r.cursor.x = x;
  r.cursor.y = y;
  r.cursor.icon = icon;
  return r;
}

// Writes pictures 0..count-1 of the scene; repeats[i] > 1 makes picture i
// stand for that many frames in time. Returns the picture for every frame in
// time. The cursor icon changes every 10 pictures.
inline std::vector<Picture> record(ExeOutput& out, const Scene& scene, int count,
                                   const std::vector<int>& repeats = {}) {
  std::vector<Picture> timeline;
  TBitmap bmp;
  for (int i = 0; i < count; ++i) {
    const Picture p = scene.at(i);
    toBitmap(p, bmp);
    const int times = i < int(repeats.size()) && repeats[i] > 0 ? repeats[i] : 1;
    const Bytes icon(6, uint8_t(1 + i / 10));
    EXPECT_TRUE(out.writePicture(recorded(bmp, i, 2 * i, icon), times)) << "picture " << i;
    for (int k = 0; k < times; ++k) timeline.push_back(p);
  }
  return timeline;
}

}  // namespace exescene
