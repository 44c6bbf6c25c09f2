// Components and the control base: ownership, window creation, the two
// window procedures (the framework's own classes and subclassed Win32
// controls), notification reflection, mouse and key events, colours, fonts
// and alignment. Exceptions never leave a window procedure: they become the
// application's exception box.
#include "Controls.h"

#include <commctrl.h>
#include <windowsx.h>

#include <algorithm>
#include <exception>

#include "CommonControls.h"
#include "Forms.h"
#include "Menus.h"
#include "SysUtils.h"

namespace {
const wchar_t kObjProp[] = L"VidorraObject";
// A global atom with the component's name, so that the test robot can find
// controls of another process by name.
const wchar_t kNameProp[] = L"VidorraName";
const wchar_t kOwnClass[] = L"VidorraControl";
const wchar_t kFormClass[] = L"VidorraForm";

void RegisterClasses() {
  static bool done = false;
  if (done) return;
  done = true;
  INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_WIN95_CLASSES | ICC_DATE_CLASSES | ICC_BAR_CLASSES};
  InitCommonControlsEx(&icc);
  WNDCLASSEXW wc = {};
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = FrameworkWndProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
  wc.style = CS_DBLCLKS;
  wc.lpszClassName = kOwnClass;
  RegisterClassExW(&wc);
  // CS_OWNDC: a form's canvas keeps one device context for the form's life.
  wc.style = CS_DBLCLKS | CS_OWNDC;
  wc.hIcon = LoadIconW(GetModuleHandleW(nullptr), L"MAINICON");
  if (!wc.hIcon) wc.hIcon = LoadIconW(nullptr, MAKEINTRESOURCEW(32512));  // IDI_APPLICATION
  wc.lpszClassName = kFormClass;
  RegisterClassExW(&wc);
}

void Deliver(TControl* c, TMessage& m) {
  try {
    c->WndProc(m);
  } catch (const Exception& e) {
    Application->ShowException(e.Message);
  } catch (const std::exception& e) {
    Application->ShowException(AnsiString(e.what()));
  }
}
}  // namespace

// --- components ---------------------------------------------------------------
TComponent::TComponent(TComponent* AOwner) : owner_(AOwner) {
  if (owner_) owner_->components_.push_back(this);
}

TComponent::~TComponent() {
  // Owned components go first, newest first; each one unhooks itself.
  while (!components_.empty()) delete components_.back();
  if (owner_) {
    auto& v = owner_->components_;
    v.erase(std::remove(v.begin(), v.end(), this), v.end());
  }
}

TComponent* TComponent::FindComponent(const AnsiString& name) const {
  for (TComponent* c : components_)
    if (c->Name().LowerCase() == name.LowerCase()) return c;
  return nullptr;
}

bool TComponent::SetProperty(const AnsiString& name, const TLayoutValue& v) {
  if (name == "Tag") { tag_ = v.AsInt(); return true; }
  return false;
}
bool TComponent::BindEvent(const AnsiString&, const THandlerRef&) { return false; }
bool TComponent::AdoptChild(TComponent*) { return false; }

TColor LayoutColor(const TLayoutValue& v) {
  if (v.kind == TLayoutValue::Number) return static_cast<TColor>(v.number);
  static const struct { const char* name; TColor color; } kColors[] = {
      {"clBlack", clBlack},   {"clWhite", clWhite},   {"clRed", clRed},         {"clLime", clLime},
      {"clBlue", clBlue},     {"clYellow", clYellow}, {"clGray", clGray},       {"clSilver", clSilver},
      {"clBtnFace", clBtnFace}, {"clNavy", clNavy},   {"clMaroon", clMaroon},   {"clGreen", clGreen},
      {"clOlive", clOlive},   {"clPurple", clPurple}, {"clTeal", clTeal},       {"clFuchsia", clFuchsia},
      {"clAqua", clAqua},     {"clWindow", clWindow}, {"clWindowText", clWindowText},
      {"clDefault", clDefault},
  };
  const AnsiString& id = v.AsIdent();
  for (const auto& c : kColors)
    if (id == c.name) return c.color;
  throw ELayoutError("layout line " + IntToStr(v.line) + ": unknown colour " + id);
}

