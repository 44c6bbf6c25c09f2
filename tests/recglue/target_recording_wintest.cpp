// Window and region targets through the whole program: the test scene shown
// in a window of its own (smaller than the screen) is recorded once as a
// region typed into the main form's range edits and once as the window picked
// with the real pointer (the "窗口" radio button arms the picking watcher,
// xdotool moves over the scene and presses). Each recording is checked as the
// full-screen one is: every picture is the scene's window for the time code it
// shows, the time codes keep to the frame interval, the sound is fitted, and
// the cursor, the two clicks and the clicked frames' cursors are stored
// relative to the picture. A picked window reaching past the screen's edge
// turns into a range. The region is recorded with its range shown (the
// flashing frame). Windows (Wine), a display, xdotool and the ramp source
// are needed.
#include <gtest/gtest.h>

#include <windows.h>

#include "scene_recording.h"

namespace {

using namespace recglue;

// The scene's window: not at the screen's corner, a size the scene accepts.
constexpr int kLeft = 240, kTop = 180, kWidth = 600, kHeight = 400;

void SetEdit(HWND form, const wchar_t* name, int value) {
  const std::wstring text = std::to_wstring(value);
  DWORD_PTR r = 0;
  SendMessageTimeoutW(ControlNamed(form, name), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()),
                      SMTO_ABORTIFHUNG, 5000, &r);
}
int EditValue(HWND form, const wchar_t* name) { return _wtoi(TextOf(ControlNamed(form, name)).c_str()); }

class TargetRecording : public ProgramTest {};

TEST_F(TargetRecording, RegionFromTheRangeEdits) {
  Scene scene;
  ASSERT_TRUE(scene.Start(kLeft, kTop, kWidth, kHeight));
  ASSERT_EQ(scene.rect().left, kLeft);
  const std::size_t boxesBefore = run.boxes.size();

  // X1, Y1, X2, Y2 with right and bottom exclusive: exactly the scene.
  SetEdit(form, L"Edit3", kLeft);
  SetEdit(form, L"Edit4", kTop);
  SetEdit(form, L"Edit5", kLeft + kWidth);
  SetEdit(form, L"Edit6", kTop + kHeight);
  PostMessageW(ControlNamed(form, L"RadioButton9"), BM_CLICK, 0, 0);
  run.Pump(3000, [&] { return Checked(form, L"RadioButton9"); });
  ASSERT_TRUE(Checked(form, L"RadioButton9"));
  // "录像时提示录制范围": a frame is flashed around the region on every tick,
  // after the grab, so the pictures below must still be the scene alone.
  PostMessageW(ControlNamed(form, L"CheckBox1"), BM_CLICK, 0, 0);
  run.Pump(3000, [&] { return Checked(form, L"CheckBox1"); });
  ASSERT_TRUE(Checked(form, L"CheckBox1"));

  const TwoClicks clicks = RecordTenSecondsWithTwoClicks(run, scene, form, folder.work() + L"录像1.lx",
                                                         {kLeft + 300, kTop + 300}, {kLeft + 100, kTop + 150},
                                                         {kLeft + 450, kTop + 320});
  ASSERT_FALSE(run.exited);
  EXPECT_EQ(run.boxes.size(), boxesBefore) << run.boxes.back();
  CheckTenSecondRecording(folder, scene, 3, clicks, kLeft, kTop);
  CloseProgram(run, form);
}

