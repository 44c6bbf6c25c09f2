// The once-only tip window (see OnceTipsForm_win.h).
#include "OnceTipsForm_win.h"

#include "SysUtils.h"

TAutotsForm* AutotsForm = nullptr;

namespace {
AnsiString tipsPath() { return ExtractFilePath(Application->ExeName()) + "tishin.dat"; }
}  // namespace

TAutotsForm::TAutotsForm(TComponent* Owner) : TForm(Owner) {
  dismissedTips.loadFromFile(tipsPath());
  LoadLayout("TAutotsForm");
}

void TAutotsForm::DeclareMembers(TFormBinder& b) {
  LAYOUT_COMPONENT(b, Memo4);
  LAYOUT_COMPONENT(b, CheckBox1);
  LAYOUT_COMPONENT(b, Button2);
  LAYOUT_HANDLER(b, FormShow);
  LAYOUT_HANDLER(b, Button2Click);
}

void TAutotsForm::setTip(const AnsiString& tip) {
  currentTip = tip;
  Memo4->Clear();
  Memo4->SetText(tip);
}

void TAutotsForm::FormShow(TObject* Sender) { CheckBox1->SetChecked(false); }

void TAutotsForm::Button2Click(TObject* Sender) {
  // A tishin.dat that cannot be written keeps the tip dismissed for this run.
  if (CheckBox1->Checked()) dismissedTips.dismiss(currentTip, tipsPath());
  Close();
}

void showOnceTip(const AnsiString& tip) {
  if (!AutotsForm || !AutotsForm->shouldShow(tip)) return;
  AutotsForm->setTip(tip);
  AutotsForm->ShowModal();
}
