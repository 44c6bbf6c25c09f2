// TSelectBitrateForm, the dialog in which the user picks one of the bit
// rates the installed MP3 or TrueSpeech encoder offers, and the
// BitrateChooser the sound packings ask through it. Windows only.
#pragma once

#include <vector>

#include "Forms.h"
#include "SoundPackingAcm.h"
#include "StdControls.h"

class TSelectBitrateForm : public TForm {
public:
  explicit TSelectBitrateForm(TComponent* Owner);
  TListBox* ListBox1 = nullptr;
  TButton* Button1 = nullptr;  // "取消(&C)"
  TButton* Button2 = nullptr;  // "确定(&Y)"
  // The index of the chosen line; -1 from every show until OK picks a line.
  int choice = -1;

  void FormShow(TObject* Sender);
  void Button2Click(TObject* Sender);
  void Button1Click(TObject* Sender);

protected:
  void DeclareMembers(TFormBinder& b) override;
};

extern TSelectBitrateForm* SelectBitrateForm;

// One line per rate, in the array's order, such as "64kbps 44kHz".
void fillBitrateList(TSelectBitrateForm* form, const int* kbps, int count, int kHz);

// Asks through SelectBitrateForm (made on first use when the application did
// not create it). The progress window is hidden while the dialog is up, as it
// stays on top, and shown again afterwards only when it was shown before: a
// job the user had already cancelled stays cancelled.
class SelectBitrateChooser : public BitrateChooser {
public:
  int chooseBitrate(const std::vector<int>& kbps, int sampleRate) override;
};
