// The main form's message table and the small handlers of the record-mode
// pages: which window message goes to which handler, the page guards while
// a preview runs or a schedule waits, the help buttons and a few options.
// The recorder's messages go to hooks that the recorder sets; until then
// they are taken and nothing happens.

#include "MainForm_win.h"

#include <mmsystem.h>

#include "OnceTipsForm_win.h"

namespace {
void call(const std::function<void(TMessage&)>& handler, TMessage& m) {
  if (handler) handler(m);
}
const UINT kHelpDisplayTopic = 0;  // HH_DISPLAY_TOPIC
}  // namespace

void TMainForm::Dispatch(TMessage& m) {
  // A job in the progress window pumps messages: no command of the main
  // window (menu, short cut, toolbar, list) may start inside it.
  if (jobRunning && m.Msg == WM_COMMAND) return;
  switch (m.Msg) {
  case WM_ENDSESSION: wmEndSession(m); return;
  case WM_SYSCOMMAND: wmSysCommand(m); return;
  case WM_HOTKEY: wmHotKey(m); return;
  case WM_PICK_MOVE: call(onPickMove, m); return;
  case WM_PICK_END: call(onPickDone, m); return;
  case WM_TRAY_NOTIFY: call(onTrayIcon, m); return;
  case WM_HOOK_CLICK: call(onHookClick, m); return;
  case WM_CAPTURE_TICK: call(onRecordTick, m); return;
  case WM_QUERY_RECORD_STATE: wmQueryRecordState(m); return;
  case WM_OPEN_HELP: wmShowHelp(m); return;
  case WM_CAMERA_PREVIEW: call(onCameraPreview, m); return;
  case WM_HOST_SWITCHED: wmReopenWebPage(m); return;
  }
  TForm::Dispatch(m);
}

void TMainForm::wmSysCommand(TMessage& m) {
  if ((m.WParam & 0xFFF0) == SC_MINIMIZE && trayIconShown == 1) {
    // The guide goes with the main form and comes back with it.
    if (guide && guide->guideVisible()) {
      guide->hideGuide();
      guide->setShowWithMain(1);
    }
    Hide();
    m.Result = 0;
    return;
  }
  TForm::Dispatch(m);
}

void TMainForm::wmHotKey(TMessage& m) {
  if (loadingSettings || jobRunning) return;
  call(onHotKey, m);
}

void TMainForm::wmEndSession(TMessage& m) {
  call(onEndSession, m);
  TForm::Dispatch(m);
}

void TMainForm::wmQueryRecordState(TMessage& m) {
  if (loadingSettings) return;
  if (onQueryRecordState) {
    onQueryRecordState(m);
    return;
  }
  // Idle unless a recording exists (the start button is then disabled).
  m.Result = !ToolButton2->Enabled() ? (ToolButton5->Enabled() ? 3 : 2) : 1;
}

void TMainForm::wmShowHelp(TMessage& m) { H2Click(this); }

void TMainForm::HelpRequested(TMessage& m) {
  H2Click(this);
  m.Result = 1;
}

void TMainForm::openHelpTopic(const char* topic) {
  if (!htmlHelpProc) return;
  AnsiString target = appDir + "help.chm";
  if (topic) target = target + "::/" + topic;
  htmlHelpProc(GetDesktopWindow(), target.c_str(), kHelpDisplayTopic, 0);
}

void TMainForm::H2Click(TObject* Sender) { openHelpTopic(nullptr); }
void TMainForm::SpeedButton22Click(TObject* Sender) { openHelpTopic("(录像模式)快捷键.htm"); }
void TMainForm::SpeedButton23Click(TObject* Sender) { openHelpTopic("(录像模式)录制目标.htm"); }
void TMainForm::X1Click(TObject* Sender) { Close(); }

void TMainForm::PageControl1Changing(TObject* Sender, bool& AllowChange) {
  if (SpeedButton21->Caption() != "预览") AllowChange = false;
}
void TMainForm::PageControl2Changing(TObject* Sender, bool& AllowChange) {
  if (SpeedButton21->Caption() != "预览") AllowChange = false;
}

void TMainForm::PageControl2Change(TObject* Sender) {
  if (mciDeviceId != 0) {
    mciSendCommandW(static_cast<MCIDEVICEID>(mciDeviceId), MCI_CLOSE, 0, 0);
    BitBtn3->SetCaption("试录");
    BitBtn4->SetEnabled(false);
  }
  mciDeviceId = 0;
  // While a scheduled start waits the option pages stay on the schedule page.
  if (scheduleState == 1 && PageControl2->ActivePageIndex() != 5) {
    PageControl2->SetActivePageIndex(5);
    return;
  }
  // The mixer is read again each time: the user may have changed the
  // default recording device meanwhile.
  if (PageControl2->ActivePageIndex() == 2) {
    refreshSoundPage();
  } else if (PageControl2->ActivePageIndex() == 3 && !CheckBox5->Checked() && !CheckBox6->Checked() &&
             !CheckBox7->Checked()) {
    showOnceTip(TipText::kUseCombinationKeys);
  }
}

void TMainForm::SpeedButton24Click(TObject* Sender) {}
void TMainForm::CheckBox11Click(TObject* Sender) {}
// The custom caption shows on the preview or goes from it.
void TMainForm::CheckBox12Click(TObject* Sender) {
  if (!loadingSettings) TrackBar1Change(Sender);
}
void TMainForm::RadioButton7Click(TObject* Sender) {}
void TMainForm::WMVRadioButtonClick(TObject* Sender) {}

void TMainForm::CheckBox28Click(TObject* Sender) {
  if (!RadioButton7->Checked()) monitorWindowChoice = CheckBox28->Checked() ? 1 : 0;
}

void TMainForm::CheckBox29Click(TObject* Sender) {
  if (loadingSettings || !CheckBox29->Checked()) return;
  ShowMessage(
      "自动关机不保证100%成功,有一些其它程序可能会阻止自动关机,操作系统的一些问题也会造成无法自动关机,录像过程中如果发生意外错误也会造成无法自动关机,建议正式使用此功能前先测试一下是否可以成功自动关机。");
}

void TMainForm::N54Click(TObject* Sender) { N54->SetChecked(!N54->Checked()); }

// The recording commands of the toolbar and the "录像模式" menu travel as the
// hot-key message, as the keys themselves do: start and stop, pause and
// continue, a single frame.
void TMainForm::N22Click(TObject* Sender) { SendMessageW(Handle(), WM_HOTKEY, hotKeyStartStop, 0); }
void TMainForm::N23Click(TObject* Sender) { SendMessageW(Handle(), WM_HOTKEY, hotKeyPause, 0); }
void TMainForm::N24Click(TObject* Sender) { SendMessageW(Handle(), WM_HOTKEY, hotKeySingleFrame, 0); }
void TMainForm::ToolButton10Click(TObject* Sender) { PostMessageW(Handle(), WM_OPEN_HELP, 0, 0); }
