#include "app/settings_model.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <utility>

#include "base/output_target.h"
#include "distributions/distribution_file.h"
#include "distributions/number_text.h"
#include "photometry/spectrum.h"

namespace lucidra::app {

namespace {

// The lines a settings file has at most: fifteen positional ones and the
// keyed ones after them (with room for blank lines in between).
constexpr int kMostLines = 64;

constexpr std::string_view kFormatKey = "format=";
constexpr std::string_view kSamplingKey = "sampling=";
constexpr std::string_view kFluxUnitKey = "flux unit=";
constexpr std::string_view kSpectrumKey = "spectrum=";
constexpr std::string_view kSpectrumFileKey = "spectrum file=";
constexpr std::string_view kWavelengthKey = "wavelength=";

constexpr std::array<std::pair<SpectrumMode, std::string_view>, 3> kSpectrumNames{
    {{SpectrumMode::None, "none"}, {SpectrumMode::File, "file"}, {SpectrumMode::Line, "line"}}};

constexpr std::array<std::pair<SamplingMode, std::string_view>, 3> kSamplingNames{
    {{SamplingMode::EqualFlux, "equal flux"}, {SamplingMode::Weighted, "weighted"}, {SamplingMode::Legacy, "legacy"}}};

// 'text', built by appending: prepending to a temporary trips a false
// -Wrestrict in GCC 12.
std::string quoted(std::string_view text, std::string_view after) {
  std::string result;
  result.reserve(text.size() + after.size() + 2);
  result += '\'';
  result.append(text);
  result += '\'';
  result.append(after);
  return result;
}

class LineReader {
 public:
  LineReader(std::vector<std::string> lines, const std::string& fileName)
      : lines_(std::move(lines)), fileName_(fileName) {}

  const std::string& line(int number, const char* field) const {
    if (static_cast<std::size_t>(number) > lines_.size()) {
      throw UserError("Settings file " + fileName_ + " has " + std::to_string(lines_.size()) + " lines; line " +
                      std::to_string(number) + " (" + field + ") is missing");
    }
    return lines_[static_cast<std::size_t>(number - 1)];
  }

  [[noreturn]] void fail(int number, const char* field, const std::string& what) const {
    throw UserError("Settings file " + fileName_ + ", line " + std::to_string(number) + " (" + field + "): " + what);
  }

  std::int32_t whole(int number, const char* field, std::int32_t minimum, std::int32_t maximum) const {
    const std::string& text = line(number, field);
    std::int32_t value = 0;
    try {
      value = parse_whole_number(text);
    } catch (const ConversionError& error) {
      fail(number, field, error.what());
    }
    // Earlier versions took a number beyond the range as its nearest end.
    return std::clamp(value, minimum, maximum);
  }

  const std::string& size(int number, const char* field, char separator) const {
    const std::string& text = line(number, field);
    double value = 0.0;
    try {
      value = parse_real(text, separator);
    } catch (const ConversionError& error) {
      fail(number, field, error.what());
    }
    if (!(value > 0.0)) fail(number, field, quoted(text, " is not above 0"));
    return text;
  }

  std::size_t count() const { return lines_.size(); }
  const std::vector<std::string>& all() const { return lines_; }

