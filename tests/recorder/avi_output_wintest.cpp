// The direct AVI output and the finishing of .avw files under Wine, with
// synthetic pictures and a synthetic sound side file. Results are read back
// through AVIFile's reader (not the finisher's own scanner); the files of the
// first test are also left for check_avi.sh, which reads them with ffprobe.
#include <windows.h>
#include <vfw.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>

#include "AviOutput.h"
#include "AvwFinish.h"
#include "Graphics.h"
#include "SoundFitting.h"
#include "SysUtils.h"
#include "test_files.h"

namespace {

constexpr int kW = 40, kH = 30;
constexpr int kRate = 8000;  // 8-bit mono: one byte per sample, silence 128

// A picture that differs from every other frame in every row.
void paint(TBitmap& b, int frame) {
  for (int y = 0; y < b.Height(); ++y) {
    uint8_t* row = b.ScanLine(y);
    for (int i = 0; i < b.Stride(); ++i) row[i] = uint8_t(frame * 37 + y * 5 + i);
  }
}

Bytes bitsOf(const TBitmap& b) {
  return Bytes(b.Bits(), b.Bits() + b.Stride() * b.Height());
}

void writeWav(const std::string& path, int samples, uint8_t value = 128) {
  Bytes w;
  const char* riff = "RIFF";
  w.insert(w.end(), riff, riff + 4);
  put32(w, 36 + samples);
  const char* fmt = "WAVEfmt ";
  w.insert(w.end(), fmt, fmt + 8);
  put32(w, 16);
  put16(w, 1);
  put16(w, 1);
  put32(w, kRate);
  put32(w, kRate);
  put16(w, 1);
  put16(w, 8);
  const char* data = "data";
  w.insert(w.end(), data, data + 4);
  put32(w, samples);
  w.insert(w.end(), samples, value);
  writeAll(path, w);
}

struct Messages : FormatsHost {
  std::vector<std::string> said;
  void showMessage(const AnsiString& t) override { said.push_back(t.str()); }
};

// What AVIFile reads back from a finished file.
struct Readback {
  bool opened = false;
  DWORD scale = 0, rate = 0;
  LONG videoLength = 0;
  std::vector<Bytes> frames;  // per position; empty for a skipped one
  bool hasSound = false;
  Bytes sound;
};

Readback readBack(const std::string& path) {
  Readback r;
  AVIFileInit();
  PAVIFILE f = nullptr;
  if (AVIFileOpenA(&f, path.c_str(), OF_READ | OF_SHARE_DENY_WRITE, nullptr) == 0) {
    r.opened = true;
    PAVISTREAM v = nullptr, a = nullptr;
    if (AVIFileGetStream(f, &v, streamtypeVIDEO, 0) == 0) {
      AVISTREAMINFOA si;
      AVIStreamInfoA(v, &si, sizeof si);
      r.scale = si.dwScale;
      r.rate = si.dwRate;
      r.videoLength = AVIStreamLength(v);
      for (LONG i = 0; i < r.videoLength; ++i) {
        LONG bytes = 0;
        AVIStreamRead(v, i, 1, nullptr, 0, &bytes, nullptr);
        Bytes b(bytes);
        if (bytes > 0) AVIStreamRead(v, i, 1, b.data(), bytes, nullptr, nullptr);
        r.frames.push_back(b);
      }
      AVIStreamRelease(v);
    }
    if (AVIFileGetStream(f, &a, streamtypeAUDIO, 0) == 0) {
      r.hasSound = true;
      const LONG n = AVIStreamLength(a);
      r.sound.resize(n);
      if (n > 0) AVIStreamRead(a, 0, n, r.sound.data(), n, nullptr, nullptr);
      AVIStreamRelease(a);
    }
    AVIFileRelease(f);
  }
  AVIFileExit();
  return r;
}

bool exists(const std::string& p) { return std::filesystem::exists(p); }

// A recording as the session makes it: pictures with their frames in time,
// the sound fitted to the pictures at the stop.
struct Recording {
  int msPerFrame = 200;
  TPixelFormat format = pf24bit;
  std::vector<int> repeats;  // frames in time of each picture
  std::vector<Bytes> pictures;
  int framesInTime = 0;
};

LxHeader headerFor(const Recording& rec) {
  LxHeader h{};
  h.captureTarget = 1;
  h.width = kW;
  h.height = kH;
  h.pixelFormat = rec.format;
  h.msPerFrame = rec.msPerFrame;
  return h;
}

void record(AviOutput& out, Recording& rec, const std::string& wav) {
  ASSERT_TRUE(out.open(headerFor(rec))) << out.failureText().str();
  TBitmap b;
  b.SetSize(kW, kH);
  b.SetPixelFormat(rec.format);
  for (std::size_t i = 0; i < rec.repeats.size(); ++i) {
    paint(b, int(i));
    rec.pictures.push_back(bitsOf(b));
    RecordedPicture p;
    p.bitmap = &b;
    ASSERT_TRUE(out.writePicture(p, rec.repeats[i]));
    rec.framesInTime += rec.repeats[i];
  }
  EXPECT_EQ(out.framesInTime(), rec.framesInTime);
  writeWav(wav, kRate * rec.framesInTime * rec.msPerFrame / 1000 + 777);  // the server ran on
  fitWaveLength(AnsiString(wav), int64_t(rec.framesInTime) * rec.msPerFrame);
  out.takeSound(AnsiString(wav));
}

// The frames of a result against the pictures recorded, position by position.
void expectFrames(const Readback& r, const Recording& rec, std::size_t positions) {
  ASSERT_LE(positions, r.frames.size());
  std::size_t at = 0;
  for (std::size_t i = 0; i < rec.repeats.size() && at < positions; ++i) {
    EXPECT_EQ(r.frames[at], rec.pictures[i]) << "position " << at;
    const bool last = i + 1 == rec.repeats.size();
    for (int k = 1; k < rec.repeats[i] && at + k < positions; ++k) {
      if (last && k == rec.repeats[i] - 1)
        EXPECT_EQ(r.frames[at + k], rec.pictures[i]) << "a recording ending on owed ticks ends on its picture";
      else
        EXPECT_TRUE(r.frames[at + k].empty()) << "skipped position " << at + k;
    }
    at += rec.repeats[i];
  }
}

std::string outDir() {
#ifdef AVI_OUT_DIR
  std::filesystem::create_directories(AVI_OUT_DIR);
  return AVI_OUT_DIR;
#else
  return std::string();
#endif
}

TEST(AviOutput, FinishedAtOnceHasTheFrameRateFramesAndFittedSound) {
  struct Case {
    const char* name;
    int ms;
    TPixelFormat format;
    DWORD scale, rate;
    std::vector<int> repeats;
  };
  // The second ends on owed ticks: its video must still last as long as the
  // sound fitted to all its frames in time.
  const Case cases[] = {
      {"avi5fps.avi", 200, pf24bit, 1, 5, {1, 1, 3, 1, 2, 1, 1, 1, 1, 1, 1}},
      {"avi3fps.avi", 333, pf32bit, 333, 1000, {1, 1, 3, 1, 1, 1, 1, 1, 1, 1, 2}},
  };
  TempDir tmp;
  const std::string keep = outDir();
  std::ofstream manifest;
  if (!keep.empty()) manifest.open(keep + "/at_once.manifest", std::ios::binary);  // LF only
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Recording rec;
    rec.msPerFrame = c.ms;
    rec.format = c.format;
    rec.repeats = c.repeats;
    const std::string avi = tmp.file(c.name);
    const std::string wav = avi.substr(0, avi.size() - 4) + "1.wav";
    AviOutput out{AnsiString(avi), AviOutputOptions()};
    record(out, rec, wav);
    ASSERT_TRUE(out.finish(true)) << out.failureText().str();
    EXPECT_EQ(out.path().str(), avi);
    EXPECT_FALSE(exists(avi.substr(0, avi.size() - 1) + "w"));
    EXPECT_FALSE(exists(wav)) << "the side file goes once its sound is in the AVI";
    // 3 of 14 frames in time were repeats: over 10 percent.
    EXPECT_EQ(out.report(), AnsiString("共14帧,录制过程中丢失了3帧,已自动补帧。如果丢失比例过高,请考虑降低录制频率。"));

    const Readback r = readBack(avi);
    ASSERT_TRUE(r.opened);
    EXPECT_EQ(r.scale, c.scale);
    EXPECT_EQ(r.rate, c.rate);
    EXPECT_EQ(r.videoLength, rec.framesInTime);
    expectFrames(r, rec, rec.framesInTime);
    ASSERT_TRUE(r.hasSound);
    const std::size_t fitted = std::size_t(kRate) * rec.framesInTime * c.ms / 1000 / 2 * 2;
    EXPECT_EQ(r.sound.size(), fitted);
    if (manifest.is_open()) {
      std::filesystem::copy_file(avi, keep + "/" + c.name,
                                 std::filesystem::copy_options::overwrite_existing);
      manifest << c.name << ' ' << c.scale << '/' << c.rate << ' ' << rec.framesInTime << ' '
               << fitted << ' ' << kRate << '\n';
    }
  }
}

