// Small system helpers shared by the main window, the settings and the
// recorder: number-text checks and formatting, the operating-system gates, the
// recycle bin, the sound server's local-server path and the shutdown after a
// scheduled recording. Portable declarations; the functions marked Windows
// only live in SystemHelpers_win.cpp. The shutdown and the recycle bin go
// through replaceable system calls so that tests never shut the machine down
// or fill a trash can.
#pragma once

#include <functional>
#include <string>

#include "Classes.h"
#include "System.h"

// --- numbers as text ----------------------------------------------------------
// printf "%.Nf" with N = decimals limited to 0..10.
AnsiString formatDecimal(float value, int decimals);
// The time of day of a date-time: the value less its whole days.
double fractionOf(double dateTime);
// 1 when the framework's text-to-float (or text-to-integer) conversion accepts
// the text, else 0.
int isFloatText(const AnsiString& text);
int isIntegerText(const AnsiString& text);

// --- operating-system gates (Windows only) ----------------------------------------
bool isWin2000OrLater();  // NT platform, major version above 4
bool isWinNT4();          // NT platform, major version 4
bool isVistaOrLater();    // NT platform, major version above 5
// ddraw.dll loads and exports DirectDrawCreateEx.
bool hasDirectDrawEx();

// --- shutdown ---------------------------------------------------------------------
// What shutting down asks of the system.
class ShutdownSystem {
public:
  virtual ~ShutdownSystem() = default;
  virtual bool isNtPlatform() = 0;
  virtual bool exitWindows(unsigned flags, unsigned reason) = 0;
  // The process token with TOKEN_ADJUST_PRIVILEGES and TOKEN_QUERY.
  virtual bool openProcessToken() = 0;
  virtual bool lookupShutdownPrivilege() = 0;  // "SeShutdownPrivilege"
  // False also when the system reports that the privilege was not granted.
  virtual bool enableShutdownPrivilege() = 0;
  virtual void closeProcessToken() = 0;
};

constexpr unsigned kExitLogoff = 0;
constexpr unsigned kExitShutdownForcePowerOff = 13;  // EWX_SHUTDOWN | EWX_FORCE | EWX_POWEROFF
constexpr unsigned kExitReserved9x = 0xFFFFFFFFu;

// 1 when the shutdown was asked for; -1 no token, -2 privilege unknown,
// -3 privilege not enabled, -4 the system refused to shut down.
int shutdownComputer(ShutdownSystem& system);
int shutdownComputer();  // Windows only: the real system

// --- recycle bin (Windows only) ----------------------------------------------------
// One shell file operation as recycleFiles makes it.
struct ShellDelete {
  void* owner = nullptr;
  unsigned func = 0;   // FO_DELETE
  std::wstring from;   // the names, each NUL-terminated, then one more NUL
  unsigned flags = 0;  // FOF_ALLOWUNDO
  std::wstring title;  // the progress title
};
using ShellDeleteFn = std::function<int(const ShellDelete&)>;

// Moves the named files (CP936) to the recycle bin in one operation with
// undo; nothing for an empty list.
void recycleFiles(void* owner, const TStringList& names);
void recycleFiles(void* owner, const TStringList& names, const ShellDeleteFn& shell);

// --- the sound server's registration (Windows only) ------------------------------------
// Sets the default value of HKLM\keyPath to exePath + " /Automation" when the
// key exists; never creates it; registry errors are swallowed.
void setLocalServerPath(const AnsiString& keyPath, const AnsiString& exePath);
// The same for the sound server's own LocalServer32 key.
void registerRecorderServer(const AnsiString& exePath);
