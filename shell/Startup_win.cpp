// The main form's creation: the start values, the start-up checks on the
// real platform (WinStartupEnv: registry, the single-instance mutex, the
// sound server and its COM object, the hook libraries, help), and the
// objects that live until shutdown. The order and the failure table are
// decided by runStartupChecks; a failure ends the process here.
#include "MainForm_win.h"
#include "RecordingControl_win.h"

#include <objbase.h>

#include "Irecorder.h"
#include "Mp3RepairForm_win.h"
#include "RecordingMixer.h"
#include "Acm.h"
#include "LxFile.h"
#include "Registry.h"
#include "SysUtils.h"
#include "SystemHelpers.h"
#include "UpdateConfig.h"
#include "WmvLibrary_win.h"
#include "ZorbelNames.h"
#include "WaitForm_win.h"
#include "SelectBitrateForm_win.h"
#include "SoundPackingAcm.h"
#include "Camera_win.h"
#include "DisplayKeeper_win.h"
#include "MirrorDriver_win.h"

namespace {

const char* const kRecorderClsidKey = "SOFTWARE\\Classes\\CLSID\\{A8B0ADB7-ECB6-4D8F-829A-F050181A6510}";

// Size of a file opened with read and write sharing; -1 when it cannot be.
int fileSizeOf(const AnsiString& path) {
  HANDLE h = CreateFileW(Cp936ToWide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return -1;
  DWORD size = GetFileSize(h, nullptr);
  CloseHandle(h);
  return size == INVALID_FILE_SIZE || size > 0x7FFFFFFF ? -1 : static_cast<int>(size);
}

bool fileExists(const AnsiString& path) {
  return GetFileAttributesW(Cp936ToWide(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

class WinStartupEnv : public StartupEnv {
public:
  explicit WinStartupEnv(TMainForm& form) : form_(form) {}

  void showMessage(const AnsiString& text) override { ShowMessage(text); }
  bool askOkCancel(const AnsiString& caption, const AnsiString& text) override {
    return Application->MessageBox(text, caption, MB_OKCANCEL) == IDOK;
  }

  bool probeWmvRuntime() override { return ::probeWmvRuntime(); }
  bool loadWmvLibrary() override { return ::loadWmvLibrary(form_.appDir + "morlek.dll"); }
  bool wmvInstallerExists() override { return fileExists(installer()); }
  void runWmvInstaller() override { WinExec(installer().c_str(), SW_SHOWNORMAL); }

  bool isVistaOrLater() override { return ::isVistaOrLater(); }
  bool canWriteMachineRegistry() override {
    try {
      TRegistry reg;
      reg.RootKey = HKEY_LOCAL_MACHINE;
      if (!reg.OpenKey("\\Software\\Microsoft\\Windows\\CurrentVersion\\Run", true)) return false;
      reg.WriteString("qorvim", "qorvimtest");
      reg.DeleteValue("qorvim");
      return true;
    } catch (...) {
      return false;
    }
  }

  bool hasMp3Codec() override { return ::hasMp3Codec(systemAcm()); }
  bool mp3CodecFilesPresent() override {
    wchar_t dir[MAX_PATH];
    UINT n = GetWindowsDirectoryW(dir, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return false;
    std::wstring base(dir, n);
    return GetFileAttributesW((base + L"\\system32\\l3codeca.acm").c_str()) != INVALID_FILE_ATTRIBUTES &&
           GetFileAttributesW((base + L"\\system32\\l3codecp.acm").c_str()) != INVALID_FILE_ATTRIBUTES;
  }
  bool runMp3Repair() override {
    std::unique_ptr<TXfmp3Form> dialog(new TXfmp3Form(&form_));
    dialog->ShowModal();
    return dialog->repaired == 1;
  }

  bool acquireInstanceMutex() override {
    instanceMutex = CreateMutexW(nullptr, FALSE, L"QORVIM");
    return !(instanceMutex && GetLastError() == ERROR_ALREADY_EXISTS);
  }

  bool recorderServerExists() override { return fileExists(server()); }
  bool staleServerRunning() override { return FindWindowW(nullptr, zorbel::kWindowTitle) != nullptr; }
  bool endStaleServer(int waitMs) override {
    // Asked to close first, the server withdraws its class from COM; a
    // server ended outright leaves its registration behind under Wine, and
    // every later creation fails with "server unavailable".
    HWND w = FindWindowW(nullptr, zorbel::kWindowTitle);
    if (!w) return true;
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    PostMessageW(w, WM_CLOSE, 0, 0);
    if (waitGone(waitMs / 2)) return true;
    HANDLE p = OpenProcess(PROCESS_ALL_ACCESS, FALSE, pid);
    if (p) {
      TerminateProcess(p, 1);
      WaitForSingleObject(p, static_cast<DWORD>(waitMs / 2));
      CloseHandle(p);
    }
    return waitGone(waitMs / 2);
  }
  // The window can outlive its process briefly: look until the bound
  // rather than once.
  static bool waitGone(int ms) {
    DWORD until = GetTickCount() + static_cast<DWORD>(ms);
    while (FindWindowW(nullptr, zorbel::kWindowTitle)) {
      if (static_cast<int>(until - GetTickCount()) <= 0) return false;
      Sleep(50);
    }
    return true;
  }
  bool isRecorderServerRegistered() override {
    try {
      TRegistry reg;
      reg.RootKey = HKEY_LOCAL_MACHINE;
      if (!reg.OpenKeyReadOnly(kRecorderClsidKey)) return false;
      return reg.ValueExists("zorbelv2") && reg.ReadInteger("zorbelv2") == 1;
    } catch (...) {
      return false;
    }
  }
  void runRecorderServer(const char* option) override {
    std::wstring exe = Cp936ToWide(server());
    std::wstring cmd = L"\"" + exe + L"\" " + Cp936ToWide(option);
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessW(exe.c_str(), &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return;
    WaitForSingleObject(pi.hProcess, INFINITE);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
  }
  void markRecorderServerRegistered() override {
    try {
      TRegistry reg;
      reg.RootKey = HKEY_LOCAL_MACHINE;
      if (reg.OpenKey(kRecorderClsidKey, false)) reg.WriteInteger("zorbelv2", 1);
    } catch (...) {
    }
  }
  void writeLocalServerPath() override { registerRecorderServer(server()); }
  void initCom() override {
    CoInitialize(nullptr);
    CoInitializeSecurity(nullptr, -1, nullptr, nullptr, RPC_C_AUTHN_LEVEL_PKT, RPC_C_IMP_LEVEL_IMPERSONATE,
                         nullptr, EOAC_NONE, nullptr);
  }
  bool createRecorder() override {
    if (form_.recorder) form_.recorder->Release();
    form_.recorder = nullptr;
    Irecorder* r = nullptr;
    HRESULT hr = CoCreateInstance(CLSID_recorder, nullptr,
                                  CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER,
                                  IID_Irecorder, reinterpret_cast<void**>(&r));
    if (hr == E_INVALIDARG)
      hr = CoCreateInstance(CLSID_recorder, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER, IID_Irecorder,
                            reinterpret_cast<void**>(&r));
    // Wine answers "not registered" to the combined contexts although the
    // local server is there: ask for the local server alone as well.
    if (FAILED(hr))
      hr = CoCreateInstance(CLSID_recorder, nullptr, CLSCTX_LOCAL_SERVER, IID_Irecorder, reinterpret_cast<void**>(&r));
    if (FAILED(hr) || !r) {
      lastError = hr;
      return false;
    }
    int probe = 0;
    hr = r->get_startreturn(&probe);
    if (FAILED(hr)) {
      lastError = hr;
      r->Release();
      return false;
    }
    form_.recorder = r;
    return true;
  }
  void createStopEvent() override { form_.soundDoneEvent = CreateEventW(nullptr, FALSE, FALSE, zorbel::kStopEventName); }

  HookLoad loadHookLibraries() override {
    hookLibrary = LoadLibraryW(Cp936ToWide(form_.appDir + "trebis.dll").c_str());
    if (!hookLibrary) return HookLoad::libraryMissing;
    pickHookProc = reinterpret_cast<EnableKBHookProc>(GetProcAddress(hookLibrary, "EnableKBHook"));
    if (!pickHookProc) return freeing(hookLibrary, HookLoad::entryMissing);
    hookLibrary1 = LoadLibraryW(Cp936ToWide(form_.appDir + "trebis1.dll").c_str());
    if (!hookLibrary1) return HookLoad::libraryMissing;
    clickHookProc = reinterpret_cast<EnableKBHookProc>(GetProcAddress(hookLibrary1, "EnableKBHook"));
    getNowCursorProc = reinterpret_cast<GetNowCursorProc>(GetProcAddress(hookLibrary1, "getnowcursor"));
    if (!clickHookProc || !getNowCursorProc) return freeing(hookLibrary1, HookLoad::entryMissing);
    setcxProc = reinterpret_cast<SetcxProc>(GetProcAddress(hookLibrary1, "setcx"));
    if (!setcxProc) return freeing(hookLibrary1, HookLoad::setcxMissing);
    return HookLoad::ok;
  }
  void startMouseHelper() override {
    ShellExecuteW(nullptr, L"Open", Cp936ToWide(form_.appDir + "pellun.exe").c_str(), L"", L"", SW_SHOWNORMAL);
  }
  bool loadHelp() override {
    HMODULE h = LoadLibraryW(L"hhctrl.ocx");
    if (h) htmlHelpProc = reinterpret_cast<HtmlHelpProc>(GetProcAddress(h, "HtmlHelpA"));
    // The help system is the library and its entry; the help file is opened
    // when asked for.
    return htmlHelpProc != nullptr;
  }

private:
  AnsiString installer() const { return form_.appDir + "wmv\\wmfdist.exe"; }
  AnsiString server() const { return form_.appDir + "zorbel.exe"; }
  static HookLoad freeing(HMODULE& m, HookLoad result) {
    FreeLibrary(m);
    m = nullptr;
    return result;
  }
  TMainForm& form_;

public:
  HRESULT lastError = S_OK;  // of the last failed object creation
};

}  // namespace

std::function<std::unique_ptr<StartupEnv>(TMainForm&)> TMainForm::startupEnvFactory =
    [](TMainForm& f) -> std::unique_ptr<StartupEnv> { return std::unique_ptr<StartupEnv>(new WinStartupEnv(f)); };

void TMainForm::FormCreate(TObject* Sender) {
  WSADATA wsa;
  winsockStarted_ = WSAStartup(MAKEWORD(2, 2), &wsa) == 0;
  siteHostIndex = -1;
  infoMarginX = 30;
  infoMarginY = 20;
  infoCorner = 0;
  loadingSettings = 1;
  appDir = ExtractFilePath(Application->ExeName());

  osVersion = OSVERSIONINFOA();
  osVersion.dwOSVersionInfoSize = sizeof osVersion;
  GetVersionExA(&osVersion);
  savedSoundVolume = -1;
  savedSoundSource = -1;
  mixer = new recvolclass();

  std::unique_ptr<StartupEnv> env = startupEnvFactory(*this);
  StartupResult r = runStartupChecks(*env, firstSiteBase(defaultUpdateConfig()).c_str());
  if (!r.carryOn) ExitProcess(static_cast<UINT>(r.exitCode));
  installWaitFormProgress();
  // MP3 and TrueSpeech sound tracks, through the system's codecs; the
  // widened copy of an 8-bit sound goes to the working folder.
  static SelectBitrateChooser bitrateChooser;
  registerSystemAcmSoundPackings(bitrateChooser, [this] { return Edit2->Text(); });
  installRecordingControl(*this);
  wmvAvailable = r.wmvAvailable;
  mp3Available = r.mp3Available;
  splitPartCounter = 0;
  hotKeysArmed = 1;

  exeTrailer = ExeTrailer();
  exeTrailer.playerSize = static_cast<int32_t>(fileSizeOf(appDir + "play.dat"));
  buildLxTrailer(lxTrailer);
  soundRate = 11025;
  soundBits = 8;
  soundChannels = 1;
  mciDeviceId = 0;
  pickMode = 2;
  for (int& v : pickWindowRect) v = -1;
  trayIconShown = 0;

  // The caption settings are needed before the first show by the caption
  // form; the rest of set.dat is read there.
  SettingsFile s;
  s.loadFromFile(settingsPath());
  CustomInfoPlacement p = s.customInfoPlacement();
  infoX = p.x;
  infoY = p.y;
  infoMarginX = p.marginX;
  infoMarginY = p.marginY;
  infoCorner = p.corner;
  infoText = s.text(SettingsLine::customInfoText);
  infoFontSize = s.integer(SettingsLine::customInfoFontSize);
  infoFontColor = s.integer(SettingsLine::customInfoFontColor);
  infoFontName = s.text(SettingsLine::customInfoFontName);
  infoBold = s.flag(SettingsLine::customInfoBold);
  infoItalic = s.flag(SettingsLine::customInfoItalic);
  infoUnderline = s.flag(SettingsLine::customInfoUnderline);
  infoStrikeOut = s.flag(SettingsLine::customInfoStrikeOut);
  CheckBox10->SetEnabled(true);
  SpeedButton9->SetEnabled(true);

  aviCompressOptions = AviCompressValues();
  frameStream = new TMemoryStream();
  prevFrameStream = new TMemoryStream();
  HINSTANCE self = GetModuleHandleW(nullptr);
  iconNoSound = LoadIconW(self, L"WUSHENG");
  iconWithSound = LoadIconW(self, L"YOUSHENG");
  iconRecord = LoadIconW(self, L"RECORD");
  iconPause = LoadIconW(self, L"PAUSE");
  flashSoundSegmentSeconds = 30.0f;

  // The capture flag is still 0 here; the mirror driver serves Windows 2000
  // and XP only.
  mirrorDriver = new mymirrorclass(static_cast<uint32_t>(captureBltFlag));
  CheckBox20->SetEnabled(isWin2000OrLater());
  const bool mirrorUsable = isWin2000OrLater() && !isVistaOrLater();
  CheckBox19->SetEnabled(mirrorUsable && mirrorDriver->driverInstalled);
  SpeedButton13->SetEnabled(mirrorUsable && !mirrorDriver->driverInstalled);

  displayKeeper = new myvideoacc(systemAcceleration());
  if (displayKeeper->currentLevel == 5 || displayKeeper->currentLevel == -1) {
    for (TCheckBox* box : {CheckBox21, CheckBox22}) {
      box->SetChecked(false);
      box->SetEnabled(false);
    }
    CheckBox24->SetChecked(false);
    CheckBox25->SetChecked(false);
    CheckBox24->SetEnabled(false);
  }
  scheduleState = 0;
  shutdownAfterRecording = 0;
  disableXvidStatusWindow();
  camera = new myshexiangtouclass(Handle());
  overlay = nullptr;
}

// The XviD codec's status window would pop up over every recording: it is
// switched off for the run, and the values it had are kept in setc.dat for
// shutdown (or the next run) to put back.
void TMainForm::disableXvidStatusWindow() {
  AnsiString path = appDir + "setc.dat";
  KeptCodecValues kept;
  if (!kept.loadFromFile(path)) {
    try {
      kept.saveToFile(path);
    } catch (...) {
    }
  }
  const char* const keys[2] = {"\\Software\\GNU\\XviD", "\\Software\\GNU\\XviD\\config"};
  for (int i = 0; i < 2; ++i) {
    try {
      TRegistry reg;
      reg.RootKey = HKEY_CURRENT_USER;
      if (!reg.OpenKey(keys[i], true)) continue;
      int value = reg.ValueExists("display_status") ? reg.ReadInteger("display_status") : -1;
      if (value != 0) reg.WriteInteger("display_status", 0);
      if (value > 0) kept.setValue(i, value);
    } catch (...) {
    }
  }
  try {
    kept.saveToFile(path);
  } catch (...) {
  }
}
