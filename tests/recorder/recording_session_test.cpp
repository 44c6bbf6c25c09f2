// Whole recordings driven through the session with a fake platform (sound
// server, capture, disk) and checked with the layout reader: frames in time
// kept in step with the sound, clicks on region targets, automatic stops and
// the messages they leave, nothing written after a stop, the stop Windows
// forces at log-off, rates below one frame per second, and the periodic work
// keeping its phase from one recording to the next.
#include <gtest/gtest.h>

#include "LxOutput.h"
#include "RecordingSession.h"
#include "SysUtils.h"
#include "lx_checker.h"
#include "test_files.h"

namespace {

using lxcheck::parseLx;

Bytes wavHeader8k() {
  Bytes b;
  b.insert(b.end(), {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
  put32(b, 16);
  put16(b, 1);
  put16(b, 1);
  put32(b, 8000);
  put32(b, 8000);
  put16(b, 1);
  put16(b, 8);
  b.insert(b.end(), {'d', 'a', 't', 'a', 0, 0, 0, 0});
  return b;
}

struct FakePlatform : RecorderPlatform {
  // sound server
  bool soundWorks = true;
  int64_t ms = 0;
  int starts = 0, stops = 0;
  std::string wavFile;
  bool startSound(const AnsiString& path) override {
    if (!soundWorks) return false;
    ++starts;
    if (!FileExists(path)) writeAll(path.str(), wavHeader8k());
    return true;
  }
  void stopSound() override { ++stops; }
  int64_t soundMs() override { return ms; }
  // capture: a one-byte picture numbered by the capture, cursor at (1, 2)
  Capture next = Capture::Picture;
  int captures = 0;
  Capture capture(RecordedPicture& p) override {
    ++captures;
    if (next != Capture::Picture) return next;
    p.image = {1, 0, 0, 0, uint8_t(captures)};
    p.cursor.present = true;
    p.cursor.x = 1;
    p.cursor.y = 2;
    return Capture::Picture;
  }
  int stopPosts = 0;
  void postStopCommand() override { ++stopPosts; }
  int64_t soundBytes = 0, freeMiB = 100000;
  int64_t fileBytes(const AnsiString&) override { return soundBytes; }
  int64_t freeDiskMiB() override { return freeMiB; }
  int levelReads = 0;
  void readInputLevel() override { ++levelReads; }
};

struct Rig {
  TempDir dir;
  FakePlatform platform;
  RecordingStateMachine state;
  int posted = 0;
  TickPacer pacer{[this] { ++posted; return true; }};
  int64_t tickCounter = 0;  // the process's, as the main form keeps it
  int msPerFrame;
  bool soundFollowsTime = false;  // the fake sound server records in real time
  std::unique_ptr<RecordingSession> session;

  explicit Rig(int msPerFrame, bool sound = false, TargetOrigin origin = {}) : msPerFrame(msPerFrame) {
    LxHeader h{};
    h.captureTarget = 3;
    h.width = 8;
    h.height = 8;
    h.pixelFormat = 6;
    h.msPerFrame = msPerFrame;
    h.hasCursor = 1;
    SessionOptions o;
    o.hasSound = sound;
    o.soundPath = dir.path("r1.wav");
    o.framesPerSecond = 1000.0 / msPerFrame;
    o.origin = origin;
    session = std::make_unique<RecordingSession>(
        h, std::make_unique<LxOutput>(dir.path("r.lx")), platform, o, state, pacer, tickCounter);
  }
  // One timer period followed by the GUI handling the posted message.
  void period() {
    const int before = posted;
    if (soundFollowsTime && platform.starts > 0) platform.ms += msPerFrame;
    session->pacer().onTimer();
    if (posted > before) session->onTick();
  }
  lxcheck::ParsedLx file() { return parseLx(readAll(dir.file("r.lx"))); }
};

TEST(RecordingSession, FramesFollowTheSoundAndTheSoundIsFittedAtTheStop) {
  Rig rig(100, true);
  ASSERT_TRUE(rig.session->start());
  for (int i = 0; i < 15; ++i) rig.period();  // tick 1 starts the sound
  EXPECT_EQ(rig.session->framesInTime(), 15);
  // At the next sync tick (16) the sound is 2 s in: five frames behind, so
  // this tick's picture stands for six frames in time.
  rig.platform.ms = 2000;
  rig.period();
  EXPECT_EQ(rig.session->framesInTime(), 21);
  EXPECT_EQ(rig.platform.captures, 16);
  // Pictures ahead of the sound at tick 31: nothing is written.
  for (int i = 0; i < 14; ++i) rig.period();
  rig.platform.ms = 3000;  // 35 frames written, sound at 30
  rig.period();
  EXPECT_EQ(rig.session->framesInTime(), 35);
  EXPECT_EQ(rig.session->pacer().ticksToDrop(), 4);

  ASSERT_TRUE(rig.session->requestStop());
  EXPECT_EQ(rig.state.queryAnswer(), 1);
  EXPECT_EQ(rig.platform.stops, 1);
  const auto lx = rig.file();
  EXPECT_EQ(lx.header[3], 35);
  EXPECT_EQ(lx.frameLines.size(), 35u);
  EXPECT_EQ(lx.records.size(), 30u);
  const Bytes wav = readAll(rig.dir.file("r1.wav"));
  EXPECT_EQ(wav.size(), 44u + 35 * 100 * 8);  // 3.5 s at 8000 bytes a second
  EXPECT_EQ(get32(wav, 40), 35 * 100 * 8);

  // The timer's message that was already queued when the stop came does nothing.
  const int captures = rig.platform.captures;
  rig.session->onTick();
  rig.session->pacer().onTimer();
  EXPECT_EQ(rig.platform.captures, captures);
}

TEST(RecordingSession, ClicksOnARegionMeetTheCursor) {
  Rig rig(100, false, {100, 50});
  ASSERT_TRUE(rig.session->start());
  rig.period();
  rig.session->onClick(130, 90, 1, 3, 4);  // during frame 1
  rig.session->onClick(130, 90, 9, 3, 4);  // unknown kind: ignored
  rig.session->pause();
  rig.session->onClick(5, 5, 1, 0, 0);     // paused: ignored
  rig.session->singleFrame();
  rig.session->resume();
  for (int i = 0; i < 12; ++i) rig.period();
  ASSERT_TRUE(rig.session->requestStop());
  const auto lx = rig.file();
  EXPECT_EQ(lx.mouseText, "1\r\n30\r\n40\r\n1\r\n3\r\n4\r\n0\r\n0\r\n");
  ASSERT_GE(lx.records.size(), 2u);
  EXPECT_EQ(lx.records[1].x, 27);  // the cursor of the clicked frame sits on the click
  EXPECT_EQ(lx.records[1].y, 36);
  EXPECT_EQ(lx.records[0].x, 1);
  EXPECT_EQ(lx.header[3], 14);
}

TEST(RecordingSession, AutomaticStopsLeaveTheirMessageAndWriteNothingMore) {
  struct Case {
    const char* what;
    std::function<void(Rig&)> arrange;
    int periods;
    const char* message;
  } cases[] = {
      {"window closed", [](Rig& r) { r.platform.next = RecorderPlatform::Capture::TargetGone; }, 3,
       "目标窗体已经被关闭,现停止录制"},
      {"sound server fails", [](Rig& r) { r.platform.soundWorks = false; }, 3,
       "开始录音失败,如果此电脑上没有声卡或声卡有故障,请不要选中“同时录制声音”选项"},
      {"output plus sound above 1948 MiB", [](Rig& r) { r.platform.soundBytes = 1949LL << 20; }, 100,
       "文件大小接近2G,自动停止"},
      {"free disk below 300 MiB", [](Rig& r) { r.platform.freeMiB = 299; }, 100,
       "硬盘空间不足(<300M),自动停止"},
  };
  for (const Case& c : cases) {
    Rig rig(100, true);
    rig.soundFollowsTime = true;
    c.arrange(rig);
    ASSERT_TRUE(rig.session->start());
    for (int i = 0; i < c.periods; ++i) rig.period();
    EXPECT_EQ(rig.platform.stopPosts, 1) << c.what;
    EXPECT_EQ(rig.session->stopMessage().str(), c.message) << c.what;
    const int frames = rig.session->framesInTime();
    rig.period();
    EXPECT_EQ(rig.session->framesInTime(), frames) << c.what << ": written after asking to stop";
    // The stop command comes back as a plain start/stop hot key, within the
    // first second for most of these: the session's own reason lets it through.
    ASSERT_TRUE(rig.session->requestStop(StopReason::User)) << c.what;
    EXPECT_EQ(rig.file().header[3], frames) << c.what;
  }
}

TEST(RecordingSession, TooManyDroppedTicksStopAtTheEleventhFrame) {
  Rig rig(50);
  SessionOptions o;
  // Rebuild with the check switched on.
  LxHeader h = rig.session->header();
  o.stopWhenTooFast = true;
  rig.session = std::make_unique<RecordingSession>(
      h, std::make_unique<LxOutput>(rig.dir.path("r.lx")), rig.platform, o, rig.state, rig.pacer, rig.tickCounter);
  ASSERT_TRUE(rig.session->start());
  rig.session->pacer().onTimer();
  for (int i = 0; i < 3; ++i) rig.session->pacer().onTimer();  // the GUI is busy
  rig.session->onTick();
  for (int i = 0; i < 6; ++i) rig.period();
  EXPECT_EQ(rig.platform.stopPosts, 0);
  rig.period();  // frame 11
  EXPECT_EQ(rig.platform.stopPosts, 1);
  EXPECT_EQ(rig.session->stopMessage().str(), std::string("帧数设置太大,已停止录制,3"));
}

TEST(RecordingSession, ScheduledRecordingEndsIdleWhateverStopsIt) {
  // The scheduled end within the first second is taken.
  Rig rig(200);
  ASSERT_TRUE(rig.state.startWaiting());
  ASSERT_TRUE(rig.state.scheduledStartDue());
  ASSERT_TRUE(rig.session->start());
  rig.period();
  rig.session->stopForSchedule();
  EXPECT_EQ(rig.platform.stopPosts, 1);
  ASSERT_TRUE(rig.session->requestStop(StopReason::User));
  EXPECT_EQ(rig.state.schedule(), ScheduleState::Off);
  EXPECT_EQ(rig.file().header[3], 1);

  // A manual stop of a scheduled recording leaves no schedule behind either.
  Rig manual(200);
  ASSERT_TRUE(manual.state.startWaiting());
  ASSERT_TRUE(manual.state.scheduledStartDue());
  ASSERT_TRUE(manual.session->start());
  EXPECT_EQ(manual.state.queryAnswer(), 2);
  for (int i = 0; i < 7; ++i) manual.period();
  ASSERT_TRUE(manual.session->requestStop());
  EXPECT_EQ(manual.state.schedule(), ScheduleState::Off);
  EXPECT_EQ(manual.state.state(), RecorderState::Idle);

  // A second recording cannot start over a running one.
  Rig busy(200);
  ASSERT_TRUE(busy.state.start());
  EXPECT_FALSE(busy.session->start());
  EXPECT_FALSE(FileExists(busy.dir.path("r.lx")));
}

TEST(RecordingSession, UserStopWaitsForOneSecondOfPictures) {
  Rig rig(200);
  ASSERT_TRUE(rig.session->start());
  for (int i = 0; i < 6; ++i) rig.period();
  EXPECT_FALSE(rig.session->requestStop());
  EXPECT_EQ(rig.state.queryAnswer(), 2);
  rig.period();
  EXPECT_TRUE(rig.session->requestStop());
}

TEST(RecordingSession, EndSessionLeavesACompleteLxFittedToItsOwnInterval) {
  Rig rig(250, true);
  ASSERT_TRUE(rig.session->start());
  for (int i = 0; i < 4; ++i) rig.period();
  ASSERT_TRUE(rig.session->pause());
  rig.session->endSession();
  EXPECT_EQ(rig.state.queryAnswer(), 1);
  EXPECT_EQ(rig.file().header[3], 4);
  EXPECT_EQ(readAll(rig.dir.file("r1.wav")).size(), 44u + 4 * 250 * 8);
}

TEST(RecordingSession, BelowOneFramePerSecondTheSoundStillSyncs) {
  Rig rig(2000, true);  // 0.5 fps
  ASSERT_TRUE(rig.session->start());
  rig.period();
  rig.platform.ms = 7000;  // 1 frame written, sound 3.5 intervals in: two behind
  rig.period();
  EXPECT_EQ(rig.session->framesInTime(), 1 + 3);
  ASSERT_TRUE(rig.session->requestStop());
  EXPECT_EQ(readAll(rig.dir.file("r1.wav")).size(), 44u + 4 * 2000 * 8);
}

// The tick count belongs to the process: a second recording goes on from
// where the first left it, so work due every 3 s (the input level, at
// 100 ms on the ticks c with c mod 30 = 29) comes on process ticks 29 and
// 59, the 9th and 39th of a recording that follows one of 20 ticks.
TEST(RecordingSession, TheSecondRecordingGoesOnWithTheProcesssTickCount) {
  Rig rig(100, true);
  rig.soundFollowsTime = true;
  ASSERT_TRUE(rig.session->start());
  for (int i = 0; i < 20; ++i) rig.period();
  EXPECT_EQ(rig.platform.levelReads, 0);
  ASSERT_TRUE(rig.session->requestStop());
  EXPECT_EQ(rig.tickCounter, 20);

  SessionOptions o;
  o.hasSound = true;
  o.soundPath = rig.dir.path("s1.wav");
  o.framesPerSecond = 10;
  rig.platform.ms = 0;
  rig.platform.starts = 0;
  rig.session = std::make_unique<RecordingSession>(rig.session->header(),
                                                   std::make_unique<LxOutput>(rig.dir.path("s.lx")), rig.platform,
                                                   o, rig.state, rig.pacer, rig.tickCounter);
  ASSERT_TRUE(rig.session->start());
  std::vector<int> readAt;
  for (int tick = 1; tick <= 40; ++tick) {
    const int before = rig.platform.levelReads;
    rig.period();
    if (rig.platform.levelReads != before) readAt.push_back(tick);
  }
  EXPECT_EQ(readAt, (std::vector<int>{9, 39}));
  EXPECT_EQ(rig.session->framesInTime(), 40);
  ASSERT_TRUE(rig.session->requestStop());
  EXPECT_EQ(parseLx(readAll(rig.dir.file("s.lx"))).header[3], 40);
}

}  // namespace
