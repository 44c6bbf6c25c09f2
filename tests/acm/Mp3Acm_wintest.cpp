// The real Audio Compression Manager under Wine: our MPEG Layer-3 driver is
// found only while it is installed, CACM encodes PCM to MP3 through it (the
// files are left for the ffprobe/ffmpeg check that ctest runs next), and
// Wine's PCM converter resamples through convertWithAcm.
//
// msacm32 reads the installed drivers when it loads, so the checks that need
// the driver run in a child process (this same program, filtered to the
// Mp3Child cases) started after the install and again after the removal.
#include <gtest/gtest.h>
#include <windows.h>
#include <mmreg.h>
#include <msacm.h>
#include <vfw.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "Acm.h"
#include "ByteReader.h"
#include "FakeAcm.h"
#include "Mp3DriverInstall.h"
#include "SysUtils.h"

namespace {

std::string childMode() { return mp3driver::childMode("VIDORRA_ACM_CHILD"); }
int runChild(const char* mode) { return mp3driver::runChild("VIDORRA_ACM_CHILD", mode, L"Mp3Child.*"); }

// A 440 Hz sine, 16-bit, the same on every channel.
std::vector<uint8_t> tone(int channels, int rate, int bits, double seconds, double amplitude = 10000) {
  const int frames = int(rate * seconds);
  std::vector<uint8_t> out;
  for (int i = 0; i < frames; ++i) {
    const double v = amplitude * std::sin(2 * 3.14159265358979323846 * 440.0 * i / rate);
    for (int c = 0; c < channels; ++c) {
      if (bits == 8) {
        out.push_back(uint8_t(128 + int(std::lround(v / 256))));
      } else {
        const int16_t s = int16_t(std::lround(v));
        out.push_back(uint8_t(s));
        out.push_back(uint8_t(uint16_t(s) >> 8));
      }
    }
  }
  return out;
}

bool writeFile(const std::wstring& path, const void* data, std::size_t n) {
  FILE* f = _wfopen(path.c_str(), L"wb");
  if (!f) return false;
  const bool ok = std::fwrite(data, 1, n, f) == n;
  return std::fclose(f) == 0 && ok;
}

}  // namespace

TEST(Mp3Driver, FoundOnlyWhileInstalled) {
  if (!childMode().empty()) GTEST_SKIP();
  CreateDirectoryW(mp3driver::winePath(ACM_OUT_DIR).c_str(), nullptr);
  DeleteFileW((mp3driver::winePath(ACM_OUT_DIR) + L"\\manifest.txt").c_str());
  mp3driver::KeepState keep(MP3ACM_PATH);
  ASSERT_TRUE(mp3driver::install(MP3ACM_PATH));
  EXPECT_EQ(runChild("with"), 0);
  EXPECT_TRUE(mp3driver::uninstall());
  EXPECT_EQ(runChild("without"), 0);
}

TEST(Mp3Child, CodecIsThereExactlyWhenInstalled) {
  const std::string mode = childMode();
  if (mode.empty()) GTEST_SKIP() << "runs in the child of Mp3Driver.FoundOnlyWhileInstalled";
  EXPECT_EQ(hasMp3Codec(systemAcm()), mode == "with");
}

