// The EXE container read back from recordings built by the test from the
// byte layout tables: frames, cursor blocks, caption, settings, sound tracks,
// multi-section tails, the probes, and the tail scan and repair on damaged
// and cut-off files.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>

#include "ExeContainer.h"
#include "ExeFrames.h"
#include "FrameCodec.h"
#include "SoundTrack.h"
#include "exe_fixture.h"

using namespace exefix;

namespace {

std::string str(const std::vector<uint8_t>& v) { return std::string(v.begin(), v.end()); }

struct TempFile {
  std::string path;
  explicit TempFile(const std::vector<uint8_t>& bytes) {
    static int n = 0;
    path = (std::filesystem::temp_directory_path() /
            ("vidorra_exe_" + std::to_string(::getpid()) + "_" + std::to_string(n++) + ".exe"))
               .string();
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), long(bytes.size()));
  }
  ~TempFile() { std::remove(path.c_str()); }
  std::vector<uint8_t> read() const {
    std::ifstream f(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(f), {});
  }
};

}  // namespace

TEST(ExeRecording, ReadsFramesCursorCaptionAndSettings) {
  Exe exe = buildExe(ExeRecipe());
  SpanSource src(exe.bytes);
  ExeRecording r;
  ASSERT_TRUE(r.open(src));
  EXPECT_EQ(r.pictureStart, 104);
  EXPECT_EQ(r.soundStart, -1);
  EXPECT_EQ(r.header.width, 64);
  EXPECT_EQ(r.header.frameCount, 4);
  EXPECT_EQ(r.header.soundSource, 3);
  EXPECT_EQ(r.caption.text, "AB");
  EXPECT_EQ(r.caption.x, 11);
  EXPECT_EQ(r.caption.fontName, "Arial");
  EXPECT_EQ(r.caption.fontColour, 0xFF);
  EXPECT_EQ(r.caption.bold, 1);
  EXPECT_EQ(r.caption.underline, 1);
  EXPECT_EQ(r.settings.backgroundColour, 0x123456);
  EXPECT_EQ(r.settings.loopPlay, 1);
  EXPECT_EQ(r.settings.title, "Demo");
  EXPECT_EQ(r.settings.imageCodec, 3);
  EXPECT_EQ(r.settings.lowQuality, 1);
  EXPECT_EQ(r.mouseList, "0\r\n10\r\n20\r\n1\r\n3\r\n4\r\n0\r\n0\r\n");
  ASSERT_EQ(r.keyFrames.size(), 2u);
  EXPECT_EQ(r.keyFrames[1], std::make_pair(int32_t(3), int64_t(exe.frame3)));

  ExeFrame f;
  ASSERT_TRUE(r.readFrame(f));
  EXPECT_EQ(f.number, 0);
  EXPECT_EQ(f.cursorX, 5);
  EXPECT_EQ(str(f.icon), "ICON00");
  ASSERT_EQ(f.updates.size(), 1u);
  EXPECT_EQ(str(f.updates[0].image), "IMG0!");
  EXPECT_EQ(f.updates[0].rect.right, 64);

  ASSERT_TRUE(r.readFrame(f));
  EXPECT_EQ(f.number, 1);
  EXPECT_TRUE(f.hasCursorBlock);
  EXPECT_TRUE(f.icon.empty());  // the previous icon stays
  ASSERT_EQ(f.updates.size(), 2u) << "the rectangle outside the picture is dropped";
  EXPECT_EQ(str(f.updates[0].image), "abc");
  EXPECT_EQ(f.updates[1].rect.left, 60);
  EXPECT_EQ(f.updates[1].rect.right, 64);  // clipped to the picture
  EXPECT_EQ(f.updates[1].rect.bottom, 48);
  EXPECT_EQ(str(f.updates[1].image), "de");

  ASSERT_TRUE(r.readFrame(f));
  EXPECT_EQ(f.number, 2);
  EXPECT_EQ(f.cursorX, 9);
  EXPECT_TRUE(f.updates.empty());

  ASSERT_TRUE(r.readFrame(f));
  EXPECT_EQ(str(f.icon), "ICO3");
  EXPECT_EQ(str(f.updates.at(0).image), "KEY3");
  EXPECT_FALSE(r.readFrame(f)) << "frameCount frames only";

  // A key frame from the list is read the same way.
  ASSERT_TRUE(r.seekKeyFrame(1));
  ASSERT_TRUE(r.readFrame(f));
  EXPECT_EQ(f.number, 3);
  EXPECT_EQ(str(f.updates.at(0).image), "KEY3");
}

