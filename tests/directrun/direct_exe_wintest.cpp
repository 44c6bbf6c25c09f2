// Direct EXE recordings end to end. Vidorra.exe records the running test
// scene straight into a self-playing EXE; the file is read by the checker
// written from the container's layout tables (tests/checkers/exe_checker.h):
// every frame, replayed from the key frames and the changed rectangles, must
// be the scene's whole picture for the time code it shows, and that code
// must be the frame's own time within one frame interval; frames of the
// frozen scene cost only their cursor block and end marker; the sound at the
// end unpacks to exactly the length fitted to the frames. The recording has
// the date and time drawn into every frame (a box in its own colours at the
// top right whose text moves on with the clock) and a custom caption that
// the start placed at the bottom-right corner. Then the same EXE
// runs through its player stub with "nowav": "LXPLAYFF" is set, and a
// screenshot taken half-way shows a recorded frame of about that time
// (saved as a PNG under the build tree). The player part is also run over an
// EXE that the output wrote from the scene's pictures directly, without the
// program. A second recording has MP3 sound (packing 5, through our encoder
// driver, installed for the run) with click sounds over recorded silence:
// the EXE replays, its sound block holds the two formats, the seek index and
// the MP3 frames, it unpacks through the system's decoder, and the MP3 is
// left for check_direct_mp3.sh, where ffmpeg decodes it to the fitted length
// with a click at the start of each clicked second. Windows (Wine), a display
// and the sound server are needed.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cmath>
#include <set>
#include <string>
#include <vector>

#include "ByteSource.h"
#include "ExeOutput.h"
#include "Graphics.h"
#include "Mp3DriverInstall.h"
#include "SoundPackingAcm.h"
#include "direct_run.h"
#include "exe_checker.h"
#include "scene_frames.h"

