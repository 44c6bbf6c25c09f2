// A writer of .lx recordings for test fixtures, written from the file's
// layout tables without the formats library: 16-bit 5-6-5 BMP file images,
// their word tokens (word 0 a literal, every stretch of equal words a run
// 0, 0, count, value) deflated into type-3 frame images, frame records with
// or without a cursor block, the mouse list, the frame index and the
// trailer. Tests check what the program reads against the pictures given
// here (and frame_image_checker.h decodes the stored images on its own).
#pragma once

#include <zlib.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "test_files.h"

namespace lxwrite {

// A width x height 5-6-5 BMP file image (66-byte header with the masks,
// rows bottom-up, padded to 4 bytes); pixel(x, y) counts from the top left.
inline Bytes bmp565(int width, int height, const std::function<uint16_t(int x, int y)>& pixel) {
  const uint32_t stride = (uint32_t(width) * 2 + 3) / 4 * 4;
  Bytes b{'B', 'M'};
  put32(b, 66 + stride * uint32_t(height));
  put32(b, 0);
  put32(b, 66);
  put32(b, 40);
  put32(b, uint32_t(width));
  put32(b, uint32_t(height));
  put16(b, 1);
  put16(b, 16);
  put32(b, 3);  // bit fields
  put32(b, stride * uint32_t(height));
  for (int i = 0; i < 4; ++i) put32(b, 0);
  put32(b, 0xF800);
  put32(b, 0x07E0);
  put32(b, 0x001F);
  for (int row = height - 1; row >= 0; --row) {
    for (int x = 0; x < width; ++x) put16(b, pixel(x, row));
    for (uint32_t pad = uint32_t(width) * 2; pad < stride; ++pad) b.push_back(0);
  }
  return b;
}

// The word tokens of a file image of even length.
inline Bytes wordTokens(const Bytes& image) {
  const std::size_t n = image.size() / 2;
  auto word = [&](std::size_t i) { return uint16_t(image[2 * i] | image[2 * i + 1] << 8); };
  Bytes t;
  if (n == 0) return t;
  put16(t, word(0));
  for (std::size_t i = 1; i < n;) {
    std::size_t run = 1;
    while (i + run < n && run < 65535 && word(i + run) == word(i)) ++run;
    put16(t, 0);
    put16(t, 0);
    put16(t, uint16_t(run));
    put16(t, word(i));
    i += run;
  }
  return t;
}

// A type-3 frame image without its int32 length: int32 token length, zlib.
inline Bytes frameImage(const Bytes& bmp) {
  const Bytes tokens = wordTokens(bmp);
  uLongf n = compressBound(tokens.size());
  Bytes z(n);
  compress2(z.data(), &n, tokens.data(), tokens.size(), 5);
  Bytes b;
  put32(b, uint32_t(tokens.size()));
  b.insert(b.end(), z.begin(), z.begin() + long(n));
  return b;
}

struct Record {
  Bytes bmp;                 // the picture
  bool cursorBlock = false;  // cursorFlag 1 and the block
  int32_t x = -1000, y = -1000;
  Bytes icon;                // .ico bytes; empty: iconLength 0
};

struct Header {
  int32_t width = 0, height = 0, msPerFrame = 200, soundSource = 1, hasCursor = 0;
  int32_t frameCount = -1;  // -1: the number of index lines
};

// The whole file: header, records, a mouse list, the index (one line per
// entry of `lines`, each a record number) and the trailer.
inline Bytes build(const Header& h, const std::vector<Record>& records, const std::vector<int>& lines,
                   const std::string& mouseList = std::string()) {
  Bytes b;
  const int32_t frames = h.frameCount >= 0 ? h.frameCount : int32_t(lines.size());
  for (int32_t v : {int32_t(1), h.width, h.height, frames, int32_t(5), h.msPerFrame, int32_t(0), int32_t(0),
                    h.soundSource, h.hasCursor})
    put32(b, uint32_t(v));
  std::vector<uint32_t> offsets;
  for (const Record& r : records) {
    offsets.push_back(uint32_t(b.size()));
    put32(b, r.cursorBlock ? 1 : 0);
    if (r.cursorBlock) {
      put32(b, uint32_t(r.x));
      put32(b, uint32_t(r.y));
      put32(b, uint32_t(r.icon.size()));
      b.insert(b.end(), r.icon.begin(), r.icon.end());
    }
    const Bytes image = frameImage(r.bmp);
    put32(b, uint32_t(image.size()));
    b.insert(b.end(), image.begin(), image.end());
  }
  b.insert(b.end(), mouseList.begin(), mouseList.end());
  put32(b, uint32_t(mouseList.size()));
  std::string index;
  for (int line : lines) index += std::to_string(offsets.at(std::size_t(line))) + "\r\n";
  b.insert(b.end(), index.begin(), index.end());
  put32(b, uint32_t(index.size()));
  Bytes trailer(40, 0);
  trailer[20] = 8;
  trailer[24] = 6;
  std::memcpy(&trailer[28], "qorvimlxs", 9);
  b.insert(b.end(), trailer.begin(), trailer.end());
  return b;
}

// A 2 x 2 24-bit icon, opaque (AND mask 0), every pixel of colour 0xRRGGBB.
inline Bytes solidIcon(uint32_t rgb) {
  Bytes b;
  put16(b, 0);
  put16(b, 1);  // icon
  put16(b, 1);  // one image
  b.insert(b.end(), {2, 2, 0, 0});
  put16(b, 1);
  put16(b, 24);
  put32(b, 40 + 8 * 2 + 4 * 2);
  put32(b, 22);
  put32(b, 40);
  put32(b, 2);
  put32(b, 4);  // XOR and AND halves
  put16(b, 1);
  put16(b, 24);
  for (int i = 0; i < 6; ++i) put32(b, 0);
  for (int row = 0; row < 2; ++row)
    b.insert(b.end(), {uint8_t(rgb), uint8_t(rgb >> 8), uint8_t(rgb >> 16), uint8_t(rgb), uint8_t(rgb >> 8),
                       uint8_t(rgb >> 16), 0, 0});
  for (int row = 0; row < 2; ++row) put32(b, 0);
  return b;
}

}  // namespace lxwrite
