// Vidorra.exe from the outside, in a program folder assembled from the
// build: the start-up failure table (each row's message and exit code); a
// whole run that shows the main window filled from a fixture set.dat, holds
// the four hot keys, and on close writes set.dat back with every line it does
// not own unchanged; a real key press of the start/stop key (and a close
// refused while it records); the once-only tips until they are dismissed,
// over two runs; every page chosen by its tab and photographed, and in the
// same run the frame preview at each zoom with its caption and the frame
// pictures. Boxes, dialogs and tips are read and answered from this process;
// Windows (Wine), a display and xdotool needed.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "ProgramRun.h"
#include "frame_image_checker.h"
#include "lx_writer.h"

namespace {

using namespace program;

std::wstring SelectedItem(HWND combo) {
  LRESULT i = SendMessageW(combo, CB_GETCURSEL, 0, 0);
  if (i < 0) return L"";
  wchar_t t[256] = {};
  SendMessageW(combo, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(t));
  return t;
}

// Pumps the program's boxes for a while.
void PumpFor(ProgramRun& run, DWORD ms) {
  run.Pump(ms, [] { return false; });
}

// Wine reports the version from AppDefaults per program: the XP branch is a
// registry value away.
struct WindowsVersion {
  explicit WindowsVersion(const wchar_t* version) {
    if (!version) return;
    HKEY k;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Wine\\AppDefaults\\Vidorra.exe", 0, nullptr, 0, KEY_ALL_ACCESS,
                        nullptr, &k, nullptr) == ERROR_SUCCESS) {
      RegSetValueExW(k, L"Version", 0, REG_SZ, reinterpret_cast<const BYTE*>(version),
                     static_cast<DWORD>((wcslen(version) + 1) * sizeof(wchar_t)));
      RegCloseKey(k);
      set_ = true;
    }
  }
  ~WindowsVersion() {
    if (set_) RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\Wine\\AppDefaults\\Vidorra.exe");
  }
  bool set_ = false;
};

const char* const kHelpMissing = u8"装入帮助系统失败";

struct FailureRow {
  const char* name;
  void (*prepare)(ProgramFolder&);
  const char* message;  // UTF-8
  DWORD exitCode;
};

const FailureRow kFailureRows[] = {
    {"sound server missing", [](ProgramFolder& f) { f.Remove(L"zorbel.exe"); },
     u8"文件zorbel.exe不存在,请与作者联系", 1},
    {"picking hook library missing", [](ProgramFolder& f) { f.Remove(L"trebis.dll"); },
     u8"DLL: 不能加载！程序退出。", 1},
    {"click hook library missing", [](ProgramFolder& f) { f.Remove(L"trebis1.dll"); },
     u8"DLL: 不能加载！程序退出。", 1},
    // trebis.dll has EnableKBHook but not getnowcursor.
    {"click hook entry missing", [](ProgramFolder& f) { f.Copy(TREBIS_DLL, L"trebis1.dll"); },
     u8"DLL: 函数没找到！程序退出。", 1},
    // pellun.exe loads as a module but exports nothing.
    {"picking hook entry missing", [](ProgramFolder& f) { f.Copy(PELLUN_EXE, L"trebis.dll"); },
     u8"DLL: 函数没找到！程序退出。", 1},
};

class StartupFailures : public ::testing::TestWithParam<const wchar_t*> {};

TEST_P(StartupFailures, EachRowShowsItsMessageAndEndsWithItsCode) {
  WindowsVersion version(GetParam());
  for (const FailureRow& row : kFailureRows) {
    SCOPED_TRACE(row.name);
    ProgramFolder folder;
    row.prepare(folder);
    ProgramRun run;
    ASSERT_TRUE(run.Start(folder));
    ASSERT_TRUE(run.exited) << (run.boxes.empty() ? "no box" : run.boxes.back()) << " main " << run.mainForm;
    EXPECT_EQ(run.exitCode, row.exitCode);
    ASSERT_FALSE(run.boxes.empty());
    EXPECT_EQ(run.boxes.back(), row.message);
    EXPECT_EQ(run.mainForm, nullptr);
  }

  // A second instance while the first runs. help.chm is absent from the
  // folder, but Wine has the help system (hhctrl.ocx): no help message.
  ProgramFolder folder;
  ProgramRun first;
  ASSERT_TRUE(first.Start(folder));
  ASSERT_NE(first.mainForm, nullptr) << (first.boxes.empty() ? "" : first.boxes.back());
  EXPECT_FALSE(first.Saw(kHelpMissing));
  // Wine has no mirror driver: before Vista its installer is offered and its
  // switch is off; from Vista on both are off. No display acceleration level
  // can be changed from Vista on.
  auto enabled = [&](const wchar_t* name) { return IsWindowEnabled(ControlNamed(first.mainForm, name)) != FALSE; };
  const bool xp = GetParam() != nullptr;
  EXPECT_FALSE(enabled(L"CheckBox19"));
  EXPECT_EQ(enabled(L"SpeedButton13"), xp);
  if (!xp) {
    EXPECT_FALSE(enabled(L"CheckBox21"));
    EXPECT_FALSE(enabled(L"CheckBox24"));
  }
  ProgramRun second;
  second.besideAnother = true;
  ASSERT_TRUE(second.Start(folder));
  EXPECT_TRUE(second.exited);
  EXPECT_EQ(second.exitCode, 1u);
  EXPECT_TRUE(second.Saw(u8"你已经打开了一个Vidorra，不能同时打开两个"));
  PostMessageW(first.mainForm, WM_CLOSE, 0, 0);
  first.PumpUntilExit(20000);
  EXPECT_TRUE(first.exited);
  EXPECT_EQ(first.exitCode, 0u);
}

