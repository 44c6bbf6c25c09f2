// The side pieces of a recording through the whole program: Vidorra.exe on a
// fixture set.dat, started and stopped by the start/stop hot-key message.
// - The stop tip: before the first start it names the start/stop key as
//   set.dat spells it; ticking its check box (through robot.exe, as a user
//   would) writes line 6 and the next start shows no tip.
// - "录像时本软件最小化": the main form goes and the program's tray icon
//   comes (asked of the shell itself), a double click on the icon shows the
//   form again, and the stop removes the icon.
// - The monitor window: shown on top while recording, at the bottom of the
//   screen for a full-screen target, and gone after the stop.
// Windows (Wine), a display, the sound server and robot.exe are needed.
#include <gtest/gtest.h>

#include <windows.h>

#include <shellapi.h>

#include <string>
#include <vector>

#include "ProgramRun.h"

namespace {

using namespace program;

std::vector<std::string> Settings(ProgramFolder& folder) {
  std::vector<std::string> lines(132, "0");
  lines[0] = "1", lines[2] = "1";  // Ctrl+Shift with F5 F6 F7 F8
  lines[3] = "F5", lines[4] = "F6", lines[5] = "F7", lines[73] = "F8";
  lines[6] = "1";                      // stop tip dismissed
  lines[38] = Utf8(folder.work());     // working folder
  lines[41] = "2";                     // hide the program while recording
  lines[42] = "1", lines[43] = "2";    // 8 bits, 11025 Hz
  lines[68] = "5";                     // frames per second
  lines[61] = "SimSun";
  return lines;
}

std::vector<std::string> ReadLines(const std::wstring& path) {
  const std::string s = ReadFileBytes(path);
  std::vector<std::string> lines;
  std::string line;
  for (char c : s) {
    if (c == '\n') {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      lines.push_back(line);
      line.clear();
    } else {
      line += c;
    }
  }
  return lines;
}

robot::Result Robot(std::initializer_list<std::string> args) { return robot::Run(ROBOT_EXE, args); }

// Whether the shell holds an icon of the window (only an existing icon can
// be modified; the tip given is the one it has).
bool ShellHasIcon(HWND w) {
  NOTIFYICONDATAW d = {};
  d.cbSize = NOTIFYICONDATAW_V2_SIZE;
  d.hWnd = w;
  d.uID = 0;
  d.uFlags = NIF_TIP;
  lstrcpyW(d.szTip, L"Vidorra");
  return Shell_NotifyIconW(NIM_MODIFY, &d) != FALSE;
}

struct TopQuery {
  DWORD pid;
  std::wstring text;
  HWND found = nullptr;
};
BOOL CALLBACK FindByText(HWND w, LPARAM lp) {
  auto* q = reinterpret_cast<TopQuery*>(lp);
  DWORD owner = 0;
  GetWindowThreadProcessId(w, &owner);
  if (owner == q->pid && IsWindowVisible(w) && TextOf(w) == q->text) {
    q->found = w;
    return FALSE;
  }
  return TRUE;
}
HWND VisibleWindowTitled(DWORD pid, const wchar_t* text) {
  TopQuery q{pid, text};
  EnumWindows(FindByText, reinterpret_cast<LPARAM>(&q));
  return q.found;
}

TEST(SideWindowsRun, StopTipUntilTheUserTicksItAway) {
  ProgramFolder folder;
  std::vector<std::string> lines = Settings(folder);
  lines[6] = "";  // the tip is still to be shown
  folder.WriteSettings(lines);
  ProgramRun run;
  run.Start(folder);
  ASSERT_NE(run.mainForm, nullptr) << (run.boxes.empty() ? "" : run.boxes.back());
  const std::string pid = std::to_string(run.pi.dwProcessId);
  HWND form = run.mainForm;

  PostMessageW(form, WM_HOTKEY, 0, 0);
  ASSERT_EQ(Robot({"wait-window", pid, u8"提示", "10000"}).code, 0u) << "no stop tip";
  const std::string text = Robot({"text", pid, u8"提示"}).out;
  EXPECT_NE(text.find(u8"开始录制后，你可以通过下面快捷键停止："), std::string::npos) << text;
  EXPECT_NE(text.find("Ctrl+Shift+F5"), std::string::npos) << text;
  EXPECT_NE(text.find(u8"知道了，以后不要再提示"), std::string::npos) << text;
  EXPECT_EQ(RecorderState(form), 1) << "the recording waits for the tip";
  EXPECT_EQ(Robot({"click", pid, "CheckBox1"}).code, 0u);
  EXPECT_EQ(Robot({"click", pid, u8"确定"}).code, 0u);
  EXPECT_EQ(Robot({"wait-gone", pid, u8"提示", "5000"}).code, 0u);
  run.Pump(5000, [&] { return RecorderState(form) == 2; });
  EXPECT_EQ(RecorderState(form), 2);
  const std::vector<std::string> saved = ReadLines(folder.path(L"set.dat"));
  ASSERT_GT(saved.size(), 6u);
  EXPECT_EQ(saved[6], "1");

  run.Pump(1500, [] { return false; });
  PostMessageW(form, WM_HOTKEY, 0, 0);
  run.Pump(20000, [&] { return RecorderState(form) == 1; });
  ASSERT_EQ(RecorderState(form), 1);

  // Dismissed: the next start goes straight on.
  PostMessageW(form, WM_HOTKEY, 0, 0);
  run.Pump(5000, [&] { return RecorderState(form) == 2; });
  EXPECT_EQ(RecorderState(form), 2);
  EXPECT_NE(Robot({"wait-window", pid, u8"提示", "500"}).code, 0u) << "the tip came again";
  run.Pump(1500, [] { return false; });
  PostMessageW(form, WM_HOTKEY, 0, 0);
  run.Pump(20000, [&] { return RecorderState(form) == 1; });
  EXPECT_EQ(RecorderState(form), 1);
  EXPECT_FALSE(run.exited);
}

TEST(SideWindowsRun, TrayIconAndMonitorWindowWhileRecording) {
  ProgramFolder folder;
  std::vector<std::string> lines = Settings(folder);
  lines[30] = "1";  // record sound
  lines[41] = "3";  // "录像时本软件最小化"
  folder.WriteSettings(lines);
  ProgramRun run;
  run.Start(folder);
  ASSERT_NE(run.mainForm, nullptr) << (run.boxes.empty() ? "" : run.boxes.back());
  HWND form = run.mainForm;
  const DWORD pid = run.pi.dwProcessId;
  // "录像时显示声音图像实时监控窗体", ticked as the user would.
  SendMessageW(ControlNamed(form, L"CheckBox28"), BM_CLICK, 0, 0);
  ASSERT_TRUE(Checked(form, L"CheckBox28"));
  EXPECT_FALSE(ShellHasIcon(form));

  PostMessageW(form, WM_HOTKEY, 0, 0);
  HWND monitor = nullptr;
  run.Pump(8000, [&] { return (monitor = VisibleWindowTitled(pid, L"声音图像实时监控窗体")) != nullptr; });
  ASSERT_EQ(RecorderState(form), 2);
  EXPECT_FALSE(IsWindowVisible(form)) << "the main form stays while recording";
  EXPECT_TRUE(ShellHasIcon(form)) << "no tray icon";
  ASSERT_NE(monitor, nullptr) << "no monitor window";
  EXPECT_TRUE(GetWindowLongW(monitor, GWL_EXSTYLE) & WS_EX_TOPMOST);
  RECT r;
  GetWindowRect(monitor, &r);
  EXPECT_EQ(r.top, GetSystemMetrics(SM_CYSCREEN) - (r.bottom - r.top) - 35);

  // A double click on the icon brings the main form back.
  PostMessageW(form, WM_USER + 2, 0, WM_LBUTTONDBLCLK);
  run.Pump(3000, [&] { return IsWindowVisible(form) != FALSE; });
  EXPECT_TRUE(IsWindowVisible(form));
  EXPECT_TRUE(ShellHasIcon(form)) << "the icon stays until the stop";

  run.Pump(1500, [] { return false; });
  PostMessageW(form, WM_HOTKEY, 0, 0);
  run.Pump(20000, [&] { return RecorderState(form) == 1; });
  ASSERT_EQ(RecorderState(form), 1);
  run.Pump(1000, [] { return false; });
  EXPECT_FALSE(ShellHasIcon(form)) << "the icon outlived the recording";
  EXPECT_EQ(VisibleWindowTitled(pid, L"声音图像实时监控窗体"), nullptr);
  EXPECT_TRUE(IsWindowVisible(form));
  EXPECT_FALSE(run.exited);
}

}  // namespace
