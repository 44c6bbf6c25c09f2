// The sound sync decisions of the tick and the periods of its periodic work,
// as tables, including frame rates below one frame per second.
#include <gtest/gtest.h>

#include "SoundSync.h"

namespace {

TEST(SoundSync, DecisionFromSoundTimeAndFramesWritten) {
  struct Case {
    int64_t soundMs, frames;
    int msPerFrame;
    bool skip;
    int extra, toDrop;
  } cases[] = {
      {1200, 10, 100, false, 2, 0},     // sound two intervals ahead: two repeats
      {1050, 10, 100, false, 0, 0},     // half an interval: nothing to do
      {900, 10, 100, true, 0, 0},       // frames one ahead: skip this picture only
      {700, 10, 100, true, 0, 2},       // three ahead: skip and drop two more ticks
      {950, 10, 100, false, 0, 0},      // -0.5 truncates toward zero
      {0, 0, 100, false, 0, 0},         // first tick
      {9000, 2, 2000, false, 2, 0},     // 0.5 fps: 4.5 s ahead of 2 frames = 2 repeats
      {3000, 3, 2000, true, 0, 0},      // 0.5 fps: frames 1.5 intervals ahead
      {3600000, 0, 40, false, 90000, 0},  // an hour of sound and no frames
  };
  for (const Case& c : cases) {
    const SyncDecision d = decideSoundSync(c.soundMs, c.frames, c.msPerFrame);
    EXPECT_EQ(d.skipPicture, c.skip) << c.soundMs << " ms, " << c.frames << " frames";
    EXPECT_EQ(d.extraFrames, c.extra) << c.soundMs << " ms, " << c.frames << " frames";
    EXPECT_EQ(d.ticksToDrop, c.toDrop) << c.soundMs << " ms, " << c.frames << " frames";
  }
}

// Ticks 1..12 on which each periodic job runs.
std::string dueTicks(bool (*due)(int64_t, int), int msPerFrame) {
  std::string s;
  for (int64_t c = 1; c <= 12; ++c) s += due(c, msPerFrame) ? 'x' : '.';
  return s;
}

TEST(SoundSync, PeriodicWorkRunsAtEveryAcceptedRate) {
  struct Case {
    int msPerFrame;
    const char *sync, *level, *mixer, *monitor;
  } cases[] = {
      // 10 fps: sync every 15 ticks from tick 1, level at 29, 59...
      {100, "x...........", "............", "x...........", "x.........x."},
      // 2 fps: sync every 3 ticks, level every 6 at phase 5
      {500, "x..x..x..x..", "....x.....x.", "x...........", "x.x.x.x.x.x."},
      // 1 fps and below: every tick syncs and refreshes, the level and mixer
      // follow their own periods until those too are shorter than a tick
      {1000, "xxxxxxxxxxxx", ".x..x..x..x.", "x...........", "xxxxxxxxxxxx"},
      {2000, "xxxxxxxxxxxx", "xxxxxxxxxxxx", "x.........x.", "xxxxxxxxxxxx"},
      {100000, "xxxxxxxxxxxx", "xxxxxxxxxxxx", "xxxxxxxxxxxx", "xxxxxxxxxxxx"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(dueTicks(soundSyncDue, c.msPerFrame), c.sync) << c.msPerFrame;
    EXPECT_EQ(dueTicks(inputLevelDue, c.msPerFrame), c.level) << c.msPerFrame;
    EXPECT_EQ(dueTicks(mixerCheckDue, c.msPerFrame), c.mixer) << c.msPerFrame;
    EXPECT_EQ(dueTicks(monitorDue, c.msPerFrame), c.monitor) << c.msPerFrame;
  }
}

TEST(SoundSync, DropPeriodByTicksLeft) {
  struct Case {
    int msPerFrame, toDrop, period;
  } cases[] = {
      {100, 3, 4}, {100, 4, 4}, {100, 5, 3}, {100, 14, 3}, {100, 15, 2},
      {200, 2, 3}, {200, 7, 3}, {200, 8, 2},  // 5 fps: 1.5 s is 7.5 ticks
      {2000, 0, 2}, {2000, 1, 2},  // below 1 fps
      {20, 24, 4}, {20, 25, 3},
  };
  for (const Case& c : cases)
    EXPECT_EQ(dropPeriod(c.toDrop, c.msPerFrame), c.period) << c.msPerFrame << " ms, " << c.toDrop;
}

}  // namespace
