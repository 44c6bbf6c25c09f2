// Changed-region detection on small synthetic pictures: what is found for
// single pixels in every format, the last line, row padding, many changes in
// one line, the 20-line gap rule, scattered changes, very tall pictures, and
// the padded boxes of findChangedBounds.
#include <gtest/gtest.h>

#include <cstring>

#include "ChangedRegions.h"

namespace {

// Two equal pictures (bottom-up pixel areas) with helpers to change pixel
// (x, y), y from the top.
struct Pictures {
  int width, height, bits, stride;
  std::vector<uint8_t> a, b;
  Pictures(int w, int h, int bpp)
      : width(w), height(h), bits(bpp), stride(((w * bpp + 31) / 32) * 4),
        a(std::size_t(stride) * h, 0x5A), b(a) {}
  uint8_t* at(int x, int y) {
    return b.data() + std::size_t(height - 1 - y) * stride + std::size_t(x) * bits / 8;
  }
  void change(int x, int y) {
    uint8_t* p = at(x, y);
    for (int i = 0; i < std::max(1, bits / 8); ++i) p[i] ^= 0xFF;
  }
  PicturePair pair() const { return PicturePair{a.data(), b.data(), width, height, stride, bits}; }
};

bool contains(const ChangedRect& r, int x, int y) {
  return x >= r.left && x < r.right && y >= r.top && y < r.bottom;
}

TEST(ChangedRegions, NothingChangedAndMismatches) {
  for (int bits : {4, 8, 16, 24, 32}) {
    Pictures p(33, 7, bits);
    std::vector<ChangedRect> out{{1, 2, 3, 4}};
    EXPECT_EQ(findChangedRegions(p.pair(), out), 0) << bits;
    EXPECT_TRUE(out.empty());
    EXPECT_EQ(findChangedBounds(p.pair(), out), 0) << bits;
  }
  Pictures p(8, 8, 12);
  std::vector<ChangedRect> out;
  EXPECT_EQ(findChangedRegions(p.pair(), out), -1);
  TBitmap a, b;
  a.SetPixelFormat(pf16bit);
  a.SetSize(10, 10);
  b.SetPixelFormat(pf32bit);
  b.SetSize(10, 10);
  EXPECT_EQ(findChangedRegions(a, b, out), -1);
  EXPECT_EQ(findChangedBounds(a, b, out), -1);
  b.SetPixelFormat(pf16bit);
  b.SetSize(10, 11);
  EXPECT_EQ(findChangedRegions(a, b, out), -1);
}

TEST(ChangedRegions, SinglePixelInEveryFormat) {
  // (x, y) and the rectangle expected: exact for 16, 24 and 32 bits; 8 bits
  // refines only to the word's first and last bytes.
  const struct {
    int bits, x, y;
    ChangedRect want;
  } cases[] = {
      {32, 13, 4, {13, 4, 14, 5}}, {16, 13, 4, {13, 4, 14, 5}}, {16, 12, 4, {12, 4, 13, 5}},
      {24, 13, 4, {13, 4, 14, 5}}, {24, 0, 0, {0, 0, 1, 1}},    {24, 31, 6, {31, 6, 32, 7}},
      {8, 13, 4, {13, 4, 15, 5}},  {8, 12, 6, {12, 6, 15, 7}},
  };
  for (auto c : cases) {
    Pictures p(32, 7, c.bits);
    p.change(c.x, c.y);
    std::vector<ChangedRect> out;
    ASSERT_EQ(findChangedRegions(p.pair(), out), 1) << c.bits << " " << c.x;
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].left, c.want.left) << c.bits << " " << c.x;
    EXPECT_EQ(out[0].top, c.want.top);
    EXPECT_EQ(out[0].right, c.want.right) << c.bits << " " << c.x;
    EXPECT_EQ(out[0].bottom, c.want.bottom);
  }
}

