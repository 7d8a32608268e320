#pragma once
// The flux phase and the writing phase on any number of worker threads,
// with output identical byte for byte to drawing the rays one after another
// (one worker is the same pipeline; the tests keep a plain loop to compare).
//
// Work is cut into chunks of consecutive attempts. Every generator can start
// anywhere: the uniform seed and the runtime generator jump ahead, a Sobol
// point is computed from its seed. What one ray hands to the next is carried
// exactly: with legacy sampling the runtime draws of double-sided emission
// depend on how many attempts were accepted before (acceptance depends only
// on the two point draws, so it is counted first); a level that no lookup of a chunk has set
// yet is unknown to that chunk's worker, so the rays it touched are drawn
// again, in order, by the committing thread once the earlier chunks are done;
// flux sums are added in ray order.

#include <array>
#include <bit>
#include <cstdint>
#include <functional>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "engine/writing_phase.h"
#include "random/park_miller.h"
#include "random/runtime_generator.h"
#include "random/sobol.h"
#include "sampling/ray_sampler.h"

namespace lucidra {

// The generators at the start of a phase.
struct PhaseStart {
  std::int32_t uniformSeed = 0;
  RuntimeGenerator runtime;
  SobolPass sobol;
  const SobolState* sobolTable = nullptr;  // built for the plan's dimension
};

// Progress and stop hooks; `progress` receives the item counter that the
// sequential loops would show (sample i, or ray slot s).
struct PhaseHooks {
  std::function<void(std::int64_t first, std::int64_t last)> progressRange;
  std::function<bool()> stopRequested;
};

struct PhaseEnd {
  std::int32_t uniformSeed = 0;
  RuntimeGenerator runtime;
  std::int64_t lastSobolSeed = -1;  // last seed a point was drawn for (-1: none)
};

// N + 1 flux samples; returns the weight sum, added in sample order.
double flux_phase(const SamplingPlan& plan, const PhaseStart& start, Levels& levels, unsigned threads,
                  const PhaseHooks& hooks, PhaseEnd& end);

// N + 1 rays into `writer`.
void writing_phase(const SamplingPlan& plan, const PhaseStart& start, Levels& levels, RayFileWriter& writer,
                   unsigned threads, const PhaseHooks& hooks, WritingPhaseResult& result, PhaseEnd& end);

// The Sobol source of a worker: points of consecutive seeds from a start,
// each the regular point XOR the pass offset, as i4_sobol returns them.
class SobolCursor {
 public:
  SobolCursor() = default;
  SobolCursor(const SobolState& table, int dimension, const SobolPass& pass, std::int64_t seed)
      : table_(&table), dimension_(dimension), seed_(seed) {
    for (int d = 0; d < dimension; ++d) {
      current_[d] = sobol_integer_coordinate(table, d, seed) ^ pass.offset[static_cast<std::size_t>(d)];
    }
    // The direction numbers by column, a point's dimensions side by side,
    // and a last column of zeros for the seeds past the table.
    for (int column = 0; column < SOBOL_MAX_BITS; ++column) {
      for (int d = 0; d < dimension && d < kMaxDimension; ++d) {
        byColumn_[static_cast<std::size_t>(column)][static_cast<std::size_t>(d)] =
            table.direction_numbers[static_cast<std::size_t>(d)][static_cast<std::size_t>(column)];
      }
    }
  }
  void next(float* q) {
    const auto column = static_cast<unsigned>(std::countr_zero(static_cast<std::uint64_t>(seed_ + 1)));
    for (int d = 0; d < dimension_; ++d) {
      q[d] = static_cast<float>(current_[d]) * table_->unit_scale;
      if (column < SOBOL_MAX_BITS) current_[d] ^= table_->direction_numbers[d][column];
    }
    ++seed_;
  }
  // The same point with double coordinates: the 30-bit integers scaled
  // exactly, where single precision would round them onto a coarser grid
  // near 1.
  void next_unit(double* q) {
    // The dimensions the samplings use, unrolled: every ray takes one point.
    switch (dimension_) {
      case 4: return next_unit_of<4>(q);
      case 5: return next_unit_of<5>(q);
      case 6: return next_unit_of<6>(q);
      default: break;
    }
    const auto column = static_cast<unsigned>(std::countr_zero(static_cast<std::uint64_t>(seed_ + 1)));
    for (int d = 0; d < dimension_; ++d) {
      q[d] = static_cast<double>(current_[d]) * kUnit;
      if (column < SOBOL_MAX_BITS) current_[d] ^= table_->direction_numbers[d][column];
    }
    ++seed_;
  }
  // The next n points, each as next_unit gives it, coordinate d of point i
  // into q[d][i]. The state stays in registers over the batch: stepped in
  // memory one 32-bit word at a time and read back two at a time, it would
  // stall every point on a store that cannot be forwarded.
  template <std::size_t Stride>
  void next_columns(std::size_t n, double (*q)[Stride]) {
    switch (dimension_) {
      case 4: return next_columns_of<4>(n, q);
      case 5: return next_columns_of<5>(n, q);
      case 6: return next_columns_of<6>(n, q);
      default: break;
    }
    double point[kMaxDimension];
    for (std::size_t i = 0; i < n; ++i) {
      next_unit(point);
      for (int d = 0; d < dimension_; ++d) q[d][i] = point[d];
    }
  }
  std::int64_t seed() const { return seed_; }

