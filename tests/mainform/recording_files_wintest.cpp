// The recording list's file operations and the tool gates through the real
// menus of one running Vidorra.exe, on a working folder of fixtures made
// here: a copy whose side-file question is answered Cancel, a move of an
// .avi, a rename of a.b.lx through the input question, a delete from the
// list's context menu that sends x.exe and x1.wav to the recycle bin, the
// gates' refusals and forms, the menus' enabling for a few selections, and
// "delete all" twice, the second time on an empty folder. Each file is
// checked on disk; the recycled ones in the trash the test redirects.
// Windows (Wine) and a display needed.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "ProgramRun.h"

namespace {

using namespace program;

void WriteBytes(const std::wstring& path, const std::string& bytes) {
  HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  DWORD written = 0;
  WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(h);
}
bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

void Put32(std::string& b, std::size_t at, int32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<char>((static_cast<uint32_t>(v) >> (8 * i)) & 0xFF);
}

// A self-playing EXE as far as the probes read it, from the container's
// tables: 1000 player bytes, the 180-byte playback settings (soundCodec at
// +84) and the 44-byte trailer (edit key +0, format 8 at +20, version +24,
// playerSize +28, "qorvimdvq" at +32).
std::string SingleExe(int version, int editKey, int soundCodec) {
  std::string settings(180, '\0'), trailer(44, '\0');
  Put32(settings, 84, soundCodec);
  Put32(trailer, 0, editKey);
  Put32(trailer, 20, 8);
  Put32(trailer, 24, version);
  Put32(trailer, 28, 1000);
  trailer.replace(32, 9, "qorvimdvq");
  return std::string(1000, 'p') + settings + trailer;
}
// A multi-section EXE's 68-byte tail: format 8 at +0, version +4, playerSize
// +8, sections +12, edit key +16, "qorvimedj" and a NUL at +56.
std::string MultiExe(int version, int editKey) {
  std::string tail(68, '\0');
  Put32(tail, 0, 8);
  Put32(tail, 4, version);
  Put32(tail, 8, 1000);
  Put32(tail, 12, 1);
  Put32(tail, 16, editKey);
  tail.replace(56, 9, "qorvimedj");
  return std::string(2000, 'm') + tail;
}

// The items of the recording list.
std::vector<std::wstring> ListItems(HWND list) {
  std::vector<std::wstring> items;
  const LRESULT n = SendMessageW(list, LB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < n; ++i) {
    wchar_t t[MAX_PATH] = {};
    SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(t));
    items.push_back(t);
  }
  return items;
}

// What the program shows while a command runs: message boxes answered by
// their text (OK unless told), the save dialog given a path, the input
// question given a text; everything seen is kept in order.
class Driver {
public:
  explicit Driver(ProgramRun& run) : run_(run) {}
  std::map<std::string, int> answers;  // box text (UTF-8) -> button id
  std::wstring saveAs;                 // the save dialog's answer; empty: Cancel
  std::wstring input;                  // the input question's answer
  std::vector<std::string> seen;       // "box: ...", "save dialog", "input: <proposed>"

