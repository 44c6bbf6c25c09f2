// The WAV file the server records into: the 44-byte PCM header the program
// expects (samples from byte 44, format fields at 22, 24, 34), the check that
// an existing file may be continued, and the writer that grows the file while
// a recording runs. While it is being written the header's two sizes are 0
// (the program and its readers go by the file size); stop writes them final.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

namespace zorbel {

struct PcmFormat {
  uint32_t rate = 0;
  uint16_t bits = 0;
  uint16_t channels = 1;
  uint32_t blockAlign() const { return uint32_t(bits / 8) * channels; }
  uint32_t byteRate() const { return blockAlign() * rate; }
};

constexpr std::size_t kWavHeaderSize = 44;
// The program reads WAV sizes as int32; data never grows past this.
constexpr uint32_t kMaxDataBytes = 0x7FFFFFFFu - kWavHeaderSize;

// Rates and widths the server records: 8 or 16 bits, mono or stereo, a rate
// a sound card can plausibly give.
bool formatSupported(const PcmFormat& f);

void buildWavHeader(const PcmFormat& f, uint32_t dataBytes, uint8_t out[kWavHeaderSize]);

// True when the bytes start with a canonical 44-byte PCM header of exactly
// format f. The size fields are not checked: a file being written or fitted
// by the program may hold 0 or sizes that lag behind the file.
bool wavHeaderMatches(const uint8_t* data, std::size_t size, const PcmFormat& f);

class WavWriter {
public:
  WavWriter() = default;
  WavWriter(const WavWriter&) = delete;
  WavWriter& operator=(const WavWriter&) = delete;
  ~WavWriter() { finish(); }

  // Opens path in format f. A missing or empty file gets a new header; an
  // existing WAV of the same format is continued at its end (an odd trailing
  // byte is cut so the samples stay whole); anything else is left untouched
  // and fails. Returns a StartResult of ZorbelNames.h.
  int open(const wchar_t* path, const PcmFormat& f);
  // Appends whole samples; false once a write failed or the size limit is hit
  // (the recording then goes on without growing the file).
  bool append(const uint8_t* p, std::size_t n);
  // Sample data in the file, the part recorded earlier included.
  uint32_t dataBytes() const { return data_.load(); }
  // Writes the final sizes and closes; false when that failed.
  bool finish();
  // For a start that failed after open: a file that open created is removed
  // again, a continued one is closed as finish does.
  void abandon();
  bool isOpen() const { return h_ != INVALID_HANDLE_VALUE; }

private:
  bool writeSizes(uint32_t riff, uint32_t data);

  HANDLE h_ = INVALID_HANDLE_VALUE;
  std::wstring path_;
  bool created_ = false;
  PcmFormat f_;
  std::atomic<uint32_t> data_{0};
  bool failed_ = false;
};

}  // namespace zorbel
