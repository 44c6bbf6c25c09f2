// The stop rules and the recorder's state: the size and disk rule as a
// table, which stops are taken within the first second, and the state
// machine's answers to the outside query and its schedule handling.
#include <gtest/gtest.h>

#include "StopRules.h"
#include "SysUtils.h"

namespace {

constexpr int64_t MiB = 1024 * 1024;

TEST(StopRules, SizeAndFreeSpace) {
  struct Case {
    OutputKind kind;
    int64_t out, sound, freeMiB;
    bool split, stop;
    const char* message;
  } cases[] = {
      {OutputKind::Lx, 1948 * MiB, 0, 5000, false, false, ""},
      {OutputKind::Lx, 1948 * MiB + MiB - 1, 0, 5000, false, false, ""},  // 1948.99 counts as 1948
      {OutputKind::Lx, 1000 * MiB, 949 * MiB, 5000, false, true, "文件大小接近2G,自动停止"},
      {OutputKind::DirectAvi, 1949 * MiB, 0, 5000, true, false, ""},
      {OutputKind::DirectExe, 1500 * MiB, 449 * MiB, 5000, true, false, ""},
      // WMV: the sound counts only once it alone reaches the limit
      {OutputKind::DirectWmv, 1500 * MiB, 1000 * MiB, 5000, false, false, ""},
      {OutputKind::DirectWmv, 1 * MiB, 1948 * MiB, 5000, true, false, ""},
      // free space less what finishing still needs
      {OutputKind::Lx, 1000 * MiB, 100 * MiB, 300, false, false, ""},
      {OutputKind::Lx, 0, 0, 299, false, true, "硬盘空间不足(<300M),自动停止"},
      {OutputKind::DirectAvi, 900 * MiB, 100 * MiB, 399, false, true, "硬盘空间不足(<300M),自动停止"},
      {OutputKind::DirectAvi, 900 * MiB, 100 * MiB, 400, false, false, ""},
      {OutputKind::DirectExe, 200 * MiB, 100 * MiB, 599, false, true, "硬盘空间不足(<300M),自动停止"},
      {OutputKind::DirectWmv, 200 * MiB, 100 * MiB, 500, false, false, ""},
      {OutputKind::DirectWmv, 201 * MiB, 100 * MiB, 500, false, true, "硬盘空间不足(<300M),自动停止"},
      // unknown free space: no disk rule
      {OutputKind::Lx, 0, 0, 0, false, false, ""},
      // a split direct output can still run out of disk in the same check
      {OutputKind::DirectExe, 1949 * MiB, 0, 2000, true, true, "硬盘空间不足(<300M),自动停止"},
  };
  for (const Case& c : cases) {
    const SizeCheckResult r = sizeCheck({c.kind, c.out, c.sound, c.freeMiB});
    const std::string what = std::to_string(int(c.kind)) + " out " + std::to_string(c.out / MiB) +
                             " sound " + std::to_string(c.sound / MiB) + " free " + std::to_string(c.freeMiB);
    EXPECT_EQ(r.split, c.split) << what;
    EXPECT_EQ(r.stop, c.stop) << what;
    EXPECT_EQ(r.message.str(), c.message) << what;  // both CP936
  }
}

TEST(StopRules, CheckEvery78Ticks) {
  for (int64_t t : {0, 1, 77, 79, 155}) EXPECT_FALSE(sizeCheckDue(t)) << t;
  for (int64_t t : {78, 156, 780}) EXPECT_TRUE(sizeCheckDue(t)) << t;
}

TEST(StopRules, OnlyAUserStopWaitsForTheFirstSecond) {
  struct Case {
    StopReason reason;
    int frames, msPerFrame;
    bool accepted;
  } cases[] = {
      {StopReason::User, 6, 200, false},  // exactly 1000 ms after the first frame
      {StopReason::User, 7, 200, true},
      {StopReason::User, 0, 200, false},
      {StopReason::User, 2, 2000, true},  // 0.5 fps: the second frame is 2 s on
      {StopReason::Rule, 0, 200, true},
      {StopReason::ScheduleEnd, 1, 1000, true},
      {StopReason::NoTicks, 0, 100, true},
      {StopReason::EndSession, 0, 100, true},
  };
  for (const Case& c : cases)
    EXPECT_EQ(stopAccepted(c.reason, c.frames, c.msPerFrame), c.accepted)
        << int(c.reason) << " " << c.frames << " x " << c.msPerFrame;
}

TEST(RecordingStateMachine, QueryAnswersAndEveryStopEndsIdle) {
  RecordingStateMachine m;
  EXPECT_EQ(m.queryAnswer(), 1);
  EXPECT_FALSE(m.pause());
  EXPECT_FALSE(m.requestStop(StopReason::Rule, 10, 100));
  ASSERT_TRUE(m.start());
  EXPECT_FALSE(m.start());
  EXPECT_EQ(m.queryAnswer(), 2);
  ASSERT_TRUE(m.pause());
  EXPECT_EQ(m.queryAnswer(), 3);
  EXPECT_FALSE(m.requestStop(StopReason::User, 3, 100)) << "too early for the user";
  EXPECT_EQ(m.state(), RecorderState::Paused);
  ASSERT_TRUE(m.requestStop(StopReason::User, 12, 100));
  EXPECT_EQ(m.queryAnswer(), 3) << "while stopping, the state it stopped from";
  EXPECT_FALSE(m.requestStop(StopReason::Rule, 12, 100)) << "one stop at a time";
  EXPECT_FALSE(m.resume());
  ASSERT_TRUE(m.finishStop());
  EXPECT_EQ(m.queryAnswer(), 1);
  EXPECT_FALSE(m.finishStop());
}

TEST(RecordingStateMachine, ScheduleNeverOutlivesTheRecording) {
  // A manual stop during a scheduled recording leaves no schedule behind.
  RecordingStateMachine m;
  ASSERT_TRUE(m.startWaiting());
  EXPECT_EQ(m.queryAnswer(), 1);
  ASSERT_TRUE(m.scheduledStartDue());
  ASSERT_TRUE(m.start());
  EXPECT_EQ(m.schedule(), ScheduleState::Running);
  ASSERT_TRUE(m.requestStop(StopReason::User, 20, 100));
  ASSERT_TRUE(m.finishStop());
  EXPECT_EQ(m.schedule(), ScheduleState::Off);

  // The scheduled end within the first second still stops.
  ASSERT_TRUE(m.startWaiting());
  ASSERT_TRUE(m.scheduledStartDue());
  ASSERT_TRUE(m.start());
  ASSERT_TRUE(m.requestStop(StopReason::ScheduleEnd, 1, 100));
  ASSERT_TRUE(m.finishStop());
  EXPECT_EQ(m.schedule(), ScheduleState::Off);

  // A manual start leaves the wait; a scheduled start that fails leaves
  // neither a recording nor a running schedule.
  ASSERT_TRUE(m.startWaiting());
  ASSERT_TRUE(m.start());
  EXPECT_EQ(m.schedule(), ScheduleState::Off);
  ASSERT_TRUE(m.requestStop(StopReason::NoTicks, 0, 100));
  ASSERT_TRUE(m.finishStop());
  ASSERT_TRUE(m.startWaiting());
  ASSERT_TRUE(m.scheduledStartDue());
  ASSERT_TRUE(m.start());
  m.abandonStart();
  EXPECT_EQ(m.state(), RecorderState::Idle);
  EXPECT_EQ(m.schedule(), ScheduleState::Off);
}

}  // namespace
