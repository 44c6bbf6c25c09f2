// The form layout text: parsing a layout into a tree of component nodes.
// Layouts live in forms/ as UTF-8 text and are compiled into the program's
// resources (cmake/Forms.cmake); strings are turned into CP936 while parsing,
// so everything above this file sees the program's own text encoding.
// Nothing here creates windows: the loader (Forms.cpp) walks the tree.
//
//   form TWaitForm {                 the root: "form", the class name
//     Caption = "正在处理"           property = value
//     OnClose = FormClose            events name a handler of the class
//     TLabel Label1 {                children: component class, name, body
//       Bounds = [8, 8, 497, 13]     lists in brackets, comma separated
//     }
//   }
//
// Values: "text" (escapes \" \\ \n \t), integers (decimal, optional sign,
// or 0x hex), identifiers (true, false, enum and colour names, handler and
// component names) and [lists]. '#' starts a comment to the end of the line.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "System.h"

class ELayoutError : public Exception { using Exception::Exception; };

struct TLayoutValue {
  enum Kind { String, Number, Ident, List };
  Kind kind = Ident;
  AnsiString text;  // String: CP936 text; Ident: the identifier
  int64_t number = 0;
  std::vector<TLayoutValue> items;
  int line = 0;

  // Each raises ELayoutError naming the line when the value has another kind.
  AnsiString AsString() const;
  int AsInt() const;
  bool AsBool() const;
  const AnsiString& AsIdent() const;
  const std::vector<TLayoutValue>& AsList() const;
};

struct TLayoutProperty {
  AnsiString name;
  TLayoutValue value;
};

struct TLayoutNode {
  AnsiString type;  // "form" for the root, else a component class
  AnsiString name;  // the root: the form class
  int line = 0;
  std::vector<TLayoutProperty> properties;
  std::vector<std::unique_ptr<TLayoutNode>> children;
};

// Raises ELayoutError ("<source> line N: ...") on any syntax error. The text
// is UTF-8; nesting is bounded so that a damaged layout cannot exhaust the stack.
std::unique_ptr<TLayoutNode> ParseLayout(const std::string& utf8, const AnsiString& source);
