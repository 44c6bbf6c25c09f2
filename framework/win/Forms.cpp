// TForm (styles, showing, modal loop, closing rules, the layout loader),
// TApplication (message loop, short cuts, F1, exception box, deferred
// deletes, timers), the dialog seam and the component class table.
#include "Forms.h"

#include <set>

#include "CommonControls.h"
#include "Dialogs.h"
#include "Menus.h"
#include "StdControls.h"
#include "SysUtils.h"

TApplication* Application = new TApplication();
TScreen* Screen = new TScreen();

namespace {
TDialogHook* g_hook = nullptr;
std::vector<TComponent*> g_releases;
const UINT kReleaseMsg = WM_APP + 1;

std::map<std::string, TComponentFactory>& Factories() {
  static std::map<std::string, TComponentFactory> table;
  if (table.empty()) {
#define CLASS(T) table[#T] = [](TComponent* o) -> TComponent* { return new T(o); }
    CLASS(TButton); CLASS(TBitBtn); CLASS(TSpeedButton); CLASS(TLabel); CLASS(TEdit); CLASS(TMemo);
    CLASS(TCheckBox); CLASS(TRadioButton); CLASS(TComboBox); CLASS(TListBox); CLASS(TFileListBox);
    CLASS(TGroupBox); CLASS(TScrollBar); CLASS(TPanel); CLASS(TBevel); CLASS(TShape); CLASS(TImage);
    CLASS(TScrollBox); CLASS(TPageControl); CLASS(TTabSheet); CLASS(TTrackBar); CLASS(TProgressBar);
    CLASS(TToolBar); CLASS(TToolButton); CLASS(TDateTimePicker); CLASS(TStatusBar); CLASS(TTimer);
    CLASS(TMainMenu); CLASS(TPopupMenu); CLASS(TMenuItem); CLASS(TOpenDialog); CLASS(TSaveDialog);
    CLASS(TColorDialog); CLASS(TFontDialog); CLASS(TPrintDialog); CLASS(TPrinterSetupDialog);
#undef CLASS
  }
  return table;
}

[[noreturn]] void LayoutFail(const AnsiString& form, int line, const AnsiString& what) {
  throw ELayoutError(form + " line " + IntToStr(line) + ": " + what);
}

void LoadedAll(TComponent* c) {
  c->Loaded();
  for (int i = 0; i < c->ComponentCount(); ++i) LoadedAll(c->Components(i));
}
}  // namespace

void RegisterComponentClass(const char* name, TComponentFactory factory) { Factories()[name] = factory; }

TComponent* CreateComponentByClass(const AnsiString& name, TComponent* owner) {
  auto it = Factories().find(name.str());
  if (it == Factories().end()) throw ELayoutError("unknown component class " + name);
  return it->second(owner);
}

// --- dialog seam ----------------------------------------------------------------
TDialogHook* SetDialogHook(TDialogHook* hook) {
  TDialogHook* old = g_hook;
  g_hook = hook;
  return old;
}
TDialogHook* DialogHook() { return g_hook; }

int TRecordingDialogHook::MessageBox(const AnsiString& text, const AnsiString& caption, UINT flags) {
  boxes.push_back({text, caption, flags});
  if (onBox) onBox(boxes.back());
  if (answers.empty()) return IDOK;
  int a = answers.front();
  answers.erase(answers.begin());
  return a;
}
bool TRecordingDialogHook::FileDialog(bool, AnsiString& fileName) {
  if (fileAnswers.empty()) return false;
  AnsiString a = fileAnswers.front();
  fileAnswers.erase(fileAnswers.begin());
  if (a.IsEmpty()) return false;
  fileName = a;
  return true;
}
bool TRecordingDialogHook::ColorDialog(TColor& color) {
  if (colorAnswers.empty()) return false;
  TColor c = colorAnswers.front();
  colorAnswers.erase(colorAnswers.begin());
  if (c == clDefault) return false;
  color = c;
  return true;
}

bool TRecordingDialogHook::InputQuery(const AnsiString& caption, const AnsiString& prompt, AnsiString& value) {
  inputs.push_back({caption, prompt, value});
  if (inputAnswers.empty()) return false;
  value = inputAnswers.front();
  inputAnswers.erase(inputAnswers.begin());
  return true;
}

