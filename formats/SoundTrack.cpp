// Packing and unpacking of EXE sound tracks (packings 1 and 2) and the table
// that the lossy ACM packings join. Every length read from a block is checked
// against the bytes that are really there before anything is allocated, and a
// zlib chunk never inflates beyond its fixed buffer.
#include "SoundTrack.h"

#include <zlib.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "ByteReader.h"
#include "ExeLayout.h"
#include "SysUtils.h"

namespace {

constexpr std::size_t kCopyBlock = 10000;       // packing 1 copies in these steps
constexpr std::size_t kUnpackBlock = 1u << 20;  // and unpacks in these

int percentOf(int64_t done, int64_t total) {
  return total <= 0 ? 100 : static_cast<int>(std::min<int64_t>(100, done * 100 / total));
}

bool readI32(ByteSource& src, int64_t& pos, int64_t limit, int32_t& v) {
  uint8_t b[4];
  if (pos < 0 || limit - pos < 4 || !src.readAt(pos, b, 4)) return false;
  v = getI32(b);
  pos += 4;
  return true;
}

int damaged(FormatsHost& host) {
  host.showMessage("声音数据已损坏");
  return -1;
}

std::vector<SoundPacking>& packingTable() {
  static std::vector<SoundPacking> table = [] {
    std::vector<SoundPacking> t;
    auto fromFile = [](int (*packer)(ByteSource&, ByteSink&, FormatsHost&)) {
      return [packer](const AnsiString& wavPath, TStream& out, FormatsHost& host) {
        std::unique_ptr<TFileStream> wav;
        try {
          wav.reset(new TFileStream(wavPath, fmOpenRead | fmShareDenyNone));
        } catch (const EStreamError&) {
          host.showMessage("打开声音文件失败");
          return -1;
        }
        StreamSource src(*wav);
        StreamSink sink(out);
        return packer(src, sink, host);
      };
    };
    SoundPacking raw;
    raw.code = kSoundRaw;
    raw.pack = fromFile(packRawSound);
    raw.unpack = unpackRawSound;
    t.push_back(raw);
    SoundPacking zip;
    zip.code = kSoundZlib;
    zip.pack = fromFile(packZlibSound);
    zip.unpack = unpackZlibSound;
    t.push_back(zip);
    return t;
  }();
  return table;
}

}  // namespace

int packRawSound(ByteSource& wav, ByteSink& out, FormatsHost& host) {
  int64_t size = wav.size();
  if (size > INT32_MAX) return damaged(host);  // the stored size is an int32
  uint8_t head[4];
  putI32(head, static_cast<int32_t>(size));
  if (!out.write(head, 4)) return -1;
  std::vector<uint8_t> buf(kCopyBlock);
  int64_t blocks = size / static_cast<int64_t>(kCopyBlock);
  host.progress(0);
  for (int64_t i = 0; i < blocks; ++i) {
    if (!wav.readAt(i * int64_t(kCopyBlock), buf.data(), kCopyBlock) ||
        !out.write(buf.data(), kCopyBlock))
      return -1;
    if (!host.progress(percentOf(i + 1, blocks))) return -2;
  }
  std::size_t rest = static_cast<std::size_t>(size - blocks * int64_t(kCopyBlock));
  if (rest && (!wav.readAt(blocks * int64_t(kCopyBlock), buf.data(), rest) ||
               !out.write(buf.data(), rest)))
    return -1;
  return 1;
}

int packZlibSound(ByteSource& wav, ByteSink& out, FormatsHost& host) {
  int64_t size = wav.size();
  int64_t chunks = (size + int64_t(kSoundChunk) - 1) / int64_t(kSoundChunk);
  if (chunks > INT32_MAX) return damaged(host);
  uint8_t head[4];
  putI32(head, static_cast<int32_t>(chunks));
  if (!out.write(head, 4)) return -1;
  std::vector<uint8_t> in(kSoundChunk), packed(kSoundChunkBuffer);
  host.progress(0);
  for (int64_t i = 0; i < chunks; ++i) {
    std::size_t n = static_cast<std::size_t>(std::min<int64_t>(int64_t(kSoundChunk), size - i * int64_t(kSoundChunk)));
    if (!wav.readAt(i * int64_t(kSoundChunk), in.data(), n)) return -1;
    uLongf packedLen = static_cast<uLongf>(packed.size());
    if (compress2(packed.data(), &packedLen, in.data(), static_cast<uLong>(n), 9) != Z_OK) {
      host.showMessage("压缩声音失败");
      return -1;
    }
    putI32(head, static_cast<int32_t>(packedLen));
    if (!out.write(head, 4) || !out.write(packed.data(), packedLen)) return -1;
    if (!host.progress(percentOf(i + 1, chunks))) return -2;
  }
  return 1;
}