// Word-layout (type 1) tokens of a w x h 16-bit BMP file image whose pixel
// (x, y), counted from the top-left, is pixel(x, y): "BM" as the leading
// literal, then every word as a run of one, so no zero word reads as a token.
template <typename Pixel>
std::vector<uint8_t> patternImage(int w, int h, Pixel pixel) {
  const int stride = (2 * w + 3) / 4 * 4;
  Bytes bmp;
  bmp.raw(std::string("BM"));
  bmp.i32(66 + stride * h);
  bmp.i32(0);
  bmp.i32(66);
  for (int32_t v : {40, w, h}) bmp.i32(v);
  bmp.b.insert(bmp.b.end(), {1, 0, 16, 0});  // planes, bit count
  for (int32_t v : {3, 0, 2835, 2835, 0, 0, 0xF800, 0x07E0, 0x001F}) bmp.i32(v);
  for (int y = h - 1; y >= 0; --y) {  // bottom row first
    for (int x = 0; x < w; ++x) {
      bmp.b.push_back(uint8_t(pixel(x, y)));
      bmp.b.push_back(uint8_t(pixel(x, y) >> 8));
    }
    bmp.zeros(std::size_t(stride - 2 * w));
  }
  std::vector<uint8_t> tokens(bmp.b.begin(), bmp.b.begin() + 2);
  for (std::size_t i = 2; i < bmp.size(); i += 2)
    tokens.insert(tokens.end(), {0, 0, 0, 0, 1, 0, bmp.b[i], bmp.b[i + 1]});
  return tokens;
}