  // Handles windows for up to ms, or until done() holds once nothing is shown.
  template <class Done>
  void Run(DWORD ms, Done done) {
    const DWORD until = GetTickCount() + ms;
    while (static_cast<int>(until - GetTickCount()) > 0) {
      Sleep(100);
      if (HWND box = VisibleTopWindow(run_.pi.dwProcessId, L"#32770")) {
        if (FindChild(box, L"Edit")) {
          SaveDialog(box);
          continue;
        }
        const std::wstring text = BoxText(box);
        if (text.empty() && GetDlgItem(box, IDYES)) {
          // The shell's own question before it sends files to the trash:
          // its text is painted, not a control.
          note("shell confirmation");
          PostMessageW(box, WM_COMMAND, IDYES, 0);
          WaitGone(box);
          continue;
        }
        if (text.empty()) continue;
        const std::string utf8 = Utf8(text);
        note("box: " + utf8);
        auto a = answers.find(utf8);
        PostMessageW(box, WM_COMMAND, a == answers.end() ? IDOK : a->second, 0);
        WaitGone(box);
        continue;
      }
      if (HWND q = InputQuestion()) {
        note("input: " + Utf8(TextOf(ControlNamed(q, L"Edit1"))));
        SendMessageW(ControlNamed(q, L"Edit1"), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(input.c_str()));
        PostMessageW(ControlNamed(q, L"Button1"), BM_CLICK, 0, 0);
        WaitGone(q);
        continue;
      }
      if (done()) return;
    }
  }
  void Settle(DWORD ms = 1500) {
    Run(ms, [] { return false; });
  }
  // Selects a list item as a click would, answering what the click shows
  // (a fixture is no real recording: the list says so) until the program
  // has handled it. The click is sent from a thread of its own, since this
  // one answers the boxes the click waits for.
  void Select(HWND list, const std::wstring& name) {
    const LRESULT i = SendMessageW(list, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(name.c_str()));
    ASSERT_GE(i, 0) << Utf8(name) << " is not listed";
    SendMessageW(list, LB_SETCURSEL, static_cast<WPARAM>(i), 0);
    std::atomic<bool> handled{false};
    std::thread click([&] {
      DWORD_PTR r = 0;
      SendMessageTimeoutW(GetParent(list), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(list), LBN_SELCHANGE),
                          reinterpret_cast<LPARAM>(list), SMTO_NORMAL, 60000, &r);
      handled = true;
    });
    Run(60000, [&] { return handled.load(); });
    click.join();
  }
  // The boxes seen, without the "box: " prefix.
  std::vector<std::string> Boxes() const {
    std::vector<std::string> out;
    for (const auto& s : seen)
      if (s.compare(0, 5, "box: ") == 0) out.push_back(s.substr(5));
    return out;
  }
  bool SawBox(const std::string& text) const {
    const auto b = Boxes();
    return std::find(b.begin(), b.end(), text) != b.end();
  }

private:
  // Kept, and written at once: a run that hangs shows how far it came.
  void note(const std::string& what) {
    seen.push_back(what);
    std::fprintf(stderr, "seen: %s\n", what.c_str());
  }
  static BOOL CALLBACK FindClass(HWND w, LPARAM lp) {
    auto* q = reinterpret_cast<std::pair<std::wstring, HWND>*>(lp);
    if (ClassOf(w) == q->first) {
      q->second = w;
      return FALSE;
    }
    return TRUE;
  }
  static HWND FindChild(HWND parent, const wchar_t* cls) {
    std::pair<std::wstring, HWND> q{cls, nullptr};
    EnumChildWindows(parent, FindClass, reinterpret_cast<LPARAM>(&q));
    return q.second;
  }
  void SaveDialog(HWND dialog) {
    note("save dialog");
    if (saveAs.empty()) {
      PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    } else {
      SendMessageW(FindChild(dialog, L"Edit"), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(saveAs.c_str()));
      PostMessageW(dialog, WM_COMMAND, IDOK, 0);
    }
    WaitGone(dialog);
  }
  HWND InputQuestion() {
    HWND form = FindWindowW(L"VidorraForm", L"请输入");
    DWORD owner = 0;
    if (form) GetWindowThreadProcessId(form, &owner);
    return owner == run_.pi.dwProcessId && IsWindowVisible(form) && ControlNamed(form, L"Edit1") ? form : nullptr;
  }
  static void WaitGone(HWND w) {
    for (int i = 0; i < 100 && IsWindow(w) && IsWindowVisible(w); ++i) Sleep(50);
  }
  ProgramRun& run_;
};

// Chooses a menu item as the robot does, saying which (a run that hangs
// shows how far it came).
bool Menu(HWND form, const std::wstring& path) {
  const bool chosen = ChooseMenu(form, path);
  std::fprintf(stderr, "menu %s: %s\n", Utf8(path).c_str(), chosen ? "chosen" : "not there");
  return chosen;
}

// A tool form of the process by its caption, while it is shown.
HWND ToolForm(DWORD pid, const wchar_t* caption) {
  for (int i = 0; i < 60; ++i) {
    HWND w = FindWindowW(L"VidorraForm", caption);
    DWORD owner = 0;
    if (w) GetWindowThreadProcessId(w, &owner);
    if (w && owner == pid && IsWindowVisible(w)) return w;
    Sleep(100);
  }
  return nullptr;
}

