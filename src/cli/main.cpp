// lucidra-cli: the generation run without the window, for batch jobs and
// reproducible runs.

#include <atomic>
#include <charconv>
#include <cstdio>
#include <ctime>
#include <exception>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "base/output_target.h"
#include "base/user_error.h"
#include "cli/cli_options.h"
#include "cli/console_front_end.h"
#include "cli/platform_console.h"
#include "engine/estimate.h"
#include "engine/far_field.h"
#include "engine/generation_run.h"
#include "engine/input_guard.h"
#include "lucidra/version.h"
#include "output/ray_format_reader.h"

namespace {

std::atomic<bool> g_stop{false};

int exit_code(lucidra::RunOutcome outcome) {
  using lucidra::RunOutcome;
  namespace cli = lucidra::cli;
  switch (outcome) {
    case RunOutcome::Succeeded: return cli::kExitSuccess;
    case RunOutcome::Refused: return cli::kExitRefused;
    case RunOutcome::PointLimit: return cli::kExitPointLimit;
    case RunOutcome::LowFlux: return cli::kExitLowFlux;
    case RunOutcome::Interrupted: return cli::kExitInterrupted;
    case RunOutcome::Cancelled:
    case RunOutcome::Failed: return cli::kExitFailed;
  }
  return cli::kExitFailed;
}

// Writes `text` to `path` (beside it first, so a failure keeps the previous
// file), or says why it could not.
bool write_text_file(const std::string& path, const std::string& text, const char* what) {
  const auto failure = lucidra::write_whole_file(path, text);
  if (failure) {
    std::fprintf(stderr, "lucidra-cli: cannot write the %s %s: %s\n", what, path.c_str(), failure->reason.c_str());
  }
  return !failure;
}

// The far-field check of `path` against the law `settings` describe.
int check_file(const lucidra::cli::CliOptions& options, const lucidra::GenerationSettings& settings,
               const std::string& path) {
  namespace cli = lucidra::cli;
  try {
    const lucidra::IntensityLaw law(settings);
    lucidra::FarFieldOptions check;
    check.binDeg = options.binDeg;
    check.wedgeHalfDeg = options.wedgeHalfDeg;
    check.minRays = options.minRays;
    check.tolerance = options.tolerance;
    check.threads = options.threads;
    const std::optional<lucidra::Spectrum> spectrum = lucidra::read_run_spectrum(settings);
    if (spectrum) check.spectrum = &*spectrum;
    lucidra::RayFileKind kind = lucidra::RayFileKind::Auto;
    if (options.checkFormat) kind = lucidra::ray_format_named(*options.checkFormat)->readerKind;
    // Neither the CSV nor the plot may take the place of a file the check reads.
    std::vector<lucidra::InputFile> inputs = lucidra::run_input_files(settings);
    inputs.push_back({"ray file", path});
    if (options.csvPath) lucidra::refuse_output_over_input("CSV file", *options.csvPath, inputs);
    if (options.plotPath) lucidra::refuse_output_over_input("plot", *options.plotPath, inputs);
    if (options.csvPath && options.plotPath) {
      lucidra::refuse_output_over_input("plot", *options.plotPath, {{"CSV file", *options.csvPath}});
    }
    const lucidra::FarFieldResult result = lucidra::check_ray_file(path, kind, law, check);
    const lucidra::RayFileVerdict verdict = lucidra::verify_ray_file(result.file);
    const bool passed = result.passed && verdict.failure.empty();
    // Quiet: a pass says nothing; a failure still shows the whole report.
    if (!options.quiet || !passed) {
      std::fputs(verdict.report.c_str(), stdout);
      std::fputs(lucidra::far_field_report(result).c_str(), stdout);
      if (!verdict.failure.empty()) std::printf("FAIL: %s\n", verdict.failure.c_str());
    }
    if (options.csvPath && !write_text_file(*options.csvPath, lucidra::far_field_csv(result), "CSV file")) {
      return cli::kExitFailed;
    }
    if (options.plotPath && !write_text_file(*options.plotPath, lucidra::far_field_svg(result), "plot")) {
      return cli::kExitFailed;
    }
    return passed ? cli::kExitSuccess : cli::kExitCheckFailed;
  } catch (const lucidra::UserError& error) {
    std::fprintf(stderr, "lucidra-cli: %s\n", error.what());
    return cli::kExitFailed;
  }
}

// A malformed command line: the reason, and where the help for it is.
int usage_failure(const lucidra::cli::UsageError& error, const std::string& command = {}) {
  const bool known = command == "generate" || command == "check" || command == "import" || command == "estimate";
  std::fprintf(stderr, "lucidra-cli: %s\nTry 'lucidra-cli %s--help'.\n", error.what(),
               known ? (command + " ").c_str() : "");
  return lucidra::cli::kExitUsage;
}

void print_notes(const lucidra::cli::CliOptions& options, char localeSeparator) {
  if (options.quiet) return;
  for (const std::string& note : lucidra::cli::clamped_value_notes(options, localeSeparator)) {
    std::fprintf(stderr, "lucidra-cli: note: %s\n", note.c_str());
  }
}

int run_check(const lucidra::cli::CliOptions& options, char localeSeparator) {
  lucidra::GenerationSettings settings;
  try {
    // The ray file first: nothing about the law matters when it is missing.
    lucidra::cli::require_readable(*options.checkPath);
    settings = lucidra::cli::resolve_law_settings(options, localeSeparator);
    lucidra::cli::require_inputs_readable(settings);
  } catch (const lucidra::cli::UsageError& error) {
    return usage_failure(error, "check");
  } catch (const lucidra::UserError& error) {
    std::fprintf(stderr, "lucidra-cli: %s\n", error.what());
    return lucidra::cli::kExitFailed;
  }
  print_notes(options, localeSeparator);
  return check_file(options, settings, *options.checkPath);
}

int run_command(int argc, char** argv) {
  namespace cli = lucidra::cli;
  const char localeSeparator = cli::user_decimal_separator();

  const std::vector<std::string> args = cli::utf8_arguments(argc, argv);
  cli::CliOptions options;
  try {
    options = cli::parse_command_line(args);
  } catch (const cli::UsageError& error) {
    return usage_failure(error, args.empty() ? std::string() : args[0]);
  }

  switch (options.command) {
    case cli::Command::Help:
      std::fputs((options.helpTopic ? cli::command_help(*options.helpTopic) : cli::usage_text()).c_str(), stdout);
      return cli::kExitSuccess;
    case cli::Command::Version: std::puts("lucidra-cli (Lucidra LED) " LUCIDRA_VERSION); return cli::kExitSuccess;
    case cli::Command::Estimate: {
      const lucidra::OutputFormat format = options.format.value_or(lucidra::OutputFormat::Zemax);
      const bool spectral = options.spectrumFile || options.wavelengthNm;
      try {
        // The spectrum is refused as generate would refuse it; only its
        // presence changes the size.
        if (options.spectrumFile) lucidra::read_spectrum_file(*options.spectrumFile);
        if (spectral) lucidra::refuse_format_without_wavelength(format);
      } catch (const lucidra::UserError& error) {
        std::fprintf(stderr, "lucidra-cli: %s\n", error.what());
        return cli::kExitFailed;
      }
      const auto e = lucidra::estimate_output(*options.rayCount, format,
                                              lucidra::RayWavelengths{spectral, options.wavelengthNm.value_or(0.0)});
      std::printf("Size of Source File %lld MB\nGeneration Time ~ %lld min %lld sec\n",
                  static_cast<long long>(e.sizeMb), static_cast<long long>(e.minutes),
                  static_cast<long long>(e.seconds));
      return cli::kExitSuccess;
    }
    case cli::Command::Check: return run_check(options, localeSeparator);
    case cli::Command::Import: return cli::run_import(*options.import, localeSeparator, stdout, stderr);
    case cli::Command::Generate: break;
  }

  lucidra::GenerationSettings settings;
  try {
    settings = cli::resolve_settings(options, localeSeparator);
    cli::check_run_files(settings);
  } catch (const cli::UsageError& error) {
    return usage_failure(error, "generate");
  } catch (const lucidra::UserError& error) {
    std::fprintf(stderr, "lucidra-cli: %s\n", error.what());
    return cli::kExitFailed;
  }
  print_notes(options, localeSeparator);

  if ((settings.outputPath == "-" || lucidra::descriptor_named(settings.outputPath) >= 0) &&
      options.checkAfterGenerate) {
    std::fputs("lucidra-cli: --check needs a ray file to read back; it cannot check standard output\n", stderr);
    return cli::kExitUsage;
  }

  const bool progress = !options.quiet && (options.progress == cli::ProgressMode::On ||
                                           (options.progress == cli::ProgressMode::Auto && cli::stderr_is_terminal()));
  settings.clockSeconds = options.clockSeed ? *options.clockSeed : static_cast<std::int64_t>(std::time(nullptr));
  cli::install_interrupt_handler(g_stop);

  lucidra::RunReport report;
  {
    cli::ConsoleObserver observer(progress, &g_stop);
    report = lucidra::generate(settings, observer);
  }
  // With the rays on standard output, every message goes to stderr.
  const bool raysOnStdout = settings.outputPath == "-" || lucidra::descriptor_named(settings.outputPath) == 1;
  std::FILE* info = raysOnStdout ? stderr : stdout;
  switch (report.outcome) {
    case lucidra::RunOutcome::Succeeded:
    case lucidra::RunOutcome::LowFlux: {
      const bool succeeded = report.outcome == lucidra::RunOutcome::Succeeded;
      // Quiet: a success prints nothing; a low flux is a warning and shows.
      if (options.quiet && succeeded) break;
      // The low-flux notice is a warning: on stderr, with the one prefix.
      if (succeeded) {
        std::fprintf(info, "%s\n", lucidra::kSuccessNotice);
      } else {
        std::fprintf(stderr, "lucidra-cli: %s\n", lucidra::kLowFluxNotice);
      }
      // Fluxes carry their unit; every figure has six decimals.
      const char* unit = lucidra::flux_unit_symbol(settings.fluxUnit);
      if (!settings.legacySampling) {
        std::fprintf(info, "total flux: %s %s in %lld rays (%s)\n", cli::fixed_number(report.obtainedFlux).c_str(),
                     unit, static_cast<long long>(report.raysWritten),
                     settings.weightedSampling ? "weighted: the law in each ray's flux" : "equal flux per ray");
        if (!report.spectrumSummary.empty()) std::fprintf(info, "%s\n", report.spectrumSummary.c_str());
        break;
      }
      std::fprintf(info, "obtained flux: %s %s\nflux divisor: %s\n", cli::fixed_number(report.obtainedFlux).c_str(),
                   unit, cli::fixed_number(report.fluxDivisor).c_str());
      break;
    }
    case lucidra::RunOutcome::PointLimit:
      // The legacy notice's own words, on lines of their own after the prefix.
      std::fprintf(stderr, "lucidra-cli:\n%s\n", report.message.c_str());
      break;
    default: std::fprintf(stderr, "lucidra-cli: %s\n", report.message.c_str()); break;
  }
  // Stopped by a signal: the temporary file is gone and the message out;
  // the exit status says which signal it was, as a shell expects.
  if (const int signal = cli::interrupting_signal(); signal != 0 && report.outcome != lucidra::RunOutcome::Succeeded &&
                                                     report.outcome != lucidra::RunOutcome::LowFlux) {
    return 128 + signal;
  }
  const bool written =
      report.outcome == lucidra::RunOutcome::Succeeded || report.outcome == lucidra::RunOutcome::LowFlux;
  if (written && options.checkAfterGenerate) {
    std::fflush(stdout);
    const int checked = check_file(options, settings, settings.outputPath);
    if (checked != cli::kExitSuccess) return checked;
  }
  return exit_code(report.outcome);
}

}  // namespace

int main(int argc, char** argv) {
  // Whatever escapes the run is reported, never left to abort the process.
  try {
    return run_command(argc, argv);
  } catch (const std::bad_alloc&) {
    std::fputs("lucidra-cli: not enough memory\n", stderr);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "lucidra-cli: internal error: %s\n", error.what());
  }
  return lucidra::cli::kExitFailed;
}
