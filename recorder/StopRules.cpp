// The size and disk rule, stop acceptance and the recorder's state machine.
#include "StopRules.h"

namespace {
int64_t wholeMiB(int64_t bytes) { return bytes <= 0 ? 0 : bytes / 1024 / 1024; }
}  // namespace

SizeCheckResult sizeCheck(const SizeCheckInput& in) {
  SizeCheckResult r;
  const int64_t out = wholeMiB(in.outputBytes);
  int64_t sound = wholeMiB(in.soundBytes);
  if (in.kind == OutputKind::DirectWmv && sound < kMaxOutputMiB) sound = 0;
  if (out + sound > kMaxOutputMiB) {
    if (in.kind == OutputKind::Lx) {
      r.stop = true;
      r.message = "文件大小接近2G,自动停止";
      return r;
    }
    r.split = true;
  }
  if (in.freeMiB > 0) {
    int64_t needed = 0;
    switch (in.kind) {
      case OutputKind::Lx: needed = 0; break;
      case OutputKind::DirectAvi: needed = sound; break;
      case OutputKind::DirectExe: needed = out + sound; break;
      case OutputKind::DirectWmv: needed = out; break;
    }
    if (in.freeMiB - needed < kMinFreeMiB) {
      r.stop = true;
      r.message = "硬盘空间不足(<300M),自动停止";
    }
  }
  return r;
}

bool stopAccepted(StopReason reason, int framesInTime, int msPerFrame) {
  if (reason != StopReason::User) return true;
  return int64_t(framesInTime - 1) * msPerFrame > 1000;
}

bool RecordingStateMachine::startWaiting() {
  if (state_ != RecorderState::Idle || schedule_ != ScheduleState::Off) return false;
  schedule_ = ScheduleState::Waiting;
  return true;
}

bool RecordingStateMachine::cancelWaiting() {
  if (schedule_ != ScheduleState::Waiting) return false;
  schedule_ = ScheduleState::Off;
  return true;
}

bool RecordingStateMachine::scheduledStartDue() {
  if (schedule_ != ScheduleState::Waiting || state_ != RecorderState::Idle) return false;
  schedule_ = ScheduleState::Running;
  return true;
}

bool RecordingStateMachine::start() {
  if (state_ != RecorderState::Idle) return false;
  if (schedule_ == ScheduleState::Waiting) schedule_ = ScheduleState::Off;
  state_ = RecorderState::Recording;
  return true;
}

bool RecordingStateMachine::pause() {
  if (state_ != RecorderState::Recording) return false;
  state_ = RecorderState::Paused;
  return true;
}

bool RecordingStateMachine::resume() {
  if (state_ != RecorderState::Paused) return false;
  state_ = RecorderState::Recording;
  return true;
}

bool RecordingStateMachine::requestStop(StopReason reason, int framesInTime, int msPerFrame) {
  if (state_ != RecorderState::Recording && state_ != RecorderState::Paused) return false;
  if (!stopAccepted(reason, framesInTime, msPerFrame)) return false;
  stoppedFrom_ = state_;
  state_ = RecorderState::Stopping;
  return true;
}

bool RecordingStateMachine::finishStop() {
  if (state_ != RecorderState::Stopping) return false;
  state_ = RecorderState::Idle;
  schedule_ = ScheduleState::Off;
  return true;
}

void RecordingStateMachine::abandonStart() {
  state_ = RecorderState::Idle;
  // A scheduled start that could not begin must not leave the schedule
  // claiming a recording runs.
  if (schedule_ == ScheduleState::Running) schedule_ = ScheduleState::Off;
}

int RecordingStateMachine::queryAnswer() const {
  RecorderState s = state_ == RecorderState::Stopping ? stoppedFrom_ : state_;
  switch (s) {
    case RecorderState::Idle: return 1;
    case RecorderState::Paused: return 3;
    default: return 2;
  }
}
