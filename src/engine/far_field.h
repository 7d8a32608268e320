#pragma once
// The far-field check: bins the rays of a ray file by polar angle into
// flux-weighted intensity per solid angle, over all azimuths and in wedges
// about the x-z plane (where the first table applies) and the y-z plane
// (the second table), and compares each view with the intensity law that a
// run's settings describe.

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "distributions/distribution_file.h"
#include "engine/settings.h"
#include "output/ray_file_reader.h"
#include "base/ray_record.h"
#include "base/user_error.h"

namespace lucidra {

enum class FarFieldView { All = 0, XzPlane = 1, YzPlane = 2 };
inline constexpr int kFarFieldViews = 3;
const char* far_field_view_name(FarFieldView view);

struct FarFieldOptions {
  double binDeg = 2;            // width of a polar-angle bin
  double wedgeHalfDeg = 10;     // half-width of the wedges about the two planes
  std::int64_t minRays = 100;   // bins with fewer rays are shown, not judged
  double sigmas = 5;            // a bin passes within this many standard deviations...
  double tolerance = 0.01;      // ...or within this share of the view's peak
  unsigned threads = 0;         // 0: every core
  // Asked between blocks of the file; true stops the check (CheckStopped).
  std::function<bool()> stopRequested;
};

// The front end asked a check to stop.
class CheckStopped : public UserError {
 public:
  using UserError::UserError;
};

// The intensity law I(theta, phi) a run with these settings emits, up to
// a scale: LED mode, directions uniform over the cap and the azimuth
// extent, each ray weighted by the angular type's law; double side mirrors
// b/100 of it into the back hemisphere. phi is measured from +y toward +x.
class IntensityLaw {
 public:
  // Reads the tables the settings name (User Defined, Gaussian or Square).
  // Throws UserError for arc mode, an unreadable table or a bad NA.
  explicit IntensityLaw(const GenerationSettings& settings);
  // For tests: the law with tables given directly.
  IntensityLaw(const GenerationSettings& settings, const AngularDistribution& longitudinal,
               const AngularDistribution& transversal);

  // Radians; theta from 0 to pi.
  double at(double theta, double phi) const;
  double cap_angle() const { return capAngle_; }
  double extent() const { return extent_; }  // radians
  double backward_share() const { return backShare_; }
  std::string description() const { return description_; }

 private:
  void init(const GenerationSettings& settings, const AngularDistribution& longitudinal,
            const AngularDistribution& transversal);
  double forward(double theta, double phi) const;
  static double table_value(const std::vector<double>& x, const std::vector<double>& y, double v);

  AngularType type_ = AngularType::UserDefined;
  bool square_ = false;
  double capAngle_ = 0;
  double extent_ = 0;     // radians
  double backShare_ = 0;  // share of the flux mirrored into the back hemisphere
  std::vector<double> lx_, ly_, tx_, ty_;  // ascending tables, degrees
  std::string description_;
};

// Flux binned by polar angle for the three views.
struct FarFieldBins {
  int bins = 0;
  double binDeg = 2;
  double wedgeSin = 0;  // sin of the wedge half-width
  std::array<std::vector<double>, kFarFieldViews> flux, flux2;
  std::array<std::vector<std::int64_t>, kFarFieldViews> count;

  // Summary of the whole ray set.
  std::int64_t rays = 0;
  double totalFlux = 0;
  double backwardFlux = 0;
  std::int64_t backwardRays = 0;
  std::int64_t zeroFlux = 0, negativeFlux = 0;
  double maxLengthError = 0;
  std::array<double, 3> lo{}, hi{};  // start-point bounds

  FarFieldBins(double binDegrees, double wedgeHalfDegrees);
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
  FarFieldOptions options;
  std::string law;
  double scale = 0;  // least-squares factor from the law to W/sr
  std::array<FarFieldViewResult, kFarFieldViews> views;
  double expectedBackwardShare = 0;
  double measuredBackwardShare = 0;  // of the flux
  bool backwardShareOk = true;
  bool passed = false;
  double largestDeviation = 0;  // over the views
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
