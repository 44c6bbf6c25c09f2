// Closing the main window: what the close does first in each state, and the
// two set.dat lines written from more than one check box, for every
// combination of the boxes.
#include <gtest/gtest.h>

#include "ShutdownRules.h"

namespace {

TEST(ShutdownRules, TheFirstStepOfTheClose) {
  struct Row {
    const char* name;
    CloseState state;
    CloseStep step;
  };
  //                                           loading preview recording schedule
  const Row rows[] = {
      {"idle", {false, false, false, 0}, CloseStep::tearDown},
      {"first show unfinished, whatever else holds", {true, true, true, 1}, CloseStep::closeEarly},
      {"camera preview before a recording", {false, true, true, 0}, CloseStep::refusePreview},
      {"recording", {false, false, true, 0}, CloseStep::refuseRecording},
      {"schedule waiting", {false, false, false, 1}, CloseStep::askSchedule},
      {"scheduled recording running: refused as a recording", {false, false, true, 2}, CloseStep::refuseRecording},
      {"scheduled start refused or stopped by hand", {false, false, false, 2}, CloseStep::tearDown},
      {"preview while a schedule waits", {false, true, false, 1}, CloseStep::refusePreview},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    EXPECT_EQ(firstCloseStep(r.state), r.step);
  }
}

TEST(ShutdownRules, TheDisplaySettingLinesForEveryCombinationOfTheirBoxes) {
  // Line 72: "1" only when CheckBox21 and CheckBox22 are both checked.
  const struct { bool c21, c22, line; } line72[] = {
      {false, false, false}, {false, true, false}, {true, false, false}, {true, true, true}};
  for (const auto& r : line72) {
    SCOPED_TRACE(testing::Message() << "72: 21=" << r.c21 << " 22=" << r.c22);
    EXPECT_EQ(keepDisplaySpecialLine(r.c21, r.c22), r.line);
  }
  // Line 111: "1" only when CheckBox21 is unchecked and CheckBox24 and
  // CheckBox25 are checked.
  const struct { bool c21, c24, c25, line; } line111[] = {
      {false, false, false, false}, {false, false, true, false}, {false, true, false, false},
      {false, true, true, true},    {true, false, false, false}, {true, false, true, false},
      {true, true, false, false},   {true, true, true, false}};
  for (const auto& r : line111) {
    SCOPED_TRACE(testing::Message() << "111: 21=" << r.c21 << " 24=" << r.c24 << " 25=" << r.c25);
    EXPECT_EQ(cameraSpecialLine(r.c21, r.c24, r.c25), r.line);
  }
}

}  // namespace
