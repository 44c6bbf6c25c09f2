// The site request text and the probe of one host (see SiteRequest.h).
#include "SiteRequest.h"

#include <cstring>
#include <vector>

std::string siteRequestText(const std::string& host, const std::string& page) {
  return "GET http://" + host + page + " HTTP/1.1\r\nHost:" + host + "\r\n\r\n";
}

bool replyHasMarker(const char* bytes, std::size_t received) {
  const void* nul = std::memchr(bytes, '\0', received);
  std::size_t len = nul ? std::size_t(static_cast<const char*>(nul) - bytes) : received;
  return std::string(bytes, len).find(kProbeMarker) != std::string::npos;
}

int probeHost(SiteTransport& transport, const std::string& host, const std::string& page) {
  std::vector<char> buffer(kSiteReplyMax, 0);
  int received = 0;
  int rc = transport.request(host, page, buffer.data(), buffer.size(), received);
  if (rc != kSiteAnswered) return rc;
  if (received <= 0) return kSiteEmptyReply;
  std::size_t n = std::size_t(received) < buffer.size() ? std::size_t(received) : buffer.size();
  return replyHasMarker(buffer.data(), n) ? kSiteAnswered : kSiteNoMarker;
}
