// One recording through the whole program: Vidorra.exe on a fixture set.dat
// (5 frames a second, sound on, full screen, the cursor recorded) is started
// from the recording mode menu's start/stop item and stopped by the stop key
// about three seconds later;
// the .lx it leaves is read by the independent layout reader and its sound
// side file by its RIFF fields. Windows (Wine), a display and the sound
// server with its ramp source are needed.
#include <gtest/gtest.h>

#include <windows.h>

#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "scene_recording.h"

namespace {

using namespace program;
using recglue::HasTrailer;

// 5 frames a second, sound and cursor (the recordings' fixture).
class RecordingRun : public recglue::ProgramTest {};

TEST_F(RecordingRun, StartAndStopKeyLeaveAFinishedLxWithItsSound) {
  Sleep(500);
  const std::size_t boxesBefore = run.boxes.size();
  const std::wstring lx = folder.work() + L"录像1.lx";
  const std::wstring wav = folder.work() + L"录像11.wav";

  // Started as a user does, with "开始/停止(&K)" of the recording mode menu
  // (the toolbar's start button runs the same command); while recording
  // that menu is off, and the stop key stops.
  ASSERT_TRUE(ChooseMenu(form, L"录像模式/N22"));
  // A slow machine may take seconds to start; three seconds are recorded.
  run.Pump(60000, [&] { return RecorderState(form) == 2; });
  EXPECT_EQ(RecorderState(form), 2);
  EXPECT_FALSE(ChooseMenu(form, L"录像模式/N22")) << "the recording mode menu is on while recording";
  run.Pump(3000, [] { return false; });
  PostMessageW(form, WM_HOTKEY, 0, 0);
  run.Pump(120000, [&] { return HasTrailer(readAll(lx)) && RecorderState(form) == 1; });
  ASSERT_FALSE(run.exited);
  EXPECT_EQ(run.boxes.size(), boxesBefore) << run.boxes.back();

  const Bytes file = readAll(lx);
  ASSERT_TRUE(HasTrailer(file)) << "no finished .lx, " << file.size() << " bytes";
  const lxcheck::ParsedLx p = lxcheck::parseLx(file);
  EXPECT_EQ(p.header[0], 1);  // full screen
  EXPECT_EQ(p.header[1], GetSystemMetrics(SM_CXSCREEN));
  EXPECT_EQ(p.header[2], GetSystemMetrics(SM_CYSCREEN));
  EXPECT_EQ(p.header[4], 5);    // pf16bit
  EXPECT_EQ(p.header[5], 200);  // 1000 / 5
  EXPECT_EQ(p.header[9], 1);
  const int frames = static_cast<int>(p.frameLines.size());
  EXPECT_EQ(p.header[3], frames) << "frameCount not patched";
  // Three seconds at 5 a second; Wine's timer and the sound server's start
  // give or take a few.
  EXPECT_GE(frames, 10);
  EXPECT_LE(frames, 22);
  ASSERT_FALSE(p.records.empty());
  std::set<std::size_t> offsets;
  for (const auto& r : p.records) {
    offsets.insert(r.offset);
    EXPECT_EQ(r.flag, 1) << "no cursor block at " << r.offset;
  }
  ASSERT_FALSE(p.frameLines.empty());
  EXPECT_EQ(p.frameLines.front(), "40");
  std::size_t previous = 0;
  for (const auto& line : p.frameLines) {
    const std::size_t at = std::stoul(line);
    EXPECT_TRUE(offsets.count(at)) << "index line " << line << " is no record";
    EXPECT_GE(at, previous);
    previous = at;
  }

  // The sound: a 44-byte PCM header whose sizes agree with the file, and
  // samples exactly as long as the pictures (200 ms each) give or take one
  // frame, in whole samples.
  const Bytes sound = readAll(wav);
  ASSERT_GE(sound.size(), 44u) << "no sound side file";
  EXPECT_EQ(std::string(sound.begin(), sound.begin() + 4), "RIFF");
  EXPECT_EQ(std::string(sound.begin() + 8, sound.begin() + 16), "WAVEfmt ");
  EXPECT_EQ(std::string(sound.begin() + 36, sound.begin() + 40), "data");
  EXPECT_EQ(get32(sound, 4), static_cast<int32_t>(sound.size() - 8));
  const int32_t data = get32(sound, 40);
  EXPECT_EQ(data, static_cast<int32_t>(sound.size() - 44));
  const int32_t byteRate = get32(sound, 28);
  EXPECT_EQ(byteRate, 11025 * 2);
  const int64_t wanted = int64_t(byteRate) * frames * 200 / 1000;
  EXPECT_LE(std::llabs(data - wanted), int64_t(byteRate) * 200 / 1000) << data << " vs " << wanted;
  EXPECT_EQ(data % 2, 0);  // whole 16-bit mono samples
  // The ramp source was recorded, not silence padded in.
  std::set<uint8_t> values(sound.begin() + 44, sound.begin() + 44 + std::min<int32_t>(data, 4000));
  EXPECT_GT(values.size(), 16u);

  PostMessageW(form, WM_CLOSE, 0, 0);
  run.PumpUntilExit(20000);
  ASSERT_TRUE(run.exited);
  EXPECT_EQ(run.exitCode, 0u);
}

}  // namespace
