// IES files: the reader against a plain model of the layout (values after
// the TILT=NONE line split at blanks, commas and line ends; the fourth and
// fifth are the numbers of vertical and horizontal angles, the angle lists
// follow the thirteen header values), and every accepted file's tables
// against the properties the run needs.

#include <cctype>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_check.h"
#include "photometric_checks.h"
#include "photometry/ies_reader.h"
#include "photometry/photometric_error.h"
#include "photometry/text_cursor.h"

namespace {

using lucidra::fuzz::check;

// The values after a TILT=NONE line, or nothing when the model cannot tell.
std::optional<std::vector<std::string_view>> model_values(std::string_view text) {
  std::size_t start = 0;
  std::optional<std::size_t> afterTilt;
  while (start < text.size()) {
    std::size_t end = start;
    while (end < text.size() && text[end] != '\r' && text[end] != '\n') ++end;
    std::string_view line = text.substr(start, end - start);
    std::size_t next = end < text.size() ? end + 1 : end;
    if (end < text.size() && text[end] == '\r' && next < text.size() && text[next] == '\n') ++next;
    if (line == "TILT=NONE") {
      afterTilt = next;
      break;
    }
    // Any other spelling (blanks, lower case, INCLUDE) is left to the reader.
    std::string lower(line);
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (lower.find("tilt") != std::string::npos) return std::nullopt;
    start = next;
  }
  if (!afterTilt) return std::nullopt;
  std::vector<std::string_view> values;
  std::size_t i = *afterTilt;
  while (i < text.size()) {
    while (i < text.size() && std::string_view(" \t\r\n,\f\v").find(text[i]) != std::string_view::npos) ++i;
    const std::size_t s = i;
    while (i < text.size() && std::string_view(" \t\r\n,\f\v").find(text[i]) == std::string_view::npos) ++i;
    if (i > s) values.push_back(text.substr(s, i - s));
  }
  return values;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text = lucidra::fuzz::as_text(data, size);
  try {
    const lucidra::PhotometricData d = lucidra::read_ies_text(text, "f.ies");
    lucidra::fuzz::check_grid(d);
    if (const auto values = model_values(text)) {
      check(values->size() >= 13, "accepted with fewer than 13 header values");
      const auto nv = lucidra::whole_value((*values)[3]);
      const auto nh = lucidra::whole_value((*values)[4]);
      check(nv && nh, "header counts the model cannot read");
      check(d.verticalDeg.size() == static_cast<std::size_t>(*nv), "vertical count differs from the header");
      check(d.horizontalDeg.size() == static_cast<std::size_t>(*nh), "horizontal count differs from the header");
      check(values->size() >= 13 + static_cast<std::size_t>(*nv + *nh + *nv * *nh), "accepted with values missing");
      for (std::size_t k = 0; k < d.verticalDeg.size(); ++k) {
        check(lucidra::photometric_number((*values)[13 + k]) == d.verticalDeg[k], "vertical angle differs");
      }
      for (std::size_t k = 0; k < d.horizontalDeg.size(); ++k) {
        check(lucidra::photometric_number((*values)[13 + d.verticalDeg.size() + k]) == d.horizontalDeg[k],
              "horizontal angle differs");
      }
    }
    lucidra::fuzz::check_import(d);
  } catch (const lucidra::PhotometricError& error) {
    lucidra::fuzz::check_refusal(error.what(), "f.ies");
  }
  return 0;
}
