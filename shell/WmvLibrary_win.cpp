// The WMV runtime probe and the helper library's loading; see the header.
// The entry points are bound here; the recording browser's first frame
// calls two of them, the WMV tools the others.
#include "WmvLibrary_win.h"

#include <windows.h>

#include <cstring>

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

namespace {
// The helper's exports take the path in the program's code page.
typedef int(__stdcall* GetFirstFrameProc)(const char* path, uint8_t** frame, int* msPerFrame, int* bitRate,
                                          int* frameCount);
typedef void(__stdcall* FreeFirstFrameProc)();
FARPROC entry(const char* name) {
  for (std::size_t i = 0; i < sizeof kEntryPoints / sizeof kEntryPoints[0]; ++i)
    if (std::strcmp(kEntryPoints[i], name) == 0) return wmvLibrary ? bound[i] : nullptr;
  return nullptr;
}
}  // namespace

int wmvGetFirstVideoFrame(const AnsiString& path, WmvFirstFrame& out) {
  out = WmvFirstFrame();
  auto get = reinterpret_cast<GetFirstFrameProc>(entry("getfirstfr"));
  if (!get) return 0;
  uint8_t* frame = nullptr;
  const int r = get(path.c_str(), &frame, &out.msPerFrame, &out.bitRate, &out.frameCount);
  out.frame = frame;
  return r;
}

void wmvFreeFirstVideoFrame() {
  if (auto release = reinterpret_cast<FreeFirstFrameProc>(entry("freefirstfr"))) release();
}
