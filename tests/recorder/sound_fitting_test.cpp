// Fitting the live sound side file to the length of the pictures, and the
// click sounds, on WAV files built here byte by byte: cut, padded with the
// file's silence level, already right, odd lengths, whole stereo samples,
// damaged or missing files; which click file fits which format, which events
// sound, and where a click lands.
#include <gtest/gtest.h>

#include "ClickList.h"
#include "SoundFitting.h"
#include "SysUtils.h"
#include "test_files.h"

namespace {

// A 44-byte PCM header with wrong size fields (0), then the data bytes.
Bytes wav(int channels, int rate, int bits, const Bytes& data) {
  Bytes b;
  b.insert(b.end(), {'R', 'I', 'F', 'F'});
  put32(b, 0);
  b.insert(b.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
  put32(b, 16);
  put16(b, 1);
  put16(b, uint16_t(channels));
  put32(b, uint32_t(rate));
  put32(b, uint32_t(rate * channels * bits / 8));
  put16(b, uint16_t(channels * bits / 8));
  put16(b, uint16_t(bits));
  b.insert(b.end(), {'d', 'a', 't', 'a'});
  put32(b, 0);
  b.insert(b.end(), data.begin(), data.end());
  return b;
}

Bytes words(std::size_t n, int16_t v) {
  Bytes b;
  for (std::size_t i = 0; i < n; ++i) put16(b, uint16_t(v));
  return b;
}

TEST(FitWaveLength, CutsPadsAndWritesSizes) {
  struct Case {
    const char* what;
    int channels, rate, bits;
    Bytes data;
    int64_t ms;
    int result;
    int64_t dataLength;
    int padByte;  // expected value of every padded byte, -1 none
  } cases[] = {
      {"8-bit 11025 Hz, 1 s: 11025 rounded down to even", 1, 11025, 8, Bytes(20000, 128), 1000, 1, 11024, -1},
      {"already the right length: sizes only", 1, 11025, 8, Bytes(11024, 128), 1000, -1, 11024, -1},
      {"8-bit padded with its silence level", 1, 8000, 8, Bytes(100, 130), 50, 1, 400, 130},
      {"16-bit odd: one byte cut, then whole words of silence", 1, 8000, 16,
       [] { Bytes d = words(1500, -3); d.push_back(7); return d; }(), 200, 1, 3200, 0xFD},
      {"16-bit stereo 11025 Hz, 20 ms: whole 4-byte samples", 2, 11025, 16, words(1000, 0), 20, 1, 880, -1},
      {"zero length", 1, 22050, 8, Bytes(10, 128), 0, 1, 0, -1},
  };
  for (const Case& c : cases) {
    TempDir dir;
    writeAll(dir.file("s1.wav"), wav(c.channels, c.rate, c.bits, c.data));
    EXPECT_EQ(fitWaveLength(dir.path("s1.wav"), c.ms), c.result) << c.what;
    const Bytes b = readAll(dir.file("s1.wav"));
    ASSERT_EQ(int64_t(b.size()), 44 + c.dataLength) << c.what;
    EXPECT_EQ(get32(b, 4), int32_t(c.dataLength + 36)) << c.what;
    EXPECT_EQ(get32(b, 40), int32_t(c.dataLength)) << c.what;
    const std::size_t kept = std::min<std::size_t>(c.data.size() & ~std::size_t(c.bits == 16), b.size() - 44);
    EXPECT_TRUE(std::equal(b.begin() + 44, b.begin() + 44 + kept, c.data.begin())) << c.what;
    if (c.padByte >= 0) {
      for (std::size_t i = 44 + kept; i < b.size(); ++i) {
        const int want = (c.bits == 16 && (i - 44) % 2) ? 0xFF : c.padByte;
        ASSERT_EQ(b[i], want) << c.what << " at " << i;
      }
    }
  }
}

TEST(FitWaveLength, RefusesWithoutTouchingTheFile) {
  TempDir dir;
  const Bytes shortFile(20, 1);
  writeAll(dir.file("short.wav"), shortFile);
  EXPECT_EQ(fitWaveLength(dir.path("short.wav"), 1000), 0);
  EXPECT_EQ(readAll(dir.file("short.wav")), shortFile);

  Bytes noRate = wav(1, 0, 8, Bytes(10, 128));  // byte rate 0: damaged
  writeAll(dir.file("norate.wav"), noRate);
  EXPECT_EQ(fitWaveLength(dir.path("norate.wav"), 1000), 0);
  EXPECT_EQ(readAll(dir.file("norate.wav")), noRate);

  const Bytes good = wav(1, 8000, 8, Bytes(10, 128));
  writeAll(dir.file("good.wav"), good);
  EXPECT_EQ(fitWaveLength(dir.path("good.wav"), -1), 0);
  EXPECT_EQ(readAll(dir.file("good.wav")), good);
  EXPECT_EQ(fitWaveLength(dir.path("missing.wav"), 1000), 0);
}

TEST(ClickSounds, FileForEachFormat) {
  struct Case { int bits, rate; const char* file; } cases[] = {
      {8, 8000, "mc1.wav"},  {8, 11025, "mc2.wav"},  {8, 22050, "mc3.wav"},  {8, 44100, "mc4.wav"},
      {16, 8000, "mc5.wav"}, {16, 11025, "mc6.wav"}, {16, 22050, "mc7.wav"}, {16, 44100, "mc8.wav"},
      {16, 48000, ""},       {24, 44100, ""},        {8, 0, ""},
  };
  for (const Case& c : cases) EXPECT_EQ(clickSoundFileName(c.bits, c.rate).str(), c.file) << c.bits << "/" << c.rate;
}

TEST(ClickSounds, WhichEventsSound) {
  // frame, kind -> at 5 fps, the events' milliseconds and times.
  const std::vector<ClickEvent> events = {
      {10, 0, 0, 1, 0, 0},  // followed by its release in the same frame: silent
      {10, 0, 0, 2, 0, 0},  // 2000 ms, once
      {14, 0, 0, 1, 0, 0},  // followed by a kind 3: silent
      {15, 0, 0, 3, 0, 0},  // 3000 ms, twice
      {17, 0, 0, 2, 0, 0},  // last event: 3400 ms, once
  };
  const std::vector<ClickSound> plan = planClickSounds(events, 5.0);
  ASSERT_EQ(plan.size(), 3u);
  EXPECT_EQ(plan[0].ms, 2000);
  EXPECT_EQ(plan[0].times, 1);
  EXPECT_EQ(plan[1].ms, 3000);
  EXPECT_EQ(plan[1].times, 2);
  EXPECT_EQ(plan[2].ms, 3400);
  EXPECT_EQ(plan[2].times, 1);
  // Below one frame per second: frame 3 at 0.4 fps is 7.5 s.
  const std::vector<ClickSound> slow = planClickSounds({{3, 0, 0, 1, 0, 0}}, 0.4);
  ASSERT_EQ(slow.size(), 1u);
  EXPECT_EQ(slow[0].ms, 7500);
  EXPECT_TRUE(planClickSounds(events, 0).empty());
}

TEST(ClickSounds, MixedInAtTheWholeSecond) {
  TempDir dir;
  // 3 s of 8-bit 8000 Hz silence, and a 4-sample click of +10.
  writeAll(dir.file("r1.wav"), wav(1, 8000, 8, Bytes(24000, 128)));
  writeAll(dir.file("mc1.wav"), wav(1, 8000, 8, Bytes(4, 138)));
  ASSERT_TRUE(mixClickSound(dir.path("r1.wav"), AnsiString(dir.folder()), 2999, 2));
  const Bytes b = readAll(dir.file("r1.wav"));
  const std::size_t at = 44 + 2 * 8000;  // a click at 2999 ms lands at second 2
  for (std::size_t i = 44; i < b.size(); ++i) {
    const int want = (i >= at && i < at + 8) ? 138 : 128;
    ASSERT_EQ(b[i], want) << "byte " << i;
  }
  // No click past the end of the sound, and none for a format without one.
  EXPECT_FALSE(mixClickSound(dir.path("r1.wav"), AnsiString(dir.folder()), 3000, 1));
  writeAll(dir.file("r48.wav"), wav(1, 48000, 16, words(48000, 0)));
  EXPECT_FALSE(mixClickSound(dir.path("r48.wav"), AnsiString(dir.folder()), 0, 1));
}

TEST(ClickList, EventsAndPictureGeometry) {
  TStringList list;
  appendClickEvent(list, {4, 10, 20, 1, 3, 5});
  for (const char* line : {"5", "x", "1", "1", "0", "0", "0", "0"}) list.Add(line);  // damaged event
  appendClickEvent(list, {6, -1, 2, 3, 0, 0});
  list.Add("7");  // a cut-off last event
  const std::vector<ClickEvent> e = readClickEvents(list);
  ASSERT_EQ(e.size(), 2u);
  EXPECT_EQ(e[0].frame, 4);
  EXPECT_EQ(e[0].hotSpotY, 5);
  EXPECT_EQ(e[1].x, -1);
  EXPECT_EQ(e[1].kind, 3);

  // The cursor of a region target at (100, 50): screen (130, 90), hot spot
  // (3, 4) puts the icon at (27, 36) on the picture; no shape: -1000.
  int x, y;
  cursorOnPicture(true, 130, 90, 3, 4, {100, 50}, x, y);
  EXPECT_EQ(x, 27);
  EXPECT_EQ(y, 36);
  cursorOnPicture(false, 130, 90, 3, 4, {100, 50}, x, y);
  EXPECT_EQ(x, -1000);
  EXPECT_EQ(y, -1000);
}

}  // namespace
