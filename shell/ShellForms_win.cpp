// The form variables of the shell forms; see the header.
#include "ShellForms_win.h"

TAboutForm* AboutForm = nullptr;
TSelDirForm* SelDirForm = nullptr;
TPlayForm* PlayForm = nullptr;
TInfoForm* InfoForm = nullptr;
TAVIForm* AVIForm = nullptr;
TExeForm* ExeForm = nullptr;
TAviChangeForm* AviChangeForm = nullptr;
TAvihcForm* AvihcForm = nullptr;
TAVIjqForm* AVIjqForm = nullptr;
TEXE2AVIForm* EXE2AVIForm = nullptr;
TDJExeForm* DJExeForm = nullptr;
TDJExeTqForm* DJExeTqForm = nullptr;
TMakeFlashForm* MakeFlashForm = nullptr;
TEXE2LXForm* EXE2LXForm = nullptr;
TLXjqForm* LXjqForm = nullptr;
TLXhcForm* LXhcForm = nullptr;
TEXEjqForm* EXEjqForm = nullptr;
TEXEhcForm* EXEhcForm = nullptr;
TASFSetForm* ASFSetForm = nullptr;
TJmForm* JmForm = nullptr;
TQzysetForm* QzysetForm = nullptr;
THtbfylForm* HtbfylForm = nullptr;
TASFWaitForm* ASFWaitForm = nullptr;
TFanweixtForm* FanweixtForm = nullptr;
TXiangdaoForm* XiangdaoForm = nullptr;
TDWmvForm* DWmvForm = nullptr;
TWMVjqForm* WMVjqForm = nullptr;
TWMVhcForm* WMVhcForm = nullptr;
TAtimeForm* AtimeForm = nullptr;
TLylyxzForm* LylyxzForm = nullptr;
TVistaskForm* VistaskForm = nullptr;
TCapsetForm* CapsetForm = nullptr;
