// The standard controls on BUTTON, STATIC, EDIT, COMBOBOX, LISTBOX and
// SCROLLBAR windows. Check boxes and radio buttons use the non-automatic
// button styles: the framework owns the checked state, so that a user's
// click and a change made in code follow the same rules.
#include "StdControls.h"

#include <algorithm>
#include <set>

#include "Forms.h"
#include "SysUtils.h"

namespace {
[[noreturn]] void BadValue(const TLayoutValue& v, const AnsiString& what) {
  throw ELayoutError("layout line " + IntToStr(v.line) + ": " + what);
}
int ModalResultByName(const TLayoutValue& v) {
  if (v.kind == TLayoutValue::Number) return v.AsInt();
  static const struct { const char* n; int r; } k[] = {{"mrNone", mrNone}, {"mrOk", mrOk}, {"mrCancel", mrCancel},
                                                       {"mrAbort", mrAbort}, {"mrRetry", mrRetry}, {"mrIgnore", mrIgnore},
                                                       {"mrYes", mrYes}, {"mrNo", mrNo}};
  for (const auto& e : k)
    if (v.AsIdent() == e.n) return e.r;
  BadValue(v, "unknown modal result " + v.AsIdent());
}
std::vector<AnsiString> Strings(const TLayoutValue& v) {
  std::vector<AnsiString> out;
  for (const auto& s : v.AsList()) out.push_back(s.AsString());
  return out;
}
}  // namespace

// --- item lists ---------------------------------------------------------------------
int TControlItems::Add(const AnsiString& s) {
  items_.push_back(s);
  if (owner_->HandleAllocated())
    SendMessageW(owner_->Handle(), combo_ ? CB_ADDSTRING : LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Cp936ToWide(s).c_str()));
  return Count() - 1;
}
void TControlItems::Insert(int index, const AnsiString& s) {
  if (index < 0 || index > Count()) throw EStringListError("list index out of bounds (" + IntToStr(index) + ")");
  items_.insert(items_.begin() + index, s);
  if (owner_->HandleAllocated())
    SendMessageW(owner_->Handle(), combo_ ? CB_INSERTSTRING : LB_INSERTSTRING, index,
                 reinterpret_cast<LPARAM>(Cp936ToWide(s).c_str()));
}
void TControlItems::Delete(int index) {
  if (index < 0 || index >= Count()) throw EStringListError("list index out of bounds (" + IntToStr(index) + ")");
  items_.erase(items_.begin() + index);
  if (owner_->HandleAllocated()) SendMessageW(owner_->Handle(), combo_ ? CB_DELETESTRING : LB_DELETESTRING, index, 0);
}
void TControlItems::Clear() {
  items_.clear();
  if (owner_->HandleAllocated()) SendMessageW(owner_->Handle(), combo_ ? CB_RESETCONTENT : LB_RESETCONTENT, 0, 0);
}
int TControlItems::IndexOf(const AnsiString& s) const {
  for (int i = 0; i < Count(); ++i)
    if (items_[i].LowerCase() == s.LowerCase()) return i;
  return -1;
}
const AnsiString& TControlItems::Strings(int index) const {
  if (index < 0 || index >= Count()) throw EStringListError("list index out of bounds (" + IntToStr(index) + ")");
  return items_[index];
}
void TControlItems::Assign(const TStringList& list) {
  Clear();
  for (int i = 0; i < list.Count(); ++i) Add(list[i]);
}
AnsiString TControlItems::Text() const {
  AnsiString t;
  for (const auto& s : items_) t += s + "\r\n";
  return t;
}
void TControlItems::Fill() {
  HWND h = owner_->Handle();
  for (const auto& s : items_)
    SendMessageW(h, combo_ ? CB_ADDSTRING : LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Cp936ToWide(s).c_str()));
}

// --- buttons ------------------------------------------------------------------------------
TButton::TButton(TComponent* AOwner) : TControl(AOwner) {}

