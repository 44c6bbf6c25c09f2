// The click kinds the recorder stores per mouse event: left press 1, right
// press 2, second press of a left double click 3, by the desktop's rule
// (time strictly below the double-click time, inside a box centred on the
// first press; a completed double click starts afresh).
#include <gtest/gtest.h>

#include <vector>

#include "ClickKinds.h"

namespace {

struct Press {
  int button;
  uint32_t time;
  int x, y;
  bool systemDouble;
  int kind;
};

struct Case {
  const char* name;
  std::vector<Press> presses;
};

// Double-click time 500 ms, box 4 x 4 (|dx| and |dy| up to 2).
const Case kCases[] = {
    {"single", {{kButtonLeft, 1000, 10, 10, false, 1}}},
    {"right", {{kButtonRight, 1000, 10, 10, false, 2}, {kButtonRight, 1100, 10, 10, false, 2}}},
    {"double", {{kButtonLeft, 1000, 10, 10, false, 1}, {kButtonLeft, 1499, 12, 8, false, 3}}},
    {"too slow", {{kButtonLeft, 1000, 10, 10, false, 1}, {kButtonLeft, 1500, 10, 10, false, 1}}},
    {"too far", {{kButtonLeft, 1000, 10, 10, false, 1}, {kButtonLeft, 1100, 13, 10, false, 1}}},
    {"triple is double then single",
     {{kButtonLeft, 1000, 10, 10, false, 1},
      {kButtonLeft, 1100, 10, 10, false, 3},
      {kButtonLeft, 1200, 10, 10, false, 1},
      {kButtonLeft, 1300, 10, 10, false, 3}}},
    {"tick count wraps",
     {{kButtonLeft, 0xFFFFFF00u, 10, 10, false, 1}, {kButtonLeft, 0x00000010u, 10, 10, false, 3}}},
    {"right press between keeps the left pair",
     {{kButtonLeft, 1000, 10, 10, false, 1},
      {kButtonRight, 1050, 10, 10, false, 2},
      {kButtonLeft, 1100, 10, 10, false, 3}}},
    {"system double message wins",
     {{kButtonLeft, 1000, 10, 10, false, 1}, {kButtonLeft, 1700, 10, 10, true, 3},
      {kButtonLeft, 1750, 10, 10, false, 1}}},
    {"middle is not reported", {{2, 1000, 10, 10, false, 0}}},
};

TEST(ClickKinds, FollowTheDoubleClickRule) {
  for (const Case& c : kCases) {
    ClickHistory h = {};
    for (size_t i = 0; i < c.presses.size(); ++i) {
      const Press& p = c.presses[i];
      EXPECT_EQ(p.kind, classifyClick(h, p.button, p.time, p.x, p.y, 500, 4, 4, p.systemDouble))
          << c.name << ", press " << i;
    }
  }
}

}  // namespace
