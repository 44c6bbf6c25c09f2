// TAutotsForm ("提示"), the window of the once-only tips: it shows one tip
// in Memo4 with the check box "知道了，以后不要再提示"; "确定(&Y)" with the box
// ticked dismisses that tip for good (tishin.dat, see OnceTips.h). Created
// at start-up, it reads the dismissed tips once. Windows only.
#pragma once

#include "Forms.h"
#include "OnceTips.h"
#include "StdControls.h"

class TAutotsForm : public TForm {
public:
  explicit TAutotsForm(TComponent* Owner);
  TMemo* Memo4 = nullptr;
  TCheckBox* CheckBox1 = nullptr;  // "知道了，以后不要再提示"
  TButton* Button2 = nullptr;      // "确定(&Y)"

  DismissedTips dismissedTips;
  AnsiString currentTip;  // the tip on show

  // False when the user dismissed this text (or a longer tip holding it).
  bool shouldShow(const AnsiString& tip) const { return dismissedTips.shouldShow(tip); }
  void setTip(const AnsiString& tip);
  void FormShow(TObject* Sender);
  void Button2Click(TObject* Sender);

protected:
  void DeclareMembers(TFormBinder& b) override;
};

extern TAutotsForm* AutotsForm;

// The callers' pattern: unless the tip was dismissed, shows it modally; the
// caller's action goes on afterwards in any case.
void showOnceTip(const AnsiString& tip);
