// TRegistry on the W registry functions; key paths and values are CP936.
#include "Registry.h"

#include "SysUtils.h"

bool TRegistry::Open(const AnsiString& key, bool create, REGSAM access) {
  AnsiString path = key;
  HKEY base = RootKey;
  if (!path.IsEmpty() && path[1] == '\\') path = path.SubString(2, path.Length());
  else if (key_) base = key_;
  std::wstring w = Cp936ToWide(path);
  HKEY result = nullptr;
  LONG rc = create ? RegCreateKeyExW(base, w.c_str(), 0, nullptr, 0, access, nullptr, &result, nullptr)
                   : RegOpenKeyExW(base, w.c_str(), 0, access, &result);
  if (rc != ERROR_SUCCESS) return false;
  CloseKey();
  key_ = result;
  return true;
}

bool TRegistry::OpenKey(const AnsiString& key, bool canCreate) { return Open(key, canCreate, KEY_READ | KEY_WRITE); }
bool TRegistry::OpenKeyReadOnly(const AnsiString& key) { return Open(key, false, KEY_READ); }

bool TRegistry::KeyExists(const AnsiString& key) {
  AnsiString path = key;
  HKEY base = RootKey;
  if (!path.IsEmpty() && path[1] == '\\') path = path.SubString(2, path.Length());
  else if (key_) base = key_;
  HKEY k;
  if (RegOpenKeyExW(base, Cp936ToWide(path).c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS) return false;
  RegCloseKey(k);
  return true;
}

void TRegistry::CloseKey() {
  if (key_) RegCloseKey(key_);
  key_ = nullptr;
}

bool TRegistry::ValueExists(const AnsiString& name) {
  return key_ && RegQueryValueExW(key_, Cp936ToWide(name).c_str(), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

int TRegistry::ReadInteger(const AnsiString& name) {
  DWORD type = 0, value = 0, size = sizeof(value);
  if (!key_ || RegQueryValueExW(key_, Cp936ToWide(name).c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&value),
                                &size) != ERROR_SUCCESS ||
      type != REG_DWORD || size != sizeof(value))
    throw ERegistryException("无效的注册表数据类型: " + name);
  return static_cast<int>(value);
}

void TRegistry::WriteInteger(const AnsiString& name, int value) {
  DWORD v = static_cast<DWORD>(value);
  if (!key_ || RegSetValueExW(key_, Cp936ToWide(name).c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&v),
                              sizeof(v)) != ERROR_SUCCESS)
    throw ERegistryException("写注册表失败: " + name);
}

AnsiString TRegistry::ReadString(const AnsiString& name) {
  if (!key_) throw ERegistryException("没有打开的注册表项");
  std::wstring w = Cp936ToWide(name);
  DWORD type = 0, size = 0;
  LONG rc = RegQueryValueExW(key_, w.c_str(), nullptr, &type, nullptr, &size);
  if (rc == ERROR_FILE_NOT_FOUND) return AnsiString();
  if (rc != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ))
    throw ERegistryException("无效的注册表数据类型: " + name);
  std::wstring value(size / sizeof(wchar_t) + 1, L'\0');
  DWORD got = static_cast<DWORD>(value.size() * sizeof(wchar_t));
  if (RegQueryValueExW(key_, w.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&value[0]), &got) != ERROR_SUCCESS)
    throw ERegistryException("读注册表失败: " + name);
  value.resize(wcsnlen(value.c_str(), value.size()));
  return WideToCp936(value);
}

void TRegistry::WriteString(const AnsiString& name, const AnsiString& value) {
  std::wstring v = Cp936ToWide(value);
  if (!key_ || RegSetValueExW(key_, Cp936ToWide(name).c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(v.c_str()),
                              static_cast<DWORD>((v.size() + 1) * sizeof(wchar_t))) != ERROR_SUCCESS)
    throw ERegistryException("写注册表失败: " + name);
}

bool TRegistry::DeleteValue(const AnsiString& name) {
  return key_ && RegDeleteValueW(key_, Cp936ToWide(name).c_str()) == ERROR_SUCCESS;
}

bool TRegistry::DeleteKey(const AnsiString& key) {
  AnsiString path = key;
  HKEY base = RootKey;
  if (!path.IsEmpty() && path[1] == '\\') path = path.SubString(2, path.Length());
  else if (key_) base = key_;
  return RegDeleteKeyW(base, Cp936ToWide(path).c_str()) == ERROR_SUCCESS;
}
