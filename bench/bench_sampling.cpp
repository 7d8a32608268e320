// Speed of the per-ray arithmetic the default sampling relies on: the
// sine/cosine pair against the C library's, and the seeded generator's step.

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

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

void BM_park_miller_step(benchmark::State& state) {
  std::int32_t seed = 12345;
  for (auto _ : state) benchmark::DoNotOptimize(lucidra::uniform01(seed));
}
BENCHMARK(BM_park_miller_step);

void BM_schrage_step(benchmark::State& state) {
  std::int32_t seed = 12345;
  for (auto _ : state) {
    seed = lucidra::schrage_step(seed);
    benchmark::DoNotOptimize(seed);
  }
}
BENCHMARK(BM_schrage_step);

}  // namespace

BENCHMARK_MAIN();
