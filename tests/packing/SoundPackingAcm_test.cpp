// Packings 5 (MP3) and 6 (TrueSpeech) against a fake ACM whose codecs make
// frames of known length: the block layouts byte by byte, the seek index
// against frame offsets computed here, what happens to the recording's side
// file and to the output on success, failure and cancel, the reading side
// through the fake decoders, and damaged blocks.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>

#include "FakeCodec.h"
#include "SoundPackingAcm.h"
#include "SoundTrack.h"

using namespace fakecodec;
namespace fs = std::filesystem;

namespace {

std::vector<uint8_t> wavFile(int channels, int rate, int bits, std::size_t dataBytes, uint8_t seed = 0) {
  std::vector<uint8_t> w(44 + dataBytes);
  std::memcpy(&w[0], "RIFF", 4);
  putU32(&w[4], uint32_t(dataBytes + 36));
  std::memcpy(&w[8], "WAVEfmt ", 8);
  putU32(&w[16], 16);
  putU16(&w[20], 1);
  putU16(&w[22], uint16_t(channels));
  putU32(&w[24], uint32_t(rate));
  putU32(&w[28], uint32_t(rate * channels * bits / 8));
  putU16(&w[32], uint16_t(channels * bits / 8));
  putU16(&w[34], uint16_t(bits));
  std::memcpy(&w[36], "data", 4);
  putU32(&w[40], uint32_t(dataBytes));
  for (std::size_t i = 0; i < dataBytes; ++i) w[44 + i] = uint8_t(seed + i * 7);
  return w;
}

void writeFile(const fs::path& p, const std::vector<uint8_t>& b) {
  std::ofstream(p, std::ios::binary).write(reinterpret_cast<const char*>(b.data()), long(b.size()));
}
std::vector<uint8_t> readFile(const fs::path& p) {
  std::ifstream f(p, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(f), {});
}
std::vector<uint8_t> slice(const std::vector<uint8_t>& b, std::size_t at, std::size_t n) {
  return std::vector<uint8_t>(b.begin() + long(at), b.begin() + long(at + n));
}

struct Host : FormatsHost {
  std::vector<std::string> messages;
  bool cancel = false;
  int progressCalls = 0;
  void showMessage(const AnsiString& text) override { messages.push_back(text.str()); }
  bool progress(int) override {
    ++progressCalls;
    return !cancel;
  }
};

struct Chooser : BitrateChooser {
  int answer = 0;
  std::vector<int> offered;
  int rateOffered = 0, asked = 0;
  std::function<void()> onAsk;
  int chooseBitrate(const std::vector<int>& kbps, int rate) override {
    ++asked;
    offered = kbps;
    rateOffered = rate;
    if (onAsk) onAsk();
    return answer;
  }
};

// An encoder driver after a decoder that shares its tag (and must be passed over).
FakeCodecAcm mp3Acm() {
  FakeCodecAcm acm;
  acm.drivers.push_back({1, "Wine MPEG3 decoder", {mp3Format(1, 32000, 64)}});
  acm.drivers.push_back({2, "Test MPEG Layer-3 Codec",
                         {mp3Format(1, 32000, 64), mp3Format(1, 32000, 320), mp3Format(2, 32000, 128),
                          mp3Format(1, 22050, 16), mp3Format(1, 22050, 32)}});
  return acm;
}

class TempDir {
public:
  TempDir() : path_(fs::temp_directory_path() / ("vidorra_packing_" + std::to_string(::getpid()))) {
    fs::remove_all(path_);
    fs::create_directories(path_);
  }
  ~TempDir() { fs::remove_all(path_); }
  fs::path operator/(const char* name) const { return path_ / name; }
  std::string folder() const { return path_.string() + "/"; }
  std::vector<std::string> names() const {
    std::vector<std::string> out;
    for (auto& e : fs::directory_iterator(path_)) out.push_back(e.path().filename().string());
    std::sort(out.begin(), out.end());
    return out;
  }

private:
  fs::path path_;
};

}  // namespace

