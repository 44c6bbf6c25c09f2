// Parser of the layout text (Layout.h): a hand-written lexer over the bytes
// with every index checked against the end, and a recursive descent whose
// depth is bounded.
#include "Layout.h"

#include <cctype>

#include "SysUtils.h"

namespace {

const int kMaxDepth = 32;

// Layouts are UTF-8; a damaged string is an error here rather than text that
// the two platforms' converters would each mangle differently.
bool WellFormedUtf8(const std::string& s) {
  std::size_t i = 0, n = s.size();
  while (i < n) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    int extra;
    uint32_t cp;
    if (c < 0x80) { ++i; continue; }
    else if ((c & 0xE0) == 0xC0) { extra = 1; cp = c & 0x1F; }
    else if ((c & 0xF0) == 0xE0) { extra = 2; cp = c & 0x0F; }
    else if ((c & 0xF8) == 0xF0) { extra = 3; cp = c & 0x07; }
    else return false;
    if (n - i <= static_cast<std::size_t>(extra)) return false;
    for (int k = 1; k <= extra; ++k) {
      unsigned char t = static_cast<unsigned char>(s[i + k]);
      if ((t & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (t & 0x3F);
    }
    static const uint32_t kMin[] = {0, 0x80, 0x800, 0x10000};
    if (cp < kMin[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    i += extra + 1;
  }
  return true;
}

class Parser {
public:
  Parser(const std::string& s, const AnsiString& src) : s_(s), src_(src) {}

  std::unique_ptr<TLayoutNode> Root() {
    Blank();
    AnsiString kw = Identifier("'form'");
    if (kw != "form") Fail("a layout starts with 'form'");
    auto node = std::make_unique<TLayoutNode>();
    node->type = "form";
    node->line = line_;
    Blank();
    node->name = Identifier("the form class");
    Body(*node, 0);
    Blank();
    if (pos_ < s_.size()) Fail("text after the end of the form");
    return node;
  }

private:
  [[noreturn]] void Fail(const std::string& what) {
    throw ELayoutError(src_ + " line " + IntToStr(line_) + ": " + AnsiString(what));
  }
  bool More() const { return pos_ < s_.size(); }
  char Peek() const { return pos_ < s_.size() ? s_[pos_] : '\0'; }

  void Blank() {
    while (More()) {
      char c = s_[pos_];
      if (c == '\n') { ++line_; ++pos_; }
      else if (c == ' ' || c == '\t' || c == '\r') ++pos_;
      else if (c == '#') { while (More() && s_[pos_] != '\n') ++pos_; }
      else break;
    }
  }
  static bool IdentStart(char c) { return std::isalpha(static_cast<unsigned char>(c)) || c == '_'; }
  static bool IdentChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '.'; }

  AnsiString Identifier(const char* what) {
    if (!More() || !IdentStart(Peek())) Fail(std::string("expected ") + what);
    std::size_t start = pos_;
    while (More() && IdentChar(s_[pos_])) ++pos_;
    return AnsiString(s_.substr(start, pos_ - start));
  }
  void Expect(char c) {
    Blank();
    if (Peek() != c) Fail(std::string("expected '") + c + "'");
    ++pos_;
  }

  void Body(TLayoutNode& node, int depth) {
    if (depth > kMaxDepth) Fail("components nested too deeply");
    Expect('{');
    for (;;) {
      Blank();
      if (!More()) Fail("missing '}'");
      if (Peek() == '}') { ++pos_; return; }
      int line = line_;
      AnsiString first = Identifier("a property or a component");
      Blank();
      if (Peek() == '=') {
        ++pos_;
        Blank();
        TLayoutProperty p;
        p.name = first;
        p.value = Value(0);
        node.properties.push_back(std::move(p));
      } else {
        auto child = std::make_unique<TLayoutNode>();
        child->type = first;
        child->line = line;
        child->name = Identifier("a component name");
        Body(*child, depth + 1);
        node.children.push_back(std::move(child));
      }
    }
  }

  TLayoutValue Value(int depth) {
    if (depth > kMaxDepth) Fail("lists nested too deeply");
    TLayoutValue v;
    v.line = line_;
    char c = Peek();
    if (c == '"') {
      v.kind = TLayoutValue::String;
      std::string text = Quoted();
      if (!WellFormedUtf8(text)) Fail("a string that is not UTF-8");
      v.text = Utf8ToCp936(text);
    } else if (c == '[') {
      ++pos_;
      v.kind = TLayoutValue::List;
      Blank();
      if (Peek() == ']') { ++pos_; return v; }
      for (;;) {
        Blank();
        v.items.push_back(Value(depth + 1));
        Blank();
        if (Peek() == ',') { ++pos_; continue; }
        if (Peek() == ']') { ++pos_; break; }
        Fail("expected ',' or ']'");
      }
    } else if (c == '-' || std::isdigit(static_cast<unsigned char>(c))) {
      v.kind = TLayoutValue::Number;
      v.number = Number();
    } else if (IdentStart(c)) {
      v.kind = TLayoutValue::Ident;
      v.text = Identifier("a value");
    } else {
      Fail("expected a value");
    }
    return v;
  }

  int64_t Number() {
    bool neg = false;
    if (Peek() == '-') { neg = true; ++pos_; }
    int64_t n = 0;
    int digits = 0;
    if (Peek() == '0' && pos_ + 1 < s_.size() && (s_[pos_ + 1] == 'x' || s_[pos_ + 1] == 'X')) {
      pos_ += 2;
      while (More() && std::isxdigit(static_cast<unsigned char>(Peek()))) {
        char h = Peek();
        int d = std::isdigit(static_cast<unsigned char>(h)) ? h - '0' : (std::tolower(h) - 'a' + 10);
        n = n * 16 + d;
        if (n > 0xFFFFFFFFLL) Fail("number out of range");
        ++pos_;
        ++digits;
      }
    } else {
      while (More() && std::isdigit(static_cast<unsigned char>(Peek()))) {
        n = n * 10 + (Peek() - '0');
        if (n > 0xFFFFFFFFLL) Fail("number out of range");
        ++pos_;
        ++digits;
      }
    }
    if (digits == 0) Fail("expected digits");
    if (More() && IdentChar(Peek())) Fail("bad number");
    return neg ? -n : n;
  }

  std::string Quoted() {
    ++pos_;  // opening quote
    std::string out;
    for (;;) {
      if (!More()) Fail("unterminated string");
      char c = s_[pos_++];
      if (c == '"') return out;
      if (c == '\n') Fail("line break inside a string");
      if (c == '\\') {
        if (!More()) Fail("unterminated string");
        char e = s_[pos_++];
        switch (e) {
          case '"': out += '"'; break;
          case '\\': out += '\\'; break;
          case 'n': out += '\n'; break;
          case 't': out += '\t'; break;
          case 'r': out += '\r'; break;
          default: Fail(std::string("unknown escape \\") + e);
        }
      } else {
        out += c;
      }
    }
  }

  const std::string& s_;
  AnsiString src_;
  std::size_t pos_ = 0;
  int line_ = 1;
};

[[noreturn]] void WrongKind(const TLayoutValue& v, const char* want) {
  throw ELayoutError("layout line " + IntToStr(v.line) + ": expected " + AnsiString(want));
}

}  // namespace

std::unique_ptr<TLayoutNode> ParseLayout(const std::string& utf8, const AnsiString& source) {
  std::string text = utf8;
  if (text.size() >= 3 && text.compare(0, 3, "\xEF\xBB\xBF") == 0) text.erase(0, 3);  // editors' BOM
  Parser p(text, source);
  return p.Root();
}

AnsiString TLayoutValue::AsString() const {
  if (kind != String) WrongKind(*this, "a \"string\"");
  return text;
}
int TLayoutValue::AsInt() const {
  if (kind != Number) WrongKind(*this, "a number");
  return static_cast<int>(static_cast<uint32_t>(number));  // 0xFFFFFFFF reads as -1
}
bool TLayoutValue::AsBool() const {
  if (kind == Ident && text == "true") return true;
  if (kind == Ident && text == "false") return false;
  WrongKind(*this, "true or false");
}
const AnsiString& TLayoutValue::AsIdent() const {
  if (kind != Ident) WrongKind(*this, "a name");
  return text;
}
const std::vector<TLayoutValue>& TLayoutValue::AsList() const {
  if (kind != List) WrongKind(*this, "a [list]");
  return items;
}
