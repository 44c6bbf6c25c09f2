// Frames saved as pictures from the main window: the shown frame (File menu
// "当前帧另存为图片", PopupMenu1 "保存为图片") as BMP or JPEG, and every frame of
// the selected .lx recording ("所有帧另存为图片") as a numbered series in the
// progress window. The naming and the saving are the portable units'
// (PictureNames, LxFramePictures); this file asks, shows progress and keeps
// the main window out of the way while the job pumps messages. Windows only.
#include "MainForm_win.h"  // first: winsock2.h before windows.h

#include <exception>
#include <memory>
#include <vector>

#include "LxFramePictures.h"
#include "MainFormJob_win.h"
#include "PictureNames.h"
#include "SysUtils.h"
#include "WaitForm_win.h"
#include "WinRecorderPlatform_win.h"

namespace {

// Both commands ask for a name the same way; the first pattern of the filter
// has no dot, as the program has always shown it.
bool askPictureName(TSaveDialog& dialog, AnsiString& name) {
  dialog.FileName = "";
  dialog.DefaultExt = "";
  dialog.Filter = "*.bmp;*jpg|*.bmp;*.jpg";
  dialog.Options |= ofOverwritePrompt;
  if (!dialog.Execute()) return false;
  name = dialog.FileName;
  return true;
}

void showFreeSpace(TMainForm& f) {
  f.Label4->SetCaption(IntToStr(static_cast<int>(freeDiskMB(f.Edit2->Text()))) + "M");
}

// The series' progress in TWaitForm: each picture pumps the queue first, and
// a window no longer shown is the user's cancel.
class WaitFormPictures : public FramePicturesProgress {
public:
  bool frameStarting(int n, int count) override {
    Application->ProcessMessages();
    if (!WaitForm || !WaitForm->Visible()) return false;
    WaitForm->Label1->SetCaption("共" + IntToStr(count) + "帧,正在保存第" + IntToStr(n) + "帧");
    WaitForm->ProgressBar1->SetPosition(n - 1);
    WaitForm->Repaint();
    return true;
  }
};

}  // namespace

// The picture as shown (zoom and caption included) under the chosen name.
void TMainForm::N3Click(TObject*) {
  if (!previewBitmap || previewBitmap->Width() < 1) return;
  AnsiString name;
  if (!askPictureName(*SaveDialog1, name)) return;
  const PictureFile file = currentFramePicture(name);
  std::vector<uint8_t> picture;
  pictureBytes(*Image1->Picture()->Bitmap(), file.kind, picture);
  // The dialog asked before overwriting. The picture is written whole before
  // it replaces the file there: a full disk leaves no cut picture behind.
  if (!replacePictureFile(file.path, picture.data(), picture.size())) ShowMessage("保存失败");
  showFreeSpace(*this);
}

// Every frame at full size, with its cursor and without the caption. The
// frame index is read before anything is asked: a recording without frames
// has nothing to save, and a damaged one says so at once.
void TMainForm::N26Click(TObject*) {
  if (currentFile.IsEmpty()) return;
  std::unique_ptr<TFileStream> in;
  try {
    in.reset(new TFileStream(currentFile, fmOpenRead | fmShareDenyNone));
  } catch (const EStreamError&) {
    ShowMessage("保存失败");
    return;
  }
  LxFrameSeries frames;
  if (!frames.open(*in)) {
    ShowMessage("保存失败");
    return;
  }
  const int count = frames.count();
  if (count == 0) return;
  AnsiString name;
  if (!askPictureName(*SaveDialog1, name)) return;
  const PictureSeries names = framePictureSeries(name);
  if (firstExistingPicture(names, count) > 0 &&
      Application->MessageBox("可能会覆盖一些同名文件，是否继续?", "Vidorra", MB_OKCANCEL) != IDOK)
    return;
  int rc = kFramePicturesFailed;
  {
    MainFormJob job(*this);
    showWaitForm("共" + IntToStr(count) + "帧", count - 1);
    try {
      WaitFormPictures progress;
      int saved = 0;
      rc = saveFramePictures(frames, names, progress, saved);
    } catch (const Exception&) {
      rc = kFramePicturesFailed;
    } catch (const std::exception&) {  // out of memory
      rc = kFramePicturesFailed;
    }
    renewWaitForm();
  }
  in.reset();
  // A failure keeps the pictures written before it, as a cancel does.
  if (rc == kFramePicturesFailed) ShowMessage("保存失败");
  showFreeSpace(*this);
}
