#include "distributions/distribution_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <regex>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

#include "base/user_error.h"
#include "support/temp_dir.h"

namespace lucidra {
namespace {

using Slots = std::array<double, kDistributionCapacity + 1>;

struct ValueLineCase {
  std::string line;
  char separator;
  std::int32_t expectedCount;
  std::vector<double> expectedValues;
  std::optional<std::string> expectedError;
};

TEST(ParseValueLine, FollowsTheValueSpaceRule) {
  const ValueLineCase cases[] = {
      {"0 10 20 30 ", '.', 4, {0, 10, 20, 30}, std::nullopt},
      {"0 10 20 30", '.', 3, {0, 10, 20}, std::nullopt},
      {"0 10 garbage", '.', 2, {0, 10}, std::nullopt},
      {"0 10 \t", '.', 2, {0, 10}, std::nullopt},
      {"", '.', 0, {}, std::nullopt},
      {"abc", '.', 0, {}, std::nullopt},
      {"95,5 -1,25e1 ", ',', 2, {95.5, -12.5}, std::nullopt},
      {"1.5 2 ", '.', 2, {1.5, 2}, std::nullopt},
      {" 0 10 ", '.', 0, {}, "'' is not a valid floating point value\n(value 1)"},
      {"0  10 ", '.', 0, {}, "'' is not a valid floating point value\n(value 2)"},
      {" ", '.', 0, {}, "'' is not a valid floating point value\n(value 1)"},
      {"2.5 ", ',', 0, {}, "'2.5' is not a valid floating point value\n(value 1)"},
      {"1,5 ", '.', 0, {}, "'1,5' is not a valid floating point value\n(value 1)"},
      {"1\t2 ", '.', 0, {}, "'1\t2' is not a valid floating point value\n(value 1)"},
      {"1 x 3 ", '.', 0, {}, "'x' is not a valid floating point value\n(value 2)"},
      {"1 nan ", '.', 0, {}, "'nan' is not a valid floating point value\n(value 2)"},
  };
  for (const ValueLineCase& c : cases) {
    Slots slots{};
    if (c.expectedError) {
      try {
        parse_value_line(c.line, slots, c.separator);
        ADD_FAILURE() << "no error for line '" << c.line << "'";
      } catch (const ConversionError& error) {
        EXPECT_EQ(std::string(error.what()), *c.expectedError) << "line '" << c.line << "'";
      }
      continue;
    }
    EXPECT_EQ(parse_value_line(c.line, slots, c.separator), c.expectedCount) << "line '" << c.line << "'";
    EXPECT_EQ(slots[0], 0.0) << "slot 0 is never filled";
    for (std::size_t i = 0; i < c.expectedValues.size(); ++i) {
      EXPECT_EQ(slots[i + 1], c.expectedValues[i]) << "line '" << c.line << "' slot " << i + 1;
    }
    for (std::size_t i = c.expectedValues.size() + 1; i < slots.size(); ++i) {
      ASSERT_EQ(slots[i], 0.0) << "line '" << c.line << "' wrote slot " << i;
    }
  }
}

std::string numbered_line(int valueCount, int badPosition = 0) {
  std::string line;
  for (int i = 1; i <= valueCount; ++i) {
    line += (i == badPosition ? std::string("bad") : std::to_string(i)) + " ";
  }
  return line;
}

TEST(ParseValueLine, StoresAtMost499ValuesButCountsAndChecksThemAll) {
  Slots slots{};
  EXPECT_EQ(parse_value_line(numbered_line(600), slots, '.'), 600);
  for (int i = 1; i <= kDistributionCapacity; ++i) EXPECT_EQ(slots[static_cast<std::size_t>(i)], i);

  Slots exact{};
  EXPECT_EQ(parse_value_line(numbered_line(499), exact, '.'), 499);
  EXPECT_EQ(exact[499], 499.0);

  Slots rejected{};
  EXPECT_THROW(parse_value_line(numbered_line(600, 550), rejected, '.'), ConversionError);
}

TEST(SplitLines, EndsLinesAtCrLfLfOrCr) {
  const std::pair<std::string, std::vector<std::string>> cases[] = {
      {"", {}},
      {"abc", {"abc"}},
      {"abc\n", {"abc"}},
      {"\n", {""}},
      {"a\r\nb", {"a", "b"}},
      {"a\rb\r", {"a", "b"}},
      {"a\nb\n", {"a", "b"}},
      {"a\n\nb", {"a", "", "b"}},
      {"a\r\r\nb", {"a", "", "b"}},
      {"a\n\r", {"a", ""}},
      {"a\r\n\r\n", {"a", ""}},
      {std::string("a\0b\nc", 5), {std::string("a\0b", 3), "c"}},
  };
  for (const auto& [text, expected] : cases) {
    const std::vector<std::string_view> lines = split_lines(text);
    EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.end()), expected);
  }
}

