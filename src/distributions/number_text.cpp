#include "distributions/number_text.h"

#include <locale.h>
#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <string>
#include <string_view>
#include <system_error>

#include "base/user_error.h"

namespace lucidra {

namespace {

bool is_digit(char c) { return c >= '0' && c <= '9'; }

int hex_digit_value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Checks the grammar and rewrites the text with a '.' separator and no '+'
// sign, the only form the locale-independent converters accept.
std::optional<std::string> normalized_real_text(std::string_view text, char decimalSeparator) {
  std::string out;
  out.reserve(text.size());
  std::size_t i = 0;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    if (text[i] == '-') out.push_back('-');
    ++i;
  }
  int mantissaDigits = 0;
  bool separatorSeen = false;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    if (is_digit(c)) {
      out.push_back(c);
      ++mantissaDigits;
    } else if (c == decimalSeparator && !separatorSeen) {
      out.push_back('.');
      separatorSeen = true;
    } else {
      break;
    }
  }
  if (mantissaDigits == 0) return std::nullopt;
  if (i == text.size()) return out;

  if (text[i] != 'e' && text[i] != 'E') return std::nullopt;
  out.push_back('e');
  ++i;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    if (text[i] == '-') out.push_back('-');
    ++i;
  }
  int exponentDigits = 0;
  for (; i < text.size() && is_digit(text[i]); ++i) {
    out.push_back(text[i]);
    ++exponentDigits;
  }
  if (exponentDigits == 0 || i != text.size()) return std::nullopt;
  return out;
}

// A "C" locale for the rare out-of-range case, where the converter must tell
// an underflow (accepted, reads as zero or a subnormal) from an overflow.
// Windows' C runtime names the same thing _create_locale and _strtod_l.
double convert_out_of_range(const std::string& normalized, bool& overflow) {
#ifdef _WIN32
  static const _locale_t cLocale = _create_locale(LC_ALL, "C");
  if (cLocale == nullptr) {
    overflow = true;
    return 0;
  }
  const double value = _strtod_l(normalized.c_str(), nullptr, cLocale);
#else
  static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
  if (cLocale == static_cast<locale_t>(nullptr)) {
    overflow = true;
    return 0;
  }
  const double value = strtod_l(normalized.c_str(), nullptr, cLocale);
#endif
  overflow = std::isinf(value);
  return value;
}

}  // namespace

std::string quoted_value_text(std::string_view text) {
  constexpr std::size_t kShownLength = 256;
  const std::string_view shown = text.substr(0, kShownLength);
  std::string quoted = "'";
  quoted.reserve(shown.size() + 8);
  for (const char c : shown) {
    const auto byte = static_cast<unsigned char>(c);
    if ((byte < 0x20 && c != '\t') || byte == 0x7F) {
      static constexpr char kHex[] = "0123456789abcdef";
      quoted += "\\x";
      quoted += kHex[byte >> 4];
      quoted += kHex[byte & 0xF];
    } else {
      quoted += c;
    }
  }
  if (shown.size() < text.size()) quoted += "...";
  quoted += '\'';
  return quoted;
}

std::optional<double> try_parse_real(std::string_view text, char decimalSeparator) {
  const std::optional<std::string> normalized = normalized_real_text(text, decimalSeparator);
  if (!normalized) return std::nullopt;
  const char* first = normalized->data();
  const char* last = first + normalized->size();
  double value = 0;
  const std::from_chars_result result = std::from_chars(first, last, value);
  if (result.ec == std::errc::result_out_of_range) {
    bool overflow = false;
    value = convert_out_of_range(*normalized, overflow);
    if (overflow) return std::nullopt;
    return value;
  }
  if (result.ec != std::errc() || result.ptr != last) return std::nullopt;
  return value;
}

double parse_real(std::string_view text, char decimalSeparator) {
  if (const std::optional<double> value = try_parse_real(text, decimalSeparator)) return *value;
  throw ConversionError(quoted_value_text(text) + " is not a valid floating point value");
}

std::optional<std::int32_t> try_parse_whole_number(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }

  bool hexadecimal = false;
  if (i < text.size() && text[i] == '$') {
    hexadecimal = true;
    i += 1;
  } else if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
    hexadecimal = true;
    i += 2;
  }

  const std::string_view digits = text.substr(i);
  if (digits.empty()) return std::nullopt;

  if (hexadecimal) {
    // Eight digits are the whole 32-bit pattern; "$FFFFFFFF" is -1.
    if (digits.size() > 8) return std::nullopt;
    std::uint32_t pattern = 0;
    for (const char c : digits) {
      const int digit = hex_digit_value(c);
      if (digit < 0) return std::nullopt;
      pattern = (pattern << 4) | static_cast<std::uint32_t>(digit);
    }
    if (negative) pattern = 0u - pattern;
    return static_cast<std::int32_t>(pattern);
  }

  const std::int64_t limit = negative ? 2147483648LL : 2147483647LL;
  std::int64_t magnitude = 0;
  for (const char c : digits) {
    if (!is_digit(c)) return std::nullopt;
    magnitude = magnitude * 10 + (c - '0');
    if (magnitude > limit) return std::nullopt;
  }
  return static_cast<std::int32_t>(negative ? -magnitude : magnitude);
}

std::int32_t parse_whole_number(std::string_view text) {
  if (const std::optional<std::int32_t> value = try_parse_whole_number(text)) return *value;
  throw ConversionError(quoted_value_text(text) + " is not a valid integer value");
}

char locale_decimal_separator() {
  const std::lconv* conventions = std::localeconv();
  if (conventions == nullptr || conventions->decimal_point == nullptr || conventions->decimal_point[0] == '\0') {
    return '.';
  }
  return conventions->decimal_point[0];
}

}  // namespace lucidra
