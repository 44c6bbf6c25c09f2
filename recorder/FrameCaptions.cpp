// Caption placement and the date/time caption's text.
#include "FrameCaptions.h"

#include <algorithm>
#include <cmath>

#include "SysUtils.h"

namespace {

int clampMargin(int m) { return std::min(std::max(m, 0), kInfoMarginMax); }

constexpr int64_t kMsPerDay = 86400000;
// 1899-12-30 is day 0 of the clock, 1970-01-01 is day 25569, and 0000-03-01
// (where the calendar arithmetic below counts from) lies 719468 days before
// 1970. 9999-12-31 (day 2958465) is the last day the pickers can show.
constexpr double kLastDay = 2958465.0;
constexpr int64_t kDaysFromCivilEpoch = 25569 - 719468;  // clock day = calendar day + this

// Days since 0000-03-01 of the proleptic Gregorian calendar <-> civil date.
void civilFromDays(int64_t z, int& y, int& m, int& d) {
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  y = static_cast<int>(yoe + era * 400 + (m <= 2 ? 1 : 0));
}

int64_t daysFromCivil(int y, int m, int d) {
  y -= m <= 2 ? 1 : 0;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe;
}

// Numbers in CP936 names: the program's own locale.
const char* const kDayShort[7] = {"周日", "周一", "周二", "周三", "周四", "周五", "周六"};
const char* const kDayLong[7] = {"星期日", "星期一", "星期二", "星期三", "星期四", "星期五", "星期六"};
const char* const kMonthLong[12] = {"一月", "二月", "三月", "四月", "五月", "六月",
                                    "七月", "八月", "九月", "十月", "十一月", "十二月"};

AnsiString number(int v, int digits) {
  AnsiString s = IntToStr(v);
  while (s.Length() < digits) s = "0" + s;
  return s;
}

}  // namespace

// ---- custom caption -------------------------------------------------------------

CaptionPoint customInfoPosition(int corner, int marginX, int marginY, int textWidth, int textHeight, int width,
                                int height, CaptionPoint freePosition) {
  if (corner < kInfoTopLeft || corner > kInfoBottomRight) return freePosition;
  const int mx = clampMargin(marginX), my = clampMargin(marginY);
  const bool right = corner == kInfoTopRight || corner == kInfoBottomRight;
  const bool bottom = corner == kInfoBottomLeft || corner == kInfoBottomRight;
  CaptionPoint p;
  p.x = right ? width - mx - textWidth : mx;
  p.y = bottom ? height - my - textHeight : my;
  p.x = std::max(p.x, 0);
  p.y = std::max(p.y, 0);
  return p;
}

void placeCustomInfo(CustomInfo& info, int width, int height, int measuredWidth, int measuredHeight) {
  info.textWidth = measuredWidth;
  info.textHeight = measuredHeight;
  if (info.corner == kInfoFree || info.text.IsEmpty()) return;
  const CaptionPoint p = customInfoPosition(info.corner, info.marginX, info.marginY, measuredWidth, measuredHeight,
                                            width, height, {info.x, info.y});
  info.x = p.x;
  info.y = p.y;
}

// ---- date/time caption ----------------------------------------------------------

CaptionPoint timeCaptionPosition(const TimeCaptionStyle& style, const TimeCaptionBox& box, int width, int height) {
  CaptionPoint p;
  switch (style.position) {
    case kTimeBottomLeft: p.y = height - box.height; break;
    case kTimeTopRight: p.x = width - box.width; break;
    case kTimeBottomRight:
      p.x = width - box.width;
      p.y = height - box.height;
      break;
    case kTimeFree: return {style.x, style.y};
    default: break;  // top-left, and no button checked
  }
  p.x = std::max(p.x, 0);
  p.y = std::max(p.y, 0);
  return p;
}

// ---- date and time text ---------------------------------------------------------