bool g_keySwallowed = false;

TShiftState KeyShiftState() {
  TShiftState s;
  if (GetKeyState(VK_SHIFT) < 0) s.bits |= ssShift;
  if (GetKeyState(VK_CONTROL) < 0) s.bits |= ssCtrl;
  if (GetKeyState(VK_MENU) < 0) s.bits |= ssAlt;
  return s;
}

TShiftState MouseShiftState(WPARAM w) {
  TShiftState s;
  if (w & MK_SHIFT) s.bits |= ssShift;
  if (w & MK_CONTROL) s.bits |= ssCtrl;
  if (w & MK_LBUTTON) s.bits |= ssLeft;
  if (w & MK_RBUTTON) s.bits |= ssRight;
  if (w & MK_MBUTTON) s.bits |= ssMiddle;
  if (GetKeyState(VK_MENU) < 0) s.bits |= ssAlt;
  return s;
}

// --- controls -----------------------------------------------------------------
TControl::TControl(TComponent* AOwner) : TComponent(AOwner) {}

TControl::~TControl() {
  for (TControl* c : controls_) {
    c->DestroyHandle();
    c->parent_ = nullptr;
  }
  controls_.clear();
  if (parent_) {
    auto& v = parent_->controls_;
    v.erase(std::remove(v.begin(), v.end(), this), v.end());
  }
  DestroyHandle();
  if (hfont_) DeleteObject(hfont_);
  if (brush_) DeleteObject(brush_);
}

TControl* TControl::FromHandle(HWND hwnd) {
  if (!hwnd) return nullptr;
  return static_cast<TControl*>(GetPropW(hwnd, kObjProp));
}

TForm* TControl::ParentForm() {
  TControl* c = this;
  while (c->parent_) c = c->parent_;
  return dynamic_cast<TForm*>(c);
}

void TControl::SetParent(TControl* parent) {
  if (parent == parent_) return;
  if (parent_) {
    auto& v = parent_->controls_;
    v.erase(std::remove(v.begin(), v.end(), this), v.end());
    DestroyHandle();
  }
  parent_ = parent;
  if (parent_) {
    parent_->controls_.push_back(this);
    if (parent_->hwnd_) {
      CreateHandle();
      if (align_ != alNone) parent_->RealignChildren();
      parent_->ChildrenChanged();
    }
  }
}

HWND TControl::Handle() {
  if (!hwnd_ && (!parent_ || parent_->Handle())) CreateHandle();
  return hwnd_;
}

void TControl::CreateParams(Params& p) {
  p.className = kOwnClass;
  p.ownClass = true;
  p.style = WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
}

void TControl::CreateHandle() {
  if (hwnd_) return;
  RegisterClasses();
  Params p;
  CreateParams(p);
  if (visible_) p.style |= WS_VISIBLE;
  if (!enabled_) p.style |= WS_DISABLED;
  if (!fontSet_ && parent_) font_ = parent_->font_;
  HWND parentWnd = parent_ ? parent_->hwnd_ : nullptr;
  static int nextId = 1000;
  HMENU id = (p.style & WS_CHILD) ? reinterpret_cast<HMENU>(static_cast<INT_PTR>(nextId++)) : nullptr;
  HWND h = CreateWindowExW(p.exStyle, p.className, Cp936ToWide(caption_).c_str(), p.style, left_, top_, width_, height_,
                           parentWnd, id, GetModuleHandleW(nullptr), p.ownClass ? this : nullptr);
  if (!h) throw EOutOfResources("cannot create the window of " + Name());
  hwnd_ = h;
  SetPropW(h, kObjProp, this);
  if (!Name().IsEmpty()) {
    ATOM atom = GlobalAddAtomW(Cp936ToWide(Name()).c_str());
    SetPropW(h, kNameProp, reinterpret_cast<HANDLE>(static_cast<UINT_PTR>(atom)));
  }
  if (!p.ownClass)
    oldProc_ = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(h, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(FrameworkSubclassProc)));
  if (hfont_) DeleteObject(hfont_);
  hfont_ = font_.Create();
  SendMessageW(h, WM_SETFONT, reinterpret_cast<WPARAM>(hfont_), FALSE);
  InitWindow();
  for (TControl* c : std::vector<TControl*>(controls_)) c->CreateHandle();
  RealignChildren();
  ChildrenChanged();
}

