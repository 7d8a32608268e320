#pragma once
// The window's settings as plain values, with no toolkit in them: what the
// settings file holds, read whole before anything is applied, and the
// defaults of a first start. Panels show and edit these values; the engine's
// GenerationSettings are built from the controls that show them.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/flux_unit.h"
#include "engine/config_file.h"
#include "output/ray_format.h"

namespace lucidra::app {

// File > Sampling: equal flux (the default), weighted, or version 3.5's.
enum class SamplingMode { EqualFlux, Weighted, Legacy };

// The source's spectrum: none (rays without a wavelength), a file of
// wavelength and relative power, or one line.
enum class SpectrumMode { None, File, Line };

std::string_view sampling_mode_name(SamplingMode mode);  // "equal flux", "weighted", "legacy"

struct SettingsModel {
  // Lines 1 to 15, the layout every earlier version wrote and reads.
  ConfigValues lines;
  // Lines "format=...", "sampling=..." and "flux unit=..." after the fifteenth;
  // files without them (all older ones) leave the window's choice as it is.
  std::optional<OutputFormat> format;
  std::optional<SamplingMode> sampling;
  std::optional<FluxUnit> fluxUnit;
  // Lines "spectrum=none|file|line", "spectrum file=..." and "wavelength=..."
  // (nm, checked against 200..2500); absent in older files, which keep the
  // window's choice.
  std::optional<SpectrumMode> spectrum;
  std::optional<std::string> spectrumFile;
  std::optional<std::string> wavelengthNm;
};

// The settings of a first start (no settings file), from the controls'
// own: ray files in the working folder named after their target and format,
// and the shipped example tables when the working folder (whose distribution
// files are `distributionFiles`) holds them.
SettingsModel first_start_settings(SettingsModel model, const std::vector<std::string>& distributionFiles);

// The ray file name a first start gives a target's text format:
// "tracepro_rays.txt", "zemax_rays.dat".
std::string first_start_ray_file(OutputFormat target);

// Reads every line of a settings file's text before anything is taken, so a
// caller applies the result whole or not at all. `current` supplies the NA
// text the file's line 11 is compared with. Throws UserError "Settings file
// <fileName>, line <n> (<field>): <what is wrong>", or "Settings file
// <fileName> has <k> lines; line <n> (<field>) is missing".
SettingsModel parse_settings_text(std::string_view text, const std::string& fileName, char decimalSeparator,
                                  const std::string& currentNa = "0");
// The same for a file; throws FileReadError "Cannot open file <fileName>".
SettingsModel read_settings_file(const std::string& fileName, char decimalSeparator,
                                 const std::string& currentNa = "0");

// The fifteen lines, then the keyed lines of the values that are set, each
// ended by CR LF. Throws UserError as format_config_text does.
std::string format_settings_text(const SettingsModel& model);
// Writes the text beside `fileName` and puts it in place; throws UserError
// "Cannot create file <fileName>" or "Cannot write file <fileName>".
void write_settings_file(const std::string& fileName, const SettingsModel& model);

}  // namespace lucidra::app
