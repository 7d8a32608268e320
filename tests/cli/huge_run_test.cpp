// Runs of a billion rays: they start at once, show progress, stop promptly on
// Ctrl-C leaving the previous file as it was, and their memory does not grow
// with the number of rays.

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <string>

#include "cli_fixture.h"

namespace lucidra::testing {
namespace {

using namespace std::chrono_literals;

TEST_F(CliTest, CtrlCStopsABillionRayRunAndKeepsThePreviousFile) {
  const struct {
    std::string phase;
    std::vector<std::string> options;
    std::string stopMessage;
  } cases[] = {
      {"Writing to file...", {}, "Generation interrupted"},
      {"Calculation Flux...", {"--weighted"}, "Generation interrupted during the flux calculation"},
      {"Calculation Flux...",
       {"--legacy-sampling", "--consider-flux"},
       "Generation interrupted during the flux calculation"},
  };
  for (const auto& c : cases) {
    dir.write("big.dat", kPreviousRayFile);
    std::vector<std::string> args = generate({"-n", "1000000000", "--progress", "-o", "big.dat"});
    args.insert(args.end(), c.options.begin(), c.options.end());
    CliProcess process(args, dir.path());
    // The progress bar shows the phase at once: nothing is prepared per ray.
    const bool started =
        process.wait_for_stderr([&](const std::string& err) { return err.find(c.phase) != std::string::npos; }, 30s);
    ASSERT_TRUE(started) << c.phase << " never shown";
    // The bar appears as the phase starts, not after its first percent.
    EXPECT_NE(process.err_so_far().find("  0% " + c.phase), std::string::npos) << process.err_so_far();
    if (c.phase == "Writing to file...") {
      const bool moving =
          process.wait_for_stderr([](const std::string& err) { return err.find("%") != std::string::npos; }, 30s);
      EXPECT_TRUE(moving) << "no percentage shown";
    }
    process.send_signal(SIGINT);
    const CliResult r = process.finish(60s);
    ASSERT_FALSE(r.timedOut) << "Ctrl-C did not stop the run";
    EXPECT_EQ(r.exitCode, 130);
    EXPECT_EQ(r.out, "") << "an interrupted run reports no success";

    // The bar ends with a line break, then the message; the previous file
    // is as it was and the file the run was writing is gone.
    const std::string tail = "\nlucidra-cli: " + c.stopMessage + "\nThe ray file big.dat is unchanged.\n";
    ASSERT_GE(r.err.size(), tail.size());
    EXPECT_EQ(r.err.substr(r.err.size() - tail.size()), tail)
        << r.err.substr(r.err.size() > 400 ? r.err.size() - 400 : 0);
    EXPECT_EQ(bytes("big.dat"), kPreviousRayFile);
    std::size_t files = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir.path())) ++files;
    EXPECT_EQ(files, 4u) << "two distribution files, ray.dat and big.dat: no temporary file";
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
