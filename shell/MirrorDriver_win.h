// mymirrorclass: the program's side of the mirror display driver, a display
// driver installed separately that is attached to the desktop while it is
// used and answers escapes about its surface. This unit finds the device,
// attaches, detaches, queries and maps its surface; without the driver (as
// under Wine) probeDriver answers false and attach reports its error text.
// The changed-rectangle grabbing of the direct EXE recording is not part of
// it. Windows only.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

// Escapes of the driver.
constexpr int MIRROR_ESC_QUERY_SURFACE = 0x8003;
constexpr int MIRROR_ESC_MAP_SURFACE = 0x8020;
constexpr int MIRROR_ESC_CHANGED_COUNT = 0x8010;
constexpr int MIRROR_ESC_CHANGED_RECTS = 0x8011;

class mymirrorclass {
public:
  explicit mymirrorclass(uint32_t captureRop);
  ~mymirrorclass();
  mymirrorclass(const mymirrorclass&) = delete;
  mymirrorclass& operator=(const mymirrorclass&) = delete;

  bool probeDriver();
  // Empty on success, else "mirror load error1" to "mirror load error8".
  std::string attach();
  bool detachMirrorDriver();
  bool isAttached();
  bool querySurface();
  bool mapSurface(int mode);
  bool unmapSurface();

  uint32_t surfaceWidth = 0;
  int32_t surfaceHeight = 0;
  uint32_t bitsPerPixel = 0;
  int32_t stride = 0;
  HWND desktopWindow = nullptr;
  HDC desktopDC = nullptr;
  char deviceName[1024] = {};
  HDC mirrorDC = nullptr;
  uint8_t* rectBuffer = nullptr;  // 16004 bytes: count and up to 1000 rectangles
  int32_t rectCount = 0;
  int32_t mapMode = 0;
  void* frameBits = nullptr;
  HBITMAP frameBitmap = nullptr;
  uint32_t captureRop = 0;
  uint8_t driverInstalled = 0;

private:
  // The display device whose device string names the driver.
  bool findDevice(DISPLAY_DEVICEW& device);
  int escape(int code, int inSize, const void* in, int outSize, void* out);
};
