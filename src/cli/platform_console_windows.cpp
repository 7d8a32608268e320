#include <io.h>
#include <windows.h>

// After windows.h, whose types it uses.
#include <shellapi.h>

#include <clocale>
#include <cstdio>

#include "cli/platform_console.h"

namespace lucidra::cli {

namespace {

std::atomic<bool>* g_stop = nullptr;
std::atomic<bool> g_interrupted{false};

std::string to_utf8(const wchar_t* wide) {
  const int length = WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr);
  if (length <= 1) return {};
  std::string utf8(static_cast<std::size_t>(length), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide, -1, utf8.data(), length, nullptr, nullptr);
  utf8.pop_back();  // the terminating NUL
  return utf8;
}

// Runs on a thread of its own that the console starts. Returning TRUE keeps
// the process alive so that the run can close its file; the second event
// falls through to the default handler, which ends the process.
BOOL WINAPI on_console_event(DWORD event) {
  switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
    case CTRL_CLOSE_EVENT:
      if (g_interrupted.exchange(true)) return FALSE;
      g_stop->store(true);
      return TRUE;
    default: return FALSE;
  }
}

}  // namespace

std::vector<std::string> utf8_arguments(int argc, char** argv) {
  int count = 0;
  wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
  if (wide == nullptr) return {argv + 1, argv + argc};
  std::vector<std::string> args;
  for (int i = 1; i < count; ++i) args.push_back(to_utf8(wide[i]));
  LocalFree(wide);
  // Messages name files in UTF-8 too; the console shows them as such.
  SetConsoleOutputCP(CP_UTF8);
  return args;
}

bool stderr_is_terminal() { return _isatty(_fileno(stderr)) != 0; }

char user_decimal_separator() {
  std::setlocale(LC_NUMERIC, "C");
  wchar_t separator[8] = {};
  if (GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_SDECIMAL, separator, 8) <= 0) return '.';
  // Only a one-character ASCII separator can be used in distribution files.
  return separator[0] > 0 && separator[0] < 0x80 && separator[1] == 0 ? static_cast<char>(separator[0]) : '.';
}

void install_interrupt_handler(std::atomic<bool>& stop) {
  g_stop = &stop;
  SetConsoleCtrlHandler(on_console_event, TRUE);
}

int interrupting_signal() { return g_interrupted.load() ? 2 : 0; }

}  // namespace lucidra::cli
