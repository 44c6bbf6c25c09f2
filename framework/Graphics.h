// TBitmap (device-independent pixels with the framework's BMP stream form),
// TIcon (the .ico stream form that recordings keep) and the pixel formats.
// Portable declarations. On Windows a bitmap's pixels live in a DIB section,
// so GDI can draw into them and capture the screen straight into them; the
// drawing surface (TCanvas) is part of the Win32 form layer.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "Classes.h"
#include "System.h"

// The ordinals are stored in recordings (LxHeader.pixelFormat): keep them.
enum TPixelFormat {
  pfDevice = 0,
  pf1bit = 1,
  pf4bit = 2,
  pf8bit = 3,
  pf15bit = 4,
  pf16bit = 5,
  pf24bit = 6,
  pf32bit = 7,
  pfCustom = 8,
};

class TCanvas;  // Win32 form layer

class TBitmap {
public:
  TBitmap();
  ~TBitmap();
  TBitmap(const TBitmap&) = delete;
  TBitmap& operator=(const TBitmap&) = delete;

  int Width() const;
  int Height() const;
  void SetWidth(int w);
  void SetHeight(int h);
  // Resizing keeps the top-left part of the picture; new area is white, as in
  // the framework's bitmaps. A new bitmap is empty and pf32bit. Sides above
  // 32768 raise EInvalidGraphic.
  void SetSize(int w, int h);
  TPixelFormat PixelFormat() const;
  // pf8bit, pf15bit, pf16bit, pf24bit, pf32bit (pfDevice means pf32bit); the
  // pixels are converted. Towards pf8bit each pixel takes the nearest colour
  // of the palette (a new 8-bit bitmap's palette is 3-3-2 levels of red,
  // green, blue). Other formats raise EInvalidGraphic.
  void SetPixelFormat(TPixelFormat pf);
  int BitsPerPixel() const;
  // Bytes per row: width x bits rounded up to 4 bytes.
  int Stride() const;
  // Row y counted from the top of the picture (rows are stored bottom-up).
  // Raises ERangeError outside 0..Height()-1.
  uint8_t* ScanLine(int y);
  const uint8_t* ScanLine(int y) const;
  // The whole pixel area, bottom row first, Stride() x Height() bytes.
  uint8_t* Bits();
  const uint8_t* Bits() const;
  // 8-bit pictures: 256 entries of 0x00RRGGBB.
  std::vector<uint32_t>& Palette();
  const std::vector<uint32_t>& Palette() const;
  bool Empty() const { return Width() == 0 || Height() == 0; }

  void Assign(const TBitmap& other);  // deep copy of size, format, palette and pixels

  // The BMP file image: 14-byte file header, 40-byte info header, then the
  // colour table (8-bit: 256 entries) or, for pf16bit, the three 5-6-5 masks
  // (compression 3, a 66-byte header in all), then the rows bottom-up.
  void SaveToStream(TStream& stream) const;
  // Accepts 8-bit with palette, 16-bit (bit fields 5-6-5 or 5-5-5, or BI_RGB
  // 5-5-5), 24- and 32-bit pictures; raises EInvalidGraphic when the header
  // does not fit the data. Reads from the stream's position.
  void LoadFromStream(TStream& stream);
  void SaveToFile(const AnsiString& path) const;
  void LoadFromFile(const AnsiString& path);

#ifdef _WIN32
  // Win32 side: the DIB section (HBITMAP) and a memory DC with it selected
  // (HDC); both stay valid until the size or format changes. The canvas draws
  // on that DC (Canvas.h).
  void* Handle();
  void* DC();
  TCanvas* Canvas();
#endif

  struct Impl;
private:
  void Reshape(int w, int h, TPixelFormat pf);
  std::unique_ptr<Impl> impl_;
};

// An icon in its .ico file form; recordings store the cursor this way. The
// portable core keeps the bytes; the Win32 side can make an HICON of them.
class TIcon {
public:
  void LoadFromStream(TStream& stream, int length);  // exactly length bytes
  void SaveToStream(TStream& stream) const;
  const std::vector<uint8_t>& Bytes() const { return bytes_; }
  void SetBytes(std::vector<uint8_t> bytes) { bytes_ = std::move(bytes); handle_.reset(); }
  bool Empty() const { return bytes_.empty(); }

#ifdef _WIN32
  // An HICON made from the first image of the bytes (CreateIconFromResourceEx),
  // kept by the icon until its bytes change; null when the bytes are not an
  // icon. Do not destroy it.
  void* Handle() const;
  // Replaces the bytes with the .ico form of an icon or cursor (32-bit colour
  // and its mask; a monochrome cursor stays 1-bit). The handle stays the
  // caller's. Raises EInvalidGraphic when the handle gives no picture.
  void SetHandle(void* icon);
#endif

private:
  std::vector<uint8_t> bytes_;
  mutable std::shared_ptr<void> handle_;  // Win32: the HICON of Handle()
};
