// Frame capture on a real display (Wine on Xvfb, at whatever depth the
// display has: run it on a 24-bit and on a 16-bit screen): a window of this
// test paints solid blocks at known places, and the full-screen, window and
// region targets must give those blocks at their picture positions in 16-
// and 32-bit pictures; a closed or narrow window target; the cursor block
// (position on the picture, icon bytes that draw the test's own cursors) and
// the cursor drawn into the picture for the direct writers.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <vector>

#include "Canvas.h"
#include "CursorCapture_win.h"
#include "FrameCapture.h"

namespace {

// The scene window, away from the places other display tests use.
const RECT kScene = {600, 420, 920, 660};  // 320 x 240
const COLORREF kBackground = RGB(128, 128, 128);

struct Block {
  int x, y, w, h;  // in the scene window
  COLORREF colour;
};
const Block kBlocks[] = {
    {10, 10, 60, 40, RGB(255, 0, 0)},   {100, 20, 50, 50, RGB(0, 255, 0)},
    {200, 30, 40, 60, RGB(0, 0, 255)},  {40, 150, 80, 50, RGB(255, 255, 0)},
    {250, 170, 50, 50, RGB(255, 255, 255)}, {160, 120, 30, 30, RGB(0, 0, 0)},
};

HCURSOR g_sceneCursor = nullptr;

LRESULT CALLBACK sceneProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
  if (m == WM_PAINT) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(w, &ps);
    RECT all = {0, 0, kScene.right - kScene.left, kScene.bottom - kScene.top};
    HBRUSH bg = CreateSolidBrush(kBackground);
    FillRect(dc, &all, bg);
    DeleteObject(bg);
    for (const Block& b : kBlocks) {
      RECT r = {b.x, b.y, b.x + b.w, b.y + b.h};
      HBRUSH br = CreateSolidBrush(b.colour);
      FillRect(dc, &r, br);
      DeleteObject(br);
    }
    EndPaint(w, &ps);
    return 0;
  }
  if (m == WM_SETCURSOR && g_sceneCursor) {
    SetCursor(g_sceneCursor);
    return TRUE;
  }
  return DefWindowProcW(w, m, wp, lp);
}

void pumpFor(DWORD ms) {
  const DWORD start = GetTickCount();
  do {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    Sleep(5);
  } while (GetTickCount() - start < ms);
}

// Red, green, blue of a picture pixel, 8 bits each.
struct Rgb {
  int r, g, b;
};
Rgb pixelOf(TBitmap& p, int x, int y) {
  const uint8_t* line = p.ScanLine(y);
  if (p.PixelFormat() == pf32bit) return {line[x * 4 + 2], line[x * 4 + 1], line[x * 4]};
  const int v = line[x * 2] | line[x * 2 + 1] << 8;  // 5-6-5
  const int r = v >> 11 & 31, g = v >> 5 & 63, b = v & 31;
  return {r << 3 | r >> 2, g << 2 | g >> 4, b << 3 | b >> 2};
}
Rgb rgbOf(COLORREF c) { return {GetRValue(c), GetGValue(c), GetBValue(c)}; }

int screenDepth() {
  HDC dc = GetDC(nullptr);
  const int bits = GetDeviceCaps(dc, BITSPIXEL);
  ReleaseDC(nullptr, dc);
  return bits;
}

// How far a channel may be from the painted colour: none on a true-colour
// screen into a 32-bit picture, else the 5- and 6-bit rounding.
int tolerance(const TBitmap& p) { return p.PixelFormat() == pf32bit && screenDepth() >= 24 ? 0 : 8; }

::testing::AssertionResult colourMatches(Rgb got, Rgb want, int tol) {
  if (std::abs(got.r - want.r) <= tol && std::abs(got.g - want.g) <= tol && std::abs(got.b - want.b) <= tol)
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "got (" << got.r << "," << got.g << "," << got.b << ") want ("
                                       << want.r << "," << want.g << "," << want.b << ")";
}

// Checks every block inside the picture: its first and last pixel, and the
// pixel diagonally before it, which is background (an origin one pixel off
// fails here).
void expectBlocks(TBitmap& p, int dx, int dy, const char* what) {
  const int tol = tolerance(p);
  int seen = 0;
  for (const Block& b : kBlocks) {
    const int x0 = b.x + dx, y0 = b.y + dy, x1 = x0 + b.w - 1, y1 = y0 + b.h - 1;
    if (x0 < 1 || y0 < 1 || x1 >= p.Width() || y1 >= p.Height()) continue;
    ++seen;
    EXPECT_TRUE(colourMatches(pixelOf(p, x0, y0), rgbOf(b.colour), tol)) << what << " block at " << b.x << "," << b.y;
    EXPECT_TRUE(colourMatches(pixelOf(p, x1, y1), rgbOf(b.colour), tol)) << what << " block end " << b.x << "," << b.y;
    EXPECT_TRUE(colourMatches(pixelOf(p, x0 - 1, y0 - 1), rgbOf(kBackground), tol)) << what << " before " << b.x << "," << b.y;
  }
  EXPECT_GE(seen, 2) << what;
}

