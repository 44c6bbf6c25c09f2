// Reading the tail and the video stream of an unfinished direct-AVI recording.
#include "AvwFile.h"

#include <algorithm>
#include <cstring>

#include "ByteReader.h"
#include "ByteSource.h"

namespace {

// Header lists are small (one stream header and format per stream); a larger
// one is not something the recorder wrote.
constexpr uint32_t kMaxHeaderList = 1 << 20;
constexpr uint32_t kMaxFormat = 64 * 1024;
// An index entry: id, flags, offset, size.
constexpr uint32_t kIndexEntry = 16;
constexpr uint32_t kKeyFrame = 0x10;  // AVIIF_KEYFRAME
// Four million entries: days of recording at any frame rate the recorder
// offers. A larger index is read as none (key frames then by rule).
constexpr uint32_t kMaxIndex = 64u << 20;

bool isId(const uint8_t* p, const char* id) { return std::memcmp(p, id, 4) == 0; }

// Chunk ids of a stream are its number in two decimal digits and a kind;
// video frames are "db" (uncompressed) or "dc" (compressed).
bool isVideoChunk(const uint8_t* id, int stream) {
  return id[0] == '0' + stream / 10 && id[1] == '0' + stream % 10 &&
         ((id[2] == 'd' && id[3] == 'b') || (id[2] == 'd' && id[3] == 'c'));
}

// Finds the first video stream in the hdrl list's body.
bool parseHeaderList(ByteReader r, AviVideoScan& scan, int& stream) {
  int n = 0;
  while (r.left() >= 8) {
    uint8_t id[4];
    uint32_t size = 0;
    r.read(id, 4);
    r.u32(size);
    if (size > r.left()) return false;
    ByteReader body = r.sub(size);
    if (size & 1) r.skip(std::min<std::size_t>(1, r.left()));
    if (!isId(id, "LIST")) continue;
    uint8_t type[4];
    if (!body.read(type, 4) || !isId(type, "strl")) continue;
    bool video = false;
    while (body.left() >= 8) {
      uint8_t cid[4];
      uint32_t csize = 0;
      body.read(cid, 4);
      body.u32(csize);
      if (csize > body.left()) return false;
      ByteReader c = body.sub(csize);
      if (csize & 1) body.skip(std::min<std::size_t>(1, body.left()));
      if (isId(cid, "strh")) {
        uint8_t h[56] = {};
        if (csize < 48) return false;
        c.read(h, std::min<uint32_t>(csize, 56));
        video = isId(h, "vids");
        if (!video) continue;
        scan.fccHandler = getU32(h + 4);
        scan.scale = getU32(h + 20);
        scan.rate = getU32(h + 24);
        scan.suggestedBufferSize = getU32(h + 36);
        scan.quality = getU32(h + 40);
        for (int i = 0; i < 4; ++i)
          scan.frame[i] = static_cast<int16_t>(h[48 + 2 * i] | h[49 + 2 * i] << 8);
      } else if (isId(cid, "strf") && video) {
        if (csize < 40 || csize > kMaxFormat) return false;
        scan.format.assign(c.here(), c.here() + csize);
      }
    }
    if (video) {
      stream = n;
      return !scan.format.empty() && scan.scale > 0 && scan.rate > 0;
    }
    ++n;
  }
  return false;
}

}  // namespace

bool readAvwTail(TStream& stream, AvwTail& tail) {
  tail = AvwTail();
  StreamSource s(stream);
  const int64_t size = s.size();
  if (size < 8) return false;
  uint8_t flags[8];
  if (!s.readAt(size - 8, flags, 8)) return false;
  tail.soundRecorded = static_cast<int32_t>(getU32(flags));
  tail.addClickSounds = static_cast<int32_t>(getU32(flags + 4));
  tail.aviEnd = size - 8;
  if (tail.soundRecorded != 1 || tail.addClickSounds != 1 || size < 12) return true;
  uint8_t len[4];
  if (!s.readAt(size - 12, len, 4)) return false;
  const int32_t m = static_cast<int32_t>(getU32(len));
  tail.aviEnd = size - 12;
  if (m <= 0 || m > size - 12) return true;
  tail.clicks.resize(static_cast<std::size_t>(m));
  if (!s.readAt(size - 12 - m, &tail.clicks[0], static_cast<std::size_t>(m))) {
    tail.clicks.clear();
    return true;
  }
  tail.aviEnd = size - 12 - m;
  return true;
}

