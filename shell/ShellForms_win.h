// The forms that start-up creates before the tools that fill them exist:
// each is an empty form with its name and layout, so that the creation
// order and the form variables are already in place. Windows only.
#pragma once

#include "Forms.h"
#include "OnceTipsForm_win.h"
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
VIDORRA_SHELL_FORM(TAVIForm);
VIDORRA_SHELL_FORM(TExeForm);
VIDORRA_SHELL_FORM(TAviChangeForm);
VIDORRA_SHELL_FORM(TAvihcForm);
VIDORRA_SHELL_FORM(TAVIjqForm);
VIDORRA_SHELL_FORM(TEXE2AVIForm);
VIDORRA_SHELL_FORM(TDJExeForm);
VIDORRA_SHELL_FORM(TDJExeTqForm);
VIDORRA_SHELL_FORM(TMakeFlashForm);
VIDORRA_SHELL_FORM(TEXE2LXForm);
VIDORRA_SHELL_FORM(TLXjqForm);
VIDORRA_SHELL_FORM(TLXhcForm);
VIDORRA_SHELL_FORM(TEXEjqForm);
VIDORRA_SHELL_FORM(TEXEhcForm);
VIDORRA_SHELL_FORM(TASFSetForm);
VIDORRA_SHELL_FORM(TJmForm);
VIDORRA_SHELL_FORM(TQzysetForm);
VIDORRA_SHELL_FORM(THtbfylForm);
VIDORRA_SHELL_FORM(TASFWaitForm);
VIDORRA_SHELL_FORM(TFanweixtForm);
VIDORRA_SHELL_FORM(TXiangdaoForm);
VIDORRA_SHELL_FORM(TDWmvForm);
VIDORRA_SHELL_FORM(TWMVjqForm);
VIDORRA_SHELL_FORM(TWMVhcForm);
VIDORRA_SHELL_FORM(TAtimeForm);
VIDORRA_SHELL_FORM(TLylyxzForm);
VIDORRA_SHELL_FORM(TVistaskForm);
VIDORRA_SHELL_FORM(TCapsetForm);

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
