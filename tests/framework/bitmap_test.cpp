// TBitmap: the BMP stream form against hand-built bytes, the loader's checks
// on damaged headers, and pixel-format conversions.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "Graphics.h"
#include "SysUtils.h"
#include "TestFiles.h"

namespace {

using Bytes = std::vector<uint8_t>;

void put16(Bytes& b, size_t at, uint32_t v) { b[at] = uint8_t(v), b[at + 1] = uint8_t(v >> 8); }
void put32(Bytes& b, size_t at, uint32_t v) { for (int i = 0; i < 4; ++i) b[at + i] = uint8_t(v >> (8 * i)); }
uint32_t get32(const Bytes& b, size_t at) { return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | uint32_t(b[at + 3]) << 24; }

// A BMP file image written field by field from the format's layout, with
// `table` (masks or colours) between the 40-byte info header and the pixels.
Bytes makeBmp(int32_t w, int32_t h, uint16_t bits, uint32_t compression, const Bytes& table, const Bytes& pixels,
              uint32_t clrUsed = 0) {
  uint32_t off = 14 + 40 + uint32_t(table.size());
  Bytes b(off);
  b[0] = 'B', b[1] = 'M';
  put32(b, 2, off + uint32_t(pixels.size()));
  put32(b, 10, off);
  put32(b, 14, 40);
  put32(b, 18, uint32_t(w));
  put32(b, 22, uint32_t(h));
  put16(b, 26, 1);
  put16(b, 28, bits);
  put32(b, 30, compression);
  put32(b, 46, clrUsed);
  std::copy(table.begin(), table.end(), b.begin() + 54);
  b.insert(b.end(), pixels.begin(), pixels.end());
  return b;
}

Bytes masks(uint32_t r, uint32_t g, uint32_t b) {
  Bytes m(12);
  put32(m, 0, r), put32(m, 4, g), put32(m, 8, b);
  return m;
}

void load(TBitmap& bmp, const Bytes& bytes) {
  TMemoryStream m;
  m.WriteBuffer(bytes.data(), int(bytes.size()));
  m.SetPosition(0);
  bmp.LoadFromStream(m);
}

Bytes save(const TBitmap& bmp) {
  TMemoryStream m;
  bmp.SaveToStream(m);
  return m.Bytes();
}

// Fills a bitmap with bytes that differ from pixel to pixel and row to row.
void scribble(TBitmap& bmp) {
  int rowBytes = bmp.Width() * bmp.BitsPerPixel() / 8;
  for (int y = 0; y < bmp.Height(); ++y)
    for (int i = 0; i < rowBytes; ++i) bmp.ScanLine(y)[i] = uint8_t(i * 7 + y * 31 + 1);
  if (bmp.PixelFormat() == pf15bit)  // the unused top bit of a 5-5-5 pixel is not kept
    for (int y = 0; y < bmp.Height(); ++y)
      for (int i = 1; i < rowBytes; i += 2) bmp.ScanLine(y)[i] &= 0x7F;
}

TEST(BitmapSave, SixteenBitHeaderIsTheBitFieldLayout) {
  TBitmap bmp;
  bmp.SetPixelFormat(pf16bit);
  bmp.SetSize(3, 2);
  Bytes b = save(bmp);
  // Rows of 3 pixels take (2 x 3 + 3) rounded down to 4 = 8 bytes.
  const uint32_t fileSize = 66 + 8 * 2;
  ASSERT_EQ(b.size(), fileSize);
  struct { size_t at; int size; uint32_t value; } fields[] = {
      {0, 2, 0x4D42}, {2, 4, fileSize}, {6, 2, 0}, {8, 2, 0}, {10, 4, 66},  // file header
      {14, 4, 40}, {18, 4, 3}, {22, 4, 2}, {26, 2, 1}, {28, 2, 16}, {30, 4, 3}, {34, 4, 0},  // info header
      {54, 4, 0xF800}, {58, 4, 0x07E0}, {62, 4, 0x001F},  // masks
  };
  for (auto& f : fields) {
    uint32_t got = f.size == 2 ? uint32_t(b[f.at] | b[f.at + 1] << 8) : get32(b, f.at);
    EXPECT_EQ(got, f.value) << "field at " << f.at;
  }
}

TEST(BitmapSave, OtherFormatsWriteTheirHeaderAndTable) {
  struct { TPixelFormat pf; uint32_t offset; uint16_t bits; uint32_t compression; int stride; } cases[] = {
      {pf8bit, 14 + 40 + 1024, 8, 0, 8},
      {pf15bit, 54, 16, 0, 12},
      {pf24bit, 54, 24, 0, 16},
      {pf32bit, 54, 32, 0, 20},
  };
  for (auto& c : cases) {
    TBitmap bmp;
    bmp.SetPixelFormat(c.pf);
    bmp.SetSize(5, 3);
    EXPECT_EQ(bmp.Stride(), c.stride);
    Bytes b = save(bmp);
    ASSERT_EQ(b.size(), c.offset + c.stride * 3u) << c.pf;
    EXPECT_EQ(get32(b, 10), c.offset) << c.pf;
    EXPECT_EQ(get32(b, 2), b.size()) << c.pf;
    EXPECT_EQ(b[28], c.bits) << c.pf;
    EXPECT_EQ(get32(b, 30), c.compression) << c.pf;
    if (c.pf == pf8bit) {
      EXPECT_EQ(get32(b, 54 + 4 * 0xE0), 0xFF0000u);  // palette entries as blue, green, red, 0
    }
  }
}

TEST(BitmapStream, EveryPixelFormatRoundTrips) {
  for (TPixelFormat pf : {pf8bit, pf15bit, pf16bit, pf24bit, pf32bit}) {
    TBitmap a;
    a.SetPixelFormat(pf);
    a.SetSize(7, 5);
    scribble(a);
    if (pf == pf8bit)
      for (int i = 0; i < 256; ++i) a.Palette()[i] = uint32_t(i) * 0x010203u & 0xFFFFFF;
    TMemoryStream m;
    m.WriteBuffer("pre", 3);  // loading starts at the stream's position
    a.SaveToStream(m);
    m.WriteBuffer("post", 4);
    m.SetPosition(3);
    TBitmap b;
    b.LoadFromStream(m);
    EXPECT_EQ(m.Position(), m.Size() - 4) << pf;
    ASSERT_EQ(b.PixelFormat(), pf);
    ASSERT_EQ(b.Width(), 7);
    ASSERT_EQ(b.Height(), 5);
    for (int y = 0; y < 5; ++y) EXPECT_EQ(std::memcmp(a.ScanLine(y), b.ScanLine(y), size_t(7 * a.BitsPerPixel() / 8)), 0) << pf << " row " << y;
    if (pf == pf8bit) {
      EXPECT_EQ(a.Palette(), b.Palette());
    }
    EXPECT_EQ(save(b), save(a)) << pf;
  }
}

TEST(BitmapLoad, ReadsTheLayoutsOtherWritersUse) {
  // 16-bit BI_RGB is 5-5-5; 2 x 1 pixels, red and blue, one row of 4 bytes.
  TBitmap b;
  load(b, makeBmp(2, 1, 16, 0, {}, {0x00, 0x7C, 0x1F, 0x00}));
  EXPECT_EQ(b.PixelFormat(), pf15bit);
  EXPECT_EQ(b.ScanLine(0)[1], 0x7C);

  // Bit fields 5-5-5 are pf15bit too, 5-6-5 pf16bit.
  load(b, makeBmp(1, 1, 16, 3, masks(0x7C00, 0x03E0, 0x001F), {0xE0, 0x03, 0, 0}));
  EXPECT_EQ(b.PixelFormat(), pf15bit);
  load(b, makeBmp(1, 1, 16, 3, masks(0xF800, 0x07E0, 0x001F), {0xE0, 0x07, 0, 0}));
  EXPECT_EQ(b.PixelFormat(), pf16bit);
  load(b, makeBmp(1, 1, 32, 3, masks(0xFF0000, 0xFF00, 0xFF), {1, 2, 3, 0}));
  EXPECT_EQ(b.PixelFormat(), pf32bit);

  // Top-down 24-bit: the first row in the file is the top row.
  Bytes px = {1, 2, 3, 4, 5, 6, 0, 0, 7, 8, 9, 10, 11, 12, 0, 0};
  load(b, makeBmp(2, -2, 24, 0, {}, px));
  EXPECT_EQ(b.PixelFormat(), pf24bit);
  EXPECT_EQ(b.Height(), 2);
  EXPECT_EQ(b.ScanLine(0)[0], 1);
  EXPECT_EQ(b.ScanLine(1)[0], 7);
  // Bottom-up: the first row in the file is the bottom row, and Bits() starts there.
  load(b, makeBmp(2, 2, 24, 0, {}, px));
  EXPECT_EQ(b.ScanLine(1)[0], 1);
  EXPECT_EQ(b.Bits()[0], 1);

  // 8-bit with a two-entry colour table; the rest of the palette is black.
  Bytes table = {0x10, 0x20, 0x30, 0, 0xFF, 0xFF, 0xFF, 0};
  load(b, makeBmp(3, 1, 8, 0, table, {1, 0, 1, 0}, 2));
  EXPECT_EQ(b.PixelFormat(), pf8bit);
  ASSERT_EQ(b.Palette().size(), 256u);
  EXPECT_EQ(b.Palette()[0], 0x302010u);
  EXPECT_EQ(b.Palette()[1], 0xFFFFFFu);
  EXPECT_EQ(b.Palette()[2], 0u);
  EXPECT_EQ(b.ScanLine(0)[2], 1);
}

TEST(BitmapLoad, RefusesHeadersThatDoNotFitTheData) {
  const Bytes good = makeBmp(2, 2, 24, 0, {}, Bytes(16, 0x55));
  const Bytes good16 = makeBmp(2, 2, 16, 3, masks(0xF800, 0x07E0, 0x001F), Bytes(8, 0x55));
  const Bytes good8 = makeBmp(2, 2, 8, 0, Bytes(1024, 0), Bytes(8, 0x55));
  struct Case { const char* what; Bytes base; size_t at; int size; uint32_t value; };
  const Case cases[] = {
      {"signature", good, 0, 2, 0x5842},
      {"core header size", good, 14, 4, 12},
      {"unknown header size", good, 14, 4, 64},
      {"huge header size", good, 14, 4, 0xFFFFFFF0},
      {"negative width", good, 18, 4, 0xFFFFFFFF},
      {"width past the cap", good, 18, 4, 40000},
      {"height past the cap", good, 22, 4, 40000},
      {"height past the cap, top-down", good, 22, 4, uint32_t(-40000)},
      {"most negative height", good, 22, 4, 0x80000000},
      {"rows larger than the data", good, 18, 4, 3},
      {"width 32768: rows past the data", good, 18, 4, 32768},
      {"planes", good, 26, 2, 2},
      {"4 bits", good, 28, 2, 4},
      {"0 bits", good, 28, 2, 0},
      {"RLE8", good8, 30, 4, 1},
      {"JPEG inside BMP", good, 30, 4, 4},
      {"bit fields on 24-bit", good, 30, 4, 3},
      {"odd masks", good16, 54, 4, 0x0F00},
      {"colour count above 256", good8, 46, 4, 257},
      {"pixels inside the header", good, 10, 4, 20},
      {"pixels inside the colour table", good8, 10, 4, 54 + 512},
      {"pixels past the end", good, 10, 4, 60},
      {"offset wraps around", good, 10, 4, 0xFFFFFFF0},
  };
  for (const Case& c : cases) {
    Bytes b = c.base;
    if (c.size == 2) put16(b, c.at, c.value);
    else put32(b, c.at, c.value);
    TBitmap bmp;
    bmp.SetPixelFormat(pf16bit);
    bmp.SetSize(4, 4);
    EXPECT_THROW(load(bmp, b), EInvalidGraphic) << c.what;
    // A refused picture leaves the bitmap as it was.
    EXPECT_EQ(bmp.Width(), 4) << c.what;
    EXPECT_EQ(bmp.PixelFormat(), pf16bit) << c.what;
  }
  for (size_t cut : {size_t(0), size_t(10), size_t(17), size_t(40), good.size() - 1}) {
    TBitmap bmp;
    EXPECT_THROW(load(bmp, Bytes(good.begin(), good.begin() + cut)), EInvalidGraphic) << "cut at " << cut;
  }
  for (size_t cut : {size_t(60), size_t(54 + 1023), good8.size() - 1}) {
    TBitmap bmp;
    EXPECT_THROW(load(bmp, Bytes(good8.begin(), good8.begin() + cut)), EInvalidGraphic) << "8-bit cut at " << cut;
  }
}

// Colours as 0x00RRGGBB of the pixel at (x, y), read per format by hand.
uint32_t pixel(const TBitmap& b, int x, int y) {
  const uint8_t* p = b.ScanLine(y);
  switch (b.PixelFormat()) {
    case pf8bit: return b.Palette()[p[x]];
    case pf24bit: return uint32_t(p[3 * x + 2]) << 16 | p[3 * x + 1] << 8 | p[3 * x];
    case pf32bit: return (p[4 * x + 2]) << 16 | p[4 * x + 1] << 8 | p[4 * x];
    default: return 0xDEADBEEF;
  }
}

TEST(BitmapPixelFormat, ConversionsKeepTheColours) {
  // 5-6-5 words: red, green, blue, white, black, and a mid grey (16, 32, 16).
  const uint16_t words[] = {0xF800, 0x07E0, 0x001F, 0xFFFF, 0x0000, 0x8410};
  const uint32_t rgb[] = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF, 0x000000, 0x848284};
  TBitmap b;
  b.SetPixelFormat(pf16bit);
  b.SetSize(6, 2);
  for (int x = 0; x < 6; ++x) std::memcpy(b.ScanLine(1) + 2 * x, &words[x], 2);
  b.SetPixelFormat(pf24bit);
  for (int x = 0; x < 6; ++x) EXPECT_EQ(pixel(b, x, 1), rgb[x]) << x;
  b.SetPixelFormat(pf32bit);
  for (int x = 0; x < 6; ++x) EXPECT_EQ(pixel(b, x, 1), rgb[x]) << x;
  b.SetPixelFormat(pf16bit);
  for (int x = 0; x < 6; ++x) EXPECT_EQ(b.ScanLine(1)[2 * x] | b.ScanLine(1)[2 * x + 1] << 8, words[x]) << x;
  b.SetPixelFormat(pf15bit);
  EXPECT_EQ(b.ScanLine(1)[0] | b.ScanLine(1)[1] << 8, 0x7C00);
  EXPECT_EQ(b.ScanLine(1)[2] | b.ScanLine(1)[3] << 8, 0x03E0);