TEST(AviOutput, DeferredFinishLeavesAnAvwThatFinishesWithClickSounds) {
  TempDir tmp;
  // One click sound of the recording's format (8 bits, 8000 Hz): 100 loud samples.
  writeWav(tmp.file("mc1.wav"), 100, 250);
  Recording rec;
  rec.repeats.assign(20, 1);  // 4 s at 5 frames per second
  const std::string avi = tmp.file("rec.avi"), avw = tmp.file("rec.avw");
  const std::string wav = tmp.file("rec1.wav");
  AviOutputOptions options;
  options.clickSoundsPending = true;
  AviOutput out(AnsiString(avi), options);
  record(out, rec, wav);
  TStringList clicks;
  // Frame 12 at 5 frames per second is 2.4 s: the click goes in at second 2.
  appendClickEvent(clicks, {12, 5, 5, 1, 0, 0});
  out.takeClicks(clicks);
  ASSERT_TRUE(out.finish(false));
  EXPECT_EQ(out.path().str(), avw);
  ASSERT_TRUE(exists(avw));
  EXPECT_FALSE(exists(avi));
  ASSERT_TRUE(exists(wav));
  const Bytes tail = readAll(avw);
  EXPECT_EQ(get32(tail, tail.size() - 8), 1);
  EXPECT_EQ(get32(tail, tail.size() - 4), 1);
  EXPECT_EQ(get32(tail, tail.size() - 12), clicks.Text().Length());

  Messages host;
  ASSERT_TRUE(finishAvwRecording(AnsiString(avw), AnsiString(wav), tmp.path(""), host));
  EXPECT_TRUE(host.said.empty());
  EXPECT_FALSE(exists(avw));
  EXPECT_FALSE(exists(wav));
  const Readback r = readBack(avi);
  ASSERT_TRUE(r.opened);
  EXPECT_EQ(r.videoLength, 20);
  expectFrames(r, rec, 20);
  ASSERT_EQ(r.sound.size(), std::size_t(4 * kRate));
  for (std::size_t i = 0; i < r.sound.size(); ++i) {
    const bool inClick = i >= 2 * kRate && i < 2 * kRate + 100;
    if ((r.sound[i] != 128) != inClick) {
      ADD_FAILURE() << "sample " << i << " is " << int(r.sound[i]);
      break;
    }
  }
}

