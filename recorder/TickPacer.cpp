// The state shared by the timer callback and the record tick.
#include "TickPacer.h"

#include "SoundSync.h"

TickPacer::TickPacer(PostTick post) : post_(std::move(post)) {}

void TickPacer::onTimer() {
  if (!running_.load()) return;
  if (!waiting_.load()) {
    if (!capturing_.load()) return;
    int d = toDrop_.load();
    if (d > 0) {
      const int period = dropPeriod(d, msPerFrame_.load());
      if (++callbacks_ % period == 0) {
        // The GUI thread may have reset the count meanwhile: only a count
        // still above 0 is used up.
        while (d > 0 && !toDrop_.compare_exchange_weak(d, d - 1)) {
        }
        if (d > 0) return;
      }
    }
  }
  bool expected = false;
  if (queued_.compare_exchange_strong(expected, true)) {
    if (post_ && post_()) return;
    queued_.store(false);
    // No message went out: the time still has to be written by the next tick.
    if (!waiting_.load()) owed_.fetch_add(1);
    return;
  }
  if (waiting_.load()) return;
  owed_.fetch_add(1);
  dropped_.fetch_add(1);
}

void TickPacer::onCameraFrame() {
  if (!running_.load() || !capturing_.load()) return;
  bool expected = false;
  if (queued_.compare_exchange_strong(expected, true) && !(post_ && post_())) queued_.store(false);
}

void TickPacer::start(int msPerFrame) {
  msPerFrame_.store(msPerFrame > 0 ? msPerFrame : 1);
  resetCounters();
  waiting_.store(false);
  // A message still queued from an earlier recording stays the one allowed
  // in the queue; it becomes this recording's first tick.
  capturing_.store(true);
  running_.store(true);
}

void TickPacer::startWaiting() {
  capturing_.store(false);
  waiting_.store(true);
  running_.store(true);
}

void TickPacer::resetCounters() {
  owed_.store(0);
  dropped_.store(0);
  toDrop_.store(0);
  callbacks_ = 0;
}

void TickPacer::stop() {
  running_.store(false);
  capturing_.store(false);
  waiting_.store(false);
}

bool TickPacer::beginTick() {
  if (!running_.load()) {
    queued_.store(false);  // the stale message is gone from the queue now
    return false;
  }
  singleTick_ = false;
  return true;
}

bool TickPacer::beginSingleFrame() {
  if (!running_.load()) return false;
  singleTick_ = true;
  return true;
}

int TickPacer::takeFrames() { return 1 + owed_.exchange(0); }

void TickPacer::endTick() {
  if (!singleTick_) queued_.store(false);
  singleTick_ = false;
}

void TickPacer::addOwed(int frames) {
  if (frames > 0) owed_.fetch_add(frames);
}

void TickPacer::setTicksToDrop(int ticks) { toDrop_.store(ticks > 0 ? ticks : 0); }
