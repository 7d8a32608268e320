#include "engine/parallel_phases.h"

#include "base/repeated_sum.h"
#include "output/binary_ray_file.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <condition_variable>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace lucidra {
namespace {

constexpr std::int64_t kChunkItems = 16384;
// Chunks computed ahead of the file (a text chunk is about 1.7 MB, a binary
// one 0.5 MB): memory stays bounded whatever the number of rays and threads.
constexpr std::size_t kMaxChunksInFlight = 48;
// Rays drawn ahead, in bytes: the workers go on drawing while the committing
// thread waits for the disk to take a buffer-full (RayFileWriter's 4 MB),
// so a file is written at the speed of the slower of the two.
constexpr std::size_t kBytesInFlight = std::size_t{8} << 20;

std::size_t ring_size(unsigned threads, std::size_t bytesPerRay) {
  const std::size_t chunkBytes = static_cast<std::size_t>(kChunkItems) * std::max<std::size_t>(bytesPerRay, 1);
  const std::size_t forDisk = (kBytesInFlight + chunkBytes - 1) / chunkBytes;
  return std::clamp<std::size_t>(std::max(3 * static_cast<std::size_t>(threads), forDisk), 4, kMaxChunksInFlight);
}

// How many draws one item takes from each generator; fixed for a run.
struct DrawCounts {
  std::uint64_t uniformPerItem = 0;
  bool sobol = false;
  std::uint64_t runtimePerItem = 0;      // every attempt
  std::uint64_t runtimePerAccepted = 0;  // only accepted attempts (legacy double side)
  bool rejects = false;                  // an elliptical emitter can reject attempts
};

// Counts the draws of one item by running it against a source that only counts.
struct CountingDraws {
  int dimension = 2;
  std::uint64_t uniforms = 0, sobols = 0, runtimes = 0;
  void sobol(float* q) {
    ++sobols;
    for (int d = 0; d < dimension; ++d) q[d] = 0;
  }
  void sobol_unit(double* q) {
    ++sobols;
    for (int d = 0; d < dimension; ++d) q[d] = 0.5;
  }
  double unit() {
    ++uniforms;
    return 0.5;
  }
  std::int32_t uniform(std::int32_t a, std::int32_t b) {
    ++uniforms;
    return std::min(a, b);
  }
  std::int32_t below(std::int32_t k) {
    runtimes += k != 0 ? 1 : 0;
    return 0;
  }
  std::int64_t below_wide(std::int64_t) {
    runtimes += 2;
    return 0;
  }
};

DrawCounts draw_counts(const SamplingPlan& plan, bool fluxPhase) {
  CountingDraws counter;
  counter.dimension = plan.sobol_dimension();
  Levels scratch;
  RayRecord ray;
  SamplingPlan probe = plan;
  probe.planeShape = PlaneShape::Rectangular;  // count an accepted attempt
  // Legacy double side draws only for kept attempts (counted apart below);
  // the default sampling draws on every attempt.
  probe.doubleSide = plan.doubleSide && !plan.legacySampling;
  if (fluxPhase) {
    flux_sample_weight(probe, counter, scratch);
  } else {
    ray_attempt(probe, counter, scratch, ray);
  }
  DrawCounts counts;
  counts.uniformPerItem = counter.uniforms;
  counts.sobol = counter.sobols != 0;
  counts.runtimePerItem = counter.runtimes;
  if (!fluxPhase && plan.ledMode && plan.legacySampling) {
    counts.runtimePerAccepted = plan.doubleSide && plan.legacySampling ? 1 : 0;
    counts.rejects = plan.planeShape == PlaneShape::Elliptical;
  }
  return counts;
}

bool ellipse_accepts(const SamplingPlan& plan, std::int32_t j1, std::int32_t j2) {
  const double x = plan.sizeX * 0.5 - plan.sizeX * j1 / sampling::kResolution;
  const double y = plan.sizeY * 0.5 - plan.sizeY * j2 / sampling::kResolution;
  return !(detail::ellipse_term(x, plan.semiAxisX) + detail::ellipse_term(y, plan.semiAxisY) > 1);
}

bool levels_known(const Levels& l) { return !std::isnan(l.longitudinal) && !std::isnan(l.transversal); }

// Whether a ray's values depend on levels an earlier ray may have left:
// only with legacy sampling, whose levels persist from ray to ray.
bool values_use_levels(const SamplingPlan& plan) {
  if (!plan.legacySampling) return false;
  if (!plan.ledMode) return true;
  if (plan.squareShape && plan.planeShape == PlaneShape::Rectangular) return true;
  return plan.angularType == AngularType::UserDefined || plan.angularType == AngularType::Gaussian;
}

struct Chunk {
  std::int64_t index = -1;
  std::int64_t firstItem = 0;
  std::int64_t items = 0;  // attempts to make (the last chunk of a known count is shorter)
  ChunkDraws start;        // generators before the first attempt
  std::vector<char> bytes;
  std::size_t used = 0;
  std::vector<std::uint8_t> lineLength;
  std::vector<double> values;  // each item's flux, unless they all carry sameFlux
  // The flux every accepted item of the chunk carries (equal-flux rays), or
  // NaN when they differ; then `values` holds them.
  double sameFlux = std::nan("");
  RayExtent extent;  // of the rays from `prefix` on (writing phase)
  std::int64_t accepted = 0;
  std::int64_t prefix = 0;  // accepted items made while a level was unknown
  std::int64_t bad = -1;    // first accepted item with a non-finite number
  bool exhausted = false;   // the Sobol sequence ran out within the chunk
  std::int64_t attemptsDone = 0;
  Levels finalLevels;  // NaN: no lookup of the chunk matched
  bool done = false;
};

class Pipeline {
 public:
  Pipeline(const SamplingPlan& plan, const PhaseStart& start, bool fluxPhase, std::int64_t totalItems, unsigned threads,
           const Levels& initialLevels, RayEncoder encoder = &format_ray_line, std::size_t bytesPerRay = 0)
      : initialLevels_(initialLevels),
        plan_(plan),
        start_(start),
        fluxPhase_(fluxPhase),
        totalItems_(totalItems),
        counts_(draw_counts(plan, fluxPhase)),
        useLevels_(values_use_levels(plan)),
        encode_(encoder),
        encodeBatch_(batch_form_of(encoder)),
        rayBytes_(bytesPerRay != 0 ? bytesPerRay : static_cast<std::size_t>(kMaxRayLineLength)),
        ring_(ring_size(threads, bytesPerRay)) {
    for (auto& slot : ring_) slot = std::make_unique<Chunk>();
    acceptedBefore_.push_back(0);
    for (unsigned t = 0; t < threads; ++t) workers_.emplace_back([this] { work(); });
  }