// A deferred recording cut off at many points: each copy is either finished
// into an AVI whose frames are the original's first frames, or refused with a
// message, and a refused one is left exactly as it was.
TEST(AvwFinish, CutOffCopiesAreRebuiltFromTheirWholeFramesOrRefused) {
  TempDir tmp;
  Recording rec;
  rec.repeats = {1, 2, 1, 1, 1, 3, 1, 1, 1, 1, 1, 1};
  const std::string avw = tmp.file("orig.avw"), wav = tmp.file("orig1.wav");
  AviOutput out{tmp.path("orig.avi"), AviOutputOptions()};
  record(out, rec, wav);
  ASSERT_TRUE(out.finish(false));
  const Bytes whole = readAll(avw), sound = readAll(wav);

  std::vector<std::size_t> cuts = {whole.size(), whole.size() - 4, whole.size() - 8, 0, 11, 100,
                                   300, 2048, 2060};
  std::mt19937 random(20261210);
  for (int i = 0; i < 30; ++i) cuts.push_back(random() % whole.size());
  const std::vector<std::string> refusals = {"wca error2,请联系作者", "wca error4"};
  int rebuilt = 0, refused = 0;
  LONG longest = 0;
  const std::string keep = outDir();
  for (std::size_t cut : cuts) {
    SCOPED_TRACE("cut at " + std::to_string(cut));
    const std::string name = "cut" + std::to_string(cut);
    const std::string copy = tmp.file(name + ".avw"), copyWav = tmp.file(name + "1.wav");
    const Bytes part(whole.begin(), whole.begin() + cut);
    writeAll(copy, part);
    writeAll(copyWav, sound);
    Messages host;
    if (finishAvwRecording(AnsiString(copy), AnsiString(copyWav), tmp.path(""), host)) {
      ++rebuilt;
      EXPECT_TRUE(host.said.empty());
      const Readback r = readBack(tmp.file(name + ".avi"));
      ASSERT_TRUE(r.opened);
      ASSERT_GT(r.videoLength, 0);
      EXPECT_LE(r.videoLength, rec.framesInTime);
      expectFrames(r, rec, std::size_t(r.videoLength));
      ASSERT_TRUE(r.hasSound);
      EXPECT_FALSE(exists(copy));
      // A rebuilt file ends where its pictures end; the longest one goes to ffprobe too.
      const std::size_t fitted = std::size_t(kRate) * r.videoLength * rec.msPerFrame / 1000 / 2 * 2;
      if (cut < whole.size() - 8) EXPECT_EQ(r.sound.size(), fitted);
      if (cut < whole.size() - 8 && r.videoLength > longest) {
        longest = r.videoLength;
        if (!keep.empty()) {
          std::filesystem::copy_file(tmp.file(name + ".avi"), keep + "/rebuilt.avi",
                                     std::filesystem::copy_options::overwrite_existing);
          std::ofstream(keep + "/rebuilt.manifest", std::ios::binary)
              << "rebuilt.avi " << r.scale << '/' << r.rate << ' ' << r.videoLength << ' ' << fitted
              << ' ' << kRate << '\n';
        }
      }
    } else {
      ++refused;
      ASSERT_EQ(host.said.size(), 1u);
      EXPECT_NE(std::find(refusals.begin(), refusals.end(), host.said[0]), refusals.end())
          << host.said[0];
      EXPECT_EQ(readAll(copy), part);
      EXPECT_EQ(readAll(copyWav), sound);
      EXPECT_FALSE(exists(tmp.file(name + ".avi")));
    }
  }
  EXPECT_GT(rebuilt, 0);
  EXPECT_GT(refused, 0);
}

}  // namespace
