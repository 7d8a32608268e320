#include "engine/spectrum_check.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace lucidra {
namespace {

// A written wavelength is a float32, of micrometres in some formats: this
// much beyond the range still belongs to its edge.
double edge_slack(double nm) { return 1e-5 * nm + 1e-6; }

}  // namespace

WavelengthBins::WavelengthBins(const Spectrum& spectrum, int binCount) {
  firstNm = spectrum.first_nm();
  bins = spectrum.is_line() ? 1 : std::max(1, binCount);
  stepNm = spectrum.is_line() ? 0 : (spectrum.last_nm() - firstNm) / bins;
  flux.assign(static_cast<std::size_t>(bins), 0.0);
  flux2.assign(static_cast<std::size_t>(bins), 0.0);
  count.assign(static_cast<std::size_t>(bins), 0);
}

void WavelengthBins::add(const RayRecord* r, std::size_t n) {
  const double lastNm = firstNm + stepNm * bins;
  for (std::size_t i = 0; i < n; ++i) {
    const double nm = r[i].wavelength;
    const double f = r[i].flux;
    ++rays;
    if (!(nm > 0)) {
      ++withoutWavelength;
      continue;
    }
    totalFlux += f;
    fluxNm += f * nm;
    if (nm < firstNm - edge_slack(firstNm) || nm > lastNm + edge_slack(lastNm)) {
      ++outside;
      continue;
    }
    int k = stepNm > 0 ? static_cast<int>((nm - firstNm) / stepNm) : 0;
    k = std::clamp(k, 0, bins - 1);
    flux[static_cast<std::size_t>(k)] += f;
    flux2[static_cast<std::size_t>(k)] += f * f;
    ++count[static_cast<std::size_t>(k)];
  }
}

void WavelengthBins::merge(const WavelengthBins& o) {
  for (std::size_t k = 0; k < flux.size() && k < o.flux.size(); ++k) {
    flux[k] += o.flux[k];
    flux2[k] += o.flux2[k];
    count[k] += o.count[k];
  }
  rays += o.rays;
  withoutWavelength += o.withoutWavelength;
  outside += o.outside;
  totalFlux += o.totalFlux;
  fluxNm += o.fluxNm;
}

SpectrumCheck compare_spectrum(const WavelengthBins& b, const Spectrum& spectrum, double sigmas, double tolerance) {
  SpectrumCheck check;
  check.withoutWavelength = b.withoutWavelength;
  check.outside = b.outside;
  check.expectedMeanNm = spectrum.mean_wavelength();
  check.meanNm = b.totalFlux != 0 ? b.fluxNm / b.totalFlux : 0.0;
  double peak = 0;
  for (int k = 0; k < b.bins; ++k) {
    WavelengthBin bin;
    bin.loNm = b.firstNm + b.stepNm * k;
    bin.hiNm = b.firstNm + b.stepNm * (k + 1);
    const double share = spectrum.is_line() ? 1.0 : spectrum.share_below(bin.hiNm) - spectrum.share_below(bin.loNm);
    const auto at = static_cast<std::size_t>(k);
    bin.rays = b.count[at];
    bin.measured = b.flux[at];
    bin.expected = b.totalFlux * share;
    // The bin's flux is a sum over the rays that fell in it: its variance
    // as a Monte-Carlo estimate (Sobol's points do better still).
    const double n = static_cast<double>(b.rays - b.withoutWavelength);
    const double var = n > 0 ? b.flux2[at] - b.flux[at] * b.flux[at] / n : 0.0;
    bin.sigma = std::sqrt(var > 0 ? var : 0.0);
    peak = std::max(peak, bin.expected);
    check.bins.push_back(bin);
  }
  for (WavelengthBin& bin : check.bins) {
    const double deviation = std::fabs(bin.measured - bin.expected);
    bin.passed = deviation <= sigmas * bin.sigma || deviation <= tolerance * peak;
    if (peak > 0) check.largestDeviation = std::max(check.largestDeviation, deviation / peak);
    if (!bin.passed) ++check.failedBins;
  }
  check.passed = check.failedBins == 0 && check.withoutWavelength == 0 && check.outside == 0 && b.totalFlux > 0;
  return check;
}

std::string spectrum_check_report(const SpectrumCheck& c) {
  char line[256];
  std::string text = "spectrum:\n";
  std::snprintf(line, sizeof line, "  flux-weighted mean wavelength: %.3f nm (spectrum: %.3f nm)\n", c.meanNm,
                c.expectedMeanNm);
  text += line;
  if (c.withoutWavelength > 0) {
    text += "  rays without a wavelength: " + std::to_string(c.withoutWavelength) + "\n";
  }
  if (c.outside > 0) text += "  rays beyond the spectrum's range: " + std::to_string(c.outside) + "\n";
  std::snprintf(line, sizeof line, "  %zu wavelength bins, %d failed, largest deviation %.3f %% of the peak bin\n",
                c.bins.size(), c.failedBins, 100 * c.largestDeviation);
  text += line;
  for (const WavelengthBin& bin : c.bins) {
    if (bin.passed) continue;
    std::snprintf(line, sizeof line, "  FAIL %.2f-%.2f nm: flux %.6g, expected %.6g (sigma %.3g, %lld rays)\n",
                  bin.loNm, bin.hiNm, bin.measured, bin.expected, bin.sigma, static_cast<long long>(bin.rays));
    text += line;
  }
  text += c.passed ? "  spectrum verdict: PASS\n" : "  spectrum verdict: FAIL\n";
  return text;
}

}  // namespace lucidra