// Updates that start left of or above the 64 x 48 picture, or run past its
// right or bottom edge: the reader keeps the stored rectangle next to the
// clipped one, and the decoded image drawn at the stored corner (clipped to
// the picture) puts each image pixel where the file put it.
TEST(ExeRecording, UpdatesReachingOutsideThePicture) {
  struct Case {
    int32_t stored[4];   // left, top, right, bottom in the file
    int32_t clipped[4];  // what changes in the picture
  };
  const Case cases[] = {
      {{-3, -2, 5, 4}, {0, 0, 5, 4}},           // above and left
      {{60, 44, 67, 50}, {60, 44, 64, 48}},     // past right and bottom
      {{-2, 40, 3, 52}, {0, 40, 3, 48}},        // left and bottom
      {{20, -5, 26, 3}, {20, 0, 26, 3}},        // above only
      {{-50, -40, 2, 1}, {0, 0, 2, 1}},         // mostly outside
  };
  // Every image pixel names its update and its place in the image.
  auto pixel = [](std::size_t i, int x, int y) { return uint16_t((i + 1) << 12 | y << 6 | x); };
  ExeRecipe recipe;
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    const int32_t* s = cases[i].stored;
    recipe.frame1.push_back({s[0], s[1], s[2], s[3],
                           patternImage(s[2] - s[0], s[3] - s[1],
                                        [&](int x, int y) { return pixel(i, x, y); })});
  }
  // Frame 0: a whole picture of zeros, under the updates.
  recipe.frame0Image = patternImage(64, 48, [](int, int) { return uint16_t(0); });
  Exe exe = buildExe(recipe);
  SpanSource src(exe.bytes);
  ExeRecording r;
  ASSERT_TRUE(r.open(src));
  ExeFrame f;
  ASSERT_TRUE(r.readFrame(f));
  EXPECT_EQ(f.updates.at(0).stored.right, 64) << "frame 0's picture is stored whole";
  ASSERT_TRUE(r.readFrame(f));
  ASSERT_EQ(f.updates.size(), std::size(cases));

  std::vector<uint16_t> canvas(64 * 48, 0);
  SilentHost host;
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(i);
    const ExeFrameUpdate& u = f.updates[i];
    const int32_t* s = cases[i].stored;
    const int32_t* c = cases[i].clipped;
    EXPECT_EQ((std::vector<int32_t>{u.stored.left, u.stored.top, u.stored.right, u.stored.bottom}),
              std::vector<int32_t>(s, s + 4));
    EXPECT_EQ((std::vector<int32_t>{u.rect.left, u.rect.top, u.rect.right, u.rect.bottom}),
              std::vector<int32_t>(c, c + 4));
    // Decode and draw as the reader documents it.
    std::vector<uint8_t> bmp;
    ASSERT_EQ(decodeFrameImageBytes(u.image.data(), u.image.size(), 1, bmp, host), 1);
    const int w = get32(bmp, 18), h = get32(bmp, 22);
    ASSERT_EQ(w, u.stored.right - u.stored.left);
    ASSERT_EQ(h, u.stored.bottom - u.stored.top);
    const std::size_t stride = std::size_t(2 * w + 3) / 4 * 4;
    for (int32_t y = u.rect.top; y < u.rect.bottom; ++y)
      for (int32_t x = u.rect.left; x < u.rect.right; ++x) {
        const int64_t ix = u.imageX() + (x - u.rect.left), iy = u.imageY() + (y - u.rect.top);
        ASSERT_TRUE(ix >= 0 && ix < w && iy >= 0 && iy < h);
        const std::size_t at = 66 + std::size_t(h - 1 - iy) * stride + std::size_t(2 * ix);
        canvas[std::size_t(y) * 64 + std::size_t(x)] = uint16_t(bmp.at(at) | bmp.at(at + 1) << 8);
      }
  }
  // The picture: each pixel inside a clipped rectangle comes from the image
  // pixel at its offset from the stored corner; all others stay untouched.
  for (int y = 0; y < 48; ++y)
    for (int x = 0; x < 64; ++x) {
      uint16_t want = 0;
      for (std::size_t i = 0; i < std::size(cases); ++i) {
        const int32_t* s = cases[i].stored;
        const int32_t* c = cases[i].clipped;
        if (x >= c[0] && x < c[2] && y >= c[1] && y < c[3]) want = pixel(i, x - s[0], y - s[1]);
      }
      ASSERT_EQ(canvas[std::size_t(y) * 64 + std::size_t(x)], want) << "at " << x << ", " << y;
    }

  // The same frame composed by the library: the file says image codec 3, but
  // these images are type 1 tokens; say so in the settings (at end - 224,
  // imageCodec at 80) and compose frame 1 over frame 0.
  exe.bytes[exe.bytes.size() - 224 + 80] = 1;
  SpanSource again(exe.bytes);
  ExeRecording fresh;
  ASSERT_TRUE(fresh.open(again));
  TBitmap picture;
  ASSERT_EQ(composeExeFrame(fresh, 1, picture, host), 1);
  ASSERT_EQ(picture.PixelFormat(), pf16bit);
  for (int y = 0; y < 48; ++y)
    for (int x = 0; x < 64; ++x) {
      const uint8_t* row = picture.ScanLine(y);
      ASSERT_EQ(uint16_t(row[2 * x] | row[2 * x + 1] << 8), canvas[std::size_t(y) * 64 + std::size_t(x)])
          << "composed at " << x << ", " << y;
    }
  EXPECT_EQ(composeExeFrame(fresh, 99, picture, host), -1) << "past the last frame";
}

TEST(ExeRecording, WithoutMouseList) {
  ExeRecipe recipe;
  recipe.mouseList = false;
  recipe.soundPacking = 1;
  recipe.sound = wav(10);
  recipe.soundAfterPictures = true;
  Exe exe = buildExe(recipe);
  SpanSource src(exe.bytes);
  ExeRecording r;
  ASSERT_TRUE(r.open(src));
  EXPECT_TRUE(r.mouseList.empty());
  EXPECT_EQ(r.keyFrames.size(), 2u);
  EXPECT_TRUE(exeReadsThrough(src));
  VectorSink tail;
  ASSERT_TRUE(writeExeTail(tail, "ignored", r.frameList, r.settings, r.trailer));
  EXPECT_EQ(tail.bytes, std::vector<uint8_t>(exe.bytes.begin() + r.soundEnd, exe.bytes.end()));
}

