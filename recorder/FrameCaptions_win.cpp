// GDI side of the frame captions: measuring the text in the caption's font,
// drawing the custom text and the date/time box on a frame bitmap through its
// canvas, and reading the user's date and time pictures and the local clock.
// Each call sets the canvas's font and brush itself: the capture paths share
// the frame bitmap's canvas, and what one caption leaves must not leak into
// the other.
#include <windows.h>

#include "Canvas.h"
#include "FrameCaptions.h"
#include "Graphics.h"
#include "SysUtils.h"

namespace {

void applyFont(TCanvas& canvas, const CaptionFont& f) {
  canvas.Font.Name = f.name;
  canvas.Font.Size = f.size;
  canvas.Font.Color = f.color;
  canvas.Font.Style = f.style;
}

// An empty designator is a real answer (24-hour locales); an empty picture is not.
AnsiString localeText(LCTYPE type, const AnsiString& fallback, bool emptyAllowed) {
  wchar_t buf[80];
  const int n = GetLocaleInfoW(LOCALE_USER_DEFAULT, type, buf, 80);
  if (n <= 0 || (n == 1 && !emptyAllowed)) return fallback;  // the count includes the terminating NUL
  return WideToCp936(std::wstring(buf, n - 1));
}

}  // namespace

void placeCustomInfo(CustomInfo& info, int width, int height, TCanvas& canvas) {
  applyFont(canvas, info.font);
  placeCustomInfo(info, width, height, canvas.TextWidth(info.text), canvas.TextHeight(info.text));
}

void drawCustomInfo(TBitmap& frame, CustomInfo& info) {
  TCanvas& canvas = *frame.Canvas();
  applyFont(canvas, info.font);
  canvas.Brush.Style = bsClear;
  info.textWidth = canvas.TextWidth(info.text);
  info.textHeight = canvas.TextHeight(info.text);
  canvas.TextOut(info.x, info.y, info.text);
}

CaptionPoint drawTimeCaption(TBitmap& frame, const TimeCaptionStyle& style, TimeCaptionBox& box,
                             const AnsiString& text, bool forceBackground) {
  TCanvas& canvas = *frame.Canvas();
  applyFont(canvas, style.font);
  if (!box.measured()) box.measure(canvas.TextWidth(text), canvas.TextHeight(text));
  const CaptionPoint at = timeCaptionPosition(style, box, frame.Width(), frame.Height());
  if (!style.transparent || forceBackground) {
    canvas.Brush.Style = bsSolid;
    canvas.Brush.Color = style.backColor;
    canvas.Pen.Color = style.backColor;
    canvas.Pen.Width = 1;
    canvas.Pen.Mode = pmCopy;
    canvas.Rectangle(at.x, at.y, at.x + box.width, at.y + box.height);
  }
  canvas.Brush.Style = bsClear;
  canvas.TextOut(at.x + kTimeTextIndent, at.y, text);
  return at;
}

DateTimePictures systemDateTimePictures() {
  DateTimePictures p;
  p.shortDate = localeText(LOCALE_SSHORTDATE, p.shortDate, false);
  p.time = localeText(LOCALE_STIMEFORMAT, p.time, false);
  p.am = localeText(LOCALE_S1159, p.am, true);
  p.pm = localeText(LOCALE_S2359, p.pm, true);
  return p;
}

double localClockNow() {
  SYSTEMTIME st;
  GetLocalTime(&st);
  return encodeDateTime(st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond, st.wMilliseconds);
}
