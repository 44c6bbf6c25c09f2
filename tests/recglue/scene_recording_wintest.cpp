// Full-screen recordings of the changing test scene through the whole
// program: Vidorra.exe on a fixture set.dat (5 frames a second, sound from
// the sound server's ramp source, the cursor), started, paused, advanced by
// single frames, continued and stopped by the hot-key message as the toolbar
// sends it, with real clicks from xdotool over the scene. The .lx is read by
// the independent layout reader and frame decoder, each picture compared with
// the scene's picture for the time code it shows, and the sound side file
// checked by its RIFF fields and its samples. Windows (Wine), a display,
// xdotool and the sound server's ramp source are needed.
#include <gtest/gtest.h>

#include <windows.h>

#include "scene_recording.h"

namespace {

using namespace recglue;

class SceneRecording : public ProgramTest {};

TEST_F(SceneRecording, TenSecondsWithTwoClicksAndSound) {
  Scene scene;
  ASSERT_TRUE(scene.StartFullScreen());
  const std::size_t boxesBefore = run.boxes.size();

  const TwoClicks clicks = RecordTenSecondsWithTwoClicks(run, scene, form, folder.work() + L"录像1.lx", {512, 600},
                                                         {300, 400}, {700, 500});
  ASSERT_FALSE(run.exited);
  EXPECT_EQ(run.boxes.size(), boxesBefore) << run.boxes.back();
  CheckTenSecondRecording(folder, scene, 1, clicks, 0, 0);
  CloseProgram(run, form);
}

TEST_F(SceneRecording, PauseThreeSingleFramesAndContinue) {
  Scene scene;
  ASSERT_TRUE(scene.StartFullScreen());
  const std::size_t boxesBefore = run.boxes.size();
  const std::wstring lx = folder.work() + L"录像1.lx";
  const std::wstring wav = folder.work() + L"录像11.wav";

  ASSERT_TRUE(Command(run, form, 0, 2));
  run.Pump(3000, [] { return false; });
  const int64_t codeAtPause = scene.CodeOnScreen();
  ASSERT_TRUE(Command(run, form, 1, 3));
  // Paused: the sound server has closed the file, fitted to the pictures so far.
  const Bytes soundAtPause = readAll(wav);
  ASSERT_GE(soundAtPause.size(), 44u);
  const int32_t dataAtPause = get32(soundAtPause, 40);
  EXPECT_EQ(dataAtPause, static_cast<int32_t>(soundAtPause.size() - 44));
  run.Pump(1000, [] { return false; });  // nothing is recorded while paused

  // Three single frames, each bracketed by the codes on the screen; the
  // command is sent, so the frame is written when it returns.
  std::vector<std::pair<int64_t, int64_t>> single;
  for (int i = 0; i < 3; ++i) {
    run.Pump(700, [] { return false; });
    const int64_t before = scene.CodeOnScreen();
    DWORD_PTR r = 0;
    ASSERT_TRUE(SendMessageTimeoutW(form, WM_HOTKEY, 2, 0, SMTO_ABORTIFHUNG, 10000, &r));
    single.emplace_back(before, scene.CodeOnScreen());
  }
  EXPECT_EQ(RecorderState(form), 3);
  run.Pump(700, [] { return false; });
  const int64_t codeAtContinue = scene.CodeOnScreen();
  ASSERT_TRUE(Command(run, form, 1, 2));
  run.Pump(3000, [] { return false; });
  StopAndWait(run, form, lx);
  ASSERT_FALSE(run.exited);
  EXPECT_EQ(run.boxes.size(), boxesBefore) << run.boxes.back();

  const Bytes file = readAll(lx);
  ASSERT_TRUE(HasTrailer(file)) << "no finished .lx, " << file.size() << " bytes";
  const CheckedRecording c = CheckRecording(file, 1, scene.width(), scene.height());
  const std::size_t lines = c.lineCode.size();

  // The single frames are the only lines taken while paused, one line each,
  // one after another.
  std::size_t p = lines;
  for (std::size_t i = 0; i < lines; ++i)
    if (c.lineCode[i] >= single[0].first) {
      p = i;
      break;
    }
  ASSERT_LE(p + 3, lines) << "no frames after the pause";
  ASSERT_GE(p, 1u);
  EXPECT_LT(c.lineCode[p - 1], codeAtPause + kStepsPerFrame) << "a frame was taken while paused";
  for (int k = 0; k < 3; ++k) {
    EXPECT_GE(c.lineCode[p + k], single[k].first) << "single frame " << k;
    EXPECT_LE(c.lineCode[p + k], single[k].second) << "single frame " << k;
    EXPECT_NE(c.lineRecord[p + k], k ? c.lineRecord[p + k - 1] : c.lineRecord[p - 1]);
  }
  if (p + 3 < lines) {
    EXPECT_GT(c.lineCode[p + 3], codeAtContinue) << "a frame after the single frames was taken while paused";
    EXPECT_NE(c.lineRecord[p + 3], c.lineRecord[p + 2]);
  }
  ExpectCodesFollowInterval(c, 0, p);
  ExpectCodesFollowInterval(c, p + 3, lines);
  EXPECT_GE(p, 12u);
  EXPECT_GE(lines - p - 3, 12u);

  // At the pause the sound was fitted to the p frames before it; at the
  // continue it was padded by the three single frames before the server went
  // on recording into the same file; at the stop fitted to all frames.
  EXPECT_EQ(dataAtPause, FittedDataBytes(kByteRate, int64_t(p) * kMsPerFrame));
  const std::vector<uint16_t> samples =
      CheckSoundFile(readAll(wav), FittedDataBytes(kByteRate, int64_t(lines) * kMsPerFrame));
  const std::size_t pauseAt = std::size_t(dataAtPause) / 2;
  const std::size_t continueAt = std::size_t(FittedDataBytes(kByteRate, int64_t(p + 3) * kMsPerFrame)) / 2;
  ASSERT_GT(samples.size(), continueAt + 5512);
  EXPECT_GT(RampSamples(samples, 0, pauseAt), pauseAt * 9 / 10);
  EXPECT_LT(RampSamples(samples, pauseAt, continueAt), (continueAt - pauseAt) / 100) << "the single frames' sound";
  for (std::size_t k = pauseAt + 1; k < continueAt; ++k)
    if (samples[k] != samples[pauseAt]) {
      ADD_FAILURE() << "padding not silent at sample " << k;
      break;
    }
  // The first half second after the continue was recorded.
  EXPECT_EQ(RampSamples(samples, continueAt, continueAt + 5512), 5512u);

  CloseProgram(run, form);
}

}  // namespace
