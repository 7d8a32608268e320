#include "output/ray_file_reader.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <random>

#include "distributions/distribution_file.h"
#include "output/ray_file.h"
#include "support/temp_dir.h"

namespace lucidra {
namespace {

TEST(RayNumber, ReadsBackEveryPrintedValueExactly) {
  // The fast path must give the correctly rounded value of the text, as the
  // C library's conversion does, for the "%e" shape and for other shapes.
  std::mt19937_64 rng(7);
  std::uniform_real_distribution<double> mantissa(-10, 10);
  std::uniform_int_distribution<int> exponent(-40, 40);
  char text[64];
  for (int i = 0; i < 200000; ++i) {
    const double v = mantissa(rng) * std::pow(10.0, exponent(rng));
    const char* pattern = i % 4 == 3 ? "%.17g" : "%e";
    std::snprintf(text, sizeof text, pattern, v);
    double parsed = 0;
    const char* end = text + std::strlen(text);
    ASSERT_EQ(parse_ray_number(text, end, parsed), end) << text;
    ASSERT_EQ(parsed, std::strtod(text, nullptr)) << text;
  }
  for (const char* bad : {"nan", "inf", "1.0e999", "x", "1.0.0", "--1"}) {
    double parsed = 0;
    EXPECT_EQ(parse_ray_number(bad, bad + std::strlen(bad), parsed), nullptr) << bad;
  }
  double negativeZero = 1;
  const char* text0 = "-0.000000e+00";
  ASSERT_NE(parse_ray_number(text0, text0 + 13, negativeZero), nullptr);
  EXPECT_TRUE(std::signbit(negativeZero));
}

struct ReadOutcome {
  RayFileReadResult result;
  std::vector<RayRecord> rays;
};

ReadOutcome read_all(const std::string& path, RayFileKind kind, unsigned threads) {
  ReadOutcome out;
  std::vector<std::vector<RayRecord>> blocks;
  out.result = read_text_ray_file(
      path, kind, threads,
      [](const RayRecord* r, std::size_t n) -> std::shared_ptr<void> {
        return std::make_shared<std::vector<RayRecord>>(r, r + n);
      },
      [&](std::shared_ptr<void> p) {
        const auto& v = *static_cast<const std::vector<RayRecord>*>(p.get());
        out.rays.insert(out.rays.end(), v.begin(), v.end());
      });
  return out;
}

std::string ray_lines(int count) {
  std::string text;
  char line[kMaxRayLineLength];
  for (int i = 0; i < count; ++i) {
    const RayRecord r{i * 0.5, -i * 0.25, 0, 0.6, 0, 0.8, 1.0 / (i + 1)};
    text.append(line, format_ray_line(r, line));
  }
  return text;
}

TEST(ReadTextRayFile, BothHeadersInFileOrderOnAnyThreadCount) {
  TempDir dir;
  AngularDistribution table;
  table.count = table.intensityCount = 14;
  for (int k = 1; k <= 14; ++k) table.angle[k] = k;
  const int rays = 200001;  // several blocks
  const std::string zemax = dir.write("z.dat", zemax_header(rays - 1) + ray_lines(rays));
  const std::string tracepro =
      dir.write("t.txt", tracepro_header({table.angle[1], table.angle[5], table.angle[14]}) + ray_lines(rays));
  for (const auto& [path, kind] : {std::pair{zemax, RayFileKind::Zemax}, std::pair{tracepro, RayFileKind::TracePro}}) {
    for (unsigned threads : {1u, 3u}) {
      const ReadOutcome read = read_all(path, RayFileKind::Auto, threads);
      EXPECT_EQ(read.result.kind, kind);
      ASSERT_EQ(read.result.rays, rays);
      ASSERT_EQ(read.rays.size(), static_cast<std::size_t>(rays));
      for (int i : {0, 1, 77777, rays - 1}) {
        EXPECT_EQ(read.rays[static_cast<std::size_t>(i)].x, i * 0.5) << i;
        EXPECT_NEAR(read.rays[static_cast<std::size_t>(i)].flux, 1.0 / (i + 1), 1e-6 / (i + 1)) << i;
      }
    }
  }
}

TEST(ReadTextRayFile, MalformedFilesNameFileAndLine) {
  TempDir dir;
  const std::string good = ray_lines(3);
  struct Case {
    const char* name;
    std::string bytes;
    RayFileKind kind;
    std::string message;  // after "Ray file <path>"
  };
  const Case cases[] = {
      {"truncated", "5 4 \r\n" + good, RayFileKind::Auto,
       ": the header announces 5 rays but the file holds 3; is it cut short?"},
      {"six numbers", "2 4 \r\n" + good + "1 2 3 4 5 6\r\n", RayFileKind::Auto,
       ", line 5: a ray line needs 7 numbers, this one has 6"},
      {"nine numbers", "2 4 \r\n1 2 3 4 5 6 7 8 9\r\n", RayFileKind::Auto,
       ", line 2: a ray line needs 7 numbers, this one has more"},
      {"not a number", "2 4 \r\n" + good.substr(0, 40) + "x" + good.substr(41), RayFileKind::Auto,
       ", line 2: '" + good.substr(0, 40) + "x" + good.substr(41, good.find('\r') - 41) +
           "' is not a ray of seven numbers"},
      {"zero rays", "0 4 \r\n", RayFileKind::Auto, ": holds no ray"},
      {"empty", "", RayFileKind::Auto, ": is empty"},
      {"forced zemax", "!! Source file\r\n" + good, RayFileKind::Zemax,
       ", line 1: '!! Source file' is not a Zemax header (the number of rays, then 4)"},
      {"no rays at all", std::string(100, 'a') + "\n", RayFileKind::Auto,
       ", line 1: "
       "'aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa' is "
       "not a ray of seven numbers"},
  };
  for (const Case& c : cases) {
    const std::string path = dir.write(c.name, c.bytes);
    try {
      read_all(path, c.kind, 2);
      ADD_FAILURE() << c.name << " was accepted";
    } catch (const RayFileError& e) {
      EXPECT_EQ(e.what(), "Ray file " + path + c.message) << c.name;
    }
  }
  try {
    read_all((dir.path() / "missing.dat").string(), RayFileKind::Auto, 1);
    ADD_FAILURE() << "a missing file was accepted";
  } catch (const RayFileError& e) {
    EXPECT_NE(std::string(e.what()).find("missing.dat: cannot be opened: No such file"), std::string::npos) << e.what();
  }
  // A standard Zemax count (N rays after N) is accepted beside this program's N + 1.
  EXPECT_EQ(read_all(dir.write("n.dat", "3 4 \r\n" + good), RayFileKind::Auto, 1).result.rays, 3);
}

}  // namespace
}  // namespace lucidra
