// The direct AVI output of a recording: each captured picture goes straight
// into an AVI file through the platform's AVIFile interface, compressed with
// the video compressor the user chose. While it is written the file carries
// the unfinished name (.avw), so that a recording cut off by a crash never
// looks finished. The finish either completes it at once (the sound side file
// copied in as a second stream, the result renamed .avi, the side file
// deleted) or, deferred, appends the short tail that the later finishing
// reads (AvwFinish.h). A recording without sound is complete as it stands and
// only gets its .avi name.
//
// The output is implemented in AviOutput_win.cpp, the time base and the
// report in AviOutput.cpp (portable); this header stays free of <windows.h>.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "Host.h"
#include "RecordingOutput.h"

struct AviOutputOptions {
  uint32_t fccHandler = 0x20424944;  // 'DIB ': uncompressed
  int keyFrameEvery = 15;            // the key-frame interval box
  int32_t quality = -1;              // the compressor's default
  std::vector<uint8_t> codecState;   // the compressor's own settings, if any
  bool camera = false;               // the dropped-frame report is milder
  // Click sounds not yet mixed into the sound file: a deferred finish stores
  // the click list for the later finishing, an immediate one mixes them.
  bool clickSoundsPending = false;
  AnsiString clickSoundFolder;
};

// The stream's time base for a frame interval: 1 / (1000 / ms) when 1000 is
// a multiple of ms, else ms / 1000. False for ms not above 0.
bool aviTimeBase(int msPerFrame, uint32_t& scale, uint32_t& rate);

// The report after an immediate finish, or "" when the loss is small:
// over 10 percent of frameCount (camera: over 30 percent of more than 100).
AnsiString aviDropReport(int frameCount, int dropped, bool camera);

// Shown when the compressor refuses a frame.
extern const char* const kAviWriteFailedMessage;

class AviOutput : public RecordingOutput {
public:
  // aviPath: the finished name (folder + name + ".avi"). host gets the
  // finishing's messages and progress and the dropped-frame report; nullptr
  // says nothing.
  AviOutput(const AnsiString& aviPath, const AviOutputOptions& options,
            FormatsHost* host = nullptr);
  ~AviOutput() override;

  OutputKind kind() const override { return OutputKind::DirectAvi; }
  // The file as it stands: the .avw while recording and after a deferred
  // finish, the .avi once complete.
  const AnsiString& path() const override { return path_; }
  bool open(const LxHeader& header) override;
  bool writePicture(const RecordedPicture& picture, int framesInTime) override;
  void takeClicks(const TStringList& clicks) override;
  void takeSound(const AnsiString& wavPath) override { wavPath_ = wavPath; }
  bool finish(bool finishNow) override;
  void abandon() override;
  int framesInTime() const override { return frames_; }
  int64_t bytesWritten() const override { return bytes_; }

  int droppedFrames() const { return dropped_; }
  // Why open, writePicture or finish failed, for the caller to show ("" when
  // nothing failed). A finish that could not add the sound at once leaves
  // the recording deferred (finish true, path() the .avw) and says why here.
  AnsiString failureText() const override { return failure_; }
  // The dropped-frame report of an immediate finish ("" when none is due).
  AnsiString report() const override { return report_; }

private:
  void close();
  bool fail(const char* message);
  bool appendTail(bool clicksPending);

  AnsiString aviPath_, path_, wavPath_, failure_, report_;
  AviOutputOptions options_;
  FormatsHost* host_;
  TStringList clicks_;
  LxHeader header_;
  int frames_ = 0, dropped_ = 0;
  int64_t bytes_ = 0;
  bool failed_ = false;
  // The last picture's bits when it came for several ticks: the stream ends
  // at its last written sample, so a recording that ends on owed ticks gets
  // the picture again at the last of them and lasts as long as its sound.
  std::vector<uint8_t> owedTail_;
  struct Streams;
  std::unique_ptr<Streams> streams_;
};
