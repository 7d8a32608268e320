#include "app/photometric_source.h"

#include <algorithm>
#include <cmath>

#include "photometry/text_cursor.h"

namespace lucidra::app {
namespace {

// The beam angle's walk around a plane: ten steps a degree, so that a grid
// in tenths of a degree (the finest photometric files use) has a sample on
// every vertex and the crossing between two samples is exact.
constexpr int kStepsPerDegree = 10;
constexpr int kCircleSteps = 360 * kStepsPerDegree;

std::string range_text(double from, double to, std::size_t count, const char* unit) {
  return short_number(from) + " to " + short_number(to) + " degrees, " + std::to_string(count) + " " + unit +
         (count == 1 ? "" : "s");
}

// What the header claims, never the lamps' flux as if it were the luminaire's.
std::string stated_text(const PhotometricImport& h) {
  if (h.format == PhotometricFormat::Ies) {
    if (!h.statedLumens) return "the header states no lamp lumens (absolute photometry)";
    return "the header states " + short_number(*h.statedLumens) + " lm of lamps (" + std::to_string(h.lampCount) +
           (h.lampCount == 1 ? " lamp)" : " lamps)");
  }
  if (!h.statedLumens) return "the header states no lamp flux";
  if (!h.statedLuminaireLumens) {
    return "the header states a lamp flux of " + short_number(*h.statedLumens) + " lm and no light output ratio";
  }
  return "the header states " + short_number(*h.statedLuminaireLumens) + " lm from the luminaire (lamp flux " +
         short_number(*h.statedLumens) + " lm x light output ratio " + short_number(*h.lightOutputRatioPercent) + " %)";
}

std::string beam_text(const PhotometricSolid& solid, double cDeg) {
  const std::optional<double> beam = beam_angle_deg(solid, cDeg);
  // Appended, not "C" + ...: GCC 12 warns falsely on that form.
  std::string plane = "C";
  plane += short_number(cDeg);
  plane += "-C";
  plane += short_number(cDeg + 180);
  if (!beam) return "none in " + plane;
  return short_number(std::round(*beam * 10) / 10) + " degrees in " + plane;
}

}  // namespace

PhotometricSource read_photometric_source(const std::string& path) {
  const PhotometricData data = read_photometric_file(path);
  return PhotometricSource{path, two_plane_import(data), photometric_solid(data)};
}

std::vector<PlotPoint> c_plane_curve(const PhotometricSolid& solid, double cDeg) {
  const std::vector<double>& gamma = solid.gammaDeg;
  std::vector<PlotPoint> points;
  points.reserve(2 * gamma.size() + 2);
  for (auto g = gamma.rbegin(); g != gamma.rend(); ++g) points.push_back({-*g, solid.candela_at(cDeg + 180, *g)});
  // Short of gamma 0 the solid holds no light: the curve drops to zero at
  // the range's edge instead of bridging the gap about the axis.
  if (gamma.front() > 0) {
    points.push_back({-gamma.front(), 0});
    points.push_back({gamma.front(), 0});
  }
  for (double g : gamma) points.push_back({g, solid.candela_at(cDeg, g)});
  return points;
}

std::optional<double> beam_angle_deg(const PhotometricSolid& solid, double cDeg) {
  // Around the plane: psi 0..180 is gamma in C, psi 180..360 is gamma
  // 360 - psi in C + 180, so the walk crosses both axes.
  std::vector<double> value(kCircleSteps);
  for (int k = 0; k < kCircleSteps; ++k) {
    const double psi = static_cast<double>(k) / kStepsPerDegree;
    value[static_cast<std::size_t>(k)] =
        psi <= 180 ? solid.candela_at(cDeg, psi) : solid.candela_at(cDeg + 180, 360 - psi);
  }
  const auto peak = std::max_element(value.begin(), value.end());
  if (!(*peak > 0)) return std::nullopt;
  const double half = *peak / 2;
  const int start = static_cast<int>(peak - value.begin());
  // The angle from the peak to where the intensity first falls below half,
  // stepping by `direction`.
  const auto edge = [&](int direction) -> std::optional<double> {
    for (int k = 1; k < kCircleSteps; ++k) {
      const double before =
          value[static_cast<std::size_t>(((start + direction * (k - 1)) % kCircleSteps + kCircleSteps) % kCircleSteps)];
      const double here =
          value[static_cast<std::size_t>(((start + direction * k) % kCircleSteps + kCircleSteps) % kCircleSteps)];
      if (here < half) return (k - 1 + (before - half) / (before - here)) / kStepsPerDegree;
    }
    return std::nullopt;
  };
  const std::optional<double> right = edge(1), left = edge(-1);
  if (!right || !left || *right + *left >= 360) return std::nullopt;
  return *right + *left;
}

std::string photometric_source_summary(const PhotometricSource& source, bool flipped) {
  const PhotometricImport& h = source.header;
  const PhotometricSolid solid = source.oriented(flipped);
  std::string out = "Photometric source " + source.path + (flipped ? ", turned over\n" : "\n");
  out += "  format:     " + std::string(h.format == PhotometricFormat::Ies ? "IES LM-63" : "EULUMDAT") + " (" +
         h.versionText + ")\n";
  out += "  symmetry:   " + h.symmetryText + "\n";
  out += "  gamma:      " + range_text(h.verticalFromDeg, h.verticalToDeg, h.verticalCount, "angle") + "\n";
  out += "  C planes:   " + range_text(h.horizontalFromDeg, h.horizontalToDeg, h.horizontalCount, "plane") + "\n";
  out += "  peak:       " + short_number(solid.peak_candela()) + " cd\n";
  out += "  flux:       " + short_number(solid.flux_lm()) + " lm from the intensities (the luminaire's); " +
         stated_text(h) + "\n";
  out += "  beam angle: " + beam_text(solid, 0) + ", " + beam_text(solid, 90) +
         " (full angle between the directions at half the plane's brightest)\n";
  out += "  light:      " + light_direction_note(solid) + (flipped ? " (turned over)\n" : "\n");
  for (const std::string& note : h.notes) {
    // The import's own direction note describes the file unturned; the
    // line above already says where the run sends the light.
    if (note.rfind("As a photometric source", 0) == 0) continue;
    out += "  note: " + note + "\n";
  }
  return out;
}

std::string photometric_source_brief(const PhotometricSource& source, bool flipped) {
  const PhotometricSolid solid = source.oriented(flipped);
  std::string text = short_number(solid.flux_lm()) + " lm, peak " + short_number(solid.peak_candela()) + " cd";
  if (const std::optional<double> beam = beam_angle_deg(solid, 0)) {
    text += ", beam " + short_number(std::round(*beam * 10) / 10) + "\xC2\xB0";
  }
  return text;
}

}  // namespace lucidra::app
