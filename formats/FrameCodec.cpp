// The frame image codec on raw byte buffers: the word run-length code, the
// word and extended layouts, colour reduction and the indexed picture. No
// framework streams or bitmaps here (FrameCodecStreams.cpp adds those), so the
// benchmarks, fuzzers and the command-line tool can call it directly.
//
// Every length read from an image is checked before use and every decoded size
// is counted before anything is allocated for it.
#include "FrameCodec.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>

#include "BmpHeader.h"
#include "ByteReader.h"
#include "ByteWriter.h"
#include "FrameCodecDeflate.h"

#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ != __ORDER_LITTLE_ENDIAN__
#error "the codec reads and writes little-endian words in place"
#endif

namespace {

const char* const kMsgInflate = "高度无损解压缩出错";
const char* const kMsgRawOverflow = "解压缩1出错";

inline uint16_t word(const uint8_t* p, std::size_t i) {
  uint16_t v;
  std::memcpy(&v, p + 2 * i, 2);
  return v;
}

// Whether two zero words follow each other among the four at p (where a run
// token could start): the top bit of every zero word, and of its neighbour.
inline bool zeroPairIn(const uint8_t* p) {
  uint64_t q;
  std::memcpy(&q, p, 8);
  const uint64_t low = 0x7FFF7FFF7FFF7FFFull;
  const uint64_t zero = ~(((q & low) + low) | q) & ~low;
  return (zero & (zero >> 16)) != 0;
}

// zlib never expands by more than this ratio; a stored rleLength beyond it
// cannot be honest.
constexpr std::size_t kMaxInflateRatio = 1032;

// The zlib stream of the tokens, appended to out; large token streams are
// deflated in slices side by side (FrameCodecDeflate.h), still one stream
// at the same level. False when zlib fails.
bool appendCompressed(const uint16_t* tokens, std::size_t count, int level,
                      std::vector<uint8_t>& out) {
  return deflateToZlib(reinterpret_cast<const uint8_t*>(tokens), count * 2, level, out);
}

// Token payload for a word-layout type or an extended mode: the tokens as they
// are (1, 10) or int32 rleLength and the zlib stream (2, 20 level 9; 3, 30
// level 5). False when the compressor fails.
bool appendPayload(const uint16_t* tokens, std::size_t count, int kind,
                   std::vector<uint8_t>& out) {
  if (kind == 1) {
    const uint8_t* p = reinterpret_cast<const uint8_t*>(tokens);
    out.insert(out.end(), p, p + count * 2);
    return true;
  }
  ByteWriter w(out);
  if (!w.length(count * 2).ok()) return false;
  return appendCompressed(tokens, count, kind == 2 ? 9 : 5, out);
}

// Room for the tokens of one encode. A thread keeps its buffer for the next
// frame: a full-screen 32-bit picture needs 6 MB, and fresh memory costs more
// to touch under Wine than the run-length pass that fills it. Buffers above
// kKeptTokenBytes are the caller's alone and go when it ends.
constexpr std::size_t kKeptTokenBytes = 64u << 20;

class TokenRoom {
public:
  explicit TokenRoom(std::size_t words) {
    static thread_local std::unique_ptr<uint16_t[]> kept;
    static thread_local std::size_t keptWords = 0;
    if (words * 2 > kKeptTokenBytes) {
      own_.reset(new uint16_t[words]);
      at_ = own_.get();
      return;
    }
    if (keptWords < words) {
      kept.reset();
      keptWords = 0;
      kept.reset(new uint16_t[words]);
      keptWords = words;
    }
    at_ = kept.get();
  }
  uint16_t* get() const { return at_; }

private:
  std::unique_ptr<uint16_t[]> own_;
  uint16_t* at_;
};

// Inflates a stored token stream: int32 rleLength then zlib data. The result
// must be exactly rleLength bytes, as the encoder wrote it.
bool inflateTokens(const uint8_t* data, std::size_t size, std::vector<uint8_t>& tokens) {
  ByteReader r(data, size);
  int32_t rleLength;
  if (!r.i32(rleLength) || rleLength <= 0) return false;
  const std::size_t packed = r.left();
  if (static_cast<std::size_t>(rleLength) > kMaxFrameImageBytes ||
      static_cast<std::size_t>(rleLength) > packed * kMaxInflateRatio + 64)
    return false;
  tokens.resize(static_cast<std::size_t>(rleLength) + 1);
  uLongf destLen = static_cast<uLongf>(tokens.size());
  if (uncompress(tokens.data(), &destLen, r.here(), static_cast<uLong>(packed)) != Z_OK ||
      destLen != static_cast<uLongf>(rleLength))
    return false;
  tokens.resize(destLen);
  return true;
}

// Decodes a token stream that must form a BMP file image of at most maxBytes.
// Returns 1, -1 for damage, -2 when the words would pass maxBytes. A buffer
// that already has room for what the headers promise (a run of frames of one
// size) takes the words in one pass, bounded by that room; otherwise the
// words are counted first, so damaged headers never make us allocate what
// the tokens cannot fill.
int tokensToBmp(const uint8_t* tokens, std::size_t tokenBytes, std::size_t maxBytes,
                std::vector<uint8_t>& bmp) {
  const std::size_t n = tokenBytes / 2;
  uint16_t head[64] = {};
  const std::size_t headWords = rleDecodeWords(tokens, n, head, 64);
  BmpShape shape;
  const bool shaped = readBmpShape(reinterpret_cast<const uint8_t*>(head), headWords * 2, shape);
  // A BMP file image is even in length (the codec drops an odd last byte);
  // anything far beyond what the headers describe is not a frame of ours.
  const std::size_t room = shaped ? std::min(shape.needed + 65536, maxBytes) / 2 : 0;  // words
  if (!shaped || bmp.capacity() < room * 2 + 2) {
    const std::size_t count = rleDecodedCount(tokens, n);
    if (count > maxBytes / 2) return -2;
    if (!shaped || count * 2 < (shape.needed & ~std::size_t(1)) || count * 2 > shape.needed + 65536) return -1;
    bmp.reserve(room * 2 + 2);
  }
  bmp.resize(std::max(room * 2 + 2, shape.needed));
  const std::size_t count = rleDecodeWords(tokens, n, reinterpret_cast<uint16_t*>(bmp.data()), room + 1);
  const std::size_t got = count * 2;
  if (count > room || got < (shape.needed & ~std::size_t(1)))
    return rleDecodedCount(tokens, n) > maxBytes / 2 ? -2 : -1;
  bmp.resize(std::max(got, shape.needed));
  if (got < bmp.size()) std::memset(bmp.data() + got, 0, bmp.size() - got);
  return 1;
}

struct ColourTables {
  std::array<uint16_t, 256> c64{};
  std::array<uint16_t, 256> c8{};
  ColourTables() {
    static const uint16_t rb[4] = {0, 10, 21, 31};
    static const uint16_t g[4] = {0, 21, 42, 63};
    for (int r = 0; r < 4; ++r)
      for (int gg = 0; gg < 4; ++gg)
        for (int b = 0; b < 4; ++b)
          c64[r * 64 + gg * 16 + b * 4] =
              static_cast<uint16_t>(rb[r] << 11 | g[gg] << 5 | rb[b]);
    for (int r = 0; r < 2; ++r)
      for (int gg = 0; gg < 2; ++gg)
        for (int b = 0; b < 2; ++b)
          c8[r * 128 + gg * 32 + b * 8] =
              static_cast<uint16_t>((r ? 0xF800 : 0) | (gg ? 0x07E0 : 0) | (b ? 0x001F : 0));
  }
};
const ColourTables& tables() {
  static const ColourTables t;
  return t;
}

// Indexed picture (modes 10, 20, 30) to a 16-bit BMP file image.
int indexedToBmp(const uint8_t* tokens, std::size_t tokenBytes, std::size_t rawLength,
                 std::vector<uint8_t>& bmp) {
  const std::size_t n = tokenBytes / 2;
  const std::size_t count = rleDecodedCount(tokens, n);
  if (count > rawLength / 2) return -2;
  std::vector<uint8_t> indexed(count * 2);
  rleDecodeWords(tokens, n, reinterpret_cast<uint16_t*>(indexed.data()), count);
  ByteReader r(indexed.data(), indexed.size());
  int16_t width, height, zero, depth;
  if (!r.i16(width) || !r.i16(height) || !r.i16(zero) || !r.i16(depth)) return -1;
  if (width <= 0 || height <= 0) return -1;
  const std::size_t w = static_cast<std::size_t>(width), h = static_cast<std::size_t>(height);
  if (r.left() < w * h) return -1;
  const std::size_t stride = (2 * w + 3) & ~std::size_t(3);
  const std::size_t total = 66 + stride * h;
  if (total > kMaxFrameImageBytes) return -1;
  bmp.assign(total, 0);
  buildBmpHeader(width, height, bmp.data());
  const uint16_t* table = depth == 64 ? tables().c64.data() : tables().c8.data();
  const uint8_t* src = r.here();
  for (std::size_t y = 0; y < h; ++y) {
    uint8_t* row = bmp.data() + 66 + y * stride;
    const uint8_t* in = src + y * w;
    for (std::size_t x = 0; x < w; ++x) putU16(row + 2 * x, table[in[x]]);
  }
  return 1;
}

// The token payload of a word-layout type or an extended mode to a BMP file
// image: the tokens as stored (kind 1) or inflated (2, 3) into `inflated`,
// then the indexed picture or the words of at most maxBytes. 1, -1 for
// damage, -2 when the words would pass maxBytes. Both vectors may come with
// the capacity of an earlier image: a frame of the same size is then decoded
// without allocating or clearing anything.
int payloadToBmp(const uint8_t* payload, std::size_t size, int kind, bool indexed,
                 std::size_t maxBytes, std::vector<uint8_t>& inflated, std::vector<uint8_t>& bmp) {
  const uint8_t* tokens = payload;
  std::size_t tokenBytes = size;
  if (kind != 1) {
    if (!inflateTokens(payload, size, inflated)) return -1;
    tokens = inflated.data();
    tokenBytes = inflated.size();
  }
  return indexed ? indexedToBmp(tokens, tokenBytes, maxBytes, bmp)
                 : tokensToBmp(tokens, tokenBytes, maxBytes, bmp);
}

// Colour level masks of a 16-bit picture, levels 0..7.
const uint16_t kMask16[8] = {0xFFFF, 0xF79E, 0xF79E, 0xE71C, 0xE71C, 0xC618, 0xC618, 0x8410};

void maskWords(uint8_t* pixels, std::size_t bytes, uint32_t mask) {
  // The pixel area is whole 32-bit words (rows are padded to 4 bytes); the
  // padding is masked too, as stored recordings were.
  for (std::size_t i = 0; i + 4 <= bytes; i += 4) {
    uint32_t v;
    std::memcpy(&v, pixels + i, 4);
    v &= mask;
    std::memcpy(pixels + i, &v, 4);
  }
}

}  // namespace

