// Getting one tick's picture: the screen grab through GDI for a full-screen,
// window or region target, the range markers shown while a window or region
// is recorded, the cursor put into the picture's cursor block (or drawn into
// the picture for the direct AVI and WMV outputs), the captions drawn into
// the picture of the direct outputs, and the still-picture
// watch that ends a direct AVI or WMV recording whose picture has stayed one
// blank colour. The watch and the marker timing are portable; the grab
// itself is Windows only (FrameCapture_win.cpp). Handles are void* so that
// this header stays free of <windows.h>.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "ClickList.h"
#include "FrameCaptions.h"
#include "Graphics.h"
#include "RecordingOutput.h"
#include "RecordingSession.h"

// ---- still-picture watch (portable) ----------------------------------------

// Watches the pictures of a direct AVI or WMV recording: a capture that has
// been one blank colour since its first picture (the typical result of a
// video overlay or a protected window) is stopped after five seconds, so
// that the user does not record minutes of nothing. A scheduled recording
// that is running is never stopped this way: it is meant to wait.
class StillPictureWatch {
public:
  enum Blank { NotMeasured = -1, NotBlank = 0, IsBlank = 1 };
  enum Line { Empty = -1, Watching = 0, Changed = 1, StillOneColour = 2 };

  // A new recording: forgets the stored line and the blank measure.
  void reset();
  int blankState() const { return blank_; }
  int lineState() const { return line_; }

  // Measures whether the picture is blank: rows (height / 30) x i, i = 0..29,
  // all equal to row 0. A picture narrower than 10 pixels is never blank.
  void checkBlankScreen(const TBitmap& picture);
  // Compares one scan line of `bytes` bytes with the stored one: 0 still
  // watching, 1 changed (the watch is off for good), 2 unchanged and one
  // colour throughout (pixels of bytesPerPixel bytes).
  int checkStillLine(const uint8_t* line, int bytes, int bytesPerPixel);

  // The check the direct writers make before every frame: true when this
  // frame must fail and the recording stop. framesInTime counts the frames
  // written so far including this one.
  bool mustStop(const TBitmap& picture, int framesInTime, int msPerFrame, bool scheduleRunning);

private:
  int blank_ = NotMeasured;
  int line_ = Empty;
  std::vector<uint8_t> stored_;
};

// Milliseconds of one blank colour after which the watch stops a recording.
constexpr int kStillPictureStopMs = 5000;

// ---- range markers (portable timing) -------------------------------------

// The corner markers (four marker windows owned by the main form) as the
// recorder drives them: shown around a window target on every tick, coloured
// red and green on alternate seconds, yellow while paused, closed or put
// back on the range at the stop. Implemented by the form layer; where it has
// none, a flashing frame marks the range instead.
class CornerMarkers {
public:
  virtual ~CornerMarkers() = default;
  virtual void show(int left, int top, int right, int bottom) = 0;  // right, bottom exclusive
  virtual void setState(int state) = 0;  // 0 green, 1 red, 2 yellow; nothing when none are shown
  virtual void close() = 0;
};

// The marker colour for a frame number at a frame rate: -1 leaves it, else
// 1 in odd seconds and 0 in even ones, changed on the first frame of each
// second.
int cornerMarkerState(int frameNumber, int framesPerSecond);

// ---- the GDI capture (Windows) --------------------------------------------

enum class CaptureTargetKind { FullScreen = 1, Window = 2, Region = 3 };

// What the recording control does with the corner markers at its steps.
// markersAvailable: "录像前显示录制范围(可直接拖动调整)" is enabled (the
// system has corner markers); markersOn: that box is checked; showRange:
// "录像时提示录制范围". A full-screen recording never touches them.
enum class RangeMarkerStep { Start, PauseOrContinue, Stop };
struct RangeMarkerAction {
  int state = -1;  // the colour to set first; -1 leaves it
  // Then: leave them, show them around the recorded target, show them at
  // the range edits (X1, Y1, X2, Y2), or close them.
  enum Place { Leave, AtTarget, AtRangeEdits, Close } place = Leave;
};
RangeMarkerAction rangeMarkerAction(RangeMarkerStep step, CaptureTargetKind target, bool markersAvailable,
                                    bool markersOn, bool showRange);

// What the recording chose at its start.
struct CaptureOptions {
  CaptureTargetKind target = CaptureTargetKind::FullScreen;
  void* window = nullptr;                  // HWND of a window target
  int regionLeft = 0, regionTop = 0;       // region target's origin on the screen
  int width = 0, height = 0;               // the recording's picture size
  TPixelFormat pixelFormat = pf16bit;
  bool captureLayered = false;             // "录制透明窗体": CAPTUREBLT
  bool recordCursor = true;                // "同时录制光标"
  bool drawCursorIntoPicture = false;      // direct AVI and WMV: the cursor is part of the picture
  int framesPerSecond = 1;                 // cursor refresh and marker blink period
  bool showRange = false;                  // "录像时提示录制范围"
  CornerMarkers* markers = nullptr;        // null: a flashing frame marks the range
  void* nowCursor = nullptr;               // the hook library's getnowcursor, or null
  // Captions drawn over the picture, last, so they stand over the cursor
  // too: the date and time ("在每帧上显示时间", direct EXE and AVI) and the
  // custom text ("自设信息", direct AVI; an EXE stores it beside its frames).
  bool drawTimeCaption = false;
  TimeCaptionStyle timeCaption;
  bool drawCustomInfo = false;
  CustomInfo customInfo;                   // placed for the picture's size
};

class CursorCapture;

// The capture side of the recorder's platform: the tick asks it for the
// picture and gets the capture bitmap (kept across ticks) and the cursor.
class GdiFrameCapture {
public:
  explicit GdiFrameCapture(const CaptureOptions& options);
  ~GdiFrameCapture();
  GdiFrameCapture(const GdiFrameCapture&) = delete;
  GdiFrameCapture& operator=(const GdiFrameCapture&) = delete;

  // One tick's picture; frameNumber is the frames in time written so far
  // (it times the marker colours). TargetGone when a window target has been
  // closed or hidden; Nothing when it is 10 pixels wide or less.
  RecorderPlatform::Capture capture(RecordedPicture& picture, int frameNumber);

  TBitmap& bitmap() { return bitmap_; }
  // The target's top-left corner on the screen at the last capture (clicks
  // are moved onto the picture with it).
  TargetOrigin origin() const { return origin_; }
  CursorCapture& cursor() { return *cursor_; }

private:
  CaptureOptions options_;
  TBitmap bitmap_;
  std::unique_ptr<TBitmap> staging_;  // 32-bit grab of a 16-bit picture on a true-colour screen
  TargetOrigin origin_;
  std::unique_ptr<CursorCapture> cursor_;
  TimeCaptionBox timeBox_;         // measured on the recording's first picture
  DateTimePictures datePictures_;  // the user's date and time forms, read once
};

// One grab of the screen area at (sourceX, sourceY) of the picture's size
// into the picture. False when GDI failed; the picture keeps its old pixels.
bool grabScreen(TBitmap& picture, int sourceX, int sourceY, bool captureLayered);

// The XOR frame flashed around a window or region after its grab, so that
// it is never part of the picture: drawn, a short pause, drawn again.
void flashRange(int left, int top, int right, int bottom);

// Milliseconds one grab of the whole screen into a 16-bit picture takes.
int measureCaptureSpeed(bool captureLayered);
