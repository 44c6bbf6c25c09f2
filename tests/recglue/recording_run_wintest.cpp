// One recording through the whole program: Vidorra.exe on a fixture set.dat
// (5 frames a second, sound on, full screen, the cursor recorded) is started
// and stopped by the start/stop hot-key message about three seconds apart;
// the .lx it leaves is read by the independent layout reader and its sound
// side file by its RIFF fields. Windows (Wine), a display and the sound
// server with its ramp source are needed.
#include <gtest/gtest.h>

#include <windows.h>

#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "RobotClient.h"
#include "lx_checker.h"

namespace {

using robot::WinePath;

std::wstring ClassOf(HWND w) {
  wchar_t c[64] = {};
  GetClassNameW(w, c, 64);
  return c;
}
std::wstring TextOf(HWND w) {
  wchar_t t[1024] = {};
  DWORD_PTR got = 0;
  SendMessageTimeoutW(w, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(t), SMTO_ABORTIFHUNG, 2000, &got);
  return t;
}
std::string Utf8(const std::wstring& w) {
  int n = WideCharToMultiByte(CP_UTF8, 0, w.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string s(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, w.c_str(), -1, &s[0], n, nullptr, nullptr);
  s.resize(static_cast<std::size_t>(n - 1));
  return s;
}

struct Found {
  DWORD pid;
  std::wstring cls;
  HWND hwnd = nullptr;
};
BOOL CALLBACK FindTop(HWND w, LPARAM lp) {
  auto* f = reinterpret_cast<Found*>(lp);
  DWORD owner = 0;
  GetWindowThreadProcessId(w, &owner);
  if (owner == f->pid && IsWindowVisible(w) && ClassOf(w) == f->cls) {
    f->hwnd = w;
    return FALSE;
  }
  return TRUE;
}
HWND VisibleTopWindow(DWORD pid, const wchar_t* cls) {
  Found f{pid, cls};
  EnumWindows(FindTop, reinterpret_cast<LPARAM>(&f));
  return f.hwnd;
}
BOOL CALLBACK LongestStatic(HWND w, LPARAM lp) {
  auto* best = reinterpret_cast<std::wstring*>(lp);
  if (ClassOf(w) == L"Static") {
    std::wstring t = TextOf(w);
    if (t.size() > best->size()) *best = t;
  }
  return TRUE;
}

// A program folder of its own, holding the working folder too, removed
// afterwards (one level of subfolders).
class ProgramFolder {
public:
  ProgramFolder() {
    wchar_t tmp[MAX_PATH];
    GetTempPathW(MAX_PATH, tmp);
    dir_ = std::wstring(tmp) + L"vidorra-rec-" + std::to_wstring(GetCurrentProcessId()) + L"\\";
    CreateDirectoryW(dir_.c_str(), nullptr);
    CreateDirectoryW(work().c_str(), nullptr);
    Copy(VIDORRA_EXE, L"Vidorra.exe");
    Copy(ZORBEL_EXE, L"zorbel.exe");
    Copy(TREBIS_DLL, L"trebis.dll");
    Copy(TREBIS1_DLL, L"trebis1.dll");
    Copy(PELLUN_EXE, L"pellun.exe");
    Copy(PLAY_DAT, L"play.dat");
  }
  ~ProgramFolder() {
    Clear(work());
    RemoveDirectoryW(work().c_str());
    Clear(dir_);
    RemoveDirectoryW(dir_.c_str());
  }
  std::wstring path(const wchar_t* name) const { return dir_ + name; }
  std::wstring work() const { return dir_ + L"work\\"; }
  const std::wstring& dir() const { return dir_; }

private:
  void Copy(const char* from, const wchar_t* to) { CopyFileW(WinePath(from).c_str(), (dir_ + to).c_str(), FALSE); }
  static void Clear(const std::wstring& folder) {
    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileW((folder + L"*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE) return;
    do {
      if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) DeleteFileW((folder + fd.cFileName).c_str());
    } while (FindNextFileW(h, &fd));
    FindClose(h);
  }
  std::wstring dir_;
};

struct ProgramRun {
  PROCESS_INFORMATION pi = {};
  std::vector<std::string> boxes;  // UTF-8 texts of the boxes answered
  HWND mainForm = nullptr;
  bool exited = false;
  DWORD exitCode = 99;

  ~ProgramRun() {
    if (!pi.hProcess) return;
    if (WaitForSingleObject(pi.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(pi.hProcess, 9);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
  }
  void Start(const ProgramFolder& folder) {
    std::wstring exe = folder.path(L"Vidorra.exe");
    std::wstring cmd = L"\"" + exe + L"\"";
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    ASSERT_TRUE(CreateProcessW(exe.c_str(), &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, folder.dir().c_str(), &si,
                               &pi));
    Pump(60000, [&] { return mainForm != nullptr; });
  }
  // Answers every box with its first button until done() or the time is up
  // or the program ends.
  template <class Done>
  void Pump(DWORD ms, Done done) {
    DWORD until = GetTickCount() + ms;
    while (static_cast<int>(until - GetTickCount()) > 0) {
      if (WaitForSingleObject(pi.hProcess, 100) == WAIT_OBJECT_0) {
        exited = true;
        GetExitCodeProcess(pi.hProcess, &exitCode);
        return;
      }
      if (HWND box = VisibleTopWindow(pi.dwProcessId, L"#32770")) {
        std::wstring text;
        EnumChildWindows(box, LongestStatic, reinterpret_cast<LPARAM>(&text));
        if (!text.empty()) {
          boxes.push_back(Utf8(text));
          PostMessageW(box, WM_COMMAND, IDOK, 0);
          Sleep(300);
          continue;
        }
      }
      if (!mainForm) {
        HWND form = VisibleTopWindow(pi.dwProcessId, L"VidorraForm");
        if (form && TextOf(form) == L"Vidorra") mainForm = form;
      }
      if (done()) return;
    }
  }
};

Bytes ReadAll(const std::wstring& path) {
  std::ifstream in(path.c_str(), std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
bool HasTrailer(const Bytes& b) {
  static const char magic[] = "qorvimlxs";
  return b.size() >= 40 + 40 && std::equal(magic, magic + 9, b.end() - 12);
}
// The recorder's state as the outside query answers it: 1 idle, 2 recording.
LRESULT RecorderState(HWND form) {
  DWORD_PTR answer = 0;
  SendMessageTimeoutW(form, WM_USER + 17, 0, 0, SMTO_ABORTIFHUNG, 2000, &answer);
  return static_cast<LRESULT>(answer);
}

// The sound server this run's program started stays up after the program
// has ended, holding the test's output open; it is closed by its window,
// found by its title and its image in this run's folder.
struct ServerQuery {
  std::wstring folder;
  DWORD pid = 0;
  HWND wnd = nullptr;
};
BOOL CALLBACK MatchServer(HWND w, LPARAM lp) {
  auto* q = reinterpret_cast<ServerQuery*>(lp);
  wchar_t title[128] = {};
  GetWindowTextW(w, title, 128);
  if (std::wstring(title) != L"QORVIMRECORDER{A8B0ADB7-ECB6-4D8F-829A-F050181A6510}") return TRUE;
  DWORD pid = 0;
  GetWindowThreadProcessId(w, &pid);
  HANDLE h = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
  if (!h) return TRUE;
  wchar_t image[MAX_PATH] = {};
  DWORD n = MAX_PATH;
  if (QueryFullProcessImageNameW(h, 0, image, &n) && _wcsnicmp(image, q->folder.c_str(), q->folder.size()) == 0)
  {
    q->pid = pid;
    q->wnd = w;
  }
  CloseHandle(h);
  return q->pid ? FALSE : TRUE;
}
void EndSoundServerOf(const std::wstring& folder) {
  ServerQuery q{folder};
  EnumWindows(MatchServer, reinterpret_cast<LPARAM>(&q));
  if (!q.pid) return;
  // Asked to close first, as the program itself does: a killed server leaves
  // its class registration behind in Wine and spoils the next test's create.
  if (HANDLE h = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, q.pid)) {
    PostMessageW(q.wnd, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(h, 5000) == WAIT_TIMEOUT) TerminateProcess(h, 0);
    CloseHandle(h);
  }
}

TEST(RecordingRun, StartAndStopKeyLeaveAFinishedLxWithItsSound) {
  ProgramFolder folder;
  std::vector<std::string> lines(132, "0");
  lines[0] = "1", lines[2] = "1";  // Ctrl+Shift with F5 F6 F7 F8
  lines[3] = "F5", lines[4] = "F6", lines[5] = "F7", lines[73] = "F8";
  lines[6] = "1";                                // the stop tip was dismissed
  lines[30] = "1";                               // record sound
  lines[31] = "1", lines[40] = "1";              // record the cursor
  lines[38] = Utf8(folder.work());               // working folder (ASCII)
  lines[42] = "2", lines[43] = "2";              // 16 bits, 11025 Hz
  lines[68] = "5";                               // frames per second
  lines[61] = "SimSun";
  {
    std::ofstream out(folder.path(L"set.dat").c_str(), std::ios::binary);
    for (const auto& l : lines) out << l << "\r\n";
  }

  ProgramRun run;
  run.Start(folder);
  ASSERT_NE(run.mainForm, nullptr) << (run.boxes.empty() ? "" : run.boxes.back());
  Sleep(500);
  HWND form = run.mainForm;
  const std::size_t boxesBefore = run.boxes.size();
  const std::wstring lx = folder.work() + L"录像1.lx";
  const std::wstring wav = folder.work() + L"录像11.wav";

  PostMessageW(form, WM_HOTKEY, 0, 0);
  run.Pump(3000, [] { return false; });
  EXPECT_EQ(RecorderState(form), 2);
  PostMessageW(form, WM_HOTKEY, 0, 0);
  run.Pump(30000, [&] { return HasTrailer(ReadAll(lx)) && RecorderState(form) == 1; });
  ASSERT_FALSE(run.exited);
  EXPECT_EQ(run.boxes.size(), boxesBefore) << run.boxes.back();

  const Bytes file = ReadAll(lx);
  ASSERT_TRUE(HasTrailer(file)) << "no finished .lx, " << file.size() << " bytes";
  const lxcheck::ParsedLx p = lxcheck::parseLx(file);
  EXPECT_EQ(p.header[0], 1);  // full screen
  EXPECT_EQ(p.header[1], GetSystemMetrics(SM_CXSCREEN));
  EXPECT_EQ(p.header[2], GetSystemMetrics(SM_CYSCREEN));
  EXPECT_EQ(p.header[4], 5);    // pf16bit
  EXPECT_EQ(p.header[5], 200);  // 1000 / 5
  EXPECT_EQ(p.header[9], 1);
  const int frames = static_cast<int>(p.frameLines.size());
  EXPECT_EQ(p.header[3], frames) << "frameCount not patched";
  // Three seconds at 5 a second; Wine's timer and the sound server's start
  // give or take a few.
  EXPECT_GE(frames, 10);
  EXPECT_LE(frames, 22);
  ASSERT_FALSE(p.records.empty());
  std::set<std::size_t> offsets;
  for (const auto& r : p.records) {
    offsets.insert(r.offset);
    EXPECT_EQ(r.flag, 1) << "no cursor block at " << r.offset;
  }
  ASSERT_FALSE(p.frameLines.empty());
  EXPECT_EQ(p.frameLines.front(), "40");
  std::size_t previous = 0;
  for (const auto& line : p.frameLines) {
    const std::size_t at = std::stoul(line);
    EXPECT_TRUE(offsets.count(at)) << "index line " << line << " is no record";
    EXPECT_GE(at, previous);
    previous = at;
  }

  // The sound: a 44-byte PCM header whose sizes agree with the file, and
  // samples exactly as long as the pictures (200 ms each) give or take one
  // frame, in whole samples.
  const Bytes sound = ReadAll(wav);
  ASSERT_GE(sound.size(), 44u) << "no sound side file";
  EXPECT_EQ(std::string(sound.begin(), sound.begin() + 4), "RIFF");
  EXPECT_EQ(std::string(sound.begin() + 8, sound.begin() + 16), "WAVEfmt ");
  EXPECT_EQ(std::string(sound.begin() + 36, sound.begin() + 40), "data");
  EXPECT_EQ(get32(sound, 4), static_cast<int32_t>(sound.size() - 8));
  const int32_t data = get32(sound, 40);
  EXPECT_EQ(data, static_cast<int32_t>(sound.size() - 44));
  const int32_t byteRate = get32(sound, 28);
  EXPECT_EQ(byteRate, 11025 * 2);
  const int64_t wanted = int64_t(byteRate) * frames * 200 / 1000;
  EXPECT_LE(std::llabs(data - wanted), int64_t(byteRate) * 200 / 1000) << data << " vs " << wanted;
  EXPECT_EQ(data % 2, 0);  // whole 16-bit mono samples
  // The ramp source was recorded, not silence padded in.
  std::set<uint8_t> values(sound.begin() + 44, sound.begin() + 44 + std::min<int32_t>(data, 4000));
  EXPECT_GT(values.size(), 16u);

  PostMessageW(form, WM_CLOSE, 0, 0);
  run.Pump(20000, [] { return false; });
  EndSoundServerOf(folder.dir());
  ASSERT_TRUE(run.exited);
  EXPECT_EQ(run.exitCode, 0u);
}

}  // namespace
