// Common dialogs through comdlg32's W functions, the one-line question
// InputQuery (a small form of the framework), and the printer. The
// dialog seam (Forms.h) answers open, save, colour and input dialogs in tests.
#include "Dialogs.h"

#include <commdlg.h>

#include <memory>

#include "Forms.h"
#include "StdControls.h"
#include "SysUtils.h"

namespace {
HWND OwnerWindow() {
  HWND h = GetActiveWindow();
  if (!h && Application->MainForm()) h = Application->MainForm()->Handle();
  return h;
}
// "text|pattern|text|pattern" into the NUL-separated, double-NUL-ended form.
std::wstring FilterText(const AnsiString& filter) {
  std::wstring w = Cp936ToWide(filter);
  for (auto& c : w)
    if (c == L'|') c = L'\0';
  w.push_back(L'\0');
  w.push_back(L'\0');
  return w;
}
}  // namespace

bool TOpenDialog::Execute() { return Run(false); }

bool TOpenDialog::Run(bool save) {
  Files.Clear();
  if (TDialogHook* hook = DialogHook()) {
    AnsiString name = FileName;
    if (!hook->FileDialog(save, name)) return false;
    FileName = name;
    Files.Add(name);
    return true;
  }
  // Room for a multiple selection: folder, NUL, names, NUL NUL.
  std::vector<wchar_t> buf(32768, L'\0');
  std::wstring initial = Cp936ToWide(FileName);
  if (initial.size() < buf.size() - 1) std::copy(initial.begin(), initial.end(), buf.begin());
  std::wstring filter = FilterText(Filter), ext = Cp936ToWide(DefaultExt), dir = Cp936ToWide(InitialDir),
               title = Cp936ToWide(Title);
  if (!ext.empty() && ext[0] == L'.') ext.erase(0, 1);
  OPENFILENAMEW ofn = {};
  ofn.lStructSize = sizeof(ofn);
  ofn.hwndOwner = OwnerWindow();
  ofn.lpstrFilter = Filter.IsEmpty() ? nullptr : filter.c_str();
  ofn.nFilterIndex = static_cast<DWORD>(FilterIndex);
  ofn.lpstrFile = buf.data();
  ofn.nMaxFile = static_cast<DWORD>(buf.size());
  ofn.lpstrInitialDir = dir.empty() ? nullptr : dir.c_str();
  ofn.lpstrTitle = title.empty() ? nullptr : title.c_str();
  ofn.lpstrDefExt = ext.empty() ? nullptr : ext.c_str();
  ofn.Flags = OFN_EXPLORER;
  if (Options & ofOverwritePrompt) ofn.Flags |= OFN_OVERWRITEPROMPT;
  if (Options & ofHideReadOnly) ofn.Flags |= OFN_HIDEREADONLY;
  if (Options & ofAllowMultiSelect) ofn.Flags |= OFN_ALLOWMULTISELECT;
  if (Options & ofPathMustExist) ofn.Flags |= OFN_PATHMUSTEXIST;
  if (Options & ofFileMustExist) ofn.Flags |= OFN_FILEMUSTEXIST;
  if (Options & ofEnableSizing) ofn.Flags |= OFN_ENABLESIZING;
  if (Options & ofNoChangeDir) ofn.Flags |= OFN_NOCHANGEDIR;
  BOOL ok = save ? GetSaveFileNameW(&ofn) : GetOpenFileNameW(&ofn);
  if (!ok) return false;
  FilterIndex = static_cast<int>(ofn.nFilterIndex);
  std::wstring first(buf.data());
  const wchar_t* next = buf.data() + first.size() + 1;
  if ((Options & ofAllowMultiSelect) && *next) {
    std::wstring folder = first;
    if (!folder.empty() && folder.back() != L'\\') folder += L'\\';
    while (*next) {
      std::wstring name(next);
      Files.Add(WideToCp936(folder + name));
      next += name.size() + 1;
    }
    FileName = Files[0];
  } else {
    FileName = WideToCp936(first);
    Files.Add(FileName);
  }
  return true;
}

