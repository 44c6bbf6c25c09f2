// The cursor of a recording on Windows: shape, position, hot spot and the
// icon image a frame stores. Cursor handles belong to their process (under
// Wine strictly so: another process's cursor cannot even be copied), so a
// shape of another program comes from the hook library, which renders it
// inside that program and rebuilds it in ours; without the library the
// other thread's cursor is taken through AttachThreadInput.
#include "CursorCapture_win.h"

#include <windows.h>

#include <cstring>

#include "BmpHeader_win.h"
#include "Graphics.h"
#include "HookProtocol.h"

namespace {

const int kMaskTestSide = 32;  // the top 32 x 32 of a mask decides "blank"

HCURSOR arrowCursor() { return LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW)); }

void deleteInfoBitmaps(ICONINFO& info) {
  if (info.hbmMask) DeleteObject(info.hbmMask);
  if (info.hbmColor) DeleteObject(info.hbmColor);
  info.hbmMask = info.hbmColor = nullptr;
}

// Copies rows [fromRow, fromRow + h) of a monochrome bitmap into a new bitmap
// of w x h: 1-bit when mono, else a 32-bit DIB section (0 black, 1 white,
// the DC's default text and background colours).
HBITMAP copyRows(HBITMAP source, int w, int h, int fromRow, bool mono) {
  HDC screen = GetDC(nullptr);
  HDC src = CreateCompatibleDC(screen);
  HDC dst = CreateCompatibleDC(screen);
  HBITMAP out = nullptr;
  if (mono) {
    out = CreateBitmap(w, h, 1, 1, nullptr);
  } else {
    BITMAPINFO bi = {};
    bi.bmiHeader = bitmapInfoHeader(BmpInfo::plain(w, h, 32));
    void* bits = nullptr;
    out = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  }
  if (out && src && dst) {
    HGDIOBJ oldSrc = SelectObject(src, source);
    HGDIOBJ oldDst = SelectObject(dst, out);
    SetTextColor(dst, RGB(0, 0, 0));
    SetBkColor(dst, RGB(255, 255, 255));
    BOOL ok = BitBlt(dst, 0, 0, w, h, src, 0, fromRow, SRCCOPY);
    SelectObject(src, oldSrc);
    SelectObject(dst, oldDst);
    if (!ok) {
      DeleteObject(out);
      out = nullptr;
    }
  }
  if (src) DeleteDC(src);
  if (dst) DeleteDC(dst);
  ReleaseDC(nullptr, screen);
  GdiFlush();
  return out;
}

}  // namespace

bool isCursorMaskBlank(void* mask) {
  // Made once and kept: the test runs on every new shape.
  static HDC testDc = nullptr;
  static uint8_t* testBits = nullptr;
  if (!testDc) {
    BitmapInfoWithMasks bi(BmpInfo::rgb565(kMaskTestSide, kMaskTestSide));
    void* bits = nullptr;
    HBITMAP dib = CreateDIBSection(nullptr, bi.get(), DIB_RGB_COLORS, &bits, nullptr, 0);
    HDC dc = dib ? CreateCompatibleDC(nullptr) : nullptr;
    if (!dc) {
      if (dib) DeleteObject(dib);
      return false;
    }
    SelectObject(dc, dib);
    SetTextColor(dc, RGB(0, 0, 0));
    SetBkColor(dc, RGB(255, 255, 255));
    testDc = dc;
    testBits = static_cast<uint8_t*>(bits);
  }
  const std::size_t size = kMaskTestSide * kMaskTestSide * 2;
  // A mask smaller than 32 x 32 leaves the rest as cleared here.
  GdiFlush();
  std::memset(testBits, 0, size);
  HDC src = CreateCompatibleDC(nullptr);
  if (!src) return false;
  HGDIOBJ old = SelectObject(src, static_cast<HBITMAP>(mask));
  BOOL ok = BitBlt(testDc, 0, 0, kMaskTestSide, kMaskTestSide, src, 0, 0, SRCCOPY);
  SelectObject(src, old);
  DeleteDC(src);
  GdiFlush();
  if (!ok) return false;
  for (std::size_t i = 0; i < size; ++i)
    if (testBits[i]) return false;
  return true;
}

