// Tick pacing between the timer thread and the GUI thread: a real thread
// hammers the callback side while the "GUI" handles ticks of random length;
// never more than one tick message is queued, every callback ends up as a
// frame in time (posted or owed), and nothing happens after the stop. Then
// the swallowing of ticks while the pictures run ahead of the sound.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <random>
#include <thread>
#include <vector>

#include "TickPacer.h"

namespace {

// The message queue as the pacer sees it: a count of tick messages.
struct FakeQueue {
  std::atomic<int> queued{0};
  std::atomic<int> maxQueued{0};
  std::atomic<int> posts{0};
  bool post() {
    const int n = ++queued;
    int m = maxQueued.load();
    while (n > m && !maxQueued.compare_exchange_weak(m, n)) {
    }
    ++posts;
    return true;
  }
  bool take() {
    int n = queued.load();
    while (n > 0 && !queued.compare_exchange_weak(n, n - 1)) {
    }
    return n > 0;
  }
};

TEST(TickPacer, TimerThreadHammeringKeepsOneTickQueuedAndLosesNoTime) {
  FakeQueue q;
  TickPacer pacer([&] { return q.post(); });
  pacer.start(10);
  constexpr int kCallbacks = 200000;
  std::atomic<bool> timerDone{false};
  std::thread timer([&] {
    for (int i = 0; i < kCallbacks; ++i) {
      pacer.onTimer();
      if (i % 64 == 0) std::this_thread::yield();
    }
    timerDone = true;
  });

  std::mt19937 rng(7);
  long long frames = 0;
  int ticks = 0;
  auto handleOne = [&] {
    if (!q.take()) return false;
    if (!pacer.beginTick()) return true;
    // A tick of random length: sometimes long enough for many callbacks.
    for (int spin = int(rng() % 3000); spin > 0; --spin) std::atomic_signal_fence(std::memory_order_seq_cst);
    frames += pacer.takeFrames();
    ++ticks;
    pacer.endTick();
    return true;
  };
  while (!timerDone) {
    if (!handleOne()) std::this_thread::yield();
  }
  timer.join();
  while (handleOne()) {
  }

  EXPECT_EQ(q.maxQueued.load(), 1);
  EXPECT_GT(ticks, 1);
  // Every callback is one frame in time: written by a tick, or still owed.
  EXPECT_EQ(frames + pacer.owedTicks(), kCallbacks);
  EXPECT_EQ(pacer.droppedTicks(), kCallbacks - q.posts.load());

  // After the stop nothing is posted, and a message still in the queue does
  // nothing when it arrives.
  pacer.stop();
  const int postsAtStop = q.posts.load();
  for (int i = 0; i < 100; ++i) pacer.onTimer();
  EXPECT_EQ(q.posts.load(), postsAtStop);
  EXPECT_FALSE(pacer.beginTick());
}

TEST(TickPacer, StaleTickAfterStopIsRefusedAndTheNextRecordingPostsAgain) {
  FakeQueue q;
  TickPacer pacer([&] { return q.post(); });
  pacer.start(100);
  pacer.onTimer();  // queued
  pacer.stop();
  ASSERT_TRUE(q.take());
  EXPECT_FALSE(pacer.beginTick());
  pacer.start(100);
  pacer.onTimer();
  EXPECT_EQ(q.posts.load(), 2);
  pacer.onTimer();  // still queued: owed, not posted
  EXPECT_EQ(q.posts.load(), 2);
  ASSERT_TRUE(q.take());
  ASSERT_TRUE(pacer.beginTick());
  EXPECT_EQ(pacer.takeFrames(), 2);
  pacer.endTick();
}

TEST(TickPacer, BusyTickOwesEveryPeriodAndLateTicksCarryOver) {
  FakeQueue q;
  TickPacer pacer([&] { return q.post(); });
  pacer.start(100);
  pacer.onTimer();
  ASSERT_TRUE(q.take());
  ASSERT_TRUE(pacer.beginTick());
  for (int i = 0; i < 5; ++i) pacer.onTimer();  // the GUI is busy for 5 periods
  EXPECT_EQ(pacer.droppedTicks(), 5);
  EXPECT_EQ(pacer.takeFrames(), 6);
  pacer.onTimer();  // after the picture was written, before the tick ended
  pacer.endTick();
  EXPECT_EQ(q.queued.load(), 0);
  pacer.onTimer();
  ASSERT_TRUE(q.take());
  ASSERT_TRUE(pacer.beginTick());
  EXPECT_EQ(pacer.takeFrames(), 2) << "the late tick is written by the next one";
  pacer.endTick();
}

TEST(TickPacer, PauseWaitingAndSingleFrame) {
  FakeQueue q;
  TickPacer pacer([&] { return q.post(); });
  pacer.start(100);
  pacer.pause();
  for (int i = 0; i < 5; ++i) pacer.onTimer();
  EXPECT_EQ(q.posts.load(), 0);
  EXPECT_EQ(pacer.owedTicks(), 0);
  // Single frame while paused runs outside the queue.
  ASSERT_TRUE(pacer.beginSingleFrame());
  EXPECT_EQ(pacer.takeFrames(), 1);
  pacer.endTick();
  pacer.resume();
  pacer.onTimer();
  EXPECT_EQ(q.posts.load(), 1);

  // The schedule's one-second timer asks for ticks but never owes frames.
  TickPacer waiting([&] { return q.post(); });
  waiting.startWaiting();
  q.take();
  const int before = q.posts.load();
  for (int i = 0; i < 3; ++i) waiting.onTimer();
  EXPECT_EQ(q.posts.load(), before + 1);
  EXPECT_EQ(waiting.owedTicks(), 0);
  EXPECT_EQ(waiting.droppedTicks(), 0);
}

TEST(TickPacer, CameraFramesAskForTicksButOweNothing) {
  FakeQueue q;
  TickPacer pacer([&] { return q.post(); });
  pacer.start(40);
  for (int i = 0; i < 4; ++i) pacer.onCameraFrame();
  EXPECT_EQ(q.posts.load(), 1);
  EXPECT_EQ(pacer.owedTicks(), 0);
  ASSERT_TRUE(q.take());
  ASSERT_TRUE(pacer.beginTick());
  pacer.onCameraFrame();  // during the tick
  EXPECT_EQ(pacer.takeFrames(), 1);
  pacer.endTick();
  pacer.pause();
  pacer.onCameraFrame();
  EXPECT_EQ(q.posts.load(), 1);
}

TEST(TickPacer, FailedPostIsOwedNotLost) {
  bool accept = false;
  TickPacer pacer([&] { return accept; });
  pacer.start(100);
  pacer.onTimer();
  EXPECT_FALSE(pacer.tickQueued());
  accept = true;
  pacer.onTimer();
  ASSERT_TRUE(pacer.beginTick());
  EXPECT_EQ(pacer.takeFrames(), 2);
  pacer.endTick();
}

// Which of 12 callbacks post while ticks are swallowed (ticks handled at
// once), for the drop periods of 10 fps and of a rate below 1 fps.
TEST(TickPacer, SwallowsOneTickInEveryDropPeriod) {
  struct Case {
    int msPerFrame, toDrop;
    const char* pattern;  // 'p' posted, '-' swallowed
  } cases[] = {
      {100, 3, "ppp-ppp-ppp-"},   // fewer than half a second's worth: every 4th
      {100, 12, "pp-pp-pp-pp-"},  // below 1.5 s: every 3rd
      {100, 40, "p-p-p-p-p-p-"},  // from 1.5 s: every 2nd
      {100, 2, "ppp-ppp-pppp"},   // used up after two
      {2000, 1, "p-pppppppppp"},  // 0.5 fps: every 2nd, no division by zero
  };
  for (const Case& c : cases) {
    FakeQueue q;
    TickPacer pacer([&] { return q.post(); });
    pacer.start(c.msPerFrame);
    pacer.setTicksToDrop(c.toDrop);
    std::string got;
    for (int i = 0; i < 12; ++i) {
      const int before = q.posts.load();
      pacer.onTimer();
      got += q.posts.load() > before ? 'p' : '-';
      if (q.take()) {
        ASSERT_TRUE(pacer.beginTick());
        pacer.takeFrames();
        pacer.endTick();
      }
    }
    EXPECT_EQ(got, c.pattern) << c.msPerFrame << " ms, " << c.toDrop << " to drop";
  }
}

}  // namespace
