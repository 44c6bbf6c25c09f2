// Scheduled recording with a fake clock: the checks before the wait, and the
// tick decisions through whole schedules (waiting, start, running, end,
// shutdown, manual stop, missed ends, midnight, clocks put back), with the
// recorder's state machine standing in for the start and stop commands.
// Clock serials: days since 1899-12-30 (46366 is 2026-12-10, from Python's
// datetime).
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "Schedule.h"

namespace {

constexpr double kDay = 46366.0;
constexpr double kSecond = 1.0 / 86400;
double at(int h, int m, int s = 0, double day = kDay) { return day + (h * 3600 + m * 60 + s) * kSecond; }

class FakeClock : public ScheduleClock {
public:
  double wall = at(9, 0);
  uint32_t mono = 0xFFFF0000u;  // close to the wrap, on purpose
  double now() override { return wall; }
  uint32_t monotonicMs() override { return mono; }
  // Both clocks run on together.
  void advance(int seconds) {
    wall += seconds * kSecond;
    mono += static_cast<uint32_t>(seconds) * 1000u;
  }
};

struct Rig {
  FakeClock clock;
  RecordingStateMachine state;
  Schedule schedule{state, clock};

  // What the main form does with each decision: a start posts the start
  // command (the start runs), a stop asks the recording to stop for the
  // schedule (taken at once).
  ScheduleAction tick(bool shutdownChecked = true) {
    const ScheduleAction a = schedule.onTick(shutdownChecked);
    if (a == ScheduleAction::StartRecording) {
      EXPECT_TRUE(state.start());
      schedule.recordingStarted();
    } else if (a == ScheduleAction::StopRecording) {
      EXPECT_TRUE(state.requestStop(StopReason::ScheduleEnd, 1, 1000));
      EXPECT_TRUE(state.finishStop());
    }
    return a;
  }
  // Ticks once a second until something happens (at most `limit` seconds).
  ScheduleAction runUntilAction(int limit, bool shutdownChecked = true) {
    for (int i = 0; i < limit; ++i) {
      clock.advance(1);
      const ScheduleAction a = tick(shutdownChecked);
      if (a != ScheduleAction::None) return a;
    }
    return ScheduleAction::None;
  }
  void userStop() {
    ASSERT_TRUE(state.requestStop(StopReason::User, 100, 100));
    ASSERT_TRUE(state.finishStop());
  }
};

TEST(Schedule, TimesAreCheckedBeforeTheWait) {
  struct Case {
    double start, end, now;
    ScheduleTimesCheck expected;
    const char* what;
  } cases[] = {
      {at(10, 0), at(10, 30), at(9, 0), ScheduleTimesCheck::Accepted, "plain"},
      {at(8, 59), at(10, 30), at(9, 0), ScheduleTimesCheck::Refused, "start a minute ago"},
      {at(9, 0), at(10, 30), at(9, 0), ScheduleTimesCheck::Refused, "start now"},
      {at(10, 0), at(10, 0), at(9, 0), ScheduleTimesCheck::Refused, "equal moments"},
      {at(10, 0), at(9, 30), at(9, 0), ScheduleTimesCheck::Refused, "end before start"},
      {at(23, 30), at(0, 30, 0, kDay + 1), at(9, 0), ScheduleTimesCheck::Accepted, "past midnight"},
      {at(10, 0), at(10, 0, 0, kDay + 1), at(9, 0), ScheduleTimesCheck::Accepted, "exactly one day"},
      {at(10, 0), at(10, 0, 1, kDay + 1), at(9, 0), ScheduleTimesCheck::AskLongerThanDay, "one day and a second"},
      {at(10, 0), at(10, 0, 0, kDay + 40), at(9, 0), ScheduleTimesCheck::AskLongerThanDay, "forty days"},
  };
  for (const Case& c : cases) EXPECT_EQ(checkScheduleTimes(c.start, c.end, c.now), c.expected) << c.what;

  // Whole days of the date picker, time of day of the time picker.
  EXPECT_EQ(clockMs(scheduleMoment(kDay + 0.9, 3.25)), clockMs(at(6, 0)));
  EXPECT_EQ(std::string(kScheduleTimesWrong), "定时时间设置错误,请修改");
}

TEST(Schedule, BeginRefusesBadTimesAndBusyRecorders) {
  Rig rig;
  EXPECT_FALSE(rig.schedule.begin(at(8, 0), at(10, 0)));  // start has passed
  EXPECT_EQ(rig.schedule.stateNumber(), 0);

  ASSERT_TRUE(rig.state.start());  // a manual recording runs
  EXPECT_FALSE(rig.schedule.begin(at(10, 0), at(11, 0)));
  rig.userStop();

  ASSERT_TRUE(rig.schedule.begin(at(10, 0), at(11, 0)));
  EXPECT_EQ(rig.schedule.stateNumber(), 1);
  EXPECT_FALSE(rig.schedule.begin(at(10, 0), at(11, 0)));  // already waiting
  ASSERT_TRUE(rig.schedule.cancel());
  EXPECT_EQ(rig.schedule.stateNumber(), 0);
  EXPECT_EQ(rig.runUntilAction(7200), ScheduleAction::None);  // nothing left to start
}

TEST(Schedule, WholeSchedules) {
  struct Case {
    const char* what;
    double start, end;
    bool shutdownChecked;
    int wallJump;  // seconds the wall clock jumps once the recording runs
  } cases[] = {
      {"ends and shuts down", at(10, 0), at(10, 30), true, 0},
      {"ends, box unchecked", at(10, 0), at(10, 30), false, 0},
      {"runs past midnight", at(23, 59), at(0, 1, 0, kDay + 1), true, 0},
      // the wall clock put back two hours: the monotonic guard ends it
      {"clock put back", at(10, 0), at(10, 30), true, -7200},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Rig rig;
    rig.clock.wall = c.start - 120 * kSecond;
    ASSERT_TRUE(rig.schedule.begin(c.start, c.end));
    const ScheduleAction a = rig.runUntilAction(400, c.shutdownChecked);
    EXPECT_EQ(a, ScheduleAction::StartRecording);
    EXPECT_EQ(clockMs(rig.clock.wall), clockMs(c.start) + 1000);  // the first tick later than the start
    EXPECT_EQ(rig.schedule.stateNumber(), 2);
    EXPECT_EQ(rig.state.state(), RecorderState::Recording);

    rig.clock.wall += c.wallJump * kSecond;
    const int64_t planned = std::llround((c.end - c.start) * 86400) - 1;
    int seconds = 0;
    ScheduleAction end = ScheduleAction::None;
    while (seconds < 20000 && end == ScheduleAction::None) {
      rig.clock.advance(1);
      ++seconds;
      end = rig.tick(c.shutdownChecked);
    }
    EXPECT_EQ(end, ScheduleAction::StopRecording);
    if (c.wallJump == 0) EXPECT_EQ(seconds, planned + 1);  // the first tick after the end moment
    else EXPECT_LE(seconds, planned + 60 + 3);            // the guard's slack, not two more hours
    EXPECT_EQ(rig.schedule.stateNumber(), 0);
    EXPECT_EQ(rig.schedule.takeShutdown(), c.shutdownChecked);
    EXPECT_FALSE(rig.schedule.takeShutdown());  // once only
  }
}

TEST(Schedule, AManualStopNeverLeadsToAShutdown) {
  Rig rig;
  ASSERT_TRUE(rig.schedule.begin(at(9, 1), at(9, 30)));
  ASSERT_EQ(rig.runUntilAction(100), ScheduleAction::StartRecording);
  rig.clock.advance(300);
  EXPECT_EQ(rig.tick(), ScheduleAction::None);
  rig.userStop();  // stopped by hand before the end moment
  EXPECT_EQ(rig.schedule.stateNumber(), 0);
  EXPECT_FALSE(rig.schedule.takeShutdown());

  // A later manual recording runs far past the old end moment: nothing of
  // the schedule is left to stop it or to shut the computer down.
  ASSERT_TRUE(rig.state.start());
  rig.schedule.recordingStarted();
  EXPECT_EQ(rig.runUntilAction(7200), ScheduleAction::None);
  rig.userStop();
  EXPECT_FALSE(rig.schedule.takeShutdown());
}

TEST(Schedule, WaitsThatCannotRecord) {
  // The computer slept through the whole span, or the clock was put forward
  // past it: the wait ends without recording and without a shutdown.
  Rig slept;
  ASSERT_TRUE(slept.schedule.begin(at(10, 0), at(10, 30)));
  slept.clock.wall = at(11, 0);
  EXPECT_EQ(slept.tick(), ScheduleAction::Missed);
  EXPECT_EQ(slept.schedule.stateNumber(), 0);
  EXPECT_EQ(slept.state.state(), RecorderState::Idle);
  EXPECT_FALSE(slept.schedule.takeShutdown());

  // The scheduled start is refused by the start command: no recording and no
  // schedule are left behind, and no end moment fires later.
  Rig refused;
  ASSERT_TRUE(refused.schedule.begin(at(9, 0, 30), at(9, 5)));
  refused.clock.advance(31);
  ASSERT_EQ(refused.schedule.onTick(true), ScheduleAction::StartRecording);
  ASSERT_TRUE(refused.state.start());
  refused.state.abandonStart();
  EXPECT_EQ(refused.schedule.stateNumber(), 0);
  EXPECT_EQ(refused.runUntilAction(600), ScheduleAction::None);
  EXPECT_FALSE(refused.schedule.takeShutdown());

  // A paused scheduled recording still ends at its end moment, and the
  // shutdown waits until the stop has finished.
  Rig paused;
  ASSERT_TRUE(paused.schedule.begin(at(9, 0, 10), at(9, 1)));
  ASSERT_EQ(paused.runUntilAction(20), ScheduleAction::StartRecording);
  ASSERT_TRUE(paused.state.pause());
  paused.clock.advance(60);
  ASSERT_EQ(paused.schedule.onTick(true), ScheduleAction::StopRecording);
  EXPECT_EQ(paused.schedule.onTick(true), ScheduleAction::None);  // asked once
  EXPECT_FALSE(paused.schedule.takeShutdown());                   // the file is not finished yet
  ASSERT_TRUE(paused.state.requestStop(StopReason::ScheduleEnd, 1, 1000));
  ASSERT_TRUE(paused.state.finishStop());
  EXPECT_TRUE(paused.schedule.takeShutdown());
}

}  // namespace
