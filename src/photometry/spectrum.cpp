#include "photometry/spectrum.h"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <system_error>

#include "base/platform_file.h"
#include "photometry/cie_observer.h"

// The batch lookup's vector path: AVX chosen at run time where the
// compiler can make it (not on Windows, whose GCC does not align the stack
// for AVX's spills).
#if defined(__GNUC__) && defined(__x86_64__) && !defined(_WIN32)
#include <immintrin.h>
#define LUCIDRA_SPECTRUM_AVX 1
#endif

namespace lucidra {

namespace {

#ifdef LUCIDRA_SPECTRUM_AVX
// The four numbers of the cells at cells + 4 * index[lane], one vector each.
struct CellLanes {
  __m256d start, slope, square, cube;
};
[[gnu::target("avx")]] inline CellLanes load_cells(const double* cells, const std::int32_t* index) noexcept {
  const __m256d r0 = _mm256_loadu_pd(cells + 4 * static_cast<std::size_t>(index[0]));
  const __m256d r1 = _mm256_loadu_pd(cells + 4 * static_cast<std::size_t>(index[1]));
  const __m256d r2 = _mm256_loadu_pd(cells + 4 * static_cast<std::size_t>(index[2]));
  const __m256d r3 = _mm256_loadu_pd(cells + 4 * static_cast<std::size_t>(index[3]));
  const __m256d low01 = _mm256_unpacklo_pd(r0, r1), high01 = _mm256_unpackhi_pd(r0, r1);
  const __m256d low23 = _mm256_unpacklo_pd(r2, r3), high23 = _mm256_unpackhi_pd(r2, r3);
  return CellLanes{_mm256_permute2f128_pd(low01, low23, 0x20), _mm256_permute2f128_pd(high01, high23, 0x20),
                   _mm256_permute2f128_pd(low01, low23, 0x31), _mm256_permute2f128_pd(high01, high23, 0x31)};
}

// InverseCell::at of each lane: start + f (slope + f (square + f cube)).
[[gnu::target("avx")]] inline __m256d cubic_at(const CellLanes& c, __m256d f) noexcept {
  return _mm256_add_pd(
      c.start,
      _mm256_mul_pd(f, _mm256_add_pd(c.slope, _mm256_mul_pd(f, _mm256_add_pd(c.square, _mm256_mul_pd(f, c.cube))))));
}

// Four shares at a time: the cells' four numbers loaded together and turned
// into a vector of each, then wavelength_at's steps in the same order (no
// FMA: a fused multiply-add would round differently); the shares in cells
// in parts after that, one by one. Returns how many shares it did; a block
// with a share outside [0, 1) or a cell or part that takes the exact
// inverse leaves those lanes to the caller, as bits of `exact` (n at most
// 64).
[[gnu::target("avx")]] std::size_t wavelengths_avx(const double* cells, std::size_t cellCount, const double* subCells,
                                                   const double* q, double* nm, std::size_t n,
                                                   std::uint64_t& exact) noexcept {
  const __m256d scale = _mm256_set1_pd(static_cast<double>(cellCount));
  const __m256d zero = _mm256_setzero_pd();
  const __m256d one = _mm256_set1_pd(1.0);
  const std::size_t whole = n / 4 * 4;
  // First every share's cell and place in it, so that the cells' loads
  // below have their addresses at once and overlap.
  alignas(32) std::int32_t cell[64];
  alignas(32) double within[64];
  int outside = 0;
  for (std::size_t k = 0; k < whole; k += 4) {
    const __m256d share = _mm256_loadu_pd(q + k);
    const __m256d valid = _mm256_and_pd(_mm256_cmp_pd(share, zero, _CMP_GE_OQ), _mm256_cmp_pd(share, one, _CMP_LT_OQ));
    // Lanes outside [0, 1) look up cell 0 and are then done exactly.
    const __m256d t = _mm256_and_pd(_mm256_mul_pd(share, scale), valid);
    const __m128i c = _mm256_cvttpd_epi32(t);
    _mm_store_si128(reinterpret_cast<__m128i*>(cell + k), c);
    _mm256_store_pd(within + k, _mm256_sub_pd(t, _mm256_cvtepi32_pd(c)));
    outside |= _mm256_movemask_pd(valid) ^ 15;
  }
  exact = 0;
  if (outside != 0) {
    // Never for a ray's share: the whole block the single way.
    exact = ~std::uint64_t{0} >> (64 - whole);
    return whole;
  }
  std::uint64_t inParts = 0;
  for (std::size_t k = 0; k < whole; k += 4) {
    const CellLanes c = load_cells(cells, cell + k);
    _mm256_storeu_pd(nm + k, cubic_at(c, _mm256_load_pd(within + k)));
    const auto tabulated = static_cast<std::uint64_t>(_mm256_movemask_pd(_mm256_cmp_pd(c.start, zero, _CMP_GT_OQ)));
    const auto split = static_cast<std::uint64_t>(_mm256_movemask_pd(_mm256_cmp_pd(c.start, zero, _CMP_LT_OQ)));
    exact |= (~(tabulated | split) & 15) << k;
    inParts |= split << k;
  }
  // Cells in parts (about one share in eight for a measured spectrum with
  // a point every nanometre) one by one afterwards, as wavelength_at takes
  // them: a branch on them in the loop above would be mispredicted in
  // every other block.
  for (; inParts != 0; inParts &= inParts - 1) {
    const auto i = static_cast<std::size_t>(std::countr_zero(inParts));
    const double* parted = cells + 4 * static_cast<std::size_t>(cell[i]);
    const double place = within[i] * parted[2];
    const auto k = static_cast<std::size_t>(place);
    const double* part = subCells + 4 * (static_cast<std::size_t>(parted[1]) + k);
    const double f = place - static_cast<double>(k);
    if (part[0] > 0) {
      nm[i] = part[0] + f * (part[1] + f * (part[2] + f * part[3]));
    } else {
      exact |= std::uint64_t{1} << i;
    }
  }
  return whole;
}

bool detect_avx() noexcept {
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx");
}
const bool kHasAvx = detect_avx();
#endif

}  // namespace

CieColourMatch cie_colour_match(double nm) noexcept {
  if (!(nm >= kCieFirstNm && nm <= kCieLastNm)) return {};
  const double at = nm - kCieFirstNm;
  auto i = static_cast<std::size_t>(at);
  if (i + 1 >= kCieObserverPoints) return kCie1931Observer[kCieObserverPoints - 1];
  const double t = at - static_cast<double>(i);
  const CieColourMatch& a = kCie1931Observer[i];
  const CieColourMatch& b = kCie1931Observer[i + 1];
  return {a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t, a.z + (b.z - a.z) * t};
}

namespace {

std::string shown(double v) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", v);
  return text;
}

[[noreturn]] void refuse(const std::string& fileName, int line, const std::string& problem) {
  std::string text = "Spectrum file " + fileName;
  if (line > 0) text += ", line " + std::to_string(line);
  throw SpectrumError(text + ": " + problem);
}

// The integral of power(nm) * weight(nm) over the spectrum, where `weight`
// is linear between whole nanometres: Simpson's rule on each piece between
// the spectrum's points and the whole nanometres is exact for the product
// of two linear functions.
template <class Weight>
double weighted_integral(const std::vector<double>& nm, const std::vector<double>& power, Weight weight) {
  double sum = 0;
  for (std::size_t i = 0; i + 1 < nm.size(); ++i) {
    const double a = nm[i], b = nm[i + 1];
    const double pa = power[i], slope = (power[i + 1] - pa) / (b - a);
    double from = a;
    while (from < b) {
      double to = std::floor(from) + 1;
      if (to > b) to = b;
      // Just inside the piece: the weight may jump at 360 and 830 nm.
      const double eps = (to - from) * 1e-9;
      const double mid = 0.5 * (from + to);
      const auto p = [&](double x) { return pa + slope * (x - a); };
      sum += (to - from) / 6 * (p(from) * weight(from + eps) + 4 * p(mid) * weight(mid) + p(to) * weight(to - eps));
      from = to;
    }
  }
  return sum;
}

}  // namespace

