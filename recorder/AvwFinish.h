// Finishing direct-AVI recordings: turning the video-only AVI that the
// recorder wrote (an .avw file, with or without its tail) into the finished
// .avi with the recorded sound as a second stream. The platform cannot add a
// stream to an AVI that already exists, so the frames are copied into a new
// file together with the sound; the new file gets its final name only when it
// is complete, and the .avw and the sound side file are deleted only after
// that. A failure leaves the .avw and the sound file as they were. Windows
// only (AvwFinish_win.cpp, the AVIFile interface); no <windows.h> here.
#pragma once

#include "Classes.h"
#include "Host.h"
#include "System.h"

// The finished name: the path with its last character replaced by "i".
AnsiString finishedAviName(const AnsiString& avwPath);

// Completes an .avw written by the recorder's deferred finish (or cut off
// before its end). wavPath is the recording's live sound side file,
// clickFolder where mc1.wav .. mc8.wav are. Messages and progress go through
// host; a cancel through the progress returns false without a message.
// An intact file gets its sound (and click sounds when the tail asks for
// them, at times taken from the file's own frame rate). A file whose end was
// lost is rebuilt from its whole frames, with the sound file (when there is
// one) fitted to their length; its clicks are lost.
bool finishAvwRecording(const AnsiString& avwPath, const AnsiString& wavPath,
                        const AnsiString& clickFolder, FormatsHost& host);

// The common last step: copies the video of the AVI in the first aviEnd
// bytes of sourcePath into a new file at targetPath, with the WAV (when
// wavPath is not empty) as a sound stream. Nothing is left at targetPath on
// failure. Progress goes through host (false: cancelled).
enum class AviCopyResult { Done, NotAvi, WriteFailed, SoundFailed, Cancelled };
AviCopyResult copyAviWithSound(const AnsiString& sourcePath, int64_t aviEnd,
                               const AnsiString& wavPath, const AnsiString& targetPath,
                               FormatsHost& host);
