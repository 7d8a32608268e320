#pragma once
// What every accepted photometric file must give, whatever its format: a
// grid whose counts agree, two tables the run can read and accepts, and a
// whole photometric solid with finite flux.

#include <algorithm>
#include <cmath>
#include <string>
#include <string_view>

#include "base/user_error.h"
#include "distributions/distribution_file.h"
#include "fuzz_check.h"
#include "photometry/photometric_error.h"
#include "photometry/photometric_import.h"
#include "photometry/photometric_solid.h"
#include "sampling/level_lookup.h"

namespace lucidra::fuzz {

inline void check_grid(const PhotometricData& d) {
  check(d.verticalDeg.size() >= 2, "fewer than two vertical angles");
  check(!d.horizontalDeg.empty(), "no plane");
  check(d.candela.size() == d.horizontalDeg.size(), "planes and horizontal angles differ in number");
  for (const auto& plane : d.candela) {
    check(plane.size() == d.verticalDeg.size(), "a plane's values and the vertical angles differ in number");
    for (double v : plane) check(std::isfinite(v) && v >= 0 && v <= kMaxCandela, "candela out of range");
  }
  // Ascending, and no angle repeated (within the least step a file may take).
  for (std::size_t k = 1; k < d.verticalDeg.size(); ++k) {
    check(d.verticalDeg[k] - d.verticalDeg[k - 1] >= kMinAngleStepDeg, "vertical not ascending");
  }
  for (std::size_t k = 1; k < d.horizontalDeg.size(); ++k) {
    check(d.horizontalDeg[k] - d.horizontalDeg[k - 1] >= kMinAngleStepDeg, "horizontal not ascending");
  }
  check(d.verticalDeg.front() >= 0 && d.verticalDeg.back() <= 180, "vertical angle outside 0..180");
}

inline void check_table(const PlaneTable& t, std::size_t expectedCount, double peak) {
  check(t.angleDeg.size() == expectedCount && t.candela.size() == expectedCount, "table size");
  for (std::size_t k = 0; k < t.angleDeg.size(); ++k) {
    check(std::isfinite(t.angleDeg[k]) && t.angleDeg[k] >= 0 && t.angleDeg[k] <= 180, "table angle outside 0..180");
    if (k > 0) check(t.angleDeg[k] > t.angleDeg[k - 1], "table angles not ascending");
    check(std::isfinite(t.candela[k]) && t.candela[k] >= 0, "table value negative or not finite");
    check(t.candela[k] <= peak * (1 + 1e-12), "table value above the peak");
  }
  // The run reads back what is written, value for value.
  for (const char separator : {'.', ','}) {
    const AngularDistribution d = parse_distribution_text(distribution_file_text(t, "fuzz", separator), separator);
    check(d.count == static_cast<std::int32_t>(t.angleDeg.size()) && d.intensityCount == d.count,
          "written table read back with another count");
    for (std::size_t k = 0; k < t.angleDeg.size(); ++k) {
      check(std::fabs(d.angle[k + 1] - t.angleDeg[k]) <= 1e-8 * (1 + t.angleDeg[k]), "angle read back differs");
      check(std::fabs(d.intensity[k + 1] - t.candela[k]) <= 1e-8 * (1 + t.candela[k]), "value read back differs");
    }
    // The run's own checks on a table it reads, so an accepted file can
    // always be generated from.
    try {
      check_linear_table(d, "fuzz");
    } catch (const UserError&) {
      fail("the run refuses a table written from an accepted file");
    }
  }
}

// The whole solid of an accepted file: its grid as the sampler needs it,
// finite flux equal to the import's, and an interpolant that stays within
// 0 and the peak. A file without light is refused instead.
inline void check_solid(const PhotometricData& d, const PhotometricImport& r) {
  PhotometricSolid s;
  try {
    s = photometric_solid(d);
  } catch (const PhotometricError&) {
    check(!(r.fluxLm > 0), "a file with light refused as one without");
    return;
  }
  check(r.fluxLm > 0, "a file without light gives a solid");
  check(!s.cDeg.empty() && s.cDeg.front() == 0 && s.cDeg.back() < 360, "C planes outside 0..360 or no C0");
  for (std::size_t k = 1; k < s.cDeg.size(); ++k) check(s.cDeg[k] > s.cDeg[k - 1], "C planes not ascending");
  check(s.gammaDeg == d.verticalDeg, "the solid's gamma differs from the file's");
  check(s.candela.size() == s.cDeg.size() * s.gammaDeg.size(), "solid grid size");
  for (double v : s.candela) check(std::isfinite(v) && v >= 0, "solid value negative or not finite");
  const double peak = s.peak_candela(), flux = s.flux_lm();
  check(peak == r.peakCandela, "the solid's peak differs from the file's");
  check(std::isfinite(flux) && flux > 0 && flux <= 4 * 3.14159266 * peak * (1 + 1e-9), "solid flux out of range");
  check(std::fabs(flux - r.fluxLm) <= 1e-9 * flux, "the solid's flux differs from the import's");
  const double up = s.flux_lm_between(0, 90), down = s.flux_lm_between(90, 180);
  check(up >= 0 && down >= 0 && std::fabs(up + down - flux) <= 1e-9 * flux, "hemispheres do not add up");
  for (double c = -45; c <= 405; c += 22.5) {
    for (double g = -5; g <= 185; g += 7.5) {
      const double v = s.candela_at(c, g);
      check(std::isfinite(v) && v >= 0 && v <= peak * (1 + 1e-12), "interpolated value outside 0..peak");
    }
  }
  const PhotometricSolid f = s.flipped();
  check(f.cDeg.front() == 0 && f.cDeg.size() == s.cDeg.size() && f.gammaDeg.size() == s.gammaDeg.size(),
        "flipped grid");
  check(std::fabs(f.flux_lm() - flux) <= 1e-9 * flux, "flipping changes the flux");
}

inline void check_import(const PhotometricData& d) {
  const PhotometricImport r = two_plane_import(d);
  const std::size_t count = std::min(d.verticalDeg.size(), kMaxTableAngles);
  double peak = 0;
  for (const auto& plane : d.candela) peak = std::max(peak, *std::max_element(plane.begin(), plane.end()));
  check(r.peakCandela == peak, "peak differs from the largest value");
  check_table(r.longitudinal, count, peak);
  check_table(r.transversal, count, peak);
  check(r.longitudinal.angleDeg == r.transversal.angleDeg, "the two tables have different angles");
  check(std::isfinite(r.fluxLm) && r.fluxLm >= 0, "flux negative or not finite");
  check(std::isfinite(r.twoPlaneFluxLm) && r.twoPlaneFluxLm >= 0, "two-plane flux negative or not finite");
  // Neither flux can exceed 4 pi times the peak.
  check(r.fluxLm <= 4 * 3.14159266 * peak * (1 + 1e-9) + 1e-300, "flux above 4 pi peak");
  check(r.twoPlaneFluxLm <= 4 * 3.14159266 * peak * (1 + 1e-9) + 1e-300, "two-plane flux above 4 pi peak");
  check(r.planesUsed.size() == 4, "four planes are used");
  check(r.verticalCount == d.verticalDeg.size() && r.horizontalCount == d.horizontalDeg.size(), "counts reported");
  check_solid(d, r);
}

// A refusal names the file and a line: "<name> line N, <field>: <problem>".
inline void check_refusal(std::string_view message, std::string_view name) {
  const std::string prefix = std::string(name) + " line ";
  check(message.substr(0, prefix.size()) == prefix, "refusal does not name the file and line");
  std::size_t i = prefix.size();
  check(i < message.size() && message[i] >= '1' && message[i] <= '9', "refusal line number missing");
  while (i < message.size() && message[i] >= '0' && message[i] <= '9') ++i;
  check(message.substr(i, 2) == ", ", "refusal field missing");
  check(message.find(": ", i) != std::string_view::npos, "refusal problem missing");
}

}  // namespace lucidra::fuzz