TEST(ExeRecording, TailWriterMatchesTheLayout) {
  Exe exe = buildExe(ExeRecipe());
  SpanSource src(exe.bytes);
  ExeRecording r;
  ASSERT_TRUE(r.open(src));
  VectorSink tail;
  ASSERT_TRUE(writeExeTail(tail, r.mouseList, r.frameList, r.settings, r.trailer));
  EXPECT_EQ(tail.bytes, std::vector<uint8_t>(exe.bytes.begin() + r.framesEnd, exe.bytes.end()));
  VectorSink lead;
  ASSERT_TRUE(writeExePictureLead(lead, r.header, r.caption));
  auto H = exe.bytes.begin() + long(exe.picture);
  EXPECT_EQ(lead.bytes, std::vector<uint8_t>(H, H + 160));
}

TEST(ExeRecording, CaptionTextFields) {
  // A 40-byte caption without NUL (older writers) reads whole; an empty one is
  // stored as the single byte 100.
  ExeRecipe recipe;
  std::string full(40, 'x');
  for (int i = 0; i < 40; ++i) recipe.caption40.push_back(uint8_t('x' ^ scrambleKey(i)));
  Exe exe = buildExe(recipe);
  SpanSource src(exe.bytes);
  ExeRecording r;
  ASSERT_TRUE(r.open(src));
  EXPECT_EQ(r.caption.text, full);

  CustomCaption c;
  uint8_t b[80];
  c.store(b);
  EXPECT_EQ(b[0], 100);
  // Written captions keep a NUL within 40 bytes and never cut a double-byte
  // character: 20 Chinese characters (40 bytes) become 19.
  std::string chinese;
  for (int i = 0; i < 20; ++i) chinese += "\xC2\xBC";  // one CP936 character
  c.text = chinese;
  c.store(b);
  CustomCaption back = CustomCaption::load(b);
  EXPECT_EQ(back.text, chinese.substr(0, 38));
  // A lone lead byte at the end of a field is cut with its half character.
  ExePlaySettings s;
  s.title = std::string(22, 'a') + "\xC2\xBC";
  uint8_t p[180];
  s.store(p);
  EXPECT_EQ(ExePlaySettings::load(p).title, std::string(22, 'a'));
  EXPECT_EQ(p[56 + 22], 0);
}

TEST(ExeRecording, SoundTracksOfBothPackingsAndPlaces) {
  for (int packing : {1, 2})
    for (bool after : {false, true}) {
      SCOPED_TRACE("packing " + std::to_string(packing) + (after ? " after" : " before"));
      ExeRecipe recipe;
      recipe.soundPacking = packing;
      recipe.soundAfterPictures = after;
      recipe.sound = wav(250000);
      Exe exe = buildExe(recipe);
      SpanSource src(exe.bytes);
      ExeRecording r;
      ASSERT_TRUE(r.open(src));
      ASSERT_GE(r.soundStart, 0);
      EXPECT_EQ(r.dataStartWord < 0, after);
      TestHost host;
      VectorSink out;
      int64_t pos = r.soundStart;
      const SoundPacking* p = findSoundPacking(packing);
      ASSERT_NE(p, nullptr);
      ASSERT_EQ(p->unpack(src, pos, r.soundEnd, out, host), 1);
      EXPECT_EQ(out.bytes, recipe.sound);
      EXPECT_EQ(pos, r.soundEnd) << "the block ends where the next part begins";
      EXPECT_EQ(exeSoundPacking(src), packing);
      EXPECT_EQ(recordingDurationMs(src), 4 * 200);
      EXPECT_TRUE(exeReadsThrough(src)) << "the frames end where the next part begins";
    }
}

