// The .lx output of a recording: the header with frameCount 0 at the start;
// per picture one frame-index line (the record's file offset) and the
// FrameRecord (cursor block, whole-picture FrameImage of codec type 3), and
// one more index line with the same offset per further frame in time; at the
// finish the cursor of every clicked frame moved onto the click, the real
// frameCount, then the mouselist, the mainframelist and the LxTrailer. The
// trailer is written last, so a file cut off anywhere before it reads as an
// unfinished recording. Portable (the framework's TFileStream).
#pragma once

#include <memory>
#include <vector>

#include "Host.h"
#include "RecordingOutput.h"

class LxOutput : public RecordingOutput {
public:
  // host receives the frame encoder's message when a picture is given only
  // as a bitmap and cannot be encoded; nullptr says nothing.
  explicit LxOutput(const AnsiString& path, FormatsHost* host = nullptr);
  ~LxOutput() override;

  OutputKind kind() const override { return OutputKind::Lx; }
  const AnsiString& path() const override { return path_; }
  bool open(const LxHeader& header) override;
  bool writePicture(const RecordedPicture& picture, int framesInTime) override;
  void takeClicks(const TStringList& clicks) override;
  bool finish(bool finishNow) override;
  void abandon() override;
  int framesInTime() const override { return index_.Count(); }
  int64_t bytesWritten() const override { return end_; }

  // The frame index written so far (one decimal offset per frame in time).
  const TStringList& frameIndex() const { return index_; }
  // The file being written, from open to finish or abandon; none otherwise.
  TFileStream* stream() const { return file_.get(); }

private:
  AnsiString path_;
  FormatsHost* host_;
  std::unique_ptr<TFileStream> file_;
  TStringList index_;
  TStringList clicks_;
  int64_t end_ = 0;
  bool failed_ = false;
};

// Overwrites the cursor position of the frame record that line `frame` of
// the index points at. False (nothing written) when the frame is outside the
// index, its line is not an offset inside the stream, or its record has no
// cursor block.
bool patchLxFrameCursor(TStream& stream, const TStringList& index, int frame, int x, int y);
