// TThread on CreateThread. The thread is made suspended and resumed by
// Start(), after the most-derived constructor has finished, so Execute never
// sees a half-built object.
#include "Threads.h"

TThread::TThread(bool) {
  handle_ = CreateThread(nullptr, 0, Entry, this, CREATE_SUSPENDED, &id_);
}

TThread::~TThread() {
  if (handle_) {
    if (!started_) {
      // Never started: let it run to an immediate end.
      terminated_ = true;
      FreeOnTerminate = false;
      started_ = true;
      ResumeThread(handle_);
      WaitForSingleObject(handle_, INFINITE);
    }
    CloseHandle(handle_);
  }
}

void TThread::Start() {
  if (started_ || !handle_) return;
  started_ = true;
  ResumeThread(handle_);
}

DWORD TThread::WaitFor() {
  if (!handle_) return ReturnValue;
  WaitForSingleObject(handle_, INFINITE);
  return ReturnValue;
}

DWORD WINAPI TThread::Entry(void* p) {
  TThread* self = static_cast<TThread*>(p);
  if (!self->terminated_) {
    try {
      self->Execute();
    } catch (...) {
      // A worker has nowhere to show an exception; it just ends.
    }
  }
  DWORD rv = self->ReturnValue;
  self->finished_ = true;
  if (self->FreeOnTerminate) delete self;
  return rv;
}