void TControl::DestroyHandle() {
  if (!hwnd_) return;
  for (TControl* c : controls_) c->DestroyHandle();
  HWND h = hwnd_;
  hwnd_ = nullptr;
  // Messages of the dying window no longer reach this object.
  RemovePropW(h, kObjProp);
  if (HANDLE atom = RemovePropW(h, kNameProp)) GlobalDeleteAtom(static_cast<ATOM>(reinterpret_cast<UINT_PTR>(atom)));
  if (oldProc_) SetWindowLongPtrW(h, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(oldProc_));
  else SetWindowLongPtrW(h, GWLP_USERDATA, 0);
  oldProc_ = nullptr;
  DestroyWindow(h);
}

void TControl::SetBounds(int left, int top, int width, int height) {
  left_ = left;
  top_ = top;
  width_ = std::max(0, width);
  height_ = std::max(0, height);
  if (hwnd_ && !inSetBounds_) {
    inSetBounds_ = true;
    SetWindowPos(hwnd_, nullptr, left_, top_, width_, height_, SWP_NOZORDER | SWP_NOACTIVATE);
    inSetBounds_ = false;
  }
  if (parent_ && align_ != alNone && !parent_->inSetBounds_) parent_->RealignChildren();
  if (parent_ && hwnd_ && !parent_->inSetBounds_) parent_->ChildrenChanged();
}

int TControl::ClientWidth() {
  RECT r;
  if (hwnd_ && GetClientRect(hwnd_, &r)) return r.right;
  return width_;
}
int TControl::ClientHeight() {
  RECT r;
  if (hwnd_ && GetClientRect(hwnd_, &r)) return r.bottom;
  return height_;
}

void TControl::SetAlign(TAlign a) {
  align_ = a;
  if (parent_) parent_->RealignChildren();
}

void TControl::RealignChildren() {
  if (!hwnd_) return;
  RECT r;
  GetClientRect(hwnd_, &r);
  inSetBounds_ = true;
  for (TAlign pass : {alTop, alBottom, alLeft, alRight, alClient}) {
    for (TControl* c : controls_) {
      if (c->align_ != pass || !c->visible_) continue;
      int w = r.right - r.left, h = r.bottom - r.top;
      switch (pass) {
        case alTop: c->SetBounds(r.left, r.top, w, c->height_); r.top += c->height_; break;
        case alBottom: c->SetBounds(r.left, r.bottom - c->height_, w, c->height_); r.bottom -= c->height_; break;
        case alLeft: c->SetBounds(r.left, r.top, c->width_, h); r.left += c->width_; break;
        case alRight: c->SetBounds(r.right - c->width_, r.top, c->width_, h); r.right -= c->width_; break;
        default: c->SetBounds(r.left, r.top, w, h); break;
      }
    }
  }
  inSetBounds_ = false;
}

AnsiString TControl::Caption() {
  if (hwnd_) caption_ = WindowText(hwnd_);
  return caption_;
}

void TControl::SetCaption(const AnsiString& text) {
  caption_ = text;
  if (hwnd_) SetWindowTextW(hwnd_, Cp936ToWide(text).c_str());
}

