// One recording into one WAV file: the writer, the source and the capture
// thread that moves samples from one to the other. start and stop come from
// the server's COM thread; the figures (time recorded, input level) are read
// there too while the capture thread updates them.
#pragma once

#include "SoundSources.h"
#include "WavFile.h"

#include <atomic>
#include <memory>
#include <thread>

namespace zorbel {

class SoundSession {
public:
  SoundSession() = default;
  SoundSession(const SoundSession&) = delete;
  SoundSession& operator=(const SoundSession&) = delete;
  ~SoundSession() { stop(); }

  // Opens the file and the source and starts capturing; returns a
  // StartResult (0 = failed, nothing running).
  int start(const wchar_t* path, const PcmFormat& f, SourceKind kind);
  // Ends the capture and closes the file with its final sizes. Returns once
  // the file is closed; does nothing when no recording runs.
  void stop();
  bool running() const { return thread_.joinable(); }

  // Milliseconds of sound in the file, the earlier part of a continued file
  // included; after a stop, the length of the file just closed.
  int nowMs() const;
  // Peak of the most recent block, 0 (silence) to 100 (full scale); 0 when
  // nothing is being recorded.
  int level() const { return running() ? level_.load() : 0; }

private:
  void run();
  void take(const uint8_t* p, std::size_t n);

  PcmFormat f_;
  WavWriter writer_;
  std::unique_ptr<SoundSource> source_;
  HANDLE stopEvent_ = nullptr;
  std::thread thread_;
  std::atomic<int> level_{0};
  uint32_t lastByteRate_ = 0;
  uint32_t lastDataBytes_ = 0;
};

}  // namespace zorbel
