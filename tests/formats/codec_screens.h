// Desktop-like pictures for the codec's benchmarks and tests: a gradient sky
// over flat colour, a task bar, two windows with title gradients and
// text-like strips, in 16-bit 5-6-5 or 32-bit, as a BMP file image (header
// and bottom-up rows), each with two changed variants of its pixels (a few
// words typed, a window moved). Built once per size and kept.
#pragma once

#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "FrameCodec.h"

namespace codecscreens {

struct Screen {
  int width, height, bits, stride;
  std::vector<uint8_t> bmp;    // header + pixels, as a frame is coded
  std::vector<uint8_t> small;  // pixels with a few words of text changed
  std::vector<uint8_t> large;  // pixels with a window dragged across
  int headerLength;
  const uint8_t* pixels() const { return bmp.data() + headerLength; }
};

inline uint32_t rgb(int r, int g, int b) { return uint32_t(r) << 16 | uint32_t(g) << 8 | uint32_t(b); }

inline void putPixel(Screen& s, std::vector<uint8_t>& px, int x, int y, uint32_t c, std::size_t base) {
  if (x < 0 || y < 0 || x >= s.width || y >= s.height) return;
  uint8_t* p = px.data() + base + std::size_t(s.height - 1 - y) * s.stride;
  if (s.bits == 32) {
    std::memcpy(p + 4 * x, &c, 4);
  } else {
    const uint16_t v = uint16_t(((c >> 19) & 31) << 11 | ((c >> 10) & 63) << 5 | ((c >> 3) & 31));
    std::memcpy(p + 2 * x, &v, 2);
  }
}

inline void fill(Screen& s, std::vector<uint8_t>& px, std::size_t base, int x0, int y0, int w, int h, uint32_t c) {
  for (int y = y0; y < y0 + h; ++y)
    for (int x = x0; x < x0 + w; ++x) putPixel(s, px, x, y, c, base);
}

// Text-like strips: short runs of dark pixels on white, glyph-sized cells.
inline void text(Screen& s, std::vector<uint8_t>& px, std::size_t base, int x0, int y0, int w, int lines, int seed) {
  uint32_t st = 2166136261u ^ uint32_t(seed);
  for (int l = 0; l < lines; ++l)
    for (int y = 0; y < 12; ++y)
      for (int x = 0; x < w; ++x) {
        st = st * 1664525u + 1013904223u;
        const bool ink = (x % 7 != 6) && y > 1 && y < 11 && ((st >> 28) < 5);
        putPixel(s, px, x0 + x, y0 + l * 16 + y, ink ? rgb(20, 20, 30) : rgb(255, 255, 255), base);
      }
}

inline void window(Screen& s, std::vector<uint8_t>& px, std::size_t base, int x0, int y0, int w, int h, int seed) {
  fill(s, px, base, x0, y0, w, h, rgb(212, 208, 200));
  for (int x = 0; x < w; ++x)  // title bar gradient
    for (int y = 0; y < 22; ++y)
      putPixel(s, px, x0 + x, y0 + y, rgb(10, 36 + 100 * x / w, 106 + 140 * x / w), base);
  fill(s, px, base, x0 + 4, y0 + 26, w - 8, h - 30, rgb(255, 255, 255));
  text(s, px, base, x0 + 8, y0 + 30, w - 16, (h - 40) / 16, seed);
}

inline Screen& screen(int width, int height, int bits) {
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

}  // namespace codecscreens
