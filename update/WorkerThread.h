// A job on a thread of its own that nobody has to join: the update threads
// are started and let go, as the program may end while one is still blocked
// in the network. The handle only tells whether the job has finished (tests
// wait on it). Whatever the job touches must be owned by the job itself
// (shared pointers), never borrowed from an object that may be gone. Portable.
#pragma once

#include <functional>
#include <memory>

class WorkerHandle {
public:
  WorkerHandle() = default;
  // True once the job has returned; waits up to ms milliseconds for it.
  bool wait(int ms) const;
  bool started() const { return static_cast<bool>(state_); }

  struct State;

private:
  friend WorkerHandle startWorker(std::function<void()> job);
  std::shared_ptr<State> state_;
};

// Runs job on a new detached thread. An exception leaving job is swallowed:
// a worker has nobody to report to.
WorkerHandle startWorker(std::function<void()> job);
