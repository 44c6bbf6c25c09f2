// The Windows side of the update notice: the Winsock transport of the site
// requests, the poster of the host-switch message, and the question box and
// shell behind UserShell. The main form creates these and hands them to
// SiteLinks, updateinfothread and checkUpdateNotice. Windows only.
#pragma once

#include <winsock2.h>
#include <windows.h>

#include "SiteLinks.h"
#include "UpdateNotice.h"

// Posted to the main form when the probe moves the site to the second host.
constexpr UINT WM_HOST_SWITCHED = WM_USER + 23;

// Blocking TCP requests with bounded waits: a connect that does not complete
// within connectTimeoutMs fails as a connect failure, a receive that gets
// nothing within receiveTimeoutMs counts as an empty reply.
class WinsockTransport : public SiteTransport {
public:
  explicit WinsockTransport(const UpdateConfig& config);
  ~WinsockTransport() override;
  int request(const std::string& host, const std::string& page, char* buffer,
              std::size_t capacity, int& received) override;

private:
  unsigned short port_;
  int connectTimeoutMs_;
  int receiveTimeoutMs_;
  bool started_;
};

// Posts WM_HOST_SWITCHED (wParam 0, lParam 0) to a window; safe from any
// thread, and harmless once the window is gone.
class WindowSiteEvents : public SiteEvents {
public:
  explicit WindowSiteEvents(HWND window) : window_(window) {}
  void hostSwitched() override;

private:
  HWND window_;
};

// MessageBox (OK/Cancel) and ShellExecute ("Open", SW_SHOWNORMAL) owned by a
// window; CP936 text converted to UTF-16 for the W functions.
class WindowUserShell : public UserShell {
public:
  explicit WindowUserShell(HWND owner) : owner_(owner) {}
  bool askOkCancel(const std::string& caption, const std::string& text) override;
  void openUrl(const std::string& url) override;

private:
  HWND owner_;
};
