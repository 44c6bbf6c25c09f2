// The .lx readers against a recording assembled here byte by byte from the
// layout (hand-written frame images, an icon, both lists, the trailer):
// frames with and without cursor blocks, repeated index lines, the version
// probe, the sound side files, and damaged files of every length.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "ByteReader.h"
#include "LxFile.h"
#include "SysUtils.h"
#include "codec_fixtures.h"

namespace {

// A 2x2 24-bit icon, opaque (AND mask 0), every pixel pure red.
Bytes redIcon() {
  Bytes b;
  put16(b, 0);
  put16(b, 1);  // icon
  put16(b, 1);  // one image
  b.insert(b.end(), {2, 2, 0, 0});
  put16(b, 1);
  put16(b, 24);
  const uint32_t dibSize = 40 + 8 * 2 + 4 * 2;
  put32(b, dibSize);
  put32(b, 22);
  put32(b, 40);
  put32(b, 2);
  put32(b, 4);  // XOR and AND halves
  put16(b, 1);
  put16(b, 24);
  for (int i = 0; i < 6; ++i) put32(b, 0);
  for (int row = 0; row < 2; ++row) b.insert(b.end(), {0, 0, 255, 0, 0, 255, 0, 0});
  for (int row = 0; row < 2; ++row) put32(b, 0);
  return b;
}

// A type-3 FrameImage of the 2x1 picture, tokens and zlib made here.
Bytes frameImage(uint16_t pixel) {
  const Bytes tokens = wordsToBytes(tinyBmpTokens(pixel));
  const Bytes z = zlibPack(tokens, 5);
  Bytes b;
  put32(b, uint32_t(4 + z.size()));
  put32(b, uint32_t(tokens.size()));
  b.insert(b.end(), z.begin(), z.end());
  return b;
}

struct Recording {
  Bytes bytes;
  std::vector<uint32_t> records;  // offsets of the three frame records
};

// Three records: A with cursor (5, 6) and the icon, B without cursor block,
// C with the "no cursor" position and no icon bytes. The index holds A twice
// (a dropped tick), then B, then C.
Recording buildRecording() {
  Recording r;
  Bytes& b = r.bytes;
  for (int32_t v : {1, 2, 1, 4, 5, 100, 0, 0, 0, 1}) put32(b, uint32_t(v));
  const Bytes icon = redIcon();
  r.records.push_back(uint32_t(b.size()));
  put32(b, 1);
  put32(b, 5);
  put32(b, 6);
  put32(b, uint32_t(icon.size()));
  b.insert(b.end(), icon.begin(), icon.end());
  Bytes im = frameImage(0x1111);
  b.insert(b.end(), im.begin(), im.end());
  r.records.push_back(uint32_t(b.size()));
  put32(b, 0);
  im = frameImage(0x2222);
  b.insert(b.end(), im.begin(), im.end());
  r.records.push_back(uint32_t(b.size()));
  put32(b, 1);
  put32(b, uint32_t(-1000));
  put32(b, uint32_t(-1000));
  put32(b, 0);
  im = frameImage(0x3333);
  b.insert(b.end(), im.begin(), im.end());
  const std::string mouse = "1\r\n10\r\n20\r\n1\r\n3\r\n4\r\n0\r\n0\r\n";
  b.insert(b.end(), mouse.begin(), mouse.end());
  put32(b, uint32_t(mouse.size()));
  std::string index;
  for (uint32_t off : {r.records[0], r.records[0], r.records[1], r.records[2]})
    index += std::to_string(off) + "\r\n";
  b.insert(b.end(), index.begin(), index.end());
  put32(b, uint32_t(index.size()));
  Bytes trailer(40, 0);
  trailer[20] = 8;
  trailer[24] = 6;
  std::memcpy(&trailer[28], "qorvimlxs", 9);
  b.insert(b.end(), trailer.begin(), trailer.end());
  return r;
}

TMemoryStream* streamOf(const Bytes& b) {
  auto* s = new TMemoryStream;
  if (!b.empty()) s->WriteBuffer(b.data(), int(b.size()));
  s->SetPosition(0);
  return s;
}

uint16_t pixelAt(const TBitmap& bmp, int x, int y) {
  const uint8_t* p = bmp.ScanLine(y) + 2 * x;
  return uint16_t(p[0] | p[1] << 8);
}

TEST(LxFile, ReadsFramesCursorsAndLists) {
  const Recording rec = buildRecording();
  std::unique_ptr<TMemoryStream> s(streamOf(rec.bytes));
  RecordingHost host;

  TStringList index;
  ASSERT_EQ(readLxFrameIndex(*s, index), 1);
  ASSERT_EQ(index.Count(), 4);
  TStringList mouse;
  ASSERT_EQ(readLxMouseList(*s, mouse), 1);
  EXPECT_EQ(mouse.Count(), 8);
  EXPECT_EQ(mouse[1], AnsiString("10"));

  const uint16_t expected[] = {0x1111, 0x1111, 0x2222, 0x3333};
  for (int frame = 0; frame < 4; ++frame) {
    TBitmap bmp;
    ASSERT_EQ(readLxFrameImage(*s, index, frame, bmp, host), 1) << frame;
    ASSERT_EQ(bmp.Width(), 2);
    EXPECT_EQ(pixelAt(bmp, 0, 0), expected[frame]);
    EXPECT_EQ(pixelAt(bmp, 1, 0), expected[frame]);
  }

  int x = 77, y = 77;
  EXPECT_TRUE(readLxFrameCursorPos(*s, index, 1, x, y));
  EXPECT_EQ(x, 5);
  EXPECT_EQ(y, 6);
  x = y = 77;
  EXPECT_FALSE(readLxFrameCursorPos(*s, index, 2, x, y));
  EXPECT_EQ(x, 77);
  EXPECT_TRUE(readLxFrameCursorPos(*s, index, 3, x, y));
  EXPECT_EQ(x, -1000);
  EXPECT_EQ(y, -1000);

  TIcon icon;
  ASSERT_TRUE(readLxFrameCursor(*s, index, 0, icon));
  EXPECT_EQ(icon.Bytes(), redIcon());
  TIcon none;
  EXPECT_FALSE(readLxFrameCursor(*s, index, 2, none));
  EXPECT_FALSE(readLxFrameCursor(*s, index, 3, none));
  EXPECT_TRUE(none.Empty());
  EXPECT_TRUE(host.messages.empty());
}

TEST(LxFile, DrawsTheCursorWhereItWas) {
  // The picture is 2x1; the red icon's top-left corner at (1, 0) covers only
  // the second pixel. Frame 3's (-1000, -1000) draws nothing.
  Recording rec = buildRecording();
  // Move frame A's cursor to (1, 0).
  putI32(&rec.bytes[rec.records[0] + 4], 1);
  putI32(&rec.bytes[rec.records[0] + 8], 0);
  std::unique_ptr<TMemoryStream> s(streamOf(rec.bytes));
  RecordingHost host;
  TBitmap bmp;
  ASSERT_EQ(readLxFrame(*s, 0, bmp, host), 1);
  EXPECT_EQ(pixelAt(bmp, 0, 0), 0x1111);
  EXPECT_EQ(pixelAt(bmp, 1, 0), 0xF800);
  ASSERT_EQ(readLxFrame(*s, 3, bmp, host), 1);
  EXPECT_EQ(pixelAt(bmp, 0, 0), 0x3333);
  EXPECT_EQ(pixelAt(bmp, 1, 0), 0x3333);
}

TEST(LxFile, VersionProbe) {
  const Bytes good = buildRecording().bytes;
  struct Case {
    const char* name;
    Bytes bytes;
    int version;
  } cases[] = {
      {"finished recording", good, 6},
      {"shorter than a trailer", Bytes(good.end() - 39, good.end()), -1},
      {"trailer only", Bytes(good.end() - 40, good.end()), 6},
      {"no NUL after the magic", good, -1},
      {"bytes after the NUL are free", good, 6},
      {"wrong magic", good, -1},
      {"unfinished (no trailer)", Bytes(good.begin(), good.end() - 60), -1},
  };
  cases[3].bytes[good.size() - 40 + 37] = 'x';
  cases[4].bytes[good.size() - 40 + 38] = 'y';
  cases[4].bytes[good.size() - 40 + 39] = 'z';
  cases[5].bytes[good.size() - 40 + 28] = 'Q';
  const std::string path = testing::TempDir() + "lx_version_probe.lx";
  for (const Case& c : cases) {
    FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_TRUE(f);
    std::fwrite(c.bytes.data(), 1, c.bytes.size(), f);
    std::fclose(f);
    RecordingHost host;
    EXPECT_EQ(lxRecordingVersion(AnsiString(path), host), c.version) << c.name;
    EXPECT_TRUE(host.messages.empty()) << c.name;
  }
  std::remove(path.c_str());
  RecordingHost host;
  const AnsiString missing(testing::TempDir() + "no_such_recording.lx");
  EXPECT_EQ(lxRecordingVersion(missing, host), -1);
  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_EQ(host.messages[0], (AnsiString("打开文件失败,") + missing).str());
}

TEST(LxFile, SoundSideFiles) {
  const struct {
    int source, kind;
  } cases[] = {{0, 1}, {1, 1}, {2, 2}, {3, 3}, {4, 1}, {-1, 1}};
  for (auto c : cases) EXPECT_EQ(lxSoundSideKind(c.source), c.kind) << c.source;
  EXPECT_EQ(lxSoundSideFileName("C:\\rec\\demo.lx", 0), AnsiString("C:\\rec\\demo1.wav"));
  EXPECT_EQ(lxSoundSideFileName("C:\\rec\\demo.lx", 3), AnsiString("C:\\rec\\demo3.wav"));
}

TEST(LxFile, HeaderAndTrailerLayouts) {
  const Bytes file = buildRecording().bytes;
  LxHeader h;
  readLxHeader(file.data(), h);
  EXPECT_EQ(h.width, 2);
  EXPECT_EQ(h.height, 1);
  EXPECT_EQ(h.frameCount, 4);
  EXPECT_EQ(h.pixelFormat, 5);
  EXPECT_EQ(h.msPerFrame, 100);
  EXPECT_EQ(h.hasCursor, 1);
  Bytes again(40);
  writeLxHeader(h, again.data());
  EXPECT_EQ(again, Bytes(file.begin(), file.begin() + 40));
  Bytes trailer(40);
  buildLxTrailer(trailer.data());
  EXPECT_EQ(trailer, Bytes(file.end() - 40, file.end()));
  EXPECT_EQ(lxTrailerVersion(trailer.data()), 6);
}

TEST(LxFileDamage, BrokenIndexAndRecords) {
  const Recording rec = buildRecording();
  const std::size_t imageLen0 = rec.records[0] + 16 + redIcon().size();
  struct Case {
    const char* name;
    std::vector<std::string> lines;
    std::size_t patchAt;
    int32_t patch;
  } cases[] = {
      {"not a number", {"abc"}, 0, 0},
      {"negative offset", {"-5"}, 0, 0},
      {"offset beyond the file", {"99999999999"}, 0, 0},
      {"offset inside the header", {"12"}, 0, 0},
      {"huge icon length", {std::to_string(rec.records[0])}, rec.records[0] + 12, 0x7FFFFFFF},
      {"huge image length", {std::to_string(rec.records[0])}, imageLen0, 0x7FFFFFFF},
      {"negative image length", {std::to_string(rec.records[0])}, imageLen0, -8},
      {"damaged image", {std::to_string(rec.records[0])}, imageLen0 + 12, 0x12345678},
  };
  for (const Case& c : cases) {
    Bytes b = rec.bytes;
    if (c.patchAt) putI32(&b[c.patchAt], c.patch);
    std::unique_ptr<TMemoryStream> s(streamOf(b));
    TStringList index;
    for (const std::string& l : c.lines) index.Add(AnsiString(l));
    RecordingHost host;
    TBitmap bmp;
    EXPECT_EQ(readLxFrameImage(*s, index, 0, bmp, host), -1) << c.name;
    EXPECT_EQ(drawLxFrame(*s, index, 0, bmp, host), -1) << c.name;
    EXPECT_TRUE(bmp.Empty()) << c.name;
    EXPECT_EQ(readLxFrameImage(*s, index, 5, bmp, host), -1) << c.name;
  }
}

TEST(LxFileDamage, EveryTruncationIsRefusedOrRead) {
  const Bytes file = buildRecording().bytes;
  for (std::size_t cut = 0; cut < file.size(); ++cut) {
    std::unique_ptr<TMemoryStream> s(streamOf(Bytes(file.begin(), file.begin() + long(cut))));
    RecordingHost host;
    TBitmap bmp;
    // Without its tail the index cannot be found: every frame read fails.
    EXPECT_EQ(readLxFrame(*s, 0, bmp, host), -1) << cut;
    TStringList mouse;
    readLxMouseList(*s, mouse);
  }
  // Records cut off with the index kept in memory.
  TStringList index;
  {
    std::unique_ptr<TMemoryStream> s(streamOf(file));
    ASSERT_EQ(readLxFrameIndex(*s, index), 1);
  }
  for (std::size_t cut = 40; cut < file.size(); cut += 3) {
    std::unique_ptr<TMemoryStream> s(streamOf(Bytes(file.begin(), file.begin() + long(cut))));
    RecordingHost host;
    for (int frame = 0; frame < 4; ++frame) {
      TBitmap bmp;
      int x, y;
      TIcon icon;
      drawLxFrame(*s, index, frame, bmp, host);
      readLxFrameCursorPos(*s, index, frame, x, y);
      readLxFrameCursor(*s, index, frame, icon);
    }
  }
}

}  // namespace
