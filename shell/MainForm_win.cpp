// The main form's construction, its layout binding and its destructor, and
// the globals that live beside it. The life-cycle steps are in their own
// units (Startup_win, FirstShow_win, Shutdown_win, MessageRouting_win,
// HotKeyPage_win).
#include "MainForm_win.h"

#include "Irecorder.h"
#include "RecordingMixer.h"
#include "TargetPicking_win.h"
#include "WaitForm_win.h"

TMainForm* MainForm = nullptr;
HtmlHelpProc htmlHelpProc = nullptr;
HANDLE instanceMutex = nullptr;
HMODULE hookLibrary = nullptr, hookLibrary1 = nullptr;
EnableKBHookProc pickHookProc = nullptr, clickHookProc = nullptr;
GetNowCursorProc getNowCursorProc = nullptr;
SetcxProc setcxProc = nullptr;
LxHeader recordHeader = {};

bool notifyMouseHelperWindow(int command) {
  HWND helper = FindWindowA(nullptr, HELPER_WINDOW_TITLE);
  if (!helper || !MainForm) return false;
  SendMessageW(helper, kHelperCommandMessage, static_cast<WPARAM>(command),
               reinterpret_cast<LPARAM>(MainForm->Handle()));
  return true;
}

TMainForm::TMainForm(TComponent* Owner) : TForm(Owner) {
  onTrayIcon = [this](TMessage& m) { wmTrayIcon(m); };
  LoadLayout("TMainForm");
  installTargetPicking(*this);
  // The end of a Flash export deletes its hand-over file in the working
  // folder: Edit2, joined with file names as every output of the form joins
  // it (set.dat and the fallback "ls\" keep its separator at the end).
  FlashJobHooks flash;
  flash.workingFolder = [this] { return Edit2->Text(); };
  setFlashJobHooks(flash);
}

TMainForm::~TMainForm() {
  // The device objects and kernel objects went in FormClose; what is left
  // when start-up ended early is left to the system, as the exits do.
  if (recorder) recorder->Release();
  recorder = nullptr;
  delete previewBitmap;
  delete previewScratchBitmap;
  delete frameStream;
  delete prevFrameStream;
  delete mixer;
}

