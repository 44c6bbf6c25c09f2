// Reading an unfinished direct-AVI recording (.avw): the tail the recorder
// appends after the AVI (the click list when click sounds are still to be
// mixed, then int32 soundRecorded and int32 addClickSounds), and the video
// stream of the AVI part: its header, its format and where each frame's data
// lies, so that the finisher can copy the frames into a new file. The file may
// be cut off anywhere (a crash, a full disk, a partial copy): every length and
// offset is checked against the bytes that are there, and a scan stops at the
// first chunk that is not whole. Portable; never writes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "Classes.h"

struct AvwTail {
  int32_t soundRecorded = 0;
  int32_t addClickSounds = 0;
  std::string clicks;  // the mouselist text (CP936), when both flags are 1
  int64_t aviEnd = 0;  // where the AVI part ends: the tail starts here
  // Both flags are 0 or 1 and the click list, when present, fits the file.
  bool plausible() const {
    return (soundRecorded == 0 || soundRecorded == 1) &&
           (addClickSounds == 0 || addClickSounds == 1);
  }
};
// Reads the tail from the end of the stream. False when the file is shorter
// than the two flags; flags outside 0..1 are returned as read (see
// plausible()). A click length that does not fit leaves the list empty and
// the AVI end before the length field.
bool readAvwTail(TStream& s, AvwTail& tail);

// One position of the video stream. size 0 marks a position the recorder
// skipped (a frame in time without a picture of its own).
struct AviFrameChunk {
  int64_t offset = 0;  // of the data, past the 8-byte chunk header
  uint32_t size = 0;
  bool key = false;
};

struct AviVideoScan {
  // The stream header (AVISTREAMHEADER fields) of the first video stream.
  uint32_t fccHandler = 0;
  uint32_t scale = 0, rate = 0;
  uint32_t suggestedBufferSize = 0;
  uint32_t quality = 0;
  int16_t frame[4] = {0, 0, 0, 0};  // rcFrame: left, top, right, bottom
  std::vector<uint8_t> format;      // the stream format (BITMAPINFOHEADER...)
  std::vector<AviFrameChunk> frames;
  // The RIFF chunk lies whole before the given end and its index was read:
  // the file was closed properly. False for a file cut off inside it.
  bool complete = false;
  int64_t riffEnd = 0;
  // Milliseconds of n frames at this rate (scale and rate are above 0).
  int64_t msFor(int64_t n) const { return n * 1000 * scale / rate; }
  double framesPerSecond() const { return double(rate) / scale; }
};
// Scans the AVI in [0, end) of the stream. False when it is not an AVI, its
// header list is not whole, it has no video stream, or the stream's rate or
// scale is 0; otherwise frames holds the whole frame chunks found before the
// first one that is cut off.
bool scanAviVideo(TStream& s, int64_t end, AviVideoScan& scan);

// Sets the length (in samples) that the stream header of the first stream of
// the given type ("auds", "vids") declares. The platform's AVIFile under Wine
// counts written blocks there instead of samples for audio; the finisher
// writes the real count back after the file is closed. False when the header
// list or the stream is not found; nothing is written then.
bool setAviStreamLength(TStream& s, const char* fccType, uint32_t length);
