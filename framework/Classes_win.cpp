// TFileStream on Win32 file handles, opened by the UTF-16 form of the CP936
// name. Positions are 64-bit: recordings can pass 2 GB.
#include <windows.h>

#include "Classes.h"
#include "SysUtils.h"

struct TFileStream::Impl {
  HANDLE h = INVALID_HANDLE_VALUE;
};

namespace {

// Readers share everything, so a recording still being written (and renamed
// or deleted by the user) can be read; writers let others read along.
DWORD shareFor(uint16_t mode) {
  const DWORD all = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
  if (mode == fmCreate) return FILE_SHARE_READ;
  switch (mode & 0xF0) {
    case fmShareExclusive: return 0;
    case fmShareDenyWrite: return FILE_SHARE_READ;
    case fmShareDenyRead: return FILE_SHARE_WRITE;
    case fmShareDenyNone: return all;
    default: return (mode & 3) == fmOpenRead ? all : FILE_SHARE_READ;
  }
}

}  // namespace

TFileStream::TFileStream(const AnsiString& path, uint16_t mode) : path_(path), impl_(new Impl) {
  DWORD access, disposition;
  if (mode == fmCreate) {
    access = GENERIC_READ | GENERIC_WRITE;
    disposition = CREATE_ALWAYS;
  } else {
    switch (mode & 3) {
      case fmOpenWrite: access = GENERIC_WRITE; break;
      case fmOpenReadWrite: access = GENERIC_READ | GENERIC_WRITE; break;
      default: access = GENERIC_READ; break;
    }
    disposition = OPEN_EXISTING;
  }
  impl_->h = CreateFileW(Cp936ToWide(path).c_str(), access, shareFor(mode), nullptr, disposition,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (impl_->h == INVALID_HANDLE_VALUE) {
    if (mode == fmCreate) throw EFOpenError("无法创建文件 " + path);
    throw EFOpenError("无法打开文件 " + path);
  }
}

TFileStream::~TFileStream() {
  if (impl_ && impl_->h != INVALID_HANDLE_VALUE) CloseHandle(impl_->h);
}

int TFileStream::Read(void* buffer, int count) {
  if (count <= 0) return 0;
  DWORD n = 0;
  if (!ReadFile(impl_->h, buffer, static_cast<DWORD>(count), &n, nullptr)) return 0;
  return static_cast<int>(n);
}

int TFileStream::Write(const void* buffer, int count) {
  if (count <= 0) return 0;
  DWORD n = 0;
  if (!WriteFile(impl_->h, buffer, static_cast<DWORD>(count), &n, nullptr)) return 0;
  return static_cast<int>(n);
}

int64_t TFileStream::Seek(int64_t offset, TSeekOrigin origin) {
  LARGE_INTEGER to, now;
  to.QuadPart = offset;
  DWORD method = origin == soFromBeginning ? FILE_BEGIN : origin == soFromCurrent ? FILE_CURRENT : FILE_END;
  if (!SetFilePointerEx(impl_->h, to, &now, method)) throw EStreamError("流定位越界");
  return now.QuadPart;
}

void TFileStream::SetSize(int64_t size) {
  if (size < 0) throw EWriteError("无法设置文件大小");
  int64_t pos = Position();
  Seek(size, soFromBeginning);
  if (!SetEndOfFile(impl_->h)) {
    Seek(pos, soFromBeginning);
    throw EWriteError("无法设置文件大小");
  }
  Seek(pos < size ? pos : size, soFromBeginning);
}
