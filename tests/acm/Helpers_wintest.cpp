// The Windows system and picture helpers under Wine: the recycle-bin request
// as the shell would receive it (through an injected shell call, so no trash
// is touched), the local-server registry value on a key of the test's own,
// the version gates of the Windows 7 prefix, and packed DIBs checked against
// hand-computed bytes.
#include <gtest/gtest.h>
#include <windows.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "DibHelpers.h"
#include "SysUtils.h"
#include "SystemHelpers.h"

TEST(RecycleFiles, OneDeleteWithUndoOfEveryNameUnchanged) {
  TStringList names;
  names.Add("C:\\录像 文件\\my recording 1.lx");
  names.Add("C:\\录像 文件\\my recording 11.wav");
  names.Add("D:\\a b");
  std::vector<ShellDelete> seen;
  recycleFiles(reinterpret_cast<void*>(0x1234), names, [&](const ShellDelete& d) {
    seen.push_back(d);
    return 0;
  });
  ASSERT_EQ(seen.size(), 1u);
  const ShellDelete& d = seen[0];
  EXPECT_EQ(d.owner, reinterpret_cast<void*>(0x1234));
  EXPECT_EQ(d.func, unsigned(FO_DELETE));
  EXPECT_EQ(d.flags, unsigned(FOF_ALLOWUNDO));
  EXPECT_EQ(d.title, L"正在删除文件");
  const std::wstring want = std::wstring(L"C:\\录像 文件\\my recording 1.lx") + L'\0' +
                            L"C:\\录像 文件\\my recording 11.wav" + L'\0' + L"D:\\a b" + L'\0';
  EXPECT_EQ(d.from, want);
  EXPECT_EQ(d.from.c_str()[d.from.size()], L'\0');  // the list's closing NUL

  TStringList none;
  recycleFiles(nullptr, none, [&](const ShellDelete& d) { seen.push_back(d); return 0; });
  EXPECT_EQ(seen.size(), 1u);
}

TEST(LocalServer, WritesTheDefaultValueOnlyWhenTheKeyExists) {
  const wchar_t* keyPath = L"SOFTWARE\\Classes\\CLSID\\{0D1C5E2A-7B61-4F0C-9E55-ACD0A1E5F001}\\LocalServer32";
  const wchar_t* clsidKey = L"SOFTWARE\\Classes\\CLSID\\{0D1C5E2A-7B61-4F0C-9E55-ACD0A1E5F001}";
  RegDeleteKeyW(HKEY_LOCAL_MACHINE, keyPath);
  RegDeleteKeyW(HKEY_LOCAL_MACHINE, clsidKey);
  const AnsiString key = WideToCp936(keyPath);

  setLocalServerPath(key, "C:\\程序\\zorbel.exe");
  HKEY h;
  EXPECT_NE(RegOpenKeyExW(HKEY_LOCAL_MACHINE, keyPath, 0, KEY_READ, &h), ERROR_SUCCESS);  // not created

  ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, keyPath, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &h, nullptr),
            ERROR_SUCCESS);
  RegCloseKey(h);
  setLocalServerPath(key, "C:\\程序\\zorbel.exe");
  wchar_t value[256] = {};
  DWORD size = sizeof value;
  ASSERT_EQ(RegGetValueW(HKEY_LOCAL_MACHINE, keyPath, nullptr, RRF_RT_REG_SZ, nullptr, value, &size), ERROR_SUCCESS);
  EXPECT_EQ(std::wstring(value), L"C:\\程序\\zorbel.exe /Automation");
  RegDeleteKeyW(HKEY_LOCAL_MACHINE, keyPath);
  RegDeleteKeyW(HKEY_LOCAL_MACHINE, clsidKey);
}

TEST(SystemGates, TheTestPrefixIsWindows7) {
  EXPECT_TRUE(isWin2000OrLater());
  EXPECT_TRUE(isVistaOrLater());
  EXPECT_FALSE(isWinNT4());
  EXPECT_TRUE(hasDirectDrawEx());
}

