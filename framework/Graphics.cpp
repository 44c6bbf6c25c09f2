// TBitmap's portable core (size, pixel format and its conversions, the BMP
// stream form) and TIcon's stream form. The pixel storage itself belongs to
// the platform file (Graphics_posix.cpp or Graphics_win.cpp).
//
// The BMP loader reads untrusted bytes (frame images of recordings): every
// header field is checked against the bytes the stream holds before anything
// is allocated or read.
#include "Graphics.h"

#include <algorithm>
#include <cstring>

#include "BitmapImpl.h"
#include "BmpHeader.h"
#include "ByteReader.h"
#include "SysUtils.h"

namespace {

const int kMaxDimension = 32768;  // also keeps stride x height inside 32-bit sizes per row math
const uint32_t kWhite = 0xFFFFFF;

[[noreturn]] void invalidBitmap(const char* why) { throw EInvalidGraphic(AnsiString("位图格式无效: ") + why); }

// The palette a new 8-bit bitmap gets: 3 bits red, 3 green, 2 blue, so that
// the nearest colour of any pixel is found by its top bits.
std::vector<uint32_t> defaultPalette() {
  std::vector<uint32_t> p(256);
  for (uint32_t i = 0; i < 256; ++i) {
    uint32_t r = (i >> 5) & 7, g = (i >> 2) & 7, b = i & 3;
    p[i] = (r * 255 / 7) << 16 | (g * 255 / 7) << 8 | (b * 255 / 3);
  }
  return p;
}

uint32_t expand5(uint32_t v) { return v << 3 | v >> 2; }
uint32_t expand6(uint32_t v) { return v << 2 | v >> 4; }

// One row of pixels to 0x00RRGGBB values.
void rowToRgb(const uint8_t* src, int width, TPixelFormat pf, const std::vector<uint32_t>& pal, uint32_t* out) {
  for (int x = 0; x < width; ++x) {
    switch (pf) {
      case pf8bit: out[x] = pal.size() == 256 ? pal[src[x]] & 0xFFFFFF : 0; break;
      case pf15bit: {
        uint32_t v = getU16(src + 2 * x);
        out[x] = expand5(v >> 10 & 31) << 16 | expand5(v >> 5 & 31) << 8 | expand5(v & 31);
        break;
      }
      case pf16bit: {
        uint32_t v = getU16(src + 2 * x);
        out[x] = expand5(v >> 11) << 16 | expand6(v >> 5 & 63) << 8 | expand5(v & 31);
        break;
      }
      case pf24bit: out[x] = uint32_t(src[3 * x]) | uint32_t(src[3 * x + 1]) << 8 | uint32_t(src[3 * x + 2]) << 16; break;
      default: out[x] = getU32(src + 4 * x) & 0xFFFFFF; break;
    }
  }
}

// Nearest palette entry for each 5-6-5 colour, built once per conversion.
class NearestColour {
public:
  explicit NearestColour(const std::vector<uint32_t>& pal) : pal_(pal), table_(65536, -1) {}
  uint8_t operator()(uint32_t rgb) {
    uint32_t key = (rgb >> 19 & 31) << 11 | (rgb >> 10 & 63) << 5 | (rgb >> 3 & 31);
    int& slot = table_[key];
    if (slot < 0) {
      int r = int(rgb >> 16 & 255), g = int(rgb >> 8 & 255), b = int(rgb & 255);
      int best = 0, bestDist = 1 << 30;
      for (int i = 0; i < 256; ++i) {
        int dr = int(pal_[std::size_t(i)] >> 16 & 255) - r, dg = int(pal_[std::size_t(i)] >> 8 & 255) - g,
            db = int(pal_[std::size_t(i)] & 255) - b;
        int d = dr * dr + dg * dg + db * db;
        if (d < bestDist) bestDist = d, best = i;
      }
      slot = best;
    }
    return static_cast<uint8_t>(slot);
  }

private:
  const std::vector<uint32_t>& pal_;
  std::vector<int> table_;
};

void rgbToRow(const uint32_t* in, int width, TPixelFormat pf, NearestColour* nearest, uint8_t* dst) {
  for (int x = 0; x < width; ++x) {
    uint32_t c = in[x], r = c >> 16 & 255, g = c >> 8 & 255, b = c & 255;
    switch (pf) {
      case pf8bit: dst[x] = (*nearest)(c); break;
      case pf15bit: putU16(dst + 2 * x, uint16_t((r >> 3) << 10 | (g >> 3) << 5 | b >> 3)); break;
      case pf16bit: putU16(dst + 2 * x, uint16_t((r >> 3) << 11 | (g >> 2) << 5 | b >> 3)); break;
      case pf24bit: dst[3 * x] = uint8_t(b), dst[3 * x + 1] = uint8_t(g), dst[3 * x + 2] = uint8_t(r); break;
      default: putU32(dst + 4 * x, c); break;
    }
  }
}

}  // namespace

