// Checks of recorded pictures of the test scene (tests/scene): the time code
// read back from a 16-bit picture, the whole picture compared with the one
// the scene draws for that code, the codes of a recording fitted against the
// frames' times, and the screen read into a picture and saved as a PNG file
// for people to look at. Windows only (the screen), over the portable
// checker of tests/recorder.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "exe_checker.h"
#include "scene_run.h"

namespace sceneframes {

using execheck::Picture;
using framecheck::from565;

// The scene's code in a picture whose (0, 0) is the scene window's corner;
// -1 when there is none.
inline int64_t codeOf(const Picture& p) {
  if (p.w < scene::kMinWidth || p.h < scene::kMinHeight) return -1;
  return scene::readCode([&](int x, int y) { return from565(p.px[std::size_t(y) * p.w + x]); });
}

// A box of the picture left out of a comparison (where a cursor was drawn).
struct Box {
  int left, top, right, bottom;
  bool holds(int x, int y) const { return x >= left && x < right && y >= top && y < bottom; }
};

// Pixels that differ from the scene's picture for `code` (at 5-6-5
// precision), boxes left out; the first difference goes into `first`.
inline int64_t differences(const Picture& p, uint32_t code, std::string* first = nullptr,
                           const std::vector<Box>& skip = {}) {
  int64_t n = 0;
  for (int y = 0; y < p.h; ++y)
    for (int x = 0; x < p.w; ++x) {
      if (std::any_of(skip.begin(), skip.end(), [&](const Box& b) { return b.holds(x, y); })) continue;
      const uint32_t want = scene::quantised(scene::pixelAt(x, y, p.w, code));
      const uint32_t got = from565(p.px[std::size_t(y) * p.w + x]);
      if (got != want && n++ == 0 && first) {
        char t[96];
        std::snprintf(t, sizeof t, "(%d, %d) is %06X, the scene drew %06X", x, y, unsigned(got), unsigned(want));
        *first = t;
      }
    }
  return n;
}

// The codes of a recording's frames, each checked to be the scene's whole
// picture for that code, boxes left out (what the recorder drew over the
// scene). A frame without a code gives -1 (and a failure).
inline std::vector<int64_t> sceneCodes(const std::vector<Picture>& frames, const std::vector<Box>& skip = {}) {
  std::vector<int64_t> codes;
  for (std::size_t n = 0; n < frames.size(); ++n) {
    const int64_t c = codeOf(frames[n]);
    codes.push_back(c);
    if (c < 0) {
      ADD_FAILURE() << "frame " << n << " shows no time code";
      continue;
    }
    std::string first;
    EXPECT_EQ(differences(frames[n], uint32_t(c), &first, skip), 0) << "frame " << n << " (code " << c << "): " << first;
  }
  return codes;
}

// On the Wine machine (an emulated PC about ten times slower, scripts/vm),
// timers and captures keep time less tightly: a frame may be two intervals off.
inline int64_t frameTimeSlack(int msPerFrame) {
  return GetEnvironmentVariableA("VIDORRA_GUEST", nullptr, 0) ? 2 * int64_t(msPerFrame) : msPerFrame;
}

// Frame n stands for the time n x msPerFrame after the first frame; the
// scene's clock started earlier by an unknown amount. With that offset taken
// as the median of (code time - frame time) over the frames of the moving
// scene, each of them must show a picture of its own time within one frame
// interval (frameTimeSlack); a frame of the frozen scene (frozenCode) must not be earlier than
// that. Time never runs backwards. Gives the largest distance seen, in ms.
inline int64_t expectFramesOnTime(const std::vector<int64_t>& codes, int msPerFrame, int64_t frozenCode = -1) {
  std::vector<int64_t> lag;
  for (std::size_t n = 0; n < codes.size(); ++n)
    if (codes[n] >= 0 && codes[n] != frozenCode) lag.push_back(codes[n] * scene::kMsPerStep - int64_t(n) * msPerFrame);
  if (lag.empty()) return -1;
  std::sort(lag.begin(), lag.end());
  const int64_t offset = lag[lag.size() / 2];
  const int64_t slack = frameTimeSlack(msPerFrame);
  int64_t worst = 0;
  for (std::size_t n = 0; n < codes.size(); ++n) {
    if (codes[n] < 0) continue;
    const int64_t d = codes[n] * scene::kMsPerStep - int64_t(n) * msPerFrame - offset;
    if (codes[n] == frozenCode) {
      EXPECT_LE(d, slack) << "frame " << n << " shows the frozen scene before it froze";
    } else {
      worst = std::max<int64_t>(worst, d < 0 ? -d : d);
      EXPECT_LE(d < 0 ? -d : d, slack) << "frame " << n << " shows the scene at " << codes[n] * 10
                                             << " ms, its time is " << int64_t(n) * msPerFrame + offset;
    }
    if (n > 0 && codes[n - 1] >= 0) {
      EXPECT_GE(codes[n], codes[n - 1]) << "frame " << n << " runs backwards";
    }
  }
  return worst;
}

// The screen rectangle as 5-6-5 pixels (the scene's colours survive that),
// and, when asked, as the 0xRRGGBB pixels it was read as.
inline Picture grabScreen(int left, int top, int w, int h, std::vector<uint32_t>* rgb = nullptr) {
  const std::vector<uint32_t> px = scene::grabScreen(left, top, w, h);
  Picture p;
  if (px.empty()) return p;
  p.w = w;
  p.h = h;
  p.px.reserve(px.size());
  for (uint32_t c : px) p.px.push_back(framecheck::to565(c));
  if (rgb) *rgb = px;
  return p;
}

// A PNG file of 0x00RRGGBB pixels, top row first: signature, IHDR, one IDAT
// of filter-0 rows, IEND; chunk CRCs by zlib's crc32.
inline bool savePng(const std::wstring& path, int w, int h, const std::vector<uint32_t>& rgb) {
  std::vector<uint8_t> rows;
  rows.reserve(std::size_t(w * 3 + 1) * h);
  for (int y = 0; y < h; ++y) {
    rows.push_back(0);
    for (int x = 0; x < w; ++x) {
      const uint32_t c = rgb[std::size_t(y) * w + x];
      rows.push_back(uint8_t(c >> 16));
      rows.push_back(uint8_t(c >> 8));
      rows.push_back(uint8_t(c));
    }
  }
  uLongf zn = compressBound(uLong(rows.size()));
  std::vector<uint8_t> z(zn);
  if (compress2(z.data(), &zn, rows.data(), uLong(rows.size()), 6) != Z_OK) return false;
  z.resize(zn);
  std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', 13, 10, 26, 10};
  auto be32 = [&](std::vector<uint8_t>& b, uint32_t v) {
    for (int i = 3; i >= 0; --i) b.push_back(uint8_t(v >> (8 * i)));
  };
  auto chunk = [&](const char* type, const std::vector<uint8_t>& data) {
    be32(png, uint32_t(data.size()));
    std::vector<uint8_t> body(type, type + 4);
    body.insert(body.end(), data.begin(), data.end());
    png.insert(png.end(), body.begin(), body.end());
    be32(png, uint32_t(crc32(0, body.data(), uInt(body.size()))));
  };
  std::vector<uint8_t> ihdr;
  be32(ihdr, uint32_t(w));
  be32(ihdr, uint32_t(h));
  ihdr.insert(ihdr.end(), {8, 2, 0, 0, 0});  // 8 bits, truecolour
  chunk("IHDR", ihdr);
  chunk("IDAT", z);
  chunk("IEND", {});
  FILE* f = _wfopen(path.c_str(), L"wb");
  if (!f) return false;
  const bool ok = fwrite(png.data(), 1, png.size(), f) == png.size();
  return fclose(f) == 0 && ok;
}

}  // namespace sceneframes
