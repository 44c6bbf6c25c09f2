// WAV header building and checking, and the growing WAV file of a recording.
// The existing file's header is untrusted input: it is read through the
// checked cursor and compared field by field before anything is written.
#include "WavFile.h"

#include "ByteReader.h"
#include "ZorbelNames.h"

#include <cstring>

namespace zorbel {

namespace {

void put16(uint8_t* p, uint16_t v) {
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
}
void put32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = uint8_t(v >> (8 * i));
}

bool tag(ByteReader& r, const char* four) {
  char t[4];
  return r.read(t, 4) && std::memcmp(t, four, 4) == 0;
}

bool writeAt(HANDLE h, uint64_t offset, const void* p, DWORD n) {
  LARGE_INTEGER at;
  at.QuadPart = LONGLONG(offset);
  DWORD done = 0;
  return SetFilePointerEx(h, at, nullptr, FILE_BEGIN) && WriteFile(h, p, n, &done, nullptr) && done == n;
}

}  // namespace

bool formatSupported(const PcmFormat& f) {
  return (f.bits == 8 || f.bits == 16) && (f.channels == 1 || f.channels == 2) && f.rate >= 1000 &&
         f.rate <= 192000;
}

void buildWavHeader(const PcmFormat& f, uint32_t dataBytes, uint8_t h[kWavHeaderSize]) {
  std::memcpy(h, "RIFF", 4);
  put32(h + 4, dataBytes + 36);
  std::memcpy(h + 8, "WAVEfmt ", 8);
  put32(h + 16, 16);
  put16(h + 20, 1);
  put16(h + 22, f.channels);
  put32(h + 24, f.rate);
  put32(h + 28, f.byteRate());
  put16(h + 32, uint16_t(f.blockAlign()));
  put16(h + 34, f.bits);
  std::memcpy(h + 36, "data", 4);
  put32(h + 40, dataBytes);
}

bool wavHeaderMatches(const uint8_t* data, std::size_t size, const PcmFormat& f) {
  ByteReader r(data, size);
  uint32_t riffSize, fmtSize, rate, byteRate, dataSize;
  uint16_t format, channels, align, bits;
  return tag(r, "RIFF") && r.u32(riffSize) && tag(r, "WAVE") && tag(r, "fmt ") && r.u32(fmtSize) &&
         fmtSize == 16 && r.u16(format) && format == 1 && r.u16(channels) && channels == f.channels &&
         r.u32(rate) && rate == f.rate && r.u32(byteRate) && byteRate == f.byteRate() && r.u16(align) &&
         align == f.blockAlign() && r.u16(bits) && bits == f.bits && tag(r, "data") && r.u32(dataSize);
}

int WavWriter::open(const wchar_t* path, const PcmFormat& f) {
  finish();
  if (!formatSupported(f) || !path || !*path) return kStartFailed;
  // Readers (the program's monitor window, the WMV helper) open the file
  // while it grows: share reading and writing.
  HANDLE h = CreateFileW(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return kStartFailed;
  const bool created = GetLastError() != ERROR_ALREADY_EXISTS;
  LARGE_INTEGER size;
  if (!GetFileSizeEx(h, &size)) {
    CloseHandle(h);
    return kStartFailed;
  }
  int result = kStartedNewFile;
  uint32_t data = 0;
  if (size.QuadPart > 0) {
    uint8_t head[kWavHeaderSize];
    DWORD got = 0;
    if (size.QuadPart < LONGLONG(kWavHeaderSize) ||
        size.QuadPart - LONGLONG(kWavHeaderSize) > LONGLONG(kMaxDataBytes) ||
        !ReadFile(h, head, sizeof head, &got, nullptr) || !wavHeaderMatches(head, got, f)) {
      CloseHandle(h);
      return kStartFailed;
    }
    uint64_t have = uint64_t(size.QuadPart) - kWavHeaderSize;
    data = uint32_t(have - have % f.blockAlign());
    result = kStartedAppending;
  }
  uint8_t head[kWavHeaderSize];
  buildWavHeader(f, 0, head);
  // Sizes 0 mark the file as being written; the data goes after whole samples.
  put32(head + 4, 0);
  LARGE_INTEGER end;
  end.QuadPart = LONGLONG(kWavHeaderSize + data);
  if (!writeAt(h, 0, head, sizeof head) || !SetFilePointerEx(h, end, nullptr, FILE_BEGIN) ||
      !SetEndOfFile(h)) {
    CloseHandle(h);
    if (created) DeleteFileW(path);
    return kStartFailed;
  }
  h_ = h;
  path_ = path;
  created_ = created;
  f_ = f;
  data_ = data;
  failed_ = false;
  return result;
}

bool WavWriter::append(const uint8_t* p, std::size_t n) {
  if (!isOpen() || failed_) return false;
  uint32_t data = data_.load();
  if (n > kMaxDataBytes - data) {
    n = kMaxDataBytes - data;
    n -= n % f_.blockAlign();
    failed_ = true;
  }
  if (n == 0) return !failed_;
  DWORD done = 0;
  if (!WriteFile(h_, p, DWORD(n), &done, nullptr) || done != n) {
    failed_ = true;
    // Whatever part of the block reached the disk stays counted only in whole samples.
    done -= done % f_.blockAlign();
    data_ = data + done;
    LARGE_INTEGER end;
    end.QuadPart = LONGLONG(kWavHeaderSize + data + done);
    SetFilePointerEx(h_, end, nullptr, FILE_BEGIN);
    SetEndOfFile(h_);
    return false;
  }
  data_ = data + uint32_t(n);
  return !failed_;
}

bool WavWriter::writeSizes(uint32_t riff, uint32_t data) {
  uint8_t b[4];
  put32(b, riff);
  if (!writeAt(h_, 4, b, 4)) return false;
  put32(b, data);
  return writeAt(h_, 40, b, 4);
}

void WavWriter::abandon() {
  if (!isOpen()) return;
  if (!created_) {
    finish();
    return;
  }
  CloseHandle(h_);
  h_ = INVALID_HANDLE_VALUE;
  DeleteFileW(path_.c_str());
}

bool WavWriter::finish() {
  if (!isOpen()) return true;
  uint32_t data = data_.load();
  bool ok = writeSizes(data + 36, data);
  ok = CloseHandle(h_) && ok;
  h_ = INVALID_HANDLE_VALUE;
  return ok;
}

}  // namespace zorbel
