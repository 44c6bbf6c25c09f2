// Windows side of the .lx frame reader: the cursor icon is drawn with GDI,
// through an HICON made from the stored .ico bytes, onto the bitmap's own DC.
#include <windows.h>

#include "ByteReader.h"
#include "LxFile.h"

void drawCursorIcon(TBitmap& picture, const TIcon& icon, int x, int y) {
  const std::vector<uint8_t>& ico = icon.Bytes();
  // ICONDIR (6 bytes) and the first entry (16 bytes): size at +8, offset at +12.
  if (ico.size() < 22 || getU16(ico.data() + 2) != 1 || getU16(ico.data() + 4) < 1) return;
  const uint32_t size = getU32(ico.data() + 6 + 8), offset = getU32(ico.data() + 6 + 12);
  if (offset > ico.size() || size > ico.size() - offset || size < 40) return;
  const int w = ico[6] ? ico[6] : 256, h = ico[7] ? ico[7] : 256;
  HICON handle = CreateIconFromResourceEx(const_cast<BYTE*>(ico.data() + offset), size, TRUE,
                                          0x00030000, w, h, LR_DEFAULTCOLOR);
  if (!handle) return;
  DrawIconEx(static_cast<HDC>(picture.DC()), x, y, handle, 0, 0, 0, nullptr, DI_NORMAL);
  DestroyIcon(handle);
}
