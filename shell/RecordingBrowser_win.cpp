// The recording browser on the main window: a click in the working folder's
// list makes that file the current recording and shows it (status line,
// first frame, the generate page for an .lx recording), offers to finish or
// repair what a direct recording left unfinished, and takes an EXE with a
// damaged tail through its repair questions first. What is shown comes from
// RecordingView (portable, tested natively); this file puts it into the
// controls and reads the AVI and WMV facts from their Windows components.
#include "MainForm_win.h"  // winsock2.h before windows.h

#include <vfw.h>

#include <memory>

#include "AvwFinish.h"
#include "Canvas.h"
#include "ExwFinish.h"
#include "FrameCaptions.h"
#include "MainFormJob_win.h"
#include "RecordingNames.h"
#include "RecordingView.h"
#include "SysUtils.h"
#include "WaitForm_win.h"
#include "WmvLibrary_win.h"

namespace {

const char kTitle[] = "Vidorra";
const TColor kPresent = 0x8000, kMissing = 255;  // "有" green, "无" red

// Messages in boxes, questions as Yes/No boxes titled "Vidorra".
class BoxHost : public BrowserHost {
public:
  void showMessage(const AnsiString& text) override { ShowMessage(text); }
  bool ask(const AnsiString& question) override {
    return Application->MessageBox(question, kTitle, MB_YESNO) == IDYES;
  }
};

bool askYesNo(const AnsiString& question) { return Application->MessageBox(question, kTitle, MB_YESNO) == IDYES; }

// The first frame's pixels behind a BITMAPINFOHEADER (and its palette), drawn
// 1:1 into the preview when the header is one a picture can have here.
void takeFirstFrame(TBitmap& preview, const BITMAPINFOHEADER* h) {
  if (!firstFrameFits(h->biBitCount, h->biWidth, h->biHeight, GetSystemMetrics(SM_CXSCREEN),
                      GetSystemMetrics(SM_CYSCREEN)))
    return;
  const int w = h->biWidth, ht = h->biHeight;
  preview.SetSize(w, ht);
  const uint8_t* bits = reinterpret_cast<const uint8_t*>(h) + firstFrameBitsOffset(h->biBitCount);
  StretchDIBits(static_cast<HDC>(preview.DC()), 0, 0, w, ht, 0, 0, w, ht, bits,
                reinterpret_cast<const BITMAPINFO*>(h), DIB_RGB_COLORS, SRCCOPY);
  GdiFlush();
}

}  // namespace

void TMainForm::declareBrowserMembers(TFormBinder& b) {
  LAYOUT_COMPONENT(b, StatusBar1);
  LAYOUT_COMPONENT(b, Edit7);
  LAYOUT_COMPONENT(b, Edit10);
  LAYOUT_COMPONENT(b, Edit11);
  LAYOUT_COMPONENT(b, Edit12);
  LAYOUT_COMPONENT(b, Edit13);
  LAYOUT_COMPONENT(b, Label13);
  LAYOUT_COMPONENT(b, Label26);
  LAYOUT_COMPONENT(b, Label30);
  LAYOUT_COMPONENT(b, Label31);
  LAYOUT_COMPONENT(b, Label32);
  LAYOUT_COMPONENT(b, RadioButton18);
  LAYOUT_COMPONENT(b, RadioButton19);
  LAYOUT_COMPONENT(b, RadioButton20);
  LAYOUT_COMPONENT(b, RadioButton21);
  LAYOUT_COMPONENT(b, RadioButton26);
  LAYOUT_COMPONENT(b, RadioButton27);
  LAYOUT_COMPONENT(b, RadioButton28);
  LAYOUT_COMPONENT(b, CheckBox4);
  LAYOUT_COMPONENT(b, CheckBox14);
  LAYOUT_HANDLER(b, FileListBox1Click);
  LAYOUT_HANDLER(b, RadioButton20Click);
  LAYOUT_HANDLER(b, RadioButton21Click);
}

// ---- the facts of every status line ----------------------------------------------

float TMainForm::fileSizeKB(const AnsiString& path) { return static_cast<float>(::fileSizeKB(path)); }

