// Keeping the pictures of a recording in step with its recorded sound, and
// the periods of the tick's periodic work. All pure functions of counters
// and the frame interval; they hold for every accepted frame rate, including
// rates below one frame per second (intervals above 1000 ms), where a period
// shorter than one tick means "every tick" instead of a division by zero.
// Portable.
#pragma once

#include <cstdint>

// How many whole frame intervals the recorded sound is ahead of the frames
// written (negative: the frames are ahead), truncated toward zero.
int framesBehindSound(int64_t soundMs, int64_t framesWritten, int msPerFrame);

// What a sync tick does: repeat this tick's picture extraFrames more times
// (the sound ran ahead), or write nothing and let the timer swallow
// ticksToDrop of the following ticks (the pictures ran ahead).
struct SyncDecision {
  bool skipPicture = false;
  int extraFrames = 0;
  int ticksToDrop = 0;
};
SyncDecision decideSoundSync(int64_t soundMs, int64_t framesWritten, int msPerFrame);

// Ticks between two runs of work due every `everyMs` of recording: at least 1.
int periodTicks(int everyMs, int msPerFrame);
// The periodic work of tick number `counter` (counted from 1 over the
// process's life). With a period of one tick each of them runs every tick.
bool soundSyncDue(int64_t counter, int msPerFrame);   // every 1.5 s
bool inputLevelDue(int64_t counter, int msPerFrame);  // every 3 s
bool mixerCheckDue(int64_t counter, int msPerFrame);  // every 20 s
bool monitorDue(int64_t counter, int msPerFrame);     // every second

// One of every dropPeriod callbacks is swallowed while ticks are to be
// dropped: every 4th while fewer than half a second's worth remain, every 3rd
// below one and a half seconds' worth, else every 2nd.
int dropPeriod(int ticksToDrop, int msPerFrame);

// The frame-rate check runs once, when this many frames in time exist, and
// stops the recording when more ticks than allowed fell into busy ticks.
constexpr int kFrameCheckFrames = 11;
constexpr int kFrameCheckMaxDropped = 2;
