// Unfinished recordings that the program really left, finished and
// repaired. Vidorra.exe records the moving test scene with the final
// processing deferred, which leaves an .exw (or an .avw) with its sound side
// file. The intact file is finished; copies cut off at random points (and at
// the edges of frames and inside the tail) are repaired, and every frame of
// the result must equal the same frame of the original, replayed by the
// layout-table checker (for the AVI: decoded by the platform's AVI reader),
// with the sound fitted to the frames that were kept. Damaged tails are
// refused with their messages and leave the file as it was. Windows (Wine),
// a display and the sound server are needed.
#include <gtest/gtest.h>

#include <windows.h>
#include <vfw.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "AvwFinish.h"
#include "SysUtils.h"
#include "ExwFinish.h"
#include "direct_run.h"
#include "exe_checker.h"
#include "scene_frames.h"

namespace {

using namespace directrun;
using execheck::ParsedExe;
using execheck::Picture;

struct Messages : FormatsHost {
  std::vector<std::string> said;
  void showMessage(const AnsiString& t) override { said.push_back(t.str()); }
};

AnsiString Ansi(const std::wstring& w) { return WideToCp936(w.c_str()); }

void WriteBytes(const std::wstring& path, const Bytes& b, std::size_t n) {
  FILE* f = _wfopen(path.c_str(), L"wb");
  ASSERT_NE(f, nullptr);
  fwrite(b.data(), 1, n, f);
  fclose(f);
}

int64_t FittedLength(int32_t byteRate, int64_t ms) {
  const float f = float(double(byteRate) * double(ms) * 0.001);
  const int64_t t = int64_t(f);
  return t - t % 2;
}

// The data length of the WAV packed into a finished EXE.
int64_t PackedSoundLength(const Bytes& file, const ParsedExe& p) {
  const Bytes wav = execheck::unpackSound(file, p);
  if (wav.size() < 44) return -1;
  EXPECT_EQ(get32(wav, 40), int32_t(wav.size() - 44));
  return get32(wav, 40);
}

bool ExwTailWritten(const std::wstring& path) {
  const Bytes b = readAll(path);
  static const char magic[] = "qorvimdvq";
  return b.size() > 52 && std::equal(magic, magic + 9, b.end() - 52 + 32);
}

TEST(CutRecordings, TheProgramsExwIsFinishedOrRepairedAtAnyCut) {
  ProgramFolder folder;
  const std::wstring exw = folder.work() + L"录像1.exw", wav = folder.work() + L"录像11.wav";
  const Recording r = RecordScene(folder, DirectSettings(folder, true, true), 600000, 4000,
                                  [&] { return ExwTailWritten(exw); });
  for (const auto& b : r.boxes) std::printf("message box: %s\n", b.c_str());
  for (const auto& f : r.files) std::printf("left in the working folder: %s\n", f.c_str());
  ASSERT_TRUE(r.started && r.stopped);
  ASSERT_TRUE(ExwTailWritten(exw)) << "no .exw with its tail";
  ASSERT_TRUE(Exists(wav)) << "the deferred recording lost its sound side file";
  EXPECT_FALSE(Exists(folder.work() + L"录像1.exe"));

  const std::wstring keptExw = OutPath(L"deferred.exw"), keptWav = OutPath(L"deferred1.wav");
  ASSERT_TRUE(CopyFileW(exw.c_str(), keptExw.c_str(), FALSE));
  ASSERT_TRUE(CopyFileW(wav.c_str(), keptWav.c_str(), FALSE));
  const Bytes original = readAll(keptExw);
  const Bytes sound = readAll(keptWav);
  EXPECT_EQ(get32(original, original.size() - 8), 1) << "soundRecorded";
  const ParsedExe p = execheck::parseExe(original, true);
  ASSERT_TRUE(p.ok);
  EXPECT_EQ(p.dataStart, 0);
  const int count = p.header[3];
  ASSERT_EQ(int(p.frames.size()), count);
  const std::vector<Picture> frames = execheck::replay(p);
  const std::vector<int64_t> codes = sceneframes::sceneCodes(frames);
  sceneframes::expectFramesOnTime(codes, p.header[5]);
  ASSERT_GE(count, 6);

  Messages host;
  const Bytes stub = readAll(robot::WinePath(PLAY_DAT));
  ExwRepairOptions repair;
  repair.stubPath = Ansi(robot::WinePath(PLAY_DAT));
  repair.playerSize = int64_t(stub.size());
  repair.playSettings.imageCodec = 2;
  repair.playSettings.soundCodec = 2;
  repair.playSettings.exitAtEnd = 1;
  ExwFinishOptions finishing;
  finishing.soundCodec = 2;
  finishing.clickSoundFolder = Ansi(folder.dir());

  // The intact file only needs finishing: every frame and the sound as recorded.
  {
    const std::wstring copy = OutPath(L"intact.exw"), copyWav = OutPath(L"intact1.wav");
    const std::wstring exe = OutPath(L"intact.exe");
    DeleteFileW(exe.c_str());
    WriteBytes(copy, original, original.size());
    WriteBytes(copyWav, sound, sound.size());
    EXPECT_EQ(exwNeedsRepair(Ansi(copy), host), 0);
    ASSERT_TRUE(finishExwRecording(Ansi(copy), Ansi(copyWav), finishing, host))
        << (host.said.empty() ? "" : host.said.back());
    const Bytes done = readAll(exe);
    const ParsedExe q = execheck::parseExe(done);
    ASSERT_TRUE(q.ok);
    ASSERT_EQ(q.header[3], count);
    const std::vector<Picture> again = execheck::replay(q);
    for (int n = 0; n < count; ++n) EXPECT_EQ(again[std::size_t(n)].px, frames[std::size_t(n)].px) << "frame " << n;
    EXPECT_EQ(PackedSoundLength(done, q), FittedLength(11025 * 2, int64_t(count) * 200));
    EXPECT_FALSE(Exists(copyWav)) << "the side file stays after its sound went into the EXE";
  }

  // Damaged tails of an otherwise whole file: the finishing refuses them
  // with its message and leaves the file as it was.
  const std::size_t end = original.size() - 8;
  struct Damage {
    const char* name;
    std::size_t at;  // int32 overwritten
    int32_t value;
  } damages[] = {
      {"frame list longer than the file", end - 228, 0x7FFFFF00},
      {"frame list length negative", end - 228, -5},
      {"mouse list longer than the file", end - 228 - p.frameListText.size() - 4, 0x40000000},
  };
  for (const Damage& d : damages) {
    SCOPED_TRACE(d.name);
    Bytes bad = original;
    for (int i = 0; i < 4; ++i) bad[d.at + i] = uint8_t(uint32_t(d.value) >> (8 * i));
    const std::wstring copy = OutPath(L"damaged.exw");
    WriteBytes(copy, bad, bad.size());
    host.said.clear();
    EXPECT_FALSE(finishExwRecording(Ansi(copy), AnsiString(), finishing, host));
    EXPECT_EQ(host.said, std::vector<std::string>{"failed1"});
    EXPECT_EQ(readAll(copy), bad);
    EXPECT_FALSE(Exists(OutPath(L"damaged.exe")));
  }

  // Cut copies: the edges of frames 0 and 1, inside frame 0, inside the tail,
  // and random points of the picture part.
  std::vector<std::size_t> cuts = {p.frames[0].offset + 7, p.frames[0].offset + p.frames[0].size,
                                   p.frames[1].offset + p.frames[1].size, p.frames[2].offset + 3,
                                   end - 40, end - 300};
  std::mt19937 random(20261210);
  const std::size_t framesEnd = p.frames.back().offset + p.frames.back().size;
  std::uniform_int_distribution<std::size_t> pick(p.frames[1].offset, framesEnd);
  for (int i = 0; i < 10; ++i) cuts.push_back(pick(random));
  int repaired = 0;
  for (const std::size_t cut : cuts) {
    SCOPED_TRACE("cut at " + std::to_string(cut) + " of " + std::to_string(original.size()));
    int whole = 0;  // frames of the original that end by the cut
    while (whole < count && p.frames[std::size_t(whole)].offset + p.frames[std::size_t(whole)].size <= cut) ++whole;
    const std::wstring copy = OutPath(L"cut.exw"), copyWav = OutPath(L"cut1.wav"), target = OutPath(L"cut.exe");
    DeleteFileW(target.c_str());
    WriteBytes(copy, original, cut);
    WriteBytes(copyWav, sound, sound.size());
    host.said.clear();
    EXPECT_EQ(exwNeedsRepair(Ansi(copy), host), 1);
    const AnsiString made = repairExwRecording(Ansi(copy), Ansi(copyWav), Ansi(target), repair, host);
    EXPECT_EQ(readAll(copy).size(), cut) << "the .exw itself was changed";
    // A frame that ends in the last bytes of a cut file counts as torn (a
    // whole file always has more after it): the last one or two small
    // frames may be lost. A file without a whole frame 1 cannot be rebuilt.
    const int least = whole - 2;
    if (made.IsEmpty()) {
      EXPECT_LT(least, 2) << whole << " whole frames" << (host.said.empty() ? "" : ": " + host.said.back());
      EXPECT_FALSE(Exists(target));
      continue;
    }
    const Bytes fixed = readAll(target);
    const ParsedExe q = execheck::parseExe(fixed);
    ASSERT_TRUE(q.ok);
    const int kept = q.header[3];
    EXPECT_LE(kept, whole);
    EXPECT_GE(kept, std::max(2, least));
    const std::vector<Picture> again = execheck::replay(q);
    ASSERT_EQ(int(again.size()), kept);
    for (int n = 0; n < kept; ++n)
      EXPECT_EQ(again[std::size_t(n)].px, frames[std::size_t(n)].px) << "frame " << n << " differs from the original";
    EXPECT_EQ(PackedSoundLength(fixed, q), FittedLength(11025 * 2, int64_t(kept) * 200));
    ++repaired;
  }
  std::printf("%d frames recorded; %zu cuts, %d repaired\n", count, cuts.size(), repaired);
  for (const wchar_t* name : {L"cut.exw", L"cut1.wav", L"cut.exe", L"damaged.exw", L"intact.exw", L"intact1.wav"})
    DeleteFileW(OutPath(name).c_str());
}

// A recording whose program was ended hard: the .exw stops after its last
// whole frame (or inside the next one) and has no tail. Its repair keeps the
// frames, each the scene's picture of its time, with the sound fitted.
TEST(CutRecordings, AnExwLeftByAKilledProgramIsRepaired) {
  ProgramFolder folder;
  const std::wstring exw = folder.work() + L"录像1.exw", wav = folder.work() + L"录像11.wav";
  const Recording r = RecordScene(folder, DirectSettings(folder, true, false), 600000, 3000, [] { return true; }, {},
                                  true);
  for (const auto& f : r.files) std::printf("left in the working folder: %s\n", f.c_str());
  ASSERT_TRUE(r.started);
  ASSERT_TRUE(Exists(exw));
  const bool hadSound = Exists(wav);
  EXPECT_TRUE(hadSound) << "the sound side file of the recording is gone";
  Messages host;
  EXPECT_EQ(exwNeedsRepair(Ansi(exw), host), 1);
  const Bytes stub = readAll(robot::WinePath(PLAY_DAT));
  ExwRepairOptions repair;
  repair.stubPath = Ansi(robot::WinePath(PLAY_DAT));
  repair.playerSize = int64_t(stub.size());
  repair.playSettings.imageCodec = 2;
  repair.playSettings.soundCodec = 2;
  const std::wstring target = OutPath(L"killed_repaired.exe");
  DeleteFileW(target.c_str());
  const AnsiString made =
      repairExwRecording(Ansi(exw), hadSound ? Ansi(wav) : AnsiString(), Ansi(target), repair, host);
  ASSERT_FALSE(made.IsEmpty()) << (host.said.empty() ? "" : host.said.back());
  const Bytes fixed = readAll(target);
  const ParsedExe q = execheck::parseExe(fixed);
  ASSERT_TRUE(q.ok);
  const int kept = q.header[3];
  std::printf("%d frames kept of a recording ended hard after %lu ms\n", kept, r.recordedMs);
  EXPECT_GE(kept, 8);  // three seconds at 5 a second, less Wine's start
  const std::vector<Picture> frames = execheck::replay(q);
  sceneframes::expectFramesOnTime(sceneframes::sceneCodes(frames), q.header[5]);
  if (hadSound) {
    EXPECT_EQ(PackedSoundLength(fixed, q), FittedLength(11025 * 2, int64_t(kept) * 200));
  }
}

// The frames of an AVI as the platform's reader gives them, as bytes, and
// the length of its sound stream in samples (-1 without one).
std::vector<Bytes> AviFrames(const std::wstring& path, LONG* soundSamples = nullptr) {
  std::vector<Bytes> out;
  if (soundSamples) *soundSamples = -1;
  AVIFileInit();
  PAVIFILE f = nullptr;
  if (AVIFileOpenW(&f, path.c_str(), OF_READ | OF_SHARE_DENY_WRITE, nullptr) == 0) {
    PAVISTREAM v = nullptr;
    if (AVIFileGetStream(f, &v, streamtypeVIDEO, 0) == 0) {
      const LONG length = AVIStreamLength(v);
      for (LONG i = 0; i < length; ++i) {
        LONG bytes = 0;
        AVIStreamRead(v, i, 1, nullptr, 0, &bytes, nullptr);
        Bytes b(std::size_t(std::max<LONG>(bytes, 0)));
        if (bytes > 0) AVIStreamRead(v, i, 1, b.data(), bytes, nullptr, nullptr);
        out.push_back(std::move(b));
      }
      AVIStreamRelease(v);
    }
    PAVISTREAM a = nullptr;
    if (soundSamples && AVIFileGetStream(f, &a, streamtypeAUDIO, 0) == 0) {
      *soundSamples = AVIStreamLength(a);
      AVIStreamRelease(a);
    }
    AVIFileRelease(f);
  }
  AVIFileExit();
  return out;
}

TEST(CutRecordings, TheProgramsAvwIsFinishedOrRebuiltAtAnyCut) {
  ProgramFolder folder;
  const std::wstring avw = folder.work() + L"录像1.avw", wav = folder.work() + L"录像11.wav";
  const Recording r = RecordScene(folder, DirectSettings(folder, false, true), 600000, 3000, [&] {
    const Bytes b = readAll(avw);
    return b.size() > 8 && get32(b, b.size() - 8) == 1;
  });
  for (const auto& b : r.boxes) std::printf("message box: %s\n", b.c_str());
  ASSERT_TRUE(r.started && r.stopped);
  ASSERT_TRUE(Exists(avw)) << "no .avw";
  ASSERT_TRUE(Exists(wav));
  const Bytes original = readAll(avw);
  const Bytes sound = readAll(wav);
  const std::vector<Bytes> frames = AviFrames(avw);
  ASSERT_GE(frames.size(), 5u);

  Messages host;
  // The intact file gets its sound; without a sound file it is refused with
  // the finishing's messages and stays as it was.
  {
    const std::wstring copy = OutPath(L"cut.avw"), copyWav = OutPath(L"cut1.wav"), done = OutPath(L"cut.avi");
    const std::wstring missing = OutPath(L"missing1.wav");
    struct Case {
      const char* name;
      std::wstring sound;
      std::string said;  // "" when it finishes
    } cases[] = {
        {"no sound named", L"", "wca error3,请联系作者"},
        {"sound file missing", missing, "找不到配音文件" + Ansi(missing).str() + ",请联系作者"},
        {"with its sound", copyWav, ""},
    };
    for (const Case& c : cases) {
      SCOPED_TRACE(c.name);
      DeleteFileW(done.c_str());
      WriteBytes(copy, original, original.size());
      WriteBytes(copyWav, sound, sound.size());
      host.said.clear();
      const bool ok = finishAvwRecording(Ansi(copy), Ansi(c.sound), Ansi(folder.dir()), host);
      if (!c.said.empty()) {
        EXPECT_FALSE(ok);
        EXPECT_EQ(host.said, std::vector<std::string>{c.said});
        EXPECT_EQ(readAll(copy), original);
        continue;
      }
      ASSERT_TRUE(ok) << (host.said.empty() ? "" : host.said.back());
      LONG samples = 0;
      EXPECT_EQ(AviFrames(done, &samples), frames);
      EXPECT_EQ(samples, FittedLength(11025 * 2, int64_t(frames.size()) * 200) / 2);
      EXPECT_FALSE(Exists(copy));
      EXPECT_FALSE(Exists(copyWav));
    }
  }
  // Cut inside the AVI's own header: nothing to rebuild from.
  {
    const std::wstring copy = OutPath(L"cut.avw");
    WriteBytes(copy, original, 100);
    host.said.clear();
    EXPECT_FALSE(finishAvwRecording(Ansi(copy), AnsiString(), Ansi(folder.dir()), host));
    EXPECT_EQ(host.said, std::vector<std::string>{"wca error2,请联系作者"});
    EXPECT_EQ(readAll(copy).size(), 100u);
  }

  std::mt19937 random(1210);
  std::uniform_int_distribution<std::size_t> pick(original.size() / 5, original.size() - 9);
  std::vector<std::size_t> cuts = {original.size() - 4};  // inside the tail
  for (int i = 0; i < 4; ++i) cuts.push_back(pick(random));
  for (const std::size_t cut : cuts) {
    SCOPED_TRACE("cut at " + std::to_string(cut) + " of " + std::to_string(original.size()));
    const std::wstring copy = OutPath(L"cut.avw"), copyWav = OutPath(L"cut1.wav"), done = OutPath(L"cut.avi");
    DeleteFileW(done.c_str());
    WriteBytes(copy, original, cut);
    WriteBytes(copyWav, sound, sound.size());
    host.said.clear();
    const bool ok = finishAvwRecording(Ansi(copy), Ansi(copyWav), Ansi(folder.dir()), host);
    if (!ok) {
      // Refused: said why, and the .avw is as it was.
      EXPECT_FALSE(host.said.empty());
      EXPECT_EQ(readAll(copy).size(), cut);
      continue;
    }
    LONG samples = 0;
    const std::vector<Bytes> again = AviFrames(done, &samples);
    ASSERT_GE(again.size(), 1u);
    // 16-bit mono: two bytes a sample, fitted to the frames kept.
    EXPECT_EQ(samples, FittedLength(11025 * 2, int64_t(again.size()) * 200) / 2);
    EXPECT_LE(again.size(), frames.size());
    for (std::size_t n = 0; n < again.size(); ++n) EXPECT_EQ(again[n], frames[n]) << "frame " << n;
    std::printf("cut at %zu: %zu of %zu frames\n", cut, again.size(), frames.size());
  }
  for (const wchar_t* name : {L"cut.avw", L"cut1.wav", L"cut.avi"}) DeleteFileW(OutPath(name).c_str());
}

}  // namespace
