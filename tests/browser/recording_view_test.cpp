// The recording browser's view of a file, checked against recordings the test
// writes from the layout tables: the kind by extension, the status line of
// each kind in the wording of the list's handler (and what it leaves out
// when a rate is 0), the first frame's pixels with its cursor, the .lx
// generate-page numbers, the EXE probe / damage / repair sequence with its
// questions answered both ways, and the AVI and WMV lines from their
// components' numbers.
#include <gtest/gtest.h>

#include <deque>
#include <string>

#include "RecordingView.h"
#include "SysUtils.h"
#include "browser_fixtures.h"
#include "test_files.h"

namespace {

using browserfix::LxRecipe;

std::string U(const AnsiString& s) { return Cp936ToUtf8(s); }
std::string U(const std::string& s) { return Cp936ToUtf8(AnsiString(s)); }

// What the code said and asked, as CP936 bytes like the tests' literals.
struct Host : BrowserHost {
  std::vector<std::string> said, asked;
  std::deque<bool> answers;  // yes/no, in order; none left: no
  void showMessage(const AnsiString& t) override { said.push_back(t.str()); }
  bool ask(const AnsiString& q) override {
    asked.push_back(q.str());
    if (answers.empty()) return false;
    const bool a = answers.front();
    answers.pop_front();
    return a;
  }
};

const std::string kFacts = ",文件大小:7KB,创建时间:2009-3-5 9:07";
AnsiString Facts() { return fileFactsText(7, creationTimeText(2009, 3, 5, 9, 7)); }

uint16_t Pixel16(const TBitmap& b, int x, int y) {
  const uint8_t* p = b.ScanLine(y) + 2 * x;
  return uint16_t(p[0] | p[1] << 8);
}

std::vector<uint8_t> Stub() {
  std::vector<uint8_t> s(100);
  for (std::size_t i = 0; i < s.size(); ++i) s[i] = uint8_t(i == 0 ? 'M' : i == 1 ? 'Z' : i);
  return s;
}

}  // namespace

TEST(RecordingView, KindsAreToldByTheLowerCasedExtension) {
  const struct {
    const char* path;
    RecordingKind kind;
    bool lx;
  } rows[] = {
      {"c:\\w\\a.exw", RecordingKind::UnfinishedExe, false}, {"a.AVW", RecordingKind::UnfinishedAvi, false},
      {"a.Avi", RecordingKind::Avi, false},                  {"a.b.WMV", RecordingKind::Wmv, false},
      {"c:\\w\\B.EXE", RecordingKind::Exe, false},           {"a.LX", RecordingKind::Lx, true},
      {"a.lx", RecordingKind::Lx, true},                     {"a.wmw", RecordingKind::Lx, false},
      {"noextension", RecordingKind::Lx, false},             {"dir.exe\\file", RecordingKind::Lx, false},
  };
  for (const auto& r : rows) {
    EXPECT_EQ(recordingKindOf(r.path), r.kind) << r.path;
    EXPECT_EQ(hasLxExtension(r.path), r.lx) << r.path;
  }
}

TEST(RecordingView, SizeTimeAndLengthTexts) {
  const struct {
    int64_t bytes;
    int kb;
  } sizes[] = {{0, 0}, {1023, 0}, {1024, 1}, {5000, 4}, {0x7FFFFFFF, 2097151},
               // The low 32 bits as a signed number: the recorder stays below 2 GB.
               {0x80000000LL, -2097152}, {0x100000000LL + 2048, 2}};
  for (const auto& s : sizes) EXPECT_EQ(fileSizeKBOf(s.bytes), s.kb) << s.bytes;

  TempDir dir;
  writeAll(dir.file("five.lx"), Bytes(5000, 1));
  EXPECT_EQ(fileSizeKB(dir.path("five.lx")), 4);
  EXPECT_EQ(fileSizeKB(dir.path("missing.lx")), -1);

  EXPECT_EQ(U(creationTimeText(2009, 3, 5, 9, 7)), "2009-3-5 9:07");
  EXPECT_EQ(U(creationTimeText(2024, 12, 31, 23, 59)), "2024-12-31 23:59");
  EXPECT_EQ(fileFactsText(-1, "-1").str(), ",文件大小:-1KB,创建时间:-1");

  const struct {
    int64_t seconds;
    const char* text;
  } lengths[] = {{0, "00:00:00"},     {59, "00:00:59"},     {3661, "01:01:01"},
                 {86399, "23:59:59"}, {86400, "00:00:00"}, {90061, "01:01:01"}};
  for (const auto& l : lengths) EXPECT_EQ(U(durationText(l.seconds)), l.text) << l.seconds;
}

