// Nothing lost, nothing left behind: the real lucidra-cli aimed at its own
// inputs, at redirections, at FIFOs whose reader leaves, at folders without
// room for a temporary file, and stopped by signals in quick succession.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <regex>
#include <string>
#include <thread>

#include "cli_fixture.h"

namespace lucidra::testing {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

std::vector<std::string> listing(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

std::string quoted(const std::string& text) {
  std::string out = "'";
  for (char c : text) {
    if (c == '\'') {
      out.append("'\\''");
    } else {
      out.push_back(c);
    }
  }
  out.push_back('\'');
  return out;
}

// Runs a shell line in `folder`; returns the exit status.
int shell(const fs::path& folder, const std::string& line) {
  const int status = std::system(("cd " + quoted(folder.string()) + " && " + line).c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

std::string command_line(const std::string& program, const std::vector<std::string>& args) {
  std::string line = quoted(program);
  for (const std::string& a : args) {
    line.push_back(' ');
    line += quoted(a);
  }
  return line;
}

TEST_F(CliTest, StandardOutputByNameAppendsToTheRedirection) {
  dir.write("build.log", "build started\n");
  ASSERT_EQ(run(generate({"-o", "expected.dat"})).exitCode, 0);
  const std::vector<std::string> args = generate({"-o", "/dev/stdout"});
  EXPECT_EQ(shell(dir.path(), command_line(LUCIDRA_CLI_PATH, args) + " >> build.log 2>err.txt"), 0);
  EXPECT_EQ(bytes("build.log"), "build started\n" + bytes("expected.dat")) << "the log is kept and the rays follow it";
  // With the rays on standard output, the notices go to standard error.
  EXPECT_EQ(bytes("err.txt").rfind(" Source File Created Succesfully!!! \n", 0), 0u) << bytes("err.txt");
}

TEST_F(CliTest, NoOutputOverAnInput) {
  const std::string program = (dir.path() / "lucidra-cli-copy").string();
  fs::copy_file(LUCIDRA_CLI_PATH, program);
  dir.write("settings.cfg",
            "trace.txt\r\nray.dat\r\nlambertian.txt\r\nnarrow."
            "txt\r\n1000\r\n3500\r\n\r\n\r\n360\r\n\r\n1\r\n\r\n0\r\n2\r\n2\r\n");
  fs::create_symlink("narrow.txt", dir.path() / "link-to-narrow.txt");
  dir.write("lamp.ies",
            "IESNA:LM-63-2002\r\nTILT=NONE\r\n1 1000 1 3 3 1 2 0 0 0\r\n1 1 5\r\n0 22.5 90\r\n0 90 180\r\n"
            "100 60 0\r\n80 40 0\r\n100 60 0\r\n");
  const std::string lamp = bytes("lamp.ies");
  fs::create_symlink("lamp.ies", dir.path() / "lamp_C0-C180.txt");
  ASSERT_EQ(run(generate({"-o", "checked.dat"})).exitCode, 0);
  const std::string checked = bytes("checked.dat");
  const std::vector<std::string> law = {"--angular", "uniform", "--na", "1"};
  const auto check = [&](const std::vector<std::string>& extra) {
    std::vector<std::string> args = {"check", "checked.dat"};
    args.insert(args.end(), law.begin(), law.end());
    args.insert(args.end(), extra.begin(), extra.end());
    return args;
  };
  struct Case {
    const char* what;
    std::vector<std::string> args;
    std::string err;
  };
  const Case cases[] = {
      {"ray file over a distribution file", generate({"-o", "lambertian.txt"}),
       "The ray file lambertian.txt is the distribution file lambertian.txt"},
      {"ray file over a link to one", generate({"-o", "link-to-narrow.txt"}),
       "The ray file link-to-narrow.txt is the distribution file narrow.txt"},
      {"ray file over the settings file", generate({"--config", "settings.cfg", "-o", "settings.cfg"}),
       "The ray file settings.cfg is the settings file settings.cfg"},
      {"ray file over the photometric file",
       {"generate", "--quiet", "-n", "100", "--photometric", "lamp.ies", "-o", "lamp.ies"},
       "The ray file lamp.ies is the photometric file lamp.ies"},
      {"CSV over the ray file checked", check({"--csv", "checked.dat"}),
       "The CSV file checked.dat is the ray file checked.dat"},
      {"plot over the ray file checked", check({"--plot", "checked.dat"}),
       "The plot checked.dat is the ray file checked.dat"},
      {"plot over a distribution file of the law",
       {"check", "checked.dat", "-L", "lambertian.txt", "-T", "narrow.txt", "--plot", "narrow.txt"},
       "The plot narrow.txt is the distribution file narrow.txt"},
      {"imported table over the photometric file",
       {"import", "lamp.ies", "--force"},
       "The distribution file lamp_C0-C180.txt is the photometric file lamp.ies"},
  };
  for (const Case& c : cases) {
    const auto before = listing(dir.path());
    const CliResult r = run(c.args);
    EXPECT_EQ(r.exitCode, 1) << c.what;
    EXPECT_EQ(r.err, "lucidra-cli: " + c.err + ", which it would overwrite; choose another output name\n") << c.what;
    EXPECT_EQ(listing(dir.path()), before) << c.what;
  }
  EXPECT_EQ(bytes("lambertian.txt"), kLambertianText);
  EXPECT_EQ(bytes("narrow.txt"), kNarrowText);
  EXPECT_EQ(bytes("lamp.ies"), lamp);
  EXPECT_EQ(bytes("checked.dat"), checked);

  // The program itself, run from a copy so that a failing guard breaks
  // nothing but the copy.
  const auto size = fs::file_size(program);
  EXPECT_EQ(shell(dir.path(), command_line(program, generate({"-o", program})) + " 2>err.txt"), 1);
  EXPECT_EQ(bytes("err.txt"), "lucidra-cli: The ray file " + program + " is the program " + program +
                                  ", which it would overwrite; choose another output name\n");
  EXPECT_EQ(fs::file_size(program), size);
}

TEST_F(CliTest, ForcedImportThatCannotWriteKeepsThePreviousTables) {
  dir.write("lamp.ies",
            "IESNA:LM-63-2002\r\nTILT=NONE\r\n1 1000 1 3 3 1 2 0 0 0\r\n1 1 5\r\n0 22.5 90\r\n0 90 180\r\n"
            "100 60 0\r\n80 40 0\r\n100 60 0\r\n");
  dir.write("lamp_C0-C180.txt", "previous C0-C180 table");
  fs::create_directory(dir.path() / "lamp_C90-C270.txt");
  dir.write("lamp_C90-C270.txt/notes", "the user's folder");
  const auto before = listing(dir.path());
  const CliResult r = run({"import", "lamp.ies", "--force"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.err, "lucidra-cli: Cannot create lamp_C90-C270.txt: Is a directory\n");
  EXPECT_EQ(bytes("lamp_C0-C180.txt"), "previous C0-C180 table");
  EXPECT_EQ(bytes("lamp_C90-C270.txt/notes"), "the user's folder");
  EXPECT_EQ(listing(dir.path()), before);
}

TEST_F(CliTest, FifoWhoseReaderLeavesEndsTheRun) {
  ASSERT_EQ(::mkfifo((dir.path() / "fifo").c_str(), 0600), 0);
  std::thread reader([&] { shell(dir.path(), "head -c 100000 fifo > /dev/null"); });
  const CliResult r = run_cli(generate({"-n", "100000000", "-o", "fifo"}), dir.path(), 60s);
  reader.join();
  ASSERT_FALSE(r.timedOut) << "the run kept writing to a FIFO nobody reads";
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.err, "lucidra-cli: Cannot write ray file fifo: Broken pipe\nThe ray file fifo is incomplete.\n");
  EXPECT_EQ(r.out, "");
}

TEST_F(CliTest, FolderWithoutRoomForATemporaryFileIsRefused) {
  // Permission bits do not stop root: the run is made as "nobody".
  if (::geteuid() == 0 && std::system("command -v setpriv > /dev/null") != 0) GTEST_SKIP() << "no setpriv";
  fs::permissions(dir.path(), fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                  fs::perms::others_read | fs::perms::others_exec);
  fs::permissions(dir.path() / "ray.dat", fs::perms::all);
  for (const auto& p : {fs::path("lambertian.txt"), fs::path("narrow.txt")}) {
    fs::permissions(dir.path() / p, fs::perms::others_read, fs::perm_options::add);
  }
  // The folder's parents must let "nobody" through.
  for (fs::path p = dir.path().parent_path(); p != p.root_path(); p = p.parent_path()) {
    if ((fs::status(p).permissions() & fs::perms::others_exec) == fs::perms::none) GTEST_SKIP() << p;
  }
  const std::string as = ::geteuid() == 0 ? "setpriv --reuid=65534 --regid=65534 --clear-groups " : "";
  const auto before = listing(dir.path());
  // Writable file, folder that forbids new files.
  ::chmod(dir.path().c_str(), 0555);
  const int status =
      shell(dir.path(), as + command_line(LUCIDRA_CLI_PATH, generate()) + " 2>/proc/self/fd/1 | cat > /dev/null");
  (void)status;
  const std::string err = [&] {
    const int code = shell(dir.path(), as + command_line(LUCIDRA_CLI_PATH, generate()) + " > /dev/null 2> /dev/null");
    return std::to_string(code);
  }();
  ::chmod(dir.path().c_str(), 0755);
  EXPECT_EQ(err, "1") << "refused";
  EXPECT_EQ(bytes("ray.dat"), kPreviousRayFile) << "not written in place";
  EXPECT_EQ(listing(dir.path()), before);
  const CliResult r = [&] {
    ::chmod(dir.path().c_str(), 0555);
    dir.write("../" + dir.path().filename().string() + ".err", "");
    const int code = shell(
        dir.path(), as + command_line(LUCIDRA_CLI_PATH, generate()) + " 2> " + quoted(dir.path().string() + ".err"));
    ::chmod(dir.path().c_str(), 0755);
    CliResult out;
    out.exitCode = code;
    out.err = file_bytes(dir.path().string() + ".err");
    fs::remove(dir.path().string() + ".err");
    return out;
  }();
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.err,
            "lucidra-cli: Cannot create ray file ray.dat: no temporary file can be created in its folder (Permission "
            "denied), and it is not written in place, where a failed run would lose it\n");
}

TEST_F(CliTest, ValuesBeyondSinglePrecisionAreRefusedNamingTheSetting) {
  dir.write("previous.zbin", kPreviousRayFile);
  const struct {
    std::vector<std::string> options;
    std::string err;
  } cases[] = {
      {{"-f", "zemax-binary", "--size-x", "1e39"},
       "The size X 1e+39 mm does not fit a Zemax binary ray file, whose numbers are single precision (at most 3.4e38)"},
      {{"-f", "tm25", "--size-y", "4e38"},
       "The size Y 4e+38 mm does not fit a TM-25 ray file, whose numbers are single precision (at most 3.4e38)"},
  };
  for (const auto& c : cases) {
    std::vector<std::string> options = c.options;
    options.insert(options.end(), {"-o", "previous.zbin"});
    const CliResult r = run(generate(options));
    EXPECT_EQ(r.exitCode, 1) << c.err;
    EXPECT_EQ(r.err, "lucidra-cli: " + c.err + "\n");
    EXPECT_EQ(bytes("previous.zbin"), kPreviousRayFile);
  }
  // The text format writes any finite size.
  EXPECT_EQ(run(generate({"--size-x", "1e39"})).exitCode, 0);
}

// The stop races a second signal, as `timeout` or a batch scheduler sends
// one to the whole process group: 20 tries of each, in child processes.
TEST_F(CliTest, SignalsInQuickSuccessionLeaveTheFolderAsItWas) {
  const struct {
    std::vector<int> signals;
  } cases[] = {{{SIGINT, SIGINT}}, {{SIGTERM, SIGINT}}, {{SIGHUP}}, {{SIGTERM, SIGTERM, SIGTERM}}};
  const auto before = listing(dir.path());
  for (const auto& c : cases) {
    for (int attempt = 0; attempt < 20; ++attempt) {
      CliProcess process(generate({"-n", "1000000000", "--progress", "-o", "ray.dat"}), dir.path());
      ASSERT_TRUE(process.wait_for_stderr(
          [](const std::string& err) { return err.find("Writing to file...") != std::string::npos; }, 30s));
      for (const int s : c.signals) {
        process.send_signal(s);
        std::this_thread::sleep_for(1ms);
      }
      const CliResult r = process.finish(60s);
      ASSERT_FALSE(r.timedOut) << "signal " << c.signals.front() << ", try " << attempt;
      // Signals pending together are taken lowest number first: the status
      // is 128 + one of those sent.
      EXPECT_TRUE(std::any_of(c.signals.begin(), c.signals.end(), [&](int s) { return r.exitCode == 128 + s; }))
          << "exit " << r.exitCode << ", try " << attempt;
      const std::string tail = "lucidra-cli: Generation interrupted\nThe ray file ray.dat is unchanged.\n";
      ASSERT_GE(r.err.size(), tail.size()) << r.err;
      EXPECT_EQ(r.err.substr(r.err.size() - tail.size()), tail) << "try " << attempt;
      ASSERT_EQ(listing(dir.path()), before) << "signal " << c.signals.front() << ", try " << attempt;
      ASSERT_EQ(bytes("ray.dat"), kPreviousRayFile);
    }
  }
}

TEST_F(CliTest, InterruptedPipeRunCountsExactlyTheRaysSent) {
  for (int attempt = 0; attempt < 3; ++attempt) {
    CliProcess process(generate({"-n", "1000000000", "--progress", "-o", "-"}), dir.path());
    ASSERT_TRUE(process.wait_for_stderr(
        [](const std::string& err) { return err.find("Writing to file...") != std::string::npos; }, 30s));
    std::this_thread::sleep_for(50ms);
    process.send_signal(SIGINT);
    const CliResult r = process.finish(60s);
    ASSERT_FALSE(r.timedOut);
    EXPECT_EQ(r.exitCode, 130);
    std::smatch m;
    ASSERT_TRUE(std::regex_search(r.err, m, std::regex(R"(incomplete: (\d+) of 1000000001 rays were written)")))
        << r.err;
    const auto lines = std::count(r.out.begin(), r.out.end(), '\n');
    EXPECT_EQ(std::stoll(m[1].str()), lines - 1) << "rays reported against ray lines received (after the header)";
    EXPECT_EQ(r.out.back(), '\n') << "the last ray is whole";
  }
}

}  // namespace
}  // namespace lucidra::testing
