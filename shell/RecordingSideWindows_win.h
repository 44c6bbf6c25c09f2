// What the record tick shows beside a recording, on the main form's side: the
// tray icon's blink (once a second of pictures, the application icon in turn
// with the sign of whether sound comes in) and the monitor window (opened on
// the first picture of each output file when "录像时显示声音图像实时监控窗体"
// is checked, refreshed once a second). WinRecorderPlatform calls it with
// every captured picture. Windows only.
#pragma once

#include "WinRecorderPlatform_win.h"

class TMainForm;

struct SideWindowOptions {
  bool hasSound = false;
  AnsiString soundFile;         // the live WAV side file of the first output file
  double framesPerSecond = 1;   // as typed
  bool showMonitor = false;     // CheckBox28
  bool fullScreen = true;
  int targetTop = 0, targetBottom = 0;  // screen lines of a window or region target
};

class RecordingSideWindows : public RecordingSideWork {
public:
  RecordingSideWindows(TMainForm& main, const SideWindowOptions& options) : main_(main), options_(options) {}
  void pictureTaken(const SideTick& tick, TBitmap& picture) override;

private:
  TMainForm& main_;
  SideWindowOptions options_;
};
