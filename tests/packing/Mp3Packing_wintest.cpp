// Packing 5 through the real Audio Compression Manager under Wine. A child
// process started while our MP3 encoder driver is installed packs an 8-bit
// and a 16-bit side file: the block's formats, a seek index whose entries
// are the frames an independent walk of the MP3 data finds, the widened side
// file; it leaves each MP3 part and a manifest for the ffprobe/ffmpeg check
// that ctest runs next. After the driver is removed, this process (whose ACM
// never saw the encoder) unpacks the blocks through Wine's own MP3 decoder.
// TrueSpeech has no codec under Wine: packing 6 must fail cleanly.
#include <gtest/gtest.h>
#include <windows.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "ByteReader.h"
#include "Mp3DriverInstall.h"
#include "SoundPackingAcm.h"
#include "SoundTrack.h"
#include "SysUtils.h"

namespace {

std::string childMode() { return mp3driver::childMode("VIDORRA_PACKING_CHILD"); }
int runChild(const char* mode) { return mp3driver::runChild("VIDORRA_PACKING_CHILD", mode, L"PackingChild.*"); }

AnsiString outDir() { return WideToCp936(mp3driver::winePath(PACK_OUT_DIR)) + "\\"; }

// A mono 440 Hz tone of amplitude 10,000 as a WAV file with a 44-byte header.
std::vector<uint8_t> toneWav(int rate, int bits, int samples) {
  std::vector<uint8_t> w(44 + std::size_t(samples) * bits / 8);
  std::memcpy(&w[0], "RIFF", 4);
  putU32(&w[4], uint32_t(w.size() - 8));
  std::memcpy(&w[8], "WAVEfmt ", 8);
  putU32(&w[16], 16);
  putU16(&w[20], 1);
  putU16(&w[22], 1);
  putU32(&w[24], uint32_t(rate));
  putU32(&w[28], uint32_t(rate * bits / 8));
  putU16(&w[32], uint16_t(bits / 8));
  putU16(&w[34], uint16_t(bits));
  std::memcpy(&w[36], "data", 4);
  putU32(&w[40], uint32_t(w.size() - 44));
  for (int i = 0; i < samples; ++i) {
    const double v = 10000 * std::sin(2 * 3.14159265358979323846 * 440.0 * i / rate);
    if (bits == 8) w[44 + i] = uint8_t(128 + int(std::lround(v / 256)));
    else putU16(&w[44 + 2 * i], uint16_t(int16_t(std::lround(v))));
  }
  return w;
}

bool writeFile(const AnsiString& path, const void* data, std::size_t n) {
  FILE* f = _wfopen(Cp936ToWide(path).c_str(), L"wb");
  if (!f) return false;
  const bool ok = std::fwrite(data, 1, n, f) == n;
  return std::fclose(f) == 0 && ok;
}

std::vector<uint8_t> readFile(const AnsiString& path) {
  std::vector<uint8_t> b;
  FILE* f = _wfopen(Cp936ToWide(path).c_str(), L"rb");
  if (!f) return b;
  uint8_t buf[65536];
  std::size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) b.insert(b.end(), buf, buf + n);
  std::fclose(f);
  return b;
}

struct Host : FormatsHost {
  std::vector<std::string> messages;
  void showMessage(const AnsiString& text) override { messages.push_back(text.str()); }
};

// Picks the wanted bit rate among those offered.
struct PickRate : BitrateChooser {
  int kbps;
  std::vector<int> offered;
  explicit PickRate(int k) : kbps(k) {}
  int chooseBitrate(const std::vector<int>& rates, int) override {
    offered = rates;
    for (std::size_t i = 0; i < rates.size(); ++i)
      if (rates[i] == kbps) return int(i);
    return -1;
  }
};

struct Row {
  const char* name;
  int rate, bits, seconds, kbps;
};
// Both long enough for several index entries (one about every 13 s here).
const Row kRows[] = {{"mono11k8", 11025, 8, 30, 32}, {"mono22k16", 22050, 16, 30, 32}};

}  // namespace

