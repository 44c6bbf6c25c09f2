// The frame image codec against hand-written token streams and layouts, the
// colour tables and levels against their tables, round trips of every codec
// type, mode, pixel format and level, and damaged images.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <random>

#include "ByteReader.h"
#include "FrameCodec.h"
#include "codec_fixtures.h"

namespace {

std::vector<uint16_t> encodeWords(const std::vector<uint16_t>& words, bool firstLiteral) {
  const Bytes raw = wordsToBytes(words);
  std::vector<uint16_t> tokens(rleMaxTokens(words.size()));
  tokens.resize(rleEncodeWords(raw.data(), words.size(), firstLiteral, tokens.data()));
  return tokens;
}

std::vector<uint16_t> decodeWords(const std::vector<uint16_t>& tokens) {
  const Bytes raw = wordsToBytes(tokens);
  std::vector<uint16_t> out(rleDecodedCount(raw.data(), tokens.size()));
  out.resize(rleDecodeWords(raw.data(), tokens.size(), out.data(), out.size()));
  return out;
}

TEST(CodecRle, TokenSequencesFollowTheRules) {
  const std::vector<uint16_t> long70000 = [] {
    std::vector<uint16_t> w(70001, 3);
    w[0] = 1;
    return w;
  }();
  struct Case {
    const char* name;
    std::vector<uint16_t> words;
    bool firstLiteral;
    std::vector<uint16_t> tokens;
  } cases[] = {
      {"single word stays literal", {5}, true, {5}},
      {"all equal: literal then one run", {5, 5, 5}, true, {5, 0, 0, 2, 5}},
      {"last word is a run of 1", {1, 2, 3}, true, {1, 2, 0, 0, 1, 3}},
      {"zero literal before run", {0, 0, 5}, true, {0, 0, 0, 0, 1, 5}},
      {"run in the middle", {7, 9, 9, 9, 4}, true, {7, 0, 0, 3, 9, 0, 0, 1, 4}},
      {"word 0 literal even when equal", {4, 4}, true, {4, 0, 0, 1, 4}},
      {"no forced literal", {4, 4, 6}, false, {0, 0, 2, 4, 0, 0, 1, 6}},
      {"run splits at 65535", long70000, true, {1, 0, 0, 65535, 3, 0, 0, 4465, 3}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(encodeWords(c.words, c.firstLiteral), c.tokens) << c.name;
    // A sequence without its forced literal only decodes behind another one.
    if (c.firstLiteral) {
      EXPECT_EQ(decodeWords(c.tokens), c.words) << c.name;
    }
  }
}

TEST(CodecRle, DecoderEdgeCases) {
  struct Case {
    std::vector<uint16_t> tokens, words;
  } cases[] = {
      {{9, 0, 0, 0, 3, 7}, {9, 0, 7, 7, 7}},  // 0, then the run 0, 0, 3, 7
      {{9, 0, 0, 2}, {9, 0, 0, 2}},           // 0, 0, c with < 4 words left: literals
      {{0, 0, 0, 2, 5}, {0, 5, 5}},           // word 0 is copied even when it is 0
      {{9, 0, 0, 0, 0}, {9, 0, 0, 0, 0}},     // a zero count is no run
      {{}, {}},
  };
  for (const Case& c : cases) EXPECT_EQ(decodeWords(c.tokens), c.words);
}

// The decoder reads stretches of literals several words at a time: any token
// stream, zeros and pairs of zeros at every place (lanes and their borders),
// decodes as the rule read one word at a time does, also when the output is
// bounded.
TEST(CodecRle, DecodesAnyStreamAsTheWordByWordRule) {
  auto reference = [](const std::vector<uint16_t>& t, std::size_t bound) {
    std::vector<uint16_t> out;
    if (t.empty() || bound == 0) return out;
    out.push_back(t[0]);
    for (std::size_t i = 1; i < t.size() && out.size() < bound;) {
      if (t[i] == 0 && i + 4 <= t.size() && t[i + 1] == 0 && t[i + 2] != 0) {
        for (uint16_t k = 0; k < t[i + 2] && out.size() < bound; ++k) out.push_back(t[i + 3]);
        i += 4;
      } else {
        out.push_back(t[i++]);
      }
    }
    return out;
  };
  std::mt19937 rng(7);
  const uint16_t alphabet[] = {0, 0, 0, 1, 2, 3, 0x7FFF, 0x8000, 0xFFFF, 0x0100};
  for (int round = 0; round < 3000; ++round) {
    std::vector<uint16_t> t(rng() % 40);
    for (auto& w : t) w = alphabet[rng() % 10];
    const Bytes raw = wordsToBytes(t);
    const std::vector<uint16_t> want = reference(t, std::size_t(-1));
    ASSERT_EQ(rleDecodedCount(raw.data(), t.size()), want.size()) << round;
    std::vector<uint16_t> got(want.size() + 8, 0xABCD);
    ASSERT_EQ(rleDecodeWords(raw.data(), t.size(), got.data(), got.size()), want.size()) << round;
    got.resize(want.size());
    ASSERT_EQ(got, want) << round;
    const std::size_t bound = want.empty() ? 0 : rng() % want.size();
    std::vector<uint16_t> part(bound + 1, 0xABCD);
    ASSERT_EQ(rleDecodeWords(raw.data(), t.size(), part.data(), bound), reference(t, bound).size()) << round;
    part.resize(reference(t, bound).size());
    ASSERT_EQ(part, reference(t, bound)) << round;
  }
}

TEST(CodecTables, ColourTablesAndBmpHeader) {
  struct Entry {
    int depth, index;
    uint16_t colour;
  } entries[] = {
      {64, 4, 0x000A},   {64, 20, 0x02AA}, {64, 148, 0xAAAA}, {64, 252, 0xFFFF}, {64, 0, 0},
      {64, 5, 0},        {64, 192, 0xF800}, {8, 128, 0xF800}, {8, 32, 0x07E0},   {8, 8, 0x001F},
      {8, 168, 0xFFFF},  {8, 4, 0},
  };
  for (const Entry& e : entries)
    EXPECT_EQ(reducedColour(e.depth, uint8_t(e.index)), e.colour) << e.depth << "/" << e.index;

  EXPECT_EQ(buildBmpHeader(3, 2, nullptr), 66);
  Bytes h(66);
  buildBmpHeader(3, 2, h.data());
  EXPECT_EQ(h[0], 'B');
  EXPECT_EQ(h[1], 'M');
  EXPECT_EQ(i32at(h, 2), 66 + 8 * 2);  // (2*3+3) rounded down to 4 = 8 bytes a row
  EXPECT_EQ(i32at(h, 10), 66);
  EXPECT_EQ(i32at(h, 14), 40);
  EXPECT_EQ(i32at(h, 18), 3);
  EXPECT_EQ(i32at(h, 22), 2);
  EXPECT_EQ(h[26] | h[27] << 8, 1);
  EXPECT_EQ(h[28] | h[29] << 8, 16);
  EXPECT_EQ(i32at(h, 30), 3);
  EXPECT_EQ(i32at(h, 54), 0xF800);
  EXPECT_EQ(i32at(h, 58), 0x07E0);
  EXPECT_EQ(i32at(h, 62), 0x001F);
}

TEST(CodecWordLayout, MatchesHandWrittenImages) {
  const Bytes bmp = tinyBmp(0x1234);
  const Bytes tokens = wordsToBytes(tinyBmpTokens(0x1234));
  for (int type = 1; type <= 3; ++type) {
    Bytes image;
    ASSERT_EQ(encodeFrameImageBytes(bmp.data(), bmp.size(), type, image), 1);
    ASSERT_EQ(std::size_t(i32at(image, 0)), image.size() - 4) << type;
    if (type == 1) {
      EXPECT_EQ(Bytes(image.begin() + 4, image.end()), tokens);
    } else {
      EXPECT_EQ(std::size_t(i32at(image, 4)), tokens.size());
      EXPECT_EQ(zlibUnpack(image.data() + 8, image.size() - 8, tokens.size()), tokens);
    }
    RecordingHost host;
    Bytes back;
    EXPECT_EQ(decodeFrameImageBytes(image.data() + 4, image.size() - 4, type, back, host), 1);
    EXPECT_EQ(back, bmp);
  }
  // A stored image made elsewhere: hand tokens, zlib level 9, codec type 2.
  Bytes stored;
  put32(stored, uint32_t(tokens.size()));
  const Bytes packed = zlibPack(tokens, 9);
  stored.insert(stored.end(), packed.begin(), packed.end());
  RecordingHost host;
  Bytes back;
  EXPECT_EQ(decodeFrameImageBytes(stored.data(), stored.size(), 2, back, host), 1);
  EXPECT_EQ(back, bmp);

  Bytes untouched{1, 2, 3};
  EXPECT_EQ(encodeFrameImageBytes(bmp.data(), bmp.size(), 4, untouched), -1);
  EXPECT_EQ(encodeFrameImageBytes(bmp.data(), bmp.size(), 0, untouched), -1);
  EXPECT_EQ(untouched, (Bytes{1, 2, 3}));
}

TEST(CodecExtendedLayout, MatchesHandWrittenImages) {
  // Header and pixels are two sequences: the header's last word (0) becomes a
  // run of 1 and the pixels start afresh.
  Bytes bmp = tinyBmp(0x1234);
  std::vector<uint16_t> t = tinyBmpTokens(0x1234);
  t.erase(t.end() - 5, t.end());                      // drop the literal 0 and the pixel run
  t.insert(t.end(), {0, 0, 1, 0, 0, 0, 2, 0x1234});  // header end run, then pixels
  const Bytes tokens = wordsToBytes(t);
  Bytes image;
  ASSERT_EQ(encodeReducedFrameBytes(bmp.data(), 66, bmp.data() + 66, 1, true, 0, image), 1);
  Bytes expect;
  put32(expect, uint32_t(20 + tokens.size()));
  put32(expect, 0xFFFFFFFF);
  put32(expect, 0xFFFFFFFF);
  put32(expect, 1);
  put32(expect, 70);
  put32(expect, uint32_t(tokens.size()));
  expect.insert(expect.end(), tokens.begin(), tokens.end());
  EXPECT_EQ(image, expect);

  // A 3x1 16-bit picture at level 5 becomes 64-colour indexed, mode 10:
  // width bytes per row, one pad byte since 3 x 1 is odd.
  Bytes pic;
  Bytes header(66);
  buildBmpHeader(3, 1, header.data());
  pic = {0xFF, 0xFF, 0x00, 0x00, 0x00, 0xF8, 0xAB, 0xCD};  // FFFF, 0000, F800, padding
  image.clear();
  ASSERT_EQ(encodeReducedFrameBytes(header.data(), 66, pic.data(), 1, true, 5, image), 1);
  EXPECT_EQ(pic, (Bytes{0x18, 0xC6, 0x00, 0x00, 0x00, 0xC0, 0x08, 0xC4}));  // masked in place
  const Bytes itokens = wordsToBytes({3, 1, 0, 64, 0x00FC, 0, 0, 1, 0x00C0});
  expect.clear();
  put32(expect, uint32_t(20 + itokens.size()));
  put32(expect, 0xFFFFFFFF);
  put32(expect, 0xFFFFFFFF);
  put32(expect, 10);
  put32(expect, 12);  // 8 + 3 rounded up to even
  put32(expect, uint32_t(itokens.size()));
  expect.insert(expect.end(), itokens.begin(), itokens.end());
  EXPECT_EQ(image, expect);

  RecordingHost host;
  Bytes back;
  ASSERT_EQ(decodeFrameImageBytes(image.data() + 4, image.size() - 4, 3, back, host), 1);
  Bytes want(66);
  buildBmpHeader(3, 1, want.data());
  put16(want, 0xFFFF);
  put16(want, 0x0000);
  put16(want, 0xF800);
  put16(want, 0);
  EXPECT_EQ(back, want);
}

// ---- round trips over formats, modes and levels -----------------------------

Bytes randomPicture(int width, int height, int bits, uint32_t seed, Bytes& header) {
  const int stride = ((width * bits + 31) / 32) * 4;
  header.assign(54, 0);
  header[0] = 'B';
  header[1] = 'M';
  const int palette = bits == 8 ? 1024 : bits == 16 ? 12 : 0;
  const uint32_t off = 54 + palette;
  auto set32 = [&](int at, uint32_t v) { for (int i = 0; i < 4; ++i) header[at + i] = uint8_t(v >> (8 * i)); };
  set32(2, off + stride * height);
  set32(10, off);
  set32(14, 40);
  set32(18, width);
  set32(22, height);
  header[26] = 1;
  header[28] = uint8_t(bits);
  set32(30, bits == 16 ? 3 : 0);
  if (bits == 16) {
    put32(header, 0xF800);
    put32(header, 0x07E0);
    put32(header, 0x001F);
  }
  std::mt19937 rng(seed);
  for (int i = 0; i < palette / 4 && bits == 8; ++i) put32(header, rng() & 0xFFFFFF);
  Bytes pixels(std::size_t(stride) * height);
  // Runs and noise, like a screen: flat stretches broken by detail.
  for (std::size_t i = 0; i < pixels.size(); ++i)
    pixels[i] = (i / 37) % 3 == 0 ? uint8_t(rng()) : uint8_t(i / 61);
  return pixels;
}

uint16_t expected16(uint16_t p, int level, bool indexed) {
  static const uint16_t masks[8] = {0xFFFF, 0xF79E, 0xF79E, 0xE71C, 0xE71C, 0xC618, 0xC618, 0x8410};
  const uint16_t m = p & masks[level];
  if (!indexed) return m;
  const int r = m >> 11, g = (m >> 5) & 63, b = m & 31;
  if (level == 7) return uint16_t((r >> 4 ? 0xF800 : 0) | (g >> 5 ? 0x07E0 : 0) | (b >> 4 ? 0x1F : 0));
  static const uint16_t rb[4] = {0, 10, 21, 31}, gg[4] = {0, 21, 42, 63};
  return uint16_t(rb[r >> 3] << 11 | gg[g >> 4] << 5 | rb[b >> 3]);
}

uint16_t expected32(uint32_t v, int level) {
  const int r = (v >> 16) & 255, g = (v >> 8) & 255, b = v & 255;
  if (level == 7) return uint16_t((r >> 7 ? 0xF800 : 0) | (g >> 7 ? 0x07E0 : 0) | (b >> 7 ? 0x1F : 0));
  static const uint16_t rb[4] = {0, 10, 21, 31}, gg[4] = {0, 21, 42, 63};
  return uint16_t(rb[r >> 6] << 11 | gg[g >> 6] << 5 | rb[b >> 6]);
}

TEST(CodecRoundTrip, EveryTypeModeFormatAndLevel) {
  const int sizes[][2] = {{7, 5}, {16, 3}, {1, 1}};
  for (int bits : {8, 16, 24, 32}) {
    for (auto& sz : sizes) {
      const int w = sz[0], h = sz[1];
      const int stride = ((w * bits + 31) / 32) * 4;
      Bytes header;
      const Bytes pixels = randomPicture(w, h, bits, uint32_t(bits * 100 + w), header);
      Bytes bmp = header;
      bmp.insert(bmp.end(), pixels.begin(), pixels.end());
      for (int type = 1; type <= 3; ++type) {
        Bytes image;
        ASSERT_EQ(encodeFrameImageBytes(bmp.data(), bmp.size(), type, image), 1);
        RecordingHost host;
        Bytes back;
        ASSERT_EQ(decodeFrameImageBytes(image.data() + 4, image.size() - 4, type, back, host), 1);
        EXPECT_EQ(back, bmp) << bits << "-bit type " << type;
      }
      for (int mode = 1; mode <= 3; ++mode)
        for (int level = 0; level <= 7; ++level)
          for (bool allow : {false, true}) {
            SCOPED_TRACE(testing::Message() << bits << "-bit " << w << "x" << h << " mode " << mode
                                            << " level " << level << " indexed " << allow);
            Bytes px = pixels;
            Bytes image;
            ASSERT_EQ(encodeReducedFrameBytes(header.data(), int(header.size()), px.data(), mode,
                                              allow, level, image), 1);
            const bool indexed = allow && ((bits == 16 && level >= 5) || (bits == 32 && level >= 6));
            EXPECT_EQ(i32at(image, 12), indexed ? mode * 10 : mode);
            RecordingHost host;
            Bytes back;
            ASSERT_EQ(decodeFrameImageBytes(image.data() + 4, image.size() - 4, 1, back, host), 1);
            if (!indexed) {
              // Masked bytes as the level table says, padding included.
              Bytes want = header;
              for (std::size_t i = 0; i < pixels.size(); ++i) {
                uint8_t m = 0xFF;
                if (bits == 24 || bits == 32) m = uint8_t(0xFF << level);
                if (bits == 16) {
                  const uint16_t w16 = uint16_t(pixels[i & ~std::size_t(1)] | pixels[i | 1] << 8);
                  const uint16_t e = expected16(w16, level, false);
                  m = (i & 1) ? uint8_t(e >> 8) : uint8_t(e);
                  want.push_back(m);
                  continue;
                }
                want.push_back(pixels[i] & m);
              }
              EXPECT_EQ(back, want);
              EXPECT_EQ(px, Bytes(want.begin() + long(header.size()), want.end()));
              continue;
            }
            // Indexed: a 16-bit picture of the same size in the table colours.
            BmpShape shape;
            ASSERT_TRUE(readBmpShape(back.data(), back.size(), shape));
            EXPECT_EQ(shape.width, w);
            EXPECT_EQ(shape.height, h);
            EXPECT_EQ(shape.bitCount, 16);
            const int outStride = (2 * w + 3) & ~3;
            for (int y = 0; y < h; ++y)
              for (int x = 0; x < w; ++x) {
                const uint8_t* s = pixels.data() + y * stride + x * (bits / 8);
                const uint16_t want = bits == 16
                    ? expected16(uint16_t(s[0] | s[1] << 8), level, true)
                    : expected32(uint32_t(s[0] | s[1] << 8 | s[2] << 16 | s[3] << 24), level);
                const uint8_t* d = back.data() + 66 + y * outStride + 2 * x;
                ASSERT_EQ(uint16_t(d[0] | d[1] << 8), want) << x << "," << y;
              }
          }
    }
  }
}

TEST(CodecRoundTrip, FrameworkEntriesKeepStreamPositions) {
  TBitmap pic;
  pic.SetPixelFormat(pf16bit);
  pic.SetSize(5, 3);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 5; ++x) putU16(pic.ScanLine(y) + 2 * x, uint16_t(x * 0x0841 + y * 0x1000));
  TMemoryStream s;
  s.WriteBuffer("abcd", 4);
  RecordingHost host;
  ASSERT_EQ(encodeFrameImage(pic, s, 3, host), 1);
  EXPECT_EQ(s.Position(), s.Size());
  ASSERT_EQ(encodeReducedFrameImage(pic, s, 2, true, 0, host), 1);
  const int64_t end = s.Size();

  s.SetPosition(4);
  for (int i = 0; i < 2; ++i) {
    int32_t len;
    s.ReadBuffer(&len, 4);
    const int64_t after = s.Position() + len;
    TBitmap back;
    ASSERT_EQ(decodeLxFrameImage(back, s, len, host), 1);
    EXPECT_EQ(s.Position(), after);
    ASSERT_EQ(back.Width(), 5);
    ASSERT_EQ(back.Height(), 3);
    for (int y = 0; y < 3; ++y) EXPECT_EQ(std::memcmp(back.ScanLine(y), pic.ScanLine(y), 10), 0);
  }
  EXPECT_EQ(s.Position(), end);
  EXPECT_TRUE(host.messages.empty());
}

// ---- damaged images ---------------------------------------------------------

TEST(CodecDamage, RefusesWithTheRightMessage) {
  const Bytes bmp = tinyBmp(0x1234);
  Bytes image;
  ASSERT_EQ(encodeReducedFrameBytes(bmp.data(), 66, Bytes(bmp.begin() + 66, bmp.end()).data(), 1,
                                    false, 0, image), 1);
  struct Case {
    const char* name;
    std::function<void(Bytes&)> damage;
    const char* message;
  } cases[] = {
      {"rawLength below the decoded words", [](Bytes& b) { putI32(b.data() + 16, 68); }, "解压缩1出错"},
      {"rawLength negative", [](Bytes& b) { putI32(b.data() + 16, -4); }, "高度无损解压缩出错"},
      {"payload past the image", [](Bytes& b) { putI32(b.data() + 20, 1 << 30); }, "高度无损解压缩出错"},
      {"unknown mode", [](Bytes& b) { putI32(b.data() + 12, 4); }, "高度无损解压缩出错"},
      {"run past rawLength", [](Bytes& b) { putU16(b.data() + b.size() - 4, 0xFFFF); }, "解压缩1出错"},
  };
  for (const Case& c : cases) {
    Bytes d = image;
    c.damage(d);
    RecordingHost host;
    Bytes back{9};
    EXPECT_EQ(decodeFrameImageBytes(d.data() + 4, d.size() - 4, 3, back, host), -1) << c.name;
    ASSERT_EQ(host.messages.size(), 1u) << c.name;
    EXPECT_EQ(host.messages[0], AnsiString(c.message).str()) << c.name;
    EXPECT_EQ(back, Bytes{9}) << c.name;
  }
  // A stored rleLength far beyond what the zlib data can hold, and a huge
  // indexed picture promised by a few bytes.
  Bytes word;
  put32(word, 0x7FFFFFF0);
  const Bytes z = zlibPack(Bytes(100, 0), 5);
  word.insert(word.end(), z.begin(), z.end());
  RecordingHost host;
  Bytes back;
  EXPECT_EQ(decodeFrameImageBytes(word.data(), word.size(), 3, back, host), -1);
  const Bytes idx = wordsToBytes({32767, 32767, 0, 64, 0, 0, 0xFFFF, 0});
  EXPECT_EQ(decodeReducedFrameBytes(idx.data(), idx.size(), 1 << 28, 10, back, host), -1);
}

TEST(CodecDamage, TruncatedAndCorruptedImagesNeverCrash) {
  Bytes header;
  const Bytes pixels = randomPicture(9, 4, 16, 7, header);
  Bytes bmp = header;
  bmp.insert(bmp.end(), pixels.begin(), pixels.end());
  std::vector<std::pair<int, Bytes>> images;  // codec type, image without length
  for (int type = 1; type <= 3; ++type) {
    Bytes im;
    encodeFrameImageBytes(bmp.data(), bmp.size(), type, im);
    images.push_back({type, Bytes(im.begin() + 4, im.end())});
  }
  for (int mode : {1, 3}) {
    for (bool allow : {false, true}) {
      Bytes px = pixels, im;
      encodeReducedFrameBytes(header.data(), int(header.size()), px.data(), mode, allow, 6, im);
      images.push_back({3, Bytes(im.begin() + 4, im.end())});
    }
  }
  std::mt19937 rng(11);
  for (auto& [type, im] : images) {
    for (std::size_t cut = 0; cut < im.size(); ++cut) {
      RecordingHost host;
      Bytes back;
      EXPECT_EQ(decodeFrameImageBytes(im.data(), cut, type, back, host), -1) << type << " cut " << cut;
      EXPECT_EQ(host.messages.size(), 1u);
    }
    for (int round = 0; round < 300; ++round) {
      Bytes d = im;
      for (int k = 0; k < 3; ++k) d[rng() % d.size()] = uint8_t(rng());
      RecordingHost host;
      Bytes back;
      const int rc = decodeFrameImageBytes(d.data(), d.size(), type, back, host);
      EXPECT_TRUE(rc == 1 || (rc == -1 && host.messages.size() == 1u));
    }
  }
}

}  // namespace
