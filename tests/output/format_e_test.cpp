#include "output/format_e.h"

#include <gtest/gtest.h>

#include <bit>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace lucidra {
namespace {

std::string formatted(double value) {
  char buffer[kMaxFormatELength];
  const char* end = format_e(value, buffer);
  return std::string(buffer, static_cast<std::size_t>(end - buffer));
}

std::string reference(double value) {
#ifdef _WIN32
  // Windows' C library drops a NaN's sign; the ray files keep glibc's "-nan"
  // so that they match the Linux ones byte for byte.
  if (std::isnan(value)) return std::signbit(value) ? "-nan" : "nan";
#endif
  char buffer[64];
  const int length = std::snprintf(buffer, sizeof buffer, "%e", value);
  return std::string(buffer, static_cast<std::size_t>(length));
}

TEST(FormatE, KnownTexts) {
  const struct {
    double value;
    const char* text;
  } cases[] = {
      {0.0, "0.000000e+00"},
      {-0.0, "-0.000000e+00"},
      {1.0, "1.000000e+00"},
      {-1.0, "-1.000000e+00"},
      {0.1, "1.000000e-01"},
      {0.0859375, "8.593750e-02"},
      {3500.0 / 30001, "1.166628e-01"},
      {123456789.0, "1.234568e+08"},
      // Exact ties round to the even last digit.
      {12345675.0, "1.234568e+07"},
      {12345665.0, "1.234566e+07"},
      {1.0078125, "1.007812e+00"},
      {1.0234375, "1.023438e+00"},
      {999999.5, "9.999995e+05"},
      // Just below a tie in binary: stays down.
      {999999.95, "9.999999e+05"},
      // Rounding carries into the next power of ten.
      {9999999.5, "1.000000e+07"},
      {9.9999996, "1.000000e+01"},
      {1e23, "1.000000e+23"},
      // Three-digit exponents and the ends of the range.
      {1e100, "1.000000e+100"},
      {1e-300, "1.000000e-300"},
      {DBL_MAX, "1.797693e+308"},
      {-DBL_MAX, "-1.797693e+308"},
      {DBL_MIN, "2.225074e-308"},
      {std::nextafter(DBL_MIN, 0.0), "2.225074e-308"},
      {std::numeric_limits<double>::denorm_min(), "4.940656e-324"},
      {-std::numeric_limits<double>::denorm_min(), "-4.940656e-324"},
      {std::numeric_limits<double>::infinity(), "inf"},
      {-std::numeric_limits<double>::infinity(), "-inf"},
      {std::numeric_limits<double>::quiet_NaN(), "nan"},
      {-std::numeric_limits<double>::quiet_NaN(), "-nan"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(formatted(c.value), c.text) << std::hexfloat << c.value;
  }
}

// Value sets that probe each way the conversion can go wrong, compared
// byte for byte with the C library's "%e".
std::vector<double> random_bit_patterns(std::mt19937_64& rng, int count) {
  std::vector<double> values;
  for (int i = 0; i < count; ++i) values.push_back(std::bit_cast<double>(rng()));
  return values;
}

std::vector<double> uniform_signed_unit(std::mt19937_64& rng, int count) {
  std::uniform_real_distribution<double> uniform(-1.0, 1.0);
  std::vector<double> values;
  for (int i = 0; i < count; ++i) values.push_back(uniform(rng));
  return values;
}

// What ray lines carry: coordinates of a few mm, direction cosines, fluxes
// of a source split into up to 10^9 rays.
std::vector<double> ray_like(std::mt19937_64& rng, int count) {
  std::uniform_real_distribution<double> coordinate(-50.0, 50.0);
  std::uniform_real_distribution<double> logFlux(-9.0, 4.0);
  std::vector<double> values;
  for (int i = 0; i < count; ++i) {
    values.push_back(coordinate(rng));
    values.push_back(std::pow(10.0, logFlux(rng)));
  }
  return values;
}

// Every decade's boundary, and the values that carry into the next decade
// (x.9999995...), with their neighbours a few ulps away.
std::vector<double> decade_edges(std::mt19937_64&, int ulps) {
  std::vector<double> values;
  for (int k = -324; k <= 308; ++k) {
    for (const double centre : {std::pow(10.0, k), 9.9999995 * std::pow(10.0, k)}) {
      if (!std::isfinite(centre) || centre == 0.0) continue;
      double down = centre;
      double up = centre;
      for (int i = 0; i < ulps; ++i) {
        values.push_back(down);
        values.push_back(up);
        down = std::nextafter(down, 0.0);
        up = std::nextafter(up, HUGE_VAL);
      }
    }
  }
  return values;
}

// Values exactly halfway between two seven-digit results, t = (2a + 1) / 2 *
// 10^(k - 6), with their neighbours. Below k = 7, t is a double only when
// 2a + 1 = c * 5^(6 - k), and then t = c * 2^(k - 7) (c odd); from k = 7 on,
// t = (2a + 1) * 5^(k - 6) * 2^(k - 7), a double while that mantissa stays
// below 2^53.
std::vector<double> exact_ties(std::mt19937_64& rng, int perExponent) {
  std::vector<double> values;
  for (int k = -4; k <= 22; ++k) {
    for (int i = 0; i < perExponent; ++i) {
      double tie;
      if (k < 7) {
        const double pow5 = std::pow(5.0, 6 - k);
        const auto low = static_cast<std::uint64_t>(2e6 / pow5) + 1;
        const auto high = static_cast<std::uint64_t>(2e7 / pow5);
        const std::uint64_t odd = (low + rng() % (high - low)) | 1;
        tie = std::ldexp(static_cast<double>(odd), k - 7);
      } else {
        const std::uint64_t a = 1000000 + rng() % 9000000;
        const double mantissa = (2.0 * static_cast<double>(a) + 1.0) * std::pow(5.0, k - 6);
        if (mantissa >= 9007199254740992.0) break;
        tie = std::ldexp(mantissa, k - 7);
      }
      for (const double value : {tie, -tie, std::nextafter(tie, 0.0), std::nextafter(tie, HUGE_VAL)}) {
        values.push_back(value);
      }
    }
  }
  return values;
}

// Short mantissas over the whole exponent range: many land on or next to
// ties and exact decimal values.
std::vector<double> short_mantissas(std::mt19937_64& rng, int count) {
  std::vector<double> values;
  for (int i = 0; i < count; ++i) {
    const int bits = 1 + static_cast<int>(rng() % 30);
    const auto mantissa = static_cast<double>(rng() >> (64 - bits));
    const int exponent = static_cast<int>(rng() % 2200) - 1100;
    values.push_back(std::ldexp(mantissa, exponent));
  }
  return values;
}

std::vector<double> subnormals(std::mt19937_64& rng, int count) {
  std::vector<double> values;
  for (int i = 0; i < count; ++i) {
    const int bits = 1 + static_cast<int>(rng() % 52);
    const std::uint64_t sign = rng() & (std::uint64_t{1} << 63);
    values.push_back(std::bit_cast<double>(sign | (rng() >> (64 - bits))));
  }
  return values;
}

TEST(FormatE, MatchesCLibrary) {
  const struct {
    const char* name;
    std::function<std::vector<double>(std::mt19937_64&, int)> make;
    int size;
  } sets[] = {
      {"random bit patterns", random_bit_patterns, 1500000},
      {"uniform in [-1, 1]", uniform_signed_unit, 1000000},
      {"ray-like values", ray_like, 250000},
      {"decade edges", decade_edges, 40},
      {"exact ties", exact_ties, 4000},
      {"short mantissas", short_mantissas, 500000},
      {"subnormals", subnormals, 200000},
  };
  std::mt19937_64 rng(20240611);
  for (const auto& set : sets) {
    const std::vector<double> values = set.make(rng, set.size);
    int mismatches = 0;
    for (const double value : values) {
      const std::string ours = formatted(value);
      ASSERT_LE(ours.size(), static_cast<std::size_t>(kMaxFormatELength));
      if (ours != reference(value) && ++mismatches <= 10) {
        ADD_FAILURE() << set.name << ": " << std::hexfloat << value << " gives " << ours << ", expected "
                      << reference(value);
      }
    }
    EXPECT_EQ(mismatches, 0) << set.name << " (" << values.size() << " values)";
  }
}

TEST(FormatE, NearOneMatchesTheGeneralForm) {
  // Wavelengths in micrometres and their neighbourhood: the fast path for
  // [0.1, 10) and the values around it that take the general one.
  std::vector<double> values = {0.1,
                                1.0,
                                10.0,
                                0.0,
                                -0.5,
                                0.2,
                                2.5,
                                0.9999999,
                                0.99999995,
                                9.9999995,
                                9.99999949999,
                                0.099999995,
                                std::numeric_limits<double>::quiet_NaN(),
                                std::numeric_limits<double>::infinity()};
  for (const double edge : {0.1, 1.0, 10.0, 0.99999995, 9.9999995, 0.2, 2.5}) {
    double below = edge, above = edge;
    for (int i = 0; i < 64; ++i) {
      below = std::nextafter(below, 0.0);
      above = std::nextafter(above, 100.0);
      values.push_back(below);
      values.push_back(above);
    }
  }
  // Exact ties of the seventh digit: odd multiples of 2^-8 below 1
  // (x 10^7 ends in .5) and of 2^-7 above (x 10^6 ends in .5).
  for (int j = 1; j < 256; j += 2) values.push_back(j / 256.0);
  for (int j = 129; j < 1280; j += 2) values.push_back(j / 128.0);
  std::mt19937_64 rng(555);
  std::uniform_real_distribution<double> wavelengthUm(0.09, 11.0);
  for (int i = 0; i < 300000; ++i) values.push_back(wavelengthUm(rng));
  int mismatches = 0;
  for (const double value : values) {
    char buffer[kMaxFormatELength];
    const std::string ours(buffer, static_cast<std::size_t>(format_e_near_one(value, buffer) - buffer));
    if (ours != reference(value) && ++mismatches <= 10) {
      ADD_FAILURE() << std::hexfloat << value << " gives " << ours << ", expected " << reference(value);
    }
  }
  EXPECT_EQ(mismatches, 0) << values.size() << " values";
}

}  // namespace
}  // namespace lucidra