TEST(Mp3PackingWine, PackedByTheEncoderAndUnpackedByWinesDecoder) {
  if (!childMode().empty()) GTEST_SKIP();
  CreateDirectoryW(mp3driver::winePath(PACK_OUT_DIR).c_str(), nullptr);
  DeleteFileW((mp3driver::winePath(PACK_OUT_DIR) + L"\\manifest.txt").c_str());
  int child = -1;
  {
    mp3driver::KeepState keep(MP3ACM_PATH);
    ASSERT_TRUE(mp3driver::install(MP3ACM_PATH));
    child = runChild("pack");
  }
  ASSERT_EQ(child, 0);

  PickRate chooser(0);
  registerSystemAcmSoundPackings(chooser, [] { return outDir(); });
  for (const Row& row : kRows) {
    SCOPED_TRACE(row.name);
    Host host;
    const AnsiString back = outDir() + row.name + "_back.wav";
    {
      TFileStream in(outDir() + row.name + ".blk", fmOpenRead);
      in.Seek(4, soFromBeginning);
      ASSERT_EQ(unpackSoundTrack(back, in, kSoundMp3, host), 1);
      EXPECT_EQ(in.Position(), in.Size());
    }
    EXPECT_TRUE(host.messages.empty());
    const std::vector<uint8_t> w = readFile(back);
    ASSERT_GT(w.size(), 44u);
    EXPECT_EQ(getU16(&w[22]), 1);
    EXPECT_EQ(getU32(&w[24]), uint32_t(row.rate));
    EXPECT_EQ(getU16(&w[34]), 16);
    EXPECT_EQ(getU32(&w[40]), w.size() - 44);
    // The original length, plus at most the codec delay (the encoder's 576
    // samples and the decoder's 529) and the padding of the last frame.
    const long samples = long(w.size() - 44) / 2, original = long(row.rate) * row.seconds;
    EXPECT_GE(samples, original);
    EXPECT_LE(samples, original + 1105 + 576);
    // And it is the tone: 440 swings a second from below -3,000 to above
    // 3,000 (the margin keeps coding noise around zero from counting).
    int crossings = 0;
    bool low = false;
    for (long i = 0; i < samples; ++i) {
      const int v = int16_t(getU16(&w[44 + 2 * i]));
      if (v < -3000) low = true;
      if (low && v > 3000) {
        ++crossings;
        low = false;
      }
    }
    EXPECT_NEAR(crossings, 440 * row.seconds, 3);
    DeleteFile(back);
  }
}

TEST(Mp3PackingWine, TrueSpeechWithoutACodecFailsAndWritesNothing) {
  if (!childMode().empty()) GTEST_SKIP();
  CreateDirectoryW(mp3driver::winePath(PACK_OUT_DIR).c_str(), nullptr);
  PickRate chooser(0);
  registerSystemAcmSoundPackings(chooser, [] { return outDir(); });
  const AnsiString wav = outDir() + "ts.wav", exe = outDir() + "ts.blk";
  const std::vector<uint8_t> w = toneWav(11025, 8, 11025);
  ASSERT_TRUE(writeFile(wav, w.data(), w.size()));
  Host host;
  {
    TFileStream out(exe, fmCreate);
    out.WriteBuffer("STUB", 4);
    EXPECT_EQ(packSoundTrack(out, wav, kSoundTrueSpeech, host), -1);
    EXPECT_EQ(out.Size(), 4);
  }
  EXPECT_EQ(host.messages, std::vector<std::string>{"没有找到可用的TrueSpeech编码器"});
  EXPECT_EQ(readFile(wav), w);
  DeleteFile(wav);
  DeleteFile(exe);
}

