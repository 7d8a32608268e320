#include "distributions/distribution_file.h"

#include <cstdio>
#include <filesystem>
#include <iterator>
#include <limits>
#include <memory>
#include <system_error>

#include "base/platform_file.h"
#include "base/user_error.h"
#include "distributions/number_text.h"

namespace lucidra {

namespace {

[[noreturn]] void throw_cannot_open(const std::string& fileName) {
  throw FileReadError("Cannot open file " + fileName);
}

// The legacy reader asked for the line at 0-based `index` of a file that
// ends before it.
[[noreturn]] void throw_list_index(int index) {
  FileReadError error("List index out of bounds (" + std::to_string(index) + ")");
  error.locate([index](FilePlace& place) {
    place.line = index + 1;
    place.lineMissing = true;
  });
  throw error;
}

// Parses the value line numbered `lineNumber`, saying which line a bad value is on.
std::int32_t parse_numbered_line(std::string_view line, int lineNumber,
                                 std::array<double, kDistributionCapacity + 1>& destination, char decimalSeparator) {
  try {
    return parse_value_line(line, destination, decimalSeparator);
  } catch (UserError& error) {
    error.locate([lineNumber](FilePlace& place) { place.line = lineNumber; });
    throw;
  }
}

// The line starting at `start`, and where the next one starts. Lines end at
// CR LF, LF or CR.
struct LineSpan {
  std::string_view line;
  std::size_t next;
};

LineSpan line_at(std::string_view text, std::size_t start) {
  std::size_t end = start;
  while (end < text.size() && text[end] != '\r' && text[end] != '\n') ++end;
  std::size_t next = end;
  if (next < text.size()) {
    next += (text[next] == '\r' && next + 1 < text.size() && text[next + 1] == '\n') ? 2 : 1;
  }
  return {text.substr(start, end - start), next};
}

}  // namespace

std::int32_t parse_value_line(std::string_view line, std::array<double, kDistributionCapacity + 1>& destination,
                              char decimalSeparator) {
  std::int64_t valueCount = 0;
  std::size_t valueStart = 0;
  for (std::size_t i = 0; i < line.size(); ++i) {
    if (line[i] != ' ') continue;
    // Every value is converted, even past the last slot, so that a bad value
    // anywhere on the line is reported.
    double value = 0;
    try {
      value = parse_real(line.substr(valueStart, i - valueStart), decimalSeparator);
    } catch (UserError& error) {
      error.locate([valueCount](FilePlace& place) { place.value = valueCount + 1; });
      throw;
    }
    ++valueCount;
    if (valueCount <= kDistributionCapacity) destination[static_cast<std::size_t>(valueCount)] = value;
    valueStart = i + 1;
  }
  constexpr std::int64_t kMaxCount = std::numeric_limits<std::int32_t>::max();
  return static_cast<std::int32_t>(valueCount < kMaxCount ? valueCount : kMaxCount);
}

std::vector<std::string_view> split_lines(std::string_view text) {
  std::vector<std::string_view> lines;
  for (std::size_t start = 0; start < text.size();) {
    const LineSpan span = line_at(text, start);
    lines.push_back(span.line);
    start = span.next;
  }
  return lines;
}

AngularDistribution parse_distribution_text(std::string_view text, char decimalSeparator) {
  // Only the first three lines matter; the rest of a large file is not split.
  AngularDistribution distribution;
  if (text.empty()) throw_list_index(0);
  const LineSpan first = line_at(text, 0);
  distribution.count = parse_numbered_line(first.line, 1, distribution.angle, decimalSeparator);
  if (first.next >= text.size()) throw_list_index(2);
  const LineSpan second = line_at(text, first.next);
  if (second.next >= text.size()) throw_list_index(2);
  const LineSpan third = line_at(text, second.next);
  distribution.intensityCount = parse_numbered_line(third.line, 3, distribution.intensity, decimalSeparator);
  return distribution;
}

std::string read_leading_lines(const std::string& fileName, int lineCount, bool nulEndsText) {
  // A directory opens like a file on some systems; a NUL would cut the name short.
  std::error_code ec;
  if (fileName.empty() || fileName.find('\0') != std::string::npos ||
      std::filesystem::is_directory(path_from_utf8(fileName), ec)) {
    throw_cannot_open(fileName);
  }
  const std::unique_ptr<std::FILE, int (*)(std::FILE*)> in(open_file(fileName, "rb"), &std::fclose);
  if (!in) throw_cannot_open(fileName);

  // Reads in blocks and stops once the lines asked for are complete: the rest
  // of a large file (or of an endless device) is never needed.
  constexpr std::size_t kBlock = std::size_t{1} << 16;
  std::string bytes;
  int linesEnded = 0;
  bool afterCr = false;  // a CR ended the last block; an LF next belongs to it
  while (linesEnded < lineCount) {
    const std::size_t scanFrom = bytes.size();
    if (scanFrom >= kMaxLeadingBytes) {
      throw FileReadError("File " + fileName + " is too large: its first " + std::to_string(lineCount) +
                          " lines are longer than " + std::to_string(kMaxLeadingBytes >> 20) + " MB");
    }
    bytes.resize(scanFrom + kBlock);
    const std::size_t got = std::fread(bytes.data() + scanFrom, 1, kBlock, in.get());
    bytes.resize(scanFrom + got);
    if (std::ferror(in.get()) != 0) throw_cannot_open(fileName);
    for (std::size_t i = scanFrom; i < bytes.size() && linesEnded < lineCount; ++i) {
      const char c = bytes[i];
      if (c == '\0' && nulEndsText) return bytes.substr(0, i);
      if (c == '\n' && afterCr) {
        afterCr = false;
        continue;
      }
      afterCr = c == '\r';
      if ((c == '\r' || c == '\n') && ++linesEnded == lineCount) bytes.resize(i + 1);
    }
    if (got < kBlock) break;  // end of file
  }
  return bytes;
}

AngularDistribution read_distribution_file(const std::string& fileName, char decimalSeparator) {
  const std::string text = read_leading_lines(fileName, 3, false);
  try {
    return parse_distribution_text(text, decimalSeparator);
  } catch (UserError& error) {
    // "Cannot open file" and "too large" name the file already; these are
    // the errors about its contents.
    error.locate([&fileName](FilePlace& place) {
      place.kind = "distribution file";
      place.file = fileName;
    });
    throw;
  }
}

}  // namespace lucidra
