// The monitor window and its drawing (see MonitorWindow_win.h).
#include "MonitorWindow_win.h"

#include <exception>
#include <vector>

#include "Canvas.h"
#include "MainForm_win.h"
#include "RecordingMixer.h"

TJkForm* JkForm = nullptr;

namespace {

const char kHelpTopic[] = "(录像模式)录制目标.htm#声音图像实时监控窗体";
const TColor kScaleGreen = 0x008000;  // the dark green of the quarter lines

// The whole picture with a margin, so that no pen edge shows.
void fill(TBitmap& b, int margin) {
  b.Canvas()->Rectangle(-margin, -margin, b.Width() + margin, b.Height() + margin);
}

}  // namespace

// ---- the drawing ------------------------------------------------------------------

shengyintuxiangjkclass::shengyintuxiangjkclass(TBitmap* wave, TBitmap* thumbnail, const AnsiString& file)
    : waveBitmap(wave), thumbBitmap(thumbnail), soundFile(file) {
  TCanvas* c = waveBitmap->Canvas();
  c->Brush.Style = bsSolid;
  if (!soundFile.IsEmpty()) {
    try {
      soundStream.reset(new TFileStream(soundFile, fmOpenRead | fmShareDenyNone));
      knowSampleDepth();
    } catch (const Exception&) {
      soundStream.reset();  // each refresh then says "error"
    }
    c->Brush.Color = clBlack;
    fill(*waveBitmap, 2);
    drawScale();
  } else {
    c->Brush.Color = clBtnFace;
    fill(*waveBitmap, 2);
  }
  scrollBitmap.reset(new TBitmap());
  scrollBitmap->SetPixelFormat(waveBitmap->PixelFormat());
  scrollBitmap->SetSize(waveBitmap->Width(), waveBitmap->Height());
}

shengyintuxiangjkclass::~shengyintuxiangjkclass() = default;

// The server creates the file before it writes the header: the depth is read
// once the 44 header bytes are there, not just at the first look.
bool shengyintuxiangjkclass::knowSampleDepth() {
  if (bitsPerSample != 0) return true;
  if (!soundStream || soundStream->Size() < kWavDataOffset) return false;
  uint8_t bits[2] = {};
  soundStream->Seek(34, soFromBeginning);
  if (soundStream->Read(bits, 2) != 2) return false;
  bitsPerSample = bits[0] | (bits[1] << 8);
  return true;
}

void shengyintuxiangjkclass::drawScale() {
  TCanvas* c = waveBitmap->Canvas();
  const int W = waveBitmap->Width(), H = waveBitmap->Height();
  auto line = [c, W](TColor colour, int y) {
    c->Pen.Color = colour;
    c->MoveTo(0, y);
    c->LineTo(W, y);
  };
  line(clBlue, H / 2);
  line(kScaleGreen, H / 4);
  line(kScaleGreen, 3 * H / 4);
  line(clRed, 6);
  line(clRed, H - 6);
  c->Pen.Color = clBlue;  // the waveform's colour
}

void shengyintuxiangjkclass::update(TBitmap& frame) {
  if (thumb.width == 0) thumb = thumbPlacement(frame.Width(), frame.Height());
  if (thumb.width > 0) {
    RECT r = {thumb.left, thumb.top, thumb.left + thumb.width, thumb.top + thumb.height};
    thumbBitmap->Canvas()->StretchDraw(r, frame);
  }

  if (soundFile.IsEmpty()) return;
  TCanvas* c = waveBitmap->Canvas();
  if (!soundStream) {
    // Red, so that it shows on the black panel.
    c->Font.Color = clRed;
    c->TextOut(0, 0, "error");
    return;
  }
  if (!knowSampleDepth()) return;
  const int W = waveBitmap->Width(), H = waveBitmap->Height();
  const WaveRead plan = planWaveRead(soundStream->Size(), readPosition, bitsPerSample, W);
  if (plan.columns == 0) return;
  std::vector<uint8_t> samples(static_cast<std::size_t>(plan.bytes));
  soundStream->Seek(plan.from, soFromBeginning);
  const int got = soundStream->Read(samples.data(), static_cast<int>(samples.size()));
  readPosition = plan.from + plan.bytes;
  const std::vector<WaveColumn> columns =
      waveColumns(samples.data(), static_cast<std::size_t>(got < 0 ? 0 : got), bitsPerSample, H, gain);
  const int cols = plan.columns;

  // Scroll the old waveform left by the new columns.
  TCanvas* scroll = scrollBitmap->Canvas();
  RECT all = {0, 0, W, H};
  scroll->CopyRect(all, *c, all);
  fill(*waveBitmap, 2);
  c->Draw(-cols, 0, *scrollBitmap);
  drawScale();
  for (std::size_t i = 0; i < columns.size(); ++i) {
    const int x = W - cols + static_cast<int>(i);
    c->MoveTo(x, columns[i].yFrom);
    c->LineTo(x, columns[i].yTo);
  }
}

