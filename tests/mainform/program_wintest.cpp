// Vidorra.exe from the outside, in a program folder assembled from the
// build: the start-up failure table (each row's message and exit code), and
// a whole run that shows the main window filled from a fixture set.dat,
// holds the four hot keys, and on close writes set.dat back with every line
// it does not own unchanged. Boxes are read and answered by enumerating the
// program's windows from this process; Windows (Wine) and a display needed.
#include <gtest/gtest.h>

#include <windows.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "HookProtocol.h"
#include "RobotClient.h"
#include "ZorbelNames.h"

namespace {

using robot::WinePath;

// The boxes' texts as UTF-8, so that they compare with this file's literals
// (written with -fexec-charset=GBK, the expected texts come from wide ones).
std::string Utf8(const std::wstring& w) {
  int n = WideCharToMultiByte(CP_UTF8, 0, w.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string s(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, w.c_str(), -1, &s[0], n, nullptr, nullptr);
  s.resize(static_cast<std::size_t>(n - 1));
  return s;
}

std::wstring ClassOf(HWND w) {
  wchar_t c[64] = {};
  GetClassNameW(w, c, 64);
  return c;
}
// GetWindowText does not ask windows of other processes for their text:
// the message does.
std::wstring TextOf(HWND w) {
  wchar_t t[1024] = {};
  DWORD_PTR got = 0;
  SendMessageTimeoutW(w, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(t), SMTO_ABORTIFHUNG, 2000, &got);
  return t;
}
std::wstring SelectedItem(HWND combo) {
  LRESULT i = SendMessageW(combo, CB_GETCURSEL, 0, 0);
  if (i < 0) return L"";
  wchar_t t[256] = {};
  SendMessageW(combo, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(t));
  return t;
}

struct Found {
  DWORD pid;
  std::wstring cls;
  HWND hwnd = nullptr;
};
BOOL CALLBACK FindTop(HWND w, LPARAM lp) {
  auto* f = reinterpret_cast<Found*>(lp);
  DWORD owner = 0;
  GetWindowThreadProcessId(w, &owner);
  if (owner == f->pid && IsWindowVisible(w) && ClassOf(w) == f->cls) {
    f->hwnd = w;
    return FALSE;
  }
  return TRUE;
}
HWND VisibleTopWindow(DWORD pid, const wchar_t* cls) {
  Found f{pid, cls};
  EnumWindows(FindTop, reinterpret_cast<LPARAM>(&f));
  return f.hwnd;
}

// The message of a box: its longest static text.
BOOL CALLBACK LongestStatic(HWND w, LPARAM lp) {
  auto* best = reinterpret_cast<std::wstring*>(lp);
  if (ClassOf(w) == L"Static") {
    std::wstring t = TextOf(w);
    if (t.size() > best->size()) *best = t;
  }
  return TRUE;
}
std::wstring BoxText(HWND box) {
  std::wstring best;
  EnumChildWindows(box, LongestStatic, reinterpret_cast<LPARAM>(&best));
  return best;
}

// A control of the main form by its name (the framework keeps each
// control's name in a global atom under the window property "VidorraName").
struct NameQuery {
  std::wstring name;
  HWND hwnd;
};
BOOL CALLBACK MatchName(HWND w, LPARAM lp) {
  auto* q = reinterpret_cast<NameQuery*>(lp);
  ATOM a = static_cast<ATOM>(reinterpret_cast<UINT_PTR>(GetPropW(w, L"VidorraName")));
  wchar_t n[128] = {};
  if (a && GlobalGetAtomNameW(a, n, 128) && q->name == n) {
    q->hwnd = w;
    return FALSE;
  }
  return TRUE;
}
HWND ControlNamed(HWND form, const std::wstring& name) {
  NameQuery q{name, nullptr};
  EnumChildWindows(form, MatchName, reinterpret_cast<LPARAM>(&q));
  return q.hwnd;
}
bool Checked(HWND form, const wchar_t* name) {
  return SendMessageW(ControlNamed(form, name), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

// The program starts the mouse-effect helper and, through COM, the sound
// server; a run that ends early leaves them behind, and under Wine they hold
// the test's output open (ctest then waits for ever). Ask them to close as
// the program itself does (a killed sound server spoils the prefix's COM
// state for the next run), and end them only when they do not.
void EndHelpers() {
  const std::wstring pellun = robot::Widen(HELPER_WINDOW_TITLE);
  for (const wchar_t* title : {pellun.c_str(), zorbel::kWindowTitle}) {
    HWND w = FindWindowW(nullptr, title);
    if (!w) continue;
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    HANDLE p = OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, pid);
    PostMessageW(w, WM_CLOSE, 0, 0);
    if (p) {
      if (WaitForSingleObject(p, 5000) == WAIT_TIMEOUT) TerminateProcess(p, 9);
      CloseHandle(p);
    }
  }
}

class ProgramFolder {
public:
  ProgramFolder() {
    wchar_t tmp[MAX_PATH];
    GetTempPathW(MAX_PATH, tmp);
    // A folder of its own each time: the sound server of an earlier run may
    // still hold its copy of zorbel.exe open.
    static int serial = 0;
    dir_ = std::wstring(tmp) + L"vidorra-prog-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
           std::to_wstring(++serial) + L"\\";
    CreateDirectoryW(dir_.c_str(), nullptr);
    Copy(VIDORRA_EXE, L"Vidorra.exe");
    Copy(ZORBEL_EXE, L"zorbel.exe");
    Copy(TREBIS_DLL, L"trebis.dll");
    Copy(TREBIS1_DLL, L"trebis1.dll");
    Copy(PELLUN_EXE, L"pellun.exe");
    Copy(PLAY_DAT, L"play.dat");
  }
  ~ProgramFolder() {
    EndHelpers();
    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileW((dir_ + L"*").c_str(), &fd);
    if (h != INVALID_HANDLE_VALUE) {
      do {
        std::wstring n = fd.cFileName;
        if (n == L"." || n == L"..") continue;
        if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
          RemoveDirectoryW((dir_ + n).c_str());
        else
          DeleteFileW((dir_ + n).c_str());
      } while (FindNextFileW(h, &fd));
      FindClose(h);
    }
    RemoveDirectoryW(dir_.c_str());
  }
  void Copy(const char* from, const wchar_t* to) { CopyFileW(WinePath(from).c_str(), (dir_ + to).c_str(), FALSE); }
  void Remove(const wchar_t* name) { DeleteFileW((dir_ + name).c_str()); }
  const std::wstring& dir() const { return dir_; }
  std::wstring path(const wchar_t* name) const { return dir_ + name; }

private:
  std::wstring dir_;
};

struct ProgramRun {
  PROCESS_INFORMATION pi = {};
  std::vector<std::string> boxes;  // UTF-8 texts, in order
  HWND mainForm = nullptr;
  bool exited = false;
  DWORD exitCode = 99;

  ~ProgramRun() {
    if (pi.hProcess) {
      if (WaitForSingleObject(pi.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(pi.hProcess, 9);
      CloseHandle(pi.hProcess);
      CloseHandle(pi.hThread);
    }
  }
  // Starts the program and answers every box with its first button until
  // the main window shows or the program ends.
  void Start(const ProgramFolder& folder) {
    std::wstring exe = folder.path(L"Vidorra.exe");
    std::wstring cmd = L"\"" + exe + L"\"";
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    ASSERT_TRUE(CreateProcessW(exe.c_str(), &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, folder.dir().c_str(), &si,
                               &pi));
    Pump(60000, true);
  }
  void Pump(DWORD ms, bool stopAtMainForm) {
    DWORD until = GetTickCount() + ms;
    while (static_cast<int>(until - GetTickCount()) > 0) {
      if (WaitForSingleObject(pi.hProcess, 100) == WAIT_OBJECT_0) {
        exited = true;
        GetExitCodeProcess(pi.hProcess, &exitCode);
        return;
      }
      if (HWND box = VisibleTopWindow(pi.dwProcessId, L"#32770")) {
        std::wstring text = BoxText(box);
        if (!text.empty()) {
          boxes.push_back(Utf8(text));
          PostMessageW(box, WM_COMMAND, IDOK, 0);
          Sleep(300);
          continue;
        }
      }
      HWND form = VisibleTopWindow(pi.dwProcessId, L"VidorraForm");
      if (form && TextOf(form) == L"Vidorra") {
        mainForm = form;
        if (stopAtMainForm) return;
      }
    }
  }
  bool Saw(const char* utf8) const {
    for (const auto& b : boxes)
      if (b == utf8) return true;
    return false;
  }
};

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
    run.Start(folder);
    ASSERT_TRUE(run.exited) << (run.boxes.empty() ? "no box" : run.boxes.back()) << " main " << run.mainForm;
    EXPECT_EQ(run.exitCode, row.exitCode);
    ASSERT_FALSE(run.boxes.empty());
    EXPECT_EQ(run.boxes.back(), row.message);
    EXPECT_EQ(run.mainForm, nullptr);
  }

  // A second instance while the first runs; help.chm is absent from the
  // folder, which the first shows and goes on.
  ProgramFolder folder;
  ProgramRun first;
  first.Start(folder);
  ASSERT_NE(first.mainForm, nullptr) << (first.boxes.empty() ? "" : first.boxes.back());
  EXPECT_TRUE(first.Saw(kHelpMissing));
  ProgramRun second;
  second.Start(folder);
  EXPECT_TRUE(second.exited);
  EXPECT_EQ(second.exitCode, 1u);
  EXPECT_TRUE(second.Saw(u8"你已经打开了一个Vidorra，不能同时打开两个"));
  PostMessageW(first.mainForm, WM_CLOSE, 0, 0);
  first.Pump(20000, false);
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
std::string ReadAll(const std::wstring& path) {
  std::ifstream in(path.c_str(), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
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
  lines[129] = "0";
  lines[44] = "kept 44", lines[49] = "kept 49", lines[80] = "kept 80", lines[130] = "tail 130";
  lines[131] = "tail 131";
  lines[61] = "SimSun";
  std::string fixture;
  for (const auto& l : lines) fixture += l + "\r\n";
  {
    std::ofstream out(folder.path(L"set.dat").c_str(), std::ios::binary);
    out << fixture;
  }

  ProgramRun run;
  run.Start(folder);
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

  PostMessageW(form, WM_CLOSE, 0, 0);
  run.Pump(20000, false);
  ASSERT_TRUE(run.exited);
  EXPECT_EQ(run.exitCode, 0u);
  for (UINT vk : {VK_F5, VK_F6, VK_F7, VK_F8}) EXPECT_FALSE(KeyTaken(mods, vk)) << vk;

  std::vector<std::string> after = Lines(ReadAll(folder.path(L"set.dat")));
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
}

}  // namespace
