// Changed-region detection between two pictures of equal size and pixel
// format: findChangedRegions gives at most 100 tightened rectangles for the
// delta frames of EXE recordings, findChangedBounds one padded box per
// vertical group of changed lines for the Flash export. Pure functions of the
// pixels; lines are compared as 32-bit words, row padding ignored.
//
// Raw entries take the pixel area as the bitmap class keeps it (bottom row
// first, rows stride bytes apart); y in the results counts from the top.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "Classes.h"
#include "Graphics.h"

struct ChangedRect {
  int32_t left, top, right, bottom;  // right and bottom exclusive
};
static_assert(sizeof(ChangedRect) == 16, "stored as four int32 in EXE frame updates");

// One pair of pictures in the bitmap class's layout.
struct PicturePair {
  const uint8_t* a;  // pixel areas, bottom row first
  const uint8_t* b;
  int width;
  int height;
  int stride;        // bytes per row, at least (width x bits + 31) / 32 x 4
  int bitsPerPixel;  // 4, 8, 16, 24 or 32
};

constexpr int kMaxSpansPerLine = 10;
constexpr int kMaxChangedRects = 100;

// Spans of one line: (first, last) pixel pairs, inclusive; returns how many
// (0..10). Ten or more spans collapse into one from the first change to the
// line's last pixel.
int findChangedSpans(const uint8_t* lineA, const uint8_t* lineB, int width, int bitsPerPixel,
                     int32_t spans[2 * kMaxSpansPerLine]);

// 1 with the rectangles in out, 0 when nothing changed, -1 when the pictures
// do not match, the pixel format is not one of 4, 8, 16, 24, 32 bits, or the
// changes are too scattered to group or need more than 100 rectangles (the
// caller then stores the whole frame; no change is ever left out).
int findChangedRegions(const PicturePair& pictures, std::vector<ChangedRect>& out);
int findChangedRegions(const TBitmap& a, const TBitmap& b, std::vector<ChangedRect>& out);

// 1 with the boxes in out, 0 when nothing changed, -1 when the pictures do not
// match. Boxes are padded and may reach past the picture; callers clip.
int findChangedBounds(const PicturePair& pictures, std::vector<ChangedRect>& out);
int findChangedBounds(const TBitmap& a, const TBitmap& b, std::vector<ChangedRect>& out);

// True when the two byte strings differ in size or in any byte (the cursor
// icon of an EXE frame is stored again only when it changed).
bool framesDiffer(const uint8_t* a, std::size_t sizeA, const uint8_t* b, std::size_t sizeB);
bool framesDiffer(TMemoryStream& a, TMemoryStream& b);
