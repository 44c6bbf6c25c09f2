// The headers of a device-independent bitmap, built in one place: the 40-byte
// info header, the BMP file image's head (file header, info header, and the
// colour masks or room for the colour table), and the 66-byte head of a
// 5-6-5 picture that frame images carry. The Windows side turns the same
// description into a BITMAPINFOHEADER (BmpHeader_win.h). Header-only.
// Portable.
#pragma once

#include <cstddef>
#include <cstdint>

#include "ByteWriter.h"

struct BmpInfo {
  static constexpr std::size_t kSize = 40;  // the info header
  static constexpr std::size_t kFileHeaderSize = 14;
  static constexpr uint32_t kPlain = 0;      // BI_RGB (16 bits: 5-5-5)
  static constexpr uint32_t kBitFields = 3;  // BI_BITFIELDS: three masks follow

  int32_t width = 0;
  int32_t height = 0;  // positive: rows bottom-up; negative: top-down
  uint16_t bitCount = 0;
  uint32_t compression = kPlain;
  uint32_t sizeImage = 0;  // may stay 0 but for compressed pictures
  uint32_t clrUsed = 0;    // 0: the whole table of a depth of 8 or less

  static BmpInfo plain(int32_t width, int32_t height, int bits) {
    BmpInfo i;
    i.width = width;
    i.height = height;
    i.bitCount = static_cast<uint16_t>(bits);
    return i;
  }
  // 16 bits, 5-6-5, with its masks after the info header.
  static BmpInfo rgb565(int32_t width, int32_t height) {
    BmpInfo i = plain(width, height, 16);
    i.compression = kBitFields;
    return i;
  }

  // Bytes per row, padded to four.
  uint32_t stride() const {
    return (static_cast<uint32_t>(width) * bitCount + 31) / 32 * 4;
  }
  uint32_t imageBytes() const {
    return stride() * static_cast<uint32_t>(height < 0 ? -height : height);
  }
  // What follows the info header before the pixels: the masks or the table.
  uint32_t tableBytes() const {
    if (compression == kBitFields) return 12;
    if (bitCount <= 8) return 4 * (clrUsed ? clrUsed : 1u << bitCount);
    return 0;
  }
  // The masks of a bit-fields picture: 5-6-5 at 16 bits, 8-8-8 at 32.
  void masks(uint32_t (&m)[3]) const {
    const bool words = bitCount == 16;
    m[0] = words ? 0xF800 : 0xFF0000;
    m[1] = words ? 0x07E0 : 0x00FF00;
    m[2] = words ? 0x001F : 0x0000FF;
  }

  // The 40-byte info header.
  void write(ByteWriter& w) const {
    w.u32(kSize).i32(width).i32(height).u16(1).u16(bitCount).u32(compression);
    w.u32(sizeImage).i32(0).i32(0).u32(clrUsed).u32(0);
  }
  void store(uint8_t* p) const {
    ByteWriter w(p, kSize);
    write(w);
  }
  // The head of a BMP file image, headBytes() long: the file header, the info
  // header, then the masks, or a zeroed colour table for the caller to fill.
  std::size_t headBytes() const { return kFileHeaderSize + kSize + tableBytes(); }
  void storeFileHead(uint8_t* p) const {
    const uint32_t head = static_cast<uint32_t>(headBytes());
    ByteWriter w(p, head);
    w.u8('B').u8('M').u32(head + imageBytes()).u32(0).u32(head);
    write(w);
    if (compression == kBitFields) {
      uint32_t m[3];
      masks(m);
      w.u32(m[0]).u32(m[1]).u32(m[2]);
    } else {
      w.zeros(tableBytes());
    }
  }
};

// The 66-byte BMP file image head of a width x height 5-6-5 picture (the
// first bytes of a 16-bit frame image); returns 66. A null buffer only asks
// for the size.
inline int buildBmpHeader(int width, int height, uint8_t* buffer) {
  if (buffer) BmpInfo::rgb565(width, height).storeFileHead(buffer);
  return 66;
}