// The recycle bin of Wine is the Unix trash of XDG_DATA_HOME, which the
// test's environment points at a folder of its own: emptied here first,
// since a name already in the trash would be stored under another.
std::wstring TrashFolder() {
  char dir[MAX_PATH] = {};
  if (!GetEnvironmentVariableA("XDG_DATA_HOME", dir, MAX_PATH)) return std::wstring();
  return robot::WinePath(dir) + L"\\Trash\\";
}
void EmptyFolder(const std::wstring& dir) {
  WIN32_FIND_DATAW fd;
  HANDLE h = FindFirstFileW((dir + L"*").c_str(), &fd);
  if (h == INVALID_HANDLE_VALUE) return;
  do {
    if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) DeleteFileW((dir + fd.cFileName).c_str());
  } while (FindNextFileW(h, &fd));
  FindClose(h);
}

const char* const kCopyQuestionSuffix = u8"copy2.wav 文件已经存在,是否覆盖?";

TEST(RecordingFiles, OperationsAndGatesThroughTheMenus) {
  ProgramFolder folder;
  const std::wstring work = folder.work();
  std::vector<std::string> lines(132, "0");
  lines[0] = "1", lines[2] = "1";
  lines[3] = "F5", lines[4] = "F6", lines[5] = "F7", lines[73] = "F8";
  lines[6] = "1";
  lines[38] = Utf8(work);
  lines[42] = "1", lines[43] = "2";
  lines[68] = "5";
  lines[61] = "SimSun";
  folder.WriteSettings(lines);

  const std::map<std::wstring, std::string> fixtures = {
      {L"talk.lx", "talk lx"},     {L"talk1.wav", "talk 1"},     {L"talk2.wav", "talk 2"},
      {L"copy2.wav", "old copy 2"}, {L"a.avi", "an avi"},          {L"a1.wav", "a 1"},
      {L"a.b.lx", "a.b lx"},        {L"a.b1.wav", "a.b 1"},        {L"x.exe", SingleExe(8, 0, 1)},
      {L"x1.wav", "x 1"},           {L"r5.exe", SingleExe(5, 0, 1)}, {L"mp3.exe", SingleExe(8, 0, 5)},
      {L"multi.exe", MultiExe(8, 1)}, {L"v.wmv", "a wmv"}};
  for (const auto& f : fixtures) WriteBytes(work + f.first, f.second);
  CreateDirectoryW((work + L"moved").c_str(), nullptr);
  ASSERT_FALSE(TrashFolder().empty()) << "XDG_DATA_HOME is not set";
  const std::wstring trash = TrashFolder() + L"files\\";
  // Wine makes only the last level of the trash itself.
  const std::wstring dataHome = TrashFolder().substr(0, TrashFolder().size() - 7);
  for (const std::wstring& dir : {dataHome, TrashFolder(), trash, TrashFolder() + L"info\\"})
    CreateDirectoryW(dir.c_str(), nullptr);
  EmptyFolder(trash);
  EmptyFolder(TrashFolder() + L"info\\");

  ProgramRun run;
  ASSERT_TRUE(run.Start(folder));
  // A busy machine may take longer than the start's own minute.
  if (!run.mainForm && !run.exited) run.Pump(120000, [&] { return run.mainForm != nullptr; });
  ASSERT_NE(run.mainForm, nullptr) << (run.boxes.empty() ? "" : run.boxes.back()) << " exited " << run.exited
                                   << " code " << run.exitCode << " tips " << run.tips.size();
  HWND form = run.mainForm;
  HWND list = ControlNamed(form, L"FileListBox1");
  ASSERT_NE(list, nullptr);
  Driver d(run);
  d.Settle(500);

  // Save a copy of talk.lx as copy.lx: copy2.wav is there, Cancel keeps it.
  d.Select(list, L"talk.lx");
  d.Settle(500);
  const std::string copyQuestion = Utf8(work) + kCopyQuestionSuffix;
  d.answers[copyQuestion] = IDCANCEL;
  d.saveAs = work + L"copy.lx";
  ASSERT_TRUE(Menu(form, L"文件/另存为"));
  d.Run(20000, [&] { return d.SawBox(u8"另存成功"); });
  EXPECT_TRUE(d.SawBox(copyQuestion));
  EXPECT_TRUE(d.SawBox(u8"另存成功"));
  EXPECT_EQ(ReadFileBytes(work + L"copy.lx"), "talk lx");
  EXPECT_EQ(ReadFileBytes(work + L"copy1.wav"), "talk 1");
  EXPECT_EQ(ReadFileBytes(work + L"copy2.wav"), "old copy 2");
  EXPECT_EQ(ReadFileBytes(work + L"talk2.wav"), "talk 2");
  const auto items = ListItems(list);
  EXPECT_NE(std::find(items.begin(), items.end(), L"copy.lx"), items.end()) << "the list was not refreshed";

  // Move a.avi to moved\b.avi: only the .avi goes.
  d.Select(list, L"a.avi");
  d.Settle(500);
  d.saveAs = work + L"moved\\b.avi";
  ASSERT_TRUE(Menu(form, L"文件/转移到"));
  d.Run(20000, [&] { return d.SawBox(u8"转移成功"); });
  EXPECT_TRUE(d.SawBox(u8"转移成功"));
  EXPECT_FALSE(Exists(work + L"a.avi"));
  EXPECT_EQ(ReadFileBytes(work + L"moved\\b.avi"), "an avi");
  EXPECT_EQ(ReadFileBytes(work + L"a1.wav"), "a 1");
  // The moved file is no longer the selection: the File menu's items are off.
  EXPECT_FALSE(Menu(form, L"文件/另存为"));

  // Rename a.b.lx from the context menu: "a" is proposed, "c" entered.
  d.Select(list, L"a.b.lx");
  d.Settle(500);
  d.input = L"c";
  ASSERT_TRUE(Menu(form, L"PopupMenu2/重命名"));
  d.Run(20000, [&] { return Exists(work + L"c.lx") && Exists(work + L"c1.wav"); });
  EXPECT_NE(std::find(d.seen.begin(), d.seen.end(), "input: a"), d.seen.end());
  EXPECT_EQ(ReadFileBytes(work + L"c.lx"), "a.b lx");
  EXPECT_EQ(ReadFileBytes(work + L"c1.wav"), "a.b 1");
  EXPECT_FALSE(Exists(work + L"a.b.lx"));
  EXPECT_FALSE(Exists(work + L"a.b1.wav"));

  // The gates, through the Tools menu.
  d.seen.clear();
  d.Select(list, L"r5.exe");
  d.Settle(500);
  ASSERT_TRUE(Menu(form, L"工具/EXE转成AVI"));
  d.Settle();
  EXPECT_TRUE(d.SawBox(u8"此EXE不是最新版的录像文件，不能使用此功能"));
  d.Select(list, L"mp3.exe");
  d.Settle(500);
  ASSERT_TRUE(Menu(form, L"工具/EXE截取"));
  d.Settle();
  EXPECT_TRUE(d.SawBox(u8"声音是有损压缩的EXE不支持此操作"));
  d.Select(list, L"multi.exe");
  d.Settle(500);
  ASSERT_TRUE(Menu(form, L"工具/EXE转成LX"));
  d.Settle();
  EXPECT_TRUE(d.SawBox(u8"此EXE是合成多节EXE，不能使用此功能"));
  ASSERT_TRUE(Menu(form, L"工具/多节EXE提取"));
  d.Settle();
  EXPECT_TRUE(d.SawBox(u8"此EXE已经加密过，无法进行编辑"));
  d.Select(list, L"x.exe");
  d.Settle(500);
  ASSERT_TRUE(Menu(form, L"工具/多节EXE提取"));
  d.Settle();
  EXPECT_TRUE(d.SawBox(u8"此EXE不是多节EXE，不能使用此功能"));
  ASSERT_TRUE(Menu(form, L"工具/EXE转成AVI"));
  HWND exe2avi = ToolForm(run.pi.dwProcessId, L"EXE2AVI");
  ASSERT_NE(exe2avi, nullptr) << "EXE to AVI did not open";
  EXPECT_EQ(TextOf(ControlNamed(exe2avi, L"Edit1")), work + L"x.exe");
  PostMessageW(exe2avi, WM_CLOSE, 0, 0);
  d.Settle(500);
  d.Select(list, L"c.lx");
  d.Settle(500);
  d.saveAs.clear();
  ASSERT_TRUE(Menu(form, L"PopupMenu2/另存为"));  // shown for any selection
  d.Run(20000, [&] { return !d.seen.empty() && d.seen.back() == "save dialog"; });
  EXPECT_EQ(d.seen.back(), "save dialog");
  ASSERT_FALSE(Menu(form, L"PopupMenu2/EXE转AVI")) << "an EXE item shown for an .lx";
  ASSERT_TRUE(Menu(form, L"工具/EXE转成AVI"));
  exe2avi = ToolForm(run.pi.dwProcessId, L"EXE2AVI");
  ASSERT_NE(exe2avi, nullptr);
  EXPECT_EQ(TextOf(ControlNamed(exe2avi, L"Edit1")), L"") << "an .lx is no input of EXE to AVI";
  PostMessageW(exe2avi, WM_CLOSE, 0, 0);
  d.Settle(500);
  d.Select(list, L"v.wmv");
  d.Settle(500);
  EXPECT_FALSE(Menu(form, L"文件/另存为")) << "a WMV is no File-menu kind";
  ASSERT_TRUE(Menu(form, L"PopupMenu2/WMV截取"));
  d.Settle();
  EXPECT_TRUE(d.SawBox(u8"此电脑上还没有安装wmv支持文件,本软件的wmv格式功能无法使用"));
  ASSERT_TRUE(Menu(form, L"帮助/关于"));
  HWND about = ToolForm(run.pi.dwProcessId, L"About");
  ASSERT_NE(about, nullptr);
  PostMessageW(about, WM_CLOSE, 0, 0);
  d.Settle(500);

  // Delete x.exe from the context menu: x1.wav goes with it, both into the
  // recycle bin.
  d.seen.clear();
  d.Select(list, L"x.exe");
  d.Settle(500);
  ASSERT_TRUE(Menu(form, L"PopupMenu2/删除"));
  d.Run(20000, [&] { return !Exists(work + L"x.exe"); });
  EXPECT_TRUE(d.SawBox(u8"确认要删除选中的录像及相关文件吗?"));
  EXPECT_FALSE(Exists(work + L"x.exe"));
  EXPECT_FALSE(Exists(work + L"x1.wav"));
  EXPECT_EQ(ReadFileBytes(trash + L"x.exe"), fixtures.at(L"x.exe"));
  EXPECT_EQ(ReadFileBytes(trash + L"x1.wav"), "x 1");
  // Nothing is selected now: the delete items are off or hidden.
  EXPECT_FALSE(Menu(form, L"编辑/删除当前录像文件"));
  EXPECT_FALSE(Menu(form, L"PopupMenu2/删除"));
  RECT image = {};
  GetClientRect(ControlNamed(form, L"Image1"), &image);
  EXPECT_EQ(image.right, 100);
  EXPECT_EQ(image.bottom, 100);

  // Delete all: every listed recording and its side files; then once more
  // on the empty folder, which still asks and refreshes.
  d.seen.clear();
  ASSERT_TRUE(Menu(form, L"编辑/删除所有录像文件"));
  d.Run(30000, [&] { return ListItems(list).empty(); });
  EXPECT_TRUE(d.SawBox(u8"确认要删除临时文件夹中的所有录像相关文件吗?"));
  EXPECT_TRUE(ListItems(list).empty());
  for (const wchar_t* gone : {L"talk.lx", L"talk1.wav", L"talk2.wav", L"copy.lx", L"copy1.wav", L"copy2.wav",
                              L"c.lx", L"c1.wav", L"r5.exe", L"v.wmv"})
    EXPECT_FALSE(Exists(work + gone)) << Utf8(gone);
  EXPECT_EQ(ReadFileBytes(trash + L"talk2.wav"), "talk 2");
  // Neither a listed recording nor the side file of one.
  EXPECT_TRUE(Exists(work + L"moved\\b.avi"));
  EXPECT_TRUE(Exists(work + L"a1.wav"));
  d.seen.clear();
  ASSERT_TRUE(Menu(form, L"编辑/删除所有录像文件"));
  d.Settle();
  EXPECT_EQ(d.Boxes(), std::vector<std::string>{u8"确认要删除临时文件夹中的所有录像相关文件吗?"});
  EXPECT_EQ(TextOf(ControlNamed(form, L"Label4")).back(), L'M');

  PostMessageW(form, WM_CLOSE, 0, 0);
  run.PumpUntilExit(20000);
  EXPECT_TRUE(run.exited);
}

}  // namespace
