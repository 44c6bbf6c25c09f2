// The direct EXE output checked by a reader written from the container's
// layout tables (exe_checker.h), not by the formats library's reader: every
// frame replayed from the key frames and the changed rectangles equals the
// picture given for that time; a still stretch costs only the cursor block
// and the end marker; the sound at the end unpacks (zlib, by hand) to the
// fitted length; the key-frame rules; the mirror path with a fake driver;
// the caption's terminating NUL; the deferred .exw tail; the progress
// labels of the finish; and the video advice weighed without overflow.
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdio>
#include <string>

#include "ExeOutput.h"
#include "ExwFinish.h"
#include "SoundFitting.h"
#include "SysUtils.h"
#include "exe_checker.h"
#include "exe_scene.h"
#include "test_files.h"

namespace {

using namespace exescene;
using execheck::ParsedExe;
using execheck::parseExe;
using execheck::replay;

// Unpacks packing 2 by hand: chunk count, then length + zlib data each.
Bytes unpackZlib(const Bytes& file, std::size_t at, std::size_t end) {
  Bytes wav;
  const int32_t chunks = get32(file, at);
  at += 4;
  for (int32_t i = 0; i < chunks; ++i) {
    const std::size_t len = std::size_t(get32(file, at));
    at += 4;
    Bytes out(125000);
    uLongf outLen = out.size();
    EXPECT_EQ(uncompress(out.data(), &outLen, file.data() + at, uLong(len)), Z_OK);
    wav.insert(wav.end(), out.begin(), out.begin() + outLen);
    at += len;
  }
  EXPECT_EQ(at, end) << "sound block does not end where the lists begin";
  return wav;
}

void expectFramesEqual(const std::vector<execheck::Picture>& got,
                       const std::vector<execheck::Picture>& want, std::size_t count) {
  ASSERT_GE(got.size(), count);
  ASSERT_GE(want.size(), count);
  for (std::size_t i = 0; i < count; ++i) EXPECT_EQ(got[i].px, want[i].px) << "frame " << i;
}

TEST(DirectExe, WholeRecordingReplaysWithSoundClicksAndCaption) {
  TempDir dir;
  ExeOutputOptions o = options(dir, 10);
  o.caption.text = std::string(45, 'A');  // longer than the field holds
  o.caption.x = 5;
  o.caption.y = 6;
  ExeOutput out(dir.path("r.exw"), o);
  ASSERT_TRUE(out.open(header(200)));

  Scene scene;
  scene.flashAt = 45;
  // Picture 3 stands for 3 frames in time (two owed ticks), picture 50 for 2.
  std::vector<int> repeats(60, 1);
  repeats[3] = 3;
  repeats[50] = 2;
  const auto timeline = record(out, scene, 60, repeats);
  ASSERT_EQ(out.framesInTime(), int(timeline.size()));

  // The sound as the stop fits it: exactly the pictures' length.
  const std::string wav = dir.file("r1.wav");
  writeAll(wav, wavBytes(8000, 8, 150000));
  const int64_t ms = int64_t(timeline.size()) * 200;
  ASSERT_EQ(fitWaveLength(AnsiString(wav), ms), 1);
  const Bytes fitted = readAll(wav);
  out.takeSound(AnsiString(wav));
  TStringList clicks;
  appendClickEvent(clicks, {7, 30, 31, 1, 4, 5});
  out.takeClicks(clicks);
  ASSERT_TRUE(out.finish(true));

  EXPECT_EQ(out.path(), dir.path("r.exe"));
  EXPECT_FALSE(FileExists(dir.path("r.exw")));
  EXPECT_FALSE(FileExists(AnsiString(wav))) << "the side file goes once its sound is in the EXE";
  const Bytes file = readAll(dir.file("r.exe"));
  const Bytes stub = stubBytes();
  ASSERT_TRUE(std::equal(stub.begin(), stub.end(), file.begin()));

  const ParsedExe p = parseExe(file);
  ASSERT_TRUE(p.ok);
  EXPECT_EQ(p.stub, stub.size());
  EXPECT_EQ(p.header[3], int32_t(timeline.size()));
  EXPECT_EQ(p.header[5], 200);
  EXPECT_EQ(p.soundCodec, 2);
  expectFramesEqual(replay(p), timeline, timeline.size());

  // Sound: the WAV byte for byte, data length = byte rate x ms / 1000.
  const Bytes sound = unpackZlib(file, p.soundStart, p.soundEnd);
  EXPECT_EQ(sound, fitted);
  EXPECT_EQ(get32(sound, 40), int32_t(8000 * ms / 1000));

  // Key frames: listed with their offsets from the picture part, each one
  // whole-picture update with the icon.
  const auto kl = execheck::lines(p.frameListText);
  ASSERT_GE(kl.size(), 4u);
  EXPECT_EQ(kl[0], "0");
  EXPECT_EQ(kl[1], "160");
  std::vector<int> keys;
  for (std::size_t i = 0; i + 1 < kl.size(); i += 2) {
    const int n = std::stoi(kl[i]);
    keys.push_back(n);
    const auto& f = p.frames.at(std::size_t(n));
    EXPECT_EQ(std::to_string(f.offset - p.pictures), kl[i + 1]);
    EXPECT_GT(f.iconLength, 0) << "key frame " << n << " carries the icon";
    if (n > 0) {
      ASSERT_EQ(f.updates.size(), 1u);
      EXPECT_EQ(f.updates[0].right, kW);
      EXPECT_EQ(f.updates[0].bottom, kH);
    }
  }
  // The flash changes the whole picture more than half an interval after
  // the last key frame: it becomes one.
  const int flashFrame = 45 + 2;  // two owed ticks before it
  EXPECT_NE(std::find(keys.begin(), keys.end(), flashFrame), keys.end())
      << ::testing::PrintToString(keys);

  // The still stretch (pictures 21..39) costs the cursor block and the end
  // marker: 16 bytes a frame.
  for (int t = 21 + 2; t < 40 + 2; ++t) {
    const bool newIcon = (t - 2) % 10 == 0;  // the test's cursor changes every 10 pictures
    EXPECT_EQ(p.frames[std::size_t(t)].size, newIcon ? 22u : 16u) << "still frame " << t;
    EXPECT_TRUE(p.frames[std::size_t(t)].updates.empty());
  }
  std::printf("still frame: %zu bytes; moving frame: %zu bytes; key frame: %zu bytes\n",
              p.frames[30].size, p.frames[10].size, p.frames[std::size_t(flashFrame)].size);


  // Cursor: the icon only when it changed; the clicked frame on the click.
  EXPECT_EQ(p.frames[1].iconLength, 0);
  EXPECT_EQ(p.frames[12].iconLength, 6) << "picture 10's new icon";
  EXPECT_EQ(p.frames[7].cursorX, 26);
  EXPECT_EQ(p.frames[7].cursorY, 26);
  EXPECT_EQ(p.frames[8].cursorX, 6);  // picture 6, not clicked

  // Caption: 39 bytes and a NUL, scrambled.
  Bytes cap = p.caption;
  for (int i = 0; i < 40; ++i) cap[std::size_t(i)] ^= uint8_t(100 - 4 * i);
  EXPECT_EQ(std::string(cap.begin(), cap.begin() + 39), std::string(39, 'A'));
  EXPECT_EQ(cap[39], 0);
  EXPECT_EQ(get32(cap, 40), 5);
  EXPECT_EQ(get32(cap, 44), 6);
}

TEST(DirectExe, DeferredFinishLeavesAnExwThatFinishesLater) {
  TempDir dir;
  ExeOutputOptions o = options(dir, 10);
  o.addClickSounds = true;
  ExeOutput out(dir.path("d.exw"), o);
  ASSERT_TRUE(out.open(header(100, false)));
  auto timeline = record(out, Scene{}, 25);
  // While the drawing board is up: repeats of the last picture, 4 bytes each
  // without a cursor.
  ASSERT_TRUE(out.writeRepeats(3, CursorBlock{}));
  for (int i = 0; i < 3; ++i) timeline.push_back(timeline.back());
  const std::string wav = dir.file("d1.wav");
  writeAll(wav, wavBytes(8000, 8, 2000));
  out.takeSound(AnsiString(wav));
  ASSERT_TRUE(out.finish(false));

  EXPECT_EQ(out.path(), dir.path("d.exw"));
  EXPECT_TRUE(FileExists(AnsiString(wav))) << "a deferred finish leaves the sound alone";
  const Bytes exw = readAll(dir.file("d.exw"));
  EXPECT_EQ(get32(exw, exw.size() - 8), 1);  // sound recorded
  EXPECT_EQ(get32(exw, exw.size() - 4), 1);  // click sounds wanted
  const ParsedExe p = parseExe(exw, true);
  ASSERT_TRUE(p.ok);
  EXPECT_EQ(p.dataStart, 0);
  expectFramesEqual(replay(p), timeline, timeline.size());
  EXPECT_EQ(p.frames.back().size, 4u);
  SilentHost host;
  EXPECT_EQ(exwNeedsRepair(dir.path("d.exw"), host), 0);
}

TEST(DirectExe, FailedSoundPackingKeepsTheSoundAndAFinishableExw) {
  TempDir dir;
  ExeOutputOptions o = options(dir, 10);
  o.playSettings.soundCodec = 99;  // no such packing
  ExeOutput out(dir.path("f.exw"), o);
  ASSERT_TRUE(out.open(header()));
  record(out, Scene{}, 5);
  const std::string wav = dir.file("f1.wav");
  writeAll(wav, wavBytes(8000, 8, 4000));
  out.takeSound(AnsiString(wav));
  EXPECT_FALSE(out.finish(true));
  EXPECT_TRUE(FileExists(AnsiString(wav)));
  EXPECT_FALSE(FileExists(dir.path("f.exe")));
  SilentHost host;
  EXPECT_EQ(exwNeedsRepair(dir.path("f.exw"), host), 0);
  EXPECT_TRUE(parseExe(readAll(dir.file("f.exw")), true).ok);
}

// The progress window's labels follow the finish's steps: the sound packing
// only with sound, the mouse list only when the playback settings keep one
// (and then the file has it), the key-frame list always, and the success
// once the file is whole; a deferred finish shows none, and a failed packing
// stops after its own label.
TEST(DirectExe, FinishLabelsFollowItsSteps) {
  const std::string packing = "正在压缩声音", mouse = "正在保存mouselist", frames = "正在保存mainframelist",
                    done = "生成成功";
  struct Case {
    bool sound;
    int hasMouseList;
    bool finishNow;
    int soundCodec;
    std::vector<std::string> labels;
  } cases[] = {
      {true, 1, true, 2, {packing, mouse, frames, done}},
      {false, 1, true, 2, {mouse, frames, done}},
      {true, 0, true, 2, {packing, frames, done}},
      {true, 1, false, 2, {}},
      {true, 1, true, 99, {packing}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.labels));
    TempDir dir;
    ExeOutputOptions o = options(dir, 10);
    o.playSettings.hasMouseList = c.hasMouseList;
    o.playSettings.soundCodec = c.soundCodec;
    std::vector<std::string> shown;
    o.showStage = [&](const AnsiString& label) { shown.push_back(label.str()); };
    ExeOutput out(dir.path("l.exw"), o);
    ASSERT_TRUE(out.open(header()));
    record(out, Scene{}, 8);
    if (c.sound) {
      writeAll(dir.file("l1.wav"), wavBytes(8000, 8, 3200));
      out.takeSound(dir.path("l1.wav"));
    }
    TStringList clicks;
    appendClickEvent(clicks, {2, 30, 31, 1, 4, 5});
    out.takeClicks(clicks);
    out.finish(c.finishNow);
    EXPECT_EQ(shown, c.labels);
    if (c.finishNow && c.soundCodec == 2) {
      const ParsedExe p = parseExe(readAll(dir.file("l.exe")));
      ASSERT_TRUE(p.ok);
      EXPECT_EQ(p.hasMouseList, c.hasMouseList);
      EXPECT_EQ(execheck::lines(p.mouseText).size(), c.hasMouseList == 1 ? 8u : 0u);
      EXPECT_EQ(p.header[3], 8);
    }
  }
}

