// Picture helpers; see PictureHelpers.h. The smoothing's spread/pack masks
// keep the three 5-6-5 channels far enough apart in a 32-bit word that a sum
// of weight 16 cannot carry from one channel into the next.
#include "PictureHelpers.h"

#include <cstring>

#include "ByteReader.h"

uint32_t dibImageSize(const uint8_t* h) {
  int64_t width = getI32(h + 4), height = getI32(h + 8);
  int64_t bitCount = getU16(h + 14);
  if (width < 0) return 0;
  if (height < 0) height = -height;  // top-down DIB
  int64_t row = (bitCount * width + 31) / 32 * 4;
  int64_t size = row * height;
  return size > UINT32_MAX ? 0 : static_cast<uint32_t>(size);
}

void copyRow(uint8_t* dst, const uint8_t* src, int dstOffset, int n) {
  if (n > 0) std::memcpy(dst + dstOffset, src, static_cast<std::size_t>(n));
}

void copyRowSwapped(int bits, const uint8_t* src, int srcOffset, uint8_t* dst, int n) {
  if (n <= 0) return;
  std::memcpy(dst, src + srcOffset, static_cast<std::size_t>(n));
  if (bits == 16) {
    for (int i = 0; i + 1 < n; i += 2) std::swap(dst[i], dst[i + 1]);
  } else if (bits == 32) {
    for (int i = 0; i + 3 < n; i += 4) {
      std::swap(dst[i], dst[i + 3]);
      std::swap(dst[i + 1], dst[i + 2]);
    }
  }
}

gaosimohuclass::gaosimohuclass(int w, int h)
    : width(w > 0 ? w : 0), height(h > 0 ? h : 0),
      filteredBuffer(static_cast<std::size_t>(width) * static_cast<std::size_t>(height)),
      spreadBuffer(filteredBuffer.size()) {}

void gaosimohuclass::smooth(uint16_t* pixels) {
  spread(pixels);
  filter();
  pack(pixels);
}

void gaosimohuclass::spread(const uint16_t* pixels) {
  std::size_t stride = static_cast<std::size_t>((width + 1) & ~1);
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x)
      spreadBuffer[std::size_t(y) * std::size_t(width) + std::size_t(x)] =
          (uint32_t(pixels[std::size_t(y) * stride + std::size_t(x)]) * 65537u) & 0x07E0F81Fu;
}

void gaosimohuclass::filter() {
  static const uint32_t kWeight[3][3] = {{1, 2, 1}, {2, 4, 2}, {1, 2, 1}};
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x) {
      uint32_t sum = 0;
      for (int dy = -1; dy <= 1; ++dy) {
        int32_t yy = y + dy;
        if (yy < 0 || yy >= height) continue;
        for (int dx = -1; dx <= 1; ++dx) {
          int32_t xx = x + dx;
          if (xx < 0 || xx >= width) continue;
          sum += kWeight[dy + 1][dx + 1] * spreadBuffer[std::size_t(yy) * std::size_t(width) + std::size_t(xx)];
        }
      }
      filteredBuffer[std::size_t(y) * std::size_t(width) + std::size_t(x)] = sum;
    }
}

void gaosimohuclass::pack(uint16_t* pixels) const {
  std::size_t stride = static_cast<std::size_t>((width + 1) & ~1);
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x) {
      uint32_t b = filteredBuffer[std::size_t(y) * std::size_t(width) + std::size_t(x)];
      pixels[std::size_t(y) * stride + std::size_t(x)] =
          static_cast<uint16_t>(((b >> 15) << 11) | ((b >> 4) & 0x7F) | ((b >> 25) << 5));
    }
}
