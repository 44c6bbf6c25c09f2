// The base of the form layer: components (owned, named, configured from a
// layout), controls (each one a real Win32 window) and the event types.
// Win32 only. Every control keeps its state in members and pushes it into its
// window when the window exists, so properties can be set before or after the
// window is made (layouts set them before, run-time code usually after).
//
// Accessors follow one style everywhere: a property P reads as P() and is
// written with SetP(value); events are public std::function members named as
// the events (OnClick, OnChange ...).
#pragma once

#include <windows.h>

#include <functional>
#include <map>
#include <memory>
#include <typeinfo>
#include <vector>

#include "Canvas.h"
#include "Layout.h"
#include "System.h"

class TObject {
public:
  virtual ~TObject() = default;
};

class TComponent;
class TControl;
class TForm;
class TPopupMenu;

// --- event types ----------------------------------------------------------
enum TShiftFlag { ssShift = 1, ssAlt = 2, ssCtrl = 4, ssLeft = 8, ssRight = 16, ssMiddle = 32, ssDouble = 64 };
struct TShiftState {
  unsigned bits = 0;
  bool Contains(TShiftFlag f) const { return (bits & f) != 0; }
};
enum TMouseButton { mbLeft, mbRight, mbMiddle };
enum TCloseAction { caNone, caHide, caFree, caMinimize };

using TNotifyEvent = std::function<void(TObject* Sender)>;
using TCloseEvent = std::function<void(TObject* Sender, TCloseAction& Action)>;
using TKeyEvent = std::function<void(TObject* Sender, WORD& Key, TShiftState Shift)>;
using TKeyPressEvent = std::function<void(TObject* Sender, char& Key)>;
using TMouseEvent = std::function<void(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y)>;
using TMouseMoveEvent = std::function<void(TObject* Sender, TShiftState Shift, int X, int Y)>;
using TTabChangingEvent = std::function<void(TObject* Sender, bool& AllowChange)>;

// A window message as the forms' Dispatch sees it; Result is what the window
// procedure returns.
struct TMessage {
  UINT Msg;
  WPARAM WParam;
  LPARAM LParam;
  LRESULT Result;
};

// A form method bound to its form, of one exact signature (a std::function
// type); layouts connect events to these by the handler's name.
class THandlerRef {
public:
  template <class F>
  void Set(F fn) {
    type_ = &typeid(F);
    fn_ = std::make_shared<F>(std::move(fn));
  }
  // False when the signature differs from the event's.
  template <class F>
  bool Get(F& out) const {
    if (!type_ || *type_ != typeid(F)) return false;
    out = *static_cast<const F*>(fn_.get());
    return true;
  }

private:
  std::shared_ptr<void> fn_;
  const std::type_info* type_ = nullptr;
};

// --- components -----------------------------------------------------------
class TComponent : public TObject {
public:
  explicit TComponent(TComponent* AOwner);
  ~TComponent() override;
  TComponent(const TComponent&) = delete;
  TComponent& operator=(const TComponent&) = delete;

  TComponent* Owner() const { return owner_; }
  const AnsiString& Name() const { return name_; }
  void SetName(const AnsiString& name) { name_ = name; }
  int Tag() const { return tag_; }
  void SetTag(int t) { tag_ = t; }
  int ComponentCount() const { return static_cast<int>(components_.size()); }
  TComponent* Components(int i) const { return components_.at(i); }
  TComponent* FindComponent(const AnsiString& name) const;

