// The Windows side of the system helpers: version gates, the DirectDraw probe,
// the real shutdown and recycle-bin calls, and the sound server's registry
// value. Names cross into Win32 as UTF-16 converted from CP936.
#include <windows.h>
#include <shellapi.h>

#include "SysUtils.h"
#include "SystemHelpers.h"

namespace {

OSVERSIONINFOW osVersion() {
  OSVERSIONINFOW v{};
  v.dwOSVersionInfoSize = sizeof v;
  GetVersionExW(&v);
  return v;
}

bool isNt() { return osVersion().dwPlatformId == VER_PLATFORM_WIN32_NT; }

class RealShutdown : public ShutdownSystem {
public:
  bool isNtPlatform() override { return isNt(); }
  bool exitWindows(unsigned flags, unsigned reason) override { return ExitWindowsEx(flags, reason) != 0; }
  bool openProcessToken() override {
    return OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token_) != 0;
  }
  bool lookupShutdownPrivilege() override {
    return LookupPrivilegeValueW(nullptr, L"SeShutdownPrivilege", &luid_) != 0;
  }
  bool enableShutdownPrivilege() override {
    TOKEN_PRIVILEGES tp{};
    tp.PrivilegeCount = 1;
    tp.Privileges[0].Luid = luid_;
    tp.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    // AdjustTokenPrivileges succeeds even when nothing was granted; the last
    // error tells.
    return AdjustTokenPrivileges(token_, FALSE, &tp, 0, nullptr, nullptr) && GetLastError() == ERROR_SUCCESS;
  }
  void closeProcessToken() override {
    if (token_) CloseHandle(token_);
    token_ = nullptr;
  }

private:
  HANDLE token_ = nullptr;
  LUID luid_{};
};

int realShellDelete(const ShellDelete& d) {
  SHFILEOPSTRUCTW op{};
  op.hwnd = static_cast<HWND>(d.owner);
  op.wFunc = d.func;
  op.pFrom = d.from.c_str();
  op.fFlags = static_cast<FILEOP_FLAGS>(d.flags);
  op.lpszProgressTitle = d.title.c_str();
  return SHFileOperationW(&op);
}

}  // namespace

bool isWin2000OrLater() {
  const OSVERSIONINFOW v = osVersion();
  return v.dwPlatformId == VER_PLATFORM_WIN32_NT && v.dwMajorVersion > 4;
}

bool isWinNT4() {
  const OSVERSIONINFOW v = osVersion();
  return v.dwPlatformId == VER_PLATFORM_WIN32_NT && v.dwMajorVersion == 4;
}

bool isVistaOrLater() {
  const OSVERSIONINFOW v = osVersion();
  return v.dwPlatformId == VER_PLATFORM_WIN32_NT && v.dwMajorVersion > 5;
}

bool hasDirectDrawEx() {
  HMODULE dll = LoadLibraryW(L"ddraw.dll");
  if (!dll) return false;
  const bool found = GetProcAddress(dll, "DirectDrawCreateEx") != nullptr;
  FreeLibrary(dll);
  return found;
}

int shutdownComputer() {
  RealShutdown system;
  return shutdownComputer(system);
}

void recycleFiles(void* owner, const TStringList& names, const ShellDeleteFn& shell) {
  if (names.Count() == 0) return;
  ShellDelete d;
  d.owner = owner;
  d.func = FO_DELETE;
  d.flags = FOF_ALLOWUNDO;
  d.title = Cp936ToWide("正在删除文件");
  for (int i = 0; i < names.Count(); ++i) {
    d.from += Cp936ToWide(names[i]);
    d.from += L'\0';
  }
  // c_str() adds the second NUL that ends the list.
  shell(d);
}

void recycleFiles(void* owner, const TStringList& names) { recycleFiles(owner, names, realShellDelete); }

void setLocalServerPath(const AnsiString& keyPath, const AnsiString& exePath) {
  HKEY key;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, Cp936ToWide(keyPath).c_str(), 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS)
    return;
  const std::wstring value = Cp936ToWide(exePath + " /Automation");
  RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                 static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(key);
}

void registerRecorderServer(const AnsiString& exePath) {
  setLocalServerPath("SOFTWARE\\Classes\\CLSID\\{A8B0ADB7-ECB6-4D8F-829A-F050181A6510}\\LocalServer32", exePath);
}
