// CACM against a fake ACM: how a source is cut into chunks, which chunk
// carries END, how progress and cancel, stalls and failures end a conversion,
// and how drivers and formats are found by tag.
#include <gtest/gtest.h>

#include <numeric>

#include "Acm.h"
#include "FakeAcm.h"

namespace {

std::vector<uint8_t> ramp(std::size_t n) {
  std::vector<uint8_t> v(n);
  for (std::size_t i = 0; i < n; ++i) v[i] = uint8_t(i * 7 + i / 251);
  return v;
}

const std::vector<uint8_t> kPcm = pcmFormat(1, 44100, 16);

struct Converted {
  int result;
  std::vector<uint8_t> out;
};

Converted runConvert(FakeAcm& acm, RecordingHost& host, const std::vector<uint8_t>& src, uint32_t capacity) {
  CACM c(acm, host);
  c.setFormats(kPcm.data(), fakeFormat(kTagMpegLayer3, 1, 44100, 64, 12).data());
  EXPECT_EQ(c.open(5), 1);
  std::vector<uint8_t> out(capacity);
  uint32_t len = capacity;
  const int r = c.convert(src.data(), uint32_t(src.size()), out.data(), len);
  out.resize(len);
  return {r, out};
}

FakeAcm withDriver() {
  FakeAcm acm;
  acm.drivers.push_back({5, "Test MPEG Layer-3 encoder", {}});
  return acm;
}

}  // namespace

TEST(AcmChunks, CutsTheSourceAndFlagsOnlyTheLastChunkAsEnd) {
  struct Row {
    uint32_t length;
    std::vector<ConvertCall> calls;
    std::vector<int> progress;
  };
  const Row rows[] = {
      {0, {{0, true}}, {}},
      {1000, {{1000, true}}, {}},
      {441000, {{441000, true}}, {}},
      {441001, {{441000, false}, {1, true}}, {99}},
      {1000000, {{441000, false}, {441000, false}, {118000, true}}, {44, 88}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.length);
    FakeAcm acm = withDriver();
    acm.holdBack = 1500;  // output lags like an encoder's and arrives at END
    RecordingHost host;
    const std::vector<uint8_t> src = ramp(row.length);
    Converted c = runConvert(acm, host, src, row.length + 1500);
    EXPECT_EQ(c.result, 1);
    EXPECT_EQ(acm.calls, row.calls);
    EXPECT_EQ(host.progressSeen, row.progress);
    EXPECT_EQ(c.out, src);
    EXPECT_TRUE(host.messages.empty());
    EXPECT_EQ(acm.prepared, 1);
    EXPECT_EQ(acm.unprepared, 1);
  }
}

TEST(AcmChunks, ResumesAfterTheBytesTheDriverTook) {
  FakeAcm acm = withDriver();
  acm.takeAtMost = 300000;
  RecordingHost host;
  const std::vector<uint8_t> src = ramp(700000);
  Converted c = runConvert(acm, host, src, 700000);
  ASSERT_EQ(c.result, 1);
  const std::vector<ConvertCall> want{{441000, false}, {400000, true}};
  EXPECT_EQ(acm.calls, want);
  EXPECT_EQ(host.progressSeen, std::vector<int>{42});
  EXPECT_EQ(c.out, src);
}

TEST(AcmChunks, ProgressPastTwoGigabitsDoesNotOverflow) {
  // 30 MB: position x 100 passes 2^31 well before the end.
  FakeAcm acm = withDriver();
  RecordingHost host;
  const std::vector<uint8_t> src(30000000, 0x11);
  Converted c = runConvert(acm, host, src, 30000000);
  ASSERT_EQ(c.result, 1);
  ASSERT_FALSE(host.progressSeen.empty());
  EXPECT_TRUE(std::is_sorted(host.progressSeen.begin(), host.progressSeen.end()));
  EXPECT_GE(host.progressSeen.front(), 1);
  EXPECT_LE(host.progressSeen.back(), 100);
}

