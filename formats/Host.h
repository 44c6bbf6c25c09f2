// What the formats library needs of the program around it: a way to tell the
// user something (the message box on Windows) and progress with cancel for
// long jobs (the progress window). The Windows side implements it; tests fake
// it and record what was said. Portable.
#pragma once

#include "System.h"

class FormatsHost {
public:
  virtual ~FormatsHost() = default;
  // Shows a message (CP936) to the user and waits until it is read.
  virtual void showMessage(const AnsiString& text) = 0;
  // Reports progress (0..100); returns false when the user cancelled.
  virtual bool progress(int percent) { return true; }
};

// A host that says nothing: for callers that report failures themselves.
class SilentHost : public FormatsHost {
public:
  void showMessage(const AnsiString&) override {}
};
