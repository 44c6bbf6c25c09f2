// The checks that run while the main form is created, in their fixed order,
// with the message and the exit code of every failure. The platform work of
// each check (registry, COM, libraries, windows) sits behind StartupEnv,
// which the Windows side implements and tests fake, so that the order and the
// failure table are decided here and nowhere else. Portable; never shows a
// box or ends the process itself: the caller does that with the result.
#pragma once

#include "System.h"

namespace StartupText {
extern const char* const kAppTitle;
extern const char* const kWmvInstallQuestion;
extern const char* const kWmvInstallerMissingHead;
extern const char* const kWmvInstallerMissingTail;
extern const char* const kNeedAdmin;
extern const char* const kNoMp3Codec;
extern const char* const kSecondInstance;
extern const char* const kNoRecorderServer;
extern const char* const kStaleServerSurvives;
extern const char* const kRecorderFailedHead;  // followed by the web site
extern const char* const kHookLoadFailed;
extern const char* const kHookEntryMissing;
extern const char* const kSetcxMissing;
extern const char* const kHelpFailed;
}  // namespace StartupText

// How loading the two hook libraries ended; each failure names its message.
enum class HookLoad { ok, libraryMissing, entryMissing, setcxMissing };

class StartupEnv {
public:
  virtual ~StartupEnv() = default;
  virtual void showMessage(const AnsiString& text) = 0;
  virtual bool askOkCancel(const AnsiString& caption, const AnsiString& text) = 0;

  virtual bool probeWmvRuntime() = 0;
  virtual bool loadWmvLibrary() = 0;
  virtual bool wmvInstallerExists() = 0;
  virtual void runWmvInstaller() = 0;

  virtual bool isVistaOrLater() = 0;
  virtual bool canWriteMachineRegistry() = 0;

  virtual bool hasMp3Codec() = 0;
  virtual bool mp3CodecFilesPresent() = 0;
  virtual bool runMp3Repair() = 0;  // true when the user had the repair done

  virtual bool acquireInstanceMutex() = 0;  // false: another instance holds it

  virtual bool recorderServerExists() = 0;
  virtual bool staleServerRunning() = 0;
  // Ends the stale server's process and waits, up to the bound, for its
  // window to go; true when it has gone.
  virtual bool endStaleServer(int waitMs) = 0;
  virtual bool isRecorderServerRegistered() = 0;
  virtual void runRecorderServer(const char* option) = 0;  // "/unregserver", "/regserver"
  virtual void markRecorderServerRegistered() = 0;
  virtual void writeLocalServerPath() = 0;
  virtual void initCom() = 0;
  virtual bool createRecorder() = 0;  // the object and its get_startreturn probe
  virtual void createStopEvent() = 0;

  virtual HookLoad loadHookLibraries() = 0;
  virtual void startMouseHelper() = 0;
  virtual bool loadHelp() = 0;
};

struct StartupResult {
  bool carryOn = true;  // false: end the process with exitCode
  int exitCode = 0;
  bool wmvAvailable = false, mp3Available = false, helpAvailable = false, vista = false;
};

// How long a stale sound server may take to go away after it was ended.
inline constexpr int kStaleServerWaitMs = 5000;

// Runs the checks of the main form's creation in order. webSite completes the
// messages that send the user to the product's site.
StartupResult runStartupChecks(StartupEnv& env, const AnsiString& webSite);

// What the first show makes of the screen: the pixel format frames are
// captured in, and the advice a slow capture earns. The 32-bit advice is a
// plain message; the acceleration tip is a once-only tip.
enum class ScreenAdvice { none, use16BitColour, tryDriverAcceleration };
struct CaptureChoice {
  bool eightBit = false;  // else 16-bit
  ScreenAdvice advice = ScreenAdvice::none;
};
// depth: bits per pixel of the screen; captureMs: one full-screen copy;
// accelerationOffered: the mirror-driver installer or the special display
// setting is available.
CaptureChoice chooseCapture(int depth, bool vista, bool win7, int captureMs, bool accelerationOffered);
namespace StartupText {
extern const char* const kUse16BitColour;
extern const char* const kTryDriverAcceleration;
}  // namespace StartupText