// ---- word run-length code ----------------------------------------------------

std::size_t rleEncodeWords(const uint8_t* words, std::size_t n, bool firstLiteral, uint16_t* dst) {
  uint16_t* out = dst;
  std::size_t i = 0;
  if (firstLiteral && n > 0) {
    *out++ = word(words, 0);
    i = 1;
  }
  while (i < n) {
    // Stretches where no word equals the next (32-bit pixels, whose two
    // halves differ, and noise) are literals: four words per step while none
    // of words i..i+3 equals its successor (i + 3 is not the last word, which
    // always ends in a run).
    while (i + 5 <= n) {
      uint64_t q, r;
      std::memcpy(&q, words + 2 * i, 8);
      std::memcpy(&r, words + 2 * i + 2, 8);
      const uint64_t d = q ^ r;  // a zero lane: an equal neighbour
      if ((d - 0x0001000100010001ull) & ~d & 0x8000800080008000ull) break;
      std::memcpy(out, words + 2 * i, 8);
      out += 4;
      i += 4;
    }
    if (i >= n) break;
    const uint16_t v = word(words, i);
    if (i + 1 == n || v == word(words, i + 1)) {
      const std::size_t limit = std::min(n, i + 65535);
      std::size_t j = i + 1;
      // Long flat areas dominate screen pictures: compare four words at a time.
      uint64_t pattern = v * 0x0001000100010001ull;
      while (j + 4 <= limit) {
        uint64_t q;
        std::memcpy(&q, words + 2 * j, 8);
        if (q != pattern) break;
        j += 4;
      }
      while (j < limit && word(words, j) == v) ++j;
      out[0] = 0;
      out[1] = 0;
      out[2] = static_cast<uint16_t>(j - i);
      out[3] = v;
      out += 4;
      i = j;
    } else {
      *out++ = v;
      ++i;
    }
  }
  return static_cast<std::size_t>(out - dst);
}

