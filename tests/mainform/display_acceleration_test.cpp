// The display acceleration keeper against a fake registry and display: what
// is written when a special setting lowers the level, that the level is put
// back (at the end or by the next start when a run never got there), and
// that nothing is written where the level is not the program's.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "DisplayAcceleration.h"

namespace {

struct Machine {
  bool changeable = true, keyFound = true, applyWorks = true;
  int level = 0, kept = -1;  // the driver key's two values; kept -1: absent
  std::vector<std::string> log;
};

class FakeSystem : public AccelerationSystem {
public:
  explicit FakeSystem(Machine& m) : m_(m) {}
  bool changeable() override { return m_.changeable; }
  bool read(int& level, int& kept) override {
    if (!m_.keyFound) return false;
    level = m_.level;
    kept = m_.kept;
    return true;
  }
  bool write(int level, int kept) override {
    if (!m_.keyFound) return false;
    m_.level = level;
    m_.kept = kept;
    m_.log.push_back("write " + std::to_string(level) + " " + std::to_string(kept));
    return true;
  }
  bool applyMode() override {
    m_.log.push_back("apply");
    return m_.applyWorks;
  }
  void showMessage(const char* text) override { m_.log.push_back(std::string("message ") + text); }

private:
  Machine& m_;
};

std::unique_ptr<myvideoacc> Keeper(Machine& m) {
  return std::unique_ptr<myvideoacc>(new myvideoacc(std::unique_ptr<AccelerationSystem>(new FakeSystem(m))));
}

TEST(DisplayAcceleration, FasterCaptureSwitchesAccelerationOffOnceAndTheEndPutsItBack) {
  Machine m;
  m.level = 1;
  {
    auto k = Keeper(m);
    EXPECT_EQ(k->initialLevel, 1);
    EXPECT_EQ(k->disableAll(), 1);
    EXPECT_EQ(k->disableAll(), 0);
    EXPECT_EQ(m.level, 5);
    EXPECT_EQ(m.kept, 1) << "the level to restore is kept beside the changed one";
  }
  EXPECT_EQ(m.level, 1);
  EXPECT_EQ(m.kept, -1);
  EXPECT_EQ(m.log, (std::vector<std::string>{"write 5 1", "apply", "write 1 -1", "apply"}));
}

TEST(DisplayAcceleration, VideoCaptureRaisesOnlyALevelBelowThree) {
  const int levels[] = {0, 1, 2, 3, 4, 5};
  for (int level : levels) {
    Machine m;
    m.level = level;
    auto k = Keeper(m);
    EXPECT_EQ(k->disableDirectDraw(), level < 3 ? 1 : 0) << level;
    EXPECT_EQ(m.level, level < 3 ? 3 : level) << level;
  }
}

TEST(DisplayAcceleration, ALevelLeftChangedByAnEarlierRunIsRestoredFirst) {
  Machine m;
  m.level = 5;
  m.kept = 2;
  auto k = Keeper(m);
  ASSERT_FALSE(m.log.empty());
  EXPECT_EQ(m.log[0], std::string("message ") + kAccelerationRestoreMessage);
  EXPECT_EQ(m.level, 2);
  EXPECT_EQ(m.kept, -1);
  EXPECT_EQ(k->initialLevel, 2);
  EXPECT_EQ(k->currentLevel, 2);
  EXPECT_EQ(k->pendingRestoreLevel, -1);
}

TEST(DisplayAcceleration, NothingIsWrittenWhereTheLevelIsNotTheProgramsToChange) {
  Machine m;
  m.changeable = false;  // Vista and later, NT 4
  m.level = 0;
  {
    auto k = Keeper(m);
    EXPECT_EQ(k->initialLevel, -1);
    EXPECT_EQ(k->disableAll(), 0);
    EXPECT_EQ(k->disableDirectDraw(), 0);
    EXPECT_EQ(k->restoreLevel(), 0);
  }
  EXPECT_TRUE(m.log.empty());
  EXPECT_EQ(m.level, 0);
}

TEST(DisplayAcceleration, AModeThatCannotBeSetLeavesTheLevelToTheNextStart) {
  Machine m;
  m.level = 0;
  m.applyWorks = false;
  {
    auto k = Keeper(m);
    EXPECT_EQ(k->disableAll(), 0);
    EXPECT_EQ(k->currentLevel, 0);
  }
  // The key already holds the change and the level to go back to: the next
  // start restores it.
  EXPECT_EQ(m.level, 5);
  EXPECT_EQ(m.kept, 0);
  m.applyWorks = true;
  auto next = Keeper(m);
  EXPECT_EQ(m.level, 0);
  EXPECT_EQ(next->initialLevel, 0);
}

TEST(DisplayAcceleration, ANegativeStoredLevelCountsAsFullAcceleration) {
  Machine m;
  m.level = -3;
  auto k = Keeper(m);
  EXPECT_EQ(k->initialLevel, 0);
}

}  // namespace