INSTANTIATE_TEST_SUITE_P(Branches, StartupFailures, ::testing::Values(nullptr, L"winxp"),
                         [](const ::testing::TestParamInfo<const wchar_t*>& p) {
                           return std::string(p.param ? "WindowsXP" : "Windows7");
                         });

// ---- a whole run over a fixture set.dat -----------------------------------
std::vector<std::string> Lines(const std::string& bytes) {
  std::vector<std::string> out;
  std::string line;
  std::istringstream in(bytes);
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    out.push_back(line);
  }
  return out;
}

bool KeyTaken(UINT mods, UINT vk) {
  if (RegisterHotKey(nullptr, 0x7000, mods, vk)) {
    UnregisterHotKey(nullptr, 0x7000);
    return false;
  }
  return true;
}

TEST(Program, ShowsTheSettingsHoldsTheHotKeysAndWritesBackOnlyItsLines) {
  ProgramFolder folder;
  // Ctrl+Shift with F5 F6 F7 and F8; values that show on the pages; and
  // lines the program does not own, past the table too.
  std::vector<std::string> lines(132);
  for (int i = 0; i < 132; ++i) lines[i] = "0";
  lines[0] = "1", lines[1] = "0", lines[2] = "1";
  lines[3] = "F5", lines[4] = "F6", lines[5] = "F7", lines[73] = "F8";
  lines[9] = "caption";
  lines[30] = "1";   // record sound
  lines[42] = "2";   // 16 bits
  lines[43] = "3";   // 22050
  lines[68] = "12";  // frames per second
  lines[107] = "10", lines[108] = "20", lines[109] = "300", lines[110] = "200";
  lines[129] = "1";  // the update notice: fetched in the background, checked at close
  lines[44] = "kept 44", lines[49] = "kept 49", lines[80] = "kept 80", lines[130] = "tail 130";
  lines[131] = "tail 131";
  lines[61] = "SimSun";
  folder.WriteSettings(lines);

  ProgramRun run;
  ASSERT_TRUE(run.Start(folder));
  ASSERT_NE(run.mainForm, nullptr) << (run.boxes.empty() ? "" : run.boxes.back());
  Sleep(500);
  HWND form = run.mainForm;
  EXPECT_TRUE(Checked(form, L"CheckBox5"));
  EXPECT_FALSE(Checked(form, L"CheckBox6"));
  EXPECT_TRUE(Checked(form, L"CheckBox7"));
  EXPECT_EQ(SelectedItem(ControlNamed(form, L"ComboBox1")), L"F5");
  EXPECT_EQ(SelectedItem(ControlNamed(form, L"ComboBox5")), L"F8");
  EXPECT_TRUE(Checked(form, L"CheckBox2"));
  EXPECT_TRUE(Checked(form, L"RadioButton10"));
  EXPECT_TRUE(Checked(form, L"RadioButton13"));
  EXPECT_EQ(TextOf(ControlNamed(form, L"Edit9")), L"12");
  EXPECT_EQ(TextOf(ControlNamed(form, L"Edit5")), L"300");
  // The folder of line 38 is missing: the program's own "ls\" is made.
  EXPECT_EQ(TextOf(ControlNamed(form, L"Edit2")), folder.path(L"ls\\"));
  EXPECT_NE(GetFileAttributesW(folder.path(L"ls").c_str()), INVALID_FILE_ATTRIBUTES);

  const UINT mods = MOD_CONTROL | MOD_SHIFT;
  for (UINT vk : {VK_F5, VK_F6, VK_F7, VK_F8}) EXPECT_TRUE(KeyTaken(mods, vk)) << vk;
  EXPECT_FALSE(KeyTaken(mods, VK_F9));

  // No notice could be fetched here (no site): the close asks nothing and
  // does not wait for the fetch.
  const std::size_t boxesBeforeClose = run.boxes.size();
  PostMessageW(form, WM_CLOSE, 0, 0);
  run.PumpUntilExit(20000);
  ASSERT_TRUE(run.exited);
  EXPECT_EQ(run.exitCode, 0u);
  EXPECT_EQ(run.boxes.size(), boxesBeforeClose) << run.boxes.back();
  for (UINT vk : {VK_F5, VK_F6, VK_F7, VK_F8}) EXPECT_FALSE(KeyTaken(mods, vk)) << vk;

  std::vector<std::string> after = Lines(ReadFileBytes(folder.path(L"set.dat")));
  ASSERT_EQ(after.size(), lines.size());
  // Lines written by other owners or by nobody stay as they were.
  const int untouched[] = {0, 1, 2, 3, 4, 5, 6, 44, 45, 46, 47, 48, 49, 67, 73, 74, 80, 93, 130, 131};
  for (int i : untouched) EXPECT_EQ(after[i], lines[i]) << "line " << i;
  for (int i = 10; i <= 29; ++i) EXPECT_EQ(after[i], lines[i]) << "line " << i;
  // And the program's own lines carry what the pages showed.
  EXPECT_EQ(after[9], "caption");
  EXPECT_EQ(after[30], "1");
  EXPECT_EQ(after[42], "2");
  EXPECT_EQ(after[43], "3");
  EXPECT_EQ(after[68], "12");
  EXPECT_EQ(after[109], "300");
  EXPECT_EQ(after[129], "1");
}

