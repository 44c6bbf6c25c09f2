// MP3 header decoding, the seek index and the frame count. The index layout
// and the entry rule (an entry at frame framesPerEntry, then at every
// (framesPerEntry + 1)-th frame) are what stored EXE recordings hold; the
// player seeks by them, so they must not change.
#include "Mp3SeekIndex.h"

#include <algorithm>
#include <cstring>

#include "ByteReader.h"

namespace {

const int32_t kSampleRates[3][4] = {
    {44100, 48000, 32000, 0},  // MPEG-1
    {22050, 24000, 16000, 0},  // MPEG-2
    {11025, 12000, 8000, 0},   // MPEG-2.5
};

// kbit/s by [MPEG-1 or MPEG-2/2.5][layer I, II, III][bitrate index]
const int32_t kBitrates[2][3][16] = {
    {{0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, -1},
     {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, -1},
     {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, -1}},
    {{0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, -1},
     {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, -1},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, -1}},
};

uint32_t bigEndian32(const uint8_t* p) {
  return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

// Decodes the header at pos when its four bytes are inside the data.
bool headerAt(const uint8_t* data, std::size_t size, std::size_t pos, mymp3framehead& h) {
  if (pos > size || size - pos < 4) return false;
  decodeMp3FrameHeader(h, bigEndian32(data + pos));
  return true;
}

}  // namespace

void decodeMp3FrameHeader(mymp3framehead& h, uint32_t v) {
  h.sync = int32_t(v >> 21);
  h.versionBits = int32_t(v >> 19 & 3);
  h.layerBits = int32_t(v >> 17 & 3);
  h.protection = int32_t(v >> 16 & 1);
  h.bitrateIndex = int32_t(v >> 12 & 15);
  h.sampleRateIndex = int32_t(v >> 10 & 3);
  h.padding = int32_t(v >> 9 & 1);
  h.privateBit = int32_t(v >> 8 & 1);
  h.channelMode = int32_t(v >> 6 & 3);
  h.modeExtension = int32_t(v >> 4 & 3);
  h.copyright = int32_t(v >> 3 & 1);
  h.original = int32_t(v >> 2 & 1);
  h.emphasis = int32_t(v & 3);
  h.crcPresent = h.protection == 0 ? 1 : 0;

  if (h.layerBits == 1) h.layerIndex = 3;
  else if (h.layerBits == 2) h.layerIndex = 2;
  else if (h.layerBits == 3) h.layerIndex = 1;
  if (h.versionBits == 0) { h.versionClass = 3; h.samplesPerFrame = 576; }
  else if (h.versionBits == 2) { h.versionClass = 2; h.samplesPerFrame = 576; }
  else if (h.versionBits == 3) { h.versionClass = 1; h.samplesPerFrame = 1152; }
  h.channels = h.channelMode == 3 ? 1 : 2;

  // A header whose reserved version or layer never set the class or layer
  // (fields still 0) has no table row: no rate, no length.
  if (h.versionClass < 1 || h.versionClass > 3 || h.layerIndex < 1 || h.layerIndex > 3) {
    h.sampleRate = 0;
    h.bitrate = 0;
    h.frameLength = 0;
    return;
  }
  h.sampleRate = kSampleRates[h.versionClass - 1][h.sampleRateIndex];
  int32_t kbps = kBitrates[h.versionClass == 1 ? 0 : 1][h.layerIndex - 1][h.bitrateIndex];
  h.bitrate = kbps * 1000;
  if (h.sampleRate == 0) {
    h.frameLength = 0;
  } else {
    int32_t factor = h.versionClass == 1 ? 144000 : 72000;
    h.frameLength = factor * kbps / h.sampleRate + h.padding;  // bit rate index 15 gives < 1
  }
}

