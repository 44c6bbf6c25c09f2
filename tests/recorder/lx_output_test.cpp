// The .lx output checked by a reader written here from the file's layout
// tables (not the formats library's readers): header with the patched frame
// count, frame records walked one after another, one index line per frame in
// time with repeats for owed ticks, the mouse list, both lengths, the
// trailer, and the cursor of clicked frames moved onto the click.
#include <gtest/gtest.h>

#include <string>

#include "ByteReader.h"
#include "ClickList.h"
#include "FrameCodec.h"
#include "LxOutput.h"
#include "SysUtils.h"
#include "lx_checker.h"
#include "test_files.h"

namespace {

using lxcheck::ParsedLx;
using lxcheck::parseLx;


Bytes frameImage(std::initializer_list<uint8_t> body) {
  Bytes b;
  put32(b, uint32_t(body.size()));
  b.insert(b.end(), body);
  return b;
}

RecordedPicture picture(Bytes image, bool cursor, int x = 0, int y = 0, Bytes icon = {}) {
  RecordedPicture p;
  p.image = std::move(image);
  p.cursor.present = cursor;
  p.cursor.x = x;
  p.cursor.y = y;
  p.cursor.icon = std::move(icon);
  return p;
}

LxHeader header() {
  LxHeader h{};
  h.captureTarget = 3;
  h.width = 2;
  h.height = 2;
  h.frameCount = 77;  // the writer must not trust what the caller left here
  h.pixelFormat = 5;
  h.msPerFrame = 200;
  h.hasCursor = 1;
  return h;
}

TEST(LxOutput, WritesTheLayoutWithRepeatsClicksAndPatchedCount) {
  TempDir dir;
  LxOutput out(dir.path("a.lx"));
  ASSERT_TRUE(out.open(header()));
  // Owed ticks: the second picture stands for three frames in time, the third
  // for two.
  ASSERT_TRUE(out.writePicture(picture(frameImage({1, 2, 3}), true, 10, 20, {9, 9, 9, 9, 9}), 1));
  ASSERT_TRUE(out.writePicture(picture(frameImage({4}), false), 3));
  ASSERT_TRUE(out.writePicture(picture(frameImage({}), true, kNoCursorPos, kNoCursorPos), 2));
  EXPECT_EQ(out.framesInTime(), 6);

  TStringList clicks;
  appendClickEvent(clicks, {0, 15, 25, 1, 2, 3});    // frame of picture 1: patched
  appendClickEvent(clicks, {2, 40, 40, 2, 0, 0});    // picture 2 has no cursor: skipped
  appendClickEvent(clicks, {5, 7, 8, 3, 1, 1});      // last frame, picture 3: patched
  appendClickEvent(clicks, {99, 1, 1, 1, 0, 0});     // past the index: skipped, but listed
  out.takeClicks(clicks);
  ASSERT_TRUE(out.finish(true));

  const Bytes b = readAll(dir.file("a.lx"));
  const ParsedLx p = parseLx(b);
  const int32_t expectHeader[10] = {3, 2, 2, 6, 5, 200, 0, 0, 0, 1};
  for (int i = 0; i < 10; ++i) EXPECT_EQ(p.header[i], expectHeader[i]) << "header word " << i;

  ASSERT_EQ(p.records.size(), 3u);
  const std::string o1 = std::to_string(p.records[0].offset);
  const std::string o2 = std::to_string(p.records[1].offset);
  const std::string o3 = std::to_string(p.records[2].offset);
  EXPECT_EQ(p.records[0].offset, 40u);
  EXPECT_EQ(p.frameLines, (std::vector<std::string>{o1, o2, o2, o2, o3, o3}));

  EXPECT_EQ(p.records[0].flag, 1);
  EXPECT_EQ(p.records[0].x, 13);  // 15 - hot spot 2
  EXPECT_EQ(p.records[0].y, 22);  // 25 - hot spot 3
  EXPECT_EQ(p.records[0].icon, Bytes(5, 9));
  EXPECT_EQ(p.records[0].image, (Bytes{1, 2, 3}));
  EXPECT_EQ(p.records[1].flag, 0);
  EXPECT_EQ(p.records[1].image, Bytes{4});
  EXPECT_EQ(p.records[2].flag, 1);
  EXPECT_EQ(p.records[2].x, 6);
  EXPECT_EQ(p.records[2].y, 7);
  EXPECT_TRUE(p.records[2].icon.empty());
  EXPECT_TRUE(p.records[2].image.empty());

  EXPECT_EQ(p.mouseText,
            "0\r\n15\r\n25\r\n1\r\n2\r\n3\r\n0\r\n0\r\n"
            "2\r\n40\r\n40\r\n2\r\n0\r\n0\r\n0\r\n0\r\n"
            "5\r\n7\r\n8\r\n3\r\n1\r\n1\r\n0\r\n0\r\n"
            "99\r\n1\r\n1\r\n1\r\n0\r\n0\r\n0\r\n0\r\n");
  EXPECT_EQ(out.bytesWritten(), int64_t(b.size()));
}

TEST(LxOutput, EmptyRecordingStillHasBothListsAndTrailer) {
  TempDir dir;
  LxOutput out(dir.path("e.lx"));
  ASSERT_TRUE(out.open(header()));
  ASSERT_TRUE(out.finish(true));
  const Bytes b = readAll(dir.file("e.lx"));
  ASSERT_EQ(b.size(), 40u + 4 + 4 + 40);
  const ParsedLx p = parseLx(b);
  EXPECT_EQ(p.header[3], 0);
  EXPECT_TRUE(p.mouseText.empty());
  EXPECT_TRUE(p.frameLines.empty());
}

// A picture handed over as a bitmap is encoded as a whole-picture FrameImage
// that the formats library's reader decodes back to the same pixels.
TEST(LxOutput, EncodesABitmapPictureItself) {
  TempDir dir;
  TBitmap bmp;
  bmp.SetPixelFormat(pf16bit);
  bmp.SetSize(3, 2);
  const uint16_t px[2][3] = {{0xF800, 0x07E0, 0x001F}, {0x1234, 0xFFFF, 0x0000}};
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) putU16(bmp.ScanLine(y) + 2 * x, px[y][x]);

