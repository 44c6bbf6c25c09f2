// MP3 header decoding, the seek index and the frame count, on hand-made frame
// sequences and on a real MP3 made by ffmpeg whose frame count ffprobe gave.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "ByteReader.h"
#include "Mp3SeekIndex.h"

namespace {

// Frames of one header each, the rest of the frame zero.
void addFrames(std::vector<uint8_t>& out, uint32_t header, int length, int count) {
  for (int i = 0; i < count; ++i) {
    std::size_t at = out.size();
    out.resize(at + std::size_t(length), 0);
    for (int k = 0; k < 4; ++k) out[at + std::size_t(k)] = uint8_t(header >> (24 - 8 * k));
  }
}

constexpr uint32_t kMpeg1At128k = 0xFFFB9000;  // MPEG-1 layer III, 128 kbit/s, 44100 Hz: 417 bytes
constexpr uint32_t kMpeg1At48k = 0xFFFB9400;   // the same at 48000 Hz

std::vector<uint8_t> id3v2(std::size_t body) {
  std::vector<uint8_t> t = {'I', 'D', '3', 4, 0, 0,
                            uint8_t(body >> 21 & 0x7F), uint8_t(body >> 14 & 0x7F),
                            uint8_t(body >> 7 & 0x7F), uint8_t(body & 0x7F)};
  t.resize(10 + body, 0);
  return t;
}

}  // namespace

TEST(Mp3Header, Decoding) {
  struct Row {
    uint32_t header;
    int versionClass, layer, bitrate, rate, length, samples, channels;
  } rows[] = {
      {0xFFFB9000, 1, 3, 128000, 44100, 417, 1152, 2},
      {0xFFFB9200, 1, 3, 128000, 44100, 418, 1152, 2},  // padding
      {0xFFF340C4, 2, 3, 32000, 22050, 104, 576, 1},    // MPEG-2
      {0xFFE318C0, 3, 3, 8000, 8000, 72, 576, 1},       // MPEG-2.5 takes the MPEG-2 rows and 72000
      {0xFFFD9400, 1, 2, 160000, 48000, 480, 1152, 2},  // layer II
      {0xFFFB9C00, 1, 3, 128000, 0, 0, 1152, 2},        // reserved sample rate
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.header);
    mymp3framehead h;
    decodeMp3FrameHeader(h, r.header);
    EXPECT_EQ(h.versionClass, r.versionClass);
    EXPECT_EQ(h.layerIndex, r.layer);
    EXPECT_EQ(h.bitrate, r.bitrate);
    EXPECT_EQ(h.sampleRate, r.rate);
    EXPECT_EQ(h.frameLength, r.length);
    EXPECT_EQ(h.samplesPerFrame, r.samples);
    EXPECT_EQ(h.channels, r.channels);
  }
}

