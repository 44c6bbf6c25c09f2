// Pixel storage of TBitmap on Windows: a bottom-up DIB section selected into a
// memory DC, so that GDI (BitBlt from the screen, the canvas) and the program
// (ScanLine) work on the same bytes. Also TIcon's HICON side.
#include <windows.h>

#include <cstring>

#include "BitmapImpl.h"
#include "BmpHeader_win.h"
#include "ByteReader.h"
#include "Canvas.h"

namespace {

struct DibInfo {
  BITMAPINFOHEADER h;
  RGBQUAD colours[256];  // 8-bit: the palette; pf16bit: the three masks
};

void fillInfo(const TBitmap::Impl& b, DibInfo& info) {
  std::memset(&info, 0, sizeof info);
  // Positive height: bottom-up, as the BMP rows; 16-bit plain is 5-5-5.
  BmpInfo bmp = BmpInfo::plain(b.width, b.height, BitsPerPixelOf(b.format));
  if (b.format == pf16bit) bmp = BmpInfo::rgb565(b.width, b.height);
  if (b.format == pf8bit) bmp.clrUsed = 256;
  info.h = bitmapInfoHeader(bmp);
  if (b.format == pf16bit) {
    uint32_t masks[3];
    bmp.masks(masks);
    std::memcpy(info.colours, masks, sizeof masks);
  } else if (b.format == pf8bit) {
    for (std::size_t i = 0; i < 256 && i < b.palette.size(); ++i)
      std::memcpy(&info.colours[i], &b.palette[i], 4);  // 0x00RRGGBB is blue, green, red, 0 in memory
  }
}

HDC ensureDc(TBitmap::Impl& b) {
  if (!b.dc) {
    HDC dc = CreateCompatibleDC(nullptr);
    if (!dc) throw EOutOfResources("无法创建设备上下文");
    b.dc = dc;
    if (b.dib) b.dcOriginal = SelectObject(dc, static_cast<HBITMAP>(b.dib));
  }
  if (b.format == pf8bit && b.dib && !b.paletteSent) {
    RGBQUAD table[256] = {};
    for (std::size_t i = 0; i < 256 && i < b.palette.size(); ++i) std::memcpy(&table[i], &b.palette[i], 4);
    SetDIBColorTable(static_cast<HDC>(b.dc), 0, 256, table);
    b.paletteSent = true;
  }
  return static_cast<HDC>(b.dc);
}

void freeDib(TBitmap::Impl& b) {
  if (b.dc && b.dcOriginal) {
    SelectObject(static_cast<HDC>(b.dc), static_cast<HGDIOBJ>(b.dcOriginal));
    b.dcOriginal = nullptr;
  }
  if (b.dib) DeleteObject(static_cast<HBITMAP>(b.dib));
  b.dib = nullptr;
  b.bits = nullptr;
}

}  // namespace

void BitmapAllocate(TBitmap::Impl& b) {
  freeDib(b);
  if (b.width == 0 || b.height == 0) return;
  DibInfo info;
  fillInfo(b, info);
  void* bits = nullptr;
  HBITMAP dib = CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!dib || !bits) {
    if (dib) DeleteObject(dib);
    throw EOutOfResources("无法创建位图");
  }
  b.dib = dib;
  b.bits = static_cast<uint8_t*>(bits);
  b.paletteSent = true;
  if (b.dc) b.dcOriginal = SelectObject(static_cast<HDC>(b.dc), dib);
}

void BitmapRelease(TBitmap::Impl& b) {
  delete b.canvas;
  b.canvas = nullptr;
  freeDib(b);
  if (b.dc) DeleteDC(static_cast<HDC>(b.dc));
  b.dc = nullptr;
}

void BitmapSync(const TBitmap::Impl& b) {
  if (b.dc) GdiFlush();  // GDI may batch drawing on the DC: finish it before the bytes are read
}

void* TBitmap::Handle() {
  ensureDc(*impl_);
  return impl_->dib;
}

void* TBitmap::DC() { return ensureDc(*impl_); }

TCanvas* TBitmap::Canvas() {
  HDC dc = ensureDc(*impl_);
  if (!impl_->canvas) impl_->canvas = new TCanvas(dc);
  return impl_->canvas;
}

// --- TIcon ---------------------------------------------------------------------

