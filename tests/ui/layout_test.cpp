// The layout text (portable, also run natively under the sanitizers):
// syntax errors are reported with their line, nesting is bounded, values
// keep their kinds and strings become CP936.
#include <gtest/gtest.h>

#include "Layout.h"

namespace {

std::string Error(const std::string& text) {
  try {
    ParseLayout(text, "t");
  } catch (const ELayoutError& e) {
    return e.Message.str();
  }
  return "";
}

TEST(LayoutText, SyntaxErrorsNameTheLine) {
  struct Case {
    const char* text;
    const char* message;
  } cases[] = {
      {"", "line 1: expected 'form'"},
      {"object TX {}", "starts with 'form'"},
      {"form TX {\n  Caption = \"abc\n}", "line 2: line break inside a string"},
      {"form TX {\n\n  Caption = \"a\\q\"\n}", "line 3: unknown escape"},
      {"form TX {\n  TButton B1 {\n", "missing '}'"},
      {"form TX { Left = 4294967296 }", "number out of range"},
      {"form TX { Left = 12ab }", "bad number"},
      {"form TX { Items = [\"a\" \"b\"] }", "expected ',' or ']'"},
      {"form TX { Left = }", "expected a value"},
      {"form TX { } form TY { }", "text after the end"},
      {"form TX { Caption = \"\xC0\xAF\" }", "not UTF-8"},
      {"form TX { Caption = \"\xE5\xBD\" }", "not UTF-8"},
      {"form TX { Caption = \"\xED\xA0\x80\" }", "not UTF-8"},
  };
  for (const Case& c : cases) {
    std::string e = Error(c.text);
    EXPECT_NE(e.find(c.message), std::string::npos) << c.text << " gave: " << e;
  }
}

TEST(LayoutText, DeepNestingIsRefusedNotRecursedInto) {
  std::string deep = "form TX {";
  for (int i = 0; i < 5000; ++i) deep += " TPanel P" + std::to_string(i) + " {";
  EXPECT_NE(Error(deep).find("nested too deeply"), std::string::npos);
  std::string lists = "form TX { Items = " + std::string(5000, '[') + " }";
  EXPECT_NE(Error(lists).find("nested too deeply"), std::string::npos);
}

TEST(LayoutText, ValuesAndTextEncoding) {
  auto root = ParseLayout(
      u8"\xEF\xBB\xBF# comment\nform TX {\n  Caption = \"录像模式 \\\"A\\\"\\n\" # trailing\n  Left = -12\n"
      u8"  Color = 0xFF0000\n  Items = [\"一\", [1, two]]\n  TButton Button1 { Visible = false }\n}\n",
      "t");
  ASSERT_EQ(root->properties.size(), 4u);
  // CP936 bytes of 录像模式 (checked against the platform notes), then the escapes.
  EXPECT_EQ(root->properties[0].value.AsString().str(), "\xC2\xBC\xCF\xF1\xC4\xA3\xCA\xBD \"A\"\n");
  EXPECT_EQ(root->properties[1].value.AsInt(), -12);
  EXPECT_EQ(root->properties[2].value.AsInt(), 0xFF0000);
  const auto& items = root->properties[3].value.AsList();
  ASSERT_EQ(items.size(), 2u);
  EXPECT_EQ(items[0].AsString().str(), "\xD2\xBB");
  EXPECT_EQ(items[1].AsList()[1].AsIdent(), AnsiString("two"));
  EXPECT_EQ(root->properties[3].value.line, 6);
  ASSERT_EQ(root->children.size(), 1u);
  EXPECT_EQ(root->children[0]->type, AnsiString("TButton"));
  EXPECT_FALSE(root->children[0]->properties[0].value.AsBool());
  EXPECT_THROW(root->properties[1].value.AsString(), ELayoutError);
}

}  // namespace
