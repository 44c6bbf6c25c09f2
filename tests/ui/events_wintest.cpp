// The event rules the product forms rely on, checked on the gallery form
// with real windows: which changes fire which events, closing and modal
// results, exceptions escaping handlers, menus and keys; plus the registry,
// threads and the printer's "no printer" path.
#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

#include <atomic>
#include <functional>

#include "Gallery.h"
#include "Registry.h"
#include "SysUtils.h"
#include "Threads.h"

namespace {

class Events : public ::testing::Test {
protected:
  void SetUp() override {
    g = new TGalleryForm(nullptr);
    g->Show();
    Application->ProcessMessages();
    g->log.clear();
  }
  void TearDown() override { delete g; }
  // Pumps until the condition holds (at most two seconds).
  bool PumpUntil(const std::function<bool()>& done) {
    for (DWORD start = GetTickCount(); GetTickCount() - start < 2000;) {
      Application->ProcessMessages();
      if (done()) return true;
      Sleep(5);
    }
    return false;
  }
  void Click(TControl* c) { SendMessageW(c->Handle(), BM_CLICK, 0, 0); }
  // A notification as Win32 sends it to the control's parent.
  void Notify(TControl* c, WORD code) {
    SendMessageW(GetParent(c->Handle()), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(c->Handle()), code),
                 reinterpret_cast<LPARAM>(c->Handle()));
  }
  void ClickTab(int index) {
    HWND tabs = g->PageControl1->Handle();
    RECT r;
    SendMessageW(tabs, TCM_GETITEMRECT, index, reinterpret_cast<LPARAM>(&r));
    LPARAM at = MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    SendMessageW(tabs, WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageW(tabs, WM_LBUTTONUP, 0, at);
  }
  using Log = std::vector<std::string>;
  TGalleryForm* g = nullptr;
  TRecordingDialogHook boxes;
};

TEST_F(Events, CheckedInCodeFiresOnClickOnlyOnChange) {
  g->CheckBox1->SetChecked(false);
  g->CheckBox1->SetChecked(false);
  EXPECT_EQ(g->log, Log{"CheckBox1Click:0"});
  EXPECT_EQ(SendMessageW(g->CheckBox1->Handle(), BM_GETCHECK, 0, 0), BST_UNCHECKED);
  Click(g->CheckBox1);  // the user's click toggles and fires once
  EXPECT_EQ(g->log, (Log{"CheckBox1Click:0", "CheckBox1Click:1"}));
  EXPECT_TRUE(g->CheckBox1->Checked());
  EXPECT_EQ(SendMessageW(g->CheckBox1->Handle(), BM_GETCHECK, 0, 0), BST_CHECKED);
}

TEST_F(Events, RadioButtonsAreExclusivePerParent) {
  g->RadioButton2->SetChecked(true);
  EXPECT_EQ(g->log, Log{"RadioButton2Click"});  // the sibling is unchecked silently
  EXPECT_FALSE(g->RadioButton1->Checked());
  EXPECT_EQ(SendMessageW(g->RadioButton1->Handle(), BM_GETCHECK, 0, 0), BST_UNCHECKED);
  g->RadioButton2->SetChecked(false);  // unchecking in code fires nothing
  EXPECT_EQ(g->log.size(), 1u);
  Click(g->RadioButton1);
  Click(g->RadioButton1);  // already checked: nothing more
  EXPECT_EQ(g->log, (Log{"RadioButton2Click", "RadioButton1Click"}));

  // Made at run time under the same parent, it joins the group; one under
  // another parent does not.
  auto* extra = new TRadioButton(g);
  extra->SetParent(g->RadioButton1->Parent());
  int clicks = 0;
  extra->OnClick = [&](TObject*) { ++clicks; };
  extra->SetChecked(true);
  EXPECT_EQ(clicks, 1);
  EXPECT_FALSE(g->RadioButton1->Checked());
  auto* elsewhere = new TRadioButton(g);
  elsewhere->SetParent(g->Panel1);
  elsewhere->SetChecked(true);
  EXPECT_TRUE(extra->Checked());
}

TEST_F(Events, ActivePageIndexInCodeIsSilentUserChangeCanBeRefused) {
  g->PageControl1->SetActivePageIndex(1);
  EXPECT_TRUE(g->log.empty());
  EXPECT_TRUE(g->TabSheet2->Visible());
  EXPECT_FALSE(g->TabSheet1->Visible());
  EXPECT_EQ(SendMessageW(g->PageControl1->Handle(), TCM_GETCURSEL, 0, 0), 1);

  ClickTab(2);
  EXPECT_EQ(g->log, (Log{"PageControl1Changing", "PageControl1Change"}));
  EXPECT_EQ(g->PageControl1->ActivePageIndex(), 2);

  g->lockPage = true;
  g->log.clear();
  ClickTab(0);
  EXPECT_EQ(g->log, Log{"PageControl1Changing"});
  EXPECT_EQ(g->PageControl1->ActivePageIndex(), 2);
  EXPECT_EQ(SendMessageW(g->PageControl1->Handle(), TCM_GETCURSEL, 0, 0), 2);
}

TEST_F(Events, CloseRulesAndShowEvents) {
  g->closeAction = caNone;
  PostMessageW(g->Handle(), WM_CLOSE, 0, 0);
  Application->ProcessMessages();
  EXPECT_EQ(g->log, Log{"FormClose"});
  EXPECT_TRUE(IsWindowVisible(g->Handle()));  // refused

  g->closeAction = caHide;
  g->Close();
  EXPECT_FALSE(g->Visible());
  EXPECT_FALSE(IsWindowVisible(g->Handle()));
  g->Show();
  g->Show();  // already shown: no second OnShow
  g->Hide();
  g->Show();
  EXPECT_EQ(g->Count("FormShow"), 2);
}

TEST_F(Events, ExceptionInAHandlerShowsItsTextAndTheProgramGoesOn) {
  Application->SetTitle("Vidorra");
  g->throwInButton = true;
  Click(g->Button1);
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].text, AnsiString("'abc' 不是有效的整数"));
  EXPECT_EQ(boxes.boxes[0].caption, AnsiString("Vidorra"));
  EXPECT_TRUE(boxes.boxes[0].flags & MB_ICONSTOP);
  g->throwStd = true;
  Click(g->Button1);
  ASSERT_EQ(boxes.boxes.size(), 2u);
  EXPECT_EQ(boxes.boxes[1].text, AnsiString("std failure"));
  g->throwInButton = g->throwStd = false;
  Click(g->Button1);
  EXPECT_EQ(g->Count("Button1Click"), 3);
  EXPECT_EQ(boxes.boxes.size(), 2u);
  // From a timer, outside any window procedure, too.
  g->Timer1->OnTimer = [](TObject*) { throw Exception("定时器出错"); };
  g->Timer1->SetEnabled(true);
  EXPECT_TRUE(PumpUntil([&] { return boxes.boxes.size() == 3; }));
  g->Timer1->SetEnabled(false);
  EXPECT_EQ(boxes.boxes.back().text, AnsiString("定时器出错"));
}

