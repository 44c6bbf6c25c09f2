// The bit-rate dialog and its BitrateChooser. Windows only.
#include "SelectBitrateForm_win.h"

#include "SysUtils.h"
#include "WaitForm_win.h"

TSelectBitrateForm* SelectBitrateForm = nullptr;

TSelectBitrateForm::TSelectBitrateForm(TComponent* Owner) : TForm(Owner) { LoadLayout("TSelectBitrateForm"); }

void TSelectBitrateForm::DeclareMembers(TFormBinder& b) {
  LAYOUT_COMPONENT(b, ListBox1);
  LAYOUT_COMPONENT(b, Button1);
  LAYOUT_COMPONENT(b, Button2);
  LAYOUT_HANDLER(b, FormShow);
  LAYOUT_HANDLER(b, Button2Click);
  LAYOUT_HANDLER(b, Button1Click);
}

void TSelectBitrateForm::FormShow(TObject*) { choice = -1; }

void TSelectBitrateForm::Button2Click(TObject*) {
  const int index = ListBox1->ItemIndex();
  if (index < 0) return;
  choice = index;
  Close();
}

void TSelectBitrateForm::Button1Click(TObject*) { Close(); }

void fillBitrateList(TSelectBitrateForm* form, const int* kbps, int count, int kHz) {
  form->ListBox1->Items()->Clear();
  for (int i = 0; i < count; ++i)
    form->ListBox1->Items()->Add(IntToStr(kbps[i]) + "kbps " + IntToStr(kHz) + "kHz");
}

int SelectBitrateChooser::chooseBitrate(const std::vector<int>& kbps, int sampleRate) {
  if (!SelectBitrateForm) SelectBitrateForm = new TSelectBitrateForm(Application);
  const bool waitShown = WaitForm && WaitForm->Visible();
  if (waitShown) WaitForm->Hide();
  fillBitrateList(SelectBitrateForm, kbps.data(), static_cast<int>(kbps.size()), sampleRate / 1000);
  try {
    SelectBitrateForm->ShowModal();
  } catch (...) {
    if (waitShown && WaitForm) WaitForm->Show();
    throw;
  }
  if (waitShown && WaitForm) WaitForm->Show();
  const int choice = SelectBitrateForm->choice;
  return choice >= 0 && choice < static_cast<int>(kbps.size()) ? choice : -1;
}
