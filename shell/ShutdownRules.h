// What closing the main window decides before it tears anything down, and
// the two display-setting lines it writes back into set.dat, which depend on
// more than one check box. Portable: the close handler feeds it the state
// of its controls.
#pragma once

// What the close does first.
enum class CloseStep {
  closeEarly,       // the first show has not finished: release Winsock, let the window go
  refusePreview,    // "请先停止预览"
  refuseRecording,  // "正在录制动画,如果要关闭软件请先停止录制"
  askSchedule,      // a scheduled start waits: ask; Cancel refuses, OK switches it off
  tearDown,         // close in order
};
struct CloseState {
  bool loadingSettings = false;
  bool previewRunning = false;   // a camera preview runs
  bool recordingExists = false;  // the start button is disabled
  int scheduleState = 0;         // 0 off, 1 waiting, 2 a scheduled recording
};
// A scheduled recording that runs (state 2) is a recording like any other;
// state 2 without one (its start was refused, or it was stopped by hand)
// closes normally.
CloseStep firstCloseStep(const CloseState& state);

// set.dat line 72: the special display setting is kept only when it is on
// (CheckBox21) and the user asked to keep it (CheckBox22).
bool keepDisplaySpecialLine(bool specialOn, bool keepSpecial);
// set.dat line 111: the video-recording special setting is kept only while
// the faster special display setting is off (CheckBox21) and it is on
// (CheckBox24) and asked to be kept (CheckBox25).
bool cameraSpecialLine(bool displaySpecialOn, bool videoSpecialOn, bool keepVideoSpecial);