  static constexpr int kMaxDimension = 8;

 private:
  static constexpr double kUnit = 1.0 / 1073741824.0;  // 2^-30

  template <int D>
  void next_unit_of(double* q) {
    const auto column = static_cast<unsigned>(std::countr_zero(static_cast<std::uint64_t>(seed_ + 1)));
    // Past the table's columns the point stays (as the loop above leaves it).
    const bool step = column < SOBOL_MAX_BITS;
    const unsigned at = step ? column : 0;
    for (int d = 0; d < D; ++d) {
      q[d] = static_cast<double>(current_[d]) * kUnit;
      current_[d] ^= step ? table_->direction_numbers[static_cast<std::size_t>(d)][at] : 0;
    }
    ++seed_;
  }
  template <int D, std::size_t Stride>
  void next_columns_of(std::size_t n, double (*q)[Stride]) {
    std::int64_t seed = seed_;
#if defined(__SSE2__)
    // Four dimensions a 128-bit vector: one exclusive or of a column's
    // numbers, two at a time into doubles (exact, as the scalar steps).
    __m128i low = _mm_loadu_si128(reinterpret_cast<const __m128i*>(current_));
    __m128i high = _mm_loadu_si128(reinterpret_cast<const __m128i*>(current_ + 4));
    const __m128d unit = _mm_set1_pd(kUnit);
    for (std::size_t i = 0; i < n; ++i, ++seed) {
      const auto column = static_cast<unsigned>(std::countr_zero(static_cast<std::uint64_t>(seed + 1)));
      const std::size_t at = column < SOBOL_MAX_BITS ? column : SOBOL_MAX_BITS;
      const __m128d first = _mm_mul_pd(_mm_cvtepi32_pd(low), unit);
      const __m128d second = _mm_mul_pd(_mm_cvtepi32_pd(_mm_unpackhi_epi64(low, low)), unit);
      _mm_storel_pd(&q[0][i], first);
      _mm_storeh_pd(&q[1][i], first);
      _mm_storel_pd(&q[2][i], second);
      _mm_storeh_pd(&q[3][i], second);
      if constexpr (D > 4) {
        const __m128d third = _mm_mul_pd(_mm_cvtepi32_pd(high), unit);
        _mm_storel_pd(&q[4][i], third);
        if constexpr (D > 5) _mm_storeh_pd(&q[5][i], third);
      }
      low = _mm_xor_si128(low, _mm_loadu_si128(reinterpret_cast<const __m128i*>(byColumn_[at].data())));
      high = _mm_xor_si128(high, _mm_loadu_si128(reinterpret_cast<const __m128i*>(byColumn_[at].data() + 4)));
    }
    _mm_storeu_si128(reinterpret_cast<__m128i*>(current_), low);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(current_ + 4), high);
#else
    std::int32_t current[D];
    for (int d = 0; d < D; ++d) current[d] = current_[d];
    for (std::size_t i = 0; i < n; ++i, ++seed) {
      const auto column = static_cast<unsigned>(std::countr_zero(static_cast<std::uint64_t>(seed + 1)));
      const std::size_t at = column < SOBOL_MAX_BITS ? column : SOBOL_MAX_BITS;
      for (int d = 0; d < D; ++d) {
        q[d][i] = static_cast<double>(current[d]) * kUnit;
        current[d] ^= byColumn_[at][static_cast<std::size_t>(d)];
      }
    }
    for (int d = 0; d < D; ++d) current_[d] = current[d];
#endif
    seed_ = seed;
  }
  const SobolState* table_ = nullptr;
  int dimension_ = 0;
  std::int64_t seed_ = 0;
  std::int32_t current_[kMaxDimension] = {};
  std::array<std::array<std::int32_t, kMaxDimension>, SOBOL_MAX_BITS + 1> byColumn_{};
};

// Draws of a worker: jumped-ahead copies of the run's generators.
struct ChunkDraws {
  SobolCursor sobolCursor;
  std::int32_t uniformSeed = 0;
  RuntimeGenerator runtime;

  void sobol(float* q) { sobolCursor.next(q); }
  void sobol_unit(double* q) { sobolCursor.next_unit(q); }
  void sobol_columns(std::size_t n, double (*q)[DirectionSampler::kBatch]) { sobolCursor.next_columns(n, q); }
  double unit() { return uniform01(uniformSeed); }
  void units(std::size_t n, double* out) { uniform01_n(uniformSeed, n, out); }
  std::int32_t uniform(std::int32_t a, std::int32_t b) { return uniform_int(a, b, uniformSeed); }
  std::int32_t below(std::int32_t k) { return random_below(runtime, k); }
  std::int64_t below_wide(std::int64_t k) { return random_below_wide(runtime, k); }
};

}  // namespace lucidra
