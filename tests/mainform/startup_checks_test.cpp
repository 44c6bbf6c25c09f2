// The failure table of start-up: for each condition, the one message the
// user sees and whether the program goes on or ends with which code; and the
// order in which the sound server is ended, registered and reached.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "StartupChecks.h"

namespace {

struct FakeEnv : StartupEnv {
  // A machine on which everything is in place.
  bool wmvRuntime = true, wmvLibrary = true, installer = false, acceptInstall = false;
  bool vista = false, canWriteHklm = true;
  bool mp3 = true, mp3Files = false, repairDone = false;
  bool mutexFree = true, serverFile = true, staleServer = false, staleDies = true;
  bool registered = true;
  int recorderFailures = 0;  // creations that fail before one succeeds
  HookLoad hooks = HookLoad::ok;
  bool help = true;

  std::vector<std::string> messages, calls;

  void showMessage(const AnsiString& t) override { messages.push_back(t.c_str()); }
  bool askOkCancel(const AnsiString&, const AnsiString& t) override {
    calls.push_back("ask");
    return acceptInstall;
  }
  bool probeWmvRuntime() override { return wmvRuntime; }
  bool loadWmvLibrary() override { return wmvLibrary; }
  bool wmvInstallerExists() override { return installer; }
  void runWmvInstaller() override { calls.push_back("installer"); }
  bool isVistaOrLater() override { return vista; }
  bool canWriteMachineRegistry() override { return canWriteHklm; }
  bool hasMp3Codec() override { return mp3; }
  bool mp3CodecFilesPresent() override { return mp3Files; }
  bool runMp3Repair() override {
    calls.push_back("repair");
    return repairDone;
  }
  bool acquireInstanceMutex() override {
    calls.push_back("mutex");
    return mutexFree;
  }
  bool recorderServerExists() override { return serverFile; }
  bool staleServerRunning() override { return staleServer; }
  bool endStaleServer(int waitMs) override {
    calls.push_back("kill " + std::to_string(waitMs > 0));
    return staleDies;
  }
  bool isRecorderServerRegistered() override { return registered; }
  void runRecorderServer(const char* option) override { calls.push_back(option); }
  void markRecorderServerRegistered() override { calls.push_back("mark"); }
  void writeLocalServerPath() override { calls.push_back("localserver"); }
  void initCom() override { calls.push_back("com"); }
  bool createRecorder() override {
    calls.push_back("create");
    return recorderFailures-- <= 0;
  }
  void createStopEvent() override { calls.push_back("event"); }
  HookLoad loadHookLibraries() override {
    calls.push_back("hooks");
    return hooks;
  }
  void startMouseHelper() override { calls.push_back("pellun"); }
  bool loadHelp() override { return help; }
};

// The messages as the user reads them: the sources are UTF-8 but the
// compiler stores narrow literals in the program's code page, so the
// expected texts are written the same way.
struct Row {
  const char* name;
  std::function<void(FakeEnv&)> setup;
  const char* message;  // nullptr: no message
  bool carryOn;
  int exitCode;
};

const std::string kSite = "http://example.test";

TEST(StartupChecks, FailureTable) {
  const Row rows[] = {
      {"all in place", [](FakeEnv&) {}, nullptr, true, 0},
      {"wmv runtime missing, user declines", [](FakeEnv& e) { e.wmvRuntime = false; }, nullptr, true, 0},
      {"wmv runtime missing, installer runs",
       [](FakeEnv& e) { e.wmvRuntime = false; e.acceptInstall = e.installer = true; }, nullptr, false, 0},
      {"wmv runtime missing, installer missing",
       [](FakeEnv& e) { e.wmvRuntime = false; e.acceptInstall = true; },
       "找不到本软件附带的wmv支持文件,可能是您没有完整下载安装本软件,请到http://example.test重新下载安装", true, 0},
      {"vista without admin rights", [](FakeEnv& e) { e.vista = true; e.canWriteHklm = false; },
       StartupText::kNeedAdmin, false, 0},
      {"xp without admin rights is not tested", [](FakeEnv& e) { e.canWriteHklm = false; }, nullptr, true, 0},
      {"no mp3, codec files present, repaired",
       [](FakeEnv& e) { e.mp3 = false; e.mp3Files = e.repairDone = true; }, nullptr, false, 0},
      {"no mp3, codec files present, cancelled", [](FakeEnv& e) { e.mp3 = false; e.mp3Files = true; }, nullptr,
       true, 0},
      {"no mp3, no codec files", [](FakeEnv& e) { e.mp3 = false; },
       "目前系统中没有MP3编码解码器,有些功能将不能使用;请下载安装microsoft media player最新版,安装后就有了", true, 0},
      {"second instance", [](FakeEnv& e) { e.mutexFree = false; }, "你已经打开了一个Vidorra，不能同时打开两个",
       false, 1},
      {"sound server missing", [](FakeEnv& e) { e.serverFile = false; }, "文件zorbel.exe不存在,请与作者联系", false,
       1},
      {"stale server survives", [](FakeEnv& e) { e.staleServer = true; e.staleDies = false; },
       "zorbel.exe无法关闭,请与作者联系", false, 1},
      {"stale server ends", [](FakeEnv& e) { e.staleServer = true; }, nullptr, true, 0},
      {"recorder fails once", [](FakeEnv& e) { e.recorderFailures = 1; }, nullptr, true, 0},
      {"recorder fails twice", [](FakeEnv& e) { e.recorderFailures = 2; }, nullptr, false, 1},
      {"hook library missing", [](FakeEnv& e) { e.hooks = HookLoad::libraryMissing; }, "DLL: 不能加载！程序退出。",
       false, 1},
      {"hook entry missing", [](FakeEnv& e) { e.hooks = HookLoad::entryMissing; }, "DLL: 函数没找到！程序退出。",
       false, 1},
      {"setcx missing", [](FakeEnv& e) { e.hooks = HookLoad::setcxMissing; }, "trebis1 error 3", false, 1},
      {"help missing", [](FakeEnv& e) { e.help = false; }, "装入帮助系统失败", true, 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    FakeEnv env;
    row.setup(env);
    StartupResult r = runStartupChecks(env, kSite.c_str());
    EXPECT_EQ(r.carryOn, row.carryOn);
    if (!row.carryOn) {
      EXPECT_EQ(r.exitCode, row.exitCode);
    }
    if (row.message) {
      ASSERT_EQ(env.messages.size(), 1u);
      EXPECT_EQ(env.messages[0], row.message);
    } else if (std::string(row.name) != "recorder fails twice") {
      EXPECT_TRUE(env.messages.empty());
    }
  }
}

TEST(StartupChecks, RecorderFailingTwiceNamesTheSite) {
  FakeEnv env;
  env.recorderFailures = 2;
  runStartupChecks(env, kSite.c_str());
  ASSERT_EQ(env.messages.size(), 1u);
  EXPECT_EQ(env.messages[0], std::string(StartupText::kRecorderFailedHead) + kSite);
  // Registered again before the second try, never before the first.
  EXPECT_EQ(env.calls, (std::vector<std::string>{"mutex", "localserver", "com", "create", "/regserver", "create"}));
}

TEST(StartupChecks, ServerIsRegisteredOnlyWhenNotMarked) {
  FakeEnv env;
  env.registered = false;
  env.staleServer = true;
  env.vista = true;
  StartupResult r = runStartupChecks(env, kSite.c_str());
  EXPECT_TRUE(r.carryOn);
  EXPECT_TRUE(r.vista);
  EXPECT_EQ(env.calls, (std::vector<std::string>{"mutex", "kill 1", "/unregserver", "/regserver", "mark",
                                                 "localserver", "com", "create", "event", "hooks", "pellun"}));
}

TEST(StartupChecks, SecondInstanceTouchesNoServerOrHook) {
  FakeEnv env;
  env.mutexFree = false;
  env.staleServer = true;
  runStartupChecks(env, kSite.c_str());
  EXPECT_EQ(env.calls, (std::vector<std::string>{"mutex"}));
}

TEST(StartupChecks, WmvFlagFollowsLibrary) {
  FakeEnv env;
  env.wmvLibrary = false;
  EXPECT_FALSE(runStartupChecks(env, kSite.c_str()).wmvAvailable);
  FakeEnv ok;
  StartupResult r = runStartupChecks(ok, kSite.c_str());
  EXPECT_TRUE(r.wmvAvailable && r.mp3Available && r.helpAvailable);
}

// The capture format and the advice of the first show, edge by edge.
struct CaptureCase {
  int depth;
  bool vista, win7;
  int ms;
  bool offered;
  bool eightBit;
  ScreenAdvice advice;
};
const CaptureCase kCaptureCases[] = {
    {8, false, false, 500, true, true, ScreenAdvice::none},
    {32, false, false, 36, false, false, ScreenAdvice::use16BitColour},  // XP, 32-bit, slow
    {32, false, false, 35, false, false, ScreenAdvice::none},
    {32, true, true, 500, true, false, ScreenAdvice::none},               // Windows 7: never
    {16, true, false, 36, false, false, ScreenAdvice::use16BitColour},   // Vista at 16 bits too
    {16, false, false, 81, true, false, ScreenAdvice::tryDriverAcceleration},
    {16, false, false, 80, true, false, ScreenAdvice::none},
    {16, false, false, 500, false, false, ScreenAdvice::none},           // nothing to offer
};

TEST(FirstShowCapture, FormatAndAdviceFollowDepthSystemAndSpeed) {
  for (const CaptureCase& c : kCaptureCases) {
    SCOPED_TRACE(testing::Message() << c.depth << " bits, " << c.ms << " ms, vista " << c.vista);
    CaptureChoice r = chooseCapture(c.depth, c.vista, c.win7, c.ms, c.offered);
    EXPECT_EQ(r.eightBit, c.eightBit);
    EXPECT_EQ(r.advice, c.advice);
  }
}

}  // namespace
