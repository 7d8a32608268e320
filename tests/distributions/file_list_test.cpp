#include "distributions/file_list.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace lucidra {
namespace {

TEST(ListDistributionFiles, NormalVisibleTxtFilesSortedByName) {
  const TempDir dir;
  for (const char* name : {"b.txt", "a.txt", "C.TXT", "upper.Txt", "notes.text", "txt", ".hidden.txt", "x.txt.bak",
                           "ray.dat", "a b.txt", "_.txt"}) {
    dir.write(name, "0 \n\n1 \n");
  }
  std::filesystem::create_directory(dir.path() / "folder.txt");
  std::filesystem::create_directory(dir.path() / "sub");
  dir.write("sub/inner.txt", "0 \n\n1 \n");

  const std::vector<std::string> expected = {"C.TXT", "_.txt", "a b.txt", "a.txt", "b.txt", "upper.Txt"};
  EXPECT_EQ(list_distribution_files(dir.path().string()), expected);
}

TEST(ListDistributionFiles, MissingOrUnusableDirectoryGivesAnEmptyList) {
  const TempDir dir;
  const std::string plainFile = dir.write("plain.txt", "x");
  EXPECT_TRUE(list_distribution_files((dir.path() / "missing").string()).empty());
  EXPECT_TRUE(list_distribution_files(plainFile).empty());
  EXPECT_TRUE(list_distribution_files(dir.path().string() + "/empty-sub").empty());
  std::filesystem::create_directory(dir.path() / "empty");
  EXPECT_TRUE(list_distribution_files((dir.path() / "empty").string()).empty());
}

}  // namespace
}  // namespace lucidra
