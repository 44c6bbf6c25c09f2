// Slice-parallel zlib for the frame codec. The stream is built by hand around
// raw deflate slices: the two-byte zlib header compress2 writes for the level,
// the slices in order, and the adler32 of the whole input combined from the
// slices' own sums. A slice other than the last ends with Z_SYNC_FLUSH (an
// empty stored block, byte-aligned, not final), so the next slice's first
// block follows it directly; each slice after the first is primed with the
// 32 KiB of input before it, so matches reach back across the cut as they
// would in one stream and the size stays within a fraction of a percent.
//
// The worker threads live for the whole process (starting threads for every
// frame costs more under Wine than the deflate they would share); one
// encoder uses them at a time, a second one meanwhile deflates its slices on
// its own thread with the same result.
#include "FrameCodecDeflate.h"

#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace {

constexpr std::size_t kWindow = 32768;  // deflate's reach back
constexpr int kMostWorkers = 4;

std::atomic<int> g_workers{0};

struct Slice {
  const uint8_t* begin = nullptr;
  std::size_t length = 0;
  std::size_t primer = 0;  // bytes before begin given as the dictionary
  bool last = false;
  std::vector<uint8_t> out;
  uLong adler = 1;
  bool ok = false;
};

// What each thread keeps between frames: its deflate state (setting one up
// costs more than priming it) and the room its output goes to before it is
// copied out (fresh memory is slow to touch under Wine, and the room is
// sized for the worst case, of which a frame uses a few percent). Rooms
// beyond kKeptRoomBytes are given back after use.
constexpr std::size_t kKeptRoomBytes = 16u << 20;

struct Deflater {
  z_stream z = {};
  int level = 0;  // 0: not set up
  std::vector<uint8_t> room;
  ~Deflater() {
    if (level) deflateEnd(&z);
  }
  z_stream* ready(int wanted) {
    if (level == wanted) {
      if (deflateReset(&z) == Z_OK) return &z;
      deflateEnd(&z);
      level = 0;
    }
    if (level) deflateEnd(&z);
    level = 0;
    z = z_stream();
    if (deflateInit2(&z, wanted, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK) return nullptr;
    level = wanted;
    return &z;
  }
  uint8_t* roomFor(std::size_t bytes) {
    if (room.size() < bytes) room.resize(bytes);
    return room.data();
  }
  void done() {
    if (room.size() > kKeptRoomBytes) std::vector<uint8_t>().swap(room);
  }
};

Deflater& threadDeflater() {
  static thread_local Deflater deflater;
  return deflater;
}

void deflateSlice(Slice& s, int level) {
  Deflater& d = threadDeflater();
  z_stream* zp = d.ready(level);
  if (!zp) return;
  z_stream& z = *zp;
  bool ok = s.primer == 0 ||
            deflateSetDictionary(&z, s.begin - s.primer, static_cast<uInt>(s.primer)) == Z_OK;
  // deflateBound leaves no room for the sync marker (5 bytes, a few bits of
  // the last block); the loop below grows the room if it ever needs more.
  std::size_t size = deflateBound(&z, static_cast<uLong>(s.length)) + 16;
  z.next_in = const_cast<Bytef*>(s.begin);
  z.avail_in = static_cast<uInt>(s.length);
  z.next_out = d.roomFor(size);
  z.avail_out = static_cast<uInt>(size);
  const int flush = s.last ? Z_FINISH : Z_SYNC_FLUSH;
  while (ok) {
    const int rc = deflate(&z, flush);
    if (s.last ? rc == Z_STREAM_END : (rc == Z_OK && z.avail_in == 0 && z.avail_out > 0)) break;
    if ((rc != Z_OK && rc != Z_BUF_ERROR) || size > 2 * s.length + (1u << 20)) {
      ok = false;
      break;
    }
    const std::size_t used = size - z.avail_out;
    size += 4096;
    z.next_out = d.roomFor(size) + used;
    z.avail_out = static_cast<uInt>(size - used);
  }
  if (ok) {
    s.out.assign(d.room.data(), d.room.data() + (size - z.avail_out));
    s.adler = adler32(1, s.begin, static_cast<uInt>(s.length));
    s.ok = true;
  }
  d.done();
}

// A few threads that stay for the process. run() hands out task indices to
// itself and up to threads - 1 helpers and returns when every task is done.
class Crew {
public:
  void run(int count, int threads, const std::function<void(int)>& task) {
    std::unique_lock<std::mutex> turn(busy_, std::try_to_lock);
    int helpers = std::min(threads, count) - 1;
    if (!turn.owns_lock()) helpers = 0;  // another encoder has the crew
    std::unique_lock<std::mutex> lk(m_);
    try {
      while (static_cast<int>(threads_.size()) < helpers)
        threads_.emplace_back(&Crew::work, this, static_cast<int>(threads_.size()));
    } catch (const std::exception&) {
      helpers = static_cast<int>(threads_.size());  // no more threads: fewer hands
    }
    if (helpers <= 0) {
      lk.unlock();
      for (int i = 0; i < count; ++i) task(i);
      return;
    }
    task_ = &task;
    next_ = 0;
    count_ = count;
    pending_ = count;
    helpers_ = helpers;
    ++generation_;
    wake_.notify_all();
    drain(lk);
    done_.wait(lk, [&] { return pending_ == 0; });
    task_ = nullptr;
  }

private:
  void work(int id) {
    unsigned long seen = 0;
    std::unique_lock<std::mutex> lk(m_);
    for (;;) {
      wake_.wait(lk, [&] { return generation_ != seen; });
      seen = generation_;
      if (id < helpers_) drain(lk);
    }
  }
  void drain(std::unique_lock<std::mutex>& lk) {
    while (next_ < count_) {
      const int i = next_++;
      lk.unlock();
      (*task_)(i);
      lk.lock();
      if (--pending_ == 0) done_.notify_all();
    }
  }

