// A decoder of frame images written from the codec's tables alone, for
// checking recorded pictures without the formats library: the word layout
// (types 1 to 3: run-length words, optionally zlib), the extended layout
// (modes 1 to 3 and the indexed modes 10 to 30 with their colour tables), and
// the BMP file image the words spell. Every length and offset is checked
// against the bytes at hand; a fault is reported as text, never read past.
#pragma once

#include <zlib.h>

#include <cstdint>
#include <string>
#include <vector>

namespace framecheck {

// A decoded picture, rows top first, colours 0xRRGGBB with each channel's
// stored bits at the top of its byte (5-6-5 pixels give 0xF8FCF8 precision).
struct Picture {
  int width = 0, height = 0;
  std::vector<uint32_t> rgb;
  uint32_t at(int x, int y) const { return rgb[std::size_t(y) * std::size_t(width) + std::size_t(x)]; }
};

namespace detail {

inline uint32_t u32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
inline uint16_t u16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }

// The run-length words: word 0 copied, then either a run token 0, 0, count
// (not 0), value with four words left, or a literal. maxWords bounds the
// output (0: no bound).
inline bool runLengthDecode(const uint8_t* tokens, std::size_t bytes, std::size_t maxWords,
                            std::vector<uint16_t>& out, std::string& why) {
  const std::size_t n = bytes / 2;
  out.clear();
  if (n == 0) return true;
  auto w = [&](std::size_t i) { return u16(tokens + 2 * i); };
  auto put = [&](uint16_t v, std::size_t count) {
    if (maxWords && out.size() + count > maxWords) {
      why = "decoded words pass the raw length";
      return false;
    }
    out.insert(out.end(), count, v);
    return true;
  };
  if (!put(w(0), 1)) return false;
  for (std::size_t i = 1; i < n;) {
    if (i + 4 <= n && w(i) == 0 && w(i + 1) == 0 && w(i + 2) != 0) {
      if (!put(w(i + 3), w(i + 2))) return false;
      i += 4;
    } else {
      if (!put(w(i), 1)) return false;
      ++i;
    }
  }
  return true;
}

// int32 rleLength, then zlib data: the tokens inflated into rleLength + 1.
inline bool inflateTokens(const uint8_t* p, std::size_t bytes, std::vector<uint8_t>& tokens, std::string& why) {
  if (bytes < 4) {
    why = "no room for the token length";
    return false;
  }
  const uint32_t rle = u32(p);
  if (rle > 256u * 1024 * 1024) {
    why = "token length " + std::to_string(rle) + " beyond reason";
    return false;
  }
  tokens.assign(std::size_t(rle) + 1, 0);
  uLongf got = uLongf(tokens.size());
  if (uncompress(tokens.data(), &got, p + 4, uLong(bytes - 4)) != Z_OK) {
    why = "zlib data does not inflate";
    return false;
  }
  if (got != rle) {
    why = "inflated " + std::to_string(got) + " bytes, rleLength says " + std::to_string(rle);
    return false;
  }
  tokens.resize(got);
  return true;
}

inline std::vector<uint8_t> wordsToBytes(const std::vector<uint16_t>& words) {
  std::vector<uint8_t> b(words.size() * 2);
  for (std::size_t i = 0; i < words.size(); ++i) {
    b[2 * i] = uint8_t(words[i]);
    b[2 * i + 1] = uint8_t(words[i] >> 8);
  }
  return b;
}

// One channel of a bit-field pixel, its bits placed at the top of a byte.
inline uint32_t channel(uint32_t pixel, uint32_t mask) {
  if (!mask) return 0;
  int shift = 0;
  while (!((mask >> shift) & 1)) ++shift;
  int bits = 0;
  while ((mask >> (shift + bits)) & 1) ++bits;
  const uint32_t v = (pixel & mask) >> shift;
  return bits >= 8 ? v >> (bits - 8) : v << (8 - bits);
}

inline uint32_t rgb565(uint16_t p) {
  return channel(p, 0xF800) << 16 | channel(p, 0x07E0) << 8 | channel(p, 0x001F);
}

}  // namespace detail

// 0xRRGGBB as a 5-6-5 pixel (the channels' low bits dropped) and back.
inline uint16_t to565(uint32_t rgb) {
  return uint16_t((rgb >> 19 & 31) << 11 | (rgb >> 10 & 63) << 5 | (rgb >> 3 & 31));
}
inline uint32_t from565(uint16_t p) { return detail::rgb565(p); }

