// Test-side writer of playable recordings for the player stub, made from the
// byte layout tables: a 64 x 48 picture whose frames are solid colours coded
// by hand in the word run-length layout (type 1), a cursor icon built as an
// .ico file image, and the key-frame list, settings and trailer. Nothing here
// uses the encoders under test.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "../formats/exe_fixture.h"

namespace playfix {

constexpr int kW = 64, kH = 48;
// 5-6-5 colours of the frames.
constexpr uint16_t kRed = 0xF800, kGreen = 0x07E0, kBlue = 0x001F, kYellow = 0xFFE0,
                   kCyan = 0x07FF, kWhite = 0xFFFF;

// Tokens of a solid w x h 16-bit BMP file image: the 66-byte header with
// "BM" as the leading literal and every further word as a run of one (so
// its zero words can never read as a run token), the pixels as one run, or,
// when big is set, as an image above the 10,240 bytes that protection
// scrambles (below).
inline std::vector<uint8_t> solidImage(int w, int h, uint16_t colour, bool big = false) {
  uint32_t stride = (2 * w + 3) / 4 * 4;
  exefix::Bytes bmp;
  bmp.raw(std::string("BM"));
  bmp.i32(int32_t(66 + stride * h));
  bmp.i32(0);
  bmp.i32(66);
  for (int32_t v : {40, w, h}) bmp.i32(v);
  bmp.b.push_back(1); bmp.b.push_back(0);   // planes
  bmp.b.push_back(16); bmp.b.push_back(0);  // bit count
  for (int32_t v : {3, 0, 2835, 2835, 0, 0, 0xF800, 0x07E0, 0x001F}) bmp.i32(v);
  exefix::Bytes t;
  auto word = [&](uint16_t count, uint16_t v) {
    for (uint16_t x : {uint16_t(0), uint16_t(0), count, v}) {
      t.b.push_back(uint8_t(x));
      t.b.push_back(uint8_t(x >> 8));
    }
  };
  t.raw(std::string("BM"));  // word 0 is always a literal
  for (std::size_t i = 2; i < bmp.size(); i += 2) word(1, uint16_t(bmp.b[i] | bmp.b[i + 1] << 8));
  uint32_t words = stride / 2 * h;
  if (big && words > 1400) {
    // 635 runs of one, one long run, 666 runs of one: 10,674 bytes, and the
    // 20 bytes that protection scrambles (from byte 5,337) cover the long
    // run's token, so a player that does not undo it loses most pixels.
    word(1, colour);
    for (int i = 1; i < 635; ++i) word(1, colour);
    word(uint16_t(words - 1301), colour);
    for (int i = 0; i < 666; ++i) word(1, colour);
  } else {
    word(uint16_t(words), colour);
  }
  return t.b;
}

// The same image in two bands: the top half one colour, the bottom half the
// other (no scrambling, so no big form).
inline std::vector<uint8_t> bandedImage(int w, int h, uint16_t top, uint16_t bottom) {
  std::vector<uint8_t> t = solidImage(w, h, bottom);
  const uint32_t rowWords = (2 * w + 3) / 4 * 4 / 2;
  // The pixels were one run token at the end; rows are stored bottom-up.
  t.resize(t.size() - 8);
  for (auto [count, colour] : {std::pair<uint32_t, uint16_t>{rowWords * (h - h / 2), bottom},
                               std::pair<uint32_t, uint16_t>{rowWords * (h / 2), top}})
    for (uint16_t x : {uint16_t(0), uint16_t(0), uint16_t(count), colour}) {
      t.push_back(uint8_t(x));
      t.push_back(uint8_t(x >> 8));
    }
  return t;
}

// A 16 x 16 32-bit icon, opaque magenta.
inline std::vector<uint8_t> magentaIcon() {
  exefix::Bytes ico;
  ico.b = {0, 0, 1, 0, 1, 0, 16, 16, 0, 0, 1, 0, 32, 0};
  ico.i32(40 + 16 * 16 * 4 + 16 * 4);
  ico.i32(22);
  for (int32_t v : {40, 16, 32}) ico.i32(v);
  ico.b.push_back(1); ico.b.push_back(0);
  ico.b.push_back(32); ico.b.push_back(0);
  ico.zeros(24);
  for (int i = 0; i < 16 * 16; ++i) ico.b.insert(ico.b.end(), {0xFF, 0x00, 0xFF, 0xFF});
  ico.zeros(16 * 4);  // AND mask: all opaque
  return ico.b;
}
constexpr int kCursorX = 40, kCursorY = 20;

// The protection step on one frame image (bytes after its length): payloads
// above 10,240 bytes get the 20 bytes at L / 2 XORed with payload bytes 4..23
// and key text bytes 20 down to 1.
inline void scramble(std::vector<uint8_t>& img, const std::string& keyText) {
  if (img.size() <= 10240) return;
  uint8_t k[21] = {};
  std::memcpy(k, keyText.data(), keyText.size());
  for (int i = 0; i < 20; ++i) img[img.size() / 2 + i] ^= uint8_t(img[4 + i] ^ k[20 - i]);
}

struct Recipe {
  int32_t msPerFrame = 150;
  int32_t loop = 0, exitAtEnd = 1, fullScreen = 0;
  int32_t editKey = 0, playKey = 0;
  std::string password;  // playback password: sets playKey and scrambles with it
  int soundPacking = 0;  // 0 none, 1 raw, 2 zlib (after the pictures)
  bool bigImages = false;
  // Frame 4's corner stored as (-8, -16, 16, 16): a 24 x 32 image, red above
  // and cyan below, of which only the cyan part lies inside the picture.
  bool cornerFromOutside = false;
};

// Six frames: 0 red, 1 green, 2 blue (key frame), 3 yellow, 4 a 16 x 16 cyan
// corner at (0, 0) only (see cornerFromOutside), 5 white (a whole-picture update, not a key frame).
// The cursor stands at (40, 20) in every frame; its icon comes with frames 0
// and 2.
inline std::vector<uint8_t> buildRecording(const std::vector<uint8_t>& stub, const Recipe& recipe) {
  exefix::Bytes e;
  e.raw(stub);
  const std::size_t S = stub.size();
  e.i32(0);  // dataStartWord, patched when there is sound
  const std::size_t H = e.size();
  for (int32_t v : {1, kW, kH, 6, 5, recipe.msPerFrame, 0, 0, 1, 1}) e.i32(v);
  e.zeros(40);
  for (int i = 0; i < 40; ++i) e.b.push_back(exefix::scrambleKey(i));  // empty caption
  e.zeros(40);
  std::string key = recipe.editKey ? std::to_string(recipe.editKey) : recipe.password;
  int32_t playKey = recipe.playKey;
  if (!recipe.password.empty()) {
    uint32_t v = 2005;  // weights 1, 2, 3, 4, 5, 7, 8, ...
    for (std::size_t i = 0; i < recipe.password.size(); ++i)
      v += uint32_t(uint8_t(recipe.password[i])) * uint32_t(i + i / 5 + 1);
    playKey = int32_t(v);
  }
  auto image = [&](int w, int h, uint16_t c) {
    std::vector<uint8_t> img = solidImage(w, h, c, recipe.bigImages);
    if (!key.empty()) scramble(img, key);
    e.i32(int32_t(img.size()));
    e.raw(img);
  };
  auto cursor = [&](bool icon) {
    e.i32(kCursorX);
    e.i32(kCursorY);
    std::vector<uint8_t> ico = magentaIcon();
    e.i32(icon ? int32_t(ico.size()) : 0);
    if (icon) e.raw(ico);
  };
  auto update = [&](int32_t n, int w, int h, uint16_t c) {
    e.i32(n);
    for (int32_t v : {0, 0, w, h}) e.i32(v);
    image(w, h, c);
  };
  cursor(true);
  image(kW, kH, kRed);
  e.i32(0);
  cursor(false); update(1, kW, kH, kGreen); e.i32(-1);
  std::size_t key2 = e.size() - H;
  cursor(true); update(2, kW, kH, kBlue); e.i32(-2);
  cursor(false); update(3, kW, kH, kYellow); e.i32(-3);
  cursor(false);
  if (recipe.cornerFromOutside) {
    e.i32(4);
    for (int32_t v : {-8, -16, 16, 16}) e.i32(v);
    std::vector<uint8_t> img = bandedImage(24, 32, kRed, kCyan);
    e.i32(int32_t(img.size()));
    e.raw(img);
  } else {
    update(4, 16, 16, kCyan);
  }
  e.i32(-4);
  cursor(false); update(5, kW, kH, kWhite); e.i32(-5);

  if (recipe.soundPacking) {
    std::vector<uint8_t> wav = exefix::wav(11025 * 2);  // two seconds, 8-bit mono
    e.put32(S, -int32_t(e.size()));
    if (recipe.soundPacking == 1) {
      e.i32(int32_t(wav.size()));
      e.raw(wav);
    } else {
      e.raw(exefix::zlibBlock(wav));
    }
  }
  std::string mouse;  // no clicks
  e.raw(mouse);
  e.i32(0);
  std::string frames = "0\r\n160\r\n2\r\n" + std::to_string(key2) + "\r\n";
  e.raw(frames);
  e.i32(int32_t(frames.size()));
  const std::size_t P = e.size();
  e.zeros(180);
  e.put32(P + 0, 0x202020);  // backgroundColour
  e.put32(P + 8, 1);         // positionSpecified
  e.put32(P + 12, 100);      // windowX
  e.put32(P + 16, 80);       // windowY
  e.put32(P + 24, recipe.loop);
  e.put32(P + 32, recipe.exitAtEnd);
  e.put32(P + 40, recipe.fullScreen);
  std::memcpy(&e.b[P + 56], "Player test", 11);
  e.put32(P + 80, 1);  // imageCodec: run-length only
  e.put32(P + 84, recipe.soundPacking ? recipe.soundPacking : 1);
  e.put32(P + 92, 1);  // hasMouseList
  e.i32(recipe.editKey);
  e.i32(playKey);
  e.zeros(12);
  for (int32_t v : {8, 8, int32_t(S)}) e.i32(v);
  std::string magic = "qorvimdvq";
  magic.resize(12, '\0');
  e.raw(magic);
  return e.b;
}

}  // namespace playfix
