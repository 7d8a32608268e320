#pragma once
// Runs the real lucidra-cli binary in a working directory and collects its
// exit status and both output streams.

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

namespace lucidra::testing {

struct CliResult {
  int exitCode = -1;       // the process's exit status; 128 + n when killed by signal n
  std::string out;         // standard output
  std::string err;         // standard error
  bool timedOut = false;   // killed because it ran past its time
  long peakKilobytes = 0;  // peak resident memory of the process
};

// A running lucidra-cli. Its standard streams are collected while it runs.
class CliProcess {
 public:
  CliProcess(const std::vector<std::string>& args, const std::filesystem::path& workingDirectory);
  ~CliProcess();  // kills the process if it is still running
  CliProcess(const CliProcess&) = delete;
  CliProcess& operator=(const CliProcess&) = delete;

  // Collects output until `predicate(err)` holds, the process ends or the
  // time runs out; returns whether the predicate held.
  template <class Predicate>
  bool wait_for_stderr(Predicate&& predicate, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!predicate(result_.err)) {
      if (!pump(deadline)) return predicate(result_.err);
    }
    return true;
  }
  const std::string& err_so_far() const { return result_.err; }
  void send_signal(int signal);
  // Waits for the end (killing the process after `timeout`) and returns what it did.
  CliResult finish(std::chrono::milliseconds timeout);

 private:
  // Reads what is available before `deadline`; false once both streams ended
  // or the deadline passed.
  bool pump(std::chrono::steady_clock::time_point deadline);

  pid_t pid_ = -1;
  int outFd_ = -1;
  int errFd_ = -1;
  CliResult result_;
};

// Runs lucidra-cli to its end (at most `timeout`).
CliResult run_cli(const std::vector<std::string>& args, const std::filesystem::path& workingDirectory,
                  std::chrono::milliseconds timeout = std::chrono::minutes(3));

}  // namespace lucidra::testing