  ~Pipeline() {
    {
      std::lock_guard lock(mutex_);
      cancelled_ = true;
    }
    changed_.notify_all();
    for (auto& w : workers_) w.join();
  }

  Pipeline(const Pipeline&) = delete;
  Pipeline& operator=(const Pipeline&) = delete;

  // Waits for chunk `c` (taken in order by the committing thread).
  Chunk& wait_for(std::int64_t c) {
    std::unique_lock lock(mutex_);
    Chunk& chunk = *ring_[slot_of(c)];
    changed_.wait(lock, [&] { return failure_ || (chunk.index == c && chunk.done); });
    if (failure_) std::rethrow_exception(failure_);
    return chunk;
  }

  // Frees chunk `c`'s slot for a later chunk.
  void release(std::int64_t c) {
    {
      std::lock_guard lock(mutex_);
      committed_ = c + 1;
    }
    changed_.notify_all();
  }

  // Re-draws the first `count` accepted items of `chunk` in order, from its
  // start, with the true levels; appends lines to `out` and values to
  // `values`, and stops before the first ray with a non-finite number
  // (returns how many items it made).
  std::int64_t redraw(const Chunk& chunk, std::int64_t count, Levels& levels, std::vector<char>& out,
                      std::vector<double>& values, RayExtent* extent = nullptr) const {
    ChunkDraws draws = chunk.start;
    RayRecord ray;
    char line[kMaxRayLineLength];
    std::int64_t made = 0;
    while (made < count) {
      if (fluxPhase_) {
        values.push_back(flux_sample_weight(plan_, draws, levels));
        ++made;
        continue;
      }
      if (!ray_attempt(plan_, draws, levels, ray)) continue;
      if (!is_finite_ray(ray)) break;
      const char* end = encode_(ray, line);
      out.insert(out.end(), static_cast<const char*>(line), end);
      values.push_back(ray.flux);
      if (extent != nullptr) extent->add(ray);
      ++made;
    }
    return made;
  }

