// TFileStream on POSIX file descriptors (native test tree). Linux has no share
// modes, so the share bits are accepted and have no effect.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "Classes.h"
#include "Internal.h"

struct TFileStream::Impl {
  int fd = -1;
};

TFileStream::TFileStream(const AnsiString& path, uint16_t mode) : path_(path), impl_(new Impl) {
  int flags;
  if (mode == fmCreate) {
    flags = O_RDWR | O_CREAT | O_TRUNC;
  } else {
    switch (mode & 3) {
      case fmOpenWrite: flags = O_WRONLY; break;
      case fmOpenReadWrite: flags = O_RDWR; break;
      default: flags = O_RDONLY; break;
    }
  }
  std::string native = NativePath(path);
  struct stat st;
  // open() would happily open a folder for reading: refuse it as Windows does.
  if (stat(native.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) throw EFOpenError("无法打开文件 " + path);
  impl_->fd = open(native.c_str(), flags | O_CLOEXEC, 0644);
  if (impl_->fd < 0) {
    if (mode == fmCreate) throw EFOpenError("无法创建文件 " + path);
    throw EFOpenError("无法打开文件 " + path);
  }
}

TFileStream::~TFileStream() {
  if (impl_ && impl_->fd >= 0) close(impl_->fd);
}

int TFileStream::Read(void* buffer, int count) {
  if (count <= 0) return 0;
  int done = 0;
  while (done < count) {
    ssize_t n = read(impl_->fd, static_cast<char*>(buffer) + done, static_cast<size_t>(count - done));
    if (n <= 0) break;
    done += static_cast<int>(n);
  }
  return done;
}

int TFileStream::Write(const void* buffer, int count) {
  if (count <= 0) return 0;
  int done = 0;
  while (done < count) {
    ssize_t n = write(impl_->fd, static_cast<const char*>(buffer) + done, static_cast<size_t>(count - done));
    if (n <= 0) break;
    done += static_cast<int>(n);
  }
  return done;
}

int64_t TFileStream::Seek(int64_t offset, TSeekOrigin origin) {
  int whence = origin == soFromBeginning ? SEEK_SET : origin == soFromCurrent ? SEEK_CUR : SEEK_END;
  off_t r = lseek(impl_->fd, static_cast<off_t>(offset), whence);
  if (r < 0) throw EStreamError("流定位越界");
  return static_cast<int64_t>(r);
}

void TFileStream::SetSize(int64_t size) {
  if (size < 0 || ftruncate(impl_->fd, static_cast<off_t>(size)) != 0) throw EWriteError("无法设置文件大小");
  if (Position() > size) Seek(size, soFromBeginning);
}
