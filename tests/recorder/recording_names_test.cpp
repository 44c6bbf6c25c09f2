// Names of a recording's files, and the next free number among files that
// exist in a folder.
#include <gtest/gtest.h>

#include "Classes.h"
#include "RecordingNames.h"
#include "SysUtils.h"
#include "test_files.h"

namespace {

TEST(RecordingNames, OutputAndSoundNames) {
  struct Case {
    OutputChoice choice;
    OutputStage stage;
    const char* output;  // CP936, as every literal here
    const char* sound;
  } cases[] = {
      {OutputChoice::Lx, OutputStage::Final, "d\\录像3.lx", "d\\录像31.wav"},
      {OutputChoice::DirectAvi, OutputStage::Final, "d\\录像3.avi", "d\\录像31.wav"},
      {OutputChoice::DirectExe, OutputStage::Final, "d\\录像3.exe", "d\\录像31.wav"},
      {OutputChoice::DirectWmv, OutputStage::Final, "d\\录像3.wmv", "d\\录像31.wav"},
      {OutputChoice::Lx, OutputStage::Exw, "d\\录像3.exw", "d\\录像31.wav"},
      {OutputChoice::DirectExe, OutputStage::Avw, "d\\录像3.avw", "d\\录像31.wav"},
      {OutputChoice::DirectWmv, OutputStage::Wmw, "d\\录像3.wmw", "d\\录像31.wav"},
  };
  for (const Case& c : cases) {
    const AnsiString out = outputFileName("d\\", "录像3", c.choice, c.stage);
    EXPECT_EQ(out.str(), c.output);
    EXPECT_EQ(liveSoundFileName(out).str(), c.sound) << Cp936ToUtf8(c.output);
  }
  EXPECT_TRUE(outputFileName("d\\", "x", OutputChoice::DirectNone).IsEmpty());
}

TEST(RecordingNames, NextFreeNumberSkipsEveryKindOfRecording) {
  TempDir dir;
  const AnsiString folder(dir.folder());
  EXPECT_EQ(nextFreeFileNumber(folder), 1);
  // Numbers 1..3 taken by different kinds, 5 taken, 4 free.
  // Made through the framework, which spells CP936 names natively.
  for (const char* name : {"录像1.lx", "录像2.wmw", "录像3.avw", "录像5.exe", "录像4.wav"})
    TFileStream(folder + name, fmCreate);
  EXPECT_EQ(nextFreeFileNumber(folder), 4);
}

}  // namespace
