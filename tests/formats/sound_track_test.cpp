// Sound-track packings 1 and 2 against blocks made and read with zlib
// directly, damaged blocks, the refusal of unknown packings, and the 8-bit to
// 16-bit widening against hand-computed samples.
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "SoundTrack.h"
#include "WavHelpers.h"
#include "exe_fixture.h"

using namespace exefix;

namespace {

std::string tempPath(const char* name) {
  return (std::filesystem::temp_directory_path() /
          ("vidorra_sound_" + std::to_string(::getpid()) + "_" + name))
      .string();
}

void writeFile(const std::string& path, const std::vector<uint8_t>& b) {
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(b.data()), long(b.size()));
}

std::vector<uint8_t> readFile(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(f), {});
}

// Inflates a packing-2 block with zlib, checking each chunk's bound.
std::vector<uint8_t> inflateBlock(const std::vector<uint8_t>& block, std::vector<std::size_t>& sizes) {
  std::vector<uint8_t> out;
  int32_t chunks = get32(block, 0);
  std::size_t at = 4;
  for (int32_t i = 0; i < chunks; ++i) {
    int32_t n = get32(block, at);
    std::vector<uint8_t> buf(200000);
    uLongf got = uLongf(buf.size());
    EXPECT_EQ(uncompress(buf.data(), &got, block.data() + at + 4, uLong(n)), Z_OK);
    sizes.push_back(got);
    out.insert(out.end(), buf.begin(), buf.begin() + long(got));
    at += 4 + std::size_t(n);
  }
  EXPECT_EQ(at, block.size());
  return out;
}

}  // namespace

TEST(SoundTrack, PackingsRoundTrip) {
  struct Row {
    std::size_t wavBytes;  // whole file, header included
    std::vector<std::size_t> chunks;
  } rows[] = {
      {44, {44}},
      {200000, {100000, 100000}},
      {200001, {100000, 100000, 1}},
      {250000, {100000, 100000, 50000}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.wavBytes);
    std::vector<uint8_t> w = wav(row.wavBytes - 44);
    TestHost host;
    // Packing 1: the size, then the file itself.
    {
      SpanSource src(w);
      VectorSink out;
      ASSERT_EQ(packRawSound(src, out, host), 1);
      ASSERT_EQ(out.bytes.size(), 4 + w.size());
      EXPECT_EQ(get32(out.bytes, 0), int32_t(w.size()));
      EXPECT_TRUE(std::equal(w.begin(), w.end(), out.bytes.begin() + 4));
      SpanSource block(out.bytes);
      VectorSink back;
      int64_t pos = 0;
      ASSERT_EQ(unpackRawSound(block, pos, block.size(), back, host), 1);
      EXPECT_EQ(back.bytes, w);
      EXPECT_EQ(pos, int64_t(out.bytes.size()));
    }
    // Packing 2: chunks of 100,000 bytes that zlib itself inflates.
    {
      SpanSource src(w);
      VectorSink out;
      ASSERT_EQ(packZlibSound(src, out, host), 1);
      std::vector<std::size_t> sizes;
      EXPECT_EQ(inflateBlock(out.bytes, sizes), w);
      EXPECT_EQ(sizes, row.chunks);
      SpanSource block(out.bytes);
      VectorSink back;
      int64_t pos = 0;
      ASSERT_EQ(unpackZlibSound(block, pos, block.size(), back, host), 1);
      EXPECT_EQ(back.bytes, w);
      EXPECT_EQ(pos, int64_t(out.bytes.size()));
    }
    EXPECT_TRUE(host.messages.empty());
  }
}

TEST(SoundTrack, CancelStopsPacking) {
  std::vector<uint8_t> w = wav(300000);
  for (int packing : {1, 2}) {
    TestHost host;
    host.cancelAfter = 1;
    SpanSource src(w);
    VectorSink out;
    int r = packing == 1 ? packRawSound(src, out, host) : packZlibSound(src, out, host);
    EXPECT_EQ(r, -2) << packing;
  }
}

TEST(SoundTrack, DamagedBlocksAreRefused) {
  std::vector<uint8_t> w = wav(1000);
  std::vector<uint8_t> good = zlibBlock(w);
  auto patched = [&](std::size_t at, int32_t v) {
    Bytes b{good};
    b.put32(at, v);
    return b.b;
  };
  std::vector<uint8_t> corrupt = good;
  corrupt[10] ^= 0xFF;
  std::vector<uint8_t> tooBig;  // one chunk that inflates past the 125,000-byte buffer
  {
    std::vector<uint8_t> big(130000, 7), z(compressBound(130000));
    uLongf n = uLongf(z.size());
    compress2(z.data(), &n, big.data(), uLong(big.size()), 9);
    Bytes b;
    b.i32(1);
    b.i32(int32_t(n));
    b.b.insert(b.b.end(), z.begin(), z.begin() + long(n));
    tooBig = b.b;
  }
  struct Row {
    const char* name;
    int packing;
    std::vector<uint8_t> block;
  } rows[] = {
      {"raw size beyond the data", 1, [] { Bytes b; b.i32(5000); b.zeros(10); return b.b; }()},
      {"raw size negative", 1, [] { Bytes b; b.i32(-1); return b.b; }()},
      {"raw block empty", 1, {}},
      {"zlib chunk count huge", 2, patched(0, 0x7FFFFFFF)},
      {"zlib chunk count negative", 2, patched(0, -3)},
      {"zlib chunk length beyond the data", 2, patched(4, int32_t(good.size()))},
      {"zlib chunk length negative", 2, patched(4, -8)},
      {"zlib data corrupt", 2, corrupt},
      {"zlib chunk inflates too far", 2, tooBig},
  };
  for (auto& row : rows) {
    SCOPED_TRACE(row.name);
    TestHost host;
    SpanSource src(row.block);
    VectorSink out;
    int64_t pos = 0;
    const SoundPacking* p = findSoundPacking(row.packing);
    EXPECT_EQ(p->unpack(src, pos, src.size(), out, host), -1);
    EXPECT_EQ(host.messages.size(), 1u);
  }
}