// Key-frame choice, checked through the stored key-frame list.
TEST(DirectExe, KeyFrameRules) {
  struct Case {
    const char* what;
    int interval;
    TPixelFormat format;
    int codec;
    bool changeAll;  // every picture differs everywhere from the last
    std::vector<int> keys;
  };
  const Case cases[] = {
      // Whole changes: a key frame once more than half the interval passed.
      {"full change", 10, pf16bit, 1, true, {0, 6, 12}},
      // A still scene never needs one.
      {"still", 4, pf16bit, 1, false, {0}},
      // 8-bit pictures with JPEG: every frame.
      {"8-bit jpeg", 100, pf8bit, 0, false, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    ExeOutput out(dir.path("k.exw"), options(dir, c.interval, c.codec));
    LxHeader h = header(100, false);
    h.pixelFormat = c.format;
    ASSERT_TRUE(out.open(h));
    TBitmap bmp;
    for (int i = 0; i < 15; ++i) {
      Picture p = Scene{}.at(0);
      if (c.changeAll) fill(p, 0, 0, kW, kH, uint16_t(0x0841 * (i + 1)));
      toBitmap(p, bmp);
      bmp.SetPixelFormat(c.format);
      ASSERT_TRUE(out.writePicture(recorded(bmp, 0, 0, {}), 1));
    }
    std::vector<int> keys;
    const TStringList& list = out.keyFrameIndex();
    for (int i = 0; i < list.Count(); i += 2) keys.push_back(StrToInt(list[i]));
    EXPECT_EQ(keys, c.keys);
    out.abandon();
    EXPECT_FALSE(FileExists(dir.path("k.exw")));
  }
}

TEST(DirectExe, KeyFrameIntervalText) {
  const std::pair<const char*, int> cases[] = {{"", 100}, {"0", 100}, {"-3", 100}, {"abc", 100}, {"7", 7}, {" 25 ", 25}};
  for (const auto& c : cases) EXPECT_EQ(parseKeyFrameInterval(c.first), c.second) << c.first;
}

// A fake mirror client: a sequence of screens; it reports the rectangle of
// the rows that changed, or the whole screen when asked.
class FakeMirror : public MirrorFrameSource {
public:
  std::vector<Picture> screens;
  std::size_t next = 0;
  bool startOk = true, started = false, stopped = false;
  int wholeGrabs = 0;

  bool start(AnsiString& failure) override {
    started = startOk;
    if (!startOk) failure = "mirror start error";
    return startOk;
  }
  void stop() override { stopped = true; }
  int width() const override { return kW; }
  int height() const override { return kH; }
  static MirrorRegion region(const Picture& p, ExeFrameRect r) {
    MirrorRegion m;
    m.rect = r;
    const int w = r.right - r.left, h = r.bottom - r.top;
    const std::size_t stride = (std::size_t(w) * 2 + 3) & ~std::size_t(3);
    m.pixels.assign(stride * std::size_t(h), 0);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x)
        putU16(&m.pixels[std::size_t(h - 1 - y) * stride + 2 * x],
               p.px[std::size_t(r.top + y) * p.w + (r.left + x)]);
    return m;
  }
  bool grabWhole(bool, MirrorRegion& out) override {
    ++wholeGrabs;
    out = region(screens.at(next++), ExeFrameRect{0, 0, kW, kH});
    return true;
  }
  bool grabChanged(std::vector<MirrorRegion>& out) override {
    const Picture& now = screens.at(next);
    const Picture& before = screens.at(next - 1);
    ++next;
    int top = kH, bottom = 0;
    for (int y = 0; y < kH; ++y)
      for (int x = 0; x < kW; ++x)
        if (now.px[std::size_t(y) * kW + x] != before.px[std::size_t(y) * kW + x]) {
          top = std::min(top, y);
          bottom = y + 1;
        }
    if (top < bottom) out.push_back(region(now, ExeFrameRect{0, top, kW, bottom}));
    return true;
  }
};