  // The attempt (from the chunk's first) that made its accepted item `k`.
  std::int64_t attempt_of(const Chunk& chunk, std::int64_t k) const {
    if (!counts_.rejects) return k;
    std::int32_t seed = chunk.start.uniformSeed;
    for (std::int64_t a = 0;; ++a) {
      const std::int32_t j1 = uniform_int(0, sampling::kResolutionInt, seed);
      const std::int32_t j2 = uniform_int(0, sampling::kResolutionInt, seed);
      seed = skip_direction_draws(seed);
      if (ellipse_accepts(plan_, j1, j2) && k-- == 0) return a;
    }
  }

  bool sobol_in_use() const { return counts_.sobol; }

  // Steps the uniform seed over an attempt's direction draws (two with the
  // Uniform algorithm) in one multiplication modulo 2^31 - 1.
  std::int32_t skip_direction_draws(std::int32_t seed) const {
    if (counts_.uniformPerItem <= 2) return seed;
    constexpr auto kMultiplier = static_cast<std::uint64_t>(kParkMillerMultiplier);
    constexpr std::uint64_t kSquare = kMultiplier * kMultiplier;
    return static_cast<std::int32_t>(static_cast<std::uint64_t>(seed) * kSquare %
                                     static_cast<std::uint64_t>(kParkMillerModulus));
  }

 private:
  std::size_t slot_of(std::int64_t c) const { return static_cast<std::size_t>(c) % ring_.size(); }

  ChunkDraws draws_at(std::int64_t firstItem, std::uint64_t acceptedBefore) const {
    ChunkDraws d;
    d.uniformSeed =
        park_miller_skip(start_.uniformSeed, static_cast<std::uint64_t>(firstItem) * counts_.uniformPerItem);
    d.runtime = start_.runtime;
    d.runtime.skip(static_cast<std::uint64_t>(firstItem) * counts_.runtimePerItem +
                   acceptedBefore * counts_.runtimePerAccepted);
    if (counts_.sobol) {
      d.sobolCursor =
          SobolCursor(*start_.sobolTable, plan_.sobol_dimension(), start_.sobol, start_.sobol.startSeed + firstItem);
    }
    return d;
  }

  std::int64_t count_accepted(std::int64_t firstItem, std::int64_t items) const {
    std::int32_t seed =
        park_miller_skip(start_.uniformSeed, static_cast<std::uint64_t>(firstItem) * counts_.uniformPerItem);
    std::int64_t accepted = 0;
    for (std::int64_t a = 0; a < items; ++a) {
      const std::int32_t j1 = uniform_int(0, sampling::kResolutionInt, seed);
      const std::int32_t j2 = uniform_int(0, sampling::kResolutionInt, seed);
      seed = skip_direction_draws(seed);
      accepted += ellipse_accepts(plan_, j1, j2) ? 1 : 0;
    }
    return accepted;
  }

  void work() {
    try {
      for (;;) {
        std::int64_t c = 0;
        {
          std::unique_lock lock(mutex_);
          changed_.wait(lock, [&] {
            return cancelled_ || (next_ < committed_ + static_cast<std::int64_t>(ring_.size()) && more_work());
          });
          if (cancelled_) return;
          c = next_++;
        }
        const std::int64_t first = c * kChunkItems;
        const std::int64_t items = totalItems_ < 0 ? kChunkItems : std::min(kChunkItems, totalItems_ - first);
        std::uint64_t acceptedBefore = static_cast<std::uint64_t>(first);
        if (counts_.rejects && counts_.runtimePerAccepted != 0) {
          const std::int64_t mine = count_accepted(first, items);
          std::unique_lock lock(mutex_);
          changed_.wait(lock, [&] {
            return cancelled_ || static_cast<std::int64_t>(acceptedBefore_.size()) > c - acceptedBase_;
          });
          if (cancelled_) return;
          acceptedBefore = acceptedBefore_[static_cast<std::size_t>(c - acceptedBase_)];
          acceptedBefore_.push_back(acceptedBefore + static_cast<std::uint64_t>(mine));
          while (acceptedBefore_.size() > 2 * ring_.size()) {
            acceptedBefore_.pop_front();
            ++acceptedBase_;
          }
          changed_.notify_all();
        }
        Chunk& chunk = *ring_[slot_of(c)];
        fill(chunk, c, first, items, acceptedBefore);
        {
          std::lock_guard lock(mutex_);
          chunk.done = true;
        }
        changed_.notify_all();
      }
    } catch (...) {
      std::lock_guard lock(mutex_);
      if (!failure_) failure_ = std::current_exception();
      changed_.notify_all();
    }
  }

