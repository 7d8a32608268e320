// Whole runs on hostile distribution files and settings. Eight leading bytes
// choose the settings; the rest is the two distribution files, separated by
// the first '|'. Each run is made twice, one ray after another and on three
// threads: both must end the same way and write the same bytes. A run that
// reports success must have written the header and N + 1 ray lines of seven
// finite numbers with a unit direction.

#include <unistd.h>

#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "engine/generation_run.h"
#include "engine/settings_text.h"
#include "fuzz_check.h"
#include "random/random_state.h"
#include "support/recording_observer.h"
#include "support/sequential_run.h"

namespace {

using lucidra::fuzz::check;

const std::filesystem::path& work_dir() {
  static const std::filesystem::path dir = [] {
    const std::filesystem::path d =
        std::filesystem::temp_directory_path() / ("lucidra-fuzz-run-" + std::to_string(::getpid()));
    std::filesystem::create_directories(d);
    std::atexit([] {
      std::error_code ec;
      std::filesystem::remove_all(
          std::filesystem::temp_directory_path() / ("lucidra-fuzz-run-" + std::to_string(::getpid())), ec);
    });
    return d;
  }();
  return dir;
}

std::string write_file(const std::string& name, std::string_view bytes) {
  const std::string path = (work_dir() / name).string();
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return path;
}

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct Result {
  lucidra::RunReport report;
  std::vector<std::string> errors;
  std::string bytes;
};

Result run_once(const lucidra::GenerationSettings& settings, bool reference) {
  std::error_code ec;
  std::filesystem::remove(settings.outputPath, ec);
  lucidra::testing::RecordingObserver observer;
  lucidra::ProcessRandomState state;
  Result r;
  r.report = reference ? lucidra::testing::sequential_run(settings, observer, state)
                       : lucidra::generate(settings, observer, state);
  if (!r.report.message.empty()) r.errors.push_back(r.report.message);
  r.bytes = read_file(settings.outputPath);
  return r;
}

void check_rays(const std::string& bytes, const lucidra::GenerationSettings& s) {
  std::size_t start = 0;
  std::size_t lineNumber = 0;
  const std::size_t headerLines = s.outputFormat == lucidra::OutputFormat::TracePro ? 6 : 1;
  std::size_t rays = 0;
  while (start < bytes.size()) {
    const std::size_t end = bytes.find("\r\n", start);
    check(end != std::string::npos, "the file does not end with CR LF");
    const std::string line = bytes.substr(start, end - start);
    start = end + 2;
    if (++lineNumber <= headerLines) continue;
    double v[7];
    const char* p = line.c_str();
    for (double& value : v) {
      char* next = nullptr;
      value = std::strtod(p, &next);
      check(next != p, "a ray line with fewer than seven numbers");
      check(std::isfinite(value), "a ray line with a non-finite number");
      p = next;
    }
    check(*p == '\0', "text after the seventh number");
    check(std::fabs(std::sqrt(v[3] * v[3] + v[4] * v[4] + v[5] * v[5]) - 1) < 1e-5, "direction is not a unit vector");
    ++rays;
  }
  check(rays == static_cast<std::size_t>(s.rayCount) + 1, "a finished run must write N + 1 rays");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 8) return 0;
  static const char* const kSizes[] = {"2", "0", "0.00001", "-3", "1e300", "1e-300", "1073741824", "7.5"};
  static const char* const kApertures[] = {"0", "1", "0.5", "0.999", "1e-9", "0.0000001", "1", "0.25"};
  static const std::int32_t kFluxes[] = {3500, 5, 50000, 0, -7, 1, 100, 2147483647};

  lucidra::GenerationSettings s;
  const std::uint8_t b0 = data[0];
  s.randomAlgorithm = (b0 & 1) != 0 ? lucidra::RandomAlgorithm::Uniform : lucidra::RandomAlgorithm::Sobol;
  s.angularType = static_cast<lucidra::AngularType>((b0 >> 1) & 3);
  s.planeShape = (b0 & 8) != 0 ? lucidra::PlaneShape::Elliptical : lucidra::PlaneShape::Rectangular;
  s.doubleSide = (b0 & 16) != 0;
  s.squareShape = (b0 & 32) != 0;
  s.considerSourceFlux = (b0 & 64) != 0;
  s.ledMode = (b0 & 128) == 0;
  s.rayCount = 1 + data[1] % 48;
  s.extentAboutZ = data[2] * 361 / 256;
  s.balance = data[3] % 101;
  lucidra::SettingTexts texts;
  texts.numericalAperture = kApertures[data[4] % 8];
  texts.sizeX = kSizes[data[5] % 8];
  texts.sizeY = kSizes[(data[5] >> 3) % 8];
  s.sourceFlux = kFluxes[data[6] % 8];
  s.legacySampling = (data[6] & 128) != 0;
  s.outputFormat = (data[7] & 1) != 0 ? lucidra::OutputFormat::TracePro : lucidra::OutputFormat::Zemax;
  s.fileDecimalSeparator = (data[7] & 2) != 0 ? ',' : '.';
  s.arcMarginADeg = (data[7] >> 2) % 8 * 10.0;
  s.arcMarginBDeg = (data[7] >> 5) * 10.0;

  const std::string_view files = lucidra::fuzz::as_text(data + 8, size - 8);
  const std::size_t bar = files.find('|');
  s.longitudinalFile = write_file("longitudinal.txt", files.substr(0, bar));
  s.transversalFile = write_file("transversal.txt", bar == std::string_view::npos ? files : files.substr(bar + 1));
  s.outputPath = (work_dir() / "ray.dat").string();

  apply_setting_texts(s, texts);  // every text of the table is a number
  s.clockSeconds = 1700000000;
  s.threads = 1;
  const Result one = run_once(s, true);
  s.threads = 3;
  const Result many = run_once(s, false);

  check(one.report.outcome == many.report.outcome, "the parallel run ends differently");
  check(one.errors == many.errors, "the parallel run shows other errors");
  check(one.bytes == many.bytes, "the parallel run writes other bytes");
  check(one.report.raysWritten == many.report.raysWritten, "the parallel run counts other rays");
  if (std::getenv("LUCIDRA_FUZZ_VERBOSE") != nullptr) {
    std::fprintf(stderr, "outcome %d, %lld rays, flux %g%s%s\n", static_cast<int>(one.report.outcome),
                 static_cast<long long>(one.report.raysWritten), one.report.obtainedFlux,
                 one.errors.empty() ? "" : ": ", one.errors.empty() ? "" : one.errors[0].c_str());
  }
  const bool finished =
      one.report.outcome == lucidra::RunOutcome::Succeeded || one.report.outcome == lucidra::RunOutcome::LowFlux;
  if (finished) {
    check(std::isfinite(one.report.obtainedFlux), "a non-finite obtained flux");
    check(one.report.raysWritten == s.rayCount + 1, "a finished run must count N + 1 rays");
    check_rays(one.bytes, s);
  } else {
    check(one.report.outcome == lucidra::RunOutcome::Failed || one.report.outcome == lucidra::RunOutcome::PointLimit,
          "an unexpected outcome");
    check(one.errors.size() == 1, "a failure without its message");
    if (one.report.outcome == lucidra::RunOutcome::Failed) {
      check(one.bytes.empty(), "a failed run must leave no file where there was none");
    }
  }
  return 0;
}
