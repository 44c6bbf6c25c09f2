// Host choice and page links (see SiteLinks.h).
#include "SiteLinks.h"

int probeFirstHost(SiteProbeState& s) {
  return probeHost(*s.transport, s.config.firstHost, s.config.firstProbePage);
}

int probeSecondHost(SiteProbeState& s) {
  return probeHost(*s.transport, s.config.secondHost, s.config.secondProbePage);
}

bool chooseSiteHost(SiteProbeState& s) {
  s.siteHostIndex = 0;
  if (probeSecondHost(s) != kSiteAnswered) return false;
  if (probeFirstHost(s) == kSiteAnswered || probeFirstHost(s) == kSiteAnswered) return false;
  s.siteHostIndex = 1;
  if (s.events) s.events->hostSwitched();
  return true;
}

WorkerHandle httpthread::start(std::shared_ptr<SiteProbeState> state) {
  return startWorker([state] { chooseSiteHost(*state); });
}

SiteLinks::SiteLinks(const UpdateConfig& config, std::shared_ptr<SiteTransport> transport,
                     std::shared_ptr<SiteEvents> events)
    : state_(std::make_shared<SiteProbeState>()) {
  state_->config = config;
  state_->transport = std::move(transport);
  state_->events = std::move(events);
}

bool SiteLinks::startHostProbe() {
  int expected = -1;
  // The GUI thread is the only one that leaves -1, so this runs once a run.
  if (!state_->siteHostIndex.compare_exchange_strong(expected, 0)) return false;
  probe_ = httpthread::start(state_);
  return true;
}

std::string SiteLinks::siteUrl() {
  // The call that starts the probe answers with the first host it has just
  // chosen, however fast the probe thread decides: a switch is reported by
  // its own message, which reopens the page on the second host.
  const int index = startHostProbe() ? 0 : state_->siteHostIndex.load();
  switch (index) {
    case 0: return firstSiteBase(state_->config);
    case 1: return secondSiteBase(state_->config);
  }
  return "";
}

std::string SiteLinks::pageUrl(const std::string& path) {
  siteBase_ = path;
  return siteUrl() + siteBase_;
}
