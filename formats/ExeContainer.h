// The self-playing EXE recording: a player stub followed by the recording
// (sound track, picture part, mouse and key-frame lists, playback settings,
// trailer), alone or joined with others into a multi-section EXE. Here are
// the probes every tool uses to recognise one, the search and repair of a
// damaged tail, and a reader that walks the frames of a recording. Every
// offset and length taken from the file is checked against the file before it
// is used; a damaged file is refused, never read past its end. Portable.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "ByteSource.h"
#include "Classes.h"
#include "ExeLayout.h"
#include "Host.h"
#include "LxFile.h"
#include "System.h"

// ---- probes -------------------------------------------------------------------
// On a source: -1 when it is not of the kind. On a file name: the same, and
// "打开文件失败," + the name (then -1) when the file cannot be opened.

// 100 + version for a multi-section EXE, else the single-section version; a
// stored 6 or 7 reads as 8.
int exeRecordingVersion(ByteSource& src);
// 1 edit-locked, 2 playback password, 0 neither.
int exeProtectionState(ByteSource& src);
int exePlayerSize(ByteSource& src);
// The soundCodec of a single-section EXE; -1 for a multi-section one.
int exeSoundPacking(ByteSource& src);

int exeRecordingVersion(const AnsiString& path, FormatsHost& host);
int exeProtectionState(const AnsiString& path, FormatsHost& host);
int exePlayerSize(const AnsiString& path, FormatsHost& host);
int exeSoundPacking(const AnsiString& path, FormatsHost& host);

// ---- damaged tails ---------------------------------------------------------------

// A trailer magic found before the end of the file, nearest the end first,
// within the last 51,200 bytes. An intact file has its magic exactly at the
// end and so gives found = false.
struct ExeTailMatch {
  bool found = false;
  bool multi = false;
  int64_t trailerEnd = 0;  // file offset just past the trailer
  bool zerosAfter = false;  // only zero bytes follow it
};
ExeTailMatch findExeTail(ByteSource& src);
// 0 no trailer found away from the end, 1 one followed only by zeros, 2 one
// followed by other bytes.
int scanExeDamage(ByteSource& src);
int scanExeDamage(const AnsiString& path);  // silent; 0 when unreadable
// Truncates the file just after the trailer found by the search when only
// zeros follow it or force is set, and only when the shortened file is a
// readable recording; 1 done, 0 refused (file unchanged).
int repairExeTail(const AnsiString& path, bool force);

// True when the current cursor icon bytes differ from the last ones written.
bool cursorImageChanged(const std::vector<uint8_t>& current, const std::vector<uint8_t>& last);
inline bool cursorImageChanged(const TMemoryStream& current, const TMemoryStream& last) {
  return cursorImageChanged(current.Bytes(), last.Bytes());
}

// ---- multi-section EXE ------------------------------------------------------------

// Reads the trailer and section table of a multi-section EXE; false when the
// magic is missing or the table does not fit: more than 50 sections, a
// section outside the space between the stub and the table, or sections out
// of order.
bool readMultiExeTail(ByteSource& src, MultiExeTrailer& trailer,
                      std::vector<SectionRecord>& sections);
// Appends the section table and the multi-section trailer.
bool writeMultiExeTail(ByteSink& out, const std::vector<SectionRecord>& sections,
                       const MultiExeTrailer& trailer);

// ---- writing the tail of a single-section EXE ----------------------------------------

// Appends [mouselist text, int32 length] (only when settings.hasMouseList is
// 1), the mainframelist text, its int32 length, the settings and the trailer.
bool writeExeTail(ByteSink& out, const std::string& mouseList, const std::string& frameList,
                  const ExePlaySettings& settings, const ExeTrailer& trailer);

// Appends the picture part's first 160 bytes: the header, two reserved
// 20-byte fields (zero) and the custom caption.
bool writeExePictureLead(ByteSink& out, const LxHeader& header, const CustomCaption& caption);

// The tail of an unfinished direct recording (.exw); false when the source
// does not end in one. The recording itself is the source less its last 8
// bytes (a WindowSource of size() - 8 opens with ExeRecording::open).
bool readExwTail(ByteSource& src, ExwTail& tail);

// ---- reading a recording ----------------------------------------------------------

// One changed rectangle. image holds the FrameImage's bytes after its int32
// length (decoded by the frame codec, or JPEG); the decoded picture has the
// size of the stored rectangle, which may start left of or above the picture
// or run past its right or bottom edge. Draw the decoded picture with its
// top-left corner at stored's corner, clipped to the picture: that is, copy
// rect's pixels from column imageX(), row imageY() of the decoded picture.
// Drawing it at rect's corner shifts it whenever the stored rectangle starts
// outside the picture.
struct ExeFrameUpdate {
  ExeFrameRect stored;  // as in the file
  ExeFrameRect rect;    // stored clipped to the picture: the pixels that change
  std::vector<uint8_t> image;

  // Where rect's corner lies in the decoded picture; 64-bit because a damaged
  // stored corner may lie anywhere in the int32 range.
  int64_t imageX() const { return int64_t(rect.left) - stored.left; }
  int64_t imageY() const { return int64_t(rect.top) - stored.top; }
};

struct ExeFrame {
  int32_t number = 0;
  bool hasCursorBlock = false;
  int32_t cursorX = 0, cursorY = 0;
  std::vector<uint8_t> icon;  // empty: the previous frame's icon stays
  std::vector<ExeFrameUpdate> updates;  // frame 0 and key frames: one whole picture
};

constexpr std::size_t kMaxCursorIcon = 1u << 20;
constexpr int32_t kMaxPictureSide = 32767;

class ExeRecording {
public:
  // Opens a single-section EXE that fills the whole source; false when any
  // part of its layout is missing, out of range or inconsistent.
  bool open(ByteSource& src);
  // Opens one section of a multi-section EXE (offsets rebased by the section's
  // start less the stub size).
  bool openSection(ByteSource& src, const SectionRecord& section);

  ExeTrailer trailer;
  ExePlaySettings settings;
  LxHeader header{};  // the picture part's leading header
  CustomCaption caption;
  int32_t dataStartWord = 0;
  int64_t pictureStart = 0;  // H: offsets of the key-frame list count from here
  int64_t framesEnd = 0;     // frames lie in [H + 160, framesEnd)
  int64_t soundStart = -1;   // first byte of the SoundTrackBlock, -1 without sound
  int64_t soundEnd = -1;     // the block ends by here
  std::string mouseList, frameList;
  // The key frames: (frame number, offset from H), in file order.
  std::vector<std::pair<int32_t, int64_t>> keyFrames;

  // Positions the frame walk at key frame i of the list; false out of range.
  bool seekKeyFrame(std::size_t i);
  // Reads the next frame of the walk (frame 0 after open). withImages false
  // checks and skips the picture bytes. False at the end or on damage.
  bool readFrame(ExeFrame& frame, bool withImages = true);
  int32_t nextFrameNumber() const { return next_; }
  int64_t framePosition() const { return pos_; }

private:
  bool openRange(ByteSource& src, int64_t begin, int64_t end, int64_t delta);
  ByteSource* src_ = nullptr;
  int64_t pos_ = 0;
  int32_t next_ = 0;
};

// True when the source holds a recording that reads to its last frame: a
// single-section EXE or a multi-section EXE whose every section does.
bool exeReadsThrough(ByteSource& src);
