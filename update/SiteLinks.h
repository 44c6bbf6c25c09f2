// The web links of the program and the choice of the web host behind them.
// The site is reachable under two host names; links point at the first host
// until the probe thread (httpthread, started by the first link of a run)
// finds the second host answering while the first does not. Then it tells the
// main form (SiteEvents::hostSwitched, WM_USER+23 on Windows) and the form
// reopens the last page on the second host (reopenUrl). Portable.
#pragma once

#include <atomic>
#include <memory>
#include <string>

#include "SiteRequest.h"
#include "UpdateConfig.h"
#include "WorkerThread.h"

// What the probe thread tells the main form; called on the probe thread, so
// an implementation only posts (PostMessage) and returns.
class SiteEvents {
public:
  virtual ~SiteEvents() = default;
  virtual void hostSwitched() = 0;
};

// All a probe needs, owned jointly by the links and the running probe so
// that a probe outliving the main form touches nothing freed.
struct SiteProbeState {
  UpdateConfig config;
  std::shared_ptr<SiteTransport> transport;
  std::shared_ptr<SiteEvents> events;
  // -1 not probed, 0 first host, 1 second host; written by the probe thread,
  // read by the GUI thread.
  std::atomic<int> siteHostIndex{-1};
};

int probeFirstHost(SiteProbeState& state);
int probeSecondHost(SiteProbeState& state);
// The host choice: second host first; when it answers, the first host gets
// two tries; only when both fail does the site move to the second host.
// True when it switched.
bool chooseSiteHost(SiteProbeState& state);

// The probe thread: one host choice, then it ends.
class httpthread {
public:
  static WorkerHandle start(std::shared_ptr<SiteProbeState> state);
};

class SiteLinks {
public:
  SiteLinks(const UpdateConfig& config, std::shared_ptr<SiteTransport> transport,
            std::shared_ptr<SiteEvents> events);

  // The base address of the host in use ("" before any choice is possible);
  // starts the probe the first time.
  std::string siteUrl();
  // Starts the probe thread on the first call; true for that call.
  bool startHostProbe();
  // Page links: remember the path for a reopen, then base + path.
  std::string proPageUrl() { return pageUrl(state_->config.proPage); }
  std::string encryptToolPageUrl() { return pageUrl(state_->config.encryptToolPage); }
  std::string pageUrl(const std::string& path);
  // What the main form opens on WM_USER+23: the base address and the last path.
  std::string reopenUrl() { return siteUrl() + siteBase_; }

  int siteHostIndex() const { return state_->siteHostIndex.load(); }
  const std::string& siteBase() const { return siteBase_; }
  // Waits for a started probe to end (tests); true when none runs.
  bool waitForProbe(int ms) const { return probe_.wait(ms); }

private:
  std::shared_ptr<SiteProbeState> state_;
  std::string siteBase_;
  WorkerHandle probe_;
};
