// lucidra-cli check and generate --check through the real binary: verdicts,
// exit codes, the plot and CSV files, and legacy sampling on request.

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "cli_fixture.h"

namespace lucidra::testing {
namespace {

const std::vector<std::string> kLaw = {"-L", "lambertian.txt", "-T", "narrow.txt", "--decimal-separator", "."};

std::vector<std::string> with(std::vector<std::string> a, const std::vector<std::string>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

TEST_F(CliTest, CheckVerdictsAndExitCodes) {
  const auto userDefined = generate({"-n", "100000", "--angular", "user-defined"});
  ASSERT_EQ(run(userDefined).exitCode, 0);
  const std::string good = bytes("ray.dat");
  struct Case {
    const char* name;
    std::vector<std::string> args;
    int exitCode;
    std::string inOut, inErr;
  };
  const Case cases[] = {
      {"own law", with({"check", "ray.dat"}, kLaw), 0, "verdict: PASS", ""},
      {"tables swapped", {"check", "ray.dat", "-L", "narrow.txt", "-T", "lambertian.txt"}, 6, "verdict: FAIL", ""},
      {"wrong law", {"check", "ray.dat", "--angular", "lambertian", "--na", "1"}, 6, "verdict: FAIL", ""},
      {"forced TracePro", with({"check", "ray.dat", "--format", "tracepro"}, kLaw), 0, "(TracePro text)", ""},
      {"missing file", with({"check", "nothing.dat"}, kLaw), 1, "",
       "lucidra-cli: Cannot open nothing.dat: No such file or directory\n"},
      {"not a ray file", with({"check", "lambertian.txt"}, kLaw), 1, "",
       "lucidra-cli: Ray file lambertian.txt, line 3: a ray line needs 7 numbers, this one has more\n"},
      {"no ray file", with({"check"}, kLaw), 2, "", "check needs the ray file to read"},
      {"two ray files", with({"check", "a", "b"}, kLaw), 2, "", "check takes one ray file; 'b' is a second one"},
      {"bad bin", with({"check", "ray.dat", "--bin", "0"}, kLaw), 2, "", "invalid value '0' for --bin"},
      {"generate-only option", with({"check", "ray.dat", "-n", "5"}, kLaw), 2, "", "unknown option '-n' for 'check'"},
      // LED rays judged as an arc's even band of directions.
      {"arc law", with({"check", "ray.dat", "--arc"}, kLaw), 6, "law: arc, even in every direction from theta 0 deg",
       ""},
      {"tables missing", {"check", "ray.dat"}, 1, "", "The law needs both distribution files (-L and -T)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const CliResult r = run(c.args);
    EXPECT_EQ(r.exitCode, c.exitCode) << r.out << r.err;
    EXPECT_NE(r.out.find(c.inOut), std::string::npos) << r.out;
    EXPECT_NE(r.err.find(c.inErr), std::string::npos) << r.err;
    EXPECT_EQ(bytes("ray.dat"), good) << "check never writes the ray file";
  }
}

// Both binary formats from the command line, read back by check: found by
// their first bytes or named, and refused under the other's name.
TEST_F(CliTest, BinaryFormatsGenerateAndCheck) {
  const struct {
    const char* format;
    const char* file;
    const char* kind;
  } formats[] = {{"zemax-binary", "ray.dat", "(Zemax binary)"},
                 {"tm25", "ray.TM25RAY", "(TM-25)"},
                 {"lighttools", "sample.ray", "(LightTools binary)"},
                 {"lighttools-text", "sample.txt", "(LightTools text)"},
                 {"asap", "source.dis", "(ASAP (dis))"}};
  for (const auto& f : formats) {
    SCOPED_TRACE(f.format);
    std::vector<std::string> args = generate({"-n", "50000", "--angular", "user-defined", "-f", f.format});
    for (std::size_t i = 0; i + 1 < args.size(); ++i) {
      if (args[i] == "-o" || args[i] == "--output") args[i + 1] = f.file;
    }
    const CliResult g = run(args);
    ASSERT_EQ(g.exitCode, 0) << g.err;
    for (const bool named : {false, true}) {
      std::vector<std::string> check = with({"check", f.file}, kLaw);
      if (named) check.insert(check.end(), {"--format", f.format});
      const CliResult r = run(check);
      EXPECT_EQ(r.exitCode, 0) << r.err;
      EXPECT_NE(r.out.find(f.kind), std::string::npos) << r.out;
      EXPECT_NE(r.out.find("rays: 50001\n"), std::string::npos) << r.out;
      EXPECT_NE(r.out.find("verdict: PASS"), std::string::npos) << r.out;
      EXPECT_NE(r.out.find("; rays read: 50001\n"), std::string::npos) << r.out;
      EXPECT_EQ(r.out.find("FAIL"), std::string::npos) << r.out;
    }
  }
  const CliResult wrong = run(with({"check", "ray.dat", "--format", "tm25"}, kLaw));
  EXPECT_EQ(wrong.exitCode, 1);
  EXPECT_NE(wrong.err.find("Ray file ray.dat: is not a TM-25 ray file"), std::string::npos) << wrong.err;
  const CliResult bad = run(with({"check", "ray.dat", "--format", "tm26"}, kLaw));
  EXPECT_EQ(bad.exitCode, 2);
  EXPECT_NE(bad.err.find("tracepro, zemax, zemax-binary, tm25, lighttools, lighttools-text or asap"), std::string::npos)
      << bad.err;
}

// A file whose third ray points nowhere near a unit direction, or whose
// header flux is not its rays' sum, fails check with exit code 6 and the
// fault named, even though its far field would pass.
TEST_F(CliTest, CheckFailsABadRayOrHeader) {
  ASSERT_EQ(
      run(generate({"-n", "50000", "--angular", "user-defined", "-f", "lighttools-text", "-o", "lt.txt"})).exitCode, 0);
  const std::string good = bytes("lt.txt");
  std::size_t third = good.find("lt_startofdata\r\n") + 16;
  for (int i = 0; i < 2; ++i) third = good.find("\r\n", third) + 2;
  const std::size_t end = good.find("\r\n", third);
  dir.write("k.txt", good.substr(0, third) + "0 0 0 0 0.425 0.8 0.001" + good.substr(end));
  const CliResult k = run(with({"check", "k.txt"}, kLaw));
  EXPECT_EQ(k.exitCode, 6) << k.err;
  EXPECT_NE(k.out.find("FAIL: ray 3 has a direction of length 0.905"), std::string::npos) << k.out;

  const std::size_t flux = good.find("lt_radiant_flux:");
  std::string wrongFlux = good;
  wrongFlux.replace(flux, good.find("\r\n", flux) - flux, "lt_radiant_flux: 1");
  dir.write("flux.txt", wrongFlux);
  const CliResult f = run(with({"check", "flux.txt"}, kLaw));
  EXPECT_EQ(f.exitCode, 6) << f.err;
  EXPECT_NE(f.out.find("FAIL: the header's flux 1 W differs from the rays' sum"), std::string::npos) << f.out;
}

TEST_F(CliTest, GenerateCheckPlotAndCsv) {
  const CliResult r = run(generate(
      {"-n", "50000", "--angular", "user-defined", "--check", "--plot", "far.svg", "--csv", "far.csv", "--bin", "5"}));
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.out.find("total flux: 3500.000000 W in 50001 rays (equal flux per ray)\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("rays: 50001\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("verdict: PASS"), std::string::npos) << r.out;
  const std::string svg = bytes("far.svg");
  EXPECT_EQ(svg.rfind("<svg", 0), 0u);
  EXPECT_NE(svg.find("x-z plane (first table)"), std::string::npos);
  EXPECT_NE(svg.find("</svg>"), std::string::npos);
  const std::string csv = bytes("far.csv");
  // A header, then 36 bins of 5 degrees for each of the three views.
  EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 1 + 3 * 36);
  EXPECT_EQ(csv.find("all,0,5,"), csv.find('\n') + 1);

  // Version 3.5's sampling reproduces its bytes on request and fails its own law.
  const CliResult legacy = run(generate({"-n", "50000", "--angular", "user-defined", "--legacy-sampling", "--check"}));
  EXPECT_EQ(legacy.exitCode, 6) << legacy.out << legacy.err;
  EXPECT_NE(legacy.out.find("verdict: FAIL"), std::string::npos);
  EXPECT_NE(run({"generate", "--help"}).out.find("--legacy-sampling      reproduce ray files of version 3.5"),
            std::string::npos);
}

}  // namespace
}  // namespace lucidra::testing
namespace lucidra::testing {
namespace {

// A spectral run from the command line: the summary gives both totals and
// the colour, check --spectrum judges the wavelengths with the usual exit
// codes, and the spectrum options refuse what they cannot use.
TEST_F(CliTest, SpectrumGenerateAndCheck) {
  std::string white = "wavelength,power\n";  // CSV with a header
  std::string shifted = "# 20 nm to the red\n";
  for (int nm = 380; nm <= 780; nm += 2) {
    const auto band = [nm](double blue) {
      return std::exp(-0.5 * std::pow((nm - blue) / 10.0, 2)) + 0.6 * std::exp(-0.5 * std::pow((nm - 560) / 50.0, 2));
    };
    white += std::to_string(nm) + "," + std::to_string(band(450)) + "\n";
    shifted += std::to_string(nm) + " " + std::to_string(band(470)) + "\n";
  }
  dir.write("white.csv", white);
  dir.write("shifted.txt", shifted);
  dir.write("bad.txt", "400 1\n390 2\n");
  const std::vector<std::string>& law = kLaw;
  const CliResult g = run(generate({"-n", "50000", "--angular", "user-defined", "-f", "tm25", "-o", "white.TM25RAY",
                                    "--source-flux", "1200", "--flux-unit", "lm", "--spectrum", "white.csv"}));
  ASSERT_EQ(g.exitCode, 0) << g.err;
  EXPECT_NE(g.out.find("spectrum: 1200 lm = "), std::string::npos) << g.out;
  EXPECT_NE(g.out.find("lm/W, correlated colour temperature "), std::string::npos) << g.out;
  const CliResult line = run(generate({"-n", "50000", "--angular", "user-defined", "-f", "zemax-binary", "-o",
                                       "line.dat", "--wavelength", "450", "--source-flux", "2"}));
  ASSERT_EQ(line.exitCode, 0) << line.err;
  // 2 W at 450 nm: 683 lm/W times V(450) = 0.038.
  EXPECT_NE(line.out.find("spectrum: 2 W = 51.908 lm, luminous efficacy of radiation 26.0 lm/W, dominant "
                          "wavelength 450.0 nm"),
            std::string::npos)
      << line.out;
  struct Case {
    const char* name;
    std::vector<std::string> args;
    int exitCode;
    std::string inOut, inErr;
  };
  const Case cases[] = {
      {"own spectrum", with({"check", "white.TM25RAY", "--spectrum", "white.csv"}, law), 0, "spectrum verdict: PASS",
       ""},
      {"mean wavelength", with({"check", "white.TM25RAY", "--spectrum", "white.csv"}, law), 0,
       "flux-weighted mean wavelength: ", ""},
      {"shifted spectrum", with({"check", "white.TM25RAY", "--spectrum", "shifted.txt"}, law), 6,
       "spectrum verdict: FAIL", ""},
      {"a line", with({"check", "line.dat", "--wavelength", "450"}, law), 0, "spectrum verdict: PASS", ""},
      {"another line", with({"check", "line.dat", "--wavelength", "451"}, law), 6, "spectrum verdict: FAIL", ""},
      {"bad spectrum file", with({"check", "white.TM25RAY", "--spectrum", "bad.txt"}, law), 1, "",
       "Spectrum file bad.txt, line 2: wavelengths must increase (390 nm follows 400 nm)"},
      {"both", generate({"--spectrum", "white.csv", "--wavelength", "500"}), 2, "",
       "--spectrum and --wavelength exclude each other"},
      {"legacy", generate({"--wavelength", "500", "--legacy-sampling"}), 2, "", "not --legacy-sampling"},
      {"wavelength range", generate({"--wavelength", "100"}), 2, "", "a wavelength in nm from 200 to 2500"},
      {"asap", generate({"--wavelength", "500", "-f", "asap", "-o", "source.dis"}), 1, "",
       "ASAP (dis) ray files have no place for a wavelength"},
      // The estimate of a spectral run: 208 + 10^6 x 32 bytes of Zemax
      // binary (28 bytes a ray without a wavelength), the spectrum refused
      // as generate refuses it.
      {"estimate spectral",
       {"estimate", "-n", "999999", "-f", "zemax-binary", "--spectrum", "white.csv"},
       0,
       "Size of Source File 32 MB",
       ""},
      {"estimate line",
       {"estimate", "-n", "999999", "-f", "tm25", "--wavelength", "555"},
       0,
       "Size of Source File 32 MB",
       ""},
      {"estimate plain", {"estimate", "-n", "999999", "-f", "zemax-binary"}, 0, "Size of Source File 28 MB", ""},
      {"estimate bad spectrum",
       {"estimate", "-n", "5", "--spectrum", "bad.txt"},
       1,
       "",
       "Spectrum file bad.txt, line 2: wavelengths must increase"},
      {"estimate asap",
       {"estimate", "-n", "5", "-f", "asap", "--wavelength", "500"},
       1,
       "",
       "ASAP (dis) ray files have no place for a wavelength"},
      {"estimate both",
       {"estimate", "-n", "5", "--spectrum", "white.csv", "--wavelength", "500"},
       2,
       "",
       "--spectrum and --wavelength exclude each other"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const CliResult r = run(c.args);
    EXPECT_EQ(r.exitCode, c.exitCode) << r.out << r.err;
    EXPECT_NE(r.out.find(c.inOut), std::string::npos) << r.out;
    EXPECT_NE(r.err.find(c.inErr), std::string::npos) << r.err;
  }
}

}  // namespace
}  // namespace lucidra::testing