TEST(SoundTrack, FilesAndUnknownPackings) {
  std::string wavPath = tempPath("in.wav"), exePath = tempPath("out.bin"), back = tempPath("back.wav");
  std::vector<uint8_t> w = wav(123456);
  writeFile(wavPath, w);
  TestHost host;
  for (int packing : {1, 2}) {
    {
      TFileStream out(exePath.c_str(), fmCreate);
      out.WriteBuffer("HEAD", 4);
      ASSERT_EQ(packSoundTrack(out, wavPath.c_str(), packing, host), 1);
    }
    TFileStream in(exePath.c_str(), fmOpenRead);
    in.Seek(4, soFromBeginning);
    ASSERT_EQ(unpackSoundTrack(back.c_str(), in, packing, host), 1);
    EXPECT_EQ(in.Position(), in.Size());
    EXPECT_EQ(readFile(back), w);
  }
  // Unknown packings (and the lossy ones, which this build cannot make) are
  // refused with a message and write nothing.
  for (int packing : {0, 3, 5, 6, 99}) {
    host.messages.clear();
    TFileStream out(exePath.c_str(), fmCreate);
    EXPECT_EQ(packSoundTrack(out, wavPath.c_str(), packing, host), -1) << packing;
    EXPECT_EQ(out.Size(), 0);
    EXPECT_EQ(host.messages.size(), 1u);
  }
  // A missing WAV: the packer's own message.
  host.messages.clear();
  {
    TFileStream out(exePath.c_str(), fmCreate);
    EXPECT_EQ(packSoundTrack(out, "/nonexistent/x.wav", 2, host), -1);
  }
  EXPECT_EQ(host.messages, std::vector<std::string>{"打开声音文件失败"});
  // A damaged block leaves no WAV behind.
  writeFile(exePath, {1, 0, 0, 0, 0xFF, 0xFF, 0, 0});
  {
    TFileStream in(exePath.c_str(), fmOpenRead);
    EXPECT_EQ(unpackSoundTrack(back.c_str(), in, 2, host), -1);
  }
  EXPECT_FALSE(std::filesystem::exists(back));
  for (auto& p : {wavPath, exePath, back}) std::remove(p.c_str());
}

TEST(SoundTrack, Widening8To16) {
  // Samples 0, 1, 127, 128, 129, 255 become (b - 128) * 256.
  Bytes src{wav(0, 8, 1, 11025)};
  for (uint8_t b : {0, 1, 127, 128, 129, 255}) src.b.push_back(b);
  src.put32(40, 6);
  src.put32(4, 42);
  SpanSource in(src.b);
  VectorSink out;
  TestHost host;
  ASSERT_EQ(convertWav8To16(in, out, host), 1);
  const std::vector<uint8_t>& o = out.bytes;
  ASSERT_EQ(o.size(), 44u + 12u);
  EXPECT_EQ(get32(o, 4), 12 + 36);     // RIFF size
  EXPECT_EQ(get32(o, 24), 11025);      // rate unchanged
  EXPECT_EQ(get32(o, 28), 22050);      // bytes per second doubled
  EXPECT_EQ(o[32], 2);                 // block align doubled
  EXPECT_EQ(o[34], 16);                // bits
  EXPECT_EQ(get32(o, 40), 12);         // data size doubled
  const int16_t expected[] = {-32768, -32512, -256, 0, 256, 32512};
  for (int i = 0; i < 6; ++i)
    EXPECT_EQ(int16_t(o[44 + 2 * i] | o[45 + 2 * i] << 8), expected[i]) << i;

  // Cancelled between blocks: -2, and the file version deletes its output.
  std::string a = tempPath("w8.wav"), b = tempPath("w16.wav");
  writeFile(a, wav(50000));
  host.cancelAfter = 2;
  EXPECT_EQ(convertWav8To16(AnsiString(a.c_str()), AnsiString(b.c_str()), host), -2);
  EXPECT_FALSE(std::filesystem::exists(b));
  host.cancelAfter = -1;
  EXPECT_EQ(convertWav8To16(AnsiString(a.c_str()), AnsiString(b.c_str()), host), 1);
  EXPECT_EQ(readFile(b).size(), 44u + 100000u);
  EXPECT_EQ(convertWav8To16(AnsiString("/nonexistent/a.wav"), AnsiString(b.c_str()), host), -1);
  std::remove(a.c_str());
  std::remove(b.c_str());
}

TEST(SoundTrack, PlayingTimeFromThePictureHeader) {
  ExeRecipe recipe;
  recipe.soundPacking = 1;
  recipe.sound = wav(100);
  for (bool after : {false, true}) {
    recipe.soundAfterPictures = after;
    Exe exe = buildExe(recipe);
    SpanSource src(exe.bytes);
    EXPECT_EQ(recordingDurationMs(src), 800);  // 4 frames of 200 ms
    exe.bytes.back() = 1;  // the byte after the magic's NUL is not part of it
    exe.bytes[exe.bytes.size() - 12] = 'x';
    SpanSource broken(exe.bytes);
    EXPECT_EQ(recordingDurationMs(broken), -1);
  }
}
