// Installing and removing the MPEG Layer-3 ACM driver for the Wine tests (see
// Mp3DriverInstall.h). Compiled into every test of this folder; empty outside
// Windows.
#ifdef _WIN32
#include "Mp3DriverInstall.h"

#include <windows.h>

namespace mp3driver {
namespace {

const wchar_t kDrivers32[] = L"Software\\Microsoft\\Windows NT\\CurrentVersion\\Drivers32";
const wchar_t kCache[] = L"Software\\Microsoft\\AudioCompressionManager\\DriverCache\\";

std::wstring systemCopy() {
  wchar_t dir[MAX_PATH];
  UINT n = GetSystemDirectoryW(dir, MAX_PATH);
  return std::wstring(dir, n) + L"\\" + kFileName;
}

void dropCache() { RegDeleteKeyW(HKEY_LOCAL_MACHINE, (std::wstring(kCache) + kValueName).c_str()); }

}  // namespace

std::wstring winePath(const std::string& hostPath) {
  std::wstring w = L"Z:";
  for (char c : hostPath) w += c == '/' ? L'\\' : static_cast<wchar_t>(static_cast<unsigned char>(c));
  return w;
}

bool install(const std::string& builtDriver) {
  if (!CopyFileW(winePath(builtDriver).c_str(), systemCopy().c_str(), FALSE)) return false;
  HKEY key;
  if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, kDrivers32, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) !=
      ERROR_SUCCESS)
    return false;
  const std::wstring data = kFileName;
  LONG r = RegSetValueExW(key, kValueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                          DWORD((data.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(key);
  dropCache();
  return r == ERROR_SUCCESS;
}

bool uninstall() {
  HKEY key;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kDrivers32, 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
    RegDeleteValueW(key, kValueName);
    RegCloseKey(key);
  }
  dropCache();
  DeleteFileW(systemCopy().c_str());
  return GetFileAttributesW(systemCopy().c_str()) == INVALID_FILE_ATTRIBUTES;
}

bool installed() {
  HKEY key;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kDrivers32, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return false;
  const bool registered = RegQueryValueExW(key, kValueName, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
  RegCloseKey(key);
  return registered && GetFileAttributesW(systemCopy().c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string childMode(const char* childVariable) {
  char buf[32];
  DWORD n = GetEnvironmentVariableA(childVariable, buf, sizeof buf);
  return n && n < sizeof buf ? std::string(buf, n) : std::string();
}

int runChild(const char* childVariable, const char* mode, const wchar_t* gtestFilter) {
  wchar_t self[MAX_PATH];
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring cmd = L"\"" + std::wstring(self) + L"\" --gtest_filter=" + gtestFilter + L" --gtest_brief=1";
  SetEnvironmentVariableA(childVariable, mode);
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  BOOL ok = CreateProcessW(nullptr, &cmd[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi);
  SetEnvironmentVariableA(childVariable, nullptr);
  if (!ok) return -1;
  WaitForSingleObject(pi.hProcess, INFINITE);
  DWORD code = 1;
  GetExitCodeProcess(pi.hProcess, &code);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return int(code);
}

}  // namespace mp3driver
#endif
