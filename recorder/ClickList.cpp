// The click list's eight-line events and the screen-to-picture geometry.
#include "ClickList.h"

#include "LxFile.h"
#include "SysUtils.h"

void appendClickEvent(TStringList& list, const ClickEvent& e) {
  for (int v : {e.frame, e.x, e.y, e.kind, e.hotSpotX, e.hotSpotY}) list.Add(IntToStr(v));
  list.Add("0");
  list.Add("0");
}

std::vector<ClickEvent> readClickEvents(const TStringList& list) {
  std::vector<ClickEvent> events;
  for (int i = 0; i + kClickLines <= list.Count(); i += kClickLines) {
    int v[6];
    bool ok = true;
    for (int k = 0; k < 6 && ok; ++k) {
      try {
        v[k] = StrToInt(list[i + k]);
      } catch (const EConvertError&) {
        ok = false;
      }
    }
    if (ok) events.push_back(ClickEvent{v[0], v[1], v[2], v[3], v[4], v[5]});
  }
  return events;
}

void cursorOnPicture(bool hasShape, int screenX, int screenY, int hotSpotX, int hotSpotY,
                     const TargetOrigin& origin, int& x, int& y) {
  if (!hasShape) {
    x = y = kNoCursorPos;
    return;
  }
  x = screenX - hotSpotX - origin.x;
  y = screenY - hotSpotY - origin.y;
}
