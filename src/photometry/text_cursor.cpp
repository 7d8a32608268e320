#include "photometry/text_cursor.h"

#include <charconv>
#include <cmath>
#include <string>

#include "distributions/number_text.h"
#include "photometry/photometric_data.h"
#include "photometry/photometric_error.h"

namespace lucidra {

void throw_photometric_error(std::string_view fileName, int line, std::string_view field, std::string_view problem) {
  throw PhotometricError(std::string(fileName) + " line " + std::to_string(line) + ", " + std::string(field) + ": " +
                         std::string(problem));
}

namespace {

bool is_value_separator(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == ',' || c == '\f' || c == '\v';
}

}  // namespace

TextCursor::TextCursor(std::string_view text, std::string_view fileName) : text_(text), fileName_(fileName) {
  // A UTF-8 byte order mark is left by some editors; it is not part of the first value.
  if (text_.substr(0, 3) == "\xEF\xBB\xBF") pos_ = 3;
}

void TextCursor::advance_over_line_end() {
  const char c = text_[pos_++];
  if (c == '\r' && pos_ < text_.size() && text_[pos_] == '\n') ++pos_;
  ++line_;
}

std::optional<std::string_view> TextCursor::next_line() {
  if (at_end()) return std::nullopt;
  const std::size_t start = pos_;
  while (pos_ < text_.size() && text_[pos_] != '\r' && text_[pos_] != '\n') ++pos_;
  const std::string_view line = text_.substr(start, pos_ - start);
  if (pos_ < text_.size()) advance_over_line_end();
  return line;
}

int TextCursor::last_line() const {
  const bool endsWithLineEnd = !text_.empty() && (text_.back() == '\n' || text_.back() == '\r');
  return endsWithLineEnd && line_ > 1 ? line_ - 1 : line_;
}

std::string_view TextCursor::next_value(std::string_view field, std::string_view endProblem) {
  while (pos_ < text_.size() && is_value_separator(text_[pos_])) {
    if (text_[pos_] == '\r' || text_[pos_] == '\n') {
      advance_over_line_end();
    } else {
      ++pos_;
    }
  }
  if (at_end()) fail(last_line(), field, endProblem);
  const std::size_t start = pos_;
  while (pos_ < text_.size() && !is_value_separator(text_[pos_])) ++pos_;
  valueLine_ = line_;
  return text_.substr(start, pos_ - start);
}

double TextCursor::next_real(std::string_view field, std::string_view endProblem) {
  const std::string_view text = next_value(field, endProblem);
  const std::optional<double> v = photometric_number(text);
  if (!v) fail(valueLine_, field, quoted_value_text(text) + " is not a number");
  return *v;
}

std::int64_t TextCursor::next_whole(std::string_view field, std::int64_t lo, std::int64_t hi,
                                    std::string_view endProblem) {
  const std::string_view text = next_value(field, endProblem);
  const std::optional<std::int64_t> v = whole_value(text);
  if (!v) fail(valueLine_, field, quoted_value_text(text) + " is not a whole number");
  if (*v < lo || *v > hi) {
    fail(valueLine_, field,
         std::to_string(*v) + " is out of range; it must be " +
             (hi == INT64_MAX ? "at least " + std::to_string(lo)
                              : "from " + std::to_string(lo) + " to " + std::to_string(hi)));
  }
  return *v;
}

void TextCursor::fail(int line, std::string_view field, std::string_view problem) const {
  throw_photometric_error(fileName_, line, field, problem);
}

std::string_view trimmed(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

std::optional<double> photometric_number(std::string_view text) {
  const std::optional<double> v = try_parse_real(trimmed(text), '.');
  if (!v || !std::isfinite(*v)) return std::nullopt;
  return v;
}

std::optional<double> photometric_number_or_comma(std::string_view text) {
  text = trimmed(text);
  if (text.find('.') == std::string_view::npos && text.find(',') != std::string_view::npos) {
    const std::optional<double> v = try_parse_real(text, ',');
    if (!v || !std::isfinite(*v)) return std::nullopt;
    return v;
  }
  return photometric_number(text);
}

std::optional<std::int64_t> whole_value(std::string_view text) {
  const std::optional<double> v = photometric_number(text);
  // Counts beyond 2^53 are not whole numbers a file can mean.
  if (!v || *v != std::floor(*v) || std::fabs(*v) > 9007199254740992.0) return std::nullopt;
  return static_cast<std::int64_t>(*v);
}

std::string short_number(double value) {
  // to_chars, unlike printf, ignores the locale: messages always use a point.
  char buffer[32];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 6);
  return std::string(buffer, result.ptr);
}

std::optional<std::string> angle_order_problem(double angle, double previous) {
  if (angle - previous >= kMinAngleStepDeg) return std::nullopt;
  if (std::fabs(angle - previous) < kMinAngleStepDeg) {
    return short_number(angle) + " repeats the angle before it; the angles must ascend";
  }
  return short_number(angle) + " does not follow " + short_number(previous) + "; the angles must ascend";
}

}  // namespace lucidra
