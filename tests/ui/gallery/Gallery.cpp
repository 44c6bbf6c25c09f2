// The gallery form class of the UI tests (see Gallery.h).
#include "Gallery.h"

#include <stdexcept>

#include "SysUtils.h"

TGalleryForm::TGalleryForm(TComponent* Owner) : TForm(Owner) { LoadLayout("TGalleryForm"); }

void TGalleryForm::DeclareMembers(TFormBinder& b) {
  LAYOUT_COMPONENT(b, MainMenu1);
  LAYOUT_COMPONENT(b, N1);
  LAYOUT_COMPONENT(b, N2);
  LAYOUT_COMPONENT(b, N3);
  LAYOUT_COMPONENT(b, N5);
  LAYOUT_COMPONENT(b, P2);
  LAYOUT_COMPONENT(b, PopupMenu1);
  LAYOUT_COMPONENT(b, ToolBar1);
  LAYOUT_COMPONENT(b, ToolButton1);
  LAYOUT_COMPONENT(b, ToolButton4);
  LAYOUT_COMPONENT(b, Button1);
  LAYOUT_COMPONENT(b, BitBtn1);
  LAYOUT_COMPONENT(b, SpeedButton1);
  LAYOUT_COMPONENT(b, SpeedButton2);
  LAYOUT_COMPONENT(b, CheckBox1);
  LAYOUT_COMPONENT(b, RadioButton1);
  LAYOUT_COMPONENT(b, RadioButton2);
  LAYOUT_COMPONENT(b, Edit1);
  LAYOUT_COMPONENT(b, Label3);
  LAYOUT_COMPONENT(b, Label9);
  LAYOUT_COMPONENT(b, Shape1);
  LAYOUT_COMPONENT(b, Memo1);
  LAYOUT_COMPONENT(b, ComboBox1);
  LAYOUT_COMPONENT(b, ComboBox2);
  LAYOUT_COMPONENT(b, ListBox1);
  LAYOUT_COMPONENT(b, FileListBox1);
  LAYOUT_COMPONENT(b, PageControl1);
  LAYOUT_COMPONENT(b, TabSheet1);
  LAYOUT_COMPONENT(b, TabSheet2);
  LAYOUT_COMPONENT(b, TrackBar1);
  LAYOUT_COMPONENT(b, ScrollBar1);
  LAYOUT_COMPONENT(b, ProgressBar1);
  LAYOUT_COMPONENT(b, DateTimePicker1);
  LAYOUT_COMPONENT(b, Panel1);
  LAYOUT_COMPONENT(b, ScrollBox1);
  LAYOUT_COMPONENT(b, Image1);
  LAYOUT_COMPONENT(b, Image2);
  LAYOUT_COMPONENT(b, StatusBar1);
  LAYOUT_COMPONENT(b, Timer1);
  LAYOUT_COMPONENT(b, OpenDialog1);
  LAYOUT_COMPONENT(b, SaveDialog1);
  LAYOUT_COMPONENT(b, ColorDialog1);
  LAYOUT_HANDLER(b, FormCreate);
  LAYOUT_HANDLER(b, FormShow);
  LAYOUT_HANDLER(b, FormClose);
  LAYOUT_HANDLER(b, FormKeyDown);
  LAYOUT_HANDLER(b, N1Click);
  LAYOUT_HANDLER(b, N2Click);
  LAYOUT_HANDLER(b, N5Click);
  LAYOUT_HANDLER(b, N6Click);
  LAYOUT_HANDLER(b, P2Click);
  LAYOUT_HANDLER(b, ToolButton1Click);
  LAYOUT_HANDLER(b, Button1Click);
  LAYOUT_HANDLER(b, CheckBox1Click);
  LAYOUT_HANDLER(b, RadioButton1Click);
  LAYOUT_HANDLER(b, RadioButton2Click);
  LAYOUT_HANDLER(b, Edit1Change);
  LAYOUT_HANDLER(b, Edit1KeyPress);
  LAYOUT_HANDLER(b, Label3Click);
  LAYOUT_HANDLER(b, ComboBox1Change);
  LAYOUT_HANDLER(b, FileListBox1Click);
  LAYOUT_HANDLER(b, PageControl1Changing);
  LAYOUT_HANDLER(b, PageControl1Change);
  LAYOUT_HANDLER(b, TrackBar1Change);
  LAYOUT_HANDLER(b, Image1MouseDown);
  LAYOUT_HANDLER(b, Image1MouseMove);
  LAYOUT_HANDLER(b, Image2DblClick);
  LAYOUT_HANDLER(b, Timer1Timer);
}

int TGalleryForm::Count(const std::string& event) const {
  int n = 0;
  for (const auto& e : log)
    if (e == event) ++n;
  return n;
}