TEST(RecordingView, LxStatusRatesAndFirstFrame) {
  const struct {
    const char* name;
    LxRecipe recipe;
    bool shown;
    std::string status;  // "" when not shown
    std::string fps, aviFps;
    bool frame;
    std::vector<std::string> said;
  } rows[] = {
      {"five frames a second", LxRecipe{}, true, "总帧数:3,速度:5帧/秒,宽度:64,高度:48" + kFacts, "5.00", "5", true, {}},
      {"half a frame a second", [] { LxRecipe r; r.msPerFrame = 2000; return r; }(), true,
       "总帧数:3,速度:0帧/秒,宽度:64,高度:48" + kFacts, "0.50", "1", true, {}},
      {"a third of a millisecond short", [] { LxRecipe r; r.msPerFrame = 3; return r; }(), true,
       "总帧数:3,速度:333帧/秒,宽度:64,高度:48" + kFacts, "333.33", "333", true, {}},
      // No rate: the line leaves the speed out, the page keeps no number.
      {"no time between frames", [] { LxRecipe r; r.msPerFrame = 0; return r; }(), true,
       "总帧数:3,宽度:64,高度:48" + kFacts, "", "", true, {}},
      {"a negative interval", [] { LxRecipe r; r.msPerFrame = -40; return r; }(), true,
       "总帧数:3,宽度:64,高度:48" + kFacts, "", "", true, {}},
      // A failed sound start leaves a recording of no frames.
      {"no frames", [] { LxRecipe r; r.frames.clear(); return r; }(), true,
       "总帧数:0,速度:5帧/秒,宽度:64,高度:48" + kFacts, "5.00", "5", false, {}},
      {"an index pointing past the file", [] { LxRecipe r; r.damagedIndex = true; return r; }(), true,
       "总帧数:3,速度:5帧/秒,宽度:64,高度:48" + kFacts, "5.00", "5", false, {}},
      {"version 5", [] { LxRecipe r; r.version = 5; return r; }(), false, "", "", "", false,
       {"不能识别此lx文件,可能是版本过旧或不是录像文件"}},
  };
  TempDir dir;
  for (const auto& r : rows) {
    SCOPED_TRACE(r.name);
    writeAll(dir.file("a.lx"), browserfix::buildLx(r.recipe).b);
    Host host;
    LxView view;
    TBitmap picture;
    picture.SetSize(5, 5);
    EXPECT_EQ(viewLxRecordingFile(dir.path("a.lx"), Facts(), view, picture, host), r.shown);
    EXPECT_EQ(host.said, r.said);
    EXPECT_EQ(U(view.status), U(r.status));
    EXPECT_EQ(U(view.fpsText), r.fps);
    EXPECT_EQ(U(view.aviFpsText), r.aviFps);
    EXPECT_EQ(view.hasFrame, r.frame);
    if (!r.shown) continue;
    EXPECT_EQ(view.header.soundSource, r.recipe.soundSource);
    EXPECT_EQ(view.header.hasCursor, 1);
    if (r.frame) {
      ASSERT_EQ(picture.Width(), 64);
      ASSERT_EQ(picture.Height(), 48);
      EXPECT_EQ(Pixel16(picture, 0, 0), playfix::kRed);
      EXPECT_EQ(Pixel16(picture, 63, 47), playfix::kRed);
      // The magenta cursor of frame 0 covers 16 x 16 from its position.
      EXPECT_EQ(Pixel16(picture, playfix::kCursorX + 8, playfix::kCursorY + 8), 0xF81F);
      EXPECT_EQ(Pixel16(picture, playfix::kCursorX - 1, playfix::kCursorY), playfix::kRed);
    } else {
      EXPECT_EQ(picture.Width(), 0) << "no frame, and none of the file before";
    }
  }

  // Not a recording at all, and a file that is not there.
  writeAll(dir.file("short.lx"), Bytes(30, 0));
  Host host;
  LxView view;
  TBitmap picture;
  EXPECT_FALSE(viewLxRecordingFile(dir.path("short.lx"), Facts(), view, picture, host));
  EXPECT_FALSE(viewLxRecordingFile(dir.path("none.lx"), Facts(), view, picture, host));
  EXPECT_EQ(host.said, (std::vector<std::string>{"不能识别此lx文件,可能是版本过旧或不是录像文件",
                                                 "打开文件失败," + dir.file("none.lx"),
                                                 "不能识别此lx文件,可能是版本过旧或不是录像文件"}));
}

