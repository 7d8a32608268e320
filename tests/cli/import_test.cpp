// lucidra-cli import on the real binary: the two files it writes byte for
// byte, its summary, and every way it refuses, with its exit code and the
// folder left as it was.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "cli_fixture.h"

namespace lucidra::testing {
namespace {

namespace fs = std::filesystem;

// Symmetric about C0-C180: C0 100 60 0, C90 80 40 0, C180 100 60 0 (and C270 by symmetry).
const std::string kLampIes =
    "IESNA:LM-63-2002\r\n[MANUFAC] Lucidra tests\r\nTILT=NONE\r\n"
    "1 1000 1 3 3 1 2 0 0 0\r\n1 1 5\r\n0 22.5 90\r\n0 90 180\r\n100 60 0\r\n80 40 0\r\n100 60 0\r\n";
const std::string kL = "0 22.5 90 \r\nlamp.ies: C0-C180 plane (mean of C0 and C180), candela\r\n100 60 0 \r\n";
const std::string kT = "0 22.5 90 \r\nlamp.ies: C90-C270 plane (mean of C90 and C270), candela\r\n80 40 0 \r\n";

class ImportTest : public CliTest {
 protected:
  ImportTest() { dir.write("lamp.ies", kLampIes); }
  bool exists(const std::string& name) const { return fs::exists(dir.path() / name); }
};

TEST_F(ImportTest, WritesBothPlanesAndASummary) {
  const CliResult r = run({"import", "lamp.ies", "--decimal-separator", "."});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(bytes("lamp_C0-C180.txt"), kL);
  EXPECT_EQ(bytes("lamp_C90-C270.txt"), kT);
  for (const char* line :
       {"Imported lamp.ies\n", "  format:      IES LM-63 (IESNA:LM-63-2002)\n",
        "  symmetry:    C0-C180 (symmetric about the C0-C180 plane)\n", "  planes used: C0: measured\n",
        "               C270: by symmetry from C90\n", "  vertical:    0 to 90 degrees, 3 angles\n",
        "  horizontal:  0 to 180 degrees, 3 planes\n", "  peak:        100 cd\n",
        " lm from the intensities (the luminaire's); the header states 1 lamp x 1000 lm = 1000 lm "
        "of lamps\n",
        "  wrote:       lamp_C0-C180.txt (0 to 90 degrees, 3 angles, -L, longitudinal)\n",
        "  note: Two-plane model:"}) {
    EXPECT_NE(r.out.find(line), std::string::npos) << line << "\n" << r.out;
  }
}

TEST_F(ImportTest, DecimalCommaAndOutputFolder) {
  fs::create_directory(dir.path() / "out");
  const CliResult r = run({"import", "--decimal-separator=,", "lamp.ies", "--out-dir", "out"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(bytes("out/lamp_C0-C180.txt"),
            "0 22,5 90 \r\nlamp.ies: C0-C180 plane (mean of C0 and C180), candela\r\n100 60 0 \r\n");
  EXPECT_FALSE(exists("lamp_C0-C180.txt"));
}

TEST_F(ImportTest, NeverOverwritesWithoutForce) {
  dir.write("lamp_C90-C270.txt", "keep me");
  const CliResult refused = run({"import", "lamp.ies"});
  EXPECT_EQ(refused.exitCode, 1);
  EXPECT_EQ(refused.err, "lucidra-cli: lamp_C90-C270.txt exists; use --force to overwrite it\n");
  EXPECT_EQ(bytes("lamp_C90-C270.txt"), "keep me");
  EXPECT_FALSE(exists("lamp_C0-C180.txt"));  // neither file is written

  const CliResult forced = run({"import", "lamp.ies", "--force", "--decimal-separator", "."});
  EXPECT_EQ(forced.exitCode, 0) << forced.err;
  EXPECT_EQ(bytes("lamp_C90-C270.txt"), kT);
  EXPECT_EQ(bytes("lamp_C0-C180.txt"), kL);
}

TEST_F(ImportTest, RefusesBadInputAndCommandLines) {
  dir.write("typeb.ies", "TILT=NONE\n1 1000 1 3 1 2 2 0 0 0\n1 1 5\n0 45 90\n0\n1 1 1\n");
  struct Case {
    std::vector<std::string> args;
    int exitCode;
    std::string err;
  };
  const Case cases[] = {
      {{"import", "typeb.ies"},
       1,
       "lucidra-cli: typeb.ies line 2, photometric type: type B photometry is not supported; only type C (vertical "
       "angles from the luminaire's axis, planes around it) can be imported\n"},
      {{"import", "missing.ies"}, 1, "lucidra-cli: Cannot open missing.ies: No such file or directory\n"},
      {{"import", "lamp.ies", "--out-dir", "nowhere"},
       1,
       "lucidra-cli: Output folder nowhere does not exist or is not a folder\n"},
      {{"import"}, 2, "lucidra-cli: import needs a file: lucidra-cli import FILE\nTry 'lucidra-cli import --help'.\n"},
      {{"import", "lamp.ies", "other.ies"},
       2,
       "lucidra-cli: import takes one file; 'other.ies' is a second one\nTry 'lucidra-cli import --help'.\n"},
      {{"import", "lamp.ies", "-n", "5"},
       2,
       "lucidra-cli: unknown option '-n' for 'import'\nTry 'lucidra-cli import --help'.\n"},
      {{"import", "lamp.ies", "--decimal-separator", ";"},
       2,
       "lucidra-cli: invalid value ';' for --decimal-separator: expected '.' or ','\nTry 'lucidra-cli import "
       "--help'.\n"},
      {{"import", "lamp.ies", "--out-dir"},
       2,
       "lucidra-cli: option --out-dir needs a value\nTry 'lucidra-cli import --help'.\n"},
      {{"import", "lamp.ies", "--force=yes"},
       2,
       "lucidra-cli: option --force takes no value\nTry 'lucidra-cli import --help'.\n"},
  };
  for (const Case& c : cases) {
    const CliResult r = run(c.args);
    EXPECT_EQ(r.exitCode, c.exitCode) << c.args.back();
    EXPECT_EQ(r.err, c.err) << c.args.back();
    EXPECT_EQ(r.out, "") << c.args.back();
  }
  EXPECT_FALSE(exists("lamp_C0-C180.txt"));
  EXPECT_FALSE(exists("typeb_C0-C180.txt"));
}

TEST_F(ImportTest, HelpDescribesImport) {
  const CliResult r = run({"import", "--help"});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_NE(r.out.find("Usage: lucidra-cli import FILE [--out-dir DIR] [--force] [--decimal-separator C] [-q]\n"),
            std::string::npos);
}

}  // namespace
}  // namespace lucidra::testing