void TButton::CreateParams(Params& p) {
  p.className = L"BUTTON";
  p.style = WS_CHILD | WS_TABSTOP | (default_ ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON);
}
void TButton::Command(WORD code) {
  if (code == BN_CLICKED) Click();
}
void TButton::Click() {
  if (modalResult_ != mrNone)
    if (TForm* f = ParentForm()) f->SetModalResult(modalResult_);
  TControl::Click();
}
bool TButton::SetProperty(const AnsiString& n, const TLayoutValue& v) {
  if (n == "ModalResult") modalResult_ = ModalResultByName(v);
  else if (n == "Default") default_ = v.AsBool();
  else if (n == "Cancel") cancel_ = v.AsBool();
  else if (n == "Kind" || n == "Glyph" || n == "Flat" || n == "NumGlyphs") {
    // Glyph-related looks: the plain button stands in.
  } else return TControl::SetProperty(n, v);
  return true;
}

TSpeedButton::TSpeedButton(TComponent* AOwner) : TButton(AOwner) {}
void TSpeedButton::CreateParams(Params& p) {
  p.className = L"BUTTON";
  // A push-like check box shows the "down" state; the framework sets it.
  p.style = WS_CHILD | (group_ > 0 ? (BS_CHECKBOX | BS_PUSHLIKE) : BS_PUSHBUTTON);
}
void TSpeedButton::InitWindow() {
  if (group_ > 0) SendMessageW(hwnd_, BM_SETCHECK, down_ ? BST_CHECKED : BST_UNCHECKED, 0);
}
void TSpeedButton::SetDown(bool on) {
  if (group_ == 0) on = false;
  if (on == down_) return;
  down_ = on;
  if (hwnd_) SendMessageW(hwnd_, BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0);
  if (on && parent_)
    for (int i = 0; i < parent_->ControlCount(); ++i)
      if (auto* s = dynamic_cast<TSpeedButton*>(parent_->Controls(i)))
        if (s != this && s->group_ == group_ && s->down_) {
          s->down_ = false;
          if (s->hwnd_) SendMessageW(s->hwnd_, BM_SETCHECK, BST_UNCHECKED, 0);
        }
}
void TSpeedButton::Click() {
  if (group_ > 0) {
    if (!down_) SetDown(true);
    else if (allowAllUp_) SetDown(false);
    else if (hwnd_) SendMessageW(hwnd_, BM_SETCHECK, BST_CHECKED, 0);  // the window toggled on its own
  }
  TButton::Click();
}
bool TSpeedButton::SetProperty(const AnsiString& n, const TLayoutValue& v) {
  if (n == "Down") { bool d = v.AsBool(); if (group_ == 0 && d) BadValue(v, "Down needs a GroupIndex first"); SetDown(d); }
  else if (n == "GroupIndex") group_ = v.AsInt();
  else if (n == "AllowAllUp") allowAllUp_ = v.AsBool();
  else return TButton::SetProperty(n, v);
  return true;
}

// --- labels --------------------------------------------------------------------------------
TLabel::TLabel(TComponent* AOwner) : TControl(AOwner) { height_ = 13; }