TEST(RecordingView, LxSideFilesByKind) {
  TempDir dir;
  writeAll(dir.file("talk1.wav"), Bytes(44, 0));
  writeAll(dir.file("talk3.wav"), Bytes(44, 0));
  const LxSideFiles s = lxSideFiles(dir.path("talk.lx"));
  EXPECT_TRUE(s.exists[0]);
  EXPECT_FALSE(s.exists[1]);
  EXPECT_TRUE(s.exists[2]);
  EXPECT_EQ(lxSoundSideKind(0), 1);
  EXPECT_EQ(lxSoundSideKind(7), 1);
}

TEST(RecordingView, ExeStatusFirstFrameProtectionAndDamage) {
  const std::vector<uint8_t> stub = Stub();
  playfix::Recipe plain, slow, none, edit, password;
  slow.msPerFrame = 2000;
  none.msPerFrame = 0;
  edit.editKey = 12345;
  password.password = "pw";
  const auto playable = playfix::buildRecording(stub, plain);
  // Frame 0's image length follows the stub, K, the 160-byte lead and the
  // cursor block (x, y, icon length and the icon); its tokens become junk.
  std::vector<uint8_t> badPicture = playable;
  const std::size_t length0 = stub.size() + 4 + 160 + 12 + playfix::magentaIcon().size();
  for (int32_t i = 0; i < exefix::get32(badPicture, length0); ++i) badPicture[length0 + 4 + i] = 0xFF;
  std::vector<uint8_t> noTrailer = playable;
  noTrailer.resize(noTrailer.size() - 10);
  std::vector<uint8_t> noWidth = playable;
  for (int i = 0; i < 4; ++i) noWidth[stub.size() + 4 + 4 + i] = 0;  // the header's width
  const auto multi = exefix::buildMulti({playable, playfix::buildRecording(stub, slow)}, int32_t(stub.size()));
  const auto lockedMulti = exefix::buildMulti({playable, playable}, int32_t(stub.size()), 8, 777, 0);

  const struct {
    const char* name;
    std::vector<uint8_t> bytes;
    int protection;
    std::string status;
    bool frame;
    std::vector<std::string> said;
  } rows[] = {
      {"a playable recording", playable, 0, "录像长度:00:00:00总帧数:6,速度:6帧/秒,宽度:64,高度:48" + kFacts, true, {}},
      {"two seconds a frame", playfix::buildRecording(stub, slow), 0,
       "录像长度:00:00:12总帧数:6,速度:0帧/秒,宽度:64,高度:48" + kFacts, true, {}},
      {"no time between frames", playfix::buildRecording(stub, none), 0, "总帧数:6,宽度:64,高度:48" + kFacts, true, {}},
      {"edit-locked", playfix::buildRecording(stub, edit), 1, "已进行编辑加密", false, {}},
      {"playback password", playfix::buildRecording(stub, password), 2, "已进行播放加密", false, {}},
      {"multi-section", multi, 0, "多节EXE录像,总节数:2" + kFacts, true, {}},
      {"multi-section, locked", lockedMulti, 1, "已进行编辑加密", false, {}},
      {"a damaged first picture", badPicture, 0, "录像长度:00:00:00总帧数:6,速度:6帧/秒,宽度:64,高度:48" + kFacts,
       false, {"不是一个有效的录像文件"}},
      {"no picture size", noWidth, 0, "", false, {"不是一个有效的录像文件"}},
      {"no trailer", noTrailer, 0, "", false, {"此EXE文件格式不能识别,x.exe"}},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.name);
    SpanSource src(r.bytes);
    Host host;
    ExeView view;
    TBitmap picture;
    picture.SetPixelFormat(pf24bit);
    picture.SetSize(7, 3);
    viewExeRecording(src, "x.exe", Facts(), view, picture, host);
    EXPECT_EQ(view.protection, r.protection);
    EXPECT_EQ(U(view.status), U(r.status));
    EXPECT_EQ(view.hasFrame, r.frame);
    EXPECT_EQ(host.said, r.said);
    if (r.protection) {
      EXPECT_EQ(picture.Width(), 7) << "a protected picture is drawn over, not read";
    } else if (r.frame) {
      ASSERT_EQ(picture.Width(), 64);
      EXPECT_EQ(Pixel16(picture, 0, 0), playfix::kRed);
      EXPECT_EQ(Pixel16(picture, playfix::kCursorX + 8, playfix::kCursorY + 8), 0xF81F);
    } else {
      EXPECT_EQ(picture.Width(), 0);
    }
  }
}

