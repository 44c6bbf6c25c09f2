// The click list of a recording (stored as the "mouselist" text of .lx and
// EXE recordings): eight lines per mouse event, and the geometry that turns
// screen positions into positions on the recorded picture. Events and cursor
// positions are both stored relative to the picture, so that a click and the
// cursor drawn for it meet on every kind of target. Portable.
#pragma once

#include <cstdint>
#include <vector>

#include "Classes.h"

struct ClickEvent {
  int frame = 0;  // frames in time written when the event came
  int x = 0, y = 0;  // in picture coordinates
  int kind = 0;      // 1, 2 or 3 as the hook reports it
  int hotSpotX = 0, hotSpotY = 0;  // of the cursor shape shown at that moment
};

constexpr int kClickLines = 8;

// Appends the event's eight lines: frame, x, y, kind, hot-spot x, hot-spot y,
// "0", "0".
void appendClickEvent(TStringList& list, const ClickEvent& event);
// The events of a list in order. The list may come from a file: an event
// whose first six lines are not all integers is skipped, and a last event
// with fewer than eight lines is ignored.
std::vector<ClickEvent> readClickEvents(const TStringList& list);

// Where the cursor icon's corner stands for a click: the click less the hot
// spot. Values come from files: they wrap instead of overflowing.
inline int clickCursorX(const ClickEvent& e) { return static_cast<int>(int64_t(e.x) - e.hotSpotX); }
inline int clickCursorY(const ClickEvent& e) { return static_cast<int>(int64_t(e.y) - e.hotSpotY); }

// Top-left corner of the recorded area on the screen: the window rectangle's
// corner for a window target, (X1, Y1) for a region, (0, 0) otherwise.
struct TargetOrigin {
  int x = 0;
  int y = 0;
};

// A screen point as a point of the recorded picture.
inline void screenToPicture(const TargetOrigin& origin, int& x, int& y) {
  x -= origin.x;
  y -= origin.y;
}

// Where the cursor icon's top-left corner stands on the picture: the cursor's
// screen position less its hot spot and the target's origin; (-1000, -1000)
// when no shape could be taken.
void cursorOnPicture(bool hasShape, int screenX, int screenY, int hotSpotX, int hotSpotY,
                     const TargetOrigin& origin, int& x, int& y);
