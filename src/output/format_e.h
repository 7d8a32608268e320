#pragma once
// printf-compatible "%e" (precision 6, "C" locale) without the C library.

namespace lucidra {

// Longest "%e" text of a double: "-1.797693e+308".
inline constexpr int kMaxFormatELength = 14;

// Writes `value` exactly as snprintf(buf, n, "%e", value) does in the "C"
// locale (round-half-even on the exact binary value, "-" for negative zero,
// "inf"/"nan" forms) and returns the end of the written text. No terminator.
// `out` must have room for kMaxFormatELength characters.
char* format_e(double value, char* out) noexcept;

// The same text for a value that mostly lies in [0.1, 10), such as a
// wavelength in micrometres: there the exponent is known and the seven
// digits come from one exact 128-bit product; any other value goes through
// format_e.
char* format_e_near_one(double value, char* out) noexcept;

}  // namespace lucidra
