// The main form's recording commands (see RecordingControl_win.h).
#include "RecordingControl_win.h"

#include "MainForm_win.h"

#include <mmsystem.h>

#include <memory>

#include "CursorCapture_win.h"
#include "Irecorder.h"
#include "LxOutput.h"
#include "RecordingNames.h"
#include "RecordingSession.h"
#include "SysUtils.h"
#include "WinRecorderPlatform_win.h"

namespace {

class RecordingControl {
public:
  explicit RecordingControl(TMainForm& form)
      : form_(form), pacer_([this] { return postTick(); }) {}
  ~RecordingControl() { killTimer(); }

  void onHotKey(TMessage& m);
  void onTick() {
    if (session_) session_->onTick();
  }
  void onClick(TMessage& m);
  void onEndSession(TMessage& m);
  int queryAnswer() const { return state_.queryAnswer(); }

private:
  bool postTick() {
    return PostMessageW(window_, WM_CAPTURE_TICK, 0, 0) != 0;
  }
  static void CALLBACK timerProc(UINT, UINT, DWORD_PTR user, DWORD_PTR, DWORD_PTR) {
    reinterpret_cast<RecordingControl*>(user)->pacer_.onTimer();
  }
  void start();
  void stop();
  void pauseOrContinue();
  bool startTimer(int msPerFrame);
  void killTimer();
  void setClickCapture(bool on);
  void setRecordingControls(bool recording);
  void afterStop();

