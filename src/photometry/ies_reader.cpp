// The layout follows the public descriptions of ANSI/IESNA LM-63 (the
// "Standard File Format for the Electronic Transfer of Photometric Data",
// editions 1986, 1991, 1995, 2002 and 2019; summarised e.g. in Lighting
// Analysts' "IESNA LM-63 Format" reference, docs.agi32.com):
//
//   [format line]        IESNA91 | IESNA:LM-63-1995 | IESNA:LM-63-2002 | IES:LM-63-2019 (none in 1986)
//   [keyword lines]      [TEST] ..., [MANUFAC] ... (label lines in 1986)
//   TILT=NONE | TILT=INCLUDE | TILT=<file name>
//   [tilt block]         geometry, N, N angles, N multiplying factors (TILT=INCLUDE only)
//   lamps, lumens/lamp, candela multiplier, #vertical, #horizontal,
//   photometric type, units type, width, length, height
//   ballast factor, future use (ballast-lamp factor before 2002, file
//   generation type in 2019), input watts
//   vertical angles, horizontal angles, candela values plane by plane
//
// From the TILT line on, values are separated by blanks, commas or line ends
// and may be spread over any number of lines.

#include "photometry/ies_reader.h"

#include <cctype>
#include <cmath>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "distributions/number_text.h"
#include "photometry/text_cursor.h"

namespace lucidra {

namespace {

enum class IesEdition { E1986, E1991, E1995, E2002, E2019 };

bool starts_with_no_case(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    const auto a = static_cast<unsigned char>(text[i]);
    const auto b = static_cast<unsigned char>(prefix[i]);
    if (std::tolower(a) != std::tolower(b)) return false;
  }
  return true;
}

bool same_angle(double a, double b) { return std::fabs(a - b) < 1e-9; }

// The TILT line's value, when the line is one: "TILT=NONE" gives "NONE".
std::optional<std::string_view> tilt_value(std::string_view line) {
  line = trimmed(line);
  if (!starts_with_no_case(line, "TILT")) return std::nullopt;
  std::string_view rest = trimmed(line.substr(4));
  if (rest.empty() || rest[0] != '=') return std::nullopt;
  return trimmed(rest.substr(1));
}

constexpr std::string_view kEnded = "the file ends here; the value is missing";

// Reads `count` ascending angles into `out`, no two of them the same.
void read_ascending_angles(TextCursor& cursor, std::int64_t count, std::string_view what, std::vector<double>& out) {
  out.reserve(static_cast<std::size_t>(count));
  for (std::int64_t i = 0; i < count; ++i) {
    const std::string field = std::string(what) + " " + std::to_string(i + 1) + " of " + std::to_string(count);
    const double angle = cursor.next_real(field, "the file ends after " + std::to_string(i) + " of the " +
                                                     std::to_string(count) + " " + std::string(what) + "s");
    if (!out.empty()) {
      if (const auto problem = angle_order_problem(angle, out.back()))
        cursor.fail(cursor.value_line(), field, *problem);
    }
    out.push_back(angle);
  }
}

}  // namespace

