// The configuration file: splitting into lines (a NUL ends the text) and
// taking the fifteen positional lines with their conversions and clamps.
// The first input byte picks the decimal separator, the rest is the file.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "distributions/number_text.h"
#include "engine/config_file.h"
#include "fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using lucidra::fuzz::check;
  if (size == 0) return 0;
  const char separator = data[0] == ',' ? ',' : '.';
  std::string_view text = lucidra::fuzz::as_text(data + 1, size - 1);

  const std::vector<std::string> lines = lucidra::split_config_text(text);
  std::size_t content = 0;
  for (const std::string& line : lines) {
    check(line.find_first_of(std::string_view("\r\n\0", 3)) == std::string::npos, "a line holds a line end or a NUL");
    content += line.size();
  }
  text = text.substr(0, text.find('\0'));
  check(content <= text.size(), "the lines hold more than the text");
  check(lines.size() <= text.size(), "more lines than bytes");

  // The first fetched line the file does not have, if any.
  int missing = 0;
  for (const int number : {1, 2, 3, 4, 5, 6, 9, 11, 13, 14, 15}) {
    if (static_cast<std::size_t>(number) > lines.size()) {
      missing = number;
      break;
    }
  }

  lucidra::ConfigValues values;
  try {
    lucidra::read_config_values(lines, values, separator, "fuzz.cfg");
    check(missing == 0, "a short file was read completely");
    check(values.lastLineApplied == 15, "a complete read ends at line 15");
    check(values.traceProPath == lines[0] && values.zemaxPath == lines[1], "output names are taken as they stand");
    check(values.sizeY == lines[13] && values.sizeX == lines[14], "sizes are taken as they stand");
  } catch (const lucidra::FileReadError& error) {
    check(missing != 0, "a missing line reported for a complete file");
    check(std::string_view(error.what()) == "List index out of bounds (" + std::to_string(missing - 1) + ")",
          "the missing line's index");
  } catch (const lucidra::ConfigSilentStop& error) {
    check(lines.size() >= 11 && lines[10].empty(), "a silent stop without an empty NA line");
    check(std::string_view(error.what()) == "Configuration file fuzz.cfg: line 11 (NA) is empty", "silent stop text");
  } catch (const lucidra::ConversionError& error) {
    const std::string_view message = error.what();
    check(lucidra::fuzz::ends_with(message, "' is not a valid integer value") ||
              lucidra::fuzz::ends_with(message, "' is not a valid floating point value"),
          "conversion message is cut short or malformed");
  }
  check(values.rayCount >= 1 && values.rayCount <= 1000000000, "rays outside 1..1000000000");
  check(values.sourceFlux >= 5 && values.sourceFlux <= 50000, "source flux outside 5..50000");
  check(values.extentAboutZ >= 0 && values.extentAboutZ <= 360, "extent outside 0..360");
  if (values.lastLineApplied >= 13) {
    const std::optional<double> na = lucidra::try_parse_real(values.numericalAperture, separator);
    check(values.numericalAperture == "0" || values.numericalAperture == "1" ||
              (na && static_cast<float>(*na) >= 0.0f && static_cast<float>(*na) <= 1.0f),
          "the NA text after validation lies outside 0..1");
  }
  return 0;
}