TEST(ChangedRegions, LastLineCountsPaddingDoesNot) {
  Pictures p(31, 9, 16);  // odd width: two padding bytes a row
  p.b[p.stride - 1] ^= 0xFF;                   // padding of the bottom (last) row
  p.b[std::size_t(p.stride) * 8 - 2] ^= 0xFF;  // padding of the top row
  std::vector<ChangedRect> out;
  EXPECT_EQ(findChangedRegions(p.pair(), out), 0);
  EXPECT_EQ(findChangedBounds(p.pair(), out), 0);
  p.change(30, 8);  // last pixel of the last line
  ASSERT_EQ(findChangedRegions(p.pair(), out), 1);
  ASSERT_EQ(out.size(), 1u);
  EXPECT_TRUE(contains(out[0], 30, 8));
  EXPECT_LE(out[0].right, 31);
  EXPECT_LE(out[0].bottom, 9);
  ASSERT_EQ(findChangedBounds(p.pair(), out), 1);
  EXPECT_TRUE(contains(out[0], 30, 8));
}

TEST(ChangedRegions, ElevenChangesInOneLineCollapse) {
  Pictures p(800, 1, 32);
  for (int i = 0; i < 11; ++i) p.change(20 + i * 70, 0);
  int32_t spans[20];
  EXPECT_EQ(findChangedSpans(p.a.data(), p.b.data(), 800, 32, spans), 1);
  EXPECT_EQ(spans[0], 20);
  EXPECT_EQ(spans[1], 799);
  EXPECT_EQ(spans[2], -1);
  EXPECT_EQ(spans[3], -1);
  // Fewer than 50 equal words join two changes into one span; 50 do not.
  for (int extra : {70, 71}) {
    Pictures q(1000, 1, 32);
    for (int i = 0; i < 8; ++i) q.change(20 + i * 120, 0);
    q.change(extra, 0);
    const bool joined = extra == 70;  // 49 equal words between 20 and 70
    EXPECT_EQ(findChangedSpans(q.a.data(), q.b.data(), 1000, 32, spans), joined ? 8 : 9);
    EXPECT_EQ(spans[0], 20);
    EXPECT_EQ(spans[1], joined ? 70 : 20);
  }
}

TEST(ChangedRegions, GapsOfMoreThanTwentyLinesSplit) {
  const struct {
    int secondY;
    std::vector<ChangedRect> want;
  } cases[] = {
      {40, {{10, 10, 11, 11}, {10, 40, 11, 41}}},
      {31, {{10, 10, 11, 32}}},  // 20 unchanged lines between: bridged
  };
  for (const auto& c : cases) {
    Pictures p(100, 100, 32);
    p.change(10, 10);
    p.change(10, c.secondY);
    std::vector<ChangedRect> out;
    ASSERT_EQ(findChangedRegions(p.pair(), out), 1);
    ASSERT_EQ(out.size(), c.want.size()) << c.secondY;
    for (std::size_t i = 0; i < out.size(); ++i) {
      EXPECT_EQ(out[i].left, c.want[i].left);
      EXPECT_EQ(out[i].top, c.want[i].top);
      EXPECT_EQ(out[i].right, c.want[i].right);
      EXPECT_EQ(out[i].bottom, c.want[i].bottom) << c.secondY;
    }
  }
}

