#pragma once
// Whole runs against a fresh random state (a "new process") in a temporary
// working directory.

#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "engine/generation_run.h"
#include "output/ray_format_reader.h"
#include "random/random_state.h"
#include "support/recording_observer.h"
#include "support/sequential_run.h"
#include "support/temp_dir.h"

namespace lucidra::testing {

// Every ray of a written file, in file order, read as `check` reads it;
// `result`, when given, receives what the reader said of the file.
inline std::vector<RayRecord> read_all_rays(const std::string& path, RayFileReadResult* result = nullptr) {
  std::vector<RayRecord> all;
  RayFileReadResult read = read_ray_file(
      path, RayFileKind::Auto, 2,
      [](const RayRecord* rays, std::size_t n) -> std::shared_ptr<void> {
        return std::make_shared<std::vector<RayRecord>>(rays, rays + n);
      },
      [&](std::shared_ptr<void> part) {
        const auto& rays = *static_cast<const std::vector<RayRecord>*>(part.get());
        all.insert(all.end(), rays.begin(), rays.end());
      });
  if (result != nullptr) *result = std::move(read);
  return all;
}

inline std::string value_line(const std::vector<double>& values) {
  std::ostringstream out;
  out.precision(17);
  for (double v : values) out << v << ' ';
  return out.str();
}

inline std::string distribution_text(const std::vector<double>& angles, const std::vector<double>& values) {
  return value_line(angles) + "\r\n\r\n" + value_line(values) + "\r\n";
}

inline std::string read_bytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

inline std::vector<std::string> ray_lines(const std::string& bytes, std::size_t headerLines) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < bytes.size()) {
    const auto end = bytes.find("\r\n", start);
    if (end == std::string::npos) {
      lines.push_back(bytes.substr(start));
      break;
    }
    lines.push_back(bytes.substr(start, end - start));
    start = end + 2;
  }
  lines.erase(lines.begin(), lines.begin() + static_cast<std::ptrdiff_t>(std::min(headerLines, lines.size())));
  return lines;
}

struct ParsedRay {
  double v[7];
};

inline std::vector<ParsedRay> parse_rays(const std::vector<std::string>& lines) {
  std::vector<ParsedRay> rays;
  for (const auto& line : lines) {
    ParsedRay r{};
    std::istringstream in(line);
    for (double& v : r.v) in >> v;
    rays.push_back(r);
  }
  return rays;
}

class RunTest : public ::testing::Test {
 protected:
  RunTest() {
    lambertian = dir.write("lambertian.txt", distribution_text({0, 30, 60, 90}, {100, 87, 50, 0}));
    narrow = dir.write("narrow.txt", distribution_text({0, 10, 20, 40}, {100, 60, 20, 0}));
    output = (dir.path() / "ray.dat").string();
  }

  GenerationSettings led_settings() const {
    GenerationSettings s;
    s.outputPath = output;
    s.longitudinalFile = lambertian;
    s.transversalFile = narrow;
    s.sizeXmm = 2;
    s.sizeYmm = 2;
    s.clockSeconds = 1700000000;
    // The golden bytes of these tests are version 3.5's.
    s.legacySampling = true;
    return s;
  }

  RunReport run(const GenerationSettings& settings, RecordingObserver& observer) {
    return generate(settings, observer, state);
  }
  RunReport run(const GenerationSettings& settings) {
    RecordingObserver observer;
    return run(settings, observer);
  }

  TempDir dir;
  std::string lambertian, narrow, output;
  ProcessRandomState state;
};

}  // namespace lucidra::testing
