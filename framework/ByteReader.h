// A checked cursor over a byte span: every reader of untrusted data (frame
// images, .lx and EXE tails, sound tracks, WAV, MP3 frames, set.dat, the update
// page) goes through it. A read past the end fails and leaves the cursor
// failed; it never touches memory outside the span. Portable.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

class ByteReader {
public:
  ByteReader() = default;
  ByteReader(const void* data, std::size_t size)
      : p_(static_cast<const uint8_t*>(data)), size_(size) {}

  std::size_t size() const { return size_; }
  std::size_t pos() const { return pos_; }
  std::size_t left() const { return size_ - pos_; }
  bool ok() const { return ok_; }
  bool atEnd() const { return pos_ == size_; }
  const uint8_t* here() const { return p_ + pos_; }

  // Moves to an absolute offset; fails (and stays where it was) beyond the end.
  bool seek(std::size_t offset) {
    if (!ok_ || offset > size_) return fail();
    pos_ = offset;
    return true;
  }
  bool skip(std::size_t n) {
    if (!ok_ || n > left()) return fail();
    pos_ += n;
    return true;
  }
  bool read(void* out, std::size_t n) {
    if (!ok_ || n > left()) return fail();
    if (n) std::memcpy(out, p_ + pos_, n);
    pos_ += n;
    return true;
  }
  // A sub-span of n bytes at the cursor; an empty, failed reader when short.
  ByteReader sub(std::size_t n) {
    if (!ok_ || n > left()) { fail(); ByteReader r; r.ok_ = false; return r; }
    ByteReader r(p_ + pos_, n);
    pos_ += n;
    return r;
  }

  bool u8(uint8_t& v) { return read(&v, 1); }
  bool u16(uint16_t& v) {
    uint8_t b[2];
    if (!read(b, 2)) return false;
    v = static_cast<uint16_t>(b[0] | b[1] << 8);
    return true;
  }
  bool u32(uint32_t& v) {
    uint8_t b[4];
    if (!read(b, 4)) return false;
    v = static_cast<uint32_t>(b[0]) | static_cast<uint32_t>(b[1]) << 8 |
        static_cast<uint32_t>(b[2]) << 16 | static_cast<uint32_t>(b[3]) << 24;
    return true;
  }
  bool i16(int16_t& v) { uint16_t u; if (!u16(u)) return false; v = static_cast<int16_t>(u); return true; }
  bool i32(int32_t& v) { uint32_t u; if (!u32(u)) return false; v = static_cast<int32_t>(u); return true; }

  // Reads an int32 length and checks that it is 0..max and that that many
  // bytes are left; the usual guard before a length-prefixed block.
  bool length(int32_t& v, std::size_t max) {
    if (!i32(v)) return false;
    if (v < 0 || static_cast<std::size_t>(v) > max || static_cast<std::size_t>(v) > left()) return fail();
    return true;
  }

private:
  bool fail() { ok_ = false; return false; }
  const uint8_t* p_ = nullptr;
  std::size_t size_ = 0;
  std::size_t pos_ = 0;
  bool ok_ = true;
};

// Little-endian stores into a byte buffer the caller has sized.
inline void putU16(uint8_t* p, uint16_t v) { p[0] = uint8_t(v); p[1] = uint8_t(v >> 8); }
inline void putU32(uint8_t* p, uint32_t v) {
  p[0] = uint8_t(v); p[1] = uint8_t(v >> 8); p[2] = uint8_t(v >> 16); p[3] = uint8_t(v >> 24);
}
inline void putI32(uint8_t* p, int32_t v) { putU32(p, static_cast<uint32_t>(v)); }
inline uint32_t getU32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
inline int32_t getI32(const uint8_t* p) { return static_cast<int32_t>(getU32(p)); }
inline uint16_t getU16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }

// A fixed text field of size bytes: up to the first NUL, or the whole field
// when it has none (older files fill some fields completely).
inline std::string loadFixedText(const uint8_t* field, std::size_t size) {
  const void* nul = std::memchr(field, 0, size);
  const std::size_t n =
      nul ? static_cast<std::size_t>(static_cast<const uint8_t*>(nul) - field) : size;
  return std::string(reinterpret_cast<const char*>(field), n);
}
