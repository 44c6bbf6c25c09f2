// Bitmaps as device-independent bitmaps: the packed DIB (header, colour table
// and bits in one movable global block) that the AVI writers take as a video
// format and frame, and the bare bottom-up bits that the WMV paths copy.
// Windows only (DibHelpers_win.cpp); handles are passed as void* so that this
// header stays free of <windows.h>.
#pragma once

#include <cstdint>

// A movable, zero-initialised HGLOBAL holding a BITMAPINFOHEADER (the bitmap's
// width and height, planes 1, bitsPerPixel, BI_RGB, biSizeImage, biClrUsed =
// 2^bits up to 8 bits), the colour table (4 bytes per entry, 8 bits or fewer)
// and the bitmap's bits bottom-up, rows padded to 4 bytes. *totalSize (when
// given) is the block's size. nullptr when the bitmap cannot be read or the
// block cannot be allocated; the caller frees it (GlobalFree).
void* makePackedDib(void* bitmap, int bitsPerPixel, uint32_t* totalSize = nullptr);

// The bitmap's bits at bitsPerPixel into buffer: all rows, bottom-up, padded
// to 4 bytes, no header, no colour table. buffer holds
// ((bitsPerPixel x width + 31) / 32 x 4) x height bytes.
void readDibBits(void* bitmap, int bitsPerPixel, void* buffer);
