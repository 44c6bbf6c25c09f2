// The Windows side of SysUtils: CP936 <-> UTF-16 with code page 936 named
// explicitly (never CP_ACP: the system code page may be anything), and the
// file functions on the W API, so that CP936 names work under any locale.
#include <windows.h>

#include "Internal.h"
#include "SysUtils.h"

#undef DeleteFile

namespace {
const UINT kCp936 = 936;
}

std::wstring Cp936ToWide(const AnsiString& s) {
  if (s.IsEmpty()) return std::wstring();
  int n = MultiByteToWideChar(kCp936, 0, s.c_str(), s.Length(), nullptr, 0);
  if (n <= 0) return std::wstring();
  std::wstring w(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(kCp936, 0, s.c_str(), s.Length(), &w[0], n);
  return w;
}

AnsiString WideToCp936(const std::wstring& w) {
  if (w.empty()) return AnsiString();
  int len = static_cast<int>(w.size());
  int n = WideCharToMultiByte(kCp936, 0, w.data(), len, nullptr, 0, nullptr, nullptr);
  if (n <= 0) return AnsiString();
  std::string s(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(kCp936, 0, w.data(), len, &s[0], n, nullptr, nullptr);
  return AnsiString(std::move(s));
}

std::string Cp936ToUtf8(const AnsiString& s) {
  std::wstring w = Cp936ToWide(s);
  if (w.empty()) return std::string();
  int len = static_cast<int>(w.size());
  int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), len, nullptr, 0, nullptr, nullptr);
  if (n <= 0) return std::string();
  std::string out(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, w.data(), len, &out[0], n, nullptr, nullptr);
  return out;
}

AnsiString Utf8ToCp936(const std::string& s) {
  if (s.empty()) return AnsiString();
  int len = static_cast<int>(s.size());
  int n = MultiByteToWideChar(CP_UTF8, 0, s.data(), len, nullptr, 0);
  if (n <= 0) return AnsiString();
  std::wstring w(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, s.data(), len, &w[0], n);
  return WideToCp936(w);
}

bool FileExists(const AnsiString& path) {
  DWORD a = GetFileAttributesW(Cp936ToWide(path).c_str());
  return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool DirectoryExists(const AnsiString& path) {
  DWORD a = GetFileAttributesW(Cp936ToWide(path).c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

bool DeleteFile(const AnsiString& path) { return DeleteFileW(Cp936ToWide(path).c_str()) != 0; }
bool DeleteFileA(const AnsiString& path) { return DeleteFile(path); }
bool DeleteFileW(const AnsiString& path) { return DeleteFile(path); }

bool RenameFile(const AnsiString& from, const AnsiString& to) {
  return MoveFileW(Cp936ToWide(from).c_str(), Cp936ToWide(to).c_str()) != 0;
}

bool ClearFileAttributes(const AnsiString& path) {
  return SetFileAttributesW(Cp936ToWide(path).c_str(), FILE_ATTRIBUTE_NORMAL) != 0;
}

int64_t FileSizeOf(const AnsiString& path) {
  WIN32_FILE_ATTRIBUTE_DATA d;
  if (!GetFileAttributesExW(Cp936ToWide(path).c_str(), GetFileExInfoStandard, &d) ||
      (d.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
    return -1;
  return static_cast<int64_t>(d.nFileSizeHigh) << 32 | d.nFileSizeLow;
}

bool ReplaceFileWith(const AnsiString& temp, const AnsiString& dest) {
  return MoveFileExW(Cp936ToWide(temp).c_str(), Cp936ToWide(dest).c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}
