// WAV helpers: the plain header, the RIFF chunk walk and the normalisation
// built on it, click mixing with saturation, the silence level and the
// channel probe, checked against hand-built files.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "WavHelpers.h"
#include "exe_fixture.h"

using namespace exefix;

namespace {

struct Dir {
  std::filesystem::path path;
  Dir() {
    path = std::filesystem::temp_directory_path() / ("vidorra_wav_" + std::to_string(::getpid()));
    std::filesystem::create_directories(path);
  }
  ~Dir() { std::filesystem::remove_all(path); }
  std::string file(const char* name) const { return (path / name).string(); }
};

void writeFile(const std::string& path, const std::vector<uint8_t>& b) {
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(b.data()), long(b.size()));
}
std::vector<uint8_t> readFile(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(f), {});
}

void chunk(Bytes& b, const char* id, const std::vector<uint8_t>& body, uint32_t size) {
  b.raw(std::string(id, 4));
  b.i32(int32_t(size));
  b.raw(body);
  if (body.size() % 2) b.b.push_back(0);
}

std::vector<uint8_t> fmtBody(int channels, int rate, int bits) {
  Bytes f;
  f.b = {1, 0, uint8_t(channels), 0};
  f.i32(rate);
  f.i32(rate * channels * bits / 8);
  f.b.push_back(uint8_t(channels * bits / 8)); f.b.push_back(0);
  f.b.push_back(uint8_t(bits)); f.b.push_back(0);
  return f.b;
}

// RIFF WAVE with the given chunks (RIFF size is not looked at by the walk).
std::vector<uint8_t> riff(const std::function<void(Bytes&)>& chunks) {
  Bytes b;
  b.raw(std::string("RIFF"));
  b.i32(0);
  b.raw(std::string("WAVE"));
  chunks(b);
  return b.b;
}

const std::vector<uint8_t> kSamples = {1, 2, 3, 4, 5, 6, 7};

}  // namespace

TEST(WavHeader, PlainMonoHeader) {
  uint8_t h[44];
  makeWavHeader(h, 22050, 16);
  const uint8_t expected[44] = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' ',
                                16, 0, 0, 0, 1, 0, 1, 0, 0x22, 0x56, 0, 0, 0x44, 0xAC, 0, 0,
                                2, 0, 16, 0, 'd', 'a', 't', 'a', 0, 0, 0, 0};
  EXPECT_EQ(std::vector<uint8_t>(h, h + 44), std::vector<uint8_t>(expected, expected + 44));

  Dir d;
  ASSERT_EQ(createWavFile(d.file("a.wav").c_str(), 22050, 16), 1);
  EXPECT_EQ(readFile(d.file("a.wav")), std::vector<uint8_t>(expected, expected + 44));
  EXPECT_EQ(createWavFile(d.file("missing/a.wav").c_str(), 22050, 16), 0);
  EXPECT_EQ(wavChannelCount(d.file("a.wav").c_str()), 1);
  struct Row { int channels; int expected; } rows[] = {{2, 2}, {3, 0}, {0, 0}};
  for (auto r : rows) {
    writeFile(d.file("c.wav"), wav(4, 8, r.channels));
    EXPECT_EQ(wavChannelCount(d.file("c.wav").c_str()), r.expected);
  }
  writeFile(d.file("short.wav"), std::vector<uint8_t>(23, 0));
  EXPECT_EQ(wavChannelCount(d.file("short.wav").c_str()), 0);
}

TEST(WavRiff, ChunkWalk) {
  struct Row {
    const char* name;
    std::vector<uint8_t> file;
    bool ok;
    int64_t dataOffset, dataSize;
    int rate, bits;
  } rows[] = {
      {"plain", wav(7, 16, 1, 8000), true, 44, 7, 8000, 16},
      {"odd LIST chunk before data",
       riff([](Bytes& b) {
         chunk(b, "fmt ", fmtBody(1, 11025, 8), 16);
         chunk(b, "LIST", {'a', 'b', 'c', 'd', 'e'}, 5);
         chunk(b, "data", kSamples, 7);
       }),
       true, 12 + 24 + 14 + 8, 7, 11025, 8},
      {"fmt after another chunk, data size never patched",
       riff([](Bytes& b) {
         chunk(b, "junk", {0, 0}, 2);
         chunk(b, "fmt ", fmtBody(1, 44100, 16), 16);
         chunk(b, "data", kSamples, 0xFFFFFFFF);
       }),
       true, 12 + 10 + 24 + 8, 8 /* clipped to the file, pad byte included */, 44100, 16},
      {"chunk size beyond the file", riff([](Bytes& b) { chunk(b, "LIST", {1, 2}, 0x7FFFFFF0); }), false, 0, 0, 0, 0},
      {"no data chunk", riff([](Bytes& b) { chunk(b, "fmt ", fmtBody(1, 8000, 8), 16); }), false, 0, 0, 0, 0},
      {"not RIFF", std::vector<uint8_t>(60, 'x'), false, 0, 0, 0, 0},
  };
  for (auto& r : rows) {
    SCOPED_TRACE(r.name);
    SpanSource src(r.file);
    RiffWave w;
    EXPECT_EQ(walkRiffWave(src, w), r.ok);
    if (!r.ok) continue;
    EXPECT_EQ(w.dataOffset, r.dataOffset);
    EXPECT_EQ(w.dataSize, r.dataSize);
    EXPECT_EQ(w.rate, r.rate);
    EXPECT_EQ(w.bits, r.bits);
  }
}

