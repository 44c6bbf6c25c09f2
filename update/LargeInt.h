// The large-integer package of the update notice: arbitrary-precision signed
// integers with the four operations the notice check needs (decimal and
// hexadecimal text reads, modular power, hexadecimal write) and the little
// arithmetic beneath them. Portable; no platform headers.
//
// A bad input is an error result, never an exit: zexpmod reports an unusable
// modulus or a missing inverse through its return value and leaves the result
// as it was. Text reads take at most kWordMax characters of the first word.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class LargeInt {
public:
  LargeInt() = default;  // unset; reads as zero
  static LargeInt fromInt(int64_t v);

  bool isSet() const { return set_; }
  bool isZero() const { return mag_.empty(); }
  bool isNegative() const { return neg_; }
  void unset() { *this = LargeInt(); }

  // Magnitude, 32-bit limbs, least significant first, no leading zero limbs.
  const std::vector<uint32_t>& limbs() const { return mag_; }
  void assign(std::vector<uint32_t> mag, bool negative);

  friend bool operator==(const LargeInt& a, const LargeInt& b) {
    return a.mag_ == b.mag_ && a.neg_ == b.neg_;
  }

private:
  std::vector<uint32_t> mag_;
  bool neg_ = false;  // never true for zero
  bool set_ = false;
};

// Longest word a text read takes; the rest of a longer word is ignored.
constexpr std::size_t kWordMax = 2047;

// Reads the first blank-separated word of text as a decimal number with an
// optional leading '-' or '_' (negative). Returns 1 when every character after
// the sign is a digit; a non-digit counts as the digit 0 and makes it 0. A text
// with no word returns 0 and leaves target untouched.
int zsread(const char* text, LargeInt& target);

// Same word rules, hexadecimal digits of either case; any other character
// counts as the digit 0 and is not reported.
void zhsread(const char* text, LargeInt& target);

enum ZStatus {
  kZOk = 0,
  kZModulusZero = 1,        // unset or zero modulus
  kZUndefinedQuotient = 2,  // negative exponent and no inverse exists
};
// The message of the package for a status, e.g. "modulus zero in zexpmod".
const char* zerrorText(int status);

// result = base ** exponent mod modulus. Unset base or exponent read as zero;
// a zero exponent gives 1, a zero base 0. The base is reduced first, so any
// size is accepted; the result lies in 0..m-1 for a positive modulus and in
// m+1..0 for a negative one. A negative exponent gives the inverse of the
// power. On an error the result is left as it was.
int zexpmod(const LargeInt& base, const LargeInt& exponent, const LargeInt& modulus,
            LargeInt& result);

// Upper-case hexadecimal, most significant digit first, no leading zeros;
// zero is "0", a negative value starts with '-'.
std::string zhexwrite(const LargeInt& value);
// Into a caller's buffer of capacity bytes (digits and the NUL): the buffer is
// emptied first; false, and left empty, when the text does not fit.
bool zhexwrite(char* text, std::size_t capacity, const LargeInt& value);

// Unsigned magnitude arithmetic under the operations above; exposed for tests
// and benchmarks. Limb vectors as in LargeInt::limbs().
namespace lip {
using Limbs = std::vector<uint32_t>;
int compare(const Limbs& a, const Limbs& b);
Limbs add(const Limbs& a, const Limbs& b);
Limbs sub(const Limbs& a, const Limbs& b);  // requires a >= b
Limbs mul(const Limbs& a, const Limbs& b);
// q = a / b, r = a % b; b must not be zero.
void divmod(const Limbs& a, const Limbs& b, Limbs* q, Limbs& r);
Limbs powmod(const Limbs& base, const Limbs& exponent, const Limbs& modulus);
// Inverse of a modulo m (0 < a < m); false when gcd(a, m) != 1.
bool invmod(const Limbs& a, const Limbs& m, Limbs& out);
}  // namespace lip
