// trebis.dll: the picking watcher. While armed it reports the pointer's moves
// (WM_USER) and the left press and release (WM_USER+1) to one window, for
// choosing a window or dragging a range. It uses a low-level mouse hook on
// the arming thread: the recorder is idle while the user picks, the hook sees
// input over every window in screen pixels, and no code of ours has to run
// inside other programs. The arming thread must pump messages.
#include <windows.h>

#include "MouseReports.h"

namespace {
HINSTANCE g_module;
HHOOK g_hook;
PickState g_pick;
}  // namespace

extern "C" __declspec(dllexport) LRESULT CALLBACK PickMouseProc(int code, WPARAM wParam,
                                                                   LPARAM lParam) {
  if (code == HC_ACTION && g_pick.target) {
    const MSLLHOOKSTRUCT* e = reinterpret_cast<const MSLLHOOKSTRUCT*>(lParam);
    if (reportPickEvent(g_pick, wParam, e->pt)) return 1;
  }
  return CallNextHookEx(g_hook, code, wParam, lParam);
}

extern "C" __declspec(dllexport) BOOL WINAPI EnableKBHook(BOOL on, HWND target) {
  if (!on) {
    g_pick.target = nullptr;
    if (g_hook) UnhookWindowsHookEx(g_hook);
    g_hook = nullptr;
    return TRUE;
  }
  if (!target || !IsWindow(target)) return FALSE;
  g_pick.target = target;
  g_pick.pressSeen = false;
  if (!g_hook) g_hook = SetWindowsHookExW(WH_MOUSE_LL, PickMouseProc, g_module, 0);
  if (!g_hook) g_pick.target = nullptr;
  return g_hook != nullptr;
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  if (reason == DLL_PROCESS_ATTACH) {
    g_module = instance;
    DisableThreadLibraryCalls(instance);
  } else if (reason == DLL_PROCESS_DETACH && g_hook) {
    // Freed or ending while armed: the hook must not outlive the code it points at.
    UnhookWindowsHookEx(g_hook);
    g_hook = nullptr;
  }
  return TRUE;
}