void TLabel::CreateParams(Params& p) {
  p.className = L"STATIC";
  p.style = WS_CHILD | SS_NOTIFY | (alignment_ == taCenter ? SS_CENTER : alignment_ == taRightJustify ? SS_RIGHT : SS_LEFT);
  if (!wordWrap_ && alignment_ == taLeftJustify) p.style |= SS_LEFTNOWORDWRAP;
}
void TLabel::InitWindow() { Fit(); }
void TLabel::Fit() {
  if (!autoSize_ || wordWrap_ || !hwnd_ || align_ != alNone) return;
  HDC dc = GetDC(hwnd_);
  HGDIOBJ old = SelectObject(dc, hfont_);
  std::wstring w = Cp936ToWide(caption_);
  RECT r = {0, 0, 0, 0};
  DrawTextW(dc, w.empty() ? L" " : w.c_str(), -1, &r, DT_CALCRECT);
  SelectObject(dc, old);
  ReleaseDC(hwnd_, dc);
  SetBounds(left_, top_, w.empty() ? width_ : r.right, r.bottom);
}
void TLabel::SetCaption(const AnsiString& text) {
  TControl::SetCaption(text);
  Fit();
}
void TLabel::SetTransparent(bool on) {
  transparent_ = on;
  Invalidate();
}
void TLabel::SetColor(TColor c) {
  // A coloured label is a swatch: it paints its own background.
  transparent_ = c == clDefault;
  TControl::SetColor(c);
}
void TLabel::Command(WORD code) {
  if (code == STN_CLICKED) Click();
  else if (code == STN_DBLCLK && OnDblClick) OnDblClick(this);
}
bool TLabel::CtlColor(HDC dc, LRESULT& brush) {
  SetTextColor(dc, font_.Color);
  if (transparent_) {
    SetBkMode(dc, TRANSPARENT);
    brush = reinterpret_cast<LRESULT>(parent_ ? parent_->BackgroundBrush() : GetSysColorBrush(COLOR_BTNFACE));
  } else {
    SetBkColor(dc, color_);
    brush = reinterpret_cast<LRESULT>(BackgroundBrush());
  }
  return true;
}
bool TLabel::SetProperty(const AnsiString& n, const TLayoutValue& v) {
  if (n == "Transparent") transparent_ = v.AsBool();
  else if (n == "AutoSize") autoSize_ = v.AsBool();
  else if (n == "WordWrap") wordWrap_ = v.AsBool();
  else if (n == "Alignment") {
    const AnsiString& a = v.AsIdent();
    if (a == "taLeftJustify") alignment_ = taLeftJustify;
    else if (a == "taRightJustify") alignment_ = taRightJustify;
    else if (a == "taCenter") alignment_ = taCenter;
    else BadValue(v, "unknown alignment " + a);
  } else if (n == "Color") SetColor(LayoutColor(v));
  else return TControl::SetProperty(n, v);
  return true;
}

// --- edits ----------------------------------------------------------------------------------
TEdit::TEdit(TComponent* AOwner) : TControl(AOwner) { width_ = 121; height_ = 21; }

