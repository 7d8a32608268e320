#include "output/ray_file.h"
#include "distributions/distribution_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <clocale>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <random>
#include <stdexcept>
#include <string>
#include <thread>

#include "base/user_error.h"

namespace lucidra {
namespace {

namespace fs = std::filesystem;

std::string ray_line(const RayRecord& ray) {
  char buffer[kMaxRayLineLength];
  const char* end = format_ray_line(ray, buffer);
  return std::string(buffer, static_cast<std::size_t>(end - buffer));
}

std::string read_bytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST(RayLine, ExactBytes) {
  const struct {
    RayRecord ray;
    const char* line;
  } cases[] = {
      // First ray of a default Sobol run: 2 mm square, Uniform radial, 3500 W
      // over 30001 rays.
      {{0.9998435, 0.3692442, 0.0, -0.9951004, 0.04888615, 0.0859375, 3500.0 / 30001},
       "9.998435e-01 3.692442e-01 0.000000e+00 -9.951004e-01 4.888615e-02 8.593750e-02 1.166628e-01\r\n"},
      // Negative, zero and negative-zero coordinates, a direction cosine of
      // exactly 1, a three-digit exponent.
      {{-1.5, 0.0, -0.0, 0.0, 0.0, 1.0, 1e-300},
       "-1.500000e+00 0.000000e+00 -0.000000e+00 0.000000e+00 0.000000e+00 1.000000e+00 1.000000e-300\r\n"},
      // The longest line: every field negative with a three-digit exponent.
      {{-1.797693e308, -1.797693e308, -1.797693e308, -1e-308, -1e-308, -1e-308, -1e-308},
       "-1.797693e+308 -1.797693e+308 -1.797693e+308 -1.000000e-308 -1.000000e-308 -1.000000e-308 "
       "-1.000000e-308\r\n"},
  };
  for (const auto& c : cases) {
    const std::string line = ray_line(c.ray);
    EXPECT_EQ(line, c.line);
    EXPECT_LE(line.size(), static_cast<std::size_t>(kMaxRayLineLength));
  }
}

AngularDistribution distribution_with_angles(std::initializer_list<double> angles) {
  AngularDistribution distribution;
  distribution.count = static_cast<std::int32_t>(angles.size());
  std::size_t slot = 1;
  for (const double angle : angles) distribution.angle[slot++] = angle;
  return distribution;
}

TEST(Headers, ExactBytes) {
  EXPECT_EQ(zemax_header(30000), "30000 4 \r\n");
  EXPECT_EQ(zemax_header(1), "1 4 \r\n");
  EXPECT_EQ(zemax_header(1000000000), "1000000000 4 \r\n");

  const std::string fixedLines =
      "!! Source file: F:quorvelan.oml \r\n"
      "\r\n"
      "TracePro Release: 3 2 5 \r\n";
  const AngularDistribution full = distribution_with_angles(
      {-90.0, -80.0, -70.0, -60.0, -12.3456785, -40.0, -30.0, -20.0, -10.0, 0.0, 10.0, 20.0, 30.0, 87.5, 90.0});
  EXPECT_EQ(tracepro_header({full.angle[1], full.angle[5], full.angle[14]}), fixedLines +
                                                                                 "-90.000000 ignored \r\n"
                                                                                 "-12.345678 ignored \r\n"
                                                                                 "87.500000 ignored \r\n");
  // Fewer than five values: the missing slots are zero.
  const AngularDistribution shortList = distribution_with_angles({0.0, 45.0, 90.0});
  EXPECT_EQ(tracepro_header({shortList.angle[1], shortList.angle[5], shortList.angle[14]}),
            fixedLines +
                "0.000000 ignored \r\n"
                "0.000000 ignored \r\n"
                "0.000000 ignored \r\n");
}

// The TracePro angles match the C library's "%f" in the "C" locale, also
// for values whose last decimal needs care.
TEST(Headers, AnglesMatchCLibrary) {
  for (const double angle : {0.0000005, 0.0000015, -0.0000005, 1e-7, 2.5, 179.9999995, 1e15 + 0.5, -0.0, 1e300}) {
    char expected[400];
    std::snprintf(expected, sizeof expected, "%f ignored \r\n", angle);
    AngularDistribution distribution;
    distribution.angle[1] = angle;
    const std::string header = tracepro_header({distribution.angle[1], distribution.angle[5], distribution.angle[14]});
    const std::size_t line4 = header.find("\r\n", header.find("Release")) + 2;
    EXPECT_EQ(header.substr(line4, header.find("\r\n", line4) + 2 - line4), expected) << angle;
  }
}

// Scoped LC_ALL switch to a locale with a decimal comma, if one is installed.
class CommaLocale {
 public:
  CommaLocale() {
    saved_ = std::setlocale(LC_ALL, nullptr);
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "fr_FR.utf8", "de_DE", "fr_FR"}) {
      if (std::setlocale(LC_ALL, name) != nullptr) {
        active_ = true;
        return;
      }
    }
  }
  ~CommaLocale() { std::setlocale(LC_ALL, saved_.c_str()); }
  CommaLocale(const CommaLocale&) = delete;
  CommaLocale& operator=(const CommaLocale&) = delete;
  bool active() const { return active_; }

