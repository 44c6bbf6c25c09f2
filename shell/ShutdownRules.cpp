// The close's first decision and its two combined lines (see ShutdownRules.h).
#include "ShutdownRules.h"

CloseStep firstCloseStep(const CloseState& s) {
  if (s.loadingSettings) return CloseStep::closeEarly;
  if (s.previewRunning) return CloseStep::refusePreview;
  if (s.recordingExists) return CloseStep::refuseRecording;
  if (s.scheduleState == 1) return CloseStep::askSchedule;
  return CloseStep::tearDown;
}

bool keepDisplaySpecialLine(bool specialOn, bool keepSpecial) { return specialOn && keepSpecial; }

bool cameraSpecialLine(bool displaySpecialOn, bool videoSpecialOn, bool keepVideoSpecial) {
  return !displaySpecialOn && videoSpecialOn && keepVideoSpecial;
}