TEST_F(TargetRecording, WindowPickedWithThePointer) {
  Scene scene;
  ASSERT_TRUE(scene.Start(kLeft, kTop, kWidth, kHeight));
  const std::size_t boxesBefore = run.boxes.size();
  ASSERT_TRUE(Xdo(run, "mousemove 100 700"));

  // The radio button starts the pick at once; the main window gets out of
  // the way ("录像时隐藏本软件") until the pick ends.
  PostMessageW(ControlNamed(form, L"RadioButton8"), BM_CLICK, 0, 0);
  run.Pump(5000, [&] { return !IsWindowVisible(form); });
  ASSERT_FALSE(IsWindowVisible(form)) << "the pick did not start";
  EXPECT_TRUE(Checked(form, L"RadioButton8"));
  // Hot keys are off while picking.
  PostMessageW(form, WM_HOTKEY, 0, 0);
  run.Pump(500, [] { return false; });
  EXPECT_EQ(RecorderState(form), 1);

  ASSERT_TRUE(Xdo(run, "mousemove " + std::to_string(kLeft + 200) + " " + std::to_string(kTop + 250)));
  run.Pump(300, [] { return false; });
  ASSERT_TRUE(Xdo(run, "mousemove " + std::to_string(kLeft + 300) + " " + std::to_string(kTop + 300)));
  run.Pump(300, [] { return false; });
  ASSERT_TRUE(Xdo(run, "click 1"));
  run.Pump(5000, [&] { return IsWindowVisible(form) != FALSE; });
  ASSERT_TRUE(IsWindowVisible(form)) << "the pick did not end";
  EXPECT_EQ(EditValue(form, L"Edit3"), kLeft);
  EXPECT_EQ(EditValue(form, L"Edit4"), kTop);
  EXPECT_EQ(EditValue(form, L"Edit5"), kLeft + kWidth);
  EXPECT_EQ(EditValue(form, L"Edit6"), kTop + kHeight);
  EXPECT_TRUE(Checked(form, L"RadioButton8"));
  // The snapshot of the picked window went into the preview file: a BMP of
  // the window's size.
  const Bytes snapshot = readAll(folder.path(L"nowlx.bmp"));
  ASSERT_GE(snapshot.size(), 54u);
  EXPECT_EQ(get32(snapshot, 18), kWidth);
  EXPECT_EQ(std::abs(get32(snapshot, 22)), kHeight);
  // The outline drawn while picking must be gone: every recorded picture is
  // compared with the scene whole, its edges included.

  const TwoClicks clicks = RecordTenSecondsWithTwoClicks(run, scene, form, folder.work() + L"录像1.lx",
                                                         {kLeft + 300, kTop + 300}, {kLeft + 100, kTop + 150},
                                                         {kLeft + 450, kTop + 320});
  ASSERT_FALSE(run.exited);
  EXPECT_EQ(run.boxes.size(), boxesBefore) << run.boxes.back();
  CheckTenSecondRecording(folder, scene, 2, clicks, kLeft, kTop);
  CloseProgram(run, form);
}

// A window reaching past the screen's edge becomes the range of its part on
// the screen, with the notice, and the target switches to the range.
TEST_F(TargetRecording, WindowPastTheScreenEdgeBecomesARange) {
  Scene scene;
  ASSERT_TRUE(scene.Start(-20, -10, 700, 500));
  ASSERT_TRUE(Xdo(run, "mousemove 100 700"));

  PostMessageW(ControlNamed(form, L"RadioButton8"), BM_CLICK, 0, 0);
  run.Pump(5000, [&] { return !IsWindowVisible(form); });
  ASSERT_FALSE(IsWindowVisible(form)) << "the pick did not start";
  ASSERT_TRUE(Xdo(run, "mousemove 300 300"));
  run.Pump(300, [] { return false; });
  ASSERT_TRUE(Xdo(run, "click 1"));
  run.Pump(5000, [&] { return Checked(form, L"RadioButton9"); });
  EXPECT_TRUE(run.Saw(u8"由于你选择的窗口处于最大化状态或有一部分处于屏幕外部,本软件将自动选择在屏幕范围内的区域并自动切换到范围方式"));
  EXPECT_TRUE(Checked(form, L"RadioButton9"));
  EXPECT_FALSE(Checked(form, L"RadioButton8"));
  EXPECT_EQ(EditValue(form, L"Edit3"), 0);
  EXPECT_EQ(EditValue(form, L"Edit4"), 0);
  EXPECT_EQ(EditValue(form, L"Edit5"), 680);
  EXPECT_EQ(EditValue(form, L"Edit6"), 490);
  CloseProgram(run, form);
}

}  // namespace
