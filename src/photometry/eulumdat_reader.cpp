// The line layout follows the public EULUMDAT description (A. W. Stockmar,
// "EULUMDAT - ein Leuchtendatenformat fuer den europaeischen
// Beleuchtungsplaner", Licht '90; tabulated e.g. at helios32.com/Eulumdat.htm
// and docs.agi32.com "EULUMDAT File Format"):
//
//   1 company/format text   2 Ityp (0..3)   3 Isym (0..4)
//   4 Mc, number of C planes   5 Dc, their step   6 Ng, intensities per plane   7 Dg, their step
//   8..12 report number, luminaire name and number, file name, date/user
//   13..21 luminaire and luminous-area dimensions (mm)
//   22 downward flux fraction   23 light output ratio   24 conversion factor for intensities   25 tilt
//   26 n, number of lamp sets, then per set: number of lamps, lamp type, total lamp flux (lm),
//      colour temperature, colour rendering, wattage
//   then 10 direct ratios, Mc C angles, Ng gamma angles, and the intensities (cd/klm) of the
//   planes the symmetry needs: Isym 0 all Mc planes, 1 one plane, 2 C0..C180, 3 C90..C270,
//   4 C0..C90, each plane from its first gamma angle to its last.

#include "photometry/eulumdat_reader.h"

#include <cmath>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "distributions/number_text.h"
#include "photometry/text_cursor.h"

namespace lucidra {

namespace {

bool same_angle(double a, double b) { return std::fabs(a - b) < 1e-9; }

// One field per line, each message naming the line the field belongs on.
class FieldLines {
 public:
  FieldLines(std::string_view text, std::string_view fileName) : cursor_(text, fileName) {}

  std::string_view text(std::string_view field) {
    // Every field takes one line, so fields count lines, even past the end.
    line_ = ++fieldsRead_;
    const std::optional<std::string_view> line = cursor_.next_line();
    if (!line) fail(field, "the file ends before this line");
    return *line;
  }

  double real(std::string_view field) {
    const std::string_view line = text(field);
    const std::optional<double> v = photometric_number_or_comma(line);
    if (!v)
      fail(field, trimmed(line).empty() ? "the line is empty; a number belongs here"
                                        : quoted_value_text(trimmed(line)) + " is not a number");
    return *v;
  }

  std::int64_t whole(std::string_view field, std::int64_t lo, std::int64_t hi) {
    const std::string_view line = text(field);
    const std::optional<double> v = photometric_number_or_comma(line);
    if (!v || *v != std::floor(*v) || std::fabs(*v) > 1e15) {
      fail(field, trimmed(line).empty() ? "the line is empty; a whole number belongs here"
                                        : quoted_value_text(trimmed(line)) + " is not a whole number");
    }
    const auto value = static_cast<std::int64_t>(*v);
    if (value < lo || value > hi) {
      fail(field, std::to_string(value) + " is out of range; it must be from " + std::to_string(lo) + " to " +
                      std::to_string(hi));
    }
    return value;
  }

  [[noreturn]] void fail(std::string_view field, std::string_view problem) const {
    cursor_.fail(line_, field, problem);
  }
  int line() const { return line_; }
  TextCursor& cursor() { return cursor_; }

