// Menus on HMENU: the Win32 menu is rebuilt from the item tree whenever its
// shape or a caption changes; check marks and enabling are set in place.
// Every item has a command id of its own, unique in the process, so that a
// WM_COMMAND (from the menu bar, a popup or the test robot) finds its item.
#include "Menus.h"

#include <algorithm>
#include <map>

#include "Forms.h"
#include "SysUtils.h"

namespace {
std::map<int, TMenuItem*>& ItemTable() {
  static std::map<int, TMenuItem*> m;
  return m;
}
int g_nextId = 0x100;

// "F10", "Ctrl+S", "Shift+Ctrl+F2", "Del", "Esc" ...; false when not a key.
bool ParseShortCut(const AnsiString& text, WORD& key, bool& ctrl, bool& shift, bool& alt) {
  key = 0;
  ctrl = shift = alt = false;
  AnsiString rest = text;
  for (;;) {
    int plus = rest.Pos("+");
    if (plus == 0 || plus == rest.Length()) break;
    AnsiString mod = rest.SubString(1, plus - 1).LowerCase();
    if (mod == "ctrl") ctrl = true;
    else if (mod == "shift") shift = true;
    else if (mod == "alt") alt = true;
    else return false;
    rest = rest.SubString(plus + 1, rest.Length());
  }
  AnsiString k = rest.UpperCase();
  if (k.Length() == 1 && ((k[1] >= 'A' && k[1] <= 'Z') || (k[1] >= '0' && k[1] <= '9'))) {
    key = static_cast<WORD>(k[1]);
    return true;
  }
  if (k.Length() >= 2 && k[1] == 'F') {
    int n = StrToIntDef(k.SubString(2, k.Length()), 0);
    if (n >= 1 && n <= 24) {
      key = static_cast<WORD>(VK_F1 + n - 1);
      return true;
    }
  }
  static const struct { const char* name; WORD vk; } kKeys[] = {
      {"DEL", VK_DELETE}, {"INS", VK_INSERT}, {"ESC", VK_ESCAPE}, {"ENTER", VK_RETURN}, {"SPACE", VK_SPACE},
      {"TAB", VK_TAB},    {"HOME", VK_HOME},  {"END", VK_END},    {"LEFT", VK_LEFT},    {"RIGHT", VK_RIGHT},
      {"UP", VK_UP},      {"DOWN", VK_DOWN},  {"PGUP", VK_PRIOR}, {"PGDN", VK_NEXT},    {"BKSP", VK_BACK}};
  for (const auto& e : kKeys)
    if (k == e.name) {
      key = e.vk;
      return true;
    }
  return false;
}
}  // namespace

TMenuItem::TMenuItem(TComponent* AOwner) : TComponent(AOwner), id_(g_nextId++) { ItemTable()[id_] = this; }

TMenuItem::~TMenuItem() {
  ItemTable().erase(id_);
  for (TMenuItem* c : items_) c->parent_ = nullptr;
  items_.clear();
  if (parent_) parent_->Remove(this);
}

TMenuItem* TMenuItem::FromCommand(int id) {
  auto it = ItemTable().find(id);
  return it == ItemTable().end() ? nullptr : it->second;
}

void TMenuItem::Add(TMenuItem* item) {
  if (item->parent_) item->parent_->Remove(item);
  item->parent_ = this;
  items_.push_back(item);
  std::vector<TMenuItem*> stack{item};
  while (!stack.empty()) {
    TMenuItem* i = stack.back();
    stack.pop_back();
    i->root_ = root_;
    for (TMenuItem* c : i->items_) stack.push_back(c);
  }
  Rebuild();
}

void TMenuItem::Remove(TMenuItem* item) {
  auto it = std::find(items_.begin(), items_.end(), item);
  if (it == items_.end()) return;
  items_.erase(it);
  item->parent_ = nullptr;
  item->root_ = nullptr;
  Rebuild();
}