  // To 8 bits: pure colours are in the palette and come back exactly; a
  // colour that is not takes a near entry (3-3-2 levels: blue has only
  // four, 85 apart).
  b.SetPixelFormat(pf8bit);
  for (int x = 0; x < 5; ++x) EXPECT_EQ(pixel(b, x, 1), rgb[x]) << x;
  uint32_t grey = pixel(b, 5, 1);
  EXPECT_NEAR(int(grey >> 16 & 255), 0x84, 19);
  EXPECT_NEAR(int(grey >> 8 & 255), 0x82, 19);
  EXPECT_NEAR(int(grey & 255), 0x84, 43);
  b.SetPixelFormat(pf24bit);
  EXPECT_EQ(pixel(b, 0, 1), 0xFF0000u);
  EXPECT_THROW(b.SetPixelFormat(pf4bit), EInvalidGraphic);
}

TEST(BitmapGeometry, ScanLinesAreTopDownOverBottomUpRows) {
  TBitmap b;
  b.SetPixelFormat(pf24bit);
  b.SetSize(3, 4);
  EXPECT_EQ(b.Stride(), 12);
  EXPECT_EQ(b.ScanLine(3), b.Bits());
  EXPECT_EQ(b.ScanLine(0), b.Bits() + 3 * 12);
  EXPECT_THROW(b.ScanLine(4), ERangeError);
  EXPECT_THROW(b.ScanLine(-1), ERangeError);
  EXPECT_EQ(pixel(b, 2, 3), 0xFFFFFFu);  // new pixels are white

  // Growing keeps the top-left picture and whitens the rest.
  b.ScanLine(0)[0] = 0x11;
  b.ScanLine(3)[8] = 0x22;
  b.SetSize(5, 6);
  EXPECT_EQ(b.ScanLine(0)[0], 0x11);
  EXPECT_EQ(b.ScanLine(3)[8], 0x22);
  EXPECT_EQ(pixel(b, 4, 0), 0xFFFFFFu);
  EXPECT_EQ(pixel(b, 0, 5), 0xFFFFFFu);
  b.SetHeight(1);
  EXPECT_EQ(b.ScanLine(0)[0], 0x11);

  TBitmap c;
  c.Assign(b);
  EXPECT_EQ(c.Width(), 5);
  EXPECT_EQ(c.PixelFormat(), pf24bit);
  EXPECT_NE(c.Bits(), b.Bits());
  EXPECT_EQ(std::memcmp(c.Bits(), b.Bits(), size_t(b.Stride())), 0);
  EXPECT_THROW(c.SetSize(40000, 1), EInvalidGraphic);
  c.SetSize(0, 0);
  EXPECT_TRUE(c.Empty());
  TBitmap d;
  load(d, save(c));  // an empty picture survives its own stream form
  EXPECT_TRUE(d.Empty());
}

