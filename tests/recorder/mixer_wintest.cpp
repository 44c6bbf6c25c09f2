// The recording mixer on the system's real mixer (under Wine: whatever its
// audio driver offers, often nothing). Prints what it finds, and checks that
// every answer is in range, stable from one object to the next, agrees with
// winmm asked directly, and that a volume set reads back (then restored).
#include <windows.h>
#include <mmsystem.h>

#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <string>
#include <vector>

#include "RecordingMixer.h"
#include "SysUtils.h"

namespace {

std::vector<std::string> names(const recvolclass& mx) {
  TStringList list;
  mx.listSources(&list);
  std::vector<std::string> out;
  for (int i = 0; i < list.Count(); ++i) out.push_back(list[i].str());
  return out;
}

// The recording destination's connection count, asked of winmm without the
// mixer object: -1 when there is no mixer or no such line.
int rawConnections(UINT mixerId) {
  HMIXER h = nullptr;
  if (mixerOpen(&h, mixerId, 0, 0, MIXER_OBJECTF_MIXER) != MMSYSERR_NOERROR) return -1;
  MIXERLINEW l = {};
  l.cbStruct = sizeof l;
  l.dwComponentType = MIXERLINE_COMPONENTTYPE_DST_WAVEIN;
  const MMRESULT r = mixerGetLineInfoW(reinterpret_cast<HMIXEROBJ>(h), &l,
                                       MIXER_OBJECTF_HMIXER | MIXER_GETLINEINFOF_COMPONENTTYPE);
  mixerClose(h);
  return r == MMSYSERR_NOERROR ? int(l.cConnections) : -1;
}

TEST(RealMixer, AnswersAreInRangeStableAndAgreeWithWinmm) {
  const UINT mixers = mixerGetNumDevs();
  std::printf("winmm: %u mixers, %u wave-in, %u wave-out devices\n", mixers, waveInGetNumDevs(),
              waveOutGetNumDevs());
  recvolclass mx;
  std::printf("device \"%s\", unusable %d, sources %d, play mixer %s\n", Cp936ToUtf8(mx.deviceName).c_str(),
              mx.mixerUnusable, int(mx.sourceCount), mx.playMixer ? "open" : "none");
  const std::vector<std::string> listed = names(mx);
  for (int i = 0; i < mx.sourceCount; ++i)
    std::printf("  source %d \"%s\": line %08lx, volume %d, muted %d (at start %d)\n", i,
                Cp936ToUtf8(listed[i]).c_str(), (unsigned long)mx.sourceLineIds[i], mx.lineVolume(i),
                mx.lineMuted(i), int(mx.sourceMuted[i]));
  const int selected = mx.selectedSource();
  std::printf("destination: volume %d, muted %d; selected source %d (list unknown %d)\n", mx.lineVolume(-1),
              mx.lineMuted(-1), selected, mx.sourceListUnknown);
  std::printf("microphone monitor: muted %d, volume %d\n", mx.micMonitorMuted(), mx.micMonitorVolume());

  if (mixers == 0) {
    EXPECT_EQ(mx.mixerUnusable, 1);
    EXPECT_EQ(mx.playMixer, 0u);
  }
  if (mx.mixerUnusable) {
    EXPECT_TRUE(listed.empty());
  } else {
    // The same count as winmm gives for the first mixer that has the line
    // (the object's own mixer is the mapper's, usually that one), capped.
    int raw = -1;
    for (UINT id = 0; id < mixers && raw < 0; ++id) raw = rawConnections(id);
    EXPECT_LE(int(mx.sourceCount), raw < 20 ? raw : 20);
  }
  EXPECT_EQ(int(listed.size()), mx.mixerUnusable ? 0 : int(mx.sourceCount));
  EXPECT_GE(selected, -1);
  EXPECT_LT(selected, int(mx.sourceCount) > 0 ? int(mx.sourceCount) : 1);
  EXPECT_EQ(mx.selectedSource(), selected);
  for (int i = -1; i < mx.sourceCount; ++i) {
    EXPECT_GE(mx.lineVolume(i), -1);
    EXPECT_LE(mx.lineVolume(i), 100);
    const int m = mx.lineMuted(i);
    EXPECT_TRUE(m == -1 || m == 0 || m == 1);
  }
  for (int bad : {-2, int(mx.sourceCount), 20, INT_MAX}) {
    EXPECT_FALSE(mx.selectSource(bad));
    EXPECT_EQ(mx.lineVolume(bad), -1);
    EXPECT_EQ(mx.setLineMute(bad, false), -1);
  }
  EXPECT_FALSE(mx.setLineVolume(-1, 101));
  EXPECT_FALSE(mx.setMicMonitorVolume(-1));

  // A destination volume that can be read and set reads back as set.
  const int before = mx.lineVolume(-1);
  if (before >= 0) {
    const int other = before >= 50 ? 23 : 77;
    if (mx.setLineVolume(-1, other)) {
      std::printf("destination volume %d -> %d reads %d\n", before, other, mx.lineVolume(-1));
      EXPECT_EQ(mx.lineVolume(-1), other);
      EXPECT_TRUE(mx.setLineVolume(-1, before));
      EXPECT_EQ(mx.lineVolume(-1), before);
    } else {
      std::printf("destination volume %d cannot be set\n", before);
    }
  }
  if (selected >= 0) {
    EXPECT_TRUE(mx.selectSource(selected) || mx.sourceCount == 1);
    EXPECT_EQ(mx.selectedSource(), selected);
    const int volume = mx.lineVolume(selected);
    applyKeptMixerSettings(mx, selected, volume);  // nothing drifted: nothing to change
    EXPECT_EQ(mx.selectedSource(), selected);
    EXPECT_EQ(mx.lineVolume(selected), volume);
  }

  // A second object, as the sound page makes after the control panel, sees
  // the same device.
  recvolclass again;
  EXPECT_STREQ(again.deviceName, mx.deviceName);
  EXPECT_EQ(again.mixerUnusable, mx.mixerUnusable);
  EXPECT_EQ(names(again), listed);
}

}  // namespace
