#include "engine/far_field.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <thread>

#include "base/platform_file.h"
#include "base/user_error.h"
#include "engine/run_setup.h"
#include "sampling/level_lookup.h"
#include "sampling/photometric_law.h"

namespace lucidra {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kDeg = kPi / 180;

// Four-point Gauss-Legendre nodes and weights on [-1, 1].
constexpr double kNodes[4] = {-0.8611363115940526, -0.3399810435848563, 0.3399810435848563, 0.8611363115940526};
constexpr double kWeights[4] = {0.3478548451374538, 0.6521451548625461, 0.6521451548625461, 0.3478548451374538};

std::string format(const char* pattern, double v) {
  char text[64];
  std::snprintf(text, sizeof text, pattern, v);
  return text;
}

std::string xml_text(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '&': out += "&amp;"; break;
      case '"': out += "&quot;"; break;
      default: out += c;
    }
  }
  return out;
}

std::vector<double> sorted_unique(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  v.erase(std::unique(v.begin(), v.end()), v.end());
  return v;
}

// Pieces of [lo, hi] cut at the given points and at most `step` wide.
std::vector<std::pair<double, double>> pieces(double lo, double hi, const std::vector<double>& cuts, double step) {
  std::vector<double> edges{lo, hi};
  for (double c : cuts) {
    if (c > lo && c < hi) edges.push_back(c);
  }
  edges = sorted_unique(edges);
  std::vector<std::pair<double, double>> out;
  for (std::size_t i = 0; i + 1 < edges.size(); ++i) {
    const double a = edges[i], b = edges[i + 1];
    const int n = std::max(1, static_cast<int>(std::ceil((b - a) / step)));
    for (int k = 0; k < n; ++k) out.emplace_back(a + (b - a) * k / n, a + (b - a) * (k + 1) / n);
  }
  return out;
}

// The azimuth ranges (radians) a view covers.
std::vector<std::pair<double, double>> view_azimuths(const FarFieldViewSpec& view, double halfWedge) {
  if (view.azimuths.empty()) return {{0, 2 * kPi}};
  std::vector<std::pair<double, double>> out;
  for (double c : view.azimuths) out.emplace_back(c - halfWedge, c + halfWedge);
  return out;
}

// Bytes per ray in the file, judged from its first 64 KiB: a binary file
// (a NUL among them) holds 28-byte records, a text file one ray a line.
// 0 where neither can be told, such as a pipe or a file of one line.
double bytes_per_ray(const std::string& path, std::uintmax_t fileBytes) {
  const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(open_file(path, "rb"), std::fclose);
  if (!file) return 0;
  std::string head(static_cast<std::size_t>(std::min<std::uintmax_t>(fileBytes, 65536)), '\0');
  if (std::fread(head.data(), 1, head.size(), file.get()) != head.size()) return 0;
  if (head.find('\0') != std::string::npos) return 28;
  const auto lines = std::count(head.begin(), head.end(), '\n');
  return lines > 1 ? static_cast<double>(head.size()) / static_cast<double>(lines) : 0;
}

}  // namespace

std::vector<FarFieldViewSpec> two_plane_views() {
  return {{"all azimuths", "all", {}},
          {"x-z plane (first table)", "xz", {kPi / 2, 3 * kPi / 2}},
          {"y-z plane (second table)", "yz", {0, kPi}}};
}

std::vector<FarFieldViewSpec> c_plane_views() {
  std::vector<FarFieldViewSpec> views{{"all azimuths", "all", {}}};
  for (int c = 0; c < 360; c += 45) {
    // Appended, not "C" + ...: GCC 12 warns falsely on that form.
    std::string name = "C", key = "c";
    name += std::to_string(c);
    name += " plane";
    key += std::to_string(c);
    views.push_back({name, key, {PhotometricLaw::azimuth_of_plane(c)}});
  }
  return views;
}

