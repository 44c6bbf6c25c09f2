// TJPEGImage on libjpeg. Portable.
//
// libjpeg's default error handler calls exit(): a damaged frame in a recording
// must not end the program, so errors (and corrupt-data warnings, which would
// otherwise hand back a grey picture as if it were fine) longjmp back here and
// become EInvalidGraphic. Nothing with a destructor lives between setjmp and
// the libjpeg calls that may jump.
#include "Jpeg.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <jpeglib.h>

namespace {

const int kMaxDimension = 32768;
const int64_t kMaxPixels = 100000000;  // a damaged header must not ask for gigabytes

struct ErrorManager {
  jpeg_error_mgr pub;
  std::jmp_buf jump;
  char message[JMSG_LENGTH_MAX];
};

void onError(j_common_ptr cinfo) {
  ErrorManager* err = reinterpret_cast<ErrorManager*>(cinfo->err);
  (*cinfo->err->format_message)(cinfo, err->message);
  std::longjmp(err->jump, 1);
}

void onMessage(j_common_ptr cinfo, int level) {
  if (level < 0) onError(cinfo);  // a warning: the data are damaged
}

void setUpErrors(ErrorManager& err) {
  jpeg_std_error(&err.pub);
  err.pub.error_exit = onError;
  err.pub.emit_message = onMessage;
  err.message[0] = 0;
}

// Compresses rows of RGB. False (with the message) when libjpeg failed.
bool compress(const uint8_t* rgb, int width, int height, int quality, std::vector<uint8_t>& out, char* message) {
  jpeg_compress_struct c;
  ErrorManager err;
  setUpErrors(err);
  c.err = &err.pub;
  unsigned char* mem = nullptr;
  unsigned long memSize = 0;
  if (setjmp(err.jump)) {
    std::strcpy(message, err.message);
    jpeg_destroy_compress(&c);
    std::free(mem);
    return false;
  }
  jpeg_create_compress(&c);
  jpeg_mem_dest(&c, &mem, &memSize);
  c.image_width = static_cast<JDIMENSION>(width);
  c.image_height = static_cast<JDIMENSION>(height);
  c.input_components = 3;
  c.in_color_space = JCS_RGB;
  jpeg_set_defaults(&c);
  jpeg_set_quality(&c, quality, TRUE);
  jpeg_start_compress(&c, TRUE);
  while (c.next_scanline < c.image_height) {
    JSAMPROW row = const_cast<JSAMPROW>(rgb + static_cast<std::size_t>(c.next_scanline) * width * 3);
    jpeg_write_scanlines(&c, &row, 1);
  }
  jpeg_finish_compress(&c);
  out.assign(mem, mem + memSize);
  jpeg_destroy_compress(&c);
  std::free(mem);
  return true;
}

// Reads the header only (decode = false) or the whole picture into rgb.
bool decompress(const std::vector<uint8_t>& data, bool decode, int& width, int& height, std::vector<uint8_t>& rgb,
                char* message) {
  jpeg_decompress_struct d;
  ErrorManager err;
  setUpErrors(err);
  d.err = &err.pub;
  if (setjmp(err.jump)) {
    std::strcpy(message, err.message);
    jpeg_destroy_decompress(&d);
    return false;
  }
  jpeg_create_decompress(&d);
  jpeg_mem_src(&d, data.data(), static_cast<unsigned long>(data.size()));
  jpeg_read_header(&d, TRUE);
  if (d.image_width == 0 || d.image_height == 0 || d.image_width > kMaxDimension ||
      d.image_height > kMaxDimension || int64_t(d.image_width) * d.image_height > kMaxPixels) {
    std::strcpy(message, "size");
    jpeg_destroy_decompress(&d);
    return false;
  }
  width = static_cast<int>(d.image_width);
  height = static_cast<int>(d.image_height);
  if (decode) {
    d.out_color_space = JCS_RGB;  // grey pictures come out as RGB too
    jpeg_start_decompress(&d);
    // The resize happens before any further jump can occur in this branch's
    // libjpeg calls; rgb is the caller's, so no destructor is skipped here.
    rgb.resize(static_cast<std::size_t>(width) * height * 3);
    while (d.output_scanline < d.output_height) {
      JSAMPROW row = rgb.data() + static_cast<std::size_t>(d.output_scanline) * width * 3;
      jpeg_read_scanlines(&d, &row, 1);
    }
    jpeg_finish_decompress(&d);
  }
  jpeg_destroy_decompress(&d);
  return true;
}

}  // namespace

