// Vidorra.exe from the outside, in a program folder assembled from the
// build: the start-up failure table (each row's message and exit code); a
// whole run that shows the main window filled from a fixture set.dat, holds
// the four hot keys, and on close writes set.dat back with every line it does
// not own unchanged; a real key press of the start/stop key (and a close
// refused while it records); the once-only tips until they are dismissed,
// over two runs; and every page chosen by its tab and photographed. Boxes
// and tips are read and answered from this process; Windows (Wine), a
// display and xdotool needed.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "ProgramRun.h"

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

// ---- every page, shown and photographed ------------------------------------
// Each page is chosen as a click on its tab would choose it (the tab control's
// focus message sends the change notifications to the form), checked to be
// the one shown, and the screen saved as SCREENSHOT_DIR/<page>.png for a
// person to look at (scripts/screenshots).
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
  folder.WriteSettings(lines);
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
  PostMessageW(form, WM_CLOSE, 0, 0);
  run.PumpUntilExit(20000);
  EXPECT_TRUE(run.exited);
}

}  // namespace