void TControl::SetEnabled(bool on) {
  enabled_ = on;
  if (hwnd_) EnableWindow(hwnd_, on);
}

void TControl::SetVisible(bool on) {
  visible_ = on;
  if (hwnd_) ShowWindow(hwnd_, on ? SW_SHOWNA : SW_HIDE);
  if (parent_ && align_ != alNone) parent_->RealignChildren();
}

void TControl::SetColor(TColor c) {
  color_ = c;
  if (brush_) { DeleteObject(brush_); brush_ = nullptr; }
  Invalidate();
}

HBRUSH TControl::BackgroundBrush() {
  if (color_ == clDefault) return parent_ ? parent_->BackgroundBrush() : GetSysColorBrush(COLOR_BTNFACE);
  if (!brush_) brush_ = CreateSolidBrush(color_);
  return brush_;
}

void TControl::FontChanged() {
  fontSet_ = true;
  if (hwnd_) {
    HFONT old = hfont_;
    hfont_ = font_.Create();
    SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(hfont_), TRUE);
    if (old) DeleteObject(old);
  }
  for (TControl* c : controls_)
    if (!c->fontSet_) {
      c->font_ = font_;
      c->FontChanged();
      c->fontSet_ = false;
    }
}

bool TControl::Focused() { return hwnd_ && GetFocus() == hwnd_; }
void TControl::SetFocus() {
  if (Handle()) ::SetFocus(hwnd_);
}
void TControl::Invalidate() {
  if (hwnd_) InvalidateRect(hwnd_, nullptr, TRUE);
}
void TControl::Repaint() {
  if (hwnd_) {
    InvalidateRect(hwnd_, nullptr, TRUE);
    UpdateWindow(hwnd_);
  }
}
void TControl::BringToFront() {
  if (hwnd_) SetWindowPos(hwnd_, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
}
LRESULT TControl::Perform(UINT msg, WPARAM w, LPARAM l) { return SendMessageW(Handle(), msg, w, l); }

void TControl::SetStyleBit(DWORD bit, bool on, bool ex) {
  if (!hwnd_) return;
  int which = ex ? GWL_EXSTYLE : GWL_STYLE;
  LONG s = GetWindowLongW(hwnd_, which);
  SetWindowLongW(hwnd_, which, on ? (s | bit) : (s & ~bit));
  SetWindowPos(hwnd_, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_FRAMECHANGED | SWP_NOACTIVATE);
}

void TControl::Click() {
  if (OnClick) OnClick(this);
}

bool TControl::CtlColor(HDC dc, LRESULT& brush) {
  if (color_ == clDefault && font_.Color == clBlack) return false;
  SetTextColor(dc, font_.Color);
  if (color_ != clDefault) SetBkColor(dc, color_);
  brush = reinterpret_cast<LRESULT>(BackgroundBrush());
  return true;
}

void TControl::DefaultHandler(TMessage& m) {
  if (!hwnd_) return;
  m.Result = oldProc_ ? CallWindowProcW(oldProc_, hwnd_, m.Msg, m.WParam, m.LParam)
                      : DefWindowProcW(hwnd_, m.Msg, m.WParam, m.LParam);
}

void TControl::WndProc(TMessage& m) {
  switch (m.Msg) {
    case WM_COMMAND:
      if (m.LParam) {
        if (TControl* c = FromHandle(reinterpret_cast<HWND>(m.LParam))) {
          if (dynamic_cast<TToolBar*>(c)) ToolButtonCommand(LOWORD(m.WParam));
          else c->Command(HIWORD(m.WParam));
          m.Result = 0;
          return;
        }
      } else if (HIWORD(m.WParam) <= 1) {
        if (TMenuItem* item = TMenuItem::FromCommand(LOWORD(m.WParam))) {
          item->Click();
          m.Result = 0;
          return;
        }
      }
      break;
    case WM_NOTIFY: {
      NMHDR* hdr = reinterpret_cast<NMHDR*>(m.LParam);
      if (TControl* c = FromHandle(hdr->hwndFrom)) {
        c->Notify(hdr, m);
        return;
      }
      if (ToolButtonTip(hdr)) return;
      break;
    }
    case WM_HSCROLL:
    case WM_VSCROLL:
      if (m.LParam)
        if (TControl* c = FromHandle(reinterpret_cast<HWND>(m.LParam))) {
          c->Scrolled(m);
          m.Result = 0;
          return;
        }
      break;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORLISTBOX:
      if (TControl* c = FromHandle(reinterpret_cast<HWND>(m.LParam)))
        if (c->CtlColor(reinterpret_cast<HDC>(m.WParam), m.Result)) return;
      break;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
      TMouseButton b = m.Msg == WM_RBUTTONDOWN ? mbRight : m.Msg == WM_MBUTTONDOWN ? mbMiddle : mbLeft;
      TShiftState s = MouseShiftState(m.WParam);
      if (m.Msg == WM_LBUTTONDBLCLK) s.bits |= ssDouble;
      if (m.Msg == WM_LBUTTONDOWN && ClicksFromMouse()) {
        mouseDown_ = true;
        SetCapture(hwnd_);
      }
      if (m.Msg == WM_LBUTTONDBLCLK && OnDblClick) OnDblClick(this);
      if (OnMouseDown) OnMouseDown(this, b, s, GET_X_LPARAM(m.LParam), GET_Y_LPARAM(m.LParam));
      break;
    }
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP: {
      TMouseButton b = m.Msg == WM_RBUTTONUP ? mbRight : m.Msg == WM_MBUTTONUP ? mbMiddle : mbLeft;
      int x = GET_X_LPARAM(m.LParam), y = GET_Y_LPARAM(m.LParam);
      bool click = false;
      if (m.Msg == WM_LBUTTONUP && mouseDown_) {
        mouseDown_ = false;
        if (GetCapture() == hwnd_) ReleaseCapture();
        click = x >= 0 && y >= 0 && x < ClientWidth() && y < ClientHeight();
      }
      if (OnMouseUp) OnMouseUp(this, b, MouseShiftState(m.WParam), x, y);
      if (click && hwnd_) Click();
      break;
    }
    case WM_MOUSEMOVE:
      if (OnMouseMove) OnMouseMove(this, MouseShiftState(m.WParam), GET_X_LPARAM(m.LParam), GET_Y_LPARAM(m.LParam));
      break;
    case WM_CONTEXTMENU:
      if (popup_ && reinterpret_cast<HWND>(m.WParam) == hwnd_) {
        int x = GET_X_LPARAM(m.LParam), y = GET_Y_LPARAM(m.LParam);
        if (x == -1 && y == -1) {
          POINT p;
          GetCursorPos(&p);
          x = p.x;
          y = p.y;
        }
        popup_->SetPopupComponent(this);
        popup_->Popup(x, y);
        m.Result = 0;
        return;
      }
      break;
    case WM_SETCURSOR:
      if (cursor_ != crDefault && reinterpret_cast<HWND>(m.WParam) == hwnd_ && LOWORD(m.LParam) == HTCLIENT) {
        // IDC_ARROW, IDC_ARROW, IDC_HAND, IDC_CROSS, IDC_IBEAM, IDC_WAIT
        static const WORD kCursors[] = {32512, 32512, 32649, 32515, 32513, 32514};
        ::SetCursor(LoadCursorW(nullptr, MAKEINTRESOURCEW(kCursors[cursor_])));
        m.Result = TRUE;
        return;
      }
      break;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
    case WM_KEYUP:
    case WM_SYSKEYUP: {
      WORD key = static_cast<WORD>(m.WParam);
      bool down = m.Msg == WM_KEYDOWN || m.Msg == WM_SYSKEYDOWN;
      TForm* form = ParentForm();
      if (form && form != this && form->KeyPreview() && !form->PreviewKey(down ? WM_KEYDOWN : WM_KEYUP, m.WParam)) {
        g_keySwallowed = true;
        m.Result = 0;
        return;
      }
      key = static_cast<WORD>(m.WParam);
      TKeyEvent& ev = down ? OnKeyDown : OnKeyUp;
      if (ev) {
        ev(this, key, KeyShiftState());
        if (key == 0) { g_keySwallowed = true; m.Result = 0; return; }
        m.WParam = key;
      }
      break;
    }
    case WM_CHAR: {
      TForm* form = ParentForm();
      if (form && form != this && form->KeyPreview() && !form->PreviewKey(WM_CHAR, m.WParam)) {
        m.Result = 0;
        return;
      }
      // Only single-byte keys reach OnKeyPress; Chinese input passes untouched.
      if (OnKeyPress && m.WParam < 0x80) {
        char c = static_cast<char>(m.WParam);
        OnKeyPress(this, c);
        if (c == 0) { m.Result = 0; return; }
        m.WParam = static_cast<unsigned char>(c);
      }
      break;
    }
    case WM_SIZE:
      if (!oldProc_) {
        RealignChildren();
        Resized();
      }
      break;
    case WM_ERASEBKGND:
      if (!oldProc_) {
        RECT r;
        GetClientRect(hwnd_, &r);
        FillRect(reinterpret_cast<HDC>(m.WParam), &r, BackgroundBrush());
        m.Result = 1;
        return;
      }
      break;
    case WM_PAINT:
      if (!oldProc_) {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd_, &ps);
        Paint(dc);
        EndPaint(hwnd_, &ps);
        m.Result = 0;
        return;
      }
      break;
  }
  DefaultHandler(m);
}

