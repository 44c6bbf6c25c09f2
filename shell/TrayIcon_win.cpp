// The tray icon calls and the main form's tray methods (see TrayIcon_win.h).
#include "TrayIcon_win.h"

#include <shellapi.h>

#include <cwchar>

#include "MainForm_win.h"

namespace {

constexpr UINT kTrayIconId = 0;
constexpr UINT kAddFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;  // 7

NOTIFYICONDATAW iconData(HWND window) {
  NOTIFYICONDATAW d = {};
  // The wide form of the 488-byte structure of shell version 5 (128-character
  // tip, balloon fields), which every shell from Windows 2000 on accepts.
  d.cbSize = NOTIFYICONDATAW_V2_SIZE;
  d.hWnd = window;
  d.uID = kTrayIconId;
  return d;
}

}  // namespace

bool addNotifyIcon(HWND window, HICON icon) {
  NOTIFYICONDATAW d = iconData(window);
  d.uFlags = kAddFlags;
  d.uCallbackMessage = WM_TRAY_NOTIFY;
  d.hIcon = icon;
  wcsncpy(d.szTip, L"Vidorra", sizeof d.szTip / sizeof d.szTip[0] - 1);
  return Shell_NotifyIconW(NIM_ADD, &d) != FALSE;
}

bool setNotifyIconImage(HWND window, HICON icon) {
  NOTIFYICONDATAW d = iconData(window);
  d.uFlags = NIF_ICON;
  d.hIcon = icon;
  return Shell_NotifyIconW(NIM_MODIFY, &d) != FALSE;
}

bool deleteNotifyIcon(HWND window) {
  NOTIFYICONDATAW d = iconData(window);
  return Shell_NotifyIconW(NIM_DELETE, &d) != FALSE;
}

HICON applicationIcon() {
  static HICON icon = nullptr;
  if (!icon) icon = LoadIconW(GetModuleHandleW(nullptr), L"MAINICON");
  if (!icon) icon = LoadIconW(nullptr, MAKEINTRESOURCEW(32512));  // IDI_APPLICATION
  return icon;
}

void TMainForm::addTrayIcon() {
  addNotifyIcon(Handle(), applicationIcon());
  trayIconShown = 1;
}

void TMainForm::removeTrayIcon() {
  deleteNotifyIcon(Handle());
  trayIconShown = 0;
}

void TMainForm::setTrayIcon(HICON icon) {
  // The pause and blink pictures are resources of the program file; one that
  // is missing shows the application icon rather than an empty place.
  setNotifyIconImage(Handle(), icon ? icon : applicationIcon());
}

void TMainForm::wmTrayIcon(TMessage& m) {
  if (m.LParam != WM_LBUTTONDBLCLK) return;
  Show();
  if (WindowState() == wsMinimized) {
    SetWindowState(wsNormal);
    SetForegroundWindow(Handle());
    Repaint();
  }
}
