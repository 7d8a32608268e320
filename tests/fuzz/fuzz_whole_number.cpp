// The whole-number conversion of the configuration file: leading blanks,
// an optional sign, decimal digits within the signed 32-bit range, or "$" /
// "0x" / "0X" and up to eight hexadecimal digits taken as the 32-bit pattern.
// Checked against the C library's own conversions.

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "base/user_error.h"
#include "distributions/number_text.h"
#include "fuzz_check.h"

namespace {

using lucidra::fuzz::check;

std::optional<std::int32_t> model(std::string_view t) {
  std::size_t i = 0;
  while (i < t.size() && t[i] == ' ') ++i;
  bool negative = false;
  if (i < t.size() && (t[i] == '+' || t[i] == '-')) negative = t[i++] == '-';
  int base = 10;
  if (i < t.size() && t[i] == '$') {
    base = 16;
    i += 1;
  } else if (t.substr(i, 2) == "0x" || t.substr(i, 2) == "0X") {
    base = 16;
    i += 2;
  }
  const std::string digits(t.substr(i));
  if (digits.empty()) return std::nullopt;
  for (const char c : digits) {
    const bool ok = base == 10 ? (c >= '0' && c <= '9')
                               : ((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'));
    if (!ok) return std::nullopt;
  }
  if (base == 16) {
    if (digits.size() > 8) return std::nullopt;
    std::uint32_t pattern = static_cast<std::uint32_t>(std::strtoul(digits.c_str(), nullptr, 16));
    if (negative) pattern = ~pattern + 1u;
    return static_cast<std::int32_t>(pattern);
  }
  errno = 0;
  const long long magnitude = std::strtoll(digits.c_str(), nullptr, 10);
  if (errno == ERANGE) return std::nullopt;
  const long long value = negative ? -magnitude : magnitude;
  if (value < INT32_MIN || value > INT32_MAX) return std::nullopt;
  return static_cast<std::int32_t>(value);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text = lucidra::fuzz::as_text(data, size);
  const std::optional<std::int32_t> value = lucidra::try_parse_whole_number(text);
  const std::optional<std::int32_t> expected = model(text);
  check(value.has_value() == expected.has_value(), "acceptance differs from the model");
  if (value) {
    check(*value == *expected, "value differs from the model");
    check(lucidra::parse_whole_number(text) == *value, "parse_whole_number and try_parse_whole_number differ");
    return 0;
  }
  try {
    lucidra::parse_whole_number(text);
    lucidra::fuzz::fail("parse_whole_number accepted what try_parse_whole_number refused");
  } catch (const lucidra::ConversionError& error) {
    const std::string_view message = error.what();
    check(!message.empty() && message[0] == '\'', "conversion message does not start with a quote");
    check(lucidra::fuzz::ends_with(message, "' is not a valid integer value"),
          "conversion message is cut short or malformed");
  }
  return 0;
}
