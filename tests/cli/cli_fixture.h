#pragma once
// A working directory with two good distribution files and an existing ray
// file, and the command line of a small, reproducible run on them.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "cli_process.h"
#include "support/temp_dir.h"

namespace lucidra::testing {

inline const std::string kLambertianText =
    "0 10 20 30 40 50 60 70 80 90 \r\n"
    "Lambertian-like falloff \r\n"
    "100 98.5 94 86.6 76.6 64.3 50 34.2 17.4 0 \r\n";
inline const std::string kNarrowText = "0 5 10 20 40 \r\n\r\n100 80 50 10 0 \r\n";
inline const std::string kPreviousRayFile = "previous ray file, not to be touched\r\n";

inline std::string file_bytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class CliTest : public ::testing::Test {
 protected:
  CliTest() {
    dir.write("lambertian.txt", kLambertianText);
    dir.write("narrow.txt", kNarrowText);
    dir.write("ray.dat", kPreviousRayFile);
  }

  // generate with everything fixed; `extra` options come last and win.
  std::vector<std::string> generate(const std::vector<std::string>& extra = {}) const {
    std::vector<std::string> args = {"generate",  "--clock-seed", "1700000000", "-n",      "1000",
                                     "--angular", "uniform",      "--na",       "1",       "--size-x",
                                     "2",         "--size-y",     "2",          "-L",      "lambertian.txt",
                                     "-T",        "narrow.txt",   "-o",         "ray.dat", "--decimal-separator",
                                     "."};
    args.insert(args.end(), extra.begin(), extra.end());
    return args;
  }

  CliResult run(const std::vector<std::string>& args) const { return run_cli(args, dir.path()); }

  std::string bytes(const std::string& name) const { return file_bytes(dir.path() / name); }

  TempDir dir;
};

}  // namespace lucidra::testing
