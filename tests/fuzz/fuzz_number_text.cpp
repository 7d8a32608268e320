// The locale-aware number conversion against the C library: a text is
// accepted exactly when it follows the grammar (sign, digits with at most one
// separator, optional exponent) and its value is within the range of a
// double, and then it reads as the C library's correctly rounded value.

#include <locale.h>
#include <clocale>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

#include "base/user_error.h"
#include "distributions/number_text.h"
#include "fuzz_check.h"

namespace {

using lucidra::fuzz::check;

bool digit(char c) { return c >= '0' && c <= '9'; }

// [+-]? (digits [sep digits*]? | sep digits) ([eE] [+-]? digits)?
bool follows_grammar(std::string_view t, char separator) {
  std::size_t i = 0;
  if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
  std::size_t digits = 0;
  while (i < t.size() && digit(t[i])) ++i, ++digits;
  if (i < t.size() && t[i] == separator) {
    ++i;
    while (i < t.size() && digit(t[i])) ++i, ++digits;
  }
  if (digits == 0) return false;
  if (i == t.size()) return true;
  if (t[i] != 'e' && t[i] != 'E') return false;
  ++i;
  if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
  std::size_t exponentDigits = 0;
  while (i < t.size() && digit(t[i])) ++i, ++exponentDigits;
  return exponentDigits > 0 && i == t.size();
}

double c_library_value(std::string_view t, char separator) {
  static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
  std::string text(t);
  for (char& c : text) {
    if (c == separator) c = '.';
  }
  return strtod_l(text.c_str(), nullptr, cLocale);
}

void check_one(std::string_view text, char separator) {
  const std::optional<double> value = lucidra::try_parse_real(text, separator);
  const bool grammar = follows_grammar(text, separator);
  if (!grammar) {
    check(!value, "a text outside the grammar was accepted");
  } else {
    const double expected = c_library_value(text, separator);
    if (std::isinf(expected)) {
      check(!value, "a value beyond the range of a double was accepted");
    } else {
      check(value.has_value(), "a number of the grammar was refused");
      check(*value == expected && std::signbit(*value) == std::signbit(expected),
            "the value differs from the C library's");
    }
  }
  if (value) {
    check(std::isfinite(*value), "a non-finite value came out");
    check(lucidra::parse_real(text, separator) == *value, "parse_real and try_parse_real differ");
    return;
  }
  try {
    lucidra::parse_real(text, separator);
    lucidra::fuzz::fail("parse_real accepted what try_parse_real refused");
  } catch (const lucidra::ConversionError& error) {
    const std::string_view message = error.what();
    check(!message.empty() && message[0] == '\'', "conversion message does not start with a quote");
    check(lucidra::fuzz::ends_with(message, "' is not a valid floating point value"),
          "conversion message is cut short or malformed");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text = lucidra::fuzz::as_text(data, size);
  check_one(text, '.');
  check_one(text, ',');
  return 0;
}