bool scanAviVideo(TStream& file, int64_t end, AviVideoScan& scan) {
  scan = AviVideoScan();
  StreamSource s(file);
  end = std::min(end, s.size());
  uint8_t riff[12];
  if (end < 12 || !s.readAt(0, riff, 12) || !isId(riff, "RIFF") || !isId(riff + 8, "AVI "))
    return false;
  scan.riffEnd = 8 + int64_t(getU32(riff + 4));
  const int64_t limit = std::min(scan.riffEnd, end);

  int stream = -1;
  bool indexRead = false;
  bool moviWhole = false;
  std::vector<uint8_t> index;
  int64_t at = 12;
  while (at + 8 <= limit) {
    uint8_t head[12];
    if (!s.readAt(at, head, 8)) break;
    const uint32_t size = getU32(head + 4);
    const int64_t body = at + 8;
    const int64_t next = body + size + (size & 1);
    const bool whole = body + size <= limit;
    if (isId(head, "LIST") && size >= 4 && body + 4 <= limit) {
      s.readAt(body, head + 8, 4);
      if (isId(head + 8, "hdrl")) {
        if (!whole || size > kMaxHeaderList) return false;
        std::vector<uint8_t> list(size - 4);
        if (!list.empty() && !s.readAt(body + 4, list.data(), list.size()))
          return false;
        if (!parseHeaderList(ByteReader(list.data(), list.size()), scan, stream)) return false;
      } else if (isId(head + 8, "movi") && stream >= 0) {
        // Frame chunks, possibly inside 'rec ' lists; stop at the first one
        // that runs past what is there.
        const int64_t moviEnd = std::min<int64_t>(body + size, limit);
        int64_t p = body + 4;
        while (p + 8 <= moviEnd) {
          uint8_t ch[12];
          if (!s.readAt(p, ch, 8)) break;
          const uint32_t cs = getU32(ch + 4);
          if (isId(ch, "LIST")) {
            p += 12;  // step into a 'rec ' list; its chunks follow
            continue;
          }
          if (p + 8 + cs > moviEnd) break;
          if (isVideoChunk(ch, stream)) {
            AviFrameChunk f;
            f.offset = p + 8;
            f.size = cs;
            scan.frames.push_back(f);
          }
          p += 8 + cs + (cs & 1);
        }
        moviWhole = whole;
      }
    } else if (isId(head, "idx1") && whole && stream >= 0 && size <= kMaxIndex) {
      index.resize(size - size % kIndexEntry);
      if (!index.empty() && !s.readAt(body, index.data(), index.size())) break;
      indexRead = true;
    }
    if (!whole) break;
    at = next;
  }
  if (stream < 0) return false;

  // Key flags come from the index; without one (a file cut off before it) an
  // uncompressed stream is all key frames and any other has its first.
  std::size_t k = 0;
  for (std::size_t e = 0; indexRead && e + kIndexEntry <= index.size(); e += kIndexEntry) {
    if (!isVideoChunk(&index[e], stream)) continue;
    if (k >= scan.frames.size()) break;
    scan.frames[k++].key = (getU32(&index[e + 4]) & kKeyFrame) != 0;
  }
  if (!indexRead) {
    const bool uncompressed = getU32(&scan.format[16]) == 0;  // biCompression BI_RGB
    bool first = true;
    for (AviFrameChunk& f : scan.frames) {
      f.key = f.size > 0 && (uncompressed || first);
      if (f.size > 0) first = false;
    }
  }
  scan.complete = moviWhole && indexRead && scan.riffEnd <= end;
  return true;
}

bool setAviStreamLength(TStream& stream, const char* fccType, uint32_t length) {
  StreamSource s(stream);
  uint8_t head[12];
  if (!s.readAt(0, head, 12) || !isId(head, "RIFF") || !isId(head + 8, "AVI ")) return false;
  // The header list is the first chunk; its stream lists hold the headers.
  if (!s.readAt(12, head, 12) || !isId(head, "LIST") || !isId(head + 8, "hdrl")) return false;
  const uint32_t size = getU32(head + 4);
  if (size < 4 || size > kMaxHeaderList || 20 + int64_t(size) - 4 > s.size()) return false;
  std::vector<uint8_t> list(size - 4);
  if (!list.empty() && !s.readAt(24, list.data(), list.size())) return false;
  ByteReader r(list.data(), list.size());
  while (r.left() >= 12) {
    const std::size_t at = r.pos();
    uint8_t id[4];
    uint32_t csize = 0;
    r.read(id, 4);
    r.u32(csize);
    if (csize > r.left()) return false;
    ByteReader body = r.sub(csize);
    if (csize & 1) r.skip(std::min<std::size_t>(1, r.left()));
    uint8_t type[4];
    if (!isId(id, "LIST") || !body.read(type, 4) || !isId(type, "strl")) continue;
    uint8_t sid[8];
    if (!body.read(sid, 8) || !isId(sid, "strh") || getU32(sid + 4) < 36 || body.left() < 36) continue;
    if (std::memcmp(body.here(), fccType, 4) != 0) continue;
    // strh body starts 20 bytes into the strl list; dwLength is its +32.
    const int64_t where = 24 + int64_t(at) + 20 + 32;
    uint8_t v[4];
    putU32(v, length);
    stream.Seek(where, soFromBeginning);
    return stream.Write(v, 4) == 4;
  }
  return false;
}
