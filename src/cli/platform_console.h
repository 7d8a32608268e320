#pragma once
// What the command line takes from the system it runs on: its arguments as
// UTF-8, whether stderr is a terminal, the user's decimal separator, and the
// Ctrl-C handler. platform_console_posix.cpp and platform_console_windows.cpp
// are the only places that differ.

#include <atomic>
#include <string>
#include <vector>

namespace lucidra::cli {

// The arguments after the program name, as UTF-8 (on Windows from the wide
// command line, whatever the ANSI code page).
std::vector<std::string> utf8_arguments(int argc, char** argv);

bool stderr_is_terminal();

// The decimal separator the user's settings give: the LC_NUMERIC locale on
// POSIX systems, the regional settings on Windows. Leaves the process's
// numeric locale as "C".
char user_decimal_separator();

// The first Ctrl-C (SIGINT or SIGTERM on POSIX; Ctrl-C, Ctrl-Break or closing
// the console on Windows) sets `stop`, so that the run stops at the next
// block of rays and closes its file; a second one ends the program at once
// (for a run stuck on a device that never answers).
void install_interrupt_handler(std::atomic<bool>& stop);

}  // namespace lucidra::cli
