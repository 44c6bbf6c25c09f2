// Frame images decoded ahead on worker threads, in the order they were
// queued: the reader of a recording queues the images of the frames to come
// while it uses the one in front (saving every frame of a recording writes a
// picture while the next ones inflate; waiting for the front, it decodes a
// queued image itself). Each slot keeps its buffers from one
// frame to the next, so a run of frames of one size allocates nothing after
// the first few. With no worker the queue is never used: the caller decodes
// in turn (the program, pinned to one processor, gains nothing from threads).
// Portable.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "FrameCodec.h"

class FrameDecodeAhead {
public:
  // workers: how many threads decode (0: none, and nothing can be queued).
  explicit FrameDecodeAhead(int workers);
  ~FrameDecodeAhead();
  FrameDecodeAhead(const FrameDecodeAhead&) = delete;
  FrameDecodeAhead& operator=(const FrameDecodeAhead&) = delete;

  int workers() const { return static_cast<int>(threads_.size()); }
  // Room for one more image (false without workers).
  bool canQueue() const;
  // Queues an image (the bytes after its int32 length) to decode with the
  // codec type; `key` names it for the caller (a record's offset). The
  // image's bytes are swapped in, leaving the caller an old buffer to refill.
  void queue(int64_t key, std::vector<uint8_t>& image, int codecType);
  bool empty() const { return count_ == 0; }
  int64_t frontKey() const;
  // Waits for the image in front: 1 and its BMP file image (valid until
  // pop), or -1 when it is damaged.
  int front(const std::vector<uint8_t>*& bmp);
  void pop();
  // Waits for what the workers are on and drops the whole queue.
  void clear();

private:
  enum State { kFree, kQueued, kRunning, kDone };
  struct Slot {
    State state = kFree;
    int64_t key = 0;
    int codecType = 3;
    int result = -1;
    std::vector<uint8_t> image;
    FrameImageDecoder decoder;
  };
  void work();
  Slot* oldestQueued();  // under the lock
  // Decodes a queued slot outside the lock; lk is held on entry and on return.
  void decodeSlot(Slot& job, std::unique_lock<std::mutex>& lk);

  mutable std::mutex m_;
  std::condition_variable changed_;
  std::vector<Slot> slots_;
  std::vector<std::thread> threads_;
  int head_ = 0, count_ = 0;  // the queue, in slots_ order from head_
  bool stop_ = false;
};
