// Speed of the per-ray arithmetic the default sampling relies on: the
// sine/cosine pair against the C library's, alone and a batch at a time, the
// seeded generator's step, alone and 64 at once, and a ray's wavelength from
// a white LED's spectrum, one at a time and a batch at a time as the rays
// draw them.

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "photometry/spectrum.h"
#include "random/park_miller.h"
#include "sampling/sin_cos.h"

namespace {

constexpr std::size_t kSamples = 1 << 16;

// Azimuths and elevations as rays draw them: 0 .. 2 pi and -pi/2 .. pi/2.
std::vector<double> sample_angles() {
  std::mt19937_64 rng(3);
  std::uniform_real_distribution<double> angle(-1.5707963267948966, 6.283185307179586);
  std::vector<double> values(kSamples);
  for (auto& value : values) value = angle(rng);
  return values;
}

void BM_sin_cos_own(benchmark::State& state) {
  const std::vector<double> angles = sample_angles();
  std::size_t i = 0;
  for (auto _ : state) {
    double s = 0, c = 0;
    lucidra::sin_cos(angles[i++ % kSamples], s, c);
    benchmark::DoNotOptimize(s);
    benchmark::DoNotOptimize(c);
  }
}
BENCHMARK(BM_sin_cos_own);

void BM_sin_cos_c_library(benchmark::State& state) {
  const std::vector<double> angles = sample_angles();
  std::size_t i = 0;
  for (auto _ : state) {
    const double x = angles[i++ % kSamples];
    double s = std::sin(x), c = std::cos(x);
    benchmark::DoNotOptimize(s);
    benchmark::DoNotOptimize(c);
  }
}
BENCHMARK(BM_sin_cos_c_library);

// A batch of 16 angles as the default sampling takes them (sin_cos_n: four
// or two at a time); the time is per batch, so per angle divide by 16.
void BM_sin_cos_batch_of_16(benchmark::State& state) {
  const std::vector<double> angles = sample_angles();
  double s[16], c[16];
  std::size_t i = 0;
  for (auto _ : state) {
    lucidra::sin_cos_n(16, &angles[i], s, c);
    i = (i + 16) % kSamples;
    benchmark::DoNotOptimize(s);
    benchmark::DoNotOptimize(c);
  }
}
BENCHMARK(BM_sin_cos_batch_of_16);

void BM_park_miller_step(benchmark::State& state) {
  std::int32_t seed = 12345;
  for (auto _ : state) benchmark::DoNotOptimize(lucidra::uniform01(seed));
}
BENCHMARK(BM_park_miller_step);

// 64 seeded draws at once (two interleaved chains); the time is per 64.
void BM_park_miller_64_at_once(benchmark::State& state) {
  std::int32_t seed = 12345;
  double out[64];
  for (auto _ : state) {
    lucidra::uniform01_n(seed, 64, out);
    benchmark::DoNotOptimize(out);
  }
}
BENCHMARK(BM_park_miller_64_at_once);

void BM_schrage_step(benchmark::State& state) {
  std::int32_t seed = 12345;
  for (auto _ : state) {
    seed = lucidra::schrage_step(seed);
    benchmark::DoNotOptimize(seed);
  }
}
BENCHMARK(BM_schrage_step);

// A white LED: a blue die at 450 nm and a broad phosphor band, 401 points
// (as bench/spectral.sh's), and shares spread evenly over 0..1 in the
// scrambled order a Sobol coordinate visits them.
lucidra::Spectrum white_led() {
  std::vector<double> nm, power;
  for (int w = 380; w <= 780; ++w) {
    nm.push_back(w);
    power.push_back(std::exp(-0.5 * std::pow((w - 450) / 10.0, 2)) +
                    0.6 * std::exp(-0.5 * std::pow((w - 560) / 50.0, 2)));
  }
  return lucidra::Spectrum::from_points(nm, power);
}

std::vector<double> sample_shares() {
  std::vector<double> shares(kSamples);
  for (std::size_t i = 0; i < kSamples; ++i) {
    // Bit reversal of i: the van der Corput sequence, Sobol's first coordinate.
    std::uint32_t bits = static_cast<std::uint32_t>(i), reversed = 0;
    for (int b = 0; b < 16; ++b, bits >>= 1) reversed = (reversed << 1) | (bits & 1u);
    shares[i] = reversed / 65536.0;
  }
  return shares;
}

void BM_wavelength_at(benchmark::State& state) {
  const lucidra::Spectrum spectrum = white_led();
  const std::vector<double> shares = sample_shares();
  std::vector<double> nm(kSamples);
  for (auto _ : state) {
    for (std::size_t i = 0; i < kSamples; ++i) nm[i] = spectrum.wavelength_at(shares[i]);
    benchmark::DoNotOptimize(nm.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * kSamples));
}
BENCHMARK(BM_wavelength_at);

// 64 at a time, as a batch of rays asks for them.
void BM_wavelengths_at_batch(benchmark::State& state) {
  const lucidra::Spectrum spectrum = white_led();
  const std::vector<double> shares = sample_shares();
  std::vector<double> nm(kSamples);
  for (auto _ : state) {
    for (std::size_t i = 0; i < kSamples; i += 64) spectrum.wavelengths_at(shares.data() + i, nm.data() + i, 64);
    benchmark::DoNotOptimize(nm.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * kSamples));
}
BENCHMARK(BM_wavelengths_at_batch);

}  // namespace

BENCHMARK_MAIN();
