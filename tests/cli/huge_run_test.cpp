// Runs of a billion rays: they start at once, show progress, stop promptly on
// Ctrl-C with a closed file that holds exactly the rays they say, and their
// memory does not grow with the number of rays.

#include <gtest/gtest.h>

#include <csignal>
#include <string>

#include "cli_fixture.h"

namespace lucidra::testing {
namespace {

using namespace std::chrono_literals;

std::size_t count_lines(const std::string& bytes) {
  std::size_t lines = 0;
  for (std::size_t at = bytes.find("\r\n"); at != std::string::npos; at = bytes.find("\r\n", at + 2)) ++lines;
  return lines;
}

TEST_F(CliTest, CtrlCStopsABillionRayRunAndClosesItsFile) {
  const struct {
    std::string phase;
    std::vector<std::string> options;
    std::string stopMessage;
  } cases[] = {
      {"Writing to file...", {}, "Generation interrupted"},
      {"Calculation Flux...", {"--consider-flux"}, "Generation interrupted during the flux calculation"},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args = generate({"-n", "1000000000", "--progress", "-o", "big.dat"});
    args.insert(args.end(), c.options.begin(), c.options.end());
    CliProcess process(args, dir.path());
    // The progress bar shows the phase at once: nothing is prepared per ray.
    const bool started = process.wait_for_stderr(
        [&](const std::string& err) { return err.find(c.phase) != std::string::npos; }, 30s);
    ASSERT_TRUE(started) << c.phase << " never shown";
    // The bar appears as the phase starts, not after its first percent.
    EXPECT_NE(process.err_so_far().find("  0% " + c.phase), std::string::npos) << process.err_so_far();
    if (c.phase == "Writing to file...") {
      const bool moving = process.wait_for_stderr(
          [](const std::string& err) { return err.find("%") != std::string::npos; }, 30s);
      EXPECT_TRUE(moving) << "no percentage shown";
    }
    process.send_signal(SIGINT);
    const CliResult r = process.finish(60s);
    ASSERT_FALSE(r.timedOut) << "Ctrl-C did not stop the run";
    EXPECT_EQ(r.exitCode, 130);
    EXPECT_EQ(r.out, "") << "an interrupted run reports no success";

    // The bar ends with a line break, then the message with the ray count.
    const std::string head = "\nlucidra-cli: " + c.stopMessage + "\nThe ray file big.dat is incomplete: ";
    const std::string tail = " of 1000000001 rays were written.\n";
    const std::size_t at = r.err.rfind(head);
    const std::string shown = r.err.substr(r.err.size() > 400 ? r.err.size() - 400 : 0);
    ASSERT_NE(at, std::string::npos) << shown;
    const std::string count = r.err.substr(at + head.size());
    ASSERT_GT(count.size(), tail.size()) << shown;
    ASSERT_EQ(count.substr(count.size() - tail.size()), tail) << shown;
    const std::string digits = count.substr(0, count.size() - tail.size());
    ASSERT_TRUE(!digits.empty() && digits.find_first_not_of("0123456789") == std::string::npos) << shown;
    const std::size_t written = std::stoull(digits);
    EXPECT_LT(written, 1000000001u);
    if (c.phase == "Calculation Flux...") {
      EXPECT_EQ(written, 0u);
    }

    // Closed: everything the run counted is in the file, ending with a whole line.
    const std::string file = bytes("big.dat");
    ASSERT_GE(file.size(), 2u);
    EXPECT_EQ(file.rfind("1000000000 4 \r\n", 0), 0u);
    EXPECT_EQ(file.substr(file.size() - 2), "\r\n");
    EXPECT_EQ(count_lines(file), written + 1) << "header plus the rays the message counts";
  }
}

TEST_F(CliTest, PeakMemoryDoesNotGrowWithTheNumberOfRays) {
  // The run keeps no per-ray data: a hundred times more rays may not need
  // more than a few megabytes more (buffers, threads).
  const CliResult small = run(generate({"-n", "100000", "-o", "/dev/null"}));
  const CliResult large = run(generate({"-n", "10000000", "-o", "/dev/null"}));
  ASSERT_EQ(small.exitCode, 0) << small.err;
  ASSERT_EQ(large.exitCode, 0) << large.err;
  EXPECT_GT(small.peakKilobytes, 0);
  EXPECT_LT(large.peakKilobytes, small.peakKilobytes + 16 * 1024)
      << "peak resident memory " << small.peakKilobytes << " kB for 10^5 rays, " << large.peakKilobytes
      << " kB for 10^7";
}

}  // namespace
}  // namespace lucidra::testing
