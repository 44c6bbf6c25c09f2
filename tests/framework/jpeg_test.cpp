// TJPEGImage: compression of a picture and decoding back, and refusal of data
// that is not a whole JPEG picture.
#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "Jpeg.h"

namespace {

// A smooth gradient: JPEG keeps it within a few levels.
void gradient(TBitmap& b, int w, int h) {
  b.SetPixelFormat(pf24bit);
  b.SetSize(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      uint8_t* p = b.ScanLine(y) + 3 * x;
      p[0] = uint8_t(x * 255 / (w - 1));                // blue
      p[1] = uint8_t(y * 255 / (h - 1));                // green
      p[2] = uint8_t(255 - (x + y) * 255 / (w + h - 2));  // red
    }
}

std::vector<uint8_t> encode(const TBitmap& b, int quality = 90) {
  TJPEGImage j;
  j.Assign(b);
  j.CompressionQuality = quality;
  TMemoryStream m;
  j.SaveToStream(m);
  return m.Bytes();
}

TEST(Jpeg, GradientComesBackCloseAtTheDefaultQuality) {
  TBitmap src;
  gradient(src, 64, 48);
  TJPEGImage j;
  EXPECT_EQ(j.CompressionQuality, 90);
  j.Assign(src);
  TMemoryStream m;
  m.WriteBuffer("x", 1);
  j.SaveToStream(m);
  const std::vector<uint8_t>& d = m.Bytes();
  // A JFIF file: SOI, APP0 "JFIF", ..., EOI.
  ASSERT_GT(d.size(), 20u);
  EXPECT_EQ(d[1], 0xFF);
  EXPECT_EQ(d[2], 0xD8);
  EXPECT_EQ(std::string(d.begin() + 7, d.begin() + 11), "JFIF");
  EXPECT_EQ(d[d.size() - 2], 0xFF);
  EXPECT_EQ(d[d.size() - 1], 0xD9);

  m.SetPosition(1);
  TJPEGImage back;
  back.LoadFromStream(m, int(m.Size() - 1));
  EXPECT_EQ(back.Width(), 64);
  EXPECT_EQ(back.Height(), 48);
  TBitmap out;
  out.SetPixelFormat(pf8bit);
  back.DecodeTo(out);
  ASSERT_EQ(out.PixelFormat(), pf24bit);
  ASSERT_EQ(out.Width(), 64);
  ASSERT_EQ(out.Height(), 48);
  int worst = 0;
  long total = 0;
  for (int y = 0; y < 48; ++y)
    for (int i = 0; i < 64 * 3; ++i) {
      int e = std::abs(int(out.ScanLine(y)[i]) - int(src.ScanLine(y)[i]));
      worst = std::max(worst, e);
      total += e;
    }
  EXPECT_LE(worst, 16);
  EXPECT_LE(double(total) / (48 * 64 * 3), 2.0);
  // The channel order survives: the top-left pixel is mostly red.
  EXPECT_GT(out.ScanLine(0)[2], 200);
  EXPECT_LT(out.ScanLine(0)[0], 40);
}

TEST(Jpeg, QualityIsThatInForceAtSaveAndAnyFormatIsTaken) {
  TBitmap src;
  gradient(src, 64, 64);
  EXPECT_LT(encode(src, 10).size(), encode(src, 100).size());
  src.SetPixelFormat(pf16bit);
  TJPEGImage j;
  j.Assign(src);  // converted to 24-bit for compression
  j.CompressionQuality = 95;
  TMemoryStream m;
  j.SaveToStream(m);
  m.SetPosition(0);
  TJPEGImage back;
  back.LoadFromStream(m);
  TBitmap out;
  back.DecodeTo(out);
  EXPECT_EQ(out.Width(), 64);
}

TEST(Jpeg, DamagedDataRaises) {
  TBitmap src;
  gradient(src, 128, 128);
  const std::vector<uint8_t> good = encode(src);  // tables take ~600 bytes, the picture the rest
  std::vector<std::vector<uint8_t>> bad = {
      {},
      {0xFF, 0xD8},
      std::vector<uint8_t>(200, 0x42),
      std::vector<uint8_t>(good.begin(), good.begin() + 100),  // inside the header
  };
  for (size_t i = 0; i < bad.size(); ++i) {
    TMemoryStream m;
    if (!bad[i].empty()) m.WriteBuffer(bad[i].data(), int(bad[i].size()));
    m.SetPosition(0);
    TJPEGImage j;
    EXPECT_THROW(j.LoadFromStream(m), EInvalidGraphic) << i;
  }
  // Header whole, picture cut short or scrambled: refused at decoding.
  ASSERT_GT(good.size(), 2000u);
  std::vector<uint8_t> cut(good.begin(), good.end() - 800);
  std::vector<uint8_t> scrambled = good;
  for (size_t i = good.size() - 800; i < good.size() - 2; ++i) scrambled[i] = 0xFF;
  for (auto* data : {&cut, &scrambled}) {
    TMemoryStream m;
    m.WriteBuffer(data->data(), int(data->size()));
    m.SetPosition(0);
    TJPEGImage j;
    j.LoadFromStream(m);
    TBitmap out;
    EXPECT_THROW(j.DecodeTo(out), EInvalidGraphic);
  }
  TMemoryStream m;
  m.WriteBuffer(good.data(), int(good.size()));
  m.SetPosition(0);
  TJPEGImage j;
  EXPECT_THROW(j.LoadFromStream(m, int(good.size()) + 1), EInvalidGraphic);  // more than the stream holds
}

}  // namespace