TEST(Mp3Packing, BlockLayoutAndSeekIndexOverTheFrames) {
  struct Row {
    const char* name;
    int rate, channels, samples, choice, kbps;
    std::vector<int> offered;
    std::vector<int> entryFrames;  // frames that start an index entry
    int frames;                    // frames coded (a partial last frame is flushed whole)
  };
  // 320 kbit/s at 32 kHz: 1,440-byte frames, an entry every 35 + 1 frames
  // after the first 35. 32 kbit/s at 22.05 kHz: 104-byte frames, and a sound
  // of half a second, which a whole-seconds capacity would have no room for.
  const Row rows[] = {
      {"mpeg1", 32000, 1, 100 * 1152, 1, 320, {64, 320}, {0, 35, 71}, 100},
      {"mpeg2-short", 22050, 1, 11025, 1, 32, {16, 32}, {0}, 20},
      {"stereo", 32000, 2, 3 * 1152, 0, 128, {128}, {0}, 3},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    FakeCodecAcm acm = mp3Acm();
    Chooser chooser;
    chooser.answer = row.choice;
    Host host;
    PcmSound sound;
    sound.channels = row.channels;
    sound.rate = row.rate;
    sound.bits = 16;
    sound.data.assign(std::size_t(row.samples) * 2 * row.channels, 0x22);
    VectorSink out;
    ASSERT_EQ(packMp3Pcm(sound, out, acm, chooser, host), 1);
    EXPECT_TRUE(host.messages.empty());
    EXPECT_EQ(chooser.offered, row.offered);
    EXPECT_EQ(chooser.rateOffered, row.rate);

    const std::vector<uint8_t>& b = out.bytes;
    EXPECT_EQ(slice(b, 0, 18), pcmFormat(row.channels, row.rate, 16));
    const std::vector<uint8_t> chosen = mp3Format(row.channels, row.rate, row.kbps);
    EXPECT_EQ(slice(b, 18, 18), slice(chosen, 0, 18));  // cbSize 12 kept, extras dropped
    const int L = mp3FrameLength(row.rate, row.kbps);
    const std::size_t count = row.entryFrames.size();
    EXPECT_EQ(getI32(&b[36]), 51200 / L);
    EXPECT_EQ(getI32(&b[40]), int32_t(count));
    for (std::size_t i = 0; i < count; ++i) EXPECT_EQ(getU32(&b[44 + 4 * i]), uint32_t(row.entryFrames[i] * L));
    EXPECT_EQ(getU32(&b[44 + 4 * count]), uint32_t(row.frames * L));  // the end entry
    const std::size_t dataAt = 44 + 4 * (count + 1) + 4;
    ASSERT_EQ(getI32(&b[dataAt - 4]), row.frames * L);
    ASSERT_EQ(b.size(), dataAt + std::size_t(row.frames * L));
    for (int f : row.entryFrames) {
      EXPECT_EQ(b[dataAt + std::size_t(f * L)], 0xFF);
      EXPECT_EQ(b[dataAt + std::size_t(f * L) + 1] & 0xE0, 0xE0);
    }
    ASSERT_EQ(acm.opened.size(), 1u);
    EXPECT_EQ(acm.opened[0].driver, 1002u);  // the encoder, not the decoder listed first
    EXPECT_EQ(acm.opened[0].dst, chosen);    // the encoder gets the full format
  }
}

