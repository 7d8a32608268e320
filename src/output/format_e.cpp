#include "output/format_e.h"

#include <array>
#include <bit>
#include <cassert>
#include <cstdint>
#include <cstring>

#include "output/pow10_tables.h"

namespace lucidra {
namespace {

using u64 = std::uint64_t;
__extension__ typedef unsigned __int128 u128;  // GCC and Clang

// Seven significant digits: the scaled value lies in [10^6, 10^7).
constexpr u64 kLowDigits = 1000000;
constexpr u64 kHighDigits = 10000000;

constexpr char kDigitPairs[] =
    "00010203040506070809"
    "10111213141516171819"
    "20212223242526272829"
    "30313233343536373839"
    "40414243444546474849"
    "50515253545556575859"
    "60616263646566676869"
    "70717273747576777879"
    "80818283848586878889"
    "90919293949596979899";

inline char* put_pair(char* out, unsigned value) {
  std::memcpy(out, kDigitPairs + 2 * value, 2);
  return out + 2;
}

// floor(log10(2^e)) for |e| < 2600.
constexpr int floor_log10_pow2(int e) { return (e * 315653) >> 20; }

// An unsigned integer of up to 2048 bits for settling a rounding tie exactly
// (the largest operands there have under 900 bits). Little-endian 32-bit
// limbs.
class ExactInteger {
 public:
  explicit ExactInteger(u64 value) {
    limbs_[0] = static_cast<std::uint32_t>(value);
    limbs_[1] = static_cast<std::uint32_t>(value >> 32);
    size_ = limbs_[1] != 0 ? 2 : 1;
  }

  void multiply(std::uint32_t factor) {
    u64 carry = 0;
    for (int i = 0; i < size_; ++i) {
      const u64 product = u64{limbs_[i]} * factor + carry;
      limbs_[i] = static_cast<std::uint32_t>(product);
      carry = product >> 32;
    }
    if (carry != 0) push(static_cast<std::uint32_t>(carry));
  }

  void multiply_pow5(int exponent) {
    constexpr std::uint32_t kPow5_13 = 1220703125;  // 5^13, the largest power of 5 in 32 bits
    for (; exponent >= 13; exponent -= 13) multiply(kPow5_13);
    std::uint32_t rest = 1;
    for (; exponent > 0; --exponent) rest *= 5;
    multiply(rest);
  }

  void shift_left(int bits) {
    const int limbShift = bits / 32;
    const int bitShift = bits % 32;
    if (bitShift != 0) {
      std::uint32_t carry = 0;
      for (int i = 0; i < size_; ++i) {
        const std::uint32_t next = limbs_[i] >> (32 - bitShift);
        limbs_[i] = (limbs_[i] << bitShift) | carry;
        carry = next;
      }
      if (carry != 0) push(carry);
    }
    if (limbShift != 0) {
      assert(size_ + limbShift <= kCapacity);
      for (int i = size_ - 1; i >= 0; --i) limbs_[i + limbShift] = limbs_[i];
      for (int i = 0; i < limbShift; ++i) limbs_[i] = 0;
      size_ += limbShift;
    }
  }

  friend int compare(const ExactInteger& a, const ExactInteger& b) {
    if (a.size_ != b.size_) return a.size_ < b.size_ ? -1 : 1;
    for (int i = a.size_ - 1; i >= 0; --i) {
      if (a.limbs_[i] != b.limbs_[i]) return a.limbs_[i] < b.limbs_[i] ? -1 : 1;
    }
    return 0;
  }

 private:
  static constexpr int kCapacity = 64;

  void push(std::uint32_t limb) {
    assert(size_ < kCapacity);
    limbs_[size_++] = limb;
  }

