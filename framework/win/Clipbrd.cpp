// The clipboard's picture: the bitmap's BMP stream form without its 14-byte
// file header is exactly a packed DIB (info header, masks or colour table,
// pixels), which is what CF_DIB holds.
#include "Clipbrd.h"

#include <windows.h>

#include <cstring>

#include "Classes.h"
#include "Forms.h"

namespace {

constexpr int kFileHeader = 14;

// The clipboard is opened for a window of ours; a few tries, as another
// program may hold it for a moment.
bool openClipboard() {
  HWND owner = Application ? Application->Handle() : nullptr;
  for (int i = 0; i < 5; ++i) {
    if (OpenClipboard(owner)) return true;
    Sleep(20);
  }
  return false;
}

}  // namespace

TClipboard* Clipboard() {
  static TClipboard clipboard;
  return &clipboard;
}

bool TClipboard::Assign(const TBitmap& picture) {
  TMemoryStream bmp;
  picture.SaveToStream(bmp);
  if (bmp.Size() <= kFileHeader) return false;
  const SIZE_T size = static_cast<SIZE_T>(bmp.Size() - kFileHeader);
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, size);
  if (!memory) return false;
  void* p = GlobalLock(memory);
  if (!p) {
    GlobalFree(memory);
    return false;
  }
  std::memcpy(p, bmp.Memory() + kFileHeader, size);
  GlobalUnlock(memory);
  if (!openClipboard()) {
    GlobalFree(memory);
    return false;
  }
  EmptyClipboard();
  const bool put = SetClipboardData(CF_DIB, memory) != nullptr;
  CloseClipboard();
  if (!put) GlobalFree(memory);  // the clipboard owns it only once it took it
  return put;
}