TEST(AcmChunks, EndsWithoutOutputOnCancelStallFailureOrFullBuffer) {
  struct Row {
    const char* what;
    void (*setup)(FakeAcm&, RecordingHost&);
    uint32_t capacity;
    std::vector<std::string> messages;
    std::size_t calls;
  };
  const Row rows[] = {
      {"cancel at first progress", [](FakeAcm&, RecordingHost& h) { h.cancelAfter = 0; }, 1000000, {}, 1},
      {"cancel at second progress", [](FakeAcm&, RecordingHost& h) { h.cancelAfter = 1; }, 1000000, {}, 2},
      // A driver that takes nothing of a non-final chunk would be fed it for ever.
      {"driver takes nothing", [](FakeAcm& a, RecordingHost&) { a.stallAtCall = 1; }, 1000000, {"ac error!"}, 2},
      {"convert fails", [](FakeAcm& a, RecordingHost&) { a.failConvertAtCall = 2; }, 1000000, {"ac error!"}, 3},
      {"output passes the buffer", [](FakeAcm&, RecordingHost&) {}, 999999, {}, 3},
      {"prepare fails", [](FakeAcm& a, RecordingHost&) { a.failPrepare = true; }, 1000000, {"ap error!"}, 0},
      {"unprepare fails", [](FakeAcm& a, RecordingHost&) { a.failUnprepare = true; }, 1000000, {"au error!"}, 3},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    FakeAcm acm = withDriver();
    RecordingHost host;
    row.setup(acm, host);
    Converted c = runConvert(acm, host, ramp(1000000), row.capacity);
    EXPECT_EQ(c.result, 0);
    EXPECT_TRUE(c.out.empty());
    EXPECT_EQ(host.messages, row.messages);
    EXPECT_EQ(acm.calls.size(), row.calls);
    EXPECT_EQ(acm.unprepared, acm.prepared);  // the header is never left prepared
  }
}

TEST(AcmChunks, TheLastChunkMayBeTakenOnlyInPart) {
  // Block alignment leaves a partial sample at the end: that is not a stall.
  FakeAcm acm = withDriver();
  acm.stallAtCall = 0;
  RecordingHost host;
  Converted c = runConvert(acm, host, ramp(1001), 2000);
  EXPECT_EQ(c.result, 1);
  EXPECT_TRUE(host.messages.empty());
}

TEST(AcmConvert, ZeroCapacityAsksForTheNeededSizeOnly) {
  FakeAcm acm = withDriver();
  acm.sizeOverhead = 4096;
  RecordingHost host;
  CACM c(acm, host);
  ASSERT_EQ(c.open(5), 1);
  const std::vector<uint8_t> src = ramp(1234);
  uint32_t len = 0;
  EXPECT_EQ(c.convert(src.data(), 1234, nullptr, len), 1);
  EXPECT_EQ(len, 1234u + 4096u);
  EXPECT_TRUE(acm.calls.empty());
}