void TEdit::CreateParams(Params& p) {
  p.className = L"EDIT";
  p.style = WS_CHILD | WS_TABSTOP | ES_AUTOHSCROLL;
  if (readOnly_) p.style |= ES_READONLY;
  if (passwordChar_) p.style |= ES_PASSWORD;
  if (border_) p.exStyle = WS_EX_CLIENTEDGE;
}
void TEdit::InitWindow() {
  // The window's own limit counts UTF-16 units: a first bound only; the
  // byte limit is kept in Command.
  if (maxLength_ > 0) SendMessageW(hwnd_, EM_LIMITTEXT, maxLength_, 0);
  if (passwordChar_) SendMessageW(hwnd_, EM_SETPASSWORDCHAR, static_cast<unsigned char>(passwordChar_), 0);
}
void TEdit::SetReadOnly(bool on) {
  readOnly_ = on;
  if (hwnd_) SendMessageW(hwnd_, EM_SETREADONLY, on, 0);
}
void TEdit::SetMaxLength(int n) {
  maxLength_ = n;
  if (hwnd_) SendMessageW(hwnd_, EM_LIMITTEXT, n > 0 ? n : 0, 0);
}
void TEdit::SetPasswordChar(char c) {
  passwordChar_ = c;
  if (hwnd_) {
    SendMessageW(hwnd_, EM_SETPASSWORDCHAR, static_cast<unsigned char>(c), 0);
    Invalidate();
  }
}
void TEdit::SelectAll() {
  if (hwnd_) SendMessageW(hwnd_, EM_SETSEL, 0, -1);
}
void TEdit::SetCaption(const AnsiString& text) {
  inCode_ = true;
  try {
    TControl::SetCaption(text);
  } catch (...) {
    inCode_ = false;
    throw;
  }
  inCode_ = false;
}
void TEdit::Command(WORD code) {
  if (code != EN_CHANGE) return;
  if (!inCode_ && maxLength_ > 0) {
    std::wstring w = WindowTextW();
    if (WideToCp936(w).Length() > maxLength_) {
      // Keep the longest run of whole characters that fits.
      while (!w.empty() && WideToCp936(w).Length() > maxLength_) w.pop_back();
      inCode_ = true;
      SetWindowTextW(hwnd_, w.c_str());
      inCode_ = false;
      SendMessageW(hwnd_, EM_SETSEL, w.size(), w.size());
      MessageBeep(MB_OK);
    }
  }
  if (OnChange) OnChange(this);
}
std::wstring TEdit::WindowTextW() {
  int n = GetWindowTextLengthW(hwnd_);
  std::wstring w(static_cast<std::size_t>(n) + 1, L'\0');
  n = GetWindowTextW(hwnd_, &w[0], n + 1);
  w.resize(static_cast<std::size_t>(n > 0 ? n : 0));
  return w;
}
bool TEdit::CtlColor(HDC dc, LRESULT& brush) {
  if (color_ == clDefault && font_.Color == clBlack) return false;
  SetTextColor(dc, font_.Color);
  TColor bk = color_ == clDefault ? clWindow : color_;
  SetBkColor(dc, bk);
  if (!brush_) brush_ = CreateSolidBrush(bk);
  brush = reinterpret_cast<LRESULT>(brush_);
  return true;
}
bool TEdit::SetProperty(const AnsiString& n, const TLayoutValue& v) {
  if (n == "ReadOnly") readOnly_ = v.AsBool();
  else if (n == "MaxLength") maxLength_ = v.AsInt();
  else if (n == "PasswordChar") {
    AnsiString s = v.AsString();
    passwordChar_ = s.IsEmpty() ? 0 : s[1];
  } else if (n == "BorderStyle") {
    const AnsiString& b = v.AsIdent();
    if (b != "bsNone" && b != "bsSingle") BadValue(v, "unknown border style " + b);
    border_ = b == "bsSingle";
  } else return TControl::SetProperty(n, v);
  return true;
}
bool TEdit::BindEvent(const AnsiString& n, const THandlerRef& h) {
  if (n == "OnChange") return Take(n, h, OnChange);
  return TControl::BindEvent(n, h);
}

TMemo::TMemo(TComponent* AOwner) : TEdit(AOwner) { width_ = 185; height_ = 89; }
void TMemo::CreateParams(Params& p) {
  TEdit::CreateParams(p);
  p.style = (p.style & ~ES_AUTOHSCROLL) | ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN;
  if (!wordWrap_) p.style |= ES_AUTOHSCROLL;
  if (scrollBars_) p.style |= WS_VSCROLL;
}
TStringList TMemo::Lines() {
  TStringList l;
  l.SetText(Text());
  return l;
}
void TMemo::SetLines(const TStringList& lines) {
  AnsiString t = lines.Text();
  if (t.Length() >= 2 && t.SubString(t.Length() - 1, 2) == "\r\n") t = t.SubString(1, t.Length() - 2);
  SetText(t);
}
void TMemo::AddLine(const AnsiString& line) {
  AnsiString t = Text();
  SetText(t.IsEmpty() ? line : t + "\r\n" + line);
}
bool TMemo::SetProperty(const AnsiString& n, const TLayoutValue& v) {
  if (n == "Lines") {
    AnsiString text;
    std::vector<AnsiString> lines = Strings(v);
    for (std::size_t i = 0; i < lines.size(); ++i) text += (i ? "\r\n" : "") + lines[i];
    SetCaption(text);
  } else if (n == "WordWrap") wordWrap_ = v.AsBool();
  else if (n == "ScrollBars") scrollBars_ = v.AsIdent() != "ssNone";
  else return TEdit::SetProperty(n, v);
  return true;
}