TEST(PackingChild, PacksSideFilesAsMp3WithAFrameIndex) {
  if (childMode() != "pack") GTEST_SKIP() << "runs in the child of Mp3PackingWine";
  std::string manifest;
  for (const Row& row : kRows) {
    SCOPED_TRACE(row.name);
    const int samples = row.rate * row.seconds;
    const AnsiString side = outDir() + row.name + ".wav", blk = outDir() + row.name + ".blk";
    const std::vector<uint8_t> original = toneWav(row.rate, row.bits, samples);
    ASSERT_TRUE(writeFile(side, original.data(), original.size()));
    PickRate chooser(row.kbps);
    registerSystemAcmSoundPackings(chooser, [] { return outDir(); });
    Host host;
    {
      TFileStream out(blk, fmCreate);
      out.WriteBuffer("STUB", 4);
      ASSERT_EQ(packSoundTrack(out, side, kSoundMp3, host), 1);
    }
    EXPECT_TRUE(host.messages.empty());
    EXPECT_FALSE(chooser.offered.empty());

    // The side file: 16-bit afterwards, the same sound; no widened copy left.
    const std::vector<uint8_t> after = readFile(side);
    ASSERT_EQ(after.size(), 44 + std::size_t(samples) * 2);
    EXPECT_EQ(getU16(&after[34]), 16);
    if (row.bits == 8)
      for (int i : {0, 1, 100, samples - 1})
        EXPECT_EQ(int16_t(getU16(&after[44 + 2 * i])), (original[44 + i] - 128) * 256);
    EXPECT_FALSE(FileExists(outDir() + kWidenedWavName));

    const std::vector<uint8_t> file = readFile(blk);
    ASSERT_GT(file.size(), 4u + 36 + 12);
    const uint8_t* b = file.data() + 4;
    EXPECT_EQ(getU16(b), 1);  // PCM, 16-bit mono at the side file's rate
    EXPECT_EQ(getU16(b + 2), 1);
    EXPECT_EQ(getU32(b + 4), uint32_t(row.rate));
    EXPECT_EQ(getU32(b + 8), uint32_t(row.rate * 2));
    EXPECT_EQ(getU16(b + 12), 2);
    EXPECT_EQ(getU16(b + 14), 16);
    EXPECT_EQ(getU16(b + 16), 0);
    EXPECT_EQ(getU16(b + 18), 85);  // the encoder's MP3 format
    EXPECT_EQ(getU16(b + 20), 1);
    EXPECT_EQ(getU32(b + 22), uint32_t(row.rate));
    EXPECT_EQ(getU32(b + 26), uint32_t(row.kbps * 125));
    EXPECT_EQ(getU16(b + 34), 12);

    // Walk the MP3 data frame by frame: Layer III below 32 kHz, constant bit
    // rate, length 72000 x kbps / rate plus the padding bit.
    const int32_t fpe = getI32(b + 36), count = getI32(b + 40);
    ASSERT_GE(count, 1);
    const std::size_t indexEnd = 44 + 4 * (std::size_t(count) + 1);
    ASSERT_GE(file.size(), 4 + indexEnd + 4);
    const uint32_t length = getU32(b + indexEnd);
    ASSERT_EQ(file.size(), 4 + indexEnd + 4 + length);
    const uint8_t* mp3 = b + indexEnd + 4;
    std::vector<uint32_t> frames;
    uint32_t at = 0;
    while (at + 4 <= length) {
      ASSERT_EQ(mp3[at], 0xFF) << at;
      ASSERT_EQ(mp3[at + 1] & 0xE0, 0xE0) << at;
      frames.push_back(at);
      at += 72000 * row.kbps / row.rate + ((mp3[at + 2] >> 1) & 1);
    }
    ASSERT_EQ(at, length);  // the frames fill the data exactly
    ASSERT_EQ(frames[0], 0u);  // no tag in front
    EXPECT_EQ(fpe, int32_t(51200 / (frames.size() > 1 ? frames[1] : length)));
    // Entries at frames 0, fpe, then every fpe + 1 frames; then the end.
    std::vector<uint32_t> expected;
    for (std::size_t f = 0; f < frames.size(); f = f == 0 ? std::size_t(fpe) : f + fpe + 1) expected.push_back(frames[f]);
    expected.push_back(length);
    ASSERT_EQ(std::size_t(count) + 1, expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(getU32(b + 44 + 4 * i), expected[i]) << i;
    EXPECT_GE(count, 2);

    ASSERT_TRUE(writeFile(outDir() + row.name + ".mp3", mp3, length));
    manifest += std::string(row.name) + ".mp3 " + std::to_string(row.rate) + " 1 " + std::to_string(samples) + "\n";
    DeleteFile(side);
  }
  ASSERT_TRUE(writeFile(outDir() + "manifest.txt", manifest.data(), manifest.size()));
}
