// AnsiString and the exception classes: the program's text type and what its
// conversions raise. Portable: no <windows.h>.
//
// An AnsiString holds code page 936 bytes, as every string of the program does
// (literals are compiled to CP936). Indexing is 1-based, as the program's string
// arithmetic (Pos, SubString) assumes. Conversions to and from UTF-16 live in
// SysUtils.h and are the only way text reaches the operating system.
#pragma once

#include <cstddef>
#include <string>

class AnsiString {
public:
  AnsiString() = default;
  AnsiString(const char* s);
  AnsiString(const char* s, std::size_t n);
  AnsiString(const std::string& s) : s_(s) {}
  AnsiString(std::string&& s) : s_(std::move(s)) {}
  explicit AnsiString(int value);  // decimal text, like IntToStr

  const char* c_str() const { return s_.c_str(); }
  const std::string& str() const { return s_; }
  int Length() const { return static_cast<int>(s_.size()); }
  bool IsEmpty() const { return s_.empty(); }

  // 1-based; raises ERangeError outside 1..Length().
  char operator[](int index) const;
  char& operator[](int index);

  // 1-based start; clipped to the string, never raises.
  AnsiString SubString(int start, int count) const;
  // 1-based position of the first occurrence, 0 when absent.
  int Pos(const AnsiString& sub) const;
  AnsiString LowerCase() const;  // ASCII letters only: CP936 lead bytes are left alone
  AnsiString UpperCase() const;
  AnsiString Trim() const;
  int ToInt() const;        // raises EConvertError
  double ToDouble() const;  // raises EConvertError

  AnsiString& operator+=(const AnsiString& other) { s_ += other.s_; return *this; }
  AnsiString& operator+=(char c) { s_ += c; return *this; }
  friend AnsiString operator+(AnsiString a, const AnsiString& b) { a += b; return a; }
  friend AnsiString operator+(AnsiString a, const char* b) { a += AnsiString(b); return a; }
  friend AnsiString operator+(const char* a, const AnsiString& b) { return AnsiString(a) + b; }
  friend bool operator==(const AnsiString& a, const AnsiString& b) { return a.s_ == b.s_; }
  friend bool operator!=(const AnsiString& a, const AnsiString& b) { return a.s_ != b.s_; }
  friend bool operator<(const AnsiString& a, const AnsiString& b) { return a.s_ < b.s_; }

private:
  std::string s_;
};

// The framework's exceptions. Message is CP936 text, shown as it is.
class Exception {
public:
  explicit Exception(const AnsiString& message) : Message(message) {}
  virtual ~Exception() = default;
  AnsiString Message;
};
class EConvertError : public Exception { using Exception::Exception; };
class ERangeError : public Exception { using Exception::Exception; };
class EStringListError : public Exception { using Exception::Exception; };
class EStreamError : public Exception { using Exception::Exception; };
class EFOpenError : public EStreamError { using EStreamError::EStreamError; };
class EReadError : public EStreamError { using EStreamError::EStreamError; };
class EWriteError : public EStreamError { using EStreamError::EStreamError; };
class EInvalidGraphic : public Exception { using Exception::Exception; };
class EOutOfResources : public Exception { using Exception::Exception; };