// --- check boxes and radio buttons ------------------------------------------------------------
TCheckBox::TCheckBox(TComponent* AOwner) : TControl(AOwner) { width_ = 97; height_ = 17; }

void TCheckBox::CreateParams(Params& p) {
  p.className = L"BUTTON";
  p.style = WS_CHILD | WS_TABSTOP | BS_CHECKBOX;
}
void TCheckBox::InitWindow() { SendMessageW(hwnd_, BM_SETCHECK, checked_ ? BST_CHECKED : BST_UNCHECKED, 0); }
void TCheckBox::SetChecked(bool on) {
  if (on == checked_) return;
  checked_ = on;
  if (hwnd_) SendMessageW(hwnd_, BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0);
  Click();
}
void TCheckBox::Command(WORD code) {
  if (code == BN_CLICKED) SetChecked(!checked_);
}
bool TCheckBox::CtlColor(HDC dc, LRESULT& brush) {
  SetTextColor(dc, font_.Color);
  SetBkMode(dc, TRANSPARENT);
  brush = reinterpret_cast<LRESULT>(BackgroundBrush());
  return true;
}
bool TCheckBox::SetProperty(const AnsiString& n, const TLayoutValue& v) {
  // Loading sets the state quietly: no form exists to hear a click yet.
  if (n == "Checked") checked_ = v.AsBool();
  else if (n == "Alignment" || n == "State") {}
  else return TControl::SetProperty(n, v);
  return true;
}

void TRadioButton::CreateParams(Params& p) {
  p.className = L"BUTTON";
  p.style = WS_CHILD | WS_TABSTOP | BS_RADIOBUTTON;
}
void TRadioButton::SetChecked(bool on) {
  if (on == checked_) return;
  checked_ = on;
  if (hwnd_) SendMessageW(hwnd_, BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0);
  if (!on) return;
  if (parent_)
    for (int i = 0; i < parent_->ControlCount(); ++i)
      if (auto* r = dynamic_cast<TRadioButton*>(parent_->Controls(i)))
        if (r != this && r->checked_) {
          r->checked_ = false;
          if (r->hwnd_) SendMessageW(r->hwnd_, BM_SETCHECK, BST_UNCHECKED, 0);
        }
  Click();
}
void TRadioButton::Command(WORD code) {
  // A click on a checked radio button changes nothing and fires nothing.
  if (code == BN_CLICKED && !checked_) SetChecked(true);
}

// --- combo box ---------------------------------------------------------------------------------
TComboBox::TComboBox(TComponent* AOwner) : TControl(AOwner), items_(this, true) { width_ = 145; height_ = 21; }

