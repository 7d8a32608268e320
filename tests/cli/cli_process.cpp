#include "cli_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

namespace lucidra::testing {

CliProcess::CliProcess(const std::vector<std::string>& args, const std::filesystem::path& workingDirectory) {
  int outPipe[2];
  int errPipe[2];
  if (::pipe2(outPipe, O_CLOEXEC) != 0 || ::pipe2(errPipe, O_CLOEXEC) != 0) {
    throw std::runtime_error(std::string("pipe: ") + std::strerror(errno));
  }
  // Everything the child needs is prepared before fork().
  std::vector<std::string> argStrings{LUCIDRA_CLI_PATH};
  argStrings.insert(argStrings.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& a : argStrings) argv.push_back(a.data());
  argv.push_back(nullptr);
  // A fixed locale: distribution files and messages must not depend on the
  // machine the tests run on.
  std::vector<std::string> envStrings{"LC_ALL=C", "PATH=/usr/bin:/bin"};
  std::vector<char*> envp;
  for (std::string& e : envStrings) envp.push_back(e.data());
  envp.push_back(nullptr);
  const std::string directory = workingDirectory.string();

  pid_ = ::fork();
  if (pid_ < 0) {
    const int error = errno;
    for (const int fd : {outPipe[0], outPipe[1], errPipe[0], errPipe[1]}) ::close(fd);
    throw std::runtime_error(std::string("fork: ") + std::strerror(error));
  }
  if (pid_ == 0) {
    ::dup2(outPipe[1], STDOUT_FILENO);
    ::dup2(errPipe[1], STDERR_FILENO);
    if (::chdir(directory.c_str()) != 0) ::_exit(126);
    ::execve(argv[0], argv.data(), envp.data());
    ::_exit(127);
  }
  ::close(outPipe[1]);
  ::close(errPipe[1]);
  outFd_ = outPipe[0];
  errFd_ = errPipe[0];
}

CliProcess::~CliProcess() {
  if (pid_ > 0) {
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
  }
  if (outFd_ >= 0) ::close(outFd_);
  if (errFd_ >= 0) ::close(errFd_);
}

bool CliProcess::pump(std::chrono::steady_clock::time_point deadline) {
  if (outFd_ < 0 && errFd_ < 0) return false;
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
  if (left.count() <= 0) return false;
  pollfd fds[2] = {{outFd_, POLLIN, 0}, {errFd_, POLLIN, 0}};
  const int ready = ::poll(fds, 2, static_cast<int>(std::min<long long>(left.count(), 100)));
  if (ready < 0 && errno != EINTR) throw std::runtime_error(std::string("poll: ") + std::strerror(errno));
  std::string* sinks[2] = {&result_.out, &result_.err};
  int* descriptors[2] = {&outFd_, &errFd_};
  for (int i = 0; i < 2; ++i) {
    if (*descriptors[i] < 0 || (fds[i].revents & (POLLIN | POLLHUP | POLLERR)) == 0) continue;
    char buffer[65536];
    const ssize_t n = ::read(*descriptors[i], buffer, sizeof buffer);
    if (n > 0) {
      sinks[i]->append(buffer, static_cast<std::size_t>(n));
    } else if (n == 0 || errno != EINTR) {
      ::close(*descriptors[i]);
      *descriptors[i] = -1;
    }
  }
  return true;
}

void CliProcess::send_signal(int signal) {
  if (pid_ > 0) ::kill(pid_, signal);
}

CliResult CliProcess::finish(std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (pump(deadline)) {
  }
  int status = 0;
  rusage usage{};
  pid_t done = ::wait4(pid_, &status, WNOHANG, &usage);
  while (done == 0 && std::chrono::steady_clock::now() < deadline) {
    ::usleep(10000);
    done = ::wait4(pid_, &status, WNOHANG, &usage);
  }
  if (done == 0) {
    result_.timedOut = true;
    ::kill(pid_, SIGKILL);
    ::wait4(pid_, &status, 0, &usage);
  }
  result_.peakKilobytes = usage.ru_maxrss;
  pid_ = -1;
  if (WIFEXITED(status)) result_.exitCode = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) result_.exitCode = 128 + WTERMSIG(status);
  return result_;
}

CliResult run_cli(const std::vector<std::string>& args, const std::filesystem::path& workingDirectory,
                  std::chrono::milliseconds timeout) {
  CliProcess process(args, workingDirectory);
  return process.finish(timeout);
}

}  // namespace lucidra::testing
