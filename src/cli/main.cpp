// lucidra-cli: the generation run without the window, for batch jobs and
// reproducible runs.

#include <unistd.h>

#include <atomic>
#include <clocale>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <exception>
#include <new>
#include <string>
#include <vector>

#include "cli/cli_options.h"
#include "cli/console_front_end.h"
#include "distributions/number_text.h"
#include "engine/estimate.h"
#include "engine/generation_run.h"
#include "engine/user_error.h"
#include "lucidra/version.h"

namespace {

std::atomic<bool> g_stop{false};

// The first Ctrl-C asks the run to stop at the next block of rays and close
// its file; a second one ends the program at once (for a run stuck on a
// device that never answers).
extern "C" void on_interrupt(int signal) {
  g_stop.store(true);
  std::signal(signal, SIG_DFL);
}

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
  std::setlocale(LC_NUMERIC, "");
  const char localeSeparator = lucidra::locale_decimal_separator();
  std::setlocale(LC_NUMERIC, "C");

  std::vector<std::string> args(argv + 1, argv + argc);
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
                        (options.progress == cli::ProgressMode::Auto && isatty(STDERR_FILENO) != 0);
  const std::int64_t clock = options.clockSeed ? *options.clockSeed : static_cast<std::int64_t>(std::time(nullptr));
  cli::ConsoleFrontEnd frontEnd(settings, clock, progress, &g_stop);
  std::signal(SIGINT, on_interrupt);
  std::signal(SIGTERM, on_interrupt);

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