TEST(Mp3SeekIndex, HandMadeSequences) {
  const uint32_t L = 417;  // framesPerEntry = 51200 / 417 = 122
  std::vector<uint8_t> tag128(128, 0);
  tag128[0] = 'T'; tag128[1] = 'A'; tag128[2] = 'G';
  struct Row {
    const char* name;
    std::vector<uint8_t> data;
    std::vector<uint32_t> offsets;  // entries and the end
    int32_t frames;                 // countFrames
  } rows[] = {
      {"300 frames", [&] { std::vector<uint8_t> d; addFrames(d, kMpeg1At128k, L, 300); return d; }(),
       {0, 122 * L, 245 * L, 300 * L}, 300},
      {"ID3v2 before, TAG after",
       [&] {
         std::vector<uint8_t> d = id3v2(513);
         addFrames(d, kMpeg1At128k, L, 300);
         d.insert(d.end(), tag128.begin(), tag128.end());
         return d;
       }(),
       {523, 523 + 122 * L, 523 + 245 * L, 523 + 300 * L}, 300},
      {"sample rate changes at frame 200",
       [&] {
         std::vector<uint8_t> d;
         addFrames(d, kMpeg1At128k, L, 200);
         addFrames(d, kMpeg1At48k, 384, 50);
         return d;
       }(),
       {0, 122 * L, 200 * L}, 200},
      {"last frame cut short",
       [&] {
         std::vector<uint8_t> d;
         addFrames(d, kMpeg1At128k, L, 124);
         d.resize(d.size() - 300);
         return d;
       }(),
       {0, 122 * L, 123 * L}, 124},
      {"reserved sample rate", [&] { std::vector<uint8_t> d; addFrames(d, 0xFFFB9C00, 400, 3); return d; }(),
       {0, 0}, 0},
      {"ID3v2 tag longer than the data", id3v2(20), {30, 30}, 0},
      {"empty", {}, {0, 0}, 0},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.name);
    Mp3SeekIndex index;
    ASSERT_TRUE(index.build(r.data.data(), r.data.size()));
    EXPECT_EQ(index.offsets, r.offsets);
    EXPECT_EQ(index.count, int32_t(r.offsets.size() - 1));
    int32_t frames = -1, samples = 0;
    ASSERT_TRUE(Mp3SeekIndex::countFrames(r.data.data(), r.data.size(), frames, samples));
    EXPECT_EQ(frames, r.frames);
  }
}

TEST(Mp3SeekIndex, RealFileAgreesWithFfprobe) {
  // data/sine440.mp3: ffmpeg, 1 s of 440 Hz, mono, 44100 Hz, 64 kbit/s,
  // without the Xing frame; ffprobe -count_packets reports 40 frames. It
  // starts with a 45-byte ID3v2 tag.
  std::ifstream f(std::filesystem::path(TEST_SOURCE_DIR) / "data" / "sine440.mp3", std::ios::binary);
  std::vector<uint8_t> mp3((std::istreambuf_iterator<char>(f)), {});
  ASSERT_EQ(mp3.size(), 8404u);
  int32_t frames = 0, samples = 0;
  Mp3SeekIndex::countFrames(mp3.data(), mp3.size(), frames, samples);
  EXPECT_EQ(frames, 40);
  EXPECT_EQ(samples, 1152);
  Mp3SeekIndex index;
  index.build(mp3.data(), mp3.size());
  EXPECT_EQ(index.framesPerEntry, 51200 / 208);
  EXPECT_EQ(index.offsets, (std::vector<uint32_t>{45, 8404}));
}

TEST(Mp3SeekIndex, StoredForm) {
  std::vector<uint8_t> d;
  addFrames(d, kMpeg1At128k, 417, 300);
  Mp3SeekIndex index;
  index.build(d.data(), d.size());
  VectorSink out;
  ASSERT_TRUE(index.write(out));
  const std::vector<uint8_t>& b = out.bytes;
  ASSERT_EQ(b.size(), 8u + 4u * 4u);
  EXPECT_EQ(getI32(&b[0]), 122);  // framesPerEntry
  EXPECT_EQ(getI32(&b[4]), 3);    // count
  EXPECT_EQ(getU32(&b[8 + 4 * 3]), 300u * 417u);

  ByteReader r(b.data(), b.size());
  Mp3SeekIndex back;
  ASSERT_TRUE(back.read(r));
  EXPECT_EQ(back.offsets, index.offsets);
  EXPECT_EQ(back.framesPerEntry, 122);

  std::vector<uint8_t> bad = b;
  putI32(&bad[4], 0x7FFFFFFF);  // more entries than bytes
  ByteReader rb(bad.data(), bad.size());
  EXPECT_FALSE(back.read(rb));
  EXPECT_TRUE(back.offsets.empty());
  bad = b;
  putU32(&bad[16], 1);  // entry 2 before entry 1
  ByteReader ro(bad.data(), bad.size());
  EXPECT_FALSE(back.read(ro));
}
