// Speed of the ray line conversions against the C library.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <random>
#include <vector>

#include "output/format_e.h"
#include "output/ray_file.h"

namespace {

constexpr std::size_t kSamples = 1 << 16;

// Values shaped like ray fields: coordinates of a few mm, direction cosines
// in [-1, 1], fluxes from a source split into many rays.
std::vector<lucidra::RayRecord> sample_rays() {
  std::mt19937_64 rng(7);
  std::uniform_real_distribution<double> coordinate(-1.0, 1.0);
  std::uniform_real_distribution<double> cosine(-1.0, 1.0);
  std::vector<lucidra::RayRecord> rays(kSamples);
  for (auto& ray : rays) {
    ray = {coordinate(rng), coordinate(rng), 0.0, cosine(rng), cosine(rng), cosine(rng), 3500.0 / 30001};
  }
  return rays;
}

std::vector<double> sample_values() {
  std::mt19937_64 rng(11);
  std::uniform_real_distribution<double> uniform(-1.0, 1.0);
  std::vector<double> values(kSamples);
  for (auto& value : values) value = uniform(rng);
  return values;
}

void BM_format_e(benchmark::State& state) {
  const std::vector<double> values = sample_values();
  char buffer[lucidra::kMaxFormatELength];
  std::size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(lucidra::format_e(values[i], buffer));
    benchmark::ClobberMemory();
    i = (i + 1) % kSamples;
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_format_e);

void BM_snprintf_e(benchmark::State& state) {
  const std::vector<double> values = sample_values();
  char buffer[64];
  std::size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(std::snprintf(buffer, sizeof buffer, "%e", values[i]));
    benchmark::ClobberMemory();
    i = (i + 1) % kSamples;
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_snprintf_e);

void BM_format_ray_line(benchmark::State& state) {
  const std::vector<lucidra::RayRecord> rays = sample_rays();
  char buffer[lucidra::kMaxRayLineLength];
  std::size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(lucidra::format_ray_line(rays[i], buffer));
    benchmark::ClobberMemory();
    i = (i + 1) % kSamples;
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_format_ray_line);

void BM_snprintf_ray_line(benchmark::State& state) {
  const std::vector<lucidra::RayRecord> rays = sample_rays();
  char buffer[256];
  std::size_t i = 0;
  for (auto _ : state) {
    const lucidra::RayRecord& r = rays[i];
    benchmark::DoNotOptimize(
        std::snprintf(buffer, sizeof buffer, "%e %e %e %e %e %e %e\r\n", r.x, r.y, r.z, r.dx, r.dy, r.dz, r.flux));
    benchmark::ClobberMemory();
    i = (i + 1) % kSamples;
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_snprintf_ray_line);

// The whole output path: lines through the writer's buffer into a file
// that discards them.
void BM_write_rays(benchmark::State& state) {
  const std::vector<lucidra::RayRecord> rays = sample_rays();
  lucidra::RayFileWriter writer("/dev/null");
  std::size_t i = 0;
  for (auto _ : state) {
    writer.write_ray(rays[i]);
    i = (i + 1) % kSamples;
  }
  writer.commit();
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_write_rays);

}  // namespace

BENCHMARK_MAIN();
