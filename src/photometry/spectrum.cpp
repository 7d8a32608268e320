#include "photometry/spectrum.h"

#include <algorithm>
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

// The batch lookup's vector paths: SSE2 on every x86-64 processor; AVX
// chosen at run time where the compiler can make it (not on Windows, whose
// GCC does not align the stack for AVX's spills).
#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define LUCIDRA_SPECTRUM_SSE2 1
#if defined(__GNUC__) && defined(__x86_64__) && !defined(_WIN32)
#include <immintrin.h>
#define LUCIDRA_SPECTRUM_AVX 1
#endif
#endif

namespace lucidra {

namespace {

#ifdef LUCIDRA_SPECTRUM_SSE2
// What Spectrum::wavelength_at reads, as plain arrays for the batch loops
// below. They take its steps several shares side by side: the same
// operations in the same order (IEEE square root and division; max and min
// that pick as its comparisons do, a NaN included), so every wavelength is
// the same double as one call would give.
struct InverseTables {
  const double* cumulative;
  const double* power;
  const double* slope;
  const double* nm;
  const std::uint32_t* guide;
  const double* stepShare;
  std::size_t guideCells;
  std::size_t last;
  double total;
  // The largest area below the total, and the largest share below 1.
  double areaBound;
  static constexpr double kShareBound = 1 - 0x1p-53;

