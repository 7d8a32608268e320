#include <unistd.h>

#include <clocale>
#include <csignal>

#include "cli/platform_console.h"
#include "distributions/number_text.h"

namespace lucidra::cli {

namespace {

std::atomic<bool>* g_stop = nullptr;

extern "C" void on_interrupt(int signal) {
  g_stop->store(true);
  std::signal(signal, SIG_DFL);
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
  std::signal(SIGINT, on_interrupt);
  std::signal(SIGTERM, on_interrupt);
}

}  // namespace lucidra::cli