void TComboBox::CreateParams(Params& p) {
  p.className = L"COMBOBOX";
  p.style = WS_CHILD | WS_TABSTOP | WS_VSCROLL | CBS_AUTOHSCROLL |
            (style_ == csDropDownList ? CBS_DROPDOWNLIST : style_ == csSimple ? CBS_SIMPLE : CBS_DROPDOWN);
}
void TComboBox::SetBounds(int left, int top, int width, int height) {
  // The window's height includes the dropped-down list.
  TControl::SetBounds(left, top, width, height);
  if (hwnd_) SetWindowPos(hwnd_, nullptr, left, top, width, height + 18 * dropDown_, SWP_NOZORDER | SWP_NOACTIVATE);
}
void TComboBox::InitWindow() {
  SetBounds(left_, top_, width_, height_);
  items_.Fill();
  if (index_ >= 0) SendMessageW(hwnd_, CB_SETCURSEL, index_, 0);
  else if (style_ != csDropDownList) SetWindowTextW(hwnd_, Cp936ToWide(caption_).c_str());
}
int TComboBox::ItemIndex() {
  if (hwnd_) index_ = static_cast<int>(SendMessageW(hwnd_, CB_GETCURSEL, 0, 0));
  return index_;
}
void TComboBox::SetItemIndex(int i) {
  index_ = (i >= 0 && i < items_.Count()) ? i : -1;
  if (hwnd_) SendMessageW(hwnd_, CB_SETCURSEL, index_, 0);
  if (index_ >= 0) caption_ = items_[index_];
}
AnsiString TComboBox::Caption() {
  if (hwnd_) caption_ = WindowText(hwnd_);
  return caption_;
}
void TComboBox::SetCaption(const AnsiString& text) {
  caption_ = text;
  int i = items_.IndexOf(text);
  if (style_ == csDropDownList || i >= 0) {
    index_ = i;
    if (hwnd_) SendMessageW(hwnd_, CB_SETCURSEL, i, 0);
  } else if (hwnd_) {
    SetWindowTextW(hwnd_, Cp936ToWide(text).c_str());
  }
}
void TComboBox::Command(WORD code) {
  if (code == CBN_SELCHANGE) {
    index_ = static_cast<int>(SendMessageW(hwnd_, CB_GETCURSEL, 0, 0));
    if (index_ >= 0) caption_ = items_[index_];
    if (OnSelect) OnSelect(this);
    if (OnChange) OnChange(this);
  } else if (code == CBN_EDITCHANGE) {
    if (OnChange) OnChange(this);
  }
}
bool TComboBox::SetProperty(const AnsiString& n, const TLayoutValue& v) {
  if (n == "Items") {
    items_.Clear();
    for (const auto& s : Strings(v)) items_.Add(s);
  } else if (n == "ItemIndex") SetItemIndex(v.AsInt());
  else if (n == "Style") {
    const AnsiString& s = v.AsIdent();
    if (s == "csDropDown") style_ = csDropDown;
    else if (s == "csDropDownList") style_ = csDropDownList;
    else if (s == "csSimple") style_ = csSimple;
    else BadValue(v, "unknown combo box style " + s);
  } else if (n == "DropDownCount") dropDown_ = v.AsInt();
  else if (n == "Sorted") {}
  else return TControl::SetProperty(n, v);
  return true;
}
bool TComboBox::BindEvent(const AnsiString& n, const THandlerRef& h) {
  if (n == "OnChange") return Take(n, h, OnChange);
  if (n == "OnSelect") return Take(n, h, OnSelect);
  return TControl::BindEvent(n, h);
}

// --- list boxes ----------------------------------------------------------------------------------
TListBox::TListBox(TComponent* AOwner) : TControl(AOwner), items_(this, false) { width_ = 121; height_ = 97; }