// An outside decoder (ffmpeg) reads the saved files: their pixels must come
// out as the colours put in. Skipped where ffmpeg is not installed.
TEST(BitmapSave, AnOutsideDecoderReadsEveryFormat) {
#ifdef _WIN32
  GTEST_SKIP() << "ffmpeg runs on the native side";
#else
  if (std::system("ffmpeg -version >/dev/null 2>&1") != 0) GTEST_SKIP() << "no ffmpeg";
  const uint32_t colours[] = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF, 0x000000};
  for (TPixelFormat pf : {pf8bit, pf15bit, pf16bit, pf24bit, pf32bit}) {
    TBitmap b;
    b.SetPixelFormat(pf24bit);
    b.SetSize(5, 2);
    for (int x = 0; x < 5; ++x) {
      b.ScanLine(0)[3 * x] = uint8_t(colours[x]), b.ScanLine(0)[3 * x + 1] = uint8_t(colours[x] >> 8),
                       b.ScanLine(0)[3 * x + 2] = uint8_t(colours[x] >> 16);
    }
    b.SetPixelFormat(pf);
    AnsiString bmp = TestPath("pf" + IntToStr(int(pf)) + ".bmp");
    AnsiString raw = TestPath("pf" + IntToStr(int(pf)) + ".rgb");
    b.SaveToFile(bmp);
    std::string cmd = "ffmpeg -v error -y -i '" + Cp936ToUtf8(bmp) + "' -f rawvideo -pix_fmt rgb24 '" + Cp936ToUtf8(raw) + "'";
    ASSERT_EQ(std::system(cmd.c_str()), 0) << pf;
    std::ifstream in(Cp936ToUtf8(raw), std::ios::binary);
    std::string px((std::istreambuf_iterator<char>(in)), {});
    ASSERT_EQ(px.size(), 5u * 2 * 3) << pf;
    for (int x = 0; x < 5; ++x) {
      uint32_t got = uint32_t(uint8_t(px[3 * x])) << 16 | uint8_t(px[3 * x + 1]) << 8 | uint8_t(px[3 * x + 2]);
      EXPECT_EQ(got, colours[x]) << "format " << pf << " pixel " << x;
      uint32_t below = uint32_t(uint8_t(px[15 + 3 * x])) << 16 | uint8_t(px[16 + 3 * x]) << 8 | uint8_t(px[17 + 3 * x]);
      EXPECT_EQ(below, 0xFFFFFFu) << "format " << pf << " second row " << x;
    }
    DeleteFile(bmp);
    DeleteFile(raw);
  }
#endif
}

}  // namespace
