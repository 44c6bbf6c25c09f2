// The screen grab of a recording tick through GDI: the desktop's DC copied
// into the capture bitmap's DIB section (so the encoder reads the pixels
// without another copy), the range markers around window and region targets,
// the cursor put into the frame, and the captions of the direct outputs
// drawn over it. A failed grab keeps the previous picture.
#include <windows.h>

#include "CursorCapture_win.h"
#include "FrameCapture.h"

namespace {

const int kNarrowestWindow = 10;  // a window this narrow or narrower is not recorded
const int kFlashPenWidth = 5;
const int kFlashMargin = 3;

DWORD rasterOp(bool captureLayered) { return SRCCOPY | (captureLayered ? CAPTUREBLT : 0); }

// The flash must be seen, not slow the tick: about a millisecond.
void shortPause() {
  LARGE_INTEGER f, start, now;
  if (!QueryPerformanceFrequency(&f) || !QueryPerformanceCounter(&start)) return;
  do {
    QueryPerformanceCounter(&now);
  } while (now.QuadPart - start.QuadPart < f.QuadPart / 1000);
}

// 32-bit B, G, R, x pixels to 16-bit 5-6-5 by truncation, as GDI converts.
void to565(const TBitmap& from, TBitmap& to) {
  const int w = from.Width(), h = from.Height();
  const uint8_t* src = from.Bits();
  uint8_t* dst = to.Bits();
  const int srcStride = from.Stride(), dstStride = to.Stride();
  for (int row = 0; row < h; ++row) {
    const uint8_t* s = src + static_cast<std::size_t>(row) * srcStride;
    uint16_t* d = reinterpret_cast<uint16_t*>(dst + static_cast<std::size_t>(row) * dstStride);
    for (int x = 0; x < w; ++x, s += 4)
      d[x] = static_cast<uint16_t>((s[2] & 0xF8) << 8 | (s[1] & 0xFC) << 3 | s[0] >> 3);
  }
}

int screenBitsPerPixel() {
  HDC dc = GetDC(nullptr);
  const int bits = dc ? GetDeviceCaps(dc, BITSPIXEL) : 0;
  if (dc) ReleaseDC(nullptr, dc);
  return bits;
}

}  // namespace

bool grabScreen(TBitmap& picture, int sourceX, int sourceY, bool captureLayered) {
  if (picture.Empty()) return false;
  HDC target = static_cast<HDC>(picture.DC());
  HWND desktop = GetDesktopWindow();
  HDC screen = GetWindowDC(desktop);
  if (!screen) return false;
  const BOOL ok = BitBlt(target, 0, 0, picture.Width(), picture.Height(), screen, sourceX, sourceY,
                         rasterOp(captureLayered));
  ReleaseDC(desktop, screen);
  GdiFlush();
  return ok != FALSE;
}

void flashRange(int left, int top, int right, int bottom) {
  HWND desktop = GetDesktopWindow();
  HDC dc = GetWindowDC(desktop);
  if (!dc) return;
  HPEN pen = CreatePen(PS_SOLID, kFlashPenWidth, RGB(255, 255, 255));
  const int oldRop = SetROP2(dc, R2_XORPEN);
  HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(NULL_BRUSH));
  HGDIOBJ oldPen = SelectObject(dc, pen);
  const int l = left - kFlashMargin, t = top - kFlashMargin;
  const int r = right + kFlashMargin, b = bottom + kFlashMargin;
  Rectangle(dc, l, t, r, b);
  GdiFlush();
  shortPause();
  Rectangle(dc, l, t, r, b);  // XOR again: the screen is as it was
  SelectObject(dc, oldPen);
  SelectObject(dc, oldBrush);
  SetROP2(dc, oldRop);
  DeleteObject(pen);
  ReleaseDC(desktop, dc);
}

