// The display acceleration keeper on Windows (see DisplayKeeper_win.h): the
// device map names the primary display driver's registry key under
// "\REGISTRY\MACHINE\"; the level is taken by the driver when the current
// display mode is set again.
#include "DisplayKeeper_win.h"

#include <windows.h>

#include <cwctype>
#include <string>

#include "Forms.h"
#include "SystemHelpers.h"

namespace {
const wchar_t kLevelValue[] = L"Acceleration.Level";
const wchar_t kKeptValue[] = L"qorvimv";
const wchar_t kMachinePrefix[] = L"\\REGISTRY\\MACHINE\\";

bool readDword(HKEY key, const wchar_t* name, DWORD& value) {
  DWORD type = 0, size = sizeof value;
  return RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) == ERROR_SUCCESS &&
         type == REG_DWORD && size == sizeof value;
}

class WinAcceleration : public AccelerationSystem {
public:
  bool changeable() override {
    // NT 4 has no such level; Vista and later manage it themselves.
    return !isWinNT4() && !isVistaOrLater();
  }
  bool read(int& level, int& kept) override {
    std::wstring path;
    if (!driverKeyPath(path)) return false;
    HKEY key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    DWORD v = 0;
    level = readDword(key, kLevelValue, v) ? static_cast<int>(v) : 0;
    kept = readDword(key, kKeptValue, v) ? static_cast<int>(v) : -1;
    RegCloseKey(key);
    return true;
  }
  bool write(int level, int kept) override {
    std::wstring path;
    if (!driverKeyPath(path)) return false;
    HKEY key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ | KEY_WRITE, &key) != ERROR_SUCCESS) {
      ShowMessage("g al error 3");
      return false;
    }
    DWORD value = static_cast<DWORD>(level);
    RegSetValueExW(key, kLevelValue, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
    if (kept < 0) {
      RegDeleteValueW(key, kKeptValue);
    } else {
      DWORD k = static_cast<DWORD>(kept);
      RegSetValueExW(key, kKeptValue, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&k), sizeof k);
    }
    RegCloseKey(key);
    return true;
  }
  bool applyMode() override {
    DEVMODEW mode = {};
    mode.dmSize = sizeof mode;
    if (!EnumDisplaySettingsW(nullptr, ENUM_CURRENT_SETTINGS, &mode)) return false;
    mode.dmFields = DM_DISPLAYFREQUENCY;
    return ChangeDisplaySettingsExW(nullptr, &mode, nullptr, 0, nullptr) == DISP_CHANGE_SUCCESSFUL;
  }
  void showMessage(const char* text) override { ShowMessage(text); }

private:
  // The driver's key below HKEY_LOCAL_MACHINE; false (after its message)
  // when the device map cannot be read, or when it names no machine key.
  static bool driverKeyPath(std::wstring& path) {
    HKEY map;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\VIDEO", 0, KEY_READ, &map) != ERROR_SUCCESS) {
      ShowMessage("g al error 1");
      return false;
    }
    wchar_t text[512] = {};
    DWORD type = 0, size = sizeof text - sizeof(wchar_t);
    LONG rc = RegQueryValueExW(map, L"\\Device\\Video0", nullptr, &type, reinterpret_cast<BYTE*>(text), &size);
    RegCloseKey(map);
    if (rc != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) {
      ShowMessage("g al error 2");
      return false;
    }
    std::wstring name(text);
    for (auto& c : name) c = static_cast<wchar_t>(std::towupper(c));
    std::size_t at = name.find(kMachinePrefix);
    if (at == std::wstring::npos) return false;
    path = name.substr(at + wcslen(kMachinePrefix));
    return true;
  }
};
}  // namespace

std::unique_ptr<AccelerationSystem> systemAcceleration() {
  return std::unique_ptr<AccelerationSystem>(new WinAcceleration());
}
