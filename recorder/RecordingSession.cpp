// A recording from start to stop: the tick, clicks, pause, continue, stop.
#include "RecordingSession.h"

#include <exception>

#include "SoundFitting.h"
#include "SoundSync.h"
#include "SysUtils.h"

RecordingSession::RecordingSession(const LxHeader& header, std::unique_ptr<RecordingOutput> output,
                                   RecorderPlatform& platform, const SessionOptions& options,
                                   RecordingStateMachine& state, TickPacer& pacer, int64_t& tickCounter)
    : header_(header),
      output_(std::move(output)),
      platform_(platform),
      options_(options),
      state_(state),
      pacer_(pacer),
      tickCounter_(tickCounter) {
  if (header_.msPerFrame < 1) header_.msPerFrame = 1;
}

bool RecordingSession::start() {
  if (!output_ || state_.hasRecording()) return false;
  header_.frameCount = 0;
  if (!state_.start()) return false;
  if (!output_->open(header_)) {
    state_.abandonStart();
    return false;
  }
  pacer_.start(header_.msPerFrame);
  return true;
}

void RecordingSession::onTick() {
  if (!pacer_.beginTick()) return;
  tickBody(true);
  pacer_.endTick();
}

void RecordingSession::singleFrame() {
  if (state_.state() != RecorderState::Paused || !pacer_.beginSingleFrame()) return;
  tickBody(false);
  pacer_.endTick();
}

void RecordingSession::tickBody(bool periodic) {
  const RecorderState s = state_.state();
  // Once the session has asked to be stopped nothing more is written: the
  // stop command may still be in the queue behind this tick.
  if ((s != RecorderState::Recording && s != RecorderState::Paused) || autoStopPending_) return;
  try {
    const int ms = header_.msPerFrame;
    if (periodic && pacer_.capturing()) {
      ++tickCounter_;
      if (options_.hasSound) {
        if (mixerCheckDue(tickCounter_, ms)) platform_.keepMixerSettings();
        if (inputLevelDue(tickCounter_, ms)) platform_.readInputLevel();
        if (soundRunning_ && soundSyncDue(tickCounter_, ms)) {
          pacer_.setTicksToDrop(0);
          const SyncDecision d = decideSoundSync(platform_.soundMs(), framesInTime(), ms);
          if (d.skipPicture) {
            pacer_.discardOwed();
            pacer_.setTicksToDrop(d.ticksToDrop);
            return;
          }
          pacer_.addOwed(d.extraFrames);
        }
      }
    }

    if (framesInTime() == 0 && options_.hasSound && !soundStarted_) {
      if (!platform_.startSound(options_.soundPath)) {
        options_.hasSound = false;
        autoStop(StopReason::Rule,
                 "开始录音失败,如果此电脑上没有声卡或声卡有故障,请不要选中“同时录制声音”选项");
        return;
      }
      soundStarted_ = soundRunning_ = true;
      pacer_.discardOwed();  // the time spent starting the server owes no frames
    }

    RecordedPicture picture;
    switch (platform_.capture(picture)) {
      case RecorderPlatform::Capture::TargetGone:
        autoStop(StopReason::Rule, "目标窗体已经被关闭,现停止录制");
        return;
      case RecorderPlatform::Capture::Nothing:
        return;
      case RecorderPlatform::Capture::Picture:
        break;
    }
    if (!output_->writePicture(picture, pacer_.takeFrames())) {
      autoStop(StopReason::Rule, "录制过程发生错误，已停止录制");
      return;
    }

    if (!frameCheckDone_ && framesInTime() >= kFrameCheckFrames) {
      if (options_.stopWhenTooFast && pacer_.droppedTicks() > kFrameCheckMaxDropped) {
        autoStop(StopReason::Rule, "帧数设置太大,已停止录制," + IntToStr(pacer_.droppedTicks()));
        return;
      }
      frameCheckDone_ = true;
    }

    if (sizeCheckDue(++sizeCheckCounter_)) {
      SizeCheckInput in;
      in.kind = output_->kind();
      in.outputBytes = output_->bytesWritten();
      in.soundBytes = options_.hasSound ? platform_.fileBytes(options_.soundPath) : 0;
      in.freeMiB = platform_.freeDiskMiB();
      const SizeCheckResult r = sizeCheck(in);
      if (r.split && !split()) {
        autoStop(StopReason::Rule, "文件大小接近2G,自动停止");
        return;
      }
      if (r.stop) autoStop(StopReason::Rule, r.message);
    }
  } catch (const Exception&) {
    autoStop(StopReason::Rule, "录制过程发生错误，已停止录制");
  } catch (const std::exception&) {
    autoStop(StopReason::Rule, "录制过程发生错误，已停止录制");
  }
}