void TGalleryForm::FormCreate(TObject*) {
  log.push_back("FormCreate");
  FileListBox1->SetDirectory(ExtractFilePath(Application->ExeName()));
  // Something to look at in the two pictures.
  TCanvas* c = Image1->Canvas();
  c->Brush.Color = clWhite;
  RECT all = {0, 0, 240, 160};
  c->FillRect(all);
  c->Pen.Color = clRed;
  c->Pen.Width = 3;
  c->MoveTo(10, 10);
  c->LineTo(230, 150);
  c->Font.Size = 12;
  c->TextOut(20, 60, "图像 Image");
  TBitmap* b = Image2->Picture()->Bitmap();
  b->SetPixelFormat(pf24bit);
  b->SetSize(64, 40);
  TCanvas* c2 = b->Canvas();
  c2->Brush.Color = clTeal;
  RECT r = {0, 0, 64, 40};
  c2->FillRect(r);
  c2->Brush.Color = clYellow;
  RECT sun = {40, 6, 56, 22};
  c2->FillRect(sun);
}
void TGalleryForm::FormShow(TObject*) { log.push_back("FormShow"); }
void TGalleryForm::FormClose(TObject*, TCloseAction& Action) {
  log.push_back("FormClose");
  Action = closeAction;
}
void TGalleryForm::FormKeyDown(TObject*, WORD& Key, TShiftState) {
  log.push_back("FormKeyDown:" + std::to_string(Key));
  if (Key == VK_ESCAPE) Key = 0;  // swallowed: the focused control never sees it
}
void TGalleryForm::N1Click(TObject*) { log.push_back("N1Click"); }
void TGalleryForm::N2Click(TObject*) {
  log.push_back("N2Click");
  N2->SetChecked(!N2->Checked());
}
void TGalleryForm::N5Click(TObject*) { log.push_back("N5Click"); }
void TGalleryForm::N6Click(TObject*) {
  log.push_back("N6Click");
  ShowMessage("Vidorra 控件一览");
}
void TGalleryForm::P2Click(TObject*) { log.push_back("P2Click"); }
void TGalleryForm::ToolButton1Click(TObject*) { log.push_back("ToolButton1Click"); }
void TGalleryForm::Button1Click(TObject*) {
  log.push_back("Button1Click");
  if (throwStd) throw std::runtime_error("std failure");
  if (throwInButton) throw EConvertError("'abc' 不是有效的整数");
}
void TGalleryForm::CheckBox1Click(TObject*) {
  log.push_back(std::string("CheckBox1Click:") + (CheckBox1->Checked() ? "1" : "0"));
}
void TGalleryForm::RadioButton1Click(TObject*) { log.push_back("RadioButton1Click"); }
void TGalleryForm::RadioButton2Click(TObject*) { log.push_back("RadioButton2Click"); }
void TGalleryForm::Edit1Change(TObject*) { log.push_back("Edit1Change"); }
void TGalleryForm::Edit1KeyPress(TObject*, char& Key) {
  log.push_back(std::string("Edit1KeyPress:") + Key);
  if (Key == 'x') Key = 0;  // refused
}
void TGalleryForm::Label3Click(TObject*) {
  log.push_back("Label3Click");
  ColorDialog1->Color = Label3->Color();
  if (ColorDialog1->Execute()) Label3->SetColor(ColorDialog1->Color);
}
void TGalleryForm::ComboBox1Change(TObject*) { log.push_back("ComboBox1Change"); }
void TGalleryForm::FileListBox1Click(TObject*) { log.push_back("FileListBox1Click"); }
void TGalleryForm::PageControl1Changing(TObject*, bool& AllowChange) {
  log.push_back("PageControl1Changing");
  if (lockPage && PageControl1->ActivePageIndex() == 2) AllowChange = false;
}
void TGalleryForm::PageControl1Change(TObject*) { log.push_back("PageControl1Change"); }
void TGalleryForm::TrackBar1Change(TObject*) { log.push_back("TrackBar1Change:" + std::to_string(TrackBar1->Position())); }
void TGalleryForm::Image1MouseDown(TObject*, TMouseButton Button, TShiftState Shift, int X, int Y) {
  log.push_back("Image1MouseDown:" + std::to_string(Button) + ":" + std::to_string(X) + "," + std::to_string(Y) +
                (Shift.Contains(ssLeft) ? ":left" : "") + (Shift.Contains(ssShift) ? ":shift" : ""));
}
void TGalleryForm::Image1MouseMove(TObject*, TShiftState, int X, int Y) {
  log.push_back("Image1MouseMove:" + std::to_string(X) + "," + std::to_string(Y));
}
void TGalleryForm::Image2DblClick(TObject*) { log.push_back("Image2DblClick"); }
void TGalleryForm::Timer1Timer(TObject*) {
  log.push_back("Timer1Timer");
  Timer1->SetEnabled(false);
}
void TGalleryForm::HelpRequested(TMessage& m) {
  log.push_back("Help");
  m.Result = 0;
}
