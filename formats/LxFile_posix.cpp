// Portable side of the .lx frame reader: without GDI the cursor icon is
// blended onto the picture by blendCursorIcon (LxFileCursor.cpp), so frames
// read by the tools natively show their cursor too.
#include "LxFileCursor.h"
#include "LxFile.h"

void drawCursorIcon(TBitmap& picture, const TIcon& icon, int x, int y) {
  blendCursorIcon(picture, icon.Bytes().data(), icon.Bytes().size(), x, y);
}
