// The update requests over real Winsock under Wine, against a listener of the
// test's own on 127.0.0.1: the exact request bytes, the host choice with an
// unreachable first host (127.0.0.2, where nothing listens), the switch
// message reaching a window, the update page fetched by its thread and
// offered only when its notice is valid, and the bound on a silent host.
// The port is the listener's (config.port); the request text never names it.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "FakeSite.h"
#include "UpdateWin.h"

#include "update_cases.inc"

namespace {

const char kSilent[] = "<silent>";  // accept, read the request, never answer

// A one-connection-at-a-time HTTP listener with scripted replies per path.
class LocalSite {
public:
  LocalSite() {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
    listener_ = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = inet_addr("127.0.0.1");
    addr.sin_port = 0;
    bind(listener_, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    int len = sizeof addr;
    getsockname(listener_, reinterpret_cast<sockaddr*>(&addr), &len);
    port_ = ntohs(addr.sin_port);
    listen(listener_, 8);
    thread_ = std::thread([this] { loop(); });
  }
  ~LocalSite() {
    stop_ = true;
    thread_.join();
    for (SOCKET s : held_) closesocket(s);
    closesocket(listener_);
    WSACleanup();
  }
  unsigned short port() const { return port_; }
  void serve(const std::string& path, const std::string& reply) {
    std::lock_guard<std::mutex> lock(mutex_);
    replies_[path] = reply;
  }
  std::vector<std::string> requests() {
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
  }

private:
  void loop() {
    while (!stop_) {
      fd_set readable;
      FD_ZERO(&readable);
      FD_SET(listener_, &readable);
      timeval tv{0, 20000};
      if (select(0, &readable, nullptr, nullptr, &tv) != 1) continue;
      SOCKET s = accept(listener_, nullptr, nullptr);
      if (s == INVALID_SOCKET) continue;
      answer(s);
    }
  }
  void answer(SOCKET s) {
    std::string request;
    char chunk[512];
    DWORD timeout = 2000;
    setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout), sizeof timeout);
    while (request.find("\r\n\r\n") == std::string::npos && request.size() < 4096) {
      int n = recv(s, chunk, sizeof chunk, 0);
      if (n <= 0) break;
      request.append(chunk, std::size_t(n));
    }
    // "GET http://host/path HTTP/1.1": the path starts at the first '/' after the host.
    std::string path;
    std::size_t start = request.find('/', std::strlen("GET http://"));
    std::size_t end = request.find(' ', std::strlen("GET "));
    if (start != std::string::npos && end != std::string::npos && start < end)
      path = request.substr(start, end - start);
    std::string reply;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      requests_.push_back(request);
      auto it = replies_.find(path);
      if (it != replies_.end()) reply = it->second;
    }
    if (reply == kSilent) {
      held_.push_back(s);
      return;
    }
    if (!reply.empty()) send(s, reply.data(), int(reply.size()), 0);
    shutdown(s, SD_SEND);
    closesocket(s);
  }

  SOCKET listener_;
  unsigned short port_ = 0;
  std::thread thread_;
  std::atomic<bool> stop_{false};
  std::mutex mutex_;
  std::map<std::string, std::string> replies_;
  std::vector<std::string> requests_;
  std::vector<SOCKET> held_;
};

const std::string kMarkerPage = "HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\n0123456789";

UpdateConfig localConfig(unsigned short port, const char* first, const char* second) {
  UpdateConfig c;
  c.firstHost = first;
  c.secondHost = second;
  c.port = port;
  c.modulusHex = kTestModulusHex;
  c.connectTimeoutMs = 2000;
  c.receiveTimeoutMs = 2000;
  return c;
}

// A message-only window that receives the switch message.
struct SwitchWindow {
  HWND hwnd = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                              GetModuleHandleW(nullptr), nullptr);
  ~SwitchWindow() { DestroyWindow(hwnd); }
  int switchesPosted() {
    int count = 0;
    MSG msg;
    while (PeekMessageW(&msg, hwnd, WM_HOST_SWITCHED, WM_HOST_SWITCHED, PM_REMOVE)) {
      EXPECT_EQ(msg.wParam, 0u);
      EXPECT_EQ(msg.lParam, 0);
      ++count;
    }
    return count;
  }
};

