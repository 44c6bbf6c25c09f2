// The inside of TBitmap, shared by the portable core (Graphics.cpp) and the
// platform file that owns the pixel storage (Graphics_posix.cpp: a plain
// buffer; Graphics_win.cpp: a DIB section with a memory DC). Not part of the
// framework's interface: include only from framework/*.cpp.
#pragma once

#include <cstdint>
#include <vector>

#include "Graphics.h"

struct TBitmap::Impl {
  int width = 0;
  int height = 0;
  TPixelFormat format = pf32bit;
  std::vector<uint32_t> palette;  // 256 entries of 0x00RRGGBB while format is pf8bit
  uint8_t* bits = nullptr;        // stride x height bytes, bottom row first; null when empty
#ifdef _WIN32
  void* dib = nullptr;            // HBITMAP of the DIB section
  void* dc = nullptr;             // HDC, made on first use, kept across reallocations
  void* dcOriginal = nullptr;     // the DC's own bitmap, selected back before the DIB is freed
  TCanvas* canvas = nullptr;
  bool paletteSent = false;       // the DIB's colour table matches `palette`
#else
  std::vector<uint8_t> store;
#endif
};

int BitsPerPixelOf(TPixelFormat pf);  // 0 for formats a bitmap cannot hold
int StrideOf(int width, TPixelFormat pf);

// Platform storage. Allocate discards the old pixels and makes room for the
// impl's width, height and format (contents undefined; bits null when
// empty); raises EOutOfResources when that fails. Release frees it all.
// Sync makes pending GDI drawing visible in the bits before they are read.
void BitmapAllocate(TBitmap::Impl& b);
void BitmapRelease(TBitmap::Impl& b);
void BitmapSync(const TBitmap::Impl& b);