TEST(DirectExe, MirrorPathStoresTheDriversRectangles) {
  TempDir dir;
  FakeMirror mirror;
  for (int i = 0; i < 12; ++i) mirror.screens.push_back(Scene{}.at(i < 8 ? i : 7));
  ExeOutputOptions o = options(dir, 5, 2);
  o.mirror = &mirror;
  ExeOutput out(dir.path("m.exw"), o);
  ASSERT_TRUE(out.open(header(100, true)));
  EXPECT_TRUE(out.mirrorActive());
  RecordedPicture pic;  // the mirror path captures nothing through the tick
  pic.cursor.present = true;
  pic.cursor.icon = {1, 2, 3};
  for (int i = 0; i < 12; ++i) ASSERT_TRUE(out.writePicture(pic, 1));
  ASSERT_TRUE(out.finish(true));
  EXPECT_TRUE(mirror.stopped);
  EXPECT_EQ(mirror.wholeGrabs, 3);  // frames 0, 5, 10

  const ParsedExe p = parseExe(readAll(dir.file("m.exe")));
  ASSERT_TRUE(p.ok);
  EXPECT_EQ(p.frameListText.substr(0, 8), "0\r\n160\r\n");
  expectFramesEqual(replay(p), mirror.screens, 12);
  EXPECT_TRUE(p.frames[9].updates.empty()) << "an unchanged screen has no update";

  // A driver that does not start: no recording, no file.
  FakeMirror broken;
  broken.startOk = false;
  o.mirror = &broken;
  ExeOutput none(dir.path("n.exw"), o);
  EXPECT_FALSE(none.open(header()));
  EXPECT_EQ(none.failureText(), AnsiString("mirror start error"));
  EXPECT_FALSE(FileExists(dir.path("n.exw")));
}

