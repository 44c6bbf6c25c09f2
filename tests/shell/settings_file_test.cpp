// set.dat, set.def and setc.dat: the fixtures are written here line by line
// from the line table (never by the code under test), then read through the
// typed accessors, damaged, rewritten in part and saved whole.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "SettingsFile.h"
#include "SysUtils.h"

namespace {

namespace L = SettingsLine;
namespace fs = std::filesystem;

std::string join(const std::vector<std::string>& lines, const char* eol = "\r\n") {
  std::string out;
  for (const auto& l : lines) out += l + eol;
  return out;
}

std::vector<std::string> splitCrLf(const std::string& bytes) {
  std::vector<std::string> out;
  std::size_t start = 0, at;
  while ((at = bytes.find("\r\n", start)) != std::string::npos) {
    out.push_back(bytes.substr(start, at - start));
    start = at + 2;
  }
  EXPECT_EQ(start, bytes.size()) << "every line ends in CR LF";
  return out;
}

// A set.dat as a user's machine might hold it: every used line away from
// its fallback, margins above 127, CP936 texts, junk in the unused lines.
std::vector<std::string> fixtureLines() {
  std::vector<std::string> l(130);
  const char* used[][2] = {
      {"0", "1"}, {"1", "0"}, {"2", "1"}, {"3", "F5"}, {"4", "F6"}, {"5", "F7"}, {"6", "1"},
      // corner 4, X margin 200, X 100 / Y margin 180, Y 50
      {"7", "80216164"}, {"8", "78905394"}, {"9", "版权所有 Vidorra"},
      {"10", "16777215"}, {"11", "0"}, {"12", "0"}, {"13", "-20"}, {"14", "40"}, {"15", "0"},
      {"16", "1"}, {"17", "1"}, {"18", "0"}, {"19", "1"}, {"20", "1"}, {"21", "1"},
      {"22", "教程标题"}, {"23", "1"}, {"24", "1"}, {"25", "3"}, {"26", "1"}, {"27", "5"}, {"28", "1"},
      {"30", "0"}, {"31", "1"}, {"32", "1"}, {"33", "0"}, {"34", "0"}, {"35", "1"}, {"36", "1"},
      {"37", "0"}, {"38", "D:\\录像\\"}, {"39", "1"}, {"40", "0"}, {"41", "3"}, {"42", "2"}, {"43", "4"},
      {"50", "1935960438"}, {"51", "1684633208"}, {"52", "15"}, {"53", "-1"}, {"54", "3000000000"},
      {"55", "4"}, {"56", "40"}, {"57", "0"}, {"58", "1"},
      {"59", "18"}, {"60", "255"}, {"61", "黑体"}, {"62", "1"}, {"63", "0"}, {"64", "1"}, {"65", "0"},
      {"66", "1"}, {"67", "1"}, {"68", "10"}, {"69", "0"}, {"70", "1"}, {"71", "1"}, {"72", "1"},
      {"73", "F9"},
      {"94", "1"}, {"95", "6"}, {"96", "65280"}, {"97", "1"}, {"98", "1"}, {"99", "0.5"}, {"100", "0.75"},
      {"101", "0"}, {"102", "1"}, {"103", "800"}, {"104", "2"}, {"105", "640"}, {"106", "480"},
      {"107", "10"}, {"108", "20"}, {"109", "810"}, {"110", "620"}, {"111", "1"}, {"112", "5"},
      {"113", "7"}, {"114", "9"}, {"115", "1"}, {"116", "12632256"}, {"117", "14"}, {"118", "8421504"},
      {"119", "Arial"}, {"120", "0"}, {"121", "1"}, {"122", "0"}, {"123", "1"}, {"124", "1"},
      {"125", "1"}, {"126", "2"}, {"127", "75"}, {"128", "1"}, {"129", "1"},
  };
  for (auto& u : used) l[std::stoul(u[0])] = u[1];
  l[29] = "\t留着 29 ";
  for (int i = 44; i <= 49; ++i) l[i] = "x" + std::to_string(i);
  for (int i = 74; i <= 93; ++i) l[i] = i % 2 ? "" : "未知 " + std::to_string(i) + "  ";
  return l;
}

// Lines some writer of the program replaces; every other line is carried.
bool ownedByAWriter(int line) {
  return (line >= 0 && line <= 28) || (line >= 30 && line <= 43) || (line >= 50 && line <= 73) ||
         (line >= 94 && line <= 129);
}

SettingsFile loaded(const std::string& bytes) {
  SettingsFile s;
  s.loadFromBytes(bytes.data(), bytes.size());
  return s;
}

// A scratch folder of this test case (CP936 path ending in a separator).
class ScratchDir {
public:
  ScratchDir() {
    const auto* t = ::testing::UnitTest::GetInstance()->current_test_info();
    dir_ = fs::temp_directory_path() / "vidorra-shell-tests" /
           (std::string(t->test_suite_name()) + "." + t->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  ~ScratchDir() {
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }
  AnsiString path(const std::string& name = "") const {
    return Utf8ToCp936((dir_ / "").u8string()) + AnsiString(name);
  }
  std::vector<std::string> entries() const {
    std::vector<std::string> out;
    for (const auto& e : fs::directory_iterator(dir_)) out.push_back(e.path().filename().u8string());
    return out;
  }
  void write(const std::string& name, const std::string& bytes) const {
    std::ofstream(dir_ / name, std::ios::binary) << bytes;
  }
  std::string read(const std::string& name) const {
    std::ifstream in(dir_ / name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

private:
  fs::path dir_;
};

// ---- a whole file read through the typed accessors ------------------------------

TEST(SettingsFile, FixtureGivesEveryTypedField) {
  SettingsFile s = loaded(join(fixtureLines()));
  EXPECT_EQ(s.linesInFile(), 130);
  EXPECT_TRUE(s.fallbackLines().empty());

  HotKeySettings k = s.hotKeys();
  EXPECT_EQ(k.modifiers(), 2 | 4);
  EXPECT_EQ(hotKeyCode(k.startStop), 116);
  EXPECT_EQ(hotKeyCode(k.pause), 117);
  EXPECT_EQ(hotKeyCode(k.pauseFrame), 118);
  EXPECT_EQ(s.keyCode(L::hotkeyDrawBoard), 120);
  EXPECT_TRUE(s.stopTipDismissed());

  CustomInfoPlacement p = s.customInfoPlacement();
  EXPECT_EQ(p.corner, 4);
  EXPECT_EQ(p.marginX, 200);
  EXPECT_EQ(p.marginY, 180);
  EXPECT_EQ(p.x, 100);
  EXPECT_EQ(p.y, 50);
  EXPECT_EQ(s.text(L::customInfoText), AnsiString("版权所有 Vidorra"));
  EXPECT_EQ(s.integer(L::customInfoFontSize), 18);
  EXPECT_EQ(s.integer(L::customInfoFontColor), 255);
  EXPECT_EQ(s.text(L::customInfoFontName), AnsiString("黑体"));
  EXPECT_TRUE(s.flag(L::customInfoBold));
  EXPECT_FALSE(s.flag(L::customInfoItalic));
  EXPECT_TRUE(s.flag(L::customInfoUnderline));
  EXPECT_FALSE(s.flag(L::customInfoStrikeOut));

  ExePlaySettings e = s.exePlaySettings();
  EXPECT_EQ(e.backgroundColour, 16777215);
  EXPECT_EQ(e.startMaximised, 0);
  EXPECT_EQ(e.positionSpecified, 0);
  EXPECT_EQ(e.windowX, -20);
  EXPECT_EQ(e.windowY, 40);
  EXPECT_EQ(e.standardFrame, 0);
  EXPECT_EQ(e.loopPlay, 1);
  EXPECT_EQ(e.autoZoom, 1);
  EXPECT_EQ(e.exitAtEnd, 0);
  EXPECT_EQ(e.showPlayTime, 1);
  EXPECT_EQ(e.allowContextMenu, 1);
  EXPECT_EQ(e.allowControlWindow, 1);
  EXPECT_EQ(e.title, std::string("教程标题"));
  EXPECT_EQ(e.fullScreen, 1);
  EXPECT_EQ(e.showControlWindowAtStart, 1);
  EXPECT_EQ(e.imageCodec, 3);
  EXPECT_EQ(e.showInitProgress, 1);
  EXPECT_EQ(e.soundCodec, 5);
  EXPECT_EQ(e.clickReminder, 1);
  EXPECT_EQ(e.denoise, 0) << "line 67 is never applied to the template";
  EXPECT_EQ(e.hasMouseList, 1);
  EXPECT_TRUE(s.flag(L::exeDenoise));
  EXPECT_EQ(s.exePlaySettings(true).imageCodec, 1) << "a 256-colour screen records losslessly";

  EXPECT_FALSE(s.flag(L::recordSound));
  EXPECT_FALSE(s.recordCursorOn()) << "line 40 decides over line 31";
  EXPECT_TRUE(s.flag(L::autoCheck8));
  EXPECT_FALSE(s.flag(L::stopOnTooManyFrames));
  EXPECT_FALSE(s.flag(L::recordDirect));
  EXPECT_TRUE(s.flag(L::customInfoOn));
  EXPECT_EQ(s.directOutput(), DirectOutput::avi);
  EXPECT_EQ(s.text(L::tempFolder), AnsiString("D:\\录像\\"));
  EXPECT_TRUE(s.flag(L::showRegionBeforeRecording));
  EXPECT_EQ(s.integer(L::windowWhileRecording), 3);
  EXPECT_EQ(s.soundBits(), 16);
  EXPECT_EQ(s.soundRate(), 44100);

  AviCompressValues a = s.aviCompressValues();
  EXPECT_EQ(a.fccType, 0x73646976u);     // "vids"
  EXPECT_EQ(a.fccHandler, 0x64697678u);  // "xvid"
  EXPECT_EQ(a.keyFrameEvery, 15u);
  EXPECT_EQ(a.quality, -1);
  EXPECT_EQ(a.bytesPerSecond, 3000000000u);
  EXPECT_EQ(a.flags, 4u | 8u) << "AVICOMPRESSF_VALID is added on reading";
  EXPECT_EQ(a.formatSize, 40u);
  EXPECT_EQ(a.parmsSize, 0u);
  EXPECT_EQ(a.interleaveEvery, 1u);

  EXPECT_TRUE(s.flag(L::clickSound));
  EXPECT_EQ(s.integer(L::frameRate), 10);
  EXPECT_FALSE(s.flag(L::recordVideoOverlay));
  EXPECT_TRUE(s.flag(L::captureLayered));
  EXPECT_TRUE(s.flag(L::useMirrorDriver));
  EXPECT_TRUE(s.flag(L::keepDisplaySpecialSetting));
  EXPECT_EQ(s.integer(L::drawTool), 1);
  EXPECT_EQ(s.integer(L::drawPenWidth), 6);
  EXPECT_EQ(s.integer(L::drawPenColor), 65280);
  EXPECT_FALSE(s.showGuideAtStart()) << "stored negated";
  EXPECT_TRUE(s.flag(L::deferFinalProcessing));
  EXPECT_DOUBLE_EQ(s.timeOfDay(L::scheduleStartTime), 0.5);
  EXPECT_DOUBLE_EQ(s.timeOfDay(L::scheduleEndTime), 0.75);

  int wmv[6];
  s.directWmvSettings(wmv);
  EXPECT_EQ(std::vector<int>(wmv, wmv + 6), (std::vector<int>{0, 1, 800, 2, 640, 480}));
  EXPECT_EQ(s.integer(L::regionLeft), 10);
  EXPECT_EQ(s.integer(L::regionTop), 20);
  EXPECT_EQ(s.integer(L::regionRight), 810);
  EXPECT_EQ(s.integer(L::regionBottom), 620);
  EXPECT_TRUE(s.flag(L::cameraSpecialSetting));
  EXPECT_EQ(s.integer(L::timeCaptionPosition), 5);
  EXPECT_EQ(s.integer(L::timeCaptionX), 7);
  EXPECT_EQ(s.integer(L::timeCaptionY), 9);
  EXPECT_TRUE(s.flag(L::timeCaptionFlag));
  EXPECT_EQ(s.integer(L::timeCaptionBackColor), 12632256);
  EXPECT_EQ(s.integer(L::timeCaptionFontSize), 14);
  EXPECT_EQ(s.integer(L::timeCaptionFontColor), 8421504);
  EXPECT_EQ(s.text(L::timeCaptionFontName), AnsiString("Arial"));
  EXPECT_FALSE(s.flag(L::timeCaptionBold));
  EXPECT_TRUE(s.flag(L::timeCaptionItalic));
  EXPECT_FALSE(s.flag(L::timeCaptionUnderline));
  EXPECT_TRUE(s.flag(L::timeCaptionStrikeOut));
  EXPECT_TRUE(s.flag(L::timeCaptionOn));
  EXPECT_TRUE(s.flag(L::keepMixerSettings));
  EXPECT_EQ(s.integer(L::mixerSource), 2);
  EXPECT_EQ(s.integer(L::mixerVolume), 75);
  EXPECT_TRUE(s.flag(L::monitorWindowChoice));
  EXPECT_TRUE(s.flag(L::autoUpdateNotice));
}

// ---- damaged files and what they give --------------------------------------------

enum class Read { integer, flag, keyCode, bits, rate, time, u32, output, cursor };

double readAs(const SettingsFile& s, int line, Read how) {
  switch (how) {
  case Read::integer: return s.integer(line);
  case Read::flag: return s.flag(line);
  case Read::keyCode: return s.keyCode(line);
  case Read::bits: return s.soundBits();
  case Read::rate: return s.soundRate();
  case Read::time: return s.timeOfDay(line);
  case Read::u32: return s.unsigned32(line);
  case Read::output: return static_cast<int>(s.directOutput());
  case Read::cursor: return s.recordCursorOn();
  }
  return -999;
}

TEST(SettingsFile, OneLineAtATimeReadsAsTheTableSays) {
  struct Case {
    int line;
    const char* text;
    Read how;
    double expected;
    bool fallsBack;
  } cases[] = {
      // Encodings fixed by the file's format.
      {L::hotkeyCtrl, " 1", Read::flag, 0, false},  // text flags compare the text
      {L::hotkeyAlt, "2", Read::flag, 0, false},
      {L::recordSound, "2", Read::flag, 1, false},  // a flag line takes any non-zero number
      {L::recordSound, " -7 ", Read::flag, 1, false},
      {L::hotkeyDrawBoard, "0", Read::keyCode, 122, true},  // "0" is F11
      {L::drawPenWidth, "0", Read::integer, 4, true},       // 0 is read as 4
      {L::outputExe, "1", Read::output, static_cast<int>(DirectOutput::exe), false},
      {L::outputExe, "0", Read::output, static_cast<int>(DirectOutput::avi), false},  // line 36 of the fixture
      {L::outputAvi, "0", Read::output, static_cast<int>(DirectOutput::exe), false},  // neither: EXE
      {L::scheduleStartTime, "0.25", Read::time, 0.25, false},
      {50 + 4, "4294967295", Read::u32, 4294967295.0, false},
      {50 + 5, "-8", Read::u32, 4294967288.0, false},
      // Damage: each falls back to the designed value or start value.
      {L::recordSound, "abc", Read::flag, 1, true},
      {L::frameRate, "", Read::integer, 5, true},
      {L::frameRate, "5.0", Read::integer, 5, true},
      {L::frameRate, "99999999999", Read::integer, 5, true},
      {L::drawPenWidth, "9", Read::integer, 4, true},
      {L::hotkeyStartStop, "F13", Read::keyCode, 113, true},
      {L::hotkeyPause, "f3", Read::keyCode, 114, true},
      {L::hotkeyPauseFrame, "", Read::keyCode, 115, true},
      {L::soundBits, "3", Read::bits, 8, true},
      {L::soundRate, " 4", Read::rate, 11025, true},  // choices compare the text
      {L::exeImageCompression, "7", Read::integer, 2, true},
      {L::exeSoundKind, "3", Read::integer, 1, true},
      {L::scheduleEndTime, "noon", Read::time, 0, true},
      {L::scheduleEndTime, "nan", Read::time, 0, true},
      {L::timeCaptionPosition, "6", Read::integer, 3, true},
      {L::mixerVolume, "101", Read::integer, -1, true},
      {L::mixerSource, "x", Read::integer, -1, true},
      {50 + 1, "4294967296", Read::u32, 0, true},
      {L::recordCursorCopy, "?", Read::cursor, 1, true},  // falls back to line 31 of the fixture
  };
  for (const Case& c : cases) {
    std::vector<std::string> lines = fixtureLines();
    lines[static_cast<std::size_t>(c.line)] = c.text;
    SettingsFile s = loaded(join(lines));
    SCOPED_TRACE("line " + std::to_string(c.line) + " = \"" + c.text + "\"");
    EXPECT_DOUBLE_EQ(readAs(s, c.line, c.how), c.expected);
    std::vector<int> fb = s.fallbackLines();
    EXPECT_EQ(fb == std::vector<int>{c.line}, c.fallsBack);
    EXPECT_EQ(s.raw(c.line), AnsiString(c.text)) << "the stored text is kept until a writer replaces it";
  }
}

TEST(SettingsFile, MissingOrShortFilesFallBackLineByLine) {
  ScratchDir dir;
  SettingsFile none;
  EXPECT_FALSE(none.loadFromFile(dir.path("set.dat")));
  EXPECT_EQ(none.linesInFile(), 0);

  const std::vector<std::string> all = fixtureLines();
  const std::vector<std::string> shortLines(all.begin(), all.begin() + 10);
  const std::string kinds[] = {"", join(shortLines), join(shortLines, "\n"),
                               join(shortLines).substr(0, join(shortLines).size() - 2)};
  for (const std::string& bytes : kinds) {
    SettingsFile s = loaded(bytes);
    SCOPED_TRACE(std::to_string(bytes.size()) + " bytes");
    int had = bytes.empty() ? 0 : 10;
    EXPECT_EQ(s.linesInFile(), had);
    EXPECT_EQ(s.lineCount(), 130) << "the layout is kept";
    EXPECT_EQ(splitCrLf(s.toBytes()).size(), 130u);
    // What the file had is read; what it lacked comes from the table.
    EXPECT_EQ(s.hotKeys().modifiers(), had ? 6 : 0);
    EXPECT_EQ(s.keyCode(L::hotkeyStartStop), had ? 116 : 113);
    EXPECT_EQ(s.customInfoPlacement().marginX, had ? 200 : 30);
    EXPECT_EQ(s.customInfoPlacement().marginY, had ? 180 : 20);
    EXPECT_EQ(s.keyCode(L::hotkeyDrawBoard), 122);
    EXPECT_EQ(s.soundBits(), 8);
    EXPECT_EQ(s.soundRate(), 11025);
    EXPECT_EQ(s.integer(L::frameRate), 5);
    EXPECT_EQ(s.integer(L::drawPenWidth), 4);
    EXPECT_EQ(s.integer(L::mixerSource), -1);
    EXPECT_EQ(s.integer(L::mixerVolume), -1);
    EXPECT_EQ(s.integer(L::timeCaptionFontSize), 0) << "the time caption keeps its designed look";
    EXPECT_EQ(s.directOutput(), DirectOutput::exe);
    EXPECT_TRUE(s.showGuideAtStart());
    EXPECT_FALSE(s.flag(L::autoUpdateNotice));
    EXPECT_EQ(s.aviCompressValues().fccHandler, 0u) << "0 picks the default compressor";
    ExePlaySettings e = s.exePlaySettings();
    EXPECT_EQ(e.startMaximised, 1);
    EXPECT_EQ(e.positionSpecified, 1);
    EXPECT_EQ(e.standardFrame, 1);
    EXPECT_EQ(e.exitAtEnd, 1);
    EXPECT_EQ(e.imageCodec, 2);
    EXPECT_EQ(e.soundCodec, 1);
    EXPECT_EQ(e.title, "");
    std::vector<int> fb = s.fallbackLines();
    ASSERT_FALSE(fb.empty());
    EXPECT_EQ(fb.front(), had ? 10 : 0);
    EXPECT_EQ(fb.back(), 129);
  }
}

TEST(SettingsFile, EveryFallbackPassesItsOwnRow) {
  SettingsFile s;  // all fallbacks
  for (int i = 0; i < SettingsFile::kLines; ++i) EXPECT_TRUE(s.usable(i)) << "line " << i;
}

// ---- saving ----------------------------------------------------------------------

TEST(SettingsFile, LoadAndSaveKeepsWhatNoWriterOwns) {
  std::vector<std::string> lines = fixtureLines();
  lines[L::frameRate] = "garbage";
  for (int i = 130; i < 135; ++i) lines.push_back(i == 132 ? "" : "后来的行 " + std::to_string(i));
  const std::string original = join(lines);

  // Untouched, the file comes back byte for byte.
  EXPECT_EQ(loaded(original).toBytes(), original);

  // Every writer's lines replaced, as close, the hot-key page, the recorder
  // and the playback-settings form do.
  SettingsFile s = loaded(original);
  s.setHotKeys({false, true, false, "F8", "F9", "F10", "F12"});
  s.setRaw(L::stopTipDismissed, "1");
  s.setCustomInfoPlacement({1, 2, 3, 4, 0});
  s.setText(L::customInfoText, "新文字");
  s.setExePlaySettings(loaded("").exePlaySettings());
  for (int line : {30, 32, 33, 34, 35, 39, 66, 69, 70, 71, 72, 98, 111, 115, 124, 125, 128, 129})
    s.setFlag(line, false);
  s.setRecordCursor(true);
  s.setDirectOutput(DirectOutput::wmv);
  s.setText(L::tempFolder, "C:\\rec\\");
  s.setRaw(L::windowWhileRecording, "2");
  s.setSoundFormat(16, 22050);
  s.setAviCompressValues({1, 2, 3, -4, 5, 6, 7, 8, 9});
  for (int line = 59; line <= 65; ++line) s.setInteger(line, 1);
  s.setInteger(L::frameRate, 0);
  for (int line = 94; line <= 129; ++line) s.setInteger(line, 1);
  s.setTimeOfDay(L::scheduleStartTime, 0.125);
  s.setTimeOfDay(L::scheduleEndTime, 0.5);

  ScratchDir dir;
  dir.write("set.dat", original);
  s.saveToFile(dir.path("set.dat"));
  EXPECT_EQ(dir.entries(), std::vector<std::string>{"set.dat"}) << "no temporary file is left";
  std::vector<std::string> saved = splitCrLf(dir.read("set.dat"));
  ASSERT_EQ(saved.size(), lines.size());
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (ownedByAWriter(static_cast<int>(i))) continue;
    EXPECT_EQ(saved[i], lines[i]) << "line " << i;
  }
  EXPECT_EQ(saved[L::outputAvi], "0");
  EXPECT_EQ(saved[L::outputExe], "0") << "the file keeps no WMV choice";
  EXPECT_EQ(saved[L::soundBits], "2");
  EXPECT_EQ(saved[L::soundRate], "3");
  EXPECT_EQ(saved[53], "-4") << "dwQuality is signed";
  EXPECT_EQ(saved[L::customInfoX], "196609") << "corner 0, margin 3, X 1";
  EXPECT_EQ(saved[L::scheduleStartTime], "0.125");
}

TEST(SettingsFile, LineBreaksInsideATextStayOnItsLine) {
  SettingsFile s = loaded(join(fixtureLines()));
  s.setText(L::customInfoText, "第一行\r\n第二行");
  s.setText(L::tempFolder, "C:\\a\nb");
  s.setHotKeys({false, false, false, "F2\rF3", "F3", "F4", "F11"});
  std::vector<std::string> saved = splitCrLf(s.toBytes());
  ASSERT_EQ(saved.size(), 130u);
  EXPECT_EQ(saved[L::customInfoText], "第一行");
  EXPECT_EQ(saved[L::tempFolder], "C:\\a");
  EXPECT_EQ(saved[L::hotkeyStartStop], "F2");
  EXPECT_EQ(saved[L::customInfoFontSize], "18");
}

TEST(SettingsFile, TitleIsCutAtACharacterBoundary) {
  const std::string a22(22, 'a');
  struct Case {
    std::string title, stored;
  } cases[] = {
      {"", ""},
      {a22 + "b", a22 + "b"},         // 23 bytes fill the field with its NUL last
      {a22 + "bc", a22 + "b"},        // 24 bytes: one too many
      {a22 + "录", a22},              // the double-byte character would straddle byte 23
      {"录像录像录像录像录像录像", "录像录像录像录像录像录"},  // 24 bytes of Chinese: 22 kept
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.title);
    std::vector<std::string> lines = fixtureLines();
    lines[L::exeTitle] = c.title;
    EXPECT_EQ(loaded(join(lines)).exePlaySettings().title, c.stored) << "read";
    SettingsFile s;
    ExePlaySettings e = s.exePlaySettings();
    e.title = c.title;
    s.setExePlaySettings(e);
    EXPECT_EQ(s.raw(L::exeTitle), AnsiString(c.stored)) << "written";
  }
}

TEST(SettingsFile, SaveIntoAMissingFolderRaises) {
  ScratchDir dir;
  EXPECT_THROW(SettingsFile().saveToFile(dir.path("no such folder/set.dat")), Exception);
  EXPECT_TRUE(dir.entries().empty());
}

// ---- the packed caption position ---------------------------------------------------

TEST(CustomInfoPlacement, PackedWordsBothWays) {
  struct Case {
    CustomInfoPlacement p;
    int32_t line7, line8;
  } cases[] = {
      {{0, 0, 30, 20, 0}, 1966080, 1310720},
      {{0, 0, 30, 20, 1}, 18743296, 18087936},  // 0x011E0000: corner 1, margin 30
      {{100, 50, 200, 255, 4}, 80216164, 83820594},
      {{5, 7, 128, 128, 2}, 41943045, 41943047},
      {{65535, 65535, 255, 255, 3}, 67108863, 67108863},
      {{640, 480, 0, 1, 3}, 50332288, 50397664},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.line7));
    EXPECT_EQ(packCustomInfoX(c.p), c.line7);
    EXPECT_EQ(packCustomInfoY(c.p), c.line8);
    CustomInfoPlacement back = unpackCustomInfo(c.line7, c.line8);
    EXPECT_EQ(back.x, c.p.x);
    EXPECT_EQ(back.y, c.p.y);
    EXPECT_EQ(back.marginX, c.p.marginX);
    EXPECT_EQ(back.marginY, c.p.marginY);
    EXPECT_EQ(back.corner, c.p.corner);
  }
}

TEST(CustomInfoPlacement, WordsBelow65536ArePlainPositions) {
  struct Case {
    int32_t line7, line8;
  } cases[] = {{1234, 567}, {65535, 70000}, {0, 0}, {-5, -6}};
  for (const Case& c : cases) {
    CustomInfoPlacement p = unpackCustomInfo(c.line7, c.line8);
    EXPECT_EQ(p.x, c.line7);
    EXPECT_EQ(p.y, c.line8);
    EXPECT_EQ(p.marginX, 30);
    EXPECT_EQ(p.marginY, 20);
    EXPECT_EQ(p.corner, 0);
  }
  // Corner 0 with both margins 0 packs below 65536: the next start reads a
  // plain position and the start margins.
  CustomInfoPlacement zero{12, 34, 0, 0, 0};
  EXPECT_EQ(packCustomInfoX(zero), 12);
  EXPECT_EQ(unpackCustomInfo(packCustomInfoX(zero), packCustomInfoY(zero)).marginX, 30);
}

// ---- the writers that rewrite their own lines ------------------------------------

TEST(SettingsRewrites, EachWriterChangesOnlyItsLines) {
  struct Case {
    const char* name;
    std::function<void(const AnsiString&)> write;
    std::vector<std::pair<int, std::string>> changed;
  } cases[] = {
      {"hot keys",
       [](const AnsiString& p) { rewriteHotKeys(p, {true, true, false, "F10", "F11", "F12", "0"}); },
       {{0, "1"}, {1, "1"}, {2, "0"}, {3, "F10"}, {4, "F11"}, {5, "F12"}, {73, "0"}}},
      {"stop tip",
       [](const AnsiString& p) { rewriteStopTipDismissed(p); },
       {{6, "1"}}},
      {"playback settings",
       [](const AnsiString& p) {
         ExePlaySettings e;
         e.backgroundColour = 255;
         e.startMaximised = 1;
         e.positionSpecified = 1;
         e.windowX = 3;
         e.windowY = -4;
         e.standardFrame = 0;
         e.loopPlay = 0;
         e.autoZoom = 0;
         e.exitAtEnd = 1;
         e.showPlayTime = 0;
         e.allowContextMenu = 0;
         e.allowControlWindow = 0;
         e.title = "新的标题";
         e.fullScreen = 0;
         e.showControlWindowAtStart = 0;
         e.imageCodec = 1;
         e.showInitProgress = 0;
         e.soundCodec = 2;
         e.clickReminder = 0;
         e.denoise = 0;
         rewriteExePlaySettings(p, e);
       },
       {{10, "255"}, {11, "1"}, {12, "1"}, {13, "3"}, {14, "-4"}, {15, "0"}, {16, "0"}, {17, "0"},
        {18, "1"}, {19, "0"}, {20, "0"}, {21, "0"}, {22, "新的标题"}, {23, "0"}, {24, "0"}, {25, "1"},
        {26, "0"}, {27, "2"}, {28, "0"}, {67, "0"}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScratchDir dir;
    std::vector<std::string> lines = fixtureLines();
    lines[L::stopTipDismissed] = "";
    lines.push_back("past the table");
    dir.write("set.dat", join(lines));
    c.write(dir.path("set.dat"));

    std::vector<std::string> expected = lines;
    for (const auto& [line, text] : c.changed) expected[static_cast<std::size_t>(line)] = text;
    std::vector<std::string> saved = splitCrLf(dir.read("set.dat"));
    ASSERT_EQ(saved.size(), expected.size());
    for (std::size_t i = 0; i < saved.size(); ++i) EXPECT_EQ(saved[i], expected[i]) << "line " << i;

    // A missing file is made whole: the fallbacks plus the writer's lines.
    ScratchDir fresh;
    c.write(fresh.path("set.dat"));
    std::vector<std::string> made = splitCrLf(fresh.read("set.dat"));
    ASSERT_EQ(made.size(), 130u);
    for (const auto& [line, text] : c.changed) EXPECT_EQ(made[static_cast<std::size_t>(line)], text);
    EXPECT_EQ(made[L::frameRate], "5");
  }
}

TEST(SettingsRewrites, RewrittenHotKeysReadBack) {
  ScratchDir dir;
  rewriteHotKeys(dir.path("set.dat"), {true, false, true, "F1", "F12", "F6", "0"});
  SettingsFile s;
  ASSERT_TRUE(s.loadFromFile(dir.path("set.dat")));
  EXPECT_EQ(s.hotKeys().modifiers(), 6);
  EXPECT_EQ(s.keyCode(L::hotkeyStartStop), 112);
  EXPECT_EQ(s.keyCode(L::hotkeyPause), 123);
  EXPECT_EQ(s.keyCode(L::hotkeyPauseFrame), 117);
  EXPECT_EQ(s.keyCode(L::hotkeyDrawBoard), 122);
  EXPECT_EQ(s.raw(L::hotkeyDrawBoard), AnsiString("0")) << "the file keeps \"0\"";
}

// ---- set.def, the working folder, setc.dat ---------------------------------------------

TEST(SettingsFactoryDefaults, SetDefFillsTheTemplateByMode) {
  std::vector<std::string> def(28, "1");
  def[10] = "8421376";
  def[13] = "11";
  def[14] = "22";
  def[22] = "出厂";
  def[25] = "0";
  def[27] = "6";
  SettingsFile setDef = loaded(join(def));
  for (bool newExe : {true, false}) {
    SCOPED_TRACE(newExe ? "new EXE" : "existing EXE");
    ExePlaySettings e;
    e.imageCodec = 3;
    e.soundCodec = 2;
    e.clickReminder = 0;
    e.denoise = 1;
    setDef.applyFactoryDefaults(e, newExe);
    EXPECT_EQ(e.backgroundColour, 8421376);
    EXPECT_EQ(e.windowX, 11);
    EXPECT_EQ(e.windowY, 22);
    EXPECT_EQ(e.loopPlay, 1);
    EXPECT_EQ(e.title, std::string("出厂"));
    EXPECT_EQ(e.showInitProgress, 1);
    EXPECT_EQ(e.imageCodec, newExe ? 0 : 3);
    EXPECT_EQ(e.soundCodec, newExe ? 6 : 2);
    EXPECT_EQ(e.clickReminder, 0) << "line 28 is not read";
    EXPECT_EQ(e.denoise, 1) << "line 67 is not read";
  }
  // Without set.def the designed values of the form stand in.
  ExePlaySettings e;
  loaded("").applyFactoryDefaults(e, true);
  EXPECT_EQ(e.exitAtEnd, 1);
  EXPECT_EQ(e.imageCodec, 2);
  EXPECT_EQ(e.soundCodec, 1);
}

TEST(WorkingFolder, AMissingFolderFallsBackToLsAndCanBeMade) {
  ScratchDir dir;
  ASSERT_TRUE(ensureFolder(dir.path("rec")));
  SettingsFile s;
  s.setText(L::tempFolder, dir.path("rec"));
  WorkingFolder w = workingFolder(s, dir.path());
  EXPECT_EQ(w.path, dir.path("rec"));
  EXPECT_FALSE(w.fellBack);

  for (const char* gone : {"", "deleted\\"}) {
    s.setText(L::tempFolder, gone[0] ? dir.path(gone) : AnsiString());
    w = workingFolder(s, dir.path());
    EXPECT_EQ(w.path, dir.path("ls\\"));
    EXPECT_TRUE(w.fellBack);
  }
  EXPECT_FALSE(DirectoryExists(w.path));
  EXPECT_TRUE(ensureFolder(w.path));
  EXPECT_TRUE(DirectoryExists(w.path));
  s.setText(L::tempFolder, w.path);
  EXPECT_FALSE(workingFolder(s, dir.path()).fellBack);
}

TEST(KeptCodecValues, MissingShortAndLongFiles) {
  ScratchDir dir;
  KeptCodecValues v;
  EXPECT_FALSE(v.loadFromFile(dir.path("setc.dat")));
  v.setValue(0, 3);
  v.saveToFile(dir.path("setc.dat"));
  std::vector<std::string> made = splitCrLf(dir.read("setc.dat"));
  ASSERT_EQ(made.size(), 100u);
  EXPECT_EQ(made[0], "3");
  for (std::size_t i = 1; i < made.size(); ++i) EXPECT_EQ(made[i], "0");

  std::vector<std::string> lines(102, "0");
  lines[1] = "7";
  lines[2] = "x";
  lines[101] = "kept";
  KeptCodecValues k;
  k.loadFromBytes(join(lines).data(), join(lines).size());
  EXPECT_EQ(k.value(0), 0);
  EXPECT_EQ(k.value(1), 7);
  EXPECT_EQ(k.value(2), 0);
  k.setValue(1, 0);
  lines[1] = "0";
  EXPECT_EQ(k.toBytes(), join(lines));

  KeptCodecValues s;
  s.loadFromBytes("5\r\n", 3);
  EXPECT_EQ(s.value(0), 5);
  EXPECT_EQ(splitCrLf(s.toBytes()).size(), 100u);
}

}  // namespace