TEST_F(Events, ModalResultsAndRefusedModalClose) {
  g->Hide();
  TForm other(nullptr);
  other.Show();
  g->Button1->SetModalResult(mrOk);
  PostMessageW(g->Button1->Handle(), BM_CLICK, 0, 0);
  EXPECT_EQ(g->ShowModal(), mrOk);
  EXPECT_FALSE(g->Visible());
  EXPECT_TRUE(IsWindowEnabled(other.Handle()));

  // The first close is refused by OnClose; the timer then allows it and
  // presses the cancel button. Other windows stay disabled meanwhile.
  g->closeAction = caNone;
  bool otherDisabled = false;
  g->Timer1->SetInterval(30);
  g->Timer1->OnTimer = [&](TObject*) {
    if (g->Count("FormClose") == 0) return;
    otherDisabled = !IsWindowEnabled(other.Handle());
    g->Timer1->SetEnabled(false);
    g->closeAction = caHide;
    PostMessageW(g->BitBtn1->Handle(), BM_CLICK, 0, 0);
  };
  g->Timer1->SetEnabled(true);
  PostMessageW(g->Button1->Handle(), BM_CLICK, 0, 0);
  g->log.clear();
  EXPECT_EQ(g->ShowModal(), mrCancel);
  EXPECT_EQ(g->Count("FormClose"), 2);
  EXPECT_EQ(g->Count("FormShow"), 1);
  EXPECT_TRUE(otherDisabled);
  EXPECT_TRUE(IsWindowEnabled(other.Handle()));

  // Close() and WM_CLOSE while modal give mrCancel.
  g->Timer1->OnTimer = [&](TObject*) { g->Close(); };
  g->Timer1->SetEnabled(true);
  EXPECT_EQ(g->ShowModal(), mrCancel);
  g->Timer1->SetEnabled(false);
  PostMessageW(g->Handle(), WM_CLOSE, 0, 0);
  EXPECT_EQ(g->ShowModal(), mrCancel);
}

