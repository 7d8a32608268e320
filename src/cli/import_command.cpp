#include "cli/import_command.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string_view>
#include <system_error>

#include "cli/cli_options.h"
#include "base/user_error.h"
#include "photometry/photometric_import.h"
#include "photometry/text_cursor.h"

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
    if (name == "--force") {
      if (value) throw UsageError("option --force takes no value");
      o.force = true;
      continue;
    }
    if (name != "--out-dir" && name != "--decimal-separator") {
      throw UsageError("unknown option '" + std::string(arg) + "' for 'import' (see --help)");
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

namespace {

// Writes the whole text or reports why not.
std::optional<std::string> write_file(const fs::path& path, const std::string& text) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  if (!file) return "Cannot create " + path.string() + ": " + std::strerror(errno);
  file.write(text.data(), static_cast<std::streamsize>(text.size()));
  file.close();
  if (!file) return "Cannot write " + path.string() + ": " + std::strerror(errno);
  return std::nullopt;
}

std::string format_name(PhotometricFormat format) {
  return format == PhotometricFormat::Ies ? "IES LM-63" : "EULUMDAT";
}

std::string angle_range(double from, double to, std::size_t count, const char* unit) {
  return short_number(from) + " to " + short_number(to) + " degrees, " + std::to_string(count) + " " + unit +
         (count == 1 ? "" : "s");
}

}  // namespace

int run_import(const ImportOptions& options, char localeSeparator, std::FILE* out, std::FILE* err) {
  PhotometricImport result;
  try {
    result = import_photometric_file(options.inputFile);
  } catch (const UserError& error) {
    std::fprintf(err, "lucidra-cli: %s\n", error.what());
    return kExitFailed;
  }

  std::error_code ec;
  if (!options.outDir.empty() && !fs::is_directory(options.outDir, ec)) {
    std::fprintf(err, "lucidra-cli: Output folder %s does not exist or is not a folder\n", options.outDir.c_str());
    return kExitFailed;
  }
  const std::string stem = fs::path(options.inputFile).stem().string();
  const std::string sourceName = fs::path(options.inputFile).filename().string();
  struct Output {
    fs::path path;
    std::string text;
    const PlaneTable* table;
    const char* use;
  };
  const char separator = options.decimalSeparator.value_or(localeSeparator);
  Output outputs[] = {
      {fs::path(options.outDir) / (stem + "_C0-C180.txt"),
       distribution_file_text(result.longitudinal, sourceName + ": C0-C180 plane (mean of C0 and C180), candela",
                              separator),
       &result.longitudinal, "-L, longitudinal"},
      {fs::path(options.outDir) / (stem + "_C90-C270.txt"),
       distribution_file_text(result.transversal, sourceName + ": C90-C270 plane (mean of C90 and C270), candela",
                              separator),
       &result.transversal, "-T, transversal"},
  };
  // Both names are checked before either is written, so a refusal leaves
  // the folder as it was.
  if (!options.force) {
    for (const Output& o : outputs) {
      if (fs::symlink_status(o.path, ec).type() != fs::file_type::not_found) {
        std::fprintf(err, "lucidra-cli: %s exists; use --force to overwrite it\n", o.path.string().c_str());
        return kExitFailed;
      }
    }
  }
  for (std::size_t k = 0; k < std::size(outputs); ++k) {
    if (const auto problem = write_file(outputs[k].path, outputs[k].text)) {
      std::fprintf(err, "lucidra-cli: %s\n", problem->c_str());
      for (std::size_t done = 0; done <= k; ++done) fs::remove(outputs[done].path, ec);
      return kExitFailed;
    }
  }

  std::fprintf(out, "Imported %s\n", options.inputFile.c_str());
  std::fprintf(out, "  format:      %s (%s)\n", format_name(result.format).c_str(), result.versionText.c_str());
  std::fprintf(out, "  symmetry:    %s\n", result.symmetryText.c_str());
  for (std::size_t k = 0; k < result.planesUsed.size(); ++k) {
    std::fprintf(out, "  %s %s\n", k == 0 ? "planes used:" : "            ", result.planesUsed[k].c_str());
  }
  std::fprintf(out, "  vertical:    %s\n",
               angle_range(result.verticalFromDeg, result.verticalToDeg, result.verticalCount, "angle").c_str());
  std::fprintf(out, "  horizontal:  %s\n",
               angle_range(result.horizontalFromDeg, result.horizontalToDeg, result.horizontalCount, "plane").c_str());
  std::fprintf(out, "  peak:        %s cd\n", short_number(result.peakCandela).c_str());
  std::fprintf(out, "  flux:        %s lm from the intensities; %s\n", short_number(result.fluxLm).c_str(),
               result.statedLumens ? ("the file states " + short_number(*result.statedLumens) + " lm").c_str()
                                   : "the file states no lamp lumens");
  for (const Output& o : outputs) {
    std::fprintf(out, "  wrote:       %s (%s, %s)\n", o.path.string().c_str(),
                 angle_range(o.table->angleDeg.front(), o.table->angleDeg.back(), o.table->angleDeg.size(), "angle")
                     .c_str(),
                 o.use);
  }
  for (const std::string& note : result.notes) std::fprintf(out, "  note: %s\n", note.c_str());
  return kExitSuccess;
}

std::string import_usage_text() {
  return R"(
Importing a photometric file:
  lucidra-cli import FILE [--out-dir DIR] [--force] [--decimal-separator C]

Reads an IES LM-63 (.ies) or EULUMDAT (.ldt) file of type C photometry and
writes the two distribution files of a run, in candela over degrees from the
main beam: <stem>_C0-C180.txt (for -L) and <stem>_C90-C270.txt (for -T), each
the mean of its plane's two halves. Prints what it read and notes on what the
two-plane model cannot hold.

import options:
      --out-dir DIR          folder for the two files (default: the current folder)
      --force                overwrite existing files (without it: refused, exit 1)
      --decimal-separator C  '.' or ',' (default: the locale's LC_NUMERIC separator)
import exits with 0 when both files were written, 1 for an unreadable or
malformed file or an output problem, 2 for a malformed command line.
)";
}

}  // namespace lucidra::cli