  // Layout loading. SetProperty/BindEvent return false for a name the class
  // does not know (the loader then fails); a value of the wrong kind raises.
  virtual bool SetProperty(const AnsiString& name, const TLayoutValue& value);
  virtual bool BindEvent(const AnsiString& name, const THandlerRef& handler);
  // Called for each layout child of this component (menu items of a menu,
  // controls of a container ...); false when this component takes no children.
  virtual bool AdoptChild(TComponent* child);
  // After the whole layout is read: resolve references to other components.
  virtual void Loaded() {}

protected:
  // Assigns a bound handler to an event member; raises when the signatures differ.
  template <class F>
  static bool Take(const AnsiString& event, const THandlerRef& h, F& target) {
    if (!h.Get(target)) throw ELayoutError("handler of " + event + " has the wrong signature");
    return true;
  }
  // References by name that are resolved in Loaded().
  std::map<std::string, AnsiString> refs_;

private:
  TComponent* owner_;
  AnsiString name_;
  int tag_ = 0;
  std::vector<TComponent*> components_;
};

// Colours: a TColor, or clDefault for the window class's own colour.
const TColor clDefault = 0x1FFFFFFF;
const TColor clNavy = 0x800000, clMaroon = 0x000080, clGreen = 0x008000, clOlive = 0x008080,
             clPurple = 0x800080, clTeal = 0x808000, clFuchsia = 0xFF00FF, clAqua = 0xFFFF00,
             clWindow = 0xFFFFFF, clWindowText = 0x000000;
// Colour names and numbers of layouts; raises ELayoutError for unknown names.
TColor LayoutColor(const TLayoutValue& v);

enum TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient };
enum TCursor { crDefault = 0, crArrow = 1, crHandPoint = 2, crCross = 3, crIBeam = 4, crHourGlass = 5 };

// --- controls -------------------------------------------------------------
LRESULT CALLBACK FrameworkWndProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK FrameworkSubclassProc(HWND, UINT, WPARAM, LPARAM);

// Every control is a window; containers (forms, panels, group boxes, tab
// sheets, scroll boxes) parent other controls. Notifications that Win32 sends
// to the parent (WM_COMMAND, WM_NOTIFY, scrolling, colours) are handed back
// to the control they concern.
class TControl : public TComponent {
public:
  explicit TControl(TComponent* AOwner);
  ~TControl() override;

  TControl* Parent() const { return parent_; }
  void SetParent(TControl* parent);
  int ControlCount() const { return static_cast<int>(controls_.size()); }
  TControl* Controls(int i) const { return controls_.at(i); }
  TForm* ParentForm();

  HWND Handle();  // makes the window when the parent has one
  bool HandleAllocated() const { return hwnd_ != nullptr; }

