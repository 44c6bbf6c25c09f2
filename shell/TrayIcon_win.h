// The notification-area icon of the main window while a recording keeps the
// window hidden: added at the start, its picture switched for pause,
// continue and the tick's blink, removed at the stop. The calls carry the
// main window, icon id 0 and the callback message WM_USER + 2 (mouse events
// on the icon come back to the main form as that message). Windows only.
#pragma once

#include <windows.h>

// NIM_ADD with NIF_MESSAGE | NIF_ICON | NIF_TIP and the tip "Vidorra".
bool addNotifyIcon(HWND window, HICON icon);
// NIM_MODIFY with NIF_ICON only: the picture changes, the tip stays.
bool setNotifyIconImage(HWND window, HICON icon);
bool deleteNotifyIcon(HWND window);

// The program file's own icon ("MAINICON"), else the system's application
// icon: never none, so that the tray always has something to show.
HICON applicationIcon();
