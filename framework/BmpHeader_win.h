// The Windows side of BmpHeader.h: the same description of a bitmap as the
// BITMAPINFOHEADER that GDI and the Video for Windows calls take, and room
// for it with the three colour masks of a bit-fields picture.
#pragma once

#include <windows.h>

#include <cstring>

#include "BmpHeader.h"

inline BITMAPINFOHEADER bitmapInfoHeader(const BmpInfo& info) {
  static_assert(sizeof(BITMAPINFOHEADER) == BmpInfo::kSize, "the stored form of the info header");
  uint8_t bytes[BmpInfo::kSize];
  info.store(bytes);
  BITMAPINFOHEADER h;
  std::memcpy(&h, bytes, sizeof h);
  return h;
}

// An info header followed by the masks of a bit-fields picture (zero for any
// other), as CreateDIBSection and GetDIBits take them.
struct BitmapInfoWithMasks {
  BITMAPINFOHEADER h;
  DWORD masks[3];

  explicit BitmapInfoWithMasks(const BmpInfo& info) : h(bitmapInfoHeader(info)), masks{} {
    if (info.compression != BmpInfo::kBitFields) return;
    uint32_t m[3];
    info.masks(m);
    for (int i = 0; i < 3; ++i) masks[i] = m[i];
  }
  BITMAPINFO* get() { return reinterpret_cast<BITMAPINFO*>(this); }
};
