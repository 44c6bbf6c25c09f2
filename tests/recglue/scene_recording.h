// For the program tests that record the test scene: the scene process, the
// scene's time code read off the screen at a moment of the test's choosing,
// real pointer input through xdotool, the settings of a 5-frames-a-second
// recording with sound and cursor, and the checks of a finished .lx against
// the scene: every stored picture decoded by the independent frame decoder,
// its time code read, the whole picture compared with the scene's picture
// for that code, and the index lines, cursor blocks, mouse events and sound
// file checked from the format tables. The including target defines
// SCENE_EXE beside ProgramRun.h's paths. Windows only.
#pragma once

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "ProgramRun.h"
#include "frame_image_checker.h"
#include "lx_checker.h"
#include "scene_run.h"

namespace recglue {

using namespace program;

constexpr int kFps = 5;
constexpr int kMsPerFrame = 1000 / kFps;
constexpr int kStepsPerFrame = kMsPerFrame / scene::kMsPerStep;
constexpr int kByteRate = 11025 * 2;  // 16-bit mono at 11025 Hz

inline bool HasTrailer(const Bytes& b) {
  static const char magic[] = "qorvimlxs";
  return b.size() >= 40 + 40 && std::equal(magic, magic + 9, b.end() - 12);
}

// set.dat for a recording at 5 frames a second with sound (16 bits, 11025 Hz)
// and the cursor, the working folder inside the program folder, the stop tip
// already dismissed, the main window hidden while recording (a window of
// another process may come to lie over the scene in Wine without a window
// manager, topmost or not).
inline std::vector<std::string> RecordingSettings(const ProgramFolder& folder) {
  std::vector<std::string> lines(132, "0");
  lines[0] = "1", lines[2] = "1";  // Ctrl+Shift with F5 F6 F7 F8
  lines[3] = "F5", lines[4] = "F6", lines[5] = "F7", lines[73] = "F8";
  lines[6] = "1";                    // the stop tip was dismissed
  lines[30] = "1";                   // record sound
  lines[31] = "1", lines[40] = "1";  // record the cursor
  lines[38] = Utf8(folder.work());   // working folder (ASCII)
  lines[41] = "2";                   // the main window hides while recording and picking
  lines[42] = "2", lines[43] = "2";  // 16 bits, 11025 Hz
  lines[68] = std::to_string(kFps);
  lines[61] = "SimSun";
  return lines;
}

// The sound length the fitting gives for ms of pictures: byte rate x ms x
// 0.001 as a single-precision float, truncated, rounded down to even.
inline int32_t FittedDataBytes(int32_t byteRate, int64_t ms) {
  const float t = static_cast<float>(double(byteRate) * double(ms) * 0.001);
  return static_cast<int32_t>(t) & ~1;
}

using Scene = scene::SceneWindow;

// Runs xdotool (real X pointer input) and pumps the program's boxes until it
// has finished. Wine gives no handle of a Unix process to wait on, so the
// shell leaves a file behind when xdotool is done.
inline bool Xdo(ProgramRun& run, const std::string& args) {
  static int serial = 0;
  const std::string done =
      "/tmp/vidorra-recglue-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++serial);
  std::string cmd = "Z:\\bin\\sh -c \"xdotool " + args + "; touch " + done + "\"";
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi = {};
  if (!CreateProcessA(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return false;
  CloseHandle(pi.hProcess);
  CloseHandle(pi.hThread);
  const std::string doneWin = "Z:" + done;
  bool finished = false;
  run.Pump(10000, [&] { return finished = GetFileAttributesA(doneWin.c_str()) != INVALID_FILE_ATTRIBUTES; });
  DeleteFileA(doneWin.c_str());
  return finished;
}

// A click made by the test: where on the screen, which button, and the codes
// the screen showed just before and just after it.
struct TestClick {
  int screenX, screenY, kind;
  int64_t codeAtMove, codeBefore, codeAfter;
};

// Moves the pointer, lets it rest, and clicks (button 1 left, 3 right).
inline TestClick ClickOverScene(ProgramRun& run, const Scene& scene, int x, int y, int button) {
  const int64_t atMove = scene.CodeOnScreen();
  EXPECT_TRUE(Xdo(run, "mousemove " + std::to_string(x) + " " + std::to_string(y)));
  run.Pump(300, [] { return false; });
  TestClick c{x, y, button == 1 ? 1 : 2, atMove, scene.CodeOnScreen(), -1};
  EXPECT_TRUE(Xdo(run, "click " + std::to_string(button)));
  c.codeAfter = scene.CodeOnScreen();
  EXPECT_GE(c.codeBefore, 0);
  EXPECT_GE(c.codeAfter, c.codeBefore);
  return c;
}

// Posts a recorder command as the toolbar does and waits for the state the
// outside query reports after it.
inline bool Command(ProgramRun& run, HWND form, int id, LRESULT state) {
  PostMessageW(form, WM_HOTKEY, id, 0);
  run.Pump(60000, [&] { return RecorderState(form) == state; });
  return RecorderState(form) == state;
}

// Stops and waits for the finished file.
inline void StopAndWait(ProgramRun& run, HWND form, const std::wstring& lx) {
  PostMessageW(form, WM_HOTKEY, 0, 0);
  run.Pump(120000, [&] { return RecorderState(form) == 1 && HasTrailer(readAll(lx)); });
}

// A test with Vidorra running in a program folder of its own over
// RecordingSettings; the program is ended with the test.
class ProgramTest : public ::testing::Test {
protected:
  void SetUp() override {
    folder.WriteSettings(RecordingSettings(folder));
    ASSERT_TRUE(run.Start(folder));
    ASSERT_NE(run.mainForm, nullptr) << (run.boxes.empty() ? "" : run.boxes.back());
    form = run.mainForm;
  }
  ProgramFolder folder;  // outlives the run: the program runs from it
  ProgramRun run;
  HWND form = nullptr;
};

inline void CloseProgram(ProgramRun& run, HWND form) {
  PostMessageW(form, WM_CLOSE, 0, 0);
  run.PumpUntilExit(20000);
  EXPECT_TRUE(run.exited);
  EXPECT_EQ(run.exitCode, 0u);
}

// One mouse event of the mouse list (its eight lines).
struct MouseEvent {
  int frame, x, y, kind, hotX, hotY;
};

// The finished recording as read back: the layout, and per index line the
// record it names and the time code of that record's picture.
struct CheckedRecording {
  lxcheck::ParsedLx lx;
  std::vector<std::size_t> lineRecord;
  std::vector<int64_t> lineCode;
  std::vector<MouseEvent> events;
};

// Reads the .lx and checks its structure and every picture against the
// scene's picture (the picture is the scene's window, width x height).
inline CheckedRecording CheckRecording(const Bytes& file, int captureTarget, int width, int height) {
  CheckedRecording c;
  c.lx = lxcheck::parseLx(file);
  const auto& lx = c.lx;
  EXPECT_EQ(lx.header[0], captureTarget);
  EXPECT_EQ(lx.header[1], width);
  EXPECT_EQ(lx.header[2], height);
  EXPECT_EQ(lx.header[3], static_cast<int32_t>(lx.frameLines.size())) << "frameCount is not the line count";
  EXPECT_EQ(lx.header[4], 5);  // pf16bit
  EXPECT_EQ(lx.header[5], kMsPerFrame);
  EXPECT_EQ(lx.header[6], 0);
  EXPECT_EQ(lx.header[7], 0);
  EXPECT_EQ(lx.header[8], 0);
  EXPECT_EQ(lx.header[9], 1);

  // Index lines: offsets of records, in order, each record named at least
  // once and its repeats next to each other.
  std::map<std::size_t, std::size_t> recordAt;
  for (std::size_t i = 0; i < lx.records.size(); ++i) recordAt[lx.records[i].offset] = i;
  std::vector<int> named(lx.records.size(), 0);
  for (const auto& line : lx.frameLines) {
    char* end = nullptr;
    const unsigned long at = std::strtoul(line.c_str(), &end, 10);
    const auto r = recordAt.find(at);
    if (line.empty() || *end || r == recordAt.end()) {
      ADD_FAILURE() << "index line \"" << line << "\" names no record";
      return c;
    }
    if (!c.lineRecord.empty()) EXPECT_GE(r->second, c.lineRecord.back()) << "index lines out of order";
    if (!c.lineRecord.empty() && r->second != c.lineRecord.back()) {
      EXPECT_EQ(r->second, c.lineRecord.back() + 1) << "a record between lines " << c.lineRecord.size() - 1
                                                    << " and " << c.lineRecord.size() << " has no index line";
    }
    c.lineRecord.push_back(r->second);
    ++named[r->second];
  }
  for (std::size_t i = 0; i < named.size(); ++i) EXPECT_GT(named[i], 0) << "record " << i << " has no index line";

  // Every picture: decoded, its code read, and the whole of it equal to the
  // scene's picture for that code in 5-6-5 precision.
  std::vector<int64_t> recordCode(lx.records.size(), -1);
  for (std::size_t i = 0; i < lx.records.size(); ++i) {
    const auto& r = lx.records[i];
    EXPECT_EQ(r.flag, 1) << "record " << i << " has no cursor block";
    if (r.flag == 1) {
      // An icon file image: reserved 0, type 1, at least one image.
      EXPECT_TRUE(r.icon.size() > 6 + 16 && get16(r.icon, 0) == 0 && get16(r.icon, 2) == 1 && get16(r.icon, 4) >= 1)
          << "record " << i << ": the cursor is no icon file image";
    }
    framecheck::Picture pic;
    std::string why;
    if (!framecheck::decodeFrameImage(r.image, 3, pic, why)) {
      ADD_FAILURE() << "record " << i << " does not decode: " << why;
      continue;
    }
    if (pic.width != width || pic.height != height) {
      ADD_FAILURE() << "record " << i << " is " << pic.width << " x " << pic.height;
      continue;
    }
    const int64_t code = scene::readCode([&](int x, int y) { return pic.at(x, y); });
    if (code < 0) {
      ADD_FAILURE() << "record " << i << " shows no time code";
      continue;
    }
    recordCode[i] = code;
    int wrong = 0, firstX = -1, firstY = -1;
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x)
        if (scene::quantised(pic.at(x, y)) != scene::quantised(scene::pixelAt(x, y, width, uint32_t(code)))) {
          if (!wrong++) firstX = x, firstY = y;
        }
    EXPECT_EQ(wrong, 0) << "record " << i << " (code " << code << ") differs from the scene in " << wrong
                        << " pixels, first at " << firstX << "," << firstY;
  }
  for (std::size_t rec : c.lineRecord) c.lineCode.push_back(recordCode[rec]);

  const std::vector<std::string> mouse = lxcheck::crlfLines(lx.mouseText);
  EXPECT_EQ(mouse.size() % 8, 0u) << "the mouse list is not made of eight-line events";
  for (std::size_t i = 0; i + 8 <= mouse.size(); i += 8) {
    int v[6];
    for (int k = 0; k < 6; ++k) v[k] = std::atoi(mouse[i + k].c_str());
    EXPECT_EQ(mouse[i + 6], "0");
    EXPECT_EQ(mouse[i + 7], "0");
    c.events.push_back(MouseEvent{v[0], v[1], v[2], v[3], v[4], v[5]});
  }
  return c;
}

// The time codes of a stretch of lines advance with the frame interval: a
// repeated line shows the same picture; a new record a later one, about one
// interval per line later, and the stretch as a whole keeps to the interval.
inline void ExpectCodesFollowInterval(const CheckedRecording& c, std::size_t from, std::size_t to) {
  // On the emulated Wine machine (VIDORRA_GUEST) the scene and the recorder
  // each may stall for an interval or two.
  const bool emulated = GetEnvironmentVariableA("VIDORRA_GUEST", nullptr, 0) != 0;
  const int64_t lag = emulated ? 3 * kStepsPerFrame : kStepsPerFrame * 3 / 4;
  for (std::size_t i = from + 1; i < to; ++i) {
    const int64_t d = c.lineCode[i] - c.lineCode[i - 1];
    if (c.lineRecord[i] == c.lineRecord[i - 1]) continue;
    // A picture is taken when its tick is handled: Wine's timer keeps the
    // period, the handling may lag by part of one.
    if (emulated) EXPECT_GE(d, 0) << "line " << i << " shows an earlier picture than line " << i - 1;
    else EXPECT_GT(d, 0) << "line " << i << " shows no later picture than line " << i - 1;
    EXPECT_LE(std::llabs(d - kStepsPerFrame), lag)
        << "line " << i << ": code " << c.lineCode[i] << " after " << c.lineCode[i - 1];
  }
  if (to > from + 1) {
    const int64_t span = c.lineCode[to - 1] - c.lineCode[from];
    const int64_t wanted = int64_t(to - 1 - from) * kStepsPerFrame;
    // Sound sync may add or swallow a frame where Wine's clocks part.
    EXPECT_LE(std::llabs(span - wanted), 2 * kStepsPerFrame)
        << "lines " << from << ".." << to - 1 << " span " << span << " steps for " << wanted;
  }
}

// The hot spot of the arrow, the scene's cursor, as this process finds it.
inline POINT ArrowHotSpot() {
  ICONINFO info = {};
  POINT hot = {-1, -1};
  if (GetIconInfo(LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW)), &info)) {
    hot = {static_cast<LONG>(info.xHotspot), static_cast<LONG>(info.yHotspot)};
    if (info.hbmMask) DeleteObject(info.hbmMask);
    if (info.hbmColor) DeleteObject(info.hbmColor);
  }
  return hot;
}

