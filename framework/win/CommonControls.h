// Containers, pictures and the common controls: panels, bevels, shapes,
// images, scroll boxes, page controls with tab sheets, track bars, progress
// bars, tool bars, date/time pickers, status bars, timers and the tray icon.
//
// Event rules the forms rely on: ActivePageIndex set in code fires neither
// OnChanging nor OnChange (a user's tab change fires both, and OnChanging can
// refuse it); a track bar's Position set in code fires OnChange when it moves.
#pragma once

#include <memory>

#include "Controls.h"
#include "Graphics.h"

enum TBevelCut { bvNone, bvLowered, bvRaised };

// A plain container drawn in its colour, with its caption centred.
class TPanel : public TControl {
public:
  explicit TPanel(TComponent* AOwner);
  TBevelCut BevelOuter() const { return bevelOuter_; }
  void SetBevelOuter(TBevelCut b) { bevelOuter_ = b; Invalidate(); }
  bool SetProperty(const AnsiString& name, const TLayoutValue& value) override;

protected:
  void CreateParams(Params& p) override;
  void Paint(HDC dc) override;
  bool ClicksFromMouse() const override { return true; }

private:
  TBevelCut bevelOuter_ = bvRaised;
};

enum TBevelShape { bsBox, bsFrame, bsTopLine, bsBottomLine };

class TBevel : public TControl {
public:
  explicit TBevel(TComponent* AOwner);
  bool SetProperty(const AnsiString& name, const TLayoutValue& value) override;

protected:
  void CreateParams(Params& p) override;
  void Paint(HDC dc) override;

private:
  TBevelShape shape_ = bsBox;
  TBevelCut style_ = bvLowered;
};

// A filled rectangle (a colour swatch); Brush and Pen as on a canvas.
class TShape : public TControl {
public:
  explicit TShape(TComponent* AOwner);
  TBrush* Brush() { return &brush_; }
  TPen* Pen() { return &pen_; }
  bool SetProperty(const AnsiString& name, const TLayoutValue& value) override;

protected:
  void CreateParams(Params& p) override;
  void Paint(HDC dc) override;
  bool ClicksFromMouse() const override { return true; }

private:
  TBrush brush_;
  TPen pen_;
};

class TPicture {
public:
  // Made on first use; the image draws it.
  TBitmap* Bitmap();
  bool HasBitmap() const { return bitmap_ != nullptr; }
  void Clear() { bitmap_.reset(); }

private:
  std::unique_ptr<TBitmap> bitmap_;
};

// Shows a bitmap, at its size or stretched to the control. Drawing through
// Canvas() repaints the control once the current message is done.
class TImage : public TControl {
public:
  explicit TImage(TComponent* AOwner);
  TPicture* Picture() { return &picture_; }
  // The bitmap's canvas; an empty bitmap first takes the control's size.
  TCanvas* Canvas();
  bool Stretch() const { return stretch_; }
  void SetStretch(bool on) { stretch_ = on; Invalidate(); }
  bool Center() const { return center_; }
  void SetCenter(bool on) { center_ = on; Invalidate(); }
  bool SetProperty(const AnsiString& name, const TLayoutValue& value) override;
  void WndProc(TMessage& m) override;

protected:
  void CreateParams(Params& p) override;
  void Paint(HDC dc) override;
  bool ClicksFromMouse() const override { return true; }

private:
  TPicture picture_;
  bool stretch_ = false, center_ = false, repaintPosted_ = false;
};

// A container with scroll bars over whatever its controls cover.
class TScrollBox : public TControl {
public:
  explicit TScrollBox(TComponent* AOwner);
  // Recomputes the scroll ranges after the controls inside moved or grew.
  void UpdateScrollRange();
  int ScrollX() const { return scrollX_; }
  int ScrollY() const { return scrollY_; }
  void ScrollTo(int x, int y);
  void WndProc(TMessage& m) override;

protected:
  void CreateParams(Params& p) override;
  void Resized() override { UpdateScrollRange(); }
  void ChildrenChanged() override { UpdateScrollRange(); }
  bool ClicksFromMouse() const override { return true; }

private:
  int scrollX_ = 0, scrollY_ = 0;
};

class TPageControl;