bool TControl::SetProperty(const AnsiString& n, const TLayoutValue& v) {
  if (n == "Left") SetLeft(v.AsInt());
  else if (n == "Top") SetTop(v.AsInt());
  else if (n == "Width") SetWidth(v.AsInt());
  else if (n == "Height") SetHeight(v.AsInt());
  else if (n == "Bounds") {
    const auto& l = v.AsList();
    if (l.size() != 4) throw ELayoutError("layout line " + IntToStr(v.line) + ": Bounds takes [left, top, width, height]");
    SetBounds(l[0].AsInt(), l[1].AsInt(), l[2].AsInt(), l[3].AsInt());
  } else if (n == "Caption" || n == "Text") SetCaption(v.AsString());
  else if (n == "Enabled") SetEnabled(v.AsBool());
  else if (n == "Visible") SetVisible(v.AsBool());
  else if (n == "Hint") SetHint(v.AsString());
  else if (n == "ShowHint") SetShowHint(v.AsBool());
  else if (n == "Color") SetColor(LayoutColor(v));
  else if (n == "Cursor") {
    const AnsiString& c = v.AsIdent();
    if (c == "crHandPoint") cursor_ = crHandPoint;
    else if (c == "crCross") cursor_ = crCross;
    else if (c == "crDefault" || c == "crArrow") cursor_ = crDefault;
    else throw ELayoutError("layout line " + IntToStr(v.line) + ": unknown cursor " + c);
  } else if (n == "Align") {
    static const char* kAligns[] = {"alNone", "alTop", "alBottom", "alLeft", "alRight", "alClient"};
    const AnsiString& a = v.AsIdent();
    int i = 0;
    while (i < 6 && a != kAligns[i]) ++i;
    if (i == 6) throw ELayoutError("layout line " + IntToStr(v.line) + ": unknown alignment " + a);
    SetAlign(static_cast<TAlign>(i));
  } else if (n == "Font.Name") { font_.Name = v.AsString(); fontSet_ = true; }
  else if (n == "Font.Size") { font_.Size = v.AsInt(); fontSet_ = true; }
  else if (n == "Font.Height") { font_.Size = (std::abs(v.AsInt()) * 72 + 48) / 96; fontSet_ = true; }
  else if (n == "Font.Color") { font_.Color = LayoutColor(v); fontSet_ = true; }
  else if (n == "Font.Style") {
    int style = 0;
    for (const auto& s : v.AsList()) {
      const AnsiString& id = s.AsIdent();
      if (id == "fsBold") style |= fsBold;
      else if (id == "fsItalic") style |= fsItalic;
      else if (id == "fsUnderline") style |= fsUnderline;
      else if (id == "fsStrikeOut") style |= fsStrikeOut;
      else throw ELayoutError("layout line " + IntToStr(s.line) + ": unknown font style " + id);
    }
    font_.Style = style;
    fontSet_ = true;
  } else if (n == "PopupMenu") refs_["PopupMenu"] = v.AsIdent();
  else if (n == "TabOrder" || n == "TabStop" || n == "ParentFont" || n == "ParentColor") {
    // Accepted for readability of layouts; tab order follows creation order.
  } else return TComponent::SetProperty(n, v);
  return true;
}

