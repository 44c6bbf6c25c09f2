// The two captions the recorder writes onto frames: the user's custom text
// ("自设信息") at a corner or a free position, and the date/time caption
// ("显示时间"). This half is the arithmetic only: where each caption goes for
// a picture size and a measured text extent, and the date/time text for a
// clock value in a date and a time picture. Measuring and drawing need GDI and
// live in FrameCaptions_win.cpp. Portable: no <windows.h>.
//
// Coordinates are picture pixels, (0, 0) at the top left. A corner caption
// never starts left of or above the picture: the 16-bit packing of the
// settings file would turn a negative position into one far off the picture,
// and a picture narrower than its text is better shown from the text's start.
#pragma once

#include <cstdint>

#include "System.h"

// A font as the settings keep it; the Win32 side turns it into a TFont.
struct CaptionFont {
  AnsiString name = "宋体";
  int size = 9;           // points
  uint32_t color = 0;     // 0x00BBGGRR
  int style = 0;          // bold 1, italic 2, underline 4, strike-out 8
};

struct CaptionPoint {
  int x = 0, y = 0;
  friend bool operator==(const CaptionPoint& a, const CaptionPoint& b) { return a.x == b.x && a.y == b.y; }
};

// ---- custom caption -----------------------------------------------------------

// infoCorner: 0 free coordinates, 1 top-left, 2 top-right, 3 bottom-left,
// 4 bottom-right.
enum CustomInfoCorner { kInfoFree = 0, kInfoTopLeft = 1, kInfoTopRight = 2, kInfoBottomLeft = 3, kInfoBottomRight = 4 };
constexpr int kInfoMarginMax = 255;  // the margin has one byte in the packed settings words
constexpr int kInfoTextMaxChars = 40;

// The custom caption members of the main form. x, y, corner and the margins
// are the values the settings unit decodes from lines 7 and 8
// (SettingsFile::customInfoPlacement); copy them in, and back out for saving.
struct CustomInfo {
  int x = 0, y = 0;  // top-left of the text in the picture
  AnsiString text;
  CaptionFont font;
  int corner = kInfoFree;
  int marginX = 30, marginY = 20;
  int textWidth = 0, textHeight = 0;  // last measured extent of `text`

  // From any placement record with the fields x, y, marginX, marginY, corner
  // (the settings unit's decoded lines 7 and 8).
  template <class Placement>
  void setPlacement(const Placement& p) {
    x = p.x;
    y = p.y;
    marginX = p.marginX;
    marginY = p.marginY;
    corner = p.corner;
  }
};

// Where a corner caption of textWidth x textHeight goes in a picture of
// width x height: top-left (mx, my), top-right (W - mx - w, my), bottom-left
// (mx, H - my - h), bottom-right (W - mx - w, H - my - h), each coordinate at
// least 0. Margins are taken within 0..255. A free position (corner 0) or a
// corner outside 1..4 gives `freePosition` unchanged.
CaptionPoint customInfoPosition(int corner, int marginX, int marginY, int textWidth, int textHeight, int width,
                                int height, CaptionPoint freePosition);

// placeCustomInfo once the text is measured: stores the extent and, for a
// corner caption with a text, the position. Does nothing for a free position
// or an empty text (the extent is still stored).
void placeCustomInfo(CustomInfo& info, int width, int height, int measuredWidth, int measuredHeight);

// ---- date/time caption ----------------------------------------------------------

// Line 112 of the settings: which radio button of the time-caption dialog is
// checked. Anything else (none checked) places the box at (0, 0).
enum TimeCaptionPosition {
  kTimeTopLeft = 1,
  kTimeBottomLeft = 2,
  kTimeTopRight = 3,  // the dialog's default
  kTimeBottomRight = 4,
  kTimeFree = 5,
};

struct TimeCaptionStyle {
  int position = kTimeTopRight;
  int x = 0, y = 0;             // free position
  bool transparent = false;     // "透明": no background box
  uint32_t backColor = 0xFFFFFF;
  CaptionFont font;
};

// The box is measured on the first frame of a recording and kept for the
// rest of it, so the caption does not jump when the text grows (the hour
// gains a digit). reset() at every recording start.
struct TimeCaptionBox {
  int width = 0, height = 0;  // 0: not measured yet
  bool measured() const { return width != 0; }
  void reset() { width = height = 0; }
  // The box around a text of that extent: 10 pixels each side, 1 above and below.
  void measure(int textWidth, int textHeight) {
    width = textWidth + 20;
    height = textHeight + 2;
  }
};

// Top-left of the box in a picture of width x height. Corner boxes stay at
// or right of / below 0; a free position is kept as it is, even outside the
// picture (drawing there shows nothing and is harmless).
CaptionPoint timeCaptionPosition(const TimeCaptionStyle& style, const TimeCaptionBox& box, int width, int height);
// The text starts 5 pixels into the box.
constexpr int kTimeTextIndent = 5;

// ---- date and time text ------------------------------------------------------

// A clock value: days since 1899-12-30, the time of day as the fraction (the
// representation the date pickers and the settings use).
struct DateTimeParts {
  int year = 1899, month = 12, day = 30;
  int hour = 0, minute = 0, second = 0, millisecond = 0;
  int dayOfWeek = 6;  // 0 Sunday .. 6 Saturday
};
// Rounded to the millisecond first, so a value a hair below midnight reads as
// the next day's 0:00:00, never as 24:00:00. Values below 0 read as day 0.
DateTimeParts decodeDateTime(double value);
double encodeDateTime(int year, int month, int day, int hour = 0, int minute = 0, int second = 0, int ms = 0);

// The system's date and time pictures (short date, time format) in the
// Windows picture language: d dd ddd dddd, M MM MMM MMMM, y yy yyyy, gg,
// h hh H HH, m mm, s ss, t tt, 'quoted text'; every other character stands
// for itself. The defaults are used when the system gives none.
struct DateTimePictures {
  AnsiString shortDate = "yyyy-M-d";
  AnsiString time = "H:mm:ss";
  AnsiString am = "上午", pm = "下午";
};

AnsiString formatDatePicture(const DateTimeParts& t, const AnsiString& picture, const DateTimePictures& names);
// The caption text: the date in the short date picture, one blank, the time
// of day in the time picture.
AnsiString timeCaptionText(double now, const DateTimePictures& pictures = DateTimePictures());

#ifdef _WIN32
// ---- drawing (FrameCaptions_win.cpp) ------------------------------------------
class TBitmap;
class TCanvas;

// placeCustomInfo with the text measured in the caption's font on `canvas`
// (the preview's, or any canvas on a screen-compatible DC).
void placeCustomInfo(CustomInfo& info, int width, int height, TCanvas& canvas);
// The custom text at (x, y), background left as it is; the extent is
// measured again into textWidth/textHeight.
void drawCustomInfo(TBitmap& frame, CustomInfo& info);
// The date/time caption: measures the box on the first call after
// box.reset(), fills it in the background colour unless the style is
// transparent (forceBackground fills it anyway), and writes the text 5 pixels
// in. Returns the box's top-left.
CaptionPoint drawTimeCaption(TBitmap& frame, const TimeCaptionStyle& style, TimeCaptionBox& box,
                             const AnsiString& text, bool forceBackground = false);
// The user's short date and time pictures and AM/PM designators; the
// defaults where the system gives none.
DateTimePictures systemDateTimePictures();
// The local wall clock as a clock value, read once (date and time together).
double localClockNow();
#endif