void TMenuItem::Rebuild() {
  if (root_) root_->Rebuild();
}

void TMenuItem::Refresh() {
  if (!root_ || !root_->hmenu_) return;
  CheckMenuItem(root_->hmenu_, id_, MF_BYCOMMAND | (checked_ ? MF_CHECKED : MF_UNCHECKED));
  EnableMenuItem(root_->hmenu_, id_, MF_BYCOMMAND | (enabled_ ? MF_ENABLED : MF_GRAYED));
  if (root_->window_) DrawMenuBar(root_->window_);
}

void TMenuItem::SetCaption(const AnsiString& c) {
  caption_ = c;
  Rebuild();
}
void TMenuItem::SetChecked(bool on) {
  checked_ = on;
  Refresh();
}
void TMenuItem::SetEnabled(bool on) {
  enabled_ = on;
  // Items with a submenu are addressed by position, so rebuild for them.
  if (items_.empty()) Refresh();
  else Rebuild();
}
void TMenuItem::SetVisible(bool on) {
  visible_ = on;
  Rebuild();
}
void TMenuItem::SetShortCut(const AnsiString& keys) {
  if (!keys.IsEmpty() && !ParseShortCut(keys, key_, keyCtrl_, keyShift_, keyAlt_))
    throw Exception("unknown short cut " + keys);
  if (keys.IsEmpty()) key_ = 0;
  shortCut_ = keys;
  Rebuild();
}

bool TMenuItem::MatchesKey(WORD key, bool ctrl, bool shift, bool alt) const {
  return key_ != 0 && key == key_ && ctrl == keyCtrl_ && shift == keyShift_ && alt == keyAlt_;
}

void TMenuItem::Click() {
  if (OnClick) OnClick(this);
}

HMENU TMenuItem::SubMenu() { return submenu_; }

bool TMenuItem::SetProperty(const AnsiString& n, const TLayoutValue& v) {
  if (n == "Caption") caption_ = v.AsString();
  else if (n == "Checked") checked_ = v.AsBool();
  else if (n == "Enabled") enabled_ = v.AsBool();
  else if (n == "Visible") visible_ = v.AsBool();
  else if (n == "RadioItem") radio_ = v.AsBool();
  else if (n == "Hint") hint_ = v.AsString();
  else if (n == "ShortCut") {
    AnsiString keys = v.AsString();
    if (!ParseShortCut(keys, key_, keyCtrl_, keyShift_, keyAlt_))
      throw ELayoutError("layout line " + IntToStr(v.line) + ": unknown short cut " + keys);
    shortCut_ = keys;
  } else if (n == "GroupIndex" || n == "ImageIndex") {}
  else return TComponent::SetProperty(n, v);
  return true;
}
bool TMenuItem::BindEvent(const AnsiString& n, const THandlerRef& h) {
  if (n == "OnClick") return Take(n, h, OnClick);
  return TComponent::BindEvent(n, h);
}
bool TMenuItem::AdoptChild(TComponent* child) {
  TMenuItem* item = dynamic_cast<TMenuItem*>(child);
  if (!item) return false;
  Add(item);
  return true;
}

