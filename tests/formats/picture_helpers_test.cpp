// Picture helpers: the 3 x 3 smoothing of 5-6-5 frames (uniform frames and a
// single bright pixel, worked out by hand), row copies with byte swapping,
// and the DIB pixel-area size.
#include <gtest/gtest.h>

#include "PictureHelpers.h"

namespace {

uint16_t rgb(int r, int g, int b) { return uint16_t(r << 11 | g << 5 | b); }

}  // namespace

TEST(Smoothing, UniformFrameDarkensOnlyAtTheBorder) {
  // Odd width: rows hold 6 pixels, the pad pixel must stay as it was.
  const int w = 5, h = 4, stride = 6;
  const uint16_t c = rgb(16, 32, 16);
  std::vector<uint16_t> px(stride * h, c);
  for (int y = 0; y < h; ++y) px[y * stride + 5] = 0xBEEF;
  gaosimohuclass s(w, h);
  s.smooth(px.data());
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      bool edgeX = x == 0 || x == w - 1, edgeY = y == 0 || y == h - 1;
      // weights present: 16 inside, 12 on an edge, 9 in a corner; divided by 16
      int total = edgeX && edgeY ? 9 : edgeX || edgeY ? 12 : 16;
      EXPECT_EQ(px[y * stride + x], rgb(16 * total / 16, 32 * total / 16, 16 * total / 16))
          << x << "," << y;
    }
  for (int y = 0; y < h; ++y) EXPECT_EQ(px[y * stride + 5], 0xBEEF);
}

TEST(Smoothing, OnePixelSpreadsWithTheWeights) {
  // A single white pixel in the middle of black: each channel's share is
  // weight x full / 16, truncated.
  const int w = 4, h = 3;
  std::vector<uint16_t> px(w * h, 0);
  px[1 * w + 1] = 0xFFFF;
  gaosimohuclass s(w, h);
  s.smooth(px.data());
  const int weight[3][4] = {{1, 2, 1, 0}, {2, 4, 2, 0}, {1, 2, 1, 0}};
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      int k = weight[y][x];
      EXPECT_EQ(px[y * w + x], rgb(31 * k / 16, 63 * k / 16, 31 * k / 16)) << x << "," << y;
    }
}

TEST(Rows, CopiesAndSwaps) {
  const uint8_t src[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
  struct Row {
    int bits, offset, n;
    std::vector<uint8_t> expected;
  } rows[] = {
      {16, 1, 5, {2, 1, 4, 3, 5}},  // a trailing odd byte is copied as it is
      {32, 2, 8, {5, 4, 3, 2, 9, 8, 7, 6}},
      {24, 0, 3, {0, 1, 2}},
  };
  for (auto& r : rows) {
    std::vector<uint8_t> dst(r.expected.size());
    copyRowSwapped(r.bits, src, r.offset, dst.data(), r.n);
    EXPECT_EQ(dst, r.expected) << r.bits;
  }
  uint8_t dst[6] = {};
  copyRow(dst, src + 4, 2, 3);
  EXPECT_EQ(std::vector<uint8_t>(dst, dst + 6), (std::vector<uint8_t>{0, 0, 4, 5, 6, 0}));
}

TEST(Dib, ImageSize) {
  struct Row { int width, height, bits; uint32_t size; } rows[] = {
      {3, 2, 16, 16},   // 6 bytes a row, padded to 8
      {4, 2, 16, 16},
      {5, 3, 24, 48},   // 15 -> 16
      {7, 1, 8, 8},
      {10, -3, 32, 120},  // top-down
      {9, 1, 1, 4},
  };
  for (auto r : rows) {
    uint8_t h[40] = {};
    for (int i = 0; i < 4; ++i) {
      h[4 + i] = uint8_t(uint32_t(r.width) >> (8 * i));
      h[8 + i] = uint8_t(uint32_t(r.height) >> (8 * i));
    }
    h[14] = uint8_t(r.bits);
    EXPECT_EQ(dibImageSize(h), r.size) << r.width << "x" << r.height << "x" << r.bits;
  }
}
