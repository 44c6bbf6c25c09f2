// pellun.exe: the mouse-effect helper the recorder starts on Vista and later.
// Its hidden window, found by the title "QORVIM DI MOUSE V7", takes
// WM_USER+144 (WParam 1 pick a window, 2 report clicks, 0 stop; LParam the
// window to report to) and posts the same messages as the hook libraries:
// WM_USER / WM_USER+1 while picking, WM_USER+5 per click. A low-level mouse
// hook on this process's own thread does the watching; the thread does
// nothing else, so input never waits on a busy recorder. WM_CLOSE ends it.
#include <windows.h>

#include "MouseReports.h"

namespace {

enum Mode { kIdle, kPicking, kClicks };

HHOOK g_hook;
Mode g_mode = kIdle;
PickState g_pick;
ClickHistory g_clicks;

LRESULT CALLBACK helperMouseProc(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HC_ACTION && g_mode != kIdle) {
    const MSLLHOOKSTRUCT* e = reinterpret_cast<const MSLLHOOKSTRUCT*>(lParam);
    if (!IsWindow(g_pick.target)) {
      g_mode = kIdle;  // the recorder went away without saying stop
    } else if (g_mode == kPicking) {
      if (reportPickEvent(g_pick, wParam, e->pt)) return 1;
    } else if (wParam == WM_LBUTTONDOWN || wParam == WM_RBUTTONDOWN) {
      postClick(g_pick.target, g_clicks, wParam == WM_LBUTTONDOWN ? kButtonLeft : kButtonRight,
                false, e->time, e->pt);
    }
  }
  return CallNextHookEx(g_hook, code, wParam, lParam);
}

void stopWatching() {
  g_mode = kIdle;
  if (g_hook) UnhookWindowsHookEx(g_hook);
  g_hook = nullptr;
}

LRESULT command(WPARAM what, HWND target) {
  if (what != kHelperPickWindow && what != kHelperReportClicks) {
    stopWatching();
    return 1;
  }
  if (!target || !IsWindow(target)) return 0;
  g_pick.target = target;
  g_pick.pressSeen = false;
  g_clicks = ClickHistory();
  if (!g_hook) g_hook = SetWindowsHookExW(WH_MOUSE_LL, helperMouseProc, GetModuleHandleW(nullptr), 0);
  if (!g_hook) return 0;
  g_mode = what == kHelperPickWindow ? kPicking : kClicks;
  return 1;
}

LRESULT CALLBACK helperWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case kHelperCommandMessage:
      return command(wParam, reinterpret_cast<HWND>(lParam));
    case WM_DESTROY:
      stopWatching();
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  // One helper serves the recorder: a second start leaves the first in charge.
  if (FindWindowA(nullptr, HELPER_WINDOW_TITLE)) return 0;
  WNDCLASSW wc = {};
  wc.lpfnWndProc = helperWindowProc;
  wc.hInstance = instance;
  wc.lpszClassName = L"VidorraMouseEffect";
  if (!RegisterClassW(&wc)) return 1;
  // Never shown: the recorder only needs to find it by its title.
  HWND window = CreateWindowExA(WS_EX_TOOLWINDOW, "VidorraMouseEffect", HELPER_WINDOW_TITLE,
                                WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, instance, nullptr);
  if (!window) return 1;
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return 0;
}