TEST(ChangedRegions, EveryChangeIsCoveredOrTheFrameIsRefused) {
  // Blocks spread over a big picture: either each changed pixel lies in a
  // rectangle, or -1 (too scattered: the whole frame is stored).
  const struct {
    int w, h, step;
    int result;
  } cases[] = {
      {1000, 600, 250, 1},
      {50, 6000, 15, 1},      // taller than 50 cells of 100: the cell size grows
      {50, 6000, 40, -1},     // 150 boxes split by gaps: more than 100, whole frame
      {12000, 40, 500, 1},    // wider than 100 cells of 100
  };
  for (auto c : cases) {
    Pictures p(c.w, c.h, 8);
    std::vector<std::pair<int, int>> changed;
    for (int y = 0; y < c.h; y += c.step)
      for (int x = 0; x < c.w; x += c.step) {
        p.change(x, y);
        changed.push_back({x, y});
      }
    std::vector<ChangedRect> out;
    ASSERT_EQ(findChangedRegions(p.pair(), out), c.result) << c.w << "x" << c.h;
    if (c.result != 1) continue;
    EXPECT_LE(out.size(), 100u);
    for (auto& r : out) {
      EXPECT_GE(r.left, 0);
      EXPECT_LE(r.right, c.w);
      EXPECT_LE(r.bottom, c.h);
    }
    for (auto [x, y] : changed) {
      bool in = false;
      for (auto& r : out) in = in || contains(r, x, y);
      EXPECT_TRUE(in) << x << "," << y << " in " << c.w << "x" << c.h;
    }
  }
}

TEST(ChangedRegions, TooScatteredIsRefused) {
  // Nine 150-pixel changes a line, each marking two cells of 100, rows of
  // cells shifted by one column in turn so that none merge: 180 groups.
  Pictures p(4000, 2000, 32);
  for (int r = 0; r < 20; ++r)
    for (int k = 0; k < 9; ++k)
      for (int x = 0; x < 150; ++x) p.change((3 * k + r % 2) * 100 + 10 + x, r * 100 + 50);
  std::vector<ChangedRect> out;
  EXPECT_EQ(findChangedRegions(p.pair(), out), -1);
  EXPECT_TRUE(out.empty());
}

TEST(ChangedBounds, PaddedBoxes) {
  Pictures p(200, 100, 16);
  p.change(50, 40);
  std::vector<ChangedRect> out;
  ASSERT_EQ(findChangedBounds(p.pair(), out), 1);
  ASSERT_EQ(out.size(), 1u);
  EXPECT_EQ(out[0].left, 47);
  EXPECT_EQ(out[0].top, 37);
  EXPECT_EQ(out[0].right, 56);
  EXPECT_EQ(out[0].bottom, 46);
  // Two groups more than 20 lines apart, one wide and tall enough unpadded.
  p.change(100, 70);
  for (int y = 80; y < 95; ++y) p.change(150, y), p.change(190, y);
  ASSERT_EQ(findChangedBounds(p.pair(), out), 1);
  ASSERT_EQ(out.size(), 2u);
  EXPECT_EQ(out[1].left, 100);
  EXPECT_EQ(out[1].top, 70);
  EXPECT_EQ(out[1].right, 193);
  EXPECT_EQ(out[1].bottom, 96);
  // Bitmaps through the framework: the same box.
  TBitmap a, b;
  for (TBitmap* bm : {&a, &b}) {
    bm->SetPixelFormat(pf16bit);
    bm->SetSize(20, 20);
    std::memset(bm->Bits(), 0, std::size_t(bm->Stride()) * 20);
  }
  b.ScanLine(9)[2 * 9] = 1;
  ASSERT_EQ(findChangedBounds(a, b, out), 1);
  EXPECT_EQ(out[0].left, 6);
  EXPECT_EQ(out[0].top, 6);
  ASSERT_EQ(findChangedRegions(a, b, out), 1);
  EXPECT_EQ(out[0].left, 9);
  EXPECT_EQ(out[0].top, 9);
}

TEST(FramesDiffer, SizeOrAnyByte) {
  const uint8_t x[] = {1, 2, 3}, y[] = {1, 2, 4};
  EXPECT_FALSE(framesDiffer(x, 3, x, 3));
  EXPECT_TRUE(framesDiffer(x, 3, y, 3));
  EXPECT_TRUE(framesDiffer(x, 3, x, 2));
  EXPECT_FALSE(framesDiffer(x, 0, y, 0));
}

}  // namespace
