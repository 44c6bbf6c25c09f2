// A reader of .lx files written from the file's layout tables, for checking
// what the recorder writes without the formats library's readers: header,
// frame records walked one after another, the mouse list, the frame index
// and the trailer, each checked as it is read.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "test_files.h"

namespace lxcheck {

struct Record {
  std::size_t offset;
  int32_t flag, x = 0, y = 0;
  Bytes icon, image;  // image without its int32 length
};

struct ParsedLx {
  int32_t header[10] = {};
  std::string mouseText;
  std::vector<std::string> frameLines;
  std::vector<Record> records;
};

inline std::vector<std::string> crlfLines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = text.find("\r\n", start);
    EXPECT_NE(end, std::string::npos) << "last line not ended by CR LF";
    if (end == std::string::npos) break;
    lines.push_back(text.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

// Reads the whole file by the layout: 40-byte header, records from 40 up to
// the mouse list, mouse list + length, frame list + length at end - 44,
// 40-byte trailer. Each length is checked against the bytes around it before
// it is used: a fault is a test failure and ends the walk, never a read
// outside the file.
inline ParsedLx parseLx(const Bytes& b) {
  ParsedLx p;
  if (b.size() < 40u + 4 + 4 + 40) {
    ADD_FAILURE() << "an .lx of " << b.size() << " bytes cannot hold header, lists and trailer";
    return p;
  }
  for (int i = 0; i < 10; ++i) p.header[i] = get32(b, 4 * i);
  const std::size_t end = b.size();
  const Bytes trailer(b.end() - 40, b.end());
  for (int i = 0; i < 20; ++i) EXPECT_EQ(trailer[i], 0) << "reserved trailer byte " << i;
  EXPECT_EQ(get32(trailer, 20), 8);
  EXPECT_EQ(get32(trailer, 24), 6);
  EXPECT_EQ(std::string(trailer.begin() + 28, trailer.end()), std::string("qorvimlxs\0\0\0", 12));

  const int32_t f = get32(b, end - 44);
  if (f < 0 || std::size_t(f) > end - 44 - 40 - 4) {
    ADD_FAILURE() << "frame list length " << f << " does not fit the file";
    return p;
  }
  const std::size_t frameStart = end - 44 - std::size_t(f);
  p.frameLines = crlfLines(std::string(b.begin() + frameStart, b.begin() + (end - 44)));
  const int32_t m = get32(b, frameStart - 4);
  if (m < 0 || std::size_t(m) > frameStart - 4 - 40) {
    ADD_FAILURE() << "mouse list length " << m << " does not fit the file";
    return p;
  }
  const std::size_t mouseStart = frameStart - 4 - std::size_t(m);
  p.mouseText.assign(b.begin() + mouseStart, b.begin() + (frameStart - 4));

  // n bytes from `at` lie before the mouse list.
  auto fits = [&](std::size_t at, int64_t n) { return n >= 0 && at <= mouseStart && uint64_t(n) <= mouseStart - at; };
  std::size_t at = 40;
  while (at < mouseStart) {
    Record r;
    r.offset = at;
    if (!fits(at, 4)) break;
    r.flag = get32(b, at);
    at += 4;
    if (r.flag == 1) {
      if (!fits(at, 12)) break;
      r.x = get32(b, at);
      r.y = get32(b, at + 4);
      const int32_t n = get32(b, at + 8);
      at += 12;
      if (!fits(at, n)) {
        ADD_FAILURE() << "icon of " << n << " bytes at " << at << " runs past the records";
        return p;
      }
      r.icon.assign(b.begin() + at, b.begin() + at + n);
      at += std::size_t(n);
    }
    if (!fits(at, 4)) break;
    const int32_t n = get32(b, at);
    at += 4;
    if (!fits(at, n)) {
      ADD_FAILURE() << "image of " << n << " bytes at " << at << " runs past the records";
      return p;
    }
    r.image.assign(b.begin() + at, b.begin() + at + n);
    at += std::size_t(n);
    p.records.push_back(r);
  }
  EXPECT_EQ(at, mouseStart) << "records overrun the mouse list";
  return p;
}

}  // namespace lxcheck