// ---- the form ---------------------------------------------------------------------

TJkForm::TJkForm(TComponent* Owner) : TForm(Owner) { LoadLayout("TJkForm"); }

void TJkForm::DeclareMembers(TFormBinder& b) {
  LAYOUT_COMPONENT(b, Image1);
  LAYOUT_COMPONENT(b, Image2);
  LAYOUT_COMPONENT(b, TrackBar2);
  LAYOUT_HANDLER(b, FormCreate);
  LAYOUT_HANDLER(b, FormShow);
  LAYOUT_HANDLER(b, FormClose);
}

void TJkForm::FormCreate(TObject* Sender) { firstShow = true; }

void TJkForm::FormShow(TObject* Sender) {
  if (!firstShow) return;
  SetWindowPos(Handle(), HWND_TOPMOST, Left(), Top(), Width(), Height(), 0);
  // Owned by the desktop, it stays up while the main form is hidden.
  SetWindowLongPtrW(Handle(), GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(GetDesktopWindow()));
  for (TImage* image : {Image2, Image1}) {
    TCanvas* c = image->Canvas();  // gives the picture the image's size
    c->Brush.Color = clWhite;
    c->Brush.Style = bsSolid;
    c->Rectangle(-1, -1, image->Width() + 1, image->Height() + 1);
  }
  view.reset(new shengyintuxiangjkclass(Image2->Picture()->Bitmap(), Image1->Picture()->Bitmap(), soundFile));
  firstShow = false;
}

void TJkForm::FormClose(TObject* Sender, TCloseAction& Action) { view.reset(); }

void TJkForm::refresh(TBitmap& picture) {
  if (!view) return;
  view->update(picture);
  Image1->Invalidate();
  Image2->Invalidate();
}

void TJkForm::HelpRequested(TMessage& m) {
  if (MainForm) MainForm->openHelpTopic(kHelpTopic);
  m.Result = 1;
}

// ---- the tick's calls -------------------------------------------------------------

void openMonitorWindow(TMainForm& main, const AnsiString& soundFile, bool fullScreen, int targetTop,
                       int targetBottom) {
  closeMonitorWindow();
  JkForm = new TJkForm(&main);
  JkForm->soundFile = soundFile;
  JkForm->SetTop(monitorTop(JkForm->Height(), Screen->Height(), fullScreen, targetTop, targetBottom));
  JkForm->TrackBar2->SetPosition(100 - main.savedSoundVolume);
  JkForm->TrackBar2->SetEnabled(main.savedSoundVolume != -1);
  JkForm->Show();
}

void refreshMonitorWindow(TMainForm& main, TBitmap& picture) {
  if (!JkForm || !JkForm->Visible()) return;
  JkForm->refresh(picture);
  // No saved volume: the bar is disabled and has nothing to keep in step.
  if (main.savedSoundVolume < 0) return;
  const int position = JkForm->TrackBar2->Position();
  if (position == 100 - main.savedSoundVolume) return;
  main.savedSoundVolume = 100 - position;
  if (main.mixer && main.mixer->setLineVolume(main.savedSoundSource, main.savedSoundVolume)) {
    main.TrackBar2->SetPosition(position);
  } else {
    main.savedSoundVolume = -1;
    JkForm->TrackBar2->SetEnabled(false);
  }
}

void closeMonitorWindow() {
  if (!JkForm) return;
  TJkForm* form = JkForm;
  JkForm = nullptr;
  if (form->Visible()) form->Close();
  delete form;
}
