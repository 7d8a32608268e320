#pragma once
// Every parameter a generation run takes from its front end, already
// converted: each front end reads its own texts with its own locale (see
// settings_text.h) before it starts a run.

#include <cstdint>
#include <string>

#include "base/flux_unit.h"
#include "output/ray_format.h"
#include "sampling/sampling_types.h"

namespace lucidra {

struct GenerationSettings {
  OutputFormat outputFormat = OutputFormat::Zemax;
  std::string outputPath;        // used as given; relative to the working directory
  std::string longitudinalFile;  // first distribution file (horizontal in LED mode)
  std::string transversalFile;   // second distribution file (vertical in LED mode)
  // An IES LM-63 or EULUMDAT file whose C0-C180 and C90-C270 planes stand
  // in for the two distribution files (empty: use the files).
  std::string photometricFile;
  bool ledMode = true;            // false: arc mode
  std::int32_t rayCount = 30000;  // N; the file gets N + 1 rays
  bool considerSourceFlux = false;
  // The total flux of the rays, in `fluxUnit`. Legacy sampling knows whole
  // watts only and uses it only with "Consider Sorce Flux".
  double sourceFlux = 3500;
  FluxUnit fluxUnit = FluxUnit::Watt;
  // With a photometric file and no flux given: the luminaire's flux (lm)
  // integrated from the file's intensities.
  bool fluxFromPhotometricFile = false;
  RandomAlgorithm randomAlgorithm = RandomAlgorithm::Sobol;
  AngularType angularType = AngularType::UserDefined;
  double numericalAperture = 0;     // NA, 0..1 (used by Lambertian and Uniform)
  std::int32_t extentAboutZ = 360;  // whole degrees
  double sizeXmm = 0.00001;
  double sizeYmm = 0.00001;
  PlaneShape planeShape = PlaneShape::Rectangular;
  bool doubleSide = false;
  std::int32_t balance = 50;  // 0..100
  bool squareShape = false;   // "Square" angular shape instead of "Radial"
  bool notifyEnd = false;
  double arcMarginADeg = 0.0;  // arc mode elevation margins
  double arcMarginBDeg = 0.0;
  char fileDecimalSeparator = '.';  // separator of the distribution files
  std::int64_t clockSeconds = 0;    // seeds the runtime generator
  unsigned threads = 0;             // 0: every core
  // Reproduces the ray files of version 3.5 byte for byte: integer-truncated
  // levels that persist from ray to ray, and double-sided emission reversing
  // (balance + 1) / 101 of the rays. Off: the tables are interpolated
  // linearly for every ray on its own, and balance b reverses b / 100.
  bool legacySampling = false;
  // Directions drawn evenly over the cap with the law in each ray's flux
  // (dense sampling of dim tails), instead of in proportion to the law with
  // every ray carrying the same flux. Ignored with legacy sampling.
  bool weightedSampling = false;
  // A photometric solid turned over (rotated half a turn about the x axis):
  // gamma = 180 becomes +z, for an uplight's beam along +z.
  bool flipSolid = false;
  // The source's spectrum: a file of wavelength (nm) and relative power, or
  // one line of `wavelengthNm` (0: none). Either gives every ray a
  // wavelength; without both the ray files carry none.
  std::string spectrumFile;
  double wavelengthNm = 0;
  bool spectral() const { return !spectrumFile.empty() || wavelengthNm != 0; }
  // The settings file these settings were read from, if any: an input the
  // ray file must never overwrite.
  std::string settingsFile;
};

// Whether the run needs the two distribution tables (or a photometric
// file): legacy sampling (its levels come from them), arc mode and the laws
// made of them. A Lambertian or uniform LED needs its NA only.
inline bool run_reads_tables(const GenerationSettings& settings) {
  return settings.legacySampling || !settings.ledMode || settings.angularType == AngularType::UserDefined ||
         settings.angularType == AngularType::Gaussian;
}

}  // namespace lucidra