Spectrum Spectrum::line(double nm) {
  if (!(nm >= kSpectrumMinNm && nm <= kSpectrumMaxNm)) {
    throw SpectrumError("Wavelength " + shown(nm) + " nm is outside " + shown(kSpectrumMinNm) + " to " +
                        shown(kSpectrumMaxNm) + " nm");
  }
  Spectrum s;
  s.nm_ = {nm};
  s.power_ = {1.0};
  s.cumulative_ = {0.0};
  return s;
}

Spectrum Spectrum::from_points(std::vector<double> nm, std::vector<double> power) {
  if (nm.empty() || nm.size() != power.size()) throw SpectrumError("A spectrum needs at least one point");
  if (nm.size() == 1) return line(nm[0]);
  Spectrum s;
  s.cumulative_.assign(nm.size(), 0.0);
  for (std::size_t i = 0; i < nm.size(); ++i) {
    if (!(nm[i] >= kSpectrumMinNm && nm[i] <= kSpectrumMaxNm)) {
      throw SpectrumError("wavelength " + shown(nm[i]) + " nm is outside 200 to 2500 nm");
    }
    if (!(power[i] >= 0) || !std::isfinite(power[i])) throw SpectrumError("power " + shown(power[i]) + " is negative");
    if (i > 0) {
      if (!(nm[i] > nm[i - 1])) {
        throw SpectrumError("wavelengths must increase (" + shown(nm[i]) + " nm follows " + shown(nm[i - 1]) + " nm)");
      }
      s.cumulative_[i] = s.cumulative_[i - 1] + 0.5 * (power[i] + power[i - 1]) * (nm[i] - nm[i - 1]);
    }
  }
  if (!(s.cumulative_.back() > 0)) throw SpectrumError("the spectrum has no power (every value is 0)");
  s.nm_ = std::move(nm);
  s.power_ = std::move(power);
  s.guide_.resize(kGuideCells);
  std::size_t i = 0;
  for (std::size_t cell = 0; cell < kGuideCells; ++cell) {
    const double start = static_cast<double>(cell) / static_cast<double>(kGuideCells) * s.cumulative_.back();
    while (i + 2 < s.cumulative_.size() && s.cumulative_[i + 1] <= start) ++i;
    s.guide_[cell] = static_cast<std::uint32_t>(i);
  }
  s.slope_.resize(s.nm_.size() - 1);
  for (std::size_t k = 0; k + 1 < s.nm_.size(); ++k) {
    s.slope_[k] = (s.power_[k + 1] - s.power_[k]) / (s.nm_[k + 1] - s.nm_[k]);
  }
  s.build_inverse_cells();
  return s;
}

