// The four global hot keys: their registration (first show and the hot-key
// page's "应用(&O)") and release. All four share one modifier set; each
// failure names its own key and the others are still registered.
#include "MainForm_win.h"

namespace {
struct KeyText {
  const char* firstShow;
  const char* hotKeyPage;
};
// Messages by id (start/stop, pause/continue, single frame, drawing board).
const KeyText kFailures[4] = {
    {"热键1注册失败", "开始/停止热键注册失败"},
    {"热键2注册失败", "暂停/继续注册失败"},
    {"暂停单帧热键注册失败", "暂停单帧热键注册失败"},
    {"打开/关闭屏幕画板快捷键注册失败", "打开/关闭屏幕画板快捷键注册失败"},
};
}  // namespace

int TMainForm::registerHotKeys(const HotKeySettings& keys, bool fromHotKeyPage) {
  hotKeyStartStop = 0;
  hotKeyPause = 1;
  hotKeySingleFrame = 2;
  hotKeyDrawBoard = 3;
  const int ids[4] = {hotKeyStartStop, hotKeyPause, hotKeySingleFrame, hotKeyDrawBoard};
  const AnsiString* names[4] = {&keys.startStop, &keys.pause, &keys.pauseFrame, &keys.drawBoard};
  int registered = 0;
  for (int i = 0; i < 4; ++i) {
    if (RegisterHotKey(Handle(), ids[i], static_cast<UINT>(keys.modifiers()), static_cast<UINT>(hotKeyCode(*names[i]))))
      ++registered;
    else
      ShowMessage(fromHotKeyPage ? kFailures[i].hotKeyPage : kFailures[i].firstShow);
  }
  return registered;
}

void TMainForm::unregisterHotKeys() {
  UnregisterHotKey(Handle(), hotKeyStartStop);
  UnregisterHotKey(Handle(), hotKeyPause);
  UnregisterHotKey(Handle(), hotKeySingleFrame);
  UnregisterHotKey(Handle(), hotKeyDrawBoard);
}

void TMainForm::SpeedButton4Click(TObject* Sender) {
  unregisterHotKeys();
  HotKeySettings keys;
  keys.ctrl = CheckBox5->Checked();
  keys.alt = CheckBox6->Checked();
  keys.shift = CheckBox7->Checked();
  keys.startStop = ComboBox1->Text();
  keys.pause = ComboBox2->Text();
  keys.pauseFrame = ComboBox3->Text();
  keys.drawBoard = ComboBox5->Text();
  int registered = registerHotKeys(keys, true);
  // The choice is kept even when a key is taken, so the next start tries it.
  rewriteHotKeys(settingsPath(), keys);
  if (registered == 4) ShowMessage("修改热键成功");
}
