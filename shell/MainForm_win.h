// TMainForm: the main window and the program's central object. It holds the
// settings loaded from set.dat, the long-lived objects (the sound server's
// Irecorder, the mixer, the hook libraries, the kernel objects) and the
// components other forms reach through MainForm. The behaviour lives in
// units of one job each: Startup_win.cpp (creation), FirstShow_win.cpp,
// Shutdown_win.cpp (with ShutdownRules), MessageRouting_win.cpp,
// HotKeyPage_win.cpp, SoundPage_win.cpp, WebSite_win.cpp,
// ScheduleState_win.cpp; the recording list's file operations and menus in
// RecordingFileOps_win.cpp (with RecordingFileOps and RecordingMenus), the
// tool gates in ToolGates_win.cpp (with ToolGates); the once-only tips in
// OnceTipsForm_win (with OnceTips); the device objects in
// MirrorDriver_win, DisplayKeeper_win, Camera_win and Overlay_win.
// Windows only.
#pragma once

#include <winsock2.h>
#include <windows.h>

#include <functional>
#include <memory>

#include "Classes.h"
#include "CommonControls.h"
#include "Dialogs.h"
#include "ExeLayout.h"
#include "Forms.h"
#include "HookProtocol.h"
#include "LxFile.h"
#include "Menus.h"
#include "SettingsFile.h"
#include "StartupChecks.h"
#include "StdControls.h"
#include "UpdateWin.h"

struct Irecorder;
class CornerMarkers;
class recvolclass;
class mymirrorclass;
class myvideoacc;
class myshexiangtouclass;
class ddoverlayclass;

// Messages of the main form beside the system's.
constexpr UINT WM_PICK_MOVE = WM_USER;
constexpr UINT WM_PICK_END = WM_USER + 1;
constexpr UINT WM_TRAY_NOTIFY = WM_USER + 2;
constexpr UINT WM_HOOK_CLICK = WM_USER + 5;
constexpr UINT WM_CAPTURE_TICK = WM_USER + 16;
constexpr UINT WM_QUERY_RECORD_STATE = WM_USER + 17;
constexpr UINT WM_OPEN_HELP = WM_USER + 21;
constexpr UINT WM_CAMERA_PREVIEW = WM_USER + 22;
// WM_HOST_SWITCHED (WM_USER + 23) comes with the update notice's seams.

typedef HWND(WINAPI* HtmlHelpProc)(HWND, LPCSTR, UINT, DWORD_PTR);

class TMainForm : public TForm {
public:
  explicit TMainForm(TComponent* Owner);
  ~TMainForm() override;

