// ddoverlayclass: the record-video indicator, a small DirectDraw overlay
// surface shown over the toolbar image while the option "录制视频" is on.
// This unit prepares it (the DirectDraw object, the primary surface, a
// 16-bit or YUY2 overlay with one back buffer); painting and placing it is
// not part of this build. Where the display has no stretchable overlay (as
// under Wine) canStretchOverlay answers 0 and the caller drops the object.
// Windows only.
#pragma once

#include <windows.h>
#include <ddraw.h>

class ddoverlayclass {
public:
  explicit ddoverlayclass(HWND window);
  ~ddoverlayclass();
  ddoverlayclass(const ddoverlayclass&) = delete;
  ddoverlayclass& operator=(const ddoverlayclass&) = delete;

  // 1; -1 no ddraw.dll; -2 no DirectDrawCreate; -3 it failed; -4 the
  // cooperative level was refused.
  int loadDirectDraw();
  int canStretchOverlay();  // 1 or 0
  int createPrimarySurface();  // 1, -1, or 0 without DirectDraw
  // 1; -1 neither pixel format taken; -3 the first lock failed; -2 no back
  // buffer; 0 without DirectDraw.
  int createOverlaySurface(int width, unsigned height);
  bool hasOverlay() const { return overlaySurface != nullptr; }
  void hide();

  IDirectDraw* directDraw = nullptr;
  IDirectDrawSurface* primarySurface = nullptr;
  IDirectDrawSurface* overlaySurface = nullptr;
  IDirectDrawSurface* backBuffer = nullptr;
  DDCAPS caps = {};
  HWND window = nullptr;
  RECT sourceRect = {}, destRect = {};
  HMODULE library = nullptr;
  DDSURFACEDESC surfaceDesc = {};
  int yuvMode = 0;
  COLORREF colorKey = 0x000A000A;  // red 10, green 0, blue 10: where Image2 lets the overlay through
  LONG pitch = 0;
};
