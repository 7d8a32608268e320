// The command line's parser: the input is the argument list, arguments
// separated by NUL bytes. Every outcome is a parsed set of options within the
// documented ranges or a usage error with a message; settings are then built
// from the options (configuration files are not read here).

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/user_error.h"
#include "cli/cli_options.h"
#include "distributions/number_text.h"
#include "fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using lucidra::fuzz::check;
  namespace cli = lucidra::cli;
  const std::string_view text = lucidra::fuzz::as_text(data, size);
  std::vector<std::string> args;
  std::size_t start = 0;
  while (start <= text.size()) {
    const std::size_t end = std::min(text.find('\0', start), text.size());
    args.emplace_back(text.substr(start, end - start));
    start = end + 1;
  }
  if (text.empty()) args.clear();

  cli::CliOptions options;
  try {
    options = cli::parse_command_line(args);
  } catch (const cli::UsageError& error) {
    check(std::string_view(error.what()).size() > 10, "a usage error without a message");
    return 0;
  }
  check(!args.empty(), "an empty command line was accepted");
  if (options.rayCount) check(*options.rayCount >= 1 && *options.rayCount <= 1000000000, "rays out of range");
  if (options.command == cli::Command::Estimate) check(options.rayCount.has_value(), "estimate without rays");
  if (options.command != cli::Command::Generate) return 0;
  if (options.sourceFlux) check(*options.sourceFlux >= 5 && *options.sourceFlux <= 50000, "flux out of range");
  if (options.extentAboutZ) check(*options.extentAboutZ >= 0 && *options.extentAboutZ <= 360, "extent out of range");
  if (options.balance) check(*options.balance >= 0 && *options.balance <= 100, "balance out of range");
  if (options.numericalAperture) {
    const std::optional<double> na = lucidra::try_parse_real(*options.numericalAperture, '.');
    check(na && *na >= 0 && *na <= 1, "NA out of range");
  }
  for (const auto* sizeText : {&options.sizeX, &options.sizeY}) {
    if (*sizeText) {
      const std::optional<double> sizeMm = lucidra::try_parse_real(**sizeText, '.');
      check(sizeMm && *sizeMm > 0, "a size that is not a positive number");
    }
  }
  check(
      options.arcMarginADeg >= 0 && options.arcMarginBDeg >= 0 && options.arcMarginADeg + options.arcMarginBDeg <= 180,
      "arc margins out of range");
  if (options.configFile) return 0;  // would read a file named by the input

  try {
    const lucidra::GenerationSettings settings = cli::resolve_settings(options, '.');
    check(!settings.outputPath.empty() && (!lucidra::run_reads_tables(settings) || !settings.photometricFile.empty() ||
                                           (!settings.longitudinalFile.empty() && !settings.transversalFile.empty())),
          "settings without the file names a run needs");
    check(settings.rayCount >= 1, "settings with no rays");
  } catch (const lucidra::UserError& error) {
    // A missing name, or an output name whose extension belongs to another
    // format.
    const std::string_view what = error.what();
    check(what.find("No ") == 0 || what.find("Ray file ") == 0, "an unexpected settings error");
  }
  return 0;
}