TEST(ExeRecording, MultiSectionTail) {
  ExeRecipe a, b;
  b.soundPacking = 2;
  b.sound = wav(5000);
  Exe ea = buildExe(a), eb = buildExe(b);
  std::vector<uint8_t> multi = buildMulti({ea.bytes, eb.bytes}, 100, 7);
  SpanSource src(multi);
  EXPECT_EQ(exeRecordingVersion(src), 108);
  EXPECT_EQ(exeSoundPacking(src), -1);
  EXPECT_EQ(exePlayerSize(src), 100);

  MultiExeTrailer t;
  std::vector<SectionRecord> sections;
  ASSERT_TRUE(readMultiExeTail(src, t, sections));
  ASSERT_EQ(sections.size(), 2u);
  EXPECT_EQ(sections[1].title, "Section 2");
  EXPECT_EQ(sections[0].sectionStart, 100);
  for (std::size_t i = 0; i < 2; ++i) {
    ExeRecording r;
    ASSERT_TRUE(r.openSection(src, sections[i]));
    EXPECT_EQ(r.pictureStart - sections[i].sectionStart + 100, int64_t(i == 0 ? ea.picture : eb.picture));
    ExeFrame f;
    for (int k = 0; k < 4; ++k) ASSERT_TRUE(r.readFrame(f));
    EXPECT_EQ(str(f.updates.at(0).image), "KEY3");
  }
  EXPECT_TRUE(exeReadsThrough(src));

  // The table writer gives the bytes of the hand-built table.
  VectorSink tail;
  ASSERT_TRUE(writeMultiExeTail(tail, sections, t));
  EXPECT_EQ(tail.bytes, std::vector<uint8_t>(multi.end() - 68 - 160, multi.end()));

  // A section table that claims more than is there is refused.
  std::vector<uint8_t> bad = multi;
  bad[bad.size() - 68 + 12] = 51;  // sectionCount
  SpanSource badSrc(bad);
  EXPECT_FALSE(readMultiExeTail(badSrc, t, sections));
  Bytes m{multi};
  m.put32(multi.size() - 68 - 80 + 56, int32_t(multi.size()));  // section 2 ends past the table
  SpanSource badEnd(m.b);
  EXPECT_FALSE(readMultiExeTail(badEnd, t, sections));
}

TEST(ExeProbes, Table) {
  auto single = [](int32_t version, int32_t edit, int32_t play) {
    ExeRecipe s;
    s.version = version;
    s.editKey = edit;
    s.playKey = play;
    return buildExe(s).bytes;
  };
  std::vector<uint8_t> good = single(8, 0, 0);
  std::vector<uint8_t> wrongMagic = good;
  wrongMagic[wrongMagic.size() - 12 + 8] = 'x';
  std::vector<uint8_t> nulInsideMagicSpot = good;
  nulInsideMagicSpot[nulInsideMagicSpot.size() - 3] = 'x';  // byte 41 is not examined
  struct Row {
    const char* name;
    std::vector<uint8_t> file;
    int version, protection, playerSize, packing;
  } rows[] = {
      {"good", good, 8, 0, 100, 1},
      {"version 6", single(6, 0, 0), 8, 0, 100, 1},
      {"version 7", single(7, 0, 0), 8, 0, 100, 1},
      {"version 5", single(5, 0, 0), 5, 0, 100, 1},
      {"edit lock", single(8, 77, 5), 8, 1, 100, 1},
      {"password", single(8, 0, 5), 8, 2, 100, 1},
      {"byte 41 set", nulInsideMagicSpot, 8, 0, 100, 1},
      {"wrong magic", wrongMagic, -1, -1, -1, -1},
      {"short", std::vector<uint8_t>(good.end() - 43, good.end()), -1, -1, -1, -1},
      {"empty", {}, -1, -1, -1, -1},
      {"multi, edit lock", buildMulti({good, good}, 100, 8, 3, 0), 108, 1, 100, -1},
      {"multi, password", buildMulti({good}, 100, 8, 0, 3), 108, 2, 100, -1},
  };
  for (auto& row : rows) {
    SCOPED_TRACE(row.name);
    SpanSource src(row.file);
    EXPECT_EQ(exeRecordingVersion(src), row.version);
    EXPECT_EQ(exeProtectionState(src), row.protection);
    EXPECT_EQ(exePlayerSize(src), row.playerSize);
    EXPECT_EQ(exeSoundPacking(src), row.packing);
  }
}

