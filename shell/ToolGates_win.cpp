// The main window's tool menus: each command runs its gate (ToolGates) on
// the selected recording with the EXE probes of the formats library, then
// shows the refusal or hands the tool form its file and shows it modally.
// Nothing is done after the form closes. Windows only.
#include "ExeContainer.h"
#include "MainForm_win.h"
#include "ShellForms_win.h"
#include "ToolGates.h"

namespace {

// A probe that cannot open the file says so in a box.
class BoxHost : public FormatsHost {
public:
  void showMessage(const AnsiString& text) override { ShowMessage(text); }
};

class FileProbes : public ExeProbes {
public:
  explicit FileProbes(const AnsiString& path) : path_(path) {}
  int version() override { return exeRecordingVersion(path_, host_); }
  int protection() override { return exeProtectionState(path_, host_); }
  int soundPacking() override { return exeSoundPacking(path_, host_); }

private:
  AnsiString path_;
  BoxHost host_;
};

template <class Form>
void showTool(Form* form) {
  if (form) form->ShowModal();
}
template <class Form>
void showToolWithEdit(Form* form, const AnsiString& file) {
  if (!form) return;
  form->Edit1->SetText(file);
  form->ShowModal();
}

void runGate(TMainForm& f, ToolGate gate) {
  FileProbes probes(f.currentFile);
  const GateOutcome g = runToolGate(gate, f.currentFile, f.wmvAvailable != 0, f.appDir, probes);
  if (!g.message.IsEmpty()) {
    ShowMessage(g.message);
    return;
  }
  switch (g.form) {
    case ToolForm::None: break;
    case ToolForm::AVIForm:
      if (!AVIForm) break;
      AVIForm->sourceFile = g.file;
      AVIForm->tempAvi = g.tempAvi;
      AVIForm->programFolder = g.programFolder;
      AVIForm->ShowModal();
      break;
    case ToolForm::AviChangeForm: showToolWithEdit(AviChangeForm, g.file); break;
    case ToolForm::AvihcForm: showTool(AvihcForm); break;
    case ToolForm::AVIjqForm:
      if (AVIjqForm) AVIjqForm->fileName = g.file;
      showTool(AVIjqForm);
      break;
    case ToolForm::EXE2AVIForm: showToolWithEdit(EXE2AVIForm, g.file); break;
    case ToolForm::EXE2LXForm: showToolWithEdit(EXE2LXForm, g.file); break;
    case ToolForm::EXEjqForm:
      if (EXEjqForm) EXEjqForm->fileName = g.file;
      showTool(EXEjqForm);
      break;
    case ToolForm::EXEhcForm: showTool(EXEhcForm); break;
    case ToolForm::DJExeForm: showTool(DJExeForm); break;
    case ToolForm::DJExeTqForm:
      if (DJExeTqForm) DJExeTqForm->fileName = g.file;
      showTool(DJExeTqForm);
      break;
    case ToolForm::LXjqForm:
      if (LXjqForm) LXjqForm->fileName = g.file;
      showTool(LXjqForm);
      break;
    case ToolForm::LXhcForm: showTool(LXhcForm); break;
    case ToolForm::WMVjqForm:
      if (WMVjqForm) WMVjqForm->wmvPath = g.file;
      showTool(WMVjqForm);
      break;
    case ToolForm::WMVhcForm: showTool(WMVhcForm); break;
    case ToolForm::AboutForm: showTool(AboutForm); break;
  }
}

}  // namespace

void TMainForm::AVI1Click(TObject*) { runGate(*this, ToolGate::AviDub); }
void TMainForm::AVI3Click(TObject*) { runGate(*this, ToolGate::AviConvert); }
void TMainForm::AVI4Click(TObject*) { runGate(*this, ToolGate::AviMerge); }
void TMainForm::AVIB1Click(TObject*) { runGate(*this, ToolGate::AviCut); }
void TMainForm::EXEAVI1Click(TObject*) { runGate(*this, ToolGate::ExeToAvi); }
void TMainForm::EXELX1Click(TObject*) { runGate(*this, ToolGate::ExeToLx); }
void TMainForm::EXE7Click(TObject*) { runGate(*this, ToolGate::ExeCut); }
void TMainForm::EXE8Click(TObject*) { runGate(*this, ToolGate::ExeMerge); }
void TMainForm::EXE3Click(TObject*) { runGate(*this, ToolGate::MultiExeMerge); }
void TMainForm::EXE4Click(TObject*) { runGate(*this, ToolGate::MultiExeExtract); }
void TMainForm::LX1Click(TObject*) { runGate(*this, ToolGate::LxCut); }
void TMainForm::LX2Click(TObject*) { runGate(*this, ToolGate::LxMerge); }
void TMainForm::WMVW1Click(TObject*) { runGate(*this, ToolGate::WmvCut); }
void TMainForm::WMV1Click(TObject*) { runGate(*this, ToolGate::WmvMerge); }
void TMainForm::A1Click(TObject*) { runGate(*this, ToolGate::About); }

// The player upgrade arrives with the conversion tools; until then the
// command and the recording browser's upgrade question reach this entry.
void TMainForm::EXE5Click(TObject*) {}
