// The Linux side of SysUtils: CP936 conversion through iconv and the file
// functions on names converted to UTF-8. Only the native test tree uses it.
#include <errno.h>
#include <iconv.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

#include "Internal.h"
#include "SysUtils.h"

namespace {

// iconv descriptors are costly to open and not shareable between threads.
class Converter {
public:
  Converter(const char* to, const char* from) {
    cd_ = iconv_open(to, from);
    if (cd_ == reinterpret_cast<iconv_t>(-1) && std::strcmp(from, "CP936") == 0)
      cd_ = iconv_open(to, "GBK");
    if (cd_ == reinterpret_cast<iconv_t>(-1) && std::strcmp(to, "CP936") == 0)
      cd_ = iconv_open("GBK", from);
  }
  ~Converter() {
    if (ok()) iconv_close(cd_);
  }
  bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

  // Converts in, replacing each input unit that cannot be converted by
  // `replacement` (itself in the output encoding) and skipping unitSize bytes.
  std::string run(const char* in, std::size_t n, const std::string& replacement, std::size_t unitSize) {
    std::string out;
    if (!ok()) return out;
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    char* src = const_cast<char*>(in);
    std::size_t left = n;
    char buf[1024];
    while (left > 0) {
      char* dst = buf;
      std::size_t room = sizeof buf;
      std::size_t r = iconv(cd_, &src, &left, &dst, &room);
      out.append(buf, static_cast<std::size_t>(dst - buf));
      if (r == static_cast<std::size_t>(-1) && errno != E2BIG) {
        // EILSEQ or EINVAL (a lead byte at the end): one unit is lost.
        out += replacement;
        std::size_t skip = unitSize < left ? unitSize : left;
        src += skip;
        left -= skip;
      }
    }
    char* dst = buf;
    std::size_t room = sizeof buf;
    iconv(cd_, nullptr, nullptr, &dst, &room);
    out.append(buf, static_cast<std::size_t>(dst - buf));
    return out;
  }

private:
  iconv_t cd_;
};

std::string wideReplacement() {
  wchar_t q = L'?';
  return std::string(reinterpret_cast<const char*>(&q), sizeof q);
}

}  // namespace

// Natively wchar_t is 32 bits: the wide form holds code points ("WCHAR_T").
std::wstring Cp936ToWide(const AnsiString& s) {
  thread_local Converter c("WCHAR_T", "CP936");
  std::string bytes = c.run(s.c_str(), static_cast<std::size_t>(s.Length()), wideReplacement(), 1);
  return std::wstring(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / sizeof(wchar_t));
}

AnsiString WideToCp936(const std::wstring& w) {
  thread_local Converter c("CP936", "WCHAR_T");
  return AnsiString(c.run(reinterpret_cast<const char*>(w.data()), w.size() * sizeof(wchar_t), "?", sizeof(wchar_t)));
}

std::string Cp936ToUtf8(const AnsiString& s) {
  thread_local Converter c("UTF-8", "CP936");
  return c.run(s.c_str(), static_cast<std::size_t>(s.Length()), "?", 1);
}

AnsiString Utf8ToCp936(const std::string& s) {
  thread_local Converter c("CP936", "UTF-8");
  return AnsiString(c.run(s.data(), s.size(), "?", 1));
}

std::string NativePath(const AnsiString& path) {
  std::string p = Cp936ToUtf8(path);
  for (char& ch : p)
    if (ch == '\\') ch = '/';  // UTF-8 has no 0x5C inside a character
  return p;
}

bool FileExists(const AnsiString& path) {
  struct stat st;
  return stat(NativePath(path).c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool DirectoryExists(const AnsiString& path) {
  struct stat st;
  return stat(NativePath(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool DeleteFile(const AnsiString& path) { return unlink(NativePath(path).c_str()) == 0; }

bool RenameFile(const AnsiString& from, const AnsiString& to) {
  // As on Windows (MoveFile), an existing target is not replaced.
  std::string dest = NativePath(to);
  if (access(dest.c_str(), F_OK) == 0) return false;
  return rename(NativePath(from).c_str(), dest.c_str()) == 0;
}

bool ClearFileAttributes(const AnsiString& path) {
  const std::string native = NativePath(path);
  struct stat st;
  return stat(native.c_str(), &st) == 0 && chmod(native.c_str(), (st.st_mode & 07777) | S_IWUSR) == 0;
}

int64_t FileSizeOf(const AnsiString& path) {
  struct stat st;
  if (stat(NativePath(path).c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return -1;
  return static_cast<int64_t>(st.st_size);
}

bool ReplaceFileWith(const AnsiString& temp, const AnsiString& dest) {
  return rename(NativePath(temp).c_str(), NativePath(dest).c_str()) == 0;
}
