// A self-playing recording run by its player stub, as the player's tests and
// the end-to-end recording tests start it: "LXPLAYFF" is created here before
// the start, so a set event is seen however early it comes; a player still
// running at the end is ended and its handles closed. Windows (Wine) only.
#pragma once

#include <windows.h>

#include <cwchar>
#include <string>

namespace checkers {

struct WindowSearch {
  DWORD pid;
  const wchar_t* cls;
  HWND found;
};
inline BOOL CALLBACK findProcessWindow(HWND w, LPARAM p) {
  auto* s = reinterpret_cast<WindowSearch*>(p);
  DWORD owner = 0;
  wchar_t name[64];
  GetWindowThreadProcessId(w, &owner);
  if (owner == s->pid && IsWindowVisible(w) && GetClassNameW(w, name, 64) && !wcscmp(name, s->cls)) {
    s->found = w;
    return FALSE;
  }
  return TRUE;
}
inline BOOL CALLBACK gatherStaticText(HWND w, LPARAM p) {
  wchar_t cls[32], text[256];
  if (GetClassNameW(w, cls, 32) && !_wcsicmp(cls, L"Static") && GetWindowTextW(w, text, 256))
    *reinterpret_cast<std::wstring*>(p) += text;
  return TRUE;
}

// A visible top-level window of class cls of process pid, waited for up to ms.
inline HWND waitProcessWindow(DWORD pid, const wchar_t* cls, DWORD ms) {
  for (DWORD t0 = GetTickCount(); GetTickCount() - t0 < ms; Sleep(20)) {
    WindowSearch s{pid, cls, nullptr};
    EnumWindows(findProcessWindow, LPARAM(&s));
    if (s.found) return s.found;
  }
  return nullptr;
}

class PlayerRun {
public:
  // deleteAfter: the recording goes with the run.
  PlayerRun(const std::wstring& exe, const std::wstring& args, bool deleteAfter = false)
      : exe_(exe), deleteAfter_(deleteAfter) {
    started_ = CreateEventW(nullptr, TRUE, FALSE, L"LXPLAYFF");
    ResetEvent(started_);
    std::wstring cmd = L"\"" + exe + L"\" " + args;
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    ok_ = CreateProcessW(exe.c_str(), &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi_);
  }
  ~PlayerRun() {
    if (ok_) {
      if (WaitForSingleObject(pi_.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(pi_.hProcess, 9);
      WaitForSingleObject(pi_.hProcess, 3000);
      CloseHandle(pi_.hProcess);
      CloseHandle(pi_.hThread);
    }
    CloseHandle(started_);
    if (deleteAfter_) DeleteFileW(exe_.c_str());
  }
  PlayerRun(const PlayerRun&) = delete;
  PlayerRun& operator=(const PlayerRun&) = delete;

  bool waitStarted(DWORD ms = 10000) { return ok_ && WaitForSingleObject(started_, ms) == WAIT_OBJECT_0; }
  HWND window(DWORD ms = 3000) { return ok_ ? waitProcessWindow(pi_.dwProcessId, L"LxPlayerWindow", ms) : nullptr; }
  // Exit code, or -1 while it still runs after ms.
  int waitExit(DWORD ms) {
    DWORD code = 0;
    if (!ok_ || WaitForSingleObject(pi_.hProcess, ms) != WAIT_OBJECT_0) return -1;
    GetExitCodeProcess(pi_.hProcess, &code);
    return int(code);
  }
  bool running() { return ok_ && WaitForSingleObject(pi_.hProcess, 0) == WAIT_TIMEOUT; }
  // The message box the player shows, waited for up to 5 s.
  HWND promptWindow() { return ok_ ? waitProcessWindow(pi_.dwProcessId, L"#32770", 5000) : nullptr; }
  // The text of that message box; the box is then confirmed.
  std::wstring confirmMessage() {
    HWND box = promptWindow();
    std::wstring text;
    if (box) {
      EnumChildWindows(box, gatherStaticText, LPARAM(&text));
      PostMessageW(box, WM_COMMAND, IDOK, 0);
    }
    return text;
  }

private:
  std::wstring exe_;
  bool deleteAfter_;
  HANDLE started_ = nullptr;
  PROCESS_INFORMATION pi_ = {};
  bool ok_ = false;
};

}  // namespace checkers
