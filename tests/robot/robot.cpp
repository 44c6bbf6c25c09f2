// robot.exe: drives the windows of another process for end-to-end tests and
// scripts. It finds the process's windows with EnumWindows and
// EnumChildWindows, reads texts with WM_GETTEXT in UTF-16 and prints them as
// UTF-8, presses buttons (BM_CLICK), types (WM_SETTEXT or WM_CHAR), chooses
// menu items (WM_COMMAND with the id found by caption) and posts messages.
// It never blocks on the target: everything that could open a modal window
// there is posted, not sent.
//
//   robot list        <proc>                       every window (hidden ones marked), class, id, name, text
//   robot wait-window <proc> <caption> [ms]        waits for a visible top-level window
//   robot wait-gone   <proc> <caption> [ms]        waits until it has gone
//   robot text        <proc> [caption]             texts of a top-level window and its controls
//   robot click       <proc> <caption|name|id:N>   presses a button (never a disabled one)
//   robot type        <proc> <name|id:N> <text> [--chars]   sets (or types) the text of an edit
//   robot menu        <proc> <item/item...>        chooses a menu item of the menu bar
//   robot post        <proc> <caption> <msg> [wparam] [lparam]
//   robot close       <proc> <caption>             posts WM_CLOSE
//   robot wait-exit   <proc> [ms]                  waits for the process; exit code = its code
//
// <proc> is a process id or an executable name ("ui_demo.exe"). Captions
// match without mnemonics ('&', or a whole trailing "(&X)") and, for menus,
// without the short cut after a tab.
// Exit code 0 on success, 1 when the window or control is not found or the
// wait times out, 2 on a usage error.
#include <windows.h>
#include <tlhelp32.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

std::string Utf8(const std::wstring& w) {
  if (w.empty()) return std::string();
  int n = WideCharToMultiByte(CP_UTF8, 0, w.c_str(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
  std::string s(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, w.c_str(), static_cast<int>(w.size()), &s[0], n, nullptr, nullptr);
  return s;
}

void Out(const std::string& s) {
  // Raw UTF-8 bytes: no console code page in between.
  DWORD written;
  std::string line = s + "\n";
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}

void Err(const std::string& s) {
  DWORD written;
  std::string line = "robot: " + s + "\n";
  WriteFile(GetStdHandle(STD_ERROR_HANDLE), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}

std::wstring Text(HWND h) {
  // WM_GETTEXT is marshalled between processes; GetWindowText is not for
  // controls of another process.
  DWORD_PTR len = 0;
  if (!SendMessageTimeoutW(h, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 2000, &len)) return std::wstring();
  std::wstring w(len + 1, L'\0');
  DWORD_PTR got = 0;
  SendMessageTimeoutW(h, WM_GETTEXT, len + 1, reinterpret_cast<LPARAM>(&w[0]), SMTO_ABORTIFHUNG, 2000, &got);
  w.resize(got);
  return w;
}

std::wstring ClassOf(HWND h) {
  wchar_t buf[128];
  int n = GetClassNameW(h, buf, 128);
  return std::wstring(buf, n > 0 ? n : 0);
}

// The framework keeps each control's name in a global atom on the window.
std::wstring NameOf(HWND h) {
  HANDLE a = GetPropW(h, L"VidorraName");
  if (!a) return std::wstring();
  wchar_t buf[256];
  UINT n = GlobalGetAtomNameW(static_cast<ATOM>(reinterpret_cast<UINT_PTR>(a)), buf, 256);
  return std::wstring(buf, n);
}

// Captions compare without mnemonics: "确定(&O)" and "确定" are one
// caption (a trailing "(&X)" goes entirely), "&Open" and "Open" too.
std::wstring Plain(const std::wstring& text) {
  std::wstring s = text;
  std::size_t tab = s.find(L'\t');
  if (tab != std::wstring::npos) s.erase(tab);
  if (s.size() >= 4 && s[s.size() - 4] == L'(' && s[s.size() - 3] == L'&' && s.back() == L')') s.erase(s.size() - 4);
  std::wstring out;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] == L'\t') break;
    if (s[i] == L'&') {
      if (i + 1 < s.size() && s[i + 1] == L'&') out += L'&', ++i;
      continue;
    }
    out += s[i];
  }
  return out;
}

std::vector<DWORD> Processes(const std::wstring& recipe) {
  std::vector<DWORD> pids;
  wchar_t* end = nullptr;
  unsigned long n = wcstoul(recipe.c_str(), &end, 10);
  if (!recipe.empty() && end && *end == 0) {
    pids.push_back(static_cast<DWORD>(n));
    return pids;
  }
  HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snap == INVALID_HANDLE_VALUE) return pids;
  PROCESSENTRY32W pe = {};
  pe.dwSize = sizeof(pe);
  for (BOOL ok = Process32FirstW(snap, &pe); ok; ok = Process32NextW(snap, &pe))
    if (lstrcmpiW(pe.szExeFile, recipe.c_str()) == 0) pids.push_back(pe.th32ProcessID);
  CloseHandle(snap);
  return pids;
}

