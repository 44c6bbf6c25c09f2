// Arithmetic and text forms of LargeInt: schoolbook multiplication and long
// division on 32-bit limbs (sizes here stay near 1000 bits, where nothing
// cleverer pays), square-and-multiply powers, Euclid for inverses.
#include "LargeInt.h"

namespace {

using lip::Limbs;

void trim(Limbs& a) {
  while (!a.empty() && a.back() == 0) a.pop_back();
}

bool isSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

// The first word of text, at most kWordMax characters; false when none.
bool firstWord(const char* text, std::string& word) {
  if (!text) return false;
  while (*text && isSpace(*text)) ++text;
  if (!*text) return false;
  word.clear();
  while (*text && !isSpace(*text) && word.size() < kWordMax) word += *text++;
  return true;
}

// a = a * mul + add, in place.
void mulAddSmall(Limbs& a, uint32_t mul, uint32_t add) {
  uint64_t carry = add;
  for (uint32_t& limb : a) {
    uint64_t t = uint64_t(limb) * mul + carry;
    limb = uint32_t(t);
    carry = t >> 32;
  }
  if (carry) a.push_back(uint32_t(carry));
}

Limbs shiftLeft(const Limbs& a, unsigned bits) {  // bits < 32
  Limbs r(a.size() + 1, 0);
  for (std::size_t i = 0; i < a.size(); ++i) {
    r[i] |= bits ? a[i] << bits : a[i];
    if (bits) r[i + 1] = a[i] >> (32 - bits);
  }
  trim(r);
  return r;
}

unsigned leadingZeros(uint32_t v) {
  unsigned n = 0;
  while (!(v & 0x80000000u)) { v <<= 1; ++n; }
  return n;
}

std::size_t bitLength(const Limbs& a) {
  if (a.empty()) return 0;
  return a.size() * 32 - leadingZeros(a.back());
}

bool bitAt(const Limbs& a, std::size_t i) {
  return (a[i / 32] >> (i % 32)) & 1;
}

Limbs mod(const Limbs& a, const Limbs& m) {
  Limbs r;
  lip::divmod(a, m, nullptr, r);
  return r;
}

}  // namespace