bool TControl::BindEvent(const AnsiString& n, const THandlerRef& h) {
  if (n == "OnClick") return Take(n, h, OnClick);
  if (n == "OnDblClick") return Take(n, h, OnDblClick);
  if (n == "OnMouseDown") return Take(n, h, OnMouseDown);
  if (n == "OnMouseUp") return Take(n, h, OnMouseUp);
  if (n == "OnMouseMove") return Take(n, h, OnMouseMove);
  if (n == "OnKeyDown") return Take(n, h, OnKeyDown);
  if (n == "OnKeyUp") return Take(n, h, OnKeyUp);
  if (n == "OnKeyPress") return Take(n, h, OnKeyPress);
  return TComponent::BindEvent(n, h);
}

bool TControl::AdoptChild(TComponent* child) {
  if (TControl* c = dynamic_cast<TControl*>(child)) {
    c->SetParent(this);
    return true;
  }
  // Non-visual components (timers, dialogs, popup menus) may sit anywhere.
  return dynamic_cast<TMenuItem*>(child) == nullptr;
}

void TControl::Loaded() {
  auto it = refs_.find("PopupMenu");
  if (it != refs_.end()) {
    TForm* form = ParentForm();
    TComponent* c = form ? form->FindComponent(it->second) : nullptr;
    popup_ = dynamic_cast<TPopupMenu*>(c);
    if (!popup_) throw ELayoutError(Name() + ": no popup menu named " + it->second);
  }
}