TEST(ParseDistributionText, ReadsLinesOneAndThreeWhateverTheLineEnds) {
  for (const char* end : {"\r\n", "\n", "\r"}) {
    const std::string text = std::string("0 10 20 30 ") + end + "anything at all" + end + "100 90 50 10 5 " + end +
                             "line four is ignored" + end;
    const AngularDistribution d = parse_distribution_text(text, '.');
    EXPECT_EQ(d.count, 4);
    EXPECT_EQ(d.intensityCount, 5);
    EXPECT_EQ(d.stored_count(), 4);
    const double angles[] = {0, 10, 20, 30};
    const double intensities[] = {100, 90, 50, 10, 5};
    for (int i = 0; i < 4; ++i) EXPECT_EQ(d.angle[static_cast<std::size_t>(i + 1)], angles[i]);
    for (int i = 0; i < 5; ++i) {
      EXPECT_EQ(d.intensity[static_cast<std::size_t>(i + 1)], intensities[i]);
    }
    EXPECT_EQ(d.angle[0], 0.0);
    EXPECT_EQ(d.angle[5], 0.0);
  }
}

TEST(ParseDistributionText, ShortIntensityLineLeavesZeros) {
  const AngularDistribution d = parse_distribution_text("1 2 3 \n\n7 ", '.');
  EXPECT_EQ(d.count, 3);
  EXPECT_EQ(d.intensityCount, 1);
  EXPECT_EQ(d.intensity[1], 7.0);
  EXPECT_EQ(d.intensity[2], 0.0);
  EXPECT_EQ(d.intensity[3], 0.0);
}

TEST(ParseDistributionText, DecimalCommaFiles) {
  const AngularDistribution d = parse_distribution_text("0 2,5 -7,25 \n\n1,5 1e2 0,0 \n", ',');
  EXPECT_EQ(d.count, 3);
  EXPECT_EQ(d.angle[2], 2.5);
  EXPECT_EQ(d.angle[3], -7.25);
  EXPECT_EQ(d.intensity[1], 1.5);
  EXPECT_EQ(d.intensity[2], 100.0);
}

struct FailureCase {
  std::string text;
  char separator;
  std::string legacyText;  // the reader's words, unchanged
  std::string where;       // the line that follows them
  bool conversion;         // ConversionError rather than FileReadError
};

TEST(ParseDistributionText, FailuresKeepTheirWordsAndSayWhere) {
  const FailureCase cases[] = {
      {"", '.', "List index out of bounds (0)", "(line 1 is missing)", false},
      {"abc", '.', "List index out of bounds (2)", "(line 3 is missing)", false},
      {"1 2 \n", '.', "List index out of bounds (2)", "(line 3 is missing)", false},
      {"1 2 \n3 4 \n", '.', "List index out of bounds (2)", "(line 3 is missing)", false},
      {"1 2 \r\n\r\n", '.', "List index out of bounds (2)", "(line 3 is missing)", false},
      // Line 1 is parsed before the missing third line is noticed.
      {"1 x \n3 4 \n", '.', "'x' is not a valid floating point value", "(line 1, value 2)", true},
      {"x \n", '.', "'x' is not a valid floating point value", "(line 1, value 1)", true},
      {" 1 \n\n1 \n", '.', "'' is not a valid floating point value", "(line 1, value 1)", true},
      {"2.5 \n\n1 \n", ',', "'2.5' is not a valid floating point value", "(line 1, value 1)", true},
      {"1 2 \n\n1 2,5 \n", '.', "'2,5' is not a valid floating point value", "(line 3, value 2)", true},
      // Line 2 is free text: a bad "value" there is never looked at.
      {"1 2 3 \nx y \n4 5 6 z 7 \n", '.', "'z' is not a valid floating point value", "(line 3, value 4)", true},
      {"1 2 3 \rfree\r4 5 6 7 bad \r", '.', "'bad' is not a valid floating point value", "(line 3, value 5)", true},
  };
  for (const FailureCase& c : cases) {
    try {
      parse_distribution_text(c.text, c.separator);
      ADD_FAILURE() << "no error for '" << c.text << "'";
    } catch (const UserError& error) {
      EXPECT_EQ(dynamic_cast<const ConversionError*>(&error) != nullptr, c.conversion) << c.text;
      EXPECT_EQ(dynamic_cast<const FileReadError*>(&error) != nullptr, !c.conversion) << c.text;
      EXPECT_EQ(error.text(), c.legacyText) << c.text;
      EXPECT_EQ(std::string(error.what()), c.legacyText + "\n" + c.where) << c.text;
      ASSERT_TRUE(error.place().has_value()) << c.text;
      EXPECT_TRUE(error.place()->file.empty()) << c.text;
    }
  }
}

TEST(ParseValueLine, ABadValueNamesItsPositionPastTheLastSlot) {
  // The 600th value is converted (and so checked) though never stored.
  std::string line;
  for (int k = 1; k < 600; ++k) line += std::to_string(k) + " ";
  line += "x ";
  std::array<double, kDistributionCapacity + 1> slots{};
  try {
    parse_value_line(line, slots, '.');
    FAIL() << "no error";
  } catch (const ConversionError& error) {
    EXPECT_EQ(std::string(error.what()), "'x' is not a valid floating point value\n(value 600)");
    ASSERT_TRUE(error.place().has_value());
    EXPECT_EQ(error.place()->value, 600);
    EXPECT_EQ(error.place()->line, 0);
  }
}