// --- forms --------------------------------------------------------------------------
TForm::TForm(TComponent* AOwner) : TControl(AOwner) {
  visible_ = false;
  width_ = 400;
  height_ = 300;
  left_ = CW_USEDEFAULT;
  top_ = CW_USEDEFAULT;
}

TForm::~TForm() {
  // The canvas's device context belongs to the window (CS_OWNDC).
  canvas_.reset();
  if (OnDestroy) {
    try {
      OnDestroy(this);
    } catch (...) {
    }
  }
  Application->FormDestroyed(this);
  if (menu_) menu_->window_ = nullptr;
}

void TForm::CreateParams(Params& p) {
  p.className = L"VidorraForm";
  p.ownClass = true;
  switch (borderStyle_) {
    case bsNone: p.style = WS_POPUP; break;
    case bsSingle: p.style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX; break;
    case bsDialog: p.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME; p.exStyle = WS_EX_DLGMODALFRAME; break;
    case bsToolWindow: p.style = WS_POPUP | WS_CAPTION | WS_SYSMENU; p.exStyle = WS_EX_TOOLWINDOW; break;
    case bsSizeToolWin: p.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME; p.exStyle = WS_EX_TOOLWINDOW; break;
    default: p.style = WS_OVERLAPPEDWINDOW; break;
  }
  p.style |= WS_CLIPCHILDREN;
  if (formStyle_ == fsStayOnTop) p.exStyle |= WS_EX_TOPMOST;
  // Visibility is the form's own business (DoShow), never the creation's.
  visible_ = false;
}

void TForm::ApplyStyle() {
  if (!hwnd_) return;
  Params p;
  bool vis = IsWindowVisible(hwnd_) != 0;
  CreateParams(p);
  visible_ = vis;
  SetWindowLongW(hwnd_, GWL_STYLE, p.style | (vis ? WS_VISIBLE : 0));
  SetWindowLongW(hwnd_, GWL_EXSTYLE, p.exStyle);
  SetWindowPos(hwnd_, formStyle_ == fsStayOnTop ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
               SWP_NOMOVE | SWP_NOSIZE | SWP_FRAMECHANGED | SWP_NOACTIVATE);
}

void TForm::SetBorderStyle(TBorderStyle b) {
  borderStyle_ = b;
  ApplyStyle();
}

void TForm::SetFormStyle(TFormStyle s) {
  formStyle_ = s;
  ApplyStyle();
}

TWindowState TForm::WindowState() {
  if (hwnd_ && IsWindowVisible(hwnd_)) {
    if (IsZoomed(hwnd_)) return wsMaximized;
    if (IsIconic(hwnd_)) return wsMinimized;
    return wsNormal;
  }
  return windowState_;
}

void TForm::SetWindowState(TWindowState s) {
  windowState_ = s;
  if (hwnd_ && IsWindowVisible(hwnd_))
    ShowWindow(hwnd_, s == wsMaximized ? SW_MAXIMIZE : s == wsMinimized ? SW_MINIMIZE : SW_RESTORE);
}

int TForm::ClientWidth() {
  if (hwnd_) return TControl::ClientWidth();
  return clientW_ >= 0 ? clientW_ : width_;
}
int TForm::ClientHeight() {
  if (hwnd_) return TControl::ClientHeight();
  return clientH_ >= 0 ? clientH_ : height_;
}

void TForm::SetClientWidth(int w) {
  clientW_ = w;
  if (!hwnd_) return;
  RECT wr, cr;
  GetWindowRect(hwnd_, &wr);
  GetClientRect(hwnd_, &cr);
  SetBounds(wr.left, wr.top, w + (wr.right - wr.left) - cr.right, wr.bottom - wr.top);
}

void TForm::SetClientHeight(int h) {
  clientH_ = h;
  if (!hwnd_) return;
  RECT wr, cr;
  GetWindowRect(hwnd_, &wr);
  GetClientRect(hwnd_, &cr);
  SetBounds(wr.left, wr.top, wr.right - wr.left, h + (wr.bottom - wr.top) - cr.bottom);
}

void TForm::SetMenu(TMainMenu* menu) {
  menu_ = menu;
  if (menu_) menu_->window_ = hwnd_;
  if (hwnd_) {
    ::SetMenu(hwnd_, menu_ ? menu_->Handle() : nullptr);
    if (clientH_ >= 0) SetClientHeight(clientH_);
  }
}