// The cubic on shares [q0, q1], from the exact wavelengths and slopes at
// both ends (Hermite's), when it stays within half the tolerance of the
// exact inverse at fifteen places across the cell (so the whole of it is
// within all of it); a start of 0 where it does not.
Spectrum::InverseCell Spectrum::fit_inverse_cell(double q0, double q1) const {
  const double total = cumulative_.back();
  const auto power_at = [&](double q, double nm) {
    const std::size_t i = piece_of(q, q * total);
    return power_[i] + slope_[i] * (nm - nm_[i]);
  };
  const double nm0 = exact_wavelength_at(q0), nm1 = exact_wavelength_at(q1);
  const double p0 = power_at(q0, nm0), p1 = power_at(q1, nm1);
  if (!(nm1 > nm0) || !(p0 > 0) || !(p1 > 0)) return {0, 0, 0, 0};
  // d nm / d f = total / power x (q1 - q0) at each end.
  const double m0 = total / p0 * (q1 - q0), m1 = total / p1 * (q1 - q0);
  const InverseCell c{nm0, m0, 3 * (nm1 - nm0) - 2 * m0 - m1, 2 * (nm0 - nm1) + m0 + m1};
  for (int k = 1; k < 16; ++k) {
    const double f = k / 16.0;
    const double cubic = c.at(f);
    if (!(std::fabs(cubic - exact_wavelength_at(q0 + f * (q1 - q0))) <= 0.5 * kInverseTolerance)) return {0, 0, 0, 0};
  }
  return c;
}

