// Entry point of Vidorra.exe. For now it shows the empty main window; the
// forms are created here once the main form exists.
#include <windows.h>

#include <string>

#include "SysUtils.h"

namespace {

const wchar_t kClassName[] = L"TMainForm";

LRESULT CALLBACK MainProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
  case WM_PAINT: {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(wnd, &ps);
    HFONT font = CreateFontW(-16, 0, 0, 0, FW_NORMAL, 0, 0, 0, GB2312_CHARSET, 0, 0, 0, 0,
                             Cp936ToWide("宋体").c_str());
    HGDIOBJ old = SelectObject(dc, font);
    SetBkMode(dc, TRANSPARENT);
    std::wstring text = Cp936ToWide("录像模式  生成模式  Vidorra");
    TextOutW(dc, 16, 16, text.c_str(), static_cast<int>(text.size()));
    SelectObject(dc, old);
    DeleteObject(font);
    EndPaint(wnd, &ps);
    return 0;
  }
  case WM_DESTROY:
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcW(wnd, msg, wp, lp);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
  // The recorder's timing assumes one processor.
  SetProcessAffinityMask(GetCurrentProcess(), 1);

  WNDCLASSW wc = {};
  wc.lpfnWndProc = MainProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = kClassName;
  RegisterClassW(&wc);
  HWND wnd = CreateWindowExW(0, kClassName, L"Vidorra", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                             CW_USEDEFAULT, 640, 480, nullptr, nullptr, instance, nullptr);
  if (!wnd) return 1;
  ShowWindow(wnd, show);
  UpdateWindow(wnd);
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return static_cast<int>(msg.wParam);
}
