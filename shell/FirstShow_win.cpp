// The main form's first show: the screen's depth and capture speed, every
// control filled from set.dat, the four hot keys, the working folder and the
// next recording name. A missing, short or damaged set.dat reads as its
// fallbacks line by line (SettingsFile), so the show always completes and
// leaves the form working.
#include <cmath>

#include "Graphics.h"
#include "MainForm_win.h"
#include "WinRecorderPlatform_win.h"

#include <vfw.h>
#include "RecordingMixer.h"
#include "RecordingNames.h"
#include "SysUtils.h"
#include "SystemHelpers.h"
#include "DisplayKeeper_win.h"
#include "OnceTipsForm_win.h"
#include "Overlay_win.h"

namespace {

int measureCaptureSpeed(int bltFlag) {
  HDC screen = GetDC(nullptr);
  int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
  BITMAPINFO bi = {};
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = w;
  bi.bmiHeader.biHeight = h;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 16;
  void* bits = nullptr;
  HBITMAP bmp = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  HDC mem = CreateCompatibleDC(screen);
  HGDIOBJ old = SelectObject(mem, bmp);
  DWORD start = GetTickCount();
  BitBlt(mem, 0, 0, w, h, screen, 0, 0, SRCCOPY | bltFlag);
  int ms = static_cast<int>(GetTickCount() - start);
  SelectObject(mem, old);
  DeleteDC(mem);
  DeleteObject(bmp);
  ReleaseDC(nullptr, screen);
  return ms;
}

bool compressorInstalled(const char* fcc) {
  HIC ic = ICOpen(mmioFOURCC('v', 'i', 'd', 'c'), mmioFOURCC(fcc[0], fcc[1], fcc[2], fcc[3]), ICMODE_COMPRESS);
  if (!ic) return false;
  ICClose(ic);
  return true;
}

void selectKey(TComboBox* box, const AnsiString& name) {
  box->SetItemIndex(box->Items()->IndexOf(name));
  if (box->ItemIndex() < 0) box->SetText(name);
}

}  // namespace

void TMainForm::FormShow(TObject* Sender) {
  if (loadingSettings && !shownOnce_) firstShow();
  // Every show brings the guide back when it went away with the main form.
  if (guide && guide->showWithMain() == 1) guide->showGuide();
}

void TMainForm::firstShow() {
  shownOnce_ = true;
  if (isVistaOrLater()) showOnceTip(TipText::kVistaColourScheme);

  HDC dc = GetDC(nullptr);
  int depth = GetDeviceCaps(dc, BITSPIXEL);
  ReleaseDC(nullptr, dc);
  if (depth == 4) ShowMessage("本软件不支持16色");
  captureSpeedMs = measureCaptureSpeed(captureBltFlag);
  if (CheckBox21->Enabled() && captureSpeedMs < 70) {
    CheckBox21->SetChecked(false);
    CheckBox21->SetEnabled(false);
    CheckBox22->SetChecked(false);
    CheckBox22->SetEnabled(false);
  }
  const bool win7 = osVersion.dwPlatformId == VER_PLATFORM_WIN32_NT &&
                    (osVersion.dwMajorVersion > 6 || (osVersion.dwMajorVersion == 6 && osVersion.dwMinorVersion >= 1));
  CaptureChoice choice = chooseCapture(depth, isVistaOrLater(), win7, captureSpeedMs,
                                       SpeedButton13->Enabled() || CheckBox21->Enabled());
  if (choice.advice == ScreenAdvice::use16BitColour) ShowMessage(StartupText::kUse16BitColour);
  if (choice.advice == ScreenAdvice::tryDriverAcceleration) showOnceTip(StartupText::kTryDriverAcceleration);
  const bool eightBit = choice.eightBit;
  TPixelFormat capturePf = eightBit ? pf8bit : pf16bit;
  capturePixelFormat = static_cast<uint8_t>(capturePf);

  appDir = ExtractFilePath(Application->ExeName());
  SettingsFile s;
  s.loadFromFile(settingsPath());
  fillFromSettings(s);
  playSettings = s.exePlaySettings(eightBit);

  HotKeySettings keys = s.hotKeys();
  registerHotKeys(keys, false);

  setUpWorkingFolder(s);
  delete previewBitmap;
  previewBitmap = new TBitmap();
  previewBitmap->SetPixelFormat(capturePf);

  RadioButton7Click(this);
  pickMode = 0;
  CheckBox11Click(this);
  CheckBox12Click(this);
  if (Edit5->Text() == "0") Edit5->SetText(IntToStr(GetSystemMetrics(SM_CXSCREEN)));
  if (Edit6->Text() == "0") Edit6->SetText(IntToStr(GetSystemMetrics(SM_CYSCREEN)));
  startRecordVideoOverlay();
  loadingSettings = 0;
}