TEST_F(Events, MenusShortCutsKeysAndHelp) {
  PostMessageW(g->Handle(), WM_COMMAND, MAKEWPARAM(g->N1->Command(), 0), 0);
  PostMessageW(g->Handle(), WM_COMMAND, MAKEWPARAM(g->N2->Command(), 0), 0);
  Application->ProcessMessages();
  EXPECT_EQ(g->log, (Log{"N1Click", "N2Click"}));
  EXPECT_FALSE(g->N2->Checked());
  MENUITEMINFOW mi = {};
  mi.cbSize = sizeof(mi);
  mi.fMask = MIIM_STATE;
  ASSERT_TRUE(GetMenuItemInfoW(GetMenu(g->Handle()), g->N2->Command(), FALSE, &mi));
  EXPECT_FALSE(mi.fState & MFS_CHECKED);
  ASSERT_TRUE(GetMenuItemInfoW(GetMenu(g->Handle()), g->N3->Command(), FALSE, &mi));
  EXPECT_TRUE(mi.fState & MFS_DISABLED);

  // Opening a submenu fires its item's OnClick first, so that the handler
  // can enable the items; an enabling done there shows in the open menu.
  TMenuItem* file = static_cast<TMenuItem*>(g->FindComponent("F1"));
  file->OnClick = [&](TObject*) { g->N3->SetEnabled(true); g->log.push_back("F1Click"); };
  g->log.clear();
  SendMessageW(g->Handle(), WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(GetSubMenu(GetMenu(g->Handle()), 0)), 0);
  EXPECT_EQ(g->log, (Log{"F1Click"}));
  ASSERT_TRUE(GetMenuItemInfoW(GetMenu(g->Handle()), g->N3->Command(), FALSE, &mi));
  EXPECT_FALSE(mi.fState & MFS_DISABLED);
  g->N3->SetEnabled(false);
  file->OnClick = nullptr;

  g->log.clear();
  g->Edit1->SetFocus();
  PostMessageW(g->Edit1->Handle(), WM_KEYDOWN, VK_F10, 0);   // main menu short cut
  PostMessageW(g->Edit1->Handle(), WM_KEYDOWN, VK_F12, 0);   // popup menu short cut
  PostMessageW(g->Edit1->Handle(), WM_KEYDOWN, VK_F1, 0);    // help
  PostMessageW(g->Edit1->Handle(), WM_KEYDOWN, VK_ESCAPE, 0);  // the form previews and swallows it
  Application->ProcessMessages();
  EXPECT_EQ(g->log, (Log{"N5Click", "P2Click", "Help", "FormKeyDown:27"}));

  g->Edit1->SetText("");
  g->log.clear();
  for (wchar_t c : std::wstring(L"axb")) SendMessageW(g->Edit1->Handle(), WM_CHAR, c, 1);
  EXPECT_EQ(g->Edit1->Text(), AnsiString("ab"));  // 'x' refused by OnKeyPress
  EXPECT_EQ(g->Count("Edit1KeyPress:x"), 1);
  EXPECT_EQ(g->Count("Edit1Change"), 2);
}

TEST_F(Events, EditLimitCountsCp936BytesOfTypedText) {
  // Edit1 takes at most 20 bytes: ten Chinese characters, not twenty.
  g->Edit1->SetText("");
  for (wchar_t c : std::wstring(L"\x5F55\x50CF\x6A21\x5F0F\x5F55\x50CF\x6A21\x5F0F\x5F55\x50CF\x6A21\x5F0F"))
    SendMessageW(g->Edit1->Handle(), WM_CHAR, c, 1);
  EXPECT_EQ(g->Edit1->Text(), AnsiString("录像模式录像模式录像"));
  for (wchar_t c : std::wstring(L"ab")) SendMessageW(g->Edit1->Handle(), WM_CHAR, c, 1);
  EXPECT_EQ(g->Edit1->Text().Length(), 20);
  g->Edit1->SetText("录像模式录像模式录像模式 longer in code");  // code is not cut
  EXPECT_EQ(g->Edit1->Text(), AnsiString("录像模式录像模式录像模式 longer in code"));
}