int BitsPerPixelOf(TPixelFormat pf) {
  switch (pf) {
    case pf8bit: return 8;
    case pf15bit:
    case pf16bit: return 16;
    case pf24bit: return 24;
    case pf32bit: return 32;
    default: return 0;
  }
}

int StrideOf(int width, TPixelFormat pf) { return (width * BitsPerPixelOf(pf) + 31) / 32 * 4; }

// --- TBitmap ----------------------------------------------------------------

TBitmap::TBitmap() : impl_(new Impl) {}
TBitmap::~TBitmap() { BitmapRelease(*impl_); }

int TBitmap::Width() const { return impl_->width; }
int TBitmap::Height() const { return impl_->height; }
TPixelFormat TBitmap::PixelFormat() const { return impl_->format; }
int TBitmap::BitsPerPixel() const { return BitsPerPixelOf(impl_->format); }
int TBitmap::Stride() const { return StrideOf(impl_->width, impl_->format); }

void TBitmap::SetWidth(int w) { SetSize(w, impl_->height); }
void TBitmap::SetHeight(int h) { SetSize(impl_->width, h); }
void TBitmap::SetSize(int w, int h) { Reshape(w, h, impl_->format); }

void TBitmap::SetPixelFormat(TPixelFormat pf) {
  // pfDevice is what the screen gives: 32 bits at the depths this program meets.
  if (pf == pfDevice) pf = pf32bit;
  if (BitsPerPixelOf(pf) == 0) throw EInvalidGraphic("不支持的像素格式");
  Reshape(impl_->width, impl_->height, pf);
}

// Changes size and format together, keeping the picture: the overlapping
// top-left part is kept (converted when the format changes), new area is white,
// as in the framework's bitmaps.
void TBitmap::Reshape(int w, int h, TPixelFormat pf) {
  if (w < 0 || h < 0 || w > kMaxDimension || h > kMaxDimension) throw EInvalidGraphic("位图尺寸无效");
  Impl& b = *impl_;
  if (w == b.width && h == b.height && pf == b.format) return;

  BitmapSync(b);
  const int oldW = b.width, oldH = b.height, oldStride = Stride();
  const TPixelFormat oldPf = b.format;
  std::vector<uint8_t> old;
  if (b.bits) old.assign(b.bits, b.bits + static_cast<std::size_t>(oldStride) * oldH);
  std::vector<uint32_t> oldPalette = b.palette;

  b.width = w;
  b.height = h;
  b.format = pf;
  if (pf == pf8bit && b.palette.size() != 256) b.palette = defaultPalette();
  if (pf != pf8bit) b.palette.clear();
#ifdef _WIN32
  b.paletteSent = false;
#endif
  BitmapAllocate(b);
  if (!b.bits) return;

  std::vector<uint32_t> rgb(static_cast<std::size_t>(w));
  std::unique_ptr<NearestColour> nearest;
  if (pf == pf8bit) nearest.reset(new NearestColour(b.palette));
  const int keepW = std::min(w, oldW), keepH = std::min(h, oldH);
  for (int y = 0; y < h; ++y) {
    uint8_t* dst = ScanLine(y);
    int x0 = 0;
    if (y < keepH) {
      const uint8_t* src = old.data() + static_cast<std::size_t>(oldH - 1 - y) * oldStride;
      if (pf == oldPf && (pf != pf8bit || b.palette == oldPalette)) {
        std::memcpy(dst, src, static_cast<std::size_t>(keepW * BitsPerPixelOf(pf) / 8));
      } else {
        rowToRgb(src, keepW, oldPf, oldPalette, rgb.data());
        rgbToRow(rgb.data(), keepW, pf, nearest.get(), dst);
      }
      x0 = keepW;
    }
    if (x0 < w) {
      std::fill(rgb.begin(), rgb.end(), kWhite);
      rgbToRow(rgb.data(), w - x0, pf, nearest.get(), dst + x0 * BitsPerPixelOf(pf) / 8);
    }
  }
}