 private:
  std::string saved_;
  bool active_ = false;
};

TEST(Headers, DecimalPointUnderACommaLocale) {
  const RayRecord ray{0.5, -1.25, 0.0, 0.0, 0.0, 1.0, 0.125};
  const std::string expectedLine = ray_line(ray);
  const AngularDistribution angles = distribution_with_angles({-90.5, 1, 2, 3, 4.25});
  const std::string expectedHeader = tracepro_header({angles.angle[1], angles.angle[5], angles.angle[14]});

  CommaLocale locale;
  if (!locale.active()) GTEST_SKIP() << "no locale with a decimal comma is installed";
  char probe[16];
  std::snprintf(probe, sizeof probe, "%.1f", 0.5);
  ASSERT_STREQ(probe, "0,5") << "the locale does not use a decimal comma";

  EXPECT_EQ(ray_line(ray), expectedLine);
  EXPECT_EQ(tracepro_header({angles.angle[1], angles.angle[5], angles.angle[14]}), expectedHeader);
  EXPECT_NE(expectedHeader.find("-90.500000 ignored"), std::string::npos);
}

class RayFileWriterTest : public ::testing::Test {
 protected:
  void SetUp() override {
#ifdef _WIN32
    // No mkdtemp on Windows: a random number and a counter make the name unique.
    static int serial = 0;
    folder_ = fs::temp_directory_path() /
              ("lucidra-output-" + std::to_string(std::random_device{}()) + "-" + std::to_string(serial++));
    fs::remove_all(folder_);
    ASSERT_TRUE(fs::create_directories(folder_));
#else
    std::string pattern = (fs::temp_directory_path() / "lucidra-output-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    folder_ = pattern;
#endif
  }
  void TearDown() override {
    std::error_code ignored;
    fs::permissions(folder_, fs::perms::owner_all, fs::perm_options::add, ignored);
    // A read-only file cannot be deleted on Windows.
    for (const auto& entry : fs::directory_iterator(folder_, ignored)) {
      fs::permissions(entry.path(), fs::perms::owner_write, fs::perm_options::add, ignored);
    }
    fs::remove_all(folder_, ignored);
  }
  fs::path folder_;
};

TEST_F(RayFileWriterTest, WritesHeaderAndRaysByteForByte) {
  const fs::path path = folder_ / "ray.dat";
  std::string expected = zemax_header(2999);
  // A buffer far smaller than the file: many flushes along the way.
  RayFileWriter writer(path.string(), 1);
  writer.write(expected);
  for (int i = 0; i < 3000; ++i) {
    const RayRecord ray{i * 0.001, -i * 0.002, 0.0, 0.6, -0.8, 0.0, 1.0 / (i + 1)};
    writer.write_ray(ray);
    expected += ray_line(ray);
  }
  writer.commit();
  EXPECT_FALSE(writer.is_open());
  EXPECT_EQ(read_bytes(path), expected);
  EXPECT_NO_THROW(writer.commit());
  EXPECT_THROW(writer.write_ray(RayRecord{}), std::logic_error);
}

#ifndef _WIN32
// A pipe takes no direct writes: once that is known, large spans of rays go
// to it without the buffer, small ones through it, all in order.
TEST_F(RayFileWriterTest, APipeGetsEverySpanInOrder) {
  const fs::path path = folder_ / "pipe";
  ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
  std::string received;
  std::thread reader([&] { received = read_bytes(path); });
  std::string expected = zemax_header(0);
  {
    RayFileWriter writer(path.string(), std::size_t{1} << 16);
    writer.write(expected);
    // Spans of one line to far past the buffer, in an uneven order.
    const std::size_t lines[] = {1, 3000, 2, 5000, 1, 1, 700, 12000, 4, 2500};
    int i = 0;
    for (const std::size_t count : lines) {
      std::string span;
      for (std::size_t k = 0; k < count; ++k, ++i) span += ray_line(RayRecord{i * 0.5, -i * 1e-3, 0, 0.6, 0, 0.8, 1.0});
      writer.write_rays(span);
      expected += span;
    }
    writer.commit();
  }
  reader.join();
  ASSERT_EQ(received.size(), expected.size());
  EXPECT_TRUE(received == expected);
}
#endif

TEST_F(RayFileWriterTest, ReplacesAnExistingFileOnlyWhenCommitted) {
  const fs::path path = folder_ / "ray.dat";
  std::ofstream(path) << std::string(100000, 'x');
  fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  {
    RayFileWriter writer(path.string());
    writer.write("1 4 \r\n");
    // Until the commit the previous file is whole, and nothing else is in the folder
    // but the file being written beside it.
    EXPECT_EQ(read_bytes(path), std::string(100000, 'x'));
    writer.commit();
  }
  EXPECT_EQ(read_bytes(path), "1 4 \r\n");
#ifndef _WIN32
  EXPECT_EQ(fs::status(path).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read)
      << "the new file keeps the permissions of the one it replaced";
#endif
  EXPECT_EQ(std::distance(fs::directory_iterator(folder_), fs::directory_iterator()), 1);
}

// A run that stops leaves the previous file, or no file, and no temporary file.
TEST_F(RayFileWriterTest, UncommittedWritesLeaveNoTrace) {
  const fs::path path = folder_ / "ray.dat";
  {
    RayFileWriter writer(path.string());
    writer.write(zemax_header(5));
    writer.write_ray(RayRecord{});
  }
  EXPECT_FALSE(fs::exists(path));
  std::ofstream(path) << "previous";
  {
    RayFileWriter writer(path.string());
    writer.write(zemax_header(5));
    writer.discard();
  }
  EXPECT_EQ(read_bytes(path), "previous");
  EXPECT_EQ(std::distance(fs::directory_iterator(folder_), fs::directory_iterator()), 1);
}

// Runs the writer as far as it gets: open, header, `rays` ray lines, close.
// Returns the message of the OutputFileError it throws, or nothing.
std::optional<std::string> try_writing(const std::string& path, int rays) {
  try {
    RayFileWriter writer(path, 1 << 16);
    writer.write(zemax_header(rays));
    for (int i = 0; i < rays; ++i) writer.write_ray(RayRecord{1.0, 2.0, 3.0, 0.0, 0.0, 1.0, 0.5});
    writer.commit();
  } catch (const OutputFileError& error) {
    return error.what();
  }
  return std::nullopt;
}

TEST_F(RayFileWriterTest, ReportsEachFailureWithFileAndReason) {
  const std::string missing = (folder_ / "no-such-folder" / "ray.dat").string();
  const std::string folder = folder_.string();
  const struct {
    std::string path;
    int rays;
    std::string message;
  } cases[] = {
      {missing, 1, "Cannot create ray file " + missing + ": No such file or directory"},
      {folder, 1, "Cannot create ray file " + folder + ": Is a directory"},
      {"", 1, "Cannot create ray file : No such file or directory"},
      // A full disk shows when the buffer is written: at close for a short
      // file, during the rays for a long one.
      {"/dev/full", 1, "Cannot write ray file /dev/full: No space left on device"},
      {"/dev/full", 100000, "Cannot write ray file /dev/full: No space left on device"},
  };
  for (const auto& c : cases) {
    if (c.path == "/dev/full" && !fs::exists(c.path)) continue;
    EXPECT_EQ(try_writing(c.path, c.rays), c.message) << c.path << " with " << c.rays << " rays";
  }
}

// A file the system will not let anyone write: the writer reports it rather
// than claiming success.
TEST_F(RayFileWriterTest, RefusedWritesAreReported) {
  if (!fs::exists("/proc/version")) GTEST_SKIP() << "no /proc";
  const std::optional<std::string> message = try_writing("/proc/version", 10);
  ASSERT_TRUE(message.has_value());
  EXPECT_EQ(message->rfind("Cannot ", 0), 0u) << *message;
  EXPECT_NE(message->find(" ray file /proc/version: "), std::string::npos) << *message;
}

// Drops to an unprivileged user for its lifetime when running as root, since
// root may write any file whatever its mode.
class UnprivilegedScope {
 public:
  UnprivilegedScope() {
#ifdef _WIN32
    ok_ = false;  // POSIX modes and users: nothing to drop to on Windows
#else
    if (geteuid() != 0) {
      ok_ = true;
    } else if (seteuid(65534) == 0) {
      ok_ = dropped_ = true;
    }
#endif
  }
  ~UnprivilegedScope() {
#ifndef _WIN32
    if (dropped_ && seteuid(0) != 0) std::abort();
#endif
  }
  UnprivilegedScope(const UnprivilegedScope&) = delete;
  UnprivilegedScope& operator=(const UnprivilegedScope&) = delete;
  bool ok() const { return ok_; }

 private:
  bool ok_ = false;
  bool dropped_ = false;
};

TEST_F(RayFileWriterTest, ReadOnlyFileIsRefused) {
  const fs::path path = folder_ / "ray.dat";
  std::ofstream(path) << "previous rays\r\n";
  fs::permissions(path, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  fs::permissions(folder_, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                               fs::perms::others_read | fs::perms::others_exec);
  std::optional<std::string> message;
  {
    UnprivilegedScope unprivileged;
    if (!unprivileged.ok()) GTEST_SKIP() << "running as root and cannot drop to an unprivileged user";
    message = try_writing(path.string(), 1);
  }
  EXPECT_EQ(message, "Cannot create ray file " + path.string() + ": Permission denied");
  EXPECT_EQ(read_bytes(path), "previous rays\r\n");
}

}  // namespace
}  // namespace lucidra