TEST(ExeProbes, FileThatCannotBeOpened) {
  TestHost host;
  EXPECT_EQ(exeRecordingVersion("/nonexistent/x.exe", host), -1);
  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_EQ(host.messages[0], "打开文件失败,/nonexistent/x.exe");
  EXPECT_EQ(scanExeDamage("/nonexistent/x.exe"), 0);
  EXPECT_EQ(host.messages.size(), 1u) << "the tail scan is silent";

  Exe exe = buildExe(ExeRecipe());
  TempFile f(exe.bytes);
  EXPECT_EQ(exeRecordingVersion(f.path.c_str(), host), 8);
  EXPECT_EQ(exeSoundPacking(f.path.c_str(), host), 1);
}

TEST(ExeTail, ScanAndRepairAppendedBytes) {
  ExeRecipe recipe;
  recipe.soundPacking = 2;
  recipe.sound = wav(3000);
  std::vector<uint8_t> good = buildExe(recipe).bytes;
  std::vector<uint8_t> zeros = good, garbage = good;
  zeros.insert(zeros.end(), 5000, 0);
  for (int i = 0; i < 300; ++i) garbage.push_back(uint8_t(i * 31 + 1));
  struct Row {
    const char* name;
    std::vector<uint8_t> file;
    int scan;
    int repair, forced;  // results of repair without and with force
  } rows[] = {
      {"intact", good, 0, 0, 0},
      {"zeros appended", zeros, 1, 1, 1},
      {"garbage appended", garbage, 2, 0, 1},
  };
  for (auto& row : rows) {
    SCOPED_TRACE(row.name);
    SpanSource src(row.file);
    EXPECT_EQ(scanExeDamage(src), row.scan);
    for (bool force : {false, true}) {
      TempFile f(row.file);
      EXPECT_EQ(scanExeDamage(f.path.c_str()), row.scan);
      int expected = force ? row.forced : row.repair;
      EXPECT_EQ(repairExeTail(f.path.c_str(), force), expected) << "force " << force;
      EXPECT_EQ(f.read(), expected ? good : row.file);
    }
  }
}

TEST(ExeTail, RepairOfCutOffFilesNeverClaimsABrokenFile) {
  ExeRecipe recipe;
  recipe.soundPacking = 1;
  recipe.sound = wav(2000);
  std::vector<uint8_t> one = buildExe(recipe).bytes;
  std::vector<uint8_t> multi = buildMulti({one, one, one}, 100);
  std::mt19937 rng(1234);
  for (const auto* file : {&one, &multi}) {
    for (int trial = 0; trial < 40; ++trial) {
      std::vector<uint8_t> cut(file->begin(), file->begin() + long(rng() % (file->size() - 1)));
      // Some cuts get zeros or garbage after them, as a crashed writer leaves.
      if (trial % 3 == 1) cut.insert(cut.end(), 700, 0);
      if (trial % 3 == 2) for (int i = 0; i < 700; ++i) cut.push_back(uint8_t(rng()));
      TempFile f(cut);
      for (bool force : {false, true}) {
        int r = repairExeTail(f.path.c_str(), force);
        std::vector<uint8_t> after = f.read();
        if (r == 1) {
          SpanSource src(after);
          EXPECT_TRUE(exeReadsThrough(src)) << "trial " << trial;
          EXPECT_GE(exeRecordingVersion(src), 8);
        } else {
          EXPECT_EQ(r, 0);
          EXPECT_EQ(after, cut) << "a refused repair leaves the file alone";
        }
      }
    }
  }
  // A multi-section file cut right after a section: the trailer found there is
  // that section's, and the bytes before it are not a single recording.
  SpanSource whole(multi);
  MultiExeTrailer t;
  std::vector<SectionRecord> s;
  ASSERT_TRUE(readMultiExeTail(whole, t, s));
  std::vector<uint8_t> cut(multi.begin(), multi.begin() + s[1].sectionEnd);
  cut.insert(cut.end(), 100, 0);
  TempFile f(cut);
  EXPECT_EQ(scanExeDamage(f.path.c_str()), 1);
  EXPECT_EQ(repairExeTail(f.path.c_str(), true), 0);
  EXPECT_EQ(f.read(), cut);
}

