// Picture helpers shared by the browser and the export tools: the pixel-area
// size of a DIB, copying pixel rows (with the byte order the Flash export
// wants), and the 3 x 3 smoothing of 16-bit frames used by the WMV export
// (gaosimohuclass). Portable; the GDI helpers that read bitmaps from the
// screen live on the Windows side.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// ((bit count x width rounded up to whole 32-bit words) x |height|, read from a
// 40-byte BITMAPINFOHEADER (width at 4, height at 8, bit count at 14).
// 0 for a negative width or a result beyond 32 bits.
uint32_t dibImageSize(const uint8_t* infoHeader);

// Copies n bytes from src to dst + dstOffset.
void copyRow(uint8_t* dst, const uint8_t* src, int dstOffset, int n);
// Copies n bytes from src + srcOffset to dst, then reverses the bytes of every
// whole 16-bit (bits 16) or 32-bit (bits 32) unit; other widths are copied as
// they are.
void copyRowSwapped(int bits, const uint8_t* src, int srcOffset, uint8_t* dst, int n);

// 3 x 3 smoothing of a 5-6-5 frame (weights 4 centre, 2 edge-adjacent, 1
// diagonal; divided by 16 everywhere, so border pixels, which have fewer
// neighbours, come out darker; recordings made with it look that way).
class gaosimohuclass {
public:
  gaosimohuclass(int width, int height);
  int32_t width;
  int32_t height;
  std::vector<uint32_t> filteredBuffer;  // the weighted sums
  std::vector<uint32_t> spreadBuffer;    // the pixels spread apart

  // pixels: the bottom-up pixel block of a 16-bit bitmap of this size (rows of
  // width rounded up to even pixels; the pad pixel is neither read nor written).
  void smooth(uint16_t* pixels);
  void spread(const uint16_t* pixels);
  void filter();
  void pack(uint16_t* pixels) const;
};
