// The forms that start-up creates before the tools that fill them exist:
// each is an empty form with its name and layout, so that the creation
// order and the form variables are already in place. Windows only.
#pragma once

#include "Forms.h"
#include "OnceTipsForm_win.h"
#include "StdControls.h"
#include "StopTipForm_win.h"

#define VIDORRA_SHELL_FORM(T) \
  class T : public TForm { \
  public: \
    explicit T(TComponent* Owner) : TForm(Owner) { LoadLayout(#T); } \
  };

VIDORRA_SHELL_FORM(TAboutForm);
VIDORRA_SHELL_FORM(TSelDirForm);
VIDORRA_SHELL_FORM(TPlayForm);
VIDORRA_SHELL_FORM(TInfoForm);
VIDORRA_SHELL_FORM(TExeForm);
VIDORRA_SHELL_FORM(TAvihcForm);
VIDORRA_SHELL_FORM(TDJExeForm);
VIDORRA_SHELL_FORM(TMakeFlashForm);
VIDORRA_SHELL_FORM(TLXhcForm);
VIDORRA_SHELL_FORM(TEXEhcForm);
VIDORRA_SHELL_FORM(TASFSetForm);
VIDORRA_SHELL_FORM(TJmForm);
VIDORRA_SHELL_FORM(TQzysetForm);
VIDORRA_SHELL_FORM(THtbfylForm);
VIDORRA_SHELL_FORM(TASFWaitForm);
VIDORRA_SHELL_FORM(TFanweixtForm);
VIDORRA_SHELL_FORM(TXiangdaoForm);
VIDORRA_SHELL_FORM(TDWmvForm);
VIDORRA_SHELL_FORM(TWMVhcForm);
VIDORRA_SHELL_FORM(TAtimeForm);
VIDORRA_SHELL_FORM(TLylyxzForm);
VIDORRA_SHELL_FORM(TVistaskForm);
VIDORRA_SHELL_FORM(TCapsetForm);

// The tools the main window's menus open with a file: until each tool
// brings its controls, the form holds what its menu gate gives it (the
// file to work on in Edit1 or in a member).
#define VIDORRA_TOOL_FORM_WITH_EDIT(T) \
  class T : public TForm { \
  public: \
    explicit T(TComponent* Owner) : TForm(Owner) { LoadLayout(#T); } \
    TEdit* Edit1 = nullptr; \
  protected: \
    void DeclareMembers(TFormBinder& b) override { LAYOUT_COMPONENT(b, Edit1); } \
  };
#define VIDORRA_TOOL_FORM_WITH_MEMBER(T, member) \
  class T : public TForm { \
  public: \
    explicit T(TComponent* Owner) : TForm(Owner) { LoadLayout(#T); } \
    AnsiString member; \
  };

VIDORRA_TOOL_FORM_WITH_EDIT(TAviChangeForm);
VIDORRA_TOOL_FORM_WITH_EDIT(TEXE2AVIForm);
VIDORRA_TOOL_FORM_WITH_EDIT(TEXE2LXForm);
VIDORRA_TOOL_FORM_WITH_MEMBER(TAVIjqForm, fileName);
VIDORRA_TOOL_FORM_WITH_MEMBER(TEXEjqForm, fileName);
VIDORRA_TOOL_FORM_WITH_MEMBER(TDJExeTqForm, fileName);
VIDORRA_TOOL_FORM_WITH_MEMBER(TLXjqForm, fileName);
VIDORRA_TOOL_FORM_WITH_MEMBER(TWMVjqForm, wmvPath);

// AVI dubbing: the AVI, its temporary result and the program folder.
class TAVIForm : public TForm {
public:
  explicit TAVIForm(TComponent* Owner) : TForm(Owner) { LoadLayout("TAVIForm"); }
  AnsiString sourceFile, tempAvi, programFolder;
};

extern TAboutForm* AboutForm;
extern TSelDirForm* SelDirForm;
extern TPlayForm* PlayForm;
extern TInfoForm* InfoForm;
extern TAVIForm* AVIForm;
extern TExeForm* ExeForm;
extern TAviChangeForm* AviChangeForm;
extern TAvihcForm* AvihcForm;
extern TAVIjqForm* AVIjqForm;
extern TEXE2AVIForm* EXE2AVIForm;
extern TDJExeForm* DJExeForm;
extern TDJExeTqForm* DJExeTqForm;
extern TMakeFlashForm* MakeFlashForm;
extern TEXE2LXForm* EXE2LXForm;
extern TLXjqForm* LXjqForm;
extern TLXhcForm* LXhcForm;
extern TEXEjqForm* EXEjqForm;
extern TEXEhcForm* EXEhcForm;
extern TASFSetForm* ASFSetForm;
extern TJmForm* JmForm;
extern TQzysetForm* QzysetForm;
extern THtbfylForm* HtbfylForm;
extern TASFWaitForm* ASFWaitForm;
extern TFanweixtForm* FanweixtForm;
extern TXiangdaoForm* XiangdaoForm;
extern TDWmvForm* DWmvForm;
extern TWMVjqForm* WMVjqForm;
extern TWMVhcForm* WMVhcForm;
extern TAtimeForm* AtimeForm;
extern TLylyxzForm* LylyxzForm;
extern TVistaskForm* VistaskForm;
extern TCapsetForm* CapsetForm;
