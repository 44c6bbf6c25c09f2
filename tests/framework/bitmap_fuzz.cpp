// libFuzzer target: the picture readers that see bytes from recordings (the
// BMP loader and the JPEG decoder). A picture that loads must also save,
// reload to the same bytes and convert between pixel formats.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "Graphics.h"
#include "Jpeg.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TMemoryStream in;
  if (size) in.WriteBuffer(data, static_cast<int>(size));

  in.SetPosition(0);
  TBitmap bmp;
  try {
    bmp.LoadFromStream(in);
  } catch (const EInvalidGraphic&) {
    bmp.SetSize(0, 0);
  }
  if (!bmp.Empty() && bmp.Width() * bmp.Height() <= 1 << 16) {
    TMemoryStream out;
    bmp.SaveToStream(out);
    out.SetPosition(0);
    TBitmap again;
    again.LoadFromStream(out);
    TMemoryStream out2;
    again.SaveToStream(out2);
    if (out2.Bytes() != out.Bytes()) std::abort();
    for (TPixelFormat pf : {pf8bit, pf15bit, pf16bit, pf24bit, pf32bit}) again.SetPixelFormat(pf);
  }

  in.SetPosition(0);
  TJPEGImage jpeg;
  try {
    jpeg.LoadFromStream(in);
    if (jpeg.Width() * jpeg.Height() <= 1 << 18) {
      TBitmap decoded;
      jpeg.DecodeTo(decoded);
    }
  } catch (const EInvalidGraphic&) {
  }
  return 0;
}
