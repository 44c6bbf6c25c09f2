// The codec's fast paths against readers that did not write them: the
// word run-length coder (four literals a step, two joined buffers) against a
// reference coder written from the token rules; the slice-parallel zlib
// against plain zlib (inflate to the stream's end, the header compress2
// writes, adler32 of the tokens), on desktop-like screens; frames that decode
// to the same picture whatever the slice count or the number of threads; and
// the bitmap entry that encodes the pixels where they lie, against the
// bytes of the BMP file image the bitmap class saves.
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>
#include <random>
#include <thread>

#include "FrameCodec.h"
#include "FrameCodecDeflate.h"
#include "codec_fixtures.h"
#include "codec_screens.h"

namespace {

using codecscreens::Screen;
using codecscreens::screen;

// The token rules, word by word: word 0 a literal when asked, a word equal to
// the next one (or the last word) starts a run of at most 65535.
std::vector<uint16_t> referenceRle(const std::vector<uint16_t>& w, bool firstLiteral) {
  std::vector<uint16_t> t;
  std::size_t i = 0;
  const std::size_t n = w.size();
  if (firstLiteral && n > 0) t.push_back(w[i++]);
  while (i < n) {
    if (i + 1 == n || w[i] == w[i + 1]) {
      std::size_t j = i;
      while (j < n && j - i < 65535 && w[j] == w[i]) ++j;
      t.insert(t.end(), {0, 0, uint16_t(j - i), w[i]});
      i = j;
    } else {
      t.push_back(w[i++]);
    }
  }
  return t;
}

std::vector<uint16_t> wordsOf(const uint8_t* p, std::size_t bytes) {
  std::vector<uint16_t> w(bytes / 2);
  for (std::size_t i = 0; i < w.size(); ++i) w[i] = uint16_t(p[2 * i] | p[2 * i + 1] << 8);
  return w;
}

Bytes tokenBytes(const Bytes& bmp) { return wordsToBytes(referenceRle(wordsOf(bmp.data(), bmp.size()), true)); }

// Inflates a zlib stream that must end exactly at the end of z.
Bytes inflateWhole(const Bytes& z, std::size_t expected) {
  Bytes out(expected + 1);
  z_stream s = {};
  EXPECT_EQ(inflateInit(&s), Z_OK);
  s.next_in = const_cast<Bytef*>(z.data());
  s.avail_in = uInt(z.size());
  s.next_out = out.data();
  s.avail_out = uInt(out.size());
  EXPECT_EQ(inflate(&s, Z_FINISH), Z_STREAM_END);
  EXPECT_EQ(s.avail_in, 0u) << "bytes after the end of the zlib stream";
  out.resize(out.size() - s.avail_out);
  inflateEnd(&s);
  return out;
}

// A word-layout image of codec type 3 built around a given zlib stream.
Bytes wordLayoutImage(std::size_t rleLength, const Bytes& z) {
  Bytes image;
  put32(image, uint32_t(4 + z.size()));
  put32(image, uint32_t(rleLength));
  image.insert(image.end(), z.begin(), z.end());
  return image;
}

// Sets the deflate threads for a scope, then back to the process's own.
struct DeflateThreads {
  explicit DeflateThreads(int n) { setDeflateWorkers(n); }
  ~DeflateThreads() { setDeflateWorkers(0); }
};

Bytes screenBmp(int w, int h, int bits, bool moved = false) {
  const Screen& s = screen(w, h, bits);
  if (!moved) return s.bmp;
  Bytes b(s.bmp.begin(), s.bmp.begin() + s.headerLength);
  b.insert(b.end(), s.large.begin(), s.large.end());
  return b;
}

TEST(CodecRle, FastPathsFollowTheTokenRules) {
  std::mt19937 rng(7);
  for (int repeatEvery : {0, 2, 5, 40}) {   // how often a word equals the one before
    for (std::size_t n = 0; n <= 70; ++n) {
      for (int round = 0; round < 4; ++round) {
        std::vector<uint16_t> w(n);
        for (std::size_t i = 0; i < n; ++i)
          w[i] = (i > 0 && repeatEvery && rng() % repeatEvery == 0) ? w[i - 1] : uint16_t(rng() % 5);
        const Bytes raw = wordsToBytes(w);
        SCOPED_TRACE(testing::Message() << "n " << n << " repeat 1/" << repeatEvery << " round " << round);
        for (bool first : {true, false}) {
          std::vector<uint16_t> got(rleMaxTokens(n));
          got.resize(rleEncodeWords(raw.data(), n, first, got.data()));
          ASSERT_EQ(got, referenceRle(w, first)) << "firstLiteral " << first;
        }
        // Joined at every cut, the two parts code as the whole sequence.
        for (std::size_t cut = 0; cut <= n; ++cut) {
          std::vector<uint16_t> got(rleMaxTokens(n));
          got.resize(rleEncodeJoined(raw.data(), cut, raw.data() + 2 * cut, n - cut, got.data()));
          ASSERT_EQ(got, referenceRle(w, true)) << "cut at " << cut;
        }
      }
    }
  }
  // A run that starts in the first part and is longer than one token.
  std::vector<uint16_t> w(70010, 0);
  w[0] = 9;
  const Bytes raw = wordsToBytes(w);
  std::vector<uint16_t> got(rleMaxTokens(w.size()));
  got.resize(rleEncodeJoined(raw.data(), 3, raw.data() + 6, w.size() - 3, got.data()));
  EXPECT_EQ(got, (std::vector<uint16_t>{9, 0, 0, 65535, 0, 0, 0, 4474, 0}));
}

TEST(CodecSlices, SliceCountFollowsTheLengthOnly) {
  const struct {
    std::size_t n;
    int slices;
  } cases[] = {{0, 1},
               {2 * kDeflateSliceBytes - 1, 1},
               {2 * kDeflateSliceBytes, 2},
               {3u << 20, 12},
               {64u << 20, kMaxDeflateSlices}};
  for (const auto& c : cases) EXPECT_EQ(deflateSliceCount(c.n), c.slices) << c.n;
}

TEST(CodecSlices, SlicesFormOneZlibStreamOfTheTokens) {
  const struct {
    int w, h, bits, level;
  } pictures[] = {{1024, 768, 32, 5}, {1024, 768, 16, 5}, {1920, 1080, 32, 9}};
  for (const auto& p : pictures) {
    const Bytes tokens = tokenBytes(screenBmp(p.w, p.h, p.bits));
    const Bytes single = zlibPack(tokens, p.level);
    const uLong adler = adler32(1, tokens.data(), uInt(tokens.size()));
    for (int slices : {1, 2, 5, 12, 16}) {
      SCOPED_TRACE(testing::Message() << p.w << "x" << p.h << "x" << p.bits << " level " << p.level
                                      << ", " << slices << " slices");
      Bytes z{0xAB};  // appended after what the caller had
      ASSERT_TRUE(deflateToZlibSlices(tokens.data(), tokens.size(), p.level, slices, z));
      ASSERT_EQ(z[0], 0xAB);
      z.erase(z.begin());
      if (slices == 1) {
        EXPECT_EQ(z, single) << "one slice is compress2's stream";
      }
      EXPECT_EQ(inflateWhole(z, tokens.size()), tokens);
      EXPECT_EQ(zlibUnpack(z.data(), z.size(), tokens.size()), tokens) << "plain uncompress";
      ASSERT_GE(z.size(), 6u);
      EXPECT_EQ(z[0], single[0]);
      EXPECT_EQ(z[1], single[1]) << "the level's class in the header";
      const uint32_t tail = uint32_t(z[z.size() - 4]) << 24 | uint32_t(z[z.size() - 3]) << 16 |
                            uint32_t(z[z.size() - 2]) << 8 | z[z.size() - 1];
      EXPECT_EQ(tail, uint32_t(adler));
      // Each slice sees the 32 KiB before it: hardly larger than one stream.
      EXPECT_LE(z.size(), single.size() + single.size() / 50 + 64u * slices);
    }
  }
}

TEST(CodecSlices, FramesDecodeIdenticallyAcrossSliceCounts) {
  for (const Bytes& bmp : {screenBmp(1024, 768, 32), screenBmp(1024, 768, 32, true),
                           screenBmp(1920, 1080, 16)}) {
    const Bytes tokens = tokenBytes(bmp);
    ASSERT_GT(deflateSliceCount(tokens.size()), 1) << "the automatic cut must be exercised";
    RecordingHost host;
    for (int slices : {1, 3, 12}) {
      Bytes z;
      ASSERT_TRUE(deflateToZlibSlices(tokens.data(), tokens.size(), 5, slices, z));
      const Bytes image = wordLayoutImage(tokens.size(), z);
      Bytes back;
      ASSERT_EQ(decodeFrameImageBytes(image.data() + 4, image.size() - 4, 3, back, host), 1);
      EXPECT_TRUE(back == bmp) << slices << " slices";
    }
    // The encoder's own image: the automatic cut, the same tokens.
    Bytes image;
    {
      DeflateThreads two(2);
      ASSERT_EQ(encodeFrameImageBytes(bmp.data(), bmp.size(), 3, image), 1);
    }
    EXPECT_EQ(i32at(image, 0), int32_t(image.size() - 4));
    EXPECT_EQ(i32at(image, 4), int32_t(tokens.size()));
    EXPECT_EQ(zlibUnpack(image.data() + 8, image.size() - 8, tokens.size()), tokens);
    Bytes back;
    ASSERT_EQ(decodeFrameImageBytes(image.data() + 4, image.size() - 4, 3, back, host), 1);
    EXPECT_TRUE(back == bmp);
    EXPECT_TRUE(host.messages.empty());
  }
  // The extended layout (mode 3, no colour reduction) takes the same road.
  const Screen& s = screen(1024, 768, 32);
  Bytes pixels(s.bmp.begin() + s.headerLength, s.bmp.end());
  Bytes image;
  ASSERT_EQ(encodeReducedFrameBytes(s.bmp.data(), s.headerLength, pixels.data(), 3, true, 0, image), 1);
  RecordingHost host;
  Bytes back;
  ASSERT_EQ(decodeFrameImageBytes(image.data() + 4, image.size() - 4, 1, back, host), 1);
  EXPECT_TRUE(back == s.bmp);
}

TEST(CodecSlices, OneThreadWritesCompress2sStreamMoreWriteTheSameSlices) {
  const Bytes bmp = screenBmp(1024, 768, 32, true);
  const Bytes tokens = tokenBytes(bmp);
  const Bytes single = zlibPack(tokens, 5);
  Bytes sliced;
  for (int workers : {1, 2, 4, 3}) {
    DeflateThreads threads(workers);
    Bytes image;
    ASSERT_EQ(encodeFrameImageBytes(bmp.data(), bmp.size(), 3, image), 1);
    const Bytes z(image.begin() + 8, image.end());
    if (workers == 1) {
      EXPECT_TRUE(z == single) << "one thread: compress2's stream";
      continue;
    }
    EXPECT_TRUE(z != single);
    if (sliced.empty())
      sliced = z;
    else
      EXPECT_TRUE(z == sliced) << workers << " threads: the cut does not depend on them";
  }
  EXPECT_EQ(zlibUnpack(sliced.data(), sliced.size(), tokens.size()), tokens);
}

TEST(CodecSlices, EncodersOnSeveralThreadsAtOnce) {
  // One encoder has the worker threads, the others deflate on their own.
  DeflateThreads four(4);
  const Bytes pictures[] = {screenBmp(1024, 768, 32), screenBmp(1024, 768, 32, true),
                            screenBmp(1920, 1080, 16), screenBmp(1920, 1080, 32)};
  bool ok[4] = {};
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&, t] {
      bool good = true;
      for (int round = 0; round < 3 && good; ++round) {
        Bytes image, back;
        RecordingHost host;
        good = encodeFrameImageBytes(pictures[t].data(), pictures[t].size(), 3, image) == 1 &&
               decodeFrameImageBytes(image.data() + 4, image.size() - 4, 3, back, host) == 1 &&
               back == pictures[t];
      }
      ok[t] = good;
    });
  for (std::thread& t : threads) t.join();
  for (int t = 0; t < 4; ++t) EXPECT_TRUE(ok[t]) << "picture " << t;
}

