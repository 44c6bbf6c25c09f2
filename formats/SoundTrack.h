// The packed sound track of a self-playing EXE recording (SoundTrackBlock):
// packing 1 is the WAV file as it is, packing 2 the WAV file in zlib chunks of
// at most 100,000 bytes. Packings are rows of one table (code, pack, unpack);
// the lossy ACM packings (5 MP3, 6 TrueSpeech) are added to it by the Windows
// side with registerSoundPacking. A packing that is not in the table is
// refused with an error: nothing is ever reported done without being written.
// Results: 1 done, -1 failed, -2 cancelled through FormatsHost::progress.
// Portable.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

#include "ByteSource.h"
#include "Classes.h"
#include "Host.h"
#include "System.h"

constexpr int kSoundRaw = 1;
constexpr int kSoundZlib = 2;
constexpr int kSoundMp3 = 5;
constexpr int kSoundTrueSpeech = 6;
// A zlib chunk holds this much WAV; its compressed form and what a reader
// inflates it to are bounded by the larger buffer.
constexpr std::size_t kSoundChunk = 100000;
constexpr std::size_t kSoundChunkBuffer = 125000;

// ---- byte-level packers (no files) ----------------------------------------

// Packing 1: int32 size, then the WAV bytes.
int packRawSound(ByteSource& wav, ByteSink& out, FormatsHost& host);
// Packing 2: int32 chunk count, then per 100,000 bytes of WAV an int32 length
// and the compress2 level 9 data. "压缩声音失败" when zlib fails.
int packZlibSound(ByteSource& wav, ByteSink& out, FormatsHost& host);

// Unpack the block that starts at pos in src (and must end by limit) into the
// WAV bytes; pos is left after the block. Damaged blocks (lengths beyond the
// data, chunks that do not inflate or inflate beyond the buffer) give -1
// after a message.
int unpackRawSound(ByteSource& src, int64_t& pos, int64_t limit, ByteSink& out,
                   FormatsHost& host);
int unpackZlibSound(ByteSource& src, int64_t& pos, int64_t limit, ByteSink& out,
                    FormatsHost& host);

// ---- the table of packings --------------------------------------------------

struct SoundPacking {
  int code = 0;
  bool lossy = false;
  // Appends the block made from the WAV file at the stream's position.
  std::function<int(const AnsiString& wavPath, TStream& out, FormatsHost& host)> pack;
  // Unpacks a block into WAV bytes (empty for packings that are never unpacked).
  std::function<int(ByteSource& src, int64_t& pos, int64_t limit, ByteSink& out,
                    FormatsHost& host)>
      unpack;
};

// nullptr when the packing is unknown.
const SoundPacking* findSoundPacking(int code);
// Adds or replaces a packing (the ACM packings are registered at start-up).
void registerSoundPacking(const SoundPacking& packing);

// Appends the SoundTrackBlock of the WAV file to out at its position. An
// unknown packing: "不支持的声音压缩方式" and -1, nothing written.
int packSoundTrack(TStream& out, const AnsiString& wavPath, int packing, FormatsHost& host);

// Writes the block at the source's position out as a WAV file; the source is
// left after the block. "failed2" when the WAV cannot be created; a damaged
// block or a packing that cannot be unpacked gives -1 after a message and no
// WAV file is left behind. The length fitting to the recording's playing time
// is the caller's step (recordingDurationMs gives that time).
int unpackSoundTrack(const AnsiString& wavPath, TStream& source, int packing, FormatsHost& host);

// frameCount x msPerFrame of a single-section EXE recording's picture header;
// -1 when the source does not end in an ExeTrailer or the header is out of
// reach or negative. The source's position is kept.
int recordingDurationMs(TStream& source);
int recordingDurationMs(ByteSource& source);