int measureCaptureSpeed(bool captureLayered) {
  TBitmap picture;
  picture.SetPixelFormat(pf16bit);
  picture.SetSize(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
  picture.DC();  // the DC is made outside the timed part
  const DWORD t0 = GetTickCount();
  grabScreen(picture, 0, 0, captureLayered);
  return static_cast<int>(GetTickCount() - t0);
}

GdiFrameCapture::GdiFrameCapture(const CaptureOptions& options)
    : options_(options), cursor_(new CursorCapture(options.nowCursor, options.framesPerSecond)) {
  if (options.drawTimeCaption) datePictures_ = systemDateTimePictures();
  bitmap_.SetPixelFormat(options.pixelFormat);
  bitmap_.SetSize(options.width, options.height);
  // GDI's own conversion of a true-colour screen into a 16-bit DIB is the
  // slow part of the grab under Wine (about twice the plain copy); a 32-bit
  // copy converted here costs a fraction of that.
  if (options.pixelFormat == pf16bit && screenBitsPerPixel() >= 24) {
    staging_.reset(new TBitmap);
    staging_->SetPixelFormat(pf32bit);
    staging_->SetSize(options.width, options.height);
  }
}

GdiFrameCapture::~GdiFrameCapture() = default;

RecorderPlatform::Capture GdiFrameCapture::capture(RecordedPicture& picture, int frameNumber) {
  const int w = bitmap_.Width(), h = bitmap_.Height();
  bool flash = false;
  int markerState = -1;
  switch (options_.target) {
    case CaptureTargetKind::FullScreen:
      origin_ = TargetOrigin{};
      break;
    case CaptureTargetKind::Window: {
      HWND window = static_cast<HWND>(options_.window);
      if (!window || !IsWindow(window) || !IsWindowVisible(window)) return RecorderPlatform::Capture::TargetGone;
      RECT r;
      if (!GetWindowRect(window, &r)) return RecorderPlatform::Capture::TargetGone;
      if (r.right - r.left <= kNarrowestWindow) return RecorderPlatform::Capture::Nothing;
      origin_ = TargetOrigin{r.left, r.top};
      if (options_.showRange && options_.markers) options_.markers->show(r.left, r.top, r.right, r.bottom);
      break;
    }
    case CaptureTargetKind::Region:
      origin_ = TargetOrigin{options_.regionLeft, options_.regionTop};
      break;
  }
  if (options_.showRange && options_.target != CaptureTargetKind::FullScreen) {
    if (options_.markers)
      markerState = cornerMarkerState(frameNumber, options_.framesPerSecond);
    else
      flash = true;
  }
  if (markerState >= 0) options_.markers->setState(markerState);

  // The cursor is read before the grab so that its position and the picture
  // belong to the same moment as nearly as GDI allows.
  if (options_.recordCursor) cursor_->tick();
  if (!staging_)
    grabScreen(bitmap_, origin_.x, origin_.y, options_.captureLayered);
  else if (grabScreen(*staging_, origin_.x, origin_.y, options_.captureLayered))
    to565(*staging_, bitmap_);
  // The flash goes after the grab: it must never be part of the picture.
  if (flash) flashRange(origin_.x, origin_.y, origin_.x + w, origin_.y + h);

  picture.bitmap = &bitmap_;
  picture.image.clear();
  picture.cursor = CursorBlock();
  if (options_.recordCursor) {
    if (options_.drawCursorIntoPicture) {
      cursor_->drawInto(bitmap_.DC(), origin_);
      GdiFlush();
    } else {
      cursor_->fillBlock(origin_, picture.cursor);
    }
  }
  if (options_.drawTimeCaption || options_.drawCustomInfo) {
    if (options_.drawTimeCaption)
      drawTimeCaption(bitmap_, options_.timeCaption, timeBox_, timeCaptionText(localClockNow(), datePictures_));
    if (options_.drawCustomInfo && !options_.customInfo.text.IsEmpty()) drawCustomInfo(bitmap_, options_.customInfo);
    GdiFlush();
  }
  return RecorderPlatform::Capture::Picture;
}
