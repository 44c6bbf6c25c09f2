// The schedule's checks and tick decisions.
#include "Schedule.h"

#include <cmath>

namespace {
constexpr int64_t kMsPerDay = 86400000;
// The monotonic guard leaves the wall clock the first word: a minute, plus
// a tenth of a percent for long spans, covers the slewing time service.
int64_t guardSlackMs(int64_t plannedMs) { return 60000 + plannedMs / 1000; }
}  // namespace

const char* const kScheduleTimesWrong = "定时时间设置错误,请修改";
const char* const kScheduleLongerThanDayQuestion = "你要录像的时间确认是要超过1天吗?";
const char* const kScheduleMissedMessage = "定时录制的结束时间已过,没有录制,定时已取消";

int64_t clockMs(double value) {
  if (!(value > 0)) return 0;
  if (value > 3.0e6) value = 3.0e6;  // past the year 9999: no meaningful moment
  return std::llround(value * static_cast<double>(kMsPerDay));
}

double scheduleMoment(double pickerDate, double pickerTime) {
  return std::trunc(pickerDate) + (pickerTime - std::trunc(pickerTime));
}

ScheduleTimesCheck checkScheduleTimes(double start, double end, double now) {
  const int64_t s = clockMs(start), e = clockMs(end), n = clockMs(now);
  if (s >= e || n >= s) return ScheduleTimesCheck::Refused;
  if (e - s > kMsPerDay) return ScheduleTimesCheck::AskLongerThanDay;
  return ScheduleTimesCheck::Accepted;
}

Schedule::Schedule(RecordingStateMachine& state, ScheduleClock& clock) : state_(state), clock_(clock) {}

int Schedule::stateNumber() const {
  switch (state_.schedule()) {
    case ScheduleState::Waiting: return 1;
    case ScheduleState::Running: return 2;
    default: return 0;
  }
}

bool Schedule::begin(double start, double end) {
  if (checkScheduleTimes(start, end, clock_.now()) == ScheduleTimesCheck::Refused) return false;
  if (!state_.startWaiting()) return false;
  start_ = start;
  end_ = end;
  endAsked_ = false;
  return true;
}

bool Schedule::cancel() { return state_.cancelWaiting(); }

ScheduleAction Schedule::onTick(bool shutdownChecked) {
  switch (state_.schedule()) {
    case ScheduleState::Off: return ScheduleAction::None;

    case ScheduleState::Waiting: {
      const int64_t now = clockMs(clock_.now());
      if (now > clockMs(end_)) {
        state_.cancelWaiting();
        return ScheduleAction::Missed;
      }
      if (now <= clockMs(start_)) return ScheduleAction::None;
      if (!state_.scheduledStartDue()) return ScheduleAction::None;
      plannedMs_ = clockMs(end_) - now;
      elapsedMs_ = 0;
      lastMonotonic_ = clock_.monotonicMs();
      endAsked_ = false;
      return ScheduleAction::StartRecording;
    }

    case ScheduleState::Running: {
      // Time runs from the start decision on, through the start command and
      // any pause (no ticks come while paused: the next one adds it all).
      const uint32_t m = clock_.monotonicMs();
      elapsedMs_ += static_cast<uint32_t>(m - lastMonotonic_);
      lastMonotonic_ = m;
      const RecorderState r = state_.state();
      if (endAsked_ || (r != RecorderState::Recording && r != RecorderState::Paused)) return ScheduleAction::None;
      const bool wallEnd = clockMs(clock_.now()) > clockMs(end_);
      const bool monotonicEnd = elapsedMs_ > plannedMs_ + guardSlackMs(plannedMs_);
      if (!wallEnd && !monotonicEnd) return ScheduleAction::None;
      endAsked_ = true;
      shutdown_ = shutdownChecked;
      return ScheduleAction::StopRecording;
    }
  }
  return ScheduleAction::None;
}

void Schedule::recordingStarted() { shutdown_ = false; }

bool Schedule::takeShutdown() {
  // Only once the stop has finished: the file must be complete first.
  if (state_.hasRecording()) return false;
  const bool s = shutdown_;
  shutdown_ = false;
  return s;
}
