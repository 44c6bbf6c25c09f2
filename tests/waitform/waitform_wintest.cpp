// The progress window and the bit-rate dialog in-process, with real windows
// built from their product layouts: a job stops at its next pass once the
// window is closed by any of its ways, the SWF maker's stages, the adapters
// through which portable jobs (a real zlib sound packing, soundProgress)
// report and are cancelled, the renewal after a job, and the dialog's choice
// for every way of leaving it. Window state is read back through Win32
// (window styles, PBM_GETPOS, LB_GETTEXT), not through the classes.
#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "Classes.h"
#include "SelectBitrateForm_win.h"
#include "SoundTrack.h"
#include "SysUtils.h"
#include "WaitForm_win.h"

namespace {

AnsiString WindowCaption(HWND h) { return WindowText(h); }
int BarPos() { return static_cast<int>(SendMessageW(WaitForm->ProgressBar1->Handle(), PBM_GETPOS, 0, 0)); }
int BarMax() {
  return static_cast<int>(SendMessageW(WaitForm->ProgressBar1->Handle(), PBM_GETRANGE, FALSE, 0));
}
bool WaitShown() { return WaitForm->HandleAllocated() && IsWindowVisible(WaitForm->Handle()); }

// A folder of its own under the system's temporary folder, ending in '\'.
AnsiString TempFolder(const char* leaf) {
  wchar_t buf[MAX_PATH];
  GetTempPathW(MAX_PATH, buf);
  AnsiString dir = WideToCp936(buf) + leaf + "\\";
  CreateDirectoryW(Cp936ToWide(dir).c_str(), nullptr);
  return dir;
}

void WriteFileBytes(const AnsiString& path, const std::vector<unsigned char>& bytes) {
  HANDLE f = CreateFileW(Cp936ToWide(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(f, INVALID_HANDLE_VALUE);
  DWORD put = 0;
  WriteFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &put, nullptr);
  CloseHandle(f);
}

bool Exists(const AnsiString& path) {
  return GetFileAttributesW(Cp936ToWide(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

// A mono 8-bit 11,025 Hz WAV of dataLength bytes of noise (noise, so that
// zlib has work to do in every chunk).
std::vector<unsigned char> NoiseWav(std::size_t dataLength) {
  std::vector<unsigned char> w(44 + dataLength);
  auto put32 = [&](std::size_t at, unsigned v) {
    for (int i = 0; i < 4; ++i) w[at + i] = static_cast<unsigned char>(v >> (8 * i));
  };
  auto put16 = [&](std::size_t at, unsigned v) {
    w[at] = static_cast<unsigned char>(v);
    w[at + 1] = static_cast<unsigned char>(v >> 8);
  };
  std::memcpy(&w[0], "RIFF", 4);
  put32(4, static_cast<unsigned>(36 + dataLength));
  std::memcpy(&w[8], "WAVEfmt ", 8);
  put32(16, 16);
  put16(20, 1);
  put16(22, 1);
  put32(24, 11025);
  put32(28, 11025);
  put16(32, 1);
  put16(34, 8);
  std::memcpy(&w[36], "data", 4);
  put32(40, static_cast<unsigned>(dataLength));
  unsigned x = 12345;
  for (std::size_t i = 44; i < w.size(); ++i) {
    x = x * 1103515245u + 12345u;
    w[i] = static_cast<unsigned char>(x >> 16);
  }
  return w;
}

class WaitFormTest : public ::testing::Test {
protected:
  void SetUp() override {
    WaitForm = new TWaitForm(nullptr);
    SelectBitrateForm = new TSelectBitrateForm(nullptr);
  }
  void TearDown() override {
    delete WaitForm;
    WaitForm = nullptr;
    delete SelectBitrateForm;
    SelectBitrateForm = nullptr;
    setFlashJobHooks({});
    setSoundProgressWindow(nullptr);
    Application->ProcessMessages();
  }
  TRecordingDialogHook boxes;
};

TEST_F(WaitFormTest, LayoutIsTheDesignedWindow) {
  HWND h = WaitForm->Handle();
  EXPECT_EQ(WindowCaption(h), "正在处理");
  RECT client;
  GetClientRect(h, &client);
  EXPECT_EQ(client.right, 512);
  EXPECT_EQ(client.bottom, 88);
  EXPECT_TRUE(GetWindowLongW(h, GWL_EXSTYLE) & WS_EX_TOPMOST);
  EXPECT_FALSE(GetWindowLongW(h, GWL_STYLE) & WS_THICKFRAME);  // single border
  EXPECT_EQ(BarMax(), 100);
  EXPECT_EQ(WaitForm->ProgressBar1->Width(), 497);
  EXPECT_EQ(WindowCaption(WaitForm->SpeedButton1->Handle()), "取消");
  EXPECT_FALSE(IsWindowVisible(h));  // hidden between jobs
}

// Every way a user closes the window is a cancel that the job sees at its
// next pass; the caption the job set does not outlive it.
TEST_F(WaitFormTest, ClosingTheWindowStopsTheJobAtItsNextPass) {
  struct Way {
    const char* name;
    std::function<void()> cancel;
  };
  const Way ways[] = {
      {"button", [] { PostMessageW(WaitForm->SpeedButton1->Handle(), BM_CLICK, 0, 0); }},
      {"close box", [] { PostMessageW(WaitForm->Handle(), WM_SYSCOMMAND, SC_CLOSE, 0); }},
      {"WM_CLOSE", [] { PostMessageW(WaitForm->Handle(), WM_CLOSE, 0, 0); }},
  };
  for (const Way& way : ways) {
    SCOPED_TRACE(way.name);
    showWaitForm("正在测试", 50, "正在处理生成FLASH动画");
    ASSERT_TRUE(WaitShown());
    EXPECT_EQ(WindowCaption(WaitForm->Handle()), "正在处理生成FLASH动画");
    EXPECT_EQ(WindowCaption(WaitForm->Label1->Handle()), "正在测试");
    int passes = 0;
    for (int i = 1; i <= 50 && waitFormStep(i); ++i) {
      ++passes;
      EXPECT_EQ(BarPos(), i);
      if (i == 7) way.cancel();
    }
    EXPECT_EQ(passes, 7);
    EXPECT_FALSE(WaitShown());
    EXPECT_EQ(WindowCaption(WaitForm->Handle()), "正在处理");
  }
}

TEST_F(WaitFormTest, FlashMakerStages) {
  const AnsiString dir = TempFolder("vidorra_waitform_flash");
  std::vector<std::string> log;
  FlashJobHooks hooks;
  hooks.workingFolder = [&] { return dir; };
  hooks.deleteFlashTempFiles = [&] { log.push_back(Exists(dir + "lsflash.tmp") ? "clean, tmp left" : "clean"); };
  setFlashJobHooks(hooks);

  showWaitForm("开始", 200, "正在处理生成FLASH动画");
  struct Row {
    WPARAM stage;
    LPARAM value;
    const char* label;
    int bar;
  };
  const Row rows[] = {
      {3, 40, "正在转换-处理图象", 40},  // 40 of the job's own maximum
      {2, 15, "正在转换-预处理图象", 15},
      {1, 90, "正在转换-预处理图象", 15},  // unknown stages change nothing
      {6, 90, "正在转换-预处理图象", 15},
      {4, 90, "正在进行最后生成", 15},  // the last stage moves no bar
      {3, 500, "正在转换-处理图象", 200},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.stage);
    EXPECT_EQ(SendMessageW(WaitForm->Handle(), WM_FLASH_PROGRESS, r.stage, r.value), 0);
    EXPECT_EQ(WindowCaption(WaitForm->Label1->Handle()), r.label);
    EXPECT_EQ(BarPos(), r.bar);
    EXPECT_EQ(BarMax(), 200);
    EXPECT_TRUE(WaitShown());
  }
  EXPECT_TRUE(log.empty());

  // Done: the window closes, the hand-over file goes, then the sound temporaries.
  WriteFileBytes(dir + "lsflash.tmp", {1, 2, 3});
  SendMessageW(WaitForm->Handle(), WM_FLASH_PROGRESS, 5, 0);
  EXPECT_FALSE(WaitShown());
  EXPECT_EQ(WindowCaption(WaitForm->Handle()), "正在处理");
  EXPECT_FALSE(Exists(dir + "lsflash.tmp"));
  EXPECT_EQ(log, std::vector<std::string>{"clean"});

  // Also when no Flash job runs: the hand-over file is still deleted.
  WriteFileBytes(dir + "lsflash.tmp", {1});
  SendMessageW(WaitForm->Handle(), WM_FLASH_PROGRESS, 5, 0);
  EXPECT_FALSE(Exists(dir + "lsflash.tmp"));
  EXPECT_EQ(log.size(), 2u);
  RemoveDirectoryW(Cp936ToWide(dir).c_str());
}

// A real job of the formats layer (zlib sound packing, ten chunks) through
// the FormatsHost adapter: done when left alone, cancelled at the chunk
// during which the user pressed "取消".
TEST_F(WaitFormTest, SoundPackingReportsToTheWindowAndIsCancelledByIt) {
  const AnsiString dir = TempFolder("vidorra_waitform_pack");
  const AnsiString wav = dir + "sound1.wav";
  WriteFileBytes(wav, NoiseWav(1000000 - 44));

  struct CountingHost : WaitFormHost {
    int calls = 0, cancelAt = -1;
    bool progress(int percent) override {
      if (++calls == cancelAt) PostMessageW(WaitForm->SpeedButton1->Handle(), BM_CLICK, 0, 0);
      return WaitFormHost::progress(percent);
    }
  };

  showWaitForm("正在压缩声音", 100);
  CountingHost done;
  TMemoryStream out1;
  EXPECT_EQ(packSoundTrack(out1, wav, kSoundZlib, done), 1);
  EXPECT_EQ(BarPos(), 100);
  EXPECT_EQ(BarMax(), 100);
  EXPECT_TRUE(WaitShown());
  EXPECT_GT(done.calls, 10);

  CountingHost cancelled;
  cancelled.cancelAt = 4;
  TMemoryStream out2;
  EXPECT_EQ(packSoundTrack(out2, wav, kSoundZlib, cancelled), -2);
  EXPECT_EQ(cancelled.calls, 4);
  EXPECT_FALSE(WaitShown());
  EXPECT_TRUE(boxes.boxes.empty());  // a cancel says nothing

  DeleteFileW(Cp936ToWide(wav).c_str());
  RemoveDirectoryW(Cp936ToWide(dir).c_str());
}

// soundProgress follows the WaitForm variable: after the renewal that ends
// every job it drives the new window, never the one released.
TEST_F(WaitFormTest, SoundProgressFollowsTheRenewedWindow) {
  installWaitFormProgress();
  showWaitForm("第一个任务", 10, "正在处理生成FLASH动画");
  EXPECT_TRUE(soundProgress(37));
  EXPECT_EQ(BarMax(), 100);
  EXPECT_EQ(BarPos(), 37);

  TWaitForm* first = WaitForm;
  HWND firstWindow = first->Handle();
  renewWaitForm();
  ASSERT_NE(WaitForm, first);
  EXPECT_FALSE(IsWindowVisible(firstWindow));
  Application->ProcessMessages();  // the old instance goes now
  EXPECT_FALSE(IsWindow(firstWindow));

  EXPECT_FALSE(soundProgress(50));  // the fresh window is hidden: a job may not run
  showWaitForm("第二个任务", 100);
  EXPECT_EQ(WindowCaption(WaitForm->Handle()), "正在处理");
  EXPECT_TRUE(soundProgress(64));
  EXPECT_EQ(BarPos(), 64);
  WaitForm->Close();
  EXPECT_FALSE(soundProgress(65));
}

// ---- the bit-rate dialog -------------------------------------------------------------

// Runs fn once inside the next modal loop (a thread timer is dispatched there).
std::function<void()> g_inModal;
void CALLBACK RunInModal(HWND, UINT, UINT_PTR id, DWORD) {
  KillTimer(nullptr, id);
  auto fn = std::move(g_inModal);
  g_inModal = nullptr;
  if (fn) fn();
}
void WhileModal(std::function<void()> fn) {
  g_inModal = std::move(fn);
  SetTimer(nullptr, 0, 1, RunInModal);
}

std::vector<AnsiString> ListedLines() {
  HWND list = SelectBitrateForm->ListBox1->Handle();
  std::vector<AnsiString> lines;
  int n = static_cast<int>(SendMessageW(list, LB_GETCOUNT, 0, 0));
  for (int i = 0; i < n; ++i) {
    wchar_t buf[64] = {};
    SendMessageW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(buf));
    lines.push_back(WideToCp936(buf));
  }
  return lines;
}

void Select(int index) { SendMessageW(SelectBitrateForm->ListBox1->Handle(), LB_SETCURSEL, index, 0); }
void Press(TButton* b) { SendMessageW(b->Handle(), BM_CLICK, 0, 0); }
void DoubleClickLine(int index) {
  HWND list = SelectBitrateForm->ListBox1->Handle();
  RECT r;
  SendMessageW(list, LB_GETITEMRECT, index, reinterpret_cast<LPARAM>(&r));
  SendMessageW(list, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(r.left + 4, (r.top + r.bottom) / 2));
}

TEST_F(WaitFormTest, BitrateListLines) {
  const int rates[] = {32, 64, 128};
  fillBitrateList(SelectBitrateForm, rates, 3, 44);
  EXPECT_EQ(ListedLines(), (std::vector<AnsiString>{"32kbps 44kHz", "64kbps 44kHz", "128kbps 44kHz"}));
  const int one[] = {8};
  fillBitrateList(SelectBitrateForm, one, 1, 8);  // a refill replaces the lines
  EXPECT_EQ(ListedLines(), std::vector<AnsiString>{"8kbps 8kHz"});
  EXPECT_EQ(WindowCaption(SelectBitrateForm->Handle()), "选择流式声音比特率");
  EXPECT_EQ(WindowCaption(SelectBitrateForm->Button2->Handle()), "确定(&Y)");
  EXPECT_EQ(WindowCaption(SelectBitrateForm->Button1->Handle()), "取消(&C)");
}

// Every way of leaving the dialog, in turn on the same form (a choice from
// an earlier show must not come back), asked for through the chooser.
TEST_F(WaitFormTest, BitrateChoiceForEveryWayOut) {
  struct Case {
    const char* name;
    std::function<void()> user;
    int expected;
  };
  const Case cases[] = {
      {"OK on the second line", [] { Select(1); Press(SelectBitrateForm->Button2); }, 1},
      {"Cancel after selecting", [] { Select(2); Press(SelectBitrateForm->Button1); }, -1},
      {"close box after selecting",
       [] {
         Select(2);
         PostMessageW(SelectBitrateForm->Handle(), WM_SYSCOMMAND, SC_CLOSE, 0);
       },
       -1},
      {"OK with no line does nothing",
       [] {
         Press(SelectBitrateForm->Button2);
         Select(0);
         Press(SelectBitrateForm->Button2);
       },
       0},
      {"double click on a line", [] { Select(2); DoubleClickLine(2); }, 2},
      {"double click on the form",
       [] {
         Select(1);
         SendMessageW(SelectBitrateForm->Handle(), WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(300, 5));
       },
       1},
  };
  SelectBitrateChooser chooser;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<AnsiString> seen;
    WhileModal([&] {
      seen = ListedLines();
      c.user();
    });
    EXPECT_EQ(chooser.chooseBitrate({48, 56, 64}, 22050), c.expected);
    EXPECT_EQ(seen, (std::vector<AnsiString>{"48kbps 22kHz", "56kbps 22kHz", "64kbps 22kHz"}));
    EXPECT_FALSE(IsWindowVisible(SelectBitrateForm->Handle()));
  }
}

// The progress window stays on top, so it steps aside while the dialog is up;
// it comes back only when the job had not been cancelled before.
TEST_F(WaitFormTest, ProgressWindowStepsAsideForTheDialog) {
  SelectBitrateChooser chooser;
  for (bool runningJob : {true, false}) {
    SCOPED_TRACE(runningJob);
    showWaitForm("正在压缩声音", 100);
    if (!runningJob) WaitForm->Close();
    bool shownDuringDialog = true;
    WhileModal([&] {
      shownDuringDialog = WaitShown();
      Select(0);
      Press(SelectBitrateForm->Button2);
    });
    EXPECT_EQ(chooser.chooseBitrate({64}, 44100), 0);
    EXPECT_FALSE(shownDuringDialog);
    EXPECT_EQ(WaitShown(), runningJob);
  }
}

}  // namespace