class Capture : public ::testing::Test {
protected:
  static void SetUpTestSuite() {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = sceneProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    wc.lpszClassName = L"CaptureScene";
    RegisterClassW(&wc);
    scene_ = CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, L"CaptureScene", L"capture scene", WS_POPUP,
                             kScene.left, kScene.top, kScene.right - kScene.left, kScene.bottom - kScene.top,
                             nullptr, nullptr, wc.hInstance, nullptr);
    if (!scene_) return;
    ShowWindow(scene_, SW_SHOWNOACTIVATE);
    UpdateWindow(scene_);
    // Wait until the scene is on the screen (Wine maps windows asynchronously).
    TBitmap probe;
    probe.SetSize(kScene.right - kScene.left, kScene.bottom - kScene.top);
    for (int i = 0; i < 100; ++i) {
      pumpFor(20);
      RedrawWindow(scene_, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
      grabScreen(probe, kScene.left, kScene.top, false);
      const Block& b = kBlocks[2];
      if (colourMatches(pixelOf(probe, b.x + 1, b.y + 1), rgbOf(b.colour), 8)) break;
    }
  }
  static void TearDownTestSuite() {
    if (scene_) DestroyWindow(scene_);
    scene_ = nullptr;
  }
  void SetUp() override {
    ASSERT_TRUE(scene_) << "no window: these tests need a display (Xvfb)";
    g_sceneCursor = nullptr;
  }

  static CaptureOptions options(CaptureTargetKind kind, TPixelFormat pf) {
    CaptureOptions o;
    o.target = kind;
    o.pixelFormat = pf;
    o.recordCursor = false;
    o.framesPerSecond = 10;
    switch (kind) {
      case CaptureTargetKind::FullScreen:
        o.width = GetSystemMetrics(SM_CXSCREEN);
        o.height = GetSystemMetrics(SM_CYSCREEN);
        break;
      case CaptureTargetKind::Window:
        o.window = scene_;
        o.width = kScene.right - kScene.left;
        o.height = kScene.bottom - kScene.top;
        break;
      case CaptureTargetKind::Region:
        o.regionLeft = kScene.left + 30;
        o.regionTop = kScene.top + 15;
        o.width = 200;
        o.height = 150;
        break;
    }
    return o;
  }

  static HWND scene_;
};
HWND Capture::scene_;

TEST_F(Capture, TargetsGiveThePaintedBlocksAtTheirPicturePlaces) {
  std::printf("screen depth %d bits\n", screenDepth());
  struct Target {
    CaptureTargetKind kind;
    int dx, dy;  // where the scene's (0, 0) lands on the picture
    const char* name;
  } targets[] = {
      {CaptureTargetKind::FullScreen, kScene.left, kScene.top, "full screen"},
      {CaptureTargetKind::Window, 0, 0, "window"},
      {CaptureTargetKind::Region, -30, -15, "region"},
  };
  for (TPixelFormat pf : {pf16bit, pf32bit}) {
    for (const Target& t : targets) {
      GdiFrameCapture capture(options(t.kind, pf));
      RecordedPicture picture;
      ASSERT_EQ(RecorderPlatform::Capture::Picture, capture.capture(picture, 0)) << t.name;
      ASSERT_EQ(&capture.bitmap(), picture.bitmap);
      EXPECT_EQ(pf, capture.bitmap().PixelFormat());
      EXPECT_FALSE(picture.cursor.present) << "the cursor was not asked for";
      SCOPED_TRACE(pf == pf16bit ? "16-bit picture" : "32-bit picture");
      expectBlocks(capture.bitmap(), t.dx, t.dy, t.name);
    }
  }
}