void TMainForm::DeclareMembers(TFormBinder& b) {
  LAYOUT_COMPONENT(b, MainMenu1);
  LAYOUT_COMPONENT(b, F1);
  LAYOUT_COMPONENT(b, N54);
  LAYOUT_COMPONENT(b, H2);
  LAYOUT_COMPONENT(b, ToolBar1);
  LAYOUT_COMPONENT(b, ToolButton2);
  LAYOUT_COMPONENT(b, ToolButton3);
  LAYOUT_COMPONENT(b, ToolButton4);
  LAYOUT_COMPONENT(b, ToolButton5);
  LAYOUT_COMPONENT(b, PageControl1);
  LAYOUT_COMPONENT(b, PageControl2);
  LAYOUT_COMPONENT(b, PageControl3);
  LAYOUT_COMPONENT(b, TabSheet2);
  LAYOUT_COMPONENT(b, Edit1);
  LAYOUT_COMPONENT(b, Edit2);
  LAYOUT_COMPONENT(b, Edit3);
  LAYOUT_COMPONENT(b, Edit4);
  LAYOUT_COMPONENT(b, Edit5);
  LAYOUT_COMPONENT(b, Edit6);
  LAYOUT_COMPONENT(b, Edit8);
  LAYOUT_COMPONENT(b, Edit9);
  LAYOUT_COMPONENT(b, CheckBox1);
  LAYOUT_COMPONENT(b, CheckBox2);
  LAYOUT_COMPONENT(b, CheckBox3);
  LAYOUT_COMPONENT(b, CheckBox5);
  LAYOUT_COMPONENT(b, CheckBox6);
  LAYOUT_COMPONENT(b, CheckBox7);
  LAYOUT_COMPONENT(b, CheckBox8);
  LAYOUT_COMPONENT(b, CheckBox10);
  LAYOUT_COMPONENT(b, CheckBox11);
  LAYOUT_COMPONENT(b, CheckBox12);
  LAYOUT_COMPONENT(b, CheckBox13);
  LAYOUT_COMPONENT(b, CheckBox15);
  LAYOUT_COMPONENT(b, CheckBox16);
  LAYOUT_COMPONENT(b, CheckBox17);
  LAYOUT_COMPONENT(b, CheckBox19);
  LAYOUT_COMPONENT(b, CheckBox20);
  LAYOUT_COMPONENT(b, CheckBox21);
  LAYOUT_COMPONENT(b, CheckBox22);
  LAYOUT_COMPONENT(b, CheckBox23);
  LAYOUT_COMPONENT(b, CheckBox24);
  LAYOUT_COMPONENT(b, CheckBox25);
  LAYOUT_COMPONENT(b, CheckBox26);
  LAYOUT_COMPONENT(b, CheckBox27);
  LAYOUT_COMPONENT(b, CheckBox28);
  LAYOUT_COMPONENT(b, CheckBox29);
  LAYOUT_COMPONENT(b, RadioButton1);
  LAYOUT_COMPONENT(b, RadioButton2);
  LAYOUT_COMPONENT(b, RadioButton3);
  LAYOUT_COMPONENT(b, RadioButton4);
  LAYOUT_COMPONENT(b, RadioButton5);
  LAYOUT_COMPONENT(b, RadioButton6);
  LAYOUT_COMPONENT(b, RadioButton7);
  LAYOUT_COMPONENT(b, RadioButton8);
  LAYOUT_COMPONENT(b, RadioButton9);
  LAYOUT_COMPONENT(b, RadioButton10);
  LAYOUT_COMPONENT(b, RadioButton11);
  LAYOUT_COMPONENT(b, RadioButton12);
  LAYOUT_COMPONENT(b, RadioButton13);
  LAYOUT_COMPONENT(b, RadioButton14);
  LAYOUT_COMPONENT(b, WMVRadioButton);
  LAYOUT_COMPONENT(b, ComboBox1);
  LAYOUT_COMPONENT(b, ComboBox2);
  LAYOUT_COMPONENT(b, ComboBox3);
  LAYOUT_COMPONENT(b, ComboBox4);
  LAYOUT_COMPONENT(b, ComboBox5);
  LAYOUT_COMPONENT(b, TrackBar1);
  LAYOUT_COMPONENT(b, TrackBar2);
  LAYOUT_COMPONENT(b, DateTimePicker2);
  LAYOUT_COMPONENT(b, DateTimePicker3);
  LAYOUT_COMPONENT(b, DateTimePicker4);
  LAYOUT_COMPONENT(b, DateTimePicker5);
  LAYOUT_COMPONENT(b, Label4);
  LAYOUT_COMPONENT(b, Label35);
  LAYOUT_COMPONENT(b, Label45);
  LAYOUT_COMPONENT(b, Button1);
  LAYOUT_COMPONENT(b, Button3);
  LAYOUT_COMPONENT(b, CheckBox18);
  LAYOUT_COMPONENT(b, Image1);
  LAYOUT_COMPONENT(b, Image2);
  LAYOUT_COMPONENT(b, ScrollBox1);
  LAYOUT_COMPONENT(b, FileListBox1);
  LAYOUT_COMPONENT(b, SpeedButton4);
  LAYOUT_COMPONENT(b, SpeedButton9);
  LAYOUT_COMPONENT(b, SpeedButton13);
  LAYOUT_COMPONENT(b, SpeedButton21);
  LAYOUT_COMPONENT(b, SpeedButton22);
  LAYOUT_COMPONENT(b, SpeedButton23);
  LAYOUT_COMPONENT(b, SpeedButton24);
  LAYOUT_COMPONENT(b, BitBtn3);
  LAYOUT_COMPONENT(b, BitBtn4);
  LAYOUT_COMPONENT(b, Timer1);
  LAYOUT_COMPONENT(b, SaveDialog1);
  LAYOUT_COMPONENT(b, OpenDialog1);
  LAYOUT_COMPONENT(b, PopupMenu1);
  LAYOUT_COMPONENT(b, N1001);
  LAYOUT_COMPONENT(b, N2001);
  LAYOUT_COMPONENT(b, N501);
  LAYOUT_COMPONENT(b, N11);

  LAYOUT_HANDLER(b, FormCreate);
  LAYOUT_HANDLER(b, FormShow);
  LAYOUT_HANDLER(b, FormClose);
  LAYOUT_HANDLER(b, PageControl1Changing);
  LAYOUT_HANDLER(b, PageControl2Changing);
  LAYOUT_HANDLER(b, PageControl2Change);
  LAYOUT_HANDLER(b, SpeedButton4Click);
  LAYOUT_HANDLER(b, SpeedButton22Click);
  LAYOUT_HANDLER(b, SpeedButton23Click);
  LAYOUT_HANDLER(b, SpeedButton24Click);
  LAYOUT_HANDLER(b, CheckBox11Click);
  LAYOUT_HANDLER(b, CheckBox12Click);
  LAYOUT_HANDLER(b, CheckBox28Click);
  LAYOUT_HANDLER(b, CheckBox29Click);
  LAYOUT_HANDLER(b, RadioButton7Click);
  LAYOUT_HANDLER(b, WMVRadioButtonClick);
  LAYOUT_HANDLER(b, N54Click);
  LAYOUT_HANDLER(b, H2Click);
  LAYOUT_HANDLER(b, X1Click);
  LAYOUT_HANDLER(b, N22Click);
  LAYOUT_HANDLER(b, N23Click);
  LAYOUT_HANDLER(b, N24Click);
  LAYOUT_HANDLER(b, ToolButton10Click);
  declareBrowserMembers(b);
  LAYOUT_HANDLER(b, N1001Click);
  LAYOUT_HANDLER(b, N2001Click);
  LAYOUT_HANDLER(b, N501Click);
  LAYOUT_HANDLER(b, N11Click);
  LAYOUT_HANDLER(b, TrackBar1Change);
  LAYOUT_HANDLER(b, N30Click);
  LAYOUT_HANDLER(b, N3Click);
  LAYOUT_HANDLER(b, N26Click);
  declareRecordingListHandlers(b);
}