// The record named by the event's frame was taken after the click, the one
// before it before the click; the event's position is the click's on the
// picture with the arrow's hot spot, and the clicked frame's cursor stands on
// the click.
inline void ExpectClickRecorded(const CheckedRecording& c, const MouseEvent& e, const TestClick& click,
                                int originX, int originY) {
  EXPECT_EQ(e.x, click.screenX - originX);
  EXPECT_EQ(e.y, click.screenY - originY);
  EXPECT_EQ(e.kind, click.kind);
  const POINT hot = ArrowHotSpot();
  EXPECT_EQ(e.hotX, hot.x);
  EXPECT_EQ(e.hotY, hot.y);
  ASSERT_GE(e.frame, 1);
  ASSERT_LT(static_cast<std::size_t>(e.frame), c.lineCode.size()) << "click frame past the index";
  EXPECT_GE(c.lineCode[e.frame], click.codeBefore) << "frame " << e.frame << " was taken before the click";
  EXPECT_LE(c.lineCode[e.frame - 1], click.codeAfter + kStepsPerFrame)
      << "frame " << e.frame - 1 << " was taken after the click";
  const auto& r = c.lx.records[c.lineRecord[e.frame]];
  EXPECT_EQ(r.x, e.x - e.hotX) << "cursor of the clicked frame";
  EXPECT_EQ(r.y, e.y - e.hotY) << "cursor of the clicked frame";
}

