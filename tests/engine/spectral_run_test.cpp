// Runs with a spectrum: every ray's wavelength drawn from it in the right
// proportions, through one more coordinate of the same point; the same
// bytes on every thread count; every format written and read back with its
// wavelengths; check --spectrum passes a white LED and fails a wrong one;
// the combinations a spectral run refuses; and the estimate of every
// layout against the file written.

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <map>
#include <vector>

#include "engine/estimate.h"
#include "engine/far_field.h"
#include "engine/run_fixture.h"
#include "output/ray_file_reader.h"
#include "output/ray_format.h"

namespace lucidra::testing {
namespace {

// A white LED: a blue die (Gaussian at 450 nm) and a broad phosphor band.
std::string white_led_text() {
  std::string text = "# wavelength (nm), relative power\n";
  for (int nm = 380; nm <= 780; ++nm) {
    const double p =
        std::exp(-0.5 * std::pow((nm - 450) / 10.0, 2)) + 0.6 * std::exp(-0.5 * std::pow((nm - 560) / 50.0, 2));
    text += std::to_string(nm) + "\t" + std::to_string(p) + "\n";
  }
  return text;
}

class SpectralRunTest : public RunTest {
 protected:
  GenerationSettings spectral_settings(const std::string& spectrumText) {
    GenerationSettings s = led_settings();
    s.legacySampling = false;
    s.longitudinalFile = lambertian;
    s.transversalFile = lambertian;
    s.rayCount = 40000;
    s.sourceFlux = 10;
    s.spectrumFile = dir.write("spectrum.txt", spectrumText);
    return s;
  }
  RunReport run_to(GenerationSettings s, OutputFormat format, const std::string& name, unsigned threads = 2) {
    s.outputFormat = format;
    s.outputPath = (dir.path() / name).string();
    s.threads = threads;
    ProcessRandomState fresh;
    RecordingObserver observer;
    return generate(s, observer, fresh);
  }
  std::string path_of(const std::string& name) const { return (dir.path() / name).string(); }
};

TEST_F(SpectralRunTest, TwoLinesInTheirProportionWithEqualFlux) {
  // Two narrow lines, the red one three times the blue one's power.
  const std::string twoLines = "440 0\n449.5 0\n450 1\n450.5 0\n619.5 0\n620 3\n620.5 0\n700 0\n";
  for (const RandomAlgorithm algorithm : {RandomAlgorithm::Sobol, RandomAlgorithm::Uniform}) {
    GenerationSettings s = spectral_settings(twoLines);
    s.randomAlgorithm = algorithm;
    const RunReport report = run_to(s, OutputFormat::Tm25, "two.TM25RAY");
    ASSERT_EQ(report.outcome, RunOutcome::Succeeded) << report.message;
    const std::vector<RayRecord> rays = read_all_rays(path_of("two.TM25RAY"));
    ASSERT_EQ(rays.size(), 40001u);
    std::int64_t blue = 0, red = 0;
    for (const RayRecord& ray : rays) {
      ASSERT_EQ(static_cast<float>(ray.flux), static_cast<float>(10.0 / 40001)) << "equal flux per ray";
      if (ray.wavelength >= 449.5 && ray.wavelength <= 450.5) ++blue;
      if (ray.wavelength >= 619.5 && ray.wavelength <= 620.5) ++red;
    }
    EXPECT_EQ(blue + red, 40001);
    const double share = static_cast<double>(blue) / 40001;
    // Sobol's stratification puts the share within a few rays of 1/4; a
    // pseudo-random draw within 5 standard deviations.
    const double allowed = algorithm == RandomAlgorithm::Sobol ? 5.0 / 40001 : 5 * std::sqrt(0.25 * 0.75 / 40001);
    EXPECT_NEAR(share, 0.25, allowed) << (algorithm == RandomAlgorithm::Sobol ? "sobol" : "uniform");
  }
}

TEST_F(SpectralRunTest, WavelengthIsOneMoreCoordinateOfTheSamePoint) {
  // With Sobol points the first four coordinates do not depend on the
  // dimension: a spectral run's rays are the plain run's, with a wavelength.
  GenerationSettings s = spectral_settings(white_led_text());
  ASSERT_EQ(run_to(s, OutputFormat::ZemaxBinary, "spectral.dat").outcome, RunOutcome::Succeeded);
  GenerationSettings plain = s;
  plain.spectrumFile.clear();
  ASSERT_EQ(run_to(plain, OutputFormat::ZemaxBinary, "plain.dat").outcome, RunOutcome::Succeeded);
  const auto a = read_all_rays(path_of("spectral.dat"));
  const auto b = read_all_rays(path_of("plain.dat"));
  ASSERT_EQ(a.size(), b.size());
  for (std::size_t i = 0; i < a.size(); ++i) {
    ASSERT_EQ(a[i].x, b[i].x);
    ASSERT_EQ(a[i].dz, b[i].dz);
    ASSERT_EQ(a[i].flux, b[i].flux);
    ASSERT_EQ(b[i].wavelength, 0.0);
    ASSERT_GE(a[i].wavelength, 379.99);
    ASSERT_LE(a[i].wavelength, 780.01);
  }
}

TEST_F(SpectralRunTest, SameBytesOnEveryThreadCount) {
  for (const OutputFormat format : {OutputFormat::ZemaxBinary, OutputFormat::Tm25, OutputFormat::Zemax}) {
    for (const RandomAlgorithm algorithm : {RandomAlgorithm::Sobol, RandomAlgorithm::Uniform}) {
      GenerationSettings s = spectral_settings(white_led_text());
      s.randomAlgorithm = algorithm;
      s.rayCount = 70000;
      ASSERT_EQ(run_to(s, format, "one", 1).outcome, RunOutcome::Succeeded);
      const std::string one = read_bytes(path_of("one"));
      for (const unsigned threads : {2u, 3u}) {
        ASSERT_EQ(run_to(s, format, "many", threads).outcome, RunOutcome::Succeeded);
        EXPECT_TRUE(one == read_bytes(path_of("many"))) << static_cast<int>(format) << " on " << threads;
      }
    }
  }
}

TEST_F(SpectralRunTest, EveryFormatRoundTripsAndPassesTheSpectrumCheck) {
  const std::string white = white_led_text();
  const Spectrum spectrum = parse_spectrum(white, "white");
  GenerationSettings s = spectral_settings(white);
  s.rayCount = 20000;
  s.angularType = AngularType::Lambertian;
  s.numericalAperture = 1;
  const IntensityLaw law(s);
  std::vector<double> reference;  // TM-25's wavelengths, nm in float32
  for (const FluxUnit unit : {FluxUnit::Watt, FluxUnit::Lumen}) {
    s.fluxUnit = unit;
    for (const RayFormat& format : ray_formats()) {
      if (format.id == OutputFormat::Asap) continue;
      std::string name = "r";
      name.append(format.defaultName.substr(format.defaultName.rfind('.')));
      const RunReport report = run_to(s, format.id, name);
      ASSERT_EQ(report.outcome, RunOutcome::Succeeded) << format.cliName << ": " << report.message;
      EXPECT_NE(report.spectrumSummary.find(unit == FluxUnit::Lumen ? "10 lm = " : "10 W = "), std::string::npos)
          << report.spectrumSummary;
      const auto rays = read_all_rays(path_of(name));
      ASSERT_EQ(rays.size(), 20001u) << format.cliName;
      if (reference.empty()) {
        for (const RayRecord& ray : rays) reference.push_back(ray.wavelength);
      }
      for (std::size_t i = 0; i < rays.size(); ++i) {
        // float32 or seven significant digits, of nm or um.
        ASSERT_NEAR(rays[i].wavelength, reference[i], 2e-4) << format.cliName << " ray " << i;
      }
      FarFieldOptions options;
      options.spectrum = &spectrum;
      const FarFieldResult result = check_ray_file(path_of(name), RayFileKind::Auto, law, options);
      ASSERT_TRUE(result.spectrum.has_value());
      EXPECT_TRUE(result.spectrum->passed) << format.cliName << "\n" << spectrum_check_report(*result.spectrum);
      EXPECT_NEAR(result.spectrum->meanNm, spectrum.mean_wavelength(), 0.05) << format.cliName;
      EXPECT_TRUE(result.passed) << format.cliName;
    }
  }
  // The same rays against a spectrum shifted by 20 nm: the blue bins fail.
  std::string shifted = "# shifted\n";
  for (int nm = 380; nm <= 780; ++nm) {
    shifted += std::to_string(nm) + " " +
               std::to_string(std::exp(-0.5 * std::pow((nm - 470) / 10.0, 2)) +
                              0.6 * std::exp(-0.5 * std::pow((nm - 560) / 50.0, 2))) +
               "\n";
  }
  const Spectrum wrong = parse_spectrum(shifted, "shifted");
  FarFieldOptions options;
  options.spectrum = &wrong;
  const FarFieldResult result = check_ray_file(path_of("r.TM25RAY"), RayFileKind::Auto, law, options);
  EXPECT_FALSE(result.spectrum->passed);
  EXPECT_GT(result.spectrum->failedBins, 0);
  EXPECT_FALSE(result.passed);
  // A ray set without wavelengths fails a spectrum check.
  GenerationSettings plain = s;
  plain.spectrumFile.clear();
  ASSERT_EQ(run_to(plain, OutputFormat::Tm25, "plain.TM25RAY").outcome, RunOutcome::Succeeded);
  options.spectrum = &spectrum;
  const FarFieldResult none = check_ray_file(path_of("plain.TM25RAY"), RayFileKind::Auto, law, options);
  EXPECT_FALSE(none.spectrum->passed);
  EXPECT_EQ(none.spectrum->withoutWavelength, 20001);
}

TEST_F(SpectralRunTest, WeightedRaysFollowTheSpectrumInTheirFlux) {
  // Weighted rays carry unequal flux; their wavelengths come from the same
  // coordinate, so the flux per wavelength still follows the spectrum, on
  // every thread count.
  const std::string white = white_led_text();
  const Spectrum spectrum = parse_spectrum(white, "white");
  GenerationSettings s = spectral_settings(white);
  s.weightedSampling = true;
  ASSERT_EQ(run_to(s, OutputFormat::ZemaxBinary, "w1.dat", 1).outcome, RunOutcome::Succeeded);
  ASSERT_EQ(run_to(s, OutputFormat::ZemaxBinary, "w3.dat", 3).outcome, RunOutcome::Succeeded);
  EXPECT_TRUE(read_bytes(path_of("w1.dat")) == read_bytes(path_of("w3.dat")));
  const IntensityLaw law(s);
  FarFieldOptions options;
  options.spectrum = &spectrum;
  const FarFieldResult result = check_ray_file(path_of("w1.dat"), RayFileKind::Auto, law, options);
  ASSERT_TRUE(result.spectrum.has_value());
  EXPECT_TRUE(result.spectrum->passed) << spectrum_check_report(*result.spectrum);
  EXPECT_NEAR(result.spectrum->meanNm, spectrum.mean_wavelength(), 0.5);
}

TEST_F(SpectralRunTest, Refusals) {
  struct Case {
    const char* name;
    void (*change)(GenerationSettings&);
    const char* message;
  };
  const Case cases[] = {
      {"legacy", [](GenerationSettings& s) { s.legacySampling = true; },
       "A spectrum (--spectrum or --wavelength) needs the equal-flux or weighted sampling"},
      {"asap", [](GenerationSettings& s) { s.outputFormat = OutputFormat::Asap; },
       "ASAP (dis) ray files have no place for a wavelength"},
      {"both", [](GenerationSettings& s) { s.wavelengthNm = 550; },
       "Give either a spectrum file or a single wavelength, not both"},
      {"invisible in lumens",
       [](GenerationSettings& s) {
         s.spectrumFile.clear();
         s.wavelengthNm = 1300;
         s.fluxUnit = FluxUnit::Lumen;
       },
       "The spectrum has no power the eye sees"},
      {"bad file", [](GenerationSettings& s) { s.spectrumFile += ".missing"; }, "Cannot open spectrum file "},
  };
  for (const Case& c : cases) {
    GenerationSettings s = spectral_settings("500 1\n600 1\n");
    s.outputFormat = OutputFormat::ZemaxBinary;
    s.outputPath = path_of("refused.dat");
    c.change(s);
    const std::string before = "previous";
    dir.write("refused.dat", before);
    ProcessRandomState fresh;
    RecordingObserver observer;
    const RunReport report = generate(s, observer, fresh);
    EXPECT_EQ(report.outcome, RunOutcome::Failed) << c.name;
    EXPECT_NE(report.message.find(c.message), std::string::npos) << c.name << ": " << report.message;
    EXPECT_EQ(read_bytes(path_of("refused.dat")), before) << c.name << ": the previous file survives";
  }
}

TEST_F(SpectralRunTest, EstimateIsTheWrittenFilesSize) {
  // Every format, without a wavelength, with a spectrum and with one line,
  // in watts and lumens: a binary file's size exactly (header, records,
  // trailer), a text file's within half a percent (its lines are measured
  // on sample rays). The line is the shortest text in LightTools text.
  constexpr std::int32_t kRays = 3000;
  enum class Source { None, Spectrum, Line };
  for (const RayFormat& f : ray_formats()) {
    for (const Source source : {Source::None, Source::Spectrum, Source::Line}) {
      if (source != Source::None && f.id == OutputFormat::Asap) continue;  // refused: no place for a wavelength
      for (const FluxUnit unit : {FluxUnit::Watt, FluxUnit::Lumen}) {
        GenerationSettings s = spectral_settings(white_led_text());
        s.rayCount = kRays;
        s.fluxUnit = unit;
        if (source != Source::Spectrum) s.spectrumFile.clear();
        if (source == Source::Line) s.wavelengthNm = 555;
        const std::string name = "estimate" + std::string(f.defaultName.substr(f.defaultName.rfind('.')));
        const RunReport report = run_to(s, f.id, name);
        const std::string trace = std::string(f.cliName) + (source == Source::None ? " plain" : " spectral") +
                                  (source == Source::Line ? " line" : "") + (unit == FluxUnit::Lumen ? " lm" : " W");
        ASSERT_EQ(report.outcome, RunOutcome::Succeeded) << trace << ": " << report.message;
        const auto written = static_cast<std::uint64_t>(std::filesystem::file_size(path_of(name)));
        const RayWavelengths wavelengths{source != Source::None, s.wavelengthNm};
        const std::uint64_t estimate = ray_file_bytes(f.id, kRays, s.sourceFlux, unit, wavelengths, s.sizeXmm / 2);
        if (f.binary) {
          EXPECT_EQ(estimate, written) << trace;
          // The command line's figure: the same bytes in whole megabytes.
          EXPECT_EQ(estimate_output(kRays, f.id, wavelengths).sizeMb, static_cast<std::int64_t>(written / 1000000u))
              << trace;
        } else {
          EXPECT_NEAR(static_cast<double>(estimate), static_cast<double>(written), 0.005 * static_cast<double>(written))
              << trace;
        }
      }
    }
  }
}

TEST(SpectralEstimate, AWavelengthTakesItsRoomInEveryLayout) {
  // 10^6 rays: four bytes a record more in every binary layout (Zemax's
  // eighth float, TM-25's wavelength item, LightTools' colour information),
  // a column of " d.dddddde-01" (13 bytes) on every Zemax and TracePro
  // line; ASAP, which has no place for one, keeps its size.
  struct Case {
    OutputFormat format;
    double bytesPerRay;
  };
  const Case cases[] = {{OutputFormat::ZemaxBinary, 4}, {OutputFormat::Tm25, 4},      {OutputFormat::LightTools, 4},
                        {OutputFormat::Zemax, 13},      {OutputFormat::TracePro, 13}, {OutputFormat::Asap, 0}};
  constexpr std::int32_t kRays = 999999;
  for (const Case& c : cases) {
    const auto plain = static_cast<double>(ray_file_bytes(c.format, kRays, 3500, FluxUnit::Watt, {}));
    const auto spectral = static_cast<double>(ray_file_bytes(c.format, kRays, 3500, FluxUnit::Watt, {true, 0}));
    EXPECT_NEAR(spectral - plain, c.bytesPerRay * 1e6, 1.0) << ray_format(c.format).cliName;
  }
  EXPECT_EQ(estimate_output(kRays, OutputFormat::ZemaxBinary, {true, 0}).sizeMb, 32);  // 208 + 10^6 x 32 bytes
  EXPECT_EQ(estimate_output(kRays, OutputFormat::ZemaxBinary).sizeMb, 28);
}

}  // namespace
}  // namespace lucidra::testing
