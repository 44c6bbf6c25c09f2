// AnsiString: the program's CP936 text type. Portable.
//
// Case changes step over double-byte characters, since a CP936 trail byte can
// be an ASCII letter (0x41..0x5A, 0x61..0x7A) that must not be changed.
#include "System.h"

#include <cstring>

#include "SysUtils.h"

namespace {
bool isLeadByte(unsigned char c) { return c >= 0x81 && c <= 0xFE; }

template <typename F>
std::string mapAscii(const std::string& s, F f) {
  std::string out = s;
  for (std::size_t i = 0; i < out.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(out[i]);
    if (isLeadByte(c) && i + 1 < out.size()) {
      ++i;  // keep the trail byte as it is
      continue;
    }
    out[i] = static_cast<char>(f(c));
  }
  return out;
}
}  // namespace

AnsiString::AnsiString(const char* s) : s_(s ? s : "") {}
AnsiString::AnsiString(const char* s, std::size_t n) : s_(s ? std::string(s, n) : std::string()) {}
AnsiString::AnsiString(int value) : s_(IntToStr(value).str()) {}

char AnsiString::operator[](int index) const {
  if (index < 1 || index > Length()) throw ERangeError("字符串下标越界");
  return s_[static_cast<std::size_t>(index - 1)];
}

char& AnsiString::operator[](int index) {
  if (index < 1 || index > Length()) throw ERangeError("字符串下标越界");
  return s_[static_cast<std::size_t>(index - 1)];
}

AnsiString AnsiString::SubString(int start, int count) const {
  if (start < 1) {
    count += start - 1;
    start = 1;
  }
  if (count <= 0 || start > Length()) return AnsiString();
  return AnsiString(s_.substr(static_cast<std::size_t>(start - 1), static_cast<std::size_t>(count)));
}

int AnsiString::Pos(const AnsiString& sub) const {
  if (sub.s_.empty()) return 0;
  std::size_t p = s_.find(sub.s_);
  return p == std::string::npos ? 0 : static_cast<int>(p) + 1;
}

AnsiString AnsiString::LowerCase() const {
  return AnsiString(mapAscii(s_, [](unsigned char c) { return c >= 'A' && c <= 'Z' ? c + 32 : c; }));
}

AnsiString AnsiString::UpperCase() const {
  return AnsiString(mapAscii(s_, [](unsigned char c) { return c >= 'a' && c <= 'z' ? c - 32 : c; }));
}

AnsiString AnsiString::Trim() const {
  // The framework trims every control character and blank, nothing above 0x20.
  std::size_t b = 0, e = s_.size();
  while (b < e && static_cast<unsigned char>(s_[b]) <= ' ') ++b;
  while (e > b && static_cast<unsigned char>(s_[e - 1]) <= ' ') --e;
  return AnsiString(s_.substr(b, e - b));
}

int AnsiString::ToInt() const { return StrToInt(*this); }
double AnsiString::ToDouble() const { return StrToFloat(*this); }
