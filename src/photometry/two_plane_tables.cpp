// The two tables of the run from a measured grid of C planes.

#include <algorithm>
#include <cmath>
#include <numbers>
#include <optional>
#include <string>
#include <vector>

#include "photometry/circle_planes.h"
#include "photometry/photometric_import.h"
#include "photometry/photometric_solid.h"
#include "photometry/text_cursor.h"

namespace lucidra {

std::string symmetry_text(HorizontalSymmetry symmetry) {
  switch (symmetry) {
    case HorizontalSymmetry::Rotational: return "rotationally symmetric (one plane)";
    case HorizontalSymmetry::Quadrant: return "C0-C90 (symmetric about the C0-C180 and C90-C270 planes)";
    case HorizontalSymmetry::PlaneC0C180: return "C0-C180 (symmetric about the C0-C180 plane)";
    case HorizontalSymmetry::PlaneC90C270: return "C90-C270 (symmetric about the C90-C270 plane)";
    case HorizontalSymmetry::None: return "C0-C360 (no symmetry)";
  }
  return "unknown";
}

std::optional<double> stated_luminaire_lumens(const PhotometricData& data) {
  if (!data.statedLumens) return std::nullopt;
  if (data.format == PhotometricFormat::Ies) return data.statedLumens;
  if (!data.lightOutputRatioPercent || !(*data.lightOutputRatioPercent > 0)) return std::nullopt;
  return *data.statedLumens * *data.lightOutputRatioPercent / 100;
}

namespace {

using detail::CirclePlane;
using detail::full_circle;
using detail::kSameAngle;
using detail::polar_integral;
using detail::wrap_degrees;

std::string c_name(double c) {
  std::string name = "C";  // appended, not "C" + ...: GCC 12 warns falsely on that form
  name += short_number(c);
  return name;
}

struct PlaneAt {
  std::vector<double> candela;
  std::string origin;
};

// The plane at `cDeg`: as stated, or interpolated linearly between the
// neighbouring planes around the circle.
PlaneAt plane_at(const std::vector<CirclePlane>& circle, HorizontalSymmetry symmetry, double cDeg) {
  if (symmetry == HorizontalSymmetry::Rotational || circle.size() == 1) {
    return {*circle.front().candela, "the single plane " + c_name(circle.front().sourceDeg)};
  }
  for (const CirclePlane& p : circle) {
    if (std::fabs(p.cDeg - cDeg) < kSameAngle) {
      return {*p.candela, p.measured ? "measured" : "by symmetry from " + c_name(p.sourceDeg)};
    }
  }
  const auto above = std::find_if(circle.begin(), circle.end(), [&](const CirclePlane& p) { return p.cDeg > cDeg; });
  const CirclePlane& hi = above == circle.end() ? circle.front() : *above;
  const CirclePlane& lo = above == circle.begin() ? circle.back() : *(above - 1);
  const double gap = wrap_degrees(hi.cDeg - lo.cDeg);
  const double t = wrap_degrees(cDeg - lo.cDeg) / gap;
  PlaneAt result;
  result.candela.resize(lo.candela->size());
  for (std::size_t k = 0; k < result.candela.size(); ++k) {
    result.candela[k] = (*lo.candela)[k] * (1 - t) + (*hi.candela)[k] * t;
  }
  result.origin = "interpolated between " + c_name(lo.cDeg) + " and " + c_name(hi.cDeg);
  return result;
}

std::vector<double> mean_of(const std::vector<double>& a, const std::vector<double>& b) {
  std::vector<double> m(a.size());
  for (std::size_t k = 0; k < a.size(); ++k) m[k] = 0.5 * a[k] + 0.5 * b[k];
  return m;
}

// Notes when a plane's two halves differ by more than 5 % of their peak.
void note_asymmetry(const PlaneAt& a, const PlaneAt& b, const char* names, const std::vector<double>& gammaDeg,
                    std::vector<std::string>& notes) {
  double peak = 0, worst = 0;
  std::size_t worstAt = 0;
  for (std::size_t k = 0; k < a.candela.size(); ++k) {
    peak = std::max({peak, a.candela[k], b.candela[k]});
    const double d = std::fabs(a.candela[k] - b.candela[k]);
    if (d > worst) {
      worst = d;
      worstAt = k;
    }
  }
  if (peak > 0 && worst > 0.05 * peak) {
    notes.push_back(std::string(names) + " differ by up to " + short_number(std::round(worst / peak * 1000) / 10) +
                    " % of their peak (at gamma " + short_number(gammaDeg[worstAt]) +
                    " degrees): the luminaire is asymmetric there, which the two-plane model cannot hold; the "
                    "table holds the mean of the two halves");
  }
}

// Notes when the intensities' flux and what the header claims differ by
// more than 2 %. For IES that is expected of relative photometry (the lamps'
// lumens, of which the luminaire emits a share); for EULUMDAT the lamp flux
// times the light output ratio should be the luminaire's flux.
void note_stated_flux(const PhotometricData& data, double fluxLm, std::vector<std::string>& notes) {
  const std::optional<double> claimed = stated_luminaire_lumens(data);
  if (!claimed || !(*claimed > 0)) return;
  const double off = (fluxLm - *claimed) / *claimed;
  if (!(std::fabs(off) > 0.02)) return;
  const std::string difference = "The intensities give " + short_number(fluxLm) + " lm, " +
                                 short_number(std::round(std::fabs(off) * 1000) / 10) + " % " +
                                 (off < 0 ? "below" : "above") + " the " + short_number(*claimed) + " lm ";
  if (data.format == PhotometricFormat::Ies) {
    notes.push_back(difference + "of lamps the header states (" + std::to_string(data.lampCount) + " x " +
                    short_number(*data.statedLumens / static_cast<double>(data.lampCount)) +
                    " lm): the luminaire emits what its intensities give");
  } else {
    notes.push_back(difference + "of the header's lamp flux (" + short_number(*data.statedLumens) +
                    " lm) times its light output ratio (" + short_number(*data.lightOutputRatioPercent) +
                    " %): the intensities and the header disagree; the luminaire emits what its intensities give");
  }
}

PlaneTable oriented_table(const std::vector<double>& gammaDeg, const std::vector<double>& candela, bool mirrored) {
  PlaneTable t;
  t.angleDeg = gammaDeg;
  t.candela = candela;
  if (mirrored) {
    for (double& a : t.angleDeg) a = 180.0 - a;
    std::reverse(t.angleDeg.begin(), t.angleDeg.end());
    std::reverse(t.candela.begin(), t.candela.end());
  }
  return t;
}

// Linear interpolation of an ascending table.
double value_at(const PlaneTable& t, double angle) {
  const auto it = std::lower_bound(t.angleDeg.begin(), t.angleDeg.end(), angle);
  if (it == t.angleDeg.begin()) return t.candela.front();
  if (it == t.angleDeg.end()) return t.candela.back();
  const auto k = static_cast<std::size_t>(it - t.angleDeg.begin());
  const double x0 = t.angleDeg[k - 1], x1 = t.angleDeg[k];
  const double u = (angle - x0) / (x1 - x0);
  return t.candela[k - 1] * (1 - u) + t.candela[k] * u;
}

PlaneTable resampled(const PlaneTable& t, std::size_t count) {
  PlaneTable r;
  const double from = t.angleDeg.front(), to = t.angleDeg.back();
  for (std::size_t k = 0; k < count; ++k) {
    const double angle =
        k + 1 == count ? to : from + (to - from) * static_cast<double>(k) / static_cast<double>(count - 1);
    r.angleDeg.push_back(angle);
    r.candela.push_back(value_at(t, angle));
  }
  return r;
}

}  // namespace

PhotometricImport two_plane_import(const PhotometricData& data) {
  PhotometricImport result;
  result.format = data.format;
  result.versionText = data.versionText;
  result.symmetryText = symmetry_text(data.symmetry);
  result.verticalFromDeg = data.verticalDeg.front();
  result.verticalToDeg = data.verticalDeg.back();
  result.verticalCount = data.verticalDeg.size();
  result.horizontalFromDeg = data.horizontalDeg.front();
  result.horizontalToDeg = data.horizontalDeg.back();
  result.horizontalCount = data.horizontalDeg.size();
  result.statedLumens = data.statedLumens;
  result.lampCount = data.lampCount;
  result.lightOutputRatioPercent = data.lightOutputRatioPercent;
  result.statedLuminaireLumens = stated_luminaire_lumens(data);
  result.notes = data.notes;
  for (const auto& plane : data.candela) {
    for (double v : plane) result.peakCandela = std::max(result.peakCandela, v);
  }

  const std::vector<CirclePlane> circle = full_circle(data);
  const PlaneAt c0 = plane_at(circle, data.symmetry, 0), c90 = plane_at(circle, data.symmetry, 90);
  const PlaneAt c180 = plane_at(circle, data.symmetry, 180), c270 = plane_at(circle, data.symmetry, 270);
  result.planesUsed = {"C0: " + c0.origin, "C180: " + c180.origin, "C90: " + c90.origin, "C270: " + c270.origin};
  note_asymmetry(c0, c180, "C0 and C180", data.verticalDeg, result.notes);
  note_asymmetry(c90, c270, "C90 and C270", data.verticalDeg, result.notes);

  const std::vector<double> first = mean_of(c0.candela, c180.candela);
  const std::vector<double> second = mean_of(c90.candela, c270.candela);

  // The measured sphere: each plane weighs half the C gap to either neighbour,
  // which integrates exactly what linear interpolation between planes holds.
  constexpr double kDegree = std::numbers::pi / 180;
  if (circle.size() == 1) {
    result.fluxLm = 2 * std::numbers::pi * polar_integral(data.verticalDeg, *circle.front().candela);
  } else {
    for (std::size_t j = 0; j < circle.size(); ++j) {
      const CirclePlane& next = circle[(j + 1) % circle.size()];
      const CirclePlane& previous = circle[(j + circle.size() - 1) % circle.size()];
      const double weightDeg =
          0.5 * (wrap_degrees(next.cDeg - circle[j].cDeg) + wrap_degrees(circle[j].cDeg - previous.cDeg));
      result.fluxLm += weightDeg * kDegree * polar_integral(data.verticalDeg, *circle[j].candela);
    }
  }
  // The blend F + (E - F) cos^2(phi) averages to (E + F) / 2 around the axis.
  result.twoPlaneFluxLm =
      std::numbers::pi * (polar_integral(data.verticalDeg, first) + polar_integral(data.verticalDeg, second));
  if (result.fluxLm > 0) {
    result.notes.push_back(light_direction_note(photometric_solid(data)));
    note_stated_flux(data, result.fluxLm, result.notes);
    // + 0.0 turns a rounded -0 into 0, which prints without a sign.
    const double differencePercent =
        std::round((result.twoPlaneFluxLm - result.fluxLm) / result.fluxLm * 1000) / 10 + 0.0;
    result.notes.push_back("Two-plane model: the tables blended by cos^2(phi) carry " +
                           short_number(result.twoPlaneFluxLm) + " lm of the " + short_number(result.fluxLm) +
                           " lm integrated from all planes (" + (differencePercent >= 0 ? "+" : "") +
                           short_number(differencePercent) +
                           " %); the light between the planes is represented only through that blend");
  } else {
    result.notes.push_back("Every intensity is zero: the tables carry no light");
  }

  const bool mirrored = result.verticalFromDeg >= 90;
  result.longitudinal = oriented_table(data.verticalDeg, first, mirrored);
  result.transversal = oriented_table(data.verticalDeg, second, mirrored);
  if (mirrored) {
    result.notes.push_back(
        "Vertical angles 90-180 mirrored to 0-90 (theta = 180 - gamma): the main beam lies along +z");
  }
  if (result.longitudinal.angleDeg.size() > kMaxTableAngles) {
    const std::size_t from = result.longitudinal.angleDeg.size();
    result.longitudinal = resampled(result.longitudinal, kMaxTableAngles);
    result.transversal = resampled(result.transversal, kMaxTableAngles);
    result.notes.push_back("The " + std::to_string(from) + " vertical angles were resampled evenly to " +
                           std::to_string(kMaxTableAngles) + " (every " +
                           short_number((result.longitudinal.angleDeg.back() - result.longitudinal.angleDeg.front()) /
                                        static_cast<double>(kMaxTableAngles - 1)) +
                           " degrees), the most a distribution file may hold");
  }
  return result;
}

}  // namespace lucidra