  // Layout components the other units use.
  TMainMenu* MainMenu1 = nullptr;
  TMenuItem *F1 = nullptr, *N54 = nullptr, *H2 = nullptr;
  TToolBar* ToolBar1 = nullptr;
  TToolButton *ToolButton2 = nullptr, *ToolButton3 = nullptr, *ToolButton4 = nullptr, *ToolButton5 = nullptr;
  TPageControl *PageControl1 = nullptr, *PageControl2 = nullptr, *PageControl3 = nullptr;
  TTabSheet* TabSheet2 = nullptr;
  TEdit *Edit1 = nullptr, *Edit2 = nullptr, *Edit3 = nullptr, *Edit4 = nullptr, *Edit5 = nullptr,
        *Edit6 = nullptr, *Edit8 = nullptr, *Edit9 = nullptr;
  TCheckBox *CheckBox1 = nullptr, *CheckBox2 = nullptr, *CheckBox3 = nullptr, *CheckBox5 = nullptr,
            *CheckBox6 = nullptr, *CheckBox7 = nullptr, *CheckBox8 = nullptr, *CheckBox10 = nullptr,
            *CheckBox11 = nullptr, *CheckBox12 = nullptr, *CheckBox13 = nullptr, *CheckBox15 = nullptr,
            *CheckBox16 = nullptr, *CheckBox17 = nullptr, *CheckBox19 = nullptr, *CheckBox20 = nullptr,
            *CheckBox21 = nullptr, *CheckBox22 = nullptr, *CheckBox23 = nullptr, *CheckBox24 = nullptr,
            *CheckBox25 = nullptr, *CheckBox26 = nullptr, *CheckBox27 = nullptr, *CheckBox28 = nullptr,
            *CheckBox29 = nullptr;
  TRadioButton *RadioButton1 = nullptr, *RadioButton2 = nullptr, *RadioButton3 = nullptr,
               *RadioButton4 = nullptr, *RadioButton5 = nullptr, *RadioButton6 = nullptr,
               *RadioButton7 = nullptr, *RadioButton8 = nullptr, *RadioButton9 = nullptr,
               *RadioButton10 = nullptr, *RadioButton11 = nullptr, *RadioButton12 = nullptr,
               *RadioButton13 = nullptr, *RadioButton14 = nullptr, *WMVRadioButton = nullptr;
  TComboBox *ComboBox1 = nullptr, *ComboBox2 = nullptr, *ComboBox3 = nullptr, *ComboBox4 = nullptr,
            *ComboBox5 = nullptr;
  TTrackBar *TrackBar1 = nullptr, *TrackBar2 = nullptr;
  TDateTimePicker *DateTimePicker2 = nullptr, *DateTimePicker3 = nullptr, *DateTimePicker4 = nullptr,
                  *DateTimePicker5 = nullptr;
  TLabel* Label4 = nullptr;
  // The sound page: the device name, the source's explanation, the source
  // setter shown when the selection cannot be told, the microphone monitor.
  TLabel *Label35 = nullptr, *Label45 = nullptr;
  TButton *Button1 = nullptr, *Button3 = nullptr;
  TCheckBox* CheckBox18 = nullptr;
  TImage* Image1 = nullptr;
  TScrollBox* ScrollBox1 = nullptr;
  TFileListBox* FileListBox1 = nullptr;
  TSpeedButton *SpeedButton4 = nullptr, *SpeedButton9 = nullptr, *SpeedButton13 = nullptr,
               *SpeedButton21 = nullptr, *SpeedButton22 = nullptr, *SpeedButton23 = nullptr,
               *SpeedButton24 = nullptr;
  TBitBtn *BitBtn3 = nullptr, *BitBtn4 = nullptr;
  TTimer* Timer1 = nullptr;
  TSaveDialog* SaveDialog1 = nullptr;
  TOpenDialog* OpenDialog1 = nullptr;

  // Handlers wired by the layout.
  void FormCreate(TObject* Sender);
  void FormShow(TObject* Sender);
  void FormClose(TObject* Sender, TCloseAction& Action);
  void PageControl1Changing(TObject* Sender, bool& AllowChange);
  void PageControl2Changing(TObject* Sender, bool& AllowChange);
  void PageControl2Change(TObject* Sender);
  void SpeedButton4Click(TObject* Sender);
  void SpeedButton22Click(TObject* Sender);
  void SpeedButton23Click(TObject* Sender);
  void SpeedButton24Click(TObject* Sender);
  void CheckBox11Click(TObject* Sender);
  void CheckBox12Click(TObject* Sender);
  void CheckBox28Click(TObject* Sender);
  void CheckBox29Click(TObject* Sender);
  void RadioButton7Click(TObject* Sender);
  void WMVRadioButtonClick(TObject* Sender);
  void N54Click(TObject* Sender);
  void H2Click(TObject* Sender);
  void X1Click(TObject* Sender);
  void N22Click(TObject* Sender);
  void N23Click(TObject* Sender);
  void N24Click(TObject* Sender);
  void ToolButton10Click(TObject* Sender);
  // The recording list's file operations and the menus that fit the
  // selection (RecordingFileOps_win.cpp), and the tool menus' gates
  // (ToolGates_win.cpp). Each works on currentFile.
  void N8Click(TObject* Sender);   // save a copy: N8, N28
  void N9Click(TObject* Sender);   // move: N9, N29
  void N44Click(TObject* Sender);  // rename: N44, N43
  void N31Click(TObject* Sender);  // delete the selected recording: N31, N36
  void N32Click(TObject* Sender);  // delete every recording of the folder
  void FileListBox1DblClick(TObject* Sender);
  void N34Click(TObject* Sender);  // open / play
  void F1Click(TObject* Sender);
  void E2Click(TObject* Sender);
  void N18Click(TObject* Sender);
  void PopupMenu2Popup(TObject* Sender);
  void AVI1Click(TObject* Sender);
  void AVI3Click(TObject* Sender);
  void AVI4Click(TObject* Sender);
  void AVIB1Click(TObject* Sender);
  void EXEAVI1Click(TObject* Sender);
  void EXELX1Click(TObject* Sender);
  void EXE7Click(TObject* Sender);
  void EXE8Click(TObject* Sender);
  void EXE3Click(TObject* Sender);
  void EXE4Click(TObject* Sender);
  void LX1Click(TObject* Sender);
  void LX2Click(TObject* Sender);
  void WMVW1Click(TObject* Sender);
  void WMV1Click(TObject* Sender);
  void A1Click(TObject* Sender);
  void EXE5Click(TObject* Sender);  // upgrade the player of an EXE: comes with its tool

