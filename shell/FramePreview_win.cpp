// The frame preview beside the recording list: previewBitmap drawn into
// Image1 at the zoom that Image1's context menu PopupMenu1 has checked (100 %,
// 200 %, 50 % or fit into ScrollBox1), with the custom caption laid over a
// copy when CheckBox12 asks for it; the zoom items; the trial bar TrackBar1
// stepping through an .lx recording; and the shown picture copied to the
// clipboard. The zoom arithmetic is PreviewZoom's; saving pictures is
// FramePictures_win.cpp's. Windows only.
#include "MainForm_win.h"  // first: winsock2.h before windows.h

#include "Canvas.h"
#include "Clipbrd.h"
#include "FrameCaptions.h"
#include "LxFile.h"
#include "PreviewZoom.h"
#include "SysUtils.h"

namespace {

PreviewZoom checkedZoom(const TMainForm& f) {
  if (f.N1001->Checked()) return PreviewZoom::Actual;
  if (f.N2001->Checked()) return PreviewZoom::Double;
  if (f.N501->Checked()) return PreviewZoom::Half;
  if (f.N11->Checked()) return PreviewZoom::Fit;
  return PreviewZoom::None;
}

void checkZoomItem(TMainForm& f, TMenuItem* item) {
  for (TMenuItem* zoom : {f.N1001, f.N2001, f.N501, f.N11}) zoom->SetChecked(zoom == item);
  f.drawPreview();
}

struct MessageBoxHost : FormatsHost {
  void showMessage(const AnsiString& text) override { ShowMessage(text); }
};

}  // namespace

void TMainForm::drawPreview() {
  if (!previewBitmap || !Image1) return;
  TBitmap* source = previewBitmap;
  // The caption goes on a copy kept for the whole run, so that previewBitmap
  // (saved and copied elsewhere as the frame itself) stays clean.
  if (CheckBox12->Checked() && !previewBitmap->Empty()) {
    if (!previewScratchBitmap) previewScratchBitmap = new TBitmap();
    previewScratchBitmap->Assign(*previewBitmap);
    CustomInfo info = customInfoOf(*this);
    drawCustomInfo(*previewScratchBitmap, info);
    infoTextWidth = info.textWidth;
    infoTextHeight = info.textHeight;
    source = previewScratchBitmap;
  }
  const PreviewZoom zoom = checkedZoom(*this);
  if (zoom == PreviewZoom::None) return;
  TBitmap* shown = Image1->Picture()->Bitmap();
  PreviewView view;
  if (!previewView(zoom, source->Width(), source->Height(), ScrollBox1->Width(), ScrollBox1->Height(), view)) {
    // No frame (a recording without frames): nothing shown, not the last one.
    shown->SetSize(0, 0);
    Image1->SetBounds(Image1->Left(), Image1->Top(), 0, 0);
    ScrollBox1->UpdateScrollRange();
    return;
  }
  if (view.width == source->Width() && view.height == source->Height()) {
    shown->Assign(*source);
  } else {
    // GDI stretches from 8-bit pictures into true colour.
    const TPixelFormat pf = source->PixelFormat();
    shown->SetPixelFormat(pf == pf8bit || pf == pfDevice ? pf24bit : pf);
    shown->SetSize(view.width, view.height);
    const RECT whole = {0, 0, view.width, view.height};
    shown->Canvas()->StretchDraw(whole, *source);
  }
  Image1->SetBounds(Image1->Left(), Image1->Top(), view.width, view.height);
  Image1->Invalidate();
  ScrollBox1->UpdateScrollRange();
  previewScale = view.scale;
}

void TMainForm::N1001Click(TObject*) { checkZoomItem(*this, N1001); }
void TMainForm::N2001Click(TObject*) { checkZoomItem(*this, N2001); }
void TMainForm::N501Click(TObject*) { checkZoomItem(*this, N501); }
void TMainForm::N11Click(TObject*) { checkZoomItem(*this, N11); }

// The trial bar picks the frame of an .lx recording; for every other kind the
// preview is only drawn again (the caption or the zoom may have changed).
void TMainForm::TrackBar1Change(TObject*) {
  if (!currentFile.IsEmpty() && LowerCase(ExtractFileExt(currentFile)) == ".lx" && previewBitmap) {
    try {
      TFileStream in(currentFile, fmOpenRead | fmShareDenyNone);
      MessageBoxHost host;
      // A frame that cannot be read leaves the one shown.
      readLxFrame(in, TrackBar1->Position(), *previewBitmap, host);
    } catch (const EStreamError&) {
      // The recording went away under the list: the last frame stays.
    }
  }
  drawPreview();
}

// The picture as shown: at the zoom, with the caption.
void TMainForm::N30Click(TObject*) {
  if (previewBitmap && previewBitmap->Width() > 0) Clipboard()->Assign(*Image1->Picture()->Bitmap());
}