  bool more_work() const { return totalItems_ < 0 || next_ * kChunkItems < totalItems_; }

  // The rays of a chunk of the equal-flux or weighted sampling: a fixed
  // number of draws a ray, no levels, no rejection; drawn a batch at a time.
  void fill_modern(Chunk& chunk, ChunkDraws& draws, std::int64_t items) {
    constexpr auto kBatch = static_cast<std::int64_t>(DirectionSampler::kBatch);
    RayRecord rays[kBatch];
    std::int64_t attempt = 0;
    while (attempt < items) {
      std::int64_t n = std::min(kBatch, items - attempt);
      if (counts_.sobol) {
        const std::int64_t left = kSobolSeedLimit - draws.sobolCursor.seed();
        if (left <= 0) {
          chunk.exhausted = true;
          break;
        }
        n = std::min(n, left);
      }
      detail::modern_rays(plan_, draws, rays, static_cast<std::size_t>(n));
      // The batch up to its first ray that is not a finite number, if any:
      // that ray is the chunk's last. The extent's pass tells whether there
      // is one; then the extent takes only the rays up to it.
      std::int64_t keep = n;
      const RayExtent before = chunk.extent;
      if (!chunk.extent.add(rays, static_cast<std::size_t>(n))) {
        keep = 0;
        while (keep < n && is_finite_ray(rays[keep])) ++keep;
        keep = std::min(keep + 1, n);  // up to and with the first such ray
        chunk.extent = before;
        (void)chunk.extent.add(rays, static_cast<std::size_t>(keep));
      }
      std::size_t k = static_cast<std::size_t>(chunk.accepted);
      std::size_t used = chunk.used;
      char* const bytes = chunk.bytes.data();
      std::uint8_t* const lengths = chunk.lineLength.data();
      keep_flux_values(chunk, rays, keep);
      if (encodeBatch_ != nullptr) {
        const char* end = encodeBatch_(rays, static_cast<std::size_t>(keep), bytes + used, lengths + k);
        used = static_cast<std::size_t>(end - bytes);
        k += static_cast<std::size_t>(keep);
      }
      for (std::int64_t i = encodeBatch_ != nullptr ? keep : 0; i < keep; ++i, ++k) {
        char* out = bytes + used;
        const char* end = encode_(rays[i], out);
        lengths[k] = static_cast<std::uint8_t>(end - out);
        used += static_cast<std::size_t>(end - out);
      }
      chunk.used = used;
      chunk.accepted += keep;
      attempt += keep;
      if (keep < n) {
        chunk.bad = chunk.accepted - 1;
        chunk.attemptsDone = attempt;
        return;
      }
    }
    chunk.attemptsDone = attempt;
  }

  // Keeps the fluxes of a batch of rays for the committing thread: nothing
  // while every ray of the chunk carries the same flux (equal-flux rays),
  // each ray's value from the first one that differs.
  static void keep_flux_values(Chunk& chunk, const RayRecord* rays, std::int64_t keep) {
    if (keep == 0) return;
    const auto from = static_cast<std::size_t>(chunk.accepted);
    if (chunk.accepted == 0) chunk.sameFlux = rays[0].flux;
    if (!std::isnan(chunk.sameFlux)) {
      const std::uint64_t common = std::bit_cast<std::uint64_t>(chunk.sameFlux);
      std::uint64_t differs = 0;
      for (std::int64_t i = 0; i < keep; ++i) differs |= std::bit_cast<std::uint64_t>(rays[i].flux) ^ common;
      if (differs == 0) return;
      std::fill_n(chunk.values.begin(), from, chunk.sameFlux);
      chunk.sameFlux = std::nan("");
    }
    for (std::int64_t i = 0; i < keep; ++i) chunk.values[from + static_cast<std::size_t>(i)] = rays[i].flux;
  }