  LxOutput out(dir.path("b.lx"));
  ASSERT_TRUE(out.open(header()));
  RecordedPicture pic;
  pic.bitmap = &bmp;
  ASSERT_TRUE(out.writePicture(pic, 2));
  ASSERT_TRUE(out.finish(true));

  const ParsedLx p = parseLx(readAll(dir.file("b.lx")));
  ASSERT_EQ(p.records.size(), 1u);
  EXPECT_EQ(p.frameLines, (std::vector<std::string>{"40", "40"}));

  TFileStream in(dir.path("b.lx"), fmOpenRead);
  TStringList index;
  index.SetText("40\r\n40\r\n");
  TBitmap back;
  SilentHost host;
  ASSERT_EQ(readLxFrameImage(in, index, 1, back, host), 1);
  ASSERT_EQ(back.Width(), 3);
  ASSERT_EQ(back.Height(), 2);
  back.SetPixelFormat(pf16bit);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) EXPECT_EQ(getU16(back.ScanLine(y) + 2 * x), px[y][x]) << x << "," << y;
}

TEST(LxOutput, RefusesBadInputWithoutDamagingTheFile) {
  TempDir dir;
  // A folder that does not exist: nothing is created.
  LxOutput lost(dir.path("missing/x.lx"));
  EXPECT_FALSE(lost.open(header()));

  LxOutput out(dir.path("c.lx"));
  ASSERT_TRUE(out.open(header()));
  ASSERT_TRUE(out.writePicture(picture(frameImage({1}), false), 1));
  Bytes torn = frameImage({1, 2});
  torn.pop_back();  // its length says one byte more than it has
  EXPECT_FALSE(out.writePicture(picture(torn, false), 1));
  EXPECT_FALSE(out.writePicture(picture(frameImage({1}), false), 0));
  EXPECT_FALSE(out.writePicture(RecordedPicture{}, 1));  // neither bitmap nor image
  EXPECT_EQ(out.framesInTime(), 1);
  ASSERT_TRUE(out.finish(true));
  const ParsedLx p = parseLx(readAll(dir.file("c.lx")));
  EXPECT_EQ(p.records.size(), 1u);
  EXPECT_EQ(p.header[3], 1);
}

TEST(LxOutput, UnfinishedFileHasNoTrailerAndAbandonRemovesIt) {
  TempDir dir;
  {
    LxOutput out(dir.path("u.lx"));
    ASSERT_TRUE(out.open(header()));
    ASSERT_TRUE(out.writePicture(picture(frameImage({1, 2}), false), 1));
  }  // dropped without finish, as when the process dies
  const Bytes b = readAll(dir.file("u.lx"));
  EXPECT_EQ(b.size(), 40u + 4 + 4 + 2);
  EXPECT_EQ(get32(b, 12), 0) << "frameCount stays 0 until the finish";
  SilentHost host;
  EXPECT_EQ(lxRecordingVersion(dir.path("u.lx"), host), -1);

  LxOutput gone(dir.path("g.lx"));
  ASSERT_TRUE(gone.open(header()));
  gone.abandon();
  EXPECT_FALSE(FileExists(dir.path("g.lx")));
}

TEST(LxOutput, PatchCursorChecksEverythingItIsGiven) {
  // Records: 0 with a cursor block at 40, 1 without at 56.
  Bytes b(40, 0);
  for (int32_t v : {1, 5, 6, 0, 0}) put32(b, uint32_t(v));
  for (int32_t v : {0, 0}) put32(b, uint32_t(v));
  TMemoryStream s;
  s.Write(b.data(), int(b.size()));
  TStringList index;
  index.SetText("40\r\n60\r\nabc\r\n999\r\n-4\r\n");
  struct Case { int frame; bool ok; } cases[] = {{0, true}, {1, false}, {2, false}, {3, false},
                                                 {4, false}, {5, false}, {-1, false}};
  for (const Case& c : cases) EXPECT_EQ(patchLxFrameCursor(s, index, c.frame, 70, 80), c.ok) << c.frame;
  EXPECT_EQ(getI32(s.Memory() + 44), 70);
  EXPECT_EQ(getI32(s.Memory() + 48), 80);
  EXPECT_EQ(s.Size(), int64_t(b.size()));
}

}  // namespace
