// The recording browser in one run of Vidorra.exe over a working folder of
// recordings the test writes from the layout tables: .lx recordings (side
// files 1 and 3, 0.5 frames a second, no frames, version 5, a damaged index,
// an unknown sound kind), EXE recordings (versions 3, 5 and 8, edit-locked,
// password, multi-section, MP3-packed sound, a zero-padded tail, bytes
// after the trailer), an .exw to finish and one to repair, an .avw, AVIs 640
// and 641 wide and one below one frame a second, a .wmv, capital
// extensions. The test selects each file in the list as a click does and
// checks the status line, every box with its wording and title, the
// answers' effects, the generate page and the preview's pixels against the
// fixture's frame (the AVI's are left for ffmpeg, check_preview.sh). Every
// file a "no" or a plain selection touches stays byte for byte as it was.
// Windows (Wine), a display.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <atomic>
#include <cstdio>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <thread>

#include "ProgramRun.h"
#include "browser_fixtures.h"
#include "exe_checker.h"
#include "test_files.h"

namespace {

using namespace program;
using browserfix::LxRecipe;

const DWORD kSelectMs = 300000;  // finishing and repairing in the emulated machine

// ---- the program's windows ---------------------------------------------------------

struct Dialog {
  std::string text, caption;  // UTF-8
  bool fileDialog = false;
};

bool IsFileDialog(HWND d) { return GetDlgItem(d, 0x47C) || GetDlgItem(d, 0x480); }  // cmb13, edt1

std::wstring FileDialogName(HWND d) {
  HWND edit = GetDlgItem(d, 0x47C) ? GetDlgItem(d, 0x47C) : GetDlgItem(d, 0x480);
  return TextOf(edit);
}

struct Browser {
  ProgramRun& run;
  HWND form, list;
  std::wstring work;
  std::vector<std::wstring> fileNames;  // what each file dialog proposed

  HWND Control(const wchar_t* name) const { return ControlNamed(form, name); }
  std::string Text(const wchar_t* name) const { return Utf8(TextOf(Control(name))); }
  // An empty status bar answers WM_GETTEXT with a stray character under
  // Wine: its length first.
  std::string Status() const {
    HWND bar = Control(L"StatusBar1");
    DWORD_PTR length = 0;
    SendMessageTimeoutW(bar, SB_GETTEXTLENGTHW, 0, 0, SMTO_ABORTIFHUNG, 2000, &length);
    return LOWORD(length) ? Utf8(TextOf(bar)) : std::string();
  }

  int IndexOf(const std::wstring& name) const {
    const LRESULT n = SendMessageW(list, LB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < n; ++i) {
      wchar_t t[MAX_PATH] = {};
      if (SendMessageW(list, LB_GETTEXTLEN, WPARAM(i), 0) >= MAX_PATH) continue;
      SendMessageW(list, LB_GETTEXT, WPARAM(i), reinterpret_cast<LPARAM>(t));
      if (name == t) return int(i);
    }
    return -1;
  }