// The record-video indicator needs a stretchable overlay of the display;
// where there is none the object is dropped and the option only records
// what the screen shows. An overlay surface that cannot be made although
// the display offers overlays usually means a video already holds it.
void TMainForm::startRecordVideoOverlay() {
  if (!CheckBox16->Checked() || !hasDirectDrawEx()) return;
  overlay = new ddoverlayclass(Handle());
  int result = overlay->loadDirectDraw();
  if (result == 1) result = overlay->canStretchOverlay();
  if (result == 1) result = overlay->createPrimarySurface();
  if (result == 1) {
    result = overlay->createOverlaySurface(40, 20);
    if (result != 1) showOnceTip(TipText::kVideoMayBeOpen);
  }
  if (result == 1) {
    Timer1->SetEnabled(true);
    // The overlay shows through wherever Image2 is painted in its colour key.
    TCanvas* canvas = Image2->Canvas();
    canvas->Brush.Color = overlay->colorKey;
    canvas->Pen.Color = overlay->colorKey;
    canvas->Rectangle(-1, -1, Image2->Width() + 1, Image2->Height() + 1);
    Image2->Invalidate();
  } else if (result == 0) {
    delete overlay;
    overlay = nullptr;
  }
}

void TMainForm::fillFromSettings(const SettingsFile& s) {
  using namespace SettingsLine;
  HotKeySettings keys = s.hotKeys();
  CheckBox5->SetChecked(keys.ctrl);
  CheckBox6->SetChecked(keys.alt);
  CheckBox7->SetChecked(keys.shift);
  selectKey(ComboBox1, keys.startStop);
  selectKey(ComboBox2, keys.pause);
  selectKey(ComboBox3, keys.pauseFrame);
  selectKey(ComboBox5, keys.drawBoard);

  CheckBox2->SetChecked(s.flag(recordSound));
  CheckBox8->SetChecked(s.flag(autoCheck8));
  CheckBox13->SetChecked(s.flag(stopOnTooManyFrames));
  CheckBox16->SetChecked(s.flag(recordVideoOverlay));
  CheckBox17->SetChecked(s.flag(captureLayered));
  captureBltFlag = CheckBox17->Checked() ? 0x40000000 : 0;
  CheckBox19->SetChecked(false);
  if (CheckBox21->Enabled()) {
    CheckBox21->SetChecked(s.flag(keepDisplaySpecialSetting));
    if (CheckBox21->Checked()) {
      CheckBox22->SetChecked(true);
      if (displayKeeper) displayKeeper->disableAll();
    }
  }
  drawTool = s.integer(SettingsLine::drawTool);
  drawPenWidth = s.integer(SettingsLine::drawPenWidth);
  if (drawPenWidth == 0) drawPenWidth = 4;
  drawPenColor = s.integer(SettingsLine::drawPenColor);
  CheckBox23->SetChecked(s.flag(deferFinalProcessing));
  TDateTime today = std::floor(Now());
  DateTimePicker2->SetDateTime(today + s.timeOfDay(scheduleStartTime));
  DateTimePicker3->SetDateTime(today + s.timeOfDay(scheduleEndTime));
  DateTimePicker4->SetDateTime(today);
  DateTimePicker5->SetDateTime(today);
  s.directWmvSettings(directWmvSettings);
  Edit3->SetText(IntToStr(s.integer(regionLeft)));
  Edit4->SetText(IntToStr(s.integer(regionTop)));
  Edit5->SetText(IntToStr(s.integer(regionRight)));
  Edit6->SetText(IntToStr(s.integer(regionBottom)));
  if (!CheckBox21->Checked()) {
    CheckBox24->SetChecked(s.flag(cameraSpecialSetting));
    if (CheckBox24->Checked()) {
      CheckBox25->SetChecked(true);
      if (displayKeeper) displayKeeper->disableDirectDraw();
    }
  }
  CheckBox26->SetChecked(s.flag(timeCaptionOn));
  CheckBox27->SetChecked(s.flag(keepMixerSettings));
  savedSoundSource = s.integer(mixerSource);
  savedSoundVolume = s.integer(mixerVolume);
  if (CheckBox27->Checked() && mixer) applyKeptMixerSettings(*mixer, savedSoundSource, savedSoundVolume);
  monitorWindowChoice = s.integer(SettingsLine::monitorWindowChoice);
  N54->SetChecked(s.flag(autoUpdateNotice));
  if (N54->Checked()) startUpdateNotice();

  CheckBox11->SetChecked(s.flag(recordDirect));
  CheckBox12->SetChecked(s.flag(customInfoOn));
  if (s.directOutput() == DirectOutput::avi)
    RadioButton5->SetChecked(true);
  else
    RadioButton6->SetChecked(true);
  Edit2->SetText(s.text(tempFolder));
  CheckBox1->SetChecked(s.flag(showRegionBeforeRecording));
  CheckBox3->SetChecked(s.recordCursorOn());
  switch (s.integer(windowWhileRecording)) {
  case 1: RadioButton1->SetChecked(true); break;
  case 3: RadioButton3->SetChecked(true); break;
  default: RadioButton2->SetChecked(true); break;
  }
  soundBits = s.soundBits();
  (soundBits == 16 ? RadioButton10 : RadioButton4)->SetChecked(true);
  soundRate = s.soundRate();
  switch (soundRate) {
  case 8000: RadioButton11->SetChecked(true); break;
  case 22050: RadioButton13->SetChecked(true); break;
  case 44100: RadioButton14->SetChecked(true); break;
  default: RadioButton12->SetChecked(true); break;
  }

  aviCompressOptions = s.aviCompressValues();
  if (aviCompressOptions.fccHandler == 0) {
    const char* chosen = compressorInstalled("xvid") ? "xvid" : compressorInstalled("mp43") ? "mp43" : "msvc";
    aviCompressOptions.fccHandler = mmioFOURCC(chosen[0], chosen[1], chosen[2], chosen[3]);
  }
  aviCompressOptions.flags |= kAviCompressValid;
  CheckBox15->SetChecked(s.flag(clickSound));
  Edit9->SetText(IntToStr(s.integer(frameRate)));
}

void TMainForm::setUpWorkingFolder(const SettingsFile& s) {
  // The fallback folder is the program's own "ls\": made here when missing,
  // so that recordings always have somewhere to go.
  WorkingFolder folder = workingFolder(s, appDir);
  if (folder.fellBack) ensureFolder(folder.path);
  Edit2->SetText(folder.path);
  FileListBox1->SetDirectory(folder.path);
  nextFileNumber = nextFreeFileNumber(folder.path);
  Edit1->SetText(recordingBaseName(nextFileNumber));
  Label4->SetCaption(IntToStr(static_cast<int>(freeDiskMB(folder.path))) + "M");
}
