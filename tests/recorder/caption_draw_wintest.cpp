// Captions drawn on 16-bit and 32-bit frame bitmaps through GDI: the text
// lands inside the rectangle the placement computed and nowhere else, the
// date/time box is filled unless transparent, and its size stays that of the
// first frame. Pixels are read straight from the bitmap's rows.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "Canvas.h"
#include "FrameCaptions.h"
#include "Graphics.h"
#include "SysUtils.h"

namespace {

struct Rect {
  int left, top, right, bottom;  // right and bottom exclusive
  bool contains(int x, int y) const { return x >= left && x < right && y >= top && y < bottom; }
};

uint32_t pixel(const TBitmap& b, int x, int y) {
  const uint8_t* row = b.ScanLine(y);
  if (b.BitsPerPixel() == 16) {
    uint16_t v;
    std::memcpy(&v, row + 2 * x, 2);
    return v;
  }
  uint32_t v;
  std::memcpy(&v, row + 4 * x, 4);
  return v & 0xFFFFFF;
}

struct Count {
  int changedInside = 0, changedOutside = 0, unchangedInside = 0;
};

// Pixels that differ from the untouched background, inside and outside r.
Count changes(TBitmap& b, uint32_t background, const Rect& r) {
  GdiFlush();
  Count c;
  for (int y = 0; y < b.Height(); ++y)
    for (int x = 0; x < b.Width(); ++x) {
      const bool changed = pixel(b, x, y) != background;
      if (r.contains(x, y)) (changed ? c.changedInside : c.unchangedInside)++;
      else if (changed) c.changedOutside++;
    }
  return c;
}

class CaptionDraw : public ::testing::TestWithParam<TPixelFormat> {
protected:
  void SetUp() override {
    frame.SetPixelFormat(GetParam());
    frame.SetSize(320, 120);
    ASSERT_EQ(frame.BitsPerPixel(), GetParam() == pf16bit ? 16 : 32);
    background = pixel(frame, 0, 0);
  }
  TBitmap frame;
  uint32_t background = 0;
};

TEST_P(CaptionDraw, CustomCaptionAtEachCorner) {
  for (int corner : {kInfoTopLeft, kInfoTopRight, kInfoBottomLeft, kInfoBottomRight}) {
    SCOPED_TRACE(corner);
    TBitmap b;
    b.SetPixelFormat(GetParam());
    b.SetSize(320, 120);
    CustomInfo info;
    info.text = "Vidorra 版权所有";
    info.font.size = 12;
    info.corner = corner;
    info.marginX = 30;
    info.marginY = 20;
    placeCustomInfo(info, b.Width(), b.Height(), *b.Canvas());
    ASSERT_GT(info.textWidth, 20);
    ASSERT_GT(info.textHeight, 8);
    // The corner rule, worked independently of the unit.
    const bool right = corner == kInfoTopRight || corner == kInfoBottomRight;
    const bool bottom = corner == kInfoBottomLeft || corner == kInfoBottomRight;
    EXPECT_EQ(info.x, right ? 320 - 30 - info.textWidth : 30);
    EXPECT_EQ(info.y, bottom ? 120 - 20 - info.textHeight : 20);

    drawCustomInfo(b, info);
    const Count c = changes(b, background, {info.x, info.y, info.x + info.textWidth, info.y + info.textHeight});
    EXPECT_GT(c.changedInside, 20);
    EXPECT_EQ(c.changedOutside, 0);
    EXPECT_GT(c.unchangedInside, 0);  // the background behind the text is kept
  }
}

TEST_P(CaptionDraw, TimeCaptionWithBackgroundBox) {
  TimeCaptionStyle style;
  style.position = kTimeBottomLeft;
  style.backColor = RGB(255, 0, 0);
  style.font.color = RGB(0, 0, 0);
  TimeCaptionBox box;
  const AnsiString text = timeCaptionText(46366.5, DateTimePictures());  // "2026-12-10 12:00:00"
  const CaptionPoint at = drawTimeCaption(frame, style, box, text);
  ASSERT_GT(box.width, 20);
  EXPECT_EQ(at.x, 0);
  EXPECT_EQ(at.y, 120 - box.height);
  const Count c = changes(frame, background, {at.x, at.y, at.x + box.width, at.y + box.height});
  EXPECT_EQ(c.unchangedInside, 0);  // the whole box in the background colour
  EXPECT_EQ(c.changedOutside, 0);

  // Text pixels differ from the box colour inside the box.
  const uint32_t boxColour = pixel(frame, at.x + 1, at.y + box.height - 1);
  int textPixels = 0, leftmost = box.width;
  for (int y = at.y; y < at.y + box.height; ++y)
    for (int x = at.x; x < at.x + box.width; ++x)
      if (pixel(frame, x, y) != boxColour) {
        ++textPixels;
        leftmost = std::min(leftmost, x - at.x);
      }
  EXPECT_GT(textPixels, 20);
  // The text starts 5 pixels into the box (a digit's side bearing may add one or two).
  EXPECT_GE(leftmost, 5);
  EXPECT_LE(leftmost, 7);
}

TEST_P(CaptionDraw, TransparentTimeCaptionKeepsItsFirstBox) {
  TimeCaptionStyle style;
  style.position = kTimeTopRight;
  style.transparent = true;
  style.font.color = RGB(0, 0, 255);
  TimeCaptionBox box;
  const CaptionPoint at = drawTimeCaption(frame, style, box, "2026-12-10 9:59:59");
  const int firstWidth = box.width;
  const Count c = changes(frame, background, {at.x, at.y, at.x + box.width, at.y + box.height});
  EXPECT_EQ(at.x, 320 - box.width);
  EXPECT_GT(c.changedInside, 20);
  EXPECT_GT(c.unchangedInside, 0);  // no box drawn
  EXPECT_EQ(c.changedOutside, 0);

  // The hour gains a digit later in the recording: same box, same place.
  const CaptionPoint again = drawTimeCaption(frame, style, box, "2026-12-10 10:00:00");
  EXPECT_EQ(box.width, firstWidth);
  EXPECT_EQ(again.x, at.x);

  // A free position outside the picture draws nothing and does no harm.
  TBitmap clean;
  clean.SetPixelFormat(GetParam());
  clean.SetSize(64, 32);
  TimeCaptionStyle away = style;
  away.position = kTimeFree;
  away.x = 5000;
  away.y = -400;
  away.transparent = false;
  TimeCaptionBox awayBox;
  drawTimeCaption(clean, away, awayBox, "2026-12-10 10:00:00");
  EXPECT_EQ(changes(clean, pixel(clean, 0, 0), {0, 0, 0, 0}).changedOutside, 0);
}

INSTANTIATE_TEST_SUITE_P(Formats, CaptionDraw, ::testing::Values(pf16bit, pf32bit),
                         [](const ::testing::TestParamInfo<TPixelFormat>& i) {
                           return std::string(i.param == pf16bit ? "Bits16" : "Bits32");
                         });

TEST(CaptionClock, SystemPicturesAndClockGiveAReadableCaption) {
  const DateTimePictures p = systemDateTimePictures();
  EXPECT_FALSE(p.shortDate.IsEmpty());
  EXPECT_FALSE(p.time.IsEmpty());
  const double now = localClockNow();
  SYSTEMTIME st;
  GetLocalTime(&st);
  const DateTimeParts t = decodeDateTime(now);
  EXPECT_EQ(t.year, st.wYear);
  EXPECT_EQ(t.month, st.wMonth);
  const AnsiString text = timeCaptionText(now, p);
  EXPECT_NE(text.Pos(IntToStr(static_cast<int>(st.wYear))), 0) << Cp936ToUtf8(text);
  std::printf("pictures: \"%s\" \"%s\"; caption now: \"%s\"\n", Cp936ToUtf8(p.shortDate).c_str(),
              Cp936ToUtf8(p.time).c_str(), Cp936ToUtf8(text).c_str());
}

}  // namespace