  // Selects the file as a click in the list does, answers the dialogs in the
  // order given (after onDialog, while the dialog is up), and returns what
  // was shown once the list's handler is done.
  std::vector<Dialog> Select(const std::wstring& name, std::deque<WPARAM> answers,
                             const std::function<void(const Dialog&)>& onDialog = nullptr) {
    std::vector<Dialog> seen;
    const int index = IndexOf(name);
    EXPECT_GE(index, 0) << "not in the list: " << Utf8(name);
    if (index < 0) return seen;
    SendMessageW(list, LB_SETCURSEL, WPARAM(index), 0);
    // The handler runs inside this send, boxes and all: the sending thread
    // comes back when it is done.
    std::atomic<bool> done{false};
    std::thread click([&] {
      DWORD_PTR r = 0;
      SendMessageTimeoutW(form, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(list), LBN_SELCHANGE),
                          reinterpret_cast<LPARAM>(list), SMTO_NORMAL, kSelectMs, &r);
      done = true;
    });
    const DWORD until = GetTickCount() + kSelectMs;
    while (!done && int(until - GetTickCount()) > 0) {
      HWND box = VisibleTopWindow(run.pi.dwProcessId, L"#32770");
      if (!box) {
        Sleep(50);
        continue;
      }
      Dialog d;
      d.caption = Utf8(TextOf(box));
      d.fileDialog = IsFileDialog(box);
      if (d.fileDialog) {
        // The dialog fills its name field after it shows.
        std::wstring proposed;
        for (DWORD t0 = GetTickCount(); proposed.empty() && GetTickCount() - t0 < 10000; Sleep(50))
          proposed = FileDialogName(box);
        fileNames.push_back(proposed);
      } else {
        d.text = Utf8(BoxText(box));
        if (d.text.empty()) continue;  // not filled in yet
      }
      seen.push_back(d);
      if (onDialog) onDialog(d);
      const WPARAM answer = answers.empty() ? IDOK : answers.front();
      if (!answers.empty()) answers.pop_front();
      PostMessageW(box, WM_COMMAND, answer, 0);
      for (int i = 0; i < 200 && IsWindow(box) && IsWindowVisible(box); ++i) Sleep(25);
    }
    click.join();
    EXPECT_TRUE(done) << "the list's handler did not come back for " << Utf8(name);
    EXPECT_TRUE(answers.empty()) << answers.size() << " answers left for " << Utf8(name);
    return seen;
  }
};

std::vector<std::string> Texts(const std::vector<Dialog>& d) {
  std::vector<std::string> t;
  for (const auto& x : d) t.push_back(x.fileDialog ? "<file dialog>" : x.text);
  return t;
}

// ---- the facts the status line ends with -------------------------------------------

std::string Facts(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA a;
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &a)) return "?";
  const int kb = int32_t(a.nFileSizeLow) / 1024;
  FILETIME local;
  SYSTEMTIME t;
  FileTimeToLocalFileTime(&a.ftCreationTime, &local);
  FileTimeToSystemTime(&local, &t);
  char when[64];
  std::snprintf(when, sizeof when, "%u-%u-%u %u:%02u", t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute);
  return u8",文件大小:" + std::to_string(kb) + u8"KB,创建时间:" + when;
}

// ---- the preview on the screen ---------------------------------------------------

struct Grab {
  int w = 0, h = 0;
  std::vector<uint32_t> px;  // 0xRRGGBB, rows top first
  uint32_t at(int x, int y) const { return px[std::size_t(y) * std::size_t(w) + std::size_t(x)]; }
};

// The part of Image1 that the scroll box shows.
Grab GrabPreview(const Browser& b) {
  Grab g;
  RECT img, box;
  HWND scroll = b.Control(L"ScrollBox1");
  if (!GetWindowRect(b.Control(L"Image1"), &img)) return g;
  GetClientRect(scroll, &box);
  MapWindowPoints(scroll, nullptr, reinterpret_cast<POINT*>(&box), 2);
  RECT r;
  if (!IntersectRect(&r, &img, &box)) return g;
  g.w = r.right - r.left;
  g.h = r.bottom - r.top;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO bi = {};
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = g.w;
  bi.bmiHeader.biHeight = -g.h;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HBITMAP dib = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(memory, dib);
  BitBlt(memory, 0, 0, g.w, g.h, screen, r.left, r.top, SRCCOPY);
  GdiFlush();
  const uint32_t* p = static_cast<const uint32_t*>(bits);
  g.px.assign(p, p + std::size_t(g.w) * std::size_t(g.h));
  for (uint32_t& c : g.px) c &= 0xFFFFFF;
  SelectObject(memory, old);
  DeleteObject(dib);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return g;
}

// Within what a 16-bit picture keeps of each channel.
bool Near(uint32_t a, uint32_t b) {
  for (int s = 0; s < 24; s += 8)
    if (std::abs(int((a >> s) & 0xFF) - int((b >> s) & 0xFF)) > 8) return false;
  return true;
}
uint32_t Rgb565(uint16_t c) { return uint32_t(c >> 11 & 31) << 19 | uint32_t(c >> 5 & 63) << 10 | uint32_t(c & 31) << 3; }