class TTabSheet : public TControl {
public:
  explicit TTabSheet(TComponent* AOwner);
  TPageControl* PageControl() const { return pageControl_; }
  void SetPageControl(TPageControl* pc);
  int PageIndex() const;
  bool TabVisible() const { return true; }
  void SetCaption(const AnsiString& text) override;

protected:
  void CreateParams(Params& p) override;
  bool ClicksFromMouse() const override { return true; }

private:
  TPageControl* pageControl_ = nullptr;
  friend class TPageControl;
};

class TPageControl : public TControl {
public:
  explicit TPageControl(TComponent* AOwner);
  int PageCount() const { return static_cast<int>(pages_.size()); }
  TTabSheet* Pages(int i) const { return pages_.at(i); }
  int ActivePageIndex() const { return active_; }
  void SetActivePageIndex(int i);  // silent
  TTabSheet* ActivePage() const { return active_ >= 0 ? pages_[active_] : nullptr; }
  void SetActivePage(TTabSheet* page);  // silent
  TTabChangingEvent OnChanging;
  TNotifyEvent OnChange;
  bool SetProperty(const AnsiString& name, const TLayoutValue& value) override;
  bool BindEvent(const AnsiString& name, const THandlerRef& handler) override;
  bool AdoptChild(TComponent* child) override;
  void Loaded() override;
  // Internal.
  void InsertPage(TTabSheet* page);
  void RemovePage(TTabSheet* page);
  void PlacePages();

protected:
  void CreateParams(Params& p) override;
  void InitWindow() override;
  void Notify(NMHDR* hdr, TMessage& m) override;
  void Resized() override { PlacePages(); }

private:
  void ShowActive();
  std::vector<TTabSheet*> pages_;
  int active_ = -1;
};

enum TTrackBarOrientation { trHorizontal, trVertical };

class TTrackBar : public TControl {
public:
  explicit TTrackBar(TComponent* AOwner);
  int Min() const { return min_; }
  int Max() const { return max_; }
  int Position();
  void SetMin(int v);
  void SetMax(int v);
  void SetPosition(int v);  // fires OnChange when it moves
  int SelStart() const { return selStart_; }
  int SelEnd() const { return selEnd_; }
  void SetSelStart(int v);
  void SetSelEnd(int v);
  int Frequency() const { return frequency_; }
  void SetFrequency(int v);
  TTrackBarOrientation Orientation() const { return orientation_; }
  void SetOrientation(TTrackBarOrientation o) { orientation_ = o; }
  TNotifyEvent OnChange;
  bool SetProperty(const AnsiString& name, const TLayoutValue& value) override;
  bool BindEvent(const AnsiString& name, const THandlerRef& handler) override;

protected:
  void CreateParams(Params& p) override;
  void InitWindow() override;
  void Scrolled(TMessage& m) override;

private:
  int min_ = 0, max_ = 10, position_ = 0, selStart_ = 0, selEnd_ = 0, frequency_ = 1;
  TTrackBarOrientation orientation_ = trHorizontal;
};

class TProgressBar : public TControl {
public:
  explicit TProgressBar(TComponent* AOwner);
  int Min() const { return min_; }
  int Max() const { return max_; }
  int Position();
  void SetMin(int v);
  void SetMax(int v);
  void SetPosition(int v);
  bool SetProperty(const AnsiString& name, const TLayoutValue& value) override;

protected:
  void CreateParams(Params& p) override;
  void InitWindow() override;

private:
  int min_ = 0, max_ = 100, position_ = 0;
};

class TToolBar;
enum TToolButtonStyle { tbsButton, tbsCheck, tbsSeparator };

// A button of a tool bar (not a window of its own).
class TToolButton : public TControl {
public:
  explicit TToolButton(TComponent* AOwner);
  ~TToolButton() override;
  TToolButtonStyle Style() const { return style_; }
  void SetStyle(TToolButtonStyle s) { style_ = s; }
  int ImageIndex() const { return imageIndex_; }
  void SetImageIndex(int i) { imageIndex_ = i; }
  bool Down();
  void SetDown(bool on);
  void SetEnabled(bool on) override;
  void SetCaption(const AnsiString& text) override;
  void SetVisible(bool on) override;
  bool SetProperty(const AnsiString& name, const TLayoutValue& value) override;
  int CommandId() const { return id_; }

private:
  TToolBar* Bar() const;
  TToolButtonStyle style_ = tbsButton;
  int imageIndex_ = -1;
  int id_;
  bool down_ = false;
  friend class TToolBar;
};