LRESULT CALLBACK FrameworkWndProc(HWND hwnd, UINT msg, WPARAM w, LPARAM l) {
  TControl* c;
  if (msg == WM_NCCREATE) {
    c = static_cast<TControl*>(reinterpret_cast<CREATESTRUCTW*>(l)->lpCreateParams);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(c));
    if (c) c->hwnd_ = hwnd;
  } else {
    c = reinterpret_cast<TControl*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  }
  if (!c || !c->hwnd_) return DefWindowProcW(hwnd, msg, w, l);
  TMessage m = {msg, w, l, 0};
  Deliver(c, m);
  return m.Result;
}

LRESULT CALLBACK FrameworkSubclassProc(HWND hwnd, UINT msg, WPARAM w, LPARAM l) {
  TControl* c = TControl::FromHandle(hwnd);
  if (!c || !c->oldProc_) return DefWindowProcW(hwnd, msg, w, l);
  TMessage m = {msg, w, l, 0};
  Deliver(c, m);
  return m.Result;
}

AnsiString WindowText(HWND hwnd) {
  int n = GetWindowTextLengthW(hwnd);
  std::wstring w(static_cast<std::size_t>(n) + 1, L'\0');
  n = GetWindowTextW(hwnd, &w[0], n + 1);
  w.resize(static_cast<std::size_t>(std::max(0, n)));
  return WideToCp936(w);
}