 private:
  std::vector<std::string> lines_;
  std::string fileName_;
};

void read_keyed_lines(const LineReader& reader, SettingsFile& model, char decimalSeparator) {
  for (std::size_t index = 15; index < reader.count(); ++index) {
    const std::string& text = reader.all()[index];
    const int number = static_cast<int>(index + 1);
    const auto value_of = [&text](std::string_view key) -> std::optional<std::string_view> {
      if (text.size() < key.size() || std::string_view(text).substr(0, key.size()) != key) return {};
      return std::string_view(text).substr(key.size());
    };
    if (const auto name = value_of(kFormatKey)) {
      const RayFormat* format = ray_format_named(*name);
      if (format == nullptr) {
        reader.fail(number, "format", quoted(*name, " is not one of " + ray_format_names()));
      }
      model.format = format->id;
    } else if (const auto mode = value_of(kSamplingKey)) {
      const auto found = std::find_if(kSamplingNames.begin(), kSamplingNames.end(),
                                      [&](const auto& entry) { return entry.second == *mode; });
      if (found == kSamplingNames.end()) {
        reader.fail(number, "sampling", quoted(*mode, " is not equal flux, weighted or legacy"));
      }
      model.sampling = found->first;
    } else if (const auto unit = value_of(kFluxUnitKey)) {
      if (*unit == "W") {
        model.fluxUnit = FluxUnit::Watt;
      } else if (*unit == "lm") {
        model.fluxUnit = FluxUnit::Lumen;
      } else {
        reader.fail(number, "flux unit", quoted(*unit, " is not W or lm"));
      }
    } else if (const auto spectrum = value_of(kSpectrumKey)) {
      const auto found = std::find_if(kSpectrumNames.begin(), kSpectrumNames.end(),
                                      [&](const auto& entry) { return entry.second == *spectrum; });
      if (found == kSpectrumNames.end())
        reader.fail(number, "spectrum", quoted(*spectrum, " is not none, file or line"));
      model.spectrum = found->first;
    } else if (const auto file = value_of(kSpectrumFileKey)) {
      model.spectrumFile = std::string(*file);
    } else if (const auto nm = value_of(kWavelengthKey)) {
      // Checked as the field checks it, so a file never brings in a line the
      // run would refuse.
      const std::optional<double> value = try_parse_real(std::string(*nm), decimalSeparator);
      if (!value || !(*value >= kSpectrumMinNm && *value <= kSpectrumMaxNm)) {
        reader.fail(number, "wavelength", quoted(*nm, " is not a wavelength from 200 to 2500 nm"));
      }
      model.wavelengthNm = std::string(*nm);
    }
    // Other lines after the fifteenth were never read; they stay ignored.
  }
}

}  // namespace

std::string_view sampling_mode_name(SamplingMode mode) {
  for (const auto& [value, name] : kSamplingNames) {
    if (value == mode) return name;
  }
  return "equal flux";
}

std::string first_start_ray_file(OutputFormat target) {
  const RayFormat& format = ray_format(target);
  std::string name(format.cliName);
  std::replace(name.begin(), name.end(), '-', '_');
  return name + "_rays" + std::string(format.extensions[0]);
}

namespace {

// The field of `model` holding the ray file `chosen` writes: its target's.
template <class Model>
auto& ray_file_field(Model& model, OutputFormat chosen) {
  switch (ray_format(chosen).target) {
    case OutputFormat::TracePro: return model.traceProFile;
    case OutputFormat::LightTools: return model.lightToolsFile;
    case OutputFormat::Asap: return model.asapFile;
    default: return model.zemaxFile;
  }
}

}  // namespace

const std::string& SettingsModel::ray_file() const { return ray_file_field(*this, format); }

std::string& SettingsModel::ray_file_of(OutputFormat chosen) { return ray_file_field(*this, chosen); }

GenerationSettings engine_settings(const SettingsModel& model, char decimalSeparator, const std::string& settingsFile) {
  GenerationSettings settings;
  settings.outputFormat = model.format;
  settings.outputPath = model.ray_file();
  settings.longitudinalFile = model.longitudinalFile;
  settings.transversalFile = model.transversalFile;
  settings.ledMode = model.ledMode;
  settings.rayCount = model.rayCount;
  settings.considerSourceFlux = model.considerSourceFlux;
  settings.legacySampling = model.sampling == SamplingMode::Legacy;
  settings.weightedSampling = model.sampling == SamplingMode::Weighted;
  if (settings.legacySampling) {
    settings.sourceFlux = model.legacyFlux;
  } else {
    settings.sourceFlux = model.sourceFlux;
    settings.fluxUnit = model.fluxUnit;
  }
  settings.randomAlgorithm = model.randomAlgorithm;
  settings.angularType = model.angularType;
  settings.extentAboutZ = model.extentAboutZ;
  settings.planeShape = model.planeShape;
  settings.doubleSide = model.doubleSide;
  settings.balance = model.balance;
  settings.squareShape = model.squareShape;
  settings.notifyEnd = model.notifyEnd;
  if (!model.photometricFile.empty()) {
    settings.photometricFile = model.photometricFile;
    settings.flipSolid = model.flipSolid;
    // The flux the file set, untouched: the run takes the exact integral
    // rather than the field's rounded figure.
    settings.fluxFromPhotometricFile =
        model.fluxFromPhotometricFile && !settings.legacySampling && settings.fluxUnit == FluxUnit::Lumen;
  }
  if (model.spectrum == SpectrumMode::File) {
    settings.spectrumFile = model.spectrumFile;
  } else if (model.spectrum == SpectrumMode::Line) {
    // A run refuses a wavelength outside its range (field_problem) before
    // this is read.
    settings.wavelengthNm = try_parse_real(model.wavelengthNm, decimalSeparator).value_or(0);
  }
  settings.settingsFile = settingsFile;
  settings.fileDecimalSeparator = decimalSeparator;
  settings.threads = 0;
  return settings;
}

SettingTexts setting_texts(const SettingsModel& model, char decimalSeparator) {
  SettingTexts texts;
  texts.numericalAperture = model.numericalAperture;
  texts.sizeX = model.sizeX;
  texts.sizeY = model.sizeY;
  texts.decimalSeparator = decimalSeparator;
  return texts;
}

SettingsModel model_from_engine_settings(SettingsModel model, const GenerationSettings& settings,
                                         const SettingTexts& texts) {
  model.format = settings.outputFormat;
  model.ray_file_of(settings.outputFormat) = settings.outputPath;
  model.longitudinalFile = settings.longitudinalFile;
  model.transversalFile = settings.transversalFile;
  model.ledMode = settings.ledMode;
  model.rayCount = settings.rayCount;
  model.considerSourceFlux = settings.considerSourceFlux;
  model.sampling = settings.legacySampling     ? SamplingMode::Legacy
                   : settings.weightedSampling ? SamplingMode::Weighted
                                               : SamplingMode::EqualFlux;
  model.photometricFile = settings.photometricFile;
  model.flipSolid = settings.flipSolid && !settings.photometricFile.empty();
  // The run carries one flux: the sampling's own field takes it.
  if (settings.legacySampling) {
    model.legacyFlux = static_cast<std::int32_t>(std::lround(settings.sourceFlux));
  } else {
    model.fluxFromPhotometricFile = settings.fluxFromPhotometricFile && !settings.photometricFile.empty();
    if (!model.fluxFromPhotometricFile) {
      model.sourceFlux = settings.sourceFlux;
      model.fluxUnit = settings.fluxUnit;
    }
  }
  model.randomAlgorithm = settings.randomAlgorithm;
  model.angularType = settings.angularType;
  model.extentAboutZ = settings.extentAboutZ;
  model.planeShape = settings.planeShape;
  model.doubleSide = settings.doubleSide;
  model.balance = settings.balance;
  model.squareShape = settings.squareShape;
  model.notifyEnd = settings.notifyEnd;
  model.numericalAperture = texts.numericalAperture;
  model.sizeX = texts.sizeX;
  model.sizeY = texts.sizeY;
  if (!settings.spectrumFile.empty()) {
    model.spectrum = SpectrumMode::File;
    model.spectrumFile = settings.spectrumFile;
  } else if (settings.wavelengthNm != 0) {
    model.spectrum = SpectrumMode::Line;
    char text[32];
    std::snprintf(text, sizeof text, "%.10g", settings.wavelengthNm);
    model.wavelengthNm = text;
    std::replace(model.wavelengthNm.begin(), model.wavelengthNm.end(), '.', texts.decimalSeparator);
  } else {
    model.spectrum = SpectrumMode::None;
  }
  return model;
}

std::string wavelength_problem(const SettingsModel& model, char decimalSeparator) {
  if (model.spectrum != SpectrumMode::Line) return {};
  const std::optional<double> nm = try_parse_real(model.wavelengthNm, decimalSeparator);
  if (nm && *nm >= kSpectrumMinNm && *nm <= kSpectrumMaxNm) return {};
  return "Wavelength (nm) is '" + model.wavelengthNm + "'; it must be a number from 200 to 2500";
}

std::string field_problem(const SettingsModel& model, char decimalSeparator) {
  // Arc mode does not read the emitter's sizes.
  if (model.ledMode) {
    for (const auto& [text, name] : {std::pair{&model.sizeX, "X size"}, std::pair{&model.sizeY, "Y size"}}) {
      const std::optional<double> value = try_parse_real(*text, decimalSeparator);
      if (!value) {
        return quoted(*text, std::string(" is not a valid floating point value: ") + name +
                                 " (mm) must be a number greater than 0");
      }
      if (!(*value > 0)) return std::string(name) + " (mm) is " + quoted(*text, "; it must be greater than 0");
    }
  }
  return wavelength_problem(model, decimalSeparator);
}

SettingsFile settings_file_of(const SettingsModel& model, char decimalSeparator) {
  SettingsFile file;
  ConfigValues& values = file.lines;
  values.traceProPath = model.traceProFile;
  values.zemaxPath = model.zemaxFile;
  values.longitudinalFile = model.longitudinalFile;
  values.transversalFile = model.transversalFile;
  values.rayCount = model.rayCount;
  values.sourceFlux = model.legacyFlux;
  values.extentAboutZ = model.extentAboutZ;
  values.numericalAperture = model.numericalAperture;
  values.secondNa = model.secondNa;
  values.sizeY = model.sizeY;
  values.sizeX = model.sizeX;
  file.format = model.format;
  file.sampling = model.sampling;
  file.fluxUnit = model.fluxUnit;
  file.spectrum = model.spectrum;
  if (!model.spectrumFile.empty()) file.spectrumFile = model.spectrumFile;
  // Only a wavelength the run would take: the file must read back.
  const std::optional<double> nm = try_parse_real(model.wavelengthNm, decimalSeparator);
  if (nm && *nm >= kSpectrumMinNm && *nm <= kSpectrumMaxNm) file.wavelengthNm = model.wavelengthNm;
  return file;
}

SettingsModel with_settings_file(SettingsModel model, const SettingsFile& file) {
  const ConfigValues& values = file.lines;
  model.traceProFile = values.traceProPath;
  model.zemaxFile = values.zemaxPath;
  model.longitudinalFile = values.longitudinalFile;
  model.transversalFile = values.transversalFile;
  model.rayCount = values.rayCount;
  model.legacyFlux = values.sourceFlux;
  model.extentAboutZ = values.extentAboutZ;
  model.numericalAperture = values.numericalAperture;
  model.secondNa = values.secondNa;
  model.sizeY = values.sizeY;
  model.sizeX = values.sizeX;
  if (file.format) model.format = *file.format;
  if (file.sampling) model.sampling = *file.sampling;
  if (file.fluxUnit) model.fluxUnit = *file.fluxUnit;
  if (file.spectrum) model.spectrum = *file.spectrum;
  if (file.spectrumFile) model.spectrumFile = *file.spectrumFile;
  if (file.wavelengthNm) model.wavelengthNm = *file.wavelengthNm;
  return model;
}

SettingsModel first_start_settings(SettingsModel model, const std::vector<std::string>& distributionFiles) {
  model.traceProFile = first_start_ray_file(OutputFormat::TracePro);
  model.zemaxFile = first_start_ray_file(OutputFormat::Zemax);
  model.lightToolsFile = first_start_ray_file(OutputFormat::LightTools);
  model.asapFile = first_start_ray_file(OutputFormat::Asap);
  const auto present = [&distributionFiles](const char* name) {
    return std::find(distributionFiles.begin(), distributionFiles.end(), name) != distributionFiles.end();
  };
  // The example the program ships: a Lambertian emitter across, a narrow one
  // along. Without them the fields stay empty for the user to choose.
  if (present("lambertian.txt")) model.longitudinalFile = "lambertian.txt";
  if (present("narrow.txt")) model.transversalFile = "narrow.txt";
  return model;
}

SettingsFile parse_settings_text(std::string_view text, const std::string& fileName, char decimalSeparator,
                                 const std::string& currentNa) {
  const LineReader reader(split_config_text(text), fileName);
  SettingsFile model;
  ConfigValues& values = model.lines;
  values.numericalAperture = currentNa;
  values.traceProPath = reader.line(1, "TracePro file");
  values.zemaxPath = reader.line(2, "Zemax file");
  values.longitudinalFile = reader.line(3, "first distribution");
  values.transversalFile = reader.line(4, "second distribution");
  values.rayCount = reader.whole(5, "rays", 1, 1000000000);
  values.sourceFlux = reader.whole(6, "source flux", 5, 50000);
  values.extentAboutZ = reader.whole(9, "extent about Z", 0, 360);

  const std::string& na = reader.line(11, "NA");
  if (na != currentNa) {
    if (na.empty()) reader.fail(11, "NA", "it is empty");
    NaValidation validation;
    try {
      validation = validate_na_text(na, decimalSeparator);
    } catch (const ConversionError& error) {
      reader.fail(11, "NA", error.what());
    }
    values.numericalAperture = validation.action == NaValidation::Action::Replace ? validation.replacement : na;
  }
  // The second NA is a text the run converts, as earlier versions did.
  values.secondNa = reader.line(13, "second NA");
  values.sizeY = reader.size(14, "Y size", decimalSeparator);
  values.sizeX = reader.size(15, "X size", decimalSeparator);
  values.lastLineApplied = 15;
  read_keyed_lines(reader, model, decimalSeparator);
  return model;
}

SettingsFile read_settings_file(const std::string& fileName, char decimalSeparator, const std::string& currentNa) {
  return parse_settings_text(read_leading_lines(fileName, kMostLines, true), fileName, decimalSeparator, currentNa);
}

std::string format_settings_text(const SettingsFile& model) {
  std::string text = format_config_text(model.lines);
  if (model.format) text += std::string(kFormatKey) + std::string(ray_format(*model.format).cliName) + "\r\n";
  if (model.sampling) text += std::string(kSamplingKey) + std::string(sampling_mode_name(*model.sampling)) + "\r\n";
  if (model.fluxUnit) text += std::string(kFluxUnitKey) + flux_unit_symbol(*model.fluxUnit) + "\r\n";
  if (model.spectrum) {
    for (const auto& [mode, name] : kSpectrumNames) {
      if (mode == *model.spectrum) text += std::string(kSpectrumKey) + std::string(name) + "\r\n";
    }
  }
  if (model.spectrumFile) text += std::string(kSpectrumFileKey) + *model.spectrumFile + "\r\n";
  if (model.wavelengthNm) text += std::string(kWavelengthKey) + *model.wavelengthNm + "\r\n";
  return text;
}

void write_settings_file(const std::string& fileName, const SettingsFile& model) {
  const std::string text = format_settings_text(model);
  // Written beside and put in place: a full disk keeps the previous settings.
  if (const auto failure = write_whole_file(fileName, text)) {
    throw UserError((failure->created ? "Cannot write file " : "Cannot create file ") + fileName);
  }
}

}  // namespace lucidra::app
