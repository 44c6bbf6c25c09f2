// The portable system helpers: which texts count as numbers, fixed-decimal
// formatting, the time-of-day fraction, and the order of the shutdown steps
// against a recording fake (the test machine is never shut down).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "SystemHelpers.h"

TEST(SystemNumberText, IntegerAndFloatChecks) {
  struct Row {
    const char* text;
    int integer, real;
  };
  const Row rows[] = {
      {"", 0, 0},
      {"0", 1, 1},
      {"42", 1, 1},
      {"-17", 1, 1},
      {" 12 ", 1, 1},
      {"2147483647", 1, 1},
      {"-2147483648", 1, 1},
      {"2147483648", 0, 1},  // past 32 bits, still a float
      {"1.5", 0, 1},
      {"-0.25", 0, 1},
      {".5", 0, 1},
      {"1e3", 0, 1},
      {"1,5", 0, 0},  // '.' is the only decimal separator
      {"12abc", 0, 0},
      {"abc", 0, 0},
      {"1 2", 0, 0},
      {"-", 0, 0},
      {" ", 0, 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string("\"") + row.text + "\"");
    EXPECT_EQ(isIntegerText(row.text), row.integer);
    EXPECT_EQ(isFloatText(row.text), row.real);
  }
}

TEST(SystemNumberText, FormatDecimal) {
  struct Row {
    float value;
    int decimals;
    const char* text;
  };
  const Row rows[] = {
      {2.5f, 2, "2.50"},
      {0.1f * 7, 1, "0.7"},
      {1.0f / 3, 12, "0.3333333433"},  // at most 10 decimals; the float's own digits show
      {-3.75f, 0, "-4"},
      {1234.5f, -1, "1234"},          // no negative precision: as 0 (round half to even)
      {123456789.0f, 1, "123456792.0"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.text);
    EXPECT_EQ(formatDecimal(row.value, row.decimals), AnsiString(row.text));
  }
}

TEST(SystemNumberText, FractionOfADateTimeIsItsTimeOfDay) {
  EXPECT_DOUBLE_EQ(fractionOf(45000.75), 0.75);
  EXPECT_DOUBLE_EQ(fractionOf(0.25), 0.25);
  EXPECT_DOUBLE_EQ(fractionOf(45000.0), 0.0);
}

namespace {

class FakeShutdown : public ShutdownSystem {
public:
  bool nt = true, token = true, lookup = true, enable = true, exitOk = true;
  std::vector<std::string> calls;
  bool isNtPlatform() override { return nt; }
  bool exitWindows(unsigned flags, unsigned reason) override {
    calls.push_back("exit " + std::to_string(flags) + " " + std::to_string(reason));
    return exitOk;
  }
  bool openProcessToken() override { calls.push_back("token"); return token; }
  bool lookupShutdownPrivilege() override { calls.push_back("lookup"); return lookup; }
  bool enableShutdownPrivilege() override { calls.push_back("enable"); return enable; }
  void closeProcessToken() override { calls.push_back("close"); }
};

}  // namespace

TEST(SystemShutdown, StepsAndResults) {
  struct Row {
    const char* what;
    void (*setup)(FakeShutdown&);
    int result;
    std::vector<std::string> calls;
  };
  const Row rows[] = {
      {"NT", [](FakeShutdown&) {}, 1, {"token", "lookup", "enable", "close", "exit 13 0"}},
      {"9x logs off first", [](FakeShutdown& s) { s.nt = false; }, 1, {"exit 0 4294967295", "exit 13 0"}},
      {"no token", [](FakeShutdown& s) { s.token = false; }, -1, {"token"}},
      {"no privilege", [](FakeShutdown& s) { s.lookup = false; }, -2, {"token", "lookup", "close"}},
      {"not granted", [](FakeShutdown& s) { s.enable = false; }, -3, {"token", "lookup", "enable", "close"}},
      {"refused", [](FakeShutdown& s) { s.exitOk = false; }, -4,
       {"token", "lookup", "enable", "close", "exit 13 0"}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    FakeShutdown sys;
    row.setup(sys);
    EXPECT_EQ(shutdownComputer(sys), row.result);
    EXPECT_EQ(sys.calls, row.calls);
  }
}
