// Distribution and configuration files as measurement software, spreadsheets
// and hand edits leave them, and every way a run is refused before its ray
// file is opened: the exact message, the exit code, and the existing ray file
// left byte for byte as it was.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "cli_fixture.h"

namespace lucidra::testing {
namespace {

namespace fs = std::filesystem;

std::string repeat(const std::string& unit, int times) {
  std::string text;
  for (int i = 0; i < times; ++i) text += unit;
  return text;
}

// "0 1 2 ... n-1 " on line 1 and "1 1 ... 1 " on line 3.
std::string values_file(int n) {
  std::string angles;
  for (int i = 0; i < n; ++i) angles += std::to_string(i * 0.1).substr(0, 5) + " ";
  return angles + "\r\n\r\n" + repeat("1 ", n) + "\r\n";
}

std::string all_bytes() {
  std::string bytes;
  for (int b = 0; b < 256; ++b) bytes += static_cast<char>(b);
  return bytes;
}

TEST_F(CliTest, BadDistributionFilesStopTheRunBeforeTheRayFileIsOpened) {
  fs::create_directory(dir.path() / "folder.txt");
  struct Case {
    std::string name;
    std::string bytes;  // not written for folder.txt
    std::string expectedErr;
  };
  const Case cases[] = {
      {"folder.txt", "", "lucidra-cli: Cannot open folder.txt: it is a folder\n"},
      {"missing.txt", "", "lucidra-cli: Cannot open missing.txt: No such file or directory\n"},
      {"empty.txt", "",
       "lucidra-cli: List index out of bounds (0)\n(distribution file empty.txt, line 1 is missing)\n"},
      {"two_lines.txt", "0 10 \r\n\r\n",
       "lucidra-cli: List index out of bounds (2)\n(distribution file two_lines.txt, line 3 is missing)\n"},
      // Line 1 is bytes 0 to 9 (no space: no value), line 3 starts at byte 14
      // and its first value runs to the space, byte 32.
      {"binary.txt", all_bytes(),
       "lucidra-cli: '\\x0e\\x0f\\x10\\x11\\x12\\x13\\x14\\x15\\x16\\x17\\x18\\x19"
       "\\x1a\\x1b\\x1c\\x1d\\x1e\\x1f' is not a valid floating point value\n"
       "(distribution file binary.txt, line 3, value 1)\n"},
      {"nan.txt", "0 10 nan \r\n\r\n1 1 1 \r\n",
       "lucidra-cli: 'nan' is not a valid floating point value\n(distribution file nan.txt, line 1, value 3)\n"},
      {"inf.txt", "0 10 20 \r\n\r\n1 inf 1 \r\n",
       "lucidra-cli: 'inf' is not a valid floating point value\n(distribution file inf.txt, line 3, value 2)\n"},
      {"huge.txt", "0 1e999 \r\n\r\n1 1 \r\n",
       "lucidra-cli: '1e999' is not a valid floating point value\n(distribution file huge.txt, line 1, value 2)\n"},
      {"nul.txt", std::string("0 10\0 20 \r\n\r\n1 1 1 \r\n", 20),
       "lucidra-cli: '10\\x00' is not a valid floating point value\n(distribution file nul.txt, line 1, value 2)\n"},
      {"comma.txt", "0 2,5 \r\n\r\n1 1 \r\n",
       "lucidra-cli: '2,5' is not a valid floating point value\n(distribution file comma.txt, line 1, value 2)\n"},
      {"short_third.txt", "0 10 20 \r\n\r\n1 0.5 \r\n",
       "lucidra-cli: Distribution file short_third.txt has 3 values on its first line but only 2 on its third "
       "line\n"},
      {"no_value.txt", "degrees\r\n\r\n1 \r\n",
       "lucidra-cli: Distribution file no_value.txt has no value on its first line; a run needs at least one "
       "abscissa\n"},
  };
  for (const Case& c : cases) {
    if (c.name != "folder.txt" && c.name != "missing.txt") dir.write(c.name, c.bytes);
    for (const char* option : {"-L", "-T"}) {
      const CliResult r = run(generate({option, c.name}));
      EXPECT_EQ(r.exitCode, 1) << c.name << " " << option;
      EXPECT_EQ(r.err, c.expectedErr) << c.name << " " << option;
      EXPECT_EQ(r.out, "") << c.name;
      EXPECT_EQ(bytes("ray.dat"), kPreviousRayFile) << c.name << ": the ray file was touched";
    }
  }
}

TEST_F(CliTest, MoreThan450PointsLeaveTheHeaderOnly) {
  dir.write("p500.txt", values_file(500));
  dir.write("p100000.txt", values_file(100000));
  const struct {
    std::vector<std::string> options;
    std::string notice;
  } cases[] = {
      {{"-L", "p500.txt"}, "  ERROR: \n Decrease number of points \n in longitidual file \n Maximum is 450\n"},
      {{"-T", "p100000.txt"}, "  ERROR: \n Decrease number of points \n in transversal file \n Maximum is 450\n"},
  };
  for (const auto& c : cases) {
    dir.write("ray.dat", kPreviousRayFile);
    const CliResult r = run(generate(c.options));
    EXPECT_EQ(r.exitCode, 4) << c.options[1];
    EXPECT_EQ(r.err, "lucidra-cli:\n" + c.notice);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(bytes("ray.dat"), "1000 4 \r\n") << "the file holds the Zemax header only";
  }
}

TEST_F(CliTest, OddButValidDistributionFilesGiveTheSameRays) {
  ASSERT_EQ(run(generate()).exitCode, 0);
  const std::string reference = bytes("ray.dat");
  ASSERT_EQ(reference.rfind("1000 4 \r\n", 0), 0u);

  std::string crOnly = kLambertianText;
  for (std::size_t at = crOnly.find("\r\n"); at != std::string::npos; at = crOnly.find("\r\n", at)) {
    crOnly.erase(at + 1, 1);
    ++at;
  }
  std::string lfOnly = crOnly;
  for (char& c : lfOnly) {
    if (c == '\r') c = '\n';
  }
  // Ten megabytes after the third line: never needed, never read.
  std::string tenMegabytes = kLambertianText;
  while (tenMegabytes.size() < (std::size_t{10} << 20)) tenMegabytes += repeat("junk \t\x01 ", 100) + "\r\n";
  const std::string nulAfterLastSpace = "0 10 20 30 40 50 60 70 80 90 " + std::string("\0trailing", 9) + "\r\n\r\n" +
                                        "100 98.5 94 86.6 76.6 64.3 50 34.2 17.4 0 \r\n";
  const struct {
    std::string name;
    std::string bytes;
  } cases[] = {
      {"cr_only.txt", crOnly},
      {"lf_only.txt", lfOnly},
      {"ten_megabytes.txt", tenMegabytes},
      {"nul_after_last_space.txt", nulAfterLastSpace},
  };
  for (const auto& c : cases) {
    dir.write(c.name, c.bytes);
    const CliResult r = run(generate({"-L", c.name}));
    EXPECT_EQ(r.exitCode, 0) << c.name << ": " << r.err;
    EXPECT_EQ(r.err, "") << c.name;
    EXPECT_EQ(bytes("ray.dat"), reference) << c.name;
  }
}

TEST_F(CliTest, DistributionFileFromAPipeIsReadOnce) {
  ASSERT_EQ(run(generate()).exitCode, 0);
  const std::string reference = bytes("ray.dat");
  // As `-L <(command)` gives it: a pipe that holds the text once.
  const fs::path fifo = dir.path() / "pipe.txt";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  std::thread writer([&] {
    const int fd = ::open(fifo.c_str(), O_WRONLY);  // waits for the reader
    if (fd < 0) return;
    const ssize_t written = ::write(fd, kLambertianText.data(), kLambertianText.size());
    EXPECT_EQ(written, static_cast<ssize_t>(kLambertianText.size()));
    ::close(fd);
  });
  const CliResult r = run_cli(generate({"-L", "pipe.txt"}), dir.path(), std::chrono::seconds(20));
  if (r.timedOut) {
    // Unblock the writer if the program never opened the pipe.
    const int fd = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    if (fd >= 0) ::close(fd);
  }
  writer.join();
  EXPECT_FALSE(r.timedOut) << "the pipe was read twice: the run waited for a second writer";
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(bytes("ray.dat"), reference);
}

// Fifteen positional lines naming the fixture's files.
std::vector<std::string> config_lines() {
  return {"trace.txt", "ray.dat", "lambertian.txt", "narrow.txt", "1000", "3500", "", "", "360", "", "1", "", "0",
          "2",         "2"};
}

std::string joined(const std::vector<std::string>& lines, const std::string& end) {
  std::string text;
  for (const std::string& line : lines) text += line + end;
  return text;
}

TEST_F(CliTest, ConfigurationFiles) {
  const std::vector<std::string> run = {"generate", "--quiet", "--clock-seed", "1700000000",          "--angular",
                                        "uniform",  "-c",      "lucidra.cfg",  "--decimal-separator", "."};
  dir.write("lucidra.cfg", joined(config_lines(), "\r\n"));
  const CliResult clean = CliTest::run(run);
  ASSERT_EQ(clean.exitCode, 0) << clean.err;
  const std::string reference = bytes("ray.dat");
  ASSERT_EQ(CliTest::run(generate()).exitCode, 0);
  EXPECT_EQ(bytes("ray.dat"), reference) << "the file gives the same run as the options";

  std::vector<std::string> tenThousand = config_lines();
  for (int i = 0; i < 9985; ++i) tenThousand.push_back("line " + std::to_string(i + 16));
  std::vector<std::string> megabyteLines = config_lines();
  for (const int unused : {7, 8, 10, 12}) megabyteLines[unused - 1] = std::string(1 << 20, 'u');
  megabyteLines.push_back(std::string(1 << 20, 'x'));

  struct Case {
    std::string what;
    std::string bytes;
    int exitCode;
    std::string expectedErr;  // for a failing case; the ray file must then be untouched
  };
  std::vector<std::string> megabyteRays = config_lines();
  megabyteRays[4] = std::string(1 << 20, '7');
  std::vector<std::string> fourteen = config_lines();
  fourteen.pop_back();
  std::string nul = joined(config_lines(), "\r\n");
  nul.insert(nul.find("3500"), 1, '\0');  // the text ends before line 6
  const Case cases[] = {
      {"CR-only lines", joined(config_lines(), "\r"), 0, ""},
      {"LF-only lines", joined(config_lines(), "\n"), 0, ""},
      {"10000 lines", joined(tenThousand, "\r\n"), 0, ""},
      {"1 MB unused lines", joined(megabyteLines, "\r\n"), 0, ""},
      {"NUL byte", nul, 1, "lucidra-cli: Configuration file lucidra.cfg: List index out of bounds (5)\n"},
      {"1 MB number of rays", joined(megabyteRays, "\r\n"), 1,
       "lucidra-cli: Configuration file lucidra.cfg: '" + std::string(256, '7') +
           "...' is not a valid integer value\n"},
      {"14 lines", joined(fourteen, "\r\n"), 1,
       "lucidra-cli: Configuration file lucidra.cfg: List index out of bounds (14)\n"},
      {"empty NA line",
       [] {
         auto lines = config_lines();
         lines[10] = "";
         return joined(lines, "\r\n");
       }(),
       1, "lucidra-cli: Configuration file lucidra.cfg: line 11 (NA) is empty\n"},
  };
  for (const Case& c : cases) {
    dir.write("ray.dat", kPreviousRayFile);
    dir.write("lucidra.cfg", c.bytes);
    const CliResult r = CliTest::run(run);
    EXPECT_EQ(r.exitCode, c.exitCode) << c.what << ": " << r.err.substr(0, 300);
    if (c.exitCode == 0) {
      EXPECT_EQ(r.err, "") << c.what;
      EXPECT_EQ(bytes("ray.dat"), reference) << c.what;
    } else {
      EXPECT_EQ(r.err, c.expectedErr) << c.what;
      EXPECT_EQ(r.out, "") << c.what;
      EXPECT_EQ(bytes("ray.dat"), kPreviousRayFile) << c.what << ": the ray file was touched";
    }
  }
}

TEST_F(CliTest, RefusalsAndEarlyStopsLeaveTheRayFileByteIdentical) {
  struct Case {
    std::vector<std::string> options;
    int exitCode;
    std::string expectedErr;
  };
  const Case cases[] = {
      {{"--format", "asap"},
       1,
       "lucidra-cli: Ray file ray.dat: the extension .dat does not fit the ASAP (dis) format, which uses .dis; the "
       "ray tracer would take it for Zemax text. Use .dis or --force-extension to keep the name\n"},
      {{"--format", "tm25"},
       1,
       "lucidra-cli: Ray file ray.dat: the extension .dat does not fit the TM-25 format, which uses .TM25RAY; the "
       "ray tracer would take it for Zemax text. Use .TM25RAY or --force-extension to keep the name\n"},
      {{"-L", "missing.txt"}, 1, "lucidra-cli: Cannot open missing.txt: No such file or directory\n"},
      {{"-c", "missing.cfg"}, 1, "lucidra-cli: Cannot open missing.cfg: No such file or directory\n"},
      {{"-o", "narrow.txt"},
       1,
       "lucidra-cli: The ray file narrow.txt is the distribution file narrow.txt, which it would overwrite; "
       "choose another output name\n"},
      {{"--rays", "0"},
       2,
       "lucidra-cli: invalid value '0' for --rays: expected a whole number from 1 to 1000000000\n"
       "Try 'lucidra-cli generate --help'.\n"},
      {{"--size-x", "nan"},
       2,
       "lucidra-cli: invalid value 'nan' for --size-x: expected a size in mm greater than 0\n"
       "Try 'lucidra-cli generate --help'.\n"},
      {{"--na=1.5"},
       2,
       "lucidra-cli: invalid value '1.5' for --na: expected a number from 0 to 1\nTry 'lucidra-cli generate "
       "--help'.\n"},
      {{"--extent"}, 2, "lucidra-cli: option --extent needs a value\nTry 'lucidra-cli generate --help'.\n"},
      {{"--bogus"}, 2, "lucidra-cli: unknown option '--bogus' for 'generate'\nTry 'lucidra-cli generate --help'.\n"},
  };
  for (const Case& c : cases) {
    const CliResult r = run(generate(c.options));
    EXPECT_EQ(r.exitCode, c.exitCode) << c.options[0];
    EXPECT_EQ(r.err, c.expectedErr) << c.options[0];
    EXPECT_EQ(r.out, "") << c.options[0];
    EXPECT_EQ(bytes("ray.dat"), kPreviousRayFile) << c.options[0] << ": the ray file was touched";
    EXPECT_EQ(bytes("narrow.txt"), kNarrowText) << c.options[0];
  }
}

}  // namespace
}  // namespace lucidra::testing
