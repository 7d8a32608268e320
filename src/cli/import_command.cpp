#include "cli/import_command.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string_view>
#include <system_error>

#include "base/platform_file.h"
#include "base/user_error.h"
#include "cli/cli_options.h"
#include "engine/input_guard.h"
#include "photometry/import_files.h"
#include "photometry/photometric_import.h"

namespace lucidra::cli {

namespace fs = std::filesystem;

ImportOptions parse_import_arguments(const std::vector<std::string>& args) {
  ImportOptions o;
  bool haveFile = false;
  bool optionsEnded = false;
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::string_view arg = args[i];
    if (optionsEnded || arg.empty() || arg[0] != '-' || arg == "-") {
      if (haveFile) {
        throw UsageError("import takes one file; '" + std::string(arg) + "' is a second one");
      }
      o.inputFile = std::string(arg);
      haveFile = true;
      continue;
    }
    if (arg == "--") {
      optionsEnded = true;
      continue;
    }
    std::string_view name = arg;
    std::optional<std::string_view> value;
    if (const auto eq = arg.find('='); eq != std::string_view::npos) {
      name = arg.substr(0, eq);
      value = arg.substr(eq + 1);
    }
    if (name == "--force" || name == "--quiet" || name == "-q") {
      if (value) throw UsageError("option " + std::string(name) + " takes no value");
      (name == "--force" ? o.force : o.quiet) = true;
      continue;
    }
    if (name != "--out-dir" && name != "--decimal-separator") {
      throw UsageError("unknown option '" + std::string(name) + "' for 'import'" +
                       did_you_mean(name, {"--out-dir", "--decimal-separator", "--force", "--quiet"}));
    }
    if (!value) {
      if (i + 1 >= args.size()) throw UsageError("option " + std::string(name) + " needs a value");
      value = std::string_view(args[++i]);
    }
    if (name == "--out-dir") {
      if (value->empty()) throw UsageError("invalid value '' for --out-dir: expected a folder");
      o.outDir = std::string(*value);
    } else {
      if (*value != "." && *value != ",") {
        throw UsageError("invalid value '" + std::string(*value) + "' for --decimal-separator: expected '.' or ','");
      }
      o.decimalSeparator = (*value)[0];
    }
  }
  if (!haveFile) throw UsageError("import needs a file: lucidra-cli import FILE");
  return o;
}

int run_import(const ImportOptions& options, char localeSeparator, std::FILE* out, std::FILE* err) {
  try {
    require_readable(options.inputFile);
    const PhotometricImport result = import_photometric_file(options.inputFile);
    std::error_code ec;
    if (!options.outDir.empty() && !fs::is_directory(path_from_utf8(options.outDir), ec)) {
      throw UserError("Output folder " + options.outDir + " does not exist or is not a folder");
    }
    const auto files = imported_table_files(result, options.inputFile, options.outDir,
                                            options.decimalSeparator.value_or(localeSeparator));
    // Both names are checked before either is written, so a refusal leaves
    // the folder as it was.
    for (const auto& file : files) {
      refuse_output_over_input("distribution file", file.path, {{"photometric file", options.inputFile}});
    }
    if (const auto existing = existing_import_file(files); existing && !options.force) {
      throw UserError(*existing + " exists; use --force to overwrite it");
    }
    write_imported_tables(files);
    if (!options.quiet) std::fputs(import_summary(result, options.inputFile, files).c_str(), out);
    return kExitSuccess;
  } catch (const UserError& error) {
    std::fprintf(err, "lucidra-cli: %s\n", error.what());
    return kExitFailed;
  }
}

std::string import_usage_text() {
  return R"(Usage: lucidra-cli import FILE [--out-dir DIR] [--force] [--decimal-separator C] [-q]

Reads an IES LM-63 (.ies) or EULUMDAT (.ldt) file of type C photometry and
writes the two distribution files of a run, in candela over degrees from the
main beam: <stem>_C0-C180.txt (for -L) and <stem>_C90-C270.txt (for -T), each
the mean of its plane's two halves. Prints what it read and notes on what the
two-plane model cannot hold.

import options:
      --out-dir DIR          folder for the two files (default: the current folder)
      --force                overwrite existing files (without it: refused, exit 1)
      --decimal-separator C  '.' or ',' (default: the locale's LC_NUMERIC separator)
  -q, --quiet                print nothing when both files were written
import exits with 0 when both files were written, 1 for an unreadable or
malformed file or an output problem, 2 for a malformed command line.
)";
}

}  // namespace lucidra::cli
