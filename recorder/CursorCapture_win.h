// The cursor of a recording: its shape, read once a second (through the hook
// library's getnowcursor when the recorder has bound it, else from the
// thread of the window under the pointer), its position on every tick, and
// the icon file image that a frame's cursor block stores. Windows only;
// handles are void* so that the header needs no <windows.h>.
#pragma once

#include <cstdint>
#include <vector>

#include "ClickList.h"
#include "RecordingOutput.h"

class CursorCapture {
public:
  // Where the shape came from: none, the own thread's (used as it is), or a
  // copy that this object owns and destroys.
  enum Source { NoShape = 0, OwnThread = 1, Copied = 2 };

  // nowCursor: the hook library's getnowcursor, or null for the thread route.
  CursorCapture(void* nowCursor, int refreshPeriod);
  ~CursorCapture();
  CursorCapture(const CursorCapture&) = delete;
  CursorCapture& operator=(const CursorCapture&) = delete;

  // Once per recorded tick: reads the shape when due (on the first tick, then
  // every refreshPeriod ticks), then the position and the hot spot.
  void tick();

  Source source() const { return source_; }
  void* handle() const { return handle_; }  // HCURSOR; the arrow when no shape was found
  int screenX() const { return screenX_; }  // pointer position on the screen
  int screenY() const { return screenY_; }
  int hotSpotX() const { return hotX_; }
  int hotSpotY() const { return hotY_; }

  // The cursor block of a frame: the icon image of the current shape and the
  // icon corner in picture coordinates (kNoCursorPos when no shape).
  void fillBlock(const TargetOrigin& origin, CursorBlock& block);
  // Draws the shape into a picture's DC at its place on the picture.
  void drawInto(void* dc, const TargetOrigin& origin);

private:
  void refreshShape();
  void releaseShape();

  void* nowCursor_;
  int period_;
  int counter_;
  Source source_ = NoShape;
  void* handle_ = nullptr;
  void* iconOf_ = nullptr;  // the handle whose icon image `icon_` holds
  std::vector<uint8_t> icon_;
  int screenX_ = 0, screenY_ = 0, hotX_ = 0, hotY_ = 0;
};

// The icon file image of a cursor, as a frame stores it: a cursor whose
// mask is blank in its top 32 x 32 is stored as the standard arrow, and a
// monochrome cursor (AND mask above XOR image, no colour) becomes a colour
// icon of the same look. False (bytes empty) when the shape gives nothing.
bool cursorToIcon(void* cursor, std::vector<uint8_t>& bytes);

// True when the top 32 x 32 of a mask bitmap (HBITMAP) is all zero.
bool isCursorMaskBlank(void* mask);