 private:
  TextCursor cursor_;
  int line_ = 1;
  int fieldsRead_ = 0;
};

// Reads `count` angles, one per line, strictly ascending within [lo, hi], no two the same.
std::vector<double> read_angles(FieldLines& lines, std::int64_t count, std::string_view what, double lo, double hi) {
  std::vector<double> angles;
  angles.reserve(static_cast<std::size_t>(count));
  for (std::int64_t i = 0; i < count; ++i) {
    const std::string field = std::string(what) + " " + std::to_string(i + 1) + " of " + std::to_string(count);
    const double angle = lines.real(field);
    if (angle < lo || angle > hi) {
      lines.fail(field,
                 short_number(angle) + " is outside " + short_number(lo) + " to " + short_number(hi) + " degrees");
    }
    if (!angles.empty()) {
      if (const auto problem = angle_order_problem(angle, angles.back())) lines.fail(field, *problem);
    }
    angles.push_back(angle);
  }
  return angles;
}

}  // namespace

PhotometricData read_eulumdat_text(std::string_view text, std::string_view fileName) {
  FieldLines lines(text, fileName);
  PhotometricData data;
  data.format = PhotometricFormat::Eulumdat;
  data.sourceName = std::string(fileName);
  data.versionText = "EULUMDAT";

  lines.text("company identification");
  lines.whole("type indicator Ityp", 0, 3);
  const std::int64_t isym = lines.whole("symmetry indicator Isym", 0, 4);
  const int isymLine = lines.line();
  const std::int64_t mc = lines.whole("number of C planes Mc", 1, 3600);
  const int mcLine = lines.line();
  lines.real("C plane step Dc");
  const std::int64_t ng = lines.whole("number of gamma angles Ng", 2, 100000);
  lines.real("gamma angle step Dg");
  for (const char* field :
       {"measurement report number", "luminaire name", "luminaire number", "file name", "date/user"}) {
    lines.text(field);
  }
  for (const char* field :
       {"luminaire length/diameter", "luminaire width", "luminaire height", "luminous area length/diameter",
        "luminous area width", "luminous area height C0", "luminous area height C90", "luminous area height C180",
        "luminous area height C270", "downward flux fraction"}) {
    lines.real(field);
  }
  const double lightOutputRatio = lines.real("light output ratio");
  const double conversion = lines.real("conversion factor for intensities");
  if (!(conversion > 0))
    lines.fail("conversion factor for intensities", short_number(conversion) + " must be positive");
  lines.real("tilt during measurement");
  const std::int64_t sets = lines.whole("number of lamp sets", 1, 1000);

  double lampFlux = 0;
  std::int64_t lampCount = 0;
  for (std::int64_t s = 1; s <= sets; ++s) {
    const std::string set = "lamp set " + std::to_string(s) + ", ";
    const std::int64_t count = lines.whole(set + "number of lamps", -100000, 100000);
    lines.text(set + "lamp type");
    const double flux = lines.real(set + "total lamp flux");
    if (s == 1) {
      if (!(flux > 0)) lines.fail(set + "total lamp flux", short_number(flux) + " lm must be positive");
      lampFlux = flux;
      lampCount = count;
    }
    lines.text(set + "colour temperature");
    lines.text(set + "colour rendering");
    lines.real(set + "wattage");
  }
  for (int k = 1; k <= 10; ++k) lines.real("direct ratio " + std::to_string(k) + " of 10");

  const std::vector<double> cAngles = read_angles(lines, mc, "C angle", 0, 360 - 1e-9);
  data.verticalDeg = read_angles(lines, ng, "gamma angle", 0, 180);
  const double gFirst = data.verticalDeg.front(), gLast = data.verticalDeg.back();
  if (!((same_angle(gFirst, 0) && (same_angle(gLast, 90) || same_angle(gLast, 180))) ||
        (same_angle(gFirst, 90) && same_angle(gLast, 180)))) {
    lines.fail("gamma angles", "they run from " + short_number(gFirst) + " to " + short_number(gLast) +
                                   " degrees; the import needs 0 to 90, 0 to 180 or 90 to 180");
  }

  // The planes the symmetry stores: a run of the C angles from `startDeg` to `endDeg`.
  std::size_t first = 0, planeCount = static_cast<std::size_t>(mc);
  double startDeg = 0, endDeg = 0;
  switch (isym) {
    case 0: data.symmetry = mc == 1 ? HorizontalSymmetry::Rotational : HorizontalSymmetry::None; break;
    case 1:
      data.symmetry = HorizontalSymmetry::Rotational;
      planeCount = 1;
      break;
    case 2:
      data.symmetry = HorizontalSymmetry::PlaneC0C180;
      startDeg = 0;
      endDeg = 180;
      break;
    case 3:
      data.symmetry = HorizontalSymmetry::PlaneC90C270;
      startDeg = 90;
      endDeg = 270;
      break;
    default:
      data.symmetry = HorizontalSymmetry::Quadrant;
      startDeg = 0;
      endDeg = 90;
      break;
  }
  if (isym >= 2) {
    const std::int64_t divisor = isym == 4 ? 4 : 2;
    if (mc % divisor != 0) {
      lines.cursor().fail(mcLine, "number of C planes Mc",
                          std::to_string(mc) + " is not a multiple of " + std::to_string(divisor) +
                              ", which symmetry indicator " + std::to_string(isym) + " needs");
    }
    planeCount = static_cast<std::size_t>(mc / divisor + 1);
    first = 0;
    while (first < cAngles.size() && !same_angle(cAngles[first], startDeg)) ++first;
    if (first + planeCount > cAngles.size() || !same_angle(cAngles[first + planeCount - 1], endDeg)) {
      lines.cursor().fail(isymLine, "symmetry indicator Isym",
                          std::to_string(isym) + " stores the planes C" + short_number(startDeg) + " to C" +
                              short_number(endDeg) + ", but the C angles do not hold " + std::to_string(planeCount) +
                              " planes from C" + short_number(startDeg) + " to C" + short_number(endDeg));
    }
  }
  data.horizontalDeg.assign(cAngles.begin() + static_cast<std::ptrdiff_t>(first),
                            cAngles.begin() + static_cast<std::ptrdiff_t>(first + planeCount));
  if (isym == 1) data.horizontalDeg = {0.0};

  const double scale = lampFlux / 1000.0 * conversion;
  data.candela.resize(planeCount);
  for (std::size_t p = 0; p < planeCount; ++p) {
    data.candela[p].reserve(static_cast<std::size_t>(ng));
    for (std::int64_t g = 0; g < ng; ++g) {
      const std::string field = "intensity " + std::to_string(g + 1) + " of " + std::to_string(ng) + " in plane C" +
                                short_number(data.horizontalDeg[p]);
      const double value = lines.real(field);
      if (value < 0) lines.fail(field, short_number(value) + " cd/klm is negative");
      const double candela = value * scale;
      if (!(candela <= kMaxCandela)) {
        lines.fail(field, short_number(value) + " cd/klm is more than " + short_number(kMaxCandela) +
                              " cd with the lamp flux, beyond any luminaire");
      }
      data.candela[p].push_back(candela);
    }
  }

  data.statedLumens = lampFlux;
  data.lampCount = lampCount;
  data.lightOutputRatioPercent = lightOutputRatio;
  data.notes.push_back("Intensities converted from cd/klm with the lamp flux " + short_number(lampFlux) +
                       " lm of lamp set 1" +
                       (sets > 1 ? " (the file lists " + std::to_string(sets) + " lamp sets)" : std::string()));
  if (conversion != 1) {
    data.notes.push_back("Intensities multiplied by the conversion factor " + short_number(conversion));
  }
  if (lampCount < 0) data.notes.push_back("Negative number of lamps: absolute photometry");
  const int lastLine = lines.line();
  while (const std::optional<std::string_view> rest = lines.cursor().next_line()) {
    if (!trimmed(*rest).empty()) {
      data.notes.push_back("Text after the last intensity (line " + std::to_string(lastLine) + ") was ignored");
      break;
    }
  }
  return data;
}

}  // namespace lucidra
