// TRegistry: one open key at a time under RootKey, through the W functions.
// Opening returns false on failure; reading and writing raise
// ERegistryException, as the callers' try blocks expect.
#pragma once

#include <windows.h>

#include "System.h"

class ERegistryException : public Exception { using Exception::Exception; };

class TRegistry {
public:
  TRegistry() = default;
  ~TRegistry() { CloseKey(); }
  TRegistry(const TRegistry&) = delete;
  TRegistry& operator=(const TRegistry&) = delete;

  HKEY RootKey = HKEY_CURRENT_USER;
  // A leading '\' is taken from the root; otherwise relative to the open key.
  bool OpenKey(const AnsiString& key, bool canCreate);
  bool OpenKeyReadOnly(const AnsiString& key);
  bool KeyExists(const AnsiString& key);
  void CloseKey();
  bool ValueExists(const AnsiString& name);
  int ReadInteger(const AnsiString& name);
  void WriteInteger(const AnsiString& name, int value);
  AnsiString ReadString(const AnsiString& name);  // "" when the value is missing
  void WriteString(const AnsiString& name, const AnsiString& value);
  bool DeleteValue(const AnsiString& name);
  bool DeleteKey(const AnsiString& key);
  HKEY CurrentKey() const { return key_; }

private:
  bool Open(const AnsiString& key, bool create, REGSAM access);
  HKEY key_ = nullptr;
};
