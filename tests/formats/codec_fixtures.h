// Small fixtures shared by the codec, .lx and region tests: a host that
// records messages, little-endian byte builders, a hand-written tiny BMP and
// its hand-written token stream. Header-only, so it is not compiled into the
// other test programs of this folder.
#pragma once

#include <zlib.h>

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "Host.h"

struct RecordingHost : FormatsHost {
  std::vector<std::string> messages;
  void showMessage(const AnsiString& text) override { messages.push_back(text.str()); }
};

using Bytes = std::vector<uint8_t>;

inline void put16(Bytes& b, uint16_t v) {
  b.push_back(uint8_t(v));
  b.push_back(uint8_t(v >> 8));
}
inline void put32(Bytes& b, uint32_t v) {
  for (int i = 0; i < 4; ++i) b.push_back(uint8_t(v >> (8 * i)));
}
inline Bytes wordsToBytes(std::initializer_list<uint16_t> words) {
  Bytes b;
  for (uint16_t w : words) put16(b, w);
  return b;
}
inline Bytes wordsToBytes(const std::vector<uint16_t>& words) {
  Bytes b;
  for (uint16_t w : words) put16(b, w);
  return b;
}
inline Bytes zlibPack(const Bytes& raw, int level) {
  uLongf n = compressBound(raw.size());
  Bytes out(n);
  compress2(out.data(), &n, raw.data(), raw.size(), level);
  out.resize(n);
  return out;
}
inline Bytes zlibUnpack(const uint8_t* p, std::size_t n, std::size_t rawSize) {
  Bytes out(rawSize + 1);
  uLongf got = out.size();
  if (uncompress(out.data(), &got, p, n) != Z_OK) return {};
  out.resize(got);
  return out;
}
inline int32_t i32at(const Bytes& b, std::size_t at) {
  return int32_t(uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 |
                 uint32_t(b[at + 3]) << 24);
}

// A 2x1 16-bit 5-6-5 BMP file image (66-byte header and one 4-byte row), both
// pixels `pixel`, written out field by field.
inline Bytes tinyBmp(uint16_t pixel) {
  Bytes b{'B', 'M'};
  put32(b, 70);         // file size
  put32(b, 0);          // reserved
  put32(b, 66);         // offset of the bits
  put32(b, 40);         // info header size
  put32(b, 2);          // width
  put32(b, 1);          // height
  put16(b, 1);          // planes
  put16(b, 16);         // bit count
  put32(b, 3);          // bit fields
  for (int i = 0; i < 5; ++i) put32(b, 0);
  put32(b, 0xF800);
  put32(b, 0x07E0);
  put32(b, 0x001F);
  put16(b, pixel);
  put16(b, pixel);
  return b;
}

// The word-layout tokens of tinyBmp, by the token rules: word 0 a literal,
// equal neighbours a run (0, 0, count, value), the last word a run.
inline std::vector<uint16_t> tinyBmpTokens(uint16_t pixel) {
  return {0x4D42, 0x0046, 0, 0, 3, 0,                   // size high word and reserved: run of 3
          0x0042, 0, 0x0028, 0, 2, 0, 1, 0, 1, 0x0010, 3,  // literals (a 0 before a non-0)
          0, 0, 11, 0,                                   // compression high .. clrImportant
          0xF800, 0, 0x07E0, 0, 0x001F, 0,               // masks (the last 0 a literal)
          0, 0, 2, pixel};                               // the two pixels: the last run
}
