// What the recording browser shows of the recording selected in the working
// folder's list: its kind (told by the extension alone), its status line,
// its first frame, the generate page's values for an .lx recording, and, for
// an EXE, the probe / damage scan / repair sequence that comes before it is
// shown. The main window's handler (RecordingBrowser_win.cpp) puts these
// into its controls; the AVI and WMV facts come from Windows components and
// only their text is made here.
//
// Everything is read through the formats library's checked readers, so a
// damaged or foreign file gives a message, never a read outside the file or
// a division by a rate of zero: a line leaves out what the file's numbers do
// not allow (a speed from 0 ms per frame, a length from a rate of 0).
// Portable.
#pragma once

#include <cstdint>
#include <vector>

#include "ByteSource.h"
#include "Classes.h"
#include "Graphics.h"
#include "Host.h"
#include "LxFile.h"
#include "System.h"

// ---- kinds and the facts of every line --------------------------------------------

// By the lower-cased extension, in the order the list's handler tests them;
// anything else is read as an .lx recording.
enum class RecordingKind { UnfinishedExe, UnfinishedAvi, Avi, Wmv, Exe, Lx };
RecordingKind recordingKindOf(const AnsiString& path);
// True only for the extension ".lx" itself (the generate page's files).
bool hasLxExtension(const AnsiString& path);

// The low 32 bits of the size, taken as a signed number, divided by 1024
// toward zero (the recorder keeps its files below 2 GB); -1 when the file
// cannot be opened.
int fileSizeKB(const AnsiString& path);
int fileSizeKBOf(int64_t bytes);
// "2009-3-5 9:07": only the minute has two digits.
AnsiString creationTimeText(int year, int month, int day, int hour, int minute);
// ",文件大小:<kb>KB,创建时间:<created>", the end of every status line.
AnsiString fileFactsText(int sizeKB, const AnsiString& created);
// Seconds as a time of day, "hh:nn:ss" (a day or more starts over at 00).
AnsiString durationText(int64_t seconds);

// ---- .lx recordings -------------------------------------------------------------

struct LxView {
  LxHeader header{};
  AnsiString status;
  bool rateKnown = false;  // msPerFrame above 0
  AnsiString fpsText;      // 1000 / msPerFrame as a 32-bit float, two decimals
  AnsiString aviFpsText;   // the same truncated, at least "1" (AVI output chosen)
  bool hasFrame = false;   // frame 0 (with its cursor) is in the picture
};

// Reads a finished .lx recording (version 6 and above) from the stream:
// header, status line and, when the header counts any frame, frame 0 with
// its cursor into picture. A recording of no frames (a failed sound start
// leaves one) or a frame that cannot be read leaves picture empty, never
// showing the file before. False, picture untouched, after
// "不能识别此lx文件,可能是版本过旧或不是录像文件" for anything that is not such a
// recording.
bool viewLxRecording(TStream& file, const AnsiString& facts, LxView& view, TBitmap& picture,
                     FormatsHost& host);
// The same for a file name: "打开文件失败," and the name first when it cannot
// be opened (read and write shared: a recording may still be open).
bool viewLxRecordingFile(const AnsiString& path, const AnsiString& facts, LxView& view,
                         TBitmap& picture, FormatsHost& host);

// Which of the sound side files 1, 2, 3 of an .lx recording exist.
struct LxSideFiles {
  bool exists[3] = {false, false, false};
};
LxSideFiles lxSideFiles(const AnsiString& lxPath);

// ---- EXE recordings --------------------------------------------------------------

struct ExeView {
  int protection = 0;  // 1 edit lock, 2 playback password: nothing else is read
  bool multiSection = false;
  int sections = 0;
  LxHeader header{};   // of the first section
  AnsiString status;   // empty when not even the recording's header could be read
  bool hasFrame = false;
};

// The protection texts shown in place of a protected recording's picture.
AnsiString exeProtectionText(int protection);

// Reads an EXE recording (single-section, or the first section of a
// multi-section one): status line and frame 0 with its cursor into picture.
// A protected recording gets only its protection text and picture is left
// for the caller to draw over. Damage leaves picture empty after a message:
// "此EXE文件格式不能识别," + path when the (first section's) trailer is
// missing, "不是一个有效的录像文件" for anything else; the status line is
// still made when the recording's header could be read.
void viewExeRecording(ByteSource& file, const AnsiString& path, const AnsiString& facts,
                      ExeView& view, TBitmap& picture, FormatsHost& host);
// The same for a file name; "打开文件失败," and the name when it cannot be
// opened.
void viewExeRecordingFile(const AnsiString& path, const AnsiString& facts, ExeView& view,
                          TBitmap& picture, FormatsHost& host);

// The browser's yes/no questions (message boxes titled "Vidorra").
class BrowserHost : public FormatsHost {
public:
  virtual bool ask(const AnsiString& question) = 0;
};

// What the EXE selection comes to after the version probe and any repair of
// a damaged tail the user accepted: show the recording (after the version-3
// notice), then offer the upgrade of a version-5 one; or nothing to show.
struct ExeSelection {
  bool show = false;
  int version = -1;
  bool offerUpgrade = false;  // version 5: the upgrade question is asked next
};
// Probes the file's version; a file without a trailer at its end is scanned
// for a damaged tail, and the repair the user accepts is made and the probe
// runs again. Nothing is changed without a "yes".
ExeSelection selectExeRecording(const AnsiString& path, BrowserHost& host);
extern const char* const kExeUpgradeQuestion;

// ---- AVI and WMV ----------------------------------------------------------------

// The first video stream's information as AVIFile gives it.
struct AviStreamFacts {
  uint32_t rate = 0, scale = 0, length = 0;
  int32_t frameRight = 0, frameBottom = 0;  // rcFrame.right, rcFrame.bottom
  int32_t streamLength = 0;                 // AVIStreamLength
};
AnsiString aviStatusLine(const AviStreamFacts& s, const AnsiString& facts);

struct WmvFacts {
  int32_t msPerFrame = 0, bitRate = 0, frameCount = 0, width = 0, height = 0;
};
AnsiString wmvStatusLine(const WmvFacts& w, const AnsiString& facts);

// A decoded first frame's header is taken when it has 1..32 bits per pixel
// and a size above 0 and below twice the screen's in each direction.
bool firstFrameFits(int bitCount, int width, int height, int screenWidth, int screenHeight);
// Where the pixels begin behind a 40-byte header (a palette of 2^bits
// four-byte entries for 8 bits or fewer).
int firstFrameBitsOffset(int bitCount);