TEST(WavRiff, NormalizeCopiesOnlyTheDataChunk) {
  Dir d;
  // LIST before the data and another chunk after it: only the samples move.
  writeFile(d.file("in.wav"), riff([](Bytes& b) {
              chunk(b, "fmt ", fmtBody(1, 11025, 8), 16);
              chunk(b, "LIST", {'I', 'N', 'F', 'O'}, 4);
              chunk(b, "data", kSamples, 7);
              chunk(b, "id3 ", {9, 9, 9, 9}, 4);
            }));
  AnsiString out = normalizeWav(d.path.string().c_str(), d.file("in.wav").c_str());
  EXPECT_EQ(std::string(out.c_str()), d.file("exehqpyd.wav"));
  std::vector<uint8_t> got = readFile(d.file("exehqpyd.wav"));
  Bytes expected{wav(0, 8, 1, 11025)};
  expected.put32(4, 7 + 36);
  expected.put32(40, 7);
  expected.raw(kSamples);
  EXPECT_EQ(got, expected.b);

  // A plain file is used as it is; a file without samples gives "".
  writeFile(d.file("plain.wav"), wav(10));
  EXPECT_EQ(std::string(normalizeWav(d.path.string().c_str(), d.file("plain.wav").c_str()).c_str()),
            d.file("plain.wav"));
  writeFile(d.file("none.wav"), riff([](Bytes& b) { chunk(b, "fmt ", fmtBody(1, 8000, 8), 16); }));
  EXPECT_TRUE(normalizeWav(d.path.string().c_str(), d.file("none.wav").c_str()).IsEmpty());
}

TEST(WavMix, SamplesSaturate) {
  struct Row8 { uint8_t target, click, result; } rows8[] = {
      {128, 128, 128},  // silence plus silence stays silence
      {100, 150, 122},
      {200, 200, 255},
      {10, 20, 0},
      {255, 255, 255},
      {0, 0, 0},
  };
  for (auto r : rows8) {
    uint8_t t = r.target;
    ASSERT_TRUE(mixClickSamples(&t, &r.click, 1, 8));
    EXPECT_EQ(t, r.result) << int(r.target) << " + " << int(r.click);
  }
  struct Row16 { int16_t target, click, result; } rows16[] = {
      {1000, -300, 700},
      {30000, 5000, 32767},
      {-30000, -5000, -32768},
      {-32768, 32767, -1},
  };
  for (auto r : rows16) {
    uint8_t t[2] = {uint8_t(r.target), uint8_t(uint16_t(r.target) >> 8)};
    uint8_t c[2] = {uint8_t(r.click), uint8_t(uint16_t(r.click) >> 8)};
    ASSERT_TRUE(mixClickSamples(t, c, 2, 16));
    EXPECT_EQ(int16_t(t[0] | t[1] << 8), r.result) << r.target << " + " << r.click;
  }
  uint8_t x = 1;
  EXPECT_FALSE(mixClickSamples(&x, &x, 1, 24));
}

TEST(WavMix, IntoFileAtOffsetWithLengthCheck) {
  Dir d;
  Bytes click{wav(0)};
  click.b.insert(click.b.end(), {138, 118});  // +10, -10 around the midpoint
  writeFile(d.file("click.wav"), click.b);
  // offset 46, twice: needs 46 + 2 x 2 = 50 bytes.
  for (std::size_t length : {50u, 49u}) {
    SCOPED_TRACE(length);
    std::vector<uint8_t> target = wav(length - 44);
    for (std::size_t i = 44; i < length; ++i) target[i] = 128;
    writeFile(d.file("t.wav"), target);
    bool ok = mixSoundIntoWav(d.file("t.wav").c_str(), d.file("click.wav").c_str(), 8, 46, 2);
    EXPECT_EQ(ok, length == 50);
    std::vector<uint8_t> expected = target;
    if (ok) {
      expected[46] = 138; expected[47] = 118; expected[48] = 138; expected[49] = 118;
    }
    EXPECT_EQ(readFile(d.file("t.wav")), expected);
  }
  EXPECT_FALSE(mixSoundIntoWav(d.file("t.wav").c_str(), d.file("nothing.wav").c_str(), 8, 44, 1));
}

TEST(WavLevel, MeanOfTheFirstSamples) {
  struct Row {
    const char* name;
    int bits;
    std::vector<uint8_t> samples;
    int64_t dataBytes;
    int mean;
  } rows[] = {
      {"8-bit", 8, {10, 20, 30}, 3, 20},
      {"8-bit, fewer bytes than claimed", 8, {10, 20, 30}, 1000, 20},
      {"16-bit truncates toward zero", 16, {0xFD, 0xFF, 0xFC, 0xFF}, 4, -3},
      {"16-bit odd byte count", 16, {4, 0, 9}, 3, 4},
      {"24-bit", 24, {1, 2, 3}, 3, 0},
      {"no samples", 8, {}, 0, 0},
  };
  for (auto& r : rows) {
    SCOPED_TRACE(r.name);
    std::vector<uint8_t> f = wav(0, r.bits);
    f.insert(f.end(), r.samples.begin(), r.samples.end());
    SpanSource src(f);
    EXPECT_EQ(meanSampleValue(src, r.bits, r.dataBytes), r.mean);
  }
  // Only the first 10,000 8-bit samples count.
  std::vector<uint8_t> f = wav(0);
  f.insert(f.end(), 10000, 100);
  f.insert(f.end(), 10000, 200);
  Dir d;
  writeFile(d.file("l.wav"), f);
  EXPECT_EQ(wavBaselineLevel(d.file("l.wav").c_str()), 100);
  EXPECT_EQ(wavBaselineLevel(d.file("none.wav").c_str()), 0);
}