TEST(AcmConvert, OpenAndSizeFailuresAreReported) {
  struct Row {
    const char* what;
    bool driverFails, streamFails, sizeFails;
    int openResult;
    std::vector<std::string> messages;
  };
  const Row rows[] = {
      {"driver", true, false, false, 0, {"acmDriverOpen error!", "as error!"}},
      {"stream", false, true, false, 0, {"acmStreamOpen error!", "as error!"}},
      {"size", false, false, true, 1, {"as error!"}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    FakeAcm acm = withDriver();
    acm.drivers[0].openFails = row.driverFails;
    acm.failStreamOpen = row.streamFails;
    acm.failSize = row.sizeFails;
    RecordingHost host;
    CACM c(acm, host);
    EXPECT_EQ(c.open(5), row.openResult);
    uint8_t out[16];
    uint32_t len = sizeof out;
    EXPECT_EQ(c.convert(out, 4, out, len), 0);
    EXPECT_EQ(host.messages, row.messages);
  }
}

TEST(AcmConvert, ClosesWhatItOpened) {
  FakeAcm acm = withDriver();
  RecordingHost host;
  {
    CACM c(acm, host);
    ASSERT_EQ(c.open(5), 1);
    ASSERT_EQ(c.open(5), 1);  // a second open replaces the first
  }
  EXPECT_EQ(acm.streamsOpen, 0);
  EXPECT_EQ(acm.openedDrivers.size(), acm.closedDrivers.size());
}

TEST(AcmConvert, OneShotConversionChecksTheCapacityFirstAndUsesAnyDriver) {
  FakeAcm acm;
  acm.sizeOverhead = 10;
  const std::vector<uint8_t> src = ramp(500000);
  const std::vector<uint8_t> dst = pcmFormat(1, 22050, 16);
  std::vector<uint8_t> out(500010);

  uint32_t len = 500009;
  EXPECT_EQ(convertWithAcm(acm, kPcm.data(), dst.data(), src.data(), 500000, out.data(), len), 0);
  EXPECT_TRUE(acm.calls.empty());
  EXPECT_EQ(len, 0u);

  len = 500010;
  std::vector<int> seen;
  EXPECT_EQ(convertWithAcm(acm, kPcm.data(), dst.data(), src.data(), 500000, out.data(), len,
                           [&](int p) { seen.push_back(p); return true; }),
            1);
  EXPECT_EQ(len, 500000u);
  EXPECT_TRUE(std::equal(src.begin(), src.end(), out.begin()));
  EXPECT_EQ(seen, std::vector<int>{88});
  EXPECT_EQ(acm.streamDriver, 0u);
  EXPECT_EQ(acm.streamsOpen, 0);
}

// --- driver and format search -------------------------------------------------------
namespace {

FakeAcm mp3Machine() {
  FakeAcm acm;
  acm.drivers.push_back({1, "Wine MPEG3 decoder", {fakeFormat(kTagMpegLayer3, 1, 44100, 128, 12)}});
  acm.drivers.push_back({2, "Broken MPEG Layer-3 Codec", {fakeFormat(kTagMpegLayer3, 1, 44100, 96, 12)}, true});
  acm.drivers.push_back({3, "Some MPEG LAYER-3 Encoder",
                         {fakeFormat(kTagPcm, 1, 44100, 705),
                          fakeFormat(kTagMpegLayer3, 1, 44100, 64, 12),
                          fakeFormat(kTagMpegLayer3, 2, 44100, 128, 12),
                          fakeFormat(kTagMpegLayer3, 1, 44100, 32, 12),
                          fakeFormat(kTagMpegLayer3, 1, 22050, 32, 12),
                          fakeFormat(kTagTrueSpeech, 1, 8000, 8, 32)}});
  acm.drivers.push_back({4, "TrueSpeech(TM)", {fakeFormat(kTagTrueSpeech, 1, 8000, 8, 32)}});
  return acm;
}

}  // namespace

TEST(AcmFormats, ListsOnlyEncodersNamedForLayer3AndSkipsDriversThatDoNotOpen) {
  FakeAcm acm = mp3Machine();
  RecordingHost host;
  CACM c(acm, host);
  std::vector<uint8_t> filter = kPcm;
  AcmDriverId id = 0;
  ASSERT_EQ(c.findFormats(kTagMpegLayer3, -1, filter.data(), filter.size(), id), 1);
  EXPECT_EQ(id, 3u);
  ASSERT_EQ(c.formats().size(), 2u);  // mono 44.1 kHz only
  EXPECT_EQ(c.formats()[0].index, 1u);
  EXPECT_EQ(c.formats()[0].bytes, fakeFormat(kTagMpegLayer3, 1, 44100, 64, 12));
  EXPECT_EQ(c.listBitrates(kPcm.data()), (std::vector<int>{64, 32}));
  EXPECT_EQ(c.findFormatIndex(kPcm.data(), 32), 3);
  EXPECT_EQ(c.findFormatIndex(kPcm.data(), 128), -1);
  EXPECT_EQ(c.findFormatIndex(pcmFormat(2, 44100, 16).data(), 128), -1);  // not listed under this filter

  std::vector<uint8_t> any(18, 0);
  ASSERT_EQ(c.findFormats(kTagMpegLayer3, -1, any.data(), any.size(), id), 1);
  EXPECT_EQ(c.formats().size(), 4u);
  EXPECT_EQ(c.listBitrates(pcmFormat(2, 44100, 16).data()), std::vector<int>{128});
  // Every driver that was opened was closed again.
  EXPECT_EQ(acm.openedDrivers, acm.closedDrivers);
}

TEST(AcmFormats, OtherTagsTakeEveryDriver) {
  FakeAcm acm = mp3Machine();
  RecordingHost host;
  CACM c(acm, host);
  std::vector<uint8_t> any(18, 0);
  AcmDriverId id = 0;
  ASSERT_EQ(c.findFormats(kTagTrueSpeech, -1, any.data(), any.size(), id), 1);
  EXPECT_EQ(c.formats().size(), 2u);
  EXPECT_EQ(id, 4u);  // the last matching driver
}

TEST(AcmFormats, FetchCopiesTheWholeFormatWhenItFits) {
  FakeAcm acm = mp3Machine();
  RecordingHost host;
  CACM c(acm, host);
  std::vector<uint8_t> buf(50, 0xEE);
  AcmDriverId id = 0;
  ASSERT_EQ(c.findFormats(kTagMpegLayer3, 2, buf.data(), buf.size(), id), 1);
  EXPECT_EQ(id, 3u);
  const std::vector<uint8_t> want = fakeFormat(kTagMpegLayer3, 2, 44100, 128, 12);
  EXPECT_TRUE(std::equal(want.begin(), want.end(), buf.begin()));
  EXPECT_EQ(buf[30], 0xEE);  // nothing past its 30 bytes

  EXPECT_EQ(c.findFormats(kTagMpegLayer3, 9, buf.data(), buf.size(), id), 0);
  std::vector<uint8_t> small(20, 0);
  EXPECT_EQ(c.findFormats(kTagMpegLayer3, 2, small.data(), small.size(), id), 0);
}

TEST(AcmFormats, ListKeepsAThousandAndBelongsToItsObject) {
  FakeAcm acm;
  FakeDriver big{9, "Big MPEG Layer-3 encoder", {}};
  for (int i = 0; i < 1005; ++i) big.formats.push_back(fakeFormat(kTagMpegLayer3, 1, 44100, 8 + i, 12));
  acm.drivers.push_back(big);
  RecordingHost host;
  std::vector<uint8_t> any(18, 0);
  AcmDriverId id = 0;
  CACM first(acm, host);
  ASSERT_EQ(first.findFormats(kTagMpegLayer3, -1, any.data(), any.size(), id), 1);
  EXPECT_EQ(first.formats().size(), CACM::kMaxListed);
  {
    CACM second(acm, host);  // neither its making nor its end touches the first's list
    EXPECT_TRUE(second.formats().empty());
  }
  EXPECT_EQ(first.formats().size(), CACM::kMaxListed);
  EXPECT_EQ(first.formats().back().index, 999u);
}

TEST(AcmFormats, Mp3CodecNeedsAnEncoderNamedSoWithFormats) {
  struct Row {
    const char* what;
    std::vector<FakeDriver> drivers;
    bool has;
  };
  const Row rows[] = {
      {"encoder", {{3, "x mpeg layer-3 y", {fakeFormat(kTagMpegLayer3, 1, 8000, 8, 12)}}}, true},
      {"decoder only", {{1, "Wine MPEG3 decoder", {fakeFormat(kTagMpegLayer3, 1, 8000, 8, 12)}}}, false},
      {"named but no formats", {{3, "MPEG Layer-3", {fakeFormat(kTagPcm, 1, 8000, 128)}}}, false},
      {"named but does not open",
       {{3, "MPEG Layer-3", {fakeFormat(kTagMpegLayer3, 1, 8000, 8, 12)}, true}}, false},
      {"nothing", {}, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    FakeAcm acm;
    acm.drivers = row.drivers;
    EXPECT_EQ(hasMp3Codec(acm), row.has);
  }
}

TEST(AcmFormats, Mp3CapacityLeavesRoomForShortSounds) {
  struct Row {
    uint32_t length, avg;
    int kbps;
  };
  const Row rows[] = {{0, 88200, 64}, {2, 88200, 128}, {44100, 88200, 64}, {88199, 88200, 320},
                      {176400 * 60, 176400, 128}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.length);
    const double coded = double(row.length) / row.avg * row.kbps * 125.0;
    const uint32_t cap = mp3OutputCapacity(row.length, row.avg, row.kbps);
    EXPECT_GE(cap, coded * 1.2 + 7200);  // a full flush fits even for a split second
  }
}