IntensityLaw::IntensityLaw(const GenerationSettings& settings) {
  if (!settings.ledMode) {
    // Arc mode: the directions only (the start points follow the profiles,
    // which a far field does not see).
    law_ = std::make_shared<ArcBandLaw>(settings.arcMarginADeg, settings.arcMarginBDeg,
                                        std::clamp(settings.extentAboutZ, 0, 360) * kDeg);
    views_ = two_plane_views();
    backShare_ = law_->backward_share();
    return;
  }
  if (uses_photometric_solid(settings)) {
    // The luminaire's whole solid, judged in half-plane wedges about the
    // C-planes every 45 degrees.
    law_ = make_angular_law(settings, {}, {}, settings.photometricFile);
    views_ = c_plane_views();
    wedgeHalfDeg_ = 5;
    backShare_ = law_->backward_share();
    return;
  }
  const bool square = settings.squareShape && settings.planeShape == PlaneShape::Rectangular;
  const bool tables = (square && settings.legacySampling) || settings.angularType == AngularType::UserDefined ||
                      settings.angularType == AngularType::Gaussian;
  AngularDistribution longitudinal, transversal;
  if (tables) {
    if (settings.photometricFile.empty() && (settings.longitudinalFile.empty() || settings.transversalFile.empty())) {
      throw UserError("The law needs both distribution files (-L and -T) or a photometric file");
    }
    const TablePair pair = read_table_pair(settings);
    longitudinal = pair.longitudinal;
    transversal = pair.transversal;
  }
  *this = IntensityLaw(settings, longitudinal, transversal);
}

IntensityLaw::IntensityLaw(const GenerationSettings& settings, const AngularDistribution& longitudinal,
                           const AngularDistribution& transversal) {
  const std::string source = settings.photometricFile.empty()
                                 ? "x-z plane " + settings.longitudinalFile + ", y-z plane " + settings.transversalFile
                                 : "x-z and y-z planes of " + settings.photometricFile;
  law_ = make_angular_law(settings, longitudinal, transversal, source);
  views_ = two_plane_views();
  backShare_ = law_->backward_share();
}

IntensityLaw::IntensityLaw(std::shared_ptr<const AngularLaw> law, std::vector<FarFieldViewSpec> views,
                           double wedgeHalfDeg)
    : law_(std::move(law)), views_(std::move(views)), wedgeHalfDeg_(wedgeHalfDeg) {
  backShare_ = law_->backward_share();
}

FarFieldBins::FarFieldBins(double binDegrees, double wedgeHalfDegrees, std::vector<FarFieldViewSpec> viewSpecs)
    : bins(static_cast<int>(std::ceil(180 / binDegrees - 1e-9))),
      binDeg(binDegrees),
      wedgeSin(std::sin(wedgeHalfDegrees * kDeg)),
      views(std::move(viewSpecs)) {
  const auto n = static_cast<std::size_t>(bins);
  flux.assign(views.size(), std::vector<double>(n, 0));
  flux2.assign(views.size(), std::vector<double>(n, 0));
  count.assign(views.size(), std::vector<std::int64_t>(n, 0));
  lo.fill(HUGE_VAL);
  hi.fill(-HUGE_VAL);
}

