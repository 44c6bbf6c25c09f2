// For tests that run Vidorra.exe itself: a program folder assembled from the
// build outputs (with a working folder "work\" inside), the running program
// with its message boxes and file dialogs read and answered from outside,
// and the small window helpers they need. The including CMake target defines
// VIDORRA_EXE, ZORBEL_EXE, TREBIS_DLL, TREBIS1_DLL, PELLUN_EXE and PLAY_DAT
// (Linux paths). Windows only.
#pragma once

#include <windows.h>
#include <tlhelp32.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "HookProtocol.h"
#include "RobotClient.h"
#include "ZorbelNames.h"

namespace program {

using robot::WinePath;

// A test killed for its time loses what a buffered stdout held: its
// failures so far are written as they happen.
inline const bool kUnbufferedOutput = (setvbuf(stdout, nullptr, _IONBF, 0), true);

// Texts as UTF-8, so that they compare with the tests' u8 literals (plain
// literals are compiled to code page 936).
inline std::string Utf8(const std::wstring& w) {
  int n = WideCharToMultiByte(CP_UTF8, 0, w.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string s(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, w.c_str(), -1, &s[0], n, nullptr, nullptr);
  s.resize(static_cast<std::size_t>(n - 1));
  return s;
}

inline std::wstring ClassOf(HWND w) {
  wchar_t c[64] = {};
  GetClassNameW(w, c, 64);
  return c;
}
// GetWindowText does not ask windows of other processes for their text:
// the message does.
inline std::wstring TextOf(HWND w) {
  wchar_t t[1024] = {};
  DWORD_PTR got = 0;
  SendMessageTimeoutW(w, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(t), SMTO_ABORTIFHUNG, 2000, &got);
  return t;
}

namespace detail {
struct Found {
  DWORD pid;
  std::wstring cls;
  HWND hwnd = nullptr;
};
inline BOOL CALLBACK FindTop(HWND w, LPARAM lp) {
  auto* f = reinterpret_cast<Found*>(lp);
  DWORD owner = 0;
  GetWindowThreadProcessId(w, &owner);
  if (owner == f->pid && IsWindowVisible(w) && ClassOf(w) == f->cls) {
    f->hwnd = w;
    return FALSE;
  }
  return TRUE;
}
inline BOOL CALLBACK LongestStatic(HWND w, LPARAM lp) {
  auto* best = reinterpret_cast<std::wstring*>(lp);
  if (ClassOf(w) == L"Static") {
    std::wstring t = TextOf(w);
    if (t.size() > best->size()) *best = t;
  }
  return TRUE;
}
struct NameQuery {
  std::wstring name;
  HWND hwnd;
};
inline BOOL CALLBACK MatchName(HWND w, LPARAM lp) {
  auto* q = reinterpret_cast<NameQuery*>(lp);
  ATOM a = static_cast<ATOM>(reinterpret_cast<UINT_PTR>(GetPropW(w, L"VidorraName")));
  wchar_t n[128] = {};
  if (a && GlobalGetAtomNameW(a, n, 128) && q->name == n) {
    q->hwnd = w;
    return FALSE;
  }
  return TRUE;
}
}  // namespace detail

inline HWND VisibleTopWindow(DWORD pid, const wchar_t* cls) {
  detail::Found f{pid, cls};
  EnumWindows(detail::FindTop, reinterpret_cast<LPARAM>(&f));
  return f.hwnd;
}

// The file-name box of an open or save dialog (#32770 with the combo box
// cmb13 or the edit edt1 of the common dialogs), null for any other window.
inline HWND FileNameBox(HWND dialog) {
  if (HWND combo = GetDlgItem(dialog, 0x47C)) return combo;
  return GetDlgItem(dialog, 0x480);
}

// The message of a box: its longest static text.
inline std::wstring BoxText(HWND box) {
  std::wstring best;
  EnumChildWindows(box, detail::LongestStatic, reinterpret_cast<LPARAM>(&best));
  return best;
}

// A control of a form by its name (the framework keeps each control's name
// in a global atom under the window property "VidorraName").
inline HWND ControlNamed(HWND form, const std::wstring& name) {
  detail::NameQuery q{name, nullptr};
  EnumChildWindows(form, detail::MatchName, reinterpret_cast<LPARAM>(&q));
  return q.hwnd;
}
inline bool Checked(HWND form, const wchar_t* name) {
  return SendMessageW(ControlNamed(form, name), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

// The once-only tip window (TAutotsForm) of the process while it is shown:
// a form with the tip in Memo4, the check box "知道了，以后不要再提示" and "确定".
namespace detail {
struct TipQuery {
  DWORD pid;
  HWND hwnd = nullptr;
};
inline BOOL CALLBACK FindTip(HWND w, LPARAM lp) {
  auto* q = reinterpret_cast<TipQuery*>(lp);
  DWORD owner = 0;
  GetWindowThreadProcessId(w, &owner);
  if (owner == q->pid && IsWindowVisible(w) && ClassOf(w) == L"VidorraForm" && ControlNamed(w, L"Memo4") &&
      ControlNamed(w, L"CheckBox1") && ControlNamed(w, L"Button2")) {
    q->hwnd = w;
    return FALSE;
  }
  return TRUE;
}
}  // namespace detail
inline HWND VisibleOnceTip(DWORD pid) {
  detail::TipQuery q{pid};
  EnumWindows(detail::FindTip, reinterpret_cast<LPARAM>(&q));
  return q.hwnd;
}

// The recorder's state as the outside query answers it: 1 idle, 2 recording,
// 3 paused.
inline LRESULT RecorderState(HWND form) {
  DWORD_PTR answer = 0;
  SendMessageTimeoutW(form, WM_USER + 17, 0, 0, SMTO_ABORTIFHUNG, 2000, &answer);
  return static_cast<LRESULT>(answer);
}

// Chooses a menu item of a form as the robot does (Wine keeps menus inside
// their process: the form finds the item by the captions or names on its
// path, opening each submenu on the way, or the named popup menu first).
// False when no such shown and enabled item exists.
inline bool ChooseMenu(HWND form, const std::wstring& path) {
  static const UINT request = RegisterWindowMessageW(L"VidorraRobotMenu");
  ATOM atom = GlobalAddAtomW(path.c_str());
  DWORD_PTR id = 0;
  const bool sent = SendMessageTimeoutW(form, request, atom, 0, SMTO_ABORTIFHUNG, 5000, &id) != 0;
  GlobalDeleteAtom(atom);
  return sent && id != 0;
}

inline std::string ReadFileBytes(const std::wstring& path) {
  std::ifstream in(path.c_str(), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The program starts the mouse-effect helper and, through COM, the sound
// server; they outlive a program that ended early, and under Wine they hold
// the test's output open (ctest then waits for ever). Ask them to close as
// the program itself does (a killed sound server spoils the prefix's COM
// state for the next run), and end them only when they do not.
inline void EndHelpers() {
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

// A test that ran out of time is killed without its destructors: its
// Vidorra.exe lives on and every later start meets "already open". The
// program tests run one at a time, so any Vidorra.exe still running is such
// a leftover.
inline void EndLeftoverPrograms() {
  HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snap == INVALID_HANDLE_VALUE) return;
  PROCESSENTRY32W pe = {};
  pe.dwSize = sizeof pe;
  for (BOOL ok = Process32FirstW(snap, &pe); ok; ok = Process32NextW(snap, &pe)) {
    if (lstrcmpiW(pe.szExeFile, L"Vidorra.exe") != 0) continue;
    if (HANDLE p = OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, pe.th32ProcessID)) {
      TerminateProcess(p, 9);
      WaitForSingleObject(p, 5000);
      CloseHandle(p);
    }
  }
  CloseHandle(snap);
  EndHelpers();
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
    CreateDirectoryW(work().c_str(), nullptr);
    Copy(VIDORRA_EXE, L"Vidorra.exe");
    Copy(ZORBEL_EXE, L"zorbel.exe");
    Copy(TREBIS_DLL, L"trebis.dll");
    Copy(TREBIS1_DLL, L"trebis1.dll");
    Copy(PELLUN_EXE, L"pellun.exe");
    Copy(PLAY_DAT, L"play.dat");
    // The click sounds lie beside the built program (its folder target).
    const std::wstring built = WinePath(VIDORRA_EXE);
    const std::wstring from = built.substr(0, built.find_last_of(L'\\') + 1);
    for (int n = 1; n <= 8; ++n) {
      const std::wstring name = L"mc" + std::to_wstring(n) + L".wav";
      CopyFileW((from + name).c_str(), (dir_ + name).c_str(), FALSE);
    }
  }
  ~ProgramFolder() {
    EndHelpers();
    Clear(dir_);
  }
  ProgramFolder(const ProgramFolder&) = delete;
  ProgramFolder& operator=(const ProgramFolder&) = delete;

  void Copy(const char* from, const wchar_t* to) { CopyFileW(WinePath(from).c_str(), (dir_ + to).c_str(), FALSE); }
  void Remove(const wchar_t* name) { DeleteFileW((dir_ + name).c_str()); }
  const std::wstring& dir() const { return dir_; }
  std::wstring path(const wchar_t* name) const { return dir_ + name; }
  std::wstring work() const { return dir_ + L"work\\"; }

  // Writes set.dat from its lines, each ended by CR LF.
  void WriteSettings(const std::vector<std::string>& lines) const {
    std::ofstream out(path(L"set.dat").c_str(), std::ios::binary);
    for (const auto& l : lines) out << l << "\r\n";
  }

private:
  // The folder with its files and its subfolders' files (one level deep:
  // the program makes no deeper ones).
  static void Clear(const std::wstring& folder) {
    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileW((folder + L"*").c_str(), &fd);
    if (h != INVALID_HANDLE_VALUE) {
      do {
        std::wstring n = fd.cFileName;
        if (n == L"." || n == L"..") continue;
        if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
          WIN32_FIND_DATAW inner;
          const std::wstring sub = folder + n + L"\\";
          HANDLE hi = FindFirstFileW((sub + L"*").c_str(), &inner);
          if (hi != INVALID_HANDLE_VALUE) {
            do {
              if (!(inner.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) DeleteFileW((sub + inner.cFileName).c_str());
            } while (FindNextFileW(hi, &inner));
            FindClose(hi);
          }
          RemoveDirectoryW(sub.c_str());
        } else {
          DeleteFileW((folder + n).c_str());
        }
      } while (FindNextFileW(h, &fd));
      FindClose(h);
    }
    RemoveDirectoryW(folder.c_str());
  }
  std::wstring dir_;
};

struct ProgramRun {
  PROCESS_INFORMATION pi = {};
  std::vector<std::string> boxes;  // UTF-8 texts of the boxes answered, in order
  std::vector<std::string> tips;   // UTF-8 texts of the once-only tips answered, in order
  bool dismissTips = false;        // answer tips with "以后不要再提示" ticked
  bool besideAnother = false;      // start while another instance runs, not ending it first
  // Answers of the open and save dialogs, in order: a full path is typed
  // and confirmed, an empty one cancels; with none left a dialog is cancelled.
  std::vector<std::wstring> fileAnswers;
  int fileDialogs = 0;  // dialogs answered
  HWND mainForm = nullptr;
  bool exited = false;
  DWORD exitCode = 99;

  ProgramRun() = default;
  ProgramRun(const ProgramRun&) = delete;
  ProgramRun& operator=(const ProgramRun&) = delete;
  ~ProgramRun() {
    if (!pi.hProcess) return;
    if (WaitForSingleObject(pi.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(pi.hProcess, 9);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
  }
  // Starts the program and answers every box until the main window shows or
  // the program ends. False when the process could not be created.
  bool Start(const ProgramFolder& folder, const std::wstring& arguments = std::wstring()) {
    if (!besideAnother) EndLeftoverPrograms();
    std::wstring exe = folder.path(L"Vidorra.exe");
    std::wstring cmd = L"\"" + exe + L"\"" + (arguments.empty() ? L"" : L" " + arguments);
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    if (!CreateProcessW(exe.c_str(), &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, folder.dir().c_str(), &si, &pi))
      return false;
    // A first start on a slow (emulated) machine can take a minute or more.
    Pump(180000, [&] { return mainForm != nullptr; });
    return true;
  }
  // Answers every box with its first button, and every once-only tip with
  // "确定" (its check box ticked when dismissTips), until done() holds, the
  // time is up or the program ends.
  template <class Done>
  void Pump(DWORD ms, Done done) {
    DWORD until = GetTickCount() + ms;
    while (static_cast<int>(until - GetTickCount()) > 0) {
      if (WaitForSingleObject(pi.hProcess, 100) == WAIT_OBJECT_0) {
        exited = true;
        GetExitCodeProcess(pi.hProcess, &exitCode);
        return;
      }
      HWND dialog = VisibleTopWindow(pi.dwProcessId, L"#32770");
      if (HWND name = dialog ? FileNameBox(dialog) : nullptr) {
        std::wstring answer;
        if (!fileAnswers.empty()) {
          answer = fileAnswers.front();
          fileAnswers.erase(fileAnswers.begin());
        }
        ++fileDialogs;
        DWORD_PTR ignored = 0;
        if (!answer.empty())
          SendMessageTimeoutW(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(answer.c_str()), SMTO_ABORTIFHUNG, 2000,
                              &ignored);
        PostMessageW(dialog, WM_COMMAND, answer.empty() ? IDCANCEL : IDOK, 0);
        for (int i = 0; i < 50 && IsWindowVisible(dialog); ++i) Sleep(50);
        continue;
      }
      if (HWND box = dialog) {
        std::wstring text = BoxText(box);
        if (!text.empty()) {
          boxes.push_back(Utf8(text));
          PostMessageW(box, WM_COMMAND, IDOK, 0);
          Sleep(300);
          continue;
        }
      }
      if (HWND tip = VisibleOnceTip(pi.dwProcessId)) {
        // The window shows before its show handler has put the tip in: look
        // again until the text is there.
        std::wstring text = TextOf(ControlNamed(tip, L"Memo4"));
        if (text.empty()) continue;
        tips.push_back(Utf8(text));
        if (dismissTips) PostMessageW(ControlNamed(tip, L"CheckBox1"), BM_CLICK, 0, 0);
        PostMessageW(ControlNamed(tip, L"Button2"), BM_CLICK, 0, 0);
        for (int i = 0; i < 50 && IsWindowVisible(tip); ++i) Sleep(50);
        continue;
      }
      if (!mainForm) {
        HWND form = VisibleTopWindow(pi.dwProcessId, L"VidorraForm");
        if (form && TextOf(form) == L"Vidorra") mainForm = form;
      }
      if (done()) return;
    }
  }
  // Pumps until the program ends or the time is up.
  void PumpUntilExit(DWORD ms) {
    Pump(ms, [] { return false; });
  }
  bool Saw(const char* utf8) const {
    for (const auto& b : boxes)
      if (b == utf8) return true;
    return false;
  }
};

}  // namespace program