TEST(DirectExe, OpenRefusesWithoutAStub) {
  TempDir dir;
  ExeOutputOptions o = options(dir);
  o.stubPath = dir.path("missing.dat");
  ExeOutput out(dir.path("s.exw"), o);
  EXPECT_FALSE(out.open(header()));
  EXPECT_EQ(out.failureText().str().rfind(std::string("拷贝文件失败:"), 0), 0u);
  EXPECT_FALSE(FileExists(dir.path("s.exw")));
}

// The video advice, on hand-built EXEs: stub of 8 bytes, K, LxHeader, then
// the picture bytes, the lists, settings and trailer.
Bytes adviceFixture(int32_t k, int32_t w, int32_t h, int32_t frames, std::size_t pictureBytes,
                    int32_t soundCodec, int32_t protect) {
  Bytes b(8, 'P');
  put32(b, uint32_t(k));
  for (int32_t v : {1, w, h, frames, 5, 100, 0, 0, 1, 0}) put32(b, uint32_t(v));
  b.resize(b.size() + pictureBytes, 0);
  put32(b, 0);  // mouselist length
  put32(b, 0);  // mainframelist length
  Bytes settings(180, 0);
  for (int i = 0; i < 4; ++i) settings[84 + i] = uint8_t(uint32_t(soundCodec) >> (8 * i));
  settings[92] = 1;
  b.insert(b.end(), settings.begin(), settings.end());
  Bytes trailer(44, 0);
  for (int i = 0; i < 4; ++i) trailer[std::size_t(i)] = uint8_t(uint32_t(protect) >> (8 * i));
  trailer[20] = 8;
  trailer[24] = 8;
  trailer[28] = 8;
  std::memcpy(&trailer[32], "qorvimdvq", 9);
  b.insert(b.end(), trailer.begin(), trailer.end());
  return b;
}