void Spectrum::build_inverse_cells() {
  const double cells = static_cast<double>(kInverseCells);
  cells_.assign(kInverseCells, InverseCell{0, 0, 0, 0});
  subCells_.clear();
  // The cell [q0, q1] in `count` parts; how many of them fit.
  std::vector<InverseCell> parts;
  const auto fit_parts = [&](double q0, double q1, std::size_t count) {
    parts.resize(count);
    std::size_t fitted = 0;
    for (std::size_t k = 0; k < count; ++k) {
      const double share = static_cast<double>(count);
      parts[k] = fit_inverse_cell(q0 + (q1 - q0) * static_cast<double>(k) / share,
                                  q0 + (q1 - q0) * static_cast<double>(k + 1) / share);
      fitted += parts[k].start > 0 ? 1 : 0;
    }
    return fitted;
  };
  // The last cell reaches share 1, where the inverse ends at the last point
  // with power: it is left to the exact inverse.
  for (std::size_t j = 0; j + 1 < kInverseCells; ++j) {
    const double q0 = static_cast<double>(j) / cells, q1 = static_cast<double>(j + 1) / cells;
    cells_[j] = fit_inverse_cell(q0, q1);
    if (cells_[j].start > 0) continue;
    // A point of the spectrum inside (the inverse bends there) or a steep
    // stretch: the cell in parts, each fitted again.
    if (fit_parts(q0, q1, kInverseParts) < kInverseParts) fit_parts(q0, q1, kInverseFineParts);
    if (std::none_of(parts.begin(), parts.end(), [](const InverseCell& p) { return p.start > 0; })) continue;
    cells_[j] = {-1, static_cast<double>(subCells_.size()), static_cast<double>(parts.size()), 0};
    subCells_.insert(subCells_.end(), parts.begin(), parts.end());
  }
}

void Spectrum::wavelengths_at(const double* q, double* nm, std::size_t n) const noexcept {
  std::size_t k = 0;
#ifdef LUCIDRA_SPECTRUM_AVX
  if (nm_.size() > 1 && kHasAvx) {
    constexpr std::size_t kBlock = 64;
    while (k + 4 <= n) {
      const std::size_t block = std::min(kBlock, n - k);
      std::uint64_t exact = 0;
      const std::size_t done =
          wavelengths_avx(&cells_.front().start, kInverseCells, subCells_.empty() ? nullptr : &subCells_.front().start,
                          q + k, nm + k, block, exact);
      for (; exact != 0; exact &= exact - 1) {
        const auto i = k + static_cast<std::size_t>(std::countr_zero(exact));
        nm[i] = wavelength_at(q[i]);
      }
      k += done;
      if (done < block) break;
    }
  }
#endif
  for (; k < n; ++k) nm[k] = wavelength_at(q[k]);
}

double Spectrum::peak_power() const { return *std::max_element(power_.begin(), power_.end()); }

double Spectrum::share_below(double nm) const noexcept {
  if (nm_.size() == 1) return nm >= nm_[0] ? 1.0 : 0.0;
  if (nm <= nm_.front()) return 0;
  if (nm >= nm_.back()) return 1;
  const auto upper = std::upper_bound(nm_.begin(), nm_.end(), nm);
  const auto i = static_cast<std::size_t>(upper - nm_.begin()) - 1;
  const double u = nm - nm_[i];
  const double slope = (power_[i + 1] - power_[i]) / (nm_[i + 1] - nm_[i]);
  return (cumulative_[i] + power_[i] * u + 0.5 * slope * u * u) / cumulative_.back();
}

