// The recorder's platform on Windows: the sound server reached through its
// dispatch interface (start, stop with a bounded wait on its stop event, the
// milliseconds recorded, the input level), the GDI capture, the stop hot key
// posted to the main window, file and disk sizes, the kept mixer settings,
// and each captured picture handed to what the shell shows beside the
// recording (tray icon, monitor window). Handles are void* so that callers
// need no <windows.h>. Windows only.
#pragma once

#include <cstdint>
#include <memory>

#include "FrameCapture.h"
#include "RecordingSession.h"

struct IDispatch;
class recvolclass;

// What a captured picture means for the windows beside the recording.
struct SideTick {
  bool firstOfFile = false;  // the first picture of an output file
  bool running = false;      // capturing (not a single frame while paused)
  int framesInTime = 0;      // frames written before this picture
  bool monitorDue = false;   // once a second of running pictures
  int inputLevel = 0;        // the sound server's last input level
  AnsiString soundFile;      // first picture of a file: that file's live sound
};

// The shell's side of the tick: the tray icon's blink and the monitor
// window. Called on the GUI thread inside the tick; whatever it throws is
// kept from the recording.
class RecordingSideWork {
public:
  virtual ~RecordingSideWork() = default;
  virtual void pictureTaken(const SideTick& tick, TBitmap& picture) = 0;
};

// How long a stop waits for the sound server to close the WAV file. The
// server closes it within a buffer's time; a server that hangs must not
// hang the GUI thread with it.
constexpr unsigned kSoundStopWaitMs = 10000;

struct WinPlatformOptions {
  IDispatch* soundServer = nullptr;  // the Irecorder object (dual); not owned
  void* stopEvent = nullptr;         // HANDLE of "ZORBELSTOPEVENT"; not owned
  int soundRate = 11025;
  int soundBits = 8;
  void* mainWindow = nullptr;        // HWND that takes the stop hot key
  int stopHotKeyId = 0;
  AnsiString folder;                 // the working folder, for free space
  CaptureOptions capture;
  // "使用过程中尽量保持设置不变": the tick puts the saved source and volume
  // back every 20 s. The saved values are the main form's and may change
  // while recording (the monitor's volume bar); not owned.
  recvolclass* mixer = nullptr;
  bool keepMixer = false;
  const int* savedSoundSource = nullptr;
  const int* savedSoundVolume = nullptr;
  RecordingSideWork* side = nullptr;  // not owned; may be none
};

// Free space of the folder's disk for this user, in MiB; 0 when unknown.
int64_t freeDiskMB(const AnsiString& folder);

class WinRecorderPlatform : public RecorderPlatform {
public:
  explicit WinRecorderPlatform(const WinPlatformOptions& options);
  ~WinRecorderPlatform() override;

  // The session whose frames in time time the capture's markers.
  void setSession(const RecordingSession* session) { session_ = session; }
  GdiFrameCapture& frameCapture() { return *capture_; }

  bool startSound(const AnsiString& wavPath) override;
  void stopSound() override;
  int64_t soundMs() override;
  Capture capture(RecordedPicture& picture) override;
  void postStopCommand() override;
  int64_t fileBytes(const AnsiString& path) override;
  int64_t freeDiskMiB() override;
  void readInputLevel() override;
  void keepMixerSettings() override;

  int inputLevel() const { return inputLevel_; }

  // Stops whose wait for the server's stop event ran out: the WAV file may
  // not be complete then.
  int stopTimeouts() const { return stopTimeouts_; }

private:
  WinPlatformOptions options_;
  std::unique_ptr<GdiFrameCapture> capture_;
  const RecordingSession* session_ = nullptr;
  int64_t lastSoundMs_ = 0;
  int stopTimeouts_ = 0;
  int inputLevel_ = 0;
  int64_t runningPictures_ = 0;
  bool sideOpenedForFile_ = false;
};