namespace lip {

int compare(const Limbs& a, const Limbs& b) {
  if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
  for (std::size_t i = a.size(); i-- > 0;)
    if (a[i] != b[i]) return a[i] < b[i] ? -1 : 1;
  return 0;
}

Limbs add(const Limbs& a, const Limbs& b) {
  const Limbs& big = a.size() >= b.size() ? a : b;
  const Limbs& small = a.size() >= b.size() ? b : a;
  Limbs r(big.size() + 1, 0);
  uint64_t carry = 0;
  for (std::size_t i = 0; i < big.size(); ++i) {
    uint64_t t = uint64_t(big[i]) + (i < small.size() ? small[i] : 0) + carry;
    r[i] = uint32_t(t);
    carry = t >> 32;
  }
  r[big.size()] = uint32_t(carry);
  trim(r);
  return r;
}

Limbs sub(const Limbs& a, const Limbs& b) {
  Limbs r(a.size(), 0);
  int64_t borrow = 0;
  for (std::size_t i = 0; i < a.size(); ++i) {
    int64_t t = int64_t(a[i]) - (i < b.size() ? int64_t(b[i]) : 0) - borrow;
    borrow = t < 0;
    r[i] = uint32_t(t + (borrow ? int64_t(1) << 32 : 0));
  }
  trim(r);
  return r;
}

Limbs mul(const Limbs& a, const Limbs& b) {
  if (a.empty() || b.empty()) return {};
  Limbs r(a.size() + b.size(), 0);
  for (std::size_t i = 0; i < a.size(); ++i) {
    uint64_t carry = 0;
    for (std::size_t j = 0; j < b.size(); ++j) {
      uint64_t t = uint64_t(a[i]) * b[j] + r[i + j] + carry;
      r[i + j] = uint32_t(t);
      carry = t >> 32;
    }
    r[i + b.size()] = uint32_t(carry);
  }
  trim(r);
  return r;
}

// Long division after Knuth (vol. 2, 4.3.1, algorithm D): the divisor is
// normalised so that its top limb has its high bit set, which keeps each
// estimated quotient limb at most two too large.
void divmod(const Limbs& a, const Limbs& b, Limbs* q, Limbs& r) {
  if (compare(a, b) < 0) {
    if (q) q->clear();
    r = a;
    return;
  }
  const std::size_t n = b.size();
  if (n == 1) {
    Limbs quot(a.size(), 0);
    uint64_t rem = 0;
    for (std::size_t i = a.size(); i-- > 0;) {
      uint64_t cur = (rem << 32) | a[i];
      quot[i] = uint32_t(cur / b[0]);
      rem = cur % b[0];
    }
    trim(quot);
    if (q) *q = std::move(quot);
    r.assign(1, uint32_t(rem));
    trim(r);
    return;
  }
  const unsigned s = leadingZeros(b.back());
  Limbs vn = shiftLeft(b, s);
  Limbs un = shiftLeft(a, s);
  un.resize(a.size() + 1, 0);
  const std::size_t m = a.size() - n;
  Limbs quot(m + 1, 0);
  const uint64_t base = uint64_t(1) << 32;
  for (std::size_t j = m + 1; j-- > 0;) {
    uint64_t num = (uint64_t(un[j + n]) << 32) | un[j + n - 1];
    uint64_t qhat = num / vn[n - 1];
    uint64_t rhat = num % vn[n - 1];
    while (qhat >= base || qhat * vn[n - 2] > ((rhat << 32) | un[j + n - 2])) {
      --qhat;
      rhat += vn[n - 1];
      if (rhat >= base) break;
    }
    int64_t k = 0;
    int64_t t = 0;
    for (std::size_t i = 0; i < n; ++i) {
      uint64_t p = qhat * vn[i];
      t = int64_t(un[i + j]) - k - int64_t(p & 0xFFFFFFFFu);
      un[i + j] = uint32_t(uint64_t(t));
      k = int64_t(p >> 32) - (t >> 32);
    }
    t = int64_t(un[j + n]) - k;
    un[j + n] = uint32_t(uint64_t(t));
    if (t < 0) {  // estimate one too large: add the divisor back
      --qhat;
      uint64_t c = 0;
      for (std::size_t i = 0; i < n; ++i) {
        uint64_t sum = uint64_t(un[i + j]) + vn[i] + c;
        un[i + j] = uint32_t(sum);
        c = sum >> 32;
      }
      un[j + n] = uint32_t(un[j + n] + c);
    }
    quot[j] = uint32_t(qhat);
  }
  trim(quot);
  if (q) *q = std::move(quot);
  r.assign(n, 0);
  for (std::size_t i = 0; i < n; ++i)
    r[i] = s ? (un[i] >> s) | uint32_t(uint64_t(un[i + 1]) << (32 - s)) : un[i];
  trim(r);
}

Limbs powmod(const Limbs& base, const Limbs& exponent, const Limbs& modulus) {
  Limbs one{1};
  Limbs result = mod(one, modulus);
  Limbs b = mod(base, modulus);
  for (std::size_t i = bitLength(exponent); i-- > 0;) {
    result = mod(mul(result, result), modulus);
    if (bitAt(exponent, i)) result = mod(mul(result, b), modulus);
  }
  return result;
}

// Extended Euclid with the coefficients kept reduced modulo m, so that no
// signed arithmetic is needed: t0 - q*t1 becomes t0 + (m - q*t1 mod m).
bool invmod(const Limbs& a, const Limbs& m, Limbs& out) {
  Limbs r0 = m, r1 = a, t0, t1{1};
  while (!r1.empty()) {
    Limbs q, r;
    divmod(r0, r1, &q, r);
    Limbs qt = mod(mul(q, t1), m);
    Limbs t = mod(add(t0, sub(m, qt)), m);
    r0 = std::move(r1);
    r1 = std::move(r);
    t0 = std::move(t1);
    t1 = std::move(t);
  }
  if (compare(r0, Limbs{1}) != 0) return false;
  out = t0;
  return true;
}

}  // namespace lip

LargeInt LargeInt::fromInt(int64_t v) {
  uint64_t mag = v < 0 ? uint64_t(0) - uint64_t(v) : uint64_t(v);
  LargeInt r;
  r.assign({uint32_t(mag), uint32_t(mag >> 32)}, v < 0);
  return r;
}

