// Every frame of an .lx recording saved as a numbered picture file (the "all
// frames as pictures" command and `vidtool lx-pictures`). The frame index is
// read once for the whole series, so saving is linear in the number of
// frames, and an index line that repeats the record of the line before is
// written from the picture already made. A frame without a cursor to draw is
// saved as BMP in the very bytes its image decodes to. Where the process may
// run on more than one processor, the records to come are inflated on worker
// threads while the current picture is written (the program, pinned to one
// processor, decodes in turn). Each picture is
// written whole under a temporary name and only then given its own, so a
// failed or cancelled save never leaves a cut picture that looks finished; a
// picture of the same name already there (a read-only one too) is replaced.
// Progress and cancel are the caller's (the progress window, a tool's
// counter). Portable.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "Classes.h"
#include "FrameCodec.h"
#include "FrameDecodeAhead.h"
#include "Graphics.h"
#include "LxFile.h"
#include "PictureNames.h"

class LxFrameSeries {
public:
  // workers: threads that decode the frames to come; -1 (the default) for
  // one when this process may use more than one processor, else none.
  explicit LxFrameSeries(int workers = -1);
  // Reads the header and the frame index from `in`, which must outlive the
  // series. False when the recording has no readable index.
  bool open(TStream& in);
  // Frames of the series: the index's lines, at most the header's frameCount
  // (0 for a recording left without frames).
  int count() const { return count_; }
  const LxHeader& header() const { return header_; }
  // The file image of frame n (from 0) as a picture of `kind`, its cursor
  // drawn; null for a damaged record or image. Valid until the next call.
  // Frames asked for in order are decoded ahead.
  const std::vector<uint8_t>* picture(int n, PictureKind kind);

private:
  // Reads the image of a record; false when it cannot be read whole.
  bool readImage(const LxFrameRecord& r, std::vector<uint8_t>& image);
  // Queues the records of the lines from nextLine_ while there is room.
  void queueAhead();

  TStream* in_ = nullptr;
  LxHeader header_{};
  TStringList index_;
  int count_ = 0;
  FrameImageDecoder decoder_;  // frames decoded in turn
  std::vector<uint8_t> image_, file_;
  const std::vector<uint8_t>* picture_ = nullptr;  // a decoder's BMP or file_
  int64_t pictureOffset_ = -1;                      // the record it was made of
  PictureKind pictureKind_ = PictureKind::Bmp;
  FrameDecodeAhead ahead_;
  bool holdingFront_ = false;  // picture_ comes from the queue's front
  int nextLine_ = 0;           // the next line to queue
  int64_t lastQueued_ = -1;    // the record queued last (held frames repeat it)
};

// The file image of a bitmap: its BMP stream form, or a JPEG of default quality.
void pictureBytes(const TBitmap& picture, PictureKind kind, std::vector<uint8_t>& file);
// Writes a picture file whole under path + ".~tmp", then renames it to path,
// which must not exist. False, and neither file left, when that fails.
bool writePictureFile(const AnsiString& path, const uint8_t* data, std::size_t size);
// Writes a picture file whole under path + ".~tmp" and only then puts it in
// the place of the file at path (a read-only one too). False when that
// fails: no temporary stays, and a file at path stays as it was unless the
// new picture was complete.
bool replacePictureFile(const AnsiString& path, const uint8_t* data, std::size_t size);
// Makes room for a new file at path: deletes what is there, clearing a
// read-only file's attributes when the first delete is refused. False when
// a file stays.
bool removeFileForReplace(const AnsiString& path);
// The first n in 1..count whose picture already exists, 0 when none does.
int firstExistingPicture(const PictureSeries& names, int count);

class FramePicturesProgress {
public:
  virtual ~FramePicturesProgress() = default;
  // Before picture n (1..count) is saved; false stops the series as the
  // user's cancel: the pictures written so far stay.
  virtual bool frameStarting(int n, int count) = 0;
};

enum FramePicturesResult { kFramePicturesDone = 1, kFramePicturesFailed = -1, kFramePicturesCancelled = -2 };

// Saves frames 1..frames.count() as names.path(n), in order. `saved` counts
// the pictures written, whatever the result; on failure they stay too.
int saveFramePictures(LxFrameSeries& frames, const PictureSeries& names, FramePicturesProgress& progress,
                      int& saved);
