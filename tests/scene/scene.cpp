// scene.exe: the changing test scene that recording tests record. A topmost
// popup window (the whole screen, or the rectangle given as
// "--rect=x,y,w,h") showing scene_picture.h's picture for the time since it
// started; "--still-after=MS" freezes the picture after MS milliseconds, or
// MS milliseconds after the message kRecordingStarted when one comes (a slow
// machine may take seconds to start recording).
// Each change is drawn with one BitBlt of the band from a picture held in
// memory, so a capture sees the band either before or after a step, never
// half of it. Ends on WM_CLOSE. Windows only.
#include <windows.h>
#include <mmsystem.h>

#include <cstdlib>
#include <cwchar>

#include "scene_picture.h"

namespace {

int width = 0, height = 0;
HDC memory = nullptr;
uint32_t* bits = nullptr;
uint32_t shownCode = 0xFFFFFFFF;
DWORD startMs = 0;
long stillAfterMs = -1;
long freezeAtMs = -1;  // elapsed time at which the picture freezes

void renderRows(uint32_t code, int top, int bottom) {
  for (int y = top; y < bottom; ++y)
    for (int x = 0; x < width; ++x) bits[size_t(y) * width + x] = scene::pixelAt(x, y, width, code);
}

uint32_t currentCode() {
  long elapsed = static_cast<long>(timeGetTime() - startMs);
  if (freezeAtMs >= 0 && elapsed > freezeAtMs) elapsed = freezeAtMs;
  return static_cast<uint32_t>(elapsed / scene::kMsPerStep);
}

void showCode(HWND window, uint32_t code) {
  if (code == shownCode) return;
  shownCode = code;
  renderRows(code, scene::kBandTop, scene::kBandTop + scene::kBandHeight);
  HDC dc = GetDC(window);
  BitBlt(dc, 0, scene::kBandTop, width, scene::kBandHeight, memory, 0, scene::kBandTop, SRCCOPY);
  ReleaseDC(window, dc);
  GdiFlush();
}

LRESULT CALLBACK SceneProc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(w, &ps);
      BitBlt(dc, 0, 0, width, height, memory, 0, 0, SRCCOPY);
      EndPaint(w, &ps);
      return 0;
    }
    case WM_ERASEBKGND:
      return 1;
    case scene::kRecordingStarted:
      if (stillAfterMs >= 0) freezeAtMs = static_cast<long>(timeGetTime() - startMs) + stillAfterMs;
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcW(w, msg, wp, lp);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  int x = 0, y = 0;
  width = GetSystemMetrics(SM_CXSCREEN);
  height = GetSystemMetrics(SM_CYSCREEN);
  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  for (int i = 1; i < argc; ++i) {
    if (wcsncmp(argv[i], L"--rect=", 7) == 0)
      swscanf(argv[i] + 7, L"%d,%d,%d,%d", &x, &y, &width, &height);
    else if (wcsncmp(argv[i], L"--still-after=", 14) == 0)
      stillAfterMs = freezeAtMs = wcstol(argv[i] + 14, nullptr, 10);
  }
  LocalFree(argv);
  if (width < scene::kMinWidth || height < scene::kMinHeight) return 2;

  BITMAPINFO bi = {};
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = width;
  bi.bmiHeader.biHeight = -height;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  void* pixels = nullptr;
  HBITMAP dib = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &pixels, nullptr, 0);
  if (!dib) return 3;
  bits = static_cast<uint32_t*>(pixels);
  memory = CreateCompatibleDC(nullptr);
  SelectObject(memory, dib);
  startMs = timeGetTime();
  shownCode = currentCode();
  renderRows(shownCode, 0, height);

  WNDCLASSW wc = {};
  wc.lpfnWndProc = SceneProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  wc.lpszClassName = L"VidorraTestScene";
  RegisterClassW(&wc);
  HWND window = CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, wc.lpszClassName, L"Vidorra test scene",
                                WS_POPUP | WS_VISIBLE, x, y, width, height, nullptr, nullptr, instance, nullptr);
  if (!window) return 4;
  UpdateWindow(window);

  timeBeginPeriod(1);
  MSG msg;
  for (;;) {
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) {
        timeEndPeriod(1);
        return 0;
      }
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    showCode(window, currentCode());
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 2, QS_ALLINPUT);
  }
}
