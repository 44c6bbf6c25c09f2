// Scheduled recording: the start and end moments the user picked, the checks
// before the wait begins, and what each tick of the schedule's one-second
// timer (and each record tick of a scheduled recording) is to do. The state
// itself (off, waiting, running) is the recorder's state machine
// (RecordingStateMachine, StopRules.h), so every stop, scheduled or manual,
// leaves the schedule off; this unit adds the moments, the decisions and
// the shutdown request. The clock is injected: the Win32 side reads the
// local time, tests turn a fake one.
//
// Safety rules beyond the plain comparison of moments:
// - the clock is read once per decision (a date and a time read apart can
//   tear at midnight into a moment almost a day off);
// - moments are compared in whole milliseconds, so the last bit of a clock
//   value's rounding never decides a comparison;
// - a wait that finds its end moment already gone (the computer slept, the
//   clock was put forward) ends without recording and without shutting down;
// - a scheduled recording also ends when the time it was planned to run has
//   passed on the monotonic clock, so a wall clock put back cannot keep it
//   recording (and filling the disk) for hours more;
// - the computer is shut down only after a stop that the end moment asked
//   for, never after a manual stop or a later recording.
//
// GUI thread only. Portable.
#pragma once

#include <cstdint>

#include "StopRules.h"
#include "System.h"

class ScheduleClock {
public:
  virtual ~ScheduleClock() = default;
  // The local wall clock: days since 1899-12-30 with the time of day as the
  // fraction, date and time from one reading.
  virtual double now() = 0;
  // A monotonic millisecond count; it may wrap at 2^32 (it is only ever
  // differenced between ticks a second or so apart).
  virtual uint32_t monotonicMs() = 0;
};

#ifdef _WIN32
// GetLocalTime and GetTickCount (XP has no 64-bit tick count).
ScheduleClock& systemScheduleClock();
#endif

// A clock value in whole milliseconds (rounded; NaN and negatives read 0).
int64_t clockMs(double value);

// A moment from the pickers: the whole days of the date picker plus the time
// of day of the time picker (whatever day that one carries).
double scheduleMoment(double pickerDate, double pickerTime);

enum class ScheduleTimesCheck {
  Accepted,
  AskLongerThanDay,  // ask kScheduleLongerThanDayQuestion; OK accepts
  Refused,           // show kScheduleTimesWrong
};
// Refused when start is not before end or now is not before start; asks when
// end - start is more than one day (exactly one day is accepted).
ScheduleTimesCheck checkScheduleTimes(double start, double end, double now);

extern const char* const kScheduleTimesWrong;
extern const char* const kScheduleLongerThanDayQuestion;
// Shown when a wait ends because its end moment had already passed.
extern const char* const kScheduleMissedMessage;

enum class ScheduleAction {
  None,
  StartRecording,  // stop the one-second timer; post the start/stop hot key
  StopRecording,   // RecordingSession::stopForSchedule(); shutdown is decided
  Missed,          // the wait is over without a recording: stop the timer, tell the user
};

class Schedule {
public:
  Schedule(RecordingStateMachine& state, ScheduleClock& clock);

  // scheduleState: 0 off, 1 waiting for the start moment, 2 a scheduled
  // recording runs (or its start command is on its way).
  int stateNumber() const;
  bool waiting() const { return state_.schedule() == ScheduleState::Waiting; }
  double start() const { return start_; }
  double end() const { return end_; }

  // Enters the wait. The times are checked again against the clock (a long
  // span must have been confirmed by the caller); false, with nothing
  // changed, when they are refused or when a recording or a wait exists.
  // The caller starts the one-second timer after this and calls cancel()
  // when the timer cannot be set.
  bool begin(double start, double end);
  // Leaves the wait (the button, a confirmed manual start, closing the main
  // form); false when nothing waits.
  bool cancel();

  // One tick: in the wait, of the one-second timer; while a scheduled
  // recording runs, of the record timer. `shutdownChecked` is the state of
  // "定时录制结束后自动关机" now.
  ScheduleAction onTick(bool shutdownChecked);

  // Every recording start clears the shutdown request.
  void recordingStarted();
  // After a stop has finished: true once when the end moment stopped the
  // recording with the shutdown box checked (the caller then shuts the
  // computer down); the request is gone afterwards either way.
  bool takeShutdown();
  bool shutdownRequested() const { return shutdown_; }

private:
  RecordingStateMachine& state_;
  ScheduleClock& clock_;
  double start_ = 0, end_ = 0;
  bool shutdown_ = false;
  bool endAsked_ = false;   // the stop for the end moment has been asked for
  int64_t plannedMs_ = 0;   // end moment - the moment the recording was started
  int64_t elapsedMs_ = 0;   // monotonic time since then
  uint32_t lastMonotonic_ = 0;
};
