#pragma once
// The window's settings as plain values, with no toolkit in them: every
// value a run is built from (SettingsModel), what the settings file holds of
// them (SettingsFile, read whole before anything is applied), and the
// defaults of a first start. The panels show and edit a SettingsModel; the
// engine's GenerationSettings and the checks before a run are built from it
// alone.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/flux_unit.h"
#include "engine/config_file.h"
#include "engine/settings.h"
#include "engine/settings_text.h"
#include "output/ray_format.h"

namespace lucidra::app {

// File > Sampling: equal flux (the default), weighted, or version 3.5's.
enum class SamplingMode { EqualFlux, Weighted, Legacy };

// The source's spectrum: none (rays without a wavelength), a file of
// wavelength and relative power, or one line.
enum class SpectrumMode { None, File, Line };

std::string_view sampling_mode_name(SamplingMode mode);  // "equal flux", "weighted", "legacy"

// What a settings file holds.
struct SettingsFile {
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

// Every value the window shows, as the user set it: the numbers typed into
// text fields stay texts (converted with the window's decimal separator when
// a run starts, as every earlier version did). The initial values are the
// controls' defaults.
struct SettingsModel {
  OutputFormat format = OutputFormat::TracePro;
  // The ray file of each target program; a binary format writes its
  // target's. TracePro and Zemax start in the working folder, named as a
  // first start names them (first_start_ray_file).
  std::string traceProFile = "tracepro_rays.txt";
  std::string zemaxFile = "zemax_rays.dat";
  std::string lightToolsFile = "c:\\sample.ray";
  std::string asapFile = "c:\\source.dis";
  std::string longitudinalFile;  // the first distribution file
  std::string transversalFile;   // the second
  // An IES or EULUMDAT file whose whole solid replaces the two files; empty
  // for none. While the flux is the one the file set (in lumens, untouched),
  // the run takes the file's exact integral rather than the field's rounded
  // figure.
  std::string photometricFile;
  bool fluxFromPhotometricFile = false;
  bool flipSolid = false;

  std::int32_t rayCount = 30000;
  SamplingMode sampling = SamplingMode::EqualFlux;
  // Legacy sampling's flux: whole watts, 5 to 50000, with "Consider Sorce Flux".
  std::int32_t legacyFlux = 3500;
  bool considerSourceFlux = false;
  // The other samplings' flux: any positive number, in watts or lumens.
  double sourceFlux = 3500;
  FluxUnit fluxUnit = FluxUnit::Watt;

  bool ledMode = true;  // false: arc mode
  RandomAlgorithm randomAlgorithm = RandomAlgorithm::Sobol;
  AngularType angularType = AngularType::UserDefined;
  std::int32_t extentAboutZ = 360;
  PlaneShape planeShape = PlaneShape::Rectangular;
  bool doubleSide = false;
  std::int32_t balance = 50;
  bool squareShape = false;
  bool notifyEnd = false;
  std::string numericalAperture = "0";
  std::string secondNa = "0";
  std::string sizeX = "0,00001";  // mm
  std::string sizeY = "0,00001";  // mm

  SpectrumMode spectrum = SpectrumMode::None;
  std::string spectrumFile;
  std::string wavelengthNm;  // as typed

  bool operator==(const SettingsModel&) const = default;

  // The ray file the chosen format writes.
  const std::string& ray_file() const;
  std::string& ray_file_of(OutputFormat format);
};

// The engine's settings of a run with `model`: the numbers typed as texts
// are converted by the run (setting_texts). `settingsFile` is the settings
// file the window reads and saves, which a run never overwrites.
GenerationSettings engine_settings(const SettingsModel& model, char decimalSeparator, const std::string& settingsFile);
SettingTexts setting_texts(const SettingsModel& model, char decimalSeparator);
// The reverse: `model` with the values `settings` and `texts` give. The
// flux is kept from `model` when `settings` takes the photometric file's.
SettingsModel model_from_engine_settings(SettingsModel model, const GenerationSettings& settings,
                                         const SettingTexts& texts);

// The first value a run would refuse, named with its value and range: the
// emitter's sizes (LED mode), the wavelength of a line spectrum. Empty when
// every value is in its range.
std::string field_problem(const SettingsModel& model, char decimalSeparator);
// The wavelength alone: empty unless a line spectrum has one outside
// 200..2500 nm or not a number.
std::string wavelength_problem(const SettingsModel& model, char decimalSeparator);

// What the settings file holds of `model`, and `model` with what `file`
// holds (values the file does not have stay as they were).
SettingsFile settings_file_of(const SettingsModel& model, char decimalSeparator);
SettingsModel with_settings_file(SettingsModel model, const SettingsFile& file);

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
SettingsFile parse_settings_text(std::string_view text, const std::string& fileName, char decimalSeparator,
                                 const std::string& currentNa = "0");
// The same for a file; throws FileReadError "Cannot open file <fileName>".
SettingsFile read_settings_file(const std::string& fileName, char decimalSeparator, const std::string& currentNa = "0");

// The fifteen lines, then the keyed lines of the values that are set, each
// ended by CR LF. Throws UserError as format_config_text does.
std::string format_settings_text(const SettingsFile& file);
// Writes the text beside `fileName` and puts it in place; throws UserError
// "Cannot create file <fileName>" or "Cannot write file <fileName>".
void write_settings_file(const std::string& fileName, const SettingsFile& file);

}  // namespace lucidra::app
