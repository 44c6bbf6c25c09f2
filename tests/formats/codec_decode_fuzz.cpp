// libFuzzer target: the frame image decoders on arbitrary bytes. The first
// byte picks the codec type the caller would pass (1 to 3) and whether the
// image goes through the raw entry or the stream-and-bitmap entry; the rest is
// the image after its int32 length (either layout). The raw entry's result
// must be what a decoder that keeps its buffers gives, on a first image and
// on one decoded into the buffers of an earlier one (a run of frames).
#include <cstddef>
#include <cstdint>

#include "FrameCodec.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const int type = 1 + data[0] % 3;
  const bool viaStream = data[0] & 0x80;
  data += 1;
  size -= 1;
  SilentHost host;
  if (!viaStream) {
    std::vector<uint8_t> bmp;
    const int rc = decodeFrameImageBytes(data, size, type, bmp, host);
    if (rc == 1) {
      BmpShape shape;
      if (!readBmpShape(bmp.data(), bmp.size(), shape) || shape.needed > bmp.size()) __builtin_trap();
    }
    FrameImageDecoder run;
    for (int pass = 0; pass < 2; ++pass) {
      const int again = run.decode(data, size, type, host);
      if (again != rc || (rc == 1 && run.bmp() != bmp)) __builtin_trap();
    }
    return 0;
  }
  TMemoryStream in;
  if (size) in.WriteBuffer(data, static_cast<int>(size));
  in.SetPosition(0);
  TBitmap picture;
  if (decodeFrameImage(picture, in, static_cast<int>(size), type, host) == 1 &&
      in.Position() != static_cast<int64_t>(size))
    __builtin_trap();  // the stream must stand just after the image
  return 0;
}
