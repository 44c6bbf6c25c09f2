// The MP3 codec repair dialog: start-up shows it when no MP3 encoder is
// usable although the codec files are present; "尝试修复" registers the codec
// driver and the program must then be started again. Windows only.
#pragma once

#include "Forms.h"
#include "StdControls.h"

class TXfmp3Form : public TForm {
public:
  explicit TXfmp3Form(TComponent* Owner) : TForm(Owner) { LoadLayout("TXfmp3Form"); }
  TMemo* Memo4 = nullptr;
  TButton *Button1 = nullptr, *Button2 = nullptr;
  uint8_t repaired = 0;  // 1 once the driver's value is in the registry

  void FormShow(TObject* Sender) { repaired = 0; }
  void Button1Click(TObject* Sender) { Close(); }
  void Button2Click(TObject* Sender);

protected:
  void DeclareMembers(TFormBinder& b) override {
    LAYOUT_COMPONENT(b, Memo4);
    LAYOUT_COMPONENT(b, Button1);
    LAYOUT_COMPONENT(b, Button2);
    LAYOUT_HANDLER(b, FormShow);
    LAYOUT_HANDLER(b, Button1Click);
    LAYOUT_HANDLER(b, Button2Click);
  }
};

// HKEY_LOCAL_MACHINE key and value of the repair.
extern const char* const kMp3DriverKey;
extern const char* const kMp3DriverValue;
