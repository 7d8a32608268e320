// Single value lines: every value followed by one space, at most 499 stored.
// The destination is a heap block of exactly the table's size, so a write
// past slot 499 is caught by the address sanitizer.

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "base/user_error.h"
#include "distributions/distribution_file.h"
#include "distributions/number_text.h"
#include "fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using lucidra::fuzz::check;
  using Slots = std::array<double, lucidra::kDistributionCapacity + 1>;
  if (size == 0) return 0;
  const char separator = data[0] == ',' ? ',' : '.';
  const std::string_view line = lucidra::fuzz::as_text(data + 1, size - 1);

  constexpr double kUntouched = -12345.678;
  auto slots = std::make_unique<Slots>();
  slots->fill(kUntouched);

  std::int64_t spaces = 0;
  bool allNumbers = true;
  std::int64_t firstBad = 0;  // 1-based position of the first value that is not a number
  std::size_t start = 0;
  for (std::size_t i = 0; i < line.size(); ++i) {
    if (line[i] != ' ') continue;
    if (!lucidra::try_parse_real(line.substr(start, i - start), separator) && allNumbers) {
      allNumbers = false;
      firstBad = spaces + 1;
    }
    ++spaces;
    start = i + 1;
  }

  try {
    const std::int32_t count = lucidra::parse_value_line(line, *slots, separator);
    check(allNumbers, "a line with a bad value was accepted");
    check(count == spaces, "the count is not the number of value-space pairs");
    check((*slots)[0] == kUntouched, "slot 0 was written");
    start = 0;
    std::int64_t k = 0;
    for (std::size_t i = 0; i < line.size(); ++i) {
      if (line[i] != ' ') continue;
      ++k;
      const double expected = *lucidra::try_parse_real(line.substr(start, i - start), separator);
      if (k <= lucidra::kDistributionCapacity) {
        check((*slots)[static_cast<std::size_t>(k)] == expected, "a slot holds another value than its text");
      }
      start = i + 1;
    }
    for (std::int64_t s = k + 1; s <= lucidra::kDistributionCapacity; ++s) {
      check((*slots)[static_cast<std::size_t>(s)] == kUntouched, "a slot past the values was written");
    }
  } catch (const lucidra::ConversionError& error) {
    check(!allNumbers, "a line of numbers was refused");
    check(lucidra::fuzz::ends_with(error.text(), "' is not a valid floating point value"),
          "conversion message is cut short or malformed");
    check(error.place().has_value() && error.place()->value == firstBad && error.place()->line == 0,
          "the error names another value than the first bad one");
    check(std::string_view(error.what()) == error.text() + "\n(value " + std::to_string(firstBad) + ")",
          "the value's position is not shown after the words");
  }
  return 0;
}
