// The mouse watchers used the way the recorder uses them: trebis.dll and
// trebis1.dll loaded and bound by name and armed for a window of this
// process, pellun.exe commanded through its window, all driven by real
// pointer input (xdotool moving the X pointer) over this process's window
// and over a window of another process. Needs a display (Xvfb).
#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "HookProtocol.h"

namespace {

// Where the windows stand on the screen.
const RECT kOwn = {100, 100, 400, 300};    // this process's window
const RECT kHost = {450, 100, 750, 300};   // the other process's window

struct Seen {
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
};
std::vector<Seen> g_seen;

LRESULT CALLBACK clientProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case kPickMoveMessage:
    case kPickButtonMessage:
    case kClickMessage:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
      g_seen.push_back({message, wParam, lParam});
      return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

void pump() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
}

// Pumps (the picking hook runs on this thread) until pred holds or time runs out.
bool pumpUntil(const std::function<bool()>& pred, DWORD ms = 3000) {
  DWORD start = GetTickCount();
  for (;;) {
    pump();
    if (pred()) return true;
    if (GetTickCount() - start > ms) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  }
}
void pumpFor(DWORD ms) {
  pumpUntil([] { return false; }, ms);
}

// Runs xdotool and pumps until it has finished. Wine starts Unix programs but
// hands back no process handle to wait on, so the shell that runs xdotool
// leaves a file behind when it is done.
void xdo(const std::string& args) {
  static int serial = 0;
  std::string done = "/tmp/vidorra-hooks-" + std::to_string(GetCurrentProcessId()) + "-" +
                     std::to_string(++serial);
  std::string cmd = "Z:\\bin\\sh -c \"xdotool " + args + "; touch " + done + "\"";
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi = {};
  ASSERT_TRUE(CreateProcessA(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
      << cmd;
  std::string doneWin = "Z:" + done;
  ASSERT_TRUE(pumpUntil([&] { return GetFileAttributesA(doneWin.c_str()) != INVALID_FILE_ATTRIBUTES; },
                        10000))
      << "xdotool did not finish: " << args;
  DeleteFileA(doneWin.c_str());
}
void moveTo(int x, int y) { xdo("mousemove " + std::to_string(x) + " " + std::to_string(y)); }

int count(UINT message) {
  int n = 0;
  for (const Seen& s : g_seen) n += s.message == message;
  return n;
}
std::vector<Seen> only(UINT message) {
  std::vector<Seen> out;
  for (const Seen& s : g_seen)
    if (s.message == message) out.push_back(s);
  return out;
}

std::string hooksDir() {
  std::string dir = HOOKS_DIR;
  for (char& c : dir)
    if (c == '/') c = '\\';
  return dir + "\\";
}

class Process {
 public:
  bool start(const std::string& commandLine) {
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    std::string cmd = commandLine;
    return CreateProcessA(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi_);
  }
  bool waitExit(DWORD ms) {
    return pi_.hProcess && MsgWaitForMultipleObjects(1, &pi_.hProcess, FALSE, ms, 0) == WAIT_OBJECT_0;
  }
  ~Process() {
    if (!pi_.hProcess) return;
    if (!waitExit(0)) {
      TerminateProcess(pi_.hProcess, 1);
      waitExit(3000);  // its window must be gone before the next test looks for one
    }
    CloseHandle(pi_.hThread);
    CloseHandle(pi_.hProcess);
  }

 private:
  PROCESS_INFORMATION pi_ = {};
};

HWND waitForWindow(const char* className, const char* title) {
  HWND found = nullptr;
  pumpUntil([&] { return (found = FindWindowA(className, title)) != nullptr; }, 10000);
  return found;
}

class Watchers : public ::testing::Test {
 protected:
  // One window for the whole suite: Wine waits up to two seconds for a
  // destroyed top-level window to leave the X display.
  static void SetUpTestSuite() {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = clientProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hbrBackground = (HBRUSH)GetStockObject(WHITE_BRUSH);
    wc.lpszClassName = L"HooksTestClient";
    RegisterClassW(&wc);
    window_ = CreateWindowExW(WS_EX_TOPMOST, L"HooksTestClient", L"hooks test client", WS_POPUP,
                              kOwn.left, kOwn.top, kOwn.right - kOwn.left, kOwn.bottom - kOwn.top,
                              nullptr, nullptr, wc.hInstance, nullptr);
    if (!window_) return;
    ShowWindow(window_, SW_SHOW);
    UpdateWindow(window_);
  }
  static void TearDownTestSuite() {
    if (window_) DestroyWindow(window_);
    window_ = nullptr;
    pump();
  }
  void SetUp() override {
    ASSERT_TRUE(window_) << "no window: these tests need a display (Xvfb)";
    ASSERT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA("Z:\\usr\\bin\\xdotool"))
        << "xdotool is missing (scripts/setup installs it)";
    g_seen.clear();
  }
  // The other process's window; its left half sets a colour cursor, its right half a monochrome one.
  HWND startHost() {
    std::string cmd = std::string("\"") + HOST_EXE + "\" " + std::to_string(kHost.left) + " " +
                      std::to_string(kHost.top) + " " + std::to_string(kHost.right - kHost.left) +
                      " " + std::to_string(kHost.bottom - kHost.top);
    if (!host_.start(cmd)) return nullptr;
    HWND h = waitForWindow("HooksTestHost", nullptr);
    pumpFor(200);  // let it map and paint before the pointer goes there
    return h;
  }
  // Clears what was seen, lets input settle first.
  void reset() {
    pumpFor(100);
    g_seen.clear();
  }

  static HWND window_;
  Process host_;
};

HWND Watchers::window_;

// Loads a library and binds its entry points the way start-up does.
struct Library {
  HMODULE module = nullptr;
  EnableKBHookProc enable = nullptr;
  GetNowCursorProc nowCursor = nullptr;
  SetcxProc setcx = nullptr;
  explicit Library(const char* name) {
    module = LoadLibraryA((hooksDir() + name).c_str());
    if (!module) return;
    enable = reinterpret_cast<EnableKBHookProc>((void*)GetProcAddress(module, "EnableKBHook"));
    nowCursor = reinterpret_cast<GetNowCursorProc>((void*)GetProcAddress(module, "getnowcursor"));
    setcx = reinterpret_cast<SetcxProc>((void*)GetProcAddress(module, "setcx"));
  }
  void unload() {
    if (module) FreeLibrary(module);
    module = nullptr;
  }
  ~Library() { unload(); }
};

TEST_F(Watchers, PickingReportsMovesAndSwallowsTheChoosingPressAndRelease) {
  Library pick("trebis.dll");
  ASSERT_TRUE(pick.module && pick.enable);
  moveTo(120, 120);
  reset();
  ASSERT_TRUE(pick.enable(TRUE, window_));

  moveTo(150, 160);
  ASSERT_TRUE(pumpUntil([] { return count(kPickMoveMessage) > 0; }));
  Seen move = only(kPickMoveMessage).back();
  EXPECT_EQ(150, (int)move.wParam);
  EXPECT_EQ(160, (int)move.lParam);

  // Drag a range: press, move, release give two WM_USER+1 at the two corners.
  xdo("mousedown 1 mousemove 250 230 mouseup 1");
  ASSERT_TRUE(pumpUntil([] { return count(kPickButtonMessage) >= 2; }));
  pumpFor(100);
  std::vector<Seen> buttons = only(kPickButtonMessage);
  ASSERT_EQ(2u, buttons.size());
  EXPECT_EQ(150, (int)buttons[0].wParam);
  EXPECT_EQ(160, (int)buttons[0].lParam);
  EXPECT_EQ(250, (int)buttons[1].wParam);
  EXPECT_EQ(230, (int)buttons[1].lParam);
  EXPECT_EQ(0, count(WM_LBUTTONDOWN) + count(WM_LBUTTONUP)) << "the pick click reached the window";

  ASSERT_TRUE(pick.enable(FALSE, window_));
  reset();
  xdo("mousemove 200 200 click 1");
  ASSERT_TRUE(pumpUntil([] { return count(WM_LBUTTONUP) > 0; }));
  EXPECT_EQ(0, count(kPickMoveMessage) + count(kPickButtonMessage)) << "disarmed hook still reports";
}

TEST_F(Watchers, PickingIgnoresAReleaseWhosePressCameBeforeArming) {
  Library pick("trebis.dll");
  ASSERT_TRUE(pick.module && pick.enable);
  moveTo(130, 130);
  xdo("mousedown 1");
  reset();
  ASSERT_TRUE(pick.enable(TRUE, window_));
  xdo("mouseup 1");
  ASSERT_TRUE(pumpUntil([] { return count(WM_LBUTTONUP) > 0; }));
  EXPECT_EQ(0, count(kPickButtonMessage));
  pick.enable(FALSE, window_);
}

TEST_F(Watchers, FreeingAnArmedPickingLibraryLeavesNoHook) {
  Library pick("trebis.dll");
  ASSERT_TRUE(pick.module && pick.enable);
  moveTo(140, 140);
  reset();
  ASSERT_TRUE(pick.enable(TRUE, window_));
  pick.unload();
  xdo("click 1");
  ASSERT_TRUE(pumpUntil([] { return count(WM_LBUTTONDOWN) > 0 && count(WM_LBUTTONUP) > 0; }))
      << "the click was still swallowed";
  EXPECT_EQ(0, count(kPickButtonMessage));
}

struct ClickCase {
  const char* name;
  int x, y;
  const char* action;  // xdotool words after the move
  std::vector<int> kinds;
};

TEST_F(Watchers, ClickLibraryReportsKindAndPositionOverAnyProgram) {
  Library clicks("trebis1.dll");
  // Start-up binds all three and gives up when one is missing.
  ASSERT_TRUE(clicks.module && clicks.enable && clicks.nowCursor && clicks.setcx);
  ASSERT_TRUE(startHost());
  const ClickCase cases[] = {
      {"left, own window", 150, 150, "click 1", {1}},
      {"right, other program", 480, 200, "click 3", {2}},
      // The host's class has CS_DBLCLKS (the system's double-click message);
      // the own window's has not (the library's own timing).
      {"double, other program", 520, 220, "click --repeat 2 --delay 60 1", {1, 3}},
      {"double, own window", 300, 250, "click --repeat 2 --delay 60 1", {1, 3}},
  };
  ASSERT_TRUE(clicks.enable(TRUE, window_));
  for (const ClickCase& c : cases) {
    moveTo(c.x, c.y);
    reset();
    xdo(c.action);
    pumpUntil([&] { return count(kClickMessage) >= (int)c.kinds.size(); });
    pumpFor(150);
    std::vector<Seen> got = only(kClickMessage);
    ASSERT_EQ(c.kinds.size(), got.size()) << c.name;
    for (size_t i = 0; i < got.size(); ++i) {
      EXPECT_EQ(c.kinds[i], (int)got[i].wParam) << c.name;
      EXPECT_EQ(c.x, (int)(short)LOWORD(got[i].lParam)) << c.name;
      EXPECT_EQ(c.y, (int)(short)HIWORD(got[i].lParam)) << c.name;
    }
  }

  ASSERT_TRUE(clicks.enable(FALSE, window_));
  moveTo(500, 150);
  reset();
  xdo("click 1");
  pumpFor(300);
  EXPECT_EQ(0, count(kClickMessage)) << "clicks reported after disarming";
}

TEST_F(Watchers, FreeingAnArmedClickLibraryLeavesNoHook) {
  ASSERT_TRUE(startHost());
  {
    Library first("trebis1.dll");
    ASSERT_TRUE(first.module && first.enable);
    ASSERT_TRUE(first.enable(TRUE, window_));
  }  // freed armed, as after a start-up failure between arming and disarming
  // The other program still holds the library (and its shared state); a hook
  // left behind would report each press a second time.
  Library second("trebis1.dll");
  ASSERT_TRUE(second.module && second.enable);
  ASSERT_TRUE(second.enable(TRUE, window_));
  moveTo(500, 250);
  reset();
  xdo("click 1");
  pumpUntil([] { return count(kClickMessage) > 0; });
  pumpFor(300);
  EXPECT_EQ(1, count(kClickMessage));
  second.enable(FALSE, window_);
}

// Pixel of a 32-bit top-down DIB, without alpha.
struct Canvas {
  HDC dc;
  HBITMAP bitmap, old;
  DWORD* bits = nullptr;
  static const int kSide = 48;
  explicit Canvas(DWORD fill) {
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = kSide;
    bi.bmiHeader.biHeight = -kSide;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    dc = CreateCompatibleDC(nullptr);
    bitmap = CreateDIBSection(dc, &bi, DIB_RGB_COLORS, (void**)&bits, nullptr, 0);
    old = (HBITMAP)SelectObject(dc, bitmap);
    for (int i = 0; i < kSide * kSide; ++i) bits[i] = fill;
  }
  DWORD at(int x, int y) {
    GdiFlush();
    return bits[y * kSide + x] & 0xFFFFFF;
  }
  ~Canvas() {
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
  }
};

struct CursorCase {
  const char* name;
  int x, y;  // pointer position over the host
  int hotX, hotY;
  struct Pixel {
    int x, y;
    DWORD rgb;
  } pixels[6];
};

TEST_F(Watchers, CursorOfAnotherProgramCanBeDrawnHere) {
  const DWORD green = 0x00FF00;
  const CursorCase cases[] = {
      {"colour", 500, 150, 5, 7, {{2, 2, 0xFF0000}, {12, 2, 0x0000FF}, {20, 2, green}, {2, 20, green}, {12, 15, 0x0000FF}, {2, 30, 0xFF0000}}},
      {"monochrome", 680, 150, 9, 3, {{2, 2, 0x000000}, {10, 2, 0xFFFFFF}, {18, 2, green}, {26, 2, 0xFF00FF}, {2, 20, green}, {26, 30, green}}},
  };
  Library clicks("trebis1.dll");
  ASSERT_TRUE(clicks.module && clicks.enable && clicks.nowCursor);
  ASSERT_TRUE(startHost());
  for (const CursorCase& c : cases) {
    // The pointer stands still from arming on: the shape must be had all the same.
    moveTo(c.x, c.y);
    pumpFor(100);
    ASSERT_TRUE(clicks.enable(TRUE, window_));
    HCURSOR shape = nullptr;
    // A call may come back empty while the other program is still loading the library.
    for (int attempt = 0; attempt < 5 && !shape; ++attempt) {
      shape = clicks.nowCursor();
      if (!shape) pumpFor(100);
    }
    ASSERT_TRUE(shape) << c.name;
    // The recording tick keeps a copy of what it is given.
    HCURSOR copy = (HCURSOR)CopyIcon(shape);
    ASSERT_TRUE(copy) << c.name << ": CopyIcon failed, error " << GetLastError();
    ICONINFO ii = {};
    ASSERT_TRUE(GetIconInfo(copy, &ii)) << c.name;
    EXPECT_EQ(c.hotX, (int)ii.xHotspot) << c.name;
    EXPECT_EQ(c.hotY, (int)ii.yHotspot) << c.name;
    DeleteObject(ii.hbmMask);
    if (ii.hbmColor) DeleteObject(ii.hbmColor);
    Canvas canvas(green);
    ASSERT_TRUE(DrawIconEx(canvas.dc, 0, 0, copy, 0, 0, 0, nullptr, DI_NORMAL)) << c.name;
    for (const auto& p : c.pixels)
      EXPECT_EQ(p.rgb, canvas.at(p.x, p.y)) << c.name << " at " << p.x << "," << p.y;
    DestroyCursor(copy);
    clicks.enable(FALSE, window_);
  }
}

TEST_F(Watchers, MouseEffectHelperPostsTheSameMessages) {
  ASSERT_TRUE(startHost());
  Process helper;
  ASSERT_TRUE(helper.start("\"" + hooksDir() + "pellun.exe\""));
  HWND effect = waitForWindow(nullptr, HELPER_WINDOW_TITLE);
  ASSERT_TRUE(effect);

  // Clicks (command 2): same kinds and packing as the click library.
  ASSERT_EQ(1, SendMessageW(effect, kHelperCommandMessage, kHelperReportClicks, (LPARAM)window_));
  const ClickCase cases[] = {
      {"left, own window", 160, 170, "click 1", {1}},
      {"right, other program", 490, 210, "click 3", {2}},
      {"double, other program", 530, 230, "click --repeat 2 --delay 60 1", {1, 3}},
  };
  for (const ClickCase& c : cases) {
    moveTo(c.x, c.y);
    reset();
    xdo(c.action);
    pumpUntil([&] { return count(kClickMessage) >= (int)c.kinds.size(); });
    pumpFor(150);
    std::vector<Seen> got = only(kClickMessage);
    ASSERT_EQ(c.kinds.size(), got.size()) << c.name;
    for (size_t i = 0; i < got.size(); ++i) {
      EXPECT_EQ(c.kinds[i], (int)got[i].wParam) << c.name;
      EXPECT_EQ(c.x, (int)(short)LOWORD(got[i].lParam)) << c.name;
      EXPECT_EQ(c.y, (int)(short)HIWORD(got[i].lParam)) << c.name;
    }
  }

  // Window picking (command 1): moves and the choosing press, which the window never gets.
  ASSERT_EQ(1, SendMessageW(effect, kHelperCommandMessage, kHelperPickWindow, (LPARAM)window_));
  reset();
  moveTo(210, 220);
  xdo("mousedown 1");
  ASSERT_TRUE(pumpUntil([] { return count(kPickButtonMessage) > 0; }));
  std::vector<Seen> moves = only(kPickMoveMessage);
  ASSERT_FALSE(moves.empty());
  EXPECT_EQ(210, (int)moves.back().wParam);
  EXPECT_EQ(220, (int)moves.back().lParam);
  EXPECT_EQ(210, (int)only(kPickButtonMessage)[0].wParam);
  EXPECT_EQ(220, (int)only(kPickButtonMessage)[0].lParam);
  // The recorder stops the helper as soon as the window is chosen.
  ASSERT_EQ(1, SendMessageW(effect, kHelperCommandMessage, kHelperStop, (LPARAM)window_));
  xdo("mouseup 1");
  pumpFor(150);
  EXPECT_EQ(0, count(WM_LBUTTONDOWN));

  reset();
  xdo("mousemove 220 230 click 1");
  ASSERT_TRUE(pumpUntil([] { return count(WM_LBUTTONUP) > 0; }));
  EXPECT_EQ(0, count(kPickMoveMessage) + count(kPickButtonMessage) + count(kClickMessage))
      << "the stopped helper still reports";

  PostMessageW(effect, WM_CLOSE, 0, 0);
  EXPECT_TRUE(helper.waitExit(5000)) << "the helper did not end on WM_CLOSE";
}

}  // namespace
