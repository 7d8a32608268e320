#include "photometry/import_files.h"

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "base/output_target.h"
#include "base/platform_file.h"
#include "base/user_error.h"
#include "photometry/text_cursor.h"

namespace lucidra {
namespace {

namespace fs = std::filesystem;

std::string angle_range(double from, double to, std::size_t count, const char* unit) {
  return short_number(from) + " to " + short_number(to) + " degrees, " + std::to_string(count) + " " + unit +
         (count == 1 ? "" : "s");
}

// What the header claims, never the lamps' flux as if it were the luminaire's.
std::string stated_flux_text(const PhotometricImport& r) {
  if (r.format == PhotometricFormat::Ies) {
    if (!r.statedLumens) return "the header states no lamp lumens (absolute photometry)";
    const double perLamp = r.lampCount > 0 ? *r.statedLumens / static_cast<double>(r.lampCount) : *r.statedLumens;
    return "the header states " + std::to_string(r.lampCount) + (r.lampCount == 1 ? " lamp" : " lamps") + " x " +
           short_number(perLamp) + " lm = " + short_number(*r.statedLumens) + " lm of lamps";
  }
  if (!r.statedLumens) return "the header states no lamp flux";
  std::string text = "the header states a lamp flux of " + short_number(*r.statedLumens) + " lm";
  if (!r.statedLuminaireLumens) return text + " and no light output ratio";
  return text + " and a light output ratio of " + short_number(*r.lightOutputRatioPercent) + " %, so " +
         short_number(*r.statedLuminaireLumens) + " lm from the luminaire";
}

}  // namespace

std::array<ImportedTableFile, 2> imported_table_files(const PhotometricImport& imported, const std::string& sourcePath,
                                                      const std::string& folder, char decimalSeparator) {
  const fs::path source = path_from_utf8(sourcePath);
  const std::string stem = path_to_utf8(source.stem());
  const std::string sourceName = path_to_utf8(source.filename());
  const auto in_folder = [&](const std::string& name) {
    return folder.empty() ? name : path_to_utf8(path_from_utf8(folder) / path_from_utf8(name));
  };
  return {{
      {in_folder(stem + "_C0-C180.txt"),
       distribution_file_text(imported.longitudinal, sourceName + ": C0-C180 plane (mean of C0 and C180), candela",
                              decimalSeparator),
       &imported.longitudinal, "-L, longitudinal"},
      {in_folder(stem + "_C90-C270.txt"),
       distribution_file_text(imported.transversal, sourceName + ": C90-C270 plane (mean of C90 and C270), candela",
                              decimalSeparator),
       &imported.transversal, "-T, transversal"},
  }};
}

std::optional<std::string> existing_import_file(const std::array<ImportedTableFile, 2>& files) {
  for (const ImportedTableFile& f : files) {
    std::error_code ec;
    if (fs::symlink_status(path_from_utf8(f.path), ec).type() != fs::file_type::not_found) return f.path;
  }
  return std::nullopt;
}

void write_imported_tables(const std::array<ImportedTableFile, 2>& files) {
  // Both tables take their places together: a failure leaves both names as
  // they were (the previous tables of a forced import included).
  const auto failure = write_files_together({{files[0].path, files[0].text}, {files[1].path, files[1].text}});
  if (failure) {
    throw UserError(std::string(failure->created ? "Cannot write " : "Cannot create ") + files[failure->index].path +
                    ": " + failure->reason);
  }
}

std::string import_summary(const PhotometricImport& r, const std::string& sourcePath,
                           const std::array<ImportedTableFile, 2>& files) {
  std::string out = "Imported " + sourcePath + "\n";
  out += "  format:      " + std::string(r.format == PhotometricFormat::Ies ? "IES LM-63" : "EULUMDAT") + " (" +
         r.versionText + ")\n";
  out += "  symmetry:    " + r.symmetryText + "\n";
  for (std::size_t k = 0; k < r.planesUsed.size(); ++k) {
    out += std::string(k == 0 ? "  planes used: " : "               ") + r.planesUsed[k] + "\n";
  }
  out += "  vertical:    " + angle_range(r.verticalFromDeg, r.verticalToDeg, r.verticalCount, "angle") + "\n";
  out += "  horizontal:  " + angle_range(r.horizontalFromDeg, r.horizontalToDeg, r.horizontalCount, "plane") + "\n";
  out += "  peak:        " + short_number(r.peakCandela) + " cd\n";
  out += "  flux:        " + short_number(r.fluxLm) + " lm from the intensities (the luminaire's); " +
         stated_flux_text(r) + "\n";
  for (const ImportedTableFile& f : files) {
    out += "  wrote:       " + f.path + " (" +
           angle_range(f.table->angleDeg.front(), f.table->angleDeg.back(), f.table->angleDeg.size(), "angle") + ", " +
           f.use + ")\n";
  }
  for (const std::string& note : r.notes) out += "  note: " + note + "\n";
  return out;
}

}  // namespace lucidra