// The fixture's frame 0: a solid picture under the magenta 16 x 16 cursor.
uint32_t FrameWithCursor(int x, int y) {
  const bool cursor = x >= playfix::kCursorX && x < playfix::kCursorX + 16 && y >= playfix::kCursorY &&
                      y < playfix::kCursorY + 16;
  return cursor ? 0xF800F8 : Rgb565(playfix::kRed);
}

// Waits (the repaint follows the handler) until the preview shows w x h
// pixels of expected(x, y); returns the last grab.
Grab ExpectPreview(const Browser& b, int w, int h, const std::function<uint32_t(int, int)>& expected) {
  Grab g;
  for (DWORD t0 = GetTickCount(); GetTickCount() - t0 < 15000; Sleep(100)) {
    g = GrabPreview(b);
    if (g.w < w || g.h < h) continue;
    bool same = true;
    for (int y = 0; y < h && same; ++y)
      for (int x = 0; x < w && same; ++x) same = Near(g.at(x, y), expected(x, y));
    if (same) return g;
  }
  ADD_FAILURE() << "the preview (" << g.w << "x" << g.h << ") does not show the expected " << w << "x" << h
                << " frame";
  return g;
}

// A gradient that shows any shift or flip: red by column, green by row.
uint32_t AviPixel(int x, int y) { return uint32_t((x * 8) & 0xF8) << 16 | uint32_t((y * 4) & 0xFC) << 8 | 0x40; }

bool SavePpm(const std::wstring& path, const Grab& g) {
  FILE* f = _wfopen(path.c_str(), L"wb");
  if (!f) return false;
  std::fprintf(f, "P6\n%d %d\n255\n", g.w, g.h);
  for (uint32_t c : g.px) {
    const unsigned char rgb[3] = {uint8_t(c >> 16), uint8_t(c >> 8), uint8_t(c)};
    std::fwrite(rgb, 1, 3, f);
  }
  return std::fclose(f) == 0;
}

// ---- the fixture folder -------------------------------------------------------------

std::vector<uint8_t> WithVersion(std::vector<uint8_t> exe, int32_t version) {
  const std::size_t at = exe.size() - 44 + 24;
  for (int i = 0; i < 4; ++i) exe[at + i] = uint8_t(uint32_t(version) >> (8 * i));
  return exe;
}

std::vector<uint8_t> WithSoundCodec(std::vector<uint8_t> exe, int32_t codec) {
  const std::size_t at = exe.size() - 224 + 84;
  for (int i = 0; i < 4; ++i) exe[at + i] = uint8_t(uint32_t(codec) >> (8 * i));
  return exe;
}

std::vector<uint8_t> Exw(const std::vector<uint8_t>& exe, int32_t soundRecorded) {
  exefix::Bytes b;
  b.b = exe;
  b.i32(soundRecorded);
  b.i32(0);  // no click sounds to add
  return b.b;
}

struct Folder {
  std::map<std::wstring, Bytes> files;  // name -> bytes as written
  std::vector<uint8_t> intact;          // the playable EXE
};