struct TopSearch {
  std::vector<DWORD> pids;
  std::vector<HWND> found;
  bool hidden = false;  // hidden windows too
};

BOOL CALLBACK CollectTop(HWND h, LPARAM l) {
  TopSearch* s = reinterpret_cast<TopSearch*>(l);
  DWORD pid = 0;
  GetWindowThreadProcessId(h, &pid);
  for (DWORD p : s->pids)
    if (p == pid && (s->hidden || IsWindowVisible(h))) s->found.push_back(h);
  return TRUE;
}

std::vector<HWND> TopWindows(const std::wstring& proc, bool hidden = false) {
  TopSearch s;
  s.hidden = hidden;
  s.pids = Processes(proc);
  if (!s.pids.empty()) EnumWindows(CollectTop, reinterpret_cast<LPARAM>(&s));
  return s.found;
}

BOOL CALLBACK CollectChild(HWND h, LPARAM l) {
  reinterpret_cast<std::vector<HWND>*>(l)->push_back(h);
  return TRUE;
}

std::vector<HWND> Children(HWND top) {
  std::vector<HWND> v;
  EnumChildWindows(top, CollectChild, reinterpret_cast<LPARAM>(&v));
  return v;
}

HWND FindTop(const std::wstring& proc, const std::wstring& caption) {
  for (HWND h : TopWindows(proc))
    if (Plain(Text(h)) == Plain(caption)) return h;
  return nullptr;
}

// A control of any visible top-level window of the process, by caption,
// framework name or "id:N"; enabled ones win over disabled ones. A control
// counts as disabled when it or its window is (behind a modal dialog, say):
// a user could not press it, so neither does the robot.
HWND FindControl(const std::wstring& proc, const std::wstring& key, bool& enabled) {
  HWND fallback = nullptr;
  bool byId = key.compare(0, 3, L"id:") == 0;
  int id = byId ? _wtoi(key.c_str() + 3) : 0;
  for (HWND top : TopWindows(proc))
    for (HWND c : Children(top)) {
      if (!IsWindowVisible(c)) continue;
      bool match = byId ? GetDlgCtrlID(c) == id : (NameOf(c) == key || Plain(Text(c)) == Plain(key));
      if (!match) continue;
      if (IsWindowEnabled(c) && IsWindowEnabled(top)) {
        enabled = true;
        return c;
      }
      if (!fallback) fallback = c;
    }
  enabled = false;
  return fallback;
}

bool FindMenuItem(HMENU menu, const std::vector<std::wstring>& path, std::size_t depth, UINT& id) {
  int count = GetMenuItemCount(menu);
  for (int i = 0; i < count; ++i) {
    wchar_t buf[256] = {};
    MENUITEMINFOW mi = {};
    mi.cbSize = sizeof(mi);
    mi.fMask = MIIM_STRING | MIIM_ID | MIIM_SUBMENU | MIIM_STATE;
    mi.dwTypeData = buf;
    mi.cch = 255;
    if (!GetMenuItemInfoW(menu, i, TRUE, &mi)) continue;
    if (Plain(buf) != Plain(path[depth])) continue;
    if (depth + 1 == path.size()) {
      if (mi.fState & MFS_DISABLED) return false;
      id = mi.wID;
      return true;
    }
    if (mi.hSubMenu && FindMenuItem(mi.hSubMenu, path, depth + 1, id)) return true;
  }
  return false;
}

DWORD Timeout(int argc, wchar_t** argv, int index, DWORD fallback) {
  return argc > index ? static_cast<DWORD>(_wtoi(argv[index])) : fallback;
}

UINT_PTR Number(const wchar_t* s) { return static_cast<UINT_PTR>(wcstoul(s, nullptr, 0)); }

int List(const std::wstring& proc) {
  std::vector<HWND> tops = TopWindows(proc, true);
  if (tops.empty()) return 1;
  for (HWND top : tops) {
    char head[64];
    snprintf(head, sizeof head, "%08lx%s", static_cast<unsigned long>(reinterpret_cast<UINT_PTR>(top)),
             IsWindowVisible(top) ? "" : " hidden");
    Out(std::string(head) + " " + Utf8(ClassOf(top)) + " \"" + Utf8(Text(top)) + "\"");
    for (HWND c : Children(top)) {
      char line[64];
      snprintf(line, sizeof line, "  id=%d%s", GetDlgCtrlID(c), IsWindowVisible(c) ? "" : " hidden");
      std::wstring name = NameOf(c);
      Out(std::string(line) + " " + Utf8(ClassOf(c)) + (name.empty() ? "" : " name=" + Utf8(name)) + " \"" +
          Utf8(Text(c)) + "\"");
    }
  }
  return 0;
}

int Usage() {
  Err("usage: robot list|wait-window|wait-gone|text|click|type|menu|post|close|wait-exit <proc> ...");
  return 2;
}

}  // namespace