TEST(CodecSlices, RefusesWhatZlibWouldRefuse) {
  const Bytes tokens(1000, 7);
  for (const auto& bad : {std::make_pair(0, 1), std::make_pair(10, 1), std::make_pair(5, 0)}) {
    Bytes out{1, 2, 3};
    EXPECT_FALSE(deflateToZlibSlices(tokens.data(), tokens.size(), bad.first, bad.second, out));
    EXPECT_EQ(out, (Bytes{1, 2, 3}));
  }
  // More slices than bytes: still one valid stream.
  Bytes z;
  ASSERT_TRUE(deflateToZlibSlices(tokens.data(), 3, 5, 8, z));
  EXPECT_EQ(zlibUnpack(z.data(), z.size(), 3), Bytes(3, 7));
}

// ---- the bitmap entry reads the pixels where they lie ----------------------------

TEST(CodecBitmapEntry, EncodesTheBmpFileImageTheBitmapSaves) {
  struct Case {
    const char* name;
    TPixelFormat pf;
    int w, h;
    bool black;  // all-zero pixels: the header's last zero words run on into them
  } cases[] = {
      {"16-bit odd width", pf16bit, 7, 5, false}, {"24-bit odd width", pf24bit, 5, 3, false},
      {"32-bit", pf32bit, 9, 4, false},           {"8-bit with palette", pf8bit, 6, 2, false},
      {"black 32-bit", pf32bit, 300, 2, true},    {"black 24-bit", pf24bit, 30000, 3, true},
  };
  std::mt19937 rng(3);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TBitmap pic;
    pic.SetPixelFormat(c.pf);
    pic.SetSize(c.w, c.h);
    for (int y = 0; y < c.h; ++y)
      for (int x = 0; x < pic.Stride(); ++x) pic.ScanLine(y)[x] = c.black ? 0 : uint8_t(rng() % 3 ? x / 8 : rng());
    TMemoryStream saved;
    pic.SaveToStream(saved);
    Bytes want;
    ASSERT_EQ(encodeFrameImageBytes(saved.Memory(), std::size_t(saved.Size()), 3, want), 1);
    TMemoryStream out;
    RecordingHost host;
    ASSERT_EQ(encodeFrameImage(pic, out, 3, host), 1);
    EXPECT_TRUE(out.Bytes() == want);
  }
  // A full 32-bit screen: the sliced deflate through the bitmap entry.
  const Screen& s = screen(1024, 768, 32);
  TBitmap pic;
  pic.SetPixelFormat(pf32bit);
  pic.SetSize(s.width, s.height);
  std::memcpy(pic.Bits(), s.pixels(), s.bmp.size() - s.headerLength);
  TMemoryStream out;
  RecordingHost host;
  ASSERT_EQ(encodeFrameImage(pic, out, 3, host), 1);
  TMemoryStream saved;
  pic.SaveToStream(saved);
  Bytes want;
  ASSERT_EQ(encodeFrameImageBytes(saved.Memory(), std::size_t(saved.Size()), 3, want), 1);
  EXPECT_TRUE(out.Bytes() == want);
  Bytes back;
  ASSERT_EQ(decodeFrameImageBytes(want.data() + 4, want.size() - 4, 3, back, host), 1);
  EXPECT_TRUE(back == saved.Bytes());
}

}  // namespace