  void fill(Chunk& chunk, std::int64_t c, std::int64_t first, std::int64_t items, std::uint64_t acceptedBefore) {
    {
      std::lock_guard lock(mutex_);
      chunk.index = c;
      chunk.done = false;
    }
    chunk.firstItem = first;
    chunk.items = items;
    chunk.start = draws_at(first, acceptedBefore);
    chunk.accepted = 0;
    chunk.prefix = 0;
    chunk.bad = -1;
    chunk.extent = RayExtent{};
    chunk.sameFlux = std::nan("");
    chunk.exhausted = false;
    chunk.used = 0;
    chunk.values.resize(static_cast<std::size_t>(items));
    if (!fluxPhase_) {
      // Room for every ray at its largest, and for the encoder's full
      // buffer at the last one.
      chunk.bytes.resize(static_cast<std::size_t>(items) * rayBytes_ + kMaxRayLineLength);
      chunk.lineLength.resize(static_cast<std::size_t>(items));
    }
    // The first chunk of a phase starts from the levels the run had; every
    // other chunk starts with unknown levels.
    Levels levels = c == 0 ? initialLevels_ : Levels{std::nan(""), std::nan("")};
    ChunkDraws draws = chunk.start;
    if (!fluxPhase_ && plan_.modern()) {
      fill_modern(chunk, draws, items);
      chunk.finalLevels = levels;
      return;
    }
    RayRecord ray;
    bool known = levels_known(levels);
    std::int64_t attempt = 0;
    for (; attempt < items; ++attempt) {
      if (counts_.sobol && draws.sobolCursor.seed() >= kSobolSeedLimit) {
        chunk.exhausted = true;
        break;
      }
      const auto k = static_cast<std::size_t>(chunk.accepted);
      if (fluxPhase_) {
        chunk.values[k] = flux_sample_weight(plan_, draws, levels);
      } else {
        if (!ray_attempt(plan_, draws, levels, ray)) continue;
        chunk.values[k] = ray.flux;
        char* out = chunk.bytes.data() + chunk.used;
        const char* end = encode_(ray, out);
        chunk.lineLength[k] = static_cast<std::uint8_t>(end - out);
        chunk.used += static_cast<std::size_t>(end - out);
      }
      if (!known) known = levels_known(levels);
      if (!known && useLevels_) {
        chunk.prefix = chunk.accepted + 1;  // drawn again, and measured, by the committing thread
      } else if (!fluxPhase_) {
        if (chunk.bad < 0 && !is_finite_ray(ray)) {
          chunk.bad = chunk.accepted;
          ++chunk.accepted;
          ++attempt;
          break;
        }
        chunk.extent.add(ray);
      }
      ++chunk.accepted;
    }
    chunk.attemptsDone = attempt;
    chunk.finalLevels = levels;
  }

 private:
  const Levels initialLevels_;
  const SamplingPlan& plan_;
  const PhaseStart& start_;
  const bool fluxPhase_;
  const std::int64_t totalItems_;  // -1: until the committing thread has enough
  const DrawCounts counts_;
  const bool useLevels_;
  const RayEncoder encode_;               // a text line or a binary record per ray
  const RecordBatchEncoder encodeBatch_;  // the binary records a batch at a time, or nullptr
  const std::size_t rayBytes_;            // the most one ray's encoding takes

  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::unique_ptr<Chunk>> ring_;
  std::int64_t next_ = 0;
  std::int64_t committed_ = 0;
  bool cancelled_ = false;
  std::exception_ptr failure_;
  std::deque<std::uint64_t> acceptedBefore_;  // accepted attempts before chunk acceptedBase_ + i
  std::int64_t acceptedBase_ = 0;
  std::vector<std::thread> workers_;
};

Levels merge_levels(const Levels& chunkEnd, const Levels& before) {
  return Levels{std::isnan(chunkEnd.longitudinal) ? before.longitudinal : chunkEnd.longitudinal,
                std::isnan(chunkEnd.transversal) ? before.transversal : chunkEnd.transversal};
}

}  // namespace

double flux_phase(const SamplingPlan& plan, const PhaseStart& start, Levels& levels, unsigned threads,
                  const PhaseHooks& hooks, PhaseEnd& end) {
  const std::int64_t total = plan.rayCount + 1;
  Pipeline pipeline(plan, start, true, total, threads, levels);
  double sum = 0;
  std::int64_t done = 0;
  std::vector<char> unusedBytes;
  std::vector<double> redrawn;
  for (std::int64_t c = 0; done < total; ++c) {
    const Chunk& chunk = pipeline.wait_for(c);
    if (hooks.stopRequested && hooks.stopRequested()) {
      throw RunInterrupted("Generation interrupted during the flux calculation");
    }
    hooks.progressRange(done + 1, done + chunk.accepted);
    Levels current = levels;
    if (chunk.prefix > 0) {
      redrawn.clear();
      pipeline.redraw(chunk, chunk.prefix, current, unusedBytes, redrawn);
      for (double w : redrawn) sum += w;
    }
    for (std::int64_t k = chunk.prefix; k < chunk.accepted; ++k) sum += chunk.values[static_cast<std::size_t>(k)];
    levels = merge_levels(chunk.finalLevels, current);
    done += chunk.accepted;
    pipeline.release(c);
  }
  const DrawCounts counts = draw_counts(plan, true);
  end.uniformSeed = park_miller_skip(start.uniformSeed, static_cast<std::uint64_t>(total) * counts.uniformPerItem);
  end.runtime = start.runtime;
  end.runtime.skip(static_cast<std::uint64_t>(total) * counts.runtimePerItem);
  end.lastSobolSeed = counts.sobol ? start.sobol.startSeed + total - 1 : -1;
  return sum;
}

