// The start/stop key combination as the stop tip spells it for the user,
// such as "Ctrl+Shift+F5", from the hot-key lines of set.dat. Portable.
#pragma once

#include "SettingsFile.h"

// "Ctrl", "Alt" and "Shift" for the modifiers that are on, in that order,
// then the start/stop key's name, joined by "+".
AnsiString spellStopKey(const HotKeySettings& keys);
