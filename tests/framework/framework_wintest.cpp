// The Win32 side of the framework under Wine: CP936 file names through the W
// API, share modes of file streams, bitmaps as DIB sections that GDI draws
// into, the canvas, and icons made from their stream form.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "Canvas.h"
#include "Classes.h"
#include "Graphics.h"
#include "SysUtils.h"
#include "TestFiles.h"

namespace {

// 0x00RRGGBB of a pixel, read by hand from the bytes of each format.
uint32_t pixel(TBitmap& b, int x, int y) {
  const uint8_t* p = b.ScanLine(y);
  switch (b.PixelFormat()) {
    case pf8bit: return b.Palette()[p[x]];
    case pf15bit: {
      unsigned v = p[2 * x] | p[2 * x + 1] << 8;
      return (v >> 10 & 31) << 19 | (v >> 5 & 31) << 11 | (v & 31) << 3;
    }
    case pf16bit: {
      unsigned v = p[2 * x] | p[2 * x + 1] << 8;
      return (v >> 11) << 19 | (v >> 5 & 63) << 10 | (v & 31) << 3;
    }
    case pf24bit: return uint32_t(p[3 * x + 2]) << 16 | p[3 * x + 1] << 8 | p[3 * x];
    default: return uint32_t(p[4 * x + 2]) << 16 | p[4 * x + 1] << 8 | p[4 * x];
  }
}

TEST(WinFiles, Cp936NameIsStoredAsItsUtf16Name) {
  AnsiString path = TestPath("录像1.lx");
  {
    TFileStream f(path, fmCreate);
    f.WriteBuffer("LX", 2);
  }
  ASSERT_TRUE(FileExists(path));
  WIN32_FIND_DATAW fd;
  HANDLE h = FindFirstFileW(Cp936ToWide(path).c_str(), &fd);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  FindClose(h);
  const wchar_t want[] = {0x5F55, 0x50CF, L'1', L'.', L'l', L'x', 0};
  std::wstring name = fd.cFileName;
  ASSERT_GE(name.size(), 6u);
  EXPECT_EQ(name.substr(name.size() - 6), std::wstring(want));
  EXPECT_EQ(fd.nFileSizeLow, 2u);

  // Found again by listing the folder, and reopened by the CP936 name.
  std::wstring dir = Cp936ToWide(ExtractFilePath(path)) + L"*";
  bool listed = false;
  h = FindFirstFileW(dir.c_str(), &fd);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  do listed = listed || WideToCp936(fd.cFileName) == ExtractFileName(path);
  while (FindNextFileW(h, &fd));
  FindClose(h);
  EXPECT_TRUE(listed);
  {
    TFileStream in(path, fmOpenRead);
    char buf[2];
    in.ReadBuffer(buf, 2);
    EXPECT_EQ(std::string(buf, 2), "LX");
  }
  EXPECT_TRUE(DeleteFile(path));
}

TEST(WinFiles, ARecordingBeingWrittenCanBeRead) {
  AnsiString path = TestPath("growing.lx");
  struct Cleanup { AnsiString p; ~Cleanup() { DeleteFile(p); } } cleanup{path};
  TFileStream writer(path, fmCreate);
  writer.WriteBuffer("abc", 3);
  {
    TFileStream reader(path, fmOpenRead);  // no share bits: readers share everything
    EXPECT_EQ(reader.Size(), 3);
    writer.WriteBuffer("def", 3);
    char buf[6];
    reader.ReadBuffer(buf, 6);
    EXPECT_EQ(std::string(buf, 6), "abcdef");
    TFileStream second(path, fmOpenRead | fmShareDenyNone);
    EXPECT_EQ(second.Size(), 6);
    // Explicit share bits are honoured: exclusive access is refused now.
    EXPECT_THROW(TFileStream(path, fmOpenReadWrite | fmShareExclusive), EFOpenError);
  }
  // 64-bit positions: a seek past 4 GB on a sparse length works.
  EXPECT_EQ(writer.Seek(int64_t(5) << 30, soFromBeginning), int64_t(5) << 30);
  writer.Seek(0, soFromEnd);
}

TEST(WinBitmap, GdiDrawsIntoTheScanLines) {
  for (TPixelFormat pf : {pf8bit, pf15bit, pf16bit, pf24bit, pf32bit}) {
    TBitmap b;
    b.SetPixelFormat(pf);
    b.SetSize(10, 6);
    HDC dc = static_cast<HDC>(b.DC());
    ASSERT_NE(dc, nullptr);
    RECT r = {2, 1, 5, 3};
    HBRUSH brush = CreateSolidBrush(RGB(255, 0, 0));
    FillRect(dc, &r, brush);
    DeleteObject(brush);
    // pixel() reads 5- and 6-bit channels unscaled: full red is F8 there.
    const bool words = pf == pf15bit || pf == pf16bit;
    const uint32_t red = words ? 0xF80000 : 0xFF0000;
    const uint32_t white = pf == pf15bit ? 0xF8F8F8 : pf == pf16bit ? 0xF8FCF8 : 0xFFFFFF;
    EXPECT_EQ(pixel(b, 2, 1), red) << pf;
    EXPECT_EQ(pixel(b, 4, 2), red) << pf;
    EXPECT_EQ(pixel(b, 5, 1), white) << pf;  // outside the rectangle: still the new bitmap's white
    EXPECT_EQ(pixel(b, 2, 3), white) << pf;

    // BitBlt from another bitmap's DC lands in the pixels too.
    TBitmap src;
    src.SetPixelFormat(pf32bit);
    src.SetSize(3, 3);
    src.Canvas()->Brush.Color = RGB(0, 0, 255);
    RECT all = {0, 0, 3, 3};
    src.Canvas()->FillRect(all);
    ASSERT_TRUE(BitBlt(dc, 7, 3, 3, 3, static_cast<HDC>(src.DC()), 0, 0, SRCCOPY));
    EXPECT_EQ(pixel(b, 8, 4), red >> 16) << pf;  // blue
  }
}

TEST(WinBitmap, PaletteChangesReachGdi) {
  TBitmap b;
  b.SetPixelFormat(pf8bit);
  b.SetSize(4, 4);
  ASSERT_NE(b.DC(), nullptr);
  std::memset(b.ScanLine(0), 7, 4);
  b.Palette()[7] = 0x123456;
  TBitmap out;
  out.SetPixelFormat(pf24bit);
  out.SetSize(4, 4);
  out.Canvas()->Draw(0, 0, b);
  EXPECT_EQ(pixel(out, 1, 0), 0x123456u);

  // A loaded picture is drawn with the colours of its own table.
  TMemoryStream m;
  b.SaveToStream(m);
  m.SetPosition(0);
  TBitmap c;
  c.LoadFromStream(m);
  out.Canvas()->StretchDraw(RECT{0, 0, 4, 4}, c);
  EXPECT_EQ(pixel(out, 2, 0), 0x123456u);
}

TEST(WinCanvas, DrawsTextLinesAndRectangles) {
  TBitmap b;
  b.SetPixelFormat(pf24bit);
  b.SetSize(120, 40);
  TCanvas& c = *b.Canvas();
  c.Font.Size = 12;
  c.Font.Color = clBlack;
  c.Brush.Style = bsClear;
  int wide = c.TextWidth("录像"), narrow = c.TextWidth("i");
  EXPECT_GT(wide, narrow);
  EXPECT_GT(c.TextHeight("录像"), 8);
  c.TextOut(2, 2, "录像");
  int dark = 0;
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 120; ++x) dark += pixel(b, x, y) != 0xFFFFFFu;
  EXPECT_GT(dark, 10);

