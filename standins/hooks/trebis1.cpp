// trebis1.dll: the click and cursor watcher of a recording.
//  - EnableKBHook(1, window) reports every left or right press anywhere on the
//    desktop to the window as WM_USER+5 (kind, x | y << 16) until
//    EnableKBHook(0).
//  - getnowcursor() gives the shape of the cursor under the pointer as a
//    cursor of the caller's own process.
// Both need code inside the program under the pointer: a press is seen there
// by a global WH_MOUSE hook, and a cursor handle is only good in the process
// that set it, so a global WH_CALLWNDPROCRET hook renders the shape into this
// library's shared section right after that program answered WM_SETCURSOR,
// and getnowcursor rebuilds it in the caller's process. The hooks belong to
// the process that armed them and go when it disarms or frees the library.
#include <windows.h>

#include <cstring>

#include "BmpHeader_win.h"
#include "MouseReports.h"

namespace {

const int kMaxCursorSide = 64;  // larger shapes are not carried over
const int kMaskStride = kMaxCursorSide / 8;  // 1-bit rows, DWORD-aligned at this width

// The last rendered cursor. Writers in any process take writeLock; seq is odd
// while the bytes change, so a reader that sees the same even seq before and
// after copying has a whole shape.
struct CursorShot {
  volatile LONG seq;
  volatile LONG writeLock;
  DWORD pid;          // the writer's process and its handle: skips rewriting an unchanged shape
  HCURSOR handle;
  LONG valid;         // 0: no shape (none known yet, or the cursor is hidden)
  LONG width, height, hotX, hotY;
  LONG mono;          // 1: mask holds the AND plane then the XOR plane; no colour
  BYTE mask[2 * kMaxCursorSide * kMaskStride];
  DWORD colour[kMaxCursorSide * kMaxCursorSide];  // top-down BGRA rows of width pixels
};

struct SharedState {
  LONG layoutVersion;  // non-zero so that the section is initialised data
  HWND target;         // receives WM_USER+5; null while clicks are off
  LONG watchCursor;    // 1 while the shape hook is installed
  // getnowcursor asks the window under the pointer to set its cursor and
  // waits until that window's program has rendered it: under Wine the reply
  // to the sent message can arrive before the after-call hook has finished.
  HWND askedWindow;
  volatile LONG askTicket, answeredTicket;
  volatile LONG clickLock;
  ClickHistory clicks;
  CursorShot cursor;
};

}  // namespace

// One copy for every process that has the library loaded.
__attribute__((section(".trebis"), shared)) SharedState g_shared = {1, nullptr, 0, nullptr, 0, 0, 0, {}, {}};

