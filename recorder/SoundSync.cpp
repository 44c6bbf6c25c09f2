// Sound sync decisions and tick periods.
#include "SoundSync.h"

#include <algorithm>
#include <limits>

int framesBehindSound(int64_t soundMs, int64_t framesWritten, int msPerFrame) {
  if (msPerFrame < 1) msPerFrame = 1;
  const int64_t v = (soundMs - framesWritten * msPerFrame) / msPerFrame;
  return static_cast<int>(std::clamp<int64_t>(v, std::numeric_limits<int>::min() + 1,
                                              std::numeric_limits<int>::max()));
}

SyncDecision decideSoundSync(int64_t soundMs, int64_t framesWritten, int msPerFrame) {
  SyncDecision d;
  const int v = framesBehindSound(soundMs, framesWritten, msPerFrame);
  if (v >= 0) {
    d.extraFrames = v;
  } else {
    // One interval ahead is within a tick's jitter: skip this picture only.
    d.skipPicture = true;
    d.ticksToDrop = -v - 1;
  }
  return d;
}

int periodTicks(int everyMs, int msPerFrame) {
  if (msPerFrame < 1) msPerFrame = 1;
  return std::max(1, everyMs / msPerFrame);
}

namespace {
// Phase 1 of the period, as the tick has always run it; with a period of one
// tick (1 mod 1 is 0) that is every tick.
bool duePhaseOne(int64_t counter, int period) { return counter % period == 1 % period; }
}  // namespace

bool soundSyncDue(int64_t counter, int msPerFrame) {
  return duePhaseOne(counter, periodTicks(1500, msPerFrame));
}

bool inputLevelDue(int64_t counter, int msPerFrame) {
  const int n = periodTicks(3000, msPerFrame);
  return counter % n == n - 1;
}

bool mixerCheckDue(int64_t counter, int msPerFrame) {
  return duePhaseOne(counter, periodTicks(20000, msPerFrame));
}

bool monitorDue(int64_t counter, int msPerFrame) {
  return duePhaseOne(counter, periodTicks(1000, msPerFrame));
}

int dropPeriod(int ticksToDrop, int msPerFrame) {
  if (msPerFrame < 1) msPerFrame = 1;
  const int fps = 1000 / msPerFrame;  // 0 below one frame per second: every 2nd
  if (ticksToDrop < fps / 2) return 4;
  if (2 * ticksToDrop < 3 * fps) return 3;  // below 1.5 x fps, not its truncation
  return 2;
}