void FarFieldBins::add(const RayRecord* r, std::size_t n) {
  const double perDegree = 1 / binDeg;
  // Each view's half-planes as the unit vector of their azimuth in (x, y).
  struct HalfPlane {
    std::size_t view;
    double ux, uy;
  };
  std::vector<HalfPlane> planes;
  for (std::size_t v = 0; v < views.size(); ++v) {
    for (double c : views[v].azimuths) planes.push_back({v, std::sin(c), std::cos(c)});
  }
  std::vector<char> seen(views.size(), 0);
  for (std::size_t i = 0; i < n; ++i) {
    const RayRecord& ray = r[i];
    const double h2 = ray.dx * ray.dx + ray.dy * ray.dy;
    const double h = std::sqrt(h2);
    const double length = std::sqrt(h2 + ray.dz * ray.dz);
    maxLengthError = std::max(maxLengthError, std::fabs(length - 1));
    const double theta = std::atan2(h, ray.dz) / kDeg;
    auto b = static_cast<std::size_t>(theta * perDegree);
    if (b >= static_cast<std::size_t>(bins)) b = static_cast<std::size_t>(bins) - 1;
    const double f = ray.flux, f2 = f * f;
    std::fill(seen.begin(), seen.end(), 0);
    for (std::size_t v = 0; v < views.size(); ++v) {
      if (!views[v].azimuths.empty()) continue;
      seen[v] = 1;
    }
    // A ray is in a half-plane's wedge when it lies on the plane's side and
    // within the wedge's angle of it.
    for (const HalfPlane& p : planes) {
      if (seen[p.view]) continue;
      const double along = ray.dx * p.ux + ray.dy * p.uy;
      const double across = ray.dx * p.uy - ray.dy * p.ux;
      if (along >= 0 && std::fabs(across) <= wedgeSin * h) seen[p.view] = 1;
    }
    for (std::size_t v = 0; v < views.size(); ++v) {
      if (!seen[v]) continue;
      flux[v][b] += f;
      flux2[v][b] += f2;
      ++count[v][b];
    }
    totalFlux += f;
    if (ray.dz < 0) {
      backwardFlux += f;
      ++backwardRays;
    }
    zeroFlux += f == 0 ? 1 : 0;
    negativeFlux += f < 0 ? 1 : 0;
    const double p[3] = {ray.x, ray.y, ray.z};
    for (std::size_t k = 0; k < 3; ++k) {
      lo[k] = std::min(lo[k], p[k]);
      hi[k] = std::max(hi[k], p[k]);
    }
  }
  rays += static_cast<std::int64_t>(n);
}

void FarFieldBins::merge(const FarFieldBins& o) {
  for (std::size_t v = 0; v < views.size(); ++v) {
    for (std::size_t b = 0; b < static_cast<std::size_t>(bins); ++b) {
      flux[v][b] += o.flux[v][b];
      flux2[v][b] += o.flux2[v][b];
      count[v][b] += o.count[v][b];
    }
  }
  rays += o.rays;
  totalFlux += o.totalFlux;
  backwardFlux += o.backwardFlux;
  backwardRays += o.backwardRays;
  zeroFlux += o.zeroFlux;
  negativeFlux += o.negativeFlux;
  maxLengthError = std::max(maxLengthError, o.maxLengthError);
  for (std::size_t k = 0; k < 3; ++k) {
    lo[k] = std::min(lo[k], o.lo[k]);
    hi[k] = std::max(hi[k], o.hi[k]);
  }
}

namespace {

// A cap of zero width is a collimated beam: every ray along the axis (and
// its mirror with double side), a law with no intensity anywhere to scale.
// Its bins at 0 and 180 degrees hold whatever arrived (how the flux splits
// between them is the backward share's check); every other bin must stay
// empty, a single ray in one being a fault.
void judge_collimated(FarFieldResult& result) {
  for (FarFieldViewResult& view : result.views) {
    for (std::size_t b = 0; b < view.bins.size(); ++b) {
      FarFieldBin& bin = view.bins[b];
      bin.expected = b == 0 || b + 1 == view.bins.size() ? bin.measured : 0;
      view.peak = std::max(view.peak, bin.measured);
    }
    for (FarFieldBin& bin : view.bins) {
      bin.judged = bin.judged || bin.rays > 0;
      if (!bin.judged) continue;
      ++view.judgedBins;
      bin.passed = bin.measured == bin.expected;
      if (!bin.passed) ++view.failedBins;
      if (view.peak > 0) {
        view.largestDeviation = std::max(view.largestDeviation, std::fabs(bin.measured - bin.expected) / view.peak);
      }
    }
    result.largestDeviation = std::max(result.largestDeviation, view.largestDeviation);
    if (view.failedBins > 0) result.passed = false;
  }
  result.scale = 1;
  result.collimated = true;
}

}  // namespace