void writing_phase(const SamplingPlan& plan, const PhaseStart& start, Levels& levels, RayFileWriter& writer,
                   unsigned threads, const PhaseHooks& hooks, WritingPhaseResult& result, PhaseEnd& end) {
  const std::int64_t needed = plan.rayCount + 1;
  const DrawCounts counts = draw_counts(plan, false);
  Pipeline pipeline(plan, start, false, counts.rejects ? -1 : needed, threads, levels, writer.encoder(),
                    writer.bytes_per_ray());
  std::vector<char> redrawnBytes;
  std::vector<double> redrawn;
  end.lastSobolSeed = -1;
  for (std::int64_t c = 0; result.raysWritten < needed; ++c) {
    const Chunk& chunk = pipeline.wait_for(c);
    if (hooks.stopRequested && hooks.stopRequested()) throw RunInterrupted("Generation interrupted");
    const std::int64_t take = std::min(chunk.accepted, needed - result.raysWritten);
    hooks.progressRange(result.raysWritten + 2, result.raysWritten + take + 1);
    if (counts.sobol) {
      const std::int64_t attempts =
          take < chunk.accepted ? pipeline.attempt_of(chunk, take - 1) + 1 : chunk.attemptsDone;
      if (attempts > 0) end.lastSobolSeed = start.sobol.startSeed + chunk.firstItem + attempts - 1;
    }

    // Rays drawn while a level was unknown to the worker are drawn again here.
    Levels current = levels;
    const std::int64_t redo = std::min(chunk.prefix, take);
    // The worker drew beyond the rays the file needs only in the last chunk.
    const bool truncated = take < chunk.accepted;
    std::size_t skip = 0;
    if (redo > 0) {
      redrawnBytes.clear();
      redrawn.clear();
      const std::int64_t good =
          pipeline.redraw(chunk, redo, current, redrawnBytes, redrawn, truncated ? nullptr : &result.extent);
      writer.write_rays(std::string_view(redrawnBytes.data(), redrawnBytes.size()));
      for (double flux : redrawn) result.obtainedFlux += flux;
      result.raysWritten += good;
      if (good < redo) refuse_non_finite_ray(result.raysWritten + 1);
      for (std::int64_t k = 0; k < redo; ++k) skip += chunk.lineLength[static_cast<std::size_t>(k)];
    }
    const std::int64_t last = chunk.bad >= 0 && chunk.bad < take ? chunk.bad : take;
    std::size_t bytes = 0;
    if (redo == 0 && last == chunk.accepted) {
      bytes = chunk.used;
    } else {
      for (std::int64_t k = redo; k < last; ++k) bytes += chunk.lineLength[static_cast<std::size_t>(k)];
    }
    if (!std::isnan(chunk.sameFlux)) {
      result.obtainedFlux = add_repeatedly(result.obtainedFlux, chunk.sameFlux,
                                           static_cast<std::uint64_t>(std::max<std::int64_t>(0, last - redo)));
    } else {
      for (std::int64_t k = redo; k < last; ++k) result.obtainedFlux += chunk.values[static_cast<std::size_t>(k)];
    }
    writer.write_rays(std::string_view(chunk.bytes.data() + skip, bytes));
    result.raysWritten += last - redo;
    if (last < take) refuse_non_finite_ray(result.raysWritten + 1);
    if (truncated) {
      // The worker's extent covers rays the file does not hold: the rays
      // written are drawn again (once a run, at most one chunk) for theirs.
      Levels again = levels;
      redrawnBytes.clear();
      redrawn.clear();
      pipeline.redraw(chunk, take, again, redrawnBytes, redrawn, &result.extent);
    } else {
      result.extent.merge(chunk.extent);
    }

    levels = merge_levels(chunk.finalLevels, current);
    if (result.raysWritten < needed && chunk.exhausted) refuse_exhausted(result.raysWritten);
    pipeline.release(c);
  }
}

}  // namespace lucidra
