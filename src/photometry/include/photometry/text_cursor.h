#pragma once
// Walks a photometric file's text by lines (for the fixed layouts and the
// IES header) and by values (for the IES numeric part, where values may be
// spread over any number of lines and separated by blanks or commas),
// keeping the line number every message needs.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace lucidra {

class TextCursor {
 public:
  TextCursor(std::string_view text, std::string_view fileName);

  std::string_view file_name() const { return fileName_; }
  // The line the cursor stands on (1-based); past the end, the last line.
  int line() const { return line_; }
  bool at_end() const { return pos_ >= text_.size(); }
  // The number of the text's last line (one that holds something, not the
  // empty rest after a final line end); meant for messages at the end.
  int last_line() const;

  // The rest of the current line (without its end), moving to the next line;
  // nothing at the end of the text.
  std::optional<std::string_view> next_line();

  // The next value: a run of characters other than blanks, line ends and
  // commas. Throws PhotometricError "... line N, <field>: the file ends
  // here; ..." at the end of the text. valueLine() is the line the value
  // stood on.
  std::string_view next_value(std::string_view field, std::string_view endProblem);
  int value_line() const { return valueLine_; }

  // The next value as a finite number (decimal point, optional exponent).
  double next_real(std::string_view field, std::string_view endProblem);
  // The next value as a whole number in [lo, hi]; "3.0" counts as 3.
  std::int64_t next_whole(std::string_view field, std::int64_t lo, std::int64_t hi, std::string_view endProblem);

  [[noreturn]] void fail(int line, std::string_view field, std::string_view problem) const;

 private:
  void advance_over_line_end();

  std::string_view text_;
  std::string fileName_;
  std::size_t pos_ = 0;
  int line_ = 1;
  int valueLine_ = 1;
};

// A field's text as a finite number: optional sign, digits with at most one
// decimal point, optional exponent; blanks around it ignored.
std::optional<double> photometric_number(std::string_view text);

// The same, also reading a decimal comma (EULUMDAT files from comma locales
// carry one value per line, so a comma cannot be a separator there).
std::optional<double> photometric_number_or_comma(std::string_view text);

// A whole number from a number's text ("3", "3.0", "3e0"), or nothing.
std::optional<std::int64_t> whole_value(std::string_view text);

// What is wrong when `angle` comes after `previous` in a list that must
// ascend by at least kMinAngleStepDeg: "45 repeats the angle before it; ..."
// or "30 does not follow 45; ...". Nothing when it is in order.
std::optional<std::string> angle_order_problem(double angle, double previous);

// "12.5" style: up to 6 significant digits, no trailing zeros.
std::string short_number(double value);

// The text trimmed of blanks and tabs at both ends.
std::string_view trimmed(std::string_view text);

}  // namespace lucidra