FarFieldResult compare_far_field(const FarFieldBins& totals, const IntensityLaw& law, const FarFieldOptions& options) {
  FarFieldResult result;
  result.totals = totals;
  result.options = options;
  result.law = law.description();
  const double halfWedge = std::asin(std::min(1.0, totals.wedgeSin));

  // Where the law has kinks in theta: its breaks, the cap, the equator and
  // their mirrors.
  const std::vector<double> thetaCuts = law.polar_breaks();
  const int viewCount = static_cast<int>(totals.views.size());
  result.views.resize(totals.views.size());
  std::vector<std::vector<double>> lawAverage(totals.views.size());
  for (int v = 0; v < viewCount; ++v) {
    const FarFieldViewSpec& view = totals.views[static_cast<std::size_t>(v)];
    auto& average = lawAverage[static_cast<std::size_t>(v)];
    for (int b = 0; b < totals.bins; ++b) {
      const double lo = b * totals.binDeg * kDeg, hi = std::min(180.0, (b + 1) * totals.binDeg) * kDeg;
      double integral = 0, solidAngle = 0;
      for (const auto& [p0, p1] : view_azimuths(view, halfWedge)) {
        const double width = p1 - p0;
        solidAngle += width * (std::cos(lo) - std::cos(hi));
        // The extent's edge (and the wrap at 0) is where the law jumps in phi.
        std::vector<double> phiCuts;
        for (double c : {0.0, 2 * kPi, -2 * kPi}) phiCuts.push_back(c);
        for (double shift : {0.0, 2 * kPi, -2 * kPi}) phiCuts.push_back(law.extent() + shift);
        for (const auto& [a0, a1] : pieces(p0, p1, phiCuts, 5 * kDeg)) {
          for (const auto& [t0, t1] : pieces(lo, hi, thetaCuts, 0.5 * kDeg)) {
            for (int i = 0; i < 4; ++i) {
              const double phi = 0.5 * (a0 + a1) + 0.5 * (a1 - a0) * kNodes[i];
              for (int j = 0; j < 4; ++j) {
                const double theta = 0.5 * (t0 + t1) + 0.5 * (t1 - t0) * kNodes[j];
                integral +=
                    kWeights[i] * kWeights[j] * 0.25 * (a1 - a0) * (t1 - t0) * law.at(theta, phi) * std::sin(theta);
              }
            }
          }
        }
      }
      average.push_back(solidAngle > 0 ? integral / solidAngle : 0);
    }
  }

  // Measured intensity per solid angle, and which bins hold enough rays.
  for (int v = 0; v < viewCount; ++v) {
    const FarFieldViewSpec& view = totals.views[static_cast<std::size_t>(v)];
    double azimuthWidth = 0;
    for (const auto& [p0, p1] : view_azimuths(view, halfWedge)) azimuthWidth += p1 - p0;
    auto& bins = result.views[static_cast<std::size_t>(v)].bins;
    for (int b = 0; b < totals.bins; ++b) {
      FarFieldBin bin;
      bin.thetaLoDeg = b * totals.binDeg;
      bin.thetaHiDeg = std::min(180.0, (b + 1) * totals.binDeg);
      const double omega = azimuthWidth * (std::cos(bin.thetaLoDeg * kDeg) - std::cos(bin.thetaHiDeg * kDeg));
      const auto i = static_cast<std::size_t>(b);
      bin.rays = totals.count[static_cast<std::size_t>(v)][i];
      bin.measured = totals.flux[static_cast<std::size_t>(v)][i] / omega;
      bin.sigma = std::sqrt(totals.flux2[static_cast<std::size_t>(v)][i]) / omega;
      bin.judged = bin.rays >= options.minRays;
      bins.push_back(bin);
    }
  }

  result.passed = true;
  if (law.cap_angle() == 0) {
    judge_collimated(result);
  } else {
    // One least-squares scale over the judged bins, each weighted by its variance.
    double num = 0, den = 0;
    for (int v = 0; v < viewCount; ++v) {
      const auto& bins = result.views[static_cast<std::size_t>(v)].bins;
      for (std::size_t b = 0; b < bins.size(); ++b) {
        if (!bins[b].judged || bins[b].sigma <= 0) continue;
        const double e = lawAverage[static_cast<std::size_t>(v)][b], w = 1 / (bins[b].sigma * bins[b].sigma);
        num += bins[b].measured * e * w;
        den += e * e * w;
      }
    }
    result.scale = den > 0 ? num / den : 0;

    double globalPeak = 0;
    for (const auto& average : lawAverage) {
      for (double e : average) globalPeak = std::max(globalPeak, e * result.scale);
    }
    for (int v = 0; v < viewCount; ++v) {
      FarFieldViewResult& view = result.views[static_cast<std::size_t>(v)];
      for (std::size_t b = 0; b < view.bins.size(); ++b) {
        view.bins[b].expected = lawAverage[static_cast<std::size_t>(v)][b] * result.scale;
        view.peak = std::max(view.peak, view.bins[b].expected);
      }
      const double peak = view.peak > 0 ? view.peak : globalPeak;
      double chi2 = 0;
      for (FarFieldBin& bin : view.bins) {
        if (!bin.judged) continue;
        const double deviation = std::fabs(bin.measured - bin.expected);
        ++view.judgedBins;
        if (peak > 0) view.largestDeviation = std::max(view.largestDeviation, deviation / peak);
        if (bin.sigma > 0) chi2 += (deviation / bin.sigma) * (deviation / bin.sigma);
        bin.passed = deviation <= options.sigmas * bin.sigma || deviation <= options.tolerance * peak;
        if (!bin.passed) ++view.failedBins;
      }
      view.chiSquarePerDof = view.judgedBins > 0 ? chi2 / view.judgedBins : 0;
      result.largestDeviation = std::max(result.largestDeviation, view.largestDeviation);
      if (view.failedBins > 0) result.passed = false;
    }
  }

  // The share of the flux going backwards, against the law's.
  result.expectedBackwardShare = law.backward_share();
  if (totals.totalFlux > 0) {
    double sumSquares = 0;
    for (double f2 : totals.flux2[0]) sumSquares += f2;
    const double share = totals.backwardFlux / totals.totalFlux;
    const double effectiveRays = totals.totalFlux * totals.totalFlux / sumSquares;
    const double sigma = std::sqrt(std::max(share * (1 - share), 1e-12) / effectiveRays);
    result.measuredBackwardShare = share;
    result.backwardShareOk =
        std::fabs(share - result.expectedBackwardShare) <= std::max(options.sigmas * sigma, options.tolerance);
  }
  if (!result.backwardShareOk) result.passed = false;
  if (result.scale <= 0) result.passed = false;
  return result;
}

