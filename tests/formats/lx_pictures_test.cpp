// Frames saved as pictures: the names (a table), every frame of a recording
// written by the layout writer saved as BMP and compared byte for byte with
// what the independent frame checker decodes from the stored images, JPEG
// series replacing a read-only picture, the cursor drawn where its block
// says, cancel and damage keeping what was written, a recording without
// frames, and the index read once for the whole series.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "LxFramePictures.h"
#include "PictureNames.h"
#include "frame_image_checker.h"
#include "lx_checker.h"
#include "lx_writer.h"
#include "test_files.h"

namespace {

TEST(PictureNames, TheExtensionChoosesTheKindAndTheSeriesNames) {
  struct Current {
    const char* chosen;
    const char* path;
    PictureKind kind;
  };
  const Current current[] = {
      {"shot", "shot.bmp", PictureKind::Bmp},
      {"shot.JPG", "shot.JPG", PictureKind::Jpeg},
      {"shot.Bmp", "shot.Bmp", PictureKind::Bmp},
      {"shot.jpeg", "shot.jpeg.bmp", PictureKind::Bmp},
      {"bmp", "bmp.bmp", PictureKind::Bmp},
      {"d\\\xce\xc4.jpg", "d\\\xce\xc4.jpg", PictureKind::Jpeg},  // CP936 folder and name
  };
  for (const Current& c : current) {
    SCOPED_TRACE(c.chosen);
    const PictureFile f = currentFramePicture(c.chosen);
    EXPECT_EQ(f.path, AnsiString(c.path));
    EXPECT_EQ(f.kind, c.kind);
  }
  struct Series {
    const char* chosen;
    const char* first;
    const char* third;
    PictureKind kind;
  };
  const Series series[] = {
      {"a.jpg", "a1.jpg", "a3.jpg", PictureKind::Jpeg},
      {"a.JPG", "a1.jpg", "a3.jpg", PictureKind::Jpeg},
      {"a.BMP", "a1.bmp", "a3.bmp", PictureKind::Bmp},
      {"a", "a1.bmp", "a3.bmp", PictureKind::Bmp},
      {"a.b", "a.b1.bmp", "a.b3.bmp", PictureKind::Bmp},
  };
  for (const Series& s : series) {
    SCOPED_TRACE(s.chosen);
    const PictureSeries p = framePictureSeries(s.chosen);
    EXPECT_EQ(p.path(1), AnsiString(s.first));
    EXPECT_EQ(p.path(3), AnsiString(s.third));
    EXPECT_EQ(p.kind, s.kind);
  }
}

// ---- the series --------------------------------------------------------------------

uint16_t pattern(int seed, int x, int y) { return uint16_t((x * 2047 + y * 31 + seed * 4099) & 0xFFFF); }

lxwrite::Record plainRecord(int seed, int w = 37, int h = 21) {
  lxwrite::Record r;
  r.bmp = lxwrite::bmp565(w, h, [seed](int x, int y) { return pattern(seed, x, y); });
  return r;
}

struct Saved {
  int result = 0, saved = 0;
  std::vector<int> asked;  // the n of every frameStarting call
};

struct CountingProgress : FramePicturesProgress {
  std::vector<int>* asked;
  int stopAt;  // the n refused, 0: none
  bool frameStarting(int n, int count) override {
    asked->push_back(n);
    return n != stopAt;
  }
};

// A memory stream that counts the bytes read from it.
struct CountingStream : TMemoryStream {
  int64_t bytesRead = 0;
  int Read(void* buffer, int count) override {
    const int n = TMemoryStream::Read(buffer, count);
    bytesRead += n;
    return n;
  }
};

Saved saveAll(const Bytes& lx, const AnsiString& chosen, int stopAt = 0, CountingStream* stream = nullptr,
              bool decodeAhead = true) {
  CountingStream own;
  CountingStream& s = stream ? *stream : own;
  if (!lx.empty()) s.WriteBuffer(lx.data(), int(lx.size()));
  s.SetPosition(0);
  s.bytesRead = 0;
  Saved out;
  LxFrameSeries frames(decodeAhead ? 2 : 0);
  if (!frames.open(s)) return out;
  CountingProgress progress;
  progress.asked = &out.asked;
  progress.stopAt = stopAt;
  out.result = saveFramePictures(frames, framePictureSeries(chosen), progress, out.saved);
  return out;
}

// The BMP file image the stored words of record r spell, decoded by the checker.
Bytes storedWords(const Bytes& lx, std::size_t r) {
  const lxcheck::ParsedLx p = lxcheck::parseLx(lx);
  const Bytes& image = p.records.at(r).image;
  std::vector<uint8_t> tokens;
  std::vector<uint16_t> words;
  std::string why;
  EXPECT_TRUE(framecheck::detail::inflateTokens(image.data(), image.size(), tokens, why)) << why;
  EXPECT_TRUE(framecheck::detail::runLengthDecode(tokens.data(), tokens.size(), 0, words, why)) << why;
  return framecheck::detail::wordsToBytes(words);
}

std::vector<std::string> filesIn(const TempDir& dir) {
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(dir.folder())) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

TEST(FramePictures, EveryFrameSavedAsBmpIsTheBmpItsStoredImageSpells) {
  // Three records; the index holds the first twice (a held frame). The third
  // has a cursor block at the "no cursor" position, so nothing is drawn.
  std::vector<lxwrite::Record> records{plainRecord(1), plainRecord(2), plainRecord(3)};
  records[2].cursorBlock = true;
  const std::vector<int> lines{0, 0, 1, 2};
  lxwrite::Header h;
  h.width = 37, h.height = 21, h.hasCursor = 1;
  const Bytes lx = lxwrite::build(h, records, lines);
  for (bool ahead : {true, false}) {
    SCOPED_TRACE(ahead ? "decoded ahead" : "decoded in turn");
    TempDir dir;
    const Saved s = saveAll(lx, dir.path("a.BMP"), 0, nullptr, ahead);
    EXPECT_EQ(s.result, kFramePicturesDone);
    EXPECT_EQ(s.saved, 4);
    EXPECT_EQ(s.asked, (std::vector<int>{1, 2, 3, 4}));
    for (int n = 1; n <= 4; ++n) {
      SCOPED_TRACE(n);
      const Bytes file = readAll(dir.file("a" + std::to_string(n) + ".bmp"));
      EXPECT_EQ(file, storedWords(lx, std::size_t(lines[std::size_t(n - 1)])));
      EXPECT_EQ(file, records[std::size_t(lines[std::size_t(n - 1)])].bmp);
    }
    EXPECT_EQ(filesIn(dir), (std::vector<std::string>{"a1.bmp", "a2.bmp", "a3.bmp", "a4.bmp"}));
  }
}

// The JPEG's own size, read from its start-of-frame marker.
bool jpegSize(const Bytes& j, int& w, int& h) {
  if (j.size() < 4 || j[0] != 0xFF || j[1] != 0xD8 || j[j.size() - 2] != 0xFF || j.back() != 0xD9) return false;
  for (std::size_t at = 2; at + 9 < j.size();) {
    if (j[at] != 0xFF) return false;
    const uint8_t marker = j[at + 1];
    const std::size_t len = std::size_t(j[at + 2] << 8 | j[at + 3]);
    if (marker == 0xC0 || marker == 0xC2) {
      h = j[at + 5] << 8 | j[at + 6];
      w = j[at + 7] << 8 | j[at + 8];
      return true;
    }
    at += 2 + len;
  }
  return false;
}

TEST(FramePictures, AJpegSeriesReplacesAReadOnlyPictureOfTheSameName) {
  const std::vector<lxwrite::Record> records{plainRecord(1, 40, 30), plainRecord(2, 40, 30), plainRecord(3, 40, 30)};
  lxwrite::Header h;
  h.width = 40, h.height = 30;
  const Bytes lx = lxwrite::build(h, records, {0, 1, 2});
  TempDir dir;
  writeAll(dir.file("a2.jpg"), Bytes{'o', 'l', 'd'});
  ASSERT_EQ(chmod(dir.file("a2.jpg").c_str(), 0444), 0);
  EXPECT_EQ(firstExistingPicture(framePictureSeries(dir.path("a.jpg")), 3), 2);

  const Saved s = saveAll(lx, dir.path("a.jpg"));
  EXPECT_EQ(s.result, kFramePicturesDone);
  EXPECT_EQ(s.saved, 3);
  for (int n = 1; n <= 3; ++n) {
    SCOPED_TRACE(n);
    int w = 0, hgt = 0;
    EXPECT_TRUE(jpegSize(readAll(dir.file("a" + std::to_string(n) + ".jpg")), w, hgt));
    EXPECT_EQ(w, 40);
    EXPECT_EQ(hgt, 30);
  }
  EXPECT_EQ(filesIn(dir), (std::vector<std::string>{"a1.jpg", "a2.jpg", "a3.jpg"}));
}

// The shown frame saved under a name the user agreed to overwrite: the new
// picture takes the old one's place (a read-only one too) only once it is
// written whole.
TEST(FramePictures, TheShownFrameReplacesAPictureOnlyWhenWrittenWhole) {
  const Bytes picture = plainRecord(7, 12, 9).bmp, old{'o', 'l', 'd'};
  TempDir dir;
  writeAll(dir.file("shot.bmp"), old);
  ASSERT_EQ(chmod(dir.file("shot.bmp").c_str(), 0444), 0);
  EXPECT_TRUE(replacePictureFile(dir.path("shot.bmp"), picture.data(), picture.size()));
  EXPECT_EQ(readAll(dir.file("shot.bmp")), picture);
  EXPECT_TRUE(replacePictureFile(dir.path("new.JPG"), picture.data(), picture.size()));
  EXPECT_EQ(readAll(dir.file("new.JPG")), picture);
  EXPECT_EQ(filesIn(dir), (std::vector<std::string>{"new.JPG", "shot.bmp"}));

  // The temporary cannot be made (a folder has its name): the old picture stays.
  writeAll(dir.file("keep.bmp"), old);
  std::filesystem::create_directory(dir.file("keep.bmp.~tmp"));
  EXPECT_FALSE(replacePictureFile(dir.path("keep.bmp"), picture.data(), picture.size()));
  EXPECT_EQ(readAll(dir.file("keep.bmp")), old);
  // A folder that is not there: nothing written, nothing reported as saved.
  EXPECT_FALSE(replacePictureFile(dir.path("none/shot.bmp"), picture.data(), picture.size()));
  EXPECT_FALSE(std::filesystem::exists(dir.file("none")));
}

TEST(FramePictures, TheCursorIsDrawnWhereItsBlockSays) {
  lxwrite::Record r = plainRecord(5, 20, 10);
  r.cursorBlock = true;
  r.x = 4, r.y = 3;
  r.icon = lxwrite::solidIcon(0xFF0000);
  lxwrite::Header h;
  h.width = 20, h.height = 10, h.hasCursor = 1;
  const Bytes lx = lxwrite::build(h, {r}, {0});
  TempDir dir;
  const Saved s = saveAll(lx, dir.path("c"));
  ASSERT_EQ(s.result, kFramePicturesDone);
  framecheck::Picture saved, source;
  std::string why;
  ASSERT_TRUE(framecheck::loadBmp(readAll(dir.file("c1.bmp")), saved, why)) << why;
  ASSERT_TRUE(framecheck::loadBmp(r.bmp, source, why)) << why;
  ASSERT_EQ(saved.width, 20);
  ASSERT_EQ(saved.height, 10);
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 20; ++x) {
      const bool underIcon = x >= 4 && x < 6 && y >= 3 && y < 5;
      EXPECT_EQ(saved.at(x, y), underIcon ? 0xF80000u : source.at(x, y)) << x << "," << y;
    }
}

