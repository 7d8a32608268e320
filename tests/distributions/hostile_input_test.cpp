// Distribution and configuration files as they arrive from the field: binary
// bytes, endless devices, huge tails. Each case here was once a crash or a
// message cut short.

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>

#include "base/user_error.h"
#include "distributions/distribution_file.h"
#include "distributions/number_text.h"
#include "engine/config_file.h"
#include "support/temp_dir.h"

namespace lucidra {
namespace {

template <class Call>
std::string error_of(Call&& call) {
  try {
    call();
  } catch (const UserError& error) {
    return error.what();
  }
  return "(no error)";
}

TEST(ConversionMessage, ShowsEveryByteOfTheOffendingText) {
  const std::string longValue(300, '7');
  const struct {
    std::string text;
    std::string realMessage;
  } cases[] = {
      // A NUL used to end the message right after it: "'10" and nothing more.
      {std::string("10\0", 3), "'10\\x00' is not a valid floating point value"},
      {std::string("\0", 1), "'\\x00' is not a valid floating point value"},
      {"\x7f"
       "ELF\x02\x01\x01",
       "'\\x7fELF\\x02\\x01\\x01' is not a valid floating point value"},
      {"\x1b[2J", "'\\x1b[2J' is not a valid floating point value"},
      {"1\t2", "'1\t2' is not a valid floating point value"},
      {"caf\xe9", "'caf\xe9' is not a valid floating point value"},
      {longValue + "x", "'" + std::string(256, '7') + "...' is not a valid floating point value"},
      {std::string(256, 'x'), "'" + std::string(256, 'x') + "' is not a valid floating point value"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(error_of([&] { parse_real(c.text, '.'); }), c.realMessage);
    std::string integerMessage = c.realMessage;
    integerMessage.replace(integerMessage.rfind("floating point"), 14, "integer");
    EXPECT_EQ(error_of([&] { parse_whole_number(c.text); }), integerMessage);
  }
}

// Grows `file` to four gigabytes of zero bytes, which a file system with
// sparse files stores in no space. False where that cannot be done (Wine
// under load has refused it with "File too large").
bool grown_sparse(const std::string& file) {
  std::error_code error;
  std::filesystem::resize_file(file, std::uintmax_t{4} << 30, error);
  return !error;
}

TEST(ReadDistributionFile, NulInAValueGivesTheWholeMessage) {
  const TempDir dir;
  const std::string file = dir.write("nul-byte.txt", std::string("0 10\0 20 \r\n\r\n1 1 1 \r\n", 20));
  EXPECT_EQ(error_of([&] { read_distribution_file(file, '.'); }),
            "'10\\x00' is not a valid floating point value\n(distribution file " + file + ", line 1, value 2)");
}

TEST(ReadDistributionFile, ReadsOnlyAsFarAsTheThirdLine) {
  const TempDir dir;
  const std::string file = dir.write("tail.txt", "0 45 90 \r\n\r\n100 70 0 \r\nfourth line ");
  // Four gigabytes of zero bytes without a line end, taking no disk space:
  // reading them all would take minutes and exhaust memory.
  if (!grown_sparse(file)) GTEST_SKIP() << "no 4 GB sparse file can be made here";
  const auto start = std::chrono::steady_clock::now();
  const AngularDistribution d = read_distribution_file(file, '.');
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
  EXPECT_EQ(d.count, 3);
  EXPECT_EQ(d.intensityCount, 3);
  EXPECT_EQ(d.angle[3], 90.0);
  EXPECT_EQ(d.intensity[2], 70.0);
}

TEST(ReadLeadingLines, LineEndsAcrossReadBlocksAndShortFiles) {
  const TempDir dir;
  // A CR LF split across the 64 KiB read blocks still ends one line only.
  const std::string first(65535, 'a');
  const struct {
    std::string bytes;
    int lines;
    bool nulEnds;
    std::string expected;
  } cases[] = {
      {first + "\r\nb\r\nc\r\nd", 3, false, first + "\r\nb\r\nc\r"},
      {first + "\r\r\nc\nd\n", 3, false, first + "\r\r\nc\n"},
      {"a\nb", 3, false, "a\nb"},
      {"", 3, false, ""},
      {std::string("a\nb\0c\nd\n", 8), 15, true, "a\nb"},
      {std::string("a\nb\0c\nd\n", 8), 15, false, std::string("a\nb\0c\nd\n", 8)},
  };
  int serial = 0;
  for (const auto& c : cases) {
    const std::string file = dir.write("lines" + std::to_string(serial++), c.bytes);
    EXPECT_EQ(read_leading_lines(file, c.lines, c.nulEnds), c.expected) << "case " << serial;
  }
}

TEST(ReadLeadingLines, EndlessDeviceIsRefusedNamingTheFile) {
  if (!std::filesystem::exists("/dev/zero")) GTEST_SKIP() << "no /dev/zero on this system";
  EXPECT_EQ(error_of([] { read_distribution_file("/dev/zero", '.'); }),
            "File /dev/zero is too large: its first 3 lines are longer than 64 MB");
  // A NUL ends a configuration text: the device reads as an empty file.
  EXPECT_TRUE(load_config_lines("/dev/zero").empty());
}

TEST(LoadConfigLines, StopsAfterTheFifteenthLine) {
  const TempDir dir;
  std::string text;
  for (int line = 1; line <= 15; ++line) text += "line " + std::to_string(line) + "\r\n";
  const std::string file = dir.write("lucidra.cfg", text + "sixteenth");
  if (!grown_sparse(file)) GTEST_SKIP() << "no 4 GB sparse file can be made here";
  const std::vector<std::string> lines = load_config_lines(file);
  ASSERT_EQ(lines.size(), 15u);
  EXPECT_EQ(lines[14], "line 15");
}

}  // namespace
}  // namespace lucidra
