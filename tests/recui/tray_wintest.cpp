// The recording's tray icon against the shell's notification area (Wine's
// own under Xvfb): the icon of a window comes and goes with add and delete,
// a second add of the same icon is refused, the picture can be changed only
// while the icon exists, and a double click on the icon reaches the window
// as WM_USER + 2 with the mouse message in LParam. What Shell_NotifyIcon
// reports is read back through the shell itself, not through our calls'
// results alone.
#include <gtest/gtest.h>

#include <windows.h>

#include <shellapi.h>

#include <set>

#include "TrayIcon_win.h"

namespace {

UINT lastCallback = 0;
WPARAM lastWParam = 0;
LPARAM lastLParam = 0;

LRESULT CALLBACK Proc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
  if (m == WM_USER + 2) {
    lastCallback = m;
    lastWParam = wp;
    lastLParam = lp;
    return 0;
  }
  return DefWindowProcW(w, m, wp, lp);
}

HWND MakeWindow() {
  static bool registered = false;
  if (!registered) {
    WNDCLASSW c = {};
    c.lpfnWndProc = Proc;
    c.hInstance = GetModuleHandleW(nullptr);
    c.lpszClassName = L"RecuiTrayTest";
    RegisterClassW(&c);
    registered = true;
  }
  return CreateWindowExW(0, L"RecuiTrayTest", L"tray test", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr, nullptr,
                         GetModuleHandleW(nullptr), nullptr);
}

// Whether the shell knows an icon of the window: only an existing icon can
// be modified.
bool ShellHasIcon(HWND w) {
  NOTIFYICONDATAW d = {};
  d.cbSize = NOTIFYICONDATAW_V2_SIZE;
  d.hWnd = w;
  d.uID = 0;
  d.uFlags = NIF_TIP;
  lstrcpyW(d.szTip, L"Vidorra");
  return Shell_NotifyIconW(NIM_MODIFY, &d) != FALSE;
}

// Wine's X11 driver shows each tray icon as a window of this class.
std::set<HWND> wineTrayIcons;
BOOL CALLBACK CollectIcons(HWND w, LPARAM lp) {
  wchar_t c[64] = {};
  GetClassNameW(w, c, 64);
  if (lstrcmpW(c, L"__winex11_tray_icon") == 0) reinterpret_cast<std::set<HWND>*>(lp)->insert(w);
  EnumChildWindows(w, CollectIcons, lp);
  return TRUE;
}
std::set<HWND> WineTrayIconWindows() {
  std::set<HWND> s;
  EnumWindows(CollectIcons, reinterpret_cast<LPARAM>(&s));
  return s;
}

void Pump(DWORD ms) {
  DWORD until = GetTickCount() + ms;
  MSG msg;
  while (static_cast<int>(until - GetTickCount()) > 0) {
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    if (lastCallback) return;
    Sleep(20);
  }
}

class Tray : public ::testing::Test {
protected:
  void SetUp() override {
    if (!FindWindowW(L"Shell_TrayWnd", nullptr)) GTEST_SKIP() << "no notification area";
    window = MakeWindow();
    ASSERT_NE(window, nullptr);
  }
  void TearDown() override {
    if (window) {
      deleteNotifyIcon(window);
      DestroyWindow(window);
    }
  }
  HWND window = nullptr;
};

TEST_F(Tray, IconComesAndGoesWithAddAndDelete) {
  EXPECT_FALSE(ShellHasIcon(window));
  ASSERT_TRUE(addNotifyIcon(window, applicationIcon()));
  EXPECT_TRUE(ShellHasIcon(window));
  EXPECT_FALSE(addNotifyIcon(window, applicationIcon())) << "a second add of the same icon";
  EXPECT_TRUE(setNotifyIconImage(window, LoadIconW(nullptr, MAKEINTRESOURCEW(32515))));  // IDI_EXCLAMATION
  EXPECT_TRUE(deleteNotifyIcon(window));
  EXPECT_FALSE(ShellHasIcon(window));
  EXPECT_FALSE(setNotifyIconImage(window, applicationIcon())) << "the picture of a removed icon";
  EXPECT_FALSE(deleteNotifyIcon(window));
  // Added again after the stop of an earlier recording.
  EXPECT_TRUE(addNotifyIcon(window, applicationIcon()));
  EXPECT_TRUE(ShellHasIcon(window));
}

TEST_F(Tray, ApplicationIconIsNeverNone) { EXPECT_NE(applicationIcon(), nullptr); }

TEST_F(Tray, DoubleClickComesBackAsTheCallbackMessage) {
  const std::set<HWND> before = WineTrayIconWindows();
  ASSERT_TRUE(addNotifyIcon(window, applicationIcon()));
  Pump(300);
  HWND icon = nullptr;
  for (HWND w : WineTrayIconWindows())
    if (!before.count(w)) icon = w;
  if (!icon) GTEST_SKIP() << "the shell shows its icons in no window of its own";
  lastCallback = 0;
  PostMessageW(icon, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(5, 5));
  Pump(3000);
  EXPECT_EQ(lastCallback, static_cast<UINT>(WM_USER + 2));
  EXPECT_EQ(lastWParam, 0u) << "icon id";
  EXPECT_EQ(lastLParam, WM_LBUTTONDBLCLK);
}

}  // namespace
