// The command line's conventions, as a user meets them: each command's own
// help, the version, quiet runs, malformed lines (exit 2 with the reason and
// a hint), files that cannot be opened named first, and values refused or
// noted.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli/cli_options.h"
#include "cli/console_front_end.h"
#include "cli_fixture.h"
#include "lucidra/version.h"

namespace lucidra::testing {
namespace {

using ConventionsTest = CliTest;

TEST_F(ConventionsTest, EveryCommandHasItsOwnHelp) {
  const CliResult overview = run({"--help"});
  ASSERT_EQ(overview.exitCode, 0);
  for (const std::string command : {"generate", "check", "import", "estimate"}) {
    SCOPED_TRACE(command);
    const CliResult asOption = run({command, "--help"});
    EXPECT_EQ(asOption.exitCode, 0) << asOption.err;
    EXPECT_EQ(asOption.err, "");
    EXPECT_EQ(asOption.out.rfind("Usage: lucidra-cli " + command + " ", 0), 0u) << asOption.out;
    // The same text however it is asked for, and wherever --help stands.
    EXPECT_EQ(run({"help", command}).out, asOption.out);
    EXPECT_EQ(run({command, "-h"}).out, asOption.out);
    EXPECT_EQ(run({command, "--rays", "5", "--help"}).out, asOption.out);
    // The overview names the command; its own help is the longer one.
    EXPECT_NE(overview.out.find(" lucidra-cli " + command + " "), std::string::npos) << overview.out;
    EXPECT_NE(overview.out.find("\n  " + command + " "), std::string::npos) << "listed under Commands";
  }
  // Options belong to their command's help, not to the overview.
  EXPECT_EQ(overview.out.find("--legacy-sampling"), std::string::npos);
  EXPECT_NE(run({"generate", "--help"}).out.find("--legacy-sampling"), std::string::npos);
  EXPECT_NE(run({"check", "--help"}).out.find("--tol SHARE"), std::string::npos);
  EXPECT_EQ(run({"help"}).out, overview.out);
  EXPECT_EQ(run({"-h"}).out, overview.out);
}

TEST_F(ConventionsTest, VersionHasThreeSpellings) {
  for (const std::string spelling : {"--version", "-V", "version"}) {
    const CliResult r = run({spelling});
    EXPECT_EQ(r.exitCode, 0) << spelling;
    EXPECT_EQ(r.out, "lucidra-cli (Lucidra LED) " LUCIDRA_VERSION "\n") << spelling;
  }
}

TEST_F(ConventionsTest, MalformedLinesExitTwoWithTheReasonAndWhereHelpIs) {
  dir.write("lucidra.cfg", "");
  struct Case {
    std::vector<std::string> args;
    std::string err;  // the whole of stderr
  };
  const auto usage = [](const std::string& reason, const std::string& command) {
    return "lucidra-cli: " + reason + "\nTry 'lucidra-cli " + (command.empty() ? "" : command + " ") + "--help'.\n";
  };
  const Case cases[] = {
      {{"generate", "--rasy", "5"},
       usage("unknown option '--rasy' for 'generate'; did you mean '--rays'?", "generate")},
      {{"generate", "--photometic", "a.ies"},
       usage("unknown option '--photometic' for 'generate'; did you mean '--photometric'?", "generate")},
      {{"generate", "--frobnicate"}, usage("unknown option '--frobnicate' for 'generate'", "generate")},
      {{"check", "ray.dat", "--tolerance", "0.1"},
       usage("unknown option '--tolerance' for 'check'; did you mean '--tol'?", "check")},
      {{"import", "a.ies", "--frce"}, usage("unknown option '--frce' for 'import'; did you mean '--force'?", "import")},
      {{"genrate"}, usage("unknown command 'genrate'; did you mean 'generate'?", "")},
      {{"frobnicate"},
       usage("unknown command 'frobnicate': use 'generate', 'check', 'import', 'estimate', 'help' or 'version'", "")},
      {{"help", "generat"}, usage("help takes one command name, not 'generat'; did you mean 'generate'?", "")},
      {{"version", "now"}, usage("version takes no arguments; 'now' is one", "")},
      {{"generate", "stray"},
       usage("unexpected argument 'stray': generate takes options only (a value belongs after its option)",
             "generate")},
      {{"estimate", "-n", "5", "stray"},
       usage("unexpected argument 'stray': estimate takes options only (a value belongs after its option)",
             "estimate")},
      {{"generate", "--photometric", "a.ies", "-L", "a.txt"},
       usage("--photometric and -L exclude each other: the photometric file's planes stand in for -L and -T",
             "generate")},
      {{"generate", "-T", "a.txt", "--photometric=a.ies"},
       usage("--photometric and -T exclude each other: the photometric file's planes stand in for -L and -T",
             "generate")},
      {{"generate", "-q", "--progress"}, usage("-q and --progress exclude each other: choose one", "generate")},
      {{"generate", "-nx"},
       usage("invalid value 'x' for --rays: expected a whole number from 1 to 1000000000", "generate")},
      {{"generate", "-q5"}, usage("option -q takes no value", "generate")},
      {{"generate", "--size-x", "0"},
       usage("invalid value '0' for --size-x: expected a size in mm greater than 0", "generate")},
      {{"generate", "--size-y=-1"},
       usage("invalid value '-1' for --size-y: expected a size in mm greater than 0", "generate")},
      // Names a run needs are part of the command line.
      {{"generate", "-T", "narrow.txt", "-o", "ray.dat"},
       usage("No longitudinal distribution file given: use --longitudinal FILE or a configuration file", "generate")},
      {{"generate", "-L", "lambertian.txt", "-T", "narrow.txt"},
       usage("No ray file given: use --output PATH or a configuration file", "generate")},
  };
  for (const Case& c : cases) {
    const CliResult r = run(c.args);
    EXPECT_EQ(r.exitCode, 2) << ::testing::PrintToString(c.args);
    EXPECT_EQ(r.err, c.err) << ::testing::PrintToString(c.args);
    EXPECT_EQ(r.out, "") << ::testing::PrintToString(c.args);
    EXPECT_EQ(bytes("ray.dat"), kPreviousRayFile) << ::testing::PrintToString(c.args);
  }
}

TEST_F(ConventionsTest, QuietPrintsNothingOnSuccessAndEverythingOnFailure) {
  // Without -q a run reports, with the unit and six decimals.
  const CliResult loud = run(generate());
  EXPECT_EQ(loud.out,
            " Source File Created Succesfully!!! \ntotal flux: 3500.000000 W in 1001 rays (equal flux per ray)\n");

  // Enough rays for the check below to judge its bins.
  dir.write("ray.dat", kPreviousRayFile);
  const CliResult generated = run(generate({"-q", "-n", "200000"}));
  EXPECT_EQ(generated.exitCode, 0) << generated.err;
  EXPECT_EQ(generated.out, "");
  EXPECT_EQ(generated.err, "");
  EXPECT_NE(bytes("ray.dat"), kPreviousRayFile) << "written";

  const std::vector<std::string> law = {"--angular", "uniform", "--na", "1", "--decimal-separator", "."};
  std::vector<std::string> passing = {"check", "ray.dat", "-q"};
  passing.insert(passing.end(), law.begin(), law.end());
  const CliResult checked = run(passing);
  EXPECT_EQ(checked.exitCode, 0) << checked.out << checked.err;
  EXPECT_EQ(checked.out + checked.err, "");
  // A failing check shows its report even when quiet.
  const CliResult failing = run({"check", "ray.dat", "-q", "--angular", "lambertian", "--na", "0.2"});
  EXPECT_EQ(failing.exitCode, 6);
  EXPECT_NE(failing.out.find("verdict: FAIL"), std::string::npos) << failing.out;

  // A failing generate still says why.
  const CliResult missing = run(generate({"-q", "-L", "nosuch.txt"}));
  EXPECT_EQ(missing.exitCode, 1);
  EXPECT_EQ(missing.err, "lucidra-cli: Cannot open nosuch.txt: No such file or directory\n");
}

TEST_F(ConventionsTest, AFileThatCannotBeOpenedIsNamedBeforeAnythingElse) {
  const struct {
    std::vector<std::string> args;
    std::string err;
  } cases[] = {
      // Without -L/-T the law would be wrong too: the missing file comes first.
      {{"check", "nosuch.dat"}, "lucidra-cli: Cannot open nosuch.dat: No such file or directory\n"},
      {{"check", "ray.dat", "-L", "nosuch.txt", "-T", "narrow.txt"},
       "lucidra-cli: Cannot open nosuch.txt: No such file or directory\n"},
      {{"generate", "--photometric", "nosuch.ies", "-o", "ray.dat"},
       "lucidra-cli: Cannot open nosuch.ies: No such file or directory\n"},
      {{"import", "nosuch.ies"}, "lucidra-cli: Cannot open nosuch.ies: No such file or directory\n"},
      {{"generate", "-c", "nosuch.cfg"}, "lucidra-cli: Cannot open nosuch.cfg: No such file or directory\n"},
      // A distribution table is neither photometric format, whatever its name.
      {{"import", "narrow.txt"},
       "lucidra-cli: narrow.txt is not an IES or EULUMDAT file: it has no TILT= line, and its second line is not a "
       "EULUMDAT type indicator (0 to 3)\n"},
  };
  for (const auto& c : cases) {
    const CliResult r = run(c.args);
    EXPECT_EQ(r.exitCode, 1) << c.args[1];
    EXPECT_EQ(r.err, c.err) << c.args[1];
    EXPECT_EQ(bytes("ray.dat"), kPreviousRayFile) << c.args[1];
  }
}

TEST_F(ConventionsTest, ALambertianLedNeedsNoTablesAndItsRaysFollowTheLaw) {
  const CliResult r = run({"generate", "-q", "--angular", "lambertian", "--na", "0.5", "-n", "200000", "-o", "ray.dat",
                           "--clock-seed", "1"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const CliResult own = run({"check", "ray.dat", "--angular", "lambertian", "--na", "0.5"});
  EXPECT_EQ(own.exitCode, 0) << own.out << own.err;
  EXPECT_NE(own.out.find("rays: 200001\n"), std::string::npos) << own.out;
  const CliResult other = run({"check", "ray.dat", "--angular", "uniform", "--na", "0.5"});
  EXPECT_EQ(other.exitCode, 6) << "a uniform law fails Lambertian rays";
  // The laws made of the tables still need them, and say so as a command-line fault.
  EXPECT_EQ(run({"generate", "--angular", "gaussian", "-o", "ray.dat"}).exitCode, 2);
  EXPECT_EQ(run({"generate", "--angular", "lambertian", "--legacy-sampling", "-o", "ray.dat"}).exitCode, 2);
}

TEST_F(ConventionsTest, AClampedConfigurationValueIsReported) {
  // Lines 5 (rays), 6 (flux), 9 (extent) and 11 (NA) beyond their ranges.
  dir.write("lucidra.cfg",
            "trace.txt\r\nray.dat\r\nlambertian.txt\r\nnarrow.txt\r\n0\r\n60000\r\n\r\n\r\n400\r\n\r\n1.5\r\n\r\n0\r\n"
            "2\r\n2\r\n");
  const std::vector<std::string> args = {"generate",     "-c", "lucidra.cfg",         "--angular", "uniform",
                                         "--clock-seed", "1",  "--decimal-separator", "."};
  const CliResult r = run(args);
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.err,
            "lucidra-cli: note: Configuration file lucidra.cfg line 5: ray count 0 is outside 1 to 1000000000; 1 is "
            "used\n"
            "lucidra-cli: note: Configuration file lucidra.cfg line 6: source flux 60000 is outside 5 to 50000; 50000 "
            "is used\n"
            "lucidra-cli: note: Configuration file lucidra.cfg line 9: extent 400 is outside 0 to 360; 360 is used\n"
            "lucidra-cli: note: Configuration file lucidra.cfg line 11: NA 1.5 is outside 0 to 1; 1 is used\n");
  EXPECT_NE(r.out.find("in 2 rays"), std::string::npos) << r.out;
  // An option that replaces a value silences its note; -q silences all.
  std::vector<std::string> replaced = args;
  replaced.insert(replaced.end(), {"-n", "10", "--source-flux", "7", "--extent", "90", "--na", "0.5"});
  EXPECT_EQ(run(replaced).err, "");
  replaced = args;
  replaced.push_back("-q");
  const CliResult quiet = run(replaced);
  EXPECT_EQ(quiet.exitCode, 0);
  EXPECT_EQ(quiet.err + quiet.out, "");
}

TEST(CliOptions, ShortOptionsTakeAttachedValues) {
  const cli::CliOptions o =
      cli::parse_command_line({"generate", "-n5", "-oout.dat", "-L=a.txt", "-Tb.txt", "-fzemax-binary", "-q"});
  EXPECT_EQ(o.rayCount, 5);
  EXPECT_EQ(o.outputPath, "out.dat");
  EXPECT_EQ(o.longitudinalFile, "a.txt");
  EXPECT_EQ(o.transversalFile, "b.txt");
  EXPECT_EQ(o.format, OutputFormat::ZemaxBinary);
  EXPECT_TRUE(o.quiet);
  // After --, a word is a file name even when it starts with a dash.
  EXPECT_EQ(cli::parse_command_line({"check", "--", "-odd.dat"}).checkPath, "-odd.dat");
}

TEST(CliFigures, FixedNumbersAndTheProgressRate) {
  EXPECT_EQ(cli::fixed_number(15), "15.000000");
  EXPECT_EQ(cli::fixed_number(9544099.6655705161), "9544099.665571");
  EXPECT_EQ(cli::fixed_number(58.4596815), "58.459682");
  EXPECT_EQ(cli::fixed_number(1e-7), "0.000000");

  const struct {
    std::int64_t rays;
    double seconds;
    std::int64_t gauge;
    std::string text;
  } rates[] = {
      {2000000, 1.0, 500, "2.00 M rays/s, 0:01 left"},
      {1500, 1.0, 100, "1.5 k rays/s, 0:09 left"},
      {60, 60.0, 10, "1 rays/s, 1:39:00 left"},
      {1000000, 1800.0, 250, "556 rays/s, 1:30:00 left"},
      {0, 1.0, 0, ""},   // nothing done yet: no rate to show
      {10, 0.0, 5, ""},  // no time passed
  };
  for (const auto& r : rates) {
    EXPECT_EQ(cli::ConsoleObserver::rate_text(r.rays, r.seconds, r.gauge), r.text) << r.rays << " " << r.seconds;
  }
}

TEST(CliOptions, DidYouMeanPicksTheClosestName) {
  const std::vector<std::string_view> names = {"--rays", "--na", "--size-x", "--size-y", "--out-dir"};
  EXPECT_EQ(cli::did_you_mean("--rasy", names), "; did you mean '--rays'?");
  EXPECT_EQ(cli::did_you_mean("--size-z", names), "; did you mean '--size-x'?");
  EXPECT_EQ(cli::did_you_mean("--out", names), "; did you mean '--out-dir'?") << "the only name it begins";
  EXPECT_EQ(cli::did_you_mean("--siz", names), "") << "begins two names";
  EXPECT_EQ(cli::did_you_mean("--frobnicate", names), "");
}

}  // namespace
}  // namespace lucidra::testing