FarFieldResult check_ray_file(const std::string& path, RayFileKind kind, const IntensityLaw& law,
                              const FarFieldOptions& options) {
  const auto stop_if_asked = [&] {
    if (options.stopRequested && options.stopRequested()) throw CheckStopped("Check of " + path + " stopped");
  };
  stop_if_asked();
  FarFieldOptions used = options;
  if (!(used.wedgeHalfDeg > 0)) used.wedgeHalfDeg = law.default_wedge_deg();
  // Each block's far-field bins and, with a spectrum, its wavelength bins.
  struct Partial {
    FarFieldBins field;
    std::optional<WavelengthBins> wavelengths;
  };
  const auto make_partial = [&] {
    auto part = std::make_shared<Partial>(Partial{FarFieldBins(used.binDeg, used.wedgeHalfDeg, law.views()), {}});
    if (options.spectrum != nullptr) part->wavelengths.emplace(*options.spectrum, options.wavelengthBins);
    return part;
  };
  const std::shared_ptr<Partial> totals = make_partial();
  // The share read is the rays merged times their size in the file; merged
  // blocks lag the reads by a few blocks, and the share only ever rises and
  // stops short of 1 until the reader is done.
  double rayBytes = 0, fileBytes = 0, shown = 0;
  if (options.progress) {
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(path_from_utf8(path), error);
    if (!error && size > 0) {
      fileBytes = static_cast<double>(size);
      rayBytes = bytes_per_ray(path, size);
    }
    options.progress(0);
  }
  const auto report_progress = [&] {
    if (rayBytes <= 0) return;
    const double share = std::min(0.99, static_cast<double>(totals->field.rays) * rayBytes / fileBytes);
    if (share >= shown + 0.01) {
      shown = share;
      options.progress(share);
    }
  };
  const unsigned threads = options.threads != 0 ? options.threads : std::max(1u, std::thread::hardware_concurrency());
  const auto read = read_ray_file(
      path, kind, threads,
      [&](const RayRecord* rays, std::size_t n) -> std::shared_ptr<void> {
        auto part = make_partial();
        part->field.add(rays, n);
        if (part->wavelengths) part->wavelengths->add(rays, n);
        return part;
      },
      [&](std::shared_ptr<void> part) {
        // Blocks are merged in file order on this thread; the reader lets
        // the blocks in flight end before the stop reaches the caller.
        stop_if_asked();
        const auto& p = *static_cast<const Partial*>(part.get());
        totals->field.merge(p.field);
        if (totals->wavelengths) totals->wavelengths->merge(*p.wavelengths);
        if (options.progress) report_progress();
      });
  if (options.progress) options.progress(1);
  FarFieldResult result = compare_far_field(totals->field, law, used);
  if (options.spectrum != nullptr) {
    result.spectrum = compare_spectrum(*totals->wavelengths, *options.spectrum, used.sigmas, used.tolerance);
    if (!result.spectrum->passed) result.passed = false;
  }
  result.path = path;
  result.kind = read.kind;
  result.file = read;
  return result;
}

