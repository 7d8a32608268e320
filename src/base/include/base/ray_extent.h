#pragma once
// Where a ray set starts and how much of it goes backwards: the bounding box
// of the start points and the rays (and their flux) whose z direction cosine
// is negative. A run gathers it as it writes, so that its summary needs no
// second pass over the file.

#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>

#include "base/ray_record.h"
#include "base/repeated_sum.h"

namespace lucidra {

struct RayExtent {
  static constexpr double kInfinity = std::numeric_limits<double>::infinity();

  std::int64_t rays = 0;
  std::int64_t backwardRays = 0;
  double backwardFlux = 0;
  // Start-point bounds (mm), x y z; lo > hi while no ray was added.
  std::array<double, 3> lo{kInfinity, kInfinity, kInfinity};
  std::array<double, 3> hi{-kInfinity, -kInfinity, -kInfinity};

  void add(const RayRecord& ray) {
    ++rays;
    lo[0] = std::min(lo[0], ray.x);
    lo[1] = std::min(lo[1], ray.y);
    lo[2] = std::min(lo[2], ray.z);
    hi[0] = std::max(hi[0], ray.x);
    hi[1] = std::max(hi[1], ray.y);
    hi[2] = std::max(hi[2], ray.z);
    // Without a branch: a double-sided emitter's rays go either way at random.
    const bool backward = ray.dz < 0;
    backwardRays += backward ? 1 : 0;
    backwardFlux += backward ? ray.flux : 0.0;
  }

  // The same as add() for each of `n` rays in turn, with the running bounds
  // and sums held in registers: a writer adds rays between stores through
  // char pointers, which would make the compiler reload them every ray.
  // Returns whether every position, direction cosine and flux of the batch
  // is a finite number, found in the same pass: v - v is +0 for a finite v
  // and a NaN for an infinity or a NaN, whose bits are gathered by OR.
  [[nodiscard]] bool add(const RayRecord* batch, std::size_t n) {
    if (n == 0) return true;
    double lx = lo[0], ly = lo[1], lz = lo[2], hx = hi[0], hy = hi[1], hz = hi[2];
    std::int64_t backwards = 0;
    // Whether every backward ray carries the first ray's flux (the bits of
    // each that differ, gathered by a mask: no jump, no chain of additions).
    const std::uint64_t common = std::bit_cast<std::uint64_t>(batch[0].flux);
    std::uint64_t differs = 0;
    std::uint64_t notFinite = 0;
#if defined(__GNUC__) && defined(__SSE2__)
    // Two numbers of a ray a vector: (x, y), (z, dx), (dy, dz), (flux,
    // wavelength), read from the record's bytes. Each lane takes the scalar
    // choices of std::min and std::max; z's bounds ride in the first lane of
    // the second pair, the wavelength is masked out of the finite check.
    using Pair = double __attribute__((vector_size(16)));
    using PairBits = std::uint64_t __attribute__((vector_size(16)));
    static_assert(offsetof(RayRecord, y) == 8 && offsetof(RayRecord, z) == 16 && offsetof(RayRecord, dy) == 32 &&
                  offsetof(RayRecord, flux) == 48);
    Pair lowXY = {lx, ly}, highXY = {hx, hy}, lowZ = {lz, lz}, highZ = {hz, hz};
    PairBits bad = {0, 0};
    const PairBits fluxLane = {~std::uint64_t{0}, 0};
    for (std::size_t i = 0; i < n; ++i) {
      const char* bytes = reinterpret_cast<const char*>(&batch[i]);
      Pair xy, zd, yz, fw;
      std::memcpy(&xy, bytes, sizeof xy);
      std::memcpy(&zd, bytes + 16, sizeof zd);
      std::memcpy(&yz, bytes + 32, sizeof yz);
      std::memcpy(&fw, bytes + 48, sizeof fw);
      bad |= reinterpret_cast<PairBits>(xy - xy) | reinterpret_cast<PairBits>(zd - zd) |
             reinterpret_cast<PairBits>(yz - yz) | (reinterpret_cast<PairBits>(fw - fw) & fluxLane);
      lowXY = xy < lowXY ? xy : lowXY;
      highXY = highXY < xy ? xy : highXY;
      lowZ = zd < lowZ ? zd : lowZ;
      highZ = highZ < zd ? zd : highZ;
      const bool backward = batch[i].dz < 0;
      backwards += backward ? 1 : 0;
      const std::uint64_t mask = std::uint64_t{0} - static_cast<std::uint64_t>(backward);
      differs |= (std::bit_cast<std::uint64_t>(batch[i].flux) ^ common) & mask;
    }
    lx = lowXY[0];
    ly = lowXY[1];
    lz = lowZ[0];
    hx = highXY[0];
    hy = highXY[1];
    hz = highZ[0];
    notFinite = bad[0] | bad[1];
#else
    for (std::size_t i = 0; i < n; ++i) {
      const RayRecord& ray = batch[i];
      notFinite |= std::bit_cast<std::uint64_t>((ray.x - ray.x) + (ray.y - ray.y)) |
                   std::bit_cast<std::uint64_t>((ray.z - ray.z) + (ray.dx - ray.dx)) |
                   std::bit_cast<std::uint64_t>((ray.dy - ray.dy) + (ray.dz - ray.dz)) |
                   std::bit_cast<std::uint64_t>(ray.flux - ray.flux);
      lx = std::min(lx, ray.x);
      ly = std::min(ly, ray.y);
      lz = std::min(lz, ray.z);
      hx = std::max(hx, ray.x);
      hy = std::max(hy, ray.y);
      hz = std::max(hz, ray.z);
      const bool backward = ray.dz < 0;
      backwards += backward ? 1 : 0;
      const std::uint64_t mask = std::uint64_t{0} - static_cast<std::uint64_t>(backward);
      differs |= (std::bit_cast<std::uint64_t>(ray.flux) ^ common) & mask;
    }
#endif
    lo = {lx, ly, lz};
    hi = {hx, hy, hz};
    rays += static_cast<std::int64_t>(n);
    backwardRays += backwards;
    if (differs == 0) {
      // Equal-flux rays: the additions below, in a few steps.
      backwardFlux = add_repeatedly(backwardFlux, batch[0].flux, static_cast<std::uint64_t>(backwards));
      return notFinite == 0;
    }
    double flux = backwardFlux;
    for (std::size_t i = 0; i < n; ++i) {
      // The flux or +0 by a mask: GCC makes the choice a jump, which a
      // double-sided emitter's rays, backward at random, mispredict half
      // the time. Adding +0 leaves the sum as it was.
      const std::uint64_t mask = std::uint64_t{0} - static_cast<std::uint64_t>(batch[i].dz < 0);
      flux += std::bit_cast<double>(std::bit_cast<std::uint64_t>(batch[i].flux) & mask);
    }
    backwardFlux = flux;
    return notFinite == 0;
  }

  void merge(const RayExtent& other) {
    rays += other.rays;
    backwardRays += other.backwardRays;
    backwardFlux += other.backwardFlux;
    for (std::size_t k = 0; k < 3; ++k) {
      lo[k] = std::min(lo[k], other.lo[k]);
      hi[k] = std::max(hi[k], other.hi[k]);
    }
  }

  // The share of the rays going backwards (0 without rays).
  double backward_share() const {
    return rays > 0 ? static_cast<double>(backwardRays) / static_cast<double>(rays) : 0.0;
  }
};

}  // namespace lucidra