namespace {

using namespace directrun;
using execheck::ParsedExe;
using execheck::Picture;
using sceneframes::Box;

// Plays the recording with "nowav", shoots the screen half-way and checks
// that it shows a recorded frame near that time, cursor boxes and the boxes
// drawn into the frames left out; the shot is saved as png. Gives the frame
// found (-1 when none).
int PlayAndShoot(const std::wstring& exe, const ParsedExe& p, const std::vector<Picture>& frames,
                 const std::vector<int64_t>& codes, const std::wstring& png, const std::vector<Box>& drawn = {}) {
  const int ms = p.header[5], count = int(frames.size());
  // The player's clock starts somewhere between its launch and the moment
  // we see it started: on a slow machine that can be a second or more.
  const DWORD launched = GetTickCount();
  PlayerRun run(exe, L"nowav");
  EXPECT_TRUE(run.waitStarted(15000)) << "\"nowav\" did not set LXPLAYFF";
  const DWORD t0 = GetTickCount();
  HWND w = run.window(5000);
  if (!w) {
    ADD_FAILURE() << "no player window";
    return -1;
  }
  // The picture sits centred in the client area when it is smaller.
  RECT c;
  GetClientRect(w, &c);
  POINT origin = {c.right > p.header[1] ? (c.right - p.header[1]) / 2 : 0,
                  c.bottom > p.header[2] ? (c.bottom - p.header[2]) / 2 : 0};
  ClientToScreen(w, &origin);
  const int half = count / 2;
  const DWORD due = t0 + DWORD(half * ms + ms / 2);
  if (int(due - GetTickCount()) > 0) Sleep(due - GetTickCount());
  const DWORD shot = GetTickCount();
  const int atFrame = int((shot - t0) / DWORD(ms)), atLatest = int((shot - launched) / DWORD(ms));
  std::vector<uint32_t> rgb;
  const int sw = GetSystemMetrics(SM_CXSCREEN), sh = GetSystemMetrics(SM_CYSCREEN);
  const Picture screen = sceneframes::grabScreen(0, 0, sw, sh, &rgb);
  EXPECT_TRUE(sceneframes::savePng(png, sw, sh, rgb));
  const Picture shown = sceneframes::grabScreen(origin.x, origin.y, p.header[1], p.header[2]);

  const int64_t code = sceneframes::codeOf(shown);
  int found = -1;
  for (int k = 0; k < count; ++k)
    if (codes[std::size_t(k)] == code && (found < 0 || std::abs(k - atFrame) < std::abs(found - atFrame))) found = k;
  EXPECT_GE(found, 0) << "the player shows code " << code << ", which no recorded frame has";
  if (found >= 0) {
    // Under Wine the player's clock and ours start a little apart.
    EXPECT_TRUE(found >= atFrame - 3 && found <= atLatest + 3)
        << "frame " << found << " shown at the time of frames " << atFrame << " to " << atLatest;
    std::vector<Box> cursors = drawn;
    if (p.header[9] == 1)
      for (const auto& f : p.frames) cursors.push_back(Box{f.cursorX, f.cursorY, f.cursorX + 48, f.cursorY + 48});
    std::string first;
    EXPECT_EQ(sceneframes::differences(shown, uint32_t(code), &first, cursors), 0)
        << "the screen differs from frame " << found << ": " << first;
  }
  EXPECT_EQ(run.waitExit(DWORD(count * ms + 15000)), 0) << "the player did not end at the end";
  return found;
}

// The scene's picture for a code as a 16-bit bitmap.
void ScenePicture(TBitmap& b, int w, int h, uint32_t code) {
  b.SetPixelFormat(pf16bit);
  b.SetSize(w, h);
  for (int y = 0; y < h; ++y) {
    uint8_t* line = b.ScanLine(y);
    for (int x = 0; x < w; ++x) {
      const uint32_t c = scene::pixelAt(x, y, w, code);
      const uint16_t v = framecheck::to565(c);
      line[2 * x] = uint8_t(v);
      line[2 * x + 1] = uint8_t(v >> 8);
    }
  }
}

// Without the program: the output writes the scene's pictures (a step of
// 100 ms a frame, frozen for the last ten) in each lossless image codec, the
// checker replays them, and the player shows them.
TEST(DirectExeScene, OutputOfTheScenePicturesReplaysAndPlays) {
  const int w = 640, h = 200, ms = 100, count = 30, stillFrom = 20;
  for (int codec : {1, 2, 3}) {
    SCOPED_TRACE("image codec " + std::to_string(codec));
    const std::wstring name = L"scene_output_" + std::to_wstring(codec);
    const std::wstring exw = OutPath(name + L".exw"), exe = OutPath(name + L".exe");
    DeleteFileW(exe.c_str());
    ExeOutputOptions o;
    o.stubPath = AnsiString(Utf8(robot::WinePath(PLAY_DAT)).c_str());
    o.playSettings.imageCodec = codec;
    o.playSettings.soundCodec = 2;
    o.playSettings.fullScreen = 1;
    o.playSettings.exitAtEnd = 1;
    o.keyFrameInterval = 100;
    ExeOutput out(AnsiString(Utf8(exw).c_str()), o);
    LxHeader head{};
    head.captureTarget = 3;
    head.width = w;
    head.height = h;
    head.pixelFormat = pf16bit;
    head.msPerFrame = ms;
    head.hasCursor = 0;
    ASSERT_TRUE(out.open(head)) << out.failureText().c_str();
    std::vector<int64_t> want;
    TBitmap bmp;
    for (int n = 0; n < count; ++n) {
      const uint32_t code = uint32_t(500 + std::min(n, stillFrom) * ms / scene::kMsPerStep);
      want.push_back(code);
      ScenePicture(bmp, w, h, code);
      RecordedPicture r;
      r.bitmap = &bmp;
      ASSERT_TRUE(out.writePicture(r, 1)) << n;
    }
    ASSERT_TRUE(out.finish(true)) << out.failureText().c_str();

    const Bytes file = readAll(exe);
    const ParsedExe p = execheck::parseExe(file);
    ASSERT_TRUE(p.ok);
    ASSERT_EQ(p.header[3], count);
    EXPECT_EQ(p.imageCodec, codec);
    const std::vector<Picture> frames = execheck::replay(p);
    const std::vector<int64_t> codes = sceneframes::sceneCodes(frames);
    EXPECT_EQ(codes, want);
    for (int n = stillFrom + 1; n < count; ++n)
      EXPECT_EQ(p.frames[std::size_t(n)].size, 4u) << "still frame " << n << " is more than its end marker";
    PlayAndShoot(exe, p, frames, codes, OutPath(name + L"_midway.png"));
  }
}

constexpr int kStillAfterMs = 3000;

// The fitted length of a side file (sound fitting): byte rate x ms x 0.001
// in single precision, truncated, down to an even number.
int64_t FittedLength(int32_t byteRate, int64_t ms) {
  const float f = float(double(byteRate) * double(ms) * 0.001);
  int64_t t = int64_t(f);
  return t - t % 2;
}

// The date/time caption's colours (TColor, 0x00BBGGRR): a green box with
// blue text, neither of which the scene shows where the box goes.
constexpr uint32_t kTimeBack = 0x00FF00, kTimeInk = 0xFF0000;
constexpr int kInfoMarginX = 30, kInfoMarginY = 20;

// The box the date/time caption fills at the top right of a frame, found as
// the run of its background colour down the right column and along the
// box's last row (the text keeps off both); an empty box when the corner is
// not that colour.
Box TimeCaptionBox(const Picture& f) {
  const uint16_t back = framecheck::to565(0x00FF00);  // kTimeBack (green reads the same as 0xRRGGBB)
  auto at = [&](int x, int y) { return f.px[std::size_t(y) * f.w + x]; };
  Box b{f.w, 0, f.w, 0};
  while (b.bottom < f.h && at(f.w - 1, b.bottom) == back) ++b.bottom;
  if (b.bottom == 0) return Box{0, 0, 0, 0};
  while (b.left > 0 && at(b.left - 1, b.bottom - 1) == back) --b.left;
  return b;
}

TEST(DirectExeProgram, RecordsTheSceneIntoAnExeThatReplaysAndPlays) {
  ProgramFolder folder;
  const std::wstring exe = folder.work() + L"录像1.exe", exw = folder.work() + L"录像1.exw";
  const std::wstring wav = folder.work() + L"录像11.wav";
  std::vector<std::string> settings = DirectSettings(folder, true, false);
  settings[124] = "1";                             // "在每帧上显示时间"
  settings[112] = "3";                             // at the top right
  settings[115] = "0";                             // in a box, not transparent
  settings[116] = std::to_string(kTimeBack);       // its background
  settings[117] = "12";                            // its font: size,
  settings[118] = std::to_string(kTimeInk);        // colour
  settings[119] = "SimSun";                        // and name
  settings[35] = "1";                              // "自设信息"
  settings[9] = "Vidorra";                         // its text, in the bottom-right corner
  settings[7] = std::to_string(4 << 24 | kInfoMarginX << 16);
  settings[8] = std::to_string(4 << 24 | kInfoMarginY << 16);
  // About 2.5 s of a moving scene, then 2.5 s of a still one.
  // A click half-way: the frame that holds it shows the cursor on the click.
  const POINT click = {300, 200};
  const Recording r = RecordScene(folder, settings, kStillAfterMs, 5000, [&] { return Exists(exe); }, {click});
  for (const auto& b : r.boxes) std::printf("message box: %s\n", b.c_str());
  for (const auto& f : r.files) std::printf("left in the working folder: %s\n", f.c_str());
  ASSERT_TRUE(r.started) << "the recording did not start";
  ASSERT_TRUE(r.stopped);
  ASSERT_TRUE(Exists(exe)) << "no finished EXE";
  EXPECT_FALSE(Exists(exw)) << "the unfinished name is left";
  EXPECT_FALSE(Exists(wav)) << "the side file stays after its sound went into the EXE";
  const Bytes file = readAll(exe);
  const std::wstring kept = OutPath(L"program_recording.exe");
  CopyFileW(exe.c_str(), kept.c_str(), FALSE);

  const Bytes stub = readAll(robot::WinePath(PLAY_DAT));
  ASSERT_GT(file.size(), stub.size());
  EXPECT_TRUE(std::equal(stub.begin(), stub.end(), file.begin())) << "the player stub is not at the front";
  const ParsedExe p = execheck::parseExe(file);
  ASSERT_TRUE(p.ok);
  EXPECT_EQ(p.stub, stub.size());
  EXPECT_EQ(p.header[0], 1);  // full screen
  EXPECT_EQ(p.header[1], GetSystemMetrics(SM_CXSCREEN));
  EXPECT_EQ(p.header[2], GetSystemMetrics(SM_CYSCREEN));
  EXPECT_EQ(p.header[5], 200);
  EXPECT_EQ(p.header[8], 0);  // soundSource: the recorder writes 0 (read as live)
  EXPECT_EQ(p.header[9], 1);
  // The custom caption: its text, and the position the start worked out for
  // the bottom-right corner of this picture from its margins and the text's
  // extent (a few dozen pixels wide, one line high).
  {
    Bytes cap = p.caption;
    for (int i = 0; i < 40; ++i) cap[std::size_t(i)] ^= uint8_t(100 - 4 * i);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(cap.data())), "Vidorra");
    const int x = get32(cap, 40), y = get32(cap, 44);
    const int w = p.header[1] - kInfoMarginX - x, h = p.header[2] - kInfoMarginY - y;
    EXPECT_TRUE(w >= 20 && w <= 200) << "caption at x " << x << ": text " << w << " pixels wide";
    EXPECT_TRUE(h >= 8 && h <= 40) << "caption at y " << y << ": text " << h << " pixels high";
  }
  EXPECT_EQ(p.imageCodec, 2);
  EXPECT_EQ(p.soundCodec, 2);
  const int count = p.header[3];
  ASSERT_EQ(int(p.frames.size()), count);
  // Five seconds at 5 a second; Wine's timer and the sound server's start
  // give or take a few.
  EXPECT_GE(count, 18);
  EXPECT_LE(count, 30);

  const std::vector<Picture> frames = execheck::replay(p);
  ASSERT_FALSE(frames.empty());
  // The date and time: a box of one size in every frame, at the top right,
  // holding text in its ink; the text of the last frame, five seconds on,
  // is another than the first's. Outside the box each frame is the scene.
  const Box timeBox = TimeCaptionBox(frames[0]);
  const int boxW = timeBox.right - timeBox.left, boxH = timeBox.bottom - timeBox.top;
  EXPECT_TRUE(boxW >= 60 && boxW <= 400 && boxH >= 8 && boxH <= 40)
      << "no date/time box at the top right: " << boxW << " x " << boxH;
  auto boxPixels = [&](const Picture& f) {
    std::vector<uint16_t> px;
    for (int y = timeBox.top; y < timeBox.bottom; ++y)
      for (int x = timeBox.left; x < timeBox.right; ++x) px.push_back(f.px[std::size_t(y) * f.w + x]);
    return px;
  };
  const uint16_t ink = framecheck::to565(0x0000FF);  // kTimeInk as 0xRRGGBB
  for (std::size_t n = 0; n < frames.size(); ++n) {
    const Box b = TimeCaptionBox(frames[n]);
    EXPECT_TRUE(b.left == timeBox.left && b.bottom == timeBox.bottom) << "frame " << n << "'s box moved";
    const auto px = boxPixels(frames[n]);
    EXPECT_GE(std::count(px.begin(), px.end(), ink), 20) << "frame " << n << "'s box holds no text";
  }
  EXPECT_NE(boxPixels(frames.front()), boxPixels(frames.back())) << "the clock stood still for five seconds";
  const std::vector<int64_t> codes = sceneframes::sceneCodes(frames, {timeBox});
  // The last frames show the frozen scene.
  const int64_t late = sceneframes::expectFramesOnTime(codes, 200, codes.back());
  std::printf("%d frames; codes %lld .. %lld; largest distance from the frame's time %lld ms\n", count,
              (long long)codes.front(), (long long)codes.back(), (long long)late);

  // Key frames: frame 0 at 160, each listed one a whole picture with its icon.
  const auto keys = execheck::lines(p.frameListText);
  ASSERT_GE(keys.size(), 2u);
  EXPECT_EQ(keys[0], "0");
  EXPECT_EQ(keys[1], "160");
  std::set<int> keyFrames;
  for (std::size_t i = 0; i + 1 < keys.size(); i += 2) {
    const int n = std::stoi(keys[i]);
    keyFrames.insert(n);
    ASSERT_LT(n, count);
    const auto& f = p.frames[std::size_t(n)];
    EXPECT_EQ(std::to_string(f.offset - p.pictures), keys[i + 1]);
    EXPECT_GT(f.iconLength, 0) << "key frame " << n << " without the cursor's icon";
  }
  EXPECT_GT(p.frames[0].iconLength, 0);

  // The click: one event of eight lines (frame, x, y, kind, hot spot, 0, 0)
  // in the mouse list, and its frame's cursor moved onto it.
  ICONINFO arrow = {};
  GetIconInfo(LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW)), &arrow);
  if (arrow.hbmMask) DeleteObject(arrow.hbmMask);
  if (arrow.hbmColor) DeleteObject(arrow.hbmColor);
  const auto mouse = execheck::lines(p.mouseText);
  ASSERT_EQ(mouse.size(), 8u) << p.mouseText;
  const int clicked = std::stoi(mouse[0]);
  EXPECT_EQ(mouse[1], std::to_string(click.x));
  EXPECT_EQ(mouse[2], std::to_string(click.y));
  EXPECT_EQ(mouse[3], "1");
  EXPECT_EQ(mouse[4], std::to_string(arrow.xHotspot));
  EXPECT_EQ(mouse[5], std::to_string(arrow.yHotspot));
  ASSERT_GE(clicked, 0);
  ASSERT_LT(clicked, count);
  EXPECT_EQ(p.frames[std::size_t(clicked)].cursorX, click.x - int(arrow.xHotspot));
  EXPECT_EQ(p.frames[std::size_t(clicked)].cursorY, click.y - int(arrow.yHotspot));
  EXPECT_NEAR(clicked, count / 2, 4) << "the click came half-way";

  // The frozen scene: every frame that repeats its predecessor is its cursor
  // block without icon (12 bytes) and the end marker, nothing else.
  int still = 0, moving = 0;
  std::size_t movingBytes = 0;
  for (int n = 1; n < count; ++n) {
    const auto& f = p.frames[std::size_t(n)];
    if (frames[std::size_t(n)].px == frames[std::size_t(n - 1)].px) {
      ++still;
      EXPECT_EQ(f.size, 16u) << "still frame " << n;
      EXPECT_TRUE(f.updates.empty()) << "still frame " << n;
      EXPECT_EQ(keyFrames.count(n), 0u) << "still frame " << n << " made a key frame";
    } else {
      ++moving;
      movingBytes += f.size;
    }
  }
  std::printf("%d still frames of 16 bytes; %d moving frames of %zu bytes on average\n", still, moving,
              moving ? movingBytes / std::size_t(moving) : 0);
  EXPECT_GE(still, 5) << "the scene froze after 3 s; the recording ran 5 s";
  EXPECT_GE(moving, 5);

  // The sound: behind the pictures, a 44-byte PCM header whose sizes agree,
  // exactly as long as the frames, recorded (the ramp) rather than padded.
  const Bytes sound = execheck::unpackSound(file, p);
  EXPECT_GE(sound.size(), 44u);
  if (sound.size() >= 44) {
    EXPECT_EQ(std::string(sound.begin(), sound.begin() + 4), "RIFF");
    EXPECT_EQ(std::string(sound.begin() + 8, sound.begin() + 16), "WAVEfmt ");
    EXPECT_EQ(get32(sound, 4), int32_t(sound.size() - 8));
    EXPECT_EQ(get32(sound, 40), int32_t(sound.size() - 44));
    EXPECT_EQ(get32(sound, 28), 11025 * 2);
    EXPECT_EQ(get32(sound, 40), FittedLength(11025 * 2, int64_t(count) * 200)) << count << " frames";
    std::set<uint8_t> values(sound.begin() + 44, sound.begin() + std::min<std::size_t>(sound.size(), 4044));
    EXPECT_GT(values.size(), 16u) << "silence, not the recorded ramp";
  }

  const int shown = PlayAndShoot(kept, p, frames, codes, OutPath(L"program_recording_midway.png"), {timeBox});
  std::printf("half-way the player showed frame %d of %d; screenshot %s\n", shown, count,
              Utf8(OutPath(L"program_recording_midway.png")).c_str());
}