TCanvas* TForm::Canvas() {
  if (!canvas_) canvas_.reset(new TCanvas(GetDC(Handle())));
  return canvas_.get();
}

void TForm::SetColor(TColor c) { TControl::SetColor(c); }

void TForm::Paint(HDC) {
  if (OnPaint) OnPaint(this);
}

void TForm::Resized() {
  if (hwnd_) {
    RECT r;
    GetWindowRect(hwnd_, &r);
    if (!IsIconic(hwnd_)) {
      left_ = r.left;
      top_ = r.top;
      width_ = r.right - r.left;
      height_ = r.bottom - r.top;
    }
  }
  if (OnResize) OnResize(this);
}

void TForm::DoShow() {
  HWND h = Handle();
  if (!shownOnce_) {
    shownOnce_ = true;
    if (position_ == poScreenCenter || position_ == poDesktopCenter || position_ == poMainFormCenter) {
      RECT r;
      GetWindowRect(h, &r);
      int w = r.right - r.left, ht = r.bottom - r.top;
      SetBounds((GetSystemMetrics(SM_CXSCREEN) - w) / 2, (GetSystemMetrics(SM_CYSCREEN) - ht) / 2, w, ht);
    }
  }
  visible_ = true;
  if (OnShow) OnShow(this);
  if (!hwnd_ || !visible_) return;  // OnShow may have closed it again
  ShowWindow(h, windowState_ == wsMaximized ? SW_SHOWMAXIMIZED : windowState_ == wsMinimized ? SW_SHOWMINIMIZED : SW_SHOW);
  SetForegroundWindow(h);
  UpdateWindow(h);
}

void TForm::SetVisible(bool on) {
  bool shown = hwnd_ && IsWindowVisible(hwnd_);
  if (on) {
    if (!shown) DoShow();
    return;
  }
  visible_ = false;
  if (shown) {
    ShowWindow(hwnd_, SW_HIDE);
    if (OnHide) OnHide(this);
  }
}

static BOOL CALLBACK CollectEnabledWindow(HWND h, LPARAM l) {
  if (IsWindowVisible(h) && IsWindowEnabled(h)) reinterpret_cast<std::vector<HWND>*>(l)->push_back(h);
  return TRUE;
}

int TForm::ShowModal() {
  if (modal_) throw Exception("ShowModal: the form is already modal");
  modal_ = true;
  modalResult_ = mrNone;
  // Every other window of the thread is disabled while the form is modal.
  std::vector<HWND> disabled;
  EnumThreadWindows(GetCurrentThreadId(), CollectEnabledWindow, reinterpret_cast<LPARAM>(&disabled));
  HWND self = Handle();
  for (HWND h : disabled)
    if (h != self) EnableWindow(h, FALSE);
  try {
    Show();
    for (;;) {
      if (modalResult_ == mrNone && !Visible()) modalResult_ = mrCancel;
      if (modalResult_ != mrNone) {
        TCloseAction action = caHide;
        if (OnClose) OnClose(this, action);
        if (action != caNone) break;
        modalResult_ = mrNone;
        if (!Visible()) Show();
      }
      MSG msg;
      BOOL got = GetMessageW(&msg, nullptr, 0, 0);
      if (got <= 0) {
        PostQuitMessage(static_cast<int>(msg.wParam));
        if (modalResult_ == mrNone) modalResult_ = mrCancel;
        break;
      }
      Application->Dispatch(msg);
    }
  } catch (...) {
    for (HWND h : disabled) EnableWindow(h, TRUE);
    modal_ = false;
    throw;
  }
  for (HWND h : disabled) EnableWindow(h, TRUE);
  Hide();
  modal_ = false;
  return modalResult_;
}

void TForm::Close() {
  if (closing_) return;
  if (modal_) {
    // The modal loop runs OnClose and may be refused there.
    modalResult_ = mrCancel;
    return;
  }
  bool isMain = Application->MainForm() == this;
  TCloseAction action = caHide;
  closing_ = true;
  try {
    if (OnClose) OnClose(this, action);
  } catch (...) {
    closing_ = false;
    throw;
  }
  closing_ = false;
  if (action == caNone) return;
  if (isMain) {
    Hide();
    Application->Terminate();
    return;
  }
  switch (action) {
    case caMinimize: ShowWindow(Handle(), SW_MINIMIZE); break;
    case caFree: Hide(); Release(); break;
    default: Hide(); break;
  }
}