uint8_t* TBitmap::ScanLine(int y) {
  if (y < 0 || y >= impl_->height || !impl_->bits) throw ERangeError("扫描行越界");
  BitmapSync(*impl_);
  return impl_->bits + static_cast<std::size_t>(impl_->height - 1 - y) * Stride();
}

const uint8_t* TBitmap::ScanLine(int y) const { return const_cast<TBitmap*>(this)->ScanLine(y); }

uint8_t* TBitmap::Bits() {
  BitmapSync(*impl_);
  return impl_->bits;
}

const uint8_t* TBitmap::Bits() const { return const_cast<TBitmap*>(this)->Bits(); }

std::vector<uint32_t>& TBitmap::Palette() {
#ifdef _WIN32
  impl_->paletteSent = false;  // the caller may change it: send it again before GDI draws
#endif
  return impl_->palette;
}

const std::vector<uint32_t>& TBitmap::Palette() const { return impl_->palette; }

void TBitmap::Assign(const TBitmap& other) {
  if (&other == this) return;
  BitmapSync(*other.impl_);
  Impl& b = *impl_;
  b.width = other.impl_->width;
  b.height = other.impl_->height;
  b.format = other.impl_->format;
  b.palette = other.impl_->palette;
#ifdef _WIN32
  b.paletteSent = false;
#endif
  BitmapAllocate(b);
  if (b.bits) std::memcpy(b.bits, other.impl_->bits, static_cast<std::size_t>(Stride()) * b.height);
}

// --- BMP stream form -------------------------------------------------------------

void TBitmap::SaveToStream(TStream& stream) const {
  const Impl& b = *impl_;
  BitmapSync(b);
  const uint32_t imageSize = static_cast<uint32_t>(Stride()) * static_cast<uint32_t>(b.height);
  BmpInfo info = BmpInfo::plain(b.width, b.height, BitsPerPixel());
  info.sizeImage = imageSize;
  if (b.format == pf8bit) info.clrUsed = 256;
  if (b.format == pf16bit) info = BmpInfo::rgb565(b.width, b.height);  // the 66-byte header recordings expect

  std::vector<uint8_t> h(info.headBytes());
  info.storeFileHead(h.data());
  if (b.format == pf8bit) {
    uint8_t* table = &h[BmpInfo::kFileHeaderSize + BmpInfo::kSize];
    for (std::size_t i = 0; i < 256; ++i) putU32(table + 4 * i, i < b.palette.size() ? b.palette[i] & 0xFFFFFF : 0);
  }
  stream.WriteBuffer(h.data(), static_cast<int>(h.size()));
  // Written in slices: a stream's count is an int.
  for (std::size_t done = 0; done < imageSize;) {
    int n = static_cast<int>(std::min<std::size_t>(imageSize - done, 1 << 24));
    stream.WriteBuffer(b.bits + done, n);
    done += static_cast<std::size_t>(n);
  }
}