TEST(Mp3Child, EncodesPcmThroughCacm) {
  if (childMode() != "with") GTEST_SKIP();
  struct Row {
    const char* name;
    int channels, rate;
    double seconds;
    int kbps;
    std::size_t progressCalls;
  };
  // Longer than one 441,000-byte chunk; a split second in stereo (whose
  // capacity a whole-seconds formula would make 0); the lowest rate.
  const Row rows[] = {
      {"mono44k", 1, 44100, 6.0, 64, 1},
      {"stereo22k", 2, 22050, 0.3, 64, 0},
      {"mono8k", 1, 8000, 0.9, 16, 0},
  };
  std::string manifest;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    RecordingHost host;
    CACM acm(systemAcm(), host);
    const std::vector<uint8_t> pcm = pcmFormat(row.channels, row.rate, 16);
    std::vector<uint8_t> buf(acm.sourceFormat().size(), 0);
    std::copy(pcm.begin(), pcm.end(), buf.begin());
    AcmDriverId id = 0;
    ASSERT_EQ(acm.findFormats(kTagMpegLayer3, -1, buf.data(), buf.size(), id), 1);
    const std::vector<int> rates = acm.listBitrates(pcm.data());
    ASSERT_NE(std::find(rates.begin(), rates.end(), row.kbps), rates.end());
    const int index = acm.findFormatIndex(pcm.data(), row.kbps);
    ASSERT_GE(index, 0);

    std::vector<uint8_t> mp3fmt(acm.sourceFormat().size(), 0);
    ASSERT_EQ(acm.findFormats(kTagMpegLayer3, int16_t(index), mp3fmt.data(), mp3fmt.size(), id), 1);
    const WaveFormat f = readWaveFormat(mp3fmt.data(), mp3fmt.size());
    EXPECT_EQ(f.formatTag, kTagMpegLayer3);
    EXPECT_EQ(f.channels, row.channels);
    EXPECT_EQ(f.samplesPerSec, uint32_t(row.rate));
    EXPECT_EQ(f.avgBytesPerSec, uint32_t(row.kbps * 125));
    EXPECT_EQ(f.cbSize, 12);

    acm.setFormats(pcm.data(), mp3fmt.data());
    ASSERT_EQ(acm.open(id), 1);
    const std::vector<uint8_t> src = tone(row.channels, row.rate, 16, row.seconds);
    uint32_t len = mp3OutputCapacity(uint32_t(src.size()), readWaveFormat(pcm.data(), 18).avgBytesPerSec, row.kbps);
    std::vector<uint8_t> out(len);
    ASSERT_EQ(acm.convert(src.data(), uint32_t(src.size()), out.data(), len), 1);
    EXPECT_TRUE(host.messages.empty());
    EXPECT_EQ(host.progressSeen.size(), row.progressCalls);
    ASSERT_GT(len, 4u);
    EXPECT_EQ(out[0], 0xFF);  // a frame sync right at the start: no tag, no junk
    EXPECT_EQ(out[1] & 0xE0, 0xE0);
    // CBR at the chosen rate: the coded length is near kbps x duration.
    const double expected = row.kbps * 125.0 * row.seconds;
    EXPECT_GT(len, expected * 0.9);
    EXPECT_LT(len, expected * 1.2 + 4 * 1441);

    const std::wstring dir = mp3driver::winePath(ACM_OUT_DIR);
    ASSERT_TRUE(writeFile(dir + L"\\" + std::wstring(row.name, row.name + strlen(row.name)) + L".mp3", out.data(), len));
    manifest += std::string(row.name) + ".mp3 " + std::to_string(row.rate) + " " + std::to_string(row.channels) +
                " " + std::to_string(src.size() / (2 * row.channels)) + "\n";
  }
  ASSERT_TRUE(writeFile(mp3driver::winePath(ACM_OUT_DIR) + L"\\manifest.txt", manifest.data(), manifest.size()));
}

TEST(Mp3Child, DeclinesWhatItCannotEncodeAndStopsOnCancel) {
  if (childMode() != "with") GTEST_SKIP();
  RecordingHost host;
  CACM acm(systemAcm(), host);
  std::vector<uint8_t> buf(acm.sourceFormat().size(), 0);
  AcmDriverId id = 0;
  ASSERT_EQ(acm.findFormats(kTagMpegLayer3, -1, buf.data(), buf.size(), id), 1);
  const std::vector<uint8_t> pcm16 = pcmFormat(1, 44100, 16);
  const int index = acm.findFormatIndex(pcm16.data(), 64);
  ASSERT_GE(index, 0);
  std::vector<uint8_t> mp3fmt(buf.size(), 0);
  ASSERT_EQ(acm.findFormats(kTagMpegLayer3, int16_t(index), mp3fmt.data(), mp3fmt.size(), id), 1);

  // 8-bit PCM must be widened first: the encoder refuses it.
  const std::vector<uint8_t> pcm8 = pcmFormat(1, 44100, 8);
  acm.setFormats(pcm8.data(), mp3fmt.data());
  EXPECT_EQ(acm.open(id), 0);
  EXPECT_EQ(host.messages, std::vector<std::string>{"acmStreamOpen error!"});

  acm.setFormats(pcm16.data(), mp3fmt.data());
  ASSERT_EQ(acm.open(id), 1);
  acm.setProgress([](int) { return false; });
  const std::vector<uint8_t> src = tone(1, 44100, 16, 12.0);
  uint32_t len = mp3OutputCapacity(uint32_t(src.size()), 88200, 64);
  std::vector<uint8_t> out(len);
  EXPECT_EQ(acm.convert(src.data(), uint32_t(src.size()), out.data(), len), 0);
  EXPECT_EQ(len, 0u);
}

