// Packed DIBs and bare DIB bits from a GDI bitmap (see DibHelpers.h). Windows
// only.
#include <windows.h>

#include <cstring>

#include "BmpHeader_win.h"
#include "DibHelpers.h"

namespace {

uint32_t rowBytes(int width, int bits) { return static_cast<uint32_t>((width * bits + 31) / 32 * 4); }

bool bitmapSize(HBITMAP bitmap, int& width, int& height) {
  BITMAP bm{};
  if (!bitmap || GetObjectW(bitmap, sizeof bm, &bm) == 0) return false;
  width = bm.bmWidth;
  height = bm.bmHeight < 0 ? -bm.bmHeight : bm.bmHeight;
  return true;
}

}  // namespace

void* makePackedDib(void* bitmap, int bitsPerPixel, uint32_t* totalSize) {
  HBITMAP hbm = static_cast<HBITMAP>(bitmap);
  int width = 0, height = 0;
  if (!bitmapSize(hbm, width, height)) return nullptr;
  const uint32_t colours = bitsPerPixel <= 8 ? 1u << bitsPerPixel : 0;
  const uint32_t palette = colours * 4;
  const uint32_t image = rowBytes(width, bitsPerPixel) * static_cast<uint32_t>(height);
  const uint32_t total = sizeof(BITMAPINFOHEADER) + palette + image;
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, total);
  if (!block) return nullptr;
  auto* p = static_cast<uint8_t*>(GlobalLock(block));
  auto* info = reinterpret_cast<BITMAPINFOHEADER*>(p);
  *info = bitmapInfoHeader(BmpInfo::plain(width, height, bitsPerPixel));  // bottom-up
  HDC dc = GetDC(nullptr);
  GetDIBits(dc, hbm, 0, static_cast<UINT>(height), p + sizeof(BITMAPINFOHEADER) + palette,
            reinterpret_cast<BITMAPINFO*>(p), DIB_RGB_COLORS);
  ReleaseDC(nullptr, dc);
  // GetDIBits may rewrite these two; the block's own sizes are what readers need.
  info->biSizeImage = image;
  info->biClrUsed = colours;
  GlobalUnlock(block);
  if (totalSize) *totalSize = total;
  return block;
}

void readDibBits(void* bitmap, int bitsPerPixel, void* buffer) {
  HBITMAP hbm = static_cast<HBITMAP>(bitmap);
  int width = 0, height = 0;
  if (!bitmapSize(hbm, width, height)) return;
  // Room for a full colour table: GetDIBits writes one for 8 bits and fewer.
  struct {
    BITMAPINFOHEADER header;
    RGBQUAD colours[256];
  } info;
  info.header = bitmapInfoHeader(BmpInfo::plain(width, height, bitsPerPixel));
  HDC dc = GetDC(nullptr);
  GetDIBits(dc, hbm, 0, static_cast<UINT>(height), buffer, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS);
  ReleaseDC(nullptr, dc);
}
