// The frame image codec's entries on framework types: bitmaps go in and come
// out as BMP file images (the bitmap class's own stream form), images are
// read from and appended to streams. Each image is built whole in memory and
// written with one call, so a failed encode leaves no half image behind.
// A bitmap is encoded where its pixels lie (a 32-bit full-screen picture is
// 3 MB a tick that need not be copied first).
#include <cstring>

#include "ByteReader.h"
#include "FrameCodec.h"

namespace {

const char* const kMsgInflate = "高度无损解压缩出错";

void saveBmp(const TBitmap& picture, TMemoryStream& bmp) {
  picture.SaveToStream(bmp);
}

// Stands where the BMP file image of a bitmap would be written: keeps the
// header (the first write) and only checks that the rest is the bitmap's own
// pixel area, in order, as one piece. When the bitmap class writes in any
// other way, usable() is false and the caller takes the copying road.
class BmpHeaderTap : public TStream {
public:
  explicit BmpHeaderTap(const TBitmap& picture)
      : pixels_(picture.Bits()),
        pixelBytes_(static_cast<std::size_t>(picture.Stride()) *
                    static_cast<std::size_t>(picture.Height())) {}
  int Read(void*, int) override { return 0; }
  int Write(const void* buffer, int count) override {
    const uint8_t* p = static_cast<const uint8_t*>(buffer);
    if (count < 0) {
      sound_ = false;
    } else if (!sawHeader_) {
      header_.assign(p, p + count);
      sawHeader_ = true;
    } else {
      if (p != pixels_ + seen_) sound_ = false;
      seen_ += static_cast<std::size_t>(count);
    }
    position_ += count;
    return count;
  }
  int64_t Seek(int64_t offset, TSeekOrigin origin) override {
    if (offset != 0 || origin != soFromCurrent) sound_ = false;
    return position_;
  }
  void SetSize(int64_t) override { sound_ = false; }

  bool usable() const {
    return sound_ && sawHeader_ && pixels_ && seen_ == pixelBytes_ && header_.size() >= 54 &&
           header_.size() % 2 == 0 && getU32(header_.data() + 10) == header_.size();
  }
  const std::vector<uint8_t>& header() const { return header_; }
  const uint8_t* pixels() const { return pixels_; }
  std::size_t pixelBytes() const { return pixelBytes_; }

private:
  const uint8_t* pixels_;
  std::size_t pixelBytes_;
  std::vector<uint8_t> header_;
  std::size_t seen_ = 0;
  int64_t position_ = 0;
  bool sawHeader_ = false;
  bool sound_ = true;
};

// Writes a finished image at the stream's position and moves to its end.
void writeImage(TStream& out, const std::vector<uint8_t>& image) {
  out.WriteBuffer(image.data(), static_cast<int>(image.size()));
  out.Seek(0, soFromEnd);
}

bool loadBmp(TBitmap& picture, const std::vector<uint8_t>& bmp, FormatsHost& host) {
  TMemoryStream s;
  s.WriteBuffer(bmp.data(), static_cast<int>(bmp.size()));
  s.SetPosition(0);
  // Decode into a fresh bitmap first: on failure the caller's stays as it was.
  TBitmap fresh;
  try {
    fresh.LoadFromStream(s);
  } catch (const Exception&) {
    host.showMessage(kMsgInflate);
    return false;
  }
  picture.Assign(fresh);
  return true;
}

// Reads exactly length bytes of the stream; false (stream at its end or after
// what could be read) when the stream is shorter.
bool readExact(TStream& in, int length, std::vector<uint8_t>& data) {
  // No honest image is larger than the largest picture plus the codec's own
  // overhead (a few header words, zlib's worst case).
  const std::size_t most = kMaxFrameImageBytes + kMaxFrameImageBytes / 500 + 1024;
  if (length < 0 || static_cast<std::size_t>(length) > most) return false;
  const int64_t left = in.Size() - in.Position();
  if (left < length) {
    in.Seek(0, soFromEnd);
    return false;
  }
  data.resize(static_cast<std::size_t>(length));
  return in.Read(data.data(), length) == length;
}

}  // namespace

