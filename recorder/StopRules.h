// When a recording stops by itself, and the recorder's state from start to
// stop. The size and disk rule runs every 78 ticks; the state machine answers
// the outside query WM_USER+17 and guarantees that every stop, whatever
// asked for it, ends idle with no schedule left behind. Pure logic: sizes and
// free space are handed in. Portable.
#pragma once

#include <cstdint>

#include "RecordingOutput.h"
#include "System.h"

// ---- size and free space --------------------------------------------------

constexpr int kSizeCheckTicks = 78;
constexpr int64_t kMaxOutputMiB = 1948;  // output plus sound, below 2 GiB
constexpr int64_t kMinFreeMiB = 300;

// Tick number n (1, 2, ... counted since the start or the last split) is a
// check tick.
inline bool sizeCheckDue(int64_t tick) { return tick > 0 && tick % kSizeCheckTicks == 0; }

struct SizeCheckInput {
  OutputKind kind = OutputKind::Lx;
  int64_t outputBytes = 0;
  int64_t soundBytes = 0;  // 0 without sound
  int64_t freeMiB = 0;     // not above 0: unknown, the disk rule is skipped
};

struct SizeCheckResult {
  bool split = false;  // a direct output goes on in the next numbered file
  bool stop = false;   // the recording stops with `message`
  AnsiString message;
};

// Output and sound sizes count in whole MiB (bytes / 1024 / 1024, each step
// truncated); a WMV's sound counts only once it alone reaches the limit.
// Above 1948 MiB an .lx recording stops and a direct output splits. The
// free space less what finishing still needs (nothing for .lx, the sound for
// AVI, output and sound for EXE, the output for WMV) below 300 MiB stops.
SizeCheckResult sizeCheck(const SizeCheckInput& in);

// ---- what stops a recording ----------------------------------------------

enum class StopReason {
  User,         // the start/stop hot key, menu or toolbar
  Rule,         // a stop rule of the tick (size, disk, frame rate, errors)
  ScheduleEnd,  // the end moment of a scheduled recording
  NoTicks,      // the timer could not be set: no tick will ever come
  EndSession,   // Windows is logging off or shutting down
};

// A user's stop is ignored until more than one second of pictures follows
// the first frame; every other stop is taken at once, since nothing would
// ask again.
bool stopAccepted(StopReason reason, int framesInTime, int msPerFrame);

// ---- recorder state ---------------------------------------------------------

enum class RecorderState { Idle, Recording, Paused, Stopping };
enum class ScheduleState { Off, Waiting, Running };

class RecordingStateMachine {
public:
  RecorderState state() const { return state_; }
  ScheduleState schedule() const { return schedule_; }
  bool hasRecording() const { return state_ != RecorderState::Idle; }

  // Each returns false and changes nothing when the move is not allowed.
  bool startWaiting();        // Off -> Waiting (no recording)
  bool cancelWaiting();       // Waiting -> Off
  bool scheduledStartDue();   // Waiting -> Running: the tick then asks to start
  bool start();               // Idle -> Recording; a manual start leaves a wait
  bool pause();               // Recording -> Paused
  bool resume();              // Paused -> Recording
  // Recording or Paused -> Stopping when the reason is accepted.
  bool requestStop(StopReason reason, int framesInTime, int msPerFrame);
  // Stopping -> Idle; the schedule is off whatever started the recording.
  bool finishStop();
  // A start that failed after start(): back to Idle.
  void abandonStart();

  // The answer to WM_USER+17: 1 idle, 2 recording, 3 paused. While stopping
  // the answer is the one from before the stop.
  int queryAnswer() const;

private:
  RecorderState state_ = RecorderState::Idle;
  RecorderState stoppedFrom_ = RecorderState::Recording;
  ScheduleState schedule_ = ScheduleState::Off;
};
