// The main form's recording commands (see RecordingControl_win.h).
#include "RecordingControl_win.h"

#include "MainForm_win.h"

#include <mmsystem.h>

#include <memory>

#include "AviOutput.h"
#include "CursorCapture_win.h"
#include "ExeOutput.h"
#include "FrameCaptions.h"
#include "Irecorder.h"
#include "LxOutput.h"
#include "MonitorWindow_win.h"
#include "RecordingNames.h"
#include "RecordingSession.h"
#include "RecordingSideWindows_win.h"
#include "SettingsFile.h"
#include "StopTipForm_win.h"
#include "SysUtils.h"
#include "SystemHelpers.h"
#include "TrayIcon_win.h"
#include "WaitForm_win.h"
#include "WinRecorderPlatform_win.h"

namespace {

// The platform as the main form gives it: a direct output that reaches its
// size limit goes on in a file of the next free number, made by the form.
// A direct AVI recording whose picture stays one blank colour (a video
// overlay, a protected window) is ended by the still-picture watch.
class FormRecorderPlatform : public WinRecorderPlatform {
public:
  FormRecorderPlatform(const WinPlatformOptions& options, std::function<std::unique_ptr<RecordingOutput>()> next,
                       bool watchStill, const RecordingStateMachine& state)
      : WinRecorderPlatform(options), next_(std::move(next)), watchStill_(watchStill), state_(state) {}
  void watch(const RecordingSession* session) {
    session_ = session;
    setSession(session);
  }
  std::unique_ptr<RecordingOutput> nextOutput() override { return next_ ? next_() : nullptr; }
  AnsiString soundPathFor(const RecordingOutput& output) override { return liveSoundFileName(output.path()); }
  Capture capture(RecordedPicture& picture) override {
    const Capture c = WinRecorderPlatform::capture(picture);
    if (c != Capture::Picture || !watchStill_ || !session_) return c;
    if (!still_.mustStop(frameCapture().bitmap(), session_->framesInTime() + 1, session_->header().msPerFrame,
                         state_.schedule() == ScheduleState::Running))
      return c;
    if (!stillStopped_) {
      stillStopped_ = true;
      postStopCommand();
    }
    return Capture::Nothing;
  }
  // The notice after a direct AVI recording about its pictures, or "".
  AnsiString stillNotice() const {
    if (!watchStill_) return AnsiString();
    const int line = still_.lineState();
    if (stillStopped_ && still_.blankState() == StillPictureWatch::IsBlank && line == StillPictureWatch::StillOneColour)
      return "没有能够录到图像,自动停止。请看 向导 窗体第6条关于录视频的说明,按说明设置就可以录到图像。使用 文件/向导 "
             "菜单就可以打开 向导 窗体。";
    if (line == StillPictureWatch::Watching || line == StillPictureWatch::StillOneColour)
      return "请试放一下录到的文件,看是否录到图像了,如果没有录到图像,请看 向导 窗体中关于录视频的说明,按说明设置就可以录到"
             "图像。使用 文件/向导 菜单就可以打开 向导 窗体。";
    return AnsiString();
  }

private:
  std::function<std::unique_ptr<RecordingOutput>()> next_;
  bool watchStill_;
  const RecordingStateMachine& state_;
  const RecordingSession* session_ = nullptr;
  StillPictureWatch still_;
  bool stillStopped_ = false;
};

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
  void releaseSession();
  void moveMarkers(RangeMarkerStep step);
  OutputChoice chosenOutput() const;
  std::unique_ptr<RecordingOutput> makeOutput(OutputChoice choice, const AnsiString& folder,
                                              const AnsiString& name, int width, int height);

