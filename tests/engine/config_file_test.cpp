#include "engine/config_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <unistd.h>

namespace lucidra {
namespace {

// The fifteen lines of a complete file, with distinct values everywhere.
std::vector<std::string> full_config() {
  return {
      "C:\\out\\trace.txt",  // 1
      "D:\\zemax\\ray.dat",  // 2
      "horizontal.txt",      // 3
      "vertical.txt",        // 4
      "250000",              // 5
      "1200",                // 6
      "unused 7",            // 7
      "",                    // 8
      "180",                 // 9
      "unused 10",           // 10
      "0,5",                 // 11
      "unused 12",           // 12
      "0,25",                // 13
      "0,003",               // 14
      "0,004",               // 15
  };
}

std::string join(const std::vector<std::string>& lines, const std::string& end) {
  std::string text;
  for (const std::string& line : lines) text += line + end;
  return text;
}

class ScratchFile {
 public:
  explicit ScratchFile(const std::string& bytes) {
    static int serial = 0;
    path_ = (std::filesystem::temp_directory_path() /
             ("lucidra-cfg-test-" + std::to_string(::getpid()) + "-" + std::to_string(serial++)))
                .string();
    std::ofstream out(path_, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  }
  ~ScratchFile() {
    std::error_code ec;
    std::filesystem::remove(path_, ec);
  }
  ScratchFile(const ScratchFile&) = delete;
  ScratchFile& operator=(const ScratchFile&) = delete;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

TEST(SplitConfigText, LineEndsAndNul) {
  const std::pair<std::string, std::vector<std::string>> cases[] = {
      {"", {}},
      {"a", {"a"}},
      {"a\r\nb\r\n", {"a", "b"}},
      {"a\nb\n", {"a", "b"}},
      {"a\rb\r", {"a", "b"}},
      {"a\r\n\r\nb", {"a", "", "b"}},
      {"  padded  \r\n", {"  padded  "}},
      {std::string("a\nb\0c\nd", 7), {"a", "b"}},
      {std::string("\0a\nb", 4), {}},
  };
  for (const auto& [text, expected] : cases) EXPECT_EQ(split_config_text(text), expected);
}

TEST(LoadConfigLines, ReadsTheWholeFile) {
  const ScratchFile file(join(full_config(), "\r\n"));
  EXPECT_EQ(load_config_lines(file.path()), full_config());
}

TEST(LoadConfigLines, CannotOpenNamesTheFileAsPassed) {
  const std::string missing = (std::filesystem::temp_directory_path() / "lucidra-no-such.cfg").string();
  const std::string names[] = {missing, "", std::filesystem::temp_directory_path().string(), "no-such-dir/lucidra.cfg"};
  for (const std::string& name : names) {
    try {
      load_config_lines(name);
      ADD_FAILURE() << "no error for '" << name << "'";
    } catch (const FileReadError& error) {
      EXPECT_EQ(std::string(error.what()), "Cannot open file " + name);
    }
  }
}

TEST(ConfigLine, OutOfBoundsNamesTheIndexFromZero) {
  const std::vector<std::string> tenLines(10, "x");
  EXPECT_EQ(config_line(tenLines, 1), "x");
  EXPECT_EQ(config_line(tenLines, 10), "x");
  const std::pair<int, std::string> cases[] = {
      {11, "List index out of bounds (10)"},
      {15, "List index out of bounds (14)"},
      {0, "List index out of bounds (-1)"},
  };
  for (const auto& [number, message] : cases) {
    try {
      config_line(tenLines, number);
      ADD_FAILURE() << "no error for line " << number;
    } catch (const FileReadError& error) {
      EXPECT_EQ(std::string(error.what()), message);
    }
  }
}

struct NaCase {
  std::string text;
  char separator;
  NaValidation::Action action;
  std::string replacement;
};

TEST(ValidateNaText, CorrectsIntoZeroToOne) {
  using Action = NaValidation::Action;
  const NaCase cases[] = {
      {"", ',', Action::SilentStop, ""},
      {"-", ',', Action::Replace, "0"},
      {"0", ',', Action::Keep, ""},
      {"1", ',', Action::Keep, ""},
      {"0,5", ',', Action::Keep, ""},
      {"0.5", '.', Action::Keep, ""},
      {"1,5", ',', Action::Replace, "1"},
      {"2", '.', Action::Replace, "1"},
      {"5", ',', Action::Replace, "1"},
      {"1e300", '.', Action::Replace, "1"},
      {"-1e300", '.', Action::Replace, "0"},
      {"-0,1", ',', Action::Replace, "0"},
      {"-7", '.', Action::Replace, "0"},
      {"1,00000001", ',', Action::Keep, ""},  // equals 1 in single precision
      {"1.0000001", '.', Action::Replace, "1"},
      {"-0", '.', Action::Keep, ""},
      {"-1e-50", '.', Action::Keep, ""},  // -0 in single precision
      {"1e-50", '.', Action::Keep, ""},
  };
  for (const NaCase& c : cases) {
    const NaValidation result = validate_na_text(c.text, c.separator);
    EXPECT_EQ(result.action, c.action) << "text '" << c.text << "'";
    EXPECT_EQ(result.replacement, c.replacement) << "text '" << c.text << "'";
  }
}

TEST(ValidateNaText, NonNumberIsAConversionError) {
  const std::pair<std::string, char> cases[] = {{"abc", ','}, {"1.5", ','}, {"0,5", '.'},
                                                {"--", '.'},  {" 0", '.'},  {"nan", '.'}};
  for (const auto& [text, separator] : cases) {
    try {
      validate_na_text(text, separator);
      ADD_FAILURE() << "no error for '" << text << "'";
    } catch (const ConversionError& error) {
      EXPECT_EQ(std::string(error.what()), "'" + text + "' is not a valid floating point value");
    }
  }
}

TEST(ReadConfigValues, CompleteFileSetsEverySetting) {
  std::vector<std::string> lines = full_config();
  lines.push_back("line 16 is ignored");
  lines.push_back("abc");
  for (const char* end : {"\r\n", "\n", "\r"}) {
    const ScratchFile file(join(lines, end));
    const ConfigValues v = read_config_values(load_config_lines(file.path()), ',');
    EXPECT_EQ(v.traceProPath, "C:\\out\\trace.txt");
    EXPECT_EQ(v.zemaxPath, "D:\\zemax\\ray.dat");
    EXPECT_EQ(v.longitudinalFile, "horizontal.txt");
    EXPECT_EQ(v.transversalFile, "vertical.txt");
    EXPECT_EQ(v.rayCount, 250000);
    EXPECT_EQ(v.sourceFlux, 1200);
    EXPECT_EQ(v.extentAboutZ, 180);
    EXPECT_EQ(v.numericalAperture, "0,5");
    EXPECT_EQ(v.secondNa, "0,25");
    EXPECT_EQ(v.sizeY, "0,003");
    EXPECT_EQ(v.sizeX, "0,004");
    EXPECT_EQ(v.lastLineApplied, 15);
  }
}

// The value a line ends up as, written as text.
std::string setting_of_line(const ConfigValues& v, int line) {
  switch (line) {
    case 1: return v.traceProPath;
    case 2: return v.zemaxPath;
    case 3: return v.longitudinalFile;
    case 4: return v.transversalFile;
    case 5: return std::to_string(v.rayCount);
    case 6: return std::to_string(v.sourceFlux);
    case 9: return std::to_string(v.extentAboutZ);
    case 11: return v.numericalAperture;
    case 13: return v.secondNa;
    case 14: return v.sizeY;
    case 15: return v.sizeX;
    default: return "(line not used)";
  }
}

struct LineCase {
  int line;
  std::string text;
  char separator;
  std::string expected;
};

TEST(ReadConfigValues, ConversionsAndClamps) {
  const LineCase cases[] = {
      {5, "0", ',', "1"},
      {5, "-5", ',', "1"},
      {5, "2000000000", ',', "1000000000"},
      {5, "2147483647", ',', "1000000000"},
      {5, "  42", ',', "42"},
      {5, "$10", ',', "16"},
      {6, "1", ',', "5"},
      {6, "0xFFFF", ',', "50000"},
      {6, "50000", ',', "50000"},
      {9, "400", ',', "360"},
      {9, "-1", ',', "0"},
      {9, "0", ',', "0"},
      {11, "5", ',', "1"},
      {11, "1,5", ',', "1"},
      {11, "-", ',', "0"},
      {11, "-3", ',', "0"},
      {11, "0,25", ',', "0,25"},
      {11, "0.25", '.', "0.25"},
      {11, "1,00000001", ',', "1,00000001"},
      {1, "  C:\\with blanks.txt  ", ',', "  C:\\with blanks.txt  "},
      {3, "missing-file.txt", ',', "missing-file.txt"},
      {13, "", ',', ""},
      {14, "not a number yet", ',', "not a number yet"},
      {15, "1.5", ',', "1.5"},
  };
  for (const LineCase& c : cases) {
    std::vector<std::string> lines = full_config();
    lines[static_cast<std::size_t>(c.line - 1)] = c.text;
    const ConfigValues v = read_config_values(lines, c.separator);
    EXPECT_EQ(setting_of_line(v, c.line), c.expected) << "line " << c.line << " '" << c.text << "'";
  }
}

struct FailureCase {
  std::string name;
  std::vector<std::string> lines;
  std::string message;
  int lastLineApplied;
};

std::vector<std::string> first_lines(std::size_t count) {
  std::vector<std::string> lines = full_config();
  lines.resize(count);
  return lines;
}

std::vector<std::string> with_line(int number, const std::string& text) {
  std::vector<std::string> lines = full_config();
  lines[static_cast<std::size_t>(number - 1)] = text;
  return lines;
}

TEST(ReadConfigValues, StopsAtTheFailingLine) {
  const FailureCase cases[] = {
      {"empty file", {}, "List index out of bounds (0)", 0},
      {"one line", first_lines(1), "List index out of bounds (1)", 1},
      {"four lines", first_lines(4), "List index out of bounds (4)", 4},
      {"six lines: lines 7 and 8 are never fetched", first_lines(6), "List index out of bounds (8)", 6},
      {"eight lines", first_lines(8), "List index out of bounds (8)", 6},
      {"ten lines", first_lines(10), "List index out of bounds (10)", 9},
      {"twelve lines", first_lines(12), "List index out of bounds (12)", 11},
      {"fourteen lines", first_lines(14), "List index out of bounds (14)", 14},
      {"letters for rays", with_line(5, "abc"), "'abc' is not a valid integer value", 4},
      {"empty rays", with_line(5, ""), "'' is not a valid integer value", 4},
      {"decimal rays", with_line(5, "1,5"), "'1,5' is not a valid integer value", 4},
      {"rays beyond 32 bits", with_line(5, "4294967296"), "'4294967296' is not a valid integer value", 4},
      {"trailing blank flux", with_line(6, "100 "), "'100 ' is not a valid integer value", 5},
      {"bad extent", with_line(9, "$123456789"), "'$123456789' is not a valid integer value", 6},
      {"letters for NA", with_line(11, "abc"), "'abc' is not a valid floating point value", 11},
      {"point in a comma locale", with_line(11, "0.5"), "'0.5' is not a valid floating point value", 11},
      {"empty NA", with_line(11, ""), "Configuration file lucidra.cfg: line 11 (NA) is empty", 11},
  };
  for (const FailureCase& c : cases) {
    ConfigValues v;
    try {
      read_config_values(c.lines, v, ',');
      ADD_FAILURE() << c.name << ": no error";
    } catch (const UserError& error) {
      EXPECT_EQ(std::string(error.what()), c.message) << c.name;
    }
    EXPECT_EQ(v.lastLineApplied, c.lastLineApplied) << c.name;
    // The sizes are the last lines; no failure gets that far.
    EXPECT_EQ(v.sizeX, "0,00001") << c.name;
  }
}

TEST(ReadConfigValues, ErrorTypesMatchTheirCause) {
  ConfigValues v;
  EXPECT_THROW(read_config_values(first_lines(3), v, ','), FileReadError);
  EXPECT_THROW(read_config_values(with_line(6, "x"), v, ','), ConversionError);
  EXPECT_THROW(read_config_values(with_line(11, "x"), v, ','), ConversionError);
  EXPECT_THROW(read_config_values(with_line(11, ""), v, ',', "my.cfg"), ConfigSilentStop);
}

TEST(ReadConfigValues, EarlierLinesStayAppliedAfterAFailure) {
  ConfigValues v;
  EXPECT_THROW(read_config_values(with_line(9, "nine"), v, ','), ConversionError);
  EXPECT_EQ(v.traceProPath, "C:\\out\\trace.txt");
  EXPECT_EQ(v.transversalFile, "vertical.txt");
  EXPECT_EQ(v.rayCount, 250000);
  EXPECT_EQ(v.sourceFlux, 1200);
  EXPECT_EQ(v.extentAboutZ, 360);
  EXPECT_EQ(v.numericalAperture, "0");

  // The NA field keeps the text that failed, as the window's field does.
  ConfigValues na;
  EXPECT_THROW(read_config_values(with_line(11, "abc"), na, ','), ConversionError);
  EXPECT_EQ(na.numericalAperture, "abc");
  EXPECT_EQ(na.extentAboutZ, 180);
  EXPECT_EQ(na.secondNa, "0");

  ConfigValues empty;
  try {
    read_config_values(with_line(11, ""), empty, ',', "other.cfg");
    FAIL() << "no error";
  } catch (const ConfigSilentStop& error) {
    EXPECT_STREQ(error.what(), "Configuration file other.cfg: line 11 (NA) is empty");
  }
  EXPECT_EQ(empty.numericalAperture, "");
  EXPECT_EQ(empty.sizeY, "0,00001");
}

TEST(ReadConfigValues, NaValidationRunsOnlyWhenTheTextChanges) {
  // The field already holds this text, so setting it again validates nothing.
  ConfigValues v;
  v.numericalAperture = "abc";
  read_config_values(with_line(11, "abc"), v, ',');
  EXPECT_EQ(v.numericalAperture, "abc");
  EXPECT_EQ(v.sizeX, "0,004");
}

}  // namespace
}  // namespace lucidra

namespace lucidra {
namespace {

// What the window saves, start-up reads back: every field, under both
// separators, including empty names and texts the NA validation keeps.
TEST(WriteConfigFile, RoundTripsThroughTheReader) {
  struct Case {
    char separator;
    ConfigValues values;
  };
  ConfigValues comma;
  comma.traceProPath = "/home/user/rays/trace 1.txt";
  comma.zemaxPath = "D:\\zemax\\ray.dat";
  comma.longitudinalFile = "horizontal.txt";
  comma.transversalFile = "/elsewhere/vertical.txt";
  comma.rayCount = 1000000000;
  comma.sourceFlux = 5;
  comma.extentAboutZ = 0;
  comma.numericalAperture = "0,35";
  comma.secondNa = "0,25";
  comma.sizeY = "0,003";
  comma.sizeX = "12,5";
  ConfigValues point = comma;
  point.numericalAperture = "1";
  point.sizeY = "0.003";
  point.sizeX = "2";
  point.longitudinalFile.clear();
  point.rayCount = 1;
  point.sourceFlux = 50000;
  point.extentAboutZ = 360;
  for (const Case& c : {Case{',', comma}, Case{'.', point}}) {
    const std::string text = format_config_text(c.values);
    const std::vector<std::string> lines = split_config_text(text);
    ASSERT_EQ(lines.size(), 15u) << text;
    for (int unused : {7, 8, 10, 12}) EXPECT_EQ(config_line(lines, unused), "") << unused;
    const ConfigValues back = read_config_values(lines, c.separator);
    EXPECT_EQ(back.traceProPath, c.values.traceProPath);
    EXPECT_EQ(back.zemaxPath, c.values.zemaxPath);
    EXPECT_EQ(back.longitudinalFile, c.values.longitudinalFile);
    EXPECT_EQ(back.transversalFile, c.values.transversalFile);
    EXPECT_EQ(back.rayCount, c.values.rayCount);
    EXPECT_EQ(back.sourceFlux, c.values.sourceFlux);
    EXPECT_EQ(back.extentAboutZ, c.values.extentAboutZ);
    EXPECT_EQ(back.numericalAperture, c.values.numericalAperture);
    EXPECT_EQ(back.secondNa, c.values.secondNa);
    EXPECT_EQ(back.sizeY, c.values.sizeY);
    EXPECT_EQ(back.sizeX, c.values.sizeX);
    EXPECT_EQ(back.lastLineApplied, 15);
  }
}

// The exact bytes: the layout the shipped example uses, CR LF everywhere.
TEST(WriteConfigFile, WritesFifteenPositionalLines) {
  ConfigValues values;
  values.traceProPath = "tracepro_rays.dat";
  values.zemaxPath = "zemax_rays.dat";
  values.longitudinalFile = "lambertian.txt";
  values.transversalFile = "narrow.txt";
  values.sizeX = values.sizeY = "1";
  const std::filesystem::path file =
      std::filesystem::temp_directory_path() / ("lucidra_cfg_" + std::to_string(::getpid()) + ".cfg");
  write_config_file(file.string(), values);
  std::string bytes;
  {
    std::ifstream in(file, std::ios::binary);  // closed before the removal (Windows refuses an open file)
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  std::filesystem::remove(file);
  EXPECT_EQ(bytes,
            "tracepro_rays.dat\r\nzemax_rays.dat\r\nlambertian.txt\r\nnarrow.txt\r\n30000\r\n3500\r\n"
            "\r\n\r\n360\r\n\r\n0\r\n\r\n0\r\n1\r\n1\r\n");
}

TEST(WriteConfigFile, Refusals) {
  ConfigValues broken;
  broken.longitudinalFile = "two\nlines.txt";
  try {
    format_config_text(broken);
    FAIL() << "a line break was written";
  } catch (const UserError& error) {
    EXPECT_STREQ(error.what(), "Setting first distribution cannot be saved: it holds a line break");
  }
  const std::string missingFolder = "/nonexistent-lucidra-folder/lucidra.cfg";
  try {
    write_config_file(missingFolder, ConfigValues{});
    FAIL() << "wrote into a missing folder";
  } catch (const UserError& error) {
    EXPECT_EQ(std::string(error.what()), "Cannot create file " + missingFolder);
  }
}

}  // namespace
}  // namespace lucidra
