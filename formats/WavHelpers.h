// Small operations on PCM WAV files shared by the recorder and the tools:
// the plain 44-byte header, the channel probe, moving the samples of a WAV
// with other chunks behind a plain header (found by walking the RIFF chunks),
// the silence level, mixing a click sound into a recording, and widening
// 8-bit sound to 16 bits. Samples are taken to start at byte 44 everywhere
// except where the RIFF walk says otherwise. Portable.
#pragma once

#include <cstddef>
#include <cstdint>

#include "ByteSource.h"
#include "Classes.h"
#include "Host.h"
#include "System.h"

constexpr std::size_t kWavHeaderSize = 44;

// The 44-byte mono PCM header: "RIFF", 0, "WAVE", "fmt ", 16, 1, 1, rate,
// rate x bits / 8, bits / 8, bits, "data", 0 (both sizes patched later).
void makeWavHeader(uint8_t* out44, int rate, int16_t bits);
void writeWavHeader(TStream& stream, int rate, int16_t bits);  // at position 0
// 1 after creating (replacing) the file with the header, 0 when it cannot.
int createWavFile(const AnsiString& path, int rate, int16_t bits);

// The channel count at byte 22 when it is 1 or 2; 0 otherwise or unreadable.
int wavChannelCount(const AnsiString& path);

// Where the chunks of a RIFF WAVE file are, found by walking the chunk list.
// The data chunk's size is clipped to the bytes the file really has.
struct RiffWave {
  bool hasFormat = false;
  int64_t formatOffset = 0;  // first byte of the fmt chunk's body
  uint32_t formatSize = 0;
  int channels = 0, rate = 0, bits = 0;
  bool hasData = false;
  int64_t dataOffset = 0;    // first sample byte
  int64_t dataSize = 0;
};
// False when the source is not a RIFF WAVE file or has no data chunk.
bool walkRiffWave(ByteSource& src, RiffWave& wave);

// The WAV's own name when its samples already start at byte 44 ("data" at
// 36); otherwise the samples of its data chunk copied behind a plain mono
// header into "exehqpyd.wav" in the folder, and that name; "" when the file
// has no data chunk or a file operation fails (no output is left behind).
AnsiString normalizeWav(const AnsiString& folder, const AnsiString& wavPath);

// 8-bit: mean of the first min(dataBytes, 10,000) unsigned samples after byte
// 44; 16-bit: mean of the first min(dataBytes / 2, 1,000) signed samples
// (truncated toward zero). Only samples that are really there count; 0 for
// other widths or no samples.
int meanSampleValue(ByteSource& wav, int bits, int64_t dataBytes);
// meanSampleValue over the file (bits at 34, data = size - 44); 0 when unreadable.
int wavBaselineLevel(const AnsiString& wavPath);

// Adds click samples into target samples of the same width in place: 8-bit
// samples mix around their 128 midpoint, 16-bit samples add; both saturate.
// n is in bytes (16-bit: a trailing odd byte is left alone). False for other
// widths.
bool mixClickSamples(uint8_t* target, const uint8_t* click, std::size_t n, int bits);
// Mixes the click's samples (its bytes after 44) into the target file `times`
// times back to back from the target's byte offset. False when a file cannot
// be opened, the width is not 8 or 16, or the target is shorter than
// offset + times x click samples (the target is then unchanged).
bool mixSoundIntoWav(const AnsiString& targetWav, const AnsiString& clickWav, int bits,
                     int64_t offset, int times);

// Writes a 16-bit copy of an 8-bit PCM WAV: the 44-byte header with block
// align, byte rate and data size doubled, bits 16, RIFF size = data + 36; each
// sample b becomes (b - 128) x 256. 1 done, -1 unreadable source or short
// header or failed write, -2 cancelled through the host's progress.
int convertWav8To16(ByteSource& src, ByteSink& dst, FormatsHost& host);
// The same between files; the destination is deleted unless the result is 1.
int convertWav8To16(const AnsiString& srcPath, const AnsiString& dstPath, FormatsHost& host);
