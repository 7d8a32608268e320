#include "engine/config_file.h"

#include <algorithm>
#include <cstdio>
#include <memory>

#include "base/output_target.h"
#include "base/platform_file.h"
#include "distributions/distribution_file.h"
#include "distributions/number_text.h"

namespace lucidra {

std::vector<std::string> split_config_text(std::string_view text) {
  const std::size_t end = text.find('\0');
  if (end != std::string_view::npos) text = text.substr(0, end);
  std::vector<std::string> lines;
  for (const std::string_view line : split_lines(text)) lines.emplace_back(line);
  return lines;
}

std::vector<std::string> load_config_lines(const std::string& fileName) {
  // Lines after the fifteenth are never used; a NUL ends the text.
  return split_config_text(read_leading_lines(fileName, 15, true));
}

const std::string& config_line(const std::vector<std::string>& lines, int number) {
  if (number < 1 || static_cast<std::size_t>(number) > lines.size()) {
    throw FileReadError("List index out of bounds (" + std::to_string(number - 1) + ")");
  }
  return lines[static_cast<std::size_t>(number - 1)];
}

NaValidation validate_na_text(std::string_view text, char decimalSeparator) {
  if (text.empty()) return {NaValidation::Action::SilentStop, {}};
  if (text == "-") return {NaValidation::Action::Replace, "0"};
  // The field holds its value in single precision: 1,00000001 equals 1 there
  // and is kept. Only the comparisons with 0 and 1 matter, so the number is
  // first limited to a range single precision can hold.
  const double number = std::clamp(parse_real(text, decimalSeparator), -2.0, 2.0);
  const float value = static_cast<float>(number);
  if (value > 1.0f) return {NaValidation::Action::Replace, "1"};
  if (value < 0.0f) return {NaValidation::Action::Replace, "0"};
  return {NaValidation::Action::Keep, {}};
}

void read_config_values(const std::vector<std::string>& lines, ConfigValues& values, char decimalSeparator,
                        const std::string& fileName) {
  const auto take_text = [&](int number, std::string& field) {
    field = config_line(lines, number);
    values.lastLineApplied = number;
  };
  const auto take_whole = [&](int number, std::int32_t& field, std::int32_t minimum, std::int32_t maximum) {
    field = std::clamp(parse_whole_number(config_line(lines, number)), minimum, maximum);
    values.lastLineApplied = number;
  };

  take_text(1, values.traceProPath);
  take_text(2, values.zemaxPath);
  take_text(3, values.longitudinalFile);
  take_text(4, values.transversalFile);
  take_whole(5, values.rayCount, 1, 1000000000);
  take_whole(6, values.sourceFlux, 5, 50000);
  take_whole(9, values.extentAboutZ, 0, 360);

  const std::string& naText = config_line(lines, 11);
  if (naText != values.numericalAperture) {
    values.numericalAperture = naText;
    values.lastLineApplied = 11;
    // Each correction is itself a change of the field and is validated again;
    // "0" and "1" are kept, so one correction is the last.
    const NaValidation validation = validate_na_text(naText, decimalSeparator);
    if (validation.action == NaValidation::Action::SilentStop) {
      throw ConfigSilentStop("Configuration file " + fileName + ": line 11 (NA) is empty");
    }
    if (validation.action == NaValidation::Action::Replace) {
      values.numericalAperture = validation.replacement;
    }
  }
  values.lastLineApplied = 11;

  take_text(13, values.secondNa);
  take_text(14, values.sizeY);
  take_text(15, values.sizeX);
}

ConfigValues read_config_values(const std::vector<std::string>& lines, char decimalSeparator,
                                const std::string& fileName) {
  ConfigValues values;
  read_config_values(lines, values, decimalSeparator, fileName);
  return values;
}

std::string format_config_text(const ConfigValues& values) {
  const auto text = [](const char* name, const std::string& value) -> const std::string& {
    if (value.find_first_of("\r\n") != std::string::npos) {
      throw UserError(std::string("Setting ") + name + " cannot be saved: it holds a line break");
    }
    return value;
  };
  const std::string lines[15] = {
      text("TracePro file", values.traceProPath),
      text("Zemax file", values.zemaxPath),
      text("first distribution", values.longitudinalFile),
      text("second distribution", values.transversalFile),
      std::to_string(values.rayCount),
      std::to_string(values.sourceFlux),
      {},
      {},
      std::to_string(values.extentAboutZ),
      {},
      text("NA", values.numericalAperture),
      {},
      text("second NA", values.secondNa),
      text("Y size", values.sizeY),
      text("X size", values.sizeX),
  };
  std::string result;
  for (const std::string& line : lines) result += line + "\r\n";
  return result;
}

void write_config_file(const std::string& fileName, const ConfigValues& values) {
  const std::string text = format_config_text(values);
  // Written beside and put in place: a full disk keeps the previous settings.
  if (const auto failure = write_whole_file(fileName, text)) {
    throw UserError((failure->created ? "Cannot write file " : "Cannot create file ") + fileName);
  }
}

}  // namespace lucidra
