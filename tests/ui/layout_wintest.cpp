// The layout loader: every mismatch between a layout and its form class
// fails loudly, and the gallery layout comes out of the program's resources
// intact; CreateForm and the date conversions.
#include <gtest/gtest.h>

#include "Gallery.h"

#include <commctrl.h>
#include "SysUtils.h"

namespace {

// A small form class: one declared component and two handlers.
class TProbeForm : public TForm {
public:
  explicit TProbeForm(const std::string& layout) : TForm(nullptr) { LoadLayoutText(layout, "TProbeForm"); }
  TButton* Button1 = nullptr;
  void Button1Click(TObject*) { ++clicks; }
  void FormClose(TObject*, TCloseAction&) {}
  int clicks = 0;

protected:
  void DeclareMembers(TFormBinder& b) override {
    LAYOUT_COMPONENT(b, Button1);
    LAYOUT_HANDLER(b, Button1Click);
    LAYOUT_HANDLER(b, FormClose);
  }
};

TEST(LayoutLoader, MismatchesBetweenLayoutAndClassFailLoudly) {
  struct Case {
    const char* body;
    const char* message;
  } cases[] = {
      {"TButton Button1 { OnClick = Button9Click }", "declares no handler Button9Click"},
      {"OnClose = Button1Click TButton Button1 { }", "wrong signature"},
      {"TButton Button1 { Colour = clRed }", "TButton has no property Colour"},
      {"TButton Button1 { } TFancyButton Button2 { }", "unknown component class TFancyButton"},
      {"TButton Button2 { }", "declares Button1 but the layout has none"},
      {"TLabel Button1 { }", "of another class"},
      {"TButton Button1 { } TLabel Button1 { }", "two components named Button1"},
      {"TButton Button1 { Caption = 5 }", "expected a \"string\""},
      {"TButton Button1 { } TLabel Label1 { OnChange = Button1Click }", "TLabel has no event OnChange"},
      {"TButton Button1 { TMenuItem N1 { } }", "cannot hold N1"},
      {"TButton Button1 { Align = alMiddle }", "unknown alignment"},
      {"TButton Button1 { Font.Style = [fsBlink] }", "unknown font style"},
      {"TButton Button1 { PopupMenu = Nothing }", "no popup menu named Nothing"},
  };
  for (const Case& c : cases) {
    std::string message;
    try {
      TProbeForm f(std::string("form TProbeForm {\n") + c.body + "\n}");
    } catch (const ELayoutError& e) {
      message = e.Message.str();
    }
    EXPECT_NE(message.find(c.message), std::string::npos) << c.body << " gave: " << message;
  }
}

TEST(LayoutLoader, BindsMembersAndHandlers) {
  TProbeForm f(u8"form TProbeForm { Caption = \"探针\" TButton Button1 { Caption = \"确定(&Y)\" OnClick = Button1Click } }");
  ASSERT_NE(f.Button1, nullptr);
  EXPECT_EQ(f.Button1->Caption(), AnsiString("确定(&Y)"));
  EXPECT_EQ(f.Caption(), AnsiString("探针"));
  EXPECT_EQ(WindowText(f.Button1->Handle()), AnsiString("确定(&Y)"));  // through the W functions and back
  SendMessageW(f.Button1->Handle(), BM_CLICK, 0, 0);
  EXPECT_EQ(f.clicks, 1);
}

TEST(LayoutLoader, GalleryComesFromTheResources) {
  TGalleryForm g(nullptr);
  EXPECT_EQ(g.log, std::vector<std::string>{"FormCreate"});  // OnCreate once, no OnShow before showing
  EXPECT_EQ(g.Caption(), AnsiString("控件一览 Control gallery"));
  EXPECT_EQ(g.ClientWidth(), 760);
  EXPECT_EQ(g.ClientHeight(), 540);
  EXPECT_EQ(g.ComboBox1->ItemIndex(), 1);
  EXPECT_EQ(g.ComboBox1->Text(), AnsiString("2"));
  EXPECT_EQ(g.ComboBox2->Text(), AnsiString("立体声混音"));
  EXPECT_EQ(g.Memo1->Lines().Count(), 2);
  EXPECT_EQ(g.Memo1->Lines()[1], AnsiString("第二行 second line"));
  EXPECT_EQ(g.TrackBar1->Position(), 30);
  EXPECT_EQ(SendMessageW(g.TrackBar1->Handle(), TBM_GETSELEND, 0, 0), 60);
  EXPECT_TRUE(g.N2->Checked());
  EXPECT_FALSE(g.N3->Enabled());
  EXPECT_EQ(g.Menu(), g.MainMenu1);
  EXPECT_EQ(g.Panel1->PopupMenu(), g.PopupMenu1);
  EXPECT_EQ(g.SaveDialog1->Options, ofOverwritePrompt | ofEnableSizing);
  EXPECT_EQ(g.PageControl1->ActivePageIndex(), 0);
  EXPECT_TRUE(g.SpeedButton1->Down());
  EXPECT_TRUE(g.CheckBox1->Checked());
  EXPECT_EQ(SendMessageW(g.CheckBox1->Handle(), BM_GETCHECK, 0, 0), BST_CHECKED);
  SYSTEMTIME st = DateTimeToSystemTime(g.DateTimePicker1->DateTime());
  EXPECT_EQ(st.wYear * 10000 + st.wMonth * 100 + st.wDay, 20090501);
  // Setting properties while loading fires no events.
  EXPECT_EQ(g.Count("CheckBox1Click:1") + g.Count("RadioButton1Click") + g.Count("TrackBar1Change:30"), 0);
  EXPECT_THROW(TForm(nullptr).LoadLayout("TNoSuchForm"), ELayoutError);
}

class TSelfSeeing : public TForm {
public:
  explicit TSelfSeeing(TComponent* Owner);
  bool sawItself = false;
};
TSelfSeeing* SelfSeeing;
TSelfSeeing::TSelfSeeing(TComponent* Owner) : TForm(Owner) { sawItself = SelfSeeing == this; }

TEST(Application, CreateFormSetsTheVariableFirstAndTheFirstFormIsMain) {
  ASSERT_EQ(Application->MainForm(), nullptr);
  Application->CreateForm(SelfSeeing);
  EXPECT_TRUE(SelfSeeing->sawItself);
  EXPECT_EQ(Application->MainForm(), SelfSeeing);
  TSelfSeeing* second = nullptr;
  Application->CreateForm(second);
  EXPECT_EQ(Application->MainForm(), SelfSeeing);
  EXPECT_EQ(second->Owner(), Application);
  delete second;
  delete SelfSeeing;
  EXPECT_EQ(Application->MainForm(), nullptr);
  EXPECT_EQ(Application->ComponentCount(), 0);
}

TEST(DateTime, DaysAndCalendarAgree) {
  struct Case {
    double value;
    int ymd, hms;
  } cases[] = {{0.0, 18991230, 0}, {1.0, 18991231, 0}, {36526.5, 20000101, 120000}, {39934.75, 20090501, 180000},
               {-1.0, 18991229, 0}, {43890.0, 20200229, 0}};
  for (const Case& c : cases) {
    SYSTEMTIME st = DateTimeToSystemTime(c.value);
    EXPECT_EQ(st.wYear * 10000 + st.wMonth * 100 + st.wDay, c.ymd) << c.value;
    EXPECT_EQ(st.wHour * 10000 + st.wMinute * 100 + st.wSecond, c.hms) << c.value;
    EXPECT_DOUBLE_EQ(SystemTimeToDateTime(st), c.value);
  }
}

}  // namespace
