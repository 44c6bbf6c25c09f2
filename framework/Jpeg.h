// TJPEGImage on libjpeg: 24-bit in, quality 1..100 (default 90), baseline
// JFIF out; decoding gives a pf24bit TBitmap. Portable.
#pragma once

#include <cstdint>
#include <vector>

#include "Classes.h"
#include "Graphics.h"

class TJPEGImage {
public:
  int CompressionQuality = 90;
  // Takes the picture to compress (any pixel format the bitmap converts to 24-bit).
  void Assign(const TBitmap& bitmap);
  // Encodes when needed and writes the JPEG file image at the stream's position.
  void SaveToStream(TStream& stream);
  // Reads exactly length bytes (or the rest of the stream when length < 0);
  // raises EInvalidGraphic when they are not a JPEG picture.
  void LoadFromStream(TStream& stream, int length = -1);
  // Decodes into a pf24bit bitmap; raises EInvalidGraphic on damaged data.
  void DecodeTo(TBitmap& bitmap) const;
  int Width() const { return width_; }
  int Height() const { return height_; }
  // The JPEG file image; a picture given by Assign is compressed here with the
  // quality in force at the time of the call.
  const std::vector<uint8_t>& Data() const;
  bool Empty() const { return width_ == 0 || height_ == 0; }

private:
  mutable std::vector<uint8_t> data_;
  mutable int encodedQuality_ = -1;  // quality of data_ when it came from Assign
  std::vector<uint8_t> rgb_;         // the assigned picture, 3 bytes a pixel, top row first
  int width_ = 0;
  int height_ = 0;
};
