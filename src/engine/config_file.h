#pragma once
// The positional configuration file "lucidra.cfg": fifteen lines, read once.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/settings.h"

namespace lucidra {

inline constexpr const char* kConfigFileName = "lucidra.cfg";

// Reads the whole file and splits it into lines (CR LF, LF or CR; a NUL byte
// ends the text). Throws FileReadError "Cannot open file <fileName>".
std::vector<std::string> load_config_lines(const std::string& fileName);
// The same for text already in memory.
std::vector<std::string> split_config_text(std::string_view text);

// Line `number` (from 1). Throws FileReadError "List index out of bounds (<number - 1>)".
const std::string& config_line(const std::vector<std::string>& lines, int number);

// What the NA field's validation makes of a text.
struct NaValidation {
  enum class Action { SilentStop, Keep, Replace } action = Action::Keep;
  std::string replacement;  // "0" or "1" when action is Replace
};
// Empty text: SilentStop. "-": Replace "0". A number (held in single precision)
// above 1: Replace "1"; below 0: Replace "0". Otherwise Keep. Throws
// ConversionError for a text that is not a number.
NaValidation validate_na_text(std::string_view text, char decimalSeparator);

// Applies a configuration file to `settings` in the window's order (lines 1,
// 2, 3, 4, 5, 6, 9, 11, 13, 14, 15) with the window's conversions and clamps;
// throws the same errors at the same line. An empty line 11 throws UserError
// "Configuration file <name>: line 11 (NA) is empty" (the window stops silently).
void apply_config(const std::vector<std::string>& lines, GenerationSettings& settings,
                  char decimalSeparator, const std::string& fileName = kConfigFileName);

}  // namespace lucidra
