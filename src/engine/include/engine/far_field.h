#pragma once
// The far-field check: bins the rays of a ray file by polar angle into
// flux-weighted intensity per solid angle, over all azimuths and in wedges
// about the x-z plane (where the first table applies) and the y-z plane
// (the second table), and compares each view with the intensity law that a
// run's settings describe.

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/ray_record.h"
#include "base/user_error.h"
#include "distributions/distribution_file.h"
#include "engine/settings.h"
#include "engine/spectrum_check.h"
#include "output/ray_file_reader.h"
#include "sampling/angular_law.h"

namespace lucidra {

// What one view of the far field takes in: every azimuth, or the rays within
// a wedge about one or more half-planes (azimuths phi measured from +y
// toward +x, radians), such as the x-z plane's two halves or a C-plane.
struct FarFieldViewSpec {
  std::string name;              // "x-z plane (first table)", "C45 plane"
  std::string key;               // the CSV's name: "all", "xz", "c45"
  std::vector<double> azimuths;  // half-planes; empty: all azimuths
};

struct FarFieldOptions {
  double binDeg = 2;           // width of a polar-angle bin
  double wedgeHalfDeg = 0;     // half-width of the wedges about the planes; 0: the law's own
  std::int64_t minRays = 100;  // bins with fewer rays are shown, not judged
  double sigmas = 5;           // a bin passes within this many standard deviations...
  double tolerance = 0.01;     // ...or within this share of the view's peak
  unsigned threads = 0;        // 0: every core
  // The spectrum the rays' wavelengths are judged against (nullptr: none),
  // in this many bins over its range.
  const Spectrum* spectrum = nullptr;
  int wavelengthBins = 40;
  // Asked between blocks of the file; true stops the check (CheckStopped).
  std::function<bool()> stopRequested;
  // Told the share of the file read so far (0..1), rising, after blocks of
  // the file and 1 once every ray is in; on the checking thread.
  std::function<void(double share)> progress;
};

// The front end asked a check to stop.
class CheckStopped : public UserError {
 public:
  using UserError::UserError;
};

// The intensity law a ray set is judged against, with the views that judge
// it: the law a run with the same settings emits (its one home is the
// AngularLaw the run samples), up to a scale.
class IntensityLaw {
 public:
  // Reads the tables the settings name (User Defined, Gaussian or Square).
  // Throws UserError for arc mode, an unreadable table or a bad NA.
  explicit IntensityLaw(const GenerationSettings& settings);
  // For tests: the law with tables given directly.
  IntensityLaw(const GenerationSettings& settings, const AngularDistribution& longitudinal,
               const AngularDistribution& transversal);
  // A law built elsewhere, judged in the given views with wedges of
  // `wedgeHalfDeg` by default.
  IntensityLaw(std::shared_ptr<const AngularLaw> law, std::vector<FarFieldViewSpec> views, double wedgeHalfDeg);

  // Radians; theta from 0 to pi.
  double at(double theta, double phi) const { return law_->at(theta, phi); }
  double cap_angle() const { return law_->cap_angle(); }
  double extent() const { return law_->extent(); }  // radians
  double backward_share() const { return backShare_; }
  std::vector<double> polar_breaks() const { return law_->polar_breaks(); }
  std::string description() const { return law_->description(); }
  const std::vector<FarFieldViewSpec>& views() const { return views_; }
  double default_wedge_deg() const { return wedgeHalfDeg_; }
  const AngularLaw& law() const { return *law_; }

 private:
  std::shared_ptr<const AngularLaw> law_;
  std::vector<FarFieldViewSpec> views_;
  double wedgeHalfDeg_ = 10;
  double backShare_ = 0;
};

// All azimuths, the x-z plane (first table) and the y-z plane (second).
std::vector<FarFieldViewSpec> two_plane_views();
// All azimuths and the C-planes 0, 45, ..., 315 (each a half-plane).
std::vector<FarFieldViewSpec> c_plane_views();

// Flux binned by polar angle for the three views.
struct FarFieldBins {
  int bins = 0;
  double binDeg = 2;
  double wedgeSin = 0;  // sin of the wedge half-width
  std::vector<FarFieldViewSpec> views;
  std::vector<std::vector<double>> flux, flux2;  // [view][bin]
  std::vector<std::vector<std::int64_t>> count;

  // Summary of the whole ray set.
  std::int64_t rays = 0;
  double totalFlux = 0;
  double backwardFlux = 0;
  std::int64_t backwardRays = 0;
  std::int64_t zeroFlux = 0, negativeFlux = 0;
  double maxLengthError = 0;
  std::array<double, 3> lo{}, hi{};  // start-point bounds

  FarFieldBins(double binDegrees, double wedgeHalfDegrees, std::vector<FarFieldViewSpec> viewSpecs = two_plane_views());
  void add(const RayRecord* rays, std::size_t n);
  void merge(const FarFieldBins& other);  // adds other after this
};

struct FarFieldBin {
  double thetaLoDeg = 0, thetaHiDeg = 0;
  std::int64_t rays = 0;
  double measured = 0;  // W/sr
  double sigma = 0;     // W/sr, from the bin's sum of squared fluxes
  double expected = 0;  // W/sr, the law times the fitted scale
  bool judged = false;
  bool passed = true;
};

struct FarFieldViewResult {
  std::vector<FarFieldBin> bins;
  double peak = 0;              // largest expected value of the view
  double largestDeviation = 0;  // |measured - expected| / peak over the judged bins
  double chiSquarePerDof = 0;
  int judgedBins = 0, failedBins = 0;
};

struct FarFieldResult {
  std::string path;
  RayFileKind kind = RayFileKind::Zemax;
  RayFileReadResult file;  // what the reader found: header, sums, first bad ray
  FarFieldBins totals{2, 10};
  FarFieldOptions options;  // with the wedge the check used
  std::string law;
  double scale = 0;                       // least-squares factor from the law to W/sr
  bool collimated = false;                // a cap of zero width, judged by where the rays go
  std::vector<FarFieldViewResult> views;  // as totals.views
  double expectedBackwardShare = 0;
  double measuredBackwardShare = 0;  // of the flux
  bool backwardShareOk = true;
  bool passed = false;
  double largestDeviation = 0;            // over the views
  std::optional<SpectrumCheck> spectrum;  // with options.spectrum; part of `passed`
};

// The view's bins against the law: expected values are the law averaged
// over each bin's solid angle in the view, scaled by one least-squares
// factor fitted over the judged bins of all views.
FarFieldResult compare_far_field(const FarFieldBins& totals, const IntensityLaw& law, const FarFieldOptions& options);

// Reads a ray file (text or binary) and compares it. Throws RayFileError /
// UserError, or CheckStopped when options.stopRequested says so.
FarFieldResult check_ray_file(const std::string& path, RayFileKind kind, const IntensityLaw& law,
                              const FarFieldOptions& options);

// The report the command line prints.
std::string far_field_report(const FarFieldResult& result);
// The binned figures, one line per view and bin.
std::string far_field_csv(const FarFieldResult& result);
// Measured points with error bars over the expected curves, one panel per view.
std::string far_field_svg(const FarFieldResult& result);
// One line: verdict and largest deviation.
std::string far_field_verdict(const FarFieldResult& result);

}  // namespace lucidra
