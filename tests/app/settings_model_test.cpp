// The window's settings as plain values: the engine's settings built from
// them, the checks before a run, the settings file and the first start.

#include "app/settings_model.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/user_error.h"

namespace lucidra::app {
namespace {

SettingsModel every_value_changed() {
  SettingsModel model;
  model.format = OutputFormat::LightTools;
  model.traceProFile = "a.txt";
  model.zemaxFile = "b.dat";
  model.lightToolsFile = "c.ray";
  model.asapFile = "d.dis";
  model.longitudinalFile = "first.txt";
  model.transversalFile = "second.txt";
  model.rayCount = 123457;
  model.sampling = SamplingMode::Weighted;
  model.legacyFlux = 42;
  model.considerSourceFlux = true;
  model.sourceFlux = 0.35;
  model.fluxUnit = FluxUnit::Lumen;
  model.ledMode = false;
  model.randomAlgorithm = RandomAlgorithm::Uniform;
  model.angularType = AngularType::Lambertian;
  model.extentAboutZ = 90;
  model.planeShape = PlaneShape::Elliptical;
  model.doubleSide = true;
  model.balance = 30;
  model.squareShape = true;
  model.notifyEnd = true;
  model.numericalAperture = "0.5";
  model.secondNa = "0.25";
  model.sizeX = "2";
  model.sizeY = "3";
  model.spectrum = SpectrumMode::Line;
  model.wavelengthNm = "555.5";
  return model;
}

TEST(SettingsModelTest, EngineSettingsTakeTheChosenFormatsFileFluxAndSampling) {
  struct Case {
    OutputFormat format;
    SamplingMode sampling;
    const char* file;
    double flux;
    FluxUnit unit;
  };
  const Case cases[] = {
      {OutputFormat::TracePro, SamplingMode::EqualFlux, "a.txt", 0.35, FluxUnit::Lumen},
      {OutputFormat::Zemax, SamplingMode::Weighted, "b.dat", 0.35, FluxUnit::Lumen},
      {OutputFormat::ZemaxBinary, SamplingMode::EqualFlux, "b.dat", 0.35, FluxUnit::Lumen},
      {OutputFormat::Tm25, SamplingMode::EqualFlux, "b.dat", 0.35, FluxUnit::Lumen},
      {OutputFormat::LightToolsText, SamplingMode::EqualFlux, "c.ray", 0.35, FluxUnit::Lumen},
      {OutputFormat::Asap, SamplingMode::EqualFlux, "d.dis", 0.35, FluxUnit::Lumen},
      // Version 3.5's sampling knew whole watts only.
      {OutputFormat::Zemax, SamplingMode::Legacy, "b.dat", 42, FluxUnit::Watt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(ray_format(c.format).cliName) + " " + std::string(sampling_mode_name(c.sampling)));
    SettingsModel model = every_value_changed();
    model.format = c.format;
    model.sampling = c.sampling;
    const GenerationSettings settings = engine_settings(model, ',', "/work/lucidra.cfg");
    EXPECT_EQ(settings.outputFormat, c.format);
    EXPECT_EQ(settings.outputPath, c.file);
    EXPECT_EQ(settings.sourceFlux, c.flux);
    EXPECT_EQ(settings.fluxUnit, c.unit);
    EXPECT_EQ(settings.legacySampling, c.sampling == SamplingMode::Legacy);
    EXPECT_EQ(settings.weightedSampling, c.sampling == SamplingMode::Weighted);
    EXPECT_EQ(settings.settingsFile, "/work/lucidra.cfg");
    EXPECT_EQ(settings.fileDecimalSeparator, ',');
    EXPECT_EQ(settings.rayCount, 123457);
    EXPECT_FALSE(settings.ledMode);
    EXPECT_EQ(settings.angularType, AngularType::Lambertian);
    EXPECT_EQ(settings.planeShape, PlaneShape::Elliptical);
    EXPECT_EQ(settings.balance, 30);
    EXPECT_EQ(settings.extentAboutZ, 90);
  }
}

TEST(SettingsModelTest, ThePhotometricFilesFluxAndTheSpectrumReachTheRun) {
  struct Case {
    const char* name;
    const char* photometricFile;
    bool untouched;
    SamplingMode sampling;
    FluxUnit unit;
    bool fromFile;
  };
  const Case cases[] = {
      {"the file's flux, untouched", "led.ies", true, SamplingMode::EqualFlux, FluxUnit::Lumen, true},
      {"a flux typed over it", "led.ies", false, SamplingMode::EqualFlux, FluxUnit::Lumen, false},
      {"watts chosen since", "led.ies", true, SamplingMode::EqualFlux, FluxUnit::Watt, false},
      {"legacy sampling's whole watts", "led.ies", true, SamplingMode::Legacy, FluxUnit::Lumen, false},
      {"no photometric file", "", true, SamplingMode::EqualFlux, FluxUnit::Lumen, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SettingsModel model;
    model.photometricFile = c.photometricFile;
    model.flipSolid = true;
    model.fluxFromPhotometricFile = c.untouched;
    model.sampling = c.sampling;
    model.fluxUnit = c.unit;
    const GenerationSettings settings = engine_settings(model, '.', "lucidra.cfg");
    EXPECT_EQ(settings.photometricFile, c.photometricFile);
    EXPECT_EQ(settings.flipSolid, *c.photometricFile != '\0');
    EXPECT_EQ(settings.fluxFromPhotometricFile, c.fromFile);
  }

  SettingsModel model;
  model.spectrumFile = "white.csv";
  model.wavelengthNm = "480,5";
  for (const SpectrumMode mode : {SpectrumMode::None, SpectrumMode::File, SpectrumMode::Line}) {
    model.spectrum = mode;
    const GenerationSettings settings = engine_settings(model, ',', "lucidra.cfg");
    EXPECT_EQ(settings.spectrumFile, mode == SpectrumMode::File ? "white.csv" : "");
    EXPECT_EQ(settings.wavelengthNm, mode == SpectrumMode::Line ? 480.5 : 0.0);
    EXPECT_EQ(settings.spectral(), mode != SpectrumMode::None);
  }
}

TEST(SettingsModelTest, EngineSettingsAndTextsReadBackIntoTheSameModel) {
  SettingsModel changed = every_value_changed();
  SettingsModel fileSpectrum = every_value_changed();
  fileSpectrum.spectrum = SpectrumMode::File;
  fileSpectrum.spectrumFile = "white.csv";
  fileSpectrum.format = OutputFormat::Tm25;
  SettingsModel photometric;
  photometric.photometricFile = "led.ldt";
  photometric.fluxFromPhotometricFile = true;
  photometric.flipSolid = true;
  photometric.fluxUnit = FluxUnit::Lumen;
  photometric.sourceFlux = 1234.5;
  for (const SettingsModel& model : {SettingsModel{}, changed, fileSpectrum, photometric}) {
    const GenerationSettings settings = engine_settings(model, '.', "lucidra.cfg");
    const SettingsModel back = model_from_engine_settings(model, settings, setting_texts(model, '.'));
    EXPECT_EQ(back, model) << ray_format(model.format).cliName;
  }
  // Into a model holding other values, the run's settings take over.
  const SettingsModel back =
      model_from_engine_settings(SettingsModel{}, engine_settings(changed, '.', ""), setting_texts(changed, '.'));
  EXPECT_EQ(back.ray_file(), "c.ray");
  EXPECT_EQ(back.sourceFlux, 0.35);
  EXPECT_EQ(back.wavelengthNm, "555.5");
  EXPECT_EQ(back.numericalAperture, "0.5");
}

TEST(SettingsModelTest, FieldProblemNamesTheFieldItsValueAndRange) {
  struct Case {
    const char* sizeX;
    const char* sizeY;
    bool ledMode;
    SpectrumMode spectrum;
    const char* nm;
    const char* problem;
  };
  const Case cases[] = {
      {"1,5", "2", true, SpectrumMode::None, "", ""},
      {"abc", "2", true, SpectrumMode::None, "",
       "'abc' is not a valid floating point value: X size (mm) must be a number greater than 0"},
      {"1", "0", true, SpectrumMode::None, "", "Y size (mm) is '0'; it must be greater than 0"},
      {"1", "-2", true, SpectrumMode::None, "", "Y size (mm) is '-2'; it must be greater than 0"},
      // Arc mode does not read the sizes.
      {"abc", "0", false, SpectrumMode::None, "", ""},
      {"1", "1", true, SpectrumMode::Line, "2600", "Wavelength (nm) is '2600'; it must be a number from 200 to 2500"},
      {"1", "1", true, SpectrumMode::Line, "blue", "Wavelength (nm) is 'blue'; it must be a number from 200 to 2500"},
      {"1", "1", true, SpectrumMode::Line, "199,9", "Wavelength (nm) is '199,9'; it must be a number from 200 to 2500"},
      {"1", "1", true, SpectrumMode::Line, "2500", ""},
      // A wavelength not in use is not judged.
      {"1", "1", true, SpectrumMode::File, "blue", ""},
  };
  for (const Case& c : cases) {
    SettingsModel model;
    model.sizeX = c.sizeX;
    model.sizeY = c.sizeY;
    model.ledMode = c.ledMode;
    model.spectrum = c.spectrum;
    model.wavelengthNm = c.nm;
    EXPECT_EQ(field_problem(model, ','), c.problem) << c.sizeX << " " << c.sizeY << " " << c.nm;
  }
}

TEST(SettingsModelTest, TheSettingsFileKeepsWhatItStoresAndLeavesTheRest) {
  const SettingsModel model = every_value_changed();
  const SettingsFile file = parse_settings_text(format_settings_text(settings_file_of(model, '.')), "s.cfg", '.');
  const SettingsModel read = with_settings_file(SettingsModel{}, file);
  // Stored: the fifteen lines and the keyed ones.
  EXPECT_EQ(read.traceProFile, "a.txt");
  EXPECT_EQ(read.zemaxFile, "b.dat");
  EXPECT_EQ(read.longitudinalFile, "first.txt");
  EXPECT_EQ(read.transversalFile, "second.txt");
  EXPECT_EQ(read.rayCount, 123457);
  EXPECT_EQ(read.legacyFlux, 42);
  EXPECT_EQ(read.extentAboutZ, 90);
  EXPECT_EQ(read.numericalAperture, "0.5");
  EXPECT_EQ(read.secondNa, "0.25");
  EXPECT_EQ(read.sizeX, "2");
  EXPECT_EQ(read.sizeY, "3");
  EXPECT_EQ(read.format, OutputFormat::LightTools);
  EXPECT_EQ(read.sampling, SamplingMode::Weighted);
  EXPECT_EQ(read.fluxUnit, FluxUnit::Lumen);
  EXPECT_EQ(read.spectrum, SpectrumMode::Line);
  EXPECT_EQ(read.wavelengthNm, "555.5");
  // Not stored: the window keeps its own.
  EXPECT_EQ(read.lightToolsFile, SettingsModel{}.lightToolsFile);
  EXPECT_EQ(read.angularType, SettingsModel{}.angularType);
  EXPECT_EQ(read.sourceFlux, SettingsModel{}.sourceFlux);

  // A wavelength the run would refuse is left out, so the file reads back.
  SettingsModel wrong = model;
  wrong.wavelengthNm = "9000";
  const SettingsFile without = settings_file_of(wrong, '.');
  EXPECT_FALSE(without.wavelengthNm.has_value());
  EXPECT_NO_THROW(parse_settings_text(format_settings_text(without), "s.cfg", '.'));

  // An older file (fifteen lines only) leaves the keyed values as they were.
  SettingsFile older = file;
  older.format.reset();
  older.sampling.reset();
  older.fluxUnit.reset();
  older.spectrum.reset();
  older.wavelengthNm.reset();
  const SettingsModel kept = with_settings_file(model, older);
  EXPECT_EQ(kept, model);
}

TEST(SettingsModelTest, AFirstStartNamesEveryRayFileAfterItsTargetAndUsesTheShippedTables) {
  struct Case {
    std::vector<std::string> files;
    const char* first;
    const char* second;
  };
  const Case cases[] = {
      {{"lambertian.txt", "narrow.txt", "other.txt"}, "lambertian.txt", "narrow.txt"},
      {{"narrow.txt"}, "", "narrow.txt"},
      {{}, "", ""},
  };
  for (const Case& c : cases) {
    // The window's own defaults already name the TracePro and Zemax files so.
    EXPECT_EQ(SettingsModel{}.traceProFile, first_start_ray_file(OutputFormat::TracePro));
    EXPECT_EQ(SettingsModel{}.zemaxFile, first_start_ray_file(OutputFormat::Zemax));
    const SettingsModel model = first_start_settings(SettingsModel{}, c.files);
    EXPECT_EQ(model.traceProFile, "tracepro_rays.txt");
    EXPECT_EQ(model.zemaxFile, "zemax_rays.dat");
    EXPECT_EQ(model.lightToolsFile, "lighttools_rays.ray");
    EXPECT_EQ(model.asapFile, "asap_rays.dis");
    EXPECT_EQ(model.longitudinalFile, c.first);
    EXPECT_EQ(model.transversalFile, c.second);
  }
}

}  // namespace
}  // namespace lucidra::app