TEST(FramePictures, CancelAndDamageKeepWhatWasWrittenAndLeaveNoCutPicture) {
  std::vector<lxwrite::Record> records{plainRecord(1), plainRecord(2), plainRecord(3), plainRecord(4)};
  lxwrite::Header h;
  h.width = 37, h.height = 21;
  const Bytes lx = lxwrite::build(h, records, {0, 1, 2, 3});
  {
    SCOPED_TRACE("cancelled before the third picture");
    TempDir dir;
    const Saved s = saveAll(lx, dir.path("a"), 3);
    EXPECT_EQ(s.result, kFramePicturesCancelled);
    EXPECT_EQ(s.saved, 2);
    EXPECT_EQ(filesIn(dir), (std::vector<std::string>{"a1.bmp", "a2.bmp"}));
    EXPECT_EQ(readAll(dir.file("a2.bmp")), records[1].bmp);
  }
  {
    SCOPED_TRACE("the third image damaged");
    Bytes damaged = lx;
    const lxcheck::ParsedLx p = lxcheck::parseLx(lx);
    const std::size_t imageAt = p.records[2].offset + 4 + 4;  // flag, length, then the image
    for (std::size_t i = 4; i < 24; ++i) damaged[imageAt + i] ^= 0x5A;  // inside the zlib data
    for (bool ahead : {true, false}) {
      TempDir dir;
      writeAll(dir.file("a3.bmp"), Bytes{'o', 'l', 'd'});
      const Saved s = saveAll(damaged, dir.path("a"), 0, nullptr, ahead);
      EXPECT_EQ(s.result, kFramePicturesFailed);
      EXPECT_EQ(s.saved, 2);
      // The old a3.bmp made room before the frame failed; no temporary stays.
      EXPECT_EQ(filesIn(dir), (std::vector<std::string>{"a1.bmp", "a2.bmp"}));
    }
  }
}

