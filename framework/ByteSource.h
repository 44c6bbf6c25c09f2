// Random-access byte sources and append-only byte sinks for the container and
// sound-track code: a recording is read through a ByteSource (a file stream in
// the program, a byte span in tests and fuzzers) and written through a
// ByteSink. A source never reads outside [0, size()); every offset and length
// taken from a file is checked against size() before anything is allocated.
// Portable.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "Classes.h"

class ByteSource {
public:
  virtual ~ByteSource() = default;
  virtual int64_t size() = 0;
  // Reads exactly n bytes at offset; false (nothing promised in out) when the
  // range is not inside the source or the read comes up short.
  virtual bool readAt(int64_t offset, void* out, std::size_t n) = 0;

  bool contains(int64_t offset, int64_t n) {
    return offset >= 0 && n >= 0 && offset <= size() && n <= size() - offset;
  }
  bool readVec(int64_t offset, std::size_t n, std::vector<uint8_t>& out) {
    if (!contains(offset, static_cast<int64_t>(n))) return false;
    out.resize(n);
    return n == 0 || readAt(offset, out.data(), n);
  }
};

class SpanSource : public ByteSource {
public:
  SpanSource(const void* data, std::size_t size)
      : p_(static_cast<const uint8_t*>(data)), n_(size) {}
  explicit SpanSource(const std::vector<uint8_t>& v) : SpanSource(v.data(), v.size()) {}
  int64_t size() override { return static_cast<int64_t>(n_); }
  bool readAt(int64_t offset, void* out, std::size_t n) override {
    if (!contains(offset, static_cast<int64_t>(n))) return false;
    if (n) std::memcpy(out, p_ + offset, n);
    return true;
  }

private:
  const uint8_t* p_;
  std::size_t n_;
};

// The bytes [offset, offset + n) of another source, seen from 0.
class WindowSource : public ByteSource {
public:
  WindowSource(ByteSource& s, int64_t offset, int64_t n) : s_(s), off_(offset), n_(n) {}
  int64_t size() override { return n_; }
  bool readAt(int64_t offset, void* out, std::size_t n) override {
    return contains(offset, static_cast<int64_t>(n)) && s_.readAt(off_ + offset, out, n);
  }

private:
  ByteSource& s_;
  int64_t off_, n_;
};

// A TStream seen as a source; the stream's position is not preserved.
class StreamSource : public ByteSource {
public:
  explicit StreamSource(TStream& s) : s_(s), n_(s.Size()) {}
  int64_t size() override { return n_; }
  bool readAt(int64_t offset, void* out, std::size_t n) override {
    if (!contains(offset, static_cast<int64_t>(n))) return false;
    s_.Seek(offset, soFromBeginning);
    auto* p = static_cast<uint8_t*>(out);
    while (n > 0) {  // TStream moves at most INT_MAX bytes per call
      int step = n > (1u << 30) ? (1 << 30) : static_cast<int>(n);
      if (s_.Read(p, step) != step) return false;
      p += step;
      n -= static_cast<std::size_t>(step);
    }
    return true;
  }

private:
  TStream& s_;
  int64_t n_;
};

class ByteSink {
public:
  virtual ~ByteSink() = default;
  virtual bool write(const void* data, std::size_t n) = 0;
};

class VectorSink : public ByteSink {
public:
  std::vector<uint8_t> bytes;
  bool write(const void* data, std::size_t n) override {
    auto* p = static_cast<const uint8_t*>(data);
    bytes.insert(bytes.end(), p, p + n);
    return true;
  }
};

// Appends at the stream's position; a short write (disk full) is a failure.
class StreamSink : public ByteSink {
public:
  explicit StreamSink(TStream& s) : s_(s) {}
  bool write(const void* data, std::size_t n) override {
    auto* p = static_cast<const uint8_t*>(data);
    while (n > 0) {
      int step = n > (1u << 30) ? (1 << 30) : static_cast<int>(n);
      if (s_.Write(p, step) != step) return false;
      p += step;
      n -= static_cast<std::size_t>(step);
    }
    return true;
  }

private:
  TStream& s_;
};
