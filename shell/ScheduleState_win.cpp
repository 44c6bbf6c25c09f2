// The scheduled-recording state of the main form as the rest of the form
// changes it: leaving the wait stops the wait's one-second timer and gives
// the menus, the tool bar, the file list and the time pickers back. Entering
// the wait belongs to the schedule page's button.
#include "MainForm_win.h"

#include <mmsystem.h>

#include "Menus.h"

bool TMainForm::setScheduleState(int state) {
  if (scheduleState == 1 && scheduleTimerId != 0) {
    timeKillEvent(scheduleTimerId);
    timeEndPeriod(1);
    scheduleTimerId = 0;
  }
  showScheduleState(state);
  scheduleState = state;
  return true;
}

void TMainForm::showScheduleState(int state) {
  if (state != 1 && scheduleState != 1) return;
  const bool on = state != 1;
  for (const char* name : {"F1", "T1", "N18", "E1", "E2", "H1"})
    if (auto* item = dynamic_cast<TMenuItem*>(FindComponent(name))) item->SetEnabled(on);
  ToolBar1->SetEnabled(on);
  FileListBox1->SetEnabled(on);
  DateTimePicker2->SetEnabled(on);
  DateTimePicker3->SetEnabled(on);
  if (auto* button = dynamic_cast<TSpeedButton*>(FindComponent("SpeedButton18")))
    button->SetCaption(on ? "开始定时" : "取消定时");
}
