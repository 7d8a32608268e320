// Whole distribution files: the reader against a straightforward model of the
// format (lines end at CR LF, LF or CR; line 1 the abscissae, line 3 the
// intensities; every value followed by one space). The first input byte picks
// the decimal separator, the rest is the file.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/user_error.h"
#include "distributions/distribution_file.h"
#include "distributions/number_text.h"
#include "fuzz_check.h"

namespace {

using lucidra::fuzz::check;

std::vector<std::string_view> model_lines(std::string_view text) {
  std::vector<std::string_view> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = start;
    while (end < text.size() && text[end] != '\r' && text[end] != '\n') ++end;
    lines.push_back(text.substr(start, end - start));
    if (end == text.size()) break;
    start = end + ((text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') ? 2 : 1);
  }
  return lines;
}

// The values of a line (text after the last space dropped), or nothing when
// one of them is not a number.
std::optional<std::vector<double>> model_values(std::string_view line, char separator) {
  std::vector<double> values;
  std::size_t start = 0;
  for (std::size_t space = line.find(' '); space != std::string_view::npos; space = line.find(' ', start)) {
    const std::optional<double> v = lucidra::try_parse_real(line.substr(start, space - start), separator);
    if (!v) return std::nullopt;
    values.push_back(*v);
    start = space + 1;
  }
  return values;
}

// The 1-based position of a line's first value that is not a number.
std::int64_t first_bad_value(std::string_view line, char separator) {
  std::int64_t position = 0;
  std::size_t start = 0;
  for (std::size_t space = line.find(' '); space != std::string_view::npos; space = line.find(' ', start)) {
    ++position;
    if (!lucidra::try_parse_real(line.substr(start, space - start), separator)) return position;
    start = space + 1;
  }
  return 0;
}

// The error names the line (and value) the model expects, after the reader's words.
void check_place(const lucidra::UserError& error, int line, bool missing, std::int64_t value) {
  const std::optional<lucidra::FilePlace>& place = error.place();
  check(place.has_value(), "a table error without its place");
  check(place->file.empty(), "text from memory named a file");
  check(place->line == line, "the error names another line");
  check(place->lineMissing == missing, "a missing line told as a bad one or the reverse");
  check(missing || place->value == value, "the error names another value");
  const std::string where = missing ? "(line " + std::to_string(line) + " is missing)"
                                    : "(line " + std::to_string(line) + ", value " + std::to_string(value) + ")";
  check(std::string_view(error.what()) == error.text() + "\n" + where, "the place is not shown after the words");
}

void check_slots(const std::array<double, lucidra::kDistributionCapacity + 1>& slots, const std::vector<double>& values,
                 const char* which) {
  check(slots[0] == 0.0, "slot 0 is never filled");
  for (std::size_t k = 1; k < slots.size(); ++k) {
    const double expected = k <= values.size() ? values[k - 1] : 0.0;
    check(slots[k] == expected || (slots[k] != slots[k] && expected != expected), which);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const char separator = data[0] == ',' ? ',' : '.';
  const std::string_view text = lucidra::fuzz::as_text(data + 1, size - 1);

  const std::vector<std::string_view> lines = model_lines(text);
  std::optional<std::vector<double>> angles;
  std::optional<std::vector<double>> intensities;
  if (!lines.empty()) angles = model_values(lines[0], separator);
  if (lines.size() >= 3) intensities = model_values(lines[2], separator);

  try {
    const lucidra::AngularDistribution d = lucidra::parse_distribution_text(text, separator);
    check(lines.size() >= 3 && angles && intensities, "a file the model refuses was accepted");
    check(d.count == static_cast<std::int32_t>(angles->size()), "count differs from the model");
    check(d.intensityCount == static_cast<std::int32_t>(intensities->size()), "intensity count differs");
    check(d.stored_count() <= lucidra::kDistributionCapacity, "stored count beyond the table");
    check_slots(d.angle, *angles, "angle slot differs from the model");
    check_slots(d.intensity, *intensities, "intensity slot differs from the model");
  } catch (const lucidra::ConversionError& error) {
    const std::string_view message = error.text();
    check(!angles || (lines.size() >= 3 && !intensities), "conversion error for numbers the model accepts");
    check(message.size() > 0 && message[0] == '\'', "conversion message does not start with a quote");
    check(lucidra::fuzz::ends_with(message, "' is not a valid floating point value"),
          "conversion message is cut short or malformed");
    const int line = angles ? 3 : 1;
    check_place(error, line, false, first_bad_value(lines[static_cast<std::size_t>(line - 1)], separator));
  } catch (const lucidra::FileReadError& error) {
    const std::string_view message = error.text();
    if (text.empty()) {
      check(message == "List index out of bounds (0)", "an empty file must report index 0");
      check_place(error, 1, true, 0);
    } else {
      check(lines.size() < 3, "a file of three lines reported a missing line");
      check(angles.has_value(), "a bad first line must be reported before a missing line");
      check(message == "List index out of bounds (2)", "a short file must report index 2");
      check_place(error, 3, true, 0);
    }
  }
  return 0;
}