TEST(FramePictures, ARecordingWithoutFramesSavesNothing) {
  lxwrite::Header h;
  h.width = 37, h.height = 21;
  const Bytes lx = lxwrite::build(h, {}, {});
  TempDir dir;
  const Saved s = saveAll(lx, dir.path("a.jpg"));
  EXPECT_EQ(s.result, kFramePicturesDone);
  EXPECT_EQ(s.saved, 0);
  EXPECT_TRUE(s.asked.empty());
  EXPECT_TRUE(filesIn(dir).empty());

  // The header's frameCount bounds the series too, and a file without an
  // index has no series at all.
  lxwrite::Header two = h;
  two.frameCount = 2;
  TempDir dir2;
  EXPECT_EQ(saveAll(lxwrite::build(two, {plainRecord(1)}, {0, 0, 0}), dir2.path("b")).saved, 2);
  CountingStream junk;
  junk.WriteBuffer("not a recording at all, not at all", 34);
  LxFrameSeries frames;
  EXPECT_FALSE(frames.open(junk));
}

TEST(FramePictures, TheIndexIsReadOnceForTheWholeSeries) {
  // Two records and an index of 600 lines alternating between them: every
  // picture is decoded anew, and the bytes read stay near one pass over the
  // file, not one pass over the index per picture (600 times as much).
  const std::vector<lxwrite::Record> records{plainRecord(1, 8, 4), plainRecord(2, 8, 4)};
  lxwrite::Header h;
  h.width = 8, h.height = 4;
  const int n = 600;
  std::vector<int> lines;
  for (int i = 0; i < n; ++i) lines.push_back(i % 2);
  const Bytes lx = lxwrite::build(h, records, lines);
  const lxcheck::ParsedLx p = lxcheck::parseLx(lx);
  const int64_t perFrame = 8 + 4 + int64_t(p.records[0].image.size() + p.records[1].image.size());
  TempDir dir;
  CountingStream stream;
  const Saved s = saveAll(lx, dir.path("f"), 0, &stream);
  EXPECT_EQ(s.saved, n);
  EXPECT_LT(stream.bytesRead, int64_t(lx.size()) + n * perFrame);
}

}  // namespace