std::size_t rleEncodeJoined(const uint8_t* a, std::size_t na, const uint8_t* b, std::size_t nb,
                           uint16_t* dst) {
  if (na == 0) return rleEncodeWords(b, nb, true, dst);
  if (nb == 0) return rleEncodeWords(a, na, true, dst);
  const std::size_t n = na + nb;
  auto at = [&](std::size_t i) { return i < na ? word(a, i) : word(b, i - na); };
  uint16_t* out = dst;
  *out++ = at(0);
  std::size_t i = 1;
  // The first part word by word; a run that starts there may go on into b.
  while (i < na) {
    const uint16_t v = at(i);
    if (v == at(i + 1)) {
      const std::size_t limit = std::min(n, i + 65535);
      std::size_t j = i + 1;
      while (j < limit && at(j) == v) ++j;
      out[0] = 0;
      out[1] = 0;
      out[2] = static_cast<uint16_t>(j - i);
      out[3] = v;
      out += 4;
      i = j;
    } else {
      *out++ = v;
      ++i;
    }
  }
  // Each choice looks only at the words from its own on, so the rest of b
  // codes as a sequence of its own without a forced literal.
  if (i < n) out += rleEncodeWords(b + 2 * (i - na), n - i, false, out);
  return static_cast<std::size_t>(out - dst);
}