  TMainForm& form_;
  HWND window_ = nullptr;
  RecordingStateMachine state_;
  TickPacer pacer_;
  // The capturing ticks of the process: never reset, so the periodic work of
  // the tick keeps its phase from one recording to the next.
  int64_t tickCounter_ = 0;
  std::unique_ptr<FormRecorderPlatform> platform_;
  WaitFormHost outputHost_;  // progress and messages of the direct outputs' finish
  std::unique_ptr<RecordingSession> session_;
  std::unique_ptr<RecordingSideWindows> side_;  // the platform's side work; outlives it
  UINT timerId_ = 0;
  bool periodSet_ = false;
  bool hidMainForm_ = false;
  bool finishNow_ = true;  // false: direct outputs are left for later finishing
  int lastClickX_ = -1, lastClickY_ = -1, lastHotX_ = 0, lastHotY_ = 0;
  HWND windowTarget_ = nullptr;  // a window target, and its corner at the start
  int windowStartX_ = 0, windowStartY_ = 0;
  // What the corner markers mark: the target kind, its rectangle at the
  // start, and whether the range is shown while recording.
  CaptureTargetKind markedTarget_ = CaptureTargetKind::FullScreen;
  RECT markedRect_ = {};
  bool showRange_ = false;
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


// The date/time caption's look as the settings keep it (position, free
// position, and, once a font was ever chosen, the background, font and
// style); the caption dialog that edits it keeps the same lines.
TimeCaptionStyle timeCaptionStyleOf(const SettingsFile& s) {
  namespace L = SettingsLine;
  TimeCaptionStyle style;
  style.position = s.integer(L::timeCaptionPosition);
  style.x = s.integer(L::timeCaptionX);
  style.y = s.integer(L::timeCaptionY);
  if (s.integer(L::timeCaptionFontSize) != 0) {
    style.transparent = s.flag(L::timeCaptionFlag);
    style.backColor = static_cast<uint32_t>(s.integer(L::timeCaptionBackColor));
    style.font.size = s.integer(L::timeCaptionFontSize);
    style.font.color = static_cast<uint32_t>(s.integer(L::timeCaptionFontColor));
    if (!s.text(L::timeCaptionFontName).IsEmpty()) style.font.name = s.text(L::timeCaptionFontName);
    style.font.style = (s.flag(L::timeCaptionBold) ? 1 : 0) | (s.flag(L::timeCaptionItalic) ? 2 : 0) |
                       (s.flag(L::timeCaptionUnderline) ? 4 : 0) | (s.flag(L::timeCaptionStrikeOut) ? 8 : 0);
  }
  return style;
}

// The wait form's label during a finish.
void showWaitLabel(const AnsiString& text) {
  if (!WaitForm) return;
  WaitForm->Label1->SetCaption(text);
  WaitForm->Label1->Repaint();
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

OutputChoice RecordingControl::chosenOutput() const {
  if (!form_.CheckBox11->Checked()) return OutputChoice::Lx;
  if (form_.RadioButton5->Checked()) return OutputChoice::DirectAvi;
  if (form_.RadioButton6->Checked()) return OutputChoice::DirectExe;
  if (form_.WMVRadioButton->Checked()) return OutputChoice::DirectWmv;
  return OutputChoice::DirectNone;
}

// The output of the chosen kind for folder + name, for pictures of width x
// height. A direct output places the custom caption for that size first.
std::unique_ptr<RecordingOutput> RecordingControl::makeOutput(OutputChoice choice, const AnsiString& folder,
                                                              const AnsiString& name, int width, int height) {
  if (choice != OutputChoice::Lx) form_.placeCustomInfo(width, height);
  switch (choice) {
    case OutputChoice::Lx:
      return std::unique_ptr<RecordingOutput>(new LxOutput(outputFileName(folder, name, choice)));
    case OutputChoice::DirectExe: {
      ExeOutputOptions o;
      o.stubPath = form_.appDir + "play.dat";
      o.playSettings = form_.playSettings;
      o.trailer = form_.exeTrailer;
      o.keyFrameInterval = parseKeyFrameInterval(form_.Edit8->Text());
      if (form_.CheckBox12->Checked()) {
        o.caption.text = form_.infoText.c_str();
        o.caption.x = form_.infoX;
        o.caption.y = form_.infoY;
        o.caption.fontSize = form_.infoFontSize;
        o.caption.fontName = form_.infoFontName.c_str();
        o.caption.fontColour = form_.infoFontColor;
        o.caption.bold = form_.infoBold;
        o.caption.italic = form_.infoItalic;
        o.caption.underline = form_.infoUnderline;
        o.caption.strikeout = form_.infoStrikeOut;
      }
      // The session mixes the click sounds into the side file at every stop,
      // deferred or not: the later finishing must not add them again.
      o.addClickSounds = false;
      o.showStage = showWaitLabel;
      return std::unique_ptr<RecordingOutput>(
          new ExeOutput(outputFileName(folder, name, choice, OutputStage::Exw), o, &outputHost_));
    }
    case OutputChoice::DirectAvi: {
      AviOutputOptions o;
      o.fccHandler = form_.aviCompressOptions.fccHandler;
      o.keyFrameEvery = parseKeyFrameInterval(form_.Edit8->Text());
      o.quality = form_.aviCompressOptions.quality;
      o.clickSoundsPending = false;  // mixed by the session, as above
      o.clickSoundFolder = form_.appDir;
      return std::unique_ptr<RecordingOutput>(new AviOutput(outputFileName(folder, name, choice), o, &outputHost_));
    }
    default:
      return nullptr;
  }
}

void RecordingControl::start() {
  window_ = form_.Handle();
  const OutputChoice choice = chosenOutput();
  const bool direct = choice != OutputChoice::Lx;
  const bool scheduled = form_.scheduleState == 2;
  // Frame rate: any decimal number above 0 up to 50.
  double fps = 0;
  try {
    fps = StrToFloat(Trim(form_.Edit9->Text()));
  } catch (const Exception&) {
    return refuse("输入的不是一个数值", form_.Edit9);
  }
  if (fps <= 0) return refuse("数值必须大于零", form_.Edit9);
  if (fps > 50) return refuse("数值不能太大", form_.Edit9);
  if (choice == OutputChoice::DirectAvi && fps < 1) return refuse("直接录制成AVI帧数必须大于等于1", form_.Edit9);
  // The stop key, told before the main form goes away; a scheduled start
  // has nobody to tell.
  if (form_.scheduleState == 0) showStopKeyTip(form_);

  const AnsiString folder = form_.Edit2->Text();
  const AnsiString name = form_.Edit1->Text();
  // An unfinished recording of the same name would be overwritten by this
  // one's later finishing, so it blocks the start as the output itself does.
  for (OutputStage stage : {OutputStage::Final, OutputStage::Exw, OutputStage::Avw}) {
    const AnsiString taken = outputFileName(folder, name, choice, stage);
    if (!taken.IsEmpty() && FileExists(taken)) {
      form_.PageControl1->SetActivePageIndex(0);
      form_.PageControl2->SetActivePageIndex(0);
      return refuse(taken + "已经存在，请换一个文件名", form_.Edit1);
    }
  }
  // The WMV library is an outside program that is not part of this build.
  if (choice == OutputChoice::DirectWmv) return refuse("开始直接录制WMV失败");
  if (choice == OutputChoice::DirectNone) return refuse("请选择直接录制生成的格式");

  recordHeader = LxHeader{};
  LxHeader& header = recordHeader;
  header.msPerFrame = static_cast<int32_t>(1000 / fps);
  CaptureOptions capture;
  // The pictures take the depth chosen at the first show: 8-bit on a
  // 256-colour screen, else 16-bit.
  capture.pixelFormat = form_.capturePixelFormat == pf8bit ? pf8bit : pf16bit;
  if (form_.RadioButton8->Checked()) {
    HWND target = form_.targetWindow;
    RECT r;
    if (!target || !IsWindow(target) || !IsWindowVisible(target) || !GetWindowRect(target, &r))
      return refuse("请重新选定目标");
    capture.target = CaptureTargetKind::Window;
    capture.window = target;
    // The window's corner at the start; the capture follows the window as
    // it moves, and onClick measures clicks from where it stands then.
    capture.regionLeft = r.left;
    capture.regionTop = r.top;
    capture.width = r.right - r.left;
    capture.height = r.bottom - r.top;
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

  // Odd sizes make some AVI compressors store slanted pictures: the user may
  // have them rounded down; a scheduled start rounds without asking.
  if (direct && (capture.width % 2 || capture.height % 2)) {
    bool round = scheduled;
    if (form_.scheduleState == 0) {
      const char* question =
          choice == OutputChoice::DirectAvi
              ? "你现在选定的录制范围的宽度或高度是奇数,这可能会造成录出的使用某些压缩方式的(比如Microsoft MPEG-4、Xvid "
                "MPEG-4 Codec)的AVI不能正常播放(图象斜着),需要本软件自动将奇数的宽度或高度减1变成偶数吗?"
              : "你现在选定的录制范围的宽度或高度是奇数,这可能会造成录出的动画转成某些压缩方式(比如Microsoft MPEG-4、Xvid "
                "MPEG-4 Codec)的AVI不能正常播放(图象斜着),如果以后需要将此动画转成AVI格式的话,建议将宽度和高度调成偶数。"
                "需要本软件自动将奇数的宽度或高度减1变成偶数吗?";
      const int answer = Application->MessageBox(question, "Vidorra", MB_YESNOCANCEL);
      if (answer == IDCANCEL) return;
      round = answer == IDYES;
    }
    if (round) {
      capture.width &= ~1;
      capture.height &= ~1;
    }
  }
  // The AVI takes the screen's own depth when it is true colour: its
  // compressors expect those bits, and nothing is gained by packing them.
  if (choice == OutputChoice::DirectAvi) {
    HDC screen = GetDC(nullptr);
    const int bits = GetDeviceCaps(screen, BITSPIXEL);
    ReleaseDC(nullptr, screen);
    if (bits == 24) capture.pixelFormat = pf24bit;
    if (bits == 32) capture.pixelFormat = pf32bit;
    // An AVI has no cursor of its own: it is part of the picture.
    capture.drawCursorIntoPicture = true;
  }

  std::unique_ptr<RecordingOutput> output = makeOutput(choice, folder, name, capture.width, capture.height);
  const AnsiString outputPath = output->path();

  SessionOptions options;
  options.hasSound = form_.CheckBox2->Checked();
  options.soundPath = liveSoundFileName(outputPath);
  options.framesPerSecond = fps;
  options.stopWhenTooFast = form_.CheckBox13->Checked();
  options.addClickSounds = options.hasSound && form_.CheckBox15->Checked();
  options.clickSoundFolder = form_.appDir;
  options.finishNow = !(direct && form_.CheckBox23->Checked());
  finishNow_ = options.finishNow;
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
  // The range of a window or region is shown while recording: by the corner
  // markers where the system has them, else by a flashing frame.
  capture.showRange = form_.CheckBox1->Checked();
  capture.markers = form_.CheckBox20->Enabled() ? form_.cornerMarkers : nullptr;
  // Captions go into the pictures of the direct outputs: the date and time
  // into every frame, the custom text into an AVI's (an EXE keeps it
  // beside the frames, placed above).
  if (direct) {
    capture.drawTimeCaption = form_.CheckBox26->Checked();
    if (capture.drawTimeCaption) {
      SettingsFile s;
      s.loadFromFile(form_.settingsPath());
      capture.timeCaption = timeCaptionStyleOf(s);
    }
    capture.drawCustomInfo = choice == OutputChoice::DirectAvi && form_.CheckBox12->Checked();
    if (capture.drawCustomInfo) capture.customInfo = customInfoOf(form_);
  }

  WinPlatformOptions po;
  po.soundServer = form_.recorder;
  po.stopEvent = form_.soundDoneEvent;
  po.soundRate = form_.soundRate;
  po.soundBits = form_.soundBits;
  po.mainWindow = window_;
  po.stopHotKeyId = form_.hotKeyStartStop;
  po.folder = folder;
  po.capture = capture;
  po.mixer = form_.mixer;
  po.keepMixer = form_.CheckBox27->Checked();
  po.savedSoundSource = &form_.savedSoundSource;
  po.savedSoundVolume = &form_.savedSoundVolume;
  SideWindowOptions sideOptions;
  sideOptions.hasSound = options.hasSound;
  sideOptions.soundFile = options.soundPath;
  sideOptions.framesPerSecond = fps;
  sideOptions.showMonitor = form_.CheckBox28->Checked();
  sideOptions.fullScreen = capture.target == CaptureTargetKind::FullScreen;
  sideOptions.targetTop = capture.regionTop;
  sideOptions.targetBottom = capture.regionTop + capture.height;
  side_.reset(new RecordingSideWindows(form_, sideOptions));
  po.side = side_.get();
  std::function<std::unique_ptr<RecordingOutput>()> next;
  if (direct) {
    // A split goes on under the next free number, which the name box shows.
    const int width = capture.width, height = capture.height;
    next = [this, choice, folder, width, height]() {
      form_.nextFileNumber = nextFreeFileNumber(folder);
      const AnsiString nextName = recordingBaseName(form_.nextFileNumber);
      form_.Edit1->SetText(nextName);
      return makeOutput(choice, folder, nextName, width, height);
    };
  }
  platform_.reset(new FormRecorderPlatform(po, next, choice == OutputChoice::DirectAvi, state_));
  RecordingOutput* opened = output.get();
  session_.reset(
      new RecordingSession(header, std::move(output), *platform_, options, state_, pacer_, tickCounter_));
  platform_->watch(session_.get());
  if (!session_->start()) {
    AnsiString why = opened->failureText();
    if (why.IsEmpty()) why = "创建文件失败:" + outputPath;
    session_.reset();
    platform_.reset();
    return refuse(why);
  }

  form_.recordStream = choice == OutputChoice::Lx ? static_cast<LxOutput*>(opened)->stream() : nullptr;
  form_.captureBitmap = &platform_->frameCapture().bitmap();
  lastClickX_ = lastClickY_ = -1;
  setClickCapture(true);
  // Pick messages that still arrive now are no pick.
  form_.pickMode = 3;
  windowTarget_ = capture.target == CaptureTargetKind::Window ? static_cast<HWND>(capture.window) : nullptr;
  windowStartX_ = capture.regionLeft;
  windowStartY_ = capture.regionTop;
  markedTarget_ = capture.target;
  markedRect_ = RECT{capture.regionLeft, capture.regionTop, capture.regionLeft + capture.width,
                     capture.regionTop + capture.height};
  if (capture.target == CaptureTargetKind::Window) GetWindowRect(windowTarget_, &markedRect_);
  showRange_ = capture.showRange;
  moveMarkers(RangeMarkerStep::Start);
  if (form_.RadioButton3->Checked()) form_.addTrayIcon();
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
  if (isVistaOrLater()) {
    notifyMouseHelperWindow(on ? kHelperReportClicks : kHelperStop);
  } else if (clickHookProc) {
    clickHookProc(on ? TRUE : FALSE, window_);
  }
}

void RecordingControl::setRecordingControls(bool recording) {
  form_.PageControl1->SetEnabled(!recording);
  form_.FileListBox1->SetEnabled(!recording);
  for (const char* menu : {"F1", "E2", "E1", "N18", "T1"})
    if (auto* item = dynamic_cast<TMenuItem*>(form_.FindComponent(menu))) item->SetEnabled(!recording);
  form_.ToolButton2->SetEnabled(!recording);
  form_.ToolButton3->SetEnabled(recording);
  form_.ToolButton4->SetEnabled(recording);
  form_.ToolButton5->SetEnabled(false);
  if (!recording) form_.ToolButton3->SetDown(false);
}

void RecordingControl::pauseOrContinue() {
  if (state_.state() == RecorderState::Recording) {
    if (!session_->pause()) return;
    moveMarkers(RangeMarkerStep::PauseOrContinue);
    form_.ToolButton5->SetEnabled(true);
    form_.ToolButton3->SetDown(true);
    if (form_.trayIconShown) form_.setTrayIcon(form_.iconPause);
  } else if (state_.state() == RecorderState::Paused) {
    if (!session_->resume()) return;
    moveMarkers(RangeMarkerStep::PauseOrContinue);
    if (form_.trayIconShown) form_.setTrayIcon(applicationIcon());
    form_.ToolButton5->SetEnabled(false);
    form_.ToolButton3->SetDown(false);
  }
}

void RecordingControl::stop() {
  if (!session_) return;
  // The finish may take a while: no second command may come in meanwhile.
  form_.hotKeysArmed = 0;
  // Packing the sound into a direct output runs for as long as the progress
  // window is shown: closing it is the user's cancel. The EXE's finish
  // names its steps in the window as it comes to them.
  RecordingOutput* output = session_->output();
  const bool progress = output && output->kind() != OutputKind::Lx && finishNow_;
  if (progress) showWaitForm(output->kind() == OutputKind::DirectExe ? "" : "正在处理声音", 100);
  const bool stopped = session_->requestStop(StopReason::User);
  if (progress) renewWaitForm();
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
  const AnsiString stillNotice = platform_->stillNotice();
  // What the direct finishers have to say: a failure, or the AVI's report of
  // frames it had to repeat.
  AnsiString finisherText, aviReport;
  OutputKind kind = OutputKind::Lx;
  if (RecordingOutput* output = session_->output()) {
    kind = output->kind();
    finisherText = output->failureText();
    aviReport = output->report();
  }
  const TStringList& done = session_->finishedFiles();
  TStringList files;
  for (int i = 0; i < done.Count(); ++i) files.Add(done[i]);
  releaseSession();
  moveMarkers(RangeMarkerStep::Stop);

  setRecordingControls(false);
  const AnsiString folder = form_.Edit2->Text();
  form_.nextFileNumber = nextFreeFileNumber(folder);
  form_.Edit1->SetText(recordingBaseName(form_.nextFileNumber));
  form_.Label4->SetCaption(IntToStr(static_cast<int>(freeDiskMB(folder))) + "M");
  form_.FileListBox1->Update();
  if (hidMainForm_) form_.Show();
  if (form_.trayIconShown) form_.removeTrayIcon();
  hidMainForm_ = false;

  if (!aviReport.IsEmpty()) ShowMessage(aviReport);
  if (!stillNotice.IsEmpty()) ShowMessage(stillNotice);
  if (!message.IsEmpty()) ShowMessage(message);
  if (!finisherText.IsEmpty())
    ShowMessage(finisherText);
  else if (!clean)
    ShowMessage("录制过程发生错误，已停止录制");
  if (files.Count() >= 2) {
    AnsiString list;
    for (int i = 0; i < files.Count(); ++i) list += files[i] + "\r\n";
    ShowMessage("录像时间过长,录像被分开保存到以下几个文件中:\t\n" + list);
  } else if (files.Count() == 1 && kind == OutputKind::DirectExe && clean && exeCompressesPoorly(files[0])) {
    ShowMessage(
        "您要录制的可能是视频等不适合用EXE格式压缩(EXE格式适合于制作软件教程)的内容，造成得到的EXE文件很大，强烈建议参考向导"
        "窗体(可以通过 文件/向导 菜单打开)进行正确的设置后再进行录制。已经得到的这个EXE文件，可以尝试使用“编辑/"
        "EXE转成WMV”功能进行转换得到小一些的文件");
  }
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
  // The session takes a window target's clicks from the window's corner at
  // the start; a window moved since counts from where it stands now.
  RECT r;
  int dx = 0, dy = 0;
  if (windowTarget_ && GetWindowRect(windowTarget_, &r)) {
    dx = windowStartX_ - r.left;
    dy = windowStartY_ - r.top;
  }
  session_->onClick(x + dx, y + dy, kind, lastHotX_, lastHotY_);
}

void RecordingControl::onEndSession(TMessage& m) {
  if (!m.WParam || !session_) return;
  session_->endSession();
  killTimer();
  setClickCapture(false);
  releaseSession();
}

// The recording's objects go, and the form's pointers into them with them.
void RecordingControl::releaseSession() {
  form_.recordStream = nullptr;
  form_.captureBitmap = nullptr;
  session_.reset();
  platform_.reset();
  side_.reset();
  closeMonitorWindow();
}

void RecordingControl::moveMarkers(RangeMarkerStep step) {
  CornerMarkers* markers = form_.cornerMarkers;
  if (!markers) return;
  const RangeMarkerAction a = rangeMarkerAction(step, markedTarget_, form_.CheckBox20->Enabled(),
                                                form_.CheckBox20->Checked(), showRange_);
  if (a.state >= 0) markers->setState(a.state);
  switch (a.place) {
    case RangeMarkerAction::AtTarget:
      markers->show(markedRect_.left, markedRect_.top, markedRect_.right, markedRect_.bottom);
      break;
    case RangeMarkerAction::AtRangeEdits:
      markers->show(StrToIntDef(form_.Edit3->Text(), 0), StrToIntDef(form_.Edit4->Text(), 0),
                    StrToIntDef(form_.Edit5->Text(), 0), StrToIntDef(form_.Edit6->Text(), 0));
      break;
    case RangeMarkerAction::Close:
      markers->close();
      break;
    case RangeMarkerAction::Leave:
      break;
  }
}

}  // namespace

// A corner caption goes where its corner and margins put it on a picture of
// width x height, measured in its font; a free position stays as it is.
void TMainForm::placeCustomInfo(int width, int height) {
  CustomInfo info = customInfoOf(*this);
  TBitmap scratch;  // any screen-compatible canvas measures alike
  scratch.SetPixelFormat(pf24bit);
  scratch.SetSize(1, 1);
  ::placeCustomInfo(info, width, height, *scratch.Canvas());
  infoX = info.x;
  infoY = info.y;
  infoTextWidth = info.textWidth;
  infoTextHeight = info.textHeight;
}

void installRecordingControl(TMainForm& form) {
  std::shared_ptr<RecordingControl> control(new RecordingControl(form));
  form.onHotKey = [control](TMessage& m) { control->onHotKey(m); };
  form.onRecordTick = [control](TMessage&) { control->onTick(); };
  form.onHookClick = [control](TMessage& m) { control->onClick(m); };
  form.onEndSession = [control](TMessage& m) { control->onEndSession(m); };
  form.onQueryRecordState = [control](TMessage& m) { m.Result = control->queryAnswer(); };
}

CustomInfo customInfoOf(const TMainForm& form) {
  CustomInfo info;
  info.x = form.infoX;
  info.y = form.infoY;
  info.text = form.infoText;
  if (!form.infoFontName.IsEmpty()) info.font.name = form.infoFontName;
  if (form.infoFontSize > 0) info.font.size = form.infoFontSize;
  info.font.color = static_cast<uint32_t>(form.infoFontColor);
  info.font.style = (form.infoBold ? 1 : 0) | (form.infoItalic ? 2 : 0) | (form.infoUnderline ? 4 : 0) |
                    (form.infoStrikeOut ? 8 : 0);
  info.corner = form.infoCorner;
  info.marginX = form.infoMarginX;
  info.marginY = form.infoMarginY;
  return info;
}