TEST(SiteOverWinsock, SwitchesWhenOnlySecondHostAnswers) {
  LocalSite site;
  site.serve("/cn/bfbj.htm", kMarkerPage);
  const UpdateConfig config = localConfig(site.port(), "127.0.0.2", "127.0.0.1");
  auto transport = std::make_shared<WinsockTransport>(config);
  EXPECT_EQ(probeHost(*transport, "127.0.0.2", "/lj.htm"), kSiteNoConnect)
      << "nothing may answer on 127.0.0.2 for this test to mean anything";

  SwitchWindow window;
  ASSERT_NE(window.hwnd, nullptr);
  SiteLinks links(config, transport, std::make_shared<WindowSiteEvents>(window.hwnd));
  EXPECT_EQ(links.proPageUrl(), "http://127.0.0.2/pro");
  ASSERT_TRUE(links.waitForProbe(20000));
  EXPECT_EQ(window.switchesPosted(), 1);
  EXPECT_EQ(links.reopenUrl(), "http://127.0.0.1/cn/pro");
  EXPECT_EQ(site.requests(), std::vector<std::string>{
                                 "GET http://127.0.0.1/cn/bfbj.htm HTTP/1.1\r\nHost:127.0.0.1\r\n\r\n"});
}

TEST(SiteOverWinsock, FirstHostAnsweringStays) {
  LocalSite site;
  site.serve("/cn/bfbj.htm", kMarkerPage);
  site.serve("/lj.htm", "HTTP/1.1 200 OK\r\n\r\n<b>0123456789</b>");
  const UpdateConfig config = localConfig(site.port(), "127.0.0.1", "127.0.0.1");
  SwitchWindow window;
  SiteLinks links(config, std::make_shared<WinsockTransport>(config),
                  std::make_shared<WindowSiteEvents>(window.hwnd));
  EXPECT_EQ(links.siteUrl(), "http://127.0.0.1");
  ASSERT_TRUE(links.waitForProbe(20000));
  EXPECT_EQ(links.siteHostIndex(), 0);
  EXPECT_EQ(window.switchesPosted(), 0);
  EXPECT_EQ(site.requests(),
            (std::vector<std::string>{
                "GET http://127.0.0.1/cn/bfbj.htm HTTP/1.1\r\nHost:127.0.0.1\r\n\r\n",
                "GET http://127.0.0.1/lj.htm HTTP/1.1\r\nHost:127.0.0.1\r\n\r\n"}));
}

TEST(SiteOverWinsock, UpdatePageOfferedOnlyForValidNotices) {
  int checked = 0;
  for (const NoticeCase& c : kNoticeCases) {
    if (std::strlen(c.page) > 1000) continue;  // one receive: keep the replies small
    LocalSite site;
    site.serve("/cn/sj.htm", c.page);
    const UpdateConfig config = localConfig(site.port(), "127.0.0.2", "127.0.0.1");
    auto slot = std::make_shared<UpdatePageSlot>();
    ASSERT_TRUE(updateinfothread::start(config, std::make_shared<WinsockTransport>(config), slot)
                    .wait(20000));
    FakeShell shell;
    EXPECT_EQ(checkUpdateNotice(*slot, config, shell), c.expect) << c.name;
    const bool offered = c.expect == NoticeVerdict::Offer;
    EXPECT_EQ(shell.questions.size(), offered ? 1u : 0u) << c.name;
    EXPECT_EQ(shell.opened, offered ? std::vector<std::string>{"http://127.0.0.1/cn/lxsj.htm"}
                                    : std::vector<std::string>{})
        << c.name;
    EXPECT_EQ(site.requests(), std::vector<std::string>{
                                   "GET http://127.0.0.1/cn/sj.htm HTTP/1.1\r\nHost:127.0.0.1\r\n\r\n"});
    ++checked;
  }
  EXPECT_GT(checked, 10);
}

TEST(SiteOverWinsock, SilentHostIsBounded) {
  LocalSite site;
  site.serve("/cn/bfbj.htm", kSilent);
  site.serve("/cn/sj.htm", kSilent);
  UpdateConfig config = localConfig(site.port(), "127.0.0.2", "127.0.0.1");
  config.receiveTimeoutMs = 300;
  WinsockTransport transport(config);
  auto t0 = std::chrono::steady_clock::now();
  EXPECT_EQ(probeHost(transport, "127.0.0.1", "/cn/bfbj.htm"), kSiteEmptyReply);
  UpdatePageSlot slot;
  EXPECT_EQ(fetchUpdatePage(config, transport, slot), kSiteAnswered);
  auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t0);
  EXPECT_LT(ms.count(), 5000);
  FakeShell shell;
  EXPECT_EQ(checkUpdateNotice(slot, config, shell), NoticeVerdict::NoPage);
}

}  // namespace
