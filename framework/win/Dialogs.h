// The common dialogs (open, save, colour, font, print, printer set-up), the
// one-line question InputQuery and the printer. Open, save, colour and input
// dialogs go through the dialog seam (Forms.h) when a hook is installed, so
// tests can answer them.
//
// Printing: PrintDlgW and the printer's device context. A machine without a
// printer makes Execute return false and TPrinter raise EPrinter with
// "没有安装打印机"; nothing is printed then.
#pragma once

#include "Classes.h"
#include "Controls.h"

class EPrinter : public Exception { using Exception::Exception; };

enum TOpenOption {
  ofOverwritePrompt = 1,
  ofHideReadOnly = 2,
  ofAllowMultiSelect = 4,
  ofPathMustExist = 8,
  ofFileMustExist = 16,
  ofEnableSizing = 32,
  ofNoChangeDir = 64,
};

class TOpenDialog : public TComponent {
public:
  explicit TOpenDialog(TComponent* AOwner) : TComponent(AOwner) {}
  AnsiString FileName;
  // "text|pattern|text|pattern", as the layouts write it.
  AnsiString Filter;
  int FilterIndex = 1;
  AnsiString DefaultExt;
  AnsiString InitialDir;
  AnsiString Title;
  int Options = ofHideReadOnly | ofEnableSizing;
  // With ofAllowMultiSelect: every chosen file, full paths.
  TStringList Files;
  virtual bool Execute();
  bool SetProperty(const AnsiString& name, const TLayoutValue& value) override;

protected:
  bool Run(bool save);
};

class TSaveDialog : public TOpenDialog {
public:
  explicit TSaveDialog(TComponent* AOwner) : TOpenDialog(AOwner) {}
  bool Execute() override { return Run(true); }
};

// A one-line question: a form with the caption, the prompt over an edit that
// holds value (selected), "确定" and "取消". True and the edited text in
// value on OK; false and value unchanged on Cancel or close. Goes through
// the dialog seam when a hook is installed. Controls for the robot: Label1,
// Edit1, Button1 (OK), Button2 (Cancel).
bool InputQuery(const AnsiString& caption, const AnsiString& prompt, AnsiString& value);

class TColorDialog : public TComponent {
public:
  explicit TColorDialog(TComponent* AOwner) : TComponent(AOwner) {}
  TColor Color = clBlack;
  bool Execute();
  bool SetProperty(const AnsiString& name, const TLayoutValue& value) override;
};

class TFontDialog : public TComponent {
public:
  explicit TFontDialog(TComponent* AOwner) : TComponent(AOwner) {}
  TFont Font;
  bool Execute();
};

class TPrintDialog : public TComponent {
public:
  explicit TPrintDialog(TComponent* AOwner) : TComponent(AOwner) {}
  // False on Cancel and when no printer is installed.
  bool Execute();
};

class TPrinterSetupDialog : public TComponent {
public:
  explicit TPrinterSetupDialog(TComponent* AOwner) : TComponent(AOwner) {}
  bool Execute();
};

// The default printer (or the one the print dialog chose).
class TPrinter {
public:
  ~TPrinter();
  AnsiString Title;
  // Raise EPrinter when there is no printer or the job cannot start.
  void BeginDoc();
  void EndDoc();
  void Abort();
  int PageWidth();
  int PageHeight();
  TCanvas* Canvas();
  bool Printing() const { return printing_; }
  // Internal: the print dialog hands over the chosen printer.
  void SetDC(HDC dc);

private:
  HDC EnsureDC();
  HDC dc_ = nullptr;
  bool printing_ = false;
  std::unique_ptr<TCanvas> canvas_;
};
TPrinter* Printer();