TEST(DirectExe, VideoAdviceIsWeighedWithoutOverflow) {
  struct Case {
    const char* what;
    int32_t k, w, h, frames;
    std::size_t bytes;
    int32_t codec, protect;
    bool poor;
  };
  const Case cases[] = {
      // d = 4 + 40 + 1000 + 8 + 224 = 1276 bytes after the stub; x 20 vs 10x10x2x10.
      {"large pictures", 0, 10, 10, 10, 1000, 2, 0, true},
      {"small pictures", 0, 100, 100, 10, 1000, 2, 0, false},
      {"raw sound", 0, 10, 10, 10, 1000, 1, 0, false},
      {"protected", 0, 10, 10, 10, 1000, 2, 7, false},
      {"sound first", 1000, 10, 10, 10, 1000, 2, 0, false},
      // 32768 x 32768 x 2 x 2 = 2^32: zero in 32 bits, which would say "poor".
      {"long recording", 0, 32768, 32768, 2, 1000, 2, 0, false},
      // K < 0: only the bytes up to the sound count: 2000 - 8 = 1992, x 20 = 39840.
      {"sound after pictures", -2000, 10, 10, 199, 3000, 2, 0, true},
      {"sound after pictures, more frames", -2000, 10, 10, 200, 3000, 2, 0, false},
  };
  for (const Case& c : cases) {
    const Bytes b = adviceFixture(c.k, c.w, c.h, c.frames, c.bytes, c.codec, c.protect);
    SpanSource src(b);
    EXPECT_EQ(exeCompressesPoorly(src), c.poor) << c.what;
  }
}

}  // namespace
