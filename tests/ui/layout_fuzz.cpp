// Fuzz target of the layout parser: any bytes either parse or raise
// ELayoutError; the values of a parsed tree are then read every way.
#include <cstddef>
#include <cstdint>
#include <string>

#include "Layout.h"

namespace {
void Touch(const TLayoutValue& v) {
  try { v.AsString(); } catch (const ELayoutError&) {}
  try { v.AsInt(); } catch (const ELayoutError&) {}
  try { v.AsBool(); } catch (const ELayoutError&) {}
  try { v.AsIdent(); } catch (const ELayoutError&) {}
  if (v.kind == TLayoutValue::List)
    for (const auto& item : v.items) Touch(item);
}
void Walk(const TLayoutNode& n) {
  for (const auto& p : n.properties) Touch(p.value);
  for (const auto& c : n.children) Walk(*c);
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  try {
    auto root = ParseLayout(std::string(reinterpret_cast<const char*>(data), size), "fuzz");
    Walk(*root);
  } catch (const ELayoutError&) {
  }
  return 0;
}