void* TIcon::Handle() const {
  if (handle_) return handle_.get();
  ByteReader r(bytes_.data(), bytes_.size());
  uint16_t reserved = 0, type = 0, count = 0;
  if (!r.u16(reserved) || !r.u16(type) || !r.u16(count) || reserved != 0 || (type != 1 && type != 2) || count == 0)
    return nullptr;
  uint8_t w = 0, h = 0;
  uint32_t size = 0, offset = 0;
  if (!r.u8(w) || !r.u8(h) || !r.skip(6) || !r.u32(size) || !r.u32(offset)) return nullptr;
  if (offset > bytes_.size() || size > bytes_.size() - offset || size < sizeof(BITMAPINFOHEADER)) return nullptr;
  // A cursor file's image starts with no hot spot; the icon form is enough to draw it.
  HICON icon = CreateIconFromResourceEx(const_cast<PBYTE>(bytes_.data() + offset), size, TRUE, 0x00030000,
                                        w ? w : 256, h ? h : 256, LR_DEFAULTCOLOR);
  if (!icon) return nullptr;
  handle_ = std::shared_ptr<void>(icon, [](void* p) { DestroyIcon(static_cast<HICON>(p)); });
  return icon;
}

void TIcon::SetHandle(void* iconHandle) {
  ICONINFO info;
  if (!iconHandle || !GetIconInfo(static_cast<HICON>(iconHandle), &info)) throw EInvalidGraphic("图标句柄无效");
  BITMAP mask;
  if (!info.hbmMask || !GetObjectW(info.hbmMask, sizeof mask, &mask)) {
    if (info.hbmColor) DeleteObject(info.hbmColor);
    if (info.hbmMask) DeleteObject(info.hbmMask);
    throw EInvalidGraphic("图标句柄无效");
  }
  const bool mono = info.hbmColor == nullptr;  // the mask holds AND above XOR, twice as tall
  const int w = mask.bmWidth, h = mono ? mask.bmHeight / 2 : mask.bmHeight;
  const int colourBits = mono ? 1 : 32;
  const int colourStride = (w * colourBits + 31) / 32 * 4, maskStride = (w + 31) / 32 * 4;
  const int tableBytes = mono ? 8 : 0;

  HDC screen = GetDC(nullptr);
  std::vector<uint8_t> colour(static_cast<std::size_t>(colourStride) * h), andMask(static_cast<std::size_t>(maskStride) * h);
  struct {
    BITMAPINFOHEADER h;
    RGBQUAD c[2];
  } bi = {};
  bool ok = true;
  if (mono) {
    std::vector<uint8_t> both(static_cast<std::size_t>(maskStride) * h * 2);
    bi.h = bitmapInfoHeader(BmpInfo::plain(w, h * 2, 1));
    ok = GetDIBits(screen, info.hbmMask, 0, static_cast<UINT>(h * 2), both.data(), reinterpret_cast<BITMAPINFO*>(&bi),
                   DIB_RGB_COLORS) == h * 2;
    // Bottom-up: the first h rows are the lower half (XOR), the next h the AND mask.
    std::memcpy(colour.data(), both.data(), colour.size());
    std::memcpy(andMask.data(), both.data() + colour.size(), andMask.size());
  } else {
    bi.h = bitmapInfoHeader(BmpInfo::plain(w, h, 32));
    ok = GetDIBits(screen, info.hbmColor, 0, static_cast<UINT>(h), colour.data(), reinterpret_cast<BITMAPINFO*>(&bi),
                   DIB_RGB_COLORS) == h;
    bi.h = bitmapInfoHeader(BmpInfo::plain(w, h, 1));
    ok = ok && GetDIBits(screen, info.hbmMask, 0, static_cast<UINT>(h), andMask.data(),
                         reinterpret_cast<BITMAPINFO*>(&bi), DIB_RGB_COLORS) == h;
  }
  ReleaseDC(nullptr, screen);
  if (info.hbmColor) DeleteObject(info.hbmColor);
  DeleteObject(info.hbmMask);
  if (!ok || w <= 0 || h <= 0 || w > 256 || h > 256) throw EInvalidGraphic("图标句柄无效");

  // .ico: 6-byte directory, one 16-byte entry, then the image: an info header
  // of twice the height (XOR and AND), the colours, the AND mask.
  const uint32_t imageSize = 40 + tableBytes + static_cast<uint32_t>(colour.size() + andMask.size());
  std::vector<uint8_t> out(22 + imageSize, 0);
  putU16(&out[2], 1);
  putU16(&out[4], 1);
  out[6] = static_cast<uint8_t>(w == 256 ? 0 : w);
  out[7] = static_cast<uint8_t>(h == 256 ? 0 : h);
  out[8] = mono ? 2 : 0;
  putU16(&out[10], 1);
  putU16(&out[12], static_cast<uint16_t>(colourBits));
  putU32(&out[14], imageSize);
  putU32(&out[18], 22);
  uint8_t* p = &out[22];
  BmpInfo image = BmpInfo::plain(w, h * 2, colourBits);
  image.sizeImage = static_cast<uint32_t>(colour.size() + andMask.size());
  image.store(p);
  if (mono) putU32(p + 44, 0xFFFFFF);  // entry 0 black, entry 1 white
  std::memcpy(p + 40 + tableBytes, colour.data(), colour.size());
  std::memcpy(p + 40 + tableBytes + colour.size(), andMask.data(), andMask.size());
  SetBytes(std::move(out));
}
