// Test doubles of the update seams: a scripted transport that records the
// requests made, a shell that records the question and the addresses opened,
// and an event sink counting host switches. Thread-safe where the code under
// test calls them from its worker threads.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "SiteLinks.h"
#include "UpdateNotice.h"

struct FakeReply {
  int rc;             // kSiteAnswered or a transport failure code
  std::string bytes;  // what the one receive gets
  int received = -2;  // -2: the length of bytes
};

class FakeTransport : public SiteTransport {
public:
  // Replies for host + page, used in turn; once used up the last repeats.
  void script(const std::string& host, const std::string& page, std::vector<FakeReply> replies) {
    std::lock_guard<std::mutex> lock(mutex_);
    replies_[host + page] = std::deque<FakeReply>(replies.begin(), replies.end());
  }
  std::vector<std::string> calls() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return calls_;
  }
  int request(const std::string& host, const std::string& page, char* buffer, std::size_t capacity,
              int& received) override {
    std::lock_guard<std::mutex> lock(mutex_);
    calls_.push_back(host + page);
    auto it = replies_.find(host + page);
    FakeReply reply{kSiteNoConnect, ""};
    if (it != replies_.end() && !it->second.empty()) {
      reply = it->second.front();
      if (it->second.size() > 1) it->second.pop_front();
    }
    if (reply.rc != kSiteAnswered) return reply.rc;
    std::size_t n = std::min(reply.bytes.size(), capacity);
    std::memcpy(buffer, reply.bytes.data(), n);
    received = reply.received == -2 ? int(n) : reply.received;
    return kSiteAnswered;
  }

private:
  mutable std::mutex mutex_;
  std::map<std::string, std::deque<FakeReply>> replies_;
  std::vector<std::string> calls_;
};

class FakeShell : public UserShell {
public:
  explicit FakeShell(bool answer = true) : answer_(answer) {}
  bool askOkCancel(const std::string& caption, const std::string& text) override {
    captions.push_back(caption);
    questions.push_back(text);
    return answer_;
  }
  void openUrl(const std::string& url) override { opened.push_back(url); }

  std::vector<std::string> captions, questions, opened;

private:
  bool answer_;
};

class CountingEvents : public SiteEvents {
public:
  void hostSwitched() override { ++switches; }
  std::atomic<int> switches{0};
};
