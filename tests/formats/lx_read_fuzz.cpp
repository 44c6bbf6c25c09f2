// libFuzzer target: an arbitrary file read as an .lx recording: the trailer
// probe, both lists, every reader on the first lines of the frame index, and
// the first frames as the pictures "all frames as pictures" writes (decoded
// in turn or ahead on a worker, by the input's last bit).
#include <cstddef>
#include <cstdint>

#include "LxFile.h"
#include "LxFramePictures.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size >= static_cast<size_t>(kLxTrailerSize)) lxTrailerVersion(data + size - kLxTrailerSize);
  TMemoryStream in;
  if (size) in.WriteBuffer(data, static_cast<int>(size));
  in.SetPosition(0);
  SilentHost host;
  TStringList index, mouse;
  readLxMouseList(in, mouse);
  LxFrameSeries series(static_cast<int>(size & 1));
  if (series.open(in)) {
    for (int frame = 0; frame < series.count() && frame < 6; ++frame)
      series.picture(frame, frame == 2 ? PictureKind::Jpeg : PictureKind::Bmp);
  }
  if (readLxFrameIndex(in, index) != 1) return 0;
  for (int frame = 0; frame < index.Count() && frame < 6; ++frame) {
    TBitmap picture;
    drawLxFrame(in, index, frame, picture, host);
    int x, y;
    readLxFrameCursorPos(in, index, frame, x, y);
    TIcon icon;
    readLxFrameCursor(in, index, frame, icon);
  }
  return 0;
}
