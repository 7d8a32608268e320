#pragma once
// The spectral part of `check`: the flux of the rays binned by wavelength
// and compared with the spectrum they were drawn from, and their
// flux-weighted mean wavelength.

#include <cstdint>
#include <string>
#include <vector>

#include "base/ray_record.h"
#include "photometry/spectrum.h"

namespace lucidra {

// Flux per wavelength bin over the spectrum's range (one bin about a line).
struct WavelengthBins {
  double firstNm = 0, stepNm = 0;
  int bins = 0;
  std::vector<double> flux, flux2;
  std::vector<std::int64_t> count;
  std::int64_t rays = 0;
  std::int64_t withoutWavelength = 0;  // no wavelength written (0 or less)
  std::int64_t outside = 0;            // beyond the spectrum's range
  double totalFlux = 0;
  double fluxNm = 0;  // sum of flux times wavelength

  WavelengthBins() = default;
  // `binCount` bins over the spectrum's range.
  WavelengthBins(const Spectrum& spectrum, int binCount);
  void add(const RayRecord* rays, std::size_t n);
  void merge(const WavelengthBins& other);
};

struct WavelengthBin {
  double loNm = 0, hiNm = 0;
  std::int64_t rays = 0;
  double measured = 0;  // flux in the bin
  double expected = 0;  // the spectrum's share of the total flux
  double sigma = 0;
  bool passed = true;
};

struct SpectrumCheck {
  std::vector<WavelengthBin> bins;
  double meanNm = 0;            // flux-weighted mean of the written wavelengths
  double expectedMeanNm = 0;    // the spectrum's
  double largestDeviation = 0;  // |measured - expected| / peak expected
  int failedBins = 0;
  std::int64_t withoutWavelength = 0, outside = 0;
  bool passed = false;
};

// Each bin passes within `sigmas` standard deviations (from its sum of
// squared fluxes) or within `tolerance` of the peak bin's expected flux;
// the check fails when a ray carries no wavelength or one beyond the range.
SpectrumCheck compare_spectrum(const WavelengthBins& bins, const Spectrum& spectrum, double sigmas, double tolerance);

// The lines `check` prints.
std::string spectrum_check_report(const SpectrumCheck& check);

}  // namespace lucidra
