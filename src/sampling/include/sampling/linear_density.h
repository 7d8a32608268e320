#pragma once
// Inverting a density that is linear over an interval: the step every
// table-driven sampler ends with, so that a point of the unit square lands
// exactly where the piecewise-linear law puts its share of the flux.

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace lucidra {

// The fraction s in [0, 1] of an interval at which a density going
// linearly from a (at s = 0) to b (at s = 1) has accumulated `mass`, where
// the whole interval holds (a + b) / 2. Solves (b - a)/2 s^2 + a s = mass in
// the form that keeps its precision when a and b are close or one is 0.
inline double invert_linear_density(double a, double b, double mass) noexcept {
  const double root = std::sqrt(std::max(0.0, a * a + 2 * (b - a) * mass));
  const double denominator = a + root;
  const double s = denominator > 0 ? 2 * mass / denominator : 0;
  return std::clamp(s, 0.0, 1.0);
}

#if defined(__GNUC__) && defined(__x86_64__) && !defined(_WIN32)
#define LUCIDRA_LINEAR_DENSITY_WIDE 1
namespace detail {
// invert_linear_density_n four at a time with AVX2 where the processor has
// it (linear_density.cpp); returns how many of the n it did (a multiple of
// four, 0 without AVX2). Windows is left out as for sin_cos_wide.
std::size_t invert_linear_density_wide(std::size_t n, const double* a, const double* b, const double* mass,
                                       double* s) noexcept;
// LinearDensity::quantiles four at a time with AVX2 gathers, from the
// nodes as (cumulative, x, p) triples; returns how many of the n it did (a
// multiple of four, 0 without AVX2) and sets bit i of `unsettled` for each
// share whose interval it could not settle in one step (out[i] is then to
// be taken again).
std::size_t linear_density_quantiles_wide(std::size_t n, const double* q, double* out, const double* nodes,
                                          std::size_t size, const std::uint32_t* guide, std::size_t guideSize,
                                          double total, std::uint64_t& unsettled) noexcept;
}  // namespace detail
#endif

#if defined(__GNUC__) && defined(__SSE2__)
namespace detail {
// invert_linear_density of the lanes of a vector of doubles, each lane
// taking the scalar steps in the scalar order, in two halves around the
// square root, which the caller takes with the instruction of its width:
// the radicand, std::max(0.0, square) ...
template <class Lanes>
[[gnu::always_inline]] inline Lanes linear_density_radicand(Lanes a, Lanes b, Lanes mass) noexcept {
  const Lanes zero = Lanes{};
  const Lanes square = a * a + 2.0 * (b - a) * mass;
  return zero < square ? square : zero;
}
// ... and the share from its root: the ternary and std::clamp(v, 0.0, 1.0)
// as selections with the same operands.
template <class Lanes>
[[gnu::always_inline]] inline Lanes linear_density_share(Lanes a, Lanes mass, Lanes root) noexcept {
  const Lanes zero = Lanes{}, one = zero + 1.0;
  const Lanes denominator = a + root;
  const Lanes quotient = 2.0 * mass / denominator;
  const Lanes v = denominator > zero ? quotient : zero;
  return v < zero ? zero : (one < v ? one : v);
}
}  // namespace detail
#endif

// invert_linear_density of n triples, the same bits as n calls: four at a
// time in a 256-bit vector where the processor has AVX2, then two at a time
// in a 128-bit one (SSE2, every x86-64), each lane taking the scalar steps,
// the choices of std::max, the ternary and std::clamp as selections with
// the same operands. Square roots and divisions of several points then
// cost one instruction.
inline void invert_linear_density_n(std::size_t n, const double* a, const double* b, const double* mass,
                                    double* s) noexcept {
  std::size_t i = 0;
#if defined(LUCIDRA_LINEAR_DENSITY_WIDE)
  i = detail::invert_linear_density_wide(n, a, b, mass, s);
#endif
#if defined(__GNUC__) && defined(__SSE2__)
  using Pair = double __attribute__((vector_size(16)));
  for (; i + 2 <= n; i += 2) {
    Pair va, vb, vm;
    std::memcpy(&va, a + i, sizeof va);
    std::memcpy(&vb, b + i, sizeof vb);
    std::memcpy(&vm, mass + i, sizeof vm);
    const Pair root = __builtin_ia32_sqrtpd(detail::linear_density_radicand(va, vb, vm));
    const Pair share = detail::linear_density_share(va, vm, root);
    std::memcpy(s + i, &share, sizeof share);
  }
#endif
  for (; i < n; ++i) s[i] = invert_linear_density(a[i], b[i], mass[i]);
}

// A density over [x0, xn] given by its values at ascending nodes and linear
// between them, sampled exactly through its cumulative distribution.
class LinearDensity {
 public:
  LinearDensity() = default;
  // Nodes strictly ascending, values finite and >= 0, at least two nodes.
  LinearDensity(const std::vector<double>& x, const std::vector<double>& p) {
    node_.resize(x.size());
    for (std::size_t i = 0; i < x.size(); ++i) {
      node_[i].x = x[i];
      node_[i].p = p[i];
      node_[i].cumulative = i == 0 ? 0.0 : node_[i - 1].cumulative + 0.5 * (p[i - 1] + p[i]) * (x[i] - x[i - 1]);
    }
    // About eight guide entries a node, so that nearly every share finds
    // its node within one step of its entry even where the density is low:
    // guide_[k] is the first node whose cumulative exceeds the share
    // k / size of the total.
    guide_.resize(std::bit_ceil(8 * node_.size()));
    std::size_t i = 0;
    for (std::size_t k = 0; k < guide_.size(); ++k) {
      const double limit = total() * static_cast<double>(k) / static_cast<double>(guide_.size());
      while (i < node_.size() && node_[i].cumulative <= limit) ++i;
      guide_[k] = static_cast<std::uint32_t>(i);
    }
  }

  double total() const { return node_.empty() ? 0 : node_.back().cumulative; }
  double front() const { return node_.front().x; }
  double back() const { return node_.back().x; }

  // The abscissa below which a share q (0..1) of the mass lies.
  double quantile(double q) const noexcept {
    const double target = q * total();
    const std::size_t k = interval_of(q, target);
    const double width = node_[k].x - node_[k - 1].x;
    const double inInterval = (target - node_[k - 1].cumulative) / width;
    return node_[k - 1].x + width * invert_linear_density(node_[k - 1].p, node_[k].p, inInterval);
  }

  // quantile() of n <= kBatch shares at once, with the same arithmetic:
  // every search first, then every inversion, so that the square roots and
  // divisions of different shares overlap instead of each waiting on its
  // own search.
  static constexpr std::size_t kBatch = 64;
  void quantiles(std::size_t n, const double* q, double* out) const noexcept {
#if defined(LUCIDRA_LINEAR_DENSITY_WIDE)
    if (node_.size() >= 2 && n <= kBatch) {
      static_assert(sizeof(Node) == 3 * sizeof(double));
      std::uint64_t unsettled = 0;
      const std::size_t done =
          detail::linear_density_quantiles_wide(n, q, out, reinterpret_cast<const double*>(node_.data()), node_.size(),
                                                guide_.data(), guide_.size(), total(), unsettled);
      for (; unsettled != 0; unsettled &= unsettled - 1) {
        const auto i = static_cast<std::size_t>(std::countr_zero(unsettled));
        out[i] = quantile(q[i]);
      }
      q += done;
      out += done;
      n -= done;
    }
#endif
    std::size_t interval[kBatch];
    double inInterval[kBatch], width[kBatch];
    double a[kBatch], b[kBatch], s[kBatch];
    double targets[kBatch];
    // The search of interval_of in passes over the batch: the guide's
    // entries, then a step back and a step forward without a jump, then
    // whatever steps are left (rarely any). Each pass's loads are
    // independent from point to point, so they overlap, and the loops that
    // would mispredict run only where a point needs them.
    const std::size_t size = node_.size();
    for (std::size_t i = 0; i < n; ++i) {
      targets[i] = q[i] * total();
      interval[i] = guide_[guide_entry(q[i])];
    }
    // A point is settled when its node is inside the table and its target
    // lies in [cumulative before, cumulative at): that interval has mass,
    // and interval_from would keep it. The others (rarely any) take it.
    static_assert(kBatch <= 64);
    std::uint64_t unsettled = 0;
    for (std::size_t i = 0; i < n; ++i) {
      std::size_t k = interval[i];
      const double target = targets[i];
      k -= static_cast<std::size_t>(k > 0 && node_[k > 0 ? k - 1 : 0].cumulative > target);
      k += static_cast<std::size_t>(k < size && node_[k < size ? k : size - 1].cumulative <= target);
      interval[i] = k;
      const std::size_t inside = std::clamp<std::size_t>(k, 1, size - 1);
      // As numbers, so that the three tests need no jump between them.
      const auto settled = static_cast<unsigned>(k == inside) &
                           static_cast<unsigned>(node_[inside - 1].cumulative <= target) &
                           static_cast<unsigned>(target < node_[inside].cumulative);
      unsettled |= static_cast<std::uint64_t>(settled ^ 1u) << i;
    }
    for (; unsettled != 0; unsettled &= unsettled - 1) {
      const auto i = static_cast<std::size_t>(std::countr_zero(unsettled));
      interval[i] = interval_from(interval[i], targets[i]);
    }
    for (std::size_t i = 0; i < n; ++i) {
      const double target = targets[i];
      const std::size_t k = interval[i];
      inInterval[i] = target - node_[k - 1].cumulative;
      width[i] = node_[k].x - node_[k - 1].x;
      a[i] = node_[k - 1].p;
      b[i] = node_[k].p;
    }
    // The divisions apart from the searches, so that they go two at a time.
    for (std::size_t i = 0; i < n; ++i) inInterval[i] /= width[i];
    invert_linear_density_n(n, a, b, inInterval, s);
    for (std::size_t i = 0; i < n; ++i) out[i] = node_[interval[i] - 1].x + width[i] * s[i];
  }

 private:
  // The interval (its upper node) that holds `target` = q * total().
  std::size_t interval_of(double q, double target) const noexcept {
    // The first node whose cumulative exceeds the target (as upper_bound
    // finds it), from the guide's entry: a step or two instead of a search.
    std::size_t k = guide_[guide_entry(q)];
    // The first step without a branch: whether a share takes it is as good
    // as random, so a branch there would be mispredicted half the time.
    const std::size_t size = node_.size();
    k += static_cast<std::size_t>(k < size && node_[k < size ? k : size - 1].cumulative <= target);
    return interval_from(k, target);
  }

  std::size_t guide_entry(double q) const noexcept {
    return std::min(guide_.size() - 1, static_cast<std::size_t>(std::max(0.0, q) * static_cast<double>(guide_.size())));
  }

  // The interval holding the target, from node k: the first node whose
  // cumulative exceeds it, kept inside the nodes, past intervals without mass.
  std::size_t interval_from(std::size_t k, double target) const noexcept {
    while (k > 0 && node_[k - 1].cumulative > target) --k;
    const std::size_t size = node_.size();
    while (k < size && node_[k].cumulative <= target) ++k;
    k = std::clamp<std::size_t>(k, 1, node_.size() - 1);
    // Skip intervals without mass (a target at their common cumulative).
    while (k + 1 < node_.size() && node_[k].cumulative - node_[k - 1].cumulative <= 0) ++k;
    return k;
  }

  // Each node's abscissa, value and the mass below it, side by side: an
  // interval's search and inversion read one or two cache lines.
  struct Node {
    double cumulative, x, p;
  };
  std::vector<Node> node_;
  std::vector<std::uint32_t> guide_;
};

}  // namespace lucidra
