// Which items of the File, Edit and generate-mode menus are enabled, and
// which items of the recording list's context menu are shown, for each kind
// of selection: one table written from the menu rules, each row listing the
// items that are on (every other item the menu's rules name is off).
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "RecordingMenus.h"

namespace {

using Names = std::set<std::string>;

// Every item each menu's rules name.
const Names kFile = {"N8", "N9", "N44", "N26", "N3", "P1"};
const Names kEdit = {"N30", "N31", "AVI1", "EXEE1", "EXE1", "EXE5", "EXEFLASH1", "EXEASF1", "N46"};
const Names kGenerate = {"N19", "N20", "O1"};
const Names kPopup = {"N28", "N29", "N43", "N34", "AVI2", "AVI5", "AVI6", "AVI7", "EXEE2", "EXE2",
                      "EXE6", "EXEFLASH2", "N45", "EXEASF2", "N48", "EXEAVI2", "EXE10", "EXE11", "EXE12",
                      "EXE13", "WMV2", "WMV3", "N36"};

const Names& allOf(RecordingMenu m) {
  switch (m) {
    case RecordingMenu::File: return kFile;
    case RecordingMenu::Edit: return kEdit;
    case RecordingMenu::Generate: return kGenerate;
    case RecordingMenu::ListPopup: return kPopup;
  }
  return kFile;
}

TEST(RecordingMenus, ItemsOnForEachSelection) {
  struct Row {
    const char* selection;
    int previewWidth;
    RecordingMenu menu;
    Names on;
  };
  const Row rows[] = {
      // Nothing selected: only the frame items, when a frame is shown.
      {"", 0, RecordingMenu::File, {}},
      {"", 320, RecordingMenu::File, {"N3", "P1"}},
      {"", 320, RecordingMenu::Edit, {"N30"}},
      {"", 0, RecordingMenu::Generate, {}},
      {"", 0, RecordingMenu::ListPopup, {}},
      // An .lx recording.
      {"C:\\w\\a.lx", 320, RecordingMenu::File, {"N8", "N9", "N44", "N26", "N3", "P1"}},
      {"C:\\w\\a.lx", 0, RecordingMenu::File, {"N8", "N9", "N44", "N26"}},
      {"C:\\w\\a.lx", 320, RecordingMenu::Edit, {"N30", "N31"}},
      {"C:\\w\\a.lx", 0, RecordingMenu::Generate, {"N19", "N20", "O1"}},
      {"C:\\w\\a.lx", 0, RecordingMenu::ListPopup, {"N28", "N29", "N43", "N36"}},
      // An AVI, in capitals too.
      {"C:\\w\\a.avi", 0, RecordingMenu::File, {"N8", "N9", "N44"}},
      {"C:\\w\\a.AVI", 0, RecordingMenu::Edit, {"N31", "AVI1"}},
      {"C:\\w\\a.Avi", 0, RecordingMenu::ListPopup, {"N28", "N29", "N43", "N36", "N34", "AVI2", "AVI5", "AVI6", "AVI7"}},
      // A self-playing EXE.
      {"C:\\w\\a.exe", 640, RecordingMenu::File, {"N8", "N9", "N44", "N3", "P1"}},
      {"C:\\w\\a.EXE", 0, RecordingMenu::Edit, {"N31", "EXEE1", "EXE1", "EXE5", "EXEFLASH1", "EXEASF1", "N46"}},
      {"C:\\w\\a.exe", 0, RecordingMenu::ListPopup,
       {"N28", "N29", "N43", "N36", "N34", "EXEE2", "EXE2", "EXE6", "EXEFLASH2", "N45", "EXEASF2", "N48", "EXEAVI2",
        "EXE10", "EXE11", "EXE12", "EXE13"}},
      // A WMV: not one of the File menu's kinds.
      {"C:\\w\\a.wmv", 0, RecordingMenu::File, {}},
      {"C:\\w\\a.wmv", 0, RecordingMenu::Edit, {"N31"}},
      {"C:\\w\\a.wmv", 0, RecordingMenu::ListPopup, {"N28", "N29", "N43", "N36", "N34", "WMV2", "WMV3"}},
      // The unfinished kinds and the dotless *wmw: only what any selection allows.
      {"C:\\w\\a.exw", 0, RecordingMenu::File, {}},
      {"C:\\w\\a.avw", 0, RecordingMenu::Edit, {"N31"}},
      {"C:\\w\\awmw", 0, RecordingMenu::Generate, {"N19", "N20", "O1"}},
      {"C:\\w\\a.exw", 0, RecordingMenu::ListPopup, {"N28", "N29", "N43", "N36"}},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(std::string(r.selection) + " preview " + std::to_string(r.previewWidth) + " menu " +
                 std::to_string(static_cast<int>(r.menu)));
    Names named, on;
    for (const MenuItemSwitch& s : recordingMenuSwitches(r.menu, r.selection, r.previewWidth)) {
      EXPECT_TRUE(named.insert(s.item).second) << s.item << " named twice";
      if (s.on) on.insert(s.item);
    }
    EXPECT_EQ(named, allOf(r.menu));
    EXPECT_EQ(on, r.on);
  }
}

}  // namespace
