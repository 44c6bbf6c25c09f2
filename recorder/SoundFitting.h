// The recorded sound after the pictures: fitting the live sound side file to
// the length of the pictures (at pause, continue and stop), and mixing a
// click sound into it at the seconds the user clicked. WAV files are taken to
// be PCM with a 44-byte header (rate at 24, byte rate at 28, channels at 22,
// bits at 34). Portable.
#pragma once

#include <cstdint>
#include <vector>

#include "ClickList.h"
#include "Host.h"
#include "System.h"

// Makes the samples of the WAV exactly byteRate x ms / 1000 bytes long
// (rounded down to whole samples, and to an even count): cuts the file, or
// pads it with the file's silence level, and writes both size fields.
// 1 cut or padded, -1 it already had that length (only the size fields were
// written), 0 failure: ms < 0, the file cannot be opened, or its header is
// short or damaged (then the file is left as it was).
int fitWaveLength(const AnsiString& wavPath, int64_t ms);

// The click sound for a recording's format ("mc1.wav" to "mc8.wav" for 8 or
// 16 bits at 8000, 11025, 22050 or 44100 Hz); "" for any other format.
AnsiString clickSoundFileName(int bits, int sampleRate);

// One click sound to mix in: at which millisecond and how many times back to
// back.
struct ClickSound {
  int64_t ms = 0;
  int times = 1;
};
// The click sounds of a recording's events at fps frames per second: a kind
// 3 event gets two; an event followed by one of the same frame or by a kind 3
// event gets none; every other event one. Empty for fps not above 0.
std::vector<ClickSound> planClickSounds(const std::vector<ClickEvent>& events, double fps);

// Mixes the click sound of the WAV's format into it `times` times back to
// back from the start of the whole second holding ms. False for a format
// without a click sound, a file that cannot be read, or a click that would
// run past the end of the recording.
bool mixClickSound(const AnsiString& wavPath, const AnsiString& clickFolder, int64_t ms,
                   int times);

// The whole step of the stop: every planned click mixed in, progress reported
// through the host (the progress window). Returns how many were mixed in, or
// -2 when the user cancelled.
int addClickSounds(const AnsiString& wavPath, const AnsiString& clickFolder,
                   const TStringList& clicks, double fps, FormatsHost& host);