TEST(RecordingView, ExeSelectionAsksBeforeItRepairs) {
  const std::vector<uint8_t> stub = Stub();
  const auto intact = playfix::buildRecording(stub, playfix::Recipe());
  exefix::ExeRecipe v3, v5;
  v3.version = 3;
  v5.version = 5;
  auto padded = intact;
  padded.insert(padded.end(), 3000, 0);
  auto infected = intact;
  for (int i = 0; i < 500; ++i) infected.push_back(uint8_t(i * 7 + 1));

  const std::string notRecognised = "不能识别此EXE文件,可能是版本过旧或不是录像文件";
  const std::string zeroQuestion = "此文件可能曾经被病毒感染过,杀毒后有一些残留的数据,需要先进行修复,现在进行修复吗?";
  const std::string virusQuestion =
      "本文件可能感染了病毒,请先使用杀毒软件杀毒,请按 否;如果确认刚刚已经杀过病毒,还是有提示的话,可以进行强制修复,请按 是。"
      "现在要进行强制修复吗?";
  const std::string forced = "强制修复成功,请播放试一下,如果无法成功播放,请对此文件进行 编辑/升级EXE播放器 操作";
  const struct {
    const char* name;
    std::vector<uint8_t> bytes;
    std::deque<bool> answers;
    bool show;
    int version;
    bool upgrade;
    std::vector<std::string> asked, said;
    std::vector<uint8_t> after;  // the file afterwards
  } rows[] = {
      {"intact", intact, {}, true, 8, false, {}, {}, intact},
      {"version 3", exefix::buildExe(v3).bytes, {}, true, 3, false, {}, {"此文件为V3的EXE录像文件，不能对其进行处理"},
       exefix::buildExe(v3).bytes},
      {"version 5", exefix::buildExe(v5).bytes, {}, true, 5, true, {}, {}, exefix::buildExe(v5).bytes},
      {"zeros after the trailer, yes", padded, {true}, true, 8, false, {zeroQuestion}, {}, intact},
      {"zeros after the trailer, no", padded, {false}, false, -1, false, {zeroQuestion}, {notRecognised}, padded},
      {"other bytes after the trailer, yes", infected, {true}, true, 8, false, {virusQuestion}, {forced}, intact},
      {"other bytes after the trailer, no", infected, {false}, false, -1, false, {virusQuestion}, {}, infected},
      {"no recording", std::vector<uint8_t>(4000, 'x'), {}, false, -1, false, {}, {notRecognised},
       std::vector<uint8_t>(4000, 'x')},
  };
  TempDir dir;
  for (const auto& r : rows) {
    SCOPED_TRACE(r.name);
    writeAll(dir.file("r.exe"), r.bytes);
    Host host;
    host.answers = r.answers;
    const ExeSelection sel = selectExeRecording(dir.path("r.exe"), host);
    EXPECT_EQ(sel.show, r.show);
    if (r.show) {
      EXPECT_EQ(sel.version, r.version);
    }
    EXPECT_EQ(sel.offerUpgrade, r.upgrade);
    EXPECT_EQ(host.asked, r.asked);
    EXPECT_EQ(host.said, r.said);
    EXPECT_TRUE(readAll(dir.file("r.exe")) == r.after) << "the file after the selection";
  }

  Host host;
  EXPECT_FALSE(selectExeRecording(dir.path("gone.exe"), host).show);
  EXPECT_EQ(host.said, (std::vector<std::string>{"打开文件失败," + dir.file("gone.exe"), notRecognised}));
}

