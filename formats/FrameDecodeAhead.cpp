// Decoding frame images ahead on worker threads. A worker takes the oldest
// queued slot, decodes it outside the lock and marks it done; a caller whose
// front is not done yet decodes a queued slot itself, and waits only when
// every slot is taken.
#include "FrameDecodeAhead.h"

#include <utility>

FrameDecodeAhead::FrameDecodeAhead(int workers) {
  if (workers < 1) return;
  // One image for each worker, the one the caller uses and one that the
  // caller decodes while it waits: deeper queues only cost cache.
  slots_.resize(static_cast<std::size_t>(workers + 2));
  try {
    for (int i = 0; i < workers; ++i) threads_.emplace_back(&FrameDecodeAhead::work, this);
  } catch (const std::system_error&) {
    // Fewer threads than asked for: those that started do the work.
  }
  if (threads_.empty()) slots_.clear();
}

FrameDecodeAhead::~FrameDecodeAhead() {
  {
    std::lock_guard<std::mutex> lk(m_);
    stop_ = true;
  }
  changed_.notify_all();
  for (std::thread& t : threads_) t.join();
}

bool FrameDecodeAhead::canQueue() const {
  std::lock_guard<std::mutex> lk(m_);
  return !threads_.empty() && count_ < static_cast<int>(slots_.size());
}

void FrameDecodeAhead::queue(int64_t key, std::vector<uint8_t>& image, int codecType) {
  {
    std::lock_guard<std::mutex> lk(m_);
    Slot& s = slots_[static_cast<std::size_t>((head_ + count_) % static_cast<int>(slots_.size()))];
    s.key = key;
    s.codecType = codecType;
    s.image.swap(image);
    s.state = kQueued;
    ++count_;
  }
  changed_.notify_all();
}

int64_t FrameDecodeAhead::frontKey() const {
  std::lock_guard<std::mutex> lk(m_);
  return slots_[static_cast<std::size_t>(head_)].key;
}

int FrameDecodeAhead::front(const std::vector<uint8_t>*& bmp) {
  std::unique_lock<std::mutex> lk(m_);
  Slot& s = slots_[static_cast<std::size_t>(head_)];
  // Rather than wait, the caller decodes what no worker has taken yet (the
  // front itself first): two hands share the work of one worker's wait.
  while (s.state != kDone) {
    if (Slot* job = oldestQueued()) {
      decodeSlot(*job, lk);
      continue;
    }
    changed_.wait(lk);
  }
  bmp = &s.decoder.bmp();
  return s.result;
}

FrameDecodeAhead::Slot* FrameDecodeAhead::oldestQueued() {
  for (int i = 0; i < count_; ++i) {
    Slot& s = slots_[static_cast<std::size_t>((head_ + i) % static_cast<int>(slots_.size()))];
    if (s.state == kQueued) return &s;
  }
  return nullptr;
}

void FrameDecodeAhead::decodeSlot(Slot& job, std::unique_lock<std::mutex>& lk) {
  job.state = kRunning;
  lk.unlock();
  SilentHost quiet;  // the caller tells the user about a damaged frame
  int result;
  try {
    result = job.decoder.decode(job.image.data(), job.image.size(), job.codecType, quiet);
  } catch (const std::exception&) {
    result = -1;  // out of memory: a frame that cannot be had
  }
  lk.lock();
  job.result = result;
  job.state = kDone;
  changed_.notify_all();
}

void FrameDecodeAhead::pop() {
  std::unique_lock<std::mutex> lk(m_);
  Slot& s = slots_[static_cast<std::size_t>(head_)];
  changed_.wait(lk, [&] { return s.state == kDone; });
  s.state = kFree;
  head_ = (head_ + 1) % static_cast<int>(slots_.size());
  --count_;
}

void FrameDecodeAhead::clear() {
  while (!empty()) pop();
}

void FrameDecodeAhead::work() {
  std::unique_lock<std::mutex> lk(m_);
  for (;;) {
    Slot* job = nullptr;
    changed_.wait(lk, [&] { return stop_ || (job = oldestQueued()) != nullptr; });
    if (stop_) return;
    decodeSlot(*job, lk);
  }
}
