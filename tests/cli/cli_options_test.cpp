#include "cli/cli_options.h"

#include <gtest/gtest.h>

#include "base/user_error.h"
#include "support/temp_dir.h"

namespace lucidra::cli {
namespace {

CliOptions parse(std::vector<std::string> args) { return parse_command_line(args); }

TEST(CliOptions, ValuesFollowAsNextArgumentOrAfterEquals) {
  const CliOptions a = parse({"generate",
                              "--size-x",
                              "2",
                              "--size-y=0.5",
                              "-n",
                              "12",
                              "--rays=13",
                              "-f",
                              "tracepro",
                              "--na=0.25",
                              "--extent",
                              "90",
                              "--balance=0",
                              "--source-flux",
                              "5",
                              "--threads=3",
                              "--arc-margins",
                              "10,20",
                              "--clock-seed",
                              "-7",
                              "-o=out.dat"});
  EXPECT_EQ(a.command, Command::Generate);
  EXPECT_EQ(a.sizeX, "2");
  EXPECT_EQ(a.sizeY, "0.5");
  EXPECT_EQ(a.rayCount, 13);
  EXPECT_EQ(a.format, OutputFormat::TracePro);
  EXPECT_EQ(a.numericalAperture, "0.25");
  EXPECT_EQ(a.extentAboutZ, 90);
  EXPECT_EQ(a.balance, 0);
  EXPECT_EQ(a.sourceFlux, 5);
  EXPECT_EQ(a.threads, 3u);
  EXPECT_EQ(a.arcMarginADeg, 10);
  EXPECT_EQ(a.arcMarginBDeg, 20);
  EXPECT_EQ(a.clockSeed, -7);
  EXPECT_EQ(a.outputPath, "out.dat");
  // estimate takes the format too: a binary file's size is not the text's.
  EXPECT_EQ(parse({"estimate", "--rays", "5", "-f", "tm25"}).format, OutputFormat::Tm25);
}

TEST(CliOptions, BadValuesNameTheOption) {
  struct Case {
    std::vector<std::string> args;
    std::string message;
  };
  const Case cases[] = {
      {{"generate", "-n", "0"}, "invalid value '0' for --rays: expected a whole number from 1 to 1000000000"},
      {{"generate", "--rays", "1000000001"}, "invalid value '1000000001' for --rays"},
      {{"generate", "--rays", "12abc"}, "invalid value '12abc' for --rays"},
      {{"generate", "--source-flux", "0"}, "invalid value '0' for --source-flux"},
      {{"generate", "--source-flux", "-0.35"}, "invalid value '-0.35' for --source-flux"},
      {{"generate", "--flux-unit", "cd"}, "invalid value 'cd' for --flux-unit"},
      {{"generate", "--weighted", "--legacy-sampling"}, "--weighted and --legacy-sampling exclude each other"},
      {{"generate", "--legacy-sampling", "--flux-unit", "lm"}, "--flux-unit lm does not apply to --legacy-sampling"},
      {{"generate", "--flip"}, "--flip turns a photometric solid over: it needs --photometric FILE"},
      {{"generate", "--na", "1.5"}, "invalid value '1.5' for --na: expected a number from 0 to 1"},
      {{"generate", "--na", "0,5"}, "invalid value '0,5' for --na"},
      {{"generate", "--na", "nan"}, "invalid value 'nan' for --na"},
      {{"generate", "--size-x", "inf"}, "invalid value 'inf' for --size-x"},
      {{"generate", "--size-x", "1e999"}, "invalid value '1e999' for --size-x"},
      {{"generate", "--extent", "361"}, "invalid value '361' for --extent"},
      {{"generate", "--balance", "101"}, "invalid value '101' for --balance"},
      {{"generate", "--format", "asap2"}, "invalid value 'asap2' for --format"},
      {{"estimate", "--rays", "5", "-f", "text"}, "invalid value 'text' for --format"},
      {{"generate", "--shape", "round"}, "invalid value 'round' for --shape"},
      {{"generate", "--angular", "cosine"}, "invalid value 'cosine' for --angular"},
      {{"generate", "--algorithm", "halton"}, "invalid value 'halton' for --algorithm"},
      {{"generate", "--arc-margins", "10"}, "invalid value '10' for --arc-margins"},
      {{"generate", "--arc-margins", "100,90"}, "invalid value '100,90' for --arc-margins"},
      {{"generate", "--decimal-separator", ";"}, "invalid value ';' for --decimal-separator"},
      {{"generate", "--output", ""}, "invalid value '' for --output"},
      {{"generate", "--rays"}, "option --rays needs a value"},
      {{"generate", "--square=yes"}, "option --square takes no value"},
      {{"generate", "--frobnicate"}, "unknown option '--frobnicate'"},
      {{"frobnicate"}, "unknown command 'frobnicate'"},
      {{}, "missing command"},
      {{"estimate"}, "estimate needs --rays N"},
      {{"estimate", "--rays", "5", "--arc"}, "unknown option '--arc' for 'estimate'"},
  };
  for (const Case& c : cases) {
    try {
      parse(c.args);
      ADD_FAILURE() << "accepted: " << testing::PrintToString(c.args);
    } catch (const UsageError& e) {
      EXPECT_EQ(std::string(e.what()).rfind(c.message, 0), 0u) << e.what();
    }
  }
}

TEST(CliOptions, ConfigurationFileGivesStartValuesAndOptionsWin) {
  TempDir dir;
  const std::string cfg =
      dir.write("lucidra.cfg",
                "trace.txt\r\nzemax.dat\r\nL.txt\r\nT.txt\r\n500\r\n40\r\n\r\n\r\n400\r\n\r\n0,5\r\n\r\n0\r\n"
                "0,25\r\n2\r\n");
  const GenerationSettings fromConfig =
      resolve_settings(parse({"generate", "-c", cfg, "--angular", "lambertian"}), ',');
  EXPECT_EQ(fromConfig.outputPath, "zemax.dat");
  EXPECT_EQ(fromConfig.longitudinalFile, "L.txt");
  EXPECT_EQ(fromConfig.transversalFile, "T.txt");
  EXPECT_EQ(fromConfig.rayCount, 500);
  EXPECT_EQ(fromConfig.sourceFlux, 40);
  EXPECT_EQ(fromConfig.extentAboutZ, 360) << "clamped";
  EXPECT_EQ(fromConfig.numericalAperture, 0.5) << "read with the configuration's separator";
  EXPECT_EQ(fromConfig.sizeYmm, 0.25);
  EXPECT_EQ(fromConfig.sizeXmm, 2);
  EXPECT_EQ(fromConfig.fileDecimalSeparator, ',');

  const GenerationSettings tracePro =
      resolve_settings(parse({"generate", "--config=" + cfg, "-f", "tracepro", "-n", "7", "--size-x", "3"}), ',');
  EXPECT_EQ(tracePro.outputPath, "trace.txt");
  EXPECT_EQ(tracePro.rayCount, 7);
  EXPECT_EQ(tracePro.sizeXmm, 3);

  // The separator option governs the configuration text too.
  try {
    resolve_settings(parse({"generate", "-c", cfg, "--decimal-separator", "."}), ',');
    ADD_FAILURE() << "a decimal comma was read under a decimal point";
  } catch (const UserError& e) {
    EXPECT_EQ(std::string(e.what()).rfind("Configuration file " + cfg + ": '", 0), 0u) << e.what();
    EXPECT_NE(std::string(e.what()).find("' is not a valid floating point value"), std::string::npos) << e.what();
  }
}

TEST(CliOptions, MissingNamesAndBadConfigurationAreUserErrors) {
  TempDir dir;
  const std::string shortCfg = dir.write("short.cfg", "a\r\nb\r\n");
  const std::string badNa = dir.write("bad_na.cfg", "a\r\nb\r\nc\r\nd\r\n5\r\n5\r\n\r\n\r\n5\r\n\r\nabc\r\n");
  struct Case {
    std::vector<std::string> args;
    std::string message;
  };
  const Case cases[] = {
      {{"generate", "-L", "a", "-T", "b"}, "No ray file given: use --output PATH or a configuration file"},
      {{"generate", "-o", "x", "-T", "b"}, "No longitudinal distribution file given"},
      {{"generate", "-o", "x", "-L", "a"}, "No transversal distribution file given"},
      {{"generate", "-c", (dir.path() / "none.cfg").string()},
       "Cannot open " + (dir.path() / "none.cfg").string() + ": No such file or directory"},
      {{"generate", "-c", shortCfg}, "Configuration file " + shortCfg + ": List index out of bounds (2)"},
      {{"generate", "-c", badNa}, "Configuration file " + badNa + ": 'abc' is not a valid floating point value"},
      // Every format now needs its inputs; its name may default.
      {{"generate", "-f", "asap"}, "No longitudinal distribution file given"},
      // Ray tracers choose the reader by the extension.
      {{"generate", "-f", "tm25", "-o", "rays.dat", "-L", "a", "-T", "b"},
       "Ray file rays.dat: the extension .dat does not fit the TM-25 format, which uses .TM25RAY"},
      {{"generate", "-f", "zemax-binary", "-o", "rays.TM25RAY", "-L", "a", "-T", "b"},
       "Ray file rays.TM25RAY: the extension .tm25ray does not fit the Zemax binary format, which uses .dat or "
       ".sdf; the ray tracer would take it for TM-25. Use .dat or --force-extension to keep the name"},
      {{"generate", "-f", "lighttools", "-o", "x.txt", "-L", "a", "-T", "b"}, "Ray file x.txt: the extension .txt"},
  };
  for (const Case& c : cases) {
    try {
      resolve_settings(parse(c.args), '.');
      ADD_FAILURE() << "accepted: " << testing::PrintToString(c.args);
    } catch (const UserError& e) {
      EXPECT_EQ(std::string(e.what()).rfind(c.message, 0), 0u) << e.what();
    }
  }
  // The way out of the extension rule, and the formats' default names.
  const auto forced = parse({"generate", "-f", "tm25", "-o", "r.dat", "--force-extension", "-L", "a", "-T", "b"});
  EXPECT_EQ(resolve_settings(forced, '.').outputPath, "r.dat");
  const struct {
    const char* format;
    const char* name;
  } defaults[] = {{"lighttools", "sample.ray"}, {"lighttools-text", "sample.txt"}, {"asap", "source.dis"},
                  {"tm25", "ray.TM25RAY"},      {"zemax-binary", "ray.dat"},       {"tracepro", "ray1.txt"}};
  for (const auto& d : defaults) {
    const GenerationSettings s = resolve_settings(parse({"generate", "-f", d.format, "-L", "a", "-T", "b"}), '.');
    EXPECT_EQ(s.outputPath, d.name) << d.format;
    EXPECT_EQ(s.outputFormat, ray_format_named(d.format)->id) << d.format;
  }
}

}  // namespace
}  // namespace lucidra::cli
