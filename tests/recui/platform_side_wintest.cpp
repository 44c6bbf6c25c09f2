// The tick's side work on the Windows platform: the input level comes from
// the sound server's yinliangv property (dispatch id 5, read as a property),
// the kept mixer settings are put back through recvolclass from the main
// form's saved values as they stand at that moment, and every captured
// picture reaches the side windows with the first picture of a file, the
// running state, the once-a-second refresh and the level. The sound server
// is a fake dispatch object that logs its calls; the mixer is the table fake
// of the mixer tests; the capture is real GDI on the test's display.
#include <gtest/gtest.h>

#include <windows.h>
#include <oleauto.h>

#include <memory>
#include <vector>

#include "LxOutput.h"
#include "RecordingMixer.h"
#include "RecordingSession.h"
#include "SysUtils.h"
#include "TickSideWork.h"
#include "WinRecorderPlatform_win.h"
#include "mixer_fake.h"

namespace {

// A sound server that answers property gets with fixed values.
class FakeServer : public IDispatch {
public:
  int level = 0;
  struct Call {
    DISPID id;
    WORD flags;
  };
  std::vector<Call> calls;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** out) override {
    *out = this;
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* n) override {
    *n = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS*, VARIANT* result, EXCEPINFO*,
                                   UINT*) override {
    calls.push_back({id, flags});
    if (id != 5 || !(flags & DISPATCH_PROPERTYGET) || !result) return DISP_E_MEMBERNOTFOUND;
    VariantInit(result);
    result->vt = VT_I4;
    result->lVal = level;
    return S_OK;
  }
};

struct SideLog : RecordingSideWork {
  std::vector<SideTick> ticks;
  std::vector<int> widths;
  void pictureTaken(const SideTick& t, TBitmap& picture) override {
    ticks.push_back(t);
    widths.push_back(picture.Width());
  }
};

// The side file of an output, as the main form's platform names it.
struct NamingPlatform : WinRecorderPlatform {
  using WinRecorderPlatform::WinRecorderPlatform;
  AnsiString soundPathFor(const RecordingOutput& output) override { return output.path() + ".sound"; }
};

WinPlatformOptions Options() {
  WinPlatformOptions o;
  o.capture.target = CaptureTargetKind::Region;
  o.capture.width = 64;
  o.capture.height = 48;
  o.capture.recordCursor = false;
  wchar_t tmp[MAX_PATH];
  GetTempPathW(MAX_PATH, tmp);
  o.folder = WideToCp936(tmp);
  return o;
}

TEST(PlatformSide, InputLevelIsTheServersYinliangv) {
  FakeServer server;
  server.level = 37;
  WinPlatformOptions o = Options();
  o.soundServer = &server;
  WinRecorderPlatform platform(o);
  platform.readInputLevel();
  EXPECT_EQ(platform.inputLevel(), 37);
  ASSERT_EQ(server.calls.size(), 1u);
  EXPECT_EQ(server.calls[0].id, 5);
  EXPECT_TRUE(server.calls[0].flags & DISPATCH_PROPERTYGET);

  // Without a server the last level stays.
  WinPlatformOptions none = Options();
  WinRecorderPlatform quiet(none);
  quiet.readInputLevel();
  EXPECT_EQ(quiet.inputLevel(), 0);
}

TEST(PlatformSide, KeptMixerSettingsFollowTheSavedValuesOfTheMoment) {
  // "Line In" (source 1) is selected at 20%.
  FakeMixer device = muxThreeSources();
  recvolclass mixer(device);
  int savedSource = 0, savedVolume = 45;
  WinPlatformOptions o = Options();
  o.mixer = &mixer;
  o.savedSoundSource = &savedSource;
  o.savedSoundVolume = &savedVolume;

  o.keepMixer = false;
  {
    WinRecorderPlatform platform(o);
    device.writes.clear();
    platform.keepMixerSettings();
    EXPECT_TRUE(device.writes.empty()) << "not asked to keep the settings";
  }
  o.keepMixer = true;
  WinRecorderPlatform platform(o);
  platform.keepMixerSettings();
  EXPECT_EQ(mixer.selectedSource(), 0);
  // Both ways truncate: 45 % of 65535 is written as 29490, which reads 44.
  EXPECT_EQ(mixer.lineVolume(0), 44);
  // The monitor's volume bar changed the saved volume meanwhile (45874).
  savedVolume = 70;
  platform.keepMixerSettings();
  EXPECT_EQ(mixer.lineVolume(0), 69);
  // No saved volume: nothing is put back.
  savedVolume = -1;
  device.writes.clear();
  platform.keepMixerSettings();
  EXPECT_TRUE(device.writes.empty());
}

TEST(PlatformSide, EveryPictureReachesTheSideWindows) {
  wchar_t tmp[MAX_PATH];
  GetTempPathW(MAX_PATH, tmp);
  const AnsiString lx = WideToCp936(tmp) + "recui-side.lx";
  FakeServer server;
  server.level = 3;
  SideLog side;
  WinPlatformOptions o = Options();
  o.soundServer = &server;
  o.side = &side;
  NamingPlatform platform(o);

  LxHeader h{};
  h.captureTarget = 3;
  h.width = 64;
  h.height = 48;
  h.pixelFormat = 5;
  h.msPerFrame = 250;  // four a second: the monitor every fourth picture
  SessionOptions so;
  so.framesPerSecond = 4;
  RecordingStateMachine state;
  int posted = 0;
  TickPacer pacer{[&posted] {
    ++posted;
    return true;
  }};
  int64_t tickCounter = 0;
  RecordingSession session(h, std::unique_ptr<RecordingOutput>(new LxOutput(lx)), platform, so, state, pacer,
                           tickCounter);
  platform.setSession(&session);
  ASSERT_TRUE(session.start());
  auto period = [&] {
    const int before = posted;
    session.pacer().onTimer();
    if (posted > before) session.onTick();
  };
  period();
  platform.readInputLevel();  // a level read before the second picture
  for (int i = 0; i < 8; ++i) period();
  ASSERT_EQ(side.ticks.size(), 9u);
  EXPECT_TRUE(side.ticks[0].firstOfFile);
  EXPECT_EQ(side.ticks[0].inputLevel, kStartInputLevel);
  EXPECT_EQ(side.ticks[0].soundFile, lx + ".sound");
  for (std::size_t i = 1; i < side.ticks.size(); ++i) {
    EXPECT_FALSE(side.ticks[i].firstOfFile) << i;
    EXPECT_EQ(side.ticks[i].inputLevel, 3) << i;
    EXPECT_TRUE(side.ticks[i].soundFile.IsEmpty()) << i;
  }
  for (std::size_t i = 0; i < side.ticks.size(); ++i) {
    EXPECT_TRUE(side.ticks[i].running) << i;
    EXPECT_EQ(side.ticks[i].framesInTime, static_cast<int>(i));
    EXPECT_EQ(side.ticks[i].monitorDue, i % 4 == 0) << i;
    EXPECT_EQ(side.widths[i], 64);
  }

  // A single frame while paused is no running picture.
  ASSERT_TRUE(session.pause());
  session.singleFrame();
  ASSERT_EQ(side.ticks.size(), 10u);
  EXPECT_FALSE(side.ticks.back().running);
  EXPECT_FALSE(side.ticks.back().monitorDue);
  session.resume();
  session.requestStop(StopReason::Rule);
  DeleteFileW(Cp936ToWide(lx).c_str());
}

}  // namespace
