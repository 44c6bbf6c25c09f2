// Where the custom and the date/time captions land for a picture size, and
// the date/time caption's text for fixed clock values. Expected positions
// come from the corner rules worked by hand; clock serials (days since
// 1899-12-30) were computed with Python's datetime, not with the unit.
#include <gtest/gtest.h>

#include <string>

#include "FrameCaptions.h"
#include "SysUtils.h"

namespace {

TEST(CaptionPlacement, CustomCaptionCorners) {
  struct Case {
    int corner, mx, my, textW, textH, w, h;
    CaptionPoint expected;
  } cases[] = {
      {kInfoTopLeft, 30, 20, 100, 12, 640, 480, {30, 20}},
      {kInfoTopRight, 30, 20, 100, 12, 640, 480, {510, 20}},
      {kInfoBottomLeft, 30, 20, 100, 12, 640, 480, {30, 448}},
      {kInfoBottomRight, 30, 20, 100, 12, 640, 480, {510, 448}},
      {kInfoBottomRight, 0, 0, 100, 12, 640, 480, {540, 468}},
      {kInfoBottomRight, 255, 255, 10, 10, 1024, 768, {759, 503}},
      // picture smaller than margin plus text: the text starts at the edge
      {kInfoTopRight, 30, 20, 100, 12, 80, 480, {0, 20}},
      {kInfoBottomRight, 30, 20, 100, 12, 120, 25, {0, 0}},
      {kInfoBottomLeft, 30, 20, 100, 40, 640, 50, {30, 0}},
      // margins outside the byte the settings keep are taken within 0..255
      {kInfoTopLeft, 300, -5, 100, 12, 640, 480, {255, 0}},
      {kInfoBottomRight, -1, 256, 100, 12, 640, 480, {540, 213}},
      // free position and unknown corners keep the free coordinates
      {kInfoFree, 30, 20, 100, 12, 640, 480, {7, 9}},
      {5, 30, 20, 100, 12, 640, 480, {7, 9}},
      {-1, 30, 20, 100, 12, 640, 480, {7, 9}},
  };
  for (const Case& c : cases) {
    const CaptionPoint p = customInfoPosition(c.corner, c.mx, c.my, c.textW, c.textH, c.w, c.h, {7, 9});
    EXPECT_EQ(p.x, c.expected.x) << "corner " << c.corner << " picture " << c.w << "x" << c.h;
    EXPECT_EQ(p.y, c.expected.y) << "corner " << c.corner << " picture " << c.w << "x" << c.h;
  }
}

TEST(CaptionPlacement, PlaceCustomInfoKeepsFreeAndEmptyCaptions) {
  CustomInfo info;
  info.text = "版权所有";
  info.corner = kInfoBottomRight;
  info.x = info.y = 1;
  placeCustomInfo(info, 640, 480, 100, 12);
  EXPECT_EQ(info.x, 510);
  EXPECT_EQ(info.y, 448);
  EXPECT_EQ(info.textWidth, 100);

  // A free caption is where the user dragged it, whatever the picture.
  info.corner = kInfoFree;
  info.x = 600;
  info.y = 470;
  placeCustomInfo(info, 320, 240, 100, 12);
  EXPECT_EQ(info.x, 600);
  EXPECT_EQ(info.y, 470);

  // An empty text has nothing to place; its extent is still recorded.
  info.corner = kInfoTopRight;
  info.text = "";
  placeCustomInfo(info, 320, 240, 0, 16);
  EXPECT_EQ(info.x, 600);
  EXPECT_EQ(info.textHeight, 16);

  // The placement decoded from the settings is taken field by field.
  struct Decoded {
    int x, y, marginX, marginY, corner;
  } decoded{3, 4, 40, 50, kInfoBottomLeft};
  info.setPlacement(decoded);
  info.text = "A";
  placeCustomInfo(info, 320, 240, 10, 10);
  EXPECT_EQ(info.x, 40);
  EXPECT_EQ(info.y, 180);
}

TEST(CaptionPlacement, TimeCaptionBox) {
  TimeCaptionBox box;
  box.measure(100, 12);
  EXPECT_EQ(box.width, 120);
  EXPECT_EQ(box.height, 14);
  struct Case {
    int position, w, h;
    CaptionPoint expected;
  } cases[] = {
      {kTimeTopLeft, 640, 480, {0, 0}},
      {kTimeBottomLeft, 640, 480, {0, 466}},
      {kTimeTopRight, 640, 480, {520, 0}},
      {kTimeBottomRight, 640, 480, {520, 466}},
      {kTimeFree, 640, 480, {33, 44}},
      {0, 640, 480, {0, 0}},   // no button checked
      {9, 640, 480, {0, 0}},
      // a picture smaller than the box: the box starts at the edge
      {kTimeBottomRight, 100, 10, {0, 0}},
      {kTimeTopRight, 119, 480, {0, 0}},
  };
  for (const Case& c : cases) {
    TimeCaptionStyle style;
    style.position = c.position;
    style.x = 33;
    style.y = 44;
    const CaptionPoint p = timeCaptionPosition(style, box, c.w, c.h);
    EXPECT_EQ(p.x, c.expected.x) << "position " << c.position << " picture " << c.w << "x" << c.h;
    EXPECT_EQ(p.y, c.expected.y) << "position " << c.position << " picture " << c.w << "x" << c.h;
  }
  // A free position outside the picture is kept (drawing there is harmless).
  TimeCaptionStyle outside;
  outside.position = kTimeFree;
  outside.x = 5000;
  outside.y = -20;
  EXPECT_EQ(timeCaptionPosition(outside, box, 640, 480), (CaptionPoint{5000, -20}));
}

TEST(CaptionText, DateAndTimeForFixedClockValues) {
  const double ms = 1.0 / 86400000;
  struct Case {
    double clock;
    const char* date;
    const char* time;
    const char* expected;
  } cases[] = {
      {39618.0, "yyyy-M-d", "H:mm:ss", "2008-6-19 0:00:00"},
      {39618.0, "yyyy-M-d", "HH:mm:ss", "2008-6-19 00:00:00"},
      {46366.5 + 3723 * 1000 * ms, "yyyy/M/d", "H:mm:ss", "2026/12/10 13:02:03"},
      {46366.5 + 3723 * 1000 * ms, "yy-MM-dd", "hh:mm:ss tt", "26-12-10 01:02:03 下午"},
      {46366.25, "yyyy'年'M'月'd'日' dddd", "t h:m:s", "2026年12月10日 星期四 上 6:0:0"},
      {46366.0, "ddd d MMM MMMM ''yy", "H", "周四 10 12月 十二月 '26 0"},
      {36585.75, "yyyy-MM-dd", "H:mm", "2000-02-29 18:00"},
      {61.0, "yyyy-M-d", "H:mm:ss", "1900-3-1 0:00:00"},
      // a hair below midnight is the next day's 0:00:00, never 24:00:00
      {46387.0 + 86399999.6 * ms, "yyyy-M-d", "H:mm:ss", "2027-1-1 0:00:00"},
      {2958465.0 + 86399 * 1000 * ms, "yyyy-M-d", "H:mm:ss", "9999-12-31 23:59:59"},
      // the text inside quotes and CP936 characters are never picture letters
      {46366.0, "'d''s' 日d", "'hh'", "d's 日10 hh"},
  };
  for (const Case& c : cases) {
    DateTimePictures p;
    p.shortDate = c.date;
    p.time = c.time;
    // Both sides CP936: the literals are compiled to it.
    EXPECT_EQ(timeCaptionText(c.clock, p).str(), c.expected) << Cp936ToUtf8(AnsiString(c.date) + " " + c.time);
  }
  // The fallback pictures when the system gives none.
  EXPECT_EQ(timeCaptionText(39618.0 + 0.5).str(), "2008-6-19 12:00:00");
}

TEST(CaptionText, ClockValuesEncodeAsTheCalendarSays) {
  struct Case {
    int y, m, d, hh, mi, ss;
    double serial;
    int dayOfWeek;
  } cases[] = {
      {1899, 12, 30, 0, 0, 0, 0.0, 6},
      {1900, 3, 1, 0, 0, 0, 61.0, 4},
      {2000, 2, 29, 18, 0, 0, 36585.75, 2},
      {2008, 6, 19, 12, 0, 0, 39618.5, 4},
      {2027, 1, 1, 6, 0, 0, 46388.25, 5},
  };
  for (const Case& c : cases) {
    EXPECT_DOUBLE_EQ(encodeDateTime(c.y, c.m, c.d, c.hh, c.mi, c.ss), c.serial);
    const DateTimeParts t = decodeDateTime(c.serial);
    EXPECT_EQ(t.year, c.y);
    EXPECT_EQ(t.month, c.m);
    EXPECT_EQ(t.day, c.d);
    EXPECT_EQ(t.hour, c.hh);
    EXPECT_EQ(t.dayOfWeek, c.dayOfWeek) << c.serial;
  }
}

}  // namespace