TEST(ExeRecording, DamagedLayoutsAreRefused) {
  Exe exe = buildExe(ExeRecipe());
  std::size_t n = exe.bytes.size();
  struct Row {
    const char* name;
    std::size_t at;
    int32_t value;
  } rows[] = {
      {"frame list length too long", n - 228, int32_t(n)},
      {"frame list length negative", n - 228, -5},
      {"player size beyond the file", n - 16, int32_t(n)},
      {"player size negative", n - 16, -4},
      {"sound offset beyond the file", 100, -int32_t(n * 2)},
      {"picture width zero", exe.picture + 4, 0},
      {"key frame outside the frames", 0, 0},  // patched below
  };
  for (auto& row : rows) {
    SCOPED_TRACE(row.name);
    Bytes b{exe.bytes};
    if (row.at) b.put32(row.at, row.value);
    else {  // turn "160" of the key-frame list into "960"
      std::string text(b.b.begin(), b.b.end());
      std::size_t at = text.rfind("0\r\n160\r\n");
      b.b[at + 3] = '9';
    }
    SpanSource src(b.b);
    ExeRecording r;
    EXPECT_FALSE(r.open(src));
  }
  // Lengths inside frames that run past the frames' end stop the walk.
  for (std::size_t at : {exe.picture + 160 + 8, exe.picture + 160 + 12 + 6}) {
    Bytes b{exe.bytes};
    b.put32(at, 0x7FFFFFF0);  // icon length, then image length of frame 0
    SpanSource src(b.b);
    ExeRecording r;
    ASSERT_TRUE(r.open(src));
    ExeFrame f;
    EXPECT_FALSE(r.readFrame(f));
  }
}

TEST(ExeTail, UnfinishedRecording) {
  // An .exw: the recording without sound, then soundRecorded and addClickSounds.
  Exe exe = buildExe(ExeRecipe());
  Bytes exw{exe.bytes};
  exw.i32(1);
  exw.i32(0);
  SpanSource src(exw.b);
  ExwTail t;
  ASSERT_TRUE(readExwTail(src, t));
  EXPECT_EQ(t.soundRecorded, 1);
  EXPECT_EQ(t.addClickSounds, 0);
  EXPECT_EQ(t.trailer.playerSize, 100);
  WindowSource body(src, 0, src.size() - 8);
  EXPECT_TRUE(exeReadsThrough(body));
  SpanSource finished(exe.bytes);
  EXPECT_FALSE(readExwTail(finished, t));
}

TEST(ExeTail, ExwTailAndCursorChange) {
  uint8_t b[52] = {};
  ExwTail t;
  t.trailer.playerSize = 4096;
  t.soundRecorded = 1;
  t.addClickSounds = 1;
  t.store(b);
  EXPECT_EQ(std::memcmp(b + 32, "qorvimdvq\0\0\0", 12), 0);
  EXPECT_EQ(get32(std::vector<uint8_t>(b, b + 52), 28), 4096);
  EXPECT_EQ(get32(std::vector<uint8_t>(b, b + 52), 44), 1);
  EXPECT_EQ(ExwTail::load(b).addClickSounds, 1);

  std::vector<uint8_t> a{1, 2, 3}, same{1, 2, 3}, other{1, 2, 4}, longer{1, 2, 3, 0};
  EXPECT_FALSE(cursorImageChanged(a, same));
  EXPECT_TRUE(cursorImageChanged(a, other));
  EXPECT_TRUE(cursorImageChanged(a, longer));
}
