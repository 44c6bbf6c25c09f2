// The clipboard as the forms use it: a picture put on it for other programs
// to paste (as a packed device-independent bitmap, CF_DIB, which every
// Windows program reads).
#pragma once

#include "Graphics.h"

class TClipboard {
public:
  // Replaces what the clipboard holds with the bitmap; false when the
  // clipboard could not be opened or the memory not had.
  bool Assign(const TBitmap& picture);
};

TClipboard* Clipboard();
