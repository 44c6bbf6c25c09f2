// Closing the main window: the refusals (preview, recording, a waiting
// schedule), then the teardown of what start-up made, with set.dat written
// back. A teardown step that fails (a set.dat that cannot be saved) is
// reported and the rest still runs: the window never stays half torn down.

#include <cmath>

#include "MainForm_win.h"
#include "Irecorder.h"

#include <mmsystem.h>
#include "RecordingMixer.h"
#include "Registry.h"
#include "SysUtils.h"
#include "SystemHelpers.h"
#include "WmvLibrary_win.h"
#include "Camera_win.h"
#include "DisplayKeeper_win.h"
#include "MirrorDriver_win.h"
#include "Overlay_win.h"
#include "ShutdownRules.h"

namespace {
void closeMouseHelperWindow() {
  HWND w = FindWindowW(nullptr, L"" HELPER_WINDOW_TITLE);
  if (w) SendMessageW(w, WM_CLOSE, 0, 0);
}
}  // namespace

void TMainForm::FormClose(TObject* Sender, TCloseAction& Action) {
  CloseState state;
  state.loadingSettings = loadingSettings != 0;
  state.previewRunning = SpeedButton21->Caption() != "预览";
  state.recordingExists = !ToolButton2->Enabled();
  state.scheduleState = scheduleState;
  switch (firstCloseStep(state)) {
  case CloseStep::closeEarly:
    if (winsockStarted_) WSACleanup();
    winsockStarted_ = false;
    return;
  case CloseStep::refusePreview:
    ShowMessage("请先停止预览");
    Action = caNone;
    return;
  case CloseStep::refuseRecording:
    ShowMessage("正在录制动画,如果要关闭软件请先停止录制");
    Action = caNone;
    return;
  case CloseStep::askSchedule:
    if (Application->MessageBox("现在处于定时等待状态,要退出定时并关闭软件吗?", "Vidorra", MB_OKCANCEL) != IDOK) {
      Action = caNone;
      return;
    }
    setScheduleState(0);
    break;
  case CloseStep::tearDown: break;
  }
  if (winsockStarted_) WSACleanup();
  winsockStarted_ = false;
  if (mciDeviceId != 0) mciSendCommandW(static_cast<MCIDEVICEID>(mciDeviceId), MCI_CLOSE, 0, 0);
  mciDeviceId = 0;
  // May offer the upgrade page; a fetch still under way is not waited for.
  if (N54->Checked()) checkUpdateNotice();

  unregisterHotKeys();
  if (pickHookProc) pickHookProc(FALSE, Handle());
  if (hookLibrary) FreeLibrary(hookLibrary);
  if (hookLibrary1) FreeLibrary(hookLibrary1);
  hookLibrary = hookLibrary1 = nullptr;
  pickHookProc = clickHookProc = nullptr;
  getNowCursorProc = nullptr;
  setcxProc = nullptr;
  unloadWmvLibrary();
  if (instanceMutex) ReleaseMutex(instanceMutex);
  if (soundDoneEvent) CloseHandle(soundDoneEvent);
  soundDoneEvent = nullptr;
  delete frameStream;
  delete prevFrameStream;
  frameStream = prevFrameStream = nullptr;
  if (isVistaOrLater()) closeMouseHelperWindow();

  closingSettingsFailed = false;
  try {
    updateSettingsFile(settingsPath(), [this](SettingsFile& s) { storeIntoSettings(s); });
  } catch (const std::exception& e) {
    closingSettingsFailed = true;
    Application->ShowException(e.what());
  } catch (...) {
    closingSettingsFailed = true;
  }

  // The keeper puts the display acceleration back as it found it.
  delete overlay;
  overlay = nullptr;
  delete mixer;
  mixer = nullptr;
  delete mirrorDriver;
  mirrorDriver = nullptr;
  delete displayKeeper;
  displayKeeper = nullptr;
  delete camera;
  camera = nullptr;
  restoreXvidStatusWindow();
}