// The sound side file: a 44-byte PCM header (16-bit mono, 11025 Hz) whose
// sizes agree with the file. Returns the samples.
inline std::vector<uint16_t> CheckSoundFile(const Bytes& sound, int32_t wantedData) {
  std::vector<uint16_t> samples;
  if (sound.size() < 44) {
    ADD_FAILURE() << "no sound side file";
    return samples;
  }
  EXPECT_EQ(std::string(sound.begin(), sound.begin() + 4), "RIFF");
  EXPECT_EQ(std::string(sound.begin() + 8, sound.begin() + 16), "WAVEfmt ");
  EXPECT_EQ(std::string(sound.begin() + 36, sound.begin() + 40), "data");
  EXPECT_EQ(get16(sound, 20), 1);   // PCM
  EXPECT_EQ(get16(sound, 22), 1);   // mono
  EXPECT_EQ(get32(sound, 24), 11025);
  EXPECT_EQ(get32(sound, 28), kByteRate);
  EXPECT_EQ(get16(sound, 34), 16);
  EXPECT_EQ(get32(sound, 4), static_cast<int32_t>(sound.size() - 8));
  EXPECT_EQ(get32(sound, 40), static_cast<int32_t>(sound.size() - 44));
  EXPECT_EQ(get32(sound, 40), wantedData) << "sound not fitted to the pictures";
  for (std::size_t i = 44; i + 1 < sound.size(); i += 2) samples.push_back(uint16_t(sound[i] | sound[i + 1] << 8));
  return samples;
}

