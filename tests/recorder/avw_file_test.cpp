// Reading .avw files without AVIFile: the tail, the video chunks of the AVI
// part, and the length fix-up of a stream header, on a small AVI built here
// from the RIFF layout (not by the program's writer); and the output's time
// base and dropped-frame report.
#include <gtest/gtest.h>

#include <cstring>

#include "AviOutput.h"
#include "AvwFile.h"
#include "test_files.h"

namespace {

void putId(Bytes& b, const char* id) { b.insert(b.end(), id, id + 4); }

// A chunk: id, size, body, a pad byte for an odd size.
Bytes chunk(const char* id, const Bytes& body) {
  Bytes b;
  putId(b, id);
  put32(b, uint32_t(body.size()));
  b.insert(b.end(), body.begin(), body.end());
  if (body.size() & 1) b.push_back(0);
  return b;
}

Bytes list(const char* type, const std::vector<Bytes>& parts) {
  Bytes body;
  putId(body, type);
  for (const Bytes& p : parts) body.insert(body.end(), p.begin(), p.end());
  return chunk("LIST", body);
}

Bytes streamHeader(const char* type, const char* handler, uint32_t scale, uint32_t rate) {
  Bytes h;
  putId(h, type);
  putId(h, handler);
  put32(h, 0);                  // flags
  put32(h, 0);                  // priority, language
  put32(h, 0);                  // initial frames
  put32(h, scale);              // +20
  put32(h, rate);               // +24
  put32(h, 0);                  // start
  put32(h, 0);                  // length +32
  put32(h, 4096);               // suggested buffer +36
  put32(h, 0xFFFFFFFF);         // quality +40
  put32(h, 0);                  // sample size
  put16(h, 0), put16(h, 0), put16(h, 4), put16(h, 2);  // rcFrame
  return h;
}

struct Fixture {
  Bytes file;
  std::size_t riffEnd = 0;
  // Video chunks in order: size and key flag.
  std::vector<std::pair<uint32_t, bool>> video = {{24, true}, {0, false}, {7, false}, {24, true}};
};

// RIFF AVI with an audio stream first and the video second ("01db"), sound
// chunks between the frames, a JUNK chunk, and an index.
Fixture makeAvi() {
  Fixture f;
  Bytes bih(40, 0);
  bih[0] = 40;
  bih[4] = 4;   // width
  bih[8] = 2;   // height
  bih[12] = 1;  // planes
  bih[14] = 24;
  const Bytes hdrl = list("hdrl", {chunk("avih", Bytes(56, 0)),
                                   list("strl", {chunk("strh", streamHeader("auds", "\0\0\0\0", 1, 8000)),
                                                 chunk("strf", Bytes(16, 1))}),
                                   list("strl", {chunk("strh", streamHeader("vids", "DIB ", 333, 1000)),
                                                 chunk("strf", bih)})});
  std::vector<Bytes> movi;
  Bytes idx;
  uint32_t at = 4;
  auto add = [&](const char* id, const Bytes& body, uint32_t flags) {
    movi.push_back(chunk(id, body));
    putId(idx, id);
    put32(idx, flags);
    put32(idx, at);
    put32(idx, uint32_t(body.size()));
    at += uint32_t(movi.back().size());
  };
  add("00wb", Bytes(100, 128), 0x10);
  for (std::size_t i = 0; i < f.video.size(); ++i) {
    const auto& v = f.video[i];
    add(v.first == 0 || !v.second ? "01dc" : "01db", Bytes(v.first, uint8_t(i + 1)), v.second ? 0x10 : 0);
    if (i == 1) add("00wb", Bytes(9, 128), 0x10);
  }
  Bytes body;
  putId(body, "AVI ");
  for (const Bytes& p : {hdrl, chunk("JUNK", Bytes(30, 0)), list("movi", movi), chunk("idx1", idx)})
    body.insert(body.end(), p.begin(), p.end());
  f.file = chunk("RIFF", body);
  f.riffEnd = f.file.size();
  f.file.insert(f.file.end(), 20, 0);  // the platform's writer leaves zeros after the RIFF
  return f;
}

TEST(AvwFile, ScansTheVideoStreamAndEveryCutOffCopyGivesAPrefix) {
  const Fixture f = makeAvi();
  TMemoryStream s;
  s.Write(f.file.data(), int(f.file.size()));
  AviVideoScan whole;
  ASSERT_TRUE(scanAviVideo(s, s.Size(), whole));
  EXPECT_TRUE(whole.complete);
  EXPECT_EQ(whole.fccHandler, 0x20424944u);
  EXPECT_EQ(whole.scale, 333u);
  EXPECT_EQ(whole.rate, 1000u);
  EXPECT_EQ(whole.frame[2], 4);
  EXPECT_EQ(whole.format.size(), 40u);
  EXPECT_EQ(whole.msFor(3), 999);
  ASSERT_EQ(whole.frames.size(), f.video.size());
  for (std::size_t i = 0; i < f.video.size(); ++i) {
    EXPECT_EQ(whole.frames[i].size, f.video[i].first) << i;
    EXPECT_EQ(whole.frames[i].key, f.video[i].second) << i;
    if (whole.frames[i].size) {
      EXPECT_EQ(f.file[whole.frames[i].offset], uint8_t(i + 1)) << i;
    }
  }

  for (std::size_t cut = 0; cut <= f.file.size(); ++cut) {
    TMemoryStream part;
    part.Write(f.file.data(), int(cut));
    AviVideoScan scan;
    if (!scanAviVideo(part, part.Size(), scan)) continue;  // not even the headers
    EXPECT_EQ(scan.complete, cut >= f.riffEnd) << cut;
    ASSERT_LE(scan.frames.size(), whole.frames.size()) << cut;
    for (std::size_t i = 0; i < scan.frames.size(); ++i) {
      EXPECT_EQ(scan.frames[i].offset, whole.frames[i].offset) << cut;
      EXPECT_EQ(scan.frames[i].size, whole.frames[i].size) << cut;
      EXPECT_LE(scan.frames[i].offset + scan.frames[i].size, int64_t(cut)) << cut;
    }
    AvwTail tail;
    readAvwTail(part, tail);  // whatever the last bytes say, it stays inside the file
    EXPECT_LE(tail.aviEnd, int64_t(cut));
  }
}

TEST(AvwFile, RefusesWhatIsNoAviWithAVideoStream) {
  const Fixture f = makeAvi();
  struct Case {
    const char* what;
    const char* find;
    const char* replace;
  } cases[] = {
      {"not RIFF", "RIFF", "RIFX"},
      {"not AVI", "AVI ", "WAVE"},
      {"no video", "vidsDIB ", "txts"},
  };
  for (const Case& c : cases) {
    Bytes b = f.file;
    const std::size_t at = std::string(b.begin(), b.end()).find(c.find);
    ASSERT_NE(at, std::string::npos);
    std::memcpy(&b[at], c.replace, 4);
    TMemoryStream m;
    m.Write(b.data(), int(b.size()));
    AviVideoScan scan;
    EXPECT_FALSE(scanAviVideo(m, m.Size(), scan)) << c.what;
  }
  // A rate of 0 would divide by zero in every time computed from it.
  Bytes b = f.file;
  const std::size_t vids = std::string(b.begin(), b.end()).find("vidsDIB ");
  std::memset(&b[vids + 24], 0, 4);
  TMemoryStream m;
  m.Write(b.data(), int(b.size()));
  AviVideoScan scan;
  EXPECT_FALSE(scanAviVideo(m, m.Size(), scan));
}

TEST(AvwFile, ReadsTheTail) {
  struct Case {
    const char* what;
    std::string clicks;
    int32_t length, sound, click;
    bool plausible;
    std::size_t tailBytes;  // bytes after the AVI part
    std::string want;
  } cases[] = {
      {"clicks pending", "12\r\n5\r\n", 7, 1, 1, true, 7 + 12, "12\r\n5\r\n"},
      {"sound only", "", -1, 1, 0, true, 8, ""},
      {"empty click list", "", 0, 1, 1, true, 12, ""},
      {"click length past the file", "", 1 << 30, 1, 1, true, 12, ""},
      {"flags of a cut-off file", "", -1, 0x30201000, 7, false, 8, ""},
  };
  const Bytes avi(50, 'a');
  for (const Case& c : cases) {
    Bytes b = avi;
    b.insert(b.end(), c.clicks.begin(), c.clicks.end());
    if (c.length >= 0) put32(b, uint32_t(c.length));
    put32(b, uint32_t(c.sound));
    put32(b, uint32_t(c.click));
    TMemoryStream m;
    m.Write(b.data(), int(b.size()));
    AvwTail t;
    ASSERT_TRUE(readAvwTail(m, t)) << c.what;
    EXPECT_EQ(t.plausible(), c.plausible) << c.what;
    EXPECT_EQ(t.clicks, c.want) << c.what;
    EXPECT_EQ(t.aviEnd, int64_t(b.size() - c.tailBytes)) << c.what;
  }
  TMemoryStream tiny;
  tiny.Write("1234567", 7);
  AvwTail t;
  EXPECT_FALSE(readAvwTail(tiny, t));
}

TEST(AvwFile, SetsTheLengthOfTheNamedStream) {
  const Fixture f = makeAvi();
  TMemoryStream m;
  m.Write(f.file.data(), int(f.file.size()));
  ASSERT_TRUE(setAviStreamLength(m, "auds", 109));
  const Bytes& b = m.Bytes();
  const std::size_t auds = std::string(b.begin(), b.end()).find("auds");
  EXPECT_EQ(get32(b, auds + 32), 109);
  // The rest is untouched, and a missing stream type writes nothing.
  Bytes expect = f.file;
  std::memcpy(&expect[auds + 32], &b[auds + 32], 4);
  EXPECT_EQ(b, expect);
  EXPECT_FALSE(setAviStreamLength(m, "txts", 5));
  EXPECT_EQ(m.Bytes(), expect);
}

TEST(AviOutputRules, TimeBaseAndDropReport) {
  struct Base {
    int ms;
    bool ok;
    uint32_t scale, rate;
  } bases[] = {{200, true, 1, 5}, {333, true, 333, 1000}, {1000, true, 1, 1},
               {3000, true, 3000, 1000}, {0, false, 0, 0}, {-5, false, 0, 0}};
  for (const Base& b : bases) {
    uint32_t scale = 0, rate = 0;
    EXPECT_EQ(aviTimeBase(b.ms, scale, rate), b.ok) << b.ms;
    if (b.ok) {
      EXPECT_EQ(scale, b.scale) << b.ms;
      EXPECT_EQ(rate, b.rate) << b.ms;
    }
  }
  struct Drop {
    int frames, dropped;
    bool camera, reported;
  } drops[] = {{100, 10, false, false}, {100, 11, false, true}, {0, 5, false, false},
               {100, 90, true, false},  {101, 32, true, true},  {101, 31, true, false}};
  for (const Drop& d : drops)
    EXPECT_EQ(!aviDropReport(d.frames, d.dropped, d.camera).IsEmpty(), d.reported)
        << d.frames << " " << d.dropped << " " << d.camera;
  EXPECT_EQ(aviDropReport(100, 11, false),
            AnsiString("共100帧,录制过程中丢失了11帧,已自动补帧。如果丢失比例过高,请考虑降低录制频率。"));
  EXPECT_EQ(aviDropReport(200, 70, true),
            AnsiString("共200帧,录制过程中丢失了70帧,已自动补帧。请看录像文件效果，如果效果不好请降低录制频率试试。"));
}

}  // namespace