  TMainForm& form_;
  HWND window_ = nullptr;
  RecordingStateMachine state_;
  TickPacer pacer_;
  std::unique_ptr<WinRecorderPlatform> platform_;
  std::unique_ptr<RecordingSession> session_;
  UINT timerId_ = 0;
  bool periodSet_ = false;
  bool hidMainForm_ = false;
  int lastClickX_ = -1, lastClickY_ = -1, lastHotX_ = 0, lastHotY_ = 0;
};

// A refused start: its message, and the focus where the user must correct.
void refuse(const AnsiString& message, TWinControl* focus = nullptr) {
  ShowMessage(message);
  if (focus) focus->SetFocus();
}

bool readInt(TEdit* edit, int& value) {
  try {
    value = StrToInt(Trim(edit->Text()));
    return true;
  } catch (const Exception&) {
    refuse("输入的不是一个整数", edit);
    return false;
  }
}

void RecordingControl::onHotKey(TMessage& m) {
  if (!form_.hotKeysArmed) return;
  const int id = static_cast<int>(m.WParam);
  if (id == form_.hotKeyStartStop) {
    if (state_.hasRecording())
      stop();
    else
      start();
  } else if (id == form_.hotKeyPause && session_) {
    pauseOrContinue();
  } else if (id == form_.hotKeySingleFrame && session_ && state_.state() == RecorderState::Paused) {
    session_->singleFrame();
  }
}

void RecordingControl::start() {
  window_ = form_.Handle();
  // Frame rate: any decimal number above 0 up to 50.
  double fps = 0;
  try {
    fps = StrToFloat(Trim(form_.Edit9->Text()));
  } catch (const Exception&) {
    return refuse("输入的不是一个数值", form_.Edit9);
  }
  if (fps <= 0) return refuse("数值必须大于零", form_.Edit9);
  if (fps > 50) return refuse("数值不能太大", form_.Edit9);

  const AnsiString folder = form_.Edit2->Text();
  const AnsiString name = form_.Edit1->Text();
  const AnsiString outputPath = outputFileName(folder, name, OutputChoice::Lx);
  // An unfinished recording of the same name would be overwritten by this
  // one's later finishing, so it blocks the start as the output itself does.
  for (OutputStage stage : {OutputStage::Final, OutputStage::Exw, OutputStage::Avw}) {
    const AnsiString taken = outputFileName(folder, name, OutputChoice::Lx, stage);
    if (FileExists(taken)) {
      form_.PageControl1->SetActivePageIndex(0);
      form_.PageControl2->SetActivePageIndex(0);
      return refuse(taken + "已经存在，请换一个文件名", form_.Edit1);
    }
  }

  LxHeader header = {};
  header.msPerFrame = static_cast<int32_t>(1000 / fps);
  CaptureOptions capture;
  capture.pixelFormat = pf16bit;
  if (form_.RadioButton8->Checked()) {
    // A window target needs a picked window, which this road never has.
    return refuse("请重新选定目标");
  } else if (form_.RadioButton9->Checked()) {
    int x1, y1, x2, y2;
    if (!readInt(form_.Edit3, x1) || !readInt(form_.Edit4, y1) || !readInt(form_.Edit5, x2) ||
        !readInt(form_.Edit6, y2))
      return;
    if (x1 < 0 || y1 < 0 || x2 > GetSystemMetrics(SM_CXSCREEN) || y2 > GetSystemMetrics(SM_CYSCREEN) || x1 >= x2 ||
        y1 >= y2)
      return refuse("录像范围设置不对");
    capture.target = CaptureTargetKind::Region;
    capture.regionLeft = x1;
    capture.regionTop = y1;
    capture.width = x2 - x1;
    capture.height = y2 - y1;
  } else {
    capture.target = CaptureTargetKind::FullScreen;
    capture.width = GetSystemMetrics(SM_CXSCREEN);
    capture.height = GetSystemMetrics(SM_CYSCREEN);
  }

  SessionOptions options;
  options.hasSound = form_.CheckBox2->Checked();
  options.soundPath = liveSoundFileName(outputPath);
  options.framesPerSecond = fps;
  if (FileExists(options.soundPath) && !DeleteFileW(Cp936ToWide(options.soundPath).c_str()))
    return refuse(options.soundPath + "已经存在,且无法删除");
  options.origin = TargetOrigin{capture.regionLeft, capture.regionTop};

  header.captureTarget = static_cast<int32_t>(capture.target);
  header.width = capture.width;
  header.height = capture.height;
  header.pixelFormat = static_cast<int32_t>(capture.pixelFormat);
  header.hasCursor = form_.CheckBox3->Checked() ? 1 : 0;
  capture.recordCursor = header.hasCursor != 0;
  capture.framesPerSecond = fps < 1 ? 1 : static_cast<int>(fps);
  capture.captureLayered = form_.captureBltFlag != 0;
  capture.nowCursor = reinterpret_cast<void*>(getNowCursorProc);

  WinPlatformOptions po;
  po.soundServer = form_.recorder;
  po.stopEvent = form_.soundDoneEvent;
  po.soundRate = form_.soundRate;
  po.soundBits = form_.soundBits;
  po.mainWindow = window_;
  po.stopHotKeyId = form_.hotKeyStartStop;
  po.folder = folder;
  po.capture = capture;
  platform_.reset(new WinRecorderPlatform(po));
  session_.reset(new RecordingSession(header, std::unique_ptr<RecordingOutput>(new LxOutput(outputPath)), *platform_,
                                      options, state_, pacer_));
  platform_->setSession(session_.get());
  if (!session_->start()) {
    session_.reset();
    platform_.reset();
    return refuse("创建文件失败:" + outputPath);
  }

  lastClickX_ = lastClickY_ = -1;
  setClickCapture(true);
  if (form_.RadioButton2->Checked() || form_.RadioButton3->Checked()) {
    form_.Hide();
    hidMainForm_ = true;
  }
  setRecordingControls(true);
  form_.currentFile = outputPath;
  if (!startTimer(header.msPerFrame)) {
    // No tick will ever come: the recording is ended at once rather than
    // left running with nothing that could stop it.
    ShowMessage("设置定时器失败");
    session_->requestStop(StopReason::NoTicks);
    afterStop();
  }
}

bool RecordingControl::startTimer(int msPerFrame) {
  TIMECAPS caps;
  if (timeGetDevCaps(&caps, sizeof caps) != TIMERR_NOERROR) return false;
  if (timeBeginPeriod(1) == TIMERR_NOCANDO) return false;
  periodSet_ = true;
  timerId_ = timeSetEvent(static_cast<UINT>(msPerFrame), 1, timerProc, reinterpret_cast<DWORD_PTR>(this),
                          TIME_PERIODIC | TIME_CALLBACK_FUNCTION);
  return timerId_ != 0;
}

void RecordingControl::killTimer() {
  if (timerId_) timeKillEvent(timerId_);
  timerId_ = 0;
  if (periodSet_) timeEndPeriod(1);
  periodSet_ = false;
}

void RecordingControl::setClickCapture(bool on) {
  const OSVERSIONINFOA& v = form_.osVersion;
  if (v.dwPlatformId == VER_PLATFORM_WIN32_NT && v.dwMajorVersion > 5) {
    if (HWND helper = FindWindowA(nullptr, HELPER_WINDOW_TITLE))
      SendMessageW(helper, kHelperCommandMessage, on ? 2 : 0, reinterpret_cast<LPARAM>(window_));
  } else if (clickHookProc) {
    clickHookProc(on ? TRUE : FALSE, window_);
  }
}

void RecordingControl::setRecordingControls(bool recording) {
  form_.PageControl1->SetEnabled(!recording);
  form_.FileListBox1->SetEnabled(!recording);
  form_.F1->SetEnabled(!recording);
  form_.ToolButton2->SetEnabled(!recording);
  form_.ToolButton3->SetEnabled(recording);
  form_.ToolButton4->SetEnabled(recording);
  form_.ToolButton5->SetEnabled(false);
  if (!recording) form_.ToolButton3->SetDown(false);
}

void RecordingControl::pauseOrContinue() {
  if (state_.state() == RecorderState::Recording) {
    if (!session_->pause()) return;
    form_.ToolButton5->SetEnabled(true);
    form_.ToolButton3->SetDown(true);
  } else if (state_.state() == RecorderState::Paused) {
    if (!session_->resume()) return;
    form_.ToolButton5->SetEnabled(false);
    form_.ToolButton3->SetDown(false);
  }
}

void RecordingControl::stop() {
  if (!session_) return;
  // The finish may take a while: no second command may come in meanwhile.
  form_.hotKeysArmed = 0;
  const bool stopped = session_->requestStop(StopReason::User);
  form_.hotKeysArmed = 1;
  if (stopped) afterStop();
}

void RecordingControl::afterStop() {
  killTimer();
  setClickCapture(false);
  const AnsiString message = session_->stopMessage();
  const bool clean = session_->finishedCleanly();
  const AnsiString path = session_->output() ? session_->output()->path() : AnsiString();
  const int timeouts = platform_->stopTimeouts();
  session_.reset();
  platform_.reset();

  setRecordingControls(false);
  const AnsiString folder = form_.Edit2->Text();
  form_.nextFileNumber = nextFreeFileNumber(folder);
  form_.Edit1->SetText(recordingBaseName(form_.nextFileNumber));
  form_.FileListBox1->Update();
  if (hidMainForm_) form_.Show();
  hidMainForm_ = false;

  if (!message.IsEmpty()) ShowMessage(message);
  if (!clean) ShowMessage("录制过程发生错误，已停止录制");
  // The sound server never said it closed the file: the sound may be cut.
  if (timeouts > 0) ShowMessage("录音程序没有及时结束录音,声音文件可能不完整:" + liveSoundFileName(path));
}

void RecordingControl::onClick(TMessage& m) {
  if (!session_ || !platform_) return;
  const int kind = static_cast<int>(m.WParam);
  const int x = static_cast<short>(LOWORD(m.LParam));
  const int y = static_cast<short>(HIWORD(m.LParam));
  // A second click on the same point keeps the first one's hot spot: the
  // shape under it may already be the one the click itself brought.
  if (x != lastClickX_ || y != lastClickY_) {
    CursorCapture& cursor = platform_->frameCapture().cursor();
    lastHotX_ = cursor.hotSpotX();
    lastHotY_ = cursor.hotSpotY();
    lastClickX_ = x;
    lastClickY_ = y;
  }
  session_->onClick(x, y, kind, lastHotX_, lastHotY_);
}

void RecordingControl::onEndSession(TMessage& m) {
  if (!m.WParam || !session_) return;
  session_->endSession();
  killTimer();
  setClickCapture(false);
  session_.reset();
  platform_.reset();
}

}  // namespace

void installRecordingControl(TMainForm& form) {
  std::shared_ptr<RecordingControl> control(new RecordingControl(form));
  form.onHotKey = [control](TMessage& m) { control->onHotKey(m); };
  form.onRecordTick = [control](TMessage&) { control->onTick(); };
  form.onHookClick = [control](TMessage& m) { control->onClick(m); };
  form.onEndSession = [control](TMessage& m) { control->onEndSession(m); };
  form.onQueryRecordState = [control](TMessage& m) { m.Result = control->queryAnswer(); };
}
