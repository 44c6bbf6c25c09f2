// A window of another process for the mouse-watcher tests: it shows where the
// tests click and sets one of two cursors of its own, a colour one over its
// left half and a monochrome one over its right half, so that a test can tell
// whether a shape crossed from this process into its own intact.
// Usage: hooks_cursor_host X Y WIDTH HEIGHT (screen pixels). WM_CLOSE ends it.
#include <windows.h>

#include <cstdlib>
#include <cstring>

namespace {
HCURSOR g_colour, g_mono;

// 32x32, hot spot (5, 7). Opaque where x < 16 and y < 16 or y >= 28: red
// left of x = 8, blue from x = 8; transparent elsewhere.
HCURSOR makeColourCursor() {
  BYTE andBits[32 * 4];
  memset(andBits, 0xFF, sizeof andBits);
  DWORD colour[32 * 32] = {};
  for (int y = 0; y < 32; ++y) {
    if (y >= 16 && y < 28) continue;
    andBits[y * 4] = andBits[y * 4 + 1] = 0;
    for (int x = 0; x < 16; ++x) colour[y * 32 + x] = x < 8 ? 0x00FF0000 : 0x000000FF;
  }
  BITMAPINFO bi = {};
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = 32;
  bi.bmiHeader.biHeight = -32;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HDC dc = GetDC(nullptr);
  ICONINFO ii = {};
  ii.fIcon = FALSE;
  ii.xHotspot = 5;
  ii.yHotspot = 7;
  ii.hbmColor = CreateDIBSection(dc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  memcpy(bits, colour, sizeof colour);
  ii.hbmMask = CreateBitmap(32, 32, 1, 1, andBits);  // 4-byte rows are word-aligned too
  ReleaseDC(nullptr, dc);
  HCURSOR c = CreateIconIndirect(&ii);
  DeleteObject(ii.hbmColor);
  DeleteObject(ii.hbmMask);
  return c;
}

// 32x32, hot spot (9, 3); rows 0-7 per column band of 8: AND/XOR = 0/0 black,
// 0/1 white, 1/0 screen, 1/1 inverted screen; rows 8-31 transparent.
HCURSOR makeMonoCursor(HINSTANCE instance) {
  BYTE andBits[32 * 4], xorBits[32 * 4];
  memset(andBits, 0xFF, sizeof andBits);
  memset(xorBits, 0, sizeof xorBits);
  const BYTE andBand[4] = {0x00, 0x00, 0xFF, 0xFF};
  const BYTE xorBand[4] = {0x00, 0xFF, 0x00, 0xFF};
  for (int y = 0; y < 8; ++y)
    for (int b = 0; b < 4; ++b) {
      andBits[y * 4 + b] = andBand[b];
      xorBits[y * 4 + b] = xorBand[b];
    }
  return CreateCursor(instance, 9, 3, 32, 32, andBits, xorBits);
}

LRESULT CALLBACK hostProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_SETCURSOR:
      if (LOWORD(lParam) == HTCLIENT) {
        POINT pt;
        GetCursorPos(&pt);
        ScreenToClient(window, &pt);
        RECT rc;
        GetClientRect(window, &rc);
        SetCursor(pt.x < rc.right / 2 ? g_colour : g_mono);
        return TRUE;
      }
      break;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}
}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR args, int) {
  int v[4] = {400, 100, 300, 200};
  char* p = args;
  for (int i = 0; i < 4 && *p; ++i) v[i] = (int)strtol(p, &p, 10);
  g_colour = makeColourCursor();
  g_mono = makeMonoCursor(instance);
  WNDCLASSW wc = {};
  wc.style = CS_DBLCLKS;
  wc.lpfnWndProc = hostProc;
  wc.hInstance = instance;
  wc.hbrBackground = (HBRUSH)GetStockObject(GRAY_BRUSH);
  wc.lpszClassName = L"HooksTestHost";
  RegisterClassW(&wc);
  HWND window = CreateWindowExW(WS_EX_TOPMOST, L"HooksTestHost", L"hooks test host", WS_POPUP,
                                v[0], v[1], v[2], v[3], nullptr, nullptr, instance, nullptr);
  if (!window) return 1;
  ShowWindow(window, SW_SHOWNOACTIVATE);
  UpdateWindow(window);
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
  return 0;
}