// A BMP file image (uncompressed 16, 24 or 32 bits, or 16/32-bit bit fields).
inline bool loadBmp(const std::vector<uint8_t>& b, Picture& pic, std::string& why) {
  using detail::u16;
  using detail::u32;
  if (b.size() < 54 || b[0] != 'B' || b[1] != 'M') {
    why = "no BMP file header";
    return false;
  }
  const uint32_t offBits = u32(&b[10]), infoSize = u32(&b[14]);
  const int32_t width = int32_t(u32(&b[18])), height = int32_t(u32(&b[22]));
  const int bpp = u16(&b[28]);
  const uint32_t compression = u32(&b[30]);
  if (infoSize < 40 || width <= 0 || height == 0 || width > 16384 || height > 16384 || height < -16384) {
    why = "BMP size " + std::to_string(width) + " x " + std::to_string(height) + " refused";
    return false;
  }
  uint32_t rMask = 0, gMask = 0, bMask = 0;
  if (bpp == 16 && compression == 0) {
    rMask = 0x7C00, gMask = 0x03E0, bMask = 0x001F;
  } else if ((bpp == 24 || bpp == 32) && compression == 0) {
    rMask = 0xFF0000, gMask = 0x00FF00, bMask = 0x0000FF;
  } else if ((bpp == 16 || bpp == 32) && compression == 3) {
    if (b.size() < 14 + 40 + 12) {
      why = "bit-field masks missing";
      return false;
    }
    rMask = u32(&b[54]), gMask = u32(&b[58]), bMask = u32(&b[62]);
  } else {
    why = "BMP of " + std::to_string(bpp) + " bits, compression " + std::to_string(compression) + " not handled";
    return false;
  }
  const std::size_t rows = std::size_t(height < 0 ? -height : height);
  const std::size_t stride = (std::size_t(width) * bpp + 31) / 32 * 4;
  if (offBits > b.size() || (b.size() - offBits) / stride < rows) {
    why = "BMP pixels end past the image (" + std::to_string(b.size()) + " bytes)";
    return false;
  }
  pic.width = width;
  pic.height = int(rows);
  pic.rgb.assign(std::size_t(width) * rows, 0);
  for (std::size_t y = 0; y < rows; ++y) {
    const std::size_t stored = height > 0 ? rows - 1 - y : y;  // bottom-up unless the height is negative
    const uint8_t* row = &b[offBits + stored * stride];
    for (int x = 0; x < width; ++x) {
      const uint8_t* q = row + std::size_t(x) * (bpp / 8);
      const uint32_t p = bpp == 16 ? u16(q) : bpp == 24 ? uint32_t(q[0] | q[1] << 8 | q[2] << 16) : u32(q);
      pic.rgb[y * std::size_t(width) + std::size_t(x)] =
          detail::channel(p, rMask) << 16 | detail::channel(p, gMask) << 8 | detail::channel(p, bMask);
    }
  }
  return true;
}

// The colour of an index through the 64- or the 8-colour table.
inline uint16_t tableColour(int depth, uint8_t index) {
  if (depth == 64) {
    if (index & 3) return 0;
    static const uint16_t rb[4] = {0, 10, 21, 31}, g[4] = {0, 21, 42, 63};
    return uint16_t(rb[index >> 6] << 11 | g[(index >> 4) & 3] << 5 | rb[(index >> 2) & 3]);
  }
  if (index & 7) return 0;
  return uint16_t(((index & 0x80) ? 0xF800 : 0) | ((index & 0x20) ? 0x07E0 : 0) | ((index & 0x08) ? 0x001F : 0));
}

// The indexed picture: int16 width, height, 0, depth; then one index a pixel,
// rows bottom first, no padding.
inline bool loadIndexed(const std::vector<uint8_t>& b, Picture& pic, std::string& why) {
  if (b.size() < 8) {
    why = "indexed picture without its header";
    return false;
  }
  const int width = int16_t(detail::u16(&b[0])), height = int16_t(detail::u16(&b[2]));
  const int depth = int16_t(detail::u16(&b[6]));
  if (width <= 0 || height <= 0 || (depth != 64 && depth != 8)) {
    why = "indexed picture header refused";
    return false;
  }
  if ((b.size() - 8) / std::size_t(width) < std::size_t(height)) {
    why = "indexed picture shorter than its size";
    return false;
  }
  pic.width = width;
  pic.height = height;
  pic.rgb.assign(std::size_t(width) * height, 0);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      pic.rgb[std::size_t(y) * width + x] =
          detail::rgb565(tableColour(depth, b[8 + std::size_t(height - 1 - y) * width + x]));
  return true;
}

// One frame image: the bytes after its int32 imageLength. codecType (1, 2 or
// 3) applies to the word layout only; the extended layout carries its mode.
inline bool decodeFrameImage(const std::vector<uint8_t>& image, int codecType, Picture& pic, std::string& why) {
  using detail::u32;
  std::vector<uint8_t> tokens;
  std::vector<uint16_t> words;
  if (image.size() >= 8 && u32(&image[0]) == 0xFFFFFFFFu && u32(&image[4]) == 0xFFFFFFFFu) {
    if (image.size() < 20) {
      why = "extended header cut short";
      return false;
    }
    const uint32_t mode = u32(&image[8]), raw = u32(&image[12]), payload = u32(&image[16]);
    if (payload != image.size() - 20) {
      why = "payloadLength " + std::to_string(payload) + " for " + std::to_string(image.size() - 20) + " bytes";
      return false;
    }
    const uint8_t* p = image.data() + 20;
    if (mode == 1 || mode == 10) {
      tokens.assign(p, p + payload);
    } else if (mode == 2 || mode == 3 || mode == 20 || mode == 30) {
      if (!detail::inflateTokens(p, payload, tokens, why)) return false;
    } else {
      why = "extended mode " + std::to_string(mode);
      return false;
    }
    if (raw / 2 == 0) {
      why = "rawLength 0";
      return false;
    }
    if (!detail::runLengthDecode(tokens.data(), tokens.size(), raw / 2, words, why)) return false;
    const std::vector<uint8_t> bytes = detail::wordsToBytes(words);
    return mode >= 10 ? loadIndexed(bytes, pic, why) : loadBmp(bytes, pic, why);
  }
  if (codecType == 1) {
    tokens = image;
  } else if (codecType == 2 || codecType == 3) {
    if (!detail::inflateTokens(image.data(), image.size(), tokens, why)) return false;
  } else {
    why = "codec type " + std::to_string(codecType);
    return false;
  }
  if (!detail::runLengthDecode(tokens.data(), tokens.size(), 0, words, why)) return false;
  return loadBmp(detail::wordsToBytes(words), pic, why);
}

}  // namespace framecheck
