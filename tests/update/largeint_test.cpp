// The large-integer package against Python's integers (update_cases.inc, made
// by make_cases.py) and against its text rules and error contract.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "LargeInt.h"
#include "UpdateNotice.h"

#include "update_cases.inc"

namespace {

LargeInt dec(const char* text) {
  LargeInt v;
  EXPECT_EQ(zsread(text, v), 1) << text;
  return v;
}

TEST(LargeIntText, DecimalReadRules) {
  const std::string zeros2047(2047, '0');
  struct Case { std::string text; int ret; const char* hex; } cases[] = {
      {"65537", 1, "10001"},
      {"-12", 1, "-C"},
      {"_12", 1, "-C"},
      {"  \t42 99", 1, "2A"},          // first word only
      {"\r\n000255\n", 1, "FF"},
      {"-0", 1, "0"},
      {"12a4", 0, "4B4"},              // a non-digit counts as 0 and is reported
      {"0x10", 0, "A"},
      {zeros2047 + "77", 1, "0"},      // the word is cut at 2047 characters
      {zeros2047.substr(1) + "17", 1, "1"},
  };
  for (const Case& c : cases) {
    LargeInt v;
    EXPECT_EQ(zsread(c.text.c_str(), v), c.ret) << c.text;
    EXPECT_TRUE(v.isSet());
    EXPECT_EQ(zhexwrite(v), c.hex) << c.text;
  }
}

TEST(LargeIntText, NoWordLeavesTargetAsItWas) {
  for (const char* text : {"", "   ", "\t\r\n"}) {
    LargeInt unset;
    EXPECT_EQ(zsread(text, unset), 0);
    EXPECT_FALSE(unset.isSet());
    LargeInt seven = LargeInt::fromInt(7);
    zhsread(text, seven);
    EXPECT_EQ(zhexwrite(seven), "7");
  }
  LargeInt untouched;
  EXPECT_EQ(zsread(nullptr, untouched), 0) << "a null text is no word";
}

TEST(LargeIntText, HexReadRules) {
  struct Case { const char* text; const char* hex; } cases[] = {
      {"ff", "FF"}, {"FF", "FF"}, {"-ff", "-FF"}, {"_1", "-1"}, {"-0", "0"},
      {"fg", "F0"},  // any other character is the digit 0
      {"  a  b", "A"}, {"0000000000000000001", "1"}, {"0A0B", "A0B"},
      {"123456789abcdefABCDEF", "123456789ABCDEFABCDEF"},
  };
  for (const Case& c : cases) {
    LargeInt v;
    zhsread(c.text, v);
    EXPECT_EQ(zhexwrite(v), c.hex) << c.text;
  }
}

TEST(LargeIntText, ReadsAgreeWithPython) {
  for (const TextCase& c : kDecimalCases) EXPECT_EQ(zhexwrite(dec(c.text)), c.hex) << c.text;
  for (const TextCase& c : kHexCases) {
    LargeInt v;
    zhsread(c.text, v);
    EXPECT_EQ(zhexwrite(v), c.hex) << c.text;
  }
}

TEST(LargeIntText, WriteIntoBufferChecksRoom) {
  LargeInt v;
  zhsread("ABCDEF", v);
  char buf[8];
  ASSERT_TRUE(zhexwrite(buf, 7, v));
  EXPECT_STREQ(buf, "ABCDEF");
  EXPECT_FALSE(zhexwrite(buf, 6, v));
  EXPECT_STREQ(buf, "") << "a text that does not fit leaves the buffer empty";
}

TEST(LargeIntExpMod, AgreesWithPython) {
  for (const ExpModCase& c : kExpModCases) {
    LargeInt r;
    ASSERT_EQ(zexpmod(dec(c.base), dec(c.exponent), dec(c.modulus), r), kZOk) << c.modulus;
    EXPECT_EQ(zhexwrite(r), c.hex) << c.base << " ^ " << c.exponent << " mod " << c.modulus;
  }
}

TEST(LargeIntExpMod, Contract) {
  LargeInt n;
  zhsread(kTestModulusHex, n);
  LargeInt e = dec("65537"), unset, r;

  LargeInt nPlus2, two = dec("2"), viaTwo;
  nPlus2.assign(lip::add(n.limbs(), {2}), false);
  ASSERT_EQ(zexpmod(nPlus2, e, n, r), kZOk);
  ASSERT_EQ(zexpmod(two, e, n, viaTwo), kZOk);
  EXPECT_EQ(zhexwrite(r), zhexwrite(viaTwo)) << "the base is reduced first";

  ASSERT_EQ(zexpmod(n, e, n, r), kZOk);
  EXPECT_EQ(zhexwrite(r), "0");
  ASSERT_EQ(zexpmod(two, unset, n, r), kZOk);
  EXPECT_EQ(zhexwrite(r), "1") << "an unset exponent reads as zero";
  ASSERT_EQ(zexpmod(unset, e, n, r), kZOk);
  EXPECT_EQ(zhexwrite(r), "0") << "an unset base reads as zero";
  ASSERT_EQ(zexpmod(dec("3"), dec("-1"), dec("7"), r), kZOk);
  EXPECT_EQ(zhexwrite(r), "5");
}

TEST(LargeIntExpMod, BadInputsAreErrorsNotExits) {
  LargeInt r = LargeInt::fromInt(42), unset;
  EXPECT_EQ(zexpmod(dec("2"), dec("3"), unset, r), kZModulusZero);
  EXPECT_EQ(zexpmod(dec("2"), dec("3"), dec("0"), r), kZModulusZero);
  EXPECT_EQ(zexpmod(dec("6"), dec("-1"), dec("9"), r), kZUndefinedQuotient);
  EXPECT_EQ(zhexwrite(r), "2A") << "the result is left as it was";
  EXPECT_STREQ(zerrorText(kZModulusZero), "modulus zero in zexpmod");
  EXPECT_STREQ(zerrorText(kZUndefinedQuotient), "undefined quotient in zexpmod");
}

// q * b + r == a with r < b, on limb patterns that push the quotient estimate
// of long division to its corrections (all-ones, lone high bits, zeros).
TEST(LargeIntArithmetic, DivisionIdentityOnAwkwardLimbs) {
  std::mt19937 gen(7);
  const uint32_t pick[] = {0, 1, 0x7FFFFFFFu, 0x80000000u, 0xFFFFFFFEu, 0xFFFFFFFFu};
  auto limbs = [&](std::size_t n) {
    lip::Limbs v(n);
    for (auto& x : v) x = gen() % 3 ? pick[gen() % 6] : gen();
    while (!v.empty() && v.back() == 0) v.pop_back();
    return v;
  };
  for (int i = 0; i < 20000; ++i) {
    lip::Limbs a = limbs(1 + gen() % 9), b = limbs(1 + gen() % 5), q, r;
    if (b.empty()) continue;
    lip::divmod(a, b, &q, r);
    ASSERT_LT(lip::compare(r, b), 0);
    ASSERT_EQ(lip::compare(lip::add(lip::mul(q, b), r), a), 0) << i;
  }
}

}  // namespace
