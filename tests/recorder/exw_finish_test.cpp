// Finishing and repairing unfinished direct EXE recordings, checked with the
// reader written from the layout tables (exe_checker.h): a finished .exw
// replays its frames and carries its sound with the click sounds at the
// recording's own times; a failed packing puts the .exw back and keeps the
// sound; copies of a real .exw cut off at random points are repaired into
// files whose frames equal the original's first frames, or refused, and the
// sound side file is never deleted; the repair's key-frame rule on a
// hand-built file.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "ExeOutput.h"
#include "ExwFinish.h"
#include "SoundFitting.h"
#include "SoundTrack.h"
#include "SysUtils.h"
#include "exe_checker.h"
#include "exe_scene.h"
#include "test_files.h"

namespace {

using namespace exescene;
using execheck::ParsedExe;
using execheck::parseExe;
using execheck::replay;

class RecordingHost : public FormatsHost {
public:
  std::vector<std::string> said;
  void showMessage(const AnsiString& text) override { said.push_back(text.str()); }
};

// Records an .exw of `pictures` pictures with cursor, clicks and the deferred
// tail; returns the picture of every frame in time.
std::vector<execheck::Picture> makeExw(const TempDir& dir, const std::string& name, int pictures,
                                       int ms, const TStringList& clicks, Scene scene = {}) {
  ExeOutputOptions o = options(dir, 10);
  o.addClickSounds = true;
  ExeOutput out(dir.path(name), o);
  EXPECT_TRUE(out.open(header(ms)));
  auto timeline = record(out, scene, pictures);
  out.takeSound(dir.path("side1.wav"));
  out.takeClicks(clicks);
  EXPECT_TRUE(out.finish(false));
  return timeline;
}

void writeClickSound(const TempDir& dir) {
  Bytes click = wavBytes(8000, 8, 100, true);
  for (std::size_t i = 44; i < click.size(); ++i) click[i] = 200;
  writeAll(dir.file(clickSoundFileName(8, 8000).str()), click);
}

TEST(ExwFinish, FinishesWithClicksAtTheRecordingsOwnTimes) {
  struct Case {
    int ms;
    bool mixedAtSecond2;
  };
  // 200 ms a frame puts a click on frame 10 into second 2; a recording that
  // claims 0 ms a frame gets no click sounds and no division by zero.
  for (const Case c : {Case{200, true}, Case{0, false}}) {
    SCOPED_TRACE(c.ms);
    TempDir dir;
    writeClickSound(dir);
    TStringList clicks;
    appendClickEvent(clicks, {10, 3, 3, 1, 0, 0});
    const auto timeline = makeExw(dir, "c.exw", 15, c.ms, clicks);
    const Bytes wav = wavBytes(8000, 8, 24000, true);
    writeAll(dir.file("side1.wav"), wav);

    ExwFinishOptions fo;
    fo.soundCodec = kSoundRaw;
    fo.clickSoundFolder = AnsiString(dir.folder());
    RecordingHost host;
    ASSERT_TRUE(finishExwRecording(dir.path("c.exw"), dir.path("side1.wav"), fo, host));
    EXPECT_TRUE(host.said.empty());
    EXPECT_FALSE(FileExists(dir.path("c.exw")));
    EXPECT_FALSE(FileExists(dir.path("side1.wav")));

    const Bytes file = readAll(dir.file("c.exe"));
    const ParsedExe p = parseExe(file);
    ASSERT_TRUE(p.ok);
    EXPECT_EQ(p.soundCodec, kSoundRaw);
    EXPECT_EQ(execheck::lines(p.mouseText).size(), 8u);
    const auto frames = replay(p);
    for (std::size_t i = 0; i < timeline.size(); ++i) EXPECT_EQ(frames.at(i).px, timeline[i].px);

    // Packing 1: int32 size, then the WAV as it is.
    ASSERT_EQ(get32(file, p.soundStart), int32_t(wav.size()));
    const std::size_t data = p.soundStart + 4 + 44;
    EXPECT_EQ(file[data + 0], 128);
    EXPECT_EQ(file[data + 8000], 128);
    EXPECT_EQ(file[data + 16000], c.mixedAtSecond2 ? 200 : 128);
  }
}

TEST(ExwFinish, FailureOrMissingSoundNeverLosesTheSound) {
  TempDir dir;
  TStringList clicks;
  makeExw(dir, "f.exw", 8, 100, clicks);
  writeAll(dir.file("side1.wav"), wavBytes(8000, 8, 3000));
  const Bytes before = readAll(dir.file("f.exw"));

  // A packing that fails: the .exw is put back byte for byte, the sound stays.
  ExwFinishOptions bad;
  bad.soundCodec = 99;
  RecordingHost host;
  EXPECT_FALSE(finishExwRecording(dir.path("f.exw"), dir.path("side1.wav"), bad, host));
  EXPECT_EQ(readAll(dir.file("f.exw")), before);
  EXPECT_TRUE(FileExists(dir.path("side1.wav")));

  // No sound file: finished without sound after saying so.
  RecordingHost quiet;
  ASSERT_TRUE(finishExwRecording(dir.path("f.exw"), dir.path("gone1.wav"), ExwFinishOptions{}, quiet));
  ASSERT_EQ(quiet.said.size(), 1u);
  EXPECT_EQ(quiet.said[0], std::string("找不到配音文件") + dir.file("gone1.wav"));
  const ParsedExe p = parseExe(readAll(dir.file("f.exe")));
  EXPECT_TRUE(p.ok);
  EXPECT_EQ(p.dataStart, 0);
  EXPECT_TRUE(FileExists(dir.path("side1.wav"))) << "a sound that was not packed is never deleted";

  // The target name is taken: the finished file keeps the .exw name and
  // the sound stays beside it.
  makeExw(dir, "g.exw", 4, 100, clicks);
  writeAll(dir.file("g.exe"), Bytes{1});
  RecordingHost renamed;
  EXPECT_TRUE(finishExwRecording(dir.path("g.exw"), dir.path("side1.wav"), ExwFinishOptions{}, renamed));
  EXPECT_TRUE(FileExists(dir.path("side1.wav")));
  ASSERT_FALSE(renamed.said.empty());
  EXPECT_EQ(renamed.said.back().rfind("改名失败,", 0), 0u);
}

TEST(ExwRepair, CutCopiesAreRepairedOrRefused) {
  TempDir dir;
  TStringList clicks;
  appendClickEvent(clicks, {2, 1, 1, 1, 0, 0});
  Scene scene;
  scene.flashAt = 30;
  const auto timeline = makeExw(dir, "o.exw", 60, 100, clicks, scene);
  const Bytes original = readAll(dir.file("o.exw"));
  const ParsedExe whole = parseExe(original, true);
  ASSERT_TRUE(whole.ok);
  std::vector<std::size_t> ends;  // where each frame record ends
  for (const auto& f : whole.frames) ends.push_back(f.offset + f.size);

  std::mt19937 rng(1234);
  std::vector<std::size_t> cuts = {whole.pictures + 100, ends[0], ends[1] + 18, original.size() - 8};
  for (int i = 0; i < 30; ++i)
    cuts.push_back(whole.pictures + rng() % (original.size() - 8 - whole.pictures));

  ExwRepairOptions ro;
  ro.stubPath = dir.path("play.dat");
  ro.playerSize = int64_t(stubBytes().size());
  ro.playSettings.soundCodec = kSoundRaw;
  int repaired = 0;
  for (std::size_t cut : cuts) {
    SCOPED_TRACE(cut);
    writeAll(dir.file("cut.exw"), Bytes(original.begin(), original.begin() + cut));
    writeAll(dir.file("cut1.wav"), wavBytes(8000, 8, 50000));
    DeleteFile(dir.path("fixed.exe"));
    RecordingHost host;
    EXPECT_EQ(exwNeedsRepair(dir.path("cut.exw"), host), 1);
    EXPECT_FALSE(finishExwRecording(dir.path("cut.exw"), dir.path("cut1.wav"), ExwFinishOptions{}, host));
    EXPECT_TRUE(FileExists(dir.path("cut1.wav")));

    const AnsiString got = repairExwRecording(dir.path("cut.exw"), dir.path("cut1.wav"),
                                              dir.path("fixed.exe"), ro, host);
    EXPECT_TRUE(FileExists(dir.path("cut1.wav"))) << "the repair never deletes the sound";
    // Frames that end well before the cut are found; none past it.
    std::size_t sure = 0, possible = 0;
    for (std::size_t e : ends) {
      sure += e + 18 <= cut;
      possible += e <= cut;
    }
    if (got.IsEmpty()) {
      EXPECT_LT(sure, 2u) << "a cut after frame 1 must be repairable";
      EXPECT_FALSE(FileExists(dir.path("fixed.exe")));
      continue;
    }
    EXPECT_EQ(got, dir.path("fixed.exe"));
    ++repaired;
    const Bytes fixed = readAll(dir.file("fixed.exe"));
    const ParsedExe p = parseExe(fixed);
    ASSERT_TRUE(p.ok);
    const std::size_t n = std::size_t(p.header[3]);
    EXPECT_GE(n, std::max<std::size_t>(sure, 2));
    EXPECT_LE(n, possible);
    const auto frames = replay(p);
    for (std::size_t i = 0; i < n; ++i) ASSERT_EQ(frames.at(i).px, timeline.at(i).px) << "frame " << i;
    // Every listed key frame is frame 0 or a whole-picture update.
    const auto kl = execheck::lines(p.frameListText);
    for (std::size_t i = 2; i + 1 < kl.size(); i += 2) {
      const auto& f = p.frames.at(std::size_t(std::stoi(kl[i])));
      EXPECT_EQ(std::to_string(f.offset - p.pictures), kl[i + 1]);
      ASSERT_EQ(f.updates.size(), 1u);
      EXPECT_EQ(f.updates[0].right - f.updates[0].left, kW);
    }
    // The sound, fitted to the frames: n x 100 ms at 8000 bytes a second.
    EXPECT_EQ(get32(fixed, p.soundStart + 4 + 40), int32_t(n * 800));
    EXPECT_TRUE(p.mouseText.empty());
  }
  EXPECT_GT(repaired, 25) << "most cuts leave frames to rebuild";
}

// A hand-built .exw: stub of 8 bytes, K, the picture part (4 x 2 pictures,
// with cursor), frame 0, then frames with a whole-picture update every 50
// frames and none in between; frame 100's update keeps the old icon.
Bytes keyFrameFixture(int frames) {
  Bytes b(8, 'S');
  put32(b, 0);
  for (int32_t v : {1, 4, 2, 0, 5, 100, 0, 0, 1, 1}) put32(b, uint32_t(v));
  b.resize(b.size() + 120, 0);
  auto cursor = [&](int32_t icon) {
    put32(b, 0);
    put32(b, 0);
    put32(b, uint32_t(icon));
    b.resize(b.size() + std::size_t(icon), 7);
  };
  cursor(3);
  put32(b, 2);
  put16(b, 0x4D42);
  put32(b, 0);
  for (int k = 1; k < frames; ++k) {
    cursor(k % 50 == 0 && k != 100 ? 3 : 0);
    if (k % 50 == 0) {
      for (int32_t v : {k, 0, 0, 4, 2, 1}) put32(b, uint32_t(v));
      b.push_back(9);
    }
    put32(b, uint32_t(-k));
  }
  return b;
}

TEST(ExwRepair, KeyFramesNeedAGapOfMoreThan80AndTheIcon) {
  const Bytes fixture = keyFrameFixture(301);
  // The last frames are within the tail margin of a cut file; pad as a
  // following frame would.
  Bytes padded = fixture;
  padded.resize(padded.size() + 20, 0xEE);
  SpanSource src(padded);
  TStringList keys;
  int32_t next = 0;
  int64_t end = 0;
  ASSERT_TRUE(rebuildFrameIndex(src, 8, keys, next, end));
  EXPECT_EQ(next, 301);
  EXPECT_EQ(end, int64_t(fixture.size()));
  std::vector<std::string> got;
  for (int i = 0; i < keys.Count(); i += 2) got.push_back(keys[i].str());
  // 50: gap 50; 100: no icon; 150: gap 150; 200: gap 50; 250: gap 100; 300: gap 50.
  EXPECT_EQ(got, (std::vector<std::string>{"0", "150", "250"}));

  // Only frame 0 whole: nothing to repair.
  const Bytes lone = keyFrameFixture(1);
  Bytes cut = lone;
  cut.resize(cut.size() + 10, 0);
  SpanSource one(cut);
  EXPECT_FALSE(rebuildFrameIndex(one, 8, keys, next, end));
  EXPECT_EQ(next, 0);
  // A header out of reach or a torn frame 0: refused.
  SpanSource shortSrc(lone.data(), 30);
  EXPECT_FALSE(rebuildFrameIndex(shortSrc, 8, keys, next, end));
  EXPECT_FALSE(rebuildFrameIndex(src, int64_t(1) << 40, keys, next, end));
}

TEST(ExwFinish, NamesAndTheRepairProbe) {
  EXPECT_EQ(exeNameFor("a\\录像3.exw"), AnsiString("a\\录像3.exe"));
  EXPECT_EQ(exeNameFor("x"), AnsiString(".exe"));
  RecordingHost host;
  EXPECT_EQ(exwNeedsRepair("/nonexistent/dir/x.exw", host), 1);
  ASSERT_EQ(host.said.size(), 1u);
  EXPECT_EQ(host.said[0], std::string("打开文件失败,/nonexistent/dir/x.exw"));
}

}  // namespace
