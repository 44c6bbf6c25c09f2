// vidtool lx-pictures / lx-make: every frame of an .lx recording saved as
// numbered BMP or JPEG pictures through the same unit as the program's "all
// frames as pictures", and an .lx recording made of raw 16-bit frames (a
// benchmark's fixture, so that the same pictures can go to FFmpeg as well).
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "BmpHeader.h"
#include "Command.h"
#include "FrameCodec.h"
#include "LxFramePictures.h"
#include "SysUtils.h"

namespace {

struct QuietProgress : FramePicturesProgress {
  bool frameStarting(int, int) override { return true; }
};

int pictures(const std::vector<std::string>& args) {
  if (args.size() != 2) return 2;
  std::unique_ptr<TFileStream> in;
  try {
    in.reset(new TFileStream(AnsiString(args[0]), fmOpenRead | fmShareDenyNone));
  } catch (const EStreamError&) {
    std::fprintf(stderr, "cannot open %s\n", args[0].c_str());
    return 1;
  }
  LxFrameSeries frames;
  if (!frames.open(*in)) {
    std::fprintf(stderr, "%s: no readable frame index\n", args[0].c_str());
    return 1;
  }
  QuietProgress progress;
  int saved = 0;
  const PictureSeries names = framePictureSeries(AnsiString(args[1]));
  const int rc = saveFramePictures(frames, names, progress, saved);
  std::printf("{\"frames\": %d, \"saved\": %d, \"result\": %d}\n", frames.count(), saved, rc);
  return rc == kFramePicturesDone ? 0 : 1;
}

// Raw frames: width x height 5-6-5 words a frame, rows top first, as FFmpeg
// writes rgb565le. Each becomes a frame record without a cursor block.
int make(const std::vector<std::string>& argv) {
  std::vector<std::string> args = argv;
  const int fps = std::atoi(takeOption(args, "--fps", "10").c_str());
  if (args.size() != 4 || fps < 1) return 2;
  const int width = std::atoi(args[1].c_str()), height = std::atoi(args[2].c_str());
  if (width < 1 || height < 1 || width > 16384 || height > 16384) return 2;
  FILE* raw = args[0] == "-" ? stdin : std::fopen(args[0].c_str(), "rb");
  if (!raw) {
    std::fprintf(stderr, "cannot open %s\n", args[0].c_str());
    return 1;
  }
  const std::size_t row = std::size_t(width) * 2, stride = (row + 3) / 4 * 4;
  std::vector<uint8_t> frame(row * std::size_t(height));
  std::vector<uint8_t> bmp(66 + stride * std::size_t(height), 0);
  buildBmpHeader(width, height, bmp.data());
  const AnsiString out(args[3]), temp = AnsiString(args[3]) + ".~tmp";
  std::string index;
  int frames = 0;
  bool ok = true;
  {
    TFileStream lx(temp, fmCreate);
    uint8_t head[kLxHeaderSize] = {};
    lx.WriteBuffer(head, kLxHeaderSize);
    std::vector<uint8_t> image;
    while (std::fread(frame.data(), 1, frame.size(), raw) == frame.size()) {
      for (int y = 0; y < height; ++y)  // BMP rows bottom-up
        std::memcpy(&bmp[66 + stride * std::size_t(height - 1 - y)], &frame[row * std::size_t(y)], row);
      const uint8_t noCursor[4] = {};
      index += std::to_string(lx.Position()) + "\r\n";
      image.clear();
      if (encodeFrameImageBytes(bmp.data(), bmp.size(), 3, image) != 1) {
        ok = false;
        break;
      }
      lx.WriteBuffer(noCursor, 4);
      lx.WriteBuffer(image.data(), int(image.size()));
      ++frames;
    }
    const uint8_t noMouse[4] = {};
    lx.WriteBuffer(noMouse, 4);
    lx.WriteBuffer(index.data(), int(index.size()));
    uint8_t word[4];
    const uint32_t n = uint32_t(index.size());
    for (int i = 0; i < 4; ++i) word[i] = uint8_t(n >> (8 * i));
    lx.WriteBuffer(word, 4);
    uint8_t trailer[kLxTrailerSize];
    buildLxTrailer(trailer);
    lx.WriteBuffer(trailer, kLxTrailerSize);
    LxHeader h{};
    h.captureTarget = 1;
    h.width = width;
    h.height = height;
    h.frameCount = frames;
    h.pixelFormat = pf16bit;
    h.msPerFrame = 1000 / fps;
    h.soundSource = 1;
    writeLxHeader(h, head);
    lx.SetPosition(0);
    lx.WriteBuffer(head, kLxHeaderSize);
  }
  if (raw != stdin) std::fclose(raw);
  if (!ok || !RenameFile(temp, out)) {
    DeleteFile(temp);
    std::fprintf(stderr, "cannot write %s\n", args[3].c_str());
    return 1;
  }
  std::printf("{\"frames\": %d}\n", frames);
  return 0;
}

const ToolCommand kPictures("lx-pictures", "IN.lx NAME[.bmp|.jpg]   (NAME1.bmp, NAME2.bmp, ...)", pictures);
const ToolCommand kMake("lx-make", "RAW|- WIDTH HEIGHT OUT.lx [--fps N]   (raw rgb565le frames, rows top first)",
                        make);

}  // namespace