TEST_F(Capture, WindowTargetThatIsNarrowOrGone) {
  HWND narrow = CreateWindowExW(WS_EX_TOOLWINDOW, L"CaptureScene", L"narrow", WS_POPUP, 10, 700, 10, 40, nullptr,
                                nullptr, GetModuleHandleW(nullptr), nullptr);
  ASSERT_TRUE(narrow);
  ShowWindow(narrow, SW_SHOWNOACTIVATE);
  CaptureOptions o = options(CaptureTargetKind::Window, pf16bit);
  o.window = narrow;
  GdiFrameCapture capture(o);
  RecordedPicture picture;
  EXPECT_EQ(RecorderPlatform::Capture::Nothing, capture.capture(picture, 0));
  SetWindowPos(narrow, nullptr, 10, 700, 11, 40, SWP_NOZORDER | SWP_NOACTIVATE);
  EXPECT_EQ(RecorderPlatform::Capture::Picture, capture.capture(picture, 0));
  ShowWindow(narrow, SW_HIDE);
  EXPECT_EQ(RecorderPlatform::Capture::TargetGone, capture.capture(picture, 0));
  DestroyWindow(narrow);
  EXPECT_EQ(RecorderPlatform::Capture::TargetGone, capture.capture(picture, 0));
}

// ---- cursors ----------------------------------------------------------------

const int kHotX = 5, kHotY = 7;

// A 32 x 32 monochrome cursor: a black square (rows and columns 4-19), a
// white bar (rows 22-25), an inverting strip (rows 28-31, columns 0-15);
// elsewhere transparent.
HCURSOR makeMonoCursor() {
  uint8_t andPlane[32 * 4], xorPlane[32 * 4];
  std::memset(andPlane, 0xFF, sizeof andPlane);
  std::memset(xorPlane, 0, sizeof xorPlane);
  auto clear = [](uint8_t* plane, int x, int y) { plane[y * 4 + x / 8] &= ~(0x80 >> (x % 8)); };
  auto set = [](uint8_t* plane, int x, int y) { plane[y * 4 + x / 8] |= 0x80 >> (x % 8); };
  for (int y = 4; y < 20; ++y)
    for (int x = 4; x < 20; ++x) clear(andPlane, x, y);
  for (int y = 22; y < 26; ++y)
    for (int x = 0; x < 32; ++x) clear(andPlane, x, y), set(xorPlane, x, y);
  for (int y = 28; y < 32; ++y)
    for (int x = 0; x < 16; ++x) set(xorPlane, x, y);
  return CreateCursor(GetModuleHandleW(nullptr), kHotX, kHotY, 32, 32, andPlane, xorPlane);
}

// A 32 x 32 colour cursor: an opaque red square (rows and columns 8-23),
// transparent elsewhere; with blankMask the mask is all zero (opaque black
// around the square), which a recording stores as the standard arrow.
HCURSOR makeColourCursor(bool blankMask) {
  BITMAPINFO bi = {};
  bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  bi.bmiHeader.biWidth = 32;
  bi.bmiHeader.biHeight = -32;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HBITMAP colour = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  uint32_t* px = static_cast<uint32_t*>(bits);
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 32; ++x) px[y * 32 + x] = (x >= 8 && x < 24 && y >= 8 && y < 24) ? 0x00FF0000 : 0;
  uint8_t maskBits[32 * 4];
  std::memset(maskBits, blankMask ? 0x00 : 0xFF, sizeof maskBits);
  if (!blankMask)
    for (int y = 8; y < 24; ++y) maskBits[y * 4 + 1] = maskBits[y * 4 + 2] = 0;  // columns 8-23
  HBITMAP mask = CreateBitmap(32, 32, 1, 1, maskBits);
  ICONINFO ii = {FALSE, kHotX, kHotY, mask, colour};
  HCURSOR c = reinterpret_cast<HCURSOR>(CreateIconIndirect(&ii));
  DeleteObject(colour);
  DeleteObject(mask);
  return c;
}

// Draws an icon (bytes of an .ico, or a handle) at (0, 0) of a grey 32-bit picture.
void drawOnGrey(TBitmap& out, HICON icon) {
  out.SetPixelFormat(pf32bit);
  out.SetSize(32, 32);
  HDC dc = static_cast<HDC>(out.DC());
  RECT all = {0, 0, 32, 32};
  HBRUSH grey = CreateSolidBrush(kBackground);
  FillRect(dc, &all, grey);
  DeleteObject(grey);
  DrawIconEx(dc, 0, 0, icon, 32, 32, 0, nullptr, DI_NORMAL);
  GdiFlush();
}

