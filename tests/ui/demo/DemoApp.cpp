// ui_demo.exe: the program the robot test drives, started the way the real
// program starts (application object, forms created up front, Run). With the
// argument "gallery" the gallery form is the main form instead, for looking
// at every control (screenshots under Xvfb).
//
// Main form: "打开对话框" shows the modal TDemoDialog and then reports its
// modal result and the typed text in a message box; "问候" shows a message;
// closing is refused while "不许关闭" is checked.
#include <windows.h>

#include "Gallery.h"
#include "Forms.h"
#include "StdControls.h"
#include "SysUtils.h"

class TDemoDialog : public TForm {
public:
  explicit TDemoDialog(TComponent* Owner) : TForm(Owner) { LoadLayout("TDemoDialog"); }
  TEdit* Edit1 = nullptr;

protected:
  void DeclareMembers(TFormBinder& b) override { LAYOUT_COMPONENT(b, Edit1); }
};

class TDemoMainForm : public TForm {
public:
  explicit TDemoMainForm(TComponent* Owner) : TForm(Owner) { LoadLayout("TDemoMainForm"); }
  TCheckBox* CheckBox1 = nullptr;
  TLabel* Label1 = nullptr;

  void Button1Click(TObject*);
  void Button2Click(TObject*) { ShowMessage("你好 Hello"); }
  void N3Click(TObject*) { Close(); }
  void FormClose(TObject*, TCloseAction& Action) {
    if (CheckBox1->Checked()) {
      ShowMessage("请先取消不许关闭");
      Action = caNone;
    }
  }

protected:
  void DeclareMembers(TFormBinder& b) override {
    LAYOUT_COMPONENT(b, CheckBox1);
    LAYOUT_COMPONENT(b, Label1);
    LAYOUT_HANDLER(b, Button1Click);
    LAYOUT_HANDLER(b, Button2Click);
    LAYOUT_HANDLER(b, N3Click);
    LAYOUT_HANDLER(b, FormClose);
  }
};

TDemoMainForm* DemoMainForm;
TDemoDialog* DemoDialog;
TGalleryForm* GalleryForm;

void TDemoMainForm::Button1Click(TObject*) {
  DemoDialog->Edit1->SetText("");
  int result = DemoDialog->ShowModal();
  AnsiString text = "结果 " + IntToStr(result) + ": " + DemoDialog->Edit1->Text();
  Label1->SetCaption(text);
  ShowMessage(text);
}

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  try {
    Application->Initialize();
    Application->SetTitle("Vidorra");
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (argc > 1 && lstrcmpW(argv[1], L"gallery") == 0) {
      Application->CreateForm(GalleryForm);
    } else {
      Application->CreateForm(DemoMainForm);
      Application->CreateForm(DemoDialog);
    }
    Application->Run();
  } catch (const Exception& e) {
    Application->ShowException(e.Message);
  }
  return 0;
}
