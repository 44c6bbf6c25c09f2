// The recording mixer against a fake mixer (mixer_fake.h): building from the
// default recording device, the selected source through a MUX or a MIXER list
// whose entries are in another order than the sources, volume arithmetic and
// which lines a volume write reaches, the failure values for unusable or
// vanished devices and for indexes and percents out of range, the source-name
// rules and the keep-the-user's-choice rule. Runs natively and under Wine.
#include <gtest/gtest.h>

#include <climits>
#include <functional>
#include <string>
#include <vector>

#include "RecordingMixer.h"
#include "mixer_fake.h"

namespace {

std::vector<std::string> listed(const recvolclass& mx) {
  TStringList list;
  mx.listSources(&list);
  std::vector<std::string> out;
  for (int i = 0; i < list.Count(); ++i) out.push_back(list[i].str());
  return out;
}

FakeControl& control(FakeMixer& m, uint32_t line, uint32_t type) {
  FakeControl* c = m.find(0, line, type);
  EXPECT_NE(c, nullptr);
  return *c;
}

constexpr uint32_t kDst = 0xFFFF0000;

TEST(RecordingMixer, BuildsFromTheDefaultRecordingDevice) {
  FakeMixer m = muxThreeSources();
  m.devices[0].extraConnections = 1;  // reported, but the driver cannot describe it
  {
    recvolclass mx(m);
    EXPECT_EQ(mx.mixerUnusable, 0);
    EXPECT_STREQ(mx.deviceName, "Fake Audio In");
    EXPECT_EQ(m.probedRates, std::vector<uint32_t>{11050});
    EXPECT_EQ(mx.destinationLineId, kDst);
    ASSERT_EQ(mx.sourceCount, 3);
    EXPECT_EQ(listed(mx), (std::vector<std::string>{"Microphone", "Line In", "Stereo Mix"}));
    EXPECT_EQ(mx.sourceLineIds[0], kMicLine);
    EXPECT_EQ(mx.sourceLineIds[2], kStereoMixLine);
    EXPECT_EQ(mx.sourceMuted[0], 0);
    EXPECT_EQ(mx.sourceMuted[1], 1);
    EXPECT_EQ(mx.sourceMuted[3], -1);
    // The recording destination is unmuted on construction.
    EXPECT_EQ(control(m, kDst, kMixerCtlMute).values, std::vector<uint32_t>{0});
    EXPECT_NE(mx.playMixer, 0u);
    EXPECT_NE(mx.playMixer, mx.recordMixer);
  }
  EXPECT_EQ(m.opens, 2);
  EXPECT_EQ(m.closes, 2);
}

TEST(RecordingMixer, SelectionGoesByLineIdNotByListPosition) {
  FakeMixer m = muxThreeSources();  // MUX entries: stereo mix, line in, mic
  recvolclass mx(m);
  mx.sourceListUnknown = 1;
  EXPECT_EQ(mx.selectedSource(), 1);
  EXPECT_EQ(mx.sourceListUnknown, 0);

  const std::vector<std::vector<uint32_t>> muxFor = {{0, 0, 1}, {0, 1, 0}, {1, 0, 0}};
  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE(i);
    m.writes.clear();
    ASSERT_TRUE(mx.selectSource(i));
    ASSERT_EQ(m.writes.size(), 1u);
    EXPECT_EQ(m.writes[0].type, kMixerCtlMux);
    EXPECT_EQ(m.writes[0].values, muxFor[i]);
    EXPECT_EQ(mx.selectedSource(), i);
  }
}

TEST(RecordingMixer, MixerControlTakesPrecedenceOverMux) {
  FakeMixer m = mixerControlLayout();
  recvolclass mx(m);
  EXPECT_EQ(mx.selectedSource(), 2);
  m.writes.clear();
  ASSERT_TRUE(mx.selectSource(0));
  ASSERT_EQ(m.writes.size(), 1u);
  EXPECT_EQ(m.writes[0].type, kMixerCtlMixer);
  EXPECT_EQ(m.writes[0].values, (std::vector<uint32_t>{1, 0, 0}));
}