void TListBox::CreateParams(Params& p) {
  p.className = L"LISTBOX";
  p.style = WS_CHILD | WS_TABSTOP | WS_VSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT;
  if (multi_) p.style |= LBS_EXTENDEDSEL;
  p.exStyle = WS_EX_CLIENTEDGE;
}
void TListBox::InitWindow() {
  items_.Fill();
  if (index_ >= 0) SetItemIndex(index_);
}
int TListBox::ItemIndex() {
  if (hwnd_) index_ = static_cast<int>(SendMessageW(hwnd_, multi_ ? LB_GETCARETINDEX : LB_GETCURSEL, 0, 0));
  if (multi_ && index_ >= 0 && !Selected(index_)) {
    // The caret of a multi-select list sits somewhere even with nothing chosen.
    if (SelCount() == 0) return -1;
  }
  return index_;
}
void TListBox::SetItemIndex(int i) {
  index_ = (i >= 0 && i < items_.Count()) ? i : -1;
  if (!hwnd_) return;
  if (multi_) {
    SendMessageW(hwnd_, LB_SETSEL, FALSE, -1);
    if (index_ >= 0) {
      SendMessageW(hwnd_, LB_SETSEL, TRUE, index_);
      SendMessageW(hwnd_, LB_SETCARETINDEX, index_, FALSE);
    }
  } else {
    SendMessageW(hwnd_, LB_SETCURSEL, index_, 0);
  }
}
bool TListBox::Selected(int i) {
  if (i < 0 || i >= items_.Count()) throw EStringListError("list index out of bounds (" + IntToStr(i) + ")");
  if (!hwnd_) return i == index_;
  return SendMessageW(hwnd_, LB_GETSEL, i, 0) > 0;
}
void TListBox::SetSelected(int i, bool on) {
  if (i < 0 || i >= items_.Count()) throw EStringListError("list index out of bounds (" + IntToStr(i) + ")");
  if (!Handle()) return;
  if (multi_) SendMessageW(hwnd_, LB_SETSEL, on, i);
  else SendMessageW(hwnd_, LB_SETCURSEL, on ? i : -1, 0);
}
int TListBox::SelCount() {
  if (!hwnd_) return index_ >= 0 ? 1 : 0;
  if (!multi_) return SendMessageW(hwnd_, LB_GETCURSEL, 0, 0) >= 0 ? 1 : 0;
  return static_cast<int>(SendMessageW(hwnd_, LB_GETSELCOUNT, 0, 0));
}
void TListBox::Command(WORD code) {
  if (code == LBN_SELCHANGE) Click();
}
bool TListBox::SetProperty(const AnsiString& n, const TLayoutValue& v) {
  if (n == "Items") {
    items_.Clear();
    for (const auto& s : Strings(v)) items_.Add(s);
  } else if (n == "ItemIndex") SetItemIndex(v.AsInt());
  else if (n == "MultiSelect") multi_ = v.AsBool();
  else if (n == "ExtendedSelect" || n == "Sorted") {}
  else return TControl::SetProperty(n, v);
  return true;
}

TFileListBox::TFileListBox(TComponent* AOwner) : TListBox(AOwner) {}

void TFileListBox::SetDirectory(const AnsiString& dir) {
  directory_ = dir;
  Update();
}
void TFileListBox::SetMask(const AnsiString& mask) {
  mask_ = mask;
  Update();
}
void TFileListBox::Update() {
  std::set<std::wstring> seen;
  std::vector<std::pair<std::wstring, AnsiString>> names;
  AnsiString base = directory_;
  if (!base.IsEmpty() && base[base.Length()] != '\\' && base[base.Length()] != '/') base += "\\";
  AnsiString rest = mask_;
  while (!rest.IsEmpty()) {
    int semi = rest.Pos(";");
    AnsiString one = Trim(semi ? rest.SubString(1, semi - 1) : rest);
    rest = semi ? rest.SubString(semi + 1, rest.Length()) : AnsiString();
    if (one.IsEmpty()) continue;
    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileW(Cp936ToWide(base + one).c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE) continue;
    do {
      if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
      std::wstring key = fd.cFileName;
      CharLowerBuffW(&key[0], static_cast<DWORD>(key.size()));
      if (seen.insert(key).second) names.push_back({key, WideToCp936(fd.cFileName)});
    } while (FindNextFileW(h, &fd));
    FindClose(h);
  }
  std::sort(names.begin(), names.end());
  AnsiString keep = index_ >= 0 && index_ < items_.Count() ? items_[index_] : AnsiString();
  items_.Clear();
  for (const auto& n : names) items_.Add(n.second);
  index_ = -1;
  if (!keep.IsEmpty()) SetItemIndex(items_.IndexOf(keep));
}
AnsiString TFileListBox::FileName() {
  int i = ItemIndex();
  if (i < 0 || i >= items_.Count()) return AnsiString();
  AnsiString base = directory_;
  if (!base.IsEmpty() && base[base.Length()] != '\\' && base[base.Length()] != '/') base += "\\";
  return base + items_[i];
}
bool TFileListBox::SetProperty(const AnsiString& n, const TLayoutValue& v) {
  if (n == "Mask") mask_ = v.AsString();
  else if (n == "Directory") directory_ = v.AsString();
  else return TListBox::SetProperty(n, v);
  return true;
}

