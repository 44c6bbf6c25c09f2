// Names shared between zorbel.exe and the programs that drive it: the server
// window the program looks for (and ends) when a stale server is left over,
// the stop event, the registry names, and the switch that replaces the sound
// device by a paced test signal. The GUIDs themselves come from the
// widl-generated Irecorder.h (CLSID_recorder, IID_Irecorder,
// LIBID_qorvimrecorder). Plain wide/narrow literals, no Win32 needed here.
#pragma once

namespace zorbel {

// Title of the server's hidden top-level window (FindWindow by title).
constexpr const wchar_t* kWindowTitle = L"QORVIMRECORDER{A8B0ADB7-ECB6-4D8F-829A-F050181A6510}";
// Auto-reset event, set by the server when a stop has closed the WAV file.
constexpr const wchar_t* kStopEventName = L"ZORBELSTOPEVENT";

constexpr const wchar_t* kClsidText = L"{A8B0ADB7-ECB6-4D8F-829A-F050181A6510}";
constexpr const wchar_t* kIidText = L"{735613C5-3961-41EE-9EFB-6901D693600C}";
constexpr const wchar_t* kLibidText = L"{8B1437DD-2F74-4C1A-AC2A-BD3CF699B0A9}";
constexpr const wchar_t* kProgId = L"qorvimrecorder.recorder";
constexpr unsigned short kTypeLibMajor = 1;
constexpr unsigned short kTypeLibMinor = 0;

// Under HKEY_LOCAL_MACHINE. The program marks its own registration with the
// DWORD "zorbelv2" = 1 in the CLSID key; /unregserver removes the whole key.
constexpr const wchar_t* kClsidKey = L"Software\\Classes\\CLSID\\{A8B0ADB7-ECB6-4D8F-829A-F050181A6510}";
constexpr const wchar_t* kRegisteredValue = L"zorbelv2";

// Results of get_startreturn: 0 is the only failure the program knows.
enum StartResult : int { kStartFailed = 0, kStartedNewFile = 1, kStartedAppending = 2 };

// Sound source, read by the server once at start-up: the environment
// variable ZORBEL_SOURCE, else the string value "source" under
// HKEY_CURRENT_USER\Software\zorbel. "ramp" (a counter ramp) and "silence"
// are paced from the system clock; anything else records from the wave-in
// device.
constexpr const wchar_t* kSourceVariable = L"ZORBEL_SOURCE";
constexpr const wchar_t* kSourceKey = L"Software\\zorbel";
constexpr const wchar_t* kSourceValue = L"source";

}  // namespace zorbel