namespace {
HINSTANCE g_module;
// The hooks of the process that installed them. A process that died without
// freeing the library may leave stale values in the shared section, so the
// handles are kept per process and every arming installs its own.
HHOOK g_mouseHook;       // presses (global WH_MOUSE)
HHOOK g_cursorHook;      // shapes (global WH_CALLWNDPROCRET)
HCURSOR g_built;         // getnowcursor's last result, owned here
LONG g_builtSeq = -1;

void lock(volatile LONG* l) {
  while (InterlockedCompareExchange(l, 1, 0) != 0) Sleep(0);
}
void unlock(volatile LONG* l) { InterlockedExchange(l, 0); }

// Bitmap header for GetDIBits/SetDIBits of 1-bit rows with a black/white table.
struct MonoInfo {
  BITMAPINFOHEADER header;
  RGBQUAD colours[2];
};
MonoInfo monoInfo(int width, int rows) {
  MonoInfo info = {};
  info.header = bitmapInfoHeader(BmpInfo::plain(width, -rows, 1));  // top-down
  info.colours[1].rgbRed = info.colours[1].rgbGreen = info.colours[1].rgbBlue = 255;
  return info;
}
BITMAPINFO colourInfo(int width, int height) {
  BITMAPINFO info = {};
  info.bmiHeader = bitmapInfoHeader(BmpInfo::plain(width, -height, 32));
  return info;
}

// Copies the shape of cursor (a handle of this process) into the shared
// section; the caller holds writeLock.
void renderShape(HCURSOR cursor, DWORD pid) {
  CursorShot& shot = g_shared.cursor;
  static CursorShot local;  // rendered outside the shared section, then copied in one go
  local.valid = 0;
  ICONINFO ii = {};
  if (cursor && GetIconInfo(cursor, &ii)) {
    BITMAP bm = {};
    GetObjectW(ii.hbmMask, sizeof bm, &bm);
    LONG width = bm.bmWidth;
    LONG height = ii.hbmColor ? bm.bmHeight : bm.bmHeight / 2;
    if (width > 0 && height > 0 && width <= kMaxCursorSide && height <= kMaxCursorSide) {
      HDC dc = GetDC(nullptr);
      LONG maskRows = ii.hbmColor ? height : 2 * height;
      MonoInfo mi = monoInfo(width, maskRows);
      // 1-bit rows are DWORD-aligned; at width <= 64 a row never needs more than kMaskStride.
      BYTE maskRowsBuf[2 * kMaxCursorSide * 8];
      bool ok = GetDIBits(dc, ii.hbmMask, 0, maskRows, maskRowsBuf,
                          reinterpret_cast<BITMAPINFO*>(&mi), DIB_RGB_COLORS) == maskRows;
      if (ok) {
        LONG stride = ((width + 31) / 32) * 4;
        for (LONG r = 0; r < maskRows; ++r)
          memcpy(local.mask + r * kMaskStride, maskRowsBuf + r * stride, stride);
      }
      if (ok && ii.hbmColor) {
        BITMAPINFO ci = colourInfo(width, height);
        ok = GetDIBits(dc, ii.hbmColor, 0, height, local.colour, &ci, DIB_RGB_COLORS) == height;
      }
      ReleaseDC(nullptr, dc);
      if (ok) {
        local.valid = 1;
        local.width = width;
        local.height = height;
        local.hotX = ii.xHotspot;
        local.hotY = ii.yHotspot;
        local.mono = ii.hbmColor ? 0 : 1;
      }
    }
    if (ii.hbmMask) DeleteObject(ii.hbmMask);
    if (ii.hbmColor) DeleteObject(ii.hbmColor);
  }

  InterlockedIncrement(&shot.seq);  // odd: being written
  shot.pid = pid;
  shot.handle = cursor;
  shot.valid = local.valid;
  if (local.valid) {
    shot.width = local.width;
    shot.height = local.height;
    shot.hotX = local.hotX;
    shot.hotY = local.hotY;
    shot.mono = local.mono;
    memcpy(shot.mask, local.mask, sizeof shot.mask);
    if (!local.mono) memcpy(shot.colour, local.colour, sizeof(DWORD) * local.width * local.height);
  }
  InterlockedIncrement(&shot.seq);
}

// Runs inside whatever program just answered WM_SETCURSOR for window.
void renderCursor(HWND window) {
  LONG ticket = g_shared.askTicket;  // read before rendering: a later ask needs a later answer
  CursorShot& shot = g_shared.cursor;
  HCURSOR cursor = GetCursor();
  DWORD pid = GetCurrentProcessId();
  if (shot.seq > 0 && shot.pid == pid && shot.handle == cursor) {
    // unchanged
  } else if (InterlockedCompareExchange(&shot.writeLock, 1, 0) == 0) {
    renderShape(cursor, pid);
    unlock(&shot.writeLock);
  } else {
    return;  // another writer is at it; the asker gives up after its wait
  }
  if (window == g_shared.askedWindow) InterlockedExchange(&g_shared.answeredTicket, ticket);
}

// Makes the program under the pointer set its cursor now, as a pointer move
// would, so that the shape is current even when the pointer has not moved
// since the watcher was armed, and waits for its rendering. Bounded waits: a
// hung program keeps its old shape.
void refreshCursorUnderPointer() {
  POINT pt;
  if (!GetCursorPos(&pt)) return;
  HWND window = WindowFromPoint(pt);
  if (!window) return;
  const UINT flags = SMTO_ABORTIFHUNG | SMTO_NORMAL;
  DWORD_PTR hit = HTCLIENT;
  if (!SendMessageTimeoutW(window, WM_NCHITTEST, 0, MAKELPARAM((WORD)pt.x, (WORD)pt.y), flags,
                           100, &hit))
    return;
  if ((LONG_PTR)hit == HTTRANSPARENT || (LONG_PTR)hit == HTNOWHERE) return;
  g_shared.askedWindow = window;
  LONG ticket = InterlockedIncrement(&g_shared.askTicket);
  DWORD_PTR ignored;
  if (!SendMessageTimeoutW(window, WM_SETCURSOR, (WPARAM)window, MAKELPARAM((WORD)hit, WM_MOUSEMOVE),
                           flags, 100, &ignored))
    return;
  // The first call into a program loads this library there, which can take a
  // while on a busy machine; later answers come within milliseconds.
  DWORD start = GetTickCount();
  while ((LONG)((ULONG)g_shared.answeredTicket - (ULONG)ticket) < 0 && GetTickCount() - start < 250)
    Sleep(1);
}

HCURSOR buildCursor(const CursorShot& s) {
  ICONINFO ii = {};
  ii.fIcon = FALSE;
  ii.xHotspot = s.hotX;
  ii.yHotspot = s.hotY;
  LONG maskRows = s.mono ? 2 * s.height : s.height;
  BYTE rows[2 * kMaxCursorSide * 8];
  LONG stride = ((s.width + 31) / 32) * 4;
  for (LONG r = 0; r < maskRows; ++r) memcpy(rows + r * stride, s.mask + r * kMaskStride, stride);
  HDC dc = GetDC(nullptr);
  ii.hbmMask = CreateBitmap(s.width, maskRows, 1, 1, nullptr);
  MonoInfo mi = monoInfo(s.width, maskRows);
  bool ok = ii.hbmMask && SetDIBits(dc, ii.hbmMask, 0, maskRows, rows,
                                     reinterpret_cast<BITMAPINFO*>(&mi), DIB_RGB_COLORS) == maskRows;
  if (ok && !s.mono) {
    BITMAPINFO ci = colourInfo(s.width, s.height);
    void* bits = nullptr;
    ii.hbmColor = CreateDIBSection(dc, &ci, DIB_RGB_COLORS, &bits, nullptr, 0);
    ok = ii.hbmColor != nullptr;
    if (ok) {
      GdiFlush();
      memcpy(bits, s.colour, sizeof(DWORD) * s.width * s.height);
    }
  }
  ReleaseDC(nullptr, dc);
  HCURSOR cursor = ok ? (HCURSOR)CreateIconIndirect(&ii) : nullptr;
  if (ii.hbmMask) DeleteObject(ii.hbmMask);
  if (ii.hbmColor) DeleteObject(ii.hbmColor);
  return cursor;
}

void removeHooks() {
  if (!g_mouseHook && !g_cursorHook) return;
  g_shared.target = nullptr;
  g_shared.watchCursor = 0;
  g_shared.cursor.pid = 0;  // a later watcher renders afresh
  if (g_mouseHook) UnhookWindowsHookEx(g_mouseHook);
  if (g_cursorHook) UnhookWindowsHookEx(g_cursorHook);
  g_mouseHook = g_cursorHook = nullptr;
}

}  // namespace

