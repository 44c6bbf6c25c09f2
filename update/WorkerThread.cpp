// Detached worker threads with a completion flag (see WorkerThread.h).
#include "WorkerThread.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

struct WorkerHandle::State {
  std::mutex mutex;
  std::condition_variable doneChanged;
  bool done = false;
};

bool WorkerHandle::wait(int ms) const {
  if (!state_) return true;
  std::unique_lock<std::mutex> lock(state_->mutex);
  return state_->doneChanged.wait_for(lock, std::chrono::milliseconds(ms),
                                      [this] { return state_->done; });
}

WorkerHandle startWorker(std::function<void()> job) {
  WorkerHandle handle;
  handle.state_ = std::make_shared<WorkerHandle::State>();
  std::thread([state = handle.state_, job = std::move(job)]() mutable {
    try {
      job();
    } catch (...) {
    }
    // What the job holds is released before anyone is told it has finished.
    job = nullptr;
    std::lock_guard<std::mutex> lock(state->mutex);
    state->done = true;
    state->doneChanged.notify_all();
  }).detach();
  return handle;
}