void TForm::Release() { Application->ReleaseLater(this); }

bool TForm::PreviewKey(UINT msg, WPARAM& key) {
  if (msg == WM_CHAR) {
    if (!OnKeyPress || key >= 0x80) return true;
    char c = static_cast<char>(key);
    OnKeyPress(this, c);
    key = static_cast<unsigned char>(c);
    return c != 0;
  }
  TKeyEvent& ev = msg == WM_KEYDOWN ? OnKeyDown : OnKeyUp;
  if (!ev) return true;
  WORD k = static_cast<WORD>(key);
  ev(this, k, KeyShiftState());
  key = k;
  return k != 0;
}

void TForm::WndProc(TMessage& m) { Dispatch(m); }

namespace {
// Menu captions as the test robot names them: without '&', a trailing "(&X)"
// and the short cut after a tab.
AnsiString PlainCaption(const AnsiString& text) {
  std::wstring s = Cp936ToWide(text);
  std::size_t tab = s.find(L'\t');
  if (tab != std::wstring::npos) s.erase(tab);
  if (s.size() >= 4 && s[s.size() - 4] == L'(' && s[s.size() - 3] == L'&' && s.back() == L')') s.erase(s.size() - 4);
  std::wstring out;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] == L'&') {
      if (i + 1 < s.size() && s[i + 1] == L'&') out += L'&', ++i;
      continue;
    }
    out += s[i];
  }
  return WideToCp936(out);
}

// The robot's request "choose the menu item at this path" (a global atom
// with "item/item", UTF-16; an item by its caption or, where the caption
// holds a slash, its component name): menu handles cannot be read across processes
// under Wine, so the form looks the item up itself. Each submenu on the way
// opens as the user's would (its item's OnClick). A path may begin with the
// name of one of the form's popup menus, which then opens as a right click
// opens it (its OnPopup). Result: the command id (then posted as WM_COMMAND),
// 0 when there is no such shown and enabled item.
LRESULT RobotMenuCommand(TForm* form, TMainMenu* menu, ATOM atom) {
  wchar_t buf[512];
  UINT n = GlobalGetAtomNameW(atom, buf, 512);
  if (n == 0) return 0;
  AnsiString path = WideToCp936(std::wstring(buf, n));
  auto nextPart = [&path] {
    int slash = path.Pos("/");
    AnsiString part = slash ? path.SubString(1, slash - 1) : path;
    path = slash ? path.SubString(slash + 1, path.Length()) : AnsiString();
    return part;
  };
  TMenuItem* item = menu ? menu->Items() : nullptr;
  {
    int slash = path.Pos("/");
    AnsiString first = slash ? path.SubString(1, slash - 1) : path;
    if (TPopupMenu* popup = dynamic_cast<TPopupMenu*>(form->FindComponent(first))) {
      nextPart();
      if (popup->OnPopup) popup->OnPopup(popup);
      item = popup->Items();
    }
  }
  if (!item) return 0;
  while (!path.IsEmpty()) {
    AnsiString part = nextPart();
    TMenuItem* next = nullptr;
    for (int i = 0; i < item->Count() && !next; ++i)
      if (item->Items(i)->Visible() &&
          (PlainCaption(item->Items(i)->Caption()) == PlainCaption(part) || item->Items(i)->Name() == part))
        next = item->Items(i);
    if (!next || !next->Enabled()) return 0;
    if (next->Count() > 0) next->Click();
    item = next;
  }
  if (item->Count() > 0) return 0;
  PostMessageW(form->Handle(), WM_COMMAND, MAKEWPARAM(item->Command(), 0), 0);
  return item->Command();
}
}  // namespace

void TForm::Dispatch(TMessage& m) {
  static const UINT robotMenu = RegisterWindowMessageW(L"VidorraRobotMenu");
  if (m.Msg == robotMenu) {
    m.Result = RobotMenuCommand(this, menu_, static_cast<ATOM>(m.WParam));
    return;
  }
  switch (m.Msg) {
    case WM_INITMENUPOPUP:
      if (!HIWORD(m.LParam) && menu_)
        if (TMenuItem* item = menu_->SubMenuOwner(reinterpret_cast<HMENU>(m.WParam))) item->Click();
      break;
    case WM_CLOSE:
      Close();
      m.Result = 0;
      return;
    case WM_HELP:
      HelpRequested(m);
      return;
    case WM_ACTIVATE:
      if (LOWORD(m.WParam) != WA_INACTIVE && OnActivate) OnActivate(this);
      break;
    case WM_SYSCOMMAND:
      if ((m.WParam & 0xFFF0) == SC_CLOSE) {
        Close();
        m.Result = 0;
        return;
      }
      break;
  }
  TControl::WndProc(m);
}

