// The portable parts of frame capture: the still-picture watch of the direct
// AVI and WMV writers and the timing of the range markers' colours.
#include "FrameCapture.h"

#include <cstring>

namespace {

const int kBlankMinWidth = 10;  // narrower pictures are never taken for blank
const int kBlankRows = 30;      // rows sampled by the blank test

int bytesPerPixelOf(const TBitmap& picture) { return (picture.BitsPerPixel() + 7) / 8; }

bool oneColour(const uint8_t* line, int bytes, int bytesPerPixel) {
  for (int at = bytesPerPixel; at + bytesPerPixel <= bytes; at += bytesPerPixel)
    if (std::memcmp(line + at, line, static_cast<std::size_t>(bytesPerPixel)) != 0) return false;
  return true;
}

}  // namespace

void StillPictureWatch::reset() {
  blank_ = NotMeasured;
  line_ = Empty;
  stored_.clear();
}

void StillPictureWatch::checkBlankScreen(const TBitmap& picture) {
  if (picture.Width() < kBlankMinWidth || picture.Height() < 1) {
    blank_ = NotBlank;
    return;
  }
  const std::size_t bytes = static_cast<std::size_t>(picture.Width()) * bytesPerPixelOf(picture);
  const int step = picture.Height() / kBlankRows;
  const uint8_t* first = picture.ScanLine(0);
  for (int i = 1; i < kBlankRows; ++i) {
    if (std::memcmp(picture.ScanLine(step * i), first, bytes) != 0) {
      blank_ = NotBlank;
      return;
    }
  }
  blank_ = IsBlank;
}

int StillPictureWatch::checkStillLine(const uint8_t* line, int bytes, int bytesPerPixel) {
  if (line_ == Changed) return Changed;
  // A line of another length than the stored one (the first, or a picture
  // whose size changed) starts the watch again rather than compare past it.
  if (line_ == Empty || stored_.size() != static_cast<std::size_t>(bytes)) {
    stored_.assign(line, line + bytes);
    line_ = Watching;
    return Watching;
  }
  if (std::memcmp(stored_.data(), line, stored_.size()) != 0) {
    line_ = Changed;
    return Changed;
  }
  line_ = oneColour(stored_.data(), bytes, bytesPerPixel) ? StillOneColour : Watching;
  return line_;
}

bool StillPictureWatch::mustStop(const TBitmap& picture, int framesInTime, int msPerFrame,
                                 bool scheduleRunning) {
  if (picture.Empty()) return false;
  if (blank_ == NotMeasured) checkBlankScreen(picture);
  const int bpp = bytesPerPixelOf(picture);
  const int result = checkStillLine(picture.ScanLine(picture.Height() / 2), picture.Width() * bpp, bpp);
  return result == StillOneColour && !scheduleRunning && blank_ == IsBlank &&
         (int64_t(framesInTime) - 1) * msPerFrame > kStillPictureStopMs;
}

int cornerMarkerState(int frameNumber, int framesPerSecond) {
  const int f = framesPerSecond < 1 ? 1 : framesPerSecond;
  if (frameNumber < 0 || frameNumber % f != 0) return -1;
  return (frameNumber / f) % 2 == 1 ? 1 : 0;
}

RangeMarkerAction rangeMarkerAction(RangeMarkerStep step, CaptureTargetKind target, bool markersAvailable,
                                    bool markersOn, bool showRange) {
  RangeMarkerAction a;
  if (!markersAvailable || target == CaptureTargetKind::FullScreen) return a;
  const bool region = target == CaptureTargetKind::Region;
  switch (step) {
    case RangeMarkerStep::Start:
      // A region's markers are there before the start (the range is being
      // chosen with them): they stay only when the range is to be shown.
      if (showRange)
        a.place = RangeMarkerAction::AtTarget;
      else if (region)
        a.place = RangeMarkerAction::Close;
      break;
    case RangeMarkerStep::PauseOrContinue:
      a.state = 2;
      break;
    case RangeMarkerStep::Stop:
      // The region goes back to being chosen with its markers; a window's
      // markers only belonged to its recording.
      if (region) {
        a.state = 0;
        a.place = markersOn ? RangeMarkerAction::AtRangeEdits : RangeMarkerAction::Close;
      } else if (showRange) {
        a.place = RangeMarkerAction::Close;
      }
      break;
  }
  return a;
}