void TJPEGImage::Assign(const TBitmap& bitmap) {
  if (bitmap.Empty()) throw EInvalidGraphic("JPEG: 位图为空");
  TBitmap copy;
  const TBitmap* src = &bitmap;
  if (bitmap.PixelFormat() != pf24bit) {
    copy.Assign(bitmap);
    copy.SetPixelFormat(pf24bit);
    src = &copy;
  }
  width_ = src->Width();
  height_ = src->Height();
  rgb_.resize(static_cast<std::size_t>(width_) * height_ * 3);
  for (int y = 0; y < height_; ++y) {
    const uint8_t* s = src->ScanLine(y);
    uint8_t* d = &rgb_[static_cast<std::size_t>(y) * width_ * 3];
    for (int x = 0; x < width_; ++x) {  // BMP rows are blue, green, red
      d[3 * x] = s[3 * x + 2];
      d[3 * x + 1] = s[3 * x + 1];
      d[3 * x + 2] = s[3 * x];
    }
  }
  data_.clear();
  encodedQuality_ = -1;
}

const std::vector<uint8_t>& TJPEGImage::Data() const {
  int quality = CompressionQuality < 1 ? 1 : CompressionQuality > 100 ? 100 : CompressionQuality;
  if (!rgb_.empty() && (data_.empty() || encodedQuality_ != quality)) {
    char message[JMSG_LENGTH_MAX];
    if (!compress(rgb_.data(), width_, height_, quality, data_, message))
      throw EInvalidGraphic(AnsiString("JPEG 压缩出错: ") + message);
    encodedQuality_ = quality;
  }
  return data_;
}

void TJPEGImage::SaveToStream(TStream& stream) {
  const std::vector<uint8_t>& d = Data();
  if (d.empty()) throw EInvalidGraphic("JPEG: 没有图像");
  stream.WriteBuffer(d.data(), static_cast<int>(d.size()));
}

void TJPEGImage::LoadFromStream(TStream& stream, int length) {
  int64_t left = stream.Size() - stream.Position();
  if (length < 0) length = static_cast<int>(left < 0x7FFFFFFF ? left : 0x7FFFFFFF);
  if (length > left) throw EInvalidGraphic("JPEG 数据不足");
  std::vector<uint8_t> data(static_cast<std::size_t>(length));
  stream.ReadBuffer(data.data(), length);
  int w = 0, h = 0;
  std::vector<uint8_t> none;
  char message[JMSG_LENGTH_MAX];
  if (!decompress(data, false, w, h, none, message)) throw EInvalidGraphic(AnsiString("JPEG 格式错误: ") + message);
  data_ = std::move(data);
  rgb_.clear();
  encodedQuality_ = -1;
  width_ = w;
  height_ = h;
}

void TJPEGImage::DecodeTo(TBitmap& bitmap) const {
  std::vector<uint8_t> rgb;
  int w = 0, h = 0;
  if (!rgb_.empty() && data_.empty()) {
    rgb = rgb_;  // assigned and never compressed: the picture itself
    w = width_;
    h = height_;
  } else {
    char message[JMSG_LENGTH_MAX];
    if (data_.empty()) throw EInvalidGraphic("JPEG: 没有图像");
    if (!decompress(data_, true, w, h, rgb, message)) throw EInvalidGraphic(AnsiString("JPEG 解码出错: ") + message);
  }
  bitmap.SetSize(0, 0);
  bitmap.SetPixelFormat(pf24bit);
  bitmap.SetSize(w, h);
  for (int y = 0; y < h; ++y) {
    uint8_t* d = bitmap.ScanLine(y);
    const uint8_t* s = &rgb[static_cast<std::size_t>(y) * w * 3];
    for (int x = 0; x < w; ++x) {
      d[3 * x] = s[3 * x + 2];
      d[3 * x + 1] = s[3 * x + 1];
      d[3 * x + 2] = s[3 * x];
    }
  }
}