bool TForm::SetProperty(const AnsiString& n, const TLayoutValue& v) {
  if (n == "BorderStyle") {
    static const char* k[] = {"bsNone", "bsSingle", "bsSizeable", "bsDialog", "bsToolWindow", "bsSizeToolWin"};
    for (int i = 0; i < 6; ++i)
      if (v.AsIdent() == k[i]) { SetBorderStyle(static_cast<TBorderStyle>(i)); return true; }
    LayoutFail(Name(), v.line, "unknown border style " + v.AsIdent());
  }
  if (n == "WindowState") {
    static const char* k[] = {"wsNormal", "wsMinimized", "wsMaximized"};
    for (int i = 0; i < 3; ++i)
      if (v.AsIdent() == k[i]) { SetWindowState(static_cast<TWindowState>(i)); return true; }
    LayoutFail(Name(), v.line, "unknown window state " + v.AsIdent());
  }
  if (n == "Position") {
    static const char* k[] = {"poDesigned", "poScreenCenter", "poDesktopCenter", "poMainFormCenter"};
    for (int i = 0; i < 4; ++i)
      if (v.AsIdent() == k[i]) { SetPosition(static_cast<TPosition>(i)); return true; }
    LayoutFail(Name(), v.line, "unknown position " + v.AsIdent());
  }
  if (n == "FormStyle") {
    const AnsiString& s = v.AsIdent();
    if (s != "fsNormal" && s != "fsStayOnTop") LayoutFail(Name(), v.line, "unknown form style " + s);
    SetFormStyle(s == "fsStayOnTop" ? fsStayOnTop : fsNormal);
    return true;
  }
  if (n == "KeyPreview") { keyPreview_ = v.AsBool(); return true; }
  if (n == "ClientWidth") { SetClientWidth(v.AsInt()); return true; }
  if (n == "ClientHeight") { SetClientHeight(v.AsInt()); return true; }
  if (n == "Menu") { refs_["Menu"] = v.AsIdent(); return true; }
  if (n == "Visible") { visible_ = v.AsBool(); return true; }  // shown after loading
  if (n == "BorderIcons") return true;
  return TControl::SetProperty(n, v);
}

bool TForm::BindEvent(const AnsiString& n, const THandlerRef& h) {
  if (n == "OnCreate") return Take(n, h, OnCreate);
  if (n == "OnShow") return Take(n, h, OnShow);
  if (n == "OnHide") return Take(n, h, OnHide);
  if (n == "OnClose") return Take(n, h, OnClose);
  if (n == "OnResize") return Take(n, h, OnResize);
  if (n == "OnDestroy") return Take(n, h, OnDestroy);
  if (n == "OnActivate") return Take(n, h, OnActivate);
  if (n == "OnPaint") return Take(n, h, OnPaint);
  return TControl::BindEvent(n, h);
}

bool TForm::AdoptChild(TComponent* child) {
  if (TMainMenu* m = dynamic_cast<TMainMenu*>(child)) {
    if (!menu_) SetMenu(m);
    return true;
  }
  return TControl::AdoptChild(child);
}

// --- the layout loader ----------------------------------------------------------
void TForm::LoadLayout(const AnsiString& resourceName) {
  std::wstring wname = Cp936ToWide(resourceName.UpperCase());
  HMODULE module = GetModuleHandleW(nullptr);
  HRSRC res = FindResourceW(module, wname.c_str(), reinterpret_cast<LPCWSTR>(RT_RCDATA));
  if (!res) throw ELayoutError("no layout resource " + resourceName);
  HGLOBAL data = LoadResource(module, res);
  DWORD size = SizeofResource(module, res);
  const char* bytes = data ? static_cast<const char*>(LockResource(data)) : nullptr;
  if (!bytes) throw ELayoutError("cannot read the layout resource " + resourceName);
  LoadLayoutText(std::string(bytes, size), resourceName);
}