  void Dispatch(TMessage& Message) override;

  // Message handlers. Those of the recorder are hooks that the recorder
  // fills in; until then the messages are taken and nothing happens.
  void wmSysCommand(TMessage& m);
  void wmHotKey(TMessage& m);
  void wmEndSession(TMessage& m);
  void wmQueryRecordState(TMessage& m);
  void wmShowHelp(TMessage& m);
  // The web links and the update notice (WebSite_win.cpp): the base address
  // of the host in use (the first call starts the host probe), a page link
  // that remembers its path in siteBase, the fetch thread of the first show,
  // the check at close, and the reopen on WM_HOST_SWITCHED.
  AnsiString siteUrl();
  AnsiString webPageUrl(const char* path);
  void startUpdateNotice();
  void checkUpdateNotice();
  void wmReopenWebPage(TMessage& m);
  // The tray icon while a recording keeps the main form hidden
  // (TrayIcon_win.cpp): the application icon with the tip "Vidorra"; a
  // double click on it shows the main form again.
  void addTrayIcon();
  void removeTrayIcon();
  void setTrayIcon(HICON icon);  // the picture only; none: the application icon
  void wmTrayIcon(TMessage& m);
  std::function<void(TMessage&)> onHotKey, onEndSession, onRecordTick, onPickMove, onPickDone, onHookClick,
      onTrayIcon, onCameraPreview, onReopenWebPage, onQueryRecordState;

  // Registers the four hot keys from their settings; the messages name the
  // keys that failed (first show: the first-show texts; the hot-key page:
  // its own). Returns how many registered.
  int registerHotKeys(const HotKeySettings& keys, bool fromHotKeyPage);
  void unregisterHotKeys();
  void openHelpTopic(const char* topic);
  AnsiString settingsPath() const { return appDir + "set.dat"; }
  // Where the start-up checks reach the platform; tests replace it before
  // the form is created.
  static std::function<std::unique_ptr<StartupEnv>(TMainForm&)> startupEnvFactory;