// --- group box, scroll bar -----------------------------------------------------------------------
TGroupBox::TGroupBox(TComponent* AOwner) : TControl(AOwner) { width_ = 185; height_ = 105; }
void TGroupBox::CreateParams(Params& p) {
  p.className = L"BUTTON";
  p.style = WS_CHILD | BS_GROUPBOX | WS_CLIPSIBLINGS;
}
void TGroupBox::WndProc(TMessage& m) {
  // The BUTTON class leaves a group box's inside unpainted, and the parent
  // clips its children: the box paints its own background.
  if (m.Msg == WM_ERASEBKGND) {
    RECT r;
    GetClientRect(hwnd_, &r);
    FillRect(reinterpret_cast<HDC>(m.WParam), &r, BackgroundBrush());
    m.Result = 1;
    return;
  }
  TControl::WndProc(m);
}
bool TGroupBox::CtlColor(HDC dc, LRESULT& brush) {
  SetTextColor(dc, font_.Color);
  SetBkMode(dc, TRANSPARENT);
  brush = reinterpret_cast<LRESULT>(BackgroundBrush());
  return true;
}

TScrollBar::TScrollBar(TComponent* AOwner) : TControl(AOwner) { width_ = 121; height_ = 17; }
void TScrollBar::CreateParams(Params& p) {
  p.className = L"SCROLLBAR";
  p.style = WS_CHILD | (kind_ == sbVertical ? SBS_VERT : SBS_HORZ);
}
void TScrollBar::InitWindow() {
  SCROLLINFO si = {sizeof(si), SIF_RANGE | SIF_POS, min_, max_, 0, position_, 0};
  SetScrollInfo(hwnd_, SB_CTL, &si, TRUE);
}
int TScrollBar::Position() { return position_; }
void TScrollBar::SetParams(int position, int min, int max) {
  if (max < min) max = min;
  position = std::min(std::max(position, min), max);
  bool moved = position != position_;
  min_ = min;
  max_ = max;
  position_ = position;
  if (hwnd_) InitWindow();
  if (moved && OnChange) OnChange(this);
}
void TScrollBar::Scrolled(TMessage& m) {
  int pos = position_;
  switch (LOWORD(m.WParam)) {
    case SB_LINELEFT: pos -= small_; break;
    case SB_LINERIGHT: pos += small_; break;
    case SB_PAGELEFT: pos -= large_; break;
    case SB_PAGERIGHT: pos += large_; break;
    case SB_LEFT: pos = min_; break;
    case SB_RIGHT: pos = max_; break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION: {
      SCROLLINFO si = {sizeof(si), SIF_TRACKPOS, 0, 0, 0, 0, 0};
      GetScrollInfo(hwnd_, SB_CTL, &si);
      pos = si.nTrackPos;
      break;
    }
    default: return;
  }
  SetParams(pos, min_, max_);
}
bool TScrollBar::SetProperty(const AnsiString& n, const TLayoutValue& v) {
  if (n == "Min") min_ = v.AsInt();
  else if (n == "Max") max_ = v.AsInt();
  else if (n == "Position") position_ = v.AsInt();
  else if (n == "LargeChange") large_ = v.AsInt();
  else if (n == "SmallChange") small_ = v.AsInt();
  else if (n == "Kind") {
    const AnsiString& k = v.AsIdent();
    if (k != "sbHorizontal" && k != "sbVertical") BadValue(v, "unknown scroll bar kind " + k);
    kind_ = k == "sbVertical" ? sbVertical : sbHorizontal;
  } else return TControl::SetProperty(n, v);
  return true;
}
bool TScrollBar::BindEvent(const AnsiString& n, const THandlerRef& h) {
  if (n == "OnChange" || n == "OnScroll") return Take(n, h, OnChange);
  return TControl::BindEvent(n, h);
}