TEST_F(Events, ValueControls) {
  g->TrackBar1->SetPosition(55);
  g->TrackBar1->SetPosition(55);
  g->TrackBar1->SetPosition(500);
  EXPECT_EQ(g->log, (Log{"TrackBar1Change:55", "TrackBar1Change:100"}));
  EXPECT_EQ(SendMessageW(g->TrackBar1->Handle(), TBM_GETPOS, 0, 0), 100);

  g->log.clear();
  g->ComboBox1->SetItemIndex(3);  // silent
  EXPECT_TRUE(g->log.empty());
  EXPECT_EQ(g->ComboBox1->Text(), AnsiString("4"));
  SendMessageW(g->ComboBox1->Handle(), CB_SETCURSEL, 5, 0);
  Notify(g->ComboBox1, CBN_SELCHANGE);  // what a user's choice sends
  EXPECT_EQ(g->log, Log{"ComboBox1Change"});
  EXPECT_EQ(g->ComboBox1->ItemIndex(), 5);

  g->ListBox1->SetSelected(0, true);
  g->ListBox1->SetSelected(2, true);
  EXPECT_EQ(g->ListBox1->SelCount(), 2);
  EXPECT_TRUE(g->ListBox1->Selected(2));
  EXPECT_FALSE(g->ListBox1->Selected(1));
  EXPECT_THROW(g->ListBox1->Selected(3), EStringListError);

  Click(g->SpeedButton2);
  EXPECT_TRUE(g->SpeedButton2->Down());
  EXPECT_FALSE(g->SpeedButton1->Down());
  Click(g->SpeedButton2);  // a group without AllowAllUp keeps one down
  EXPECT_TRUE(g->SpeedButton2->Down());
  EXPECT_EQ(SendMessageW(g->SpeedButton2->Handle(), BM_GETCHECK, 0, 0), BST_CHECKED);

  g->log.clear();
  SendMessageW(g->Image1->Handle(), WM_LBUTTONDOWN, MK_LBUTTON | MK_SHIFT, MAKELPARAM(12, 34));
  SendMessageW(g->Image1->Handle(), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(13, 35));
  SendMessageW(g->Image1->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(13, 35));
  SendMessageW(g->Image2->Handle(), WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(5, 5));
  EXPECT_EQ(g->log, (Log{"Image1MouseDown:0:12,34:left:shift", "Image1MouseMove:13,35", "Image2DblClick"}));

  // The colour swatch asks the colour dialog (answered by the seam).
  boxes.colorAnswers = {clRed, clDefault};
  Notify(g->Label3, STN_CLICKED);
  EXPECT_EQ(g->Label3->Color(), clRed);
  Notify(g->Label3, STN_CLICKED);  // cancelled: unchanged
  EXPECT_EQ(g->Label3->Color(), clRed);
  EXPECT_EQ(g->Count("Label3Click"), 2);

  g->Timer1->SetEnabled(true);
  EXPECT_TRUE(PumpUntil([&] { return g->Count("Timer1Timer") == 1; }));
}