// The sound server's ramp source writes sample k as k & 0xFFFF: samples that
// keep to it were recorded, others were padded in.
inline std::size_t RampSamples(const std::vector<uint16_t>& s, std::size_t from, std::size_t to) {
  std::size_t n = 0;
  for (std::size_t k = from; k < to && k < s.size(); ++k) n += s[k] == uint16_t(k & 0xFFFF);
  return n;
}

// About ten seconds of recording with a left click after 2.5 s and a right
// click 3 s later, both over the scene; started and stopped by the hot-key
// message. The pointer rests at `rest` before the start.
struct TwoClicks {
  POINT rest;
  TestClick left, right;
};
inline TwoClicks RecordTenSecondsWithTwoClicks(ProgramRun& run, const Scene& scene, HWND form,
                                               const std::wstring& lx, POINT rest, POINT left, POINT right) {
  TwoClicks clicks = {};
  clicks.rest = rest;
  EXPECT_TRUE(Xdo(run, "mousemove " + std::to_string(rest.x) + " " + std::to_string(rest.y)));
  if (!Command(run, form, 0, 2)) {
    ADD_FAILURE() << "the recording did not start" << (run.boxes.empty() ? "" : ": " + run.boxes.back());
    return clicks;
  }
  const DWORD started = GetTickCount();
  run.Pump(2500, [] { return false; });
  clicks.left = ClickOverScene(run, scene, left.x, left.y, 1);
  run.Pump(3000, [] { return false; });
  clicks.right = ClickOverScene(run, scene, right.x, right.y, 3);
  run.Pump(10000 - (GetTickCount() - started), [] { return false; });
  StopAndWait(run, form, lx);
  return clicks;
}

