// The writing half of the byte layer: a checked writer of little-endian
// records that appends to a byte vector or fills a fixed span, and the fixed
// text fields of stored records. A write past the end of a span, a length
// that does not fit its int32 field, or a patch of a place that was never
// written fails and leaves the writer failed; a failed writer writes nothing
// more, so one ok() at the end tells whether the record is whole. Text fields
// hold CP936 and are cut by bytes without splitting a double-byte character.
// Header-only, like ByteReader. Portable.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "ByteReader.h"

// The number of leading bytes of text that fit in max bytes without cutting a
// double-byte character (lead byte 0x81-0xFE); text ends at a NUL anyway.
inline std::size_t cp936FitBytes(const std::string& text, std::size_t max) {
  std::size_t i = 0;
  while (i < text.size()) {
    auto b = static_cast<uint8_t>(text[i]);
    if (b == 0) break;
    std::size_t w = (b >= 0x81 && b <= 0xFE && i + 1 < text.size()) ? 2 : 1;
    if (i + w > max) break;
    i += w;
  }
  return i;
}

// A fixed text field of size bytes: at most size - 1 bytes of text, never
// ending inside a double-byte character, and NUL up to the field's end.
inline void storeFixedText(uint8_t* field, std::size_t size, const std::string& text) {
  std::memset(field, 0, size);
  if (size == 0) return;
  std::memcpy(field, text.data(), cp936FitBytes(text, size - 1));
}

class ByteWriter {
public:
  // Appends to out; offsets count from the vector's start.
  explicit ByteWriter(std::vector<uint8_t>& out) : vec_(&out) {}
  // Fills [span, span + size) from its start.
  ByteWriter(void* span, std::size_t size) : span_(static_cast<uint8_t*>(span)), cap_(size) {}

  bool ok() const { return ok_; }
  std::size_t size() const { return vec_ ? vec_->size() : pos_; }

  ByteWriter& bytes(const void* p, std::size_t n) {
    if (vec_ && ok_) {
      auto* b = static_cast<const uint8_t*>(p);
      vec_->insert(vec_->end(), b, b + n);
    } else if (uint8_t* d = room(n)) {
      if (n) std::memcpy(d, p, n);
    }
    return *this;
  }
  ByteWriter& bytes(const std::vector<uint8_t>& b) { return bytes(b.data(), b.size()); }
  ByteWriter& bytes(const std::string& s) { return bytes(s.data(), s.size()); }
  ByteWriter& zeros(std::size_t n) {
    if (uint8_t* d = room(n)) std::memset(d, 0, n);
    return *this;
  }
  ByteWriter& u8(uint8_t v) { return bytes(&v, 1); }
  ByteWriter& u16(uint16_t v) {
    if (uint8_t* d = room(2)) putU16(d, v);
    return *this;
  }
  ByteWriter& u32(uint32_t v) {
    if (uint8_t* d = room(4)) putU32(d, v);
    return *this;
  }
  ByteWriter& i32(int32_t v) { return u32(static_cast<uint32_t>(v)); }
  // A count or length stored as int32; fails above INT32_MAX.
  ByteWriter& length(std::size_t n) {
    if (n > static_cast<std::size_t>(INT32_MAX)) {
      fail();
      return *this;
    }
    return i32(static_cast<int32_t>(n));
  }
  // A fixed text field of exactly size bytes (storeFixedText).
  ByteWriter& text(const std::string& s, std::size_t size) {
    if (uint8_t* d = room(size)) storeFixedText(d, size, s);
    return *this;
  }

  // An int32 that is filled in later: written as 0; returns where it stands.
  std::size_t placeI32() {
    const std::size_t at = size();
    i32(0);
    return at;
  }
  // Overwrites the int32 at `at`, which must lie inside what was written.
  bool patchI32(std::size_t at, int32_t v) {
    if (!ok_ || at > size() || size() - at < 4) return fail();
    putI32(data() + at, v);
    return true;
  }
  // Fills the int32 at `at` with the number of bytes written after it.
  bool patchLength(std::size_t at) {
    if (!ok_ || at > size() || size() - at < 4) return fail();
    const std::size_t n = size() - at - 4;
    if (n > static_cast<std::size_t>(INT32_MAX)) return fail();
    putI32(data() + at, static_cast<int32_t>(n));
    return true;
  }

private:
  uint8_t* room(std::size_t n) {
    if (!ok_) return nullptr;
    if (vec_) {
      const std::size_t at = vec_->size();
      vec_->resize(at + n);
      return vec_->data() + at;
    }
    if (n > cap_ - pos_) {
      fail();
      return nullptr;
    }
    uint8_t* d = span_ + pos_;
    pos_ += n;
    return d;
  }
  uint8_t* data() { return vec_ ? vec_->data() : span_; }
  bool fail() {
    ok_ = false;
    return false;
  }

  std::vector<uint8_t>* vec_ = nullptr;
  uint8_t* span_ = nullptr;
  std::size_t cap_ = 0;
  std::size_t pos_ = 0;
  bool ok_ = true;
};
