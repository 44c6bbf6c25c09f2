// The recorder's platform on Windows: the sound server reached through its
// dispatch interface (start, stop with a bounded wait on its stop event, the
// milliseconds recorded), the GDI capture, the stop hot key posted to the
// main window, and file and disk sizes. Handles are void* so that callers
// need no <windows.h>. Windows only.
#pragma once

#include <cstdint>
#include <memory>

#include "FrameCapture.h"
#include "RecordingSession.h"

struct IDispatch;

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
};

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

  // Stops whose wait for the server's stop event ran out: the WAV file may
  // not be complete then.
  int stopTimeouts() const { return stopTimeouts_; }

private:
  WinPlatformOptions options_;
  std::unique_ptr<GdiFrameCapture> capture_;
  const RecordingSession* session_ = nullptr;
  int64_t lastSoundMs_ = 0;
  int stopTimeouts_ = 0;
};
