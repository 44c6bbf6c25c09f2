// The spelled start/stop key (see StopKeyText.h).
#include "StopKeyText.h"

AnsiString spellStopKey(const HotKeySettings& keys) {
  AnsiString text;
  auto add = [&text](const AnsiString& part) { text = text.IsEmpty() ? part : text + "+" + part; };
  if (keys.ctrl) add("Ctrl");
  if (keys.alt) add("Alt");
  if (keys.shift) add("Shift");
  add(keys.startStop);
  return text;
}
