// myshexiangtouclass: the camera target. It owns the frame hand-over event
// "SHEXIANGTOUTONGBUEVENT" (the DirectShow thread and the GUI thread take
// turns on the frame queue through it) and finds the first video input
// device. Choosing a stream format and running the capture graph are not
// part of this build: with no device configure answers -1 (no camera, as
// under Wine), and with a device it reports the capture-graph failure -15, so
// that nothing pretends to record a camera. Windows only.
#pragma once

#include <windows.h>

#include <string>

class TBitmap;

class myshexiangtouclass {
public:
  explicit myshexiangtouclass(HWND window);
  ~myshexiangtouclass();
  myshexiangtouclass(const myshexiangtouclass&) = delete;
  myshexiangtouclass& operator=(const myshexiangtouclass&) = delete;

  // 1 configured, 0 cancelled, -1 no camera, -10 to -20 failures.
  int configure();
  // 1 running; 0 or -1 from configure; other negative codes are failures.
  int startGraph(int msPerFrame, int mode);
  int stop();  // 1 stopped, 0 when it was not running
  bool takeFrame(TBitmap* into);
  bool showProperties();

  int framesPerSecond = 10;
  HWND notifyWindow = nullptr;
  bool configured = false;
  int width = 640, height = 480;
  int bitsPerPixel = 0;
  bool running = false;
  std::wstring deviceName;  // the device found by the last configure

private:
  HANDLE frameEvent_ = nullptr;
};
