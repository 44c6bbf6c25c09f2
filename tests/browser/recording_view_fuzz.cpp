// Fuzz target: the recording browser's view of a file. The first byte picks
// what the rest is: an .lx recording, an EXE recording, or the numbers an
// AVI or WMV component reports. Whatever the bytes, the view reads nothing
// outside them, divides by no zero rate, and never claims a frame it did
// not put into the picture.
#include <cstdint>
#include <cstring>

#include "Classes.h"
#include "RecordingView.h"

namespace {

void check(bool ok) {
  if (!ok) __builtin_trap();
}

int32_t word(const uint8_t* p) {
  uint32_t v;
  std::memcpy(&v, p, 4);
  return int32_t(v);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const uint8_t kind = data[0] % 3;
  ++data;
  --size;
  SilentHost host;
  const AnsiString facts = fileFactsText(1, "2009-3-5 9:07");
  TBitmap picture;
  picture.SetSize(3, 3);
  if (kind == 0) {
    TMemoryStream file;
    if (size) file.Write(data, int(size));
    LxView view;
    if (viewLxRecording(file, facts, view, picture, host)) {
      check(!view.status.IsEmpty());
      check(view.hasFrame == !picture.Empty());
      check(view.rateKnown == !view.fpsText.IsEmpty());
    }
  } else if (kind == 1) {
    SpanSource file(data, size);
    ExeView view;
    viewExeRecording(file, "f.exe", facts, view, picture, host);
    if (view.protection) check(picture.Width() == 3);
    else check(view.hasFrame == !picture.Empty());
  } else if (size >= 32) {
    AviStreamFacts avi;
    avi.rate = uint32_t(word(data));
    avi.scale = uint32_t(word(data + 4));
    avi.length = uint32_t(word(data + 8));
    avi.frameRight = word(data + 12);
    avi.frameBottom = word(data + 16);
    avi.streamLength = word(data + 20);
    check(!aviStatusLine(avi, facts).IsEmpty());
    WmvFacts wmv;
    wmv.msPerFrame = word(data + 24);
    wmv.bitRate = word(data + 28);
    wmv.frameCount = word(data);
    wmv.width = word(data + 4);
    wmv.height = word(data + 8);
    check(!wmvStatusLine(wmv, facts).IsEmpty());
    firstFrameFits(word(data + 12), word(data + 16), word(data + 20), 1024, 768);
    firstFrameBitsOffset(word(data + 12));
  }
  return 0;
}