// The MP3 block of an EXE by its layout: the PCM format that was coded (18
// bytes), the coded format (18), the seek index (framesPerEntry, count and
// count + 1 offsets into the data), dataLength and the MP3 frames.
struct Mp3Block {
  Bytes pcm, coded, mp3;
  int32_t framesPerEntry = 0;
  std::vector<int32_t> offsets;
  bool ok = false;
};

Mp3Block Mp3BlockOf(const Bytes& file, const ParsedExe& p) {
  Mp3Block b;
  std::size_t at = p.soundStart;
  const std::size_t end = p.soundEnd;
  if (end > file.size() || end < at || end - at < 36 + 12) return b;
  b.pcm = execheck::slice(file, at, 18);
  b.coded = execheck::slice(file, at + 18, 18);
  at += 36;
  b.framesPerEntry = get32(file, at);
  const int32_t count = get32(file, at + 4);
  at += 8;
  if (count < 0 || std::size_t(count) + 1 > (end - at) / 4) return b;
  for (int32_t i = 0; i <= count; ++i, at += 4) b.offsets.push_back(get32(file, at));
  if (end - at < 4) return b;
  const int32_t n = get32(file, at);
  at += 4;
  if (n < 0 || std::size_t(n) != end - at) return b;
  b.mp3 = execheck::slice(file, at, std::size_t(n));
  b.ok = true;
  return b;
}

