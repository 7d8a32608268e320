// lucidra-cli: the generation run without the window, for batch jobs and
// reproducible runs.

#include <atomic>
#include <cstdio>
#include <ctime>
#include <exception>
#include <new>
#include <string>
#include <vector>

#include "cli/cli_options.h"
#include "cli/console_front_end.h"
#include "cli/platform_console.h"
#include "engine/estimate.h"
#include "engine/generation_run.h"
#include "engine/user_error.h"
#include "lucidra/version.h"

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

int run_command(int argc, char** argv) {
  namespace cli = lucidra::cli;
  const char localeSeparator = cli::user_decimal_separator();

  const std::vector<std::string> args = cli::utf8_arguments(argc, argv);
  cli::CliOptions options;
  try {
    options = cli::parse_command_line(args);
  } catch (const cli::UsageError& error) {
    std::fprintf(stderr, "lucidra-cli: %s\nTry 'lucidra-cli --help'.\n", error.what());
    return cli::kExitUsage;
  }

  switch (options.command) {
    case cli::Command::Help:
      std::fputs(cli::usage_text().c_str(), stdout);
      return cli::kExitSuccess;
    case cli::Command::Version:
      std::puts("lucidra-cli (Lucidra LED) " LUCIDRA_VERSION);
      return cli::kExitSuccess;
    case cli::Command::Estimate: {
      const auto e = lucidra::estimate_output(*options.rayCount);
      std::printf("Size of Source File %lld MB\nGeneration Time ~ %lld min %lld sec\n",
                  static_cast<long long>(e.sizeMb), static_cast<long long>(e.minutes),
                  static_cast<long long>(e.seconds));
      return cli::kExitSuccess;
    }
    case cli::Command::Generate:
      break;
  }

  lucidra::GenerationSettings settings;
  try {
    settings = cli::resolve_settings(options, localeSeparator);
    cli::check_run_files(settings);
  } catch (const lucidra::UserError& error) {
    std::fprintf(stderr, "lucidra-cli: %s\n", error.what());
    return cli::kExitFailed;
  }

  const bool progress = options.progress == cli::ProgressMode::On ||
                        (options.progress == cli::ProgressMode::Auto && cli::stderr_is_terminal());
  const std::int64_t clock = options.clockSeed ? *options.clockSeed : static_cast<std::int64_t>(std::time(nullptr));
  cli::ConsoleFrontEnd frontEnd(settings, clock, progress, &g_stop);
  cli::install_interrupt_handler(g_stop);

  const lucidra::RunReport report = lucidra::run_generation(frontEnd);
  if (report.outcome == lucidra::RunOutcome::Succeeded || report.outcome == lucidra::RunOutcome::LowFlux) {
    std::printf("obtained flux: %s\nflux divisor: %.17g\n", frontEnd.obtained_flux_text().c_str(),
                report.fluxDivisor);
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