bool TOpenDialog::SetProperty(const AnsiString& n, const TLayoutValue& v) {
  if (n == "Filter") Filter = v.AsString();
  else if (n == "DefaultExt") DefaultExt = v.AsString();
  else if (n == "FileName") FileName = v.AsString();
  else if (n == "InitialDir") InitialDir = v.AsString();
  else if (n == "Title") Title = v.AsString();
  else if (n == "FilterIndex") FilterIndex = v.AsInt();
  else if (n == "Options") {
    static const struct { const char* name; int bit; } k[] = {
        {"ofOverwritePrompt", ofOverwritePrompt}, {"ofHideReadOnly", ofHideReadOnly},
        {"ofAllowMultiSelect", ofAllowMultiSelect}, {"ofPathMustExist", ofPathMustExist},
        {"ofFileMustExist", ofFileMustExist},     {"ofEnableSizing", ofEnableSizing},
        {"ofNoChangeDir", ofNoChangeDir}};
    Options = 0;
    for (const auto& o : v.AsList()) {
      bool found = false;
      for (const auto& e : k)
        if (o.AsIdent() == e.name) { Options |= e.bit; found = true; }
      if (!found) throw ELayoutError("layout line " + IntToStr(o.line) + ": unknown option " + o.AsIdent());
    }
  } else return TComponent::SetProperty(n, v);
  return true;
}

bool InputQuery(const AnsiString& caption, const AnsiString& prompt, AnsiString& value) {
  if (TDialogHook* hook = DialogHook()) return hook->InputQuery(caption, prompt, value);
  // The layout is UTF-8; the texts of the question are set afterwards.
  static const char* const kLayout =
      u8"form TInputQueryForm {\n"
      u8"  BorderStyle = bsDialog  Position = poScreenCenter  ClientWidth = 300  ClientHeight = 96\n"
      u8"  TLabel Label1 { Bounds = [8, 10, 284, 16] }\n"
      u8"  TEdit Edit1 { Bounds = [8, 30, 284, 21] }\n"
      u8"  TButton Button1 { Caption = \"确定\" ModalResult = mrOk Bounds = [136, 64, 75, 25] }\n"
      u8"  TButton Button2 { Caption = \"取消\" ModalResult = mrCancel Bounds = [217, 64, 75, 25] }\n"
      u8"}\n";
  std::unique_ptr<TForm> form(new TForm(nullptr));
  form->LoadLayoutText(kLayout, "InputQuery");
  form->SetCaption(caption);
  static_cast<TControl*>(form->FindComponent("Label1"))->SetCaption(prompt);
  TEdit* edit = static_cast<TEdit*>(form->FindComponent("Edit1"));
  edit->SetText(value);
  form->OnShow = [edit](TObject*) {
    edit->SetFocus();
    edit->SelectAll();
  };
  if (form->ShowModal() != mrOk) return false;
  value = edit->Text();
  return true;
}

bool TColorDialog::Execute() {
  if (TDialogHook* hook = DialogHook()) return hook->ColorDialog(Color);
  static COLORREF custom[16] = {};
  CHOOSECOLORW cc = {};
  cc.lStructSize = sizeof(cc);
  cc.hwndOwner = OwnerWindow();
  cc.rgbResult = Color;
  cc.lpCustColors = custom;
  cc.Flags = CC_RGBINIT | CC_FULLOPEN;
  if (!ChooseColorW(&cc)) return false;
  Color = cc.rgbResult;
  return true;
}

bool TColorDialog::SetProperty(const AnsiString& n, const TLayoutValue& v) {
  if (n == "Color") Color = LayoutColor(v);
  else if (n == "Options") {}
  else return TComponent::SetProperty(n, v);
  return true;
}

