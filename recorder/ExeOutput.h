// The direct EXE output of a recording: a copy of the player stub with the
// picture part appended frame by frame while the recording runs (an
// unfinished ".exw" file), completed at the stop with the packed sound, the
// mouse and key-frame lists, the playback settings and the trailer and then
// renamed ".exe"; or, when the final processing is deferred, closed with the
// short .exw tail for the finishing tools.
//
// Frames are stored as changed rectangles against the previous picture with
// adaptive key frames (the GDI path), or, for a full-screen recording with a
// lossless image codec, as the rectangles the mirror display driver reports
// (the mirror path, through MirrorFrameSource). Until the trailer is written
// the file never looks finished: a crash leaves an .exw that the repair can
// rebuild from its whole frames. Nothing here shows a message: failures leave
// their text in failureText() for the caller. Portable.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ExeContainer.h"
#include "ChangedRegions.h"
#include "ExeLayout.h"
#include "Host.h"
#include "RecordingOutput.h"

// ---- the mirror display driver, as the output needs it -------------------------

// One changed rectangle of the screen with its pixels: 16-bit RGB565, rows
// bottom-up, each padded to 4 bytes (a 32-bit surface is converted by the
// client before it is handed over).
struct MirrorRegion {
  ExeFrameRect rect;
  std::vector<uint8_t> pixels;
};

class MirrorFrameSource {
public:
  virtual ~MirrorFrameSource() = default;
  // Attaches when needed and maps the surface. False with the text to show
  // (the driver's attach message, or "mirror start error").
  virtual bool start(AnsiString& failure) = 0;
  virtual void stop() = 0;
  virtual int width() const = 0;
  virtual int height() const = 0;
  // The whole surface as one region (0, 0, width, height). first: the first
  // frame of a recording (the driver's pending list is dropped).
  virtual bool grabWhole(bool first, MirrorRegion& out) = 0;
  // The rectangles changed since the last grab and their pixels.
  virtual bool grabChanged(std::vector<MirrorRegion>& out) = 0;
};

// ---- the output -----------------------------------------------------------------

struct ExeOutputOptions {
  AnsiString stubPath;             // the player stub copied to the front
  ExePlaySettings playSettings;    // imageCodec, soundCodec, hasMouseList, ...
  ExeTrailer trailer;              // template; playerSize becomes the stub's size
  int keyFrameInterval = 100;      // see parseKeyFrameInterval
  CustomCaption caption;           // text already chosen (empty when off), placed
  // Stored in the .exw tail: the finishing mixes the click sounds in. Set it
  // only when the stop did not mix them into the side file already (the
  // recording session does, at every stop), or they are heard twice.
  bool addClickSounds = false;
  MirrorFrameSource* mirror = nullptr;  // used only with a lossless image codec
  // The progress window's label through a finish that completes the file
  // now, in this order: "正在压缩声音" (when there is sound to pack),
  // "正在保存mouselist" (when the playback settings keep the mouse list),
  // "正在保存mainframelist", and "生成成功" once the file is whole. A
  // deferred finish shows none. Unset: nothing is shown.
  std::function<void(const AnsiString&)> showStage;
};

// The key-frame interval typed by the user: 100 when the text is not a
// number or is below 1.
int parseKeyFrameInterval(const AnsiString& text);

class ExeOutput : public RecordingOutput {
public:
  // exwPath is the unfinished name (".exw"); the finished file takes the same
  // name with its last character replaced by "e". host gives the progress
  // (and cancel) of the sound packing and hears the packer's messages.
  ExeOutput(const AnsiString& exwPath, const ExeOutputOptions& options,
            FormatsHost* host = nullptr);
  ~ExeOutput() override;

  OutputKind kind() const override { return OutputKind::DirectExe; }
  const AnsiString& path() const override { return path_; }
  bool open(const LxHeader& header) override;
  bool writePicture(const RecordedPicture& picture, int framesInTime) override;
  void takeClicks(const TStringList& clicks) override;
  void takeSound(const AnsiString& wavPath) override { soundPath_ = wavPath; }
  bool finish(bool finishNow) override;
  void abandon() override;
  int framesInTime() const override { return frameOffsets_.Count(); }
  int64_t bytesWritten() const override { return end_; }

  // Frames in time that repeat the last picture without looking at the
  // screen (while the drawing board is up and untouched): each is its
  // cursor block without icon and the end marker.
  bool writeRepeats(int framesInTime, const CursorBlock& cursor);

  // Why the last operation failed (CP936 text for a message box), or "".
  AnsiString failureText() const override { return failure_; }
  // The mirror path is in use (the tick then captures nothing itself).
  bool mirrorActive() const { return mirrorActive_; }
  // The key-frame list so far: frame number, offset from the picture part.
  const TStringList& keyFrameIndex() const { return keyFrameIndex_; }

private:
  struct Frame;
  bool writeFrame(Frame& f, const RecordedPicture& picture, int framesInTime);
  bool gdiFrame(Frame& f, const TBitmap& bmp, std::vector<ChangedRect>& rects);
  bool mirrorFrame(Frame& f);
  bool encodeRect(const TBitmap& bmp, const ExeFrameRect& r, std::vector<uint8_t>& out);
  bool encodeMirror(MirrorRegion& region, std::vector<uint8_t>& out);
  void cursorBlock(Frame& f, const CursorBlock& c, bool forceIcon);
  bool writeTail(bool finishNow, bool withSound);
  void stopMirror();
  void stage(const char* label);

  AnsiString path_;
  ExeOutputOptions options_;
  FormatsHost* host_;
  std::unique_ptr<TStream> file_;
  LxHeader header_{};
  int64_t stubSize_ = 0;
  int64_t end_ = 0;  // end of the last whole frame record
  bool failed_ = false;
  bool mirrorActive_ = false;
  int32_t next_ = 0;          // number of the next ExeFrameRecord
  int32_t lastKeyFrame_ = 0;
  int64_t changedPercentSum_ = 0;
  std::unique_ptr<TBitmap> previous_;
  std::vector<uint8_t> lastIcon_;
  TStringList frameOffsets_;
  TStringList keyFrameIndex_;
  TStringList clicks_;
  AnsiString soundPath_;
  AnsiString failure_;
};

// True when the EXE's pictures take more than a twentieth of their raw
// 16-bit size (the content looks like video): only for an unprotected
// single-section EXE whose sound follows the pictures (K <= 0) and is packed
// lossily or by zlib (soundCodec > 1). Sizes are weighed in 64 bits, so long
// recordings of large pictures do not overflow.
bool exeCompressesPoorly(ByteSource& src);
bool exeCompressesPoorly(const AnsiString& exePath);