void TForm::LoadLayoutText(const std::string& utf8, const AnsiString& sourceName) {
  std::unique_ptr<TLayoutNode> root = ParseLayout(utf8, sourceName);
  ApplyLayout(*root);
}

void TForm::ApplyLayout(const TLayoutNode& root) {
  TFormBinder binder;
  DeclareMembers(binder);
  AnsiString formName = root.name;
  if (Name().IsEmpty()) SetName(formName.SubString(1, 1) == "T" ? formName.SubString(2, formName.Length()) : formName);
  bool showAfter = false;
  for (const TLayoutProperty& p : root.properties) {
    if (p.name.SubString(1, 2) == "On") {
      auto it = binder.handlers_.find(p.value.AsIdent().str());
      if (it == binder.handlers_.end())
        LayoutFail(formName, p.value.line, "the class declares no handler " + p.value.AsIdent());
      if (!BindEvent(p.name, it->second)) LayoutFail(formName, p.value.line, "a form has no event " + p.name);
    } else if (!SetProperty(p.name, p.value)) {
      LayoutFail(formName, p.value.line, "a form has no property " + p.name);
    }
    if (p.name == "Visible") showAfter = p.value.AsBool();
  }
  visible_ = false;
  std::set<std::string> seen;
  BuildChildren(this, root, binder);
  for (const auto& slot : binder.components_)
    if (!FindComponent(slot.first))
      LayoutFail(formName, root.line, "the class declares " + AnsiString(slot.first) + " but the layout has none");
  auto menuRef = refs_.find("Menu");
  if (menuRef != refs_.end()) {
    TMainMenu* m = dynamic_cast<TMainMenu*>(FindComponent(menuRef->second));
    if (!m) LayoutFail(formName, root.line, "no main menu named " + menuRef->second);
    SetMenu(m);
  }
  LoadedAll(this);
  int cw = clientW_, ch = clientH_;
  Handle();
  if (cw >= 0) SetClientWidth(cw);
  if (ch >= 0) SetClientHeight(ch);
  if (menu_) SetMenu(menu_);
  if (OnCreate) OnCreate(this);
  if (showAfter && Application->MainForm() && Application->MainForm() != this) Show();
}

void TForm::BuildChildren(TComponent* parent, const TLayoutNode& node, TFormBinder& binder) {
  AnsiString formName = Name();
  for (const auto& child : node.children) {
    if (FindComponent(child->name)) LayoutFail(formName, child->line, "two components named " + child->name);
    TComponent* c;
    try {
      c = CreateComponentByClass(child->type, this);
    } catch (const ELayoutError& e) {
      LayoutFail(formName, child->line, e.Message);
    }
    c->SetName(child->name);
    if (!parent->AdoptChild(c)) LayoutFail(formName, child->line, parent->Name() + " cannot hold " + child->name);
    auto slot = binder.components_.find(child->name.str());
    if (slot != binder.components_.end() && !slot->second(c))
      LayoutFail(formName, child->line, "the class declares " + child->name + " of another class than " + child->type);
    for (const TLayoutProperty& p : child->properties) {
      if (p.name.SubString(1, 2) == "On") {
        auto it = binder.handlers_.find(p.value.AsIdent().str());
        if (it == binder.handlers_.end())
          LayoutFail(formName, p.value.line, "the class declares no handler " + p.value.AsIdent());
        if (!c->BindEvent(p.name, it->second))
          LayoutFail(formName, p.value.line, child->type + " has no event " + p.name);
      } else if (!c->SetProperty(p.name, p.value)) {
        LayoutFail(formName, p.value.line, child->type + " has no property " + p.name);
      }
    }
    BuildChildren(c, *child, binder);
  }
}

// --- application ----------------------------------------------------------------------
namespace {
LRESULT CALLBACK UtilWndProc(HWND h, UINT msg, WPARAM w, LPARAM l) {
  if (msg == kReleaseMsg) {
    std::vector<TComponent*> doomed;
    doomed.swap(g_releases);
    for (TComponent* c : doomed) delete c;
    return 0;
  }
  if (msg == WM_TIMER) {
    try {
      TTimer::Fire(w);
    } catch (const Exception& e) {
      Application->ShowException(e.Message);
    } catch (const std::exception& e) {
      Application->ShowException(AnsiString(e.what()));
    }
    return 0;
  }
  return DefWindowProcW(h, msg, w, l);
}
}  // namespace

