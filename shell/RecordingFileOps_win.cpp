// The main window's side of the recording list's file operations (save a
// copy, move, rename, delete, delete all, open in the shell) and of the
// menus that fit the selection. The rules are in RecordingFileOps and
// RecordingMenus; here they meet the files (the W functions, the recycle
// bin), the dialogs and the controls the operations leave behind them.
// Windows only.
#include "MainForm_win.h"

#include <shellapi.h>

#include "RecordingFileOps.h"
#include "RecordingMenus.h"
#include "SystemHelpers.h"
#include "SysUtils.h"
#include "WinRecorderPlatform_win.h"

namespace {

class MainFormFiles : public FileOpsHost {
public:
  explicit MainFormFiles(TMainForm& form) : form_(form) {}

  bool fileExists(const AnsiString& path) override { return FileExists(path); }
  bool copyFile(const AnsiString& from, const AnsiString& to, bool overwrite) override {
    return CopyFileW(Cp936ToWide(from).c_str(), Cp936ToWide(to).c_str(), overwrite ? FALSE : TRUE) != 0;
  }
  bool deleteFile(const AnsiString& path) override { return DeleteFileW(Cp936ToWide(path).c_str()) != 0; }
  // MoveFileW never replaces an existing file.
  bool renameFile(const AnsiString& from, const AnsiString& to) override {
    return MoveFileW(Cp936ToWide(from).c_str(), Cp936ToWide(to).c_str()) != 0;
  }
  void recycle(const TStringList& names) override { recycleFiles(form_.Handle(), names); }
  bool chooseTarget(const AnsiString& defaultExt, const AnsiString& filter, AnsiString& path) override {
    TSaveDialog* d = form_.SaveDialog1;
    d->FileName = AnsiString();
    d->DefaultExt = defaultExt;
    d->Filter = filter;
    if (!d->Execute()) return false;
    path = d->FileName;
    return true;
  }
  bool inputQuery(const AnsiString& caption, const AnsiString& prompt, AnsiString& value) override {
    return InputQuery(caption, prompt, value);
  }
  bool askOkCancel(const AnsiString& text) override {
    return Application->MessageBox(text, "Vidorra", MB_OKCANCEL) == IDOK;
  }
  void showMessage(const AnsiString& text) override { ShowMessage(text); }

private:
  TMainForm& form_;
};

// After a delete: a blank 100 x 100 preview and the first pages.
void clearPreview(TMainForm& f) {
  f.Image1->SetWidth(100);
  f.Image1->SetHeight(100);
  TBitmap* picture = f.Image1->Picture()->Bitmap();
  picture->SetSize(100, 100);
  TCanvas* c = picture->Canvas();
  c->Brush.Color = clWhite;
  c->Brush.Style = bsSolid;
  c->FillRect(RECT{0, 0, 100, 100});
  f.Image1->Invalidate();
  f.PageControl1->SetActivePageIndex(0);
  f.PageControl2->SetActivePageIndex(0);
}

// What every delete that went ahead leaves: the free space of the working
// folder's drive and a trial bar with nothing to step through.
void afterDelete(TMainForm& f) {
  f.Label4->SetCaption(IntToStr(static_cast<int>(freeDiskMB(f.Edit2->Text()))) + "M");
  f.TrackBar1->SetMax(1);
  f.TrackBar1->SetEnabled(false);
}

void applySwitches(TMainForm& f, RecordingMenu menu, bool visibility) {
  const int previewWidth = f.previewBitmap ? f.previewBitmap->Width() : 0;
  for (const MenuItemSwitch& s : recordingMenuSwitches(menu, f.currentFile, previewWidth)) {
    TMenuItem* item = dynamic_cast<TMenuItem*>(f.FindComponent(s.item.c_str()));
    if (!item) continue;
    if (visibility) item->SetVisible(s.on);
    else item->SetEnabled(s.on);
  }
}

void openInShell(TMainForm& f) {
  if (!opensInShell(f.currentFile)) return;
  ShellExecuteW(f.Handle(), L"Open", Cp936ToWide(f.currentFile).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

}  // namespace

void TMainForm::N8Click(TObject*) {
  if (currentFile.IsEmpty()) return;
  MainFormFiles files(*this);
  if (saveRecordingCopy(currentFile, files) == FileOpResult::Done) FileListBox1->Update();
}

void TMainForm::N9Click(TObject*) {
  if (currentFile.IsEmpty()) return;
  MainFormFiles files(*this);
  if (moveRecording(currentFile, files) != FileOpResult::Done) return;
  FileListBox1->Update();
  currentFile = AnsiString();
}

void TMainForm::N44Click(TObject*) {
  if (currentFile.IsEmpty()) return;
  MainFormFiles files(*this);
  AnsiString renamed;
  if (renameRecording(currentFile, files, renamed) != FileOpResult::Done) return;
  FileListBox1->Update();
  // The selection follows its file: the old name no longer exists, and every
  // later command on it would fail.
  currentFile = renamed;
}

void TMainForm::N31Click(TObject*) {
  if (!currentFile.IsEmpty()) {
    MainFormFiles files(*this);
    if (deleteRecording(currentFile, files) == FileOpResult::Cancelled) return;
    FileListBox1->Update();
    currentFile = AnsiString();
    clearPreview(*this);
  }
  afterDelete(*this);
}

void TMainForm::N32Click(TObject*) {
  MainFormFiles files(*this);
  TStringList items;
  for (int i = 0; i < FileListBox1->Items()->Count(); ++i) items.Add((*FileListBox1->Items())[i]);
  if (deleteAllRecordings(Edit2->Text(), items, files) == FileOpResult::Cancelled) return;
  FileListBox1->Update();
  clearPreview(*this);
  afterDelete(*this);
}

void TMainForm::FileListBox1DblClick(TObject*) { openInShell(*this); }
void TMainForm::N34Click(TObject*) { openInShell(*this); }

void TMainForm::F1Click(TObject*) { applySwitches(*this, RecordingMenu::File, false); }
void TMainForm::E2Click(TObject*) { applySwitches(*this, RecordingMenu::Edit, false); }
void TMainForm::N18Click(TObject*) { applySwitches(*this, RecordingMenu::Generate, false); }
void TMainForm::PopupMenu2Popup(TObject*) { applySwitches(*this, RecordingMenu::ListPopup, true); }

void TMainForm::declareRecordingListHandlers(TFormBinder& b) {
  LAYOUT_HANDLER(b, N8Click);
  LAYOUT_HANDLER(b, N9Click);
  LAYOUT_HANDLER(b, N44Click);
  LAYOUT_HANDLER(b, N31Click);
  LAYOUT_HANDLER(b, N32Click);
  LAYOUT_HANDLER(b, FileListBox1DblClick);
  LAYOUT_HANDLER(b, N34Click);
  LAYOUT_HANDLER(b, F1Click);
  LAYOUT_HANDLER(b, E2Click);
  LAYOUT_HANDLER(b, N18Click);
  LAYOUT_HANDLER(b, PopupMenu2Popup);
  LAYOUT_HANDLER(b, AVI1Click);
  LAYOUT_HANDLER(b, AVI3Click);
  LAYOUT_HANDLER(b, AVI4Click);
  LAYOUT_HANDLER(b, AVIB1Click);
  LAYOUT_HANDLER(b, EXEAVI1Click);
  LAYOUT_HANDLER(b, EXELX1Click);
  LAYOUT_HANDLER(b, EXE7Click);
  LAYOUT_HANDLER(b, EXE8Click);
  LAYOUT_HANDLER(b, EXE3Click);
  LAYOUT_HANDLER(b, EXE4Click);
  LAYOUT_HANDLER(b, LX1Click);
  LAYOUT_HANDLER(b, LX2Click);
  LAYOUT_HANDLER(b, WMVW1Click);
  LAYOUT_HANDLER(b, WMV1Click);
  LAYOUT_HANDLER(b, A1Click);
  LAYOUT_HANDLER(b, EXE5Click);
}
