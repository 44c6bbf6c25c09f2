// The signed update notice: check value, the table of accepted and refused
// pages signed with the test key of make_cases.py, the question and the page
// it opens, and the hand-over of the fetched page from the fetch thread.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "FakeSite.h"
#include "LargeInt.h"
#include "UpdateNotice.h"

#include "update_cases.inc"

namespace {

const char kQuestionText[] =
    "现在本软件已经有更新的版本发布了,要访问本软件网站查看具体升级信息吗?(如果要取消升级通知功能,"
    "可以去掉主菜单 帮助 下的 自动获取新版本升级通知 的选中)";

UpdateConfig testConfig() {
  UpdateConfig c;
  c.firstHost = "first.example";
  c.secondHost = "second.example";
  c.modulusHex = kTestModulusHex;
  return c;
}

// What the fetch leaves: a zero-filled receive buffer of 10000 bytes.
std::vector<char> receiveBuffer(const std::string& bytes) {
  std::vector<char> buffer(kSiteReplyMax, 0);
  std::memcpy(buffer.data(), bytes.data(), std::min(bytes.size(), buffer.size()));
  return buffer;
}

NoticeVerdict checkWith(const std::vector<char>& buffer, FakeShell& shell,
                        const UpdateConfig& config = testConfig()) {
  UpdatePageSlot slot;
  slot.put(buffer);
  return checkUpdateNotice(slot, config, shell);
}

TEST(NoticeHelpers, CheckValueDigitsAndHex) {
  struct { const char* data; uint16_t crc; } crcs[] = {
      {"abc", 0xBDC6}, {"", 0x2010}, {"123456789", 0x31C3 ^ 0x2010}};  // XMODEM ^ 0x2010
  for (const auto& c : crcs)
    EXPECT_EQ(noticeCrc16(reinterpret_cast<const uint8_t*>(c.data), std::strlen(c.data)), c.crc)
        << c.data;
  EXPECT_EQ(keepDigits("a1 b2\r\n3-x4"), "1234");
  uint8_t bytes[2] = {0, 0};
  hexToBytes("0A9FC", bytes, 5);  // the odd last character is dropped
  EXPECT_EQ(bytes[0], 0x0A);
  EXPECT_EQ(bytes[1], 0x9F);
}

TEST(NoticeCheck, SignedPageTable) {
  for (const NoticeCase& c : kNoticeCases) {
    FakeShell shell;
    EXPECT_EQ(checkWith(receiveBuffer(c.page), shell), c.expect) << c.name;
    if (c.expect == NoticeVerdict::Offer) {
      ASSERT_EQ(shell.questions.size(), 1u) << c.name;
      EXPECT_EQ(shell.captions[0], "Vidorra");
      EXPECT_EQ(shell.questions[0], kQuestionText);
      EXPECT_EQ(shell.opened, std::vector<std::string>{"http://second.example/cn/lxsj.htm"});
    } else {
      EXPECT_TRUE(shell.questions.empty() && shell.opened.empty()) << c.name;
    }
  }
}

TEST(NoticeCheck, TextEndsAtFirstNulOrBufferEnd) {
  const std::string valid = kNoticeCases[0].page;
  ASSERT_EQ(kNoticeCases[0].expect, NoticeVerdict::Offer);
  struct Case { const char* name; std::vector<char> buffer; NoticeVerdict expect; };
  std::vector<Case> cases;
  std::vector<char> full = receiveBuffer(valid);
  std::fill(full.begin() + valid.size(), full.end(), ' ');  // a reply filling the buffer, no NUL
  cases.push_back({"buffer full without NUL", full, NoticeVerdict::TooLong});
  std::string cut = valid;
  cut[cut.find("[DATA1]") - 1] = '\0';
  cases.push_back({"NUL before the block", receiveBuffer(cut), NoticeVerdict::NoMarkers});
  cases.push_back({"first byte NUL", receiveBuffer(std::string(1, '\0') + valid), NoticeVerdict::NoPage});
  cases.push_back({"nothing received", receiveBuffer(""), NoticeVerdict::NoPage});
  for (const Case& c : cases) {
    FakeShell shell;
    EXPECT_EQ(checkWith(c.buffer, shell), c.expect) << c.name;
    EXPECT_TRUE(shell.questions.empty()) << c.name;
  }
}

TEST(NoticeCheck, CancelOpensNothingAndBadKeyIsSilent) {
  FakeShell cancel(false);
  EXPECT_EQ(checkWith(receiveBuffer(kNoticeCases[0].page), cancel), NoticeVerdict::Offer);
  EXPECT_EQ(cancel.questions.size(), 1u);
  EXPECT_TRUE(cancel.opened.empty());

  UpdateConfig noKey = testConfig();
  noKey.modulusHex.clear();  // an unusable modulus is an error result, not an exit
  FakeShell shell;
  EXPECT_EQ(checkWith(receiveBuffer(kNoticeCases[0].page), shell, noKey), NoticeVerdict::Failed);
  EXPECT_TRUE(shell.questions.empty());

  UpdatePageSlot empty;
  EXPECT_EQ(checkUpdateNotice(empty, testConfig(), shell), NoticeVerdict::NoPage);
}

TEST(NoticeConfig, ProgramKeyIsUsable) {
  const UpdateConfig& c = defaultUpdateConfig();
  ASSERT_EQ(c.modulusHex.size(), 128u);
  EXPECT_EQ(c.modulusHex.find_first_not_of("0123456789ABCDEF"), std::string::npos);
  EXPECT_GE(c.modulusHex[0], '8') << "a 512-bit modulus has its top bit set";
  EXPECT_FALSE(c.firstHost.empty() || c.secondHost.empty());
  EXPECT_EQ(c.port, 80);
}

TEST(NoticeFetch, HandsOverOnlyAfterTheReceive) {
  const UpdateConfig config = testConfig();
  for (int failure : {kSiteNoSocket, kSiteNoName, kSiteNoConnect, kSiteSendFailed}) {
    FakeTransport transport;
    transport.script("second.example", "/cn/sj.htm", {{failure, ""}});
    UpdatePageSlot slot;
    EXPECT_EQ(fetchUpdatePage(config, transport, slot), failure);
    EXPECT_EQ(slot.page(), nullptr) << failure;
  }

  // A receive that failed or timed out still hands over the zero buffer.
  FakeTransport silent;
  silent.script("second.example", "/cn/sj.htm", {{kSiteAnswered, "", -1}});
  UpdatePageSlot slot;
  EXPECT_EQ(fetchUpdatePage(config, silent, slot), kSiteAnswered);
  ASSERT_NE(slot.page(), nullptr);
  EXPECT_EQ(*slot.page(), std::vector<char>(kSiteReplyMax, 0));

  auto transport = std::make_shared<FakeTransport>();
  transport->script("second.example", "/cn/sj.htm", {{kSiteAnswered, kNoticeCases[0].page}});
  auto shared = std::make_shared<UpdatePageSlot>();
  ASSERT_TRUE(updateinfothread::start(config, transport, shared).wait(10000));
  EXPECT_EQ(transport->calls(), std::vector<std::string>{"second.example/cn/sj.htm"});
  FakeShell shell;
  EXPECT_EQ(checkUpdateNotice(*shared, config, shell), NoticeVerdict::Offer);
}

}  // namespace