TApplication::TApplication() : TComponent(nullptr) {}

HWND TApplication::Handle() {
  if (!util_) {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = UtilWndProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"VidorraApplication";
    RegisterClassW(&wc);
    util_ = CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
  }
  return util_;
}

AnsiString TApplication::ExeName() const {
  wchar_t buf[MAX_PATH * 2];
  DWORD n = GetModuleFileNameW(nullptr, buf, MAX_PATH * 2);
  return WideToCp936(std::wstring(buf, n));
}

void TApplication::FormCreated(TForm* form) {
  if (!mainForm_) mainForm_ = form;
}

void TApplication::FormDestroyed(TForm* form) {
  if (mainForm_ == form) mainForm_ = nullptr;
  for (auto& c : g_releases)
    if (c == form) c = nullptr;
}

void TApplication::ReleaseLater(TComponent* c) {
  for (TComponent* r : g_releases)
    if (r == c) return;
  g_releases.push_back(c);
  PostMessageW(Handle(), kReleaseMsg, 0, 0);
}

void TApplication::Run() {
  terminated_ = false;
  if (mainForm_) mainForm_->Show();
  while (!terminated_) {
    MSG msg;
    BOOL got = GetMessageW(&msg, nullptr, 0, 0);
    if (got <= 0) break;
    Dispatch(msg);
  }
  terminated_ = true;
}

void TApplication::ProcessMessages() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      terminated_ = true;
      break;
    }
    Dispatch(msg);
  }
}

void TApplication::HandleMessage() {
  MSG msg;
  if (GetMessageW(&msg, nullptr, 0, 0) <= 0) {
    terminated_ = true;
    return;
  }
  Dispatch(msg);
}

void TApplication::Terminate() {
  terminated_ = true;
  PostQuitMessage(0);
}

void TApplication::Dispatch(MSG& msg) {
  if ((msg.message == WM_KEYDOWN || msg.message == WM_SYSKEYDOWN) && msg.hwnd) {
    HWND root = GetAncestor(msg.hwnd, GA_ROOT);
    TForm* form = dynamic_cast<TForm*>(TControl::FromHandle(root));
    if (form) {
      WORD key = static_cast<WORD>(msg.wParam);
      // Short cuts of the form's menus, main and popup alike.
      for (int i = 0; i < form->ComponentCount(); ++i)
        if (TMenu* m = dynamic_cast<TMenu*>(form->Components(i))) {
          bool handled = false;
          Guard([&] { handled = m->HandleShortCut(key); });
          if (handled) return;
        }
      if (key == VK_F1) {
        HELPINFO hi = {sizeof(hi), HELPINFO_WINDOW, 0, msg.hwnd, 0, {0, 0}};
        SendMessageW(root, WM_HELP, 0, reinterpret_cast<LPARAM>(&hi));
        return;
      }
    }
  }
  // Translated after dispatching, so that a key a handler swallowed makes no character.
  bool key = msg.message == WM_KEYDOWN || msg.message == WM_SYSKEYDOWN;
  g_keySwallowed = false;
  if (!key) TranslateMessage(&msg);
  DispatchMessageW(&msg);
  if (key && !g_keySwallowed) TranslateMessage(&msg);
}

void TApplication::Guard(const std::function<void()>& work) {
  try {
    work();
  } catch (const Exception& e) {
    ShowException(e.Message);
  } catch (const std::exception& e) {
    ShowException(AnsiString(e.what()));
  }
}

void TApplication::ShowException(const AnsiString& message) {
  AnsiString text = message;
  if (text.IsEmpty()) text = "Exception";
  MessageBox(text, title_, MB_OK | MB_ICONSTOP);
}

int TApplication::MessageBox(const AnsiString& text, const AnsiString& caption, UINT flags) {
  if (g_hook) return g_hook->MessageBox(text, caption, flags);
  HWND owner = GetActiveWindow();
  return MessageBoxW(owner, Cp936ToWide(text).c_str(), Cp936ToWide(caption).c_str(), flags);
}

void ShowMessage(const AnsiString& text) {
  AnsiString caption = Application->Title();
  if (caption.IsEmpty()) caption = ChangeFileExt(ExtractFileName(Application->ExeName()), "");
  Application->MessageBox(text, caption, MB_OK);
}