double Spectrum::luminous_efficacy() const {
  if (is_line()) return kMaxLuminousEfficacy * photopic_efficiency(nm_[0]);
  return kMaxLuminousEfficacy * weighted_integral(nm_, power_, photopic_efficiency) / cumulative_.back();
}

double Spectrum::mean_wavelength() const {
  if (is_line()) return nm_[0];
  return weighted_integral(nm_, power_, [](double nm) { return nm; }) / cumulative_.back();
}

Chromaticity Spectrum::chromaticity() const {
  CieColourMatch t;
  if (is_line()) {
    t = cie_colour_match(nm_[0]);
  } else {
    t.x = weighted_integral(nm_, power_, [](double nm) { return cie_colour_match(nm).x; });
    t.y = weighted_integral(nm_, power_, [](double nm) { return cie_colour_match(nm).y; });
    t.z = weighted_integral(nm_, power_, [](double nm) { return cie_colour_match(nm).z; });
  }
  const double sum = t.x + t.y + t.z;
  if (!(sum > 0)) return {};
  return {t.x / sum, t.y / sum};
}

double mccamy_cct(Chromaticity c) noexcept {
  const double n = (c.x - 0.3320) / (0.1858 - c.y);
  return ((449.0 * n + 3525.0) * n + 6823.3) * n + 5520.33;
}

double dominant_wavelength(Chromaticity c, double* purity) noexcept {
  constexpr double white = 1.0 / 3.0;
  const double dx = c.x - white, dy = c.y - white;
  if (purity != nullptr) *purity = 0;
  if (dx * dx + dy * dy < 1e-18) return 0;
  // The ray from E through the colour against every piece of the locus.
  auto locus = [](std::size_t i) {
    const CieColourMatch& m = kCie1931Observer[i];
    const double s = m.x + m.y + m.z;
    return Chromaticity{m.x / s, m.y / s};
  };
  for (std::size_t i = 0; i + 1 < kCieObserverPoints; ++i) {
    const Chromaticity a = locus(i), b = locus(i + 1);
    const double ex = b.x - a.x, ey = b.y - a.y;
    const double det = dx * (-ey) - dy * (-ex);
    if (std::fabs(det) < 1e-15) continue;
    const double rx = a.x - white, ry = a.y - white;
    const double t = (rx * (-ey) - ry * (-ex)) / det;  // along the ray
    const double s = (dx * ry - dy * rx) / det;        // along the piece
    if (t > 0 && s >= 0 && s <= 1) {
      if (purity != nullptr) *purity = 1 / t;
      return kCieFirstNm + static_cast<double>(i) + s;
    }
  }
  return 0;
}

std::string colour_description(const Spectrum& spectrum) {
  const Chromaticity c = spectrum.chromaticity();
  double purity = 0;
  const double dominant = dominant_wavelength(c, &purity);
  char text[96];
  if (dominant > 0 && purity >= 0.5) {
    std::snprintf(text, sizeof text, "dominant wavelength %.1f nm", dominant);
  } else {
    std::snprintf(text, sizeof text, "correlated colour temperature %.0f K (McCamy)", mccamy_cct(c));
  }
  return text;
}

std::string spectral_summary(const Spectrum& spectrum, double flux, bool lumens) {
  const double efficacy = spectrum.luminous_efficacy();
  char text[160];
  if (lumens) {
    std::snprintf(text, sizeof text, "spectrum: %.6g lm = %.6g W", flux, flux / efficacy);
  } else {
    std::snprintf(text, sizeof text, "spectrum: %.6g W = %.6g lm", flux, flux * efficacy);
  }
  std::string out = text;
  std::snprintf(text, sizeof text, ", luminous efficacy of radiation %.1f lm/W, ", efficacy);
  out += text;
  return out + colour_description(spectrum);
}