AnsiString TMainForm::fileCreationText(const AnsiString& path) {
  HANDLE f = CreateFileW(Cp936ToWide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (f == INVALID_HANDLE_VALUE) return "-1";
  FILETIME created, local;
  SYSTEMTIME t;
  const bool ok = GetFileTime(f, &created, nullptr, nullptr) && FileTimeToLocalFileTime(&created, &local) &&
                  FileTimeToSystemTime(&local, &t);
  CloseHandle(f);
  if (!ok) return "-1";
  return creationTimeText(t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute);
}

AnsiString TMainForm::fileFacts(const AnsiString& path) {
  return fileFactsText(static_cast<int>(fileSizeKB(path)), fileCreationText(path));
}

// ---- the list --------------------------------------------------------------------

void TMainForm::FileListBox1Click(TObject* Sender) {
  // While a progress-window job runs the list is not a way into a second one.
  if (jobRunning) return;
  const AnsiString selected = FileListBox1->FileName();
  if (selected.IsEmpty()) return;
  if (selected != currentFile) {
    currentFile = selected;
    switch (recordingKindOf(currentFile)) {
      case RecordingKind::UnfinishedExe:
        finishOrRepairExw();
        return;
      case RecordingKind::UnfinishedAvi:
        finishAvw();
        return;
      case RecordingKind::Avi:
      case RecordingKind::Wmv:
        PageControl1->SetActivePageIndex(0);
        if (recordingKindOf(currentFile) == RecordingKind::Avi) showAviInfo(currentFile);
        else showWmvInfo(currentFile);
        redrawTrialFrame();
        TrackBar1->SetMax(1);
        TrackBar1->SetEnabled(false);
        return;
      case RecordingKind::Exe:
        selectExe();
        return;
      case RecordingKind::Lx:
        if (!showLx()) return;
        break;
    }
  }
  if (hasLxExtension(currentFile)) PageControl1->SetActivePageIndex(1);
}

// The trial bar of every kind but .lx: disabled with maximum 1, and the
// preview redrawn from previewBitmap.
void TMainForm::leaveTrialBar() {
  TrackBar1->SetEnabled(false);
  TrackBar1->SetMax(1);
  redrawTrialFrame();
}

// What moving the trial bar does (its change handler, the preview's): for
// the kinds other than .lx only the preview is drawn again.
void TMainForm::redrawTrialFrame() {
  if (TrackBar1->OnChange) TrackBar1->OnChange(TrackBar1);
  else drawPreview();
}

void TMainForm::finishOrRepairExw() {
  StatusBar1->SetSimpleText(fileFacts(currentFile));
  WaitFormHost host;
  const AnsiString exw = currentFile;
  if (exwNeedsRepair(exw, host) == 0) {
    if (!askYesNo("此EXE录像还未最后完成,现在要完成它吗?")) {
      leaveTrialBar();
      return;
    }
    ExwFinishOptions options;
    options.soundCodec = playSettings.soundCodec;
    options.clickSoundFolder = appDir;
    bool done;
    {
      MainFormJob job(*this);
      showWaitForm("开始准备完成", 100);
      done = finishExwRecording(exw, liveSoundFileName(exw), options, host);
      renewWaitForm();
    }
    if (done) {
      ShowMessage("完成EXE成功");
      FileListBox1->Update();
    } else {
      ShowMessage("完成EXE失败");
    }
  } else {
    if (!askYesNo("未完成的录像,是否进行修复?")) {
      leaveTrialBar();
      return;
    }
    SaveDialog1->FileName = "修复" + ExtractFileName(exeNameFor(exw));
    SaveDialog1->DefaultExt = "exe";
    SaveDialog1->Filter = "*.exe|*.exe";
    SaveDialog1->InitialDir = Edit2->Text();
    if (!SaveDialog1->Execute()) {
      leaveTrialBar();
      return;
    }
    const AnsiString live = liveSoundFileName(exw);
    ExwRepairOptions options;
    options.stubPath = appDir + "play.dat";
    options.playerSize = exeTrailer.playerSize;
    options.playSettings = playSettings;
    options.trailer = exeTrailer;
    AnsiString written;
    {
      MainFormJob job(*this);
      showWaitForm("开始准备修复", 100);
      written = repairExwRecording(exw, FileExists(live) ? live : AnsiString(), SaveDialog1->FileName, options, host);
      renewWaitForm();
    }
    if (!written.IsEmpty()) {
      ShowMessage("修复成功,保存为" + written + ",查看确认修复后再手工删除此未完成文件");
      FileListBox1->Update();
    } else {
      ShowMessage("修复失败");
    }
  }
  TrackBar1->SetMax(1);
  TrackBar1->SetEnabled(false);
  StatusBar1->SetSimpleText("");
}

void TMainForm::finishAvw() {
  StatusBar1->SetSimpleText(fileFacts(currentFile));
  if (!askYesNo("此AVI录像还未最后完成,现在要完成它吗?")) {
    leaveTrialBar();
    return;
  }
  WaitFormHost host;
  bool done;
  {
    MainFormJob job(*this);
    showWaitForm("开始准备完成", 100);
    done = finishAvwRecording(currentFile, liveSoundFileName(currentFile), appDir, host);
    renewWaitForm();
  }
  if (done) {
    ShowMessage("完成AVI成功");
    FileListBox1->Update();
  } else {
    ShowMessage("完成AVI失败");
  }
  TrackBar1->SetMax(1);
  TrackBar1->SetEnabled(false);
  StatusBar1->SetSimpleText("");
}

void TMainForm::selectExe() {
  PageControl1->SetActivePageIndex(0);
  TrackBar1->SetEnabled(false);
  TrackBar1->SetMax(1);
  BoxHost host;
  const ExeSelection sel = selectExeRecording(currentFile, host);
  if (!sel.show) return;
  showExeInfo(currentFile);
  redrawTrialFrame();
  if (sel.offerUpgrade && askYesNo(kExeUpgradeQuestion)) {
    // The upgrade belongs to the Edit menu's item; the list only starts it.
    if (TMenuItem* upgrade = dynamic_cast<TMenuItem*>(FindComponent("EXE5"))) upgrade->Click();
  }
}

bool TMainForm::showLx() {
  BoxHost host;
  LxView view;
  if (!viewLxRecordingFile(currentFile, fileFacts(currentFile), view, *previewBitmap, host)) {
    PageControl1->SetActivePageIndex(0);
    TrackBar1->SetEnabled(false);
    TrackBar1->SetMax(1);
    return false;
  }
  const LxHeader& h = view.header;
  // A recording of no frames has no frame to step to.
  TrackBar1->SetEnabled(h.frameCount > 0);
  PageControl3->SetEnabled(true);
  PageControl3->SetActivePageIndex(0);
  Edit10->SetText(IntToStr(h.frameCount));
  Label26->SetCaption("总帧数:" + IntToStr(h.frameCount));
  Edit11->SetText(IntToStr(h.width));
  Edit12->SetText(IntToStr(h.height));
  if (view.rateKnown) {
    Label13->SetCaption(view.fpsText + "帧/秒");
    Edit7->SetText(RadioButton20->Checked() ? view.aviFpsText : view.fpsText);
  } else {
    Label13->SetCaption("");
  }
  StatusBar1->SetSimpleText(view.status);
  const bool cursor = h.hasCursor == 1;
  if (!cursor) CheckBox14->SetChecked(false);
  CheckBox14->SetEnabled(cursor);
  Edit13->SetEnabled(cursor);
  if (view.hasFrame && CheckBox10->Checked()) {
    CustomInfo info = customInfoOf(*this);
    drawCustomInfo(*previewBitmap, info);
    infoTextWidth = info.textWidth;
    infoTextHeight = info.textHeight;
  }
  filePixelFormat = static_cast<uint8_t>(previewBitmap->PixelFormat());
  drawPreview();
  TrackBar1->SetMax(h.frameCount > 0 ? h.frameCount - 1 : 0);
  TrackBar1->SetPosition(0);
  if (RadioButton20->Checked()) RadioButton20Click(this);
  else RadioButton21Click(this);

  const int kind = lxSoundSideKind(h.soundSource);
  const LxSideFiles side = lxSideFiles(currentFile);
  CheckBox4->SetChecked(side.exists[kind - 1]);
  TRadioButton* kinds[3] = {RadioButton26, RadioButton27, RadioButton28};
  kinds[kind - 1]->SetChecked(true);
  TLabel* labels[3] = {Label30, Label31, Label32};
  for (int k = 0; k < 3; ++k) {
    labels[k]->SetCaption(side.exists[k] ? "有" : "无");
    labels[k]->Font()->Color = side.exists[k] ? kPresent : kMissing;
    labels[k]->FontChanged();
  }
  return true;
}

// ---- the generate page's output choice -----------------------------------------------

void TMainForm::RadioButton20Click(TObject* Sender) {
  // An AVI of an 8-bit recording keeps its 256 colours.
  const bool eightBit = filePixelFormat == pf8bit;
  RadioButton18->SetEnabled(true);
  RadioButton19->SetEnabled(!eightBit);
  (eightBit ? RadioButton18 : RadioButton19)->SetChecked(true);
}

void TMainForm::RadioButton21Click(TObject* Sender) {
  const bool eightBit = filePixelFormat == pf8bit;
  RadioButton18->SetEnabled(!eightBit);
  RadioButton19->SetEnabled(!eightBit);
  (eightBit ? RadioButton18 : RadioButton19)->SetChecked(true);
}

// ---- properties of the foreign and self-playing kinds ------------------------------

void TMainForm::showAviInfo(const AnsiString& path) {
  const AnsiString noFrame =
      "提取首帧失败,使用有的AVI编码器可能就会有此问题,如果可以正常播放不需要理会此提示,如果无法正常播放请使用其它AVI压缩设置(编码器)";
  AVIFileInit();
  PAVIFILE file = nullptr;
  PAVISTREAM stream = nullptr;
  PGETFRAME frames = nullptr;
  if (AVIFileOpenW(&file, Cp936ToWide(path).c_str(), OF_READ | OF_SHARE_DENY_NONE, nullptr) != 0) {
    ShowMessage("打开AVI文件失败");
    AVIFileExit();
    return;
  }
  if (AVIFileGetStream(file, &stream, streamtypeVIDEO, 0) != 0) {
    ShowMessage("提取失败");
    AVIFileRelease(file);
    AVIFileExit();
    return;
  }
  AVISTREAMINFOW info = {};
  if (AVIStreamInfoW(stream, &info, sizeof info) != 0) {
    // Without the stream's information there is no width to test: no frame.
    ShowMessage(noFrame + " 1");
  } else {
    AviStreamFacts facts;
    facts.rate = info.dwRate;
    facts.scale = info.dwScale;
    facts.length = info.dwLength;
    facts.frameRight = info.rcFrame.right;
    facts.frameBottom = info.rcFrame.bottom;
    facts.streamLength = AVIStreamLength(stream);
    StatusBar1->SetSimpleText(aviStatusLine(facts, fileFacts(path)));
    if (info.rcFrame.right % 2 != 0) {
      ShowMessage(
          "此AVI文件宽度是奇数,无法提取首帧,可能播放也会不正常(请播放试试)。强烈建议录制时请将录制范围宽度调整为偶数。");
    } else {
      try {
        frames = AVIStreamGetFrameOpen(stream, nullptr);
        if (!frames) {
          BITMAPINFOHEADER want = {};
          want.biSize = sizeof want;
          want.biWidth = info.rcFrame.right;
          want.biHeight = info.rcFrame.bottom;
          want.biPlanes = 1;
          want.biBitCount = 32;
          want.biCompression = BI_RGB;
          want.biSizeImage = DWORD(info.rcFrame.right) * DWORD(info.rcFrame.bottom) * 4;
          frames = AVIStreamGetFrameOpen(stream, &want);
        }
        if (!frames) {
          ShowMessage(noFrame + " 3");
        } else if (auto* h = static_cast<const BITMAPINFOHEADER*>(AVIStreamGetFrame(frames, 0))) {
          takeFirstFrame(*previewBitmap, h);
        } else {
          ShowMessage(noFrame + " 2");
        }
      } catch (const Exception&) {
        ShowMessage(noFrame + " 4");
      }
    }
  }
  if (frames) AVIStreamGetFrameClose(frames);
  AVIStreamRelease(stream);
  AVIFileRelease(file);
  AVIFileExit();
}

void TMainForm::showWmvInfo(const AnsiString& path) {
  if (!wmvAvailable) {
    ShowMessage("此电脑上还没有安装wmv支持文件,本软件的wmv格式功能无法使用");
    return;
  }
  WmvFirstFrame first;
  if (wmvGetFirstVideoFrame(path, first) != 1) {
    ShowMessage("swfp error 1");
    return;
  }
  const BITMAPINFOHEADER* h = reinterpret_cast<const BITMAPINFOHEADER*>(first.frame);
  WmvFacts facts;
  facts.msPerFrame = first.msPerFrame;
  facts.bitRate = first.bitRate;
  facts.frameCount = first.frameCount;
  facts.width = h ? h->biWidth : 0;
  facts.height = h ? h->biHeight : 0;
  StatusBar1->SetSimpleText(wmvStatusLine(facts, fileFacts(path)));
  if (h) takeFirstFrame(*previewBitmap, h);
  wmvFreeFirstVideoFrame();
}

void TMainForm::showExeInfo(const AnsiString& path) {
  BoxHost host;
  ExeView view;
  viewExeRecordingFile(path, fileFacts(path), view, *previewBitmap, host);
  if (view.protection) {
    // A protected recording is not read: its protection stands in its place.
    TCanvas& c = *previewBitmap->Canvas();
    c.Brush.Style = bsSolid;
    c.Brush.Color = clWhite;
    c.Pen.Color = clWhite;
    c.Pen.Width = 1;
    c.Pen.Mode = pmCopy;
    c.Rectangle(-1, -1, previewBitmap->Width() + 1, previewBitmap->Height() + 1);
    c.Font.Name = "宋体";
    c.Font.Size = 12;
    c.Font.Color = clRed;
    c.Font.Style = 0;
    c.Brush.Style = bsClear;
    c.TextOut(50, 20, view.status);
  }
  if (!view.status.IsEmpty()) StatusBar1->SetSimpleText(view.status);
}