  std::array<std::uint32_t, kCapacity> limbs_{};
  int size_ = 0;
};

// Sign of (mantissa * 2^binaryExponent * 10^scale) - (digits + 1/2), computed
// exactly. Only reached when the 128-bit estimate lies too close to the half.
[[gnu::cold, gnu::noinline]] int compare_with_half(u64 mantissa, int binaryExponent, int scale, u64 digits) {
  ExactInteger left(mantissa);
  ExactInteger right(2 * digits + 1);
  left.shift_left(1);
  if (scale > 0) left.multiply_pow5(scale);
  if (scale < 0) right.multiply_pow5(-scale);
  const int twos = binaryExponent + scale;
  if (twos > 0) left.shift_left(twos);
  if (twos < 0) right.shift_left(-twos);
  return compare(left, right);
}

// The value mantissa * 2^binaryExponent scaled by 10^(6 - decimalExponent):
// its integer part, the top 64 bits of its fraction and whether any fraction
// bit follows those.
struct Scaled {
  u64 digits;
  u64 fractionTop;
  bool fractionRest;
  bool exact;  // the power of ten was exact, so the fraction is too
};

inline Scaled scale(u64 mantissa, int binaryExponent, int decimalExponent) {
  const int power = 6 - decimalExponent;
  assert(power >= detail::kPow10MinScale && power <= detail::kPow10MaxScale);
  const detail::Pow10Entry& entry = detail::kPow10[power - detail::kPow10MinScale];

  // mantissa * entry as 192 bits in three words.
  const u128 low = static_cast<u128>(mantissa) * entry.lo;
  const u128 high = static_cast<u128>(mantissa) * entry.hi;
  const u64 word0 = static_cast<u64>(low);
  const u128 middle = (low >> 64) + static_cast<u64>(high);
  const u64 word1 = static_cast<u64>(middle);
  const u64 word2 = static_cast<u64>(high >> 64) + static_cast<u64>(middle >> 64);

  // The scaled value is that product / 2^(128 + shift): its integer part
  // lies in the top word.
  const int shift = -(binaryExponent + entry.binaryExponent) - 128;
  assert(shift > 0 && shift < 64);
  return {word2 >> shift, (word2 << (64 - shift)) | (word1 >> shift), ((word1 << (64 - shift)) | word0) != 0,
          entry.exact};
}

// Whether the scaled value rounds up, half to even on the exact binary
// value, when its fraction lies within 2^-64 of one half. The truncated power
// of ten makes the estimate low by less than 2^-100, so only an inexact power
// needs the exact comparison.
[[gnu::cold, gnu::noinline]] bool near_half_rounds_up(const Scaled& scaled, u64 mantissa, int binaryExponent,
                                                      int decimalExponent) {
  constexpr u64 kHalf = u64{1} << 63;
  if (scaled.fractionTop == kHalf && scaled.fractionRest) return true;
  if (scaled.exact) return scaled.fractionTop == kHalf && (scaled.digits & 1) != 0;
  const int order = compare_with_half(mantissa, binaryExponent, 6 - decimalExponent, scaled.digits);
  return order > 0 || (order == 0 && (scaled.digits & 1) != 0);
}

// Fraction tops of half - 1 and half need a closer look.
inline bool is_near_half(u64 fractionTop) { return fractionTop - ((u64{1} << 63) - 1) <= 1; }

// Writes d.dddddde+XX for seven digits (10^6 ... 10^7 - 1) and an exponent.
inline char* put_decimal(char* out, u64 digits, int exponent) {
  // Digits by fixed-point arithmetic: digits / 10^6 with 57 fraction bits;
  // each step peels the leading digit (pair) off and multiplies the fraction
  // by 100. The constant is rounded up; its error stays below one unit of
  // the last pair for every seven-digit integer.
  constexpr u64 kFractionMask = (u64{1} << 57) - 1;
  u64 fixed = digits * 144115188076u;  // ceil(2^57 / 10^6)
  out[0] = static_cast<char>('0' + (fixed >> 57));
  out[1] = '.';
  for (int pair = 0; pair < 3; ++pair) {
    fixed = (fixed & kFractionMask) * 100;
    put_pair(out + 2 + 2 * pair, static_cast<unsigned>(fixed >> 57));
  }
  out[8] = 'e';
  out[9] = exponent < 0 ? '-' : '+';
  auto magnitude = static_cast<unsigned>(exponent < 0 ? -exponent : exponent);
  out += 10;
  if (magnitude >= 100) {
    *out++ = static_cast<char>('0' + magnitude / 100);
    magnitude %= 100;
  }
  return put_pair(out, magnitude);
}

// The general path: the estimated decimal exponent was off by one, or the
// fraction lies next to one half. Steps the exponent until the scaled value
// has seven digits. The estimate is low by less than one unit, so a value
// just at a power of ten can show as 999999.99... at one exponent and 10^7
// at the next; both mean exactly that power of ten.
[[gnu::cold, gnu::noinline]] char* put_settled(char* out, u64 mantissa, int binaryExponent, int decimalExponent) {
  bool steppedUp = false;
  bool steppedDown = false;
  for (;;) {
    const Scaled scaled = scale(mantissa, binaryExponent, decimalExponent);
    if (scaled.digits >= kHighDigits) {
      if (steppedDown) return put_decimal(out, kLowDigits, decimalExponent + 1);
      ++decimalExponent;
      steppedUp = true;
    } else if (scaled.digits < kLowDigits) {
      if (steppedUp) return put_decimal(out, kLowDigits, decimalExponent);
      --decimalExponent;
      steppedDown = true;
    } else {
      const bool up = is_near_half(scaled.fractionTop)
                          ? near_half_rounds_up(scaled, mantissa, binaryExponent, decimalExponent)
                          : scaled.fractionTop > (u64{1} << 63);
      if (up && scaled.digits + 1 == kHighDigits) return put_decimal(out, kLowDigits, decimalExponent + 1);
      return put_decimal(out, scaled.digits + up, decimalExponent);
    }
  }
}

template <std::size_t N>
inline char* put_text(char* out, const char (&text)[N]) {
  std::memcpy(out, text, N - 1);
  return out + N - 1;
}

}  // namespace

char* format_e(double value, char* out) noexcept {
  const u64 bits = std::bit_cast<u64>(value);
  const bool negative = (bits >> 63) != 0;
  const int biasedExponent = static_cast<int>((bits >> 52) & 0x7ff);
  const u64 fraction = bits & ((u64{1} << 52) - 1);

  // Signs of ray values are random: no branch on them.
  *out = '-';
  out += negative;
  if (biasedExponent == 0x7ff) {
    return fraction != 0 ? put_text(out, "nan") : put_text(out, "inf");
  }
  if (biasedExponent == 0 && fraction == 0) return put_text(out, "0.000000e+00");

  // |value| = mantissa * 2^(log2Floor - 63) with the mantissa's top bit set.
  u64 mantissa;
  int log2Floor;
  if (biasedExponent != 0) {
    mantissa = (fraction | (u64{1} << 52)) << 11;
    log2Floor = biasedExponent - 1023;
  } else {
    const int leadingZeros = std::countl_zero(fraction);
    mantissa = fraction << leadingZeros;
    log2Floor = -1011 - leadingZeros;
  }
  const int binaryExponent = log2Floor - 63;

  // Decimal exponent: the estimate from the binary one is exact or one low;
  // the decade table settles it for nearly every value, and the general path
  // corrects the few that remain (subnormals, rounding of the table's
  // doubles).
  int decimalExponent = floor_log10_pow2(log2Floor);
  const double magnitude = std::bit_cast<double>(bits & ~(u64{1} << 63));
  if (magnitude >= detail::kDecade[decimalExponent + 1 - detail::kDecadeMinExponent]) {
    ++decimalExponent;
  }

  const Scaled scaled = scale(mantissa, binaryExponent, decimalExponent);
  if (scaled.digits - kLowDigits >= kHighDigits - kLowDigits || is_near_half(scaled.fractionTop)) [[unlikely]] {
    return put_settled(out, mantissa, binaryExponent, decimalExponent);
  }
  // Whether a ray value rounds up is a coin toss the branch predictor cannot
  // learn: no branch on it.
  const u64 digits = scaled.digits + (scaled.fractionTop > (u64{1} << 63));
  if (digits == kHighDigits) [[unlikely]]
    return put_decimal(out, kLowDigits, decimalExponent + 1);
  return put_decimal(out, digits, decimalExponent);
}

char* format_e_near_one(double value, char* out) noexcept {
  if (!(value >= 0.1 && value < 10.0)) [[unlikely]]
    return format_e(value, out);
  // value = mantissa / 2^shift with shift in 49..56; below 1 its seven
  // digits are value x 10^7 (exponent -1), else value x 10^6 (exponent 0),
  // rounded half to even on the exact product (under 2^77).
  const u64 bits = std::bit_cast<u64>(value);
  const u64 mantissa = (bits & ((u64{1} << 52) - 1)) | (u64{1} << 52);
  const int shift = 1075 - static_cast<int>(bits >> 52);
  const bool belowOne = value < 1.0;
  const u128 product = static_cast<u128>(mantissa) * (belowOne ? 10 * kLowDigits : kLowDigits);
  // The shift is below 64: the digits straddle the product's two halves,
  // the rest lies in the low one, so 64-bit steps do (a 128-bit shift by a
  // variable amount costs a test and selections).
  const auto low = static_cast<u64>(product), high = static_cast<u64>(product >> 64);
  const auto s = static_cast<unsigned>(shift);
  const u64 digits = (high << (64 - s)) | (low >> s);
  // Half to even: up when rest + (digits odd) exceeds the half, that is when
  // rest + odd + half - 1 reaches 2^shift (it stays below 2^(shift + 1)).
  // Whether a wavelength rounds up is a coin toss: no branch on it.
  const u64 rest = low & ((u64{1} << s) - 1);
  const u64 half = u64{1} << (s - 1);
  const u64 rounded = digits + ((rest + (digits & 1) + half - 1) >> s);
  const int exponent = belowOne ? -1 : 0;
  if (rounded == kHighDigits) [[unlikely]]
    return put_decimal(out, kLowDigits, exponent + 1);
  return put_decimal(out, rounded, exponent);
}

}  // namespace lucidra