TEST(RecordingMixer, SelectedSourceThatCannotBeTold) {
  const struct {
    const char* what;
    std::function<void(FakeMixer&)> change;
    bool selectable;  // selectSource(0) still works
  } cases[] = {
      {"no list control", [](FakeMixer& m) { m.devices[0].destination.controls = {volume(1)}; }, false},
      {"no entry set", [](FakeMixer& m) { control(m, kDst, kMixerCtlMux).values = {0, 0, 0}; }, true},
      {"set entry is no source of ours",
       [](FakeMixer& m) {
         m.devices[0].others.push_back({0x30000, 0x1008, L"Aux", {}});
         control(m, kDst, kMixerCtlMux) = selector(kMixerCtlMux, {0x30000, kMicLine, kLineInLine}, 0x30000);
       },
       true},
      {"set entry names no line",
       [](FakeMixer& m) { control(m, kDst, kMixerCtlMux) = selector(kMixerCtlMux, {0x7777, kMicLine}, 0x7777); },
       true},
      {"values unreadable", [](FakeMixer& m) { control(m, kDst, kMixerCtlMux).failRead = true; }, false},
      {"recording line gone", [](FakeMixer& m) { m.devices[0].hasDestination = false; }, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    FakeMixer m = muxThreeSources();
    recvolclass mx(m);
    c.change(m);
    EXPECT_EQ(mx.selectedSource(), -1);
    EXPECT_EQ(mx.sourceListUnknown, 1);
    EXPECT_EQ(mx.selectSource(0), c.selectable);
  }
}

TEST(RecordingMixer, SelectingALineTheListDoesNotHoldWritesNothing) {
  FakeMixer m = muxThreeSources();
  control(m, kDst, kMixerCtlMux) = selector(kMixerCtlMux, {kMicLine, kLineInLine}, kMicLine);
  recvolclass mx(m);
  m.writes.clear();
  EXPECT_FALSE(mx.selectSource(2));  // stereo mix is a source, but not in the MUX
  EXPECT_TRUE(m.writes.empty());
}

TEST(RecordingMixer, SingleSourceNeedsNoListControl) {
  FakeMixer m = muxThreeSources();
  m.devices[0].sources.resize(1);
  m.devices[0].destination.controls = {volume(1)};
  recvolclass mx(m);
  const int reads = m.listReads;
  mx.sourceListUnknown = 1;
  EXPECT_EQ(mx.selectedSource(), 0);
  EXPECT_EQ(mx.sourceListUnknown, 0);
  EXPECT_EQ(m.listReads, reads);
}

TEST(RecordingMixer, KeepsTwentySourcesAndCutsNamesOnCharacterBoundaries) {
  FakeMixer m = muxThreeSources();
  m.waveInName = L"录音设备录音设备录音设备录音设备录音设备";  // 20 characters, 40 bytes
  std::vector<FakeLine>& src = m.devices[0].sources;
  src.clear();
  for (uint32_t i = 0; i < 25; ++i) src.push_back({0x40000 + i, 0x1002, L"Line " + std::to_wstring(i), {}});
  src[0].name = std::wstring(40, L'x');
  src[1].name = L"a立体声混音立体声混音立体声混音立"; // 1 + 16 characters: 33 bytes
  src[2].name = L"立体声混音立体声混音立体声混音立体";  // 17 characters: 34 bytes
  recvolclass mx(m);
  EXPECT_EQ(m.sourcesAsked, 20);
  ASSERT_EQ(mx.sourceCount, 20);
  const std::vector<std::string> names = listed(mx);
  ASSERT_EQ(names.size(), 20u);
  EXPECT_EQ(names[0], std::string(32, 'x'));
  EXPECT_EQ(names[1], "a立体声混音立体声混音立体声混音");
  EXPECT_EQ(names[2], "立体声混音立体声混音立体声混音立");
  EXPECT_EQ(names[19], "Line 19");
  EXPECT_EQ(mx.sourceLineIds[19], 0x40000u + 19);
  EXPECT_STREQ(mx.deviceName, "录音设备录音设备录音设备录音设");  // 30 of 31 bytes
}

TEST(RecordingMixer, VolumeArithmetic) {
  const struct { uint32_t maximum; int percent; uint32_t value; } writes[] = {
      {65535, 37, 24247}, {65535, 0, 0}, {65535, 100, 65535}, {65535, 1, 655}, {65535, -5, 0},
      {65535, 130, 65535}, {100, 29, 29}, {255, 50, 127}, {0xFFFFFFFFu, 50, 0x7FFFFFFFu},
      {0xFFFFFFFFu, 100, 0xFFFFFFFFu},
  };
  for (const auto& w : writes) EXPECT_EQ(mixerPercentToValue(w.percent, w.maximum), w.value) << w.percent;
  const struct { uint32_t maximum; uint32_t value; int percent; } reads[] = {
      {65535, 24247, 36}, {65535, 24248, 37}, {65535, 65535, 100}, {65535, 70000, 100},
      {65535, 0, 0}, {0, 5, -1}, {0xFFFFFFFFu, 0xFFFFFFFFu, 100}, {0xFFFFFFFFu, 0x80000000u, 50},
  };
  for (const auto& r : reads) EXPECT_EQ(mixerValueToPercent(r.value, r.maximum), r.percent) << r.value;
}

TEST(RecordingMixer, VolumeReachesTheSourceAndTheDestination) {
  FakeMixer m = muxThreeSources();
  recvolclass mx(m);
  EXPECT_EQ(mx.lineVolume(0), 100);
  EXPECT_EQ(mx.lineVolume(1), 20);
  EXPECT_EQ(mx.lineVolume(2), 50);  // no volume of its own: the destination's
  EXPECT_EQ(mx.lineVolume(-1), 50);

  m.writes.clear();
  ASSERT_TRUE(mx.setLineVolume(-1, 37));
  ASSERT_EQ(m.writes.size(), 1u);
  EXPECT_EQ(m.writes[0].lineId, kDst);
  EXPECT_EQ(m.writes[0].values, std::vector<uint32_t>{24247});  // truncated: reads back as 36
  EXPECT_EQ(mx.lineVolume(-1), 36);
  EXPECT_EQ(mx.lineVolume(1), 20);

  m.writes.clear();
  ASSERT_TRUE(mx.setLineVolume(1, 60));
  ASSERT_EQ(m.writes.size(), 2u);
  EXPECT_EQ(m.writes[0].lineId, kLineInLine);
  EXPECT_EQ(m.writes[1].lineId, kDst);
  EXPECT_EQ(mx.lineVolume(1), 60);
  EXPECT_EQ(mx.lineVolume(-1), 60);

  m.writes.clear();
  for (int bad : {-1, 101, 1000, INT_MIN}) EXPECT_FALSE(mx.setLineVolume(1, bad)) << bad;
  EXPECT_TRUE(m.writes.empty());
}

TEST(RecordingMixer, SetLineVolumeResult) {
  enum Ctl { Works, Fails, Missing };
  const struct { int index; Ctl source, destination; bool result; } cases[] = {
      {1, Works, Works, true},   {1, Fails, Works, true},  {1, Works, Fails, true},
      {1, Fails, Fails, false},  {1, Works, Missing, true}, {2, Missing, Fails, false},
      {2, Missing, Works, true}, {-1, Works, Fails, false}, {-1, Works, Missing, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.index << " " << c.source << " " << c.destination);
    FakeMixer m = muxThreeSources();
    recvolclass mx(m);
    auto apply = [&](uint32_t line, Ctl how) {
      std::vector<FakeControl>& ctls =
          line == kDst ? m.devices[0].destination.controls : m.devices[0].sources[1].controls;
      if (how == Fails) control(m, line, kMixerCtlVolume).failWrite = true;
      if (how == Missing) ctls.erase(ctls.begin());  // the volume control comes first
    };
    if (c.index == 1) apply(kLineInLine, c.source);
    apply(kDst, c.destination);
    EXPECT_EQ(mx.setLineVolume(c.index, 40), c.result);
  }
}

TEST(RecordingMixer, IndexesOutsideTheSourcesFailWithoutTouchingTheMixer) {
  FakeMixer m = muxThreeSources();
  recvolclass mx(m);
  m.writes.clear();
  for (int bad : {-2, 3, 20, 1000, INT_MIN, INT_MAX}) {
    SCOPED_TRACE(bad);
    EXPECT_FALSE(mx.selectSource(bad));
    EXPECT_EQ(mx.lineVolume(bad), -1);
    EXPECT_FALSE(mx.setLineVolume(bad, 50));
    EXPECT_EQ(mx.lineMuted(bad), -1);
    EXPECT_EQ(mx.setLineMute(bad, true), -1);
  }
  EXPECT_TRUE(m.writes.empty());
}

TEST(RecordingMixer, MuteSwitchesAndMicrophoneMonitor) {
  FakeMixer m = muxThreeSources();
  recvolclass mx(m);
  EXPECT_EQ(mx.lineMuted(1), 1);
  EXPECT_EQ(mx.setLineMute(1, false), 1);
  EXPECT_EQ(mx.lineMuted(1), 0);
  EXPECT_EQ(mx.lineMuted(-1), 0);
  control(m, kMicLine, kMixerCtlMute).failWrite = true;
  EXPECT_EQ(mx.setLineMute(0, true), 0);

  // The monitor lives on the playback mixer's microphone line.
  EXPECT_EQ(mx.micMonitorMuted(), 1);
  EXPECT_EQ(mx.micMonitorVolume(), 9);  // 6553 of 65535
  EXPECT_TRUE(mx.setMicMonitorMute(false));
  EXPECT_EQ(mx.micMonitorMuted(), 0);
  EXPECT_TRUE(mx.setMicMonitorVolume(60));
  EXPECT_EQ(mx.micMonitorVolume(), 60);
  EXPECT_FALSE(mx.setMicMonitorVolume(101));
  EXPECT_FALSE(mx.setMicMonitorVolume(-1));
  EXPECT_EQ(mx.micMonitorVolume(), 60);
  EXPECT_EQ(mx.lineVolume(-1), 50);  // the recording side untouched
}

TEST(RecordingMixer, UnusableOrVanishedDevicesFailEveryOperation) {
  const struct {
    const char* what;
    FakeMixer (*layout)();
    bool vanish;    // unplugged after the object was built
    int micMuted;   // the playback side may still work
  } cases[] = {
      {"no device", noDevice, false, -1},
      {"no recording line", noRecordingLine, false, 1},
      {"unplugged", muxThreeSources, true, -1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    FakeMixer m = c.layout();
    {
      recvolclass mx(m);
      if (c.vanish) {
        m.gone = true;
      } else {
        EXPECT_EQ(mx.mixerUnusable, 1);
        EXPECT_TRUE(listed(mx).empty());
      }
      m.writes.clear();
      EXPECT_EQ(mx.selectedSource(), -1);
      EXPECT_FALSE(mx.selectSource(0));
      EXPECT_EQ(mx.lineVolume(-1), -1);
      EXPECT_EQ(mx.lineVolume(0), -1);
      EXPECT_FALSE(mx.setLineVolume(-1, 50));
      EXPECT_FALSE(mx.setLineVolume(0, 50));
      EXPECT_EQ(mx.lineMuted(-1), -1);
      EXPECT_LE(mx.setLineMute(-1, true), 0);
      EXPECT_EQ(mx.micMonitorMuted(), c.micMuted);
      EXPECT_EQ(mx.setMicMonitorVolume(50), c.micMuted >= 0);
      if (c.micMuted < 0) {
        EXPECT_TRUE(m.writes.empty());
      }
    }
    EXPECT_EQ(m.closes, m.opens);  // whatever was opened is closed, and nothing else
  }
}

TEST(RecordingMixer, FindsTheRecordingMixerBehindTheWaveMapper) {
  // Mixer 0 plays and mixer 2 records, so taking mixer 0 by default fails.
  const struct {
    const char* what;
    std::function<void(FakeMixer&)> change;
    std::vector<uint32_t> rates;
    bool usable;
    const char* name;
  } cases[] = {
      {"probe format taken", nullptr, {11050}, true, "Fake Audio In"},
      {"odd rate refused", [](FakeMixer& m) { m.refusedRate = 11050; }, {11050, 11025}, true, "Fake Audio In"},
      {"mapper names no mixer", [](FakeMixer& m) { m.mapperWithoutId = true; }, {11050, 11025}, true,
       "Fake Audio In"},
      {"no wave-in device", [](FakeMixer& m) { m.waveInPresent = false; }, {11050, 11025}, false, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    FakeMixer m = muxThreeSources();
    m.devices[2] = m.devices[0];
    m.devices[0] = m.devices[1];
    m.waveInMixer = 2;
    m.waveOutMixer = 0;
    if (c.change) c.change(m);
    recvolclass mx(m);
    EXPECT_EQ(m.probedRates, c.rates);
    EXPECT_EQ(mx.mixerUnusable, c.usable ? 0 : 1);
    EXPECT_EQ(mx.sourceCount, c.usable ? 3 : 0);
    EXPECT_STREQ(mx.deviceName, c.name);
    EXPECT_EQ(mx.micMonitorMuted(), 1);  // the playback mixer is found either way
  }
}

TEST(SourceNames, CaptionsAndStereoMixLines) {
  const char* mic = "麦克风、话筒";
  const char* mix = "混音,用于录播放的声音";
  const struct { const char* name; const char* caption; } cases[] = {
      {"", ""},
      {"Microphone", mic},
      {"Front MICROPHONE", mic},
      {"Microphone Mix", mic},
      {"Stereo Mix", mix},
      {"WAVE MIX", mix},
      {"立体声混音", mix},
      {"Line In", ""},
      {"盎臁", ""},  // bytes b0 bb ec a1: "混" (bb ec) only across two characters
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::string(c.name)));
    EXPECT_EQ(sourceLineCaption(c.name), AnsiString(c.caption));
  }
  ASSERT_NE(std::string("盎臁").find("\xBB\xEC"), std::string::npos);

  TStringList list;
  EXPECT_EQ(firstStereoMixItem(list), -1);
  for (const char* s : {"Microphone", "Line In", "CD"}) list.Add(s);
  EXPECT_EQ(firstStereoMixItem(list), -1);
  list.Add("立体声混音");
  list.Add("Stereo Mix");
  EXPECT_EQ(firstStereoMixItem(list), 3);
}

TEST(KeptMixerSettings, ReappliesOnlyWhatDrifted) {
  // Start: "Line In" (1) selected at 20%, the destination at 50%.
  const struct {
    const char* what;
    int source, volume;
    std::function<void(FakeMixer&)> change;
    int selected;                       // afterwards
    std::vector<uint32_t> writtenLines;  // in order
  } cases[] = {
      {"nothing drifted", 1, 20, nullptr, 1, {}},
      {"source and volume", 0, 20, nullptr, 0, {kDst, kMicLine, kDst}},
      {"source only (its volume is the destination's)", 2, 50, nullptr, 2, {kDst}},
      {"volume only", 1, 60, nullptr, 1, {kLineInLine, kDst}},
      {"no saved source", -1, 60, nullptr, 1, {}},
      {"no saved volume", 0, -1, nullptr, 1, {}},
      {"saved source out of range", 5, 60, nullptr, 1, {}},
      {"selection unknown", 0, 60, [](FakeMixer& m) { control(m, kDst, kMixerCtlMux).values = {0, 0, 0}; }, -1, {}},
      {"selection refused, volume still kept", 0, 60,
       [](FakeMixer& m) { control(m, kDst, kMixerCtlMux).failWrite = true; }, 1, {kMicLine, kDst}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    FakeMixer m = muxThreeSources();
    recvolclass mx(m);
    if (c.change) c.change(m);
    m.writes.clear();
    applyKeptMixerSettings(mx, c.source, c.volume);
    std::vector<uint32_t> lines;
    for (const FakeWrite& w : m.writes) lines.push_back(w.lineId);
    EXPECT_EQ(lines, c.writtenLines);
    EXPECT_EQ(mx.selectedSource(), c.selected);
    if (c.source >= 0 && c.source < 3 && c.volume >= 0 && c.selected >= 0) {
      EXPECT_EQ(mx.lineVolume(c.source), c.volume);
    }
  }
}

}  // namespace