  // Shared state (members other forms read and write directly).
  int monitorWindowChoice = 0;
  int savedSoundSource = -1, savedSoundVolume = -1;
  myvideoacc* displayKeeper = nullptr;
  ddoverlayclass* overlay = nullptr;
  myshexiangtouclass* camera = nullptr;
  int captureSpeedMs = 0;
  int shutdownAfterRecording = 0;
  int scheduleState = 0;
  OSVERSIONINFOA osVersion = {};
  mymirrorclass* mirrorDriver = nullptr;
  recvolclass* mixer = nullptr;
  int captureBltFlag = 0;
  uint8_t mp3Available = 0;
  Irecorder* recorder = nullptr;
  HANDLE soundDoneEvent = nullptr;
  int splitPartCounter = 0;
  uint8_t hotKeysArmed = 1;
  float flashSoundSegmentSeconds = 30.0f;
  ExePlaySettings playSettings;
  ExeTrailer exeTrailer;
  uint8_t lxTrailer[40] = {};
  HICON iconRecord = nullptr, iconNoSound = nullptr, iconWithSound = nullptr, iconPause = nullptr;
  TMemoryStream* frameStream = nullptr;
  TMemoryStream* prevFrameStream = nullptr;
  AviCompressValues aviCompressOptions;
  int infoX = 0, infoY = 0;
  AnsiString infoText;
  int infoFontSize = 0, infoFontColor = 0;
  AnsiString infoFontName;
  bool infoBold = false, infoItalic = false, infoUnderline = false, infoStrikeOut = false;
  int infoMarginX = 30, infoMarginY = 20, infoCorner = 0;
  int infoTextWidth = 0, infoTextHeight = 0;
  int dragRect[4] = {};
  uint8_t trayIconShown = 0;
  AnsiString currentFile;
  int nextFileNumber = 0;
  TBitmap* previewBitmap = nullptr;
  float previewScale = 0;
  int drawTool = 0, drawPenWidth = 0, drawPenColor = 0;
  int pickMode = 2;
  int pickWindowRect[4] = {-1, -1, -1, -1};
  HWND targetWindow = nullptr;  // the picked window target
  uint8_t loadingSettings = 1;
  AnsiString appDir;
  int hotKeyStartStop = 0, hotKeyPause = 1, hotKeySingleFrame = 2, hotKeyDrawBoard = 3;
  int soundRate = 11025, soundBits = 8, soundChannels = 1;
  int mciDeviceId = 0;
  uint8_t wmvAvailable = 0;
  int siteHostIndex = -1;
  AnsiString siteBase;
  // Shared with the worker threads, which may outlive the form.
  std::shared_ptr<SiteTransport> siteTransport;
  std::shared_ptr<SiteLinks> siteLinks;
  std::shared_ptr<UpdatePageSlot> updatePageBuffer;
  int directWmvSettings[6] = {};
  bool closingSettingsFailed = false;  // the last close could not write set.dat
  // The recording's side of the form (RecordingControl_win.cpp): the .lx
  // output's stream and the bitmap the frames are captured into, while a
  // recording runs (none otherwise); the TPixelFormat of captured pictures,
  // chosen at the first show from the screen's depth (the direct AVI takes a
  // true-colour screen's own); the pixel format of the selected recording's
  // frames (3 or 5, the recording browser's); the codec dialog's one-element
  // option array; and the corner markers of window and region targets, none
  // until target selection brings them (a flashing frame marks the range).
  TFileStream* recordStream = nullptr;
  TBitmap* captureBitmap = nullptr;
  uint8_t capturePixelFormat = 0;
  uint8_t filePixelFormat = 0;
  AviCompressValues* aviCompressOptionsPtr = &aviCompressOptions;
  CornerMarkers* cornerMarkers = nullptr;
  // Moves a corner caption (infoCorner 1-4) to its place on a picture of
  // that size: infoX, infoY and the measured infoTextWidth, infoTextHeight.
  void placeCustomInfo(int width, int height);

  // The step-by-step guide (TXiangdaoForm) as the main form uses it: hidden
  // with the main form when that goes to the tray, shown again with it.
  // Null until the guide form exists.
  class Guide {
  public:
    virtual ~Guide() = default;
    virtual bool guideVisible() = 0;
    virtual void hideGuide() = 0;
    virtual void showGuide() = 0;
    virtual uint8_t showWithMain() = 0;
    virtual void setShowWithMain(uint8_t on) = 0;
  };
  Guide* guide = nullptr;
  TImage* Image2 = nullptr;  // the toolbar picture the record-video overlay shows through
  // The scheduled-recording state (scheduleState): 0 and 2 leave a wait,
  // stopping its one-second timer (scheduleTimerId) and giving the controls
  // back; entering the wait (1) belongs to the schedule page's button.
  bool setScheduleState(int state);
  void showScheduleState(int state);
  UINT scheduleTimerId = 0;

