#pragma once
// The spectral power distribution of a source: relative power against
// wavelength (nm), linear between the given points, or one line. It gives
// every ray its wavelength (the inverse of its cumulative distribution) and
// the photometry of the source: lumens per watt through V(lambda), the
// chromaticity, and the dominant wavelength or correlated colour temperature.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/user_error.h"

namespace lucidra {

// Wavelengths a spectrum may hold (nm): ultraviolet to short-wave infrared.
inline constexpr double kSpectrumMinNm = 200.0;
inline constexpr double kSpectrumMaxNm = 2500.0;

// A spectrum file or wavelength the run refuses; the text names the file and
// the line.
class SpectrumError : public UserError {
 public:
  using UserError::UserError;
};

struct Chromaticity {
  double x = 0, y = 0;
};

class Spectrum {
 public:
  // One line at `nm` (refused outside kSpectrumMinNm..kSpectrumMaxNm).
  static Spectrum line(double nm);
  // Points with strictly increasing wavelengths and non-negative power of
  // positive total (a single point is a line). The reader checks the file
  // first; this throws SpectrumError naming only the point.
  static Spectrum from_points(std::vector<double> nm, std::vector<double> power);

  bool is_line() const { return nm_.size() == 1; }
  const std::vector<double>& wavelengths() const { return nm_; }
  const std::vector<double>& powers() const { return power_; }
  double first_nm() const { return nm_.front(); }
  double last_nm() const { return nm_.back(); }
  double peak_power() const;

  // The wavelength below which the share `q` (0 <= q < 1) of the power lies.
  // Runs for every ray: a guide table gives the piece of the spectrum to
  // start from, so the search is a step or two whatever the point count.
  double wavelength_at(double q) const noexcept {
    if (nm_.size() == 1) return nm_[0];
    const double area = q * cumulative_.back();
    const auto cell = static_cast<std::size_t>(q * kGuideCells);
    std::size_t i = guide_[cell < kGuideCells ? cell : kGuideCells - 1];
    // The last point whose cumulative area is not beyond `area`: the piece
    // after it holds the wavelength and has power (a piece without any has
    // the same area at both ends and is stepped over).
    const std::size_t last = cumulative_.size() - 1;
    // One step without a branch (a cell holds at most one point boundary
    // mostly), then any further ones.
    i += static_cast<std::size_t>(i + 1 < last && cumulative_[i + 1] <= area);
    while (i + 1 < last && cumulative_[i + 1] <= area) ++i;
    if (cumulative_[last] <= area) return nm_[last];
    const double p0 = power_[i];
    const double slope = slope_[i];
    const double rest = area - cumulative_[i];
    // p0 u + slope u^2 / 2 = rest, in the form that stays exact when the
    // power is flat or starts at zero.
    const double root = p0 * p0 + 2 * slope * rest;
    const double u = 2 * rest / (p0 + std::sqrt(root > 0 ? root : 0.0));
    const double nm = nm_[i] + (std::isfinite(u) ? u : 0.0);
    return nm < nm_[i + 1] ? nm : nm_[i + 1];
  }
  // wavelength_at for `n` shares at once, bit for bit the same: nm[k] =
  // wavelength_at(q[k]). The square root and the division of one share
  // overlap those of the next, two shares to an instruction where the
  // processor has SSE2, so a batch of rays costs a fraction of the calls.
  void wavelengths_at(const double* q, double* nm, std::size_t n) const noexcept;
  // The share of the power below `nm` (0 before the first point, 1 after the last).
  double share_below(double nm) const noexcept;

  // Lumens per watt of radiant flux: 683 lm/W times the V(lambda)-weighted
  // mean of the power.
  double luminous_efficacy() const;
  // Power-weighted mean wavelength (nm).
  double mean_wavelength() const;
  Chromaticity chromaticity() const;

 private:
  static constexpr std::size_t kGuideCells = 2048;

  std::vector<double> nm_;
  std::vector<double> power_;
  std::vector<double> cumulative_;  // area up to each point
  // For each of kGuideCells equal shares of the power, the last point whose
  // cumulative area is not beyond the share's start.
  std::vector<std::uint32_t> guide_;
  std::vector<double> slope_;  // power per nm of each piece
  // For the batch lookup, per guide cell: the share from which the cell's
  // piece is the next point's, when the cell holds at most that one step
  // (infinite: none); -1 when it holds more (the steps are taken one by one).
  std::vector<double> stepShare_;
};

// Correlated colour temperature (K) of a chromaticity by McCamy's cubic
// ("Correlated color temperature as an explicit function of chromaticity
// coordinates", Color Research & Application 17(2), 1992, 142-144); good
// to a few kelvin near the Planckian locus between 2000 K and 12500 K.
double mccamy_cct(Chromaticity c) noexcept;

// The dominant wavelength (nm) of a chromaticity seen from the equal-energy
// white point E (1/3, 1/3), as CIE 15 defines it: where the line from E
// through the colour meets the spectrum locus. 0 when it meets the purple
// line instead (no dominant wavelength). `purity`, when given, receives the
// excitation purity (0 at E, 1 on the locus).
double dominant_wavelength(Chromaticity c, double* purity = nullptr) noexcept;

// How the summary describes a spectrum's colour: "dominant wavelength 452.3 nm"
// for a saturated colour (excitation purity of at least 0.5), else
// "correlated colour temperature 5600 K (McCamy)".
std::string colour_description(const Spectrum& spectrum);

// What the summary says of a source of `flux` (lumens when `lumens`, else
// watts) with this spectrum: both totals, the luminous efficacy of radiation
// and the colour, e.g. "spectrum: 1200 lm = 3.90117 W, luminous efficacy of
// radiation 307.6 lm/W, correlated colour temperature 5603 K (McCamy)".
std::string spectral_summary(const Spectrum& spectrum, double flux, bool lumens);

// A spectrum file: two columns, wavelength (nm) and relative power, separated
// by blanks, tabs, commas or semicolons; lines starting with '#' and blank
// lines are skipped; a first line that is not two numbers is a header (CSV).
// Refuses with the file name and line: a line that is not two numbers,
// wavelengths that do not increase, negative power, wavelengths outside
// 200..2500 nm, a file without points or without power.
Spectrum parse_spectrum(std::string_view text, const std::string& fileName);
Spectrum read_spectrum_file(const std::string& path);

}  // namespace lucidra
