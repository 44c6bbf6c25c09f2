// Fetch, hand-over and verification of the signed update notice (see
// UpdateNotice.h). The page is untrusted: every length taken from it is
// bounded before use, and the arithmetic reports errors instead of ending
// the program.
#include "UpdateNotice.h"

#include <cstring>

#include "LargeInt.h"

namespace {

const char kCaption[] = "Vidorra";
const char kQuestion[] =
    "现在本软件已经有更新的版本发布了,要访问本软件网站查看具体升级信息吗?"
    "(如果要取消升级通知功能,可以去掉主菜单 帮助 下的 自动获取新版本升级通知 的选中)";

// A text of this length or more is not taken for a page (it nearly filled
// the receive buffer and is likely cut off).
constexpr std::size_t kPageTextLimit = 9990;
constexpr int kBlockMax = 300;
constexpr std::size_t kNoticeBytes = 60;

}  // namespace

void UpdatePageSlot::put(std::vector<char> buffer) {
  auto page = std::make_shared<const std::vector<char>>(std::move(buffer));
  std::lock_guard<std::mutex> lock(mutex_);
  page_ = std::move(page);
}

std::shared_ptr<const std::vector<char>> UpdatePageSlot::page() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return page_;
}

std::string keepDigits(const std::string& text) {
  std::string digits;
  for (char c : text)
    if (c >= '0' && c <= '9') digits += c;
  return digits;
}

void hexToBytes(const char* hex, uint8_t* bytes, std::size_t count) {
  auto nibble = [](char c) { return uint8_t(c <= '9' ? c - 48 : c - 55); };
  for (std::size_t k = 0; 2 * k + 1 < count; ++k)
    bytes[k] = uint8_t(nibble(hex[2 * k]) << 4 | (nibble(hex[2 * k + 1]) & 15));
}

uint16_t noticeCrc16(const uint8_t* data, std::size_t length) {
  uint16_t reg = 0;
  for (std::size_t i = 0; i < length; ++i) {
    for (int bit = 7; bit >= 0; --bit) {
      bool top = reg & 0x8000;
      reg = uint16_t(reg << 1);
      if (top != bool((data[i] >> bit) & 1)) reg ^= 0x1021;
    }
  }
  return reg ^ 0x2010;
}

NoticeVerdict verifyUpdatePage(const char* buffer, std::size_t size, const UpdateConfig& config) {
  if (!buffer || size == 0 || buffer[0] == '\0') return NoticeVerdict::NoPage;
  const void* nul = std::memchr(buffer, '\0', size);
  const std::string text(buffer, nul ? std::size_t(static_cast<const char*>(nul) - buffer) : size);
  if (text.size() >= kPageTextLimit) return NoticeVerdict::TooLong;

  const std::size_t a = text.find("[DATA1]");
  const std::size_t b = text.find("[EDATA1]");
  if (a == std::string::npos || b == std::string::npos) return NoticeVerdict::NoMarkers;
  const long n = long(b) - long(a) - 7;
  if (n < 1 || n > kBlockMax) return NoticeVerdict::BadBlockSize;

  LargeInt c, modulus, e, m;
  zsread(keepDigits(text.substr(a + 7, std::size_t(n))).c_str(), c);
  zhsread(config.modulusHex.c_str(), modulus);
  zsread(config.publicExponent.c_str(), e);
  if (zexpmod(c, e, modulus, m) != kZOk) return NoticeVerdict::Failed;

  // No padding scheme: the power itself is the notice, 60 bytes written
  // big-endian in hex. 121 digits pass (the last is dropped), 119 do not.
  const std::string h = zhexwrite(m);
  if (h.size() / 2 != kNoticeBytes) return NoticeVerdict::BadLength;
  uint8_t notice[kNoticeBytes];
  hexToBytes(h.c_str(), notice, 2 * kNoticeBytes);

  if (noticeCrc16(notice, 58) != uint16_t(notice[58] | notice[59] << 8))
    return NoticeVerdict::BadCheckValue;
  const uint32_t word = uint32_t(notice[0]) | uint32_t(notice[1]) << 8 |
                        uint32_t(notice[2]) << 16 | uint32_t(notice[3]) << 24;
  const long date = long(word & 0x0FFFFFFFu);  // the high four bits are not part of the date
  if (date <= config.dateAfter || date >= config.dateBefore) return NoticeVerdict::OutOfDateWindow;
  return NoticeVerdict::Offer;
}

int fetchUpdatePage(const UpdateConfig& config, SiteTransport& transport, UpdatePageSlot& slot) {
  std::vector<char> buffer(kSiteReplyMax, 0);
  int received = 0;
  int rc = transport.request(config.secondHost, config.updatePage, buffer.data(), buffer.size(),
                             received);
  if (rc != kSiteAnswered) return rc;
  slot.put(std::move(buffer));
  return kSiteAnswered;
}

WorkerHandle updateinfothread::start(const UpdateConfig& config,
                                     std::shared_ptr<SiteTransport> transport,
                                     std::shared_ptr<UpdatePageSlot> slot) {
  return startWorker([config, transport, slot] { fetchUpdatePage(config, *transport, *slot); });
}

NoticeVerdict checkUpdateNotice(const UpdatePageSlot& slot, const UpdateConfig& config,
                                UserShell& shell) {
  try {
    auto page = slot.page();
    if (!page) return NoticeVerdict::NoPage;
    NoticeVerdict verdict = verifyUpdatePage(page->data(), page->size(), config);
    if (verdict != NoticeVerdict::Offer) return verdict;
    if (shell.askOkCancel(kCaption, kQuestion)) shell.openUrl(upgradeInfoUrl(config));
    return verdict;
  } catch (...) {
    // Whatever goes wrong here must not stop the program from closing.
    return NoticeVerdict::Failed;
  }
}