// The whole check of such a recording: layout, pictures, the time line, the
// two clicks on the picture (origin: the target's top-left corner on the
// screen) and the fitted sound.
inline void CheckTenSecondRecording(const ProgramFolder& folder, const Scene& scene, int captureTarget,
                                    const TwoClicks& clicks, int originX, int originY) {
  const Bytes file = readAll(folder.work() + L"录像1.lx");
  ASSERT_TRUE(HasTrailer(file)) << "no finished .lx, " << file.size() << " bytes";
  const CheckedRecording c = CheckRecording(file, captureTarget, scene.width(), scene.height());
  const std::size_t lines = c.lineCode.size();
  // Ten seconds at 5 a second, give or take Wine's start of the sound.
  EXPECT_GE(lines, 45u);
  EXPECT_LE(lines, 55u);
  ExpectCodesFollowInterval(c, 0, lines);

  ASSERT_EQ(c.events.size(), 2u) << c.lx.mouseText;
  // Until the pointer left its resting place every frame's cursor is the
  // arrow there, on the picture.
  const POINT hot = ArrowHotSpot();
  // The shape is asked for once a second, of the program under the pointer,
  // which first has to load the hook library: on the emulated Wine machine
  // (VIDORRA_GUEST) the asks of the first two seconds may come back empty,
  // and those leading frames say "no cursor" (-1000).
  const bool emulated = GetEnvironmentVariableA("VIDORRA_GUEST", nullptr, 0) != 0;
  const std::size_t firstAsks = 2 * 1000 / kMsPerFrame + 1;
  bool shapeArrived = !emulated;
  int resting = 0;
  for (std::size_t i = 0; i < lines; ++i) {
    if (c.lineCode[i] < 0 || c.lineCode[i] + kStepsPerFrame >= clicks.left.codeAtMove) break;
    const auto& r = c.lx.records[c.lineRecord[i]];
    if (!shapeArrived && i < firstAsks && r.x == -1000 && r.y == -1000) continue;
    shapeArrived = true;
    EXPECT_EQ(r.x, clicks.rest.x - hot.x - originX) << "cursor of line " << i;
    EXPECT_EQ(r.y, clicks.rest.y - hot.y - originY) << "cursor of line " << i;
    ++resting;
  }
  EXPECT_GE(resting, emulated ? 1 : 5);
  ExpectClickRecorded(c, c.events[0], clicks.left, originX, originY);
  ExpectClickRecorded(c, c.events[1], clicks.right, originX, originY);
  EXPECT_LT(c.events[0].frame, c.events[1].frame);

  // The sound: as long as the pictures exactly as the fitting computes it,
  // and recorded, not padded, nearly all through.
  const std::vector<uint16_t> samples = CheckSoundFile(readAll(folder.work() + L"录像11.wav"),
                                                       FittedDataBytes(kByteRate, int64_t(lines) * kMsPerFrame));
  EXPECT_GT(RampSamples(samples, 0, samples.size()), samples.size() * 9 / 10);
}

}  // namespace recglue
