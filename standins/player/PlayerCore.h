// The parts of the player stub that need no window: its command line, the
// key that undoes the scrambling of an edit-locked recording's frame images,
// and the layout of an MP3 sound block. Kept apart from the Win32 side so the
// tests reach them directly. Every length read here is checked against the
// bytes that hold it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "ByteSource.h"

// What the program that runs a recording asks of its player: "nowav" (play
// without sound, for dubbing) and "playfromto(first,last)" (trial play of a
// range, 0-based frame numbers). Anything else on the command line is ignored.
struct PlayerArgs {
  bool noSound = false;
  bool range = false;
  int32_t first = 0;
  int32_t last = 0;
};
PlayerArgs parsePlayerArgs(const std::string& commandTail);

// The 21-byte key text of a protected recording: the key value in decimal for
// an edit lock, the password (at most 20 bytes) for a playback password.
using KeyText = std::array<uint8_t, 21>;
KeyText editLockKeyText(int32_t key);
KeyText passwordKeyText(const std::string& password);
// 2005 + the sum of byte i x (i + i / 5 + 1): what the trailer stores for a
// playback password.
int32_t passwordValue(const std::string& password);

// Undoes (or applies: the step is its own inverse) the scrambling of one
// frame image, given as the bytes after its int32 length. Payloads of at most
// 10,240 bytes were never scrambled. False when the image is too short to
// hold the payload its header claims (left untouched).
bool unscrambleFrameImage(std::vector<uint8_t>& image, const KeyText& key);

// A packing-5 block: the PCM format that was coded, the 18-byte head of the
// MP3 format, the seek index (skipped), then the MP3 frames.
struct Mp3Block {
  std::array<uint8_t, 18> pcmFormat{};
  std::array<uint8_t, 18> mp3Format{};
  int64_t dataOffset = 0;
  uint32_t dataLength = 0;
};
// Reads the block at pos (ending by limit); false when any part is missing.
bool readMp3Block(ByteSource& src, int64_t pos, int64_t limit, Mp3Block& block);

// The PCM format of a WAV file held in memory (channels at 22, rate at 24,
// bits at 34, samples from byte 44, as every recording's WAV is written).
struct WavPcm {
  uint16_t channels = 0;
  uint32_t rate = 0;
  uint16_t bits = 0;
  std::size_t dataOffset = 44;
  std::size_t dataLength = 0;
  uint32_t bytesPerSecond() const { return rate * channels * (bits / 8); }
  uint16_t blockAlign() const { return uint16_t(channels * (bits / 8)); }
};
// False unless it is a playable PCM layout (1 or 2 channels, 8 or 16 bits,
// 1,000 to 192,000 Hz).
bool readWavPcm(const std::vector<uint8_t>& wav, WavPcm& pcm);
// A 44-byte WAV header in front of PCM samples.
std::vector<uint8_t> wavHeader(uint16_t channels, uint32_t rate, uint16_t bits, uint32_t dataLength);
