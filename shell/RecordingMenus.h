// Which menu items fit the selected recording: the File, Edit and
// generate-mode menus enable theirs when they open, the recording list's
// context menu shows only its fitting items. The rules are a table of item
// names by selection kind; the main window applies the answer to the items
// of those names. Items outside the table keep their state. Portable.
#pragma once

#include <string>
#include <vector>

#include "System.h"

enum class RecordingMenu {
  File,      // F1: enabling
  Edit,      // E2: enabling
  Generate,  // N18: enabling
  ListPopup  // PopupMenu2: visibility
};

struct MenuItemSwitch {
  std::string item;  // the component name
  bool on;           // enabled, or for the context menu shown
};

// Every item the menu's rules name, once each, with whether it is on for
// this selection (currentFile empty: none) and a preview of that width.
std::vector<MenuItemSwitch> recordingMenuSwitches(RecordingMenu menu, const AnsiString& currentFile,
                                                  int previewWidth);
