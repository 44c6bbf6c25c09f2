// Fuzz target: the update-page check and the large-integer text readers. The
// first byte picks the path; the rest is the page or the texts. Besides memory
// faults it checks that a read value writes back to the same hex text and
// that a modular power lies in its range.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "LargeInt.h"
#include "UpdateNotice.h"

#include "update_cases.inc"

namespace {

void check(bool ok) {
  if (!ok) std::abort();
}

// Splits at the first newline: two NUL-terminated texts.
void splitTexts(const uint8_t* data, std::size_t size, std::string& a, std::string& b) {
  std::string all(reinterpret_cast<const char*>(data), size);
  std::size_t nl = all.find('\n');
  a = all.substr(0, nl);
  b = nl == std::string::npos ? "" : all.substr(nl + 1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const uint8_t mode = data[0] % 3;
  ++data;
  --size;
  if (mode == 0) {
    UpdateConfig config;
    config.modulusHex = kTestModulusHex;
    std::vector<char> buffer(kSiteReplyMax, 0);
    std::size_t n = size < buffer.size() ? size : buffer.size();
    std::copy(data, data + n, buffer.begin());
    verifyUpdatePage(buffer.data(), buffer.size(), config);
    verifyUpdatePage(reinterpret_cast<const char*>(data), size, config);  // no NUL at the end
    return 0;
  }
  std::string a, b;
  splitTexts(data, size, a, b);
  LargeInt x, m;
  if (mode == 1) {
    zsread(a.c_str(), x);
    zhsread(b.c_str(), m);
    if (x.isSet()) {
      LargeInt back;
      zhsread(zhexwrite(x).c_str(), back);
      check(back == x);
    }
  } else {
    zhsread(a.c_str(), x);
    zhsread(b.substr(0, 300).c_str(), m);  // keeps one power cheap
  }
  LargeInt e = LargeInt::fromInt(a.size() % 2 ? 65537 : -3), r;
  int status = zexpmod(x, e, m, r);
  if (status == kZOk && !m.isZero() && !x.isZero()) {
    // 0 <= r < m for a positive modulus, m < r <= 0 for a negative one.
    check(lip::compare(r.limbs(), m.limbs()) < 0);
    check(r.isZero() || r.isNegative() == m.isNegative());
  }
  return 0;
}
