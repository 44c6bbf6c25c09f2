// For tests that drive a program through robot.exe: runs the robot with
// arguments and collects what it prints. Windows only; ROBOT_EXE (a Linux
// path from CMake) names the robot.
#pragma once

#include <windows.h>

#include <initializer_list>
#include <string>

namespace robot {

// CMake gives Linux paths; under Wine they live on drive Z:.
inline std::wstring WinePath(const char* unixPath) {
  std::string p = unixPath;
  if (!p.empty() && p[0] == '/') p = "Z:" + p;
  std::wstring w(p.begin(), p.end());
  for (auto& c : w)
    if (c == L'/') c = L'\\';
  return w;
}

inline std::wstring Widen(const std::string& utf8) {
  int n = MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, nullptr, 0);
  std::wstring w(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, &w[0], n);
  w.resize(static_cast<std::size_t>(n - 1));
  return w;
}

struct Result {
  DWORD code = 99;  // 99: the robot could not be started
  std::string out;  // UTF-8, as the robot prints it
};

// Runs robot.exe with the arguments (UTF-8, each quoted) and collects stdout.
inline Result Run(const char* robotExe, std::initializer_list<std::string> args) {
  std::wstring cmd = L"\"" + WinePath(robotExe) + L"\"";
  for (const auto& a : args) cmd += L" \"" + Widen(a) + L"\"";
  SECURITY_ATTRIBUTES sa = {sizeof(sa), nullptr, TRUE};
  HANDLE rd, wr;
  CreatePipe(&rd, &wr, &sa, 0);
  SetHandleInformation(rd, HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOW si = {};
  si.cb = sizeof(si);
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdOutput = wr;
  si.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  PROCESS_INFORMATION pi = {};
  Result r;
  if (!CreateProcessW(nullptr, &cmd[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi)) {
    CloseHandle(rd);
    CloseHandle(wr);
    return r;
  }
  CloseHandle(wr);
  char buf[4096];
  DWORD got;
  while (ReadFile(rd, buf, sizeof buf, &got, nullptr) && got) r.out.append(buf, got);
  CloseHandle(rd);
  WaitForSingleObject(pi.hProcess, INFINITE);
  GetExitCodeProcess(pi.hProcess, &r.code);
  CloseHandle(pi.hProcess);
  CloseHandle(pi.hThread);
  return r;
}

}  // namespace robot