// --- DIBs -----------------------------------------------------------------------
namespace {

// A 5 x 3 picture: top-left red, bottom-right blue, the rest white.
HBITMAP testBitmap() {
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = 5;
  bi.bmiHeader.biHeight = 3;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HBITMAP h = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  auto* px = static_cast<uint32_t*>(bits);
  for (int i = 0; i < 15; ++i) px[i] = 0xFFFFFF;
  px[2 * 5 + 0] = 0xFF0000;  // top row is the last one stored: red at (0, 0)
  px[0 * 5 + 4] = 0x0000FF;  // blue at (4, 2)
  return h;
}

}  // namespace

TEST(PackedDib, HeaderSizesAndBottomUpBits) {
  struct Row {
    int bits;
    uint32_t total, colours, stride;
  };
  const Row rows[] = {
      {8, 40 + 1024 + 8 * 3, 256, 8},
      {16, 40 + 12 * 3, 0, 12},
      {24, 40 + 16 * 3, 0, 16},
      {32, 40 + 20 * 3, 0, 20},
  };
  HBITMAP bmp = testBitmap();
  ASSERT_NE(bmp, nullptr);
  for (const Row& row : rows) {
    SCOPED_TRACE(row.bits);
    uint32_t total = 0;
    HGLOBAL block = static_cast<HGLOBAL>(makePackedDib(bmp, row.bits, &total));
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(total, row.total);
    EXPECT_EQ(GlobalSize(block), row.total);
    EXPECT_EQ(GlobalFlags(block) & GMEM_LOCKCOUNT, 0u);  // handed back unlocked
    const auto* p = static_cast<const uint8_t*>(GlobalLock(block));
    const auto* h = reinterpret_cast<const BITMAPINFOHEADER*>(p);
    EXPECT_EQ(h->biSize, 40u);
    EXPECT_EQ(h->biWidth, 5);
    EXPECT_EQ(h->biHeight, 3);
    EXPECT_EQ(h->biPlanes, 1);
    EXPECT_EQ(h->biBitCount, row.bits);
    EXPECT_EQ(h->biCompression, DWORD(BI_RGB));
    EXPECT_EQ(h->biSizeImage, row.stride * 3);
    EXPECT_EQ(h->biClrUsed, row.colours);
    const uint8_t* bits = p + 40 + row.colours * 4;
    const uint8_t* top = bits + 2 * row.stride;  // stored last
    const uint8_t* bottom = bits;
    switch (row.bits) {
      case 8: {
        const auto* pal = reinterpret_cast<const RGBQUAD*>(p + 40);
        const RGBQUAD red = pal[top[0]], blue = pal[bottom[4]], white = pal[top[1]];
        EXPECT_EQ(red.rgbRed, 0xFF); EXPECT_EQ(red.rgbGreen, 0); EXPECT_EQ(red.rgbBlue, 0);
        EXPECT_EQ(blue.rgbBlue, 0xFF); EXPECT_EQ(blue.rgbRed, 0);
        EXPECT_EQ(white.rgbRed, 0xFF); EXPECT_EQ(white.rgbGreen, 0xFF); EXPECT_EQ(white.rgbBlue, 0xFF);
        break;
      }
      case 16:  // 5-5-5
        EXPECT_EQ(top[0] | top[1] << 8, 0x7C00);
        EXPECT_EQ(bottom[8] | bottom[9] << 8, 0x001F);
        EXPECT_EQ(top[2] | top[3] << 8, 0x7FFF);
        break;
      default: {
        const int step = row.bits / 8;
        EXPECT_EQ(top[0], 0); EXPECT_EQ(top[1], 0); EXPECT_EQ(top[2], 0xFF);  // B G R
        EXPECT_EQ(bottom[4 * step], 0xFF); EXPECT_EQ(bottom[4 * step + 2], 0);
      }
    }
    for (uint32_t i = 5 * row.bits / 8; i < row.stride; ++i) EXPECT_EQ(top[i], 0) << "row padding";
    GlobalUnlock(block);

    if (row.bits >= 16) {  // the bare bits are the packed DIB's bits
      std::vector<uint8_t> bare(row.stride * 3 + 8, 0xEE);
      readDibBits(bmp, row.bits, bare.data());
      EXPECT_TRUE(std::equal(bits, bits + row.stride * 3, bare.begin()));
      EXPECT_EQ(bare[row.stride * 3], 0xEE);  // nothing past the last row
    }
    GlobalFree(block);
  }
  DeleteObject(bmp);
  EXPECT_EQ(makePackedDib(nullptr, 16), nullptr);
}
