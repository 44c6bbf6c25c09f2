// Entry point of Vidorra.exe: pins the process to the first processor,
// creates the forms in their fixed order with the main form first (its
// creation runs the start-up checks and may end the process), and runs the
// message loop until the main form closes.
#include "MainForm_win.h"
#include "SelectBitrateForm_win.h"
#include "ShellForms_win.h"
#include "WaitForm_win.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  // The recorder's timing assumes one processor.
  SetProcessAffinityMask(GetCurrentProcess(), 1);
  try {
    Application->Initialize();
    Application->SetTitle("Vidorra");
    Application->CreateForm(MainForm);
  Application->CreateForm(AboutForm);
  Application->CreateForm(SelDirForm);
  Application->CreateForm(PlayForm);
  Application->CreateForm(WaitForm);
  Application->CreateForm(TsForm);
  Application->CreateForm(InfoForm);
  Application->CreateForm(AVIForm);
  Application->CreateForm(ExeForm);
  Application->CreateForm(AviChangeForm);
  Application->CreateForm(AvihcForm);
  Application->CreateForm(AVIjqForm);
  Application->CreateForm(EXE2AVIForm);
  Application->CreateForm(DJExeForm);
  Application->CreateForm(DJExeTqForm);
  Application->CreateForm(MakeFlashForm);
  Application->CreateForm(EXE2LXForm);
  Application->CreateForm(LXjqForm);
  Application->CreateForm(LXhcForm);
  Application->CreateForm(EXEjqForm);
  Application->CreateForm(EXEhcForm);
  Application->CreateForm(ASFSetForm);
  Application->CreateForm(JmForm);
  Application->CreateForm(QzysetForm);
  Application->CreateForm(SelectBitrateForm);
  Application->CreateForm(HtbfylForm);
  Application->CreateForm(AutotsForm);
  Application->CreateForm(ASFWaitForm);
  Application->CreateForm(FanweixtForm);
  Application->CreateForm(XiangdaoForm);
  Application->CreateForm(DWmvForm);
  Application->CreateForm(WMVjqForm);
  Application->CreateForm(WMVhcForm);
  Application->CreateForm(AtimeForm);
  Application->CreateForm(LylyxzForm);
  Application->CreateForm(VistaskForm);
  Application->CreateForm(CapsetForm);
    Application->Run();
  } catch (const Exception& e) {
    Application->ShowException(e.Message);
  } catch (const std::exception& e) {
    Application->ShowException(e.what());
  }
  return 0;
}