TEST(RecordingView, AviAndWmvLinesFromTheirNumbers) {
  const struct {
    const char* name;
    AviStreamFacts facts;
    std::string line;
  } avi[] = {
      {"25 a second", {25, 1, 250, 640, 480, 250}, "录像长度:00:00:10,总帧数:250,速度:25帧/秒,宽度:640,高度:480"},
      // 29.97: whole frames a second, as the line always counted them.
      {"NTSC", {30000, 1001, 300, 320, 240, 300}, "录像长度:00:00:10,总帧数:300,速度:29帧/秒,宽度:320,高度:240"},
      {"one frame in two seconds", {1, 2, 10, 641, 48, 10}, "录像长度:00:00:20,总帧数:10,速度:0帧/秒,宽度:641,高度:48"},
      {"rate 0", {0, 1, 10, 64, 48, 10}, "总帧数:10,宽度:64,高度:48"},
      {"scale 0", {25, 0, 10, 64, 48, 10}, "总帧数:10,宽度:64,高度:48"},
  };
  for (const auto& a : avi) EXPECT_EQ(U(aviStatusLine(a.facts, Facts())), U(a.line + kFacts)) << a.name;

  const struct {
    const char* name;
    WmvFacts facts;
    std::string line;
  } wmv[] = {
      {"25 a second", {40, 256000, 250, 320, 240}, "录像长度:00:00:10总帧数:250 比特率:256kbps,速度:25帧/秒,宽度:320,高度:240"},
      {"0 ms a frame", {0, 256000, 250, 320, 240}, "总帧数:250 比特率:256kbps,宽度:320,高度:240"},
  };
  for (const auto& w : wmv) EXPECT_EQ(U(wmvStatusLine(w.facts, Facts())), U(w.line + kFacts)) << w.name;

  const struct {
    int bits, w, h;
    bool fits;
  } frames[] = {{24, 640, 480, true},  {0, 640, 480, false},  {33, 640, 480, false}, {32, 2047, 1535, true},
                {32, 2048, 100, false}, {32, 100, 1536, false}, {8, 0, 10, false},   {8, 10, -1, false}};
  for (const auto& f : frames)
    EXPECT_EQ(firstFrameFits(f.bits, f.w, f.h, 1024, 768), f.fits) << f.bits << " " << f.w << "x" << f.h;
  EXPECT_EQ(firstFrameBitsOffset(8), 40 + 1024);
  EXPECT_EQ(firstFrameBitsOffset(1), 48);
  EXPECT_EQ(firstFrameBitsOffset(16), 40);
}
