// The capture thread of a recording. It sleeps on the source's event (or a
// short poll for the paced test signals) and the stop event, and writes every
// block the source hands over. Writing happens only on this thread; stop
// joins it before the file's sizes are finalised.
#include "SoundSession.h"

#include "ZorbelNames.h"

#include <algorithm>
#include <cstdlib>

namespace zorbel {

namespace {
// How often a polled source is collected: short enough that get_nowtime and
// the file follow the clock closely, long enough to cost nothing.
constexpr DWORD kPollMs = 20;
// A device signals each finished buffer; the timeout only guards against a
// driver that misses a signal.
constexpr DWORD kDeviceWaitMs = 200;
}  // namespace

int SoundSession::start(const wchar_t* path, const PcmFormat& f, SourceKind kind) {
  stop();
  lastDataBytes_ = 0;  // a failed start has no current file
  int result = writer_.open(path, f);
  if (result == kStartFailed) return kStartFailed;
  f_ = f;
  source_ = makeSoundSource(kind);
  stopEvent_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  if (!stopEvent_ || !source_->start(f, writer_.dataBytes() / f.blockAlign())) {
    source_.reset();
    if (stopEvent_) CloseHandle(stopEvent_);
    stopEvent_ = nullptr;
    writer_.abandon();
    return kStartFailed;
  }
  lastByteRate_ = f.byteRate();
  level_ = 0;
  thread_ = std::thread(&SoundSession::run, this);
  return result;
}

void SoundSession::run() {
  auto sink = [this](const uint8_t* p, std::size_t n) { take(p, n); };
  HANDLE waits[2] = {stopEvent_, source_->readyEvent()};
  DWORD count = waits[1] ? 2 : 1;
  for (;;) {
    DWORD r = WaitForMultipleObjects(count, waits, FALSE, waits[1] ? kDeviceWaitMs : kPollMs);
    if (r == WAIT_OBJECT_0) break;
    source_->collect(sink);
  }
  source_->stop(sink);
}

void SoundSession::take(const uint8_t* p, std::size_t n) {
  n -= n % f_.blockAlign();
  if (n == 0) return;
  writer_.append(p, n);
  int peak = 0;
  if (f_.bits == 8) {
    for (std::size_t i = 0; i < n; ++i) peak = std::max(peak, std::abs(int(p[i]) - 128));
    level_ = peak * 100 / 128;
  } else {
    for (std::size_t i = 0; i + 1 < n; i += 2) peak = std::max(peak, std::abs(int(int16_t(p[i] | p[i + 1] << 8))));
    level_ = peak * 100 / 32768;
  }
}

void SoundSession::stop() {
  if (!thread_.joinable()) return;
  SetEvent(stopEvent_);
  thread_.join();
  source_.reset();
  CloseHandle(stopEvent_);
  stopEvent_ = nullptr;
  lastDataBytes_ = writer_.dataBytes();
  writer_.finish();
  level_ = 0;
}

int SoundSession::nowMs() const {
  uint32_t bytes = running() ? writer_.dataBytes() : lastDataBytes_;
  if (lastByteRate_ == 0) return 0;
  return int(uint64_t(bytes) * 1000 / lastByteRate_);
}

}  // namespace zorbel
