#include "distributions/distribution_file.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <system_error>

#include "distributions/number_text.h"
#include "engine/user_error.h"

namespace lucidra {

namespace {

[[noreturn]] void throw_cannot_open(const std::string& fileName) {
  throw FileReadError("Cannot open file " + fileName);
}

[[noreturn]] void throw_list_index(int index) {
  throw FileReadError("List index out of bounds (" + std::to_string(index) + ")");
}

std::string load_file_bytes(const std::string& fileName) {
  if (fileName.empty()) throw_cannot_open(fileName);
  std::error_code ec;
  // A directory opens like a file on some systems; it is never a distribution.
  if (std::filesystem::is_directory(fileName, ec)) throw_cannot_open(fileName);
  std::ifstream in(fileName, std::ios::binary);
  if (!in) throw_cannot_open(fileName);
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) throw_cannot_open(fileName);
  return bytes;
}

}  // namespace

std::int32_t parse_value_line(std::string_view line,
                              std::array<double, kDistributionCapacity + 1>& destination,
                              char decimalSeparator) {
  std::int64_t valueCount = 0;
  std::size_t valueStart = 0;
  for (std::size_t i = 0; i < line.size(); ++i) {
    if (line[i] != ' ') continue;
    // Every value is converted, even past the last slot, so that a bad value
    // anywhere on the line is reported.
    const double value = parse_real(line.substr(valueStart, i - valueStart), decimalSeparator);
    ++valueCount;
    if (valueCount <= kDistributionCapacity) destination[static_cast<std::size_t>(valueCount)] = value;
    valueStart = i + 1;
  }
  constexpr std::int64_t kMaxCount = std::numeric_limits<std::int32_t>::max();
  return static_cast<std::int32_t>(valueCount < kMaxCount ? valueCount : kMaxCount);
}

std::vector<std::string_view> split_lines(std::string_view text) {
  std::vector<std::string_view> lines;
  std::size_t start = 0;
  std::size_t i = 0;
  while (i < text.size()) {
    const char c = text[i];
    if (c != '\r' && c != '\n') {
      ++i;
      continue;
    }
    lines.push_back(text.substr(start, i - start));
    i += (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ? 2 : 1;
    start = i;
  }
  if (start < text.size()) lines.push_back(text.substr(start));
  return lines;
}

AngularDistribution parse_distribution_text(std::string_view text, char decimalSeparator) {
  const std::vector<std::string_view> lines = split_lines(text);
  AngularDistribution distribution;
  if (lines.empty()) throw_list_index(0);
  distribution.count = parse_value_line(lines[0], distribution.angle, decimalSeparator);
  if (lines.size() < 3) throw_list_index(2);
  distribution.intensityCount = parse_value_line(lines[2], distribution.intensity, decimalSeparator);
  return distribution;
}

AngularDistribution read_distribution_file(const std::string& fileName, char decimalSeparator) {
  return parse_distribution_text(load_file_bytes(fileName), decimalSeparator);
}

}  // namespace lucidra
