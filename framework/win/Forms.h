// Forms and the application object: TForm (a top-level window loaded from
// its layout), TApplication (form creation, the message loop, the exception
// box), TScreen, ShowMessage, and the dialog seam through which tests answer
// and record every message box and common dialog.
//
// A form class is written as:
//   class TWaitForm : public TForm {
//   public:
//     explicit TWaitForm(TComponent* Owner) : TForm(Owner) { LoadLayout("TWaitForm"); }
//     TLabel* Label1 = nullptr;
//     void SpeedButton1Click(TObject* Sender);
//   protected:
//     void DeclareMembers(TFormBinder& b) override {
//       LAYOUT_COMPONENT(b, Label1);
//       LAYOUT_HANDLER(b, SpeedButton1Click);
//     }
//   };
// Loading fails with ELayoutError when the layout names a handler the class
// does not declare, a handler of another signature, an unknown component
// class or property, or when a declared component is missing.
#pragma once

#include <functional>
#include <map>
#include <new>
#include <string>
#include <type_traits>

#include "Controls.h"

class TMainMenu;

enum TBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin };
enum TWindowState { wsNormal, wsMinimized, wsMaximized };
enum TPosition { poDesigned, poScreenCenter, poDesktopCenter, poMainFormCenter };
enum TFormStyle { fsNormal, fsStayOnTop };

typedef int TModalResult;
const TModalResult mrNone = 0, mrOk = IDOK, mrCancel = IDCANCEL, mrAbort = IDABORT, mrRetry = IDRETRY,
                   mrIgnore = IDIGNORE, mrYes = IDYES, mrNo = IDNO;

// What a form class declares to its layout: member pointers of its
// components and its handlers, by name.
class TFormBinder {
public:
  template <class C>
  void Component(const char* name, C*& slot) {
    static_assert(std::is_base_of<TComponent, C>::value, "a component member");
    components_[name] = [&slot](TComponent* c) {
      C* typed = dynamic_cast<C*>(c);
      if (!typed) return false;
      slot = typed;
      return true;
    };
  }
  template <class F, class... A>
  void Handler(const char* name, F* form, void (F::*method)(A...)) {
    THandlerRef h;
    h.Set(std::function<void(A...)>([form, method](A... a) { (form->*method)(static_cast<A>(a)...); }));
    handlers_[name] = h;
  }