  std::mutex busy_;  // one run at a time
  std::mutex m_;
  std::condition_variable wake_, done_;
  std::vector<std::thread> threads_;
  const std::function<void(int)>* task_ = nullptr;
  int next_ = 0, count_ = 0, pending_ = 0, helpers_ = 0;
  unsigned long generation_ = 0;
};

// Never destroyed: its threads wait for work until the process ends.
Crew& crew() {
  static Crew* c = new Crew;
  return *c;
}

void appendBigEndian32(std::vector<uint8_t>& out, uint32_t v) {
  const uint8_t b[4] = {uint8_t(v >> 24), uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)};
  out.insert(out.end(), b, b + 4);
}

}  // namespace

int deflateWorkers() {
  const int set = g_workers.load();
  if (set > 0) return set;
  return std::max(1, std::min(kMostWorkers, processorsOfProcess()));
}

void setDeflateWorkers(int workers) { g_workers.store(std::max(0, workers)); }

int deflateSliceCount(std::size_t n) {
  if (n < 2 * kDeflateSliceBytes) return 1;
  return static_cast<int>(std::min<std::size_t>(kMaxDeflateSlices, n / kDeflateSliceBytes));
}

bool deflateToZlib(const uint8_t* src, std::size_t n, int level, std::vector<uint8_t>& out) {
  return deflateToZlibSlices(src, n, level, deflateWorkers() > 1 ? deflateSliceCount(n) : 1, out);
}

bool deflateToZlibSlices(const uint8_t* src, std::size_t n, int level, int slices,
                         std::vector<uint8_t>& out) {
  if (level < 1 || level > 9 || slices < 1 || n > 0x7FFFFFFFu) return false;
  if (slices == 1 || n < static_cast<std::size_t>(slices)) {
    const uLong srcLen = static_cast<uLong>(n);
    uLongf destLen = compressBound(srcLen);
    Deflater& d = threadDeflater();
    const bool ok = compress2(d.roomFor(destLen), &destLen, src, srcLen, level) == Z_OK;
    if (ok) out.insert(out.end(), d.room.data(), d.room.data() + destLen);
    d.done();
    return ok;
  }

  std::vector<Slice> parts(static_cast<std::size_t>(slices));
  const std::size_t each = n / static_cast<std::size_t>(slices);
  for (int i = 0; i < slices; ++i) {
    Slice& s = parts[static_cast<std::size_t>(i)];
    const std::size_t from = each * static_cast<std::size_t>(i);
    s.begin = src + from;
    s.last = i == slices - 1;
    s.length = s.last ? n - from : each;
    s.primer = std::min(from, kWindow);
  }
  crew().run(slices, deflateWorkers(), [&](int i) {
    try {
      deflateSlice(parts[static_cast<std::size_t>(i)], level);
    } catch (const std::bad_alloc&) {
      parts[static_cast<std::size_t>(i)].ok = false;
    }
  });

  std::size_t total = 6;
  uLong adler = 1;
  for (std::size_t i = 0; i < parts.size(); ++i) {
    if (!parts[i].ok) return false;
    total += parts[i].out.size();
    adler = i == 0 ? parts[i].adler
                   : adler32_combine(adler, parts[i].adler, static_cast<z_off_t>(parts[i].length));
  }
  // The header compress2 writes: deflate, 32 KiB window, the level's class in
  // FLEVEL, FCHECK making it a multiple of 31.
  const unsigned levelClass = level < 2 ? 0 : level < 6 ? 1 : level == 6 ? 2 : 3;
  unsigned header = 0x7800u | levelClass << 6;
  header += 31 - header % 31;
  out.reserve(out.size() + total);
  out.push_back(static_cast<uint8_t>(header >> 8));
  out.push_back(static_cast<uint8_t>(header));
  for (const Slice& s : parts) out.insert(out.end(), s.out.begin(), s.out.end());
  appendBigEndian32(out, static_cast<uint32_t>(adler));
  return true;
}
