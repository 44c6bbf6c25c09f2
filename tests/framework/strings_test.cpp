// Number conversions, CP936 text and path helpers.
#include <gtest/gtest.h>

#include <clocale>
#include <string>

#include "SysUtils.h"

namespace {

// Literals in these sources are compiled to CP936; the UTF-8 forms are written
// as escapes so that the expectations do not go through the same compiler step.
TEST(StrToInt, ReadsDecimalIntegersAndRaisesOnAnythingElse) {
  struct { const char* text; int value; } good[] = {
      {"0", 0}, {"42", 42}, {"-17", -17}, {"+5", 5}, {"  12 ", 12},
      {"2147483647", 2147483647}, {"-2147483648", -2147483647 - 1},
  };
  for (auto& c : good) EXPECT_EQ(StrToInt(c.text), c.value) << c.text;

  const char* bad[] = {"", " ", "-", "+", "1.5", "12a", "a12", "1 2", "2147483648", "-2147483649",
                       "99999999999999999999", "0x10", "1e3"};
  for (const char* text : bad) {
    EXPECT_THROW(StrToInt(text), EConvertError) << text;
    EXPECT_EQ(StrToIntDef(text, -7), -7) << text;
  }
  EXPECT_THROW(AnsiString("x").ToInt(), EConvertError);
}

TEST(StrToFloat, ReadsDotDecimalsAndRaisesOnAnythingElse) {
  struct { const char* text; double value; } good[] = {
      {"0.5", 0.5}, {"-2.25", -2.25}, {"3", 3.0}, {".5", 0.5}, {"1e3", 1000.0}, {"1.5E-2", 0.015}, {" 7.0 ", 7.0},
      {"0.416666666666667", 0.416666666666667},
  };
  for (auto& c : good) EXPECT_DOUBLE_EQ(StrToFloat(c.text), c.value) << c.text;

  const char* bad[] = {"", "0,5", "1.2.3", "abc", "inf", "nan", "-inf", "1e", "1e999", ".", "5x", "0x1p3"};
  for (const char* text : bad) EXPECT_THROW(StrToFloat(text), EConvertError) << text;
}

TEST(FloatToStr, GivesShortestTextThatReadsBack) {
  struct { double value; const char* text; } cases[] = {
      {0.0, "0"}, {0.5, "0.5"}, {-2.25, "-2.25"}, {100.0, "100"}, {0.1, "0.1"},
      {1.0 / 3.0, "0.333333333333333"}, {1e20, "1E20"}, {1.5e-7, "1.5E-7"}, {0.0001, "0.0001"},
      {123456789012345.0, "123456789012345"}, {1e15, "1E15"},
  };
  for (auto& c : cases) EXPECT_EQ(FloatToStr(c.value).str(), c.text) << c.value;
  // A time of day stored in set.dat comes back to within the 15 digits kept.
  double t = 17.0 / 24.0 + 5.0 / 1440.0;
  EXPECT_NEAR(StrToFloat(FloatToStr(t)), t, 1e-14);
}

TEST(FormatFloatFixed, RoundsToTheGivenDecimals) {
  EXPECT_EQ(FormatFloatFixed(2.5, 2).str(), "2.50");
  EXPECT_EQ(FormatFloatFixed(1.005, 1).str(), "1.0");
  EXPECT_EQ(FormatFloatFixed(-0.004, 2).str(), "0.00");
  EXPECT_EQ(FormatFloatFixed(1234.5678, 0).str(), "1235");
  EXPECT_EQ(IntToStr(-2147483647 - 1).str(), "-2147483648");
  EXPECT_EQ(IntToStr(int64_t(5000000000)).str(), "5000000000");
}

// The conversions must not follow the C locale: a user locale with ',' as its
// decimal separator must change neither reading nor writing.
TEST(NumberText, IgnoresACommaLocale) {
  const char* names[] = {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "German_Germany.1252", "French_France.1252",
                         "deu", nullptr};
  std::string before = std::setlocale(LC_ALL, nullptr);
  const char* got = nullptr;
  for (const char** n = names; *n && !got; ++n) got = std::setlocale(LC_ALL, *n);
  if (!got || std::localeconv()->decimal_point[0] != ',') {
    std::setlocale(LC_ALL, before.c_str());
    GTEST_SKIP() << "no locale with a comma decimal separator here";
  }
  double v = StrToFloat("3.75");
  AnsiString s = FloatToStr(2.5), f = FormatFloatFixed(0.125, 3);
  bool commaRefused = false;
  try {
    StrToFloat("3,75");
  } catch (const EConvertError&) {
    commaRefused = true;
  }
  std::setlocale(LC_ALL, before.c_str());
  EXPECT_DOUBLE_EQ(v, 3.75);
  EXPECT_EQ(s.str(), "2.5");
  EXPECT_EQ(f.str(), "0.125");
  EXPECT_TRUE(commaRefused);
}

TEST(AnsiStringText, CaseChangesLeaveDoubleByteCharactersAlone) {
  // "丄" is 81 41 in CP936: its trail byte is an 'A' that must stay.
  AnsiString s = "丄Ab.LX";
  ASSERT_EQ(s.str(), std::string("\x81\x41" "Ab.LX"));
  EXPECT_EQ(s.LowerCase().str(), std::string("\x81\x41" "ab.lx"));
  EXPECT_EQ(UpperCase(AnsiString("乑z")).str(), std::string("\x81\x5a" "Z"));
  EXPECT_EQ(Pos("lx", "a.lx.lx"), 3);
  EXPECT_EQ(Pos("q", "abc"), 0);
  EXPECT_EQ(AnsiString("abcdef").SubString(0, 3).str(), "ab");
  EXPECT_EQ(AnsiString("abcdef").SubString(5, 10).str(), "ef");
  EXPECT_EQ(AnsiString("abc").SubString(4, 1).str(), "");
  EXPECT_EQ(Trim(" \t x y \r\n").str(), "x y");
  AnsiString t = "ab";
  EXPECT_EQ(t[1], 'a');
  EXPECT_THROW(t[0], ERangeError);
  EXPECT_THROW(t[3], ERangeError);
}

TEST(FilePathParts, TrailByte5CIsNotASeparator) {
  // "乗" is 81 5C in CP936: its trail byte is a backslash.
  struct { const char* path; const char* dir; const char* name; const char* ext; } cases[] = {
      {"C:\\录像\\录像1.lx", "C:\\录像\\", "录像1.lx", ".lx"},
      {"C:\\乗\\a.b.exe", "C:\\乗\\", "a.b.exe", ".exe"},
      {"D:\\dir\\乗", "D:\\dir\\", "乗", ""},
      {"乗.wav", "", "乗.wav", ".wav"},
      {"C:name.avi", "C:", "name.avi", ".avi"},
      {"a/b.c/noext", "a/b.c/", "noext", ""},
      {"", "", "", ""},
  };
  for (auto& c : cases) {
    EXPECT_EQ(ExtractFilePath(c.path).str(), c.dir) << c.path;
    EXPECT_EQ(ExtractFileName(c.path).str(), c.name) << c.path;
    EXPECT_EQ(ExtractFileExt(c.path).str(), c.ext) << c.path;
  }
  EXPECT_EQ(ChangeFileExt("C:\\乗\\x.lx", ".exe").str(), "C:\\乗\\x.exe");
  EXPECT_EQ(ChangeFileExt("C:\\a.d\\乗", "1.wav").str(), "C:\\a.d\\乗1.wav");
}

TEST(Cp936Conversion, MatchesTheCodePage) {
  AnsiString s = "录像1.lx";
  EXPECT_EQ(s.str(), std::string("\xC2\xBC\xCF\xF1" "1.lx"));
  EXPECT_EQ(Cp936ToUtf8(s), std::string("\xE5\xBD\x95\xE5\x83\x8F" "1.lx"));
  EXPECT_EQ(Utf8ToCp936("\xE5\xBD\x95\xE5\x83\x8F" "1.lx"), s);
  std::wstring w = Cp936ToWide(s);
  EXPECT_EQ(w, (std::wstring{wchar_t(0x5F55), wchar_t(0x50CF), L'1', L'.', L'l', L'x'}));
  EXPECT_EQ(WideToCp936(w), s);
  EXPECT_EQ(WideToCp936(std::wstring(1, wchar_t(0x00E9))).str(), "\xA8\xA6");  // é is in GBK
  // A lead byte with nothing after it must not swallow anything or crash.
  std::wstring cut = Cp936ToWide(AnsiString("a\xC2"));
  ASSERT_GE(cut.size(), 1u);
  EXPECT_EQ(cut[0], L'a');
}

}  // namespace
