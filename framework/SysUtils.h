// Number and file-name helpers on AnsiString, and the file functions. Portable
// declarations; the file functions have one implementation per platform
// (Win32: the W functions on names converted from CP936; Linux: CP936 names
// converted to UTF-8).
#pragma once

#include <cstdint>
#include <string>

#include "System.h"

AnsiString IntToStr(int value);
AnsiString IntToStr(int64_t value);
// Whole text must be a decimal integer (optional sign, surrounding blanks
// allowed) from -2147483648 to 2147483647; raises EConvertError otherwise
// (no hexadecimal, no trailing text).
int StrToInt(const AnsiString& text);
int StrToIntDef(const AnsiString& text, int fallback);
// '.' is always the decimal separator, whatever the locale; raises EConvertError
// (also on "inf", "nan" and values out of the double range).
double StrToFloat(const AnsiString& text);
// Up to 15 significant digits, trailing zeros dropped, with '.': fixed notation
// for exponents -5..14 ("0.5", "100", "0.00001"), else "1.5E-7", "1E20".
AnsiString FloatToStr(double value);
// Fixed decimals with '.', e.g. FormatFloatFixed(2.5, 2) == "2.50".
AnsiString FormatFloatFixed(double value, int decimals);

AnsiString LowerCase(const AnsiString& s);
AnsiString UpperCase(const AnsiString& s);
int Pos(const AnsiString& sub, const AnsiString& s);
AnsiString Trim(const AnsiString& s);

// Path parts; both '\\' and '/' separate folders, ':' ends a drive. The
// separator scan is CP936-aware: a trail byte 0x5C is not a separator.
AnsiString ExtractFilePath(const AnsiString& path);  // up to and including the last separator
AnsiString ExtractFileName(const AnsiString& path);
AnsiString ExtractFileExt(const AnsiString& path);   // with the dot, "" when none
AnsiString ChangeFileExt(const AnsiString& path, const AnsiString& ext);

bool FileExists(const AnsiString& path);
bool DirectoryExists(const AnsiString& path);
bool DeleteFile(const AnsiString& path);
bool RenameFile(const AnsiString& from, const AnsiString& to);
// Takes a file's attributes back to normal (Windows: FILE_ATTRIBUTE_NORMAL,
// which drops read-only; Linux: the owner may write), so that a read-only
// file can be deleted or replaced. False when the file cannot be changed.
bool ClearFileAttributes(const AnsiString& path);
int64_t FileSizeOf(const AnsiString& path);  // -1 when the file cannot be read
#ifdef _WIN32
// <windows.h> turns DeleteFile into a macro (DeleteFileA or DeleteFileW):
// these overloads keep a call on an AnsiString working whichever header came
// first.
bool DeleteFileA(const AnsiString& path);
bool DeleteFileW(const AnsiString& path);
#endif

// Explicit code page 936 <-> UTF-16 conversion: every call into Win32 goes
// through the W functions with these.
std::wstring Cp936ToWide(const AnsiString& s);
AnsiString WideToCp936(const std::wstring& w);
// UTF-8 <-> CP936, for tests and for showing text outside the program.
std::string Cp936ToUtf8(const AnsiString& s);
AnsiString Utf8ToCp936(const std::string& s);
