#include "distributions/number_text.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <limits>
#include <string>

#include "base/user_error.h"

namespace lucidra {
namespace {

struct RealCase {
  std::string text;
  char separator;
  double expected;
};

TEST(ParseReal, AcceptsTheLocaleNumberGrammar) {
  const double minSubnormal = std::numeric_limits<double>::denorm_min();
  const RealCase cases[] = {
      {"0", '.', 0.0},
      {"10", '.', 10.0},
      {"-2.5", '.', -2.5},
      {"+3", '.', 3.0},
      {"1.", '.', 1.0},
      {".5", '.', 0.5},
      {"-.5", '.', -0.5},
      {"00012", '.', 12.0},
      {"1e3", '.', 1000.0},
      {"1E+3", '.', 1000.0},
      {"2.5e-1", '.', 0.25},
      {"95,5", ',', 95.5},
      {"-1,25E2", ',', -125.0},
      {",5", ',', 0.5},
      {"0.1", '.', 0.1},
      {"1.7976931348623157e308", '.', std::numeric_limits<double>::max()},
      {"2.2250738585072011e-308", '.', 2.2250738585072009e-308},
      {"9007199254740993", '.', 9007199254740992.0},  // a tie rounds to even
      {"5e-324", '.', minSubnormal},
      {"3e-324", '.', minSubnormal},
      {"1e-400", '.', 0.0},
      {"2e-324", '.', 0.0},
      {"0e99999", '.', 0.0},
      {"1e-99999999999999999999", '.', 0.0},
  };
  for (const RealCase& c : cases) {
    const std::optional<double> value = try_parse_real(c.text, c.separator);
    ASSERT_TRUE(value.has_value()) << "text '" << c.text << "' separator " << c.separator;
    EXPECT_EQ(*value, c.expected) << "text '" << c.text << "'";
    EXPECT_EQ(parse_real(c.text, c.separator), c.expected) << "text '" << c.text << "'";
  }
}

TEST(ParseReal, UnderflowKeepsTheSign) {
  const double value = parse_real("-1e-400", '.');
  EXPECT_EQ(value, 0.0);
  EXPECT_TRUE(std::signbit(value));
}

struct RefusedCase {
  std::string text;
  char separator;
};

TEST(ParseReal, RefusesEverythingElseWithTheConversionMessage) {
  const RefusedCase cases[] = {
      {"", '.'},
      {"+", '.'},
      {"-", '.'},
      {".", '.'},
      {",", ','},
      {"+.", '.'},
      {"nan", '.'},
      {"NaN", '.'},
      {"inf", '.'},
      {"-inf", '.'},
      {"infinity", '.'},
      {"0x1p3", '.'},
      {"0x10", '.'},
      {"1e999", '.'},
      {"-1e400", '.'},
      {"1e99999999999999999999", '.'},
      {" 1", '.'},
      {"1 ", '.'},
      {"\t1", '.'},
      {"1\t", '.'},
      {"1.2.3", '.'},
      {"1,,5", ','},
      {"2.5", ','},
      {"1,5", '.'},
      {"1e", '.'},
      {"1e+", '.'},
      {"1e-", '.'},
      {"e5", '.'},
      {".e5", '.'},
      {"1e5.0", '.'},
      {"1e5e5", '.'},
      {"--1", '.'},
      {"+-1", '.'},
      {"1-", '.'},
      {"abc", '.'},
      {"12abc", '.'},
      {std::string("1\0", 2), '.'},
      {std::string("\0", 1), '.'},
      {"1\xff", '.'},
      {"\xe9", '.'},
      {"1'000", '.'},
      {"1_0", '.'},
  };
  for (const RefusedCase& c : cases) {
    EXPECT_FALSE(try_parse_real(c.text, c.separator).has_value())
        << "text '" << c.text << "' separator " << c.separator;
    try {
      parse_real(c.text, c.separator);
      ADD_FAILURE() << "no error for '" << c.text << "'";
    } catch (const ConversionError& error) {
      const std::string expected = quoted_value_text(c.text) + " is not a valid floating point value";
      EXPECT_EQ(std::string(error.what()), expected);
    }
  }
}

TEST(ParseReal, EmptyTextNamesNothingBetweenTheQuotes) {
  try {
    parse_real("", ',');
    FAIL() << "no error";
  } catch (const ConversionError& error) {
    EXPECT_STREQ(error.what(), "'' is not a valid floating point value");
  }
}

struct WholeCase {
  std::string text;
  std::int32_t expected;
};

TEST(ParseWholeNumber, AcceptsDecimalAndHexadecimal) {
  const WholeCase cases[] = {
      {"0", 0},
      {"123", 123},
      {"+7", 7},
      {"-0", 0},
      {"   42", 42},
      {" -5", -5},
      {"000000000000012", 12},
      {"2147483647", 2147483647},
      {"-2147483648", std::numeric_limits<std::int32_t>::min()},
      {"$1F", 31},
      {"0x1f", 31},
      {"0X1F", 31},
      {"$7FFFFFFF", 2147483647},
      {"$FFFFFFFF", -1},
      {"$80000000", std::numeric_limits<std::int32_t>::min()},
      {"-$10", -16},
      {"+0x10", 16},
      {"  $ff", 255},
  };
  for (const WholeCase& c : cases) {
    const std::optional<std::int32_t> value = try_parse_whole_number(c.text);
    ASSERT_TRUE(value.has_value()) << "text '" << c.text << "'";
    EXPECT_EQ(*value, c.expected) << "text '" << c.text << "'";
    EXPECT_EQ(parse_whole_number(c.text), c.expected) << "text '" << c.text << "'";
  }
}

TEST(ParseWholeNumber, RefusesWithTheIntegerMessage) {
  const std::string cases[] = {
      "",
      " ",
      "-",
      "+",
      "2147483648",
      "-2147483649",
      "4294967296",
      "99999999999999999999",
      "12 ",
      "1.5",
      "1,5",
      "abc",
      "1e3",
      "$",
      "0x",
      "-$",
      "$123456789",
      "0x1G",
      "\t5",
      "--5",
      "+-5",
      "5-",
      std::string("5\0", 2),
      "0x 1",
  };
  for (const std::string& text : cases) {
    EXPECT_FALSE(try_parse_whole_number(text).has_value()) << "text '" << text << "'";
    try {
      parse_whole_number(text);
      ADD_FAILURE() << "no error for '" << text << "'";
    } catch (const ConversionError& error) {
      const std::string expected = quoted_value_text(text) + " is not a valid integer value";
      EXPECT_EQ(std::string(error.what()), expected);
    }
  }
}

TEST(LocaleDecimalSeparator, FollowsLcNumeric) {
  const std::string saved = std::setlocale(LC_NUMERIC, nullptr);
  ASSERT_NE(std::setlocale(LC_NUMERIC, "C"), nullptr);
  EXPECT_EQ(locale_decimal_separator(), '.');
  const bool haveComma =
      std::setlocale(LC_NUMERIC, "de_DE.UTF-8") != nullptr || std::setlocale(LC_NUMERIC, "de_DE.utf8") != nullptr;
  const char separator = locale_decimal_separator();
  std::setlocale(LC_NUMERIC, saved.c_str());
  if (!haveComma) GTEST_SKIP() << "no decimal-comma locale installed";
  EXPECT_EQ(separator, ',');
}

}  // namespace
}  // namespace lucidra