namespace {

bool is_separator(char c) { return c == ' ' || c == '\t' || c == ',' || c == ';' || c == '\r'; }

// The numbers of a line, split at any run of separators; false when a field
// is not a number.
bool split_numbers(std::string_view line, std::vector<double>& values) {
  values.clear();
  std::size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && is_separator(line[i])) ++i;
    if (i >= line.size()) break;
    std::size_t end = i;
    while (end < line.size() && !is_separator(line[end])) ++end;
    double v = 0;
    const char* first = line.data() + i;
    if (*first == '+') ++first;
    const auto result = std::from_chars(first, line.data() + end, v);
    if (result.ec != std::errc() || result.ptr != line.data() + end) return false;
    values.push_back(v);
    i = end;
  }
  return true;
}

}  // namespace

Spectrum parse_spectrum(std::string_view text, const std::string& fileName) {
  std::vector<double> nm, power, values;
  int lineNumber = 0;
  bool seenContent = false;
  std::size_t at = 0;
  while (at < text.size()) {
    std::size_t end = text.find('\n', at);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view line = text.substr(at, end - at);
    at = end + 1;
    ++lineNumber;
    std::size_t first = 0;
    while (first < line.size() && is_separator(line[first])) ++first;
    if (first == line.size() || line[first] == '#') continue;
    const bool numbers = split_numbers(line, values);
    if (!numbers || values.size() != 2) {
      // A CSV file names its columns on its first line.
      if (!seenContent && !numbers) {
        seenContent = true;
        continue;
      }
      refuse(fileName, lineNumber, "expected two numbers, wavelength (nm) and relative power");
    }
    seenContent = true;
    const double w = values[0], p = values[1];
    if (!(w >= kSpectrumMinNm && w <= kSpectrumMaxNm)) {
      refuse(fileName, lineNumber, "wavelength " + shown(w) + " nm is outside 200 to 2500 nm");
    }
    if (!(p >= 0) || !std::isfinite(p)) refuse(fileName, lineNumber, "power " + shown(p) + " is negative");
    if (!nm.empty() && !(w > nm.back())) {
      refuse(fileName, lineNumber,
             "wavelengths must increase (" + shown(w) + " nm follows " + shown(nm.back()) + " nm)");
    }
    nm.push_back(w);
    power.push_back(p);
  }
  if (nm.empty()) refuse(fileName, 0, "no wavelength and power found");
  bool anyPower = false;
  for (const double p : power) anyPower = anyPower || p > 0;
  if (!anyPower) refuse(fileName, 0, "the spectrum has no power (every value is 0)");
  if (nm.size() > 1) {
    // Power only at single points of a sampled spectrum is no area to draw from.
    try {
      return Spectrum::from_points(std::move(nm), std::move(power));
    } catch (const SpectrumError& e) {
      refuse(fileName, 0, e.text());
    }
  }
  return Spectrum::line(nm[0]);
}

Spectrum read_spectrum_file(const std::string& path) {
  errno = 0;
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(open_file(path, "rb"), &std::fclose);
  if (!file) {
    throw SpectrumError("Cannot open spectrum file " + path + ": " +
                        std::generic_category().message(errno != 0 ? errno : ENOENT));
  }
  std::string text;
  char buffer[65536];
  std::size_t n = 0;
  while ((n = std::fread(buffer, 1, sizeof buffer, file.get())) > 0) {
    text.append(buffer, n);
    if (text.size() > (std::size_t{64} << 20)) throw SpectrumError("Spectrum file " + path + ": larger than 64 MB");
  }
  if (std::ferror(file.get())) throw SpectrumError("Cannot read spectrum file " + path);
  return parse_spectrum(text, path);
}

}  // namespace lucidra
