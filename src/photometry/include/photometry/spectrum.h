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

  // The wavelength below which the share `q` (0 <= q < 1) of the power lies,
  // to within kInverseTolerance of the exact inverse of the piecewise-linear
  // spectrum's cumulative distribution. Runs for every ray: the inverse is
  // tabulated on kInverseCells equal shares as a cubic in each (Hermite's,
  // from the exact wavelengths and slopes at the cell's two ends), kept where
  // it stays within the tolerance of the exact inverse. A cell that fails (a
  // point of the spectrum inside, where the inverse bends, or a steep
  // stretch) is fitted again in parts; the parts that still fail (power
  // falling to zero) and the last cell take the exact inverse itself.
  double wavelength_at(double q) const noexcept {
    if (nm_.size() == 1) return nm_[0];
    if (!(q >= 0 && q < 1)) return exact_wavelength_at(q);
    const double t = q * static_cast<double>(kInverseCells);
    const auto j = static_cast<std::size_t>(t);
    const InverseCell& c = cells_[j];
    const double f = t - static_cast<double>(j);
    if (c.start > 0) return c.at(f);
    if (c.start < 0) {
      // A cell in parts: the same steps within its part.
      const double tp = f * c.square;
      const auto k = static_cast<std::size_t>(tp);
      const InverseCell& part = subCells_[static_cast<std::size_t>(c.slope) + k];
      const double fp = tp - static_cast<double>(k);
      if (part.start > 0) return part.at(fp);
    }
    return exact_wavelength_at(q);
  }
  // wavelength_at for `n` shares at once, bit for bit the same: nm[k] =
  // wavelength_at(q[k]), four shares at a time where the processor has AVX.
  void wavelengths_at(const double* q, double* nm, std::size_t n) const noexcept;
  // The exact inverse: the wavelength where the area of the piecewise-linear
  // spectrum reaches q times the total (a square root and a division).
  double exact_wavelength_at(double q) const noexcept {
    if (nm_.size() == 1) return nm_[0];
    const double area = q * cumulative_.back();
    const std::size_t last = cumulative_.size() - 1;
    if (cumulative_[last] <= area) return nm_[last];
    const std::size_t i = piece_of(q, area);
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
  // How far wavelength_at may be from the exact inverse (nm): below what
  // any ray file records (single precision holds about 3e-5 nm at 500 nm,
  // 6e-5 nm in micrometres) and far below what a spectrometer resolves.
  // A tenth of it would put twice as many of a measured spectrum's shares
  // into cells in parts, for a difference no file can show.
  static constexpr double kInverseTolerance = 1e-5;
  static constexpr std::size_t kInverseCells = 1024;
  // Parts of a cell whose cubic does not fit: kInverseParts, or where one
  // of those still takes the exact inverse (the dim ends of a measured
  // spectrum, where a share spans many points) kInverseFineParts.
  static constexpr std::size_t kInverseParts = 8;
  static constexpr std::size_t kInverseFineParts = 64;

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
  // The piece (its first point) whose area holds `area` = q x total: the
  // last point whose cumulative area is not beyond it, from the guide's
  // cell (a piece without power has the same area at both ends and is
  // stepped over).
  std::size_t piece_of(double q, double area) const noexcept {
    const auto cell = static_cast<std::size_t>(q * kGuideCells);
    std::size_t i = guide_[cell < kGuideCells ? cell : kGuideCells - 1];
    const std::size_t last = cumulative_.size() - 1;
    while (i + 1 < last && cumulative_[i + 1] <= area) ++i;
    return i;
  }
  // The inverse on share (j + f) / kInverseCells, f in [0, 1): start + f
  // (slope + f (square + f cube)); start 0 where the exact inverse is
  // taken, -1 where the cell is in parts: `square` of them (as a number),
  // from subCells_[slope] on, each the same on its share of the cell.
  struct InverseCell {
    double start, slope, square, cube;
    // The batch lookup takes the same steps in the same order.
    double at(double f) const noexcept { return start + f * (slope + f * (square + f * cube)); }
  };
  std::vector<InverseCell> cells_;
  std::vector<InverseCell> subCells_;
  InverseCell fit_inverse_cell(double q0, double q1) const;
  void build_inverse_cells();
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