PhotometricData read_ies_text(std::string_view text, std::string_view fileName) {
  TextCursor cursor(text, fileName);
  PhotometricData data;
  data.format = PhotometricFormat::Ies;
  data.sourceName = std::string(fileName);

  // Format line, keywords or labels, up to the TILT line.
  IesEdition edition = IesEdition::E1986;
  std::optional<std::string_view> tilt;
  int tiltLine = 0;
  for (bool first = true;; first = false) {
    const int lineNumber = cursor.line();
    const std::optional<std::string_view> line = cursor.next_line();
    if (!line) {
      cursor.fail(cursor.last_line(), "TILT line",
                  first ? "the file is empty"
                        : "the file has no TILT= line; an IES file states its tilt data "
                          "(TILT=NONE or TILT=INCLUDE) before its numbers");
    }
    if ((tilt = tilt_value(*line))) {
      tiltLine = lineNumber;
      break;
    }
    if (!first) continue;
    const std::string_view format = trimmed(*line);
    if (starts_with_no_case(format, "IESNA") || starts_with_no_case(format, "IES:")) {
      data.versionText = std::string(format);
      if (format.find("2019") != std::string_view::npos) {
        edition = IesEdition::E2019;
      } else if (format.find("2002") != std::string_view::npos) {
        edition = IesEdition::E2002;
      } else if (format.find("1995") != std::string_view::npos) {
        edition = IesEdition::E1995;
      } else if (format.find("91") != std::string_view::npos) {
        edition = IesEdition::E1991;
      } else {
        edition = IesEdition::E2002;
        data.notes.push_back("Unknown format line '" + std::string(format) + "': read as LM-63-2002");
      }
    }
  }
  if (data.versionText.empty()) data.versionText = "LM-63-1986 (no format line)";

  // TILT: only data inside the file can be read here.
  std::string tiltText(*tilt);
  for (char& c : tiltText) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (tiltText == "INCLUDE") {
    const auto geometry = cursor.next_whole("lamp-to-luminaire geometry", 1, 3, kEnded);
    const auto count = cursor.next_whole("number of tilt angles", 0, 100000, kEnded);
    std::vector<double> angles;
    read_ascending_angles(cursor, count, "tilt angle", angles);
    for (std::int64_t i = 0; i < count; ++i) {
      const std::string field = "tilt multiplying factor " + std::to_string(i + 1) + " of " + std::to_string(count);
      const double factor = cursor.next_real(field, kEnded);
      if (factor < 0) cursor.fail(cursor.value_line(), field, short_number(factor) + " is negative");
    }
    data.notes.push_back(
        "TILT=INCLUDE: lamp-to-luminaire geometry " + std::to_string(geometry) + ", " + std::to_string(count) +
        " tilt angles" +
        (count > 0 ? " from " + short_number(angles.front()) + " to " + short_number(angles.back()) + " degrees"
                   : std::string()) +
        "; the tilt factors apply only to a tilted luminaire and are not applied to the tables");
  } else if (tiltText != "NONE") {
    cursor.fail(tiltLine, "TILT",
                tilt->empty() ? "TILT= names no tilt data; use TILT=NONE or TILT=INCLUDE"
                              : "TILT=" + std::string(*tilt) +
                                    " names a separate tilt file, which import does not read; copy its data into "
                                    "this file with TILT=INCLUDE, or use TILT=NONE");
  }

  // The numeric header.
  const auto lamps = cursor.next_whole("number of lamps", 1, INT32_MAX, kEnded);
  const double lumensPerLamp = cursor.next_real("lumens per lamp", kEnded);
  if (!(lumensPerLamp > 0) && lumensPerLamp != -1) {
    cursor.fail(cursor.value_line(), "lumens per lamp",
                short_number(lumensPerLamp) + " must be positive, or -1 for absolute photometry");
  }
  const double multiplier = cursor.next_real("candela multiplier", kEnded);
  if (!(multiplier > 0))
    cursor.fail(cursor.value_line(), "candela multiplier", short_number(multiplier) + " must be positive");
  const auto verticalCount = cursor.next_whole("number of vertical angles", 2, 100000, kEnded);
  const auto horizontalCount = cursor.next_whole("number of horizontal angles", 1, 100000, kEnded);
  const auto type = cursor.next_whole("photometric type", 1, 3, kEnded);
  if (type != 1) {
    cursor.fail(cursor.value_line(), "photometric type",
                std::string(type == 2 ? "type B" : "type A") +
                    " photometry is not supported; only type C (vertical angles from the luminaire's axis, "
                    "planes around it) can be imported");
  }
  cursor.next_whole("units type", 1, 2, kEnded);
  for (const char* dimension : {"width", "length", "height"}) cursor.next_real(dimension, kEnded);
  const double ballastFactor = cursor.next_real("ballast factor", kEnded);
  if (!(ballastFactor > 0))
    cursor.fail(cursor.value_line(), "ballast factor", short_number(ballastFactor) + " must be positive");
  const bool lampFactorApplies =
      edition == IesEdition::E1986 || edition == IesEdition::E1991 || edition == IesEdition::E1995;
  const char* secondField = lampFactorApplies              ? "ballast-lamp photometric factor"
                            : edition == IesEdition::E2019 ? "file generation type"
                                                           : "future use";
  const double second = cursor.next_real(secondField, kEnded);
  if (lampFactorApplies && !(second > 0))
    cursor.fail(cursor.value_line(), secondField, short_number(second) + " must be positive");
  cursor.next_real("input watts", kEnded);

  // The angles.
  read_ascending_angles(cursor, verticalCount, "vertical angle", data.verticalDeg);
  const double vFirst = data.verticalDeg.front(), vLast = data.verticalDeg.back();
  if (!((same_angle(vFirst, 0) && (same_angle(vLast, 90) || same_angle(vLast, 180))) ||
        (same_angle(vFirst, 90) && same_angle(vLast, 180)))) {
    cursor.fail(cursor.value_line(), "vertical angles",
                "they run from " + short_number(vFirst) + " to " + short_number(vLast) +
                    " degrees; type C photometry runs from 0 to 90, 0 to 180 or 90 to 180");
  }
  read_ascending_angles(cursor, horizontalCount, "horizontal angle", data.horizontalDeg);
  const double hFirst = data.horizontalDeg.front(), hLast = data.horizontalDeg.back();
  if (horizontalCount == 1) {
    data.symmetry = HorizontalSymmetry::Rotational;
  } else if (same_angle(hFirst, 0) && same_angle(hLast, 90)) {
    data.symmetry = HorizontalSymmetry::Quadrant;
  } else if (same_angle(hFirst, 0) && same_angle(hLast, 180)) {
    data.symmetry = HorizontalSymmetry::PlaneC0C180;
  } else if (same_angle(hFirst, 90) && same_angle(hLast, 270)) {
    data.symmetry = HorizontalSymmetry::PlaneC90C270;
  } else if (same_angle(hFirst, 0) && hLast > 180 && hLast <= 360 + 1e-9) {
    data.symmetry = HorizontalSymmetry::None;
  } else {
    cursor.fail(cursor.value_line(), "horizontal angles",
                "they run from " + short_number(hFirst) + " to " + short_number(hLast) +
                    " degrees; type C photometry has one plane, or runs from 0 to 90, 0 to 180, 90 to 270 or 0 "
                    "to 360");
  }

  // The candela values, plane by plane.
  const double scale = multiplier * ballastFactor * (lampFactorApplies ? second : 1.0);
  const std::int64_t total = verticalCount * horizontalCount;
  data.candela.resize(static_cast<std::size_t>(horizontalCount));
  std::int64_t read = 0;
  for (std::int64_t h = 0; h < horizontalCount; ++h) {
    auto& plane = data.candela[static_cast<std::size_t>(h)];
    plane.reserve(static_cast<std::size_t>(verticalCount));
    for (std::int64_t v = 0; v < verticalCount; ++v, ++read) {
      const std::string field = "candela value " + std::to_string(v + 1) + " of " + std::to_string(verticalCount) +
                                " at horizontal angle " + short_number(data.horizontalDeg[static_cast<std::size_t>(h)]);
      const double value = cursor.next_real(field, "the file ends after " + std::to_string(read) + " of the " +
                                                       std::to_string(total) + " candela values");
      if (value < 0) cursor.fail(cursor.value_line(), field, short_number(value) + " is negative");
      const double candela = value * scale;
      if (!(candela <= kMaxCandela)) {
        cursor.fail(cursor.value_line(), field,
                    short_number(value) + " times the multipliers is more than " + short_number(kMaxCandela) +
                        " cd, beyond any luminaire");
      }
      plane.push_back(candela);
    }
  }

  if (multiplier != 1)
    data.notes.push_back("Candela values multiplied by the candela multiplier " + short_number(multiplier));
  if (ballastFactor != 1)
    data.notes.push_back("Candela values multiplied by the ballast factor " + short_number(ballastFactor));
  if (lampFactorApplies && second != 1) {
    data.notes.push_back("Candela values multiplied by the ballast-lamp photometric factor " + short_number(second));
  }
  data.lampCount = lamps;
  if (lumensPerLamp > 0) {
    data.statedLumens = static_cast<double>(lamps) * lumensPerLamp;
  } else {
    data.notes.push_back("Absolute photometry (lumens per lamp -1): the file states no lamp lumens");
  }
  const int lastLine = cursor.value_line();
  if (std::optional<std::string_view> rest = cursor.next_line(); rest) {
    // The rest of the last value's line, then whatever follows.
    const auto has_value = [](std::string_view line) {
      return line.find_first_not_of(", \t\f\v") != std::string_view::npos;
    };
    bool more = has_value(*rest);
    while (!more && (rest = cursor.next_line())) more = has_value(*rest);
    if (more) {
      data.notes.push_back("Text after the last candela value (line " + std::to_string(lastLine) + ") was ignored");
    }
  }
  return data;
}

}  // namespace lucidra