  // The recording browser (RecordingBrowser_win.cpp, with RecordingView):
  // the list's handler, the status line, the generate page it fills, and
  // the properties and first frame of each kind of recording.
  TStatusBar* StatusBar1 = nullptr;
  TEdit *Edit7 = nullptr, *Edit10 = nullptr, *Edit11 = nullptr, *Edit12 = nullptr, *Edit13 = nullptr;
  TLabel *Label13 = nullptr, *Label26 = nullptr, *Label30 = nullptr, *Label31 = nullptr, *Label32 = nullptr;
  TRadioButton *RadioButton18 = nullptr, *RadioButton19 = nullptr, *RadioButton20 = nullptr,
               *RadioButton21 = nullptr, *RadioButton26 = nullptr, *RadioButton27 = nullptr,
               *RadioButton28 = nullptr;
  TCheckBox *CheckBox4 = nullptr, *CheckBox14 = nullptr;
  void FileListBox1Click(TObject* Sender);
  void RadioButton20Click(TObject* Sender);
  void RadioButton21Click(TObject* Sender);
  float fileSizeKB(const AnsiString& path);
  AnsiString fileCreationText(const AnsiString& path);
  void showAviInfo(const AnsiString& path);
  void showWmvInfo(const AnsiString& path);
  void showExeInfo(const AnsiString& path);

  // The frame preview and pictures (FramePreview_win.cpp,
  // FramePictures_win.cpp): Image1's context menu with its zoom items,
  // previewBitmap drawn at the checked zoom with the custom caption, the
  // trial bar, the frame copied or saved as pictures. previewScratchBitmap
  // carries the caption over a copy of the frame; made on first use.
  TPopupMenu* PopupMenu1 = nullptr;
  TMenuItem *N1001 = nullptr, *N2001 = nullptr, *N501 = nullptr, *N11 = nullptr;
  TBitmap* previewScratchBitmap = nullptr;
  void drawPreview();
  void N1001Click(TObject* Sender);  // 100%
  void N2001Click(TObject* Sender);  // 200%
  void N501Click(TObject* Sender);   // 50%
  void N11Click(TObject* Sender);    // fit
  void TrackBar1Change(TObject* Sender);
  void N30Click(TObject* Sender);  // copy the shown frame
  void N3Click(TObject* Sender);   // save the shown frame: N3, N13
  void N26Click(TObject* Sender);  // save every frame of the .lx recording
  // Above 0 while a progress-window job of the main window runs
  // (MainFormJob_win.h): the list, the menus, the toolbar and the hot keys
  // do nothing meanwhile.
  int jobRunning = 0;

protected:
  void DeclareMembers(TFormBinder& b) override;
  void declareRecordingListHandlers(TFormBinder& b);  // RecordingFileOps_win.cpp
  void HelpRequested(TMessage& m) override;

private:
  void declareBrowserMembers(TFormBinder& b);
  AnsiString fileFacts(const AnsiString& path);
  void finishOrRepairExw();
  void finishAvw();
  void selectExe();
  bool showLx();
  void leaveTrialBar();
  void redrawTrialFrame();
  void fillFromSettings(const SettingsFile& s);
  void storeIntoSettings(SettingsFile& s) const;
  void setUpWorkingFolder(const SettingsFile& s);
  void firstShow();
  void startRecordVideoOverlay();
  void refreshSoundPage();
  void disableXvidStatusWindow();
  void restoreXvidStatusWindow();
  bool shownOnce_ = false;
  bool winsockStarted_ = false;
};

extern TMainForm* MainForm;

// Sends the mouse-effect helper window ("QORVIM DI MOUSE V7") a command for
// the main window: 2 start the clicks, 0 stop them, 1 start a window pick.
// False when the helper is not there.
bool notifyMouseHelperWindow(int command);
// Globals beside the form.
extern HtmlHelpProc htmlHelpProc;
extern HANDLE instanceMutex;
extern HMODULE hookLibrary, hookLibrary1;
extern EnableKBHookProc pickHookProc, clickHookProc;
extern GetNowCursorProc getNowCursorProc;
extern SetcxProc setcxProc;
// The header of the recording being made, filled by its start.
extern LxHeader recordHeader;

// The custom caption as the form keeps it (text, font, position, corner and
// margins): what recorded frames and the preview draw.
struct CustomInfo;
CustomInfo customInfoOf(const TMainForm& form);
