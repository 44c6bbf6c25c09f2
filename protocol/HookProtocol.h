// The contract between the recorder and its mouse watchers: the window
// messages the hook libraries (trebis.dll, trebis1.dll) and the mouse-effect
// helper (pellun.exe) post, the helper's commands, and the signatures of the
// libraries' entry points as the recorder binds them by name.
#pragma once

#include <windows.h>

// Posted to the registered window. Coordinates are screen pixels.
const UINT kPickMoveMessage = WM_USER;        // WParam x, LParam y (as signed ints)
const UINT kPickButtonMessage = WM_USER + 1;  // WParam x, LParam y: left press or release
const UINT kClickMessage = WM_USER + 5;       // WParam kind 1-3, LParam MAKELPARAM(x, y)

// Sent to the helper window: WParam a command, LParam the window to report to.
const UINT kHelperCommandMessage = WM_USER + 144;
enum HelperCommand { kHelperStop = 0, kHelperPickWindow = 1, kHelperReportClicks = 2 };
#define HELPER_WINDOW_TITLE "QORVIM DI MOUSE V7"

// Entry points, exported undecorated, __stdcall. EnableKBHook arms (1) or
// disarms (0) the library for the given window and returns TRUE when it is in
// the asked state. getnowcursor (trebis1.dll) returns the shape under the
// pointer as a cursor owned by the library, valid until its next call, so a
// caller that keeps it copies it (CopyIcon); NULL when no shape is known or
// the cursor is hidden. Its first call starts the shape watching, which ends
// with EnableKBHook(0) or the unloading. setcx (trebis1.dll) is there for
// the binding only and does nothing.
typedef BOOL(WINAPI* EnableKBHookProc)(BOOL on, HWND target);
typedef HCURSOR(WINAPI* GetNowCursorProc)(void);
typedef void(WINAPI* SetcxProc)(void);
