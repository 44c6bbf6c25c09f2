// The numbers behind the recording's side windows: the spelled stop key of
// the stop tip (from set.dat bytes), the tray blink, the monitor window's
// place, its thumbnail, and which WAV bytes become which waveform columns.
// Expected values come from the tables and worked cases of the recorder's
// description, and the sample bytes are built by hand.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "SettingsFile.h"
#include "StopKeyText.h"
#include "TickSideWork.h"

namespace {

// set.dat with lines 0..3 as given and everything else missing.
AnsiString spelledFrom(const char* ctrl, const char* alt, const char* shift, const char* key) {
  std::string bytes = std::string(ctrl) + "\r\n" + alt + "\r\n" + shift + "\r\n" + key + "\r\n";
  SettingsFile s;
  s.loadFromBytes(bytes.data(), bytes.size());
  return spellStopKey(s.hotKeys());
}

TEST(StopKeyText, SpelledFromTheHotKeyLines) {
  struct Case {
    const char *ctrl, *alt, *shift, *key, *expected;
  } cases[] = {
      {"1", "0", "0", "F2", "Ctrl+F2"},
      {"0", "1", "0", "F9", "Alt+F9"},
      {"0", "0", "1", "F12", "Shift+F12"},
      {"1", "1", "1", "F5", "Ctrl+Alt+Shift+F5"},
      {"1", "0", "1", "F5", "Ctrl+Shift+F5"},
      {"0", "1", "1", "F1", "Alt+Shift+F1"},
      {"0", "0", "0", "F3", "F3"},  // no modifier: no leading "+"
      // Only "1" switches a modifier on, as for the registered key.
      {"2", "yes", "", "F4", "F4"},
      // A key name the hot keys cannot use reads as the registered fallback.
      {"1", "0", "0", "X", "Ctrl+F2"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(spelledFrom(c.ctrl, c.alt, c.shift, c.key), AnsiString(c.expected))
        << c.ctrl << c.alt << c.shift << " " << c.key;
}

TEST(TrayBlink, OnceASecondOfPictures) {
  EXPECT_TRUE(trayBlinkDue(0, 5));
  EXPECT_FALSE(trayBlinkDue(4, 5));
  EXPECT_TRUE(trayBlinkDue(10, 5));
  EXPECT_TRUE(trayBlinkDue(7, 7.9));  // the rate is truncated
  EXPECT_TRUE(trayBlinkDue(3, 0.5));  // below one a second: every frame
  EXPECT_TRUE(trayBlinkDue(3, 1));
}

TEST(TrayBlink, AlternatesWithTheSoundSign) {
  EXPECT_EQ(trayBlinkImage(1, true, 50), TrayImage::Application);
  EXPECT_EQ(trayBlinkImage(3, false, 0), TrayImage::Application);
  EXPECT_EQ(trayBlinkImage(0, true, 6), TrayImage::WithSound);
  EXPECT_EQ(trayBlinkImage(2, true, 5), TrayImage::NoSound);    // 5 is not "coming in"
  EXPECT_EQ(trayBlinkImage(4, false, 90), TrayImage::NoSound);  // no sound recorded
  EXPECT_EQ(trayBlinkImage(0, true, kStartInputLevel), TrayImage::WithSound);
}

TEST(MonitorPlacement, TopByTheRoomTheTargetLeaves) {
  // Window height 150 on a 768-line screen.
  struct Case {
    bool fullScreen;
    int top, bottom, expected;
  } cases[] = {
      {true, 0, 768, 768 - 150 - 35},
      {false, 0, 400, 768 - 150 - 35},    // room below: the bottom place
      {false, 0, 583, 588},               // 733 is not below 733: just below the target
      {false, 0, 617, 622},               // 767 < 768
      {false, 200, 700, 0},               // no room below, room above
      {false, 100, 700, 768 - 150 - 35},  // no room anywhere: stays on the screen
      {false, 150, 700, 768 - 150 - 35},  // 150 is not less than 150
  };
  for (const Case& c : cases)
    EXPECT_EQ(monitorTop(150, 768, c.fullScreen, c.top, c.bottom), c.expected) << c.top << ".." << c.bottom;
}

TEST(MonitorThumbnail, LargestDivisorAndCentred) {
  struct Case {
    int w, h;
    int width, height, left, top;
  } cases[] = {
      {1024, 768, 128, 96, 0, 16},
      {800, 600, 100, 75, 14, 26},
      {1366, 768, 128, 71, 0, 28},  // nothing from 81 to 128 divides 1366
      {81, 81, 81, 81, 23, 23},
      {160, 1600, 128, 1280, 0, -576},  // no divisor in 81..128; a tall frame overflows
      {0, 100, 0, 0, 0, 0},
  };
  for (const Case& c : cases) {
    const ThumbPlacement p = thumbPlacement(c.w, c.h);
    EXPECT_EQ(p.width, c.width) << c.w << "x" << c.h;
    EXPECT_EQ(p.height, c.height) << c.w << "x" << c.h;
    EXPECT_EQ(p.left, c.left) << c.w << "x" << c.h;
    EXPECT_EQ(p.top, c.top) << c.w << "x" << c.h;
  }
}

TEST(MonitorWave, WhatARefreshReads) {
  const int W = 457;
  struct Case {
    const char* what;
    int64_t size, position;
    int bits;
    int64_t from, bytes;
    int columns;
  } cases[] = {
      // One second of 16-bit mono at 11025 Hz: 110 columns, 25 samples wait.
      {"one second 16-bit", 44 + 22050, 44, 16, 44, 22000, 110},
      {"the 25 left over and 75 more", 44 + 22050 + 150, 44 + 22000, 16, 44 + 22000, 200, 1},
      {"99 samples wait", 44 + 198, 44, 16, 0, 0, 0},
      {"header only", 44, 44, 16, 0, 0, 0},
      {"8-bit", 44 + 1000, 44, 8, 44, 1000, 10},
      {"a full panel exactly", 44 + 457 * 200, 44, 16, 44, 457 * 200, 457},
      // More than a panel: only the newest 457 columns, up to the end.
      {"more than a panel", 44 + 600 * 200 + 30, 44, 16, 44 + 600 * 200 + 30 - 457 * 200, 457 * 200, 457},
      {"24-bit samples", 44 + 30000, 44, 24, 0, 0, 0},
      {"file shorter than read", 44, 1044, 16, 0, 0, 0},
  };
  for (const Case& c : cases) {
    const WaveRead r = planWaveRead(c.size, c.position, c.bits, W);
    EXPECT_EQ(r.columns, c.columns) << c.what;
    if (c.columns == 0) continue;
    EXPECT_EQ(r.from, c.from) << c.what;
    EXPECT_EQ(r.bytes, c.bytes) << c.what;
  }
}

TEST(MonitorWave, SampleHeightsOnThe128Panel) {
  EXPECT_EQ(waveY(0, 16, 128), 64);
  EXPECT_EQ(waveY(32767, 16, 128), 124);
  EXPECT_EQ(waveY(-32768, 16, 128), 4);  // -60.0018 truncates to -60
  EXPECT_EQ(waveY(16384, 16, 128), 94);  // 60 * 16384 / 32767 = 30.0009
  EXPECT_EQ(waveY(-1, 16, 128), 64);
  EXPECT_EQ(waveY(128, 8, 128), 64);
  EXPECT_EQ(waveY(255, 8, 128), 124);
  EXPECT_EQ(waveY(0, 8, 128), 4);  // -60.47 truncates to -60
  EXPECT_EQ(waveY(10000, 16, 128, 2), 64 + 36);  // 60 * 20000 / 32767 = 36.6
}

TEST(MonitorWave, ColumnsSpanEachHundredSamples) {
  // Two 16-bit columns: a ramp -100..-1, then silence with one spike of
  // 32767; then 50 samples that make no whole column.
  std::vector<uint8_t> bytes;
  auto put16 = [&bytes](int v) {
    bytes.push_back(static_cast<uint8_t>(v & 0xFF));
    bytes.push_back(static_cast<uint8_t>((v >> 8) & 0xFF));
  };
  for (int i = 0; i < 100; ++i) put16(-100 + i);
  for (int i = 0; i < 100; ++i) put16(i == 57 ? 32767 : 0);
  for (int i = 0; i < 50; ++i) put16(-32768);
  std::vector<WaveColumn> c = waveColumns(bytes.data(), bytes.size(), 16, 128);
  ASSERT_EQ(c.size(), 2u);
  EXPECT_EQ(c[0].yFrom, 64);  // 60 * -100 / 32767 truncates to 0
  EXPECT_EQ(c[0].yTo, 65);
  EXPECT_EQ(c[1].yFrom, 64);
  EXPECT_EQ(c[1].yTo, 125);

  std::vector<uint8_t> eight(100, 128);
  eight[10] = 0;
  eight[20] = 255;
  c = waveColumns(eight.data(), eight.size(), 8, 128);
  ASSERT_EQ(c.size(), 1u);
  EXPECT_EQ(c[0].yFrom, 4);
  EXPECT_EQ(c[0].yTo, 125);
  EXPECT_TRUE(waveColumns(eight.data(), eight.size(), 24, 128).empty());
}

}  // namespace
