// The Audio Compression Manager converter: finding a driver and a format by
// format tag, and converting a whole buffer through a stream in chunks with
// progress and cancel. Portable: the ACM itself is reached through AcmApi,
// whose Windows implementation (msacm32) lives in Acm_win.cpp and which tests
// replace with a fake driver. Messages and progress go to a FormatsHost.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "Host.h"
#include "System.h"

// --- WAVEFORMATEX as bytes ---------------------------------------------------
// Formats travel as their little-endian bytes: the 18-byte head followed by
// cbSize extra bytes (MPEG Layer-3 has 12), exactly as the ACM and the sound
// tracks store them.
constexpr std::size_t kWaveFormatHead = 18;
constexpr uint16_t kTagPcm = 1;
constexpr uint16_t kTagTrueSpeech = 34;
constexpr uint16_t kTagMpegLayer3 = 85;

struct WaveFormat {
  uint16_t formatTag = 0;
  uint16_t channels = 0;
  uint32_t samplesPerSec = 0;
  uint32_t avgBytesPerSec = 0;
  uint16_t blockAlign = 0;
  uint16_t bitsPerSample = 0;
  uint16_t cbSize = 0;
};

// Reads the head; a buffer shorter than 18 bytes gives an all-zero format.
WaveFormat readWaveFormat(const uint8_t* p, std::size_t size);
void writeWaveFormat(uint8_t* p, const WaveFormat& f);
// 18 + cbSize of the head at p (which must hold at least 18 bytes).
std::size_t waveFormatSize(const uint8_t* p);
// A PCM format: block align = channels x bits / 8, average bytes = rate x block align.
std::vector<uint8_t> pcmFormat(int channels, int rate, int bits);

// --- the platform's ACM, as CACM uses it ------------------------------------
using AcmDriverId = uintptr_t;  // HACMDRIVERID
using AcmHandle = uintptr_t;    // HACMDRIVER or HACMSTREAM; 0 = none

class AcmApi {
public:
  virtual ~AcmApi() = default;
  // ACM_METRIC_MAX_SIZE_FORMAT; 0 on failure.
  virtual uint32_t maxFormatSize() = 0;
  // Calls fn for every enabled driver until it answers false; false when the
  // enumeration itself fails.
  virtual bool enumDrivers(const std::function<bool(AcmDriverId)>& fn) = 0;
  // The driver's long name (acmDriverDetails), CP936; false on failure.
  virtual bool driverLongName(AcmDriverId id, AnsiString& name) = 0;
  virtual bool openDriver(AcmDriverId id, AcmHandle& driver) = 0;
  virtual void closeDriver(AcmHandle driver) = 0;
  // Calls fn(driver format index, format bytes, size) for every format of the
  // tag that the open driver offers, until fn answers false.
  virtual bool enumFormats(AcmHandle driver, uint16_t tag,
                           const std::function<bool(uint32_t, const uint8_t*, std::size_t)>& fn) = 0;
  // A non-real-time stream from src to dst through the driver (0: any driver).
  virtual bool openStream(AcmHandle driver, const uint8_t* src, const uint8_t* dst, AcmHandle& stream) = 0;
  virtual void closeStream(AcmHandle stream) = 0;
  // acmStreamSize from a source length: the destination bytes it may need.
  virtual bool streamSize(AcmHandle stream, uint32_t srcBytes, uint32_t& dstBytes) = 0;
  // One stream header over the two buffers, prepared once for the whole
  // conversion; the buffers stay the caller's and must outlive unprepare.
  virtual bool prepareHeader(AcmHandle stream, uint8_t* src, uint32_t srcCapacity, uint8_t* dst,
                             uint32_t dstCapacity) = 0;
  // Converts srcLength bytes of the prepared source buffer (block-aligned;
  // end = the last call, the driver flushes what it holds).
  virtual bool convert(AcmHandle stream, uint32_t srcLength, bool end, uint32_t& srcUsed,
                       uint32_t& dstUsed) = 0;
  virtual bool unprepareHeader(AcmHandle stream) = 0;
};

// msacm32 (Acm_win.cpp); Windows only.
AcmApi& systemAcm();

// --- chunked conversion -------------------------------------------------------
// The source is fed in chunks of this size, the ACM's usual buffer for ten
// seconds of CD-quality mono.
constexpr uint32_t kAcmChunk = 441000;

enum class AcmStep { Ok, Size, Prepare, Convert, Unprepare, Cancelled, Capacity, Stalled };

