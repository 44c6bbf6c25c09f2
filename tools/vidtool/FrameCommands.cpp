// vidtool encode / decode: one frame image to and from a BMP file. The image
// file holds the FrameImage as a recording stores it, int32 length first.
#include <cstdio>
#include <cstdlib>

#include "ByteReader.h"
#include "Command.h"
#include "FrameCodec.h"

namespace {

struct StderrHost : FormatsHost {
  void showMessage(const AnsiString& text) override {
    std::fprintf(stderr, "message: %s\n", text.c_str());
  }
};

int encode(const std::vector<std::string>& argv) {
  std::vector<std::string> args = argv;
  const int type = std::atoi(takeOption(args, "--type", "3").c_str());
  const int mode = std::atoi(takeOption(args, "--mode", "0").c_str());
  const int level = std::atoi(takeOption(args, "--level", "0").c_str());
  const bool indexed = takeFlag(args, "--indexed");
  if (args.size() != 2) return 2;
  std::vector<uint8_t> bmp, image;
  if (!readWholeFile(args[0], bmp)) return 1;
  int rc;
  if (mode) {
    BmpShape shape;
    if (!readBmpShape(bmp.data(), bmp.size(), shape) || shape.needed > bmp.size()) {
      std::fprintf(stderr, "%s: not a BMP picture\n", args[0].c_str());
      return 1;
    }
    rc = encodeReducedFrameBytes(bmp.data(), int(shape.pixelOffset), bmp.data() + shape.pixelOffset,
                                 mode, indexed, level, image);
  } else {
    rc = encodeFrameImageBytes(bmp.data(), bmp.size(), type, image);
  }
  if (rc != 1) {
    std::fprintf(stderr, "cannot encode (type %d, mode %d, level %d)\n", type, mode, level);
    return 1;
  }
  return writeWholeFile(args[1], image) ? 0 : 1;
}

int decode(const std::vector<std::string>& argv) {
  std::vector<std::string> args = argv;
  const int type = std::atoi(takeOption(args, "--type", "3").c_str());
  if (args.size() != 2) return 2;
  std::vector<uint8_t> image, bmp;
  if (!readWholeFile(args[0], image)) return 1;
  ByteReader r(image.data(), image.size());
  int32_t length;
  if (!r.length(length, r.left())) {
    std::fprintf(stderr, "%s: image length does not fit the file\n", args[0].c_str());
    return 1;
  }
  StderrHost host;
  if (decodeFrameImageBytes(r.here(), std::size_t(length), type, bmp, host) != 1) return 1;
  return writeWholeFile(args[1], bmp) ? 0 : 1;
}

const ToolCommand kEncode("encode",
                          "IN.bmp OUT.img [--type 1|2|3] | [--mode 1|2|3 [--level 0-7] [--indexed]]",
                          encode);
const ToolCommand kDecode("decode", "IN.img OUT.bmp [--type 1|2|3]", decode);

}  // namespace
