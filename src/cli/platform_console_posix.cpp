#include <unistd.h>

#include <clocale>
#include <csignal>

#include "cli/platform_console.h"
#include "distributions/number_text.h"

namespace lucidra::cli {

namespace {

std::atomic<bool>* g_stop = nullptr;
volatile std::sig_atomic_t g_signal = 0;

// The first signal starts the stop; the ones after it (a process group
// signalled by `timeout` or a batch scheduler, a second Ctrl-C) change
// nothing, so the run still removes its temporary file and says so.
extern "C" void on_interrupt(int signal) {
  if (g_signal == 0) g_signal = signal;
  g_stop->store(true);
}

}  // namespace

std::vector<std::string> utf8_arguments(int argc, char** argv) { return {argv + 1, argv + argc}; }

bool stderr_is_terminal() { return isatty(STDERR_FILENO) != 0; }

char user_decimal_separator() {
  std::setlocale(LC_NUMERIC, "");
  const char separator = locale_decimal_separator();
  std::setlocale(LC_NUMERIC, "C");
  return separator;
}

void install_interrupt_handler(std::atomic<bool>& stop) {
  g_stop = &stop;
  struct sigaction action {};
  action.sa_handler = on_interrupt;
  sigfillset(&action.sa_mask);
  // No SA_RESTART: a write blocked on a pipe or a FIFO that nobody reads
  // returns, so the stop is never held up by a sink that does not drain.
  action.sa_flags = 0;
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) sigaction(signal, &action, nullptr);
  // A reader that goes away ends the run with "Broken pipe" instead of
  // killing the process without a word.
  std::signal(SIGPIPE, SIG_IGN);
}

int interrupting_signal() { return g_signal; }

}  // namespace lucidra::cli
