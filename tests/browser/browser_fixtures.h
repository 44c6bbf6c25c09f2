// Test-side writers of the recordings the browser is shown, made from the
// byte layout tables (offsets and sizes written out here), never by the
// formats library: .lx recordings of solid-colour frames with a cursor, and
// uncompressed AVI files. The EXE recordings come from the player's fixture
// (playfix::buildRecording, exefix::buildExe, exefix::buildMulti).
#pragma once

#include <zlib.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "../player/player_fixture.h"

namespace browserfix {

using exefix::Bytes;

// A frame image of codec type 3, as every .lx frame is (the bytes after its
// imageLength): rleLength, then the word tokens of a solid 16-bit picture
// compressed at level 5.
inline std::vector<uint8_t> lxImage(int w, int h, uint16_t colour) {
  const std::vector<uint8_t> tokens = playfix::solidImage(w, h, colour);
  std::vector<uint8_t> packed(compressBound(uLong(tokens.size())));
  uLongf n = uLongf(packed.size());
  compress2(packed.data(), &n, tokens.data(), uLong(tokens.size()), 5);
  Bytes out;
  out.i32(int32_t(tokens.size()));
  out.b.insert(out.b.end(), packed.begin(), packed.begin() + long(n));
  return out.b;
}

struct LxRecipe {
  int32_t width = playfix::kW, height = playfix::kH;
  int32_t msPerFrame = 200;
  int32_t soundSource = 1;
  int32_t hasCursor = 1;
  int32_t version = 6;
  std::vector<uint16_t> frames = {playfix::kRed, playfix::kGreen, playfix::kBlue};
  int32_t headerFrames = -1;  // the header's frameCount; -1: the number of frames
  bool damagedIndex = false;  // the first index line points past the file
};

// Header (40), one FrameRecord per frame (cursor block with the magenta icon
// at (kCursorX, kCursorY) on frame 0 only, image length, image), the mouse
// list with one click and its length, the frame index (one decimal offset a
// line) and its length, the 40-byte trailer.
inline Bytes buildLx(const LxRecipe& r) {
  Bytes e;
  const int32_t count = r.headerFrames >= 0 ? r.headerFrames : int32_t(r.frames.size());
  for (int32_t v : {1, r.width, r.height, count, 5, r.msPerFrame, 0, 0, r.soundSource, r.hasCursor}) e.i32(v);
  std::string index;
  for (std::size_t i = 0; i < r.frames.size(); ++i) {
    index += std::to_string(r.damagedIndex && i == 0 ? 99999999 : e.size()) + "\r\n";
    if (r.hasCursor == 1) {
      e.i32(1);
      e.i32(playfix::kCursorX);
      e.i32(playfix::kCursorY);
      const std::vector<uint8_t> ico = i == 0 ? playfix::magentaIcon() : std::vector<uint8_t>();
      e.i32(int32_t(ico.size()));
      e.raw(ico);
    } else {
      e.i32(0);
    }
    const std::vector<uint8_t> img = lxImage(r.width, r.height, r.frames[i]);
    e.i32(int32_t(img.size()));
    e.raw(img);
  }
  const std::string mouse = r.frames.empty() ? "" : "0\r\n10\r\n20\r\n1\r\n3\r\n4\r\n0\r\n0\r\n";
  e.raw(mouse);
  e.i32(int32_t(mouse.size()));
  e.raw(index);
  e.i32(int32_t(index.size()));
  e.zeros(20);
  e.i32(8);
  e.i32(r.version);
  std::string magic = "qorvimlxs";
  magic.resize(12, '\0');
  e.raw(magic);
  return e;
}

// An uncompressed AVI ('DIB ', 24 bits, one video stream) of one frame per
// 0xRRGGBB colour, solid, or every frame pixel(x, y) (y counted from the
// top) when given; rate/scale frames per second.
inline Bytes buildAvi(int32_t w, int32_t h, uint32_t rate, uint32_t scale, const std::vector<uint32_t>& colours,
                      const std::function<uint32_t(int x, int y)>& pixel = nullptr) {
  const uint32_t stride = (uint32_t(w) * 3 + 3) / 4 * 4, frameBytes = stride * uint32_t(h);
  Bytes a;
  auto fourcc = [&](const char* c) { a.raw(std::string(c, 4)); };
  auto u16 = [&](uint16_t v) {
    a.b.push_back(uint8_t(v));
    a.b.push_back(uint8_t(v >> 8));
  };
  fourcc("RIFF");
  const std::size_t riffSize = a.size();
  a.i32(0);
  fourcc("AVI ");
  fourcc("LIST");
  const std::size_t hdrlSize = a.size();
  a.i32(0);
  fourcc("hdrl");
  fourcc("avih");
  a.i32(56);
  const uint32_t usPerFrame = uint32_t(uint64_t(scale) * 1000000 / (rate ? rate : 1));
  for (uint32_t v : {usPerFrame, frameBytes * rate / (scale ? scale : 1), 0u, 0x10u /* AVIF_HASINDEX */,
                     uint32_t(colours.size()), 0u, 1u, frameBytes, uint32_t(w), uint32_t(h), 0u, 0u, 0u, 0u})
    a.i32(int32_t(v));
  fourcc("LIST");
  const std::size_t strlSize = a.size();
  a.i32(0);
  fourcc("strl");
  fourcc("strh");
  a.i32(56);
  fourcc("vids");
  fourcc("DIB ");
  a.i32(0);  // flags
  u16(0);    // priority
  u16(0);    // language
  for (uint32_t v : {0u, scale, rate, 0u, uint32_t(colours.size()), frameBytes, 0xFFFFFFFFu, 0u}) a.i32(int32_t(v));
  u16(0);
  u16(0);
  u16(uint16_t(w));
  u16(uint16_t(h));
  fourcc("strf");
  a.i32(40);
  for (int32_t v : {40, w, h}) a.i32(v);
  u16(1);
  u16(24);
  for (uint32_t v : {0u, frameBytes, 0u, 0u, 0u, 0u}) a.i32(int32_t(v));
  a.put32(strlSize, int32_t(a.size() - strlSize - 4));
  a.put32(hdrlSize, int32_t(a.size() - hdrlSize - 4));
  fourcc("LIST");
  const std::size_t moviSize = a.size();
  a.i32(0);
  const std::size_t movi = a.size();
  fourcc("movi");
  std::vector<uint32_t> offsets;
  for (uint32_t c : colours) {
    offsets.push_back(uint32_t(a.size() - movi));
    fourcc("00db");
    a.i32(int32_t(frameBytes));
    for (int32_t row = 0; row < h; ++row) {  // bottom-up
      for (int32_t x = 0; x < w; ++x) {
        const uint32_t p = pixel ? pixel(x, h - 1 - row) : c;
        a.b.push_back(uint8_t(p));
        a.b.push_back(uint8_t(p >> 8));
        a.b.push_back(uint8_t(p >> 16));
      }
      a.zeros(stride - uint32_t(w) * 3);
    }
  }
  a.put32(moviSize, int32_t(a.size() - moviSize - 4));
  fourcc("idx1");
  a.i32(int32_t(16 * colours.size()));
  for (uint32_t off : offsets) {
    fourcc("00db");
    a.i32(0x10);  // AVIIF_KEYFRAME
    a.i32(int32_t(off));
    a.i32(int32_t(frameBytes));
  }
  a.put32(riffSize, int32_t(a.size() - 8));
  return a;
}

}  // namespace browserfix
