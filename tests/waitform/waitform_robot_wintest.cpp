// The progress window and the bit-rate dialog driven from outside, as a
// user (and the SWF maker) would: waitform_demo.exe runs as its own process
// and robot.exe, another process, finds the windows by caption, reads their
// texts, presses buttons, types into the list and posts WM_USER+18.
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

bool Contains(const Result& r, const std::string& text) { return r.out.find(text) != std::string::npos; }

class WaitFormRobot : public ::testing::Test {
protected:
  void SetUp() override {
    wchar_t tmp[MAX_PATH];
    GetTempPathW(MAX_PATH, tmp);
    folder_ = std::wstring(tmp) + L"vidorra_waitform_robot\\";
    CreateDirectoryW(folder_.c_str(), nullptr);
    std::wstring cmd = L"\"" + WinePath(DEMO_EXE) + L"\" \"" + folder_.substr(0, folder_.size() - 1) + L"\"";
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    ASSERT_TRUE(CreateProcessW(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &demo_));
    pid_ = std::to_string(demo_.dwProcessId);
    ASSERT_EQ(Robot({"wait-window", pid_, kMain, "60000"}).code, 0u);
  }
  void TearDown() override {
    if (demo_.hProcess) {
      if (WaitForSingleObject(demo_.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(demo_.hProcess, 1);
      CloseHandle(demo_.hProcess);
      CloseHandle(demo_.hThread);
    }
    DeleteFileW((folder_ + L"lsflash.tmp").c_str());
    RemoveDirectoryW(folder_.c_str());
  }
  Result MainText() { return Robot({"text", pid_, kMain}); }

  static constexpr const char* kMain = u8"等待窗口演示";
  static constexpr const char* kWait = u8"正在处理";
  static constexpr const char* kDialog = u8"选择流式声音比特率";
  PROCESS_INFORMATION demo_ = {};
  std::string pid_;
  std::wstring folder_;
};

TEST_F(WaitFormRobot, ClosingTheProgressWindowCancelsTheJob) {
  // Both ways a user closes it: the "取消" button and the close box.
  for (bool byButton : {true, false}) {
    SCOPED_TRACE(byButton ? "button" : "close box");
    ASSERT_EQ(Robot({"click", pid_, u8"假任务"}).code, 0u);
    ASSERT_EQ(Robot({"wait-window", pid_, kWait, "30000"}).code, 0u);
    EXPECT_TRUE(Contains(Robot({"text", pid_, kWait}), u8"正在测试任务"));
    if (byButton)
      EXPECT_EQ(Robot({"click", pid_, u8"取消"}).code, 0u);
    else
      EXPECT_EQ(Robot({"close", pid_, kWait}).code, 0u);
    EXPECT_EQ(Robot({"wait-gone", pid_, kWait, "30000"}).code, 0u);
    Result main = MainText();
    EXPECT_TRUE(Contains(main, u8"任务结果: -2")) << main.out;
  }
  // Left alone, the job ends by itself and reports success.
  ASSERT_EQ(Robot({"click", pid_, u8"假任务"}).code, 0u);
  ASSERT_EQ(Robot({"wait-window", pid_, kWait, "30000"}).code, 0u);
  EXPECT_EQ(Robot({"wait-gone", pid_, kWait, "60000"}).code, 0u);
  EXPECT_TRUE(Contains(MainText(), u8"任务结果: 1"));
}

TEST_F(WaitFormRobot, BitrateDialogChoices) {
  struct Case {
    const char* line;  // typed into the list: selects the line it starts
    const char* leave;  // "确定", "取消" or "" for the close box
    const char* result;
  };
  const Case cases[] = {
      {"6", u8"确定", u8"比特率选择: 1"},  // "64kbps 44kHz"
      {"1", u8"取消", u8"比特率选择: -1"},
      {"1", "", u8"比特率选择: -1"},
      {"1", u8"确定", u8"比特率选择: 2"},  // "128kbps 44kHz"
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.result);
    ASSERT_EQ(Robot({"click", pid_, u8"选择比特率"}).code, 0u);
    ASSERT_EQ(Robot({"wait-window", pid_, kDialog, "30000"}).code, 0u);
    Result dialog = Robot({"text", pid_, kDialog});
    EXPECT_TRUE(Contains(dialog, u8"比特率越低生成文件越小,声音质量相对变差一些")) << dialog.out;
    EXPECT_EQ(Robot({"click", pid_, u8"选择比特率"}).code, 1u);  // the main form waits behind it
    if (std::string(c.leave) == u8"确定") {
      EXPECT_EQ(Robot({"click", pid_, u8"确定"}).code, 0u);  // no line yet: the dialog stays
      EXPECT_EQ(Robot({"wait-gone", pid_, kDialog, "500"}).code, 1u);
    }
    EXPECT_EQ(Robot({"type", pid_, "ListBox1", c.line, "--chars"}).code, 0u);
    if (*c.leave)
      EXPECT_EQ(Robot({"click", pid_, c.leave}).code, 0u);
    else
      EXPECT_EQ(Robot({"close", pid_, kDialog}).code, 0u);
    EXPECT_EQ(Robot({"wait-gone", pid_, kDialog, "30000"}).code, 0u);
    Result main = MainText();
    EXPECT_TRUE(Contains(main, c.result)) << main.out;
  }
}

TEST_F(WaitFormRobot, FlashMakerMessages) {
  HANDLE f = CreateFileW((folder_ + L"lsflash.tmp").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(f, INVALID_HANDLE_VALUE);
  CloseHandle(f);
  const char* kFlash = u8"正在处理生成FLASH动画";
  ASSERT_EQ(Robot({"click", pid_, "FLASH"}).code, 0u);
  ASSERT_EQ(Robot({"wait-window", pid_, kFlash, "30000"}).code, 0u);
  struct Row {
    const char* stage;
    const char* label;
  };
  const Row rows[] = {
      {"2", u8"正在转换-预处理图象"},
      {"3", u8"正在转换-处理图象"},
      {"1", u8"正在转换-处理图象"},  // ignored
      {"4", u8"正在进行最后生成"},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.stage);
    EXPECT_EQ(Robot({"post", pid_, kFlash, "1042", r.stage, "40"}).code, 0u);
    Sleep(100);
    Result text = Robot({"text", pid_, kFlash});
    EXPECT_TRUE(Contains(text, r.label)) << text.out;
  }
  EXPECT_EQ(Robot({"post", pid_, kFlash, "1042", "5", "0"}).code, 0u);
  EXPECT_EQ(Robot({"wait-gone", pid_, kFlash, "30000"}).code, 0u);
  Sleep(100);
  EXPECT_TRUE(Contains(MainText(), u8"已清理"));
  EXPECT_EQ(GetFileAttributesW((folder_ + L"lsflash.tmp").c_str()), INVALID_FILE_ATTRIBUTES);

  EXPECT_EQ(Robot({"close", pid_, kMain}).code, 0u);
  EXPECT_EQ(WaitForSingleObject(demo_.hProcess, 10000), WAIT_OBJECT_0);
}

}  // namespace
