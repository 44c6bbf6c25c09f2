// A fake Audio Compression Manager for the portable CACM tests: drivers with
// names and formats, and a stream that passes bytes through with a delay (as
// an encoder holds samples back until the end), records every call, and can be
// told to take less, take nothing, or fail at a given step.
#pragma once

#include <algorithm>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "Acm.h"
#include "ByteReader.h"

struct FakeDriver {
  AcmDriverId id;
  std::string longName;
  std::vector<std::vector<uint8_t>> formats;  // driver index = position
  bool openFails = false;
};

inline std::vector<uint8_t> fakeFormat(uint16_t tag, int channels, int rate, int kbps, uint16_t extra = 0) {
  std::vector<uint8_t> b(kWaveFormatHead + extra, 0);
  WaveFormat f;
  f.formatTag = tag;
  f.channels = uint16_t(channels);
  f.samplesPerSec = uint32_t(rate);
  f.avgBytesPerSec = uint32_t(kbps * 1000 / 8);
  f.blockAlign = 1;
  f.cbSize = extra;
  writeWaveFormat(b.data(), f);
  for (uint16_t i = 0; i < extra; ++i) b[kWaveFormatHead + i] = uint8_t(0xA0 + i);
  return b;
}

struct ConvertCall {
  uint32_t length;
  bool end;
  bool operator==(const ConvertCall& o) const { return length == o.length && end == o.end; }
};

class FakeAcm : public AcmApi {
public:
  std::vector<FakeDriver> drivers;
  // Stream behaviour.
  uint32_t takeAtMost = 0xFFFFFFFF;  // bytes taken per non-final call
  uint32_t holdBack = 0;             // bytes kept until the end call
  int stallAtCall = -1;              // this call (0-based) takes nothing
  int failConvertAtCall = -1;
  bool failSize = false, failPrepare = false, failUnprepare = false, failStreamOpen = false;
  uint32_t sizeOverhead = 0;         // added to streamSize answers
  // What happened.
  std::vector<ConvertCall> calls;
  std::vector<AcmHandle> openedDrivers, closedDrivers;
  AcmHandle streamDriver = 99;  // the driver a stream was opened on
  int streamsOpen = 0, prepared = 0, unprepared = 0;

  uint32_t maxFormatSize() override { return 50; }

  bool enumDrivers(const std::function<bool(AcmDriverId)>& fn) override {
    for (const FakeDriver& d : drivers)
      if (!fn(d.id)) break;
    return true;
  }
  bool driverLongName(AcmDriverId id, AnsiString& name) override {
    const FakeDriver* d = find(id);
    if (!d) return false;
    name = AnsiString(d->longName);
    return true;
  }
  bool openDriver(AcmDriverId id, AcmHandle& driver) override {
    const FakeDriver* d = find(id);
    if (!d || d->openFails) return false;
    driver = id + 1000;
    openedDrivers.push_back(driver);
    return true;
  }
  void closeDriver(AcmHandle driver) override { closedDrivers.push_back(driver); }
  bool enumFormats(AcmHandle driver, uint16_t tag,
                   const std::function<bool(uint32_t, const uint8_t*, std::size_t)>& fn) override {
    const FakeDriver* d = find(driver - 1000);
    if (!d) return false;
    for (std::size_t i = 0; i < d->formats.size(); ++i)
      if (getU16(d->formats[i].data()) == tag && !fn(uint32_t(i), d->formats[i].data(), d->formats[i].size()))
        break;
    return true;
  }
  bool openStream(AcmHandle driver, const uint8_t*, const uint8_t*, AcmHandle& stream) override {
    if (failStreamOpen) return false;
    streamDriver = driver;
    ++streamsOpen;
    stream = 7;
    return true;
  }
  void closeStream(AcmHandle) override { --streamsOpen; }
  bool streamSize(AcmHandle, uint32_t srcBytes, uint32_t& dstBytes) override {
    if (failSize) return false;
    dstBytes = srcBytes + holdBack + sizeOverhead;
    return true;
  }
  bool prepareHeader(AcmHandle, uint8_t* src, uint32_t srcCap, uint8_t* dst, uint32_t dstCap) override {
    if (failPrepare) return false;
    src_ = src;
    dst_ = dst;
    dstCap_ = dstCap;
    ++prepared;
    return true;
  }
  bool convert(AcmHandle, uint32_t srcLength, bool end, uint32_t& srcUsed, uint32_t& dstUsed) override {
    const int n = int(calls.size());
    calls.push_back({srcLength, end});
    if (n == failConvertAtCall) return false;
    uint32_t take = n == stallAtCall ? 0 : end ? srcLength : std::min(srcLength, takeAtMost);
    pending_.insert(pending_.end(), src_, src_ + take);
    std::size_t emit = end ? pending_.size() : pending_.size() > holdBack ? pending_.size() - holdBack : 0;
    if (emit > dstCap_) return false;  // a real driver never writes past cbDstLength
    std::copy(pending_.begin(), pending_.begin() + emit, dst_);
    pending_.erase(pending_.begin(), pending_.begin() + emit);
    srcUsed = take;
    dstUsed = uint32_t(emit);
    return true;
  }
  bool unprepareHeader(AcmHandle) override {
    ++unprepared;
    return !failUnprepare;
  }

private:
  const FakeDriver* find(AcmDriverId id) const {
    for (const FakeDriver& d : drivers)
      if (d.id == id) return &d;
    return nullptr;
  }
  uint8_t* src_ = nullptr;
  uint8_t* dst_ = nullptr;
  uint32_t dstCap_ = 0;
  std::vector<uint8_t> pending_;
};

// Records what CACM tells the user and answers progress as told.
class RecordingHost : public FormatsHost {
public:
  std::vector<std::string> messages;
  std::vector<int> progressSeen;
  int cancelAfter = -1;  // answer false to this many-th progress call (0-based)
  void showMessage(const AnsiString& text) override { messages.push_back(text.str()); }
  bool progress(int percent) override {
    progressSeen.push_back(percent);
    return cancelAfter < 0 || int(progressSeen.size()) - 1 < cancelAfter;
  }
};
