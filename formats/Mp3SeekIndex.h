// MPEG audio frame headers and the walks over MP3 data: the seek index stored
// after an MP3 sound track in EXE recordings, and the frame count the AVI
// conversion needs. Frames are walked by the lengths their headers give (no
// sync test, as the stored indexes were made that way); every header and
// every step is checked against the end of the data. Portable.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "ByteSource.h"

// One decoded MPEG audio frame header.
struct mymp3framehead {
  // raw fields
  int32_t sync = 0, versionBits = 0, layerBits = 0, protection = 0, bitrateIndex = 0,
          sampleRateIndex = 0, padding = 0, privateBit = 0, channelMode = 0,
          modeExtension = 0, copyright = 0, original = 0, emphasis = 0;
  uint8_t crcPresent = 0;
  // derived
  int32_t versionClass = 0;  // 1 MPEG-1, 2 MPEG-2, 3 MPEG-2.5
  int32_t layerIndex = 0;    // 1 I, 2 II, 3 III
  int32_t bitrate = 0;       // bit/s
  int32_t sampleRate = 0;    // Hz
  int32_t frameLength = 0;   // bytes
  int32_t samplesPerFrame = 0;
  int32_t channels = 0;
};

// Fills every field from a header given as a big-endian 32-bit value. Layer
// bits 0 and version bits 1 (reserved) leave the layer and version as they
// were; a reserved sample rate gives frameLength 0.
void decodeMp3FrameHeader(mymp3framehead& h, uint32_t header);

// Where the frames of MP3 data begin: after an ID3v2 tag when there is one
// (and it fits), else 0.
std::size_t mp3FirstFrameOffset(const uint8_t* data, std::size_t size);

class Mp3SeekIndex {
public:
  int32_t count = 0;              // entries before the end entry
  std::vector<uint32_t> offsets;  // count + 1 entries once built (the last is the end)
  int32_t framesPerEntry = 0;

  void clear();
  // Fills the index over MP3 data; always true (an empty walk leaves the first
  // frame's offset as the only entry and as the end).
  bool build(const uint8_t* data, std::size_t size);
  // Frames from the first one (ID3v2 skipped, a trailing "TAG" block not
  // excluded) while they fit and keep the first frame's sample rate;
  // samplesPerFrame 1152 for MPEG-1, else 576. Always true.
  static bool countFrames(const uint8_t* data, std::size_t size, int32_t& frameCount,
                          int32_t& samplesPerFrame);

  // The stored form: framesPerEntry, count, count + 1 offsets.
  std::size_t storedSize() const { return 8 + 4 * offsets.size(); }
  bool write(ByteSink& out) const;
  // Reads a stored index at the reader's cursor; false (index cleared) when it
  // is damaged: negative values, more entries than bytes left, or offsets
  // that are not in increasing order.
  bool read(class ByteReader& in);
};
