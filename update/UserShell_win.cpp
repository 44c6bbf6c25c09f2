// The question box and the shell of the update notice and the web links.
#include "UpdateWin.h"

#include <shellapi.h>

#include "SysUtils.h"

bool WindowUserShell::askOkCancel(const std::string& caption, const std::string& text) {
  return MessageBoxW(owner_, Cp936ToWide(text).c_str(), Cp936ToWide(caption).c_str(),
                     MB_OKCANCEL) == IDOK;
}

void WindowUserShell::openUrl(const std::string& url) {
  // The shell's result is not looked at: nothing useful can be done with it.
  ShellExecuteW(owner_, L"Open", Cp936ToWide(url).c_str(), L"", L"", SW_SHOWNORMAL);
}
