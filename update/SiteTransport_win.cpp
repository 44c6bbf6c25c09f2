// Winsock transport of the site requests: one connection, one send, one
// receive. Connect and receive are bounded so that a host that never accepts,
// or accepts and never answers, cannot hold a worker thread forever.
#include "UpdateWin.h"

#include <cstdint>
#include <cstring>

namespace {

// Connects with a time-out: non-blocking connect, wait for writability, then
// back to blocking mode for the send and the receive.
bool connectWithin(SOCKET s, const sockaddr_in& addr, int timeoutMs) {
  u_long nonBlocking = 1;
  if (ioctlsocket(s, FIONBIO, &nonBlocking) != 0) return false;
  int rc = connect(s, reinterpret_cast<const sockaddr*>(&addr), sizeof addr);
  if (rc == SOCKET_ERROR) {
    if (WSAGetLastError() != WSAEWOULDBLOCK) return false;
    fd_set writable, failed;
    FD_ZERO(&writable);
    FD_ZERO(&failed);
    FD_SET(s, &writable);
    FD_SET(s, &failed);
    timeval tv{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
    if (select(0, nullptr, &writable, &failed, &tv) != 1 || !FD_ISSET(s, &writable)) return false;
    int error = 0;
    int len = sizeof error;
    if (getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &len) != 0 || error)
      return false;
  }
  u_long blocking = 0;
  return ioctlsocket(s, FIONBIO, &blocking) == 0;
}

}  // namespace

WinsockTransport::WinsockTransport(const UpdateConfig& config)
    : port_(config.port),
      connectTimeoutMs_(config.connectTimeoutMs),
      receiveTimeoutMs_(config.receiveTimeoutMs) {
  WSADATA data;
  started_ = WSAStartup(MAKEWORD(2, 2), &data) == 0;
}

WinsockTransport::~WinsockTransport() {
  if (started_) WSACleanup();
}

int WinsockTransport::request(const std::string& host, const std::string& page, char* buffer,
                              std::size_t capacity, int& received) {
  received = 0;
  SOCKET s = socket(AF_INET, SOCK_STREAM, 0);
  if (s == INVALID_SOCKET) return kSiteNoSocket;
  hostent* entry = gethostbyname(host.c_str());
  if (!entry || entry->h_addrtype != AF_INET || !entry->h_addr_list || !entry->h_addr_list[0] ||
      entry->h_length != 4) {
    closesocket(s);
    return kSiteNoName;
  }
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(port_);
  std::memcpy(&addr.sin_addr, entry->h_addr_list[0], 4);
  if (!connectWithin(s, addr, connectTimeoutMs_)) {
    closesocket(s);
    return kSiteNoConnect;
  }
  DWORD sendTimeout = DWORD(connectTimeoutMs_);
  DWORD receiveTimeout = DWORD(receiveTimeoutMs_);
  setsockopt(s, SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&sendTimeout),
             sizeof sendTimeout);
  setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&receiveTimeout),
             sizeof receiveTimeout);
  const std::string text = siteRequestText(host, page);
  if (send(s, text.data(), int(text.size()), 0) == SOCKET_ERROR) {
    closesocket(s);
    return kSiteSendFailed;
  }
  // One receive only: the reply is what arrives first (the probe and the
  // notice check are defined on that), at most the caller's capacity.
  const int limit = capacity > size_t(INT32_MAX) ? INT32_MAX : int(capacity);
  received = recv(s, buffer, limit, 0);
  closesocket(s);
  return kSiteAnswered;
}

void WindowSiteEvents::hostSwitched() {
  PostMessageW(window_, WM_HOST_SWITCHED, 0, 0);
}