// Puts the pointer over the scene with the given cursor set, and captures
// the window target once with the cursor recorded.
RecordedPicture captureWithCursor(HWND scene, HCURSOR cursor, bool drawn, TBitmap* picture = nullptr) {
  g_sceneCursor = cursor;
  // Back on top: a window of a test running beside this one may have come up.
  SetWindowPos(scene, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  SetCursorPos(kScene.left + 100, kScene.top + 100);
  pumpFor(50);
  POINT pt = {kScene.left + 100, kScene.top + 100};
  EXPECT_EQ(scene, WindowFromPoint(pt)) << "another window covers the scene";
  SetCursor(cursor);
  CaptureOptions o;
  o.target = CaptureTargetKind::Window;
  o.window = scene;
  o.width = kScene.right - kScene.left;
  o.height = kScene.bottom - kScene.top;
  o.pixelFormat = pf32bit;
  o.recordCursor = true;
  o.drawCursorIntoPicture = drawn;
  o.framesPerSecond = 10;
  GdiFrameCapture capture(o);
  RecordedPicture p;
  EXPECT_EQ(RecorderPlatform::Capture::Picture, capture.capture(p, 0));
  EXPECT_EQ(CursorCapture::OwnThread, capture.cursor().source());
  if (picture) picture->Assign(capture.bitmap());
  return p;
}

TEST_F(Capture, CursorBlockStandsOnThePictureAndDrawsTheCursor) {
  POINT pt;
  SetCursorPos(kScene.left + 100, kScene.top + 100);
  ASSERT_TRUE(GetCursorPos(&pt));
  ASSERT_EQ(kScene.left + 100, pt.x) << "the pointer cannot be placed on this display";

  struct Shape {
    const char* name;
    HCURSOR cursor;
    HCURSOR drawnAs;  // what the stored icon must look like
  } shapes[] = {
      {"monochrome", makeMonoCursor(), nullptr},
      {"colour", makeColourCursor(false), nullptr},
      {"blank mask", makeColourCursor(true), LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW))},
  };
  for (Shape& s : shapes) {
    ASSERT_TRUE(s.cursor) << s.name;
    if (!s.drawnAs) s.drawnAs = s.cursor;
    const RecordedPicture p = captureWithCursor(scene_, s.cursor, false);
    ASSERT_TRUE(p.cursor.present) << s.name;
    // The icon corner relative to the window's picture, not the screen.
    EXPECT_EQ(100 - kHotX, p.cursor.x) << s.name;
    EXPECT_EQ(100 - kHotY, p.cursor.y) << s.name;
    ASSERT_FALSE(p.cursor.icon.empty()) << s.name;

    TIcon stored;
    stored.SetBytes(p.cursor.icon);
    ASSERT_TRUE(stored.Handle()) << s.name << ": the bytes are no icon";
    TBitmap got, want;
    drawOnGrey(got, static_cast<HICON>(stored.Handle()));
    drawOnGrey(want, reinterpret_cast<HICON>(s.drawnAs));
    int differing = 0;
    for (int y = 0; y < 32; ++y) differing += std::memcmp(got.ScanLine(y), want.ScanLine(y), 32 * 4) != 0;
    EXPECT_EQ(0, differing) << s.name << ": rows drawn differently from the cursor";
  }
  // The monochrome shape's four kinds of pixel, read straight off the drawing.
  TIcon mono;
  mono.SetBytes(captureWithCursor(scene_, shapes[0].cursor, false).cursor.icon);
  TBitmap d;
  drawOnGrey(d, static_cast<HICON>(mono.Handle()));
  const struct {
    int x, y, value;
  } probes[] = {{10, 10, 0}, {10, 23, 255}, {5, 29, 127}, {25, 29, 128}, {25, 2, 128}};
  for (const auto& pr : probes) EXPECT_EQ(pr.value, pixelOf(d, pr.x, pr.y).g) << pr.x << "," << pr.y;

  for (Shape& s : shapes) DestroyCursor(s.cursor);
  g_sceneCursor = nullptr;
}

TEST_F(Capture, CursorDrawnIntoThePictureForTheDirectWriters) {
  HCURSOR cursor = makeMonoCursor();
  TBitmap picture;
  const RecordedPicture p = captureWithCursor(scene_, cursor, true, &picture);
  EXPECT_FALSE(p.cursor.present);
  // Pointer at (100, 100) of the window, hot spot (5, 7): the cursor's
  // corner is picture (95, 93), over plain background.
  const int ox = 100 - kHotX, oy = 100 - kHotY;
  EXPECT_TRUE(colourMatches(pixelOf(picture, ox + 10, oy + 10), {0, 0, 0}, 0));    // black square
  EXPECT_TRUE(colourMatches(pixelOf(picture, ox + 10, oy + 23), {255, 255, 255}, 0));  // white bar
  EXPECT_TRUE(colourMatches(pixelOf(picture, ox + 25, oy + 2), rgbOf(kBackground), tolerance(picture)));  // see-through
  // Outside the cursor the scene is untouched.
  expectBlocks(picture, 0, 0, "window with cursor");
  DestroyCursor(cursor);
  g_sceneCursor = nullptr;
}

}  // namespace