// ---- a real key press -------------------------------------------------------
// Runs xdotool through the Unix shell and waits for it. Wine starts Unix
// programs but hands back no process handle to wait on, so the shell leaves
// a file behind when xdotool has finished.
bool Sh(const std::string& command) {
  static int serial = 0;
  const std::string done =
      "/tmp/vidorra-mainform-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++serial);
  std::string cmd = "Z:\\bin\\sh -c \"" + command + "; touch " + done + "\"";
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi = {};
  if (!CreateProcessA(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return false;
  const std::string doneWin = "Z:" + done;
  for (int i = 0; i < 100; ++i) {
    if (GetFileAttributesA(doneWin.c_str()) != INVALID_FILE_ATTRIBUTES) {
      DeleteFileA(doneWin.c_str());
      return true;
    }
    Sleep(100);
  }
  return false;
}
bool Xdo(const std::string& args) { return Sh("xdotool " + args); }

bool HasLxTrailer(const std::string& bytes) {
  return bytes.size() >= 80 && bytes.compare(bytes.size() - 12, 9, "qorvimlxs") == 0;
}

// The X server hands a key to the window that has the X focus; Wine checks
// it against the registered hot keys and posts WM_HOTKEY. The window stays
// shown while recording (line 41), so it keeps the focus for the stop key.
TEST(Program, ARealKeyPressOfTheStartStopKeyReachesTheHotKeyHandler) {
  ASSERT_NE(GetFileAttributesA("Z:\\usr\\bin\\xdotool"), INVALID_FILE_ATTRIBUTES)
      << "xdotool is missing (scripts/setup installs it)";
  ProgramFolder folder;
  std::vector<std::string> lines(130, "0");
  lines[0] = "1", lines[2] = "1";  // Ctrl+Shift with F5 F6 F7 F8
  lines[3] = "F5", lines[4] = "F6", lines[5] = "F7", lines[73] = "F8";
  lines[6] = "1";   // the stop-key reminder was dismissed
  lines[41] = "1";  // show the program while recording
  lines[61] = "SimSun";
  lines[68] = "5";
  folder.WriteSettings(lines);
  ProgramRun run;
  ASSERT_TRUE(run.Start(folder));
  ASSERT_NE(run.mainForm, nullptr) << (run.boxes.empty() ? "" : run.boxes.back());
  HWND form = run.mainForm;
  PumpFor(run, 500);
  ASSERT_EQ(RecorderState(form), 1);
  const std::size_t boxesBefore = run.boxes.size();

  // The key without its Shift is no hot key of the program.
  const std::string focus = "search --onlyvisible --name '^Vidorra$' windowfocus --sync ";
  ASSERT_TRUE(Xdo(focus + "key ctrl+F5"));
  PumpFor(run, 700);
  EXPECT_EQ(RecorderState(form), 1);

  const std::string press = focus + "key ctrl+shift+F5";
  ASSERT_TRUE(Xdo(press));
  for (int i = 0; i < 50 && RecorderState(form) != 2; ++i) PumpFor(run, 100);
  EXPECT_EQ(RecorderState(form), 2) << "the start key did not arrive";
  // Closing while recording is refused with its message; the recording goes on.
  PostMessageW(form, WM_CLOSE, 0, 0);
  PumpFor(run, 1500);
  EXPECT_TRUE(run.Saw(u8"正在录制动画,如果要关闭软件请先停止录制"));
  EXPECT_FALSE(run.exited);
  EXPECT_EQ(RecorderState(form), 2);
  const std::size_t boxesWhileRecording = run.boxes.size();
  ASSERT_TRUE(Xdo(press));
  const std::wstring lx = folder.path(L"ls\\录像1.lx");
  for (int i = 0; i < 100 && !(RecorderState(form) == 1 && HasLxTrailer(ReadFileBytes(lx))); ++i) PumpFor(run, 100);
  EXPECT_EQ(RecorderState(form), 1) << "the stop key did not arrive";
  EXPECT_TRUE(HasLxTrailer(ReadFileBytes(lx)));
  EXPECT_EQ(boxesWhileRecording, boxesBefore + 1);
  EXPECT_EQ(run.boxes.size(), boxesWhileRecording) << run.boxes.back();

  PostMessageW(form, WM_CLOSE, 0, 0);
  run.PumpUntilExit(20000);
  EXPECT_TRUE(run.exited);
}

// ---- once-only tips ---------------------------------------------------------
// The texts as the user reads them, and the hot-key tip as tishin.dat keeps
// it (code page 936: plain literals are compiled to it).
const char* const kVistaTip = u8"在VISTA/WIN7下运行本软件时,屏幕配色方案会自动暂时更改为Windows7 Basic,软件关闭时会自动恢复原来设置,这是为了减小录像的大小,不是软件兼容性问题,请不用担心。";
const char* const kCombinationKeysTip = u8"由于考虑要兼容旧版本的操作习惯,默认的快捷键未使用组合键。但我们强烈建议你设置使用组合键,因为如果不使用组合键,在录制时很可能会误按F2或F3,造成停止录像或暂停录像。使用组合键可以很好地解决此问题。具体操作方法可以在此页面上按F1键";
const char* const kCombinationKeysTip936 = "由于考虑要兼容旧版本的操作习惯,默认的快捷键未使用组合键。但我们强烈建议你设置使用组合键,因为如果不使用组合键,在录制时很可能会误按F2或F3,造成停止录像或暂停录像。使用组合键可以很好地解决此问题。具体操作方法可以在此页面上按F1键";
const char* const kVistaTip936 = "在VISTA/WIN7下运行本软件时,屏幕配色方案会自动暂时更改为Windows7 Basic,软件关闭时会自动恢复原来设置,这是为了减小录像的大小,不是软件兼容性问题,请不用担心。";

// Chooses a record-mode option page as a click on its tab would, and answers
// what comes up.
void ChooseOptionPage(ProgramRun& run, int index) {
  PostMessageW(ControlNamed(run.mainForm, L"PageControl2"), TCM_SETCURFOCUS, static_cast<WPARAM>(index), 0);
  PumpFor(run, 800);
}

// On Windows 7 the colour-scheme tip comes before the main window; with no
// modifier for the hot keys the hot-key page advises combinations each time
// it is chosen, until the tip is dismissed. The dismissals are kept for the
// next run in tishin.dat.
TEST(Program, OnceOnlyTipsComeUntilTheUserDismissesThem) {
  WindowsVersion version(L"win7");  // whatever an earlier run left behind
  ProgramFolder folder;
  std::vector<std::string> lines(130, "0");  // no Ctrl, Alt or Shift
  lines[3] = "F5", lines[4] = "F6", lines[5] = "F7", lines[73] = "F8";
  lines[6] = "1";
  lines[61] = "SimSun";
  lines[68] = "5";
  folder.WriteSettings(lines);
  const std::wstring tishin = folder.path(L"tishin.dat");
  {
    ProgramRun run;
    ASSERT_TRUE(run.Start(folder));
    ASSERT_NE(run.mainForm, nullptr) << (run.boxes.empty() ? "" : run.boxes.back());
    ASSERT_EQ(run.tips, std::vector<std::string>{kVistaTip});
    const std::size_t boxesAtStart = run.boxes.size();
    ChooseOptionPage(run, 3);
    ASSERT_EQ(run.tips.size(), 2u);
    EXPECT_EQ(run.tips[1], kCombinationKeysTip);
    // "确定" without the box: it comes again.
    ChooseOptionPage(run, 0);
    ChooseOptionPage(run, 3);
    ASSERT_EQ(run.tips.size(), 3u);
    EXPECT_EQ(run.tips[2], kCombinationKeysTip);
    EXPECT_EQ(GetFileAttributesW(tishin.c_str()), INVALID_FILE_ATTRIBUTES);
    // With the box ticked it is gone for good.
    ChooseOptionPage(run, 0);
    run.dismissTips = true;
    ChooseOptionPage(run, 3);
    ASSERT_EQ(run.tips.size(), 4u);
    ChooseOptionPage(run, 0);
    ChooseOptionPage(run, 3);
    EXPECT_EQ(run.tips.size(), 4u);
    EXPECT_EQ(ReadFileBytes(tishin), kCombinationKeysTip936);
    EXPECT_EQ(run.boxes.size(), boxesAtStart) << run.boxes.back();
    PostMessageW(run.mainForm, WM_CLOSE, 0, 0);
    run.PumpUntilExit(20000);
    EXPECT_TRUE(run.exited);
  }
  {
    ProgramRun run;
    run.dismissTips = true;
    ASSERT_TRUE(run.Start(folder));
    ASSERT_NE(run.mainForm, nullptr) << (run.boxes.empty() ? "" : run.boxes.back());
    EXPECT_EQ(run.tips, std::vector<std::string>{kVistaTip});
    ChooseOptionPage(run, 3);
    EXPECT_EQ(run.tips.size(), 1u);
    EXPECT_EQ(ReadFileBytes(tishin), std::string(kCombinationKeysTip936) + kVistaTip936);
    PostMessageW(run.mainForm, WM_CLOSE, 0, 0);
    run.PumpUntilExit(20000);
    EXPECT_TRUE(run.exited);
  }
}

// ---- every page, shown and photographed; the frame preview and pictures ----
// Each page is chosen as a click on its tab would choose it (the tab control's
// focus message sends the change notifications to the form), checked to be
// the one shown, and the screen saved as SCREENSHOT_DIR/<page>.png for a
// person to look at (scripts/screenshots). Then, in the same run, recordings
// of the working folder are selected in the list: the preview is shown and
// photographed at each zoom of its context menu with the custom caption, and
// frames are copied and saved as pictures (PreviewChecks below).
struct PageShot {
  const wchar_t* control;  // page control
  int index;
  const wchar_t* sheet;  // the sheet that must then be shown
  const char* file;
};
const PageShot kPages[] = {
    {L"PageControl1", 1, L"TabSheet2", "mode-generate"},
    {L"PageControl1", 0, L"TabSheet1", "mode-record"},
    {L"PageControl2", 0, L"TabSheet3", "options-0-basic"},
    {L"PageControl2", 1, L"TabSheet4", "options-1-target"},
    {L"PageControl2", 2, L"TabSheet5", "options-2-sound"},
    {L"PageControl2", 3, L"TabSheet6", "options-3-hotkeys"},
    {L"PageControl2", 4, L"TabSheet7", "options-4-acceleration"},
    {L"PageControl2", 5, L"TabSheet8", "options-5-schedule"},
    {L"PageControl2", 6, L"TabSheet9", "options-6-other"},
};

// The recordings the preview checks select, written from the layout: three
// frames of 640 x 240 (checks of 20 pixels in two colours of each frame), one
// without frames, and many held frames of a small picture for a long save.
uint16_t PreviewPixel(int frame, int x, int y) {
  static const uint16_t a[3] = {0x001F, 0x07E0, 0xF81F}, b[3] = {0xFFE0, 0x8410, 0x07FF};
  return ((x / 20 + y / 20) % 2) ? a[frame] : b[frame];
}
std::vector<lxwrite::Record> PreviewFrames() {
  std::vector<lxwrite::Record> r(3);
  for (int f = 0; f < 3; ++f)
    r[std::size_t(f)].bmp = lxwrite::bmp565(640, 240, [f](int x, int y) { return PreviewPixel(f, x, y); });
  return r;
}
std::vector<lxwrite::Record> SmallFrames() {
  std::vector<lxwrite::Record> r(2);
  for (int f = 0; f < 2; ++f)
    r[std::size_t(f)].bmp = lxwrite::bmp565(64, 48, [f](int x, int y) { return uint16_t(f ? x * 977 : y * 1531); });
  return r;
}
constexpr int kManyFrames = 1500;

void WriteBytes(const std::wstring& path, const Bytes& b) {
  std::ofstream out(path.c_str(), std::ios::binary);
  out.write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
}

void WritePreviewRecordings(const std::wstring& work) {
  lxwrite::Header big;
  big.width = 640, big.height = 240;
  WriteBytes(work + L"pv.lx", lxwrite::build(big, PreviewFrames(), {0, 1, 2}));
  WriteBytes(work + L"zero.lx", lxwrite::build(big, {}, {}));
  lxwrite::Header small;
  small.width = 64, small.height = 48;
  std::vector<int> lines;
  for (int i = 0; i < kManyFrames; ++i) lines.push_back(i / 7 % 2);  // held frames of two records
  WriteBytes(work + L"many.lx", lxwrite::build(small, SmallFrames(), lines));
}

// A recording of the list selected as a click selects it (the list tells
// its form); done when the trial bar took the recording's last frame number.
bool SelectRecording(ProgramRun& run, const wchar_t* name, int lastFrame) {
  HWND list = ControlNamed(run.mainForm, L"FileListBox1");
  const LRESULT i = SendMessageW(list, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(name));
  if (i < 0) return false;
  SendMessageW(list, LB_SETCURSEL, static_cast<WPARAM>(i), 0);
  PostMessageW(run.mainForm, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(list), LBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
  HWND bar = ControlNamed(run.mainForm, L"TrackBar1");
  run.Pump(30000, [&] { return SendMessageW(bar, TBM_GETRANGEMAX, 0, 0) == lastFrame; });
  PumpFor(run, 300);
  return SendMessageW(bar, TBM_GETRANGEMAX, 0, 0) == lastFrame;
}

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// The progress window while it is shown (every job makes a new one; the
// old ones stay hidden until they go).
struct ShownQuery {
  DWORD pid;
  HWND hwnd;
};
BOOL CALLBACK FindShownProgress(HWND w, LPARAM lp) {
  auto* q = reinterpret_cast<ShownQuery*>(lp);
  DWORD owner = 0;
  GetWindowThreadProcessId(w, &owner);
  if (owner != q->pid || !IsWindowVisible(w) || TextOf(w) != L"正在处理") return TRUE;
  q->hwnd = w;
  return FALSE;
}
HWND ShownProgressWindow(const ProgramRun& run) {
  ShownQuery q{run.pi.dwProcessId, nullptr};
  EnumWindows(FindShownProgress, reinterpret_cast<LPARAM>(&q));
  return q.hwnd;
}

// Pumps until a job of the progress window is over: the file it writes last
// is there, the progress window gone and the main window usable again. The
// emulated machine is slow: the deadline is generous.
bool WaitForJob(ProgramRun& run, const std::wstring& last) {
  auto over = [&] { return Exists(last) && IsWindowEnabled(run.mainForm) && !ShownProgressWindow(run); };
  run.Pump(120000, over);
  return over();
}

SIZE ClientSize(HWND w) {
  RECT r = {};
  GetClientRect(w, &r);
  return {r.right, r.bottom};
}

// Item k (from 1) of Image1's context menu, chosen with the keyboard after
// the menu opened, as a user would after a right click.
void ChoosePreviewMenuItem(ProgramRun& run, int k) {
  HWND image = ControlNamed(run.mainForm, L"Image1");
  RECT r;
  GetWindowRect(image, &r);
  PostMessageW(image, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(image), MAKELPARAM(r.left + 4, r.top + 4));
  HWND menu = nullptr;
  for (int i = 0; i < 50 && !(menu = VisibleTopWindow(run.pi.dwProcessId, L"#32768")); ++i) Sleep(100);
  ASSERT_NE(menu, nullptr) << "no context menu on the preview";
  for (int i = 0; i < k; ++i) PostMessageW(menu, WM_KEYDOWN, VK_DOWN, 0);
  PostMessageW(menu, WM_KEYDOWN, VK_RETURN, 0);
  for (int i = 0; i < 50 && IsWindowVisible(menu); ++i) Sleep(100);
  PumpFor(run, 600);
}

std::vector<uint8_t> FileBytes(const std::wstring& path) {
  const std::string b = ReadFileBytes(path);
  return std::vector<uint8_t>(b.begin(), b.end());
}
// Width and height from a JPEG's start-of-frame marker.
bool JpegSize(const std::vector<uint8_t>& j, int& w, int& h) {
  if (j.size() < 4 || j[0] != 0xFF || j[1] != 0xD8) return false;
  for (std::size_t at = 2; at + 9 < j.size();) {
    if (j[at] != 0xFF) return false;
    const std::size_t len = std::size_t(j[at + 2] << 8 | j[at + 3]);
    if (j[at + 1] == 0xC0 || j[at + 1] == 0xC2) {
      h = j[at + 5] << 8 | j[at + 6];
      w = j[at + 7] << 8 | j[at + 8];
      return true;
    }
    at += 2 + len;
  }
  return false;
}

void PreviewChecks(ProgramRun& run, const ProgramFolder& folder, const std::string& shots) {
  HWND form = run.mainForm;
  HWND image = ControlNamed(form, L"Image1");
  const std::wstring pics = folder.path(L"pics\\");
  CreateDirectoryW(pics.c_str(), nullptr);
  ASSERT_TRUE(SelectRecording(run, L"pv.lx", 2));

  // Each zoom of the context menu, photographed: 100 %, 200 %, 50 % and fit
  // (640 / 292 + 1 = 3 in the 292 x 200 box: 213 x 80).
  struct Zoom {
    int item;
    SIZE shown;
    const char* file;
  };
  const Zoom zooms[] = {{2, {1280, 480}, "preview-200"},
                        {3, {320, 120}, "preview-50"},
                        {4, {213, 80}, "preview-fit"},
                        {1, {640, 240}, "preview-100"}};
  for (const Zoom& z : zooms) {
    SCOPED_TRACE(z.file);
    ChoosePreviewMenuItem(run, z.item);
    run.Pump(30000, [&] { return ClientSize(image).cx == z.shown.cx; });
    EXPECT_EQ(ClientSize(image).cx, z.shown.cx);
    EXPECT_EQ(ClientSize(image).cy, z.shown.cy);
    EXPECT_TRUE(Sh("import -window root '" + shots + "/" + z.file + ".png'"));
  }

  // The trial bar steps to the last frame; "保存为图片" at 100 % saves the
  // picture as shown: that frame with the caption on it.
  HWND bar = ControlNamed(form, L"TrackBar1");
  SendMessageW(bar, TBM_SETPOS, TRUE, 2);
  PostMessageW(form, WM_HSCROLL, MAKEWPARAM(TB_THUMBPOSITION, 2), reinterpret_cast<LPARAM>(bar));
  PumpFor(run, 1000);
  const std::size_t boxes = run.boxes.size();
  run.fileAnswers = {pics + L"shot"};
  ChoosePreviewMenuItem(run, 5);  // after the separator
  ASSERT_TRUE(WaitForJob(run, pics + L"shot.bmp"));
  framecheck::Picture shot;
  std::string why;
  ASSERT_TRUE(framecheck::loadBmp(FileBytes(pics + L"shot.bmp"), shot, why)) << why;
  ASSERT_EQ(shot.width, 640);
  ASSERT_EQ(shot.height, 240);
  int red = 0, differ = 0;
  for (int y = 0; y < 240; ++y)
    for (int x = 0; x < 640; ++x) {
      const uint32_t want = framecheck::from565(PreviewPixel(2, x, y));
      if (shot.at(x, y) == want) continue;
      ++differ;
      // The caption "VIDORRA" at (20, 10), red, 20 points.
      EXPECT_TRUE(x >= 20 && x < 300 && y >= 10 && y < 60) << x << "," << y;
      if ((shot.at(x, y) >> 16) >= 0xC0 && (shot.at(x, y) & 0xFFFF) < 0x4040) ++red;
    }
  EXPECT_GT(red, 30) << "no caption on the shown frame (" << differ << " pixels differ)";

  // File menu at 50 %: "shot.JPG" is a JPEG of the shown size under that name.
  ChoosePreviewMenuItem(run, 3);
  run.fileAnswers = {pics + L"shot.JPG"};
  ASSERT_TRUE(ChooseMenu(form, L"文件/当前帧另存为图片"));
  ASSERT_TRUE(WaitForJob(run, pics + L"shot.JPG"));
  int w = 0, h = 0;
  EXPECT_TRUE(JpegSize(FileBytes(pics + L"shot.JPG"), w, h));
  EXPECT_EQ(w, 320);
  EXPECT_EQ(h, 120);

  // Edit menu at fit: the shown picture on the clipboard.
  ChoosePreviewMenuItem(run, 4);
  run.Pump(30000, [&] { return ClientSize(image).cx == 213; });
  ASSERT_TRUE(ChooseMenu(form, L"编辑/复制当前帧"));
  run.Pump(30000, [] { return IsClipboardFormatAvailable(CF_DIB) != FALSE; });
  PumpFor(run, 500);
  ASSERT_TRUE(OpenClipboard(nullptr));
  HANDLE dib = GetClipboardData(CF_DIB);
  ASSERT_NE(dib, nullptr);
  const auto* info = static_cast<const BITMAPINFOHEADER*>(GlobalLock(dib));
  ASSERT_NE(info, nullptr);
  EXPECT_EQ(info->biWidth, 213);
  EXPECT_EQ(info->biHeight, 80);
  GlobalUnlock(dib);
  CloseClipboard();
  EXPECT_EQ(run.boxes.size(), boxes) << run.boxes.back();

  // Every frame as a.jpg: a read-only a2.jpg is there, so the program asks
  // before overwriting; a1.jpg to a3.jpg are full-size JPEGs. As b.bmp every
  // picture is the recorded frame byte for byte.
  WriteBytes(pics + L"a2.jpg", Bytes{'o', 'l', 'd'});
  SetFileAttributesW((pics + L"a2.jpg").c_str(), FILE_ATTRIBUTE_READONLY);
  run.fileAnswers = {pics + L"a.jpg"};
  ASSERT_TRUE(ChooseMenu(form, L"文件/所有帧另存为图片"));
  ASSERT_TRUE(WaitForJob(run, pics + L"a3.jpg"));
  ASSERT_EQ(run.boxes.size(), boxes + 1);
  EXPECT_EQ(run.boxes.back(), u8"可能会覆盖一些同名文件，是否继续?");
  for (int n = 1; n <= 3; ++n) {
    SCOPED_TRACE(n);
    int jw = 0, jh = 0;
    EXPECT_TRUE(JpegSize(FileBytes(pics + L"a" + std::to_wstring(n) + L".jpg"), jw, jh));
    EXPECT_EQ(jw, 640);
    EXPECT_EQ(jh, 240);
  }
  run.fileAnswers = {pics + L"b.bmp"};
  ASSERT_TRUE(ChooseMenu(form, L"文件/所有帧另存为图片"));
  ASSERT_TRUE(WaitForJob(run, pics + L"b3.bmp"));
  const std::vector<lxwrite::Record> frames = PreviewFrames();
  for (int n = 1; n <= 3; ++n)
    EXPECT_EQ(FileBytes(pics + L"b" + std::to_wstring(n) + L".bmp"), frames[std::size_t(n - 1)].bmp) << n;

  // A recording without frames: nothing to save, nothing asked.
  ASSERT_TRUE(SelectRecording(run, L"zero.lx", 0));
  const int dialogs = run.fileDialogs;
  const std::size_t boxesBefore = run.boxes.size();
  ChooseMenu(form, L"文件/所有帧另存为图片");
  PumpFor(run, 3000);
  EXPECT_EQ(run.fileDialogs, dialogs);
  EXPECT_EQ(run.boxes.size(), boxesBefore);

  // A long save: while it runs the start hot key and the menus do nothing;
  // closing the progress window stops it and keeps every picture written.
  ASSERT_TRUE(SelectRecording(run, L"many.lx", kManyFrames - 1));
  run.fileAnswers = {pics + L"m.bmp"};
  ASSERT_TRUE(ChooseMenu(form, L"文件/所有帧另存为图片"));
  HWND wait = nullptr;
  run.Pump(120000, [&] {
    wait = ShownProgressWindow(run);
    return wait && Exists(pics + L"m3.bmp");
  });
  ASSERT_TRUE(wait)
      << "no progress window; dialogs " << run.fileDialogs << ", m1.bmp " << Exists(pics + L"m1.bmp") << ", m"
      << kManyFrames << ".bmp " << Exists(pics + L"m" + std::to_wstring(kManyFrames) + L".bmp") << ", boxes "
      << run.boxes.size() << (run.boxes.empty() ? "" : ": " + run.boxes.back());
  EXPECT_FALSE(IsWindowEnabled(form));
  PostMessageW(form, WM_HOTKEY, 0, 0);
  ChooseMenu(form, L"文件/退出");  // chosen while the job runs: it must do nothing
  PostMessageW(wait, WM_CLOSE, 0, 0);
  run.Pump(60000, [&] { return !IsWindowVisible(wait) && IsWindowEnabled(form); });
  PumpFor(run, 3000);
  ASSERT_FALSE(run.exited) << "a menu command ran inside the save";
  EXPECT_EQ(RecorderState(form), 1) << "the start key ran inside the save";
  EXPECT_TRUE(IsWindowEnabled(form));
  EXPECT_EQ(run.boxes.size(), boxesBefore) << run.boxes.back();
  const std::vector<lxwrite::Record> small = SmallFrames();
  int written = 0;
  while (Exists(pics + L"m" + std::to_wstring(written + 1) + L".bmp")) ++written;
  EXPECT_GE(written, 3);
  EXPECT_LT(written, kManyFrames) << "the save was not stopped";
  for (int n = 1; n <= written; ++n)
    ASSERT_EQ(FileBytes(pics + L"m" + std::to_wstring(n) + L".bmp"), small[std::size_t((n - 1) / 7 % 2)].bmp) << n;
  EXPECT_FALSE(Exists(pics + L"m" + std::to_wstring(written + 2) + L".bmp"));
  WIN32_FIND_DATAW fd;
  HANDLE temp = FindFirstFileW((pics + L"*.~tmp").c_str(), &fd);
  EXPECT_EQ(temp, INVALID_HANDLE_VALUE) << "a cut picture was left";
  if (temp != INVALID_HANDLE_VALUE) FindClose(temp);
}

TEST(Program, EveryPageShowsWhenItsTabIsChosen) {
  ProgramFolder folder;
  std::vector<std::string> lines(130, "0");
  lines[0] = "1", lines[2] = "1";
  lines[3] = "F5", lines[4] = "F6", lines[5] = "F7", lines[73] = "F8";
  lines[6] = "1";
  lines[30] = "1", lines[31] = "1", lines[40] = "1";
  lines[41] = "1", lines[42] = "2", lines[43] = "3";
  lines[61] = "SimSun";
  lines[68] = "10";
  lines[107] = "100", lines[108] = "80", lines[109] = "740", lines[110] = "560";
  lines[129] = "1";
  // The custom caption the preview shows: "VIDORRA" at (20, 10), red, 20 points.
  lines[7] = "20", lines[8] = "10", lines[9] = "VIDORRA", lines[35] = "1";
  lines[59] = "20", lines[60] = "255";
  folder.WriteSettings(lines);
  CreateDirectoryW(folder.path(L"ls").c_str(), nullptr);
  WritePreviewRecordings(folder.path(L"ls\\"));
  const std::string dir = SCREENSHOT_DIR;
  ASSERT_TRUE(Sh("mkdir -p '" + dir + "'"));
  ProgramRun run;
  ASSERT_TRUE(run.Start(folder));
  ASSERT_NE(run.mainForm, nullptr) << (run.boxes.empty() ? "" : run.boxes.back());
  HWND form = run.mainForm;
  PumpFor(run, 500);
  for (const PageShot& page : kPages) {
    SCOPED_TRACE(page.file);
    HWND control = ControlNamed(form, page.control);
    ASSERT_NE(control, nullptr);
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(control, TCM_SETCURFOCUS, static_cast<WPARAM>(page.index), 0, SMTO_ABORTIFHUNG, 2000,
                        &ignored);
    PumpFor(run, 600);  // answers what the page shows on arrival
    EXPECT_EQ(SendMessageW(control, TCM_GETCURSEL, 0, 0), page.index);
    HWND sheet = ControlNamed(form, page.sheet);
    ASSERT_NE(sheet, nullptr);
    EXPECT_TRUE(IsWindowVisible(sheet));
    EXPECT_TRUE(Sh("import -window root '" + dir + "/" + page.file + ".png'"));
  }
  PreviewChecks(run, folder, dir);
  PostMessageW(form, WM_CLOSE, 0, 0);
  run.PumpUntilExit(20000);
  EXPECT_TRUE(run.exited);
}

}  // namespace
