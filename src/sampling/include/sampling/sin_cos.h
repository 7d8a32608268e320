#pragma once
// sin x and cos x together, for the default sampling's directions: within
// one unit in the last place of the exact values, the same doubles on every
// platform and compiler (no libm takes part), at little more than half the
// cost of the C library's pair, where a ray spent a third of its time
// (bench/bench_sampling).
//
// The method is fdlibm's (Sun Microsystems, 1993; "Permission to use, copy,
// modify, and distribute this software is freely granted, provided that this
// notice is preserved."), as FreeBSD's msun keeps it: Cody-Waite reduction
// by pi/2 in three 33-bit pieces (e_rem_pio2.c), then the polynomial kernels
// of k_sin.c and k_cos.c on [-pi/4, pi/4], whose coefficients are below.
// Every reduction step is taken, not only where cancellation needs it, so
// the remainder is good to over 118 bits for any argument we take here.
//
// Arguments beyond 2^19 pi/2 (never a direction angle) and non-finite ones
// go to the C library.

#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace lucidra {
namespace detail {

// sin(x + y) on |x + y| <= pi/4, y the tail of the reduced argument. T is
// double, or a vector of doubles taking the same steps in each lane.
template <class T>
[[gnu::always_inline]] inline T kernel_sin(T x, T y) noexcept {
  constexpr double S1 = -1.66666666666666324348e-01;
  constexpr double S2 = 8.33333333332248946124e-03;
  constexpr double S3 = -1.98412698298579493134e-04;
  constexpr double S4 = 2.75573137070700676789e-06;
  constexpr double S5 = -2.50507602534068634195e-08;
  constexpr double S6 = 1.58969099521155010221e-10;
  const T z = x * x;
  const T w = z * z;
  const T r = S2 + z * (S3 + z * S4) + z * w * (S5 + z * S6);
  const T v = z * x;
  return x - ((z * (0.5 * y - v * r) - y) - v * S1);
}

// cos(x + y) on |x + y| <= pi/4.
template <class T>
[[gnu::always_inline]] inline T kernel_cos(T x, T y) noexcept {
  constexpr double C1 = 4.16666666666666019037e-02;
  constexpr double C2 = -1.38888888888741095749e-03;
  constexpr double C3 = 2.48015872894767294178e-05;
  constexpr double C4 = -2.75573143513906633035e-07;
  constexpr double C5 = 2.08757232129817482790e-09;
  constexpr double C6 = -1.13596475577881948265e-11;
  const T z = x * x;
  const T w = z * z;
  const T r = z * (C1 + z * (C2 + z * C3)) + w * w * (C4 + z * (C5 + z * C6));
  const T hz = 0.5 * z;
  const T one_minus_hz = 1.0 - hz;
  return one_minus_hz + (((1.0 - one_minus_hz) - hz) + (z * r - x * y));
}

constexpr double kReductionLimit = 823549.6645826427;  // 2^19 pi/2
constexpr double kTwoOverPi = 6.36619772367581382433e-01;
// The quadrant, rounded to nearest by adding and taking away 1.5 * 2^52
// (a call to nearbyint would cost as much as the rest); |n| < 2^20, so n
// times a 33-bit piece is exact. The sum's low bits are n's.
constexpr double kRounder = 6755399441055744.0;

// x reduced to head + tail on [-pi/4, pi/4], given its quadrant n.
template <class T>
[[gnu::always_inline]] inline void reduce(T x, T n, T& head, T& tail) noexcept {
  constexpr double kPio2_1 = 1.57079632673412561417e+00;   // first 33 bits of pi/2
  constexpr double kPio2_2 = 6.07710050630396597660e-11;   // second 33 bits
  constexpr double kPio2_2t = 2.02226624879595063154e-21;  // pi/2 - (kPio2_1 + kPio2_2)
  constexpr double kPio2_3 = 2.02226624871116645580e-21;   // third 33 bits
  constexpr double kPio2_3t = 8.47842766036889956997e-32;  // pi/2 - (kPio2_1 + kPio2_2 + kPio2_3)
  T r = x - n * kPio2_1;
  T t = r;
  T w = n * kPio2_2;
  r = t - w;
  w = n * kPio2_2t - ((t - r) - w);
  t = r;
  w = n * kPio2_3;
  r = t - w;
  w = n * kPio2_3t - ((t - r) - w);
  head = r - w;
  tail = (r - head) - w;
}

}  // namespace detail

inline void sin_cos(double x, double& s, double& c) noexcept {
  if (!(std::fabs(x) <= detail::kReductionLimit)) {
    s = std::sin(x);
    c = std::cos(x);
    return;
  }
  const double n = (x * detail::kTwoOverPi + detail::kRounder) - detail::kRounder;
  double head = 0, tail = 0;
  detail::reduce(x, n, head, tail);
  const double ks = detail::kernel_sin(head, tail);
  const double kc = detail::kernel_cos(head, tail);
  // Quadrant q: sin = ks, kc, -ks, -kc and cos = kc, -ks, -kc, ks; chosen
  // without branches, which a random angle would mispredict.
  const auto q = static_cast<std::int64_t>(n);
  const bool odd = (q & 1) != 0;
  const double flip = (q & 2) != 0 ? -1.0 : 1.0;
  s = (odd ? kc : ks) * flip;
  c = (odd ? -ks : kc) * flip;
}

