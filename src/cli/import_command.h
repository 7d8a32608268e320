#pragma once
// lucidra-cli import: a photometric file (IES LM-63 or EULUMDAT) turned into
// the two distribution files of a run.

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace lucidra::cli {

struct ImportOptions {
  std::string inputFile;
  std::string outDir;                    // empty: the current folder
  bool force = false;                    // overwrite existing distribution files
  std::optional<char> decimalSeparator;  // default: the locale's
  bool quiet = false;                    // no summary on success
};

// Parses the arguments from "import" on. Throws UsageError.
ImportOptions parse_import_arguments(const std::vector<std::string>& args);

// Imports the file and writes <stem>_C0-C180.txt and <stem>_C90-C270.txt
// into the output folder, refusing (and writing neither) when one exists
// and `force` is not set; prints a summary on `out` and errors on `err`.
// Returns the exit code: 0 written, 1 for an unreadable or malformed file
// or an output problem.
int run_import(const ImportOptions& options, char localeSeparator, std::FILE* out, std::FILE* err);

// `lucidra-cli import --help`.
std::string import_usage_text();

}  // namespace lucidra::cli
