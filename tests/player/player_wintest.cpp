// The player stub under Wine: recordings written here from the layout tables
// (a copy of play.dat with the recording appended) are run as real programs,
// and what they show is read back from the screen: the colour of each frame
// in order, the recorded cursor, ranges, looping, Esc, the "LXPLAYFF" event,
// and the messages for damaged and password-protected files. The window-free
// parts (arguments, keys, the MP3 block) are checked directly.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "ByteReader.h"
#include "PlayerCore.h"
#include "PlayerSound.h"
#include "player_fixture.h"
#include "player_run.h"

namespace {

using playfix::Recipe;

std::vector<uint8_t> stub() {
  std::ifstream f(PLAY_DAT, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(f), {});
}

std::wstring writeExe(const std::string& name, const std::vector<uint8_t>& bytes) {
  wchar_t dir[MAX_PATH];
  GetTempPathW(MAX_PATH, dir);
  std::wstring path = std::wstring(dir) + L"vidorra_play_" + std::wstring(name.begin(), name.end()) + L".exe";
  FILE* f = _wfopen(path.c_str(), L"wb");
  fwrite(bytes.data(), 1, bytes.size(), f);
  fclose(f);
  return path;
}

// The colours the tests tell apart, from a screen pixel.
char classify(COLORREF c) {
  int r = GetRValue(c), g = GetGValue(c), b = GetBValue(c);
  auto hi = [](int v) { return v > 200; };
  auto lo = [](int v) { return v < 56; };
  if (hi(r) && lo(g) && lo(b)) return 'R';
  if (lo(r) && hi(g) && lo(b)) return 'G';
  if (lo(r) && lo(g) && hi(b)) return 'B';
  if (hi(r) && hi(g) && lo(b)) return 'Y';
  if (lo(r) && hi(g) && hi(b)) return 'C';
  if (hi(r) && lo(g) && hi(b)) return 'M';
  if (hi(r) && hi(g) && hi(b)) return 'W';
  return '?';
}

// A run of a recording written for it: the file goes with the run.
class PlayerRun : public checkers::PlayerRun {
public:
  PlayerRun(const std::wstring& exe, const std::wstring& args) : checkers::PlayerRun(exe, args, true) {}
};

// Samples picture points on the screen until the player ends (or ms pass) and
// gives the sequence of distinct colours seen at each point, unknown shades
// dropped.
struct Timeline {
  std::string at[3];
};
// The picture sits centred in a client area larger than itself (full screen).
Timeline sample(PlayerRun& run, HWND w, const POINT (&pts)[3], DWORD ms) {
  Timeline t;
  HDC screen = GetDC(nullptr);
  RECT c;
  GetClientRect(w, &c);
  const int dx = c.right > playfix::kW ? (c.right - playfix::kW) / 2 : 0;
  const int dy = c.bottom > playfix::kH ? (c.bottom - playfix::kH) / 2 : 0;
  for (DWORD t0 = GetTickCount(); GetTickCount() - t0 < ms && run.running() && IsWindow(w); Sleep(10)) {
    for (int i = 0; i < 3; ++i) {
      POINT p = {pts[i].x + dx, pts[i].y + dy};
      ClientToScreen(w, &p);
      char c = classify(GetPixel(screen, p.x, p.y));
      if (c != '?' && (t.at[i].empty() || t.at[i].back() != c)) t.at[i] += c;
    }
  }
  ReleaseDC(nullptr, screen);
  return t;
}

// Picture points: the centre, inside the cyan corner of frame 4, under the cursor.
const POINT kPoints[3] = {{32, 30}, {4, 4}, {playfix::kCursorX + 6, playfix::kCursorY + 6}};

struct PlayCase {
  const char* name;
  Recipe recipe;
  const wchar_t* args;
  const char* centre;  // colours at the centre, in order
  const char* corner;  // colours in the corner
  int frames;          // frames shown, for the playing time
};

TEST(PlayerStub, PlaysFramesInOrderWithCursorAndEndsAtTheEnd) {
  const std::vector<uint8_t> s = stub();
  ASSERT_GT(s.size(), 1000u);
  Recipe edit;
  edit.editKey = 12345;
  edit.bigImages = true;
  Recipe raw, zlib, full, outside;
  outside.cornerFromOutside = true;
  raw.soundPacking = 1;
  zlib.soundPacking = 2;
  full.fullScreen = 1;
  const PlayCase cases[] = {
      {"silent", Recipe{}, L"nowav", "RGBYW", "RGBYCW", 6},
      {"range_from_key_frame", Recipe{}, L"nowav playfromto(2,3)", "BY", "BY", 2},
      {"range_between_key_frames", Recipe{}, L"playfromto(3,4)", "Y", "YC", 2},
      {"edit_locked", edit, L"nowav", "RGBYW", "RGBYCW", 6},
      {"raw_sound", raw, L"", "RGBYW", "RGBYCW", 6},
      {"zlib_sound", zlib, L"", "RGBYW", "RGBYCW", 6},
      {"full_screen", full, L"nowav", "RGBYW", "RGBYCW", 6},
      // Drawn at its stored corner, only the image's cyan part is seen.
      {"corner_from_outside", outside, L"nowav", "RGBYW", "RGBYCW", 6},
  };
  for (const PlayCase& c : cases) {
    SCOPED_TRACE(c.name);
    // Frames long enough that a slow (emulated) machine samples each one.
    Recipe recipe = c.recipe;
    recipe.msPerFrame = 400;
    PlayerRun run(writeExe(c.name, playfix::buildRecording(s, recipe)), c.args);
    ASSERT_TRUE(run.waitStarted());
    const DWORD started = GetTickCount();
    HWND w = run.window();
    ASSERT_NE(w, nullptr);
    wchar_t title[64];
    GetWindowTextW(w, title, 64);
    EXPECT_STREQ(title, L"Player test");
    if (recipe.fullScreen) {
      RECT r;
      GetWindowRect(w, &r);
      EXPECT_EQ(r.right - r.left, GetSystemMetrics(SM_CXSCREEN));
      EXPECT_EQ(r.bottom - r.top, GetSystemMetrics(SM_CYSCREEN));
    }
    Timeline t = sample(run, w, kPoints, 6000);
    EXPECT_EQ(t.at[0], c.centre);
    EXPECT_EQ(t.at[1], c.corner);
    EXPECT_EQ(t.at[2], "M");  // the recorded cursor, over every frame
    EXPECT_EQ(run.waitExit(2000), 0);  // exitAtEnd
    // Each frame has its msPerFrame; the bound above leaves room for Wine.
    const int played = int(GetTickCount() - started);
    EXPECT_GE(played, c.frames * recipe.msPerFrame - 60);
    EXPECT_LE(played, c.frames * recipe.msPerFrame + 1500);
  }
}

// A multi-section recording plays its sections one after the other.
TEST(PlayerStub, PlaysTheSectionsOfAJoinedRecording) {
  const std::vector<uint8_t> s = stub();
  Recipe recipe;
  recipe.msPerFrame = 100;
  std::vector<uint8_t> one = playfix::buildRecording(s, recipe);
  PlayerRun run(writeExe("sections", exefix::buildMulti({one, one}, int32_t(s.size()))), L"nowav");
  ASSERT_TRUE(run.waitStarted());
  HWND w = run.window();
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(sample(run, w, kPoints, 5000).at[0], "RGBYWRGBYW");
  EXPECT_EQ(run.waitExit(2000), 0);
}

TEST(PlayerStub, LoopsUntilEscEndsIt) {
  Recipe recipe;
  recipe.msPerFrame = 100;
  recipe.loop = 1;
  recipe.exitAtEnd = 0;
  PlayerRun run(writeExe("loop", playfix::buildRecording(stub(), recipe)), L"nowav");
  ASSERT_TRUE(run.waitStarted());
  HWND w = run.window();
  ASSERT_NE(w, nullptr);
  Timeline t = sample(run, w, kPoints, 1500);
  EXPECT_NE(t.at[0].find("WR"), std::string::npos) << t.at[0];  // back to frame 0 after frame 5
  EXPECT_TRUE(run.running());
  PostMessageW(w, WM_KEYDOWN, VK_ESCAPE, 0);
  EXPECT_EQ(run.waitExit(3000), 0);
}

TEST(PlayerStub, HoldsTheLastFrameWithoutExitAtEnd) {
  Recipe recipe;
  recipe.msPerFrame = 50;
  recipe.exitAtEnd = 0;
  PlayerRun run(writeExe("hold", playfix::buildRecording(stub(), recipe)), L"nowav playfromto(0,1)");
  ASSERT_TRUE(run.waitStarted());
  HWND w = run.window();
  ASSERT_NE(w, nullptr);
  Timeline t = sample(run, w, kPoints, 800);
  EXPECT_EQ(t.at[0], "RG");
  EXPECT_TRUE(run.running());
  PostMessageW(w, WM_KEYDOWN, VK_ESCAPE, 0);
  EXPECT_EQ(run.waitExit(3000), 0);
}

// Files that cannot be played: "LXPLAYFF" is still set (a dubbing caller
// waits for it), a message says why, and the player ends with code 1.
TEST(PlayerStub, RefusesDamagedFiles) {
  const std::vector<uint8_t> s = stub();
  std::vector<uint8_t> good = playfix::buildRecording(s, Recipe{});
  std::vector<uint8_t> cutTail(good.begin(), good.end() - 10);
  // Frame 3's image length (after its cursor block, update number and
  // rectangle) made larger than the file.
  std::vector<uint8_t> badFrame = good;
  {
    std::vector<uint8_t> green = playfix::solidImage(playfix::kW, playfix::kH, playfix::kBlue);
    std::size_t at = std::search(badFrame.begin(), badFrame.end(), green.begin(), green.end()) -
                     badFrame.begin();
    ASSERT_LT(at, badFrame.size());
    std::size_t frame3Len = at + green.size() + 4 /* -2 */ + 12 /* cursor */ + 4 + 16;
    exefix::Bytes b;
    b.b = badFrame;
    b.put32(frame3Len, 0x7FFFFFF0);
    badFrame = b.b;
  }
  struct Case {
    const char* name;
    std::vector<uint8_t> bytes;
    const wchar_t* words;  // part of the message
  } cases[] = {
      {"cut_tail", cutTail, L"损坏"},
      {"bad_frame", badFrame, L"损坏"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    PlayerRun run(writeExe(c.name, c.bytes), L"nowav");
    ASSERT_TRUE(run.waitStarted());
    std::wstring text = run.confirmMessage();
    EXPECT_NE(text.find(c.words), std::wstring::npos);
    EXPECT_EQ(run.waitExit(3000), 1);
  }
}

BOOL CALLBACK findEdit(HWND w, LPARAM p) {
  wchar_t cls[32];
  if (GetClassNameW(w, cls, 32) && !_wcsicmp(cls, L"Edit")) {
    *reinterpret_cast<HWND*>(p) = w;
    return FALSE;
  }
  return TRUE;
}

// A password-protected recording asks first: the right password plays it
// (its larger images unscrambled with the password), a wrong one ends it with
// a message, Cancel ends it quietly.
TEST(PlayerStub, AsksForThePlaybackPassword) {
  Recipe recipe;
  recipe.password = "pw\xc4\xe3!";  // CP936 bytes in a password count too
  recipe.bigImages = true;
  const std::vector<uint8_t> exe = playfix::buildRecording(stub(), recipe);
  struct {
    const char* name;
    const wchar_t* typed;  // nullptr: Cancel
    const char* centre;
    int exitCode;
  } cases[] = {
      {"right", L"pw\x4f60!", "RGBYW", 0},
      {"wrong", L"pw!", "", 1},
      {"cancel", nullptr, "", 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    PlayerRun run(writeExe(std::string("password_") + c.name, exe), L"nowav");
    HWND prompt = run.promptWindow();
    ASSERT_NE(prompt, nullptr);
    if (c.typed) {
      HWND edit = nullptr;
      EnumChildWindows(prompt, findEdit, LPARAM(&edit));
      ASSERT_NE(edit, nullptr);
      SendMessageW(edit, WM_SETTEXT, 0, LPARAM(c.typed));
      PostMessageW(prompt, WM_COMMAND, IDOK, 0);
    } else {
      PostMessageW(prompt, WM_COMMAND, IDCANCEL, 0);
    }
    ASSERT_TRUE(run.waitStarted());
    if (c.exitCode == 0) {
      HWND w = run.window();
      ASSERT_NE(w, nullptr);
      EXPECT_EQ(sample(run, w, kPoints, 6000).at[0], c.centre);
    } else if (c.typed) {
      EXPECT_NE(run.confirmMessage().find(L"密码"), std::wstring::npos);
    }
    EXPECT_EQ(run.waitExit(3000), c.exitCode);
  }
}

TEST(PlayerCore, ReadsItsArguments) {
  struct {
    const char* tail;
    bool noSound, range;
    int32_t first, last;
  } rows[] = {
      {"", false, false, 0, 0},
      {" nowav", true, false, 0, 0},
      {" playfromto(2,3)", false, true, 2, 3},
      {"nowav playfromto( 12 , 340 )", true, true, 12, 340},
      {" playfromto(2,", false, false, 0, 0},
      {" playfromto(a,3)", false, false, 0, 0},
      {" playfromto(99999999999,3)", false, false, 0, 0},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.tail);
    PlayerArgs a = parsePlayerArgs(r.tail);
    EXPECT_EQ(a.noSound, r.noSound);
    EXPECT_EQ(a.range, r.range);
    if (r.range) {
      EXPECT_EQ(a.first, r.first);
      EXPECT_EQ(a.last, r.last);
    }
  }
}

TEST(PlayerCore, KeysOfProtectedRecordings) {
  EXPECT_EQ(passwordValue(""), 2005);
  EXPECT_EQ(passwordValue("a"), 2005 + 'a');
  // Weights 1, 2, 3, 4, 5, 7: the sixth byte counts seven times.
  EXPECT_EQ(passwordValue("\x01\x01\x01\x01\x01\x01"), 2005 + 1 + 2 + 3 + 4 + 5 + 7);
  KeyText k = editLockKeyText(12345);
  EXPECT_EQ(std::string(k.begin(), k.begin() + 6), std::string("12345\0", 6));

  // An image of exactly 10,240 payload bytes stays; one byte more is
  // scrambled at 5,120, and undone by the same key.
  std::vector<uint8_t> small(10240, 7), big(10241);
  for (std::size_t i = 0; i < big.size(); ++i) big[i] = uint8_t(i * 13);
  std::vector<uint8_t> s0 = small, b0 = big;
  ASSERT_TRUE(unscrambleFrameImage(small, k));
  EXPECT_EQ(small, s0);
  std::vector<uint8_t> expect = big;
  playfix::scramble(expect, "12345");
  ASSERT_TRUE(unscrambleFrameImage(big, k));
  EXPECT_EQ(big, expect);
  EXPECT_NE(big[5120], b0[5120]);
  // The colour-level layout keeps its six leading words; a payload length
  // beyond the image is refused.
  std::vector<uint8_t> ext(20 + 10241, 3);
  putI32(&ext[0], -1); putI32(&ext[4], -1); putI32(&ext[16], 10241);
  std::vector<uint8_t> payload(ext.begin() + 20, ext.end());
  playfix::scramble(payload, "12345");
  ASSERT_TRUE(unscrambleFrameImage(ext, k));
  EXPECT_TRUE(std::equal(payload.begin(), payload.end(), ext.begin() + 20));
  putI32(&ext[16], 10242);
  EXPECT_FALSE(unscrambleFrameImage(ext, k));
}

TEST(PlayerCore, ReadsTheMp3BlockWithinItsBounds) {
  exefix::Bytes b;
  b.zeros(36);  // the two formats
  b.i32(4);     // framesPerEntry
  b.i32(2);     // count: three offsets
  b.zeros(12);
  b.i32(5);
  b.raw(std::string("MP3!!"));
  SpanSource src(b.b);
  Mp3Block m;
  ASSERT_TRUE(readMp3Block(src, 0, src.size(), m));
  EXPECT_EQ(m.dataOffset, 36 + 8 + 12 + 4);
  EXPECT_EQ(m.dataLength, 5u);
  EXPECT_FALSE(readMp3Block(src, 0, src.size() - 1, m));  // data cut short
  b.put32(40, 1 << 29);                                    // index beyond the block
  SpanSource bad(b.b);
  EXPECT_FALSE(readMp3Block(bad, 0, bad.size(), m));
  b.put32(40, -1);
  SpanSource neg(b.b);
  EXPECT_FALSE(readMp3Block(neg, 0, neg.size(), m));
}

}  // namespace

namespace {

// Packing 5 through the system's MPEG Layer-3 decoder: frames made by hand
// (MPEG-1 Layer III, 128 kbit/s, 44,100 Hz, mono, side information and main
// data all zero, so every granule is silence) decode to 1,152 silent 16-bit
// samples a frame.
TEST(PlayerSound, DecodesMp3Blocks) {
  const int frames = 20, frameBytes = 144 * 128000 / 44100;  // 417
  exefix::Bytes b;
  b.zeros(18);  // PCM format that was coded: not needed by the player
  b.b.insert(b.b.end(), {0x55, 0, 1, 0});  // tag 85, mono
  b.i32(44100);
  b.i32(16000);  // average bytes per second
  b.b.insert(b.b.end(), {1, 0, 0, 0, 0, 0});  // block align, bits, extra size
  b.i32(0);  // framesPerEntry
  b.i32(0);  // one offset: the end
  b.i32(frames * frameBytes);
  b.i32(frames * frameBytes);
  for (int i = 0; i < frames; ++i) {
    b.b.insert(b.b.end(), {0xFF, 0xFB, 0x90, 0xC0});
    b.zeros(frameBytes - 4);
  }
  SpanSource src(b.b);
  Mp3Block block;
  ASSERT_TRUE(readMp3Block(src, 0, src.size(), block));
  std::vector<uint8_t> wav;
  ASSERT_TRUE(decodeMp3Block(src, block, wav));
  WavPcm pcm;
  ASSERT_TRUE(readWavPcm(wav, pcm));
  EXPECT_EQ(pcm.channels, 1);
  EXPECT_EQ(pcm.rate, 44100u);
  EXPECT_EQ(pcm.bits, 16);
  EXPECT_EQ(exefix::get32(wav, 40), int32_t(wav.size() - 44));
  // A decoder may hold back its delay; most of the frames come out, all (near) silent.
  EXPECT_GE(pcm.dataLength, std::size_t((frames - 4) * 1152 * 2));
  EXPECT_LE(pcm.dataLength, std::size_t(frames * 1152 * 2));
  for (std::size_t i = 44; i + 1 < wav.size(); i += 2) {
    int16_t v = int16_t(wav[i] | wav[i + 1] << 8);
    ASSERT_LE(std::abs(v), 64) << i;  // near silence: decoders round differently
  }
  // A block whose data is not MP3 decodes to nothing rather than noise.
  std::vector<uint8_t> junk = b.b;
  for (std::size_t i = 60; i < junk.size(); ++i) junk[i] = uint8_t(i * 7);
  SpanSource bad(junk);
  std::vector<uint8_t> none;
  EXPECT_FALSE(decodeMp3Block(bad, block, none) && none.size() > 44 + 1152 * 2 * 4);
}

}  // namespace