std::string far_field_verdict(const FarFieldResult& r) {
  int judged = 0;
  for (const auto& view : r.views) judged += view.judgedBins;
  if (judged == 0) {
    return "FAIL: no bin holds " + std::to_string(r.options.minRays) + " rays; use more rays or wider bins";
  }
  return std::string(r.passed ? "PASS" : "FAIL") + ": largest deviation " + format("%.2f", 100 * r.largestDeviation) +
         " % of the peak" +
         (r.backwardShareOk ? ""
                            : ", backward share " + format("%.2f", 100 * r.measuredBackwardShare) + " % instead of " +
                                  format("%.2f", 100 * r.expectedBackwardShare) + " %") +
         (r.spectrum && !r.spectrum->passed ? ", the wavelengths do not follow the spectrum" : "");
}

std::string far_field_report(const FarFieldResult& r) {
  const FarFieldBins& t = r.totals;
  std::string out;
  out += "ray file: " + r.path + " (" + ray_file_kind_name(r.kind) + ")\n";
  out += "rays: " + std::to_string(t.rays) + "\n";
  out += "total flux: " + format("%.6g", t.totalFlux) + " W\n";
  out += "start points: x " + format("%.6g", t.lo[0]) + " .. " + format("%.6g", t.hi[0]) + " mm, y " +
         format("%.6g", t.lo[1]) + " .. " + format("%.6g", t.hi[1]) + " mm, z " + format("%.6g", t.lo[2]) + " .. " +
         format("%.6g", t.hi[2]) + " mm\n";
  out += "largest |direction length - 1|: " + format("%.3g", t.maxLengthError) + "\n";
  out += "rays with zero flux: " + std::to_string(t.zeroFlux) +
         ", with negative flux: " + std::to_string(t.negativeFlux) + "\n";
  out += "going backwards (dz < 0): " + std::to_string(t.backwardRays) + " rays (" +
         format("%.2f", t.rays > 0 ? 100.0 * static_cast<double>(t.backwardRays) / static_cast<double>(t.rays) : 0) +
         " %), " + format("%.2f", 100 * r.measuredBackwardShare) + " % of the flux; the law sends " +
         format("%.2f", 100 * r.expectedBackwardShare) + " %" + (r.backwardShareOk ? "" : "  FAIL") + "\n";
  out += "law: " + r.law + "\n";
  out += "bins of " + format("%g", r.options.binDeg) + " deg, wedges of +/-" + format("%g", r.options.wedgeHalfDeg) +
         " deg about the planes; ";
  if (r.collimated) {
    out += "a collimated beam: every ray must lie in the bin at 0 deg (or at 180 deg, going backwards)\n";
  } else {
    out += "bins with at least " + std::to_string(r.options.minRays) + " rays are judged; scale " +
           format("%.6g", r.scale) + " W/sr per unit of the law\n";
  }
  out += "view                       judged  failed  largest deviation  chi2/dof\n";
  for (std::size_t v = 0; v < r.views.size(); ++v) {
    const FarFieldViewResult& view = r.views[v];
    char line[160];
    std::snprintf(line, sizeof line, "%-26s %6d  %6d  %9.2f %% of peak  %8.3f\n", r.totals.views[v].name.c_str(),
                  view.judgedBins, view.failedBins, 100 * view.largestDeviation, view.chiSquarePerDof);
    out += line;
  }
  if (r.spectrum) out += spectrum_check_report(*r.spectrum);
  out += "verdict: " + far_field_verdict(r);
  if (!r.collimated) {
    out += " (a bin passes within " + format("%g", r.options.sigmas) + " standard deviations or " +
           format("%g", 100 * r.options.tolerance) + " % of its view's peak)";
  }
  out += "\n";
  return out;
}

