// The still-picture watch of the direct writers, fed picture sequences: a
// capture that has been one blank colour since its first picture stops just
// after five seconds of frames, and every way out of that rule (a scheduled
// recording, a narrow picture, a picture that ever changed, a still but
// patterned picture, a first picture that was not blank) keeps recording.
// Also the once-a-second colour change of the corner markers and what the
// start, pause or continue, and stop do with them.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "FrameCapture.h"

namespace {

// Fills every pixel of the picture with the colour bytes of its format.
void fill(TBitmap& b, uint32_t colour) {
  const int bpp = b.BitsPerPixel() / 8;
  for (int y = 0; y < b.Height(); ++y)
    for (int x = 0; x < b.Width(); ++x) std::memcpy(b.ScanLine(y) + x * bpp, &colour, bpp);
}
void setPixel(TBitmap& b, int x, int y, uint32_t colour) {
  const int bpp = b.BitsPerPixel() / 8;
  std::memcpy(b.ScanLine(y) + x * bpp, &colour, bpp);
}

// A picture for frame n (1-based).
using Scene = std::function<void(TBitmap&, int frame)>;

struct Case {
  const char* name;
  int width;
  TPixelFormat format;
  bool scheduleRunning;
  Scene scene;
  int firstStop;  // first frame whose write fails; 0: none within 120 frames
};

const int kMsPerFrame = 100;  // 10 frames a second: 5000 ms are passed at frame 52

int firstStop(const Case& c) {
  StillPictureWatch watch;
  watch.reset();
  TBitmap picture;
  picture.SetPixelFormat(c.format);
  picture.SetSize(c.width, 60);
  for (int frame = 1; frame <= 120; ++frame) {
    c.scene(picture, frame);
    if (watch.mustStop(picture, frame, kMsPerFrame, c.scheduleRunning)) return frame;
  }
  return 0;
}

TEST(StillPictureWatch, StopsOnlyAPictureBlankSinceTheStart) {
  const Scene black = [](TBitmap& b, int) { fill(b, 0); };
  const Case cases[] = {
      {"black 16-bit", 100, pf16bit, false, black, 52},
      {"white 32-bit", 100, pf32bit, false, [](TBitmap& b, int) { fill(b, 0xFFFFFF); }, 52},
      {"scheduled recording", 100, pf16bit, true, black, 0},
      {"9 pixels wide", 9, pf16bit, false, black, 0},
      {"10 pixels wide", 10, pf16bit, false, black, 52},
      {"middle line changed once",
       100, pf16bit, false,
       [](TBitmap& b, int n) {
         fill(b, 0);
         if (n == 20) setPixel(b, 50, 30, 0x1234);
       },
       0},
      {"vertical stripes: rows equal, line not one colour",
       100, pf16bit, false,
       [](TBitmap& b, int) {
         fill(b, 0);
         for (int y = 0; y < b.Height(); ++y) setPixel(b, 7, y, 0xFFFF);
       },
       0},
      {"top row differs: not blank",
       100, pf16bit, false,
       [](TBitmap& b, int) {
         fill(b, 0);
         setPixel(b, 3, 0, 0xFFFF);
       },
       0},
      {"first picture not blank, then black",
       100, pf16bit, false,
       [](TBitmap& b, int n) {
         fill(b, 0);
         if (n == 1) setPixel(b, 3, 0, 0xFFFF);
       },
       0},
  };
  for (const Case& c : cases) EXPECT_EQ(c.firstStop, firstStop(c)) << c.name;
}

TEST(StillPictureWatch, ResetStartsANewRecording) {
  StillPictureWatch watch;
  watch.reset();
  TBitmap picture;
  picture.SetPixelFormat(pf16bit);
  picture.SetSize(40, 40);
  fill(picture, 0);
  watch.mustStop(picture, 1, kMsPerFrame, false);
  fill(picture, 0x001F);
  watch.mustStop(picture, 2, kMsPerFrame, false);  // changed: the watch is off
  EXPECT_EQ(StillPictureWatch::Changed, watch.lineState());
  watch.reset();
  EXPECT_EQ(StillPictureWatch::NotMeasured, watch.blankState());
  for (int frame = 1; frame <= 51; ++frame) EXPECT_FALSE(watch.mustStop(picture, frame, kMsPerFrame, false));
  EXPECT_TRUE(watch.mustStop(picture, 52, kMsPerFrame, false));
}

TEST(CornerMarkers, ChangeColourOnTheFirstFrameOfEachSecond) {
  struct Row {
    int frame, fps, state;
  } rows[] = {
      {0, 5, 0}, {3, 5, -1}, {5, 5, 1}, {9, 5, -1}, {10, 5, 0}, {15, 5, 1},
      {1, 1, 1}, {2, 1, 0},  {7, 0, 1},  // a rate below 1 counts as 1
  };
  for (const Row& r : rows)
    EXPECT_EQ(r.state, cornerMarkerState(r.frame, r.fps)) << r.frame << " at " << r.fps;
}

// Where corner markers exist (the marker option is enabled), the start
// shows them around a window or region when the range is to be shown (and
// takes a region's markers away when not), pause and continue turn them
// yellow, and the stop gives a region its green markers back at the range
// edits (or closes them when the option is off) and closes a window's.
// Without corner markers, or for the full screen, nothing is touched.
TEST(CornerMarkers, StartPauseAndStopMoveThemAsTheOptionsSay) {
  using S = RangeMarkerStep;
  using T = CaptureTargetKind;
  using A = RangeMarkerAction;
  struct Row {
    S step;
    T target;
    bool available, on, showRange;
    int state;
    A::Place place;
  } rows[] = {
      {S::Start, T::Window, true, false, true, -1, A::AtTarget},
      {S::Start, T::Window, true, true, false, -1, A::Leave},
      {S::Start, T::Region, true, true, true, -1, A::AtTarget},
      {S::Start, T::Region, true, true, false, -1, A::Close},
      {S::Start, T::Region, false, false, true, -1, A::Leave},
      {S::Start, T::FullScreen, true, true, true, -1, A::Leave},
      {S::PauseOrContinue, T::Window, true, false, true, 2, A::Leave},
      {S::PauseOrContinue, T::Region, true, true, false, 2, A::Leave},
      {S::PauseOrContinue, T::Region, false, false, true, -1, A::Leave},
      {S::Stop, T::Region, true, true, true, 0, A::AtRangeEdits},
      {S::Stop, T::Region, true, false, true, 0, A::Close},
      {S::Stop, T::Window, true, true, true, -1, A::Close},
      {S::Stop, T::Window, true, true, false, -1, A::Leave},
      {S::Stop, T::Window, false, false, true, -1, A::Leave},
  };
  for (const Row& r : rows) {
    const A a = rangeMarkerAction(r.step, r.target, r.available, r.on, r.showRange);
    const std::string row = std::to_string(&r - rows);
    EXPECT_EQ(a.state, r.state) << "row " << row;
    EXPECT_EQ(a.place, r.place) << "row " << row;
  }
}

}  // namespace