std::size_t mp3FirstFrameOffset(const uint8_t* data, std::size_t size) {
  if (size < 10 || std::memcmp(data, "ID3", 3) != 0) return 0;
  std::size_t tag = std::size_t(data[6] & 0x7F) << 21 | std::size_t(data[7] & 0x7F) << 14 |
                    std::size_t(data[8] & 0x7F) << 7 | std::size_t(data[9] & 0x7F);
  return 10 + tag;  // may lie beyond the data: the walks then find no frame
}

void Mp3SeekIndex::clear() {
  count = 0;
  offsets.clear();
  framesPerEntry = 0;
}

bool Mp3SeekIndex::build(const uint8_t* data, std::size_t size) {
  clear();
  std::size_t walkEnd = size;
  if (size >= 128 && std::memcmp(data + size - 128, "TAG", 3) == 0) walkEnd = size - 128;
  // A tag that claims more than the data leaves nothing to walk; the offsets
  // stay inside the data all the same.
  std::size_t pos = std::min(mp3FirstFrameOffset(data, size), walkEnd);
  mymp3framehead first;
  // The stored offsets are 32-bit; MP3 data inside a recording stays far below 4 GB.
  offsets.push_back(static_cast<uint32_t>(pos));
  count = 1;
  if (pos >= walkEnd || !headerAt(data, walkEnd, pos, first) || first.frameLength < 1) {
    offsets.push_back(static_cast<uint32_t>(pos));  // nothing to walk: end = start
    return true;
  }
  framesPerEntry = 51200 / first.frameLength;
  int32_t counter = 0;
  while (pos < walkEnd) {
    mymp3framehead h;
    if (!headerAt(data, walkEnd, pos, h)) break;
    if (h.sampleRate != first.sampleRate || h.frameLength < 1) break;
    if (static_cast<std::size_t>(h.frameLength) > walkEnd - pos) break;
    if (++counter == framesPerEntry + 1) {
      offsets.push_back(static_cast<uint32_t>(pos));
      ++count;
      counter = 0;
    }
    pos += static_cast<std::size_t>(h.frameLength);
  }
  offsets.push_back(static_cast<uint32_t>(pos));
  return true;
}

bool Mp3SeekIndex::countFrames(const uint8_t* data, std::size_t size, int32_t& frameCount,
                               int32_t& samplesPerFrame) {
  frameCount = 0;
  samplesPerFrame = 576;
  std::size_t pos = mp3FirstFrameOffset(data, size);
  mymp3framehead first;
  if (!headerAt(data, size, pos, first)) return true;
  samplesPerFrame = first.versionClass == 1 ? 1152 : 576;
  while (pos < size) {
    mymp3framehead h;
    // A last frame whose header is cut off is not a frame.
    if (!headerAt(data, size, pos, h)) break;
    if (h.sampleRate != first.sampleRate || h.frameLength < 1 || first.frameLength < 1) break;
    ++frameCount;
    pos += static_cast<std::size_t>(h.frameLength);
  }
  return true;
}

bool Mp3SeekIndex::write(ByteSink& out) const {
  std::vector<uint8_t> b(storedSize());
  putI32(b.data(), framesPerEntry);
  putI32(b.data() + 4, count);
  for (std::size_t i = 0; i < offsets.size(); ++i) putU32(b.data() + 8 + 4 * i, offsets[i]);
  return out.write(b.data(), b.size());
}

bool Mp3SeekIndex::read(ByteReader& in) {
  clear();
  int32_t fpe = 0, n = 0;
  if (!in.i32(fpe) || !in.i32(n) || fpe < 0 || n < 0) return false;
  if (static_cast<uint64_t>(n) + 1 > in.left() / 4) return false;
  std::vector<uint32_t> v(static_cast<std::size_t>(n) + 1);
  for (auto& o : v) {
    in.u32(o);
    if (&o != &v[0] && o < (&o)[-1]) { clear(); return false; }
  }
  framesPerEntry = fpe;
  count = n;
  offsets = std::move(v);
  return true;
}
