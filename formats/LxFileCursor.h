// A portable blend of a cursor icon (.ico file bytes, first image, DIB form)
// onto a 16-, 24- or 32-bit picture: the AND mask and XOR colours as GDI draws
// them, or the alpha channel of a 32-bit icon that has one. Used where there
// is no GDI (the native tools); pictures of other formats are left alone.
#pragma once

#include <cstddef>
#include <cstdint>

#include "Graphics.h"

// False when the bytes are not an icon this can draw (nothing is changed).
bool blendCursorIcon(TBitmap& picture, const uint8_t* ico, std::size_t size, int x, int y);