TEST(Mp3Child, AnswersSuggestionsAndQueries) {
  if (childMode() != "with") GTEST_SKIP();
  // What a format chooser asks: a suggestion for a PCM source...
  WAVEFORMATEX pcm{WAVE_FORMAT_PCM, 2, 32000, 128000, 4, 16, 0};
  std::vector<uint8_t> buf(64, 0);
  auto* mp3 = reinterpret_cast<WAVEFORMATEX*>(buf.data());
  mp3->wFormatTag = WAVE_FORMAT_MPEGLAYER3;
  ASSERT_EQ(acmFormatSuggest(nullptr, &pcm, mp3, DWORD(buf.size()), ACM_FORMATSUGGESTF_WFORMATTAG), 0u);
  EXPECT_EQ(mp3->wFormatTag, WAVE_FORMAT_MPEGLAYER3);
  EXPECT_EQ(mp3->nChannels, 2);
  EXPECT_EQ(mp3->nSamplesPerSec, 32000u);
  EXPECT_EQ(mp3->cbSize, 12);
  // ...and whether a conversion is possible before opening it for real.
  EXPECT_EQ(acmStreamOpen(nullptr, nullptr, &pcm, mp3, nullptr, 0, 0, ACM_STREAMOPENF_QUERY), 0u);
  mp3->nSamplesPerSec = 44100;  // the encoder does not resample
  EXPECT_NE(acmStreamOpen(nullptr, nullptr, &pcm, mp3, nullptr, 0, 0, ACM_STREAMOPENF_QUERY), 0u);
}

// --- PCM conversions through whichever driver takes them ----------------------
namespace {

struct Pcm {
  int channels, rate, bits;
};

// Rising zero crossings of the first channel, and the largest magnitude.
void measure(const std::vector<uint8_t>& data, const Pcm& p, int& crossings, int& peak) {
  const int step = p.channels * p.bits / 8;
  crossings = 0;
  peak = 0;
  int prev = 0;
  for (std::size_t i = 0; i + step <= data.size(); i += step) {
    const int v = p.bits == 8 ? (data[i] - 128) * 256 : int16_t(getU16(&data[i]));
    if (prev < 0 && v >= 0) ++crossings;
    prev = v;
    peak = std::max(peak, std::abs(v));
  }
}

}  // namespace

TEST(PcmResampling, ConvertsRateChannelsAndWidthKeepingPitchAndLength) {
  struct Row {
    Pcm from, to;
    int peakLow = 8800, peakHigh = 11200;
  };
  // The conversions the sound packer and the Flash export make: 44.1 kHz down
  // to 22.05 kHz, anything to TrueSpeech's 8 kHz 16-bit mono.
  const Row rows[] = {
      {{1, 44100, 16}, {1, 22050, 16}}, {{2, 44100, 16}, {2, 22050, 16}}, {{1, 44100, 8}, {1, 22050, 8}},
      {{1, 11025, 8}, {1, 8000, 16}},   {{1, 22050, 16}, {1, 8000, 16}},  {{1, 8000, 16}, {1, 8000, 16}},
      {{1, 44100, 16}, {1, 8000, 16}},
      // Folding two equal channels: Windows averages them, Wine adds them.
      {{2, 44100, 16}, {1, 44100, 16}, 8800, 21200},
      {{2, 22050, 16}, {1, 8000, 16}, 8800, 21200},
  };
  const double seconds = 6.0;  // more than one chunk at 44.1 kHz
  for (const Row& row : rows) {
    SCOPED_TRACE(std::to_string(row.from.channels) + "x" + std::to_string(row.from.rate) + "x" +
                 std::to_string(row.from.bits) + " -> " + std::to_string(row.to.channels) + "x" +
                 std::to_string(row.to.rate) + "x" + std::to_string(row.to.bits));
    const std::vector<uint8_t> src = tone(row.from.channels, row.from.rate, row.from.bits, seconds);
    const std::vector<uint8_t> sf = pcmFormat(row.from.channels, row.from.rate, row.from.bits);
    const std::vector<uint8_t> df = pcmFormat(row.to.channels, row.to.rate, row.to.bits);
    const int dstBlock = row.to.channels * row.to.bits / 8;
    const double frames = seconds * row.to.rate;
    std::vector<uint8_t> out(std::size_t(frames * dstBlock * 1.1) + 4096);
    uint32_t len = uint32_t(out.size());
    ASSERT_EQ(convertWithAcm(systemAcm(), sf.data(), df.data(), src.data(), uint32_t(src.size()), out.data(), len), 1);
    out.resize(len);
    EXPECT_NEAR(double(len) / dstBlock, frames, 8.0);
    int crossings = 0, peak = 0;
    measure(out, row.to, crossings, peak);
    EXPECT_NEAR(crossings, 440 * seconds, 3);
    EXPECT_GE(peak, row.peakLow);
    EXPECT_LE(peak, row.peakHigh);
  }
}

