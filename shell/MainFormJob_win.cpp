// The main window while a progress-window job runs (see MainFormJob_win.h).
#include "MainFormJob_win.h"

#include "MainForm_win.h"

MainFormJob::MainFormJob(TMainForm& form) : form_(form) {
  if (form_.jobRunning++ == 0 && form_.Handle() && IsWindowEnabled(form_.Handle())) {
    // As a modal window would: the progress window, owned by the main
    // window, stays usable (its "取消" is the job's cancel).
    EnableWindow(form_.Handle(), FALSE);
    disabled_ = true;
  }
}

MainFormJob::~MainFormJob() {
  --form_.jobRunning;
  if (disabled_) EnableWindow(form_.Handle(), TRUE);
}
