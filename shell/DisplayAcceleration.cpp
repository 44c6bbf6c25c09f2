// The display acceleration keeper's rules (see the header).
#include "DisplayAcceleration.h"

const char* const kAccelerationRestoreMessage =
    "上次进行特殊设置后因为特殊原因没有能够恢复原先设置,下面恢复回进行特殊设置前的状态,屏幕可能会闪一下,这是正常现象";

myvideoacc::myvideoacc(std::unique_ptr<AccelerationSystem> system) : system_(std::move(system)) {
  initialLevel = readLevel();
  if (pendingRestoreLevel >= 0) {
    // An earlier run changed the level and never put it back.
    system_->showMessage(kAccelerationRestoreMessage);
    setLevel(pendingRestoreLevel, true);
    initialLevel = pendingRestoreLevel;
    pendingRestoreLevel = -1;
  }
  currentLevel = initialLevel;
}

myvideoacc::~myvideoacc() {
  if (currentLevel != initialLevel) restoreLevel();
}

int myvideoacc::readLevel() {
  if (!system_->changeable()) return -1;
  int level = 0, kept = -1;
  if (!system_->read(level, kept)) return -1;
  pendingRestoreLevel = kept;
  return level < 0 ? 0 : level;
}

int myvideoacc::setLevel(int level, bool restoring) {
  // Where the level cannot be read it is not written either: a caller that
  // asks for a change on Vista would otherwise rewrite a driver key that the
  // system manages itself.
  if (level < 0 || level > 5 || level == currentLevel || !system_->changeable()) return 0;
  if (!system_->write(level, restoring ? -1 : initialLevel)) return 0;
  if (!system_->applyMode()) return 0;
  currentLevel = level;
  return 1;
}

int myvideoacc::restoreLevel() {
  if (initialLevel == -1) return 0;
  int r = setLevel(initialLevel, true);
  if (r == 1) currentLevel = initialLevel;
  return r;
}

int myvideoacc::disableAll() { return currentLevel == 5 ? 0 : setLevel(5, false); }

int myvideoacc::disableDirectDraw() { return currentLevel < 3 ? setLevel(3, false) : 0; }
