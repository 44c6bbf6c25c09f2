// Completing unfinished direct EXE recordings (".exw" files): telling one
// that only needs finishing (its short tail is intact) from one whose end was
// never written, finishing the first kind into an ".exe" with its click
// sounds and packed sound, and rebuilding the second kind into a new EXE
// recording from the frames that were written whole.
//
// The recorded sound is never lost here: a side file is deleted only after
// its sound was packed into the finished EXE and that file reads back whole;
// a packing that fails or is cancelled puts the .exw back as it was. Every
// offset and length in the .exw is checked against the file before it is
// used, so a damaged file is refused, never read past its end. Messages go
// through the host; progress and cancel through host.progress. Portable.
#pragma once

#include <cstdint>

#include "ByteSource.h"
#include "Classes.h"
#include "ExeLayout.h"
#include "Host.h"
#include "System.h"

// 0 when the 44 bytes before the last 8 are an ExeTrailer (only finishing is
// needed), 1 otherwise; 1 after "打开文件失败," + path when it cannot be read.
int exwNeedsRepair(const AnsiString& path, FormatsHost& host);

// The path without its last four characters, followed by ".exe".
AnsiString exeNameFor(const AnsiString& path);

struct ExwFinishOptions {
  int soundCodec = 2;          // the packing chosen now (stored in the result)
  AnsiString clickSoundFolder;  // where mc1.wav .. mc8.wav are
};

// Completes an intact .exw into the .exe of the same name. Click sounds are
// placed by the recording's own frame interval. False after a message when
// the file cannot be opened or is not an intact .exw ("failed1"), or when the
// sound packing fails ("压缩声音文件失败"; a cancel says nothing): the .exw is
// then left exactly as it was. A rename failure ("改名失败,...") still counts
// as finished and keeps the sound side file.
bool finishExwRecording(const AnsiString& exwPath, const AnsiString& wavPath,
                        const ExwFinishOptions& options, FormatsHost& host);

// Walks the frames of an .exw whose player stub is playerSize bytes long and
// lists the key frames it can use (two lines each: frame number, offset from
// the picture part; frame 0 first). next is the number of whole frames, end
// the file offset just past the last of them. False when frame 0 is not
// whole or no frame after it is.
bool rebuildFrameIndex(ByteSource& src, int64_t playerSize, TStringList& keyFrames,
                       int32_t& next, int64_t& end, FormatsHost* progress = nullptr);

struct ExwRepairOptions {
  AnsiString stubPath;           // the installed player stub
  int64_t playerSize = 0;        // its size, also the stub size in the .exw
  ExePlaySettings playSettings;  // the current playback settings
  ExeTrailer trailer;            // template; playerSize is set here
};

// Writes a new EXE recording at target from the whole frames of a damaged
// .exw, with the sound file (fitted to the frames' length) when it exists.
// Returns the target, or "" after a failure (no target is left behind). The
// .exw itself is only read.
AnsiString repairExwRecording(const AnsiString& exwPath, const AnsiString& wavPath,
                              const AnsiString& target, const ExwRepairOptions& options,
                              FormatsHost& host);
