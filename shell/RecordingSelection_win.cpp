// The selection of the recording list as far as the file operations and the
// tool gates need it: the chosen file becomes currentFile. The recording
// browser's own handler (properties, preview, finishing) takes its place.
// Windows only.
#include "MainForm_win.h"

void TMainForm::FileListBox1Click(TObject*) { currentFile = FileListBox1->FileName(); }
