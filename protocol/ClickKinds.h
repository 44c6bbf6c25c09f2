// Sorting button presses into the click kinds the recorder stores for each
// mouse event: 1 left press, 2 right press, 3 the second press of a left
// double click. Shared by the click hook library and the mouse-effect helper.
// Plain data and arithmetic only: the state may live in a section shared
// between processes, and the rule is tested without Windows.
#pragma once

#include <cstdint>

enum ClickKind { kClickNone = 0, kClickLeft = 1, kClickRight = 2, kClickDouble = 3 };
enum ClickButton { kButtonLeft = 0, kButtonRight = 1 };

// What the previous left press was; zero-initialised means "none yet".
struct ClickHistory {
  int32_t haveLeft;     // 1 once a left press was seen
  int32_t lastWasDouble;
  uint32_t lastTime;    // milliseconds, wrapping tick count
  int32_t lastX, lastY;
};

// The double-click rule of the desktop: a second left press within
// doubleTime milliseconds inside a doubleWidth x doubleHeight box centred on
// the first. A press that completed a double click starts afresh, so a
// triple click is double + single. systemSaysDouble is set when the press
// arrived as a double-click message already (windows with CS_DBLCLKS), so
// that both routes agree.
inline int classifyClick(ClickHistory& h, int button, uint32_t time, int x, int y,
                         uint32_t doubleTime, int doubleWidth, int doubleHeight,
                         bool systemSaysDouble = false) {
  if (button == kButtonRight) return kClickRight;
  if (button != kButtonLeft) return kClickNone;
  bool isDouble = systemSaysDouble;
  if (!isDouble && h.haveLeft && !h.lastWasDouble) {
    uint32_t elapsed = time - h.lastTime;  // unsigned: survives the tick count wrapping
    int dx = x - h.lastX, dy = y - h.lastY;
    if (dx < 0) dx = -dx;
    if (dy < 0) dy = -dy;
    isDouble = elapsed < doubleTime && dx <= doubleWidth / 2 && dy <= doubleHeight / 2;
  }
  h.haveLeft = 1;
  h.lastWasDouble = isDouble ? 1 : 0;
  h.lastTime = time;
  h.lastX = x;
  h.lastY = y;
  return isDouble ? kClickDouble : kClickLeft;
}