// Takes out what the test put in and leaves the codec as it was, whatever way
// it ends.
struct Mp3Run {
  Mp3Run() {
    wchar_t was[64] = {};
    if (GetEnvironmentVariableW(zorbel::kSourceVariable, was, 64) < 64) source = was;
    SetEnvironmentVariableW(zorbel::kSourceVariable, L"silence");
    installed = mp3driver::install(MP3ACM_PATH);
  }
  ~Mp3Run() {
    SetEnvironmentVariableW(zorbel::kSourceVariable, source.empty() ? nullptr : source.c_str());
  }
  mp3driver::KeepState keep{MP3ACM_PATH};
  bool installed = false;
  std::wstring source;
};

TEST(DirectExeProgram, RecordsMp3SoundWithAClickAtEachClickedSecond) {
  // The sound server records silence here (it inherits the program's
  // environment), so the clicks are all there is to hear.
  Mp3Run setup;
  ASSERT_TRUE(setup.installed) << "the MP3 encoder driver did not install";
  ProgramFolder folder;
  const std::wstring exe = folder.work() + L"录像1.exe";
  std::vector<std::string> settings = DirectSettings(folder, true, false);
  settings[27] = "5";  // MP3 sound
  settings[66] = "1";  // a click sound at every click
  const std::vector<POINT> clicks = {{200, 150}, {420, 330}};
  int offered = 0;
  const Recording r = RecordScene(folder, settings, kStillAfterMs, 6000, [&] {
    // The stop asks for the bit rate: the last (highest) one.
    HWND d = FindWindowW(nullptr, L"选择流式声音比特率");
    if (!offered && d && IsWindowVisible(d)) {
      HWND list = ControlNamed(d, L"ListBox1");
      offered = int(SendMessageW(list, LB_GETCOUNT, 0, 0));
      SendMessageW(list, LB_SETCURSEL, WPARAM(offered - 1), 0);
      PostMessageW(ControlNamed(d, L"Button2"), BM_CLICK, 0, 0);
    }
    return Exists(exe);
  }, clicks);
  for (const auto& b : r.boxes) std::printf("message box: %s\n", b.c_str());
  for (const auto& f : r.files) std::printf("left in the working folder: %s\n", f.c_str());
  ASSERT_TRUE(r.started) << "the recording did not start";
  ASSERT_TRUE(r.stopped);
  EXPECT_GT(offered, 0) << "no bit rate was offered";
  ASSERT_TRUE(Exists(exe)) << "no finished EXE";
  EXPECT_TRUE(r.boxes.empty()) << "the program said: " << r.boxes.front();

  const Bytes file = readAll(exe);
  const ParsedExe p = execheck::parseExe(file);
  ASSERT_TRUE(p.ok);
  EXPECT_EQ(p.soundCodec, 5);
  const int count = p.header[3];
  ASSERT_EQ(int(p.frames.size()), count);
  EXPECT_GE(count, 22);
  EXPECT_LE(count, 36);
  // Every frame replays to a whole picture of the scene, in the scene's
  // order (the timing is the first recording's business).
  const std::vector<int64_t> codes = sceneframes::sceneCodes(execheck::replay(p));
  EXPECT_TRUE(std::is_sorted(codes.begin(), codes.end()));

  // Two clicks of eight lines each; a click sounds at its frame's second.
  const auto mouse = execheck::lines(p.mouseText);
  ASSERT_EQ(mouse.size(), 16u) << p.mouseText;
  std::vector<int> seconds;
  for (std::size_t i = 0; i < mouse.size(); i += 8) seconds.push_back(std::stoi(mouse[i]) * 200 / 1000);
  EXPECT_LT(seconds[0], seconds[1]) << "the clicks came two seconds apart";

  const Mp3Block b = Mp3BlockOf(file, p);
  ASSERT_TRUE(b.ok) << "the sound block does not follow its layout";
  EXPECT_EQ(get16(b.pcm, 0), 1);
  EXPECT_EQ(get16(b.pcm, 2), 1);
  EXPECT_EQ(get32(b.pcm, 4), 11025);
  EXPECT_EQ(get16(b.pcm, 14), 16);
  EXPECT_EQ(get16(b.coded, 0), 85);
  EXPECT_EQ(get16(b.coded, 2), 1);
  EXPECT_EQ(get32(b.coded, 4), 11025);
  ASSERT_GE(b.offsets.size(), 2u);
  EXPECT_EQ(b.offsets.front(), 0);
  EXPECT_EQ(b.offsets.back(), int32_t(b.mp3.size()));
  EXPECT_GT(b.framesPerEntry, 0);

  // Unpacked through the system's decoder: a WAV of the recorded format,
  // the fitted length plus at most the codec delay (the encoder's 576
  // samples and the decoder's 529) and the encoder's padding at the end
  // (its flush leaves room for the decoder's delay and fills the last
  // frame: less than two frames of 576 samples at this rate).
  const int64_t fitted = FittedLength(11025 * 2, int64_t(count) * 200) / 2;
  {
    SpanSource src(file);
    int64_t pos = int64_t(p.soundStart);
    VectorSink wav;
    SilentHost host;
    ASSERT_EQ(unpackAcmSound(src, pos, int64_t(p.soundEnd), wav, systemAcm(), host, 5), 1);
    EXPECT_EQ(pos, int64_t(p.soundEnd));
    ASSERT_GT(wav.bytes.size(), 44u);
    EXPECT_EQ(get32(wav.bytes, 24), 11025);
    EXPECT_EQ(get16(wav.bytes, 34), 16);
    const int64_t samples = int64_t(wav.bytes.size() - 44) / 2;
    EXPECT_GE(samples, fitted);
    EXPECT_LT(samples, fitted + 1105 + 2 * 576);
  }

  // For ffmpeg (check_direct_mp3.sh): the MP3 frames, and a line "file rate
  // samples clicked-second ...".
  const std::wstring mp3 = OutPath(L"program_mp3.mp3");
  {
    FILE* f = _wfopen(mp3.c_str(), L"wb");
    ASSERT_TRUE(f);
    std::fwrite(b.mp3.data(), 1, b.mp3.size(), f);
    std::fclose(f);
  }
  std::string line = "program_mp3.mp3 11025 " + std::to_string(fitted);
  for (int s : seconds) line += " " + std::to_string(s);
  FILE* m = _wfopen(OutPath(L"program_mp3.txt").c_str(), L"wb");
  ASSERT_TRUE(m);
  std::fprintf(m, "%s\n", line.c_str());
  std::fclose(m);
  std::printf("%d frames, %zu bytes of MP3 at %d kbit/s; clicks at seconds %d and %d\n", count, b.mp3.size(),
              get32(b.coded, 8) * 8 / 1000, seconds[0], seconds[1]);
}

}  // namespace
