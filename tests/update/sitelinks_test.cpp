// The web host choice and the page links, with a scripted transport: which
// hosts are probed in which order, when the site moves to the second host,
// and which addresses the links and the reopen give.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "FakeSite.h"
#include "SiteLinks.h"

namespace {

const char kFirst[] = "one.example";
const char kSecond[] = "two.example";
const std::string kFirstProbe = std::string(kFirst) + "/lj.htm";
const std::string kSecondProbe = std::string(kSecond) + "/cn/bfbj.htm";

UpdateConfig testConfig() {
  UpdateConfig c;
  c.firstHost = kFirst;
  c.secondHost = kSecond;
  return c;
}

FakeReply up() { return {kSiteAnswered, "HTTP/1.1 200 OK\r\n\r\n<p>0123456789</p>"}; }
FakeReply down() { return {kSiteNoConnect, ""}; }

TEST(ProbeReply, MarkerRules) {
  struct { std::string bytes; int received; int expect; } cases[] = {
      {"xx0123456789yy", 14, kSiteAnswered},
      {"0123456789", 10, kSiteAnswered},
      {"9876543210", 10, kSiteNoMarker},              // the digits in another order
      {"01234", 5, kSiteNoMarker},                    // the rest would come in a later receive
      {std::string("ab\0" "0123456789", 13), 13, kSiteNoMarker},  // after a NUL
      {"", 0, kSiteEmptyReply},
      {"0123456789", -1, kSiteEmptyReply},            // a failed or timed-out receive
  };
  for (const auto& c : cases) {
    FakeTransport t;
    t.script("h", "/p", {{kSiteAnswered, c.bytes, c.received}});
    EXPECT_EQ(probeHost(t, "h", "/p"), c.expect) << c.bytes;
  }
  FakeTransport refused;
  EXPECT_EQ(probeHost(refused, "h", "/p"), kSiteNoConnect);
}

TEST(HostChoice, DecisionTable) {
  struct Case {
    const char* name;
    std::vector<FakeReply> second, first;
    bool switched;
    std::vector<std::string> calls;
  } cases[] = {
      {"first answers", {up()}, {up()}, false, {kSecondProbe, kFirstProbe}},
      {"second down: first never probed", {down()}, {down()}, false, {kSecondProbe}},
      {"first fails twice", {up()}, {down()}, true, {kSecondProbe, kFirstProbe, kFirstProbe}},
      {"first answers at the second try", {up()}, {down(), up()}, false,
       {kSecondProbe, kFirstProbe, kFirstProbe}},
      {"first answers without the marker", {up()}, {{kSiteAnswered, "HTTP/1.1 404"}}, true,
       {kSecondProbe, kFirstProbe, kFirstProbe}},
  };
  for (const Case& c : cases) {
    FakeTransport t;
    t.script(kSecond, "/cn/bfbj.htm", c.second);
    t.script(kFirst, "/lj.htm", c.first);
    auto events = std::make_shared<CountingEvents>();
    SiteProbeState state;
    state.config = testConfig();
    state.transport = std::shared_ptr<SiteTransport>(&t, [](SiteTransport*) {});
    state.events = events;
    EXPECT_EQ(chooseSiteHost(state), c.switched) << c.name;
    EXPECT_EQ(state.siteHostIndex.load(), c.switched ? 1 : 0) << c.name;
    EXPECT_EQ(events->switches.load(), c.switched ? 1 : 0) << c.name;
    EXPECT_EQ(t.calls(), c.calls) << c.name;
  }
}

struct Links {
  std::shared_ptr<FakeTransport> transport = std::make_shared<FakeTransport>();
  std::shared_ptr<CountingEvents> events = std::make_shared<CountingEvents>();
  SiteLinks links{testConfig(), transport, events};
};

TEST(SiteLinks, SwitchReopensLastPageOnSecondHost) {
  Links l;
  l.transport->script(kSecond, "/cn/bfbj.htm", {up()});
  EXPECT_EQ(l.links.siteHostIndex(), -1);
  // The first link opens at once on the first host while the probe runs.
  EXPECT_EQ(l.links.proPageUrl(), "http://one.example/pro");
  ASSERT_TRUE(l.links.waitForProbe(10000));
  EXPECT_EQ(l.events->switches.load(), 1);
  EXPECT_EQ(l.links.reopenUrl(), "http://two.example/cn/pro");
  // Later links go to the second host directly and probe no more.
  EXPECT_EQ(l.links.siteUrl(), "http://two.example/cn");
  EXPECT_EQ(l.links.encryptToolPageUrl(), "http://two.example/cn/jmtool.htm");
  EXPECT_EQ(l.transport->calls().size(), 3u);
}

TEST(SiteLinks, HomePageLeavesBaseAndProbesOnce) {
  Links l;
  l.transport->script(kSecond, "/cn/bfbj.htm", {up()});
  l.transport->script(kFirst, "/lj.htm", {up()});
  EXPECT_EQ(l.links.siteUrl(), "http://one.example");
  EXPECT_EQ(l.links.siteUrl(), "http://one.example");
  ASSERT_TRUE(l.links.waitForProbe(10000));
  EXPECT_EQ(l.links.siteBase(), "");
  EXPECT_EQ(l.links.reopenUrl(), "http://one.example");
  EXPECT_EQ(l.links.siteHostIndex(), 0);
  EXPECT_EQ(l.events->switches.load(), 0);
  EXPECT_EQ(l.transport->calls(), (std::vector<std::string>{kSecondProbe, kFirstProbe}));
}

TEST(SiteLinks, RequestText) {
  EXPECT_EQ(siteRequestText("www.a.cn", "/cn/sj.htm"),
            "GET http://www.a.cn/cn/sj.htm HTTP/1.1\r\nHost:www.a.cn\r\n\r\n");
}

}  // namespace
