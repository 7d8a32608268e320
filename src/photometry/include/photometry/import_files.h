#pragma once
// The two distribution files an import writes, and the summary it shows:
// shared by `lucidra-cli import` and the window's File > Import.

#include <array>
#include <optional>
#include <string>

#include "photometry/photometric_import.h"

namespace lucidra {

struct ImportedTableFile {
  std::string path;  // <folder>/<stem>_C0-C180.txt or _C90-C270.txt
  std::string text;  // the distribution file's bytes
  const PlaneTable* table = nullptr;
  const char* use = "";  // what the run takes it for
};

// The files for `imported`, read from `sourcePath`, in `folder` (empty: the
// working folder), written with `decimalSeparator`.
std::array<ImportedTableFile, 2> imported_table_files(const PhotometricImport& imported, const std::string& sourcePath,
                                                      const std::string& folder, char decimalSeparator);

// The first of the files that exists already, if any.
std::optional<std::string> existing_import_file(const std::array<ImportedTableFile, 2>& files);

// Writes both files, or neither: a failure removes what was written and
// throws UserError naming the file and the reason.
void write_imported_tables(const std::array<ImportedTableFile, 2>& files);

// The summary: format and version, symmetry, planes used, angle ranges,
// peak, flux, the files written and the notes, one line each.
std::string import_summary(const PhotometricImport& imported, const std::string& sourcePath,
                           const std::array<ImportedTableFile, 2>& files);

}  // namespace lucidra
