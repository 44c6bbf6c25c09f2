// The menu rules of the recording list; see the header.
#include "RecordingMenus.h"

#include "SysUtils.h"

namespace {

// What a rule asks of the selection. Extensions compare in lower case.
enum Need { Selected, Preview, AviExeLx, Lx, Avi, Exe, Wmv };

struct Rule {
  RecordingMenu menu;
  Need need;
  std::vector<const char*> items;
};

const std::vector<Rule>& rules() {
  static const std::vector<Rule> table = {
      {RecordingMenu::File, AviExeLx, {"N8", "N9", "N44"}},
      {RecordingMenu::File, Lx, {"N26"}},
      {RecordingMenu::File, Preview, {"N3", "P1"}},
      {RecordingMenu::Edit, Preview, {"N30"}},
      {RecordingMenu::Edit, Selected, {"N31"}},
      {RecordingMenu::Edit, Avi, {"AVI1"}},
      {RecordingMenu::Edit, Exe, {"EXEE1", "EXE1", "EXE5", "EXEFLASH1", "EXEASF1", "N46"}},
      {RecordingMenu::Generate, Selected, {"N19", "N20", "O1"}},
      {RecordingMenu::ListPopup, Selected, {"N28", "N29", "N43"}},
      {RecordingMenu::ListPopup, Avi, {"N34", "AVI2", "AVI5", "AVI6", "AVI7"}},
      {RecordingMenu::ListPopup, Exe,
       {"N34", "EXEE2", "EXE2", "EXE6", "EXEFLASH2", "N45", "EXEASF2", "N48", "EXEAVI2", "EXE10", "EXE11", "EXE12",
        "EXE13"}},
      {RecordingMenu::ListPopup, Wmv, {"N34", "WMV2", "WMV3"}},
      {RecordingMenu::ListPopup, Selected, {"N36"}},
  };
  return table;
}

bool meets(Need need, const AnsiString& currentFile, int previewWidth) {
  const bool selected = !currentFile.IsEmpty();
  const AnsiString ext = ExtractFileExt(currentFile).LowerCase();
  switch (need) {
    case Selected: return selected;
    case Preview: return previewWidth > 0;
    case AviExeLx: return selected && (ext == ".avi" || ext == ".exe" || ext == ".lx");
    case Lx: return selected && ext == ".lx";
    case Avi: return selected && ext == ".avi";
    case Exe: return selected && ext == ".exe";
    case Wmv: return selected && ext == ".wmv";
  }
  return false;
}

}  // namespace

std::vector<MenuItemSwitch> recordingMenuSwitches(RecordingMenu menu, const AnsiString& currentFile,
                                                  int previewWidth) {
  // An item named by several rules (the context menu's "播放") is on when any
  // of them holds.
  std::vector<MenuItemSwitch> out;
  for (const Rule& rule : rules()) {
    if (rule.menu != menu) continue;
    const bool on = meets(rule.need, currentFile, previewWidth);
    for (const char* name : rule.items) {
      auto it = out.begin();
      while (it != out.end() && it->item != name) ++it;
      if (it == out.end()) out.push_back({name, on});
      else it->on = it->on || on;
    }
  }
  return out;
}