  // The CP936 text reaches GDI as the right UTF-16 characters: the same
  // pixels as TextOutW of the code points themselves.
  TBitmap ref;
  ref.SetPixelFormat(pf24bit);
  ref.SetSize(120, 40);
  HFONT font = c.Font.Create();
  HGDIOBJ old = SelectObject(static_cast<HDC>(ref.DC()), font);
  SetBkMode(static_cast<HDC>(ref.DC()), TRANSPARENT);
  const wchar_t text[] = {0x5F55, 0x50CF};
  TextOutW(static_cast<HDC>(ref.DC()), 2, 2, text, 2);
  SelectObject(static_cast<HDC>(ref.DC()), old);
  DeleteObject(font);
  int differ = 0;
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 120; ++x) differ += pixel(b, x, y) != pixel(ref, x, y);
  EXPECT_EQ(differ, 0);

  // An XOR pen drawn twice leaves the picture as it was.
  c.Pen.Mode = pmXor;
  c.Pen.Color = clWhite;
  c.MoveTo(0, 30);
  c.LineTo(100, 30);
  EXPECT_EQ(pixel(b, 50, 30), 0u);
  c.MoveTo(0, 30);
  c.LineTo(100, 30);
  EXPECT_EQ(pixel(b, 50, 30), 0xFFFFFFu);

  // A clear brush leaves the inside of a rectangle, a solid one fills it.
  c.Pen.Mode = pmCopy;
  c.Pen.Color = clRed;
  c.Rectangle(60, 5, 80, 25);
  EXPECT_EQ(pixel(b, 60, 10), 0xFF0000u);
  EXPECT_EQ(pixel(b, 70, 15), 0xFFFFFFu);
  c.Brush.Style = bsSolid;
  c.Brush.Color = clLime;
  c.Rectangle(60, 5, 80, 25);
  EXPECT_EQ(pixel(b, 70, 15), 0x00FF00u);

  // CopyRect between canvases.
  TBitmap d;
  d.SetPixelFormat(pf32bit);
  d.SetSize(10, 10);
  d.Canvas()->CopyRect(RECT{0, 0, 10, 10}, c, RECT{65, 10, 75, 20});
  EXPECT_EQ(pixel(d, 5, 5), 0x00FF00u);
}

