// Folder and file names outside ASCII, given as UTF-8 as the command line
// hands them over: on Windows they must go through the wide-character API,
// or they would be read in the ANSI code page and not be found.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "base/platform_file.h"
#include "base/user_error.h"
#include "distributions/distribution_file.h"
#include "distributions/file_list.h"
#include "output/ray_file.h"
#include "support/temp_dir.h"

namespace lucidra {
namespace {

TEST(NonAsciiNames, WrittenListedReadAndReportedByTheirUtf8Names) {
  const TempDir dir;
  const std::string folder = path_to_utf8(dir.path()) + "/Messreihe \xC3\xA4 \xE5\x85\x89";  // ä 光
  ASSERT_TRUE(std::filesystem::create_directory(path_from_utf8(folder)));
  const std::vector<std::string> names = {
      "l\xC3\xA4ngs-\xC3\x98.txt",          // längs-Ø.txt
      "quer-\xE5\x85\x89\xE6\xBA\x90.txt",  // quer-光源.txt
      "\xCE\xA9\xCE\xBC.TXT",               // Ωμ.TXT
  };
  for (const std::string& name : names) {
    std::FILE* file = open_file(folder + "/" + name, "wb");
    ASSERT_NE(file, nullptr) << name;
    std::fputs("0 45 90 \r\n\r\n100 70.7 0 \r\n", file);
    std::fclose(file);
  }

  // The listing gives the same UTF-8 bytes back, in byte order.
  EXPECT_EQ(list_distribution_files(folder), names);

  for (const std::string& name : names) {
    const AngularDistribution d = read_distribution_file(folder + "/" + name, '.');
    EXPECT_EQ(d.count, 3) << name;
    EXPECT_EQ(d.angle[3], 90.0) << name;
    EXPECT_EQ(d.intensity[2], 70.7) << name;
  }

  // A missing file is named in the message exactly as given.
  const std::string missing = folder + "/fehlt-\xC3\xA4.txt";
  try {
    read_distribution_file(missing, '.');
    ADD_FAILURE() << "no error for a missing file";
  } catch (const FileReadError& error) {
    EXPECT_EQ(std::string(error.what()), "Cannot open file " + missing);
  }

  // The ray file is created under its UTF-8 name, with its bytes unchanged.
  const std::string rayName = folder + "/strahlen-\xCF\x80.dat";  // π
  {
    RayFileWriter writer(rayName);
    writer.write("1 4 \r\n");
    writer.commit();
  }
  std::ifstream ray(path_from_utf8(rayName), std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(ray)), std::istreambuf_iterator<char>());
  EXPECT_EQ(bytes, "1 4 \r\n");
}

TEST(NonAsciiNames, PathConversionRoundTrips) {
  for (const std::string name : {"", "plain.txt", "C:/Daten/\xC3\xBC\xC3\x9F.txt", "\xF0\x9F\x92\xA1.dat"}) {
    EXPECT_EQ(path_to_utf8(path_from_utf8(name)), name);
  }
}

}  // namespace
}  // namespace lucidra
