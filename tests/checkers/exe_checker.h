// A reader of self-playing EXE recordings written here from the container's
// layout tables, for checking what the recorder writes without the formats
// library's container reader or its frame codec: trailer, playback settings,
// the two lists, dataStartWord, the picture part walked frame by frame
// (cursor blocks, changed rectangles, end markers), the frame images decoded
// by frame_image_checker.h, a replay of the frames onto a 16-bit canvas, and
// the sound block unpacked (packings 1 and 2; zlib is the only library used).
#pragma once

#include <gtest/gtest.h>
#include <zlib.h>

#include <string>
#include <vector>

#include "frame_image_checker.h"
#include "test_files.h"

namespace execheck {

// Bytes [at, at + n) of the file; empty and a failure when outside it.
inline Bytes slice(const Bytes& file, std::size_t at, std::size_t n) {
  if (at > file.size() || n > file.size() - at) {
    ADD_FAILURE() << "range " << at << "+" << n << " outside the file";
    return Bytes();
  }
  return Bytes(file.begin() + at, file.begin() + at + n);
}

struct Update {
  int32_t left = 0, top = 0, right = 0, bottom = 0;
  Bytes image;  // after its int32 length
};

struct Frame {
  std::size_t offset = 0, size = 0;
  int32_t cursorX = 0, cursorY = 0, iconLength = 0;
  Bytes icon;
  Bytes whole;  // frame 0's image
  std::vector<Update> updates;
};

struct ParsedExe {
  std::size_t stub = 0, pictures = 0;  // S and H
  int32_t dataStart = 0;
  int32_t header[10] = {};
  Bytes caption;  // 80 bytes as stored
  int32_t imageCodec = 0, soundCodec = 0, hasMouseList = 0;
  std::string mouseText, frameListText;
  std::size_t soundStart = 0, soundEnd = 0;  // empty range without sound
  std::vector<Frame> frames;
  bool ok = false;
};

// Parses an EXE (or an .exw less its 8-byte flags) by the tables.
inline int failuresSoFar() {
  return ::testing::UnitTest::GetInstance()->current_test_info()->result()->total_part_count();
}

inline ParsedExe parseExe(const Bytes& file, bool exwTail = false) {
  ParsedExe p;
  const int failuresBefore = failuresSoFar();
  const std::size_t end = file.size() - (exwTail ? 8 : 0);
  if (end < 44 + 180 + 4) {
    ADD_FAILURE() << "too short";
    return p;
  }
  const std::size_t t = end - 44;
  EXPECT_EQ(std::string(file.begin() + t + 32, file.begin() + t + 44), std::string("qorvimdvq\0\0\0", 12));
  EXPECT_EQ(get32(file, t + 20), 8);
  EXPECT_EQ(get32(file, t + 24), 8);
  p.stub = std::size_t(get32(file, t + 28));
  const std::size_t s = end - 224;
  p.imageCodec = get32(file, s + 80);
  p.soundCodec = get32(file, s + 84);
  p.hasMouseList = get32(file, s + 92);
  const std::size_t f = std::size_t(get32(file, end - 228));
  const std::size_t frameListAt = end - 228 - f;
  p.frameListText.assign(file.begin() + frameListAt, file.begin() + (end - 228));
  std::size_t mouseAt = frameListAt;
  if (p.hasMouseList == 1) {
    const std::size_t m = std::size_t(get32(file, frameListAt - 4));
    mouseAt = frameListAt - 4 - m;
    p.mouseText.assign(file.begin() + mouseAt, file.begin() + (frameListAt - 4));
  }
  p.dataStart = get32(file, p.stub);
  EXPECT_LE(p.dataStart, 0) << "the direct recorder writes pictures first";
  p.pictures = p.stub + 4;
  std::size_t framesEnd = mouseAt;
  if (p.dataStart < 0) {
    p.soundStart = std::size_t(-p.dataStart);
    p.soundEnd = mouseAt;
    framesEnd = p.soundStart;
  }
  for (int i = 0; i < 10; ++i) p.header[i] = get32(file, p.pictures + 4 * i);
  for (std::size_t i = 40; i < 80; ++i) EXPECT_EQ(file[p.pictures + i], 0) << "reserved byte " << i;
  p.caption.assign(file.begin() + p.pictures + 80, file.begin() + p.pictures + 160);

  const bool cursor = p.header[9] == 1;
  std::size_t at = p.pictures + 160;
  for (int32_t n = 0; n < p.header[3]; ++n) {
    Frame fr;
    fr.offset = at;
    if (cursor) {
      fr.cursorX = get32(file, at);
      fr.cursorY = get32(file, at + 4);
      fr.iconLength = get32(file, at + 8);
      at += 12;
      fr.icon = slice(file, at, std::size_t(fr.iconLength));
      at += std::size_t(fr.iconLength);
    }
    if (n == 0) {
      const std::size_t len = std::size_t(get32(file, at));
      fr.whole = slice(file, at + 4, len);
      at += 4 + len;
      EXPECT_EQ(get32(file, at), 0) << "frame 0 ends in 0";
      at += 4;
    } else {
      for (;;) {
        const int32_t v = get32(file, at);
        at += 4;
        if (v <= 0) {
          EXPECT_EQ(v, -n) << "end marker of frame " << n;
          break;
        }
        EXPECT_EQ(v, n) << "update of frame " << n;
        Update u;
        u.left = get32(file, at);
        u.top = get32(file, at + 4);
        u.right = get32(file, at + 8);
        u.bottom = get32(file, at + 12);
        const std::size_t len = std::size_t(get32(file, at + 16));
        u.image = slice(file, at + 20, len);
        at += 20 + len;
        fr.updates.push_back(std::move(u));
      }
    }
    if (failuresSoFar() != failuresBefore) break;
    fr.size = at - fr.offset;
    p.frames.push_back(std::move(fr));
    if (at > framesEnd) break;
  }
  EXPECT_EQ(at, framesEnd) << "frames do not end where the next part begins";
  p.ok = at == framesEnd && failuresSoFar() == failuresBefore;
  return p;
}

struct Picture {
  int w = 0, h = 0;
  std::vector<uint16_t> px;  // 5-6-5, top row first
};

// One FrameImage (the bytes after its int32 length) as a 16-bit picture,
// decoded by the table-written frame image checker. The word layout's type
// is not stored: codec is the recording's imageCodec (0 JPEG is not decoded
// here).
inline Picture decodeImage(const Bytes& image, int codec) {
  framecheck::Picture decoded;
  std::string why;
  if (!framecheck::decodeFrameImage(image, codec, decoded, why)) {
    ADD_FAILURE() << "frame image: " << why;
    return Picture();
  }
  Picture p;
  p.w = decoded.width;
  p.h = decoded.height;
  p.px.reserve(decoded.rgb.size());
  for (uint32_t c : decoded.rgb) p.px.push_back(framecheck::to565(c));
  return p;
}

// The sound block between soundStart and soundEnd as the WAV file it packs:
// packing 1 (size and the file) or 2 (zlib chunks of the file).
inline Bytes unpackSound(const Bytes& file, const ParsedExe& p) {
  Bytes wav;
  std::size_t at = p.soundStart;
  if (p.soundEnd <= at || p.soundEnd > file.size() || p.soundEnd - at < 4) {
    ADD_FAILURE() << "no sound block";
    return wav;
  }
  if (p.soundCodec == 1) {
    const int32_t n = get32(file, at);
    EXPECT_EQ(std::size_t(n) + 4, p.soundEnd - at) << "raw sound does not fill its block";
    if (n < 0 || std::size_t(n) > p.soundEnd - at - 4) return wav;
    return slice(file, at + 4, std::size_t(n));
  }
  if (p.soundCodec != 2) {
    ADD_FAILURE() << "the checker does not unpack sound packing " << p.soundCodec;
    return wav;
  }
  const int32_t chunks = get32(file, at);
  at += 4;
  for (int32_t i = 0; i < chunks && at + 4 <= p.soundEnd; ++i) {
    const int32_t len = get32(file, at);
    at += 4;
    if (len < 0 || std::size_t(len) > p.soundEnd - at) {
      ADD_FAILURE() << "sound chunk " << i << " runs past its block";
      return Bytes();
    }
    Bytes out(125000);
    uLongf outLen = uLongf(out.size());
    EXPECT_EQ(uncompress(out.data(), &outLen, file.data() + at, uLong(len)), Z_OK) << "sound chunk " << i;
    EXPECT_TRUE(outLen == 100000 || i == chunks - 1) << "chunk " << i << " holds " << outLen << " bytes";
    wav.insert(wav.end(), out.begin(), out.begin() + outLen);
    at += std::size_t(len);
  }
  EXPECT_EQ(at, p.soundEnd) << "sound block does not end where the lists begin";
  return wav;
}

// Replays every frame: picture n is the canvas after frame n's updates.
inline std::vector<Picture> replay(const ParsedExe& p) {
  std::vector<Picture> out;
  Picture canvas;
  for (const Frame& f : p.frames) {
    if (out.empty()) {
      canvas = decodeImage(f.whole, p.imageCodec);
      EXPECT_EQ(canvas.w, p.header[1]);
      EXPECT_EQ(canvas.h, p.header[2]);
    }
    for (const Update& u : f.updates) {
      const Picture part = decodeImage(u.image, p.imageCodec);
      if (part.w != u.right - u.left || part.h != u.bottom - u.top || u.left < 0 || u.top < 0 ||
          u.right > canvas.w || u.bottom > canvas.h) {
        ADD_FAILURE() << "update rectangle does not fit its image or the picture";
        continue;
      }
      for (int y = 0; y < part.h; ++y)
        for (int x = 0; x < part.w; ++x)
          canvas.px[std::size_t(u.top + y) * canvas.w + (u.left + x)] = part.px[std::size_t(y) * part.w + x];
    }
    out.push_back(canvas);
  }
  return out;
}

inline std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> out;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t e = text.find("\r\n", start);
    if (e == std::string::npos) e = text.size();
    out.push_back(text.substr(start, e - start));
    start = e + 2;
  }
  return out;
}

}  // namespace execheck