  // The piece of the spectrum that holds `area` (share x total): the
  // piece wavelength_at steps to. Nearly every cell holds at most one step,
  // taken when the share reaches the cell's threshold; in the others the
  // steps are wavelength_at's. A share below 1 has an area below the total,
  // so they stop before the last point without its bounds checks; a larger
  // share (or none) is held there, its wavelength being the last point's
  // whatever the piece.
  std::size_t piece(double share, double area) const noexcept {
    const double s = share < kShareBound ? share : kShareBound;
    const auto cell = static_cast<std::size_t>(static_cast<std::int32_t>(s * static_cast<double>(guideCells)));
    const double step = stepShare[cell];
    std::size_t i = guide[cell];
    if (step < 0) [[unlikely]] {
      const double a = area < areaBound ? area : areaBound;
      while (cumulative[i + 1] <= a) ++i;
      return i;
    }
    return i + static_cast<std::size_t>(s >= step);
  }
};

// Shares k, k + 2, ... two at a time while two are left; returns the first
// share not done.
std::size_t wavelengths_sse2(const InverseTables& t, const double* q, double* nm, std::size_t k,
                             std::size_t n) noexcept {
  const __m128d two = _mm_set1_pd(2.0);
  const __m128d zero = _mm_setzero_pd();
  const __m128d magnitude = _mm_castsi128_pd(_mm_set1_epi64x(0x7FFFFFFFFFFFFFFF));
  const __m128d infinity = _mm_set1_pd(std::numeric_limits<double>::infinity());
  const __m128d total = _mm_set1_pd(t.total);
  const __m128d lastNm = _mm_set1_pd(t.nm[t.last]);
  for (; k + 2 <= n; k += 2) {
    const double a0 = q[k] * t.total, a1 = q[k + 1] * t.total;
    const std::size_t i0 = t.piece(q[k], a0), i1 = t.piece(q[k + 1], a1);
    const __m128d area = _mm_set_pd(a1, a0);
    const __m128d p0 = _mm_set_pd(t.power[i1], t.power[i0]);
    const __m128d rest = _mm_sub_pd(area, _mm_set_pd(t.cumulative[i1], t.cumulative[i0]));
    const __m128d slope2 = _mm_mul_pd(two, _mm_set_pd(t.slope[i1], t.slope[i0]));
    const __m128d root = _mm_add_pd(_mm_mul_pd(p0, p0), _mm_mul_pd(slope2, rest));
    const __m128d u = _mm_div_pd(_mm_mul_pd(two, rest), _mm_add_pd(p0, _mm_sqrt_pd(_mm_max_pd(root, zero))));
    const __m128d finite = _mm_cmplt_pd(_mm_and_pd(u, magnitude), infinity);
    const __m128d inside = _mm_min_pd(_mm_add_pd(_mm_set_pd(t.nm[i1], t.nm[i0]), _mm_and_pd(u, finite)),
                                      _mm_set_pd(t.nm[i1 + 1], t.nm[i0 + 1]));
    const __m128d beyond = _mm_cmple_pd(total, area);
    _mm_storeu_pd(nm + k, _mm_or_pd(_mm_and_pd(beyond, lastNm), _mm_andnot_pd(beyond, inside)));
  }
  return k;
}
#endif

#ifdef LUCIDRA_SPECTRUM_AVX
// Four shares at a time where the processor has AVX: its square root and
// division take four doubles in about the time SSE2's take two. (No FMA:
// a fused multiply-add would round differently.)
[[gnu::target("avx")]] std::size_t wavelengths_avx(const InverseTables& t, const double* q, double* nm,
                                                   std::size_t n) noexcept {
  const __m256d two = _mm256_set1_pd(2.0);
  const __m256d zero = _mm256_setzero_pd();
  const __m256d magnitude = _mm256_castsi256_pd(_mm256_set1_epi64x(0x7FFFFFFFFFFFFFFF));
  const __m256d infinity = _mm256_set1_pd(std::numeric_limits<double>::infinity());
  const __m256d total = _mm256_set1_pd(t.total);
  const __m256d lastNm = _mm256_set1_pd(t.nm[t.last]);
  // First the pieces of up to 16 shares, then their arithmetic: the
  // divisions of the block queue up back to back.
  constexpr std::size_t kBlock = 16;
  std::size_t k = 0;
  while (k + 4 <= n) {
    const std::size_t block = std::min(kBlock, (n - k) / 4 * 4);
    double area[kBlock];
    std::size_t at[kBlock];
    for (std::size_t j = 0; j < block; ++j) {
      area[j] = q[k + j] * t.total;
      at[j] = t.piece(q[k + j], area[j]);
    }
    for (std::size_t j = 0; j < block; j += 4, k += 4) {
      const std::size_t i0 = at[j], i1 = at[j + 1], i2 = at[j + 2], i3 = at[j + 3];
      const __m256d areas = _mm256_loadu_pd(area + j);
      const __m256d p0 = _mm256_set_pd(t.power[i3], t.power[i2], t.power[i1], t.power[i0]);
      const __m256d rest =
          _mm256_sub_pd(areas, _mm256_set_pd(t.cumulative[i3], t.cumulative[i2], t.cumulative[i1], t.cumulative[i0]));
      const __m256d slope2 = _mm256_mul_pd(two, _mm256_set_pd(t.slope[i3], t.slope[i2], t.slope[i1], t.slope[i0]));
      const __m256d root = _mm256_add_pd(_mm256_mul_pd(p0, p0), _mm256_mul_pd(slope2, rest));
      const __m256d u =
          _mm256_div_pd(_mm256_mul_pd(two, rest), _mm256_add_pd(p0, _mm256_sqrt_pd(_mm256_max_pd(root, zero))));
      const __m256d finite = _mm256_cmp_pd(_mm256_and_pd(u, magnitude), infinity, _CMP_LT_OQ);
      const __m256d start = _mm256_set_pd(t.nm[i3], t.nm[i2], t.nm[i1], t.nm[i0]);
      const __m256d end = _mm256_set_pd(t.nm[i3 + 1], t.nm[i2 + 1], t.nm[i1 + 1], t.nm[i0 + 1]);
      const __m256d inside = _mm256_min_pd(_mm256_add_pd(start, _mm256_and_pd(u, finite)), end);
      const __m256d beyond = _mm256_cmp_pd(total, areas, _CMP_LE_OQ);
      _mm256_storeu_pd(nm + k, _mm256_blendv_pd(inside, lastNm, beyond));
    }
  }
  return k;
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
  // A share's area (share x total, rounded) never falls as the share grows,
  // so "the area reaches the next point" is "the share reaches a threshold":
  // the smallest share whose area does, found by stepping from the quotient
  // to the neighbouring doubles. A cell whose largest area reaches the point
  // after next needs wavelength_at's steps.
  const std::size_t last = s.cumulative_.size() - 1;
  const double total = s.cumulative_.back();
  s.stepShare_.resize(kGuideCells);
  for (std::size_t cell = 0; cell < kGuideCells; ++cell) {
    const std::size_t g = s.guide_[cell];
    const double end = static_cast<double>(cell + 1) / static_cast<double>(kGuideCells);
    const double highestArea = std::nextafter(end, 0.0) * total;
    double& step = s.stepShare_[cell];
    if (g + 1 >= last) {
      step = std::numeric_limits<double>::infinity();  // the last piece: no step
    } else if (g + 2 < last && s.cumulative_[g + 2] <= highestArea) {
      step = -1;
    } else {
      const double boundary = s.cumulative_[g + 1];
      step = boundary / total;
      while (step > 0 && std::nextafter(step, 0.0) * total >= boundary) step = std::nextafter(step, 0.0);
      while (step * total < boundary) step = std::nextafter(step, 2.0);
    }
  }
  return s;
}

void Spectrum::wavelengths_at(const double* q, double* nm, std::size_t n) const noexcept {
  std::size_t k = 0;
#ifdef LUCIDRA_SPECTRUM_SSE2
  if (nm_.size() > 1) {
    const InverseTables tables{cumulative_.data(), power_.data(),
                               slope_.data(),      nm_.data(),
                               guide_.data(),      stepShare_.data(),
                               kGuideCells,        cumulative_.size() - 1,
                               cumulative_.back(), std::nextafter(cumulative_.back(), 0.0)};
#ifdef LUCIDRA_SPECTRUM_AVX
    if (kHasAvx) k = wavelengths_avx(tables, q, nm, n);
#endif
    k = wavelengths_sse2(tables, q, nm, k, n);
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
