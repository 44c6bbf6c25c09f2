// One plain HTTP request to the web site, as the host probe and the update
// page fetch make it: the exact request text, the one-receive transport seam
// (Winsock on Windows, a fake in tests), and the probe of one host with its
// result codes. Portable; the Winsock transport lives in SiteTransport_win.cpp.
#pragma once

#include <cstddef>
#include <string>

// Result codes of a probe or fetch; the transport returns the first four.
enum SiteResult {
  kSiteAnswered = 1,
  kSiteNoSocket = -1,
  kSiteNoName = -2,
  kSiteNoConnect = -3,
  kSiteSendFailed = -4,
  kSiteEmptyReply = -5,
  kSiteNoMarker = -6,
};

// Receive limit of one request: the reply is the bytes of one receive call.
constexpr std::size_t kSiteReplyMax = 10000;

// The marker a probe page must contain, anywhere before its first NUL.
constexpr const char kProbeMarker[] = "0123456789";

// "GET http://<host><page> HTTP/1.1\r\nHost:<host>\r\n\r\n": the absolute
// address in the request line, no blank after "Host:", no other header.
std::string siteRequestText(const std::string& host, const std::string& page);

class SiteTransport {
public:
  virtual ~SiteTransport() = default;
  // Sends the site request for page to host and receives once into buffer
  // (capacity bytes, which the caller has zero-filled). Returns kSiteAnswered
  // with received set to the receive call's result (0 or less when the host
  // closed, failed or did not answer in time), or kSiteNoSocket..kSiteSendFailed.
  // Must be callable from any thread.
  virtual int request(const std::string& host, const std::string& page, char* buffer,
                      std::size_t capacity, int& received) = 0;
};

// True when the first received bytes, up to the first NUL among them, hold
// the marker.
bool replyHasMarker(const char* bytes, std::size_t received);

// One probe: kSiteAnswered when the host answered with the marker, otherwise
// a negative code.
int probeHost(SiteTransport& transport, const std::string& host, const std::string& page);