TEST_F(Events, FileListBoxFollowsTheMaskList) {
  wchar_t tmp[MAX_PATH];
  GetTempPathW(MAX_PATH, tmp);
  std::wstring dir = std::wstring(tmp) + L"vidorra_filelist";
  CreateDirectoryW(dir.c_str(), nullptr);
  CreateDirectoryW((dir + L"\\sub.avi").c_str(), nullptr);  // folders never show
  const wchar_t* files[] = {L"b.avi", L"A.LX", L"\x5F55\x50CF" L"1.lx", L"c.exe", L"d.txt", L"e.avi.bak"};
  for (const wchar_t* f : files) CloseHandle(CreateFileW((dir + L"\\" + f).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));

  TFileListBox* list = g->FileListBox1;
  list->SetMask("*.avi;*.lx;*.AVI; *.exe");
  list->SetDirectory(WideToCp936(dir));
  std::vector<std::string> got;
  for (int i = 0; i < list->Items()->Count(); ++i) got.push_back(list->Items()->Strings(i).str());
  EXPECT_EQ(got, (std::vector<std::string>{"A.LX", "b.avi", "c.exe", std::string("录像1.lx")}));
  EXPECT_TRUE(list->FileName().IsEmpty());
  list->SetItemIndex(3);
  EXPECT_EQ(list->FileName(), WideToCp936(dir) + "\\录像1.lx");
  CloseHandle(CreateFileW((dir + L"\\0.avi").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  list->Update();
  EXPECT_EQ(list->Items()->Count(), 5);
  EXPECT_EQ(list->FileName(), WideToCp936(dir) + "\\录像1.lx");  // the selection survives

  for (const wchar_t* f : files) DeleteFileW((dir + L"\\" + f).c_str());
  DeleteFileW((dir + L"\\0.avi").c_str());
  RemoveDirectoryW((dir + L"\\sub.avi").c_str());
  RemoveDirectoryW(dir.c_str());
}

TEST_F(Events, DialogSeamRecordsAndAnswers) {
  Application->SetTitle("Vidorra");
  boxes.answers = {IDCANCEL};
  EXPECT_EQ(Application->MessageBox("要退出吗?", "Vidorra", MB_OKCANCEL), IDCANCEL);
  ShowMessage("完成");
  ASSERT_EQ(boxes.boxes.size(), 2u);
  EXPECT_EQ(boxes.boxes[1].text, AnsiString("完成"));
  EXPECT_EQ(boxes.boxes[1].caption, AnsiString("Vidorra"));
  boxes.fileAnswers = {"C:\\录像\\a.lx", ""};
  EXPECT_TRUE(g->OpenDialog1->Execute());
  EXPECT_EQ(g->OpenDialog1->FileName, AnsiString("C:\\录像\\a.lx"));
  EXPECT_FALSE(g->SaveDialog1->Execute());
  boxes.inputAnswers = {"新名字"};
  AnsiString value = "a";
  EXPECT_TRUE(InputQuery("请输入", "请输入新文件名", value));
  EXPECT_EQ(value, AnsiString("新名字"));
  EXPECT_FALSE(InputQuery("请输入", "请输入新文件名", value));  // nothing queued: Cancel
  EXPECT_EQ(value, AnsiString("新名字"));
  ASSERT_EQ(boxes.inputs.size(), 2u);
  EXPECT_EQ(boxes.inputs[0].caption, AnsiString("请输入"));
  EXPECT_EQ(boxes.inputs[0].prompt, AnsiString("请输入新文件名"));
  EXPECT_EQ(boxes.inputs[0].value, AnsiString("a"));
}

TEST(Registry, RoundTripAndFailures) {
  const AnsiString key = "\\Software\\VidorraTest\\设置";
  TRegistry reg;
  EXPECT_FALSE(reg.OpenKeyReadOnly(key + "\\missing"));
  ASSERT_TRUE(reg.OpenKey(key, true));
  reg.WriteInteger("zorbelv2", 1);
  reg.WriteString("name", "录像模式");
  EXPECT_EQ(reg.ReadInteger("zorbelv2"), 1);
  EXPECT_EQ(reg.ReadString("name"), AnsiString("录像模式"));
  EXPECT_TRUE(reg.ValueExists("name"));
  EXPECT_THROW(reg.ReadInteger("name"), ERegistryException);  // wrong type
  EXPECT_THROW(reg.ReadInteger("none"), ERegistryException);
  EXPECT_TRUE(reg.DeleteValue("name"));
  EXPECT_FALSE(reg.DeleteValue("name"));
  reg.CloseKey();
  ASSERT_TRUE(reg.OpenKeyReadOnly(key));
  EXPECT_EQ(reg.ReadInteger("zorbelv2"), 1);
  EXPECT_THROW(reg.WriteInteger("zorbelv2", 2), ERegistryException);  // read-only
  reg.CloseKey();
  EXPECT_THROW(reg.WriteString("x", "y"), ERegistryException);  // no key open
  EXPECT_TRUE(reg.DeleteKey(key));
  EXPECT_TRUE(reg.DeleteKey("\\Software\\VidorraTest"));
}

std::atomic<int> g_ran{0}, g_freed{0};
class Worker : public TThread {
public:
  explicit Worker(int v) : value(v) { FreeOnTerminate = true; }
  ~Worker() override { g_freed = value; }
  int value;

protected:
  void Execute() override { g_ran = value; }
};

TEST(Thread, RunsAfterConstructionAndFreesItself) {
  Worker::Run<Worker>(7);
  for (int i = 0; i < 200 && g_freed != 7; ++i) Sleep(10);
  EXPECT_EQ(g_ran, 7);
  EXPECT_EQ(g_freed, 7);
}

TEST(Printing, NoPrinterIsReportedNotPrinted) {
  TRecordingDialogHook boxes;
  TPrintDialog dialog(nullptr);
  EXPECT_FALSE(dialog.Execute());
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].text, AnsiString("没有安装打印机"));
  Printer()->Title = "Vidorra";
  EXPECT_THROW(Printer()->BeginDoc(), EPrinter);
  EXPECT_FALSE(Printer()->Printing());
}

}  // namespace