DateTimeParts decodeDateTime(double value) {
  if (!(value > 0)) value = 0;  // also NaN
  if (value >= kLastDay + 1) value = kLastDay + 1 - 1.0 / kMsPerDay;
  const int64_t total = std::llround(value * static_cast<double>(kMsPerDay));
  const int64_t days = total / kMsPerDay;
  int64_t ms = total % kMsPerDay;
  DateTimeParts t;
  civilFromDays(days - kDaysFromCivilEpoch, t.year, t.month, t.day);
  t.dayOfWeek = static_cast<int>((days + 6) % 7);  // day 0 was a Saturday
  t.hour = static_cast<int>(ms / 3600000);
  ms %= 3600000;
  t.minute = static_cast<int>(ms / 60000);
  ms %= 60000;
  t.second = static_cast<int>(ms / 1000);
  t.millisecond = static_cast<int>(ms % 1000);
  return t;
}

double encodeDateTime(int year, int month, int day, int hour, int minute, int second, int ms) {
  const int64_t days = daysFromCivil(year, month, day) + kDaysFromCivilEpoch;
  const int64_t msOfDay = ((int64_t(hour) * 60 + minute) * 60 + second) * 1000 + ms;
  return static_cast<double>(days) + static_cast<double>(msOfDay) / kMsPerDay;
}

AnsiString formatDatePicture(const DateTimeParts& t, const AnsiString& picture, const DateTimePictures& names) {
  const std::string& p = picture.str();
  std::string out;
  std::size_t i = 0;
  while (i < p.size()) {
    const char c = p[i];
    if (c == '\'' && i + 1 < p.size() && p[i + 1] == '\'') {  // two quotes stand for one
      out += '\'';
      i += 2;
      continue;
    }
    if (c == '\'') {  // quoted text; two quotes inside stand for one too
      ++i;
      while (i < p.size()) {
        if (p[i] == '\'') {
          if (i + 1 < p.size() && p[i + 1] == '\'') {
            out += '\'';
            i += 2;
            continue;
          }
          ++i;
          break;
        }
        out += p[i++];
      }
      continue;
    }
    if (static_cast<unsigned char>(c) >= 0x80 && i + 1 < p.size()) {  // a CP936 character: never a picture letter
      out.append(p, i, 2);
      i += 2;
      continue;
    }
    std::size_t n = 1;
    while (i + n < p.size() && p[i + n] == c) ++n;
    i += n;
    const int k = static_cast<int>(n);
    switch (c) {
      case 'd':
        if (k <= 2) out += number(t.day, k).str();
        else out += k == 3 ? kDayShort[t.dayOfWeek] : kDayLong[t.dayOfWeek];
        break;
      case 'M':
        if (k <= 2) out += number(t.month, k).str();
        else if (k == 3) out += (IntToStr(t.month) + "月").str();
        else out += kMonthLong[t.month - 1];
        break;
      case 'y':
        if (k == 1) out += IntToStr(t.year % 100).str();
        else if (k == 2) out += number(t.year % 100, 2).str();
        else out += number(t.year, 4).str();
        break;
      case 'g': break;  // the era: the Gregorian calendar shows none
      case 'h': {
        const int h12 = t.hour % 12 == 0 ? 12 : t.hour % 12;
        out += number(h12, std::min(k, 2)).str();
        break;
      }
      case 'H': out += number(t.hour, std::min(k, 2)).str(); break;
      case 'm': out += number(t.minute, std::min(k, 2)).str(); break;
      case 's': out += number(t.second, std::min(k, 2)).str(); break;
      case 't': {
        const std::string& mark = (t.hour < 12 ? names.am : names.pm).str();
        // One letter: the designator's first character (two bytes when it is CP936).
        if (k == 1 && !mark.empty())
          out += mark.substr(0, static_cast<unsigned char>(mark[0]) >= 0x80 ? 2 : 1);
        else
          out += mark;
        break;
      }
      default: out.append(n, c); break;
    }
  }
  return AnsiString(out);
}

AnsiString timeCaptionText(double now, const DateTimePictures& pictures) {
  const DateTimeParts t = decodeDateTime(now);
  return formatDatePicture(t, pictures.shortDate, pictures) + " " + formatDatePicture(t, pictures.time, pictures);
}
