// Ray files built to hurt the reader: sizes and counts taken from the file,
// lines without end, values that are not numbers. Each is refused with the
// file's name and what is wrong, in bounded memory.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include "output/binary_ray_file.h"
#include "output/ray_file.h"
#include "output/ray_file_reader.h"
#include "support/temp_dir.h"

namespace lucidra {
namespace {

std::string u32(std::uint32_t v) {
  std::string b(4, '\0');
  put_u32(b.data(), v);
  return b;
}

std::string record(const RayRecord& ray) {
  char out[kMaxRayLineLength];
  return {out, encode_zemax_record(ray, out)};
}

std::string text_line(const RayRecord& ray) {
  char out[kMaxRayLineLength];
  return {out, format_ray_line(ray, out)};
}

std::int64_t count_rays(const std::string& path) {
  RayFileReadResult result = read_ray_file(
      path, RayFileKind::Auto, 2, [](const RayRecord*, std::size_t) { return std::shared_ptr<void>(); },
      [](std::shared_ptr<void>) {});
  return result.rays;
}

TEST(HostileRayFile, RefusedWithFileAndReason) {
  TempDir dir;
  const RayRecord good{1, 2, 3, 0, 0, 1, 0.5};
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  std::string tm25Spectral = tm25_header(1, 1, 0, {});
  tm25Spectral.replace(76, 4, u32(1));                                                   // one spectral table ...
  const std::string hugeTable = tm25Spectral + u32(0x7FFFFFFF) + std::string(64, '\0');  // ... of 2^31 - 1 pairs
  const std::string longLine(5000, '7');
  struct Case {
    const char* name;
    std::string bytes;
    std::string message;  // after "Ray file <path>"
  };
  const Case cases[] = {
      {"no-line-breaks.txt", std::string(200000, 'a'),
       ", line 1: the line is longer than 4096 bytes; is it a ray file?"},
      {"long-third-line.dat", "2 4 \r\n" + text_line(good) + longLine + "\r\n" + text_line(good),
       ", line 3: the line is longer than 4096 bytes; is it a ray file?"},
      {"long-last-line.dat", "2 4 \r\n" + text_line(good) + text_line(good) + longLine,
       ", line 4: the line is longer than 4096 bytes; is it a ray file?"},
      {"nan-text.dat", "1 4 \r\n" + text_line(good) + "1 2 3 nan 0 1 1\r\n",
       ", line 3: '1 2 3 nan 0 1 1' is not a ray of seven numbers"},
      {"spectral.tm25", hugeTable,
       ": announces a spectral table of 2147483647 pairs, more than the file holds; is it cut short?"},
      {"nan-direction.zbin",
       zemax_binary_header(3, 1, "d") + record(good) + record(good) + record({0, 0, 0, nan, 0, 1, 1}),
       ": ray 3 holds a value that is not a finite number (NaN or infinity)"},
      {"inf-flux.tm25", tm25_header(2, 1, 0, {}) + record({0, 0, 0, 0, 0, 1, inf}) + record(good),
       ": ray 1 holds a value that is not a finite number (NaN or infinity)"},
      {"inf-position.zbin", zemax_binary_header(1, 1, "d") + record({-inf, 0, 0, 0, 0, 1, 1}),
       ": ray 1 holds a value that is not a finite number (NaN or infinity)"},
  };
  for (const Case& c : cases) {
    const std::string path = dir.write(c.name, c.bytes);
    try {
      count_rays(path);
      ADD_FAILURE() << c.name << " was accepted";
    } catch (const RayFileError& e) {
      EXPECT_EQ(e.what(), "Ray file " + path + c.message) << c.name;
    }
  }
  // Lines up to the limit are read as before: a long header comment, and the
  // last of 300000 rays far into a later block.
  std::string header = "!! " + std::string(4000, 'c') + "\r\n";
  std::string rays;
  for (int i = 0; i < 300000; ++i) rays += text_line(good);
  EXPECT_EQ(count_rays(dir.write("long-comment.txt", header + rays)), 300000);
}

TEST(HostileRayFile, EndlessDeviceEndsAtTheLineLimit) {
  try {
    count_rays("/dev/zero");
    ADD_FAILURE() << "/dev/zero was accepted";
  } catch (const RayFileError& e) {
    EXPECT_STREQ(e.what(), "Ray file /dev/zero, line 1: the line is longer than 4096 bytes; is it a ray file?");
  }
}

}  // namespace
}  // namespace lucidra
