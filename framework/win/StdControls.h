// The standard controls: buttons, labels, edits, check boxes, radio buttons,
// combo and list boxes (with the file list box), group boxes and scroll bars.
// Each is a thin wrapper around the Win32 control of the same kind.
//
// Event rules the forms rely on: setting Checked in code fires OnClick when
// the state changes (check boxes both ways, radio buttons when checked), and
// a checked radio button unchecks its siblings under the same parent.
// Setting ItemIndex in code fires nothing.
#pragma once

#include "Controls.h"
#include "Classes.h"

// The item list of a combo or list box, kept in step with the window.
class TControlItems {
public:
  explicit TControlItems(TControl* owner, bool combo) : owner_(owner), combo_(combo) {}
  int Count() const { return static_cast<int>(items_.size()); }
  int Add(const AnsiString& s);
  void Insert(int index, const AnsiString& s);
  void Delete(int index);  // raises EStringListError
  void Clear();
  int IndexOf(const AnsiString& s) const;
  const AnsiString& Strings(int index) const;  // raises EStringListError
  const AnsiString& operator[](int index) const { return Strings(index); }
  void Assign(const TStringList& list);
  AnsiString Text() const;
  // Internal: fills a newly made window.
  void Fill();

private:
  TControl* owner_;
  bool combo_;
  std::vector<AnsiString> items_;
};

class TButton : public TControl {
public:
  explicit TButton(TComponent* AOwner);
  int ModalResult() const { return modalResult_; }
  void SetModalResult(int r) { modalResult_ = r; }
  bool Default() const { return default_; }
  void SetDefault(bool on) { default_ = on; }
  bool Cancel() const { return cancel_; }
  void SetCancel(bool on) { cancel_ = on; }
  void Click() override;  // also sets the form's ModalResult
  bool SetProperty(const AnsiString& name, const TLayoutValue& value) override;

protected:
  void CreateParams(Params& p) override;
  void Command(WORD code) override;

private:
  int modalResult_ = 0;
  bool default_ = false, cancel_ = false;
};

class TBitBtn : public TButton {
public:
  using TButton::TButton;
};

// A push button that can stay down: with a GroupIndex above 0 the buttons of
// one group under one parent are exclusive (AllowAllUp lets the last one up).
class TSpeedButton : public TButton {
public:
  explicit TSpeedButton(TComponent* AOwner);
  bool Down() const { return down_; }
  void SetDown(bool on);
  int GroupIndex() const { return group_; }
  void SetGroupIndex(int g) { group_ = g; }
  bool AllowAllUp() const { return allowAllUp_; }
  void SetAllowAllUp(bool on) { allowAllUp_ = on; }
  void Click() override;
  bool SetProperty(const AnsiString& name, const TLayoutValue& value) override;

protected:
  void CreateParams(Params& p) override;
  void InitWindow() override;

private:
  bool down_ = false, allowAllUp_ = false;
  int group_ = 0;
};

enum TAlignment { taLeftJustify, taRightJustify, taCenter };

class TLabel : public TControl {
public:
  explicit TLabel(TComponent* AOwner);
  bool Transparent() const { return transparent_; }
  void SetTransparent(bool on);
  bool AutoSize() const { return autoSize_; }
  void SetAutoSize(bool on) { autoSize_ = on; }
  TAlignment Alignment() const { return alignment_; }
  void SetAlignment(TAlignment a) { alignment_ = a; }
  bool WordWrap() const { return wordWrap_; }
  void SetWordWrap(bool on) { wordWrap_ = on; }
  void SetColor(TColor c) override;
  void SetCaption(const AnsiString& text) override;
  bool SetProperty(const AnsiString& name, const TLayoutValue& value) override;

protected:
  void CreateParams(Params& p) override;
  void InitWindow() override;
  void Command(WORD code) override;
  bool CtlColor(HDC dc, LRESULT& brush) override;

private:
  void Fit();
  bool transparent_ = true, autoSize_ = true, wordWrap_ = false;
  TAlignment alignment_ = taLeftJustify;
};

class TEdit : public TControl {
public:
  explicit TEdit(TComponent* AOwner);
  bool ReadOnly() const { return readOnly_; }
  void SetReadOnly(bool on);
  int MaxLength() const { return maxLength_; }
  // A limit in CP936 bytes, as the fixed text fields the edits fill are
  // sized (a Chinese character takes two). 0 = no limit. Text set in code
  // is not cut, only what the user types.
  void SetMaxLength(int n);
  void SetCaption(const AnsiString& text) override;
  char PasswordChar() const { return passwordChar_; }
  void SetPasswordChar(char c);
  bool BorderStyleSingle() const { return border_; }
  void SelectAll();
  TNotifyEvent OnChange;
  bool SetProperty(const AnsiString& name, const TLayoutValue& value) override;
  bool BindEvent(const AnsiString& name, const THandlerRef& handler) override;

protected:
  void CreateParams(Params& p) override;
  void InitWindow() override;
  void Command(WORD code) override;
  bool CtlColor(HDC dc, LRESULT& brush) override;
  virtual bool Multiline() const { return false; }
  std::wstring WindowTextW();

  bool readOnly_ = false, border_ = true, inCode_ = false;
  int maxLength_ = 0;
  char passwordChar_ = 0;
};

