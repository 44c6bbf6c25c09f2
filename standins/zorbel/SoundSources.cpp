// The wave-in device source and the paced test signals.
//
// Device: waveIn with CALLBACK_EVENT and a ring of buffers of about 1/16 s;
// the capture thread writes each buffer as it comes back done and queues it
// again. waveInReset at stop returns the partly filled buffers, so the file
// ends where the stop came.
// Test signals: no device and no timer of their own; each collect works out
// from QueryPerformanceCounter how many samples are due since the start and
// delivers the missing ones, so the file grows at the true rate whatever the
// thread's wake-ups are.
#include "SoundSources.h"

#include <mmsystem.h>

#include <cwchar>
#include <vector>

namespace zorbel {

SourceKind sourceKindFromText(const wchar_t* text) {
  if (text && _wcsicmp(text, L"ramp") == 0) return SourceKind::Ramp;
  if (text && _wcsicmp(text, L"silence") == 0) return SourceKind::Silence;
  return SourceKind::Device;
}

namespace {

class PacedSignal : public SoundSource {
public:
  explicit PacedSignal(bool ramp) : ramp_(ramp) {}

  bool start(const PcmFormat& f, uint64_t firstSample) override {
    f_ = f;
    next_ = firstSample;
    delivered_ = 0;
    QueryPerformanceFrequency(&freq_);
    QueryPerformanceCounter(&t0_);
    return freq_.QuadPart > 0;
  }

  void collect(const Sink& sink) override {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    // Split so that elapsed x rate cannot overflow however long it runs.
    uint64_t ticks = uint64_t(now.QuadPart - t0_.QuadPart);
    uint64_t freq = uint64_t(freq_.QuadPart);
    uint64_t due = ticks / freq * f_.rate + ticks % freq * f_.rate / freq;
    while (delivered_ < due) {
      uint64_t n = due - delivered_;
      if (n > kChunkSamples) n = kChunkSamples;
      fill(std::size_t(n));
      sink(buf_.data(), buf_.size());
      delivered_ += n;
    }
  }

  void stop(const Sink& sink) override { collect(sink); }

private:
  static constexpr uint64_t kChunkSamples = 16384;

  void fill(std::size_t samples) {
    const std::size_t width = f_.bits / 8;
    buf_.resize(samples * f_.blockAlign());
    uint8_t* p = buf_.data();
    for (std::size_t i = 0; i < samples; ++i, ++next_) {
      uint32_t v = ramp_ ? rampSample(next_, f_.bits) : (f_.bits == 8 ? 0x80u : 0u);
      for (uint16_t c = 0; c < f_.channels; ++c)
        for (std::size_t b = 0; b < width; ++b) *p++ = uint8_t(v >> (8 * b));
    }
  }

  bool ramp_;
  PcmFormat f_;
  uint64_t next_ = 0;
  uint64_t delivered_ = 0;
  LARGE_INTEGER freq_{}, t0_{};
  std::vector<uint8_t> buf_;
};

class WaveInDevice : public SoundSource {
public:
  ~WaveInDevice() override {
    if (wave_) stop([](const uint8_t*, std::size_t) {});
    if (event_) CloseHandle(event_);
  }

  bool start(const PcmFormat& f, uint64_t) override {
    event_ = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    if (!event_) return false;
    WAVEFORMATEX wfx = {};
    wfx.wFormatTag = WAVE_FORMAT_PCM;
    wfx.nChannels = f.channels;
    wfx.nSamplesPerSec = f.rate;
    wfx.wBitsPerSample = f.bits;
    wfx.nBlockAlign = WORD(f.blockAlign());
    wfx.nAvgBytesPerSec = f.byteRate();
    if (waveInOpen(&wave_, WAVE_MAPPER, &wfx, DWORD_PTR(event_), 0, CALLBACK_EVENT) != MMSYSERR_NOERROR) {
      wave_ = nullptr;
      return false;
    }
    std::size_t bytes = f.byteRate() / 16;
    bytes -= bytes % f.blockAlign();
    if (bytes < 256) bytes = 256 - 256 % f.blockAlign();
    data_.assign(kBuffers, std::vector<char>(bytes));
    headers_.assign(kBuffers, WAVEHDR{});
    for (std::size_t i = 0; i < kBuffers; ++i) {
      headers_[i].lpData = data_[i].data();
      headers_[i].dwBufferLength = DWORD(bytes);
      if (waveInPrepareHeader(wave_, &headers_[i], sizeof(WAVEHDR)) != MMSYSERR_NOERROR ||
          waveInAddBuffer(wave_, &headers_[i], sizeof(WAVEHDR)) != MMSYSERR_NOERROR) {
        release();
        return false;
      }
    }
    next_ = 0;
    if (waveInStart(wave_) != MMSYSERR_NOERROR) {
      release();
      return false;
    }
    return true;
  }

  HANDLE readyEvent() const override { return event_; }

  void collect(const Sink& sink) override { drain(sink, true); }

  void stop(const Sink& sink) override {
    if (!wave_) return;
    waveInReset(wave_);
    drain(sink, false);
    release();
  }

private:
  static constexpr std::size_t kBuffers = 8;

  // Buffers come back in the order they were queued.
  void drain(const Sink& sink, bool requeue) {
    for (std::size_t n = 0; n < kBuffers; ++n) {
      WAVEHDR& h = headers_[next_];
      if (!(h.dwFlags & WHDR_DONE)) break;
      if (h.dwBytesRecorded) sink(reinterpret_cast<const uint8_t*>(h.lpData), h.dwBytesRecorded);
      h.dwBytesRecorded = 0;
      h.dwFlags &= ~WHDR_DONE;
      if (requeue) waveInAddBuffer(wave_, &h, sizeof(WAVEHDR));
      next_ = (next_ + 1) % kBuffers;
    }
  }

  void release() {
    waveInReset(wave_);
    for (WAVEHDR& h : headers_)
      if (h.dwFlags & WHDR_PREPARED) waveInUnprepareHeader(wave_, &h, sizeof(WAVEHDR));
    waveInClose(wave_);
    wave_ = nullptr;
  }

  HWAVEIN wave_ = nullptr;
  HANDLE event_ = nullptr;
  std::vector<std::vector<char>> data_;
  std::vector<WAVEHDR> headers_;
  std::size_t next_ = 0;
};

}  // namespace

std::unique_ptr<SoundSource> makeSoundSource(SourceKind kind) {
  switch (kind) {
    case SourceKind::Ramp: return std::make_unique<PacedSignal>(true);
    case SourceKind::Silence: return std::make_unique<PacedSignal>(false);
    case SourceKind::Device: break;
  }
  return std::make_unique<WaveInDevice>();
}

}  // namespace zorbel
