// The stop tip (see StopTipForm_win.h).
#include "StopTipForm_win.h"

#include "MainForm_win.h"
#include "StopKeyText.h"

TTsForm* TsForm = nullptr;

TTsForm::TTsForm(TComponent* Owner) : TForm(Owner) { LoadLayout("TTsForm"); }

void TTsForm::DeclareMembers(TFormBinder& b) {
  LAYOUT_COMPONENT(b, Label2);
  LAYOUT_COMPONENT(b, CheckBox1);
  LAYOUT_COMPONENT(b, Button1);
}

void showStopKeyTip(TMainForm& main) {
  const AnsiString path = main.settingsPath();
  SettingsFile settings;
  settings.loadFromFile(path);
  if (settings.stopTipDismissed()) return;
  if (!TsForm) Application->CreateForm(TsForm);
  TsForm->Label2->SetCaption(spellStopKey(settings.hotKeys()));
  main.Show();
  TsForm->ShowModal();
  if (!TsForm->CheckBox1->Checked()) return;
  try {
    rewriteStopTipDismissed(path);
  } catch (const Exception&) {
    // The tip simply comes again next time.
  }
}
