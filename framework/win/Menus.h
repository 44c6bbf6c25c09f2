// Main menus, popup menus and their items. Captions keep the '&' mnemonic;
// a caption "-" is a separator. ShortCut is the key text shown after the
// caption ("F10", "Ctrl+S") and handled by the application's message loop
// for the active form's menus. An item with children fires its OnClick when
// its submenu opens (the form's WM_INITMENUPOPUP), so a handler there can
// enable the items before they show.
#pragma once

#include "Controls.h"

class TMenuItem : public TComponent {
public:
  explicit TMenuItem(TComponent* AOwner);
  ~TMenuItem() override;
  const AnsiString& Caption() const { return caption_; }
  void SetCaption(const AnsiString& c);
  bool Checked() const { return checked_; }
  void SetChecked(bool on);  // fires nothing
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool on);
  bool Visible() const { return visible_; }
  void SetVisible(bool on);
  const AnsiString& ShortCut() const { return shortCut_; }
  void SetShortCut(const AnsiString& keys);
  bool RadioItem() const { return radio_; }
  const AnsiString& Hint() const { return hint_; }
  bool IsSeparator() const { return caption_ == "-"; }
  int Count() const { return static_cast<int>(items_.size()); }
  TMenuItem* Items(int i) const { return items_.at(i); }
  void Add(TMenuItem* item);
  void Remove(TMenuItem* item);
  TMenuItem* Parent() const { return parent_; }
  int Command() const { return id_; }
  void Click();  // fires OnClick
  TNotifyEvent OnClick;

  bool SetProperty(const AnsiString& name, const TLayoutValue& value) override;
  bool BindEvent(const AnsiString& name, const THandlerRef& handler) override;
  bool AdoptChild(TComponent* child) override;

  // Internal: the item of a WM_COMMAND id; a key matching a short cut.
  static TMenuItem* FromCommand(int id);
  bool MatchesKey(WORD key, bool ctrl, bool shift, bool alt) const;
  void Rebuild();
  HMENU SubMenu();  // the popup of an item with children, as last built
  void SetSubMenu(HMENU popup) { submenu_ = popup; }
  void AttachRoot(class TMenu* menu) { root_ = menu; }

private:
  void Refresh();
  HMENU OwnerMenu() const;
  AnsiString caption_, shortCut_, hint_;
  bool checked_ = false, enabled_ = true, visible_ = true, radio_ = false;
  int id_;
  TMenuItem* parent_ = nullptr;
  class TMenu* root_ = nullptr;
  std::vector<TMenuItem*> items_;
  HMENU submenu_ = nullptr;
  WORD key_ = 0;
  bool keyCtrl_ = false, keyShift_ = false, keyAlt_ = false;
  friend class TMenu;
};

class TMenu : public TComponent {
public:
  explicit TMenu(TComponent* AOwner, bool popup);
  ~TMenu() override;
  TMenuItem* Items() { return &items_; }
  HMENU Handle();
  bool AdoptChild(TComponent* child) override;
  // Finds and fires the item whose short cut is this key; false when none.
  bool HandleShortCut(WORD key);
  // Internal: rebuild the Win32 menu after items changed.
  void Rebuild();
  // Internal: the item whose submenu is this popup (WM_INITMENUPOPUP), or null.
  TMenuItem* SubMenuOwner(HMENU popup);
  HWND window_ = nullptr;  // the form whose menu bar shows it

protected:
  TMenuItem items_;
  HMENU hmenu_ = nullptr;
  bool popup_;
  friend class TMenuItem;
};

class TMainMenu : public TMenu {
public:
  explicit TMainMenu(TComponent* AOwner) : TMenu(AOwner, false) {}
};

class TPopupMenu : public TMenu {
public:
  explicit TPopupMenu(TComponent* AOwner) : TMenu(AOwner, true) {}
  // Shows the menu at screen coordinates and runs the chosen item.
  void Popup(int x, int y);
  TComponent* PopupComponent() const { return popupComponent_; }
  void SetPopupComponent(TComponent* c) { popupComponent_ = c; }
  TNotifyEvent OnPopup;
  bool BindEvent(const AnsiString& name, const THandlerRef& handler) override;

private:
  TComponent* popupComponent_ = nullptr;
};