// A run token can only start at two zero words in a row; every other word is
// a literal. The decoders go through literals three words a step while four
// words hold no such pair.
std::size_t rleDecodedCount(const uint8_t* tokens, std::size_t n) {
  if (n == 0) return 0;
  std::size_t count = 1, i = 1;
  while (i < n) {
    if (word(tokens, i) == 0 && i + 1 < n && word(tokens, i + 1) == 0) {
      if (i + 4 <= n && word(tokens, i + 2) != 0) {
        count += word(tokens, i + 2);
        i += 4;
      } else {
        ++count;
        ++i;
      }
      continue;
    }
    while (i + 4 <= n && !zeroPairIn(tokens + 2 * i)) {
      i += 3;
      count += 3;
    }
    if (i < n && !(word(tokens, i) == 0 && i + 1 < n && word(tokens, i + 1) == 0)) {
      ++count;
      ++i;
    }
  }
  return count;
}

std::size_t rleDecodeWords(const uint8_t* tokens, std::size_t n, uint16_t* out,
                           std::size_t outWords) {
  if (n == 0 || outWords == 0) return 0;
  std::size_t o = 0, i = 1;
  out[o++] = word(tokens, 0);
  while (i < n && o < outWords) {
    if (word(tokens, i) == 0 && i + 1 < n && word(tokens, i + 1) == 0) {
      if (i + 4 <= n && word(tokens, i + 2) != 0) {
        const std::size_t c = std::min<std::size_t>(word(tokens, i + 2), outWords - o);
        std::fill_n(out + o, c, word(tokens, i + 3));
        o += c;
        i += 4;
      } else {
        out[o++] = 0;
        ++i;
      }
      continue;
    }
    // The fourth word of each step is stored too and written again by the next.
    while (i + 4 <= n && o + 4 <= outWords && !zeroPairIn(tokens + 2 * i)) {
      std::memcpy(out + o, tokens + 2 * i, 8);
      i += 3;
      o += 3;
    }
    if (i < n && o < outWords && !(word(tokens, i) == 0 && i + 1 < n && word(tokens, i + 1) == 0))
      out[o++] = word(tokens, i++);
  }
  return o;
}

// ---- headers and tables -----------------------------------------------------

uint16_t reducedColour(int depth, uint8_t index) {
  return depth == 64 ? tables().c64[index] : tables().c8[index];
}

bool readBmpShape(const uint8_t* bmp, std::size_t size, BmpShape& shape) {
  ByteReader r(bmp, size);
  uint8_t b, m;
  uint32_t fileSize, reserved, offset, infoSize;
  int32_t width, height;
  uint16_t planes, bits;
  if (!r.u8(b) || !r.u8(m) || b != 'B' || m != 'M') return false;
  if (!r.u32(fileSize) || !r.u32(reserved) || !r.u32(offset) || !r.u32(infoSize)) return false;
  if (!r.i32(width) || !r.i32(height) || !r.u16(planes) || !r.u16(bits)) return false;
  if (infoSize < 40 || infoSize > 124 || offset < 14 + infoSize) return false;
  if (width <= 0 || height <= 0) return false;
  if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) return false;
  const uint64_t stride = ((uint64_t(width) * bits + 31) / 32) * 4;
  const uint64_t needed = uint64_t(offset) + stride * uint64_t(height);
  if (needed > kMaxFrameImageBytes) return false;
  shape.width = width;
  shape.height = height;
  shape.bitCount = bits;
  shape.pixelOffset = offset;
  shape.stride = static_cast<uint32_t>(stride);
  shape.needed = static_cast<std::size_t>(needed);
  return true;
}

