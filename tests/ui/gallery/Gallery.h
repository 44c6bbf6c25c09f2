// The gallery form of the UI tests: a form class over forms/TGalleryForm.vfm
// whose handlers write what happened into a log, so tests can check which
// events fired, in which order, and with which arguments.
#pragma once

#include <string>
#include <vector>

#include "CommonControls.h"
#include "Dialogs.h"
#include "Forms.h"
#include "Menus.h"
#include "StdControls.h"

class TGalleryForm : public TForm {
public:
  explicit TGalleryForm(TComponent* Owner);

  TMainMenu* MainMenu1 = nullptr;
  TMenuItem *N1 = nullptr, *N2 = nullptr, *N3 = nullptr, *N5 = nullptr, *P2 = nullptr;
  TPopupMenu* PopupMenu1 = nullptr;
  TToolBar* ToolBar1 = nullptr;
  TToolButton *ToolButton1 = nullptr, *ToolButton4 = nullptr;
  TButton* Button1 = nullptr;
  TBitBtn* BitBtn1 = nullptr;
  TSpeedButton *SpeedButton1 = nullptr, *SpeedButton2 = nullptr;
  TCheckBox* CheckBox1 = nullptr;
  TRadioButton *RadioButton1 = nullptr, *RadioButton2 = nullptr;
  TEdit* Edit1 = nullptr;
  TLabel *Label3 = nullptr, *Label9 = nullptr;
  TShape* Shape1 = nullptr;
  TMemo* Memo1 = nullptr;
  TComboBox *ComboBox1 = nullptr, *ComboBox2 = nullptr;
  TListBox* ListBox1 = nullptr;
  TFileListBox* FileListBox1 = nullptr;
  TPageControl* PageControl1 = nullptr;
  TTabSheet *TabSheet1 = nullptr, *TabSheet2 = nullptr;
  TTrackBar* TrackBar1 = nullptr;
  TScrollBar* ScrollBar1 = nullptr;
  TProgressBar* ProgressBar1 = nullptr;
  TDateTimePicker* DateTimePicker1 = nullptr;
  TPanel* Panel1 = nullptr;
  TScrollBox* ScrollBox1 = nullptr;
  TImage *Image1 = nullptr, *Image2 = nullptr;
  TStatusBar* StatusBar1 = nullptr;
  TTimer* Timer1 = nullptr;
  TOpenDialog* OpenDialog1 = nullptr;
  TSaveDialog* SaveDialog1 = nullptr;
  TColorDialog* ColorDialog1 = nullptr;

  void FormCreate(TObject* Sender);
  void FormShow(TObject* Sender);
  void FormClose(TObject* Sender, TCloseAction& Action);
  void FormKeyDown(TObject* Sender, WORD& Key, TShiftState Shift);
  void N1Click(TObject* Sender);
  void N2Click(TObject* Sender);
  void N5Click(TObject* Sender);
  void N6Click(TObject* Sender);
  void P2Click(TObject* Sender);
  void ToolButton1Click(TObject* Sender);
  void Button1Click(TObject* Sender);
  void CheckBox1Click(TObject* Sender);
  void RadioButton1Click(TObject* Sender);
  void RadioButton2Click(TObject* Sender);
  void Edit1Change(TObject* Sender);
  void Edit1KeyPress(TObject* Sender, char& Key);
  void Label3Click(TObject* Sender);
  void ComboBox1Change(TObject* Sender);
  void FileListBox1Click(TObject* Sender);
  void PageControl1Changing(TObject* Sender, bool& AllowChange);
  void PageControl1Change(TObject* Sender);
  void TrackBar1Change(TObject* Sender);
  void Image1MouseDown(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  void Image1MouseMove(TObject* Sender, TShiftState Shift, int X, int Y);
  void Image2DblClick(TObject* Sender);
  void Timer1Timer(TObject* Sender);

  // What the handlers saw, one entry per event ("CheckBox1Click" ...).
  std::vector<std::string> log;
  int Count(const std::string& event) const;
  // Test switches.
  TCloseAction closeAction = caHide;
  bool lockPage = false;        // OnChanging refuses while on TabSheet3
  bool throwInButton = false;   // Button1Click raises
  bool throwStd = false;        // ... a std::exception instead

protected:
  void DeclareMembers(TFormBinder& b) override;
  void HelpRequested(TMessage& m) override;
};
