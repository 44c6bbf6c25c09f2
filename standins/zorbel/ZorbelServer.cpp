// zorbel.exe: the sound-recording COM local server.
//   zorbel.exe /regserver     register (silently; exit code 0 on success)
//   zorbel.exe /unregserver   remove every key registering made
//   zorbel.exe [anything else, e.g. "/Automation -Embedding" from COM]
//                             serve CLSID_recorder until the last client
//                             releases its objects.
// While serving, a hidden top-level window carries the title the program
// looks for to end a stale server; closing it ends the server after the
// running recordings are closed properly.
#include "RecorderObject.h"
#include "Registration.h"
#include "ZorbelNames.h"

#include <windows.h>
#include <shellapi.h>

#include <cwchar>
#include <string>

namespace zorbel {
namespace {

// A server started by COM whose client went away before creating an object
// would otherwise wait forever.
constexpr UINT kIdleTimerMs = 60000;
constexpr UINT_PTR kIdleTimer = 1;

LRESULT CALLBACK windowProc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_TIMER:
      if (wp == kIdleTimer) {
        KillTimer(w, kIdleTimer);
        if (!serverContext().objectCreated) DestroyWindow(w);
      }
      return 0;
    case WM_ENDSESSION:
      if (wp) stopAllRecordings();
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcW(w, msg, wp, lp);
}

std::wstring modulePath() {
  wchar_t buf[MAX_PATH * 2];
  DWORD n = GetModuleFileNameW(nullptr, buf, DWORD(sizeof buf / sizeof buf[0]));
  return n && n < sizeof buf / sizeof buf[0] ? std::wstring(buf, n) : std::wstring();
}

SourceKind configuredSource() {
  wchar_t text[32] = L"";
  DWORD n = GetEnvironmentVariableW(kSourceVariable, text, DWORD(sizeof text / sizeof text[0]));
  if (n > 0 && n < sizeof text / sizeof text[0]) return sourceKindFromText(text);
  DWORD bytes = sizeof text - sizeof(wchar_t);
  if (RegGetValueW(HKEY_CURRENT_USER, kSourceKey, kSourceValue, RRF_RT_REG_SZ, nullptr, text, &bytes) ==
      ERROR_SUCCESS)
    return sourceKindFromText(text);
  return SourceKind::Device;
}

int serve(HINSTANCE instance) {
  if (FAILED(CoInitialize(nullptr))) return 1;
  ServerContext& ctx = serverContext();
  ctx.source = configuredSource();

  int code = 1;
  ITypeLib* lib = nullptr;
  std::wstring exe = modulePath();
  if (!exe.empty() && SUCCEEDED(LoadTypeLibEx(exe.c_str(), REGKIND_NONE, &lib))) {
    lib->GetTypeInfoOfGuid(IID_Irecorder, &ctx.typeInfo);
    lib->Release();
  }
  // The program creates the same auto-reset event; whoever comes first makes it.
  ctx.stopEvent = CreateEventW(nullptr, FALSE, FALSE, kStopEventName);

  WNDCLASSW wc = {};
  wc.lpfnWndProc = windowProc;
  wc.hInstance = instance;
  wc.lpszClassName = L"ZorbelServerWindow";
  if (ctx.typeInfo && ctx.stopEvent && RegisterClassW(&wc)) {
    ctx.window = CreateWindowExW(0, wc.lpszClassName, kWindowTitle, WS_OVERLAPPED, 0, 0, 0, 0, nullptr,
                                 nullptr, instance, nullptr);
  }
  // One object per server process. Besides matching how the program uses it
  // (one object for its whole run), this keeps activation working after the
  // program has killed a stale server: Wine's rpcss keeps a killed server's
  // class registration and hands it to the next client, which then fails
  // with RPC_S_SERVER_UNAVAILABLE; a single-use registration that has served
  // once is passed over, so the next client starts a fresh server.
  DWORD cookie = 0;
  if (ctx.window && SUCCEEDED(CoRegisterClassObject(CLSID_recorder, recorderFactory(), CLSCTX_LOCAL_SERVER,
                                                    REGCLS_SINGLEUSE, &cookie))) {
    SetTimer(ctx.window, kIdleTimer, kIdleTimerMs, nullptr);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    CoRevokeClassObject(cookie);
    code = 0;
  }
  stopAllRecordings();
  if (ctx.window && IsWindow(ctx.window)) DestroyWindow(ctx.window);
  if (ctx.typeInfo) ctx.typeInfo->Release();
  if (ctx.stopEvent) CloseHandle(ctx.stopEvent);
  CoUninitialize();
  return code;
}

}  // namespace

}  // namespace zorbel

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  int argc = 0;
  LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  bool reg = false, unreg = false;
  for (int i = 1; argv && i < argc; ++i) {
    const wchar_t* a = argv[i];
    if (*a == L'/' || *a == L'-') ++a;
    if (_wcsicmp(a, L"regserver") == 0) reg = true;
    if (_wcsicmp(a, L"unregserver") == 0) unreg = true;
  }
  if (argv) LocalFree(argv);
  if (unreg || reg) {
    CoInitialize(nullptr);
    bool ok = unreg ? zorbel::unregisterServer() : zorbel::registerServer();
    CoUninitialize();
    return ok ? 0 : 1;
  }
  return zorbel::serve(instance);
}
