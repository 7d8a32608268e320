#pragma once
// The command line of lucidra-cli, parsed into the same settings the window
// fills.

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "base/user_error.h"
#include "cli/import_command.h"
#include "engine/settings.h"

namespace lucidra::cli {

// A malformed command line; the text names the option and what is wrong.
// It is a user error like any other, but exits with its own code.
class UsageError : public UserError {
 public:
  using UserError::UserError;
};

enum class Command { Generate, Estimate, Check, Help, Version, Import };
enum class ProgressMode { Auto, On, Off };

// What the options say; settings the user did not give stay unset so that a
// configuration file can supply them.
struct CliOptions {
  Command command = Command::Help;
  std::optional<Command> helpTopic;  // `help COMMAND`, `COMMAND --help`: that command's help
  bool quiet = false;                // nothing on standard output or error unless it fails
  std::optional<std::string> configFile;
  std::optional<OutputFormat> format;
  std::optional<std::string> outputPath;
  std::optional<std::string> longitudinalFile;
  std::optional<std::string> transversalFile;
  std::optional<std::string> photometricFile;
  std::optional<std::int32_t> rayCount;
  std::optional<double> sourceFlux;
  std::optional<FluxUnit> fluxUnit;
  bool considerFlux = false;
  bool forceExtension = false;  // keep an output name whose extension fits another format
  std::optional<RandomAlgorithm> algorithm;
  std::optional<AngularType> angularType;
  std::optional<std::string> numericalAperture;  // decimal-point text
  std::optional<std::int32_t> extentAboutZ;
  std::optional<PlaneShape> planeShape;
  std::optional<std::string> sizeX;  // decimal-point text
  std::optional<std::string> sizeY;
  bool doubleSide = false;
  std::optional<std::int32_t> balance;
  bool squareShape = false;
  bool arcMode = false;
  double arcMarginADeg = 0, arcMarginBDeg = 0;
  std::optional<std::int64_t> clockSeed;
  std::optional<char> decimalSeparator;
  ProgressMode progress = ProgressMode::Auto;
  unsigned threads = 0;
  bool legacySampling = false;
  bool weightedSampling = false;
  bool flipSolid = false;
  // The source's spectrum (generate), or the one the rays are checked
  // against (check).
  std::optional<std::string> spectrumFile;
  std::optional<double> wavelengthNm;

  // The far-field check (`check RAYFILE`, or `generate --check`).
  bool checkAfterGenerate = false;
  std::optional<std::string> checkPath;
  std::optional<std::string> checkFormat;  // a format's -f name; default: from the file
  double binDeg = 2;
  double wedgeHalfDeg = 0;  // 0: the law's own (10 degrees about the two planes, 5 about C-planes)
  std::int64_t minRays = 100;
  double tolerance = 0.01;
  std::optional<std::string> plotPath;
  std::optional<std::string> csvPath;

  std::optional<ImportOptions> import;  // the import command's own options
};

// Parses the arguments after the program name. Throws UsageError.
CliOptions parse_command_line(const std::vector<std::string>& args);

// "; did you mean '--rays'?" when one of `names` is close to the mistyped
// `word` (two edits at most, or the only name it begins), else "".
std::string did_you_mean(std::string_view word, const std::vector<std::string_view>& names);

// Builds the run's settings: the configuration file's values (when given),
// then the options on top. Throws UserError for a bad configuration file
// ("Configuration file <name>: <reason>"), UsageError for a missing output
// name, a missing distribution file name where the law uses the tables, or
// an emitter size of 0 or below.
GenerationSettings resolve_settings(const CliOptions& options, char defaultDecimalSeparator);

// The settings that describe the law a `check` compares with: the
// configuration file's and the options' values, without requiring an
// output file. Throws UserError for a bad configuration file.
GenerationSettings resolve_law_settings(const CliOptions& options, char defaultDecimalSeparator);

// Refuses an input that cannot be opened first (require_inputs_readable),
// then reads both distribution files once before the run, so that a bad file is
// reported with its name and line ("<reason>\n(distribution file <name>,
// line 3, value 2)"; "Distribution file <name>: <reason>" for the rest) and refuses a
// ray file that is one of them. Pipes and devices are left to the run, which
// reads them once. Throws UserError.
void check_run_files(const GenerationSettings& settings);

// The overview --help prints: every command's usage line, the options every
// command takes, and the exit codes.
std::string usage_text();

// One command's help (`lucidra-cli COMMAND --help`).
std::string command_help(Command command);

// Notes on values the run uses other than as given (a configuration file's
// ray count, flux, extent or NA beyond their range), one line each.
std::vector<std::string> clamped_value_notes(const CliOptions& options, char defaultDecimalSeparator);

// require_readable for the photometric file, else both distribution files
// (those named). Throws UserError.
void require_inputs_readable(const GenerationSettings& settings);

// Refuses an input file that cannot be opened, with the system's reason:
// "Cannot open <name>: No such file or directory". Pipes and devices are
// left to their reader, which reads them once. Throws UserError.
void require_readable(const std::string& name);

// A figure as the command line prints it: six decimals, a decimal point
// whatever the locale ("9544099.665571", "15.000000").
std::string fixed_number(double value);

// Exit codes of lucidra-cli.
enum ExitCode : int {
  kExitSuccess = 0,
  kExitFailed = 1,        // the run stopped with an error
  kExitUsage = 2,         // the command line is malformed
  kExitRefused = 3,       // no longer used: every format is written
  kExitPointLimit = 4,    // a distribution file has more than 450 points
  kExitLowFlux = 5,       // written, but the obtained flux is below 1.0
  kExitCheckFailed = 6,   // the far-field check found the rays off their law
  kExitInterrupted = 130  // stopped by Ctrl-C
};

}  // namespace lucidra::cli