bool cursorToIcon(void* cursor, std::vector<uint8_t>& bytes) {
  bytes.clear();
  ICONINFO info = {};
  if (!cursor || !GetIconInfo(static_cast<HICON>(cursor), &info)) return false;
  // A mask with nothing in it would store an invisible (or all-black) shape.
  if (info.hbmMask && isCursorMaskBlank(info.hbmMask)) {
    deleteInfoBitmaps(info);
    if (!GetIconInfo(arrowCursor(), &info)) return false;
  }
  ICONINFO use = info;
  use.fIcon = TRUE;
  HBITMAP madeColour = nullptr, madeMask = nullptr;
  if (!info.hbmColor) {
    // Monochrome: the mask holds the AND plane above the XOR image. As a
    // colour icon the XOR image becomes the colours and the AND plane the
    // mask, which draws the same (white under a set mask bit inverts).
    BITMAP bm = {};
    if (!info.hbmMask || !GetObjectW(info.hbmMask, sizeof bm, &bm) || bm.bmWidth < 1 || bm.bmHeight < 2) {
      deleteInfoBitmaps(info);
      return false;
    }
    const int w = bm.bmWidth, h = bm.bmHeight / 2;
    madeColour = copyRows(info.hbmMask, w, h, h, false);
    madeMask = copyRows(info.hbmMask, w, h, 0, true);
    use.hbmColor = madeColour;
    use.hbmMask = madeMask;
  }
  HICON icon = (use.hbmColor && use.hbmMask) ? CreateIconIndirect(&use) : nullptr;
  if (icon) {
    TIcon image;
    try {
      image.SetHandle(icon);
      bytes = image.Bytes();
    } catch (const Exception&) {
      bytes.clear();
    }
    DestroyIcon(icon);
  }
  if (madeColour) DeleteObject(madeColour);
  if (madeMask) DeleteObject(madeMask);
  deleteInfoBitmaps(info);
  return !bytes.empty();
}

CursorCapture::CursorCapture(void* nowCursor, int refreshPeriod)
    : nowCursor_(nowCursor), period_(refreshPeriod < 1 ? 1 : refreshPeriod), counter_(period_ - 1) {}

CursorCapture::~CursorCapture() { releaseShape(); }

void CursorCapture::releaseShape() {
  if (source_ == Copied && handle_) DestroyCursor(static_cast<HCURSOR>(handle_));
  source_ = NoShape;
  handle_ = nullptr;
}

void CursorCapture::refreshShape() {
  releaseShape();
  POINT pt = {};
  GetCursorPos(&pt);
  HWND under = WindowFromPoint(pt);
  const DWORD own = GetCurrentThreadId();
  const DWORD thread = under ? GetWindowThreadProcessId(under, nullptr) : 0;
  HCURSOR shape = nullptr;
  if (thread == own) {
    // Our own cursor is good as it is: no copy to make or destroy.
    shape = GetCursor();
    if (shape) source_ = OwnThread;
  } else if (nowCursor_) {
    HCURSOR c = reinterpret_cast<GetNowCursorProc>(nowCursor_)();
    shape = c ? static_cast<HCURSOR>(CopyIcon(c)) : nullptr;
    if (shape) source_ = Copied;
  } else if (thread) {
    AttachThreadInput(own, thread, TRUE);
    HCURSOR c = GetCursor();
    shape = c ? static_cast<HCURSOR>(CopyIcon(c)) : nullptr;
    AttachThreadInput(own, thread, FALSE);
    if (shape) source_ = Copied;
  }
  // Without a shape the arrow stands in; the position then says "none".
  handle_ = shape ? shape : arrowCursor();
  iconOf_ = nullptr;  // a new copy may reuse an old handle's value
  hotX_ = hotY_ = 0;
  ICONINFO info = {};
  if (GetIconInfo(static_cast<HICON>(handle_), &info)) {
    hotX_ = static_cast<int>(info.xHotspot);
    hotY_ = static_cast<int>(info.yHotspot);
    deleteInfoBitmaps(info);
  }
}

void CursorCapture::tick() {
  if (++counter_ >= period_) {
    counter_ = 0;
    refreshShape();
  }
  POINT pt = {};
  if (GetCursorPos(&pt)) {
    screenX_ = pt.x;
    screenY_ = pt.y;
  }
}

void CursorCapture::fillBlock(const TargetOrigin& origin, CursorBlock& block) {
  block.present = true;
  cursorOnPicture(source_ != NoShape, screenX_, screenY_, hotX_, hotY_, origin, block.x, block.y);
  if (handle_ && handle_ != iconOf_) {
    std::vector<uint8_t> bytes;
    // A shape that gives no image keeps the last one stored.
    if (cursorToIcon(handle_, bytes)) {
      icon_.swap(bytes);
      iconOf_ = handle_;
    } else if (icon_.empty() && cursorToIcon(arrowCursor(), bytes)) {
      icon_.swap(bytes);
    }
  }
  block.icon = icon_;
}

void CursorCapture::drawInto(void* dc, const TargetOrigin& origin) {
  if (source_ == NoShape || !handle_) return;
  DrawIcon(static_cast<HDC>(dc), screenX_ - hotX_ - origin.x, screenY_ - hotY_ - origin.y,
           static_cast<HICON>(handle_));
}