int encodeFrameImage(const TBitmap& picture, TStream& out, int codecType, FormatsHost& host) {
  if (codecType < 1 || codecType > 3) return -1;
  std::vector<uint8_t> image;
  int rc;
  BmpHeaderTap tap(picture);
  // SaveToStream also settles pending drawing (GDI) before the pixels are read.
  picture.SaveToStream(tap);
  if (tap.usable()) {
    rc = encodeFrameImageParts(tap.header().data(), tap.header().size(), tap.pixels(),
                               tap.pixelBytes(), codecType, image);
  } else {
    TMemoryStream bmp;
    saveBmp(picture, bmp);
    rc = encodeFrameImageBytes(bmp.Memory(), static_cast<std::size_t>(bmp.Size()), codecType,
                               image);
  }
  if (rc != 1) {
    host.showMessage("高度无损压缩出错，已停止录制");
    return -1;
  }
  writeImage(out, image);
  return 1;
}

int decodeFrameImage(TBitmap& picture, TStream& in, int imageLength, int codecType,
                     FormatsHost& host) {
  std::vector<uint8_t> data;
  if (!readExact(in, imageLength, data)) {
    host.showMessage(kMsgInflate);
    return -1;
  }
  std::vector<uint8_t> bmp;
  if (decodeFrameImageBytes(data.data(), data.size(), codecType, bmp, host) != 1) return -1;
  return loadBmp(picture, bmp, host) ? 1 : -1;
}

int decodeLxFrameImage(TBitmap& picture, TStream& in, int imageLength, FormatsHost& host) {
  return decodeFrameImage(picture, in, imageLength, 3, host);
}

int encodeReducedFramePixels(uint8_t* pixels, const uint8_t* header, int headerLength,
                             TStream& out, int mode, bool allowIndexed, int colourLevel,
                             FormatsHost& host) {
  std::vector<uint8_t> image;
  if (mode < 1 || mode > 3 || colourLevel < 0 || colourLevel > 7) return -1;
  if (encodeReducedFrameBytes(header, headerLength, pixels, mode, allowIndexed, colourLevel,
                              image) != 1) {
    host.showMessage("高度无损压缩出错，已停止录制");
    return -1;
  }
  writeImage(out, image);
  return 1;
}

int encodeReducedFrameImage(const TBitmap& picture, TStream& out, int mode, bool allowIndexed,
                            int colourLevel, FormatsHost& host) {
  if (mode < 1 || mode > 3 || colourLevel < 0 || colourLevel > 7) return -1;
  TMemoryStream bmp;
  saveBmp(picture, bmp);
  BmpShape shape;
  const std::size_t size = static_cast<std::size_t>(bmp.Size());
  if (!readBmpShape(bmp.Memory(), size, shape) || shape.needed > size) return -1;
  std::vector<uint8_t> image;
  if (encodeReducedFrameBytes(bmp.Memory(), static_cast<int>(shape.pixelOffset),
                              bmp.Memory() + shape.pixelOffset, mode, allowIndexed, colourLevel,
                              image) != 1) {
    host.showMessage("高度无损压缩出错");
    return -1;
  }
  writeImage(out, image);
  return 1;
}

bool decodeReducedFrameImage(TBitmap& picture, TStream& in, int payloadLength, int rawLength,
                             int mode, FormatsHost& host) {
  std::vector<uint8_t> data;
  if (!readExact(in, payloadLength, data)) {
    host.showMessage(kMsgInflate);
    return false;
  }
  std::vector<uint8_t> bmp;
  if (decodeReducedFrameBytes(data.data(), data.size(), rawLength, mode, bmp, host) != 1)
    return false;
  return loadBmp(picture, bmp, host);
}
