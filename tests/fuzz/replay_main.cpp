// Replays a fuzz target's corpus without a fuzzing compiler: every file in the
// folders (or the single files) named on the command line is given once to
// LLVMFuzzerTestOneInput. A crash or a failed check ends the process with a
// non-zero status, which fails the test.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

std::vector<std::filesystem::path> inputs_of(const std::filesystem::path& place) {
  std::vector<std::filesystem::path> files;
  if (std::filesystem::is_directory(place)) {
    for (const auto& entry : std::filesystem::directory_iterator(place)) {
      if (entry.is_regular_file()) files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
  } else if (std::filesystem::is_regular_file(place)) {
    files.push_back(place);
  }
  return files;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s CORPUS_DIR_OR_FILE...\n", argv[0]);
    return 2;
  }
  std::size_t replayed = 0;
  for (int a = 1; a < argc; ++a) {
    const std::vector<std::filesystem::path> files = inputs_of(argv[a]);
    if (files.empty()) {
      std::fprintf(stderr, "%s: no corpus files in %s\n", argv[0], argv[a]);
      return 1;
    }
    for (const std::filesystem::path& file : files) {
      std::ifstream in(file, std::ios::binary);
      const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
      if (!in.eof() && in.fail()) {
        std::fprintf(stderr, "%s: cannot read %s\n", argv[0], file.c_str());
        return 1;
      }
      std::fprintf(stderr, "replaying %s (%zu bytes)\n", file.c_str(), bytes.size());
      // A copy of exactly the input's size, so that a read past its end is
      // caught by the address sanitizer as it would be under the fuzzer.
      std::vector<std::uint8_t> input(bytes.begin(), bytes.end());
      LLVMFuzzerTestOneInput(input.empty() ? nullptr : input.data(), input.size());
      ++replayed;
    }
  }
  std::fprintf(stderr, "replayed %zu inputs\n", replayed);
  return 0;
}
