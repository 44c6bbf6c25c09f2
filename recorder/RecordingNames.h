// Names of a recording's files: the output name for the user's choice of
// output, the unfinished (.exw, .avw, .wmw) names, the live sound side file,
// and the next free number for "录像N". Names are CP936 text; the only file
// system access is FileExists. Portable.
#pragma once

#include "System.h"

// What the recording-mode page chose: into .lx, or directly into a file.
enum class OutputChoice { Lx, DirectAvi, DirectExe, DirectWmv, DirectNone };
// Which name of that output: the final one or an unfinished one.
enum class OutputStage { Final, Exw, Avw, Wmw };

// folder + name + extension: ".exw", ".avw" or ".wmw" for those stages
// whatever the choice; otherwise ".lx", ".avi", ".exe" or ".wmv" by the
// choice, and "" for a direct recording with no format chosen.
AnsiString outputFileName(const AnsiString& folder, const AnsiString& name, OutputChoice choice,
                          OutputStage stage = OutputStage::Final);

// The live sound side file of an output: its path without the extension,
// then "1.wav" ("录像1.exw" -> "录像11.wav", "a\录像2.lx" -> "a\录像21.wav").
AnsiString liveSoundFileName(const AnsiString& outputPath);

// The smallest N from 1 for which none of folder + "录像" + N + ".lx",
// ".avi", ".exe", ".exw", ".avw", ".wmv", ".wmw" exists.
int nextFreeFileNumber(const AnsiString& folder);
// "录像" followed by N.
AnsiString recordingBaseName(int number);
