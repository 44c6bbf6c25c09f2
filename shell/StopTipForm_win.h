// TTsForm, the stop tip: before a recording starts (not a scheduled one) it
// tells the user which key combination stops the recording, until the user
// ticks "知道了，以后不要再提示"; that choice is kept as line 6 of set.dat.
// Windows only.
#pragma once

#include "Forms.h"
#include "StdControls.h"

class TMainForm;

class TTsForm : public TForm {
public:
  explicit TTsForm(TComponent* Owner);
  TLabel* Label2 = nullptr;        // the combination, such as "Ctrl+Shift+F2"
  TCheckBox* CheckBox1 = nullptr;  // "知道了，以后不要再提示"
  TButton* Button1 = nullptr;      // "确定(&Y)", closes the tip

protected:
  void DeclareMembers(TFormBinder& b) override;
};

extern TTsForm* TsForm;

// The start's stop tip: reads set.dat from the program folder; unless line 6
// says the tip was dismissed, shows the main form and then the tip modally
// with the start/stop key spelled from lines 0-3, and writes line 6 = "1"
// when its check box was ticked. A set.dat that cannot be written keeps the
// tip for the next start; the recording starts either way.
void showStopKeyTip(TMainForm& main);
