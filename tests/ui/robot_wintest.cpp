// The test robot driving a running program: ui_demo.exe is started as its
// own process and robot.exe, another process, waits for its windows, types
// into a modal dialog, presses buttons by caption and by name, reads message
// boxes as UTF-8, chooses menu items and closes the program.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "RobotClient.h"

namespace {

using robot::Result;
using robot::WinePath;
using robot::Widen;

Result Robot(std::initializer_list<std::string> args) {
  return robot::Run(ROBOT_EXE, args);
}

TEST(Robot, DrivesAModalDialogAMessageBoxAndTheMenu) {
  std::wstring cmd = L"\"" + WinePath(DEMO_EXE) + L"\"";
  STARTUPINFOW si = {};
  si.cb = sizeof(si);
  PROCESS_INFORMATION demo = {};
  ASSERT_TRUE(CreateProcessW(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &demo));
  struct Guard {
    PROCESS_INFORMATION& p;
    ~Guard() {
      if (WaitForSingleObject(p.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(p.hProcess, 1);
      CloseHandle(p.hProcess);
      CloseHandle(p.hThread);
    }
  } guard{demo};
  const std::string pid = std::to_string(demo.dwProcessId);

  ASSERT_EQ(Robot({"wait-window", pid, u8"Vidorra 演示", "15000"}).code, 0u);
  Result list = Robot({"list", "ui_demo.exe"});
  EXPECT_NE(list.out.find(u8"name=Button1 \"打开对话框(&D)\""), std::string::npos) << list.out;

  // The modal dialog: typed into by name, confirmed by caption without '&'.
  EXPECT_EQ(Robot({"click", pid, "Button1"}).code, 0u);
  ASSERT_EQ(Robot({"wait-window", pid, u8"输入 Input"}).code, 0u);
  EXPECT_EQ(Robot({"click", pid, u8"问候"}).code, 1u);  // behind the modal dialog: refused
  EXPECT_EQ(Robot({"type", pid, "Edit1", u8"测试abc"}).code, 0u);
  EXPECT_EQ(Robot({"click", pid, u8"确定"}).code, 0u);

  // The program reports the modal result in a message box.
  ASSERT_EQ(Robot({"wait-window", pid, "Vidorra"}).code, 0u);
  Result box = Robot({"text", pid, "Vidorra"});
  EXPECT_NE(box.out.find(u8"结果 1: 测试abc"), std::string::npos) << box.out;
  EXPECT_EQ(Robot({"click", pid, "id:1"}).code, 0u);
  EXPECT_EQ(Robot({"wait-gone", pid, "Vidorra"}).code, 0u);
  EXPECT_NE(Robot({"text", pid, u8"Vidorra 演示"}).out.find(u8"结果 1: 测试abc"), std::string::npos);

  // A refused close: the box explains, the window stays.
  EXPECT_EQ(Robot({"click", pid, "CheckBox1"}).code, 0u);
  EXPECT_EQ(Robot({"close", pid, u8"Vidorra 演示"}).code, 0u);
  ASSERT_EQ(Robot({"wait-window", pid, "Vidorra"}).code, 0u);
  EXPECT_NE(Robot({"text", pid, "Vidorra"}).out.find(u8"请先取消不许关闭"), std::string::npos);
  EXPECT_EQ(Robot({"click", pid, "id:1"}).code, 0u);
  EXPECT_EQ(Robot({"wait-gone", pid, "Vidorra"}).code, 0u);
  EXPECT_EQ(Robot({"wait-window", pid, u8"Vidorra 演示", "100"}).code, 0u);

  // Unknown things are reported, not guessed.
  EXPECT_EQ(Robot({"click", pid, u8"没有这个按钮"}).code, 1u);
  EXPECT_EQ(Robot({"menu", pid, u8"文件/没有"}).code, 1u);
  EXPECT_EQ(Robot({"wait-window", pid, "nothing", "100"}).code, 1u);

  // The menu ends the program.
  EXPECT_EQ(Robot({"click", pid, "CheckBox1"}).code, 0u);
  EXPECT_EQ(Robot({"menu", pid, u8"文件/退出"}).code, 0u);
  EXPECT_EQ(WaitForSingleObject(demo.hProcess, 15000), WAIT_OBJECT_0);
  DWORD code = 1;
  GetExitCodeProcess(demo.hProcess, &code);
  EXPECT_EQ(code, 0u);
}

}  // namespace
