#pragma once
// Distribution files: line 1 the abscissae, line 3 the intensities, every
// value followed by exactly one space.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace lucidra {

inline constexpr int kDistributionCapacity = 499;  // values stored per line

struct AngularDistribution {
  // Number of values on the first line. May exceed the capacity: values past
  // slot 499 are converted (and so validated) but not stored.
  std::int32_t count = 0;
  // Number of values on the third line (same rule).
  std::int32_t intensityCount = 0;
  // Slots 1..499; slot 0 is never filled. Unfilled slots hold 0.
  std::array<double, kDistributionCapacity + 1> angle{};
  std::array<double, kDistributionCapacity + 1> intensity{};

  // How many of the first line's values are stored.
  std::int32_t stored_count() const { return count < kDistributionCapacity ? count : kDistributionCapacity; }
};

// Stores the values of `line` into slots 1, 2, ... of `destination` (never past
// slot 499) and returns how many values the line holds. Text after the last
// space is ignored. Throws ConversionError for a value that is not a number,
// its place holding the value's position on the line.
std::int32_t parse_value_line(std::string_view line, std::array<double, kDistributionCapacity + 1>& destination,
                              char decimalSeparator);

// Splits a whole file's bytes into lines ending at CR LF, LF or CR; a last
// line without an end counts.
std::vector<std::string_view> split_lines(std::string_view text);

// Reads no more of a file than its first lines take.
inline constexpr std::size_t kMaxLeadingBytes = std::size_t{64} << 20;

// The named file's bytes up to the end of its `lineCount`-th line (or of the
// file), stopping early at a NUL when `nulEndsText`. A file is never read
// further than its first lines need, so a huge file or an endless device
// (/dev/zero) cannot exhaust memory. Throws FileReadError "Cannot open file
// %s" (name as passed) for a missing, unreadable or empty name and for a
// directory, and "File %s is too large: its first N lines are longer than 64 MB".
std::string read_leading_lines(const std::string& fileName, int lineCount, bool nulEndsText);

// Loads and parses the named file. Throws FileReadError "Cannot open file %s"
// (name as passed) or "List index out of bounds (%d)", or ConversionError;
// the last two say where (UserError::place): the file, and the line that is
// missing or the line and value that is not a number.
AngularDistribution read_distribution_file(const std::string& fileName, char decimalSeparator);

// The same from text already in memory (for tests and fuzzing); errors name
// the line but no file.
AngularDistribution parse_distribution_text(std::string_view text, char decimalSeparator);

}  // namespace lucidra