TEST(ParseDistributionText, NulBytesAreOrdinaryInvalidCharacters) {
  EXPECT_THROW(parse_distribution_text(std::string("1\0 2 \n\n3 4 \n", 12), '.'), ConversionError);
  // After the last space of a line anything is ignored, a NUL included.
  const AngularDistribution d = parse_distribution_text(std::string("1 2 \0\n\n3 4 \n", 12), '.');
  EXPECT_EQ(d.count, 2);
  EXPECT_EQ(d.intensity[2], 4.0);
  EXPECT_THROW(parse_distribution_text(std::string("1 2 \n\n3 \0 \n", 11), '.'), ConversionError);
}

TEST(ReadDistributionFile, ReadsAFileFromDisk) {
  const TempDir dir;
  const std::string file = dir.write("led.txt", "0 10 20 30 \r\n\r\n100 80 40 0 \r\n");
  const AngularDistribution d = read_distribution_file(file, '.');
  EXPECT_EQ(d.count, 4);
  EXPECT_EQ(d.intensityCount, 4);
  EXPECT_EQ(d.angle[4], 30.0);
  EXPECT_EQ(d.intensity[2], 80.0);
}

TEST(ReadDistributionFile, CannotOpenNamesTheFileAsPassed) {
  const TempDir dir;
  const std::string missing = (dir.path() / "missing.txt").string();
  const std::string directory = dir.path().string();
  std::filesystem::create_directory(dir.path() / "folder.txt");
  const std::string folder = (dir.path() / "folder.txt").string();
  const std::string existing = dir.write("a.txt", "1 \n\n1 \n");
  const std::string names[] = {
      missing, "", directory, folder, "no/such/dir/x.txt", existing + std::string(1, '\0') + "tail"};
  for (const std::string& name : names) {
    try {
      read_distribution_file(name, '.');
      ADD_FAILURE() << "no error for '" << name << "'";
    } catch (const FileReadError& error) {
      const std::string expected = "Cannot open file " + name;
      EXPECT_STREQ(error.what(), expected.c_str());
    }
  }
}

TEST(ReadDistributionFile, UnreadableFile) {
  const TempDir dir;
  const std::string file = dir.write("locked.txt", "1 \n\n1 \n");
  std::filesystem::permissions(file, std::filesystem::perms::none);
  if (::access(file.c_str(), R_OK) == 0) GTEST_SKIP() << "permissions do not apply to this user";
  try {
    read_distribution_file(file, '.');
    FAIL() << "no error";
  } catch (const FileReadError& error) {
    EXPECT_EQ(std::string(error.what()), "Cannot open file " + file);
  }
}

TEST(ReadDistributionFile, EmptyAndShortFiles) {
  const TempDir dir;
  const std::pair<std::string, std::string> cases[] = {
      {"", "List index out of bounds (0)\n(distribution file short.txt, line 1 is missing)"},
      {"1 2 ", "List index out of bounds (2)\n(distribution file short.txt, line 3 is missing)"},
      {"1 2 \r\n3 4 ", "List index out of bounds (2)\n(distribution file short.txt, line 3 is missing)"},
      {"1 2 \r\n\r\n3 x ", "'x' is not a valid floating point value\n(distribution file short.txt, line 3, value 2)"},
  };
  for (const auto& [content, message] : cases) {
    const std::string file = dir.write("short.txt", content);
    try {
      read_distribution_file(file, '.');
      ADD_FAILURE() << "no error for '" << content << "'";
    } catch (const UserError& error) {
      EXPECT_EQ(std::string(error.what()), std::regex_replace(message, std::regex("short\\.txt"), file));
      ASSERT_TRUE(error.place().has_value());
      EXPECT_EQ(error.place()->file, file) << "the name as the user gave it";
    }
  }
}

TEST(ReadDistributionFile, LargeFile) {
  const TempDir dir;
  std::string content;
  const int values = 1000000;
  content.reserve(12 * 1000 * 1000);
  for (int i = 0; i < values; ++i) content += "1,5 ";
  content += "\n";
  content.append(6 * 1000 * 1000, 'x');
  content += "\n";
  for (int i = 0; i < 600; ++i) content += "2 ";
  const std::string file = dir.write("large.txt", content);
  const AngularDistribution d = read_distribution_file(file, ',');
  EXPECT_EQ(d.count, values);
  EXPECT_EQ(d.stored_count(), kDistributionCapacity);
  EXPECT_EQ(d.intensityCount, 600);
  EXPECT_EQ(d.angle[kDistributionCapacity], 1.5);
  EXPECT_EQ(d.intensity[kDistributionCapacity], 2.0);
}

}  // namespace
}  // namespace lucidra