std::string far_field_csv(const FarFieldResult& r) {
  std::string out =
      "view,theta_lo_deg,theta_hi_deg,rays,measured_w_per_sr,sigma_w_per_sr,expected_w_per_sr,judged,passed\n";
  for (std::size_t v = 0; v < r.views.size(); ++v) {
    for (const FarFieldBin& b : r.views[v].bins) {
      char line[256];
      std::snprintf(line, sizeof line, "%s,%g,%g,%lld,%.9g,%.9g,%.9g,%d,%d\n", r.totals.views[v].key.c_str(),
                    b.thetaLoDeg, b.thetaHiDeg, static_cast<long long>(b.rays), b.measured, b.sigma, b.expected,
                    b.judged ? 1 : 0, b.passed ? 1 : 0);
      out += line;
    }
  }
  return out;
}

std::string far_field_svg(const FarFieldResult& r) {
  constexpr double kWidth = 420, kHeight = 300, kLeft = 60, kTop = 40, kPlotW = 330, kPlotH = 200;
  double thetaMax = 90;
  for (const auto& view : r.views) {
    for (const auto& b : view.bins) {
      if ((b.rays > 0 || b.expected > 0) && b.thetaHiDeg > thetaMax) thetaMax = 180;
    }
  }
  const double rows = std::ceil(static_cast<double>(r.views.size()) / 3);
  const double height = rows * kHeight;
  std::string out = "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + format("%g", 3 * kWidth) + "\" height=\"" +
                    format("%g", height + 30) + "\" font-family=\"sans-serif\" font-size=\"12\">\n";
  out += "<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n";
  out += "<text x=\"10\" y=\"20\" font-size=\"14\">" + xml_text(r.path + ": " + far_field_verdict(r)) + "</text>\n";
  for (std::size_t v = 0; v < r.views.size(); ++v) {
    const FarFieldViewResult& view = r.views[v];
    const double ox = static_cast<double>(v % 3) * kWidth;
    const double top = kTop + static_cast<double>(v / 3) * kHeight;
    double yMax = 0;
    for (const auto& b : view.bins) yMax = std::max({yMax, b.expected, b.measured + b.sigma});
    if (yMax <= 0) yMax = 1;
    const auto px = [&](double theta) { return ox + kLeft + kPlotW * theta / thetaMax; };
    const auto py = [&](double value) { return top + 10 + kPlotH * (1 - value / yMax); };
    out += "<g>\n<text x=\"" + format("%g", ox + kLeft) + "\" y=\"" + format("%g", top + 2) + "\">" +
           xml_text(r.totals.views[v].name) + "</text>\n";
    out += "<rect x=\"" + format("%g", ox + kLeft) + "\" y=\"" + format("%g", top + 10) + "\" width=\"" +
           format("%g", kPlotW) + "\" height=\"" + format("%g", kPlotH) + "\" fill=\"none\" stroke=\"black\"/>\n";
    for (double tick = 0; tick <= thetaMax + 1e-9; tick += thetaMax / 6) {
      out += "<text x=\"" + format("%.1f", px(tick)) + "\" y=\"" + format("%g", top + kPlotH + 25) +
             "\" text-anchor=\"middle\">" + format("%g", tick) + "</text>\n";
    }
    out += "<text x=\"" + format("%g", ox + kLeft + kPlotW / 2) + "\" y=\"" + format("%g", top + kPlotH + 42) +
           "\" text-anchor=\"middle\">polar angle, degrees</text>\n";
    out += "<text x=\"" + format("%g", ox + 14) + "\" y=\"" + format("%g", top + 10 + kPlotH / 2) +
           "\" transform=\"rotate(-90 " + format("%g", ox + 14) + " " + format("%g", top + 10 + kPlotH / 2) +
           ")\" text-anchor=\"middle\">intensity, W/sr</text>\n";
    out += "<text x=\"" + format("%g", ox + kLeft - 4) + "\" y=\"" + format("%g", top + 14) +
           "\" text-anchor=\"end\">" + format("%.3g", yMax) + "</text>\n";
    out += "<text x=\"" + format("%g", ox + kLeft - 4) + "\" y=\"" + format("%g", top + 14 + kPlotH) +
           "\" text-anchor=\"end\">0</text>\n";
    out += "<polyline fill=\"none\" stroke=\"#1f5fbf\" stroke-width=\"1.5\" points=\"";
    for (const auto& b : view.bins) {
      const double mid = 0.5 * (b.thetaLoDeg + b.thetaHiDeg);
      if (mid > thetaMax) break;
      out += format("%.1f", px(mid)) + "," + format("%.1f", py(b.expected)) + " ";
    }
    out += "\"/>\n";
    for (const auto& b : view.bins) {
      const double mid = 0.5 * (b.thetaLoDeg + b.thetaHiDeg);
      if (mid > thetaMax || b.rays == 0) continue;
      const char* colour = !b.judged ? "#999999" : (b.passed ? "#d04000" : "#ff0000");
      out += "<line x1=\"" + format("%.1f", px(mid)) + "\" x2=\"" + format("%.1f", px(mid)) + "\" y1=\"" +
             format("%.1f", py(b.measured - b.sigma)) + "\" y2=\"" + format("%.1f", py(b.measured + b.sigma)) +
             "\" stroke=\"" + colour + "\"/>\n";
      out += "<circle cx=\"" + format("%.1f", px(mid)) + "\" cy=\"" + format("%.1f", py(b.measured)) +
             "\" r=\"2\" fill=\"" + colour + "\"/>\n";
    }
    out += "</g>\n";
  }
  out += "<text x=\"10\" y=\"" + format("%g", height + 20) +
         "\">line: the law scaled by least squares; points: measured, with one standard deviation</text>\n";
  out += "</svg>\n";
  return out;
}

}  // namespace lucidra