  int Left() const { return left_; }
  int Top() const { return top_; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  virtual void SetBounds(int left, int top, int width, int height);
  void SetLeft(int v) { SetBounds(v, top_, width_, height_); }
  void SetTop(int v) { SetBounds(left_, v, width_, height_); }
  void SetWidth(int v) { SetBounds(left_, top_, v, height_); }
  void SetHeight(int v) { SetBounds(left_, top_, width_, v); }
  virtual int ClientWidth();
  virtual int ClientHeight();
  TAlign Align() const { return align_; }
  void SetAlign(TAlign a);

  // Caption and Text are one value, as for the window text.
  virtual AnsiString Caption();
  virtual void SetCaption(const AnsiString& text);
  AnsiString Text() { return Caption(); }
  void SetText(const AnsiString& text) { SetCaption(text); }
  bool Enabled() const { return enabled_; }
  virtual void SetEnabled(bool on);
  bool Visible() const { return visible_; }
  virtual void SetVisible(bool on);
  void Show() { SetVisible(true); }
  void Hide() { SetVisible(false); }
  const AnsiString& Hint() const { return hint_; }
  void SetHint(const AnsiString& h) { hint_ = h; }
  bool ShowHint() const { return showHint_; }
  void SetShowHint(bool on) { showHint_ = on; }
  TColor Color() const { return color_; }
  virtual void SetColor(TColor c);
  TCursor Cursor() const { return cursor_; }
  void SetCursor(TCursor c) { cursor_ = c; }
  TPopupMenu* PopupMenu() const { return popup_; }
  void SetPopupMenu(TPopupMenu* m) { popup_ = m; }
  // The control's font; call FontChanged() after changing it in place.
  TFont* Font() { return &font_; }
  void FontChanged();
  bool Focused();
  virtual void SetFocus();
  void Invalidate();
  void Repaint();
  void Update() { Repaint(); }
  void BringToFront();
  // Sends a message to the window (made on demand), as the framework's Perform.
  LRESULT Perform(UINT msg, WPARAM w, LPARAM l);
  // The brush of the control's background (its colour, else its parent's).
  HBRUSH BackgroundBrush();

  TNotifyEvent OnClick, OnDblClick;
  TMouseEvent OnMouseDown, OnMouseUp;
  TMouseMoveEvent OnMouseMove;
  TKeyEvent OnKeyDown, OnKeyUp;
  TKeyPressEvent OnKeyPress;

  bool SetProperty(const AnsiString& name, const TLayoutValue& value) override;
  bool BindEvent(const AnsiString& name, const THandlerRef& handler) override;
  bool AdoptChild(TComponent* child) override;
  void Loaded() override;

  // The window procedure of every control; containers and forms extend it.
  virtual void WndProc(TMessage& m);
  // Fires OnClick (buttons, labels, images ...).
  virtual void Click();

  // Looks up the control of a window made by this framework (null otherwise).
  static TControl* FromHandle(HWND hwnd);

protected:
  struct Params {
    const wchar_t* className = L"";
    DWORD style = 0;
    DWORD exStyle = 0;
    bool ownClass = false;  // one of the framework's own window classes
  };
  virtual void CreateParams(Params& p);
  // After the window exists: push the kept state into it.
  virtual void InitWindow() {}
  // Reflected notifications.
  virtual void Command(WORD code) {}
  virtual void Notify(NMHDR* hdr, TMessage& m) {}
  virtual void Scrolled(TMessage& m) {}
  virtual bool CtlColor(HDC dc, LRESULT& brush);
  // Own-class windows: paint and clicks made from mouse messages.
  virtual void Paint(HDC dc) {}
  virtual bool ClicksFromMouse() const { return false; }
  virtual void Resized() {}
  // After the controls inside got their windows, or one of them moved.
  virtual void ChildrenChanged() {}
  void DefaultHandler(TMessage& m);
  void CreateHandle();
  void DestroyHandle();
  void RealignChildren();
  void SetStyleBit(DWORD bit, bool on, bool ex = false);

  HWND hwnd_ = nullptr;
  WNDPROC oldProc_ = nullptr;
  TControl* parent_ = nullptr;
  std::vector<TControl*> controls_;
  int left_ = 0, top_ = 0, width_ = 75, height_ = 25;
  AnsiString caption_;
  bool enabled_ = true, visible_ = true, showHint_ = false;
  AnsiString hint_;
  TColor color_ = clDefault;
  TCursor cursor_ = crDefault;
  TAlign align_ = alNone;
  TPopupMenu* popup_ = nullptr;
  TFont font_;
  bool fontSet_ = false;
  HFONT hfont_ = nullptr;
  HBRUSH brush_ = nullptr;
  bool mouseDown_ = false;
  bool inSetBounds_ = false;

  friend LRESULT CALLBACK FrameworkWndProc(HWND, UINT, WPARAM, LPARAM);
  friend LRESULT CALLBACK FrameworkSubclassProc(HWND, UINT, WPARAM, LPARAM);
  friend class TForm;
  friend class TScrollBox;
};
using TWinControl = TControl;

TShiftState KeyShiftState();
// Set when a key event handler swallowed a key (Key = 0), so that the
// message loop does not turn the swallowed key into a character.
extern bool g_keySwallowed;
TShiftState MouseShiftState(WPARAM w);

// Creates components by class name for the layout loader. The framework's
// classes are known from the start (a table, not static registration, which
// a static library would drop); a program adds its own classes here.
using TComponentFactory = TComponent* (*)(TComponent* owner);
void RegisterComponentClass(const char* name, TComponentFactory factory);
TComponent* CreateComponentByClass(const AnsiString& name, TComponent* owner);  // raises ELayoutError
