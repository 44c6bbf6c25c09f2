// The shared progress window, its SWF-maker messages, and the adapters that
// let portable jobs report to it. Windows only. Nothing here keeps a pointer
// to a particular instance: jobs replace the window after every run, so each
// call goes through the WaitForm variable as it stands.
#include "WaitForm_win.h"

#include <utility>

#include "SysUtils.h"

TWaitForm* WaitForm = nullptr;

namespace {

const char kIdleCaption[] = "正在处理";

FlashJobHooks g_flashHooks;

WaitFormProgressWindow g_progressWindow;

}  // namespace

TWaitForm::TWaitForm(TComponent* Owner) : TForm(Owner) { LoadLayout("TWaitForm"); }

void TWaitForm::DeclareMembers(TFormBinder& b) {
  LAYOUT_COMPONENT(b, Label1);
  LAYOUT_COMPONENT(b, ProgressBar1);
  LAYOUT_COMPONENT(b, SpeedButton1);
  LAYOUT_HANDLER(b, SpeedButton1Click);
  LAYOUT_HANDLER(b, FormClose);
}

void TWaitForm::SpeedButton1Click(TObject*) { Close(); }

// A caption a job set (the Flash export's) must not outlive the job.
void TWaitForm::FormClose(TObject*, TCloseAction&) { SetCaption(kIdleCaption); }

void TWaitForm::Dispatch(TMessage& Message) {
  if (Message.Msg == WM_FLASH_PROGRESS) {
    wmFlashProgress(Message);
    return;
  }
  TForm::Dispatch(Message);
}

void TWaitForm::wmFlashProgress(TMessage& Message) {
  Message.Result = 0;
  // The percent travels in an LPARAM; the bar clamps it to its own range.
  const int value = static_cast<int>(Message.LParam);
  switch (Message.WParam) {
    case 2:
      Label1->SetCaption("正在转换-预处理图象");
      ProgressBar1->SetPosition(value);
      Label1->Repaint();
      break;
    case 3:
      Label1->SetCaption("正在转换-处理图象");
      ProgressBar1->SetPosition(value);
      Repaint();
      break;
    case 4:
      Label1->SetCaption("正在进行最后生成");
      Repaint();
      break;
    case 5:
      Close();
      finishFlashJob();
      break;
    default:
      break;
  }
}

// ---- the job's side ----------------------------------------------------------------
void showWaitForm(const AnsiString& text, int maximum, const AnsiString& caption) {
  if (!WaitForm) return;
  WaitForm->Label1->SetCaption(text);
  WaitForm->ProgressBar1->SetMax(maximum);
  WaitForm->ProgressBar1->SetPosition(0);
  if (!caption.IsEmpty()) WaitForm->SetCaption(caption);
  WaitForm->Show();
  WaitForm->Repaint();
}

bool waitFormStep(int position) {
  Application->ProcessMessages();
  if (!WaitForm || !WaitForm->Visible()) return false;
  WaitForm->ProgressBar1->SetPosition(position);
  WaitForm->Repaint();
  return true;
}

void renewWaitForm() {
  TWaitForm* old = WaitForm;
  TComponent* owner = Application->MainForm();
  if (!owner) owner = Application;
  if (old) {
    old->Close();
    old->Release();
  }
  WaitForm = nullptr;
  WaitForm = new TWaitForm(owner);
}

void WaitFormHost::showMessage(const AnsiString& text) { ShowMessage(text); }

bool WaitFormHost::progress(int percent) {
  g_progressWindow.setProgress(100, percent);
  g_progressWindow.processMessages();
  return g_progressWindow.isShown();
}

void WaitFormProgressWindow::setProgress(int maximum, int position) {
  if (!WaitForm) return;
  if (WaitForm->ProgressBar1->Max() != maximum) WaitForm->ProgressBar1->SetMax(maximum);
  WaitForm->ProgressBar1->SetPosition(position);
}

void WaitFormProgressWindow::processMessages() { Application->ProcessMessages(); }

bool WaitFormProgressWindow::isShown() { return WaitForm && WaitForm->Visible(); }

void installWaitFormProgress() { setSoundProgressWindow(&g_progressWindow); }

// ---- the end of a Flash export ---------------------------------------------------
void setFlashJobHooks(FlashJobHooks hooks) { g_flashHooks = std::move(hooks); }

void finishFlashJob() {
  if (g_flashHooks.workingFolder) DeleteFile(g_flashHooks.workingFolder() + "lsflash.tmp");
  if (g_flashHooks.deleteFlashTempFiles) g_flashHooks.deleteFlashTempFiles();
}