int main() {
  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (!argv || argc < 3) return Usage();
  std::wstring cmd = argv[1], proc = argv[2];

  if (cmd == L"list") return List(proc);

  if (cmd == L"wait-window" || cmd == L"wait-gone") {
    if (argc < 4) return Usage();
    DWORD limit = Timeout(argc, argv, 4, 10000), start = GetTickCount();
    bool wantGone = cmd == L"wait-gone";
    for (;;) {
      HWND h = FindTop(proc, argv[3]);
      if (!wantGone && h) {
        char buf[32];
        snprintf(buf, sizeof buf, "%08lx", static_cast<unsigned long>(reinterpret_cast<UINT_PTR>(h)));
        Out(buf);
        return 0;
      }
      if (wantGone && !h) return 0;
      if (GetTickCount() - start > limit) {
        Err("timed out waiting for \"" + Utf8(argv[3]) + "\"");
        return 1;
      }
      Sleep(50);
    }
  }

  if (cmd == L"text") {
    std::vector<HWND> tops = TopWindows(proc);
    if (argc >= 4) {
      HWND h = FindTop(proc, argv[3]);
      tops.assign(h ? 1 : 0, h);
    }
    if (tops.empty()) return 1;
    for (HWND top : tops) {
      Out(Utf8(Text(top)));
      for (HWND c : Children(top))
        if (IsWindowVisible(c)) {
          std::wstring t = Text(c);
          if (!t.empty()) Out(Utf8(t));
        }
    }
    return 0;
  }

  if (cmd == L"click") {
    if (argc < 4) return Usage();
    bool enabled = false;
    HWND c = FindControl(proc, argv[3], enabled);
    if (!c || !enabled) {
      Err(std::string(c ? "disabled" : "no") + " control \"" + Utf8(argv[3]) + "\"");
      return 1;
    }
    PostMessageW(c, BM_CLICK, 0, 0);
    return 0;
  }

  if (cmd == L"type") {
    if (argc < 5) return Usage();
    bool enabled = false;
    HWND c = FindControl(proc, argv[3], enabled);
    if (!c || !enabled) {
      Err(std::string(c ? "disabled" : "no") + " control \"" + Utf8(argv[3]) + "\"");
      return 1;
    }
    std::wstring text = argv[4];
    if (argc >= 6 && std::wstring(argv[5]) == L"--chars") {
      for (wchar_t ch : text) PostMessageW(c, WM_CHAR, ch, 1);
    } else {
      DWORD_PTR r;
      SendMessageTimeoutW(c, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), SMTO_ABORTIFHUNG, 5000, &r);
    }
    return 0;
  }

  if (cmd == L"menu") {
    if (argc < 4) return Usage();
    std::vector<std::wstring> path;
    std::wstring all = argv[3], part;
    for (wchar_t ch : all) {
      if (ch == L'/') { path.push_back(part); part.clear(); }
      else part += ch;
    }
    path.push_back(part);
    for (HWND top : TopWindows(proc)) {
      HMENU menu = GetMenu(top);
      UINT id = 0;
      if (menu && FindMenuItem(menu, path, 0, id)) {
        PostMessageW(top, WM_COMMAND, MAKEWPARAM(id, 0), 0);
        return 0;
      }
    }
    // Wine keeps menus inside their process: the framework's forms answer a
    // registered message with the path in a global atom instead.
    UINT request = RegisterWindowMessageW(L"VidorraRobotMenu");
    ATOM atom = GlobalAddAtomW(all.c_str());
    bool done = false;
    for (HWND top : TopWindows(proc)) {
      DWORD_PTR id = 0;
      if (SendMessageTimeoutW(top, request, atom, 0, SMTO_ABORTIFHUNG, 5000, &id) && id) {
        done = true;
        break;
      }
    }
    GlobalDeleteAtom(atom);
    if (done) return 0;
    Err("no enabled menu item \"" + Utf8(all) + "\"");
    return 1;
  }

  if (cmd == L"post" || cmd == L"close") {
    if (argc < (cmd == L"post" ? 5 : 4)) return Usage();
    HWND h = FindTop(proc, argv[3]);
    if (!h) {
      Err("no window \"" + Utf8(argv[3]) + "\"");
      return 1;
    }
    if (cmd == L"close") PostMessageW(h, WM_CLOSE, 0, 0);
    else
      PostMessageW(h, static_cast<UINT>(Number(argv[4])), argc > 5 ? Number(argv[5]) : 0,
                   argc > 6 ? static_cast<LPARAM>(Number(argv[6])) : 0);
    return 0;
  }

  if (cmd == L"wait-exit") {
    std::vector<DWORD> pids = Processes(proc);
    if (pids.empty()) return 0;
    HANDLE p = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, pids[0]);
    if (!p) return 0;
    DWORD code = 1;
    if (WaitForSingleObject(p, Timeout(argc, argv, 3, 10000)) != WAIT_OBJECT_0) {
      Err("the process is still running");
      CloseHandle(p);
      return 1;
    }
    GetExitCodeProcess(p, &code);
    CloseHandle(p);
    char buf[32];
    snprintf(buf, sizeof buf, "%lu", static_cast<unsigned long>(code));
    Out(buf);
    return static_cast<int>(code);
  }
  return Usage();
}