void RecordingSession::onClick(int screenX, int screenY, int kind, int hotSpotX, int hotSpotY) {
  if (state_.state() != RecorderState::Recording || !pacer_.capturing()) return;
  if (kind < 1 || kind > 3) return;
  screenToPicture(options_.origin, screenX, screenY);
  appendClickEvent(clicks_, {framesInTime(), screenX, screenY, kind, hotSpotX, hotSpotY});
}

bool RecordingSession::pause() {
  if (!state_.pause()) return false;
  pacer_.pause();
  if (soundRunning_) {
    platform_.stopSound();
    soundRunning_ = false;
    fitSound();
  }
  return true;
}

bool RecordingSession::resume() {
  if (state_.state() != RecorderState::Paused) return false;
  if (options_.hasSound && soundStarted_) {
    fitSound();  // the single frames taken while paused have no sound yet
    soundRunning_ = platform_.startSound(options_.soundPath);
  }
  state_.resume();
  pacer_.resume();
  return true;
}

void RecordingSession::autoStop(StopReason reason, const AnsiString& message) {
  if (autoStopPending_) return;
  autoStopPending_ = true;
  autoReason_ = reason;
  stopMessage_ = message;
  platform_.postStopCommand();
}

bool RecordingSession::requestStop(StopReason reason) {
  if (autoStopPending_) reason = autoReason_;
  if (!state_.requestStop(reason, framesInTime(), header_.msPerFrame)) return false;
  pacer_.stop();
  finish(options_.finishNow);
  state_.finishStop();
  return true;
}

void RecordingSession::endSession() {
  if (!state_.requestStop(StopReason::EndSession, framesInTime(), header_.msPerFrame)) return;
  pacer_.stop();
  // The fit uses this recording's own header, whatever output it writes.
  finish(false);
  state_.finishStop();
}

void RecordingSession::fitSound() {
  fitWaveLength(options_.soundPath, int64_t(framesInTime()) * header_.msPerFrame);
}

void RecordingSession::finish(bool finishNow) {
  if (soundRunning_) {
    platform_.stopSound();
    soundRunning_ = false;
  }
  if (options_.hasSound && soundStarted_) {
    fitSound();
    if (options_.addClickSounds) {
      SilentHost host;
      addClickSounds(options_.soundPath, options_.clickSoundFolder, clicks_,
                     options_.framesPerSecond, host);
    }
    output_->takeSound(options_.soundPath);
  }
  output_->takeClicks(clicks_);
  finishedCleanly_ = output_->finish(finishNow);
  if (finishedCleanly_ && output_->kind() != OutputKind::Lx) finishedFiles_.Add(output_->path());
}

bool RecordingSession::split() {
  std::unique_ptr<RecordingOutput> next = platform_.nextOutput();
  if (!next) return false;
  finish(false);
  output_ = std::move(next);
  header_.frameCount = 0;
  if (!output_->open(header_)) return false;
  clicks_.Clear();
  options_.soundPath = platform_.soundPathFor(*output_);
  soundStarted_ = false;  // the next tick starts the sound of the new file
  frameCheckDone_ = false;
  sizeCheckCounter_ = 0;
  pacer_.resetCounters();
  return true;
}