// Packing 5 from files: the recording's side file stays as it was on every
// failure and cancel, and the output gets nothing; an 8-bit side file becomes
// the widened copy only once the block is written.
TEST(Mp3Packing, SideFileAndOutputOnEveryOutcome) {
  struct Row {
    const char* name;
    int bits;
    std::function<void(FakeCodecAcm&, Chooser&, Host&)> setup;
    int result;
    std::vector<std::string> messages;
  };
  const Row rows[] = {
      {"8-bit done", 8, nullptr, 1, {}},
      {"16-bit done", 16, nullptr, 1, {}},
      {"cancel while widening", 8, [](FakeCodecAcm&, Chooser&, Host& h) { h.cancel = true; }, -2, {}},
      {"no bit rate chosen", 8, [](FakeCodecAcm&, Chooser& c, Host&) { c.answer = -1; }, -2, {}},
      {"cancel while coding", 8,
       [](FakeCodecAcm&, Chooser& c, Host& h) { c.onAsk = [&h] { h.cancel = true; }; }, -2, {}},
      {"coding fails", 8, [](FakeCodecAcm& a, Chooser&, Host&) { a.failConvertAtCall = 1; }, -1, {"ac error!"}},
      {"stream does not open", 16, [](FakeCodecAcm& a, Chooser&, Host&) { a.failStreamOpen = true; }, -1,
       {"acmStreamOpen error!"}},
      {"no encoder", 8, [](FakeCodecAcm& a, Chooser&, Host&) { a.drivers.erase(a.drivers.begin() + 1); }, -1,
       {"没有找到可用的MP3编码器"}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    TempDir dir;
    // 8 s at 32 kHz: widened, more than one 441,000-byte chunk, so the coder
    // reports progress (and can be cancelled) between chunks.
    const std::size_t samples = 8 * 32000;
    const std::vector<uint8_t> side = wavFile(1, 32000, row.bits, samples * row.bits / 8);
    writeFile(dir / "rec1.wav", side);
    FakeCodecAcm acm = mp3Acm();
    Chooser chooser;
    Host host;
    if (row.setup) row.setup(acm, chooser, host);
    AcmPackingContext ctx;
    ctx.api = &acm;
    ctx.chooser = &chooser;
    const std::string tmp = dir.folder();
    ctx.tempFolder = [tmp] { return AnsiString(tmp); };
    registerAcmSoundPackings(ctx);

    const fs::path exe = dir / "out.exw";
    {
      TFileStream out(exe.string().c_str(), fmCreate);
      out.WriteBuffer("STUB", 4);
      EXPECT_EQ(packSoundTrack(out, (dir / "rec1.wav").string().c_str(), kSoundMp3, host), row.result);
    }
    EXPECT_EQ(host.messages, row.messages);
    const std::vector<uint8_t> written = readFile(exe);
    const std::vector<uint8_t> sideAfter = readFile(dir / "rec1.wav");
    EXPECT_EQ(dir.names(), (std::vector<std::string>{"out.exw", "rec1.wav"}));  // no copy, no backup
    if (row.result != 1) {
      EXPECT_EQ(written, std::vector<uint8_t>({'S', 'T', 'U', 'B'}));
      EXPECT_EQ(sideAfter, side);
      continue;
    }
    // The block codes 16-bit sound: 8 s = 223 frames of 1,152 samples (the
    // last one flushed) at 64 kbit/s, 288 bytes each.
    ASSERT_GE(written.size(), 4u + 36 + 223 * 288 + 4);
    EXPECT_EQ(slice(written, 4, 18), pcmFormat(1, 32000, 16));
    EXPECT_EQ(getI32(&written[written.size() - 223 * 288 - 4]), 223 * 288);
    if (row.bits == 16) {
      EXPECT_EQ(sideAfter, side);
      continue;
    }
    ASSERT_EQ(sideAfter.size(), 44 + 2 * samples);
    EXPECT_EQ(getU16(&sideAfter[34]), 16);
    EXPECT_EQ(getU32(&sideAfter[40]), 2 * samples);
    for (std::size_t i : {std::size_t(0), std::size_t(1), samples - 1})
      EXPECT_EQ(int16_t(getU16(&sideAfter[44 + 2 * i])), (side[44 + i] - 128) * 256) << i;
  }
}

TEST(TrueSpeechPacking, ConvertsWhenNeededAndAsksOnlyAmongSeveral) {
  struct Row {
    const char* name;
    int channels, rate, bits;
    std::size_t sourceFrames;
    std::vector<std::vector<uint8_t>> formats;
    int answer;
    int result, asked;
    bool converted;
    std::size_t pcmBytes;  // 16-bit 8 kHz mono bytes that were coded
    int chosenFormat;
  };
  const Row rows[] = {
      {"already 8 kHz 16-bit mono", 1, 8000, 16, 4800, {trueSpeechFormat()}, -1, 1, 0, false, 9600, 0},
      // The default recording format: 8-bit 11,025 Hz grows by 45 % on its
      // way to 16-bit 8 kHz, beyond a 1.2 x input-length buffer.
      {"8-bit 11 kHz", 1, 11025, 8, 44100, {trueSpeechFormat()}, -1, 1, 0, true, 64000, 0},
      {"stereo 22 kHz", 2, 22050, 16, 22050, {trueSpeechFormat()}, -1, 1, 0, true, 16000, 0},
      {"several formats", 1, 8000, 16, 4800, {trueSpeechFormat(1067), trueSpeechFormat(1100)}, 1, 1, 1, false, 9600, 1},
      {"several, no choice", 1, 8000, 16, 4800, {trueSpeechFormat(1067), trueSpeechFormat(1100)}, -1, -2, 1, false, 0, 0},
      {"no codec", 1, 8000, 16, 4800, {}, 0, -1, 0, false, 0, 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    FakeCodecAcm acm;
    acm.drivers.push_back({5, "Test TrueSpeech", row.formats});
    Chooser chooser;
    chooser.answer = row.answer;
    Host host;
    PcmSound sound;
    sound.channels = row.channels;
    sound.rate = row.rate;
    sound.bits = row.bits;
    sound.data.assign(row.sourceFrames * row.channels * row.bits / 8, 0x80);
    VectorSink out;
    ASSERT_EQ(packTrueSpeechPcm(sound, out, acm, chooser, host), row.result);
    EXPECT_EQ(chooser.asked, row.asked);
    // A conversion first means a PCM stream through any driver (handle 0).
    ASSERT_EQ(acm.opened.size(), std::size_t(row.converted) + (row.result == 1));
    if (row.converted) {
      EXPECT_EQ(acm.opened[0].driver, 0u);
      EXPECT_EQ(acm.opened[0].dst, pcmFormat(1, 8000, 16));
    }
    if (row.result != 1) {
      EXPECT_TRUE(out.bytes.empty());
      continue;
    }
    const std::vector<uint8_t>& b = out.bytes;
    EXPECT_EQ(slice(b, 0, 18), pcmFormat(1, 8000, 16));
    EXPECT_EQ(slice(b, 18, 18), slice(row.formats[std::size_t(row.chosenFormat)], 0, 18));
    const std::size_t coded = (row.pcmBytes + 479) / 480 * 32;  // 32 bytes per 240 samples
    EXPECT_EQ(getI32(&b[36]), int32_t(coded));
    EXPECT_EQ(b.size(), 40 + coded);
    EXPECT_EQ(b.back(), 0x5A);
  }
}

TEST(AcmUnpacking, DecodesBackToAWavOfTheCodedLength) {
  struct Row {
    int packing, channels, rate;
    std::size_t samples, decodedSamples;
  };
  // MP3: 1,152-sample frames, a partial one flushed whole; TrueSpeech: 240-sample blocks.
  const Row rows[] = {{kSoundMp3, 1, 32000, 5000, 5 * 1152},
                      {kSoundMp3, 2, 32000, 1152, 1152},
                      {kSoundTrueSpeech, 1, 8000, 1000, 5 * 240}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.packing * 10 + row.channels);
    TempDir dir;
    writeFile(dir / "in.wav", wavFile(row.channels, row.rate, 16, row.samples * 2 * row.channels));
    FakeCodecAcm acm = mp3Acm();
    acm.drivers.push_back({5, "Test TrueSpeech", {trueSpeechFormat()}});
    Chooser chooser;
    Host host;
    registerAcmSoundPackings({&acm, &chooser, [] { return AnsiString(); }});
    const fs::path exe = dir / "out.exe", back = dir / "back.wav";
    {
      TFileStream out(exe.string().c_str(), fmCreate);
      ASSERT_EQ(packSoundTrack(out, (dir / "in.wav").string().c_str(), row.packing, host), 1);
      out.WriteBuffer("TAIL", 4);
    }
    acm.opened.clear();
    {
      TFileStream in(exe.string().c_str(), fmOpenRead);
      ASSERT_EQ(unpackSoundTrack(back.string().c_str(), in, row.packing, host), 1);
      EXPECT_EQ(in.Position(), in.Size() - 4);  // left right after the block
    }
    EXPECT_TRUE(host.messages.empty());
    const std::vector<uint8_t> w = readFile(back);
    const std::size_t bytes = row.decodedSamples * 2 * row.channels;
    ASSERT_EQ(w.size(), 44 + bytes);
    EXPECT_EQ(std::string(w.begin(), w.begin() + 4), "RIFF");
    EXPECT_EQ(getU32(&w[4]), bytes + 36);
    EXPECT_EQ(getU16(&w[20]), 1);
    EXPECT_EQ(getU16(&w[22]), row.channels);
    EXPECT_EQ(getU32(&w[24]), uint32_t(row.rate));
    EXPECT_EQ(getU32(&w[28]), uint32_t(row.rate * 2 * row.channels));
    EXPECT_EQ(getU16(&w[32]), 2 * row.channels);
    EXPECT_EQ(getU16(&w[34]), 16);
    EXPECT_EQ(getU32(&w[40]), bytes);
    // The decoder got the full format back: the extras the block does not store.
    ASSERT_EQ(acm.opened.size(), 1u);
    EXPECT_EQ(acm.opened[0].driver, 0u);
    const std::vector<uint8_t>& f = acm.opened[0].src;
    if (row.packing == kSoundMp3) {
      ASSERT_EQ(f.size(), 30u);
      EXPECT_EQ(getU16(&f[18]), 1);                                   // MPEG
      EXPECT_EQ(getU16(&f[24]), mp3FrameLength(row.rate, 64 * row.channels));  // block = one frame
      EXPECT_EQ(getU16(&f[26]), 1);
    } else {
      ASSERT_EQ(f.size(), 50u);
      EXPECT_EQ(getU16(&f[18]), 1);
      EXPECT_EQ(getU16(&f[20]), 240);
    }
  }
}

TEST(AcmUnpacking, DamagedBlocksAreRefused) {
  // A sound block of packing 5 by hand: formats, index (fpe, count, offsets), data.
  const std::vector<uint8_t> pcm = pcmFormat(1, 32000, 16), mp3 = slice(mp3Format(1, 32000, 64), 0, 18);
  auto block = [&](std::vector<uint8_t> p, std::vector<uint8_t> c, std::vector<int32_t> index, int32_t length,
                   std::size_t dataBytes) {
    std::vector<uint8_t> b = p;
    b.insert(b.end(), c.begin(), c.end());
    uint8_t w[4];
    for (int32_t v : index) { putI32(w, v); b.insert(b.end(), w, w + 4); }
    putI32(w, length);
    b.insert(b.end(), w, w + 4);
    std::vector<uint8_t> frame(288, 0x11);
    mp3Header(frame.data(), 32000, 64, 1);
    for (std::size_t i = 0; i < dataBytes; ++i) b.push_back(frame[i % 288]);
    return b;
  };
  auto with = [](std::vector<uint8_t> f, std::size_t at, uint16_t v) { putU16(&f[at], v); return f; };
  struct Row {
    const char* name;
    std::vector<uint8_t> bytes;
    int result;
    std::string message;
  };
  const Row rows[] = {
      {"sound", block(pcm, mp3, {177, 1, 0, 576}, 576, 576), 1, ""},
      {"cut in the formats", slice(block(pcm, mp3, {177, 1, 0, 576}, 576, 576), 0, 30), -1, "声音数据已损坏"},
      {"not PCM", block(with(pcm, 0, 2), mp3, {177, 1, 0, 576}, 576, 576), -1, "声音数据已损坏"},
      {"24-bit PCM", block(with(pcm, 14, 24), mp3, {177, 1, 0, 576}, 576, 576), -1, "声音数据已损坏"},
      {"not MP3", block(pcm, with(mp3, 0, kTagTrueSpeech), {177, 1, 0, 576}, 576, 576), -1, "声音数据已损坏"},
      {"index count beyond the block", block(pcm, mp3, {177, 0x40000000, 0, 576}, 576, 576), -1, "声音数据已损坏"},
      {"index going back", block(pcm, mp3, {177, 2, 0, 576, 288}, 576, 576), -1, "声音数据已损坏"},
      {"index beyond the data", block(pcm, mp3, {177, 1, 0, 864}, 576, 576), -1, "声音数据已损坏"},
      {"data length beyond the block", block(pcm, mp3, {177, 1, 0, 576}, 577, 576), -1, "声音数据已损坏"},
      {"negative data length", block(pcm, mp3, {177, 1, 0, 0}, -1, 0), -1, "声音数据已损坏"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    FakeCodecAcm acm;
    Host host;
    SpanSource src(row.bytes);
    VectorSink out;
    int64_t pos = 0;
    EXPECT_EQ(unpackAcmSound(src, pos, src.size(), out, acm, host, kSoundMp3), row.result);
    if (row.result == 1) {
      EXPECT_EQ(pos, src.size());
      EXPECT_EQ(out.bytes.size(), 44u + 2 * 1152 * 2);
    } else {
      EXPECT_EQ(host.messages, std::vector<std::string>{row.message});
      EXPECT_EQ(pos, 0);
    }
  }
  // A block no driver decodes.
  FakeCodecAcm acm;
  acm.failStreamOpen = true;
  Host host;
  const std::vector<uint8_t> good = block(pcm, mp3, {177, 1, 0, 576}, 576, 576);
  SpanSource src(good);
  VectorSink out;
  int64_t pos = 0;
  EXPECT_EQ(unpackAcmSound(src, pos, src.size(), out, acm, host, kSoundMp3), -1);
  EXPECT_EQ(host.messages, std::vector<std::string>{"acmStreamOpen error!"});
}

TEST(SoundProgress, DrivesTheWindowAndCancelsWhenItCloses) {
  struct Window : SoundProgressWindow {
    int maximum = 0, position = -1, pumps = 0, closeAfterPumps = 1000;
    void setProgress(int m, int p) override { maximum = m; position = p; }
    void processMessages() override { ++pumps; }
    bool isShown() override { return pumps < closeAfterPumps; }
  } window;
  EXPECT_TRUE(soundProgress(50));  // no window: nothing to cancel
  setSoundProgressWindow(&window);
  EXPECT_TRUE(soundProgress(37));
  EXPECT_EQ(window.maximum, 100);
  EXPECT_EQ(window.position, 37);
  EXPECT_EQ(window.pumps, 1);

  // The user closes the window while a long sound is coded: the job stops as cancelled.
  window.closeAfterPumps = 2;
  FakeCodecAcm acm = mp3Acm();
  Chooser chooser;
  Host messages;
  SoundProgressHost host(messages);
  PcmSound sound{1, 32000, 16, std::vector<uint8_t>(3 * 441000, 0)};
  VectorSink out;
  EXPECT_EQ(packMp3Pcm(sound, out, acm, chooser, host), -2);
  EXPECT_EQ(window.pumps, 2);
  EXPECT_TRUE(out.bytes.empty());
  setSoundProgressWindow(nullptr);
}
