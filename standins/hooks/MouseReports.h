// What the picking and click watchers post for one mouse event, shared by the
// hook libraries and the mouse-effect helper so that every route reports the
// same messages with the same parameters.
#pragma once

#include <windows.h>

#include "ClickKinds.h"
#include "HookProtocol.h"

// A pick: moves are posted as they come; the left press and its release are
// posted and swallowed, so that the click that chooses a window or draws a
// range never reaches the window under it. A release whose press happened
// before arming (the click that started the pick) is let through unreported,
// else it would end the pick at once.
struct PickState {
  HWND target;
  bool pressSeen;
};

// Returns true when the event is to be swallowed.
inline bool reportPickEvent(PickState& s, WPARAM message, POINT pt) {
  switch (message) {
    case WM_MOUSEMOVE:
      PostMessageW(s.target, kPickMoveMessage, (WPARAM)pt.x, (LPARAM)pt.y);
      return false;
    case WM_LBUTTONDOWN:
      s.pressSeen = true;
      PostMessageW(s.target, kPickButtonMessage, (WPARAM)pt.x, (LPARAM)pt.y);
      return true;
    case WM_LBUTTONUP:
      if (!s.pressSeen) return false;
      s.pressSeen = false;
      PostMessageW(s.target, kPickButtonMessage, (WPARAM)pt.x, (LPARAM)pt.y);
      return true;
  }
  return false;
}

// The button of a press message as the hooks see them: client and non-client
// presses count alike (a click on a title bar is a click too). Middle presses
// are not reported. *systemDouble tells a press the system already made a
// double click.
inline int pressButtonOf(WPARAM message, bool* systemDouble) {
  *systemDouble = false;
  switch (message) {
    case WM_LBUTTONDBLCLK:
    case WM_NCLBUTTONDBLCLK:
      *systemDouble = true;
      return kButtonLeft;
    case WM_LBUTTONDOWN:
    case WM_NCLBUTTONDOWN:
      return kButtonLeft;
    case WM_RBUTTONDOWN:
    case WM_NCRBUTTONDOWN:
    case WM_RBUTTONDBLCLK:
    case WM_NCRBUTTONDBLCLK:
      return kButtonRight;
  }
  return -1;
}

// x and y travel as 16-bit halves of LParam; negative positions on monitors
// left of or above the primary one keep their two's-complement low bits.
inline void postClick(HWND target, ClickHistory& h, int button, bool systemDouble,
                      DWORD time, POINT pt) {
  int kind = classifyClick(h, button, time, pt.x, pt.y, GetDoubleClickTime(),
                           GetSystemMetrics(SM_CXDOUBLECLK), GetSystemMetrics(SM_CYDOUBLECLK),
                           systemDouble);
  if (kind != kClickNone)
    PostMessageW(target, kClickMessage, (WPARAM)kind,
                 (LPARAM)MAKELPARAM((WORD)pt.x, (WORD)pt.y));
}