Folder WriteFolder(const std::wstring& work, const std::vector<uint8_t>& stub) {
  Folder f;
  auto put = [&](const std::wstring& name, const std::vector<uint8_t>& bytes) {
    f.files[name] = bytes;
    FILE* out = _wfopen((work + name).c_str(), L"wb");
    if (out) {
      std::fwrite(bytes.data(), 1, bytes.size(), out);
      std::fclose(out);
    }
  };
  const std::vector<uint8_t> wav = exefix::wav(11025);
  LxRecipe slow, none, old, index, seven;
  slow.msPerFrame = 2000;
  none.frames.clear();
  old.version = 5;
  index.damagedIndex = true;
  seven.soundSource = 7;
  put(L"a.lx", browserfix::buildLx(LxRecipe()).b);
  put(L"a1.wav", wav);
  put(L"a3.wav", wav);
  put(L"slow.lx", browserfix::buildLx(slow).b);
  put(L"empty.lx", browserfix::buildLx(none).b);
  put(L"old.lx", browserfix::buildLx(old).b);
  put(L"index.lx", browserfix::buildLx(index).b);
  put(L"seven.lx", browserfix::buildLx(seven).b);
  put(L"CAPS.LX", browserfix::buildLx(LxRecipe()).b);
  put(L"junk.wmw", std::vector<uint8_t>(300, 'j'));

  playfix::Recipe plain, edit, password;
  edit.editKey = 12345;
  password.password = "pw";
  f.intact = playfix::buildRecording(stub, plain);
  put(L"v8.exe", f.intact);
  put(L"CAPS.EXE", f.intact);
  put(L"v3.exe", WithVersion(f.intact, 3));
  put(L"v5.exe", WithVersion(f.intact, 5));
  put(L"lock.exe", playfix::buildRecording(stub, edit));
  put(L"pass.exe", playfix::buildRecording(stub, password));
  put(L"multi.exe", exefix::buildMulti({f.intact, f.intact}, int32_t(stub.size())));
  put(L"mp3.exe", WithSoundCodec(f.intact, 5));
  std::vector<uint8_t> padded = f.intact, infected = f.intact;
  padded.insert(padded.end(), 3000, 0);
  for (int i = 0; i < 500; ++i) infected.push_back(uint8_t(i * 7 + 1));
  put(L"zero.exe", padded);
  put(L"zero2.exe", padded);
  put(L"virus.exe", infected);
  put(L"virus2.exe", infected);

  put(L"fin.exw", Exw(f.intact, 1));
  put(L"fin1.wav", wav);
  put(L"fin2.exw", Exw(f.intact, 0));
  put(L"nosound.exw", Exw(f.intact, 1));  // its side file is missing
  std::vector<uint8_t> cut = Exw(f.intact, 0);
  cut.resize(cut.size() - 120);  // the tail is gone, the frames are whole
  put(L"bad.exw", cut);
  put(L"bad2.exw", cut);

  exefix::Bytes avw;
  avw.b = browserfix::buildAvi(64, 48, 5, 1, {0x204060, 0x406080, 0x6080A0}).b;
  avw.i32(1);  // sound recorded
  avw.i32(0);  // no click sounds
  put(L"rec.avw", avw.b);
  put(L"rec1.wav", wav);
  put(L"rec2.avw", avw.b);
  put(L"w640.avi", browserfix::buildAvi(640, 48, 5, 1, {0, 0}, AviPixel).b);
  put(L"w641.avi", browserfix::buildAvi(641, 48, 5, 1, {0x808080, 0x808080}).b);
  put(L"slow.avi", browserfix::buildAvi(64, 48, 1, 2, {0x808080, 0x808080, 0x808080}).b);
  put(L"clip.wmv", std::vector<uint8_t>(1000, 'w'));
  return f;
}

std::vector<uint8_t> Stub() {
  std::vector<uint8_t> s = readAll(robot::WinePath(PLAY_DAT));
  return s;
}

std::vector<std::string> Settings(const ProgramFolder& folder) {
  std::vector<std::string> lines(132, "0");
  lines[6] = "1";                   // the stop tip was dismissed
  lines[27] = "2";                  // sound packed in zlib chunks
  lines[38] = Utf8(folder.work());  // working folder
  lines[61] = "SimSun";
  lines[68] = "5";
  return lines;
}

// ---- the run -----------------------------------------------------------------------

const std::string kNotLx = u8"不能识别此lx文件,可能是版本过旧或不是录像文件";
const std::string kNotExe = u8"不能识别此EXE文件,可能是版本过旧或不是录像文件";

