#pragma once
// No command writes over one of its own inputs: a ray file, an imported
// table, a CSV or a plot whose name resolves (links followed) to a file the
// same command reads, or to the program itself, is refused before anything
// is opened for writing. Every front end asks here, so the window and the
// command line refuse alike.

#include <string>
#include <vector>

#include "engine/settings.h"

namespace lucidra {

struct InputFile {
  std::string role;  // as the message names it: "distribution file", "settings file"...
  std::string path;
};

// The files a generation run reads: both distribution files (or the
// photometric file that stands in for them) and the settings file.
std::vector<InputFile> run_input_files(const GenerationSettings& settings);

// Throws UserError "The <outputRole> <output> is the <role> <input>, which it
// would overwrite; choose another output name" when `outputPath` is the same
// file as one of `inputs` or as the running program. "-" (standard output)
// and names that do not exist yet are never an input.
void refuse_output_over_input(const std::string& outputRole, const std::string& outputPath,
                              const std::vector<InputFile>& inputs);

// Throws UserError naming the setting when a value the run writes as it is
// (a size, the source flux) does not fit the output format: the float32
// range of the Zemax binary and TM-25 files. Checked before the output is
// opened, so nothing is touched.
void refuse_values_beyond_format(const GenerationSettings& settings);

}  // namespace lucidra