// ---- encoders ---------------------------------------------------------------

int encodeFrameImageParts(const uint8_t* header, std::size_t headerSize, const uint8_t* pixels,
                          std::size_t pixelSize, int codecType, std::vector<uint8_t>& out) {
  if (codecType < 1 || codecType > 3 || headerSize % 2 != 0 ||
      pixelSize > kMaxFrameImageBytes - std::min(headerSize, kMaxFrameImageBytes))
    return -1;
  const std::size_t nh = headerSize / 2, np = pixelSize / 2;
  TokenRoom tokens(rleMaxTokens(nh + np));
  const std::size_t count = rleEncodeJoined(header, nh, pixels, np, tokens.get());
  const std::size_t start = out.size();
  ByteWriter w(out);
  const std::size_t length = w.placeI32();
  if (!appendPayload(tokens.get(), count, codecType, out) || !w.patchLength(length)) {
    out.resize(start);
    return -1;
  }
  return 1;
}

int encodeFrameImageBytes(const uint8_t* bmp, std::size_t size, int codecType,
                          std::vector<uint8_t>& out) {
  return encodeFrameImageParts(nullptr, 0, bmp, size, codecType, out);
}

int encodeReducedFrameBytes(const uint8_t* header, int headerLength, uint8_t* pixels, int mode,
                            bool allowIndexed, int colourLevel, std::vector<uint8_t>& out) {
  if (mode < 1 || mode > 3 || colourLevel < 0 || colourLevel > 7) return -1;
  if (!header || headerLength < 30 || !pixels) return -1;
  const int32_t width = getI32(header + 18), height = getI32(header + 22);
  const int bits = getU16(header + 28);
  if (width <= 0 || height <= 0) return -1;
  if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) return -1;
  const uint64_t stride64 = ((uint64_t(width) * bits + 31) / 32) * 4;
  if (stride64 * uint64_t(height) + uint64_t(headerLength) > kMaxFrameImageBytes) return -1;
  const std::size_t stride = static_cast<std::size_t>(stride64);
  const std::size_t pixelBytes = stride * static_cast<std::size_t>(height);

  int depth = 0;  // 64 or 8 when the picture becomes indexed
  if (colourLevel > 0) {
    if (bits == 16) {
      maskWords(pixels, pixelBytes, kMask16[colourLevel] * 0x00010001u);
      if (allowIndexed && colourLevel >= 5) depth = colourLevel == 7 ? 8 : 64;
    } else if (bits == 24 || bits == 32) {
      maskWords(pixels, pixelBytes, (0xFFu << colourLevel & 0xFFu) * 0x01010101u);
      if (bits == 32 && allowIndexed && colourLevel >= 6) depth = colourLevel == 7 ? 8 : 64;
    }
  }
  // The indexed picture stores its size as int16.
  if (width > 32767 || height > 32767) depth = 0;

  std::vector<uint8_t> indexed;
  std::unique_ptr<TokenRoom> tokens;
  std::size_t count = 0;
  std::size_t rawLength = 0;
  if (depth) {
    const std::size_t w = static_cast<std::size_t>(width), h = static_cast<std::size_t>(height);
    const std::size_t cells = (w * h + 1) & ~std::size_t(1);
    rawLength = cells + 8;
    indexed.assign(rawLength, 0);
    putU16(indexed.data(), static_cast<uint16_t>(width));
    putU16(indexed.data() + 2, static_cast<uint16_t>(height));
    putU16(indexed.data() + 6, static_cast<uint16_t>(depth));
    uint8_t* dst = indexed.data() + 8;
    for (std::size_t y = 0; y < h; ++y) {
      const uint8_t* row = pixels + y * stride;
      uint8_t* out8 = dst + y * w;  // exactly width bytes per row
      if (bits == 16) {
        for (std::size_t x = 0; x < w; ++x) {
          const uint32_t p = getU16(row + 2 * x);
          out8[x] = static_cast<uint8_t>(((p & 0xC000) | (p << 3) | (p << 7)) >> 8);
        }
      } else {
        for (std::size_t x = 0; x < w; ++x) {
          const uint32_t v = getU32(row + 4 * x);
          out8[x] = static_cast<uint8_t>((v >> 16) | (v >> 10) | (v >> 4));
        }
      }
    }
    const std::size_t n = rawLength / 2;
    tokens.reset(new TokenRoom(rleMaxTokens(n)));
    count = rleEncodeWords(indexed.data(), n, true, tokens->get());
    mode *= 10;
  } else {
    const std::size_t hn = static_cast<std::size_t>(headerLength) / 2, pn = pixelBytes / 2;
    rawLength = static_cast<std::size_t>(headerLength) + pixelBytes;
    tokens.reset(new TokenRoom(rleMaxTokens(hn) + rleMaxTokens(pn)));
    // Header and pixels are two sequences: no run crosses from one to the other.
    count = rleEncodeWords(header, hn, true, tokens->get());
    count += rleEncodeWords(pixels, pn, false, tokens->get() + count);
  }

  const int kind = depth ? mode / 10 : mode;
  // int32 length, -1, -1, mode, rawLength, payload length, payload.
  const std::size_t start = out.size();
  ByteWriter w(out);
  const std::size_t length = w.placeI32();
  w.i32(-1).i32(-1).i32(mode).length(rawLength);
  const std::size_t payloadLength = w.placeI32();
  if (!w.ok() || !appendPayload(tokens->get(), count, kind, out) ||
      !w.patchLength(payloadLength) || !w.patchLength(length)) {
    out.resize(start);
    return -1;
  }
  return 1;
}

