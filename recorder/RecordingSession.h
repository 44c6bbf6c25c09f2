// One recording from its start to its stop, as the main form drives it: the
// record tick (sound sync, first-tick sound start, capture, write with the
// owed ticks, frame-rate check, size and disk rule), clicks, pause and
// continue, the stop, and the stop Windows forces at log-off. It owns the
// output, the tick pacer and the recorder's state; what only Windows can do
// (the sound server, the capture, free disk space, posting the stop hot key)
// comes through RecorderPlatform, so the Win32 handlers stay a few lines each
// and tests drive whole recordings with a fake platform.
//
// GUI thread only; the timer callback calls only the pacer's onTimer.
// Portable.
#pragma once

#include <cstdint>
#include <memory>

#include "ClickList.h"
#include "Host.h"
#include "RecordingOutput.h"
#include "StopRules.h"
#include "TickPacer.h"

class RecorderPlatform {
public:
  virtual ~RecorderPlatform() = default;
  // The sound server: start (or continue) recording into the WAV; stop and
  // wait until it has closed the file; milliseconds recorded so far.
  virtual bool startSound(const AnsiString& wavPath) = 0;
  virtual void stopSound() = 0;
  virtual int64_t soundMs() = 0;

  enum class Capture { Picture, Nothing, TargetGone };
  // Takes the target's picture and the cursor into `picture` (cursor already
  // in picture coordinates, see cursorOnPicture). Nothing: no frame this tick
  // (a window too narrow to record); TargetGone: the window was closed.
  virtual Capture capture(RecordedPicture& picture) = 0;

  // Posts the start/stop hot key: the stop command then calls requestStop.
  virtual void postStopCommand() = 0;

  // Sizes for the size and disk rule.
  virtual int64_t fileBytes(const AnsiString& path) = 0;  // 0 when missing
  virtual int64_t freeDiskMiB() = 0;                      // 0 when unknown

  // A direct output that reached the size limit goes on in the next numbered
  // file; nullptr stops the recording instead.
  virtual std::unique_ptr<RecordingOutput> nextOutput() { return nullptr; }
  // The live sound side file belonging to an output.
  virtual AnsiString soundPathFor(const RecordingOutput& output) { return AnsiString(); }

  // Periodic side work of the tick (input level every 3 s, mixer every 20 s).
  virtual void readInputLevel() {}
  virtual void keepMixerSettings() {}
};

struct SessionOptions {
  bool hasSound = false;
  AnsiString soundPath;        // the live side file: folder + name + "1.wav"
  double framesPerSecond = 1;  // as typed (may be fractional)
  bool stopWhenTooFast = false;  // "帧数过大,自动停止录制"
  bool addClickSounds = false;
  AnsiString clickSoundFolder;   // where mc1.wav .. mc8.wav are
  TargetOrigin origin;           // for clicks (screen -> picture)
  bool finishNow = true;         // false: direct outputs defer their finish
};

class RecordingSession {
public:
  // state, pacer and tickCounter live as long as the main form: the state
  // also holds the schedule, which exists before any recording; the pacer is
  // what the timer callback reaches, so a tick message or a callback still in
  // flight after one recording meets the same pacer, never a freed one; and
  // tickCounter numbers the capturing ticks over the process's life, so the
  // periodic work (sound sync, input level, mixer) keeps its phase from one
  // recording to the next instead of starting again at each.
  RecordingSession(const LxHeader& header, std::unique_ptr<RecordingOutput> output,
                   RecorderPlatform& platform, const SessionOptions& options,
                   RecordingStateMachine& state, TickPacer& pacer, int64_t& tickCounter);

  // Opens the output and starts pacing; false (nothing left behind, the
  // state unchanged) when a recording exists or the output cannot be opened.
  bool start();
  TickPacer& pacer() { return pacer_; }
  const RecordingStateMachine& state() const { return state_; }
  RecordingOutput* output() { return output_.get(); }
  const RecordingOutput* output() const { return output_.get(); }
  const LxHeader& header() const { return header_; }
  int framesInTime() const { return output_ ? output_->framesInTime() : 0; }
  const TStringList& clicks() const { return clicks_; }

  // The tick message (WM_USER+16). A message that arrives after the stop
  // does nothing.
  void onTick();
  // The single-frame command while paused: one tick outside the queue.
  void singleFrame();
  // A mouse event from the hook, in screen coordinates; recorded only while
  // capturing.
  void onClick(int screenX, int screenY, int kind, int hotSpotX, int hotSpotY);

  // Pause and continue fit the sound to the pictures so far.
  bool pause();
  bool resume();

  // The stop command. A stop the session itself asked for (a stop rule, a
  // failed sound start, a closed window) carries its reason; otherwise the
  // caller's reason counts, and a user's stop within the first second is
  // refused (false, nothing changed). On true the recording is finished
  // and the state is idle.
  bool requestStop(StopReason reason = StopReason::User);
  // The end moment of a scheduled recording has come: asks for the stop like
  // a stop rule, so it is taken even within the first second.
  void stopForSchedule() { autoStop(StopReason::ScheduleEnd, AnsiString()); }
  // Windows is ending: stop at once, fit the sound against this recording's
  // own frame interval, and leave a complete .lx (direct outputs are left
  // for their later finishing).
  void endSession();

  // Why the session stopped itself, for the message after the stop.
  const AnsiString& stopMessage() const { return stopMessage_; }
  // The output's finish result (false: the file was left unfinished).
  bool finishedCleanly() const { return finishedCleanly_; }
  // Direct output files completed so far (a split adds one per file).
  const TStringList& finishedFiles() const { return finishedFiles_; }

private:
  void autoStop(StopReason reason, const AnsiString& message);
  void tickBody(bool periodic);
  void fitSound();
  void finish(bool finishNow);
  bool split();

  LxHeader header_;
  std::unique_ptr<RecordingOutput> output_;
  RecorderPlatform& platform_;
  SessionOptions options_;
  RecordingStateMachine& state_;
  TickPacer& pacer_;
  int64_t& tickCounter_;
  TStringList clicks_;
  TStringList finishedFiles_;
  bool soundStarted_ = false;  // the first tick started the sound server
  bool soundRunning_ = false;  // it records now (not paused, not stopped)
  bool frameCheckDone_ = false;
  int64_t sizeCheckCounter_ = 0;
  bool autoStopPending_ = false;
  StopReason autoReason_ = StopReason::Rule;
  AnsiString stopMessage_;
  bool finishedCleanly_ = false;
};
