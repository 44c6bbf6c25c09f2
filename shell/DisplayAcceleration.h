// myvideoacc: keeps the display adapter's hardware acceleration level. The
// two special display settings lower it (none at all for faster capture, at
// least level 3 so that played video can be captured); the level the system
// had is written beside the changed one ("qorvimv") so that a run that never
// restored it is undone by the next start, and the destructor puts it back.
// Where the level cannot be read (NT 4, Vista and later) nothing is ever
// written either. The registry and the display sit behind
// AccelerationSystem (DisplayKeeper_win.cpp on Windows, fakes in tests).
// Portable.
#pragma once

#include <memory>

class AccelerationSystem {
public:
  virtual ~AccelerationSystem() = default;
  // False on systems whose level is not the program's to change.
  virtual bool changeable() = 0;
  // The driver key's "Acceleration.Level" (0 when it cannot be read) and
  // "qorvimv" (-1 when absent); false when the key cannot be found or
  // opened (the platform has said why where the program says so).
  virtual bool read(int& level, int& kept) = 0;
  // Writes the level and either writes kept or, for -1, deletes it; false
  // when the key cannot be opened for writing.
  virtual bool write(int level, int kept) = 0;
  // Sets the current display mode again, so that the driver takes the level.
  virtual bool applyMode() = 0;
  virtual void showMessage(const char* text) = 0;
};

class myvideoacc {
public:
  explicit myvideoacc(std::unique_ptr<AccelerationSystem> system);
  ~myvideoacc();
  myvideoacc(const myvideoacc&) = delete;
  myvideoacc& operator=(const myvideoacc&) = delete;

  int readLevel();  // 0 (full acceleration) to 5 (none); -1 unknown
  int setLevel(int level, bool restoring);  // 1 done, 0 not done
  int restoreLevel();
  int disableAll();
  int disableDirectDraw();

  int initialLevel = -1;
  int pendingRestoreLevel = -1;
  int currentLevel = -1;

private:
  std::unique_ptr<AccelerationSystem> system_;
};

extern const char* const kAccelerationRestoreMessage;
