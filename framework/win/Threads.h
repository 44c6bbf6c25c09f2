// TThread: a worker thread object. Construct, then Start() (or use Run<T>(),
// which does both: a thread created running). With FreeOnTerminate the object
// deletes itself when Execute returns. Windows only.
#pragma once

#include <windows.h>

#include <utility>

class TThread {
public:
  explicit TThread(bool createSuspended = true);
  virtual ~TThread();
  TThread(const TThread&) = delete;
  TThread& operator=(const TThread&) = delete;

  // Constructs a T and starts it: the usual way to make a running thread.
  template <class T, class... A>
  static T* Run(A&&... args) {
    T* t = new T(std::forward<A>(args)...);
    t->Start();
    return t;
  }
  void Start();
  void Terminate() { terminated_ = true; }
  bool Terminated() const { return terminated_; }
  // Waits for Execute to return; not for FreeOnTerminate threads.
  DWORD WaitFor();
  bool FreeOnTerminate = false;
  bool Finished() const { return finished_; }
  HANDLE Handle() const { return handle_; }
  DWORD ReturnValue = 0;

protected:
  virtual void Execute() = 0;

private:
  static DWORD WINAPI Entry(void* self);
  HANDLE handle_ = nullptr;
  DWORD id_ = 0;
  volatile bool terminated_ = false, finished_ = false, started_ = false;
};
