// The one interface every output of a recording implements: the .lx file and
// the direct EXE and AVI files (a WMV output comes as one more unit). The
// record tick and the stop hand each captured picture to whichever output the
// recording opened and ask it for its failures and its report, never which
// one it is; a new output is a new unit, not new branches in its callers.
//
// Call order: open, then writePicture once per captured picture, then
// takeClicks and takeSound, then finish (or abandon at any point). After
// finish or abandon the output takes nothing more. Nothing here shows a
// message: a false result is for the caller to report. Portable.
#pragma once

#include <cstdint>
#include <vector>

#include "Classes.h"
#include "Graphics.h"
#include "LxFile.h"
#include "System.h"

// The kinds of output; the stop rules weigh their sizes differently.
enum class OutputKind { Lx, DirectAvi, DirectExe, DirectWmv };

// The cursor as it stands on the picture: the icon's top-left corner in
// picture coordinates (not screen coordinates) and the icon file image.
struct CursorBlock {
  bool present = false;  // false: the frame carries no cursor block
  int32_t x = kNoCursorPos;
  int32_t y = kNoCursorPos;
  std::vector<uint8_t> icon;  // empty: no shape (the position is then kNoCursorPos)
};

// One captured picture. Outputs that store whole pictures take the encoded
// FrameImage (int32 length included) when the caller has one; outputs that
// encode themselves (changed regions, AVI compression) read the bitmap.
struct RecordedPicture {
  const TBitmap* bitmap = nullptr;
  std::vector<uint8_t> image;
  CursorBlock cursor;
};

class RecordingOutput {
public:
  virtual ~RecordingOutput() = default;
  virtual OutputKind kind() const = 0;
  virtual const AnsiString& path() const = 0;

  // Creates the file and writes what comes before the pictures; frameCount of
  // the header is ignored (the finish writes the real count). False when the
  // file cannot be created; nothing is left behind then.
  virtual bool open(const LxHeader& header) = 0;
  // Appends the picture standing for framesInTime frames in time (1, plus one
  // for each tick that fell while the previous one was busy). False when the
  // write failed; the output is then unusable except for finish or abandon.
  virtual bool writePicture(const RecordedPicture& picture, int framesInTime) = 0;
  // The recording's click list (eight lines per event, see ClickList.h).
  virtual void takeClicks(const TStringList& clicks) = 0;
  // The recorded sound's side file; outputs that pack sound read it at finish.
  virtual void takeSound(const AnsiString& wavPath) {}
  // Completes the file. finishNow false lets outputs that can defer their
  // slow last steps do so; outputs that cannot always finish fully. False
  // when a write failed: the file is then left without its finishing tail,
  // so readers see an unfinished recording, never a finished-looking one.
  virtual bool finish(bool finishNow) = 0;
  // Closes and removes what was written.
  virtual void abandon() = 0;

  // Frames in time written so far (the length of the frame index).
  virtual int framesInTime() const = 0;
  // Bytes the output file holds now, for the size rule.
  virtual int64_t bytesWritten() const = 0;

  // What went wrong at the last false result, for the caller's message;
  // empty when the output has nothing to add.
  virtual AnsiString failureText() const { return AnsiString(); }
  // What a finished output has to tell the user besides its success (the
  // AVI's count of repeated frames); empty for nothing.
  virtual AnsiString report() const { return AnsiString(); }
};