// Feeds src through an open stream in kAcmChunk pieces into out (capacity
// outCapacity), reporting trunc(position x 100 / length) to progress after each
// non-final chunk (false stops). outLength is the bytes written. Fails with
// Stalled when a driver takes nothing of a chunk that is not the last one, and
// with Capacity when the output would pass the buffer.
AcmStep convertInChunks(AcmApi& api, AcmHandle stream, const uint8_t* src, uint32_t length,
                        uint8_t* out, uint32_t outCapacity, uint32_t& outLength,
                        const std::function<bool(int)>& progress);

// --- CACM -----------------------------------------------------------------------
class CACM {
public:
  // Messages ("acmDriverOpen error!" ...) and progress go to host.
  CACM(AcmApi& api, FormatsHost& host);
  virtual ~CACM();
  CACM(const CACM&) = delete;
  CACM& operator=(const CACM&) = delete;

  // One found format: its bytes and the driver's own index of it.
  struct FoundFormat {
    std::vector<uint8_t> bytes;
    uint32_t index = 0;
    AcmDriverId driver = 0;
  };
  static constexpr std::size_t kMaxListed = 1000;

  // index -1 (list mode): replaces the list with every format of the tag whose
  // channels and rate equal those of the format in buffer (any, when its
  // channels are 0). index >= 0 (fetch mode): copies the first driver's format
  // with that tag and index into buffer (when it fits in bufferSize). For tag 85
  // only drivers whose long name contains "mpeg layer-3" count. Returns 1 when
  // a match was found; driverId is the last matching driver. A driver that
  // cannot be opened is skipped.
  int findFormats(int16_t tag, int16_t index, uint8_t* buffer, std::size_t bufferSize, AcmDriverId& driverId);
  const std::vector<FoundFormat>& formats() const { return list_; }

  // Bit rates (kbit/s) of the listed formats with the PCM format's channels and
  // rate, in list order.
  std::vector<int> listBitrates(const uint8_t* pcm) const;
  // Driver index of the first listed format with the PCM format's channels and
  // rate and that bit rate; -1 when none.
  int findFormatIndex(const uint8_t* pcm, int kbps) const;

  void setFormats(const uint8_t* src, const uint8_t* dst);
  const std::vector<uint8_t>& sourceFormat() const { return src_; }
  const std::vector<uint8_t>& destinationFormat() const { return dst_; }

  // Opens the driver and a stream from the source to the destination format;
  // 0 after a message on failure.
  int open(AcmDriverId id);
  // outLength 0 on entry: stores the destination size the whole source may need
  // (acmStreamSize) and returns 1. Otherwise converts into out (capacity
  // outLength), sets outLength to the bytes written and returns 1; 0 on
  // failure or cancel (outLength 0).
  int convert(const uint8_t* src, uint32_t length, uint8_t* out, uint32_t& outLength);
  // Progress for convert; the host's progress when not set.
  void setProgress(std::function<bool(int)> fn) { progress_ = std::move(fn); }
  void close();
  void showError(const AnsiString& text) { host_.showMessage(text); }

private:
  AcmApi& api_;
  FormatsHost& host_;
  AcmHandle driver_ = 0;
  AcmDriverId driverId_ = 0;
  AcmHandle stream_ = 0;
  std::vector<uint8_t> src_, dst_;
  std::vector<FoundFormat> list_;
  std::function<bool(int)> progress_;
};

// A plain conversion (PCM to PCM resampling and the like) through whichever
// driver takes it, without messages. outLength is the capacity on entry and
// the bytes written on return; 1 on success, 0 on any failure, also when the
// stream's size estimate for the whole source exceeds the capacity.
int convertWithAcm(AcmApi& api, const uint8_t* srcFormat, const uint8_t* dstFormat, const uint8_t* src,
                   uint32_t length, uint8_t* out, uint32_t& outLength,
                   const std::function<bool(int)>& progress = nullptr);

// True when an MPEG Layer-3 encoder is installed: a driver whose long name
// contains "mpeg layer-3" lists at least one format of tag 85.
bool hasMp3Codec(AcmApi& api);

// Output capacity for coding `dataLength` bytes of PCM (avgBytesPerSec) at
// kbps: the coded length plus 20 %, plus room for the encoder's delay and
// flush; in floating point, so short sounds get room too.
uint32_t mp3OutputCapacity(uint32_t dataLength, uint32_t avgBytesPerSec, int kbps);

// --- names (Windows only, Acm_win.cpp) -------------------------------------------
// "PCM 未压缩" for tag 1, else the tag's name from the first driver that lists
// it, else "".
AnsiString acmFormatTagName(int16_t tag);
// The description of the video compressor for that handler code, or "".
AnsiString videoCodecName(uint32_t fourcc);
// The video compressor's and the audio format's names of an AVI file; audio
// "无声音" without a sound stream; both "" when the file does not open.
void aviCodecNames(const AnsiString& path, AnsiString& video, AnsiString& audio);