TEST(PcmResampling, RefusesABufferSmallerThanTheStreamNeeds) {
  const std::vector<uint8_t> src = tone(1, 44100, 16, 1.0);
  const std::vector<uint8_t> sf = pcmFormat(1, 44100, 16), df = pcmFormat(1, 22050, 16);
  std::vector<uint8_t> out(src.size());
  uint32_t len = uint32_t(src.size() / 2 - 2);
  EXPECT_EQ(convertWithAcm(systemAcm(), sf.data(), df.data(), src.data(), uint32_t(src.size()), out.data(), len), 0);
  EXPECT_EQ(len, 0u);
}

TEST(AcmNames, FormatTagNames) {
  EXPECT_EQ(acmFormatTagName(kTagPcm), AnsiString("PCM 未压缩"));
  EXPECT_EQ(acmFormatTagName(0x7A7A), AnsiString());
  EXPECT_NE(acmFormatTagName(kTagMpegLayer3), AnsiString());  // Wine's decoder names it too
}

TEST(AcmNames, AviCodecNamesOfAMissingFileAreEmpty) {
  AnsiString video = "x", audio = "y";
  aviCodecNames("Z:\\no\\such\\file.avi", video, audio);
  EXPECT_EQ(video, AnsiString());
  EXPECT_EQ(audio, AnsiString());
}

namespace {

// A two-frame 4 x 2 uncompressed AVI, with a PCM sound stream when asked.
// Wine's AVIFile adds no stream once data is written: streams first.
bool writeAvi(const std::wstring& path, bool withSound) {
  DeleteFileW(path.c_str());
  AVIFileInit();
  PAVIFILE file = nullptr;
  PAVISTREAM vs = nullptr, as = nullptr;
  bool ok = AVIFileOpenW(&file, path.c_str(), OF_CREATE | OF_WRITE, nullptr) == 0;
  AVISTREAMINFOW vi{};
  vi.fccType = streamtypeVIDEO;
  vi.dwScale = 1;
  vi.dwRate = 5;
  SetRect(&vi.rcFrame, 0, 0, 4, 2);
  BITMAPINFOHEADER bh{sizeof bh, 4, 2, 1, 24, BI_RGB, 24, 0, 0, 0, 0};
  ok = ok && AVIFileCreateStreamW(file, &vs, &vi) == 0 && AVIStreamSetFormat(vs, 0, &bh, sizeof bh) == 0;
  WAVEFORMATEX wf{WAVE_FORMAT_PCM, 1, 8000, 8000, 1, 8, 0};
  AVISTREAMINFOW ai{};
  ai.fccType = streamtypeAUDIO;
  ai.dwScale = 1;
  ai.dwRate = 8000;
  ai.dwSampleSize = 1;
  if (withSound)
    ok = ok && AVIFileCreateStreamW(file, &as, &ai) == 0 && AVIStreamSetFormat(as, 0, &wf, sizeof wf) == 0;
  uint8_t pixels[24] = {};
  uint8_t sound[800];
  std::fill(std::begin(sound), std::end(sound), 128);
  ok = ok && AVIStreamWrite(vs, 0, 1, pixels, sizeof pixels, AVIIF_KEYFRAME, nullptr, nullptr) == 0 &&
       AVIStreamWrite(vs, 1, 1, pixels, sizeof pixels, AVIIF_KEYFRAME, nullptr, nullptr) == 0 &&
       (!withSound || AVIStreamWrite(as, 0, 800, sound, sizeof sound, 0, nullptr, nullptr) == 0);
  if (as) AVIStreamRelease(as);
  if (vs) AVIStreamRelease(vs);
  if (file) AVIFileRelease(file);
  AVIFileExit();
  return ok;
}

}  // namespace

TEST(AcmNames, AviCodecNamesTellTheSoundFormat) {
  const std::wstring dir = mp3driver::winePath(ACM_OUT_DIR);
  CreateDirectoryW(dir.c_str(), nullptr);
  struct Row {
    bool sound;
    const char* audio;
  };
  for (const Row& row : {Row{false, "无声音"}, Row{true, "PCM 未压缩"}}) {
    SCOPED_TRACE(row.sound);
    const std::wstring path = dir + (row.sound ? L"\\sound.avi" : L"\\silent.avi");
    ASSERT_TRUE(writeAvi(path, row.sound));
    AnsiString video = "x", audio;
    aviCodecNames(WideToCp936(path), video, audio);
    EXPECT_EQ(audio, AnsiString(row.audio));
    EXPECT_EQ(video, AnsiString());  // uncompressed frames have no compressor
    DeleteFileW(path.c_str());
  }
}

TEST(AcmNames, VideoCodecNames) {
  EXPECT_NE(videoCodecName(mmioFOURCC('m', 'r', 'l', 'e')), AnsiString());  // Wine's RLE codec
  EXPECT_EQ(videoCodecName(mmioFOURCC('z', 'z', 'z', 'z')), AnsiString());
}