TEST(WinIcon, StreamFormDrawsLikeTheCursorItCameFrom) {
  HCURSOR arrow = LoadCursor(nullptr, IDC_ARROW);
  ASSERT_NE(arrow, nullptr);
  TIcon icon;
  icon.SetHandle(arrow);
  const std::vector<uint8_t>& bytes = icon.Bytes();
  ASSERT_GT(bytes.size(), 22u + 40u);
  EXPECT_EQ(bytes[2] | bytes[3] << 8, 1);  // an icon file
  EXPECT_EQ(bytes[4] | bytes[5] << 8, 1);  // one image

  // Through the stream form, as a recording keeps it.
  TMemoryStream m;
  icon.SaveToStream(m);
  m.SetPosition(0);
  TIcon back;
  back.LoadFromStream(m, int(m.Size()));
  ASSERT_NE(back.Handle(), nullptr);

  TBitmap direct, viaBytes;
  for (TBitmap* b : {&direct, &viaBytes}) {
    b->SetPixelFormat(pf24bit);
    b->SetSize(40, 40);
  }
  DrawIcon(static_cast<HDC>(direct.DC()), 4, 4, arrow);
  viaBytes.Canvas()->DrawIcon(4, 4, static_cast<HICON>(back.Handle()));
  int differ = 0, drawn = 0;
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 40; ++x) {
      differ += pixel(direct, x, y) != pixel(viaBytes, x, y);
      drawn += pixel(direct, x, y) != 0xFFFFFFu;
    }
  EXPECT_GT(drawn, 20);
  EXPECT_EQ(differ, 0);

  TIcon junk;
  junk.SetBytes({1, 2, 3});
  EXPECT_EQ(junk.Handle(), nullptr);
  std::vector<uint8_t> lying = bytes;
  lying[14] = 0xFF, lying[15] = 0xFF;  // image size past the data
  junk.SetBytes(lying);
  EXPECT_EQ(junk.Handle(), nullptr);
}

}  // namespace
