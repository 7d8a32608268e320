// Compares format_e with the C library's "%e" on many values:
//   format_e_check [count [seed]]
// Exits with status 1 on the first ten mismatches' report if any differ.

#include <bit>
#include <clocale>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

#include "output/format_e.h"

namespace {

// One value from a mix of the shapes that break conversions: any bit
// pattern, values like ray fields, short mantissas (ties and exact
// decimals) and neighbours of exact ties.
double draw(std::mt19937_64& rng) {
  const std::uint64_t bits = rng();
  switch (rng() % 10) {
    case 0:
    case 1:
    case 2:
    case 3: return std::bit_cast<double>(bits);
    case 4:
    case 5:
    case 6: return std::ldexp(static_cast<double>(bits >> 11), -53) * ((bits & 1) != 0 ? -1.0 : 1.0);
    case 7: {
      const int mantissaBits = 1 + static_cast<int>(rng() % 30);
      const int exponent = static_cast<int>(rng() % 2200) - 1100;
      return std::ldexp(static_cast<double>(bits >> (64 - mantissaBits)), exponent);
    }
    case 8: {
      // (2a + 1) * 5^(k - 6) * 2^(k - 7): a tie at seven digits for k = 7 ... 22.
      const int k = 7 + static_cast<int>(rng() % 16);
      const double a = static_cast<double>(1000000 + bits % 9000000);
      const double mantissa = (2.0 * a + 1.0) * std::pow(5.0, k - 6);
      if (mantissa >= 9007199254740992.0) return a;
      const double tie = std::ldexp(mantissa, k - 7);
      const int neighbour = static_cast<int>(rng() % 3);
      return neighbour == 0 ? tie : std::nextafter(tie, neighbour == 1 ? 0.0 : HUGE_VAL);
    }
    default: {
      // Near a power of ten or a carry into one.
      const int k = static_cast<int>(rng() % 633) - 324;
      double value = std::pow(10.0, k) * ((bits & 1) != 0 ? 1.0 : 0.99999995);
      for (std::uint64_t steps = (bits >> 1) % 64; steps > 0; --steps) {
        value = std::nextafter(value, (bits & 2) != 0 ? 0.0 : HUGE_VAL);
      }
      return value;
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  const long long count = argc > 1 ? std::atoll(argv[1]) : 20000000;
  const unsigned long long seed = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 1;
  std::setlocale(LC_ALL, "C");
  std::mt19937_64 rng(seed);
  long long mismatches = 0;
  for (long long i = 0; i < count; ++i) {
    const double value = draw(rng);
    char expected[64];
    const int expectedLength = std::snprintf(expected, sizeof expected, "%e", value);
    char actual[lucidra::kMaxFormatELength];
    const int actualLength = static_cast<int>(lucidra::format_e(value, actual) - actual);
    if (actualLength != expectedLength || std::memcmp(actual, expected, static_cast<std::size_t>(actualLength)) != 0) {
      if (++mismatches <= 10) {
        std::printf("mismatch: %a gives %s, expected %s\n", value,
                    std::string(actual, static_cast<std::size_t>(actualLength)).c_str(), expected);
      }
    }
  }
  std::printf("format_e_check: %lld values (seed %llu), %lld mismatches\n", count, seed, mismatches);
  return mismatches == 0 ? 0 : 1;
}