TEST(RecordingBrowser, ShowsAsksAndRepairsEachKindOfRecording) {
  ProgramFolder folder;
  const std::vector<uint8_t> stub = Stub();
  ASSERT_GT(stub.size(), 1000u);
  folder.WriteSettings(Settings(folder));
  const std::wstring work = folder.work();
  Folder fixture = WriteFolder(work, stub);

  ProgramRun run;
  ASSERT_TRUE(run.Start(folder));
  run.Pump(180000, [&] { return run.mainForm != nullptr; });  // the emulated machine may be slow
  ASSERT_NE(run.mainForm, nullptr) << (run.boxes.empty() ? "" : run.boxes.back());
  run.Pump(2000, [] { return false; });  // the first show's tips
  Browser b{run, run.mainForm, ControlNamed(run.mainForm, L"FileListBox1"), work, {}};
  ASSERT_NE(b.list, nullptr);
  SetForegroundWindow(b.form);
  auto page = [&] { return SendMessageW(b.Control(L"PageControl1"), TCM_GETCURSEL, 0, 0); };
  auto trialBar = [&] {
    HWND t = b.Control(L"TrackBar1");
    return std::make_pair(IsWindowEnabled(t) != FALSE, SendMessageW(t, TBM_GETRANGEMAX, 0, 0));
  };

  // .lx: the generate page, its sound tab, the trial bar and frame 0 with its cursor.
  {
    const auto seen = b.Select(L"a.lx", {});
    EXPECT_TRUE(seen.empty());
    EXPECT_EQ(b.Status(), u8"总帧数:3,速度:5帧/秒,宽度:64,高度:48" + Facts(work + L"a.lx"));
    EXPECT_EQ(page(), 1);
    EXPECT_EQ(b.Text(L"Label13"), u8"5.00帧/秒");
    EXPECT_EQ(b.Text(L"Edit7"), "5");
    EXPECT_EQ(b.Text(L"Edit10"), "3");
    EXPECT_EQ(b.Text(L"Edit11"), "64");
    EXPECT_EQ(b.Text(L"Edit12"), "48");
    EXPECT_EQ(b.Text(L"Label26"), u8"总帧数:3");
    EXPECT_EQ(b.Text(L"Label30"), u8"有");
    EXPECT_EQ(b.Text(L"Label31"), u8"无");
    EXPECT_EQ(b.Text(L"Label32"), u8"有");
    EXPECT_TRUE(Checked(b.form, L"CheckBox4"));
    EXPECT_TRUE(Checked(b.form, L"RadioButton26"));
    EXPECT_TRUE(IsWindowEnabled(b.Control(L"CheckBox14")));
    EXPECT_EQ(trialBar(), std::make_pair(true, LRESULT(2)));
    ExpectPreview(b, 64, 48, FrameWithCursor);
  }
  {
    b.Select(L"slow.lx", {});
    EXPECT_EQ(b.Status(), u8"总帧数:3,速度:0帧/秒,宽度:64,高度:48" + Facts(work + L"slow.lx"));
    EXPECT_EQ(b.Text(L"Label13"), u8"0.50帧/秒");
    EXPECT_EQ(b.Text(L"Edit7"), "1");
  }
  {
    // A recording whose sound never started: its properties, no frame, no trial bar.
    b.Select(L"empty.lx", {});
    EXPECT_EQ(b.Status(), u8"总帧数:0,速度:5帧/秒,宽度:64,高度:48" + Facts(work + L"empty.lx"));
    EXPECT_EQ(trialBar(), std::make_pair(false, LRESULT(0)));
    const Grab g = GrabPreview(b);
    EXPECT_TRUE(g.w < 5 || g.h < 5 || !Near(g.at(4, 4), Rgb565(playfix::kRed))) << "the last file's frame";
  }
  {
    b.Select(L"index.lx", {});
    EXPECT_EQ(b.Status(), u8"总帧数:3,速度:5帧/秒,宽度:64,高度:48" + Facts(work + L"index.lx"));
    b.Select(L"seven.lx", {});
    EXPECT_TRUE(Checked(b.form, L"RadioButton26"));
    EXPECT_FALSE(Checked(b.form, L"CheckBox4"));
    EXPECT_EQ(b.Text(L"Label30"), u8"无");
    b.Select(L"CAPS.LX", {});
    EXPECT_EQ(b.Status(), u8"总帧数:3,速度:5帧/秒,宽度:64,高度:48" + Facts(work + L"CAPS.LX"));
    EXPECT_EQ(page(), 1);
    ExpectPreview(b, 64, 48, FrameWithCursor);
  }
  for (const wchar_t* name : {L"old.lx", L"junk.wmw"}) {
    const auto seen = b.Select(name, {});
    EXPECT_EQ(Texts(seen), std::vector<std::string>{kNotLx}) << Utf8(name);
  }

  // EXE: the properties line and frame 0, the notices and questions of each version.
  const std::string exeLine = u8"录像长度:00:00:00总帧数:6,速度:6帧/秒,宽度:64,高度:48";
  for (const wchar_t* name : {L"v8.exe", L"CAPS.EXE", L"mp3.exe"}) {
    SCOPED_TRACE(Utf8(name));
    EXPECT_TRUE(b.Select(name, {}).empty());
    EXPECT_EQ(b.Status(), exeLine + Facts(work + name));
    EXPECT_EQ(page(), 0);
    EXPECT_EQ(trialBar(), std::make_pair(false, LRESULT(1)));
    ExpectPreview(b, 64, 48, FrameWithCursor);
  }
  {
    const auto seen = b.Select(L"v3.exe", {});
    EXPECT_EQ(Texts(seen), std::vector<std::string>{u8"此文件为V3的EXE录像文件，不能对其进行处理"});
    EXPECT_EQ(b.Status(), exeLine + Facts(work + L"v3.exe"));
    const auto asked = b.Select(L"v5.exe", {IDNO});
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].text, u8"此文件为5.0/5.5版的EXE录象文件,需要进行升级后才能进行各种操作,现在升级吗?");
    EXPECT_EQ(asked[0].caption, "Vidorra");
    EXPECT_EQ(b.Status(), exeLine + Facts(work + L"v5.exe"));
  }
  {
    b.Select(L"multi.exe", {});
    EXPECT_EQ(b.Status(), u8"多节EXE录像,总节数:2" + Facts(work + L"multi.exe"));
    ExpectPreview(b, 64, 48, FrameWithCursor);
    b.Select(L"lock.exe", {});
    EXPECT_EQ(b.Status(), u8"已进行编辑加密");
    // Drawn over in white; the red notice starts at (50, 20).
    const Grab g = ExpectPreview(b, 40, 16, [](int, int) { return 0xFFFFFFu; });
    bool red = false;
    for (int y = 20; y < g.h; ++y)
      for (int x = 50; x < g.w; ++x) red = red || ((g.at(x, y) >> 16) > 0x80 && (g.at(x, y) & 0xFF) < 0x80);
    EXPECT_TRUE(red) << "no red notice";
    b.Select(L"pass.exe", {});
    EXPECT_EQ(b.Status(), u8"已进行播放加密");
  }
  {
    // A tail followed by zeros: repaired after "yes" and shown in the same click.
    const auto seen = b.Select(L"zero.exe", {IDYES});
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].text, u8"此文件可能曾经被病毒感染过,杀毒后有一些残留的数据,需要先进行修复,现在进行修复吗?");
    EXPECT_EQ(seen[0].caption, "Vidorra");
    EXPECT_EQ(b.Status(), exeLine + Facts(work + L"zero.exe"));
    EXPECT_TRUE(readAll(work + L"zero.exe") == fixture.intact);
    ExpectPreview(b, 64, 48, FrameWithCursor);
    fixture.files[L"zero.exe"] = fixture.intact;

    const auto no = b.Select(L"zero2.exe", {IDNO});
    EXPECT_EQ(Texts(no), (std::vector<std::string>{seen[0].text, kNotExe}));

    const std::string virus =
        u8"本文件可能感染了病毒,请先使用杀毒软件杀毒,请按 否;如果确认刚刚已经杀过病毒,还是有提示的话,可以进行强制修复,请按 是。"
        u8"现在要进行强制修复吗?";
    EXPECT_EQ(Texts(b.Select(L"virus.exe", {IDNO})), std::vector<std::string>{virus});
    EXPECT_EQ(Texts(b.Select(L"virus2.exe", {IDYES, IDOK})),
              (std::vector<std::string>{virus, u8"强制修复成功,请播放试一下,如果无法成功播放,请对此文件进行 编辑/升级EXE播放器 操作"}));
    EXPECT_EQ(b.Status(), exeLine + Facts(work + L"virus2.exe"));
    EXPECT_TRUE(readAll(work + L"virus2.exe") == fixture.intact);
    fixture.files[L"virus2.exe"] = fixture.intact;
  }

  // Unfinished recordings: "no" leaves them, "yes" finishes or repairs them.
  {
    const auto no = b.Select(L"fin2.exw", {IDNO});
    EXPECT_EQ(Texts(no), std::vector<std::string>{u8"此EXE录像还未最后完成,现在要完成它吗?"});
    EXPECT_EQ(no[0].caption, "Vidorra");
    EXPECT_EQ(b.Status(), Facts(work + L"fin2.exw"));
    EXPECT_EQ(trialBar(), std::make_pair(false, LRESULT(1)));

    const auto yes = b.Select(L"fin.exw", {IDYES, IDOK});
    EXPECT_EQ(Texts(yes), (std::vector<std::string>{u8"此EXE录像还未最后完成,现在要完成它吗?", u8"完成EXE成功"}));
    EXPECT_EQ(b.Status(), "");
    const Bytes finished = readAll(work + L"fin.exe");
    const execheck::ParsedExe p = execheck::parseExe(finished);
    EXPECT_TRUE(p.ok);
    EXPECT_EQ(p.frames.size(), 6u);
    EXPECT_GT(p.soundEnd, p.soundStart) << "the side file's sound is packed in";
    EXPECT_EQ(GetFileAttributesW((work + L"fin.exw").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_GE(b.IndexOf(L"fin.exe"), 0) << "the list was refreshed";
    fixture.files.erase(L"fin.exw");
    fixture.files.erase(L"fin1.wav");

    // A box inside the finishing job: meanwhile the main window takes no
    // input, and neither the start hot key nor a command from the list
    // starts anything inside the job.
    bool disabled = false;
    const auto inside = b.Select(L"nosound.exw", {IDYES, IDOK, IDOK}, [&](const Dialog& d) {
      if (d.text.rfind(u8"找不到配音文件", 0) != 0) return;
      disabled = !IsWindowEnabled(b.form);
      PostMessageW(b.form, WM_HOTKEY, 0, MAKELPARAM(MOD_CONTROL | MOD_SHIFT, VK_F5));
      SendMessageW(b.list, LB_SETCURSEL, WPARAM(b.IndexOf(L"a.lx")), 0);
      PostMessageW(b.form, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(b.list), LBN_SELCHANGE),
                   reinterpret_cast<LPARAM>(b.list));
      Sleep(2000);
    });
    EXPECT_EQ(Texts(inside), (std::vector<std::string>{u8"此EXE录像还未最后完成,现在要完成它吗?",
                                                       u8"找不到配音文件" + Utf8(work) + u8"nosound1.wav",
                                                       u8"完成EXE成功"}));
    EXPECT_TRUE(disabled) << "the main window took input during the job";
    EXPECT_EQ(RecorderState(b.form), 1) << "the start hot key started a recording inside the job";
    EXPECT_EQ(page(), 0) << "the list's command ran inside the job (a.lx shows the generate page)";
    EXPECT_EQ(b.Status(), "");
    EXPECT_TRUE(IsWindowEnabled(b.form));
    fixture.files.erase(L"nosound.exw");

    const auto keep = b.Select(L"bad2.exw", {IDNO});
    EXPECT_EQ(Texts(keep), std::vector<std::string>{u8"未完成的录像,是否进行修复?"});
    const auto repair = b.Select(L"bad.exw", {IDYES, IDOK, IDOK});
    const std::wstring repaired = work + L"修复bad.exe";
    const std::vector<std::string> texts = Texts(repair);
    ASSERT_EQ(texts.size(), 3u);
    EXPECT_EQ(texts[0], u8"未完成的录像,是否进行修复?");
    EXPECT_EQ(texts[1], "<file dialog>");
    // The dialog gives the folder as it spells it; the name is the proposed one.
    const std::string head = u8"修复成功,保存为", tail = u8"\\修复bad.exe,查看确认修复后再手工删除此未完成文件";
    EXPECT_EQ(texts[2].substr(0, head.size()), head) << texts[2];
    EXPECT_TRUE(texts[2].size() > tail.size() && texts[2].substr(texts[2].size() - tail.size()) == tail) << texts[2];
    ASSERT_FALSE(b.fileNames.empty());
    EXPECT_EQ(b.fileNames.back(), L"修复bad.exe");
    const execheck::ParsedExe r = execheck::parseExe(readAll(repaired));
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.frames.size(), 6u);
    EXPECT_NE(GetFileAttributesW((work + L"bad.exw").c_str()), INVALID_FILE_ATTRIBUTES) << "kept for the user";
    fixture.files.erase(L"bad.exw");

    const auto avwNo = b.Select(L"rec2.avw", {IDNO});
    EXPECT_EQ(Texts(avwNo), std::vector<std::string>{u8"此AVI录像还未最后完成,现在要完成它吗?"});
    const auto avwYes = b.Select(L"rec.avw", {IDYES, IDOK});
    EXPECT_EQ(Texts(avwYes), (std::vector<std::string>{u8"此AVI录像还未最后完成,现在要完成它吗?", u8"完成AVI成功"}));
    EXPECT_NE(GetFileAttributesW((work + L"rec.avi").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetFileAttributesW((work + L"rec.avw").c_str()), INVALID_FILE_ATTRIBUTES);
    fixture.files.erase(L"rec.avw");
    fixture.files.erase(L"rec1.wav");
  }

  // AVI and WMV.
  {
    EXPECT_TRUE(b.Select(L"w640.avi", {}).empty());
    EXPECT_EQ(b.Status(), u8"录像长度:00:00:00,总帧数:2,速度:5帧/秒,宽度:640,高度:48" + Facts(work + L"w640.avi"));
    EXPECT_EQ(page(), 0);
    const Grab g = ExpectPreview(b, 64, 48, AviPixel);
    // ffmpeg decodes the same file for check_preview.sh.
    const std::wstring out = robot::WinePath(BROWSER_OUT);
    EXPECT_TRUE(SavePpm(out + L"\\w640-preview.ppm", g));
    FILE* avi = _wfopen((out + L"\\w640.avi").c_str(), L"wb");
    ASSERT_NE(avi, nullptr);
    const Bytes& bytes = fixture.files[L"w640.avi"];
    std::fwrite(bytes.data(), 1, bytes.size(), avi);
    std::fclose(avi);

    const auto odd = b.Select(L"w641.avi", {});
    EXPECT_EQ(Texts(odd), std::vector<std::string>{
                              u8"此AVI文件宽度是奇数,无法提取首帧,可能播放也会不正常(请播放试试)。强烈建议录制时请将录制范围宽度调整为偶数。"});
    EXPECT_EQ(b.Status(), u8"录像长度:00:00:00,总帧数:2,速度:5帧/秒,宽度:641,高度:48" + Facts(work + L"w641.avi"));
    b.Select(L"slow.avi", {});
    EXPECT_EQ(b.Status(), u8"录像长度:00:00:06,总帧数:3,速度:0帧/秒,宽度:64,高度:48" + Facts(work + L"slow.avi"));
    EXPECT_EQ(Texts(b.Select(L"clip.wmv", {})),
              std::vector<std::string>{u8"此电脑上还没有安装wmv支持文件,本软件的wmv格式功能无法使用"});
  }

  // Selecting the same entry again reloads nothing and asks nothing.
  EXPECT_TRUE(b.Select(L"fin2.exw", {IDNO}).size() == 1);
  EXPECT_TRUE(b.Select(L"fin2.exw", {}).empty());

  for (const auto& [name, bytes] : fixture.files)
    EXPECT_TRUE(readAll(work + name) == bytes) << Utf8(name) << " changed";

  PostMessageW(b.form, WM_CLOSE, 0, 0);
  run.PumpUntilExit(20000);
  EXPECT_TRUE(run.exited);
}

}  // namespace
