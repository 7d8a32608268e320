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

// The first Ctrl-C (SIGINT, SIGTERM or SIGHUP on POSIX; Ctrl-C, Ctrl-Break or
// closing the console on Windows) sets `stop`, so that the run stops at the
// next block of rays and removes its temporary file. On POSIX systems later
// signals are ignored until the program ends (a blocked write to a pipe
// returns at once), and a vanished pipe reader is a write error; on Windows
// a second event ends the program at once.
void install_interrupt_handler(std::atomic<bool>& stop);

// The signal that started the stop (SIGINT for a console event on Windows),
// or 0: the program then exits with 128 + that number.
int interrupting_signal();

}  // namespace lucidra::cli
