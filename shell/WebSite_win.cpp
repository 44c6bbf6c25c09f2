// The main form's side of the update notice and the web links: one Winsock
// transport and one page slot shared with the worker threads (which are let
// go and may outlive the form, so they hold their own references), the host
// probe started by the first link of a run, the fetch thread of the first
// show, the verified notice offered at close, and the reopen of the last page
// when the probe moved the site to the second host.
#include "MainForm_win.h"

#include <shellapi.h>

#include "SysUtils.h"

namespace {
void ensureWebSite(TMainForm& f) {
  if (f.siteLinks) return;
  const UpdateConfig& config = defaultUpdateConfig();
  f.siteTransport = std::make_shared<WinsockTransport>(config);
  f.siteLinks = std::make_shared<SiteLinks>(config, f.siteTransport,
                                            std::make_shared<WindowSiteEvents>(f.Handle()));
  f.updatePageBuffer = std::make_shared<UpdatePageSlot>();
}
}  // namespace

AnsiString TMainForm::siteUrl() {
  ensureWebSite(*this);
  std::string url = siteLinks->siteUrl();
  siteHostIndex = siteLinks->siteHostIndex();
  return AnsiString(url.c_str());
}

AnsiString TMainForm::webPageUrl(const char* path) {
  siteBase = path;
  return siteUrl() + siteBase;
}

void TMainForm::startUpdateNotice() {
  ensureWebSite(*this);
  updateinfothread::start(defaultUpdateConfig(), siteTransport, updatePageBuffer);
}

void TMainForm::checkUpdateNotice() {
  // Nothing was fetched when the notice was switched on during this run.
  if (!updatePageBuffer) return;
  WindowUserShell shell(Handle());
  ::checkUpdateNotice(*updatePageBuffer, defaultUpdateConfig(), shell);
}

void TMainForm::wmReopenWebPage(TMessage& m) {
  AnsiString url = siteUrl() + siteBase;
  ShellExecuteW(Handle(), L"Open", Cp936ToWide(url).c_str(), L"", L"", SW_SHOWNORMAL);
}