void LargeInt::assign(std::vector<uint32_t> mag, bool negative) {
  trim(mag);
  mag_ = std::move(mag);
  neg_ = negative && !mag_.empty();
  set_ = true;
}

int zsread(const char* text, LargeInt& target) {
  std::string word;
  if (!firstWord(text, word)) return 0;
  std::size_t i = 0;
  bool negative = false;
  if (word[0] == '-' || word[0] == '_') { negative = true; i = 1; }
  int allDigits = 1;
  Limbs mag;
  for (; i < word.size(); ++i) {
    uint32_t digit = 0;
    if (word[i] >= '0' && word[i] <= '9') digit = uint32_t(word[i] - '0');
    else allDigits = 0;
    mulAddSmall(mag, 10, digit);
  }
  target.assign(std::move(mag), negative);
  return allDigits;
}

void zhsread(const char* text, LargeInt& target) {
  std::string word;
  if (!firstWord(text, word)) return;
  std::size_t start = 0;
  bool negative = false;
  if (word[0] == '-' || word[0] == '_') { negative = true; start = 1; }
  // Eight digits make one limb, counted from the least significant end.
  Limbs mag((word.size() - start + 7) / 8, 0);
  std::size_t nibble = 0;
  for (std::size_t i = word.size(); i-- > start; ++nibble) {
    char c = word[i];
    uint32_t digit = 0;
    if (c >= '0' && c <= '9') digit = uint32_t(c - '0');
    else if (c >= 'A' && c <= 'F') digit = uint32_t(c - 'A' + 10);
    else if (c >= 'a' && c <= 'f') digit = uint32_t(c - 'a' + 10);
    mag[nibble / 8] |= digit << (4 * (nibble % 8));
  }
  target.assign(std::move(mag), negative);
}

const char* zerrorText(int status) {
  switch (status) {
    case kZOk: return "";
    case kZModulusZero: return "modulus zero in zexpmod";
    case kZUndefinedQuotient: return "undefined quotient in zexpmod";
  }
  return "unknown error";
}

int zexpmod(const LargeInt& base, const LargeInt& exponent, const LargeInt& modulus,
            LargeInt& result) {
  if (!modulus.isSet() || modulus.isZero()) return kZModulusZero;
  if (exponent.isZero()) {  // also unset
    result.assign({1}, false);
    return kZOk;
  }
  if (base.isZero()) {
    result.assign({}, false);
    return kZOk;
  }
  const Limbs& m = modulus.limbs();
  // The base's residue in 0..m-1, whatever its sign.
  Limbs b = mod(base.limbs(), m);
  if (base.isNegative() && !b.empty()) b = lip::sub(m, b);
  Limbs r = lip::powmod(b, exponent.limbs(), m);
  if (exponent.isNegative()) {
    Limbs inverse;
    if (r.empty() || !lip::invmod(r, m, inverse)) return kZUndefinedQuotient;
    r = std::move(inverse);
  }
  if (modulus.isNegative() && !r.empty()) {
    result.assign(lip::sub(m, r), true);  // r - |m|, in m+1..-1
    return kZOk;
  }
  result.assign(std::move(r), false);
  return kZOk;
}

std::string zhexwrite(const LargeInt& value) {
  static const char digits[] = "0123456789ABCDEF";
  const Limbs& mag = value.limbs();
  if (mag.empty()) return "0";
  std::string text = value.isNegative() ? "-" : "";
  bool started = false;
  for (std::size_t i = mag.size(); i-- > 0;) {
    for (int shift = 28; shift >= 0; shift -= 4) {
      unsigned d = (mag[i] >> shift) & 15;
      if (!d && !started) continue;
      started = true;
      text += digits[d];
    }
  }
  return text;
}

bool zhexwrite(char* text, std::size_t capacity, const LargeInt& value) {
  if (!text || capacity == 0) return false;
  text[0] = '\0';
  std::string hex = zhexwrite(value);
  if (hex.size() + 1 > capacity) return false;
  hex.copy(text, hex.size());
  text[hex.size()] = '\0';
  return true;
}
