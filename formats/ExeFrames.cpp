// Composing EXE frames (see ExeFrames.h).
#include "ExeFrames.h"

#include <algorithm>
#include <cstring>
#include <exception>

#include "ByteReader.h"
#include "FrameCodec.h"
#include "Jpeg.h"

bool decodeExeUpdateImage(const std::vector<uint8_t>& image, int imageCodec, TBitmap& out,
                          FormatsHost& host) {
  try {
    const bool extended = image.size() >= 8 && getI32(image.data()) == -1 && getI32(image.data() + 4) == -1;
    TMemoryStream ms;
    if (imageCodec == 0 && !extended) {
      ms.Write(image.data(), int(image.size()));
      ms.SetPosition(0);
      TJPEGImage jpeg;
      jpeg.LoadFromStream(ms, int(image.size()));
      jpeg.DecodeTo(out);
      return true;
    }
    std::vector<uint8_t> bmp;
    const int type = imageCodec >= 1 && imageCodec <= 3 ? imageCodec : 3;
    if (decodeFrameImageBytes(image.data(), image.size(), type, bmp, host) != 1) return false;
    ms.Write(bmp.data(), int(bmp.size()));
    ms.SetPosition(0);
    out.LoadFromStream(ms);
    return true;
  } catch (const Exception&) {
    return false;
  } catch (const std::exception&) {  // a damaged header asking for more memory than there is
    return false;
  }
}

void drawExeUpdate(TBitmap& picture, const ExeFrameUpdate& update, TBitmap& image) {
  if (image.PixelFormat() != picture.PixelFormat()) image.SetPixelFormat(picture.PixelFormat());
  const int64_t sx = update.imageX(), sy = update.imageY();
  const int64_t w = std::min<int64_t>(update.rect.right - update.rect.left, image.Width() - sx);
  const int64_t h = std::min<int64_t>(update.rect.bottom - update.rect.top, image.Height() - sy);
  if (w <= 0 || h <= 0) return;
  const int bytes = picture.BitsPerPixel() / 8;
  for (int64_t y = 0; y < h; ++y)
    std::memcpy(picture.ScanLine(int(update.rect.top + y)) + update.rect.left * bytes,
                image.ScanLine(int(sy + y)) + sx * bytes, std::size_t(w * bytes));
}

int composeExeFrame(ExeRecording& recording, int n, TBitmap& picture, FormatsHost& host) {
  if (n < 0 || n >= recording.header.frameCount) return -1;
  std::size_t key = 0;
  for (std::size_t i = 0; i < recording.keyFrames.size(); ++i)
    if (recording.keyFrames[i].first <= n) key = i;
  if (!recording.keyFrames.empty() && !recording.seekKeyFrame(key)) return -1;
  if (recording.nextFrameNumber() > n) return -1;  // no key frame to start over from
  const int format = recording.header.pixelFormat;
  picture.SetPixelFormat(format >= pf8bit && format <= pf32bit && format != pf8bit
                             ? TPixelFormat(format)
                             : pf24bit);
  picture.SetSize(recording.header.width, recording.header.height);
  ExeFrame f;
  TBitmap image;
  while (recording.nextFrameNumber() <= n) {
    if (!recording.readFrame(f, true)) return -1;
    for (const ExeFrameUpdate& u : f.updates) {
      if (!decodeExeUpdateImage(u.image, recording.settings.imageCodec, image, host)) return -1;
      drawExeUpdate(picture, u, image);
    }
  }
  return 1;
}
