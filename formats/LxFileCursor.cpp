// Portable cursor-icon blending for frames read without GDI. Every field of
// the icon is checked against its bytes before use; pixels outside the
// picture are skipped.
#include "LxFileCursor.h"

#include <algorithm>

#include "ByteReader.h"

namespace {

struct Rgb {
  uint8_t r, g, b;
};

Rgb readPixel(const TBitmap& pic, const uint8_t* p) {
  switch (pic.BitsPerPixel()) {
    case 16: {
      const uint16_t v = getU16(p);
      if (pic.PixelFormat() == pf15bit)
        return Rgb{uint8_t((v >> 10 & 31) << 3), uint8_t((v >> 5 & 31) << 3), uint8_t((v & 31) << 3)};
      return Rgb{uint8_t((v >> 11) << 3), uint8_t((v >> 5 & 63) << 2), uint8_t((v & 31) << 3)};
    }
    default: return Rgb{p[2], p[1], p[0]};
  }
}

void writePixel(const TBitmap& pic, uint8_t* p, Rgb c) {
  switch (pic.BitsPerPixel()) {
    case 16:
      if (pic.PixelFormat() == pf15bit)
        putU16(p, uint16_t((c.r >> 3) << 10 | (c.g >> 3) << 5 | c.b >> 3));
      else
        putU16(p, uint16_t((c.r >> 3) << 11 | (c.g >> 2) << 5 | c.b >> 3));
      break;
    default:
      p[0] = c.b;
      p[1] = c.g;
      p[2] = c.r;
  }
}

}  // namespace

bool blendCursorIcon(TBitmap& picture, const uint8_t* ico, std::size_t size, int x, int y) {
  const int bpp = picture.BitsPerPixel();
  if (bpp != 16 && bpp != 24 && bpp != 32) return false;
  ByteReader dir(ico, size);
  uint16_t reserved, type, count;
  if (!dir.u16(reserved) || !dir.u16(type) || !dir.u16(count) || count < 1) return false;
  if (!dir.skip(8)) return false;
  uint32_t bytes, offset;
  if (!dir.u32(bytes) || !dir.u32(offset)) return false;
  if (offset > size || bytes > size - offset) return false;
  ByteReader dib(ico + offset, bytes);
  uint32_t headerSize, compression, used;
  int32_t w, h2;
  uint16_t planes, bits;
  if (!dib.u32(headerSize) || !dib.i32(w) || !dib.i32(h2) || !dib.u16(planes) || !dib.u16(bits) ||
      !dib.u32(compression))
    return false;
  if (headerSize < 40 || compression != 0 || w <= 0 || w > 256 || h2 <= 0 || h2 > 512) return false;
  if (bits != 1 && bits != 4 && bits != 8 && bits != 24 && bits != 32) return false;
  if (!dib.skip(12) || !dib.u32(used) || !dib.seek(headerSize)) return false;
  const int h = h2 / 2;
  std::size_t colours = bits <= 8 ? (used && used <= (1u << bits) ? used : 1u << bits) : 0;
  const uint8_t* palette = dib.here();
  if (!dib.skip(colours * 4)) return false;
  const std::size_t xorStride = ((std::size_t(w) * bits + 31) / 32) * 4;
  const std::size_t andStride = ((std::size_t(w) + 31) / 32) * 4;
  const uint8_t* xorBits = dib.here();
  if (!dib.skip(xorStride * h)) return false;
  const uint8_t* andBits = dib.here();
  const bool hasMask = dib.skip(andStride * h);
  bool alpha = false;
  if (bits == 32)
    for (int i = 0; i < w * h && !alpha; ++i) alpha = xorBits[4 * i + 3] != 0;

  const int step = bpp / 8;
  for (int iy = 0; iy < h; ++iy) {
    const int py = y + iy;
    if (py < 0 || py >= picture.Height()) continue;
    const uint8_t* xr = xorBits + std::size_t(h - 1 - iy) * xorStride;
    const uint8_t* ar = andBits + std::size_t(h - 1 - iy) * andStride;
    uint8_t* row = picture.ScanLine(py);
    for (int ix = 0; ix < w; ++ix) {
      const int px = x + ix;
      if (px < 0 || px >= picture.Width()) continue;
      Rgb c;
      uint8_t a = 255;
      if (bits <= 8) {
        const unsigned per = 8 / bits;
        const unsigned index = (xr[ix / per] >> (8 - bits * (1 + ix % per))) & ((1u << bits) - 1);
        if (index >= colours) continue;
        c = Rgb{palette[4 * index + 2], palette[4 * index + 1], palette[4 * index]};
      } else {
        const uint8_t* s = xr + std::size_t(ix) * (bits / 8);
        c = Rgb{s[2], s[1], s[0]};
        if (bits == 32) a = s[3];
      }
      uint8_t* d = row + std::size_t(px) * step;
      const Rgb under = readPixel(picture, d);
      if (alpha) {
        auto mix = [a](uint8_t s, uint8_t t) { return uint8_t((s * a + t * (255 - a)) / 255); };
        writePixel(picture, d, Rgb{mix(c.r, under.r), mix(c.g, under.g), mix(c.b, under.b)});
        continue;
      }
      const bool transparent = hasMask && (ar[ix / 8] >> (7 - ix % 8) & 1);
      if (transparent)
        writePixel(picture, d, Rgb{uint8_t(under.r ^ c.r), uint8_t(under.g ^ c.g), uint8_t(under.b ^ c.b)});
      else
        writePixel(picture, d, c);
    }
  }
  return true;
}
