// Number conversions, string and file-name helpers. Portable.
//
// No locale-dependent C function is used here (strtod, printf, atof...): the
// Windows side may run under any user locale, and settings files are written
// with '.' as the decimal separator whatever that locale says.
#include "SysUtils.h"

#include <charconv>
#include <climits>
#include <cmath>
#include <cstring>

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
bool isLeadByte(unsigned char c) { return c >= 0x81 && c <= 0xFE; }

// The text without surrounding blanks, as [b, e).
void trimRange(const std::string& s, std::size_t& b, std::size_t& e) {
  b = 0;
  e = s.size();
  while (b < e && isBlank(s[b])) ++b;
  while (e > b && isBlank(s[e - 1])) --e;
}

[[noreturn]] void badInteger(const AnsiString& text) {
  throw EConvertError("'" + text + "' 不是有效的整数值");
}
[[noreturn]] void badFloat(const AnsiString& text) {
  throw EConvertError("'" + text + "' 不是有效的浮点数值");
}

bool parseInt(const std::string& s, int& out) {
  std::size_t b, e;
  trimRange(s, b, e);
  bool negative = false;
  if (b < e && (s[b] == '+' || s[b] == '-')) negative = s[b++] == '-';
  if (b == e) return false;
  long long v = 0;
  for (std::size_t i = b; i < e; ++i) {
    if (s[i] < '0' || s[i] > '9') return false;
    v = v * 10 + (s[i] - '0');
    if (v > static_cast<long long>(INT_MAX) + 1) return false;
  }
  if (negative) v = -v;
  if (v > INT_MAX || v < INT_MIN) return false;
  out = static_cast<int>(v);
  return true;
}

// Index of the byte just after the last path separator ('\\', '/', ':'), 0
// when there is none. A CP936 trail byte may be 0x5C and is never a separator.
std::size_t afterLastSeparator(const std::string& s) {
  std::size_t after = 0;
  for (std::size_t i = 0; i < s.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    if (isLeadByte(c) && i + 1 < s.size()) {
      ++i;
      continue;
    }
    if (c == '\\' || c == '/' || c == ':') after = i + 1;
  }
  return after;
}

// Position of the extension's dot, or npos; only a dot in the name part counts.
std::size_t extensionDot(const std::string& s) {
  std::size_t start = afterLastSeparator(s);
  std::size_t dot = std::string::npos;
  for (std::size_t i = start; i < s.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    if (isLeadByte(c) && i + 1 < s.size()) {
      ++i;
      continue;
    }
    if (c == '.') dot = i;
  }
  return dot;
}

}  // namespace

AnsiString IntToStr(int value) { return IntToStr(static_cast<int64_t>(value)); }

AnsiString IntToStr(int64_t value) {
  char buf[24];
  auto r = std::to_chars(buf, buf + sizeof buf, value);
  return AnsiString(buf, static_cast<std::size_t>(r.ptr - buf));
}

int StrToInt(const AnsiString& text) {
  int v;
  if (!parseInt(text.str(), v)) badInteger(text);
  return v;
}

int StrToIntDef(const AnsiString& text, int fallback) {
  int v;
  return parseInt(text.str(), v) ? v : fallback;
}

double StrToFloat(const AnsiString& text) {
  const std::string& s = text.str();
  std::size_t b, e;
  trimRange(s, b, e);
  bool negative = false;
  if (b < e && (s[b] == '+' || s[b] == '-')) negative = s[b++] == '-';
  // Only digits, one '.', and an exponent: from_chars alone would also take
  // "inf" and "nan", which are not numbers to this program.
  if (b == e || !((s[b] >= '0' && s[b] <= '9') || s[b] == '.')) badFloat(text);
  double v = 0;
  auto r = std::from_chars(s.data() + b, s.data() + e, v, std::chars_format::general);
  if (r.ec != std::errc() || r.ptr != s.data() + e || !std::isfinite(v)) badFloat(text);
  return negative ? -v : v;
}

AnsiString FloatToStr(double value) {
  if (std::isnan(value)) return AnsiString("NAN");
  if (std::isinf(value)) return AnsiString(value < 0 ? "-INF" : "INF");
  if (value == 0) return AnsiString("0");
  // 15 significant digits, then the general form: fixed notation while the
  // exponent lies in -5..14, scientific ("1.5E-7", "1E20") outside.
  char buf[40];
  auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific, 14);
  std::string sci(buf, static_cast<std::size_t>(r.ptr - buf));
  std::size_t ePos = sci.find('e');
  int exponent = 0;
  const char* ex = sci.c_str() + ePos + 1;
  if (*ex == '+') ++ex;
  std::from_chars(ex, sci.c_str() + sci.size(), exponent);
  bool negative = sci[0] == '-';
  std::string digits;
  for (std::size_t i = negative ? 1 : 0; i < ePos; ++i)
    if (sci[i] != '.') digits += sci[i];
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();

  std::string out = negative ? "-" : "";
  if (exponent >= -5 && exponent < 15) {
    if (exponent < 0) {
      out += "0." + std::string(static_cast<std::size_t>(-exponent - 1), '0') + digits;
    } else if (digits.size() <= static_cast<std::size_t>(exponent) + 1) {
      out += digits + std::string(static_cast<std::size_t>(exponent) + 1 - digits.size(), '0');
    } else {
      out += digits.substr(0, static_cast<std::size_t>(exponent) + 1) + "." +
             digits.substr(static_cast<std::size_t>(exponent) + 1);
    }
  } else {
    out += digits.substr(0, 1);
    if (digits.size() > 1) out += "." + digits.substr(1);
    out += "E" + std::to_string(exponent);
  }
  return AnsiString(out);
}

AnsiString FormatFloatFixed(double value, int decimals) {
  if (decimals < 0) decimals = 0;
  if (decimals > 30) decimals = 30;
  if (!std::isfinite(value)) return FloatToStr(value);
  char buf[400];  // DBL_MAX has 309 integer digits
  auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, decimals);
  if (r.ec != std::errc()) return FloatToStr(value);
  std::string s(buf, static_cast<std::size_t>(r.ptr - buf));
  // "-0.00" reads as a negative amount to a user: show it without the sign.
  if (s[0] == '-' && s.find_first_not_of("-0.") == std::string::npos) s.erase(0, 1);
  return AnsiString(s);
}

AnsiString LowerCase(const AnsiString& s) { return s.LowerCase(); }
AnsiString UpperCase(const AnsiString& s) { return s.UpperCase(); }
int Pos(const AnsiString& sub, const AnsiString& s) { return s.Pos(sub); }
AnsiString Trim(const AnsiString& s) { return s.Trim(); }

AnsiString ExtractFilePath(const AnsiString& path) {
  return AnsiString(path.str().substr(0, afterLastSeparator(path.str())));
}

AnsiString ExtractFileName(const AnsiString& path) {
  return AnsiString(path.str().substr(afterLastSeparator(path.str())));
}

AnsiString ExtractFileExt(const AnsiString& path) {
  std::size_t dot = extensionDot(path.str());
  return dot == std::string::npos ? AnsiString() : AnsiString(path.str().substr(dot));
}

AnsiString ChangeFileExt(const AnsiString& path, const AnsiString& ext) {
  std::size_t dot = extensionDot(path.str());
  return AnsiString(path.str().substr(0, dot)) + ext;
}
