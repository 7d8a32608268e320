#pragma once
// The positional configuration file "lucidra.cfg": fifteen lines, read at
// start-up and written when the window saves its settings.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/user_error.h"

namespace lucidra {

inline constexpr const char* kConfigFileName = "lucidra.cfg";

// Reads the file (as far as its fifteenth line; a NUL byte ends the text) and
// splits it into lines (CR LF, LF or CR). Throws FileReadError "Cannot open
// file <fileName>", or "File <fileName> is too large: ..." when its first
// fifteen lines exceed 64 MB.
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

// The settings the configuration file gives, under the names of the window's
// controls. The initial values are the controls' defaults.
struct ConfigValues {
  std::string traceProPath = "C:\\ray1.txt";                             // line 1, Edit3
  std::string zemaxPath = "D:\\Program files\\ZEMAX\\Objects\\ray.dat";  // line 2, Edit4
  std::string longitudinalFile;                                          // line 3, ComboBoxEx1
  std::string transversalFile;                                           // line 4, ComboBoxEx2
  std::int32_t rayCount = 30000;                                         // line 5, clamped to 1..1000000000
  std::int32_t sourceFlux = 3500;                                        // line 6, clamped to 5..50000
  std::int32_t extentAboutZ = 360;                                       // line 9, clamped to 0..360
  std::string numericalAperture = "0";                                   // line 11, after the NA validation
  std::string secondNa = "0";                                            // line 13, Edit8
  std::string sizeY = "0,00001";                                         // line 14, Edit9
  std::string sizeX = "0,00001";                                         // line 15, Edit10
  // The last line taken into `values` (0 before line 1); tells a caller that
  // caught an error how far the file was applied.
  int lastLineApplied = 0;
};

// The window stops start-up silently at an empty NA line; front ends without a
// window show this error's text instead.
class ConfigSilentStop : public UserError {
 public:
  using UserError::UserError;
};

// Takes lines 1, 2, 3, 4, 5, 6, 9, 11, 13, 14 and 15 into `values`, in this
// order, each fetched and converted before the next, with the window's
// conversions and clamps. On an error the fields of the earlier lines keep
// their new values, and a line 11 that fails its validation stays as the NA
// text, as it does in the window's field. The NA validation runs only when
// line 11 differs from the current NA text. Throws FileReadError for a missing line, ConversionError for
// a bad number, and ConfigSilentStop "Configuration file <fileName>: line 11
// (NA) is empty" where the window stops silently.
void read_config_values(const std::vector<std::string>& lines, ConfigValues& values, char decimalSeparator,
                        const std::string& fileName = kConfigFileName);
// The same, starting from the defaults.
ConfigValues read_config_values(const std::vector<std::string>& lines, char decimalSeparator,
                                const std::string& fileName = kConfigFileName);

// The fifteen lines read_config_values takes `values` back from, each ended
// by CR LF. The lines it skips (7, 8, 10 and 12) are empty. Texts are written
// as they stand, so the NA and the sizes keep the separator they were typed
// with. Throws UserError "Setting <name> cannot be saved: it holds a line
// break" for a text that would shift the lines after it.
std::string format_config_text(const ConfigValues& values);
// Writes format_config_text(values) to `fileName`, replacing it. Throws
// UserError "Cannot create file <fileName>" or "Cannot write file <fileName>".
void write_config_file(const std::string& fileName, const ConfigValues& values);

}  // namespace lucidra
