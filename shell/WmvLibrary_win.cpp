// The WMV runtime probe and the helper library's loading; see the header.
// The entry points are only bound here: the WMV features that call them
// come with the WMV tools.
#include "WmvLibrary_win.h"

#include <windows.h>

#include "Forms.h"
#include "SysUtils.h"

namespace {
HMODULE wmvLibrary = nullptr;

// The twenty entry points of the helper, bound by name.
const char* const kEntryPoints[] = {
    "startlx",  "nowlx",     "stoplx",     "cutwmv",     "cutwmvstop", "cutwmvpos",  "mergewmv",
    "mergeadd", "mergestop", "mergepos",   "getfirstfr", "freefirstfr", "openwmv",   "closewmv",
    "readframe", "framecount", "wmvlength", "wmvinfo",   "wmvversion", "wmvcancel",
};
FARPROC bound[sizeof kEntryPoints / sizeof kEntryPoints[0]] = {};
}  // namespace

bool probeWmvRuntime() {
  wchar_t dir[MAX_PATH];
  UINT n = GetSystemDirectoryW(dir, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return false;
  std::wstring path = std::wstring(dir) + L"\\wmvcore.dll";
  if (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) return false;
  HMODULE m = LoadLibraryW(path.c_str());
  if (!m) return false;
  bool ok = GetProcAddress(m, "WMCreateWriter") != nullptr;
  FreeLibrary(m);
  return ok;
}

bool loadWmvLibrary(const AnsiString& path) {
  unloadWmvLibrary();
  HMODULE m = LoadLibraryW(Cp936ToWide(path).c_str());
  if (!m) return false;
  for (std::size_t i = 0; i < sizeof kEntryPoints / sizeof kEntryPoints[0]; ++i) {
    bound[i] = GetProcAddress(m, kEntryPoints[i]);
    if (!bound[i]) {
      ShowMessage("Load dll error");
      FreeLibrary(m);
      return false;
    }
  }
  wmvLibrary = m;
  return true;
}

void unloadWmvLibrary() {
  if (wmvLibrary) FreeLibrary(wmvLibrary);
  wmvLibrary = nullptr;
}

bool wmvLibraryLoaded() { return wmvLibrary != nullptr; }
