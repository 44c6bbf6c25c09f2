// A job that runs in the progress window (TWaitForm) from a handler of the
// main window: finishing or repairing a recording, saving all frames. Such
// a job pumps the message queue, so without a guard a menu command, a click
// in the list, a toolbar button or the start hot key would run inside it (a
// delete under a running save, a second job replacing the first one's
// progress window). For the guard's lifetime the main window takes no input
// and TMainForm::jobRunning is above 0: the hot keys and the main window's
// commands test it and do nothing. Windows only.
#pragma once

class TMainForm;

class MainFormJob {
public:
  explicit MainFormJob(TMainForm& form);
  ~MainFormJob();
  MainFormJob(const MainFormJob&) = delete;
  MainFormJob& operator=(const MainFormJob&) = delete;

private:
  TMainForm& form_;
  bool disabled_ = false;
};