// --- menus ------------------------------------------------------------------------------
namespace {
void Fill(HMENU menu, TMenuItem* parent) {
  for (int i = 0; i < parent->Count(); ++i) {
    TMenuItem* item = parent->Items(i);
    if (!item->Visible()) continue;
    if (item->IsSeparator()) {
      AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
      continue;
    }
    AnsiString text = item->Caption();
    if (!item->ShortCut().IsEmpty()) text += "\t" + item->ShortCut();
    std::wstring w = Cp936ToWide(text);
    MENUITEMINFOW mi = {};
    mi.cbSize = sizeof(mi);
    mi.fMask = MIIM_ID | MIIM_STRING | MIIM_STATE | MIIM_FTYPE;
    mi.fType = MFT_STRING | (item->RadioItem() ? MFT_RADIOCHECK : 0);
    mi.fState = (item->Checked() ? MFS_CHECKED : 0) | (item->Enabled() ? MFS_ENABLED : MFS_GRAYED);
    mi.wID = static_cast<UINT>(item->Command());
    mi.dwTypeData = &w[0];
    if (item->Count() > 0) {
      HMENU sub = CreatePopupMenu();
      item->SetSubMenu(sub);
      Fill(sub, item);
      mi.fMask |= MIIM_SUBMENU;
      mi.hSubMenu = sub;
    }
    InsertMenuItemW(menu, GetMenuItemCount(menu), TRUE, &mi);
  }
}
bool FindShortCut(TMenuItem* parent, WORD key, bool ctrl, bool shift, bool alt) {
  for (int i = 0; i < parent->Count(); ++i) {
    TMenuItem* item = parent->Items(i);
    if (!item->Visible() || !item->Enabled()) continue;
    if (item->MatchesKey(key, ctrl, shift, alt)) {
      item->Click();
      return true;
    }
    if (FindShortCut(item, key, ctrl, shift, alt)) return true;
  }
  return false;
}
}  // namespace

TMenu::TMenu(TComponent* AOwner, bool popup) : TComponent(AOwner), items_(nullptr), popup_(popup) {
  items_.AttachRoot(this);
}

TMenu::~TMenu() {
  for (int i = 0; i < items_.Count(); ++i) items_.Items(i)->root_ = nullptr;
  if (hmenu_) {
    if (window_ && IsWindow(window_) && GetMenu(window_) == hmenu_) ::SetMenu(window_, nullptr);
    DestroyMenu(hmenu_);
  }
}

HMENU TMenu::Handle() {
  if (!hmenu_) {
    hmenu_ = popup_ ? CreatePopupMenu() : CreateMenu();
    Fill(hmenu_, &items_);
  }
  return hmenu_;
}

void TMenu::Rebuild() {
  if (!hmenu_) return;
  HMENU old = hmenu_;
  hmenu_ = nullptr;
  Handle();
  if (window_ && IsWindow(window_) && GetMenu(window_) == old) {
    ::SetMenu(window_, hmenu_);
    DrawMenuBar(window_);
  }
  DestroyMenu(old);
}

bool TMenu::AdoptChild(TComponent* child) {
  TMenuItem* item = dynamic_cast<TMenuItem*>(child);
  if (!item) return false;
  items_.Add(item);
  return true;
}

TMenuItem* TMenu::SubMenuOwner(HMENU popup) {
  std::vector<TMenuItem*> stack{&items_};
  while (!stack.empty()) {
    TMenuItem* i = stack.back();
    stack.pop_back();
    for (int k = 0; k < i->Count(); ++k) {
      TMenuItem* c = i->Items(k);
      if (c->Count() > 0 && c->SubMenu() == popup) return c;
      stack.push_back(c);
    }
  }
  return nullptr;
}

bool TMenu::HandleShortCut(WORD key) {
  return FindShortCut(&items_, key, GetKeyState(VK_CONTROL) < 0, GetKeyState(VK_SHIFT) < 0, GetKeyState(VK_MENU) < 0);
}

void TPopupMenu::Popup(int x, int y) {
  if (OnPopup) OnPopup(this);
  Rebuild();
  HWND owner = nullptr;
  if (TControl* c = dynamic_cast<TControl*>(popupComponent_)) owner = c->Handle();
  if (!owner) owner = GetActiveWindow();
  if (!owner && Application->MainForm()) owner = Application->MainForm()->Handle();
  int cmd = TrackPopupMenu(Handle(), TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY, x, y, 0, owner, nullptr);
  if (cmd)
    if (TMenuItem* item = TMenuItem::FromCommand(cmd)) item->Click();
}

bool TPopupMenu::BindEvent(const AnsiString& n, const THandlerRef& h) {
  if (n == "OnPopup") return Take(n, h, OnPopup);
  return TMenu::BindEvent(n, h);
}