bool TFontDialog::Execute() {
  LOGFONTW lf = {};
  lf.lfHeight = Font.Height();
  lf.lfWeight = (Font.Style & fsBold) ? FW_BOLD : FW_NORMAL;
  lf.lfItalic = (Font.Style & fsItalic) != 0;
  lf.lfUnderline = (Font.Style & fsUnderline) != 0;
  lf.lfStrikeOut = (Font.Style & fsStrikeOut) != 0;
  lf.lfCharSet = static_cast<BYTE>(Font.Charset);
  std::wstring face = Cp936ToWide(Font.Name);
  wcsncpy(lf.lfFaceName, face.c_str(), LF_FACESIZE - 1);
  CHOOSEFONTW cf = {};
  cf.lStructSize = sizeof(cf);
  cf.hwndOwner = OwnerWindow();
  cf.lpLogFont = &lf;
  cf.Flags = CF_SCREENFONTS | CF_EFFECTS | CF_INITTOLOGFONTSTRUCT;
  cf.rgbColors = Font.Color;
  if (!ChooseFontW(&cf)) return false;
  Font.Name = WideToCp936(lf.lfFaceName);
  Font.Size = cf.iPointSize / 10;
  Font.Color = cf.rgbColors;
  Font.Style = (lf.lfWeight >= FW_BOLD ? fsBold : 0) | (lf.lfItalic ? fsItalic : 0) | (lf.lfUnderline ? fsUnderline : 0) |
               (lf.lfStrikeOut ? fsStrikeOut : 0);
  Font.Charset = lf.lfCharSet;
  return true;
}

namespace {
// PrintDlgW returns FALSE both for Cancel and for "no printer"; the extended
// error tells them apart (PDERR_NODEFAULTPRN, PDERR_NODEVICES).
bool RunPrintDialog(bool setup) {
  // Without any printer the system dialog would show a box of its own first.
  wchar_t name[512];
  DWORD size = 512;
  if (!GetDefaultPrinterW(name, &size)) {
    ShowMessage("没有安装打印机");
    return false;
  }
  PRINTDLGW pd = {};
  pd.lStructSize = sizeof(pd);
  pd.hwndOwner = OwnerWindow();
  pd.Flags = setup ? PD_PRINTSETUP : (PD_RETURNDC | PD_NOPAGENUMS | PD_NOSELECTION);
  if (!PrintDlgW(&pd)) {
    DWORD err = CommDlgExtendedError();
    if (err == PDERR_NODEFAULTPRN || err == PDERR_NODEVICES || err == PDERR_PRINTERNOTFOUND)
      ShowMessage("没有安装打印机");
    return false;
  }
  if (pd.hDevMode) GlobalFree(pd.hDevMode);
  if (pd.hDevNames) GlobalFree(pd.hDevNames);
  if (pd.hDC) Printer()->SetDC(pd.hDC);
  return true;
}
}  // namespace

bool TPrintDialog::Execute() { return RunPrintDialog(false); }
bool TPrinterSetupDialog::Execute() { return RunPrintDialog(true); }

TPrinter* Printer() {
  static TPrinter printer;
  return &printer;
}

TPrinter::~TPrinter() {
  if (dc_) DeleteDC(dc_);
}

void TPrinter::SetDC(HDC dc) {
  if (dc_ && dc_ != dc) DeleteDC(dc_);
  dc_ = dc;
  canvas_.reset();
}

HDC TPrinter::EnsureDC() {
  if (dc_) return dc_;
  wchar_t name[512];
  DWORD size = 512;
  if (!GetDefaultPrinterW(name, &size)) throw EPrinter("没有安装打印机");
  dc_ = CreateDCW(L"WINSPOOL", name, nullptr, nullptr);
  if (!dc_) throw EPrinter("没有安装打印机");
  return dc_;
}

void TPrinter::BeginDoc() {
  HDC dc = EnsureDC();
  std::wstring title = Cp936ToWide(Title);
  DOCINFOW di = {};
  di.cbSize = sizeof(di);
  di.lpszDocName = title.c_str();
  if (StartDocW(dc, &di) <= 0) throw EPrinter("打印失败");
  if (StartPage(dc) <= 0) {
    AbortDoc(dc);
    throw EPrinter("打印失败");
  }
  printing_ = true;
}

void TPrinter::EndDoc() {
  if (!printing_) return;
  EndPage(dc_);
  ::EndDoc(dc_);
  printing_ = false;
}

void TPrinter::Abort() {
  if (!printing_) return;
  AbortDoc(dc_);
  printing_ = false;
}

int TPrinter::PageWidth() { return GetDeviceCaps(EnsureDC(), HORZRES); }
int TPrinter::PageHeight() { return GetDeviceCaps(EnsureDC(), VERTRES); }

TCanvas* TPrinter::Canvas() {
  if (!canvas_) canvas_.reset(new TCanvas(EnsureDC()));
  return canvas_.get();
}
