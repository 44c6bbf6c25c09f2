// Choosing a window as the recording target on the main form's target page:
// the "窗口" radio button and the "选择窗口" button arm the picking watcher
// (trebis.dll, or the mouse-effect helper on Vista and later); the pointer's
// moves outline the window under it, and the press fixes it as targetWindow,
// writes its rectangle into the range edits and takes its snapshot into the
// preview. A window reaching past the screen becomes the range inside the
// screen. While a pick runs the recording hot keys are off. Windows only.
#pragma once

class TMainForm;

// Wires the radio button, the button and the pick messages (onPickMove,
// onPickDone) of the main form. Called once, after the layout is loaded.
void installTargetPicking(TMainForm& form);