  std::map<std::string, std::function<bool(TComponent*)>> components_;
  std::map<std::string, THandlerRef> handlers_;
};
#define LAYOUT_COMPONENT(binder, member) (binder).Component(#member, member)
#define LAYOUT_HANDLER(binder, method) \
  (binder).Handler(#method, this, &std::remove_pointer<decltype(this)>::type::method)

class TForm : public TControl {
public:
  explicit TForm(TComponent* AOwner);
  ~TForm() override;

  // Reads the layout resource of that name (the form class) from the program
  // file, or layout text given directly; creates the components, fills the
  // declared members, binds the handlers and then runs OnCreate.
  void LoadLayout(const AnsiString& resourceName);
  void LoadLayoutText(const std::string& utf8, const AnsiString& sourceName);

  TBorderStyle BorderStyle() const { return borderStyle_; }
  void SetBorderStyle(TBorderStyle b);
  TWindowState WindowState();
  void SetWindowState(TWindowState s);
  TPosition Position() const { return position_; }
  void SetPosition(TPosition p) { position_ = p; }
  TFormStyle FormStyle() const { return formStyle_; }
  void SetFormStyle(TFormStyle s);
  bool KeyPreview() const { return keyPreview_; }
  void SetKeyPreview(bool on) { keyPreview_ = on; }
  void SetClientWidth(int w);
  void SetClientHeight(int h);
  int ClientWidth() override;
  int ClientHeight() override;
  TMainMenu* Menu() const { return menu_; }
  void SetMenu(TMainMenu* menu);
  TCanvas* Canvas();

  void SetVisible(bool on) override;
  void SetColor(TColor c) override;
  int ShowModal();
  TModalResult ModalResult() const { return modalResult_; }
  void SetModalResult(TModalResult r) { modalResult_ = r; }
  bool Modal() const { return modal_; }
  // Runs OnClose; caNone refuses. The main form ends the application.
  void Close();
  // Deletes the form once the current message has been handled.
  void Release();

  TNotifyEvent OnCreate, OnShow, OnHide, OnResize, OnDestroy, OnActivate, OnPaint;
  TCloseEvent OnClose;

  bool SetProperty(const AnsiString& name, const TLayoutValue& value) override;
  bool BindEvent(const AnsiString& name, const THandlerRef& handler) override;
  bool AdoptChild(TComponent* child) override;
  void WndProc(TMessage& m) override;

  // The form's message table: a form class overrides it, handles its own
  // messages and passes the rest to TForm::Dispatch.
  virtual void Dispatch(TMessage& Message);
  // Key handling of KeyPreview forms, called before the focused control's.
  bool PreviewKey(UINT msg, WPARAM& key);

protected:
  virtual void DeclareMembers(TFormBinder& binder) {}
  // F1 and WM_HELP; product forms open their help topic. Result 1 = handled.
  virtual void HelpRequested(TMessage& m) { m.Result = 1; }
  void CreateParams(Params& p) override;
  void Paint(HDC dc) override;
  bool ClicksFromMouse() const override { return true; }
  void Resized() override;

private:
  void ApplyLayout(const TLayoutNode& root);
  void BuildChildren(TComponent* parent, const TLayoutNode& node, TFormBinder& binder);
  void ApplyStyle();
  void DoShow();

  TBorderStyle borderStyle_ = bsSizeable;
  TWindowState windowState_ = wsNormal;
  TPosition position_ = poDesigned;
  TFormStyle formStyle_ = fsNormal;
  bool keyPreview_ = false;
  bool modal_ = false;
  bool shownOnce_ = false;
  bool closing_ = false;
  TModalResult modalResult_ = mrNone;
  TMainMenu* menu_ = nullptr;
  std::unique_ptr<TCanvas> canvas_;
  int clientW_ = -1, clientH_ = -1;
};

// --- the dialog seam -------------------------------------------------------
// Every message box, exception box and common dialog of the program goes
// through the installed hook. Unit tests install one that answers and records
// them; without a hook the real dialogs appear.
class TDialogHook {
public:
  virtual ~TDialogHook() = default;
  // A message box: return the button's id (IDOK, IDYES ...).
  virtual int MessageBox(const AnsiString& text, const AnsiString& caption, UINT flags) = 0;
  // Open/save dialogs: return false for Cancel; may set fileName.
  virtual bool FileDialog(bool save, AnsiString& fileName) { return false; }
  // Colour dialog: return false for Cancel; may set color.
  virtual bool ColorDialog(TColor& color) { return false; }
  // InputQuery: return false for Cancel; may set value.
  virtual bool InputQuery(const AnsiString& caption, const AnsiString& prompt, AnsiString& value) { return false; }
};
// Installs a hook (null removes it); returns the previous one.
TDialogHook* SetDialogHook(TDialogHook* hook);
TDialogHook* DialogHook();

// A hook for tests: records every box and answers with the queued ids (IDOK
// when the queue is empty); file and colour dialogs take queued answers.
class TRecordingDialogHook : public TDialogHook {
public:
  struct Box {
    AnsiString text, caption;
    UINT flags;
  };
  TRecordingDialogHook() { previous_ = SetDialogHook(this); }
  ~TRecordingDialogHook() override { SetDialogHook(previous_); }
  int MessageBox(const AnsiString& text, const AnsiString& caption, UINT flags) override;
  bool FileDialog(bool save, AnsiString& fileName) override;
  bool ColorDialog(TColor& color) override;
  bool InputQuery(const AnsiString& caption, const AnsiString& prompt, AnsiString& value) override;

  struct Input {
    AnsiString caption, prompt, value;  // value: the text the question proposed
  };
  std::vector<Box> boxes;
  std::vector<Input> inputs;
  std::vector<int> answers;               // consumed from the front
  std::vector<AnsiString> fileAnswers;    // "" = Cancel
  std::vector<TColor> colorAnswers;       // clDefault = Cancel
  std::vector<AnsiString> inputAnswers;   // OK with that text; none left = Cancel
  std::function<void(const Box&)> onBox;  // runs inside the box, before it answers

private:
  TDialogHook* previous_;
};

// --- application -----------------------------------------------------------
class TApplication : public TComponent {
public:
  TApplication();
  void Initialize() {}
  const AnsiString& Title() const { return title_; }
  void SetTitle(const AnsiString& t) { title_ = t; }
  AnsiString ExeName() const;
  TForm* MainForm() const { return mainForm_; }
  HWND Handle();  // a hidden window for timers and deferred work

  // Creates a form of class T and makes the first form created the main
  // form. The variable is set before the constructor runs, so code called
  // from the form's own OnCreate may already reach it through the variable.
  template <class T>
  void CreateForm(T*& variable) {
    void* memory = ::operator new(sizeof(T));
    variable = static_cast<T*>(memory);
    try {
      new (memory) T(this);
    } catch (...) {
      variable = nullptr;
      ::operator delete(memory);
      throw;
    }
    FormCreated(variable);
  }
  // Shows the main form, then runs the message loop until it closes.
  void Run();
  void ProcessMessages();
  void HandleMessage();
  void Terminate();
  bool Terminated() const { return terminated_; }
  // The exception box: the text in a box, then the program goes on.
  void ShowException(const AnsiString& message);
  int MessageBox(const AnsiString& text, const AnsiString& caption, UINT flags);
  // Runs a handler and turns an escaping exception into the exception box.
  void Guard(const std::function<void()>& work);

  // Internal: deferred deletes and the one message dispatch of all loops.
  void ReleaseLater(TComponent* c);
  void Dispatch(MSG& msg);
  void FormCreated(TForm* form);
  void FormDestroyed(TForm* form);

private:
  AnsiString title_;
  TForm* mainForm_ = nullptr;
  bool terminated_ = false;
  HWND util_ = nullptr;
};

class TScreen {
public:
  int Width() const { return GetSystemMetrics(SM_CXSCREEN); }
  int Height() const { return GetSystemMetrics(SM_CYSCREEN); }
};

extern TApplication* Application;
extern TScreen* Screen;

void ShowMessage(const AnsiString& text);

// Wide window text of any window, as CP936.
AnsiString WindowText(HWND hwnd);