// Lines of a memo: a string list view of its text.
class TMemo : public TEdit {
public:
  explicit TMemo(TComponent* AOwner);
  TStringList Lines();
  void SetLines(const TStringList& lines);
  void AddLine(const AnsiString& line);
  void Clear() { SetText(""); }
  bool WordWrap() const { return wordWrap_; }
  void SetWordWrap(bool on) { wordWrap_ = on; }
  bool SetProperty(const AnsiString& name, const TLayoutValue& value) override;

protected:
  void CreateParams(Params& p) override;
  bool Multiline() const override { return true; }

private:
  bool wordWrap_ = true;
  bool scrollBars_ = false;
};

class TCheckBox : public TControl {
public:
  explicit TCheckBox(TComponent* AOwner);
  bool Checked() const { return checked_; }
  // Fires OnClick when the state changes.
  virtual void SetChecked(bool on);
  bool SetProperty(const AnsiString& name, const TLayoutValue& value) override;

protected:
  void CreateParams(Params& p) override;
  void InitWindow() override;
  void Command(WORD code) override;
  bool CtlColor(HDC dc, LRESULT& brush) override;
  bool checked_ = false;
};

class TRadioButton : public TCheckBox {
public:
  using TCheckBox::TCheckBox;
  // Checking fires OnClick and unchecks the siblings (without their OnClick);
  // unchecking in code fires nothing.
  void SetChecked(bool on) override;

protected:
  void CreateParams(Params& p) override;
  void Command(WORD code) override;
};

enum TComboBoxStyle { csDropDown, csDropDownList, csSimple };

class TComboBox : public TControl {
public:
  explicit TComboBox(TComponent* AOwner);
  TControlItems* Items() { return &items_; }
  int ItemIndex();
  void SetItemIndex(int i);  // silent
  TComboBoxStyle Style() const { return style_; }
  void SetStyle(TComboBoxStyle s) { style_ = s; }
  int DropDownCount() const { return dropDown_; }
  void SetDropDownCount(int n) { dropDown_ = n; }
  AnsiString Caption() override;
  void SetCaption(const AnsiString& text) override;
  void SetBounds(int left, int top, int width, int height) override;
  TNotifyEvent OnChange, OnSelect;
  bool SetProperty(const AnsiString& name, const TLayoutValue& value) override;
  bool BindEvent(const AnsiString& name, const THandlerRef& handler) override;

protected:
  void CreateParams(Params& p) override;
  void InitWindow() override;
  void Command(WORD code) override;

private:
  TControlItems items_;
  int index_ = -1;
  TComboBoxStyle style_ = csDropDown;
  int dropDown_ = 8;
};

class TListBox : public TControl {
public:
  explicit TListBox(TComponent* AOwner);
  TControlItems* Items() { return &items_; }
  int ItemIndex();
  void SetItemIndex(int i);  // silent
  bool MultiSelect() const { return multi_; }
  void SetMultiSelect(bool on) { multi_ = on; }
  bool Selected(int i);
  void SetSelected(int i, bool on);
  int SelCount();
  bool Sorted() const { return sorted_; }
  void SetSorted(bool on) { sorted_ = on; }
  bool SetProperty(const AnsiString& name, const TLayoutValue& value) override;

protected:
  void CreateParams(Params& p) override;
  void InitWindow() override;
  void Command(WORD code) override;

  TControlItems items_;
  int index_ = -1;
  bool multi_ = false, sorted_ = false;
};

// The files of one folder matching a ';' list of wildcard masks, sorted by
// name without duplicates.
class TFileListBox : public TListBox {
public:
  explicit TFileListBox(TComponent* AOwner);
  const AnsiString& Directory() const { return directory_; }
  void SetDirectory(const AnsiString& dir);  // refills
  const AnsiString& Mask() const { return mask_; }
  void SetMask(const AnsiString& mask);  // refills
  void Update();                         // re-reads the folder
  // Full path of the selected file; empty when none is selected.
  AnsiString FileName();
  bool SetProperty(const AnsiString& name, const TLayoutValue& value) override;

private:
  AnsiString directory_, mask_ = "*.*";
};

class TGroupBox : public TControl {
public:
  explicit TGroupBox(TComponent* AOwner);
  void WndProc(TMessage& m) override;

protected:
  void CreateParams(Params& p) override;
  bool CtlColor(HDC dc, LRESULT& brush) override;
};

enum TScrollBarKind { sbHorizontal, sbVertical };

class TScrollBar : public TControl {
public:
  explicit TScrollBar(TComponent* AOwner);
  int Min() const { return min_; }
  int Max() const { return max_; }
  int Position();
  int LargeChange() const { return large_; }
  int SmallChange() const { return small_; }
  void SetMin(int v) { SetParams(position_, v, max_); }
  void SetMax(int v) { SetParams(position_, min_, v); }
  void SetPosition(int v) { SetParams(v, min_, max_); }  // fires OnChange when it moves
  void SetParams(int position, int min, int max);
  void SetLargeChange(int v) { large_ = v; }
  void SetSmallChange(int v) { small_ = v; }
  TScrollBarKind Kind() const { return kind_; }
  void SetKind(TScrollBarKind k) { kind_ = k; }
  TNotifyEvent OnChange;
  bool SetProperty(const AnsiString& name, const TLayoutValue& value) override;
  bool BindEvent(const AnsiString& name, const THandlerRef& handler) override;

protected:
  void CreateParams(Params& p) override;
  void InitWindow() override;
  void Scrolled(TMessage& m) override;

private:
  int min_ = 0, max_ = 100, position_ = 0, large_ = 1, small_ = 1;
  TScrollBarKind kind_ = sbHorizontal;
};