void TMainForm::storeIntoSettings(SettingsFile& s) const {
  using namespace SettingsLine;
  CustomInfoPlacement p;
  p.x = infoX;
  p.y = infoY;
  p.marginX = infoMarginX;
  p.marginY = infoMarginY;
  p.corner = infoCorner;
  s.setCustomInfoPlacement(p);
  s.setText(customInfoText, infoText);
  s.setInteger(customInfoFontSize, infoFontSize);
  s.setInteger(customInfoFontColor, infoFontColor);
  s.setText(customInfoFontName, infoFontName);
  s.setFlag(customInfoBold, infoBold);
  s.setFlag(customInfoItalic, infoItalic);
  s.setFlag(customInfoUnderline, infoUnderline);
  s.setFlag(customInfoStrikeOut, infoStrikeOut);

  s.setFlag(recordSound, CheckBox2->Checked());
  s.setRecordCursor(CheckBox3->Checked());
  s.setFlag(autoCheck8, CheckBox8->Checked());
  s.setFlag(stopOnTooManyFrames, CheckBox13->Checked());
  s.setFlag(recordDirect, CheckBox11->Checked());
  s.setFlag(customInfoOn, CheckBox12->Checked());
  s.setDirectOutput(RadioButton5->Checked() ? DirectOutput::avi : DirectOutput::exe);
  s.setText(tempFolder, Edit2->Text());
  s.setFlag(showRegionBeforeRecording, CheckBox1->Checked());
  s.setInteger(windowWhileRecording, RadioButton1->Checked() ? 1 : RadioButton3->Checked() ? 3 : 2);
  s.setSoundFormat(soundBits, soundRate);
  s.setAviCompressValues(aviCompressOptions);
  s.setFlag(clickSound, CheckBox15->Checked());
  s.setInteger(frameRate, StrToIntDef(Edit9->Text(), 0));
  s.setFlag(recordVideoOverlay, CheckBox16->Checked());
  s.setFlag(captureLayered, CheckBox17->Checked());
  s.setFlag(useMirrorDriver, CheckBox19->Checked());
  s.setFlag(keepDisplaySpecialSetting, keepDisplaySpecialLine(CheckBox21->Checked(), CheckBox22->Checked()));
  s.setInteger(SettingsLine::drawTool, drawTool);
  s.setInteger(SettingsLine::drawPenWidth, drawPenWidth);
  s.setInteger(SettingsLine::drawPenColor, drawPenColor);
  s.setFlag(deferFinalProcessing, CheckBox23->Checked());
  s.setTimeOfDay(scheduleStartTime, DateTimePicker2->DateTime() - std::floor(DateTimePicker2->DateTime()));
  s.setTimeOfDay(scheduleEndTime, DateTimePicker3->DateTime() - std::floor(DateTimePicker3->DateTime()));
  s.setDirectWmvSettings(directWmvSettings);
  s.setInteger(regionLeft, StrToIntDef(Edit3->Text(), 0));
  s.setInteger(regionTop, StrToIntDef(Edit4->Text(), 0));
  s.setInteger(regionRight, StrToIntDef(Edit5->Text(), 0));
  s.setInteger(regionBottom, StrToIntDef(Edit6->Text(), 0));
  s.setFlag(cameraSpecialSetting,
            cameraSpecialLine(CheckBox21->Checked(), CheckBox24->Checked(), CheckBox25->Checked()));
  s.setFlag(timeCaptionOn, CheckBox26->Checked());
  s.setFlag(keepMixerSettings, CheckBox27->Checked());
  s.setInteger(mixerSource, savedSoundSource);
  s.setInteger(mixerVolume, savedSoundVolume);
  s.setInteger(SettingsLine::monitorWindowChoice, monitorWindowChoice);
  s.setFlag(autoUpdateNotice, N54->Checked());
}

void TMainForm::restoreXvidStatusWindow() {
  AnsiString path = appDir + "setc.dat";
  KeptCodecValues kept;
  kept.loadFromFile(path);
  const char* const keys[2] = {"\\Software\\GNU\\XviD", "\\Software\\GNU\\XviD\\config"};
  for (int i = 0; i < 2; ++i) {
    if (kept.value(i) == 0) continue;
    try {
      TRegistry reg;
      reg.RootKey = HKEY_CURRENT_USER;
      if (!reg.OpenKey(keys[i], true)) continue;
      reg.WriteInteger("display_status", kept.value(i));
      kept.setValue(i, 0);
    } catch (...) {
    }
  }
  try {
    kept.saveToFile(path);
  } catch (...) {
  }
}
