#include "engine/input_guard.h"

#include <cmath>
#include <filesystem>
#include <iterator>
#include <limits>
#include <system_error>

#include "base/platform_file.h"
#include "base/user_error.h"
#include "photometry/text_cursor.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace lucidra {
namespace {

namespace fs = std::filesystem;

// The running program's file, or an empty path where the system does not say.
fs::path program_file() {
#ifdef _WIN32
  wchar_t name[32768];
  const DWORD length = GetModuleFileNameW(nullptr, name, static_cast<DWORD>(std::size(name)));
  return length > 0 && length < std::size(name) ? fs::path(std::wstring(name, length)) : fs::path();
#else
  std::error_code ec;
  const fs::path self = fs::read_symlink("/proc/self/exe", ec);
  return ec ? fs::path() : self;
#endif
}

}  // namespace

std::vector<InputFile> run_input_files(const GenerationSettings& settings) {
  std::vector<InputFile> inputs;
  if (!settings.photometricFile.empty()) {
    inputs.push_back({"photometric file", settings.photometricFile});
  } else {
    inputs.push_back({"distribution file", settings.longitudinalFile});
    inputs.push_back({"distribution file", settings.transversalFile});
  }
  if (!settings.settingsFile.empty()) inputs.push_back({"settings file", settings.settingsFile});
  if (!settings.spectrumFile.empty()) inputs.push_back({"spectrum file", settings.spectrumFile});
  return inputs;
}

void refuse_output_over_input(const std::string& outputRole, const std::string& outputPath,
                              const std::vector<InputFile>& inputs) {
  if (outputPath.empty() || outputPath == "-") return;
  const fs::path output = path_from_utf8(outputPath);
  std::error_code ec;
  if (!fs::exists(output, ec)) return;
  const auto refuse = [&](const std::string& role, const std::string& input) {
    throw UserError("The " + outputRole + " " + outputPath + " is the " + role + " " + input +
                    ", which it would overwrite; choose another output name");
  };
  for (const InputFile& input : inputs) {
    if (input.path.empty()) continue;
    const fs::path in = path_from_utf8(input.path);
    // A pipe or a device is read, never overwritten.
    if (!fs::is_regular_file(in, ec)) continue;
    if (fs::equivalent(output, in, ec) && !ec) refuse(input.role, input.path);
  }
  const fs::path self = program_file();
  if (!self.empty() && fs::equivalent(output, self, ec) && !ec) refuse("program", path_to_utf8(self));
}

void refuse_values_beyond_format(const GenerationSettings& settings) {
  if (settings.outputFormat != OutputFormat::ZemaxBinary && settings.outputFormat != OutputFormat::Tm25) return;
  const char* format = settings.outputFormat == OutputFormat::Tm25 ? "TM-25" : "Zemax binary";
  // A ray's position reaches half a size either way; its flux is at most the
  // source flux.
  constexpr double kFloatMax = static_cast<double>(std::numeric_limits<float>::max());
  const auto refuse = [&](const char* setting, double value, const std::string& unit) {
    if (std::isfinite(value) && std::fabs(value) <= kFloatMax) return;
    throw UserError("The " + std::string(setting) + " " + short_number(value) + unit + " does not fit a " + format +
                    " ray file, whose numbers are single precision (at most 3.4e38)");
  };
  refuse("size X", settings.sizeXmm, " mm");
  refuse("size Y", settings.sizeYmm, " mm");
  refuse("source flux", settings.sourceFlux, std::string(" ") + flux_unit_symbol(settings.fluxUnit));
}

}  // namespace lucidra
