// The main form's recording commands: start, pause, continue, single frame
// and stop on the hot-key message, the record tick, the clicks of the hook,
// the recorder-state query and the forced stop at log-off. The recording
// itself is RecordingSession; this unit makes the start checks, paces the
// ticks with a multimedia timer and sets the controls. Windows only.
#pragma once

class TMainForm;

// Fills the main form's recorder hooks (onHotKey, onRecordTick, onHookClick,
// onQueryRecordState, onEndSession). Called once, while the form is created.
void installRecordingControl(TMainForm& form);