// ---- decoders ---------------------------------------------------------------

namespace {

// The decoders over buffers that may be reused: the result in bmp, which is
// left in any state on failure.
int decodeReducedInto(const uint8_t* payload, std::size_t payloadLength, int rawLength, int mode,
                      std::vector<uint8_t>& tokens, std::vector<uint8_t>& bmp, FormatsHost& host) {
  const int kind = mode >= 10 ? mode / 10 : mode;
  const bool indexed = mode >= 10;
  if ((mode != 1 && mode != 2 && mode != 3 && mode != 10 && mode != 20 && mode != 30) ||
      rawLength <= 0 || static_cast<std::size_t>(rawLength) > kMaxFrameImageBytes) {
    host.showMessage(kMsgInflate);
    return -1;
  }
  const int rc = payloadToBmp(payload, payloadLength, kind, indexed,
                              static_cast<std::size_t>(rawLength), tokens, bmp);
  if (rc != 1) {
    host.showMessage(rc == -2 ? kMsgRawOverflow : kMsgInflate);
    return -1;
  }
  return 1;
}

int decodeImageInto(const uint8_t* data, std::size_t size, int codecType, std::vector<uint8_t>& tokens,
                    std::vector<uint8_t>& bmp, FormatsHost& host) {
  if (size >= 8 && getI32(data) == -1 && getI32(data + 4) == -1) {
    ByteReader r(data + 8, size - 8);
    int32_t mode, rawLength, payloadLength;
    if (!r.i32(mode) || !r.i32(rawLength) || !r.length(payloadLength, r.left())) {
      host.showMessage(kMsgInflate);
      return -1;
    }
    return decodeReducedInto(r.here(), static_cast<std::size_t>(payloadLength), rawLength, mode, tokens,
                             bmp, host);
  }
  if (codecType < 1 || codecType > 3) {
    host.showMessage(kMsgInflate);
    return -1;
  }
  if (payloadToBmp(data, size, codecType, false, kMaxFrameImageBytes, tokens, bmp) != 1) {
    host.showMessage(kMsgInflate);
    return -1;
  }
  return 1;
}

}  // namespace

int decodeReducedFrameBytes(const uint8_t* payload, std::size_t payloadLength, int rawLength,
                            int mode, std::vector<uint8_t>& bmp, FormatsHost& host) {
  std::vector<uint8_t> tokens, result;
  if (decodeReducedInto(payload, payloadLength, rawLength, mode, tokens, result, host) != 1) return -1;
  bmp.swap(result);
  return 1;
}

int decodeFrameImageBytes(const uint8_t* data, std::size_t size, int codecType,
                          std::vector<uint8_t>& bmp, FormatsHost& host) {
  std::vector<uint8_t> tokens, result;
  if (decodeImageInto(data, size, codecType, tokens, result, host) != 1) return -1;
  bmp.swap(result);
  return 1;
}

int FrameImageDecoder::decode(const uint8_t* data, std::size_t size, int codecType, FormatsHost& host) {
  return decodeImageInto(data, size, codecType, tokens_, bmp_, host);
}
