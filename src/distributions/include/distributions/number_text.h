#pragma once
// Text-to-number conversions of the settings and the distribution files.
// Every conversion of a user's text goes through these functions.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace lucidra {

// The offending text as a conversion message quotes it: in single quotes,
// control characters other than the tab written as \xNN (a NUL would end the
// message where it is shown), and cut after 256 characters with "..." (a
// whole binary file can be one value).
std::string quoted_value_text(std::string_view text);

// A decimal number as the user's locale writes it: optional sign, digits with
// at most one `decimalSeparator`, optional exponent (e or E, optional sign,
// digits); at least one mantissa digit. Nothing else is accepted: no blanks,
// no "nan"/"inf", no hexadecimal, nothing beyond the range of a double.
// A value too small for a double reads as zero (or the nearest subnormal).
// Throws ConversionError "'<text>' is not a valid floating point value".
double parse_real(std::string_view text, char decimalSeparator);

// The same grammar without throwing.
std::optional<double> try_parse_real(std::string_view text, char decimalSeparator);

// A signed 32-bit whole number: leading blanks skipped, optional sign, then
// decimal digits, or "$" / "0x" / "0X" followed by at most eight hexadecimal
// digits (taken as the 32-bit pattern). Nothing may follow the digits.
std::optional<std::int32_t> try_parse_whole_number(std::string_view text);

// As above; throws ConversionError "'<text>' is not a valid integer value".
std::int32_t parse_whole_number(std::string_view text);

// The decimal separator of the process's LC_NUMERIC locale.
char locale_decimal_separator();

}  // namespace lucidra