#if defined(__GNUC__)
namespace detail {

// Vectors of two and of four doubles, and of their bits (declared apart from
// any template: an attribute on a dependent type is dropped).
using Double2 = double __attribute__((vector_size(16)));
using Bits2 = std::uint64_t __attribute__((vector_size(16)));
using Double4 = double __attribute__((vector_size(32)));
using Bits4 = std::uint64_t __attribute__((vector_size(32)));

// sin_cos of the lanes of one vector, each lane taking the scalar steps in
// the scalar order. The quadrant's choice becomes bit masks: a sign flip
// where sin_cos multiplies by -1, the same number.
template <class Values, class Bits>
[[gnu::always_inline]] inline void sin_cos_lanes(const double* x, double* s, double* c) noexcept {
  static_assert(sizeof(Values) == sizeof(Bits) && sizeof(Values) > sizeof(double));
  constexpr std::uint64_t kSign = std::uint64_t{1} << 63;
  Values v;
  std::memcpy(&v, x, sizeof v);
  const Values rounded = v * kTwoOverPi + kRounder;
  const Values quadrant = rounded - kRounder;
  Values head, tail;
  reduce(v, quadrant, head, tail);
  const Values ks = kernel_sin(head, tail);
  const Values kc = kernel_cos(head, tail);
  const auto q = std::bit_cast<Bits>(rounded);
  const Bits odd = -(q & 1);        // all ones in an odd quadrant
  const Bits flip = (q & 2) << 62;  // the sign bit in quadrants 2 and 3
  const auto ksBits = std::bit_cast<Bits>(ks), kcBits = std::bit_cast<Bits>(kc);
  const Bits sinBits = ((kcBits & odd) | (ksBits & ~odd)) ^ flip;
  const Bits cosBits = (((ksBits ^ kSign) & odd) | (kcBits & ~odd)) ^ flip;
  std::memcpy(s, &sinBits, sizeof sinBits);
  std::memcpy(c, &cosBits, sizeof cosBits);
}

// Whether all of x[0 .. Lanes) are within the reduction's range.
template <int Lanes>
inline bool all_reducible(const double* x) noexcept {
  bool all = true;
  for (int k = 0; k < Lanes; ++k) all = all && std::fabs(x[k]) <= kReductionLimit;
  return all;
}

// Windows is left out: GCC there does not align the stack for AVX spills.
#if defined(__x86_64__) && !defined(_WIN32)
#define LUCIDRA_SIN_COS_WIDE 1
// Four angles at a time with AVX2 where the processor has it (sin_cos.cpp);
// returns how many of the n it did (a multiple of four, 0 without AVX2).
std::size_t sin_cos_wide(std::size_t n, const double* x, double* s, double* c) noexcept;
#endif

}  // namespace detail
#endif

// sin_cos of n angles, the same bits as n calls of sin_cos: four at a time
// in 256-bit vectors where the processor has AVX2 (without FMA, which would
// round differently), then two at a time in 128-bit ones (SSE2, on every
// x86-64 processor).
inline void sin_cos_n(std::size_t n, const double* x, double* s, double* c) noexcept {
  std::size_t i = 0;
#if defined(__GNUC__)
#if defined(LUCIDRA_SIN_COS_WIDE)
  i = detail::sin_cos_wide(n, x, s, c);
#endif
  for (; i + 2 <= n; i += 2) {
    if (detail::all_reducible<2>(x + i)) {
      detail::sin_cos_lanes<detail::Double2, detail::Bits2>(x + i, s + i, c + i);
    } else {
      sin_cos(x[i], s[i], c[i]);
      sin_cos(x[i + 1], s[i + 1], c[i + 1]);
    }
  }
#endif
  for (; i < n; ++i) sin_cos(x[i], s[i], c[i]);
}

// The sine of each of n angles from its cosine: sqrt(max(0, (1 - c)(1 + c))),
// two square roots an instruction where SSE2 has them (the compiler keeps
// std::sqrt scalar for errno's sake), each lane taking the scalar steps.
inline void sine_from_cosine_n(std::size_t n, const double* c, double* out) noexcept {
  std::size_t i = 0;
#if defined(__GNUC__) && defined(__SSE2__)
  for (; i + 2 <= n; i += 2) {
    detail::Double2 v;
    std::memcpy(&v, c + i, sizeof v);
    const detail::Double2 zero = detail::Double2{}, square = (1.0 - v) * (1.0 + v);
    const detail::Double2 root = __builtin_ia32_sqrtpd(zero < square ? square : zero);
    std::memcpy(out + i, &root, sizeof root);
  }
#endif
  for (; i < n; ++i) {
    const double square = (1 - c[i]) * (1 + c[i]);
    out[i] = std::sqrt(square > 0 ? square : 0.0);
  }
}

}  // namespace lucidra
