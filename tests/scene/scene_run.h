// For tests that record the test scene: scene.exe started and closed from a
// test (SCENE_EXE names it, a Linux path from CMake), and the screen read back
// to see which code it shows now. Windows only.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "ProgramRun.h"
#include "scene_picture.h"

namespace scene {

// The screen rectangle as 0xRRGGBB pixels, rows top first.
inline std::vector<uint32_t> grabScreen(int left, int top, int w, int h) {
  std::vector<uint32_t> rgb;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO bi = {};
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = w;
  bi.bmiHeader.biHeight = -h;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HBITMAP dib = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (dib) {
    HGDIOBJ old = SelectObject(memory, dib);
    BitBlt(memory, 0, 0, w, h, screen, left, top, SRCCOPY);
    GdiFlush();
    const uint32_t* px = static_cast<const uint32_t*>(bits);
    rgb.assign(px, px + std::size_t(w) * std::size_t(h));
    for (uint32_t& c : rgb) c &= 0xFFFFFF;
    SelectObject(memory, old);
    DeleteObject(dib);
  }
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return rgb;
}

// The code a scene whose window stands at (left, top) shows on the screen
// now; -1 when none can be read there.
inline int64_t codeOnScreen(int left, int top) {
  const std::vector<uint32_t> px = grabScreen(left, top, kMinWidth, kMinHeight);
  if (px.empty()) return -1;
  return readCode([&](int x, int y) { return px[std::size_t(y) * kMinWidth + x]; });
}

// scene.exe, shown topmost until Close or the end of the object.
class SceneWindow {
public:
  SceneWindow() = default;
  SceneWindow(const SceneWindow&) = delete;
  SceneWindow& operator=(const SceneWindow&) = delete;
  ~SceneWindow() { Close(); }

  // The whole screen (w 0) or the rectangle, frozen after stillAfterMs
  // (never when negative). True once this process's window shows and, for
  // the whole screen, its code is seen moving: other programs of the Wine
  // prefix may show scenes of their own, and under Wine a new window now and
  // then dies of an X error at its first show, so such a scene is started
  // again (three tries). A smaller scene may lie under a window of the
  // program under test (without a window manager Wine lets an activated
  // window cover a topmost one), so only its window is waited for.
  bool Start(int x, int y, int w, int h, int stillAfterMs = -1) {
    for (int attempt = 0; attempt < 3; ++attempt) {
      Close();
      if (Launch(x, y, w, h, stillAfterMs)) return true;
    }
    Close();
    return false;
  }
  bool StartFullScreen(int stillAfterMs = -1) { return Start(0, 0, 0, 0, stillAfterMs); }

  void Close() {
    if (!pi_.hProcess) return;
    if (window_) PostMessageW(window_, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(pi_.hProcess, 5000) == WAIT_TIMEOUT) TerminateProcess(pi_.hProcess, 9);
    CloseHandle(pi_.hProcess);
    CloseHandle(pi_.hThread);
    pi_ = PROCESS_INFORMATION();
    window_ = nullptr;
  }

  // The recording has started: a freezing scene freezes its stillAfterMs
  // from now.
  void RecordingStarted() const {
    if (window_) PostMessageW(window_, kRecordingStarted, 0, 0);
  }
  HWND window() const { return window_; }
  const RECT& rect() const { return rect_; }
  int width() const { return rect_.right - rect_.left; }
  int height() const { return rect_.bottom - rect_.top; }
  int64_t CodeOnScreen() const { return codeOnScreen(rect_.left, rect_.top); }

private:
  bool Launch(int x, int y, int w, int h, int stillAfterMs) {
    std::wstring cmd = L"\"" + robot::WinePath(SCENE_EXE) + L"\"";
    if (w > 0)
      cmd += L" --rect=" + std::to_wstring(x) + L"," + std::to_wstring(y) + L"," + std::to_wstring(w) + L"," +
             std::to_wstring(h);
    if (stillAfterMs >= 0) cmd += L" --still-after=" + std::to_wstring(stillAfterMs);
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    if (!CreateProcessW(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi_)) {
      pi_ = PROCESS_INFORMATION();
      return false;
    }
    const DWORD until = GetTickCount() + 15000;
    while (!window_ && static_cast<int>(until - GetTickCount()) > 0 &&
           WaitForSingleObject(pi_.hProcess, 0) == WAIT_TIMEOUT) {
      Sleep(50);
      window_ = program::VisibleTopWindow(pi_.dwProcessId, L"VidorraTestScene");
    }
    if (!window_) return false;
    GetWindowRect(window_, &rect_);
    // A scene that freezes at once cannot be seen moving either: its first
    // paint is waited for instead.
    if (w > 0 || (stillAfterMs >= 0 && stillAfterMs < 1000)) {
      Sleep(300);
      return true;
    }
    const int64_t first = CodeOnScreen();
    for (int i = 0; i < 100; ++i, Sleep(50))
      if (first >= 0 && CodeOnScreen() > first) return true;
    return false;
  }

  PROCESS_INFORMATION pi_ = {};
  HWND window_ = nullptr;
  RECT rect_ = {};
};

}  // namespace scene
