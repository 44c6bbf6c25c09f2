// The monitor window in-process, built from its product layout: its window
// (always on top, tool window, client 621 x 128), the waveform panel of a
// recording without sound, and with sound the black panel with its scale,
// the columns drawn from samples appended to a WAV file the test writes the
// way the sound server does, the thumbnail, and a sound file that cannot be
// opened. Pixels are read back from the images' pictures with GetPixel.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <vector>

#include "Graphics.h"
#include "MonitorWindow_win.h"
#include "SysUtils.h"

namespace {

const COLORREF kBlack = RGB(0, 0, 0), kBlue = RGB(0, 0, 255), kRed = RGB(255, 0, 0),
               kGreen = RGB(0, 128, 0), kWhite = RGB(255, 255, 255), kFace = RGB(0xF0, 0xF0, 0xF0);

AnsiString TempPath(const char* leaf) {
  wchar_t buf[MAX_PATH];
  GetTempPathW(MAX_PATH, buf);
  return WideToCp936(buf) + leaf;
}

// A WAV file as the sound server keeps it while recording: the 44-byte
// header (16-bit mono 11025 Hz), then samples appended as they come.
class GrowingWav {
public:
  explicit GrowingWav(const AnsiString& path, bool header = true) : path_(path) {
    file_ = CreateFileW(Cp936ToWide(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                        CREATE_ALWAYS, 0, nullptr);
    if (header) writeHeader();
  }
  ~GrowingWav() {
    CloseHandle(file_);
    DeleteFileW(Cp936ToWide(path_).c_str());
  }
  void writeHeader() {
    unsigned char h[44] = {};
    std::memcpy(h, "RIFF", 4);
    std::memcpy(h + 8, "WAVEfmt ", 8);
    h[16] = 16;
    h[20] = 1;
    h[22] = 1;
    h[24] = 0x11, h[25] = 0x2B;  // 11025
    h[28] = 0x22, h[29] = 0x56;  // 22050
    h[32] = 2;
    h[34] = 16;
    std::memcpy(h + 36, "data", 4);
    put(h, sizeof h);
  }
  // count samples of the value; with alternate, every other one negated
  // to full scale (-32768), so that each column spans the panel.
  void samples(int count, int value, bool alternate = false) {
    std::vector<unsigned char> b;
    for (int i = 0; i < count; ++i) {
      const int v = alternate && i % 2 ? -32768 : value;
      b.push_back(static_cast<unsigned char>(v & 0xFF));
      b.push_back(static_cast<unsigned char>((v >> 8) & 0xFF));
    }
    put(b.data(), b.size());
  }

private:
  void put(const void* p, std::size_t n) {
    DWORD done = 0;
    WriteFile(file_, p, static_cast<DWORD>(n), &done, nullptr);
  }
  AnsiString path_;
  HANDLE file_;
};

COLORREF Pixel(TImage* image, int x, int y) {
  return GetPixel(static_cast<HDC>(image->Picture()->Bitmap()->DC()), x, y);
}

// The column at x holds blue from yFrom to yTo - 1 where no scale line runs.
bool ColumnDrawn(TImage* panel, int x, int yFrom, int yTo) {
  for (int y = yFrom; y < yTo; ++y) {
    if (y == 6 || y == 32 || y == 64 || y == 96 || y == 122) continue;
    if (Pixel(panel, x, y) != kBlue) return false;
  }
  return true;
}

class Monitor : public ::testing::Test {
protected:
  TJkForm* Open(const AnsiString& soundFile) {
    try {
      form = new TJkForm(Application);
    } catch (const Exception& e) {
      ADD_FAILURE() << "layout: " << e.Message.c_str();
      throw;
    }
    form->soundFile = soundFile;
    form->Show();
    return form;
  }
  void TearDown() override { delete form; }
  TJkForm* form = nullptr;
};

void RedFrame(TBitmap& b, int w, int h) {
  b.SetPixelFormat(pf24bit);
  b.SetSize(w, h);
  TCanvas* c = b.Canvas();
  c->Brush.Color = 0x0000FF;
  c->Rectangle(-1, -1, w + 1, h + 1);
}

TEST_F(Monitor, AToolWindowAboveAllOthers) {
  Open("");
  HWND h = form->Handle();
  EXPECT_EQ(WindowText(h), AnsiString("声音图像实时监控窗体"));
  const LONG ex = GetWindowLongW(h, GWL_EXSTYLE);
  EXPECT_TRUE(ex & WS_EX_TOPMOST);
  EXPECT_TRUE(ex & WS_EX_TOOLWINDOW);
  RECT r;
  GetClientRect(h, &r);
  EXPECT_EQ(r.right, 621);
  EXPECT_EQ(r.bottom, 128);
  EXPECT_EQ(GetWindow(h, GW_OWNER), GetDesktopWindow());
}

TEST_F(Monitor, WithoutSoundThePanelIsPlainAndStaysSo) {
  Open("");
  TBitmap frame;
  RedFrame(frame, 800, 600);
  form->refresh(frame);
  for (int y : {0, 6, 32, 64, 127})
    for (int x : {0, 200, 456}) EXPECT_EQ(Pixel(form->Image2, x, y), kFace) << x << "," << y;
  // 800 wide: a 100 x 75 thumbnail at (14, 26) on white.
  EXPECT_EQ(Pixel(form->Image1, 14, 26), kRed);
  EXPECT_EQ(Pixel(form->Image1, 113, 100), kRed);
  EXPECT_EQ(Pixel(form->Image1, 13, 60), kWhite);
  EXPECT_EQ(Pixel(form->Image1, 114, 60), kWhite);
  EXPECT_EQ(Pixel(form->Image1, 60, 25), kWhite);
  EXPECT_EQ(Pixel(form->Image1, 60, 101), kWhite);
}

TEST_F(Monitor, SoundScrollsInFromTheRight) {
  const AnsiString path = TempPath("recui-monitor.wav");
  GrowingWav wav(path);
  Open(path);
  TImage* panel = form->Image2;
  // Black with the scale: red at 6 and 122, green at 32 and 96, blue at 64.
  EXPECT_EQ(Pixel(panel, 10, 6), kRed);
  EXPECT_EQ(Pixel(panel, 10, 122), kRed);
  EXPECT_EQ(Pixel(panel, 10, 32), kGreen);
  EXPECT_EQ(Pixel(panel, 10, 96), kGreen);
  EXPECT_EQ(Pixel(panel, 10, 64), kBlue);
  EXPECT_EQ(Pixel(panel, 10, 20), kBlack);

  TBitmap frame;
  RedFrame(frame, 1024, 768);
  form->refresh(frame);  // only the header yet: nothing to draw
  EXPECT_EQ(Pixel(panel, 456, 20), kBlack);

  // One second of full-scale sound at 11025 Hz: 110 columns, 25 samples wait.
  wav.samples(11025, 32767, true);
  form->refresh(frame);
  EXPECT_TRUE(ColumnDrawn(panel, 456, 4, 125));
  EXPECT_TRUE(ColumnDrawn(panel, 347, 4, 125));
  EXPECT_EQ(Pixel(panel, 346, 20), kBlack);
  EXPECT_EQ(Pixel(panel, 456, 3), kBlack);
  EXPECT_EQ(Pixel(panel, 456, 125), kBlack);

  // 175 samples of silence: with the 25 that waited, two more columns, and
  // everything moves two to the left. The newest column is silence alone.
  wav.samples(175, 0);
  form->refresh(frame);
  EXPECT_TRUE(ColumnDrawn(panel, 345, 4, 125));
  EXPECT_EQ(Pixel(panel, 344, 20), kBlack);
  EXPECT_TRUE(ColumnDrawn(panel, 455, 4, 125));
  EXPECT_EQ(Pixel(panel, 456, 20), kBlack);
  EXPECT_EQ(Pixel(panel, 456, 100), kBlack);
  // The thumbnail of a 1024 x 768 frame fills the width.
  EXPECT_EQ(Pixel(form->Image1, 0, 16), kRed);
  EXPECT_EQ(Pixel(form->Image1, 127, 111), kRed);
  EXPECT_EQ(Pixel(form->Image1, 64, 15), kWhite);
}

TEST_F(Monitor, AHeaderWrittenAfterTheWindowOpenedIsStillRead) {
  const AnsiString path = TempPath("recui-monitor-late.wav");
  GrowingWav wav(path, false);
  Open(path);
  TBitmap frame;
  RedFrame(frame, 320, 240);
  form->refresh(frame);
  wav.writeHeader();
  wav.samples(100, 32767, true);
  form->refresh(frame);
  EXPECT_TRUE(ColumnDrawn(form->Image2, 456, 4, 125));
}

TEST_F(Monitor, ASoundFileThatCannotBeOpenedSaysError) {
  Open(TempPath("recui-no-such-folder\\none.wav"));
  TBitmap frame;
  RedFrame(frame, 320, 240);
  form->refresh(frame);
  int red = 0;
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 40; ++x) red += Pixel(form->Image2, x, y) == kRed;
  EXPECT_GT(red, 10) << "\"error\" in red at the top left";
}

TEST_F(Monitor, ClosedByTheUserItDrawsNoMore) {
  const AnsiString path = TempPath("recui-monitor-closed.wav");
  GrowingWav wav(path);
  Open(path);
  form->Close();
  EXPECT_FALSE(IsWindowVisible(form->Handle()));
  EXPECT_EQ(form->view, nullptr);
  wav.samples(200, 32767);
  TBitmap frame;
  RedFrame(frame, 320, 240);
  form->refresh(frame);
  EXPECT_EQ(GetPixel(static_cast<HDC>(form->Image2->Picture()->Bitmap()->DC()), 456, 100), kBlack);
}

}  // namespace
