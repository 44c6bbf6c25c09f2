// The tray blink and the monitor window of the record tick (see
// RecordingSideWindows_win.h).
#include "RecordingSideWindows_win.h"

#include "MainForm_win.h"
#include "MonitorWindow_win.h"
#include "TickSideWork.h"
#include "TrayIcon_win.h"

namespace {
// Kept over the whole run, as the blink's phase simply goes on from one
// recording to the next.
unsigned trayBlinkCounter = 0;
}  // namespace

void RecordingSideWindows::pictureTaken(const SideTick& tick, TBitmap& picture) {
  if (main_.trayIconShown == 1 && tick.running && trayBlinkDue(tick.framesInTime, options_.framesPerSecond)) {
    switch (trayBlinkImage(trayBlinkCounter++, options_.hasSound, tick.inputLevel)) {
      case TrayImage::Application: main_.setTrayIcon(applicationIcon()); break;
      case TrayImage::WithSound: main_.setTrayIcon(main_.iconWithSound); break;
      case TrayImage::NoSound: main_.setTrayIcon(main_.iconNoSound); break;
    }
  }
  if (tick.firstOfFile && options_.showMonitor) {
    const AnsiString sound = tick.soundFile.IsEmpty() ? options_.soundFile : tick.soundFile;
    openMonitorWindow(main_, options_.hasSound ? sound : AnsiString(), options_.fullScreen, options_.targetTop,
                      options_.targetBottom);
  }
  if (tick.monitorDue) refreshMonitorWindow(main_, picture);
}
