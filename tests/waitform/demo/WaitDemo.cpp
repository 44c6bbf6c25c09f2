// waitform_demo.exe: a small program around the progress window and the
// bit-rate dialog for the robot test, started the way the real program
// starts (application object, forms created up front, Run).
//
// Its main form: "假任务" runs a job loop of about twenty seconds (long
// enough for the robot, a new process per command, to reach its button on a
// slow machine) that pumps messages through the progress window; "选择比特率" asks for one of 32, 64
// and 128 kbit/s at 44,100 Hz; "FLASH" shows the progress window as the Flash
// export does and leaves it to the SWF maker's messages. Every outcome goes
// into the label Label1. The optional argument is the working folder of the
// Flash clean-up, without the final separator (a quoted argument ending in a
// backslash would swallow its closing quote).
#include <windows.h>

#include <string>

#include "Forms.h"
#include "SelectBitrateForm_win.h"
#include "StdControls.h"
#include "SysUtils.h"
#include "WaitForm_win.h"

namespace {

// UTF-8 layout text: u8 literals are not turned into code page 936.
const char kMainLayout[] = u8R"(
form TWaitDemoForm {
  Caption = "等待窗口演示"
  BorderStyle = bsSingle
  Position = poDesigned
  Left = 20
  Top = 20
  ClientWidth = 360
  ClientHeight = 90
  TButton Button1 { Caption = "假任务" Bounds = [10, 10, 100, 25] OnClick = Button1Click }
  TButton Button2 { Caption = "选择比特率" Bounds = [120, 10, 100, 25] OnClick = Button2Click }
  TButton Button3 { Caption = "FLASH" Bounds = [230, 10, 100, 25] OnClick = Button3Click }
  TLabel Label1 { Caption = "就绪" AutoSize = false Bounds = [10, 50, 340, 16] }
}
)";

AnsiString g_workingFolder;

}  // namespace

class TWaitDemoForm : public TForm {
public:
  explicit TWaitDemoForm(TComponent* Owner) : TForm(Owner) { LoadLayoutText(kMainLayout, "TWaitDemoForm"); }
  TLabel* Label1 = nullptr;

  void Button1Click(TObject*) {
    showWaitForm("正在测试任务", 800);
    int result = 1;
    for (int i = 1; i <= 800; ++i) {
      if (!waitFormStep(i)) {
        result = -2;
        break;
      }
      Sleep(25);
    }
    renewWaitForm();
    Label1->SetCaption("任务结果: " + IntToStr(result));
  }
  void Button2Click(TObject*) {
    SelectBitrateChooser chooser;
    Label1->SetCaption("比特率选择: " + IntToStr(chooser.chooseBitrate({32, 64, 128}, 44100)));
  }
  void Button3Click(TObject*) { showWaitForm("", 100, "正在处理生成FLASH动画"); }

protected:
  void DeclareMembers(TFormBinder& b) override {
    LAYOUT_COMPONENT(b, Label1);
    LAYOUT_HANDLER(b, Button1Click);
    LAYOUT_HANDLER(b, Button2Click);
    LAYOUT_HANDLER(b, Button3Click);
  }
};

TWaitDemoForm* WaitDemoForm;

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  try {
    Application->Initialize();
    Application->SetTitle("Vidorra");
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (argc > 1) g_workingFolder = WideToCp936(argv[1]) + "\\";
    Application->CreateForm(WaitDemoForm);
    Application->CreateForm(WaitForm);
    Application->CreateForm(SelectBitrateForm);
    installWaitFormProgress();
    FlashJobHooks hooks;
    hooks.workingFolder = [] { return g_workingFolder; };
    hooks.deleteFlashTempFiles = [] { WaitDemoForm->Label1->SetCaption("已清理"); };
    setFlashJobHooks(hooks);
    Application->Run();
  } catch (const Exception& e) {
    Application->ShowException(e.Message);
  }
  return 0;
}