void TBitmap::LoadFromStream(TStream& stream) {
  const int64_t start = stream.Position();
  const int64_t available = stream.Size() - start;

  // File header and the size of the info header.
  uint8_t head[18];
  if (available < 18 || stream.Read(head, 18) != 18) invalidBitmap("数据不足");
  if (head[0] != 'B' || head[1] != 'M') invalidBitmap("不是 BMP");
  const uint32_t offBits = getU32(head + 10);
  const uint32_t infoSize = getU32(head + 14);
  // 40: BITMAPINFOHEADER; 52/56: with masks; 108/124: V4/V5.
  if (infoSize != 40 && infoSize != 52 && infoSize != 56 && infoSize != 108 && infoSize != 124)
    invalidBitmap("信息头大小");

  // The info header and up to 1024 bytes after it (masks or colour table).
  const int64_t afterInfo = 14 + static_cast<int64_t>(infoSize);
  if (available < afterInfo) invalidBitmap("数据不足");
  const int64_t extra = std::min<int64_t>(available - afterInfo, 1024);
  std::vector<uint8_t> hdr(static_cast<std::size_t>(afterInfo + extra));
  std::memcpy(hdr.data(), head, 18);
  stream.ReadBuffer(hdr.data() + 18, static_cast<int>(hdr.size() - 18));
  ByteReader r(hdr.data(), hdr.size());
  r.seek(18);
  int32_t width = 0, height = 0;
  uint16_t planes = 0, bitCount = 0;
  uint32_t compression = 0, sizeImage = 0, clrUsed = 0, skip = 0;
  r.i32(width);
  r.i32(height);
  r.u16(planes);
  r.u16(bitCount);
  r.u32(compression);
  r.u32(sizeImage);
  r.u32(skip);
  r.u32(skip);
  r.u32(clrUsed);
  if (!r.ok()) invalidBitmap("数据不足");

  const bool topDown = height < 0;
  if (width < 0 || width > kMaxDimension || height < -kMaxDimension || height > kMaxDimension)
    invalidBitmap("尺寸");
  if (topDown) height = -height;
  if (planes != 1) invalidBitmap("位面数");

  TPixelFormat pf;
  int64_t tableEnd = afterInfo;  // where the masks or colour table end
  if (bitCount == 8 && compression == 0) {
    if (clrUsed > 256) invalidBitmap("颜色表");
    tableEnd += 4 * int64_t(clrUsed ? clrUsed : 256);
    pf = pf8bit;
  } else if (bitCount == 16 && compression == 0) {
    pf = pf15bit;
  } else if ((bitCount == 16 || bitCount == 32) && compression == 3) {
    // The masks follow a 40-byte info header, or are part of a longer one.
    std::size_t maskAt = 14 + 40;
    if (infoSize == 40) tableEnd += 12;
    uint32_t red = 0, green = 0, blue = 0;
    if (!r.seek(maskAt) || !r.u32(red) || !r.u32(green) || !r.u32(blue)) invalidBitmap("数据不足");
    if (bitCount == 16 && red == 0xF800 && green == 0x07E0 && blue == 0x001F) pf = pf16bit;
    else if (bitCount == 16 && red == 0x7C00 && green == 0x03E0 && blue == 0x001F) pf = pf15bit;
    else if (bitCount == 32 && red == 0xFF0000 && green == 0xFF00 && blue == 0xFF) pf = pf32bit;
    else invalidBitmap("位域掩码");
  } else if (bitCount == 24 && compression == 0) {
    pf = pf24bit;
  } else if (bitCount == 32 && compression == 0) {
    pf = pf32bit;
  } else {
    invalidBitmap("像素格式");
  }

  const int64_t stride = StrideOf(width, pf);
  const int64_t imageBytes = stride * height;
  if (offBits < tableEnd) invalidBitmap("像素偏移");
  if (static_cast<int64_t>(offBits) + imageBytes > available) invalidBitmap("数据不足");

  std::vector<uint32_t> palette;
  if (pf == pf8bit) {
    palette.assign(256, 0);
    r.seek(static_cast<std::size_t>(afterInfo));
    for (uint32_t i = 0; i < (clrUsed ? clrUsed : 256); ++i) {
      uint32_t c = 0;
      if (!r.u32(c)) invalidBitmap("颜色表");
      palette[i] = c & 0xFFFFFF;
    }
  }

  // Everything checked: only now is the old picture replaced.
  Impl& b = *impl_;
  b.width = width;
  b.height = height;
  b.format = pf;
  b.palette = std::move(palette);
#ifdef _WIN32
  b.paletteSent = false;
#endif
  BitmapAllocate(b);
  stream.SetPosition(start + offBits);
  if (b.bits) {
    if (!topDown) {
      for (int64_t done = 0; done < imageBytes;) {
        int n = static_cast<int>(std::min<int64_t>(imageBytes - done, 1 << 24));
        stream.ReadBuffer(b.bits + done, n);
        done += n;
      }
    } else {
      for (int y = 0; y < height; ++y) stream.ReadBuffer(ScanLine(y), static_cast<int>(stride));
    }
  }
  stream.SetPosition(start + offBits + imageBytes);
}

void TBitmap::SaveToFile(const AnsiString& path) const {
  TMemoryStream m;
  SaveToStream(m);
  m.SaveToFile(path);
}

void TBitmap::LoadFromFile(const AnsiString& path) {
  TFileStream in(path, fmOpenRead | fmShareDenyNone);
  LoadFromStream(in);
}

// --- TIcon ----------------------------------------------------------------------

void TIcon::LoadFromStream(TStream& stream, int length) {
  if (length < 0 || length > stream.Size() - stream.Position()) throw EInvalidGraphic("图标数据长度无效");
  std::vector<uint8_t> bytes(static_cast<std::size_t>(length));
  stream.ReadBuffer(bytes.data(), length);
  SetBytes(std::move(bytes));
}

void TIcon::SaveToStream(TStream& stream) const {
  stream.WriteBuffer(bytes_.data(), static_cast<int>(bytes_.size()));
}
