// Registration of zorbel.exe under HKEY_LOCAL_MACHINE\Software\Classes, where
// the program looks for it. Unregistering removes every key registering made,
// and with the CLSID key the program's own "zorbelv2" mark, so that the next
// start of the program registers afresh.
#include "Registration.h"

#include "Irecorder.h"
#include "ZorbelNames.h"

#include <windows.h>

#include <string>

namespace zorbel {

namespace {

const wchar_t* const kClasses = L"Software\\Classes\\";

bool setDefault(const std::wstring& key, const std::wstring& value) {
  HKEY h;
  if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &h, nullptr) !=
      ERROR_SUCCESS)
    return false;
  LONG r = RegSetValueExW(h, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                          DWORD((value.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(h);
  return r == ERROR_SUCCESS;
}

bool deleteTree(const std::wstring& key) {
  // Given a subkey name, RegDeleteTree removes that key itself as well.
  LONG r = RegDeleteTreeW(HKEY_LOCAL_MACHINE, key.c_str());
  return r == ERROR_SUCCESS || r == ERROR_FILE_NOT_FOUND;
}

std::wstring modulePath() {
  wchar_t buf[MAX_PATH * 2];
  DWORD n = GetModuleFileNameW(nullptr, buf, DWORD(sizeof buf / sizeof buf[0]));
  if (n == 0 || n >= sizeof buf / sizeof buf[0]) return std::wstring();
  return std::wstring(buf, n);
}

}  // namespace

bool registerServer() {
  std::wstring exe = modulePath();
  if (exe.empty()) return false;
  const std::wstring clsid = std::wstring(kClasses) + L"CLSID\\" + kClsidText;
  const std::wstring progId = std::wstring(kClasses) + kProgId;
  bool ok = setDefault(clsid, L"recorder") &&
            setDefault(clsid + L"\\LocalServer32", L"\"" + exe + L"\" /Automation") &&
            setDefault(clsid + L"\\ProgID", kProgId) && setDefault(clsid + L"\\TypeLib", kLibidText) &&
            setDefault(clsid + L"\\Version", L"1.0") && setDefault(progId, L"recorder") &&
            setDefault(progId + L"\\CLSID", kClsidText);
  if (!ok) return false;
  // Writes TypeLib\{libid} and Interface\{iid} (universal marshaler).
  ITypeLib* lib = nullptr;
  if (FAILED(LoadTypeLibEx(exe.c_str(), REGKIND_REGISTER, &lib))) return false;
  lib->Release();
  return true;
}

bool unregisterServer() {
  // Fails harmlessly when the type library was never registered.
  UnRegisterTypeLib(LIBID_qorvimrecorder, kTypeLibMajor, kTypeLibMinor, LOCALE_NEUTRAL, SYS_WIN32);
  bool ok = deleteTree(std::wstring(kClasses) + L"CLSID\\" + kClsidText);
  ok = deleteTree(std::wstring(kClasses) + kProgId) && ok;
  ok = deleteTree(std::wstring(kClasses) + L"Interface\\" + kIidText) && ok;
  ok = deleteTree(std::wstring(kClasses) + L"TypeLib\\" + kLibidText) && ok;
  return ok;
}

}  // namespace zorbel
