#include "random/sobol.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace lucidra {
namespace {

// The fatal reports, as text, with the exit status each carries.
std::string report_text(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string report_text(const char* format, ...) {
  char text[512];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  return text;
}

[[noreturn]] void fail(const std::string& report, int status) {
  sobol_fatal_handler()(report, status);
  // A handler that returns would let the sequence go on from a broken
  // state: end the process as the default handler does.
  std::exit(status);
}

[[noreturn]] void fail_dimension(std::int32_t dim_num) {
  fail(report_text("\nI4_SOBOL - Fatal error!\n"
                   "  The spatial dimension DIM_NUM should satisfy:\n"
                   "    2 <= DIM_NUM <= %d\n"
                   "  But this input value is DIM_NUM = %d\n",
                   SOBOL_MAX_DIM, dim_num),
       1);
}

[[noreturn]] void fail_seed(std::int32_t seed, std::int32_t maxcol, std::int32_t l) {
  fail(report_text("\nI4_SOBOL - Fatal error!\n"
                   "  The value of SEED seems to be too large!\n"
                   "  SEED =   %d\n"
                   "  MAXCOL = %d\n"
                   "  L =      %d\n",
                   seed, maxcol, l),
       2);
}

void print_and_exit(const std::string& report, int status) {
  std::fputs(report.c_str(), stdout);
  std::fflush(stdout);
  std::exit(status);
}

SobolFatalHandler& handler_slot() {
  static SobolFatalHandler handler = &print_and_exit;
  return handler;
}

void build_direction_table(std::int32_t dim_num, SobolState& s) {
  s.ready = true;
  for (int i = 0; i < SOBOL_MAX_DIM; ++i) {
    s.direction_numbers[i].fill(0);
    for (int j = 0; j < 8; ++j) s.direction_numbers[i][j] = sobol_initial_numbers[i][j];
  }
  if (dim_num < 2 || dim_num > SOBOL_MAX_DIM) fail_dimension(dim_num);
  s.dim_in_use = dim_num;

  std::int32_t all_ones = 0;
  for (int i = 0; i < SOBOL_MAX_BITS; ++i) all_ones = 2 * all_ones + 1;
  s.MAXCOL = highest_one_bit(all_ones);

  auto& v = s.direction_numbers;
  for (int j = 0; j < s.MAXCOL; ++j) v[0][j] = 1;

  // Extend each row by the recurrence of its primitive polynomial.
  for (int i = 1; i < dim_num; ++i) {
    std::int32_t p = sobol_polynomials[i];
    int m = 0;
    for (std::int32_t j = p; j / 2 > 0; j /= 2) ++m;
    bool flag[8] = {};
    for (int k = m - 1; k >= 0; --k) {
      flag[k] = (p % 2) != 0;
      p /= 2;
    }
    for (int j = m; j < s.MAXCOL; ++j) {
      std::int32_t value = v[i][j - m];
      std::int32_t w = 1;
      for (int k = 0; k < m; ++k) {
        w *= 2;
        if (flag[k]) value ^= w * v[i][j - k - 1];
      }
      v[i][j] = value;
    }
  }

  // Scale column j by 2^(29 - j) so that every number is a 30-bit fraction.
  std::int32_t w = 1;
  for (int j = s.MAXCOL - 2; j >= 0; --j) {
    w *= 2;
    for (int i = 0; i < dim_num; ++i) v[i][j] *= w;
  }
  s.unit_scale = static_cast<float>(1.0 / (2.0 * w));
}

void step_through(SobolState& s, std::int32_t dim_num, std::int32_t from, std::int32_t to) {
  for (std::int32_t t = from; t < to; ++t) {
    const std::int32_t c = lowest_zero_bit(t);
    for (int i = 0; i < dim_num; ++i) s.last_point[i] ^= s.direction_numbers[i][c - 1];
  }
}

}  // namespace

SobolFatalHandler sobol_fatal_handler() { return handler_slot(); }

SobolFatalHandler set_sobol_fatal_handler(SobolFatalHandler handler) {
  const SobolFatalHandler previous = handler_slot();
  handler_slot() = handler != nullptr ? handler : &print_and_exit;
  return previous;
}

std::int32_t highest_one_bit(std::int32_t n) noexcept {
  std::int32_t bit = 0;
  while (n > 0) {
    ++bit;
    n /= 2;
  }
  return bit;
}

std::int32_t lowest_zero_bit(std::int32_t n) noexcept {
  std::int32_t bit = 1;
  while (n != 2 * (n / 2)) {
    n /= 2;
    ++bit;
  }
  return bit;
}

void sobol_prepare(std::int32_t dim_num, SobolState& s) {
  if (!s.ready || dim_num != s.dim_in_use) build_direction_table(dim_num, s);
}

SobolPass sobol_begin_pass(std::int32_t dim_num, std::int32_t startSeed, SobolState& s) {
  sobol_prepare(dim_num, s);
  SobolPass pass;
  pass.startSeed = startSeed;
  // Consecutive and forward calls continue from last_point, which may differ
  // from the regular point after previous_seed; a restart recomputes it.
  if (startSeed > s.previous_seed) {
    for (int i = 0; i < dim_num; ++i) {
      pass.offset[i] = s.last_point[i] ^ sobol_integer_coordinate(s, i, std::int64_t{s.previous_seed} + 1);
    }
  }
  return pass;
}

void sobol_end_pass(std::int32_t dim_num, const SobolPass& pass, std::int32_t lastSeed, SobolState& s) {
  s.previous_seed = lastSeed;
  for (int i = 0; i < dim_num; ++i) {
    s.last_point[i] = sobol_integer_coordinate(s, i, std::int64_t{lastSeed} + 1) ^ pass.offset[i];
  }
}

void i4_sobol(std::int32_t dim_num, std::int32_t& seed, float quasi[], SobolState& s) {
  sobol_prepare(dim_num, s);
  if (seed < 0) seed = 0;

  std::int32_t l = 1;
  if (seed == 0) {
    for (int i = 0; i < dim_num; ++i) s.last_point[i] = 0;
  } else if (seed == s.previous_seed + 1) {
    l = lowest_zero_bit(seed);
  } else {
    // Stepping to this seed would pass the seed whose lowest zero bit lies
    // beyond the 30 columns; refuse before touching a missing column.
    if (seed > kSobolSeedLimit) fail_seed(seed, s.MAXCOL, s.MAXCOL + 1);
    if (seed <= s.previous_seed) {
      s.previous_seed = 0;
      for (int i = 0; i < dim_num; ++i) s.last_point[i] = 0;
      step_through(s, dim_num, 0, seed);
    } else {
      step_through(s, dim_num, s.previous_seed + 1, seed);
    }
    l = lowest_zero_bit(seed);
  }
  if (l > s.MAXCOL) fail_seed(seed, s.MAXCOL, l);

  for (int i = 0; i < dim_num; ++i) {
    quasi[i] = static_cast<float>(s.last_point[i]) * s.unit_scale;
    s.last_point[i] ^= s.direction_numbers[i][l - 1];
  }
  s.previous_seed = seed;
  seed = seed + 1;
}

void i4_sobol(std::int32_t dim_num, std::int32_t& seed, float quasi[]) {
  i4_sobol(dim_num, seed, quasi, process_sobol_state());
}

}  // namespace lucidra