class TToolBar : public TControl {
public:
  explicit TToolBar(TComponent* AOwner);
  ~TToolBar() override;
  int ButtonCount() const { return static_cast<int>(buttons_.size()); }
  TToolButton* Buttons(int i) const { return buttons_.at(i); }
  bool AdoptChild(TComponent* child) override;
  // Internal.
  void ButtonChanged(TToolButton* b);
  void RemoveButton(TToolButton* b);

protected:
  void CreateParams(Params& p) override;
  void InitWindow() override;
  void Command(WORD code) override {}
  void Notify(NMHDR* hdr, TMessage& m) override;
  void WndProc(TMessage& m) override;

private:
  std::vector<TToolButton*> buttons_;
  std::wstring tipText_;
};

// Internal: tool buttons are no windows; their parent form routes their
// commands and tip requests here by command id.
bool ToolButtonCommand(int id);
bool ToolButtonTip(NMHDR* hdr);

typedef double TDateTime;  // days since 1899-12-30, the time as the fraction
enum TDateTimeKind { dtkDate, dtkTime };

class TDateTimePicker : public TControl {
public:
  explicit TDateTimePicker(TComponent* AOwner);
  TDateTime DateTime();
  void SetDateTime(TDateTime t);
  TDateTime Date() { return static_cast<long long>(DateTime()); }
  TDateTime Time();
  TDateTimeKind Kind() const { return kind_; }
  void SetKind(TDateTimeKind k) { kind_ = k; }
  TNotifyEvent OnChange;
  bool SetProperty(const AnsiString& name, const TLayoutValue& value) override;
  bool BindEvent(const AnsiString& name, const THandlerRef& handler) override;

protected:
  void CreateParams(Params& p) override;
  void InitWindow() override;
  void Notify(NMHDR* hdr, TMessage& m) override;

private:
  TDateTime value_ = 0;
  TDateTimeKind kind_ = dtkDate;
};
TDateTime Now();
SYSTEMTIME DateTimeToSystemTime(TDateTime t);
TDateTime SystemTimeToDateTime(const SYSTEMTIME& st);

class TStatusBar : public TControl {
public:
  explicit TStatusBar(TComponent* AOwner);
  AnsiString SimpleText() { return Caption(); }
  void SetSimpleText(const AnsiString& t) { SetCaption(t); }

protected:
  void CreateParams(Params& p) override;
};

// A window timer; OnTimer runs on the GUI thread every Interval ms while enabled.
class TTimer : public TComponent {
public:
  explicit TTimer(TComponent* AOwner);
  ~TTimer() override;
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool on);
  unsigned Interval() const { return interval_; }
  void SetInterval(unsigned ms);
  TNotifyEvent OnTimer;
  bool SetProperty(const AnsiString& name, const TLayoutValue& value) override;
  bool BindEvent(const AnsiString& name, const THandlerRef& handler) override;
  void Loaded() override { Restart(); }
  // Internal: the application's window calls this on WM_TIMER.
  static void Fire(UINT_PTR id);

private:
  void Restart();
  bool enabled_ = true, loading_ = true;
  unsigned interval_ = 1000;
  UINT_PTR id_ = 0;
};

// The notification-area icon of a window: messages come back to the window
// as the callback message with the mouse message in lParam.
class TTrayIcon {
public:
  TTrayIcon(HWND window, UINT id, UINT callbackMessage) : hwnd_(window), id_(id), msg_(callbackMessage) {}
  ~TTrayIcon() { Remove(); }
  bool Add(HICON icon, const AnsiString& tip);
  bool Modify(HICON icon, const AnsiString& tip);
  bool Remove();
  bool Shown() const { return shown_; }

private:
  bool Call(DWORD op, HICON icon, const AnsiString& tip);
  HWND hwnd_;
  UINT id_, msg_;
  bool shown_ = false;
};