int unpackRawSound(ByteSource& src, int64_t& pos, int64_t limit, ByteSink& out,
                   FormatsHost& host) {
  limit = std::min(limit, src.size());
  int32_t count = 0;
  if (!readI32(src, pos, limit, count) || count < 0 || count > limit - pos) return damaged(host);
  std::vector<uint8_t> buf(std::min<std::size_t>(kUnpackBlock, static_cast<std::size_t>(count)));
  int64_t left = count;
  while (left > 0) {
    std::size_t n = static_cast<std::size_t>(std::min<int64_t>(left, int64_t(buf.size())));
    if (!src.readAt(pos, buf.data(), n)) return damaged(host);
    if (!out.write(buf.data(), n)) return -1;
    pos += static_cast<int64_t>(n);
    left -= static_cast<int64_t>(n);
    host.progress(percentOf(count - left, count));
  }
  return 1;
}

int unpackZlibSound(ByteSource& src, int64_t& pos, int64_t limit, ByteSink& out,
                    FormatsHost& host) {
  limit = std::min(limit, src.size());
  int32_t chunks = 0;
  // Each chunk takes at least its 4-byte length: a count beyond that is damage.
  if (!readI32(src, pos, limit, chunks) || chunks < 0 || chunks > (limit - pos) / 4)
    return damaged(host);
  std::vector<uint8_t> in(kSoundChunkBuffer), inflated(kSoundChunkBuffer);
  for (int32_t i = 0; i < chunks; ++i) {
    int32_t n = 0;
    if (!readI32(src, pos, limit, n) || n < 0 || static_cast<std::size_t>(n) > in.size() ||
        n > limit - pos || !src.readAt(pos, in.data(), static_cast<std::size_t>(n))) {
      host.showMessage("解压缩2失败");
      return -1;
    }
    pos += n;
    uLongf got = static_cast<uLongf>(inflated.size());
    if (uncompress(inflated.data(), &got, in.data(), static_cast<uLong>(n)) != Z_OK) {
      host.showMessage("解压缩2失败");
      return -1;
    }
    if (!out.write(inflated.data(), got)) return -1;
    host.progress(percentOf(i + 1, chunks));
  }
  return 1;
}

const SoundPacking* findSoundPacking(int code) {
  for (const auto& p : packingTable())
    if (p.code == code) return &p;
  return nullptr;
}

void registerSoundPacking(const SoundPacking& packing) {
  auto& t = packingTable();
  for (auto& p : t)
    if (p.code == packing.code) { p = packing; return; }
  t.push_back(packing);
}

int packSoundTrack(TStream& out, const AnsiString& wavPath, int packing, FormatsHost& host) {
  const SoundPacking* p = findSoundPacking(packing);
  if (!p || !p->pack) {
    host.showMessage("不支持的声音压缩方式");
    return -1;
  }
  return p->pack(wavPath, out, host);
}

int unpackSoundTrack(const AnsiString& wavPath, TStream& source, int packing, FormatsHost& host) {
  const SoundPacking* p = findSoundPacking(packing);
  if (!p || !p->unpack) {
    host.showMessage("不支持的声音压缩方式");
    return -1;
  }
  int result;
  {
    std::unique_ptr<TFileStream> wav;
    try {
      wav.reset(new TFileStream(wavPath, fmCreate));
    } catch (const EStreamError&) {
      host.showMessage("failed2");
      return -1;
    }
    StreamSource src(source);
    int64_t pos = source.Position();
    StreamSink sink(*wav);
    result = p->unpack(src, pos, src.size(), sink, host);
    source.Seek(pos, soFromBeginning);
  }
  // A half-unpacked WAV would play as a shorter, finished sound: remove it.
  if (result != 1) DeleteFile(wavPath);
  return result;
}

int recordingDurationMs(ByteSource& src) {
  int64_t size = src.size();
  uint8_t t[ExeTrailer::kSize];
  if (size < int64_t(ExeTrailer::kSize) || !src.readAt(size - int64_t(ExeTrailer::kSize), t, sizeof t) ||
      !ExeTrailer::hasMagic(t))
    return -1;
  ExeTrailer trailer = ExeTrailer::load(t);
  uint8_t w[4];
  if (!src.readAt(trailer.playerSize, w, 4)) return -1;
  int32_t k = getI32(w);
  int64_t picture = k > 0 ? int64_t(k) : int64_t(trailer.playerSize) + 4;
  uint8_t h[40];  // the picture part's header: frameCount at 12, msPerFrame at 20
  if (!src.readAt(picture, h, sizeof h)) return -1;
  int64_t frames = getI32(h + 12), ms = getI32(h + 20);
  if (frames < 0 || ms < 0 || frames * ms > INT32_MAX) return -1;
  return static_cast<int>(frames * ms);
}

int recordingDurationMs(TStream& source) {
  int64_t at = source.Position();
  StreamSource src(source);
  int result = recordingDurationMs(src);
  source.Seek(at, soFromBeginning);
  return result;
}