extern "C" __declspec(dllexport) LRESULT CALLBACK ClickMouseProc(int code, WPARAM wParam,
                                                                    LPARAM lParam) {
  HWND target = g_shared.target;
  // HC_NOREMOVE is a peek: the same press comes again when it is taken.
  if (code == HC_ACTION && target) {
    bool systemDouble;
    int button = pressButtonOf(wParam, &systemDouble);
    if (button >= 0) {
      POINT pt = reinterpret_cast<const MOUSEHOOKSTRUCT*>(lParam)->pt;
      lock(&g_shared.clickLock);
      postClick(target, g_shared.clicks, button, systemDouble, GetTickCount(), pt);
      unlock(&g_shared.clickLock);
    }
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

extern "C" __declspec(dllexport) LRESULT CALLBACK CursorWatchProc(int code, WPARAM wParam,
                                                                     LPARAM lParam) {
  if (code == HC_ACTION && g_shared.watchCursor &&
      reinterpret_cast<const CWPRETSTRUCT*>(lParam)->message == WM_SETCURSOR)
    renderCursor(reinterpret_cast<const CWPRETSTRUCT*>(lParam)->hwnd);
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

namespace {
bool installCursorHook() {
  if (!g_cursorHook) g_cursorHook = SetWindowsHookExW(WH_CALLWNDPROCRET, CursorWatchProc, g_module, 0);
  if (g_cursorHook) g_shared.watchCursor = 1;
  return g_cursorHook != nullptr;
}
}  // namespace

extern "C" __declspec(dllexport) BOOL WINAPI EnableKBHook(BOOL on, HWND target) {
  if (!on) {
    removeHooks();
    return TRUE;
  }
  if (!target || !IsWindow(target)) return FALSE;
  if (!g_mouseHook) g_mouseHook = SetWindowsHookExW(WH_MOUSE, ClickMouseProc, g_module, 0);
  if (!g_mouseHook) return FALSE;
  installCursorHook();  // without it getnowcursor knows no shape; clicks still work
  lock(&g_shared.clickLock);
  memset(&g_shared.clicks, 0, sizeof g_shared.clicks);
  unlock(&g_shared.clickLock);
  g_shared.target = target;
  return TRUE;
}

extern "C" __declspec(dllexport) HCURSOR WINAPI getnowcursor(void) {
  if (!installCursorHook()) return nullptr;
  refreshCursorUnderPointer();
  static CursorShot copy;
  const CursorShot& shot = g_shared.cursor;
  bool whole = false;
  for (int attempt = 0; attempt < 20 && !whole; ++attempt) {
    LONG before = shot.seq;
    if (before & 1) {
      Sleep(0);
      continue;
    }
    MemoryBarrier();
    memcpy(&copy, (const void*)&shot, sizeof copy);
    MemoryBarrier();
    whole = shot.seq == before;
    copy.seq = before;
  }
  if (!whole || !copy.valid || copy.width <= 0 || copy.height <= 0 ||
      copy.width > kMaxCursorSide || copy.height > kMaxCursorSide)
    return nullptr;
  if (g_built && copy.seq == g_builtSeq) return g_built;
  HCURSOR built = buildCursor(copy);
  if (!built) return nullptr;
  if (g_built) DestroyCursor(g_built);
  g_built = built;
  g_builtSeq = copy.seq;
  return g_built;
}

// Required by the recorder's binding; it never calls it.
extern "C" __declspec(dllexport) void WINAPI setcx(void) {}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  if (reason == DLL_PROCESS_ATTACH) {
    g_module = instance;
    DisableThreadLibraryCalls(instance);
  } else if (reason == DLL_PROCESS_DETACH) {
    // Freed while armed, or the process ends armed: no hook may outlive this
    // copy of the code. Wine keeps a dead process's global hooks for as long
    // as its server runs, so process exit is no exception.
    removeHooks();
    if (reserved == nullptr && g_built) DestroyCursor(g_built);
    g_built = nullptr;
  }
  return TRUE;
}
