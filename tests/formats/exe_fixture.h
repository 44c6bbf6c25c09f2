// Test-side writers for EXE recordings, made straight from the byte layout
// tables (offsets and sizes written out here), so that the readers under test
// are checked against files they did not write. Also a host that records
// messages and can cancel.
#pragma once

#include <zlib.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "Host.h"
#include "SysUtils.h"

namespace exefix {

struct Bytes {
  std::vector<uint8_t> b;
  std::size_t size() const { return b.size(); }
  void i32(int32_t v) {
    for (int i = 0; i < 4; ++i) b.push_back(uint8_t(uint32_t(v) >> (8 * i)));
  }
  void raw(const std::string& s) { b.insert(b.end(), s.begin(), s.end()); }
  void raw(const std::vector<uint8_t>& v) { b.insert(b.end(), v.begin(), v.end()); }
  void zeros(std::size_t n) { b.insert(b.end(), n, 0); }
  void put32(std::size_t at, int32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = uint8_t(uint32_t(v) >> (8 * i));
  }
};

inline int32_t get32(const std::vector<uint8_t>& b, std::size_t at) {
  return int32_t(uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 |
                 uint32_t(b[at + 3]) << 24);
}

// A small PCM WAV: 44-byte header, then n data bytes of a varying pattern.
inline std::vector<uint8_t> wav(std::size_t n, int bits = 8, int channels = 1, int rate = 11025) {
  Bytes w;
  w.raw(std::string("RIFF"));
  w.i32(int32_t(n + 36));
  w.raw(std::string("WAVEfmt "));
  w.i32(16);
  w.b.push_back(1); w.b.push_back(0);
  w.b.push_back(uint8_t(channels)); w.b.push_back(0);
  w.i32(rate);
  w.i32(rate * channels * bits / 8);
  w.b.push_back(uint8_t(channels * bits / 8)); w.b.push_back(0);
  w.b.push_back(uint8_t(bits)); w.b.push_back(0);
  w.raw(std::string("data"));
  w.i32(int32_t(n));
  for (std::size_t i = 0; i < n; ++i) w.b.push_back(uint8_t((i * 7 + i / 251) & 0xFF));
  return w.b;
}

// Packing 2 made with zlib directly: chunks of 100,000 bytes at level 9.
inline std::vector<uint8_t> zlibBlock(const std::vector<uint8_t>& data) {
  Bytes b;
  std::size_t chunks = (data.size() + 99999) / 100000;
  b.i32(int32_t(chunks));
  for (std::size_t i = 0; i < chunks; ++i) {
    std::size_t n = std::min<std::size_t>(100000, data.size() - i * 100000);
    std::vector<uint8_t> out(compressBound(uLong(n)));
    uLongf len = uLongf(out.size());
    compress2(out.data(), &len, data.data() + i * 100000, uLong(n), 9);
    b.i32(int32_t(len));
    b.b.insert(b.b.end(), out.begin(), out.begin() + long(len));
  }
  return b.b;
}

// A changed rectangle of frame 1 as stored: the four int32 edges and the
// image bytes after its length.
struct StoredUpdate {
  int32_t left, top, right, bottom;
  std::vector<uint8_t> image;
};

struct ExeRecipe {
  int32_t version = 8;
  int32_t editKey = 0, playKey = 0;
  int soundPacking = 0;        // 0 none, 1 raw, 2 zlib
  bool soundAfterPictures = false;  // K < 0 (direct recorder) instead of K > 0
  std::vector<uint8_t> sound;  // the WAV to pack
  int32_t stubSize = 100;
  std::vector<uint8_t> caption40;  // stored (scrambled) caption bytes; default "AB"
  bool mouseList = true;           // settings.hasMouseList and the mouselist section
  std::vector<StoredUpdate> frame1;  // replaces frame 1's three updates when given
  std::vector<uint8_t> frame0Image;  // replaces frame 0's placeholder image when given
};

struct Exe {
  std::vector<uint8_t> bytes;
  std::size_t picture = 0;    // H
  std::size_t frame3 = 0;     // offset of frame 3's record from H
};

inline uint8_t scrambleKey(int i) { return uint8_t(100 - 4 * i); }

// A 64 x 48 recording with a cursor, four frames:
//  0: cursor (5, 6) with icon "ICON00", whole picture "IMG0!"
//  1: cursor (7, 8) without icon; updates (10,10,20,20) "abc", (60,40,80,60) "de"
//     (reaches past the picture), (100,100,120,120) "zz" (outside it)
//  2: cursor (9, 9), nothing changed
//  3: key frame: cursor (1, 2) icon "ICO3", whole picture "KEY3"
inline Exe buildExe(const ExeRecipe& recipe) {
  Bytes e;
  Exe out;
  for (int32_t i = 0; i < recipe.stubSize; ++i) e.b.push_back(uint8_t(i == 0 ? 'M' : i == 1 ? 'Z' : i));
  std::size_t kAt = e.size();
  e.i32(0);  // dataStartWord, patched below

  std::vector<uint8_t> block;
  if (recipe.soundPacking == 1) {
    Bytes r;
    r.i32(int32_t(recipe.sound.size()));
    r.raw(recipe.sound);
    block = r.b;
  } else if (recipe.soundPacking == 2) {
    block = zlibBlock(recipe.sound);
  }
  if (!block.empty() && !recipe.soundAfterPictures) {
    e.raw(block);
    e.put32(kAt, int32_t(e.size()));  // K > 0: the picture part's offset
  }

  std::size_t H = e.size();
  out.picture = H;
  // header: target, width, height, frameCount, pixelFormat, msPerFrame, 0, 0, soundSource, hasCursor
  for (int32_t v : {2, 64, 48, 4, 5, 200, 0, 0, 3, 1}) e.i32(v);
  e.zeros(40);
  // caption: text[40] scrambled, x, y, fontSize, fontName[20], colour, four style bytes
  if (!recipe.caption40.empty()) {
    e.raw(recipe.caption40);
  } else {
    std::string t("AB");
    t.resize(40, '\0');
    for (int i = 0; i < 40; ++i) e.b.push_back(uint8_t(uint8_t(t[i]) ^ scrambleKey(i)));
  }
  e.i32(11); e.i32(12); e.i32(9);
  std::string font = "Arial";
  font.resize(20, '\0');
  e.raw(font);
  e.i32(0x0000FF);
  e.b.push_back(1); e.b.push_back(0); e.b.push_back(1); e.b.push_back(0);

  // frame 0
  e.i32(5); e.i32(6); e.i32(6); e.raw(std::string("ICON00"));
  if (recipe.frame0Image.empty()) {
    e.i32(5); e.raw(std::string("IMG0!"));
  } else {
    e.i32(int32_t(recipe.frame0Image.size()));
    e.raw(recipe.frame0Image);
  }
  e.i32(0);
  // frame 1
  e.i32(7); e.i32(8); e.i32(0);
  std::vector<StoredUpdate> frame1 = recipe.frame1;
  if (frame1.empty())
    frame1 = {{10, 10, 20, 20, {'a', 'b', 'c'}}, {60, 40, 80, 60, {'d', 'e'}},
              {100, 100, 120, 120, {'z', 'z'}}};
  for (const StoredUpdate& u : frame1) {
    e.i32(1);
    for (int32_t v : {u.left, u.top, u.right, u.bottom}) e.i32(v);
    e.i32(int32_t(u.image.size()));
    e.raw(u.image);
  }
  e.i32(-1);
  // frame 2
  e.i32(9); e.i32(9); e.i32(0);
  e.i32(-2);
  // frame 3
  out.frame3 = e.size() - H;
  e.i32(1); e.i32(2); e.i32(4); e.raw(std::string("ICO3"));
  e.i32(3); for (int32_t v : {0, 0, 64, 48}) e.i32(v); e.i32(4); e.raw(std::string("KEY3"));
  e.i32(-3);

  if (!block.empty() && recipe.soundAfterPictures) {
    e.put32(kAt, -int32_t(e.size()));  // K < 0: the sound track's offset, negated
    e.raw(block);
  }

  std::string mouse = "0\r\n10\r\n20\r\n1\r\n3\r\n4\r\n0\r\n0\r\n";
  if (recipe.mouseList) {
    e.raw(mouse);
    e.i32(int32_t(mouse.size()));
  }
  std::string frames = "0\r\n160\r\n3\r\n" + std::to_string(out.frame3) + "\r\n";
  e.raw(frames);
  e.i32(int32_t(frames.size()));

  // playback settings, 180 bytes
  std::size_t S = e.size();
  e.zeros(180);
  e.put32(S + 0, 0x123456);  // backgroundColour
  e.put32(S + 24, 1);        // loopPlay
  std::memcpy(&e.b[S + 56], "Demo", 4);  // title
  e.put32(S + 80, 3);        // imageCodec
  e.put32(S + 84, recipe.soundPacking ? recipe.soundPacking : 1);  // soundCodec
  e.put32(S + 92, recipe.mouseList ? 1 : 0);  // hasMouseList
  e.put32(S + 104, 1);       // lowQuality

  // trailer, 44 bytes
  e.i32(recipe.editKey);
  e.i32(recipe.playKey);
  e.zeros(12);
  e.i32(8);
  e.i32(recipe.version);
  e.i32(recipe.stubSize);
  std::string magic = "qorvimdvq";
  magic.resize(12, '\0');
  e.raw(magic);
  out.bytes = e.b;
  return out;
}

// Joins single-section recordings (all with the same stub size) into a
// multi-section EXE: stub, sections, 80-byte section records, 68-byte tail.
inline std::vector<uint8_t> buildMulti(const std::vector<std::vector<uint8_t>>& exes, int32_t stub,
                                       int32_t version = 8, int32_t editKey = 0, int32_t playKey = 0) {
  Bytes m;
  m.b.assign(exes[0].begin(), exes[0].begin() + stub);
  std::vector<std::pair<int32_t, int32_t>> ranges;
  for (const auto& x : exes) {
    int32_t start = int32_t(m.size());
    m.b.insert(m.b.end(), x.begin() + stub, x.end());
    ranges.emplace_back(start, int32_t(m.size()));
  }
  for (std::size_t i = 0; i < ranges.size(); ++i) {
    std::string title = "Section " + std::to_string(i + 1);
    title.resize(52, '\0');
    m.raw(title);
    m.i32(ranges[i].first);
    m.i32(ranges[i].second);
    m.zeros(20);
  }
  m.i32(8);
  m.i32(version);
  m.i32(stub);
  m.i32(int32_t(exes.size()));
  m.i32(editKey);
  m.i32(playKey);
  m.zeros(32);
  std::string magic = "qorvimedj";
  magic.resize(12, '\0');
  m.raw(magic);
  return m.b;
}

// Records what the code under test tells the user; cancels after a number of
// progress reports when asked to.
struct TestHost : FormatsHost {
  std::vector<std::string> messages;  // CP936, as the literals of the tests
  int progressCalls = 0;
  int cancelAfter = -1;
  void showMessage(const AnsiString& text) override { messages.push_back(text.str()); }
  bool progress(int) override { return cancelAfter < 0 || ++progressCalls <= cancelAfter; }
};

}  // namespace exefix
