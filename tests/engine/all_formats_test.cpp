// One run written in every format: the same rays in each (float32, or the
// text's seven digits), headers whose count and flux equal the records, a
// file check passes; and the pipes a header cannot go to.

#include <gtest/gtest.h>
#ifndef _WIN32
#include <unistd.h>
#endif

#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "engine/run_fixture.h"
#include "output/ray_format.h"
#include "output/ray_format_reader.h"

namespace lucidra::testing {
namespace {

// A float32 or a "%e" text of the same double: seven significant digits.
bool close(double got, double reference) { return std::fabs(got - reference) <= 6e-7 * std::fabs(reference) + 1e-30; }

TEST_F(RunTest, EveryFormatHoldsTheSameRays) {
  for (const bool legacy : {false, true}) {
    for (const FluxUnit unit : {FluxUnit::Watt, FluxUnit::Lumen}) {
      GenerationSettings s = led_settings();
      s.rayCount = 3000;
      s.considerSourceFlux = true;
      s.sourceFlux = 1200;
      s.fluxUnit = unit;
      s.legacySampling = legacy;
      std::vector<RayRecord> reference;
      for (const RayFormat& f : ray_formats()) {
        s.outputFormat = f.id;
        s.outputPath = (dir.path() / ("rays" + std::string(f.defaultName.substr(f.defaultName.rfind('.'))))).string();
        ProcessRandomState fresh;
        RecordingObserver observer;
        const RunReport report = generate(s, observer, fresh);
        ASSERT_EQ(report.outcome, RunOutcome::Succeeded) << f.cliName << ": " << report.message;
        RayFileReadResult read;
        const std::vector<RayRecord> rays = read_all_rays(s.outputPath, &read);
        SCOPED_TRACE(std::string(f.cliName) + (legacy ? " legacy" : "") + (unit == FluxUnit::Lumen ? " lm" : " W"));
        EXPECT_EQ(read.kind, f.readerKind);
        ASSERT_EQ(rays.size(), 3001u);            // no ray of zero flux here, so TM-25 keeps them all
        if (reference.empty()) reference = rays;  // TracePro, "%e"
        // Every field within the text's seven digits of the TracePro file.
        for (std::size_t i = 0; i < rays.size(); ++i) {
          const RayRecord& a = rays[i];
          const RayRecord& b = reference[i];
          ASSERT_TRUE(close(a.x, b.x) && close(a.y, b.y) && close(a.z, b.z) && close(a.dx, b.dx) && close(a.dy, b.dy) &&
                      close(a.dz, b.dz) && close(a.flux, b.flux))
              << "ray " << i + 1;
        }
        const RayFileVerdict verdict = verify_ray_file(read);
        EXPECT_EQ(verdict.failure, "");
        if (f.fluxInHeader) {
          EXPECT_NEAR(read.headerFlux, read.fluxSum, 1e-6 * read.fluxSum);
          EXPECT_NEAR(read.headerFlux, report.obtainedFlux, 1e-6 * report.obtainedFlux);
          EXPECT_EQ(*read.fluxUnit, unit);
        }
        if (f.countInHeader) {
          const std::int64_t header = f.id == OutputFormat::Zemax ? read.headerCount + 1 : read.headerCount;
          EXPECT_EQ(header, read.rays);
        }
      }
    }
  }
}

#ifndef _WIN32
// A header that states the flux goes to a pipe only when the flux is known
// before the rays: never under legacy sampling; TM-25 (count unknown) never.
TEST_F(RunTest, PipesTakeAHeaderOnlyWhenItIsKnownFirst) {
  for (const RayFormat& f : ray_formats()) {
    for (const bool legacy : {false, true}) {
      int fds[2];
      ASSERT_EQ(::pipe(fds), 0);
      GenerationSettings s = led_settings();
      s.rayCount = 10;
      s.legacySampling = legacy;
      s.outputFormat = f.id;
      s.outputPath = "/dev/fd/" + std::to_string(fds[1]);
      ProcessRandomState fresh;
      RecordingObserver observer;
      const RunReport report = generate(s, observer, fresh);
      ::close(fds[1]);
      std::string received;
      char buffer[4096];
      ssize_t got = 0;
      while ((got = ::read(fds[0], buffer, sizeof buffer)) > 0) received.append(buffer, static_cast<std::size_t>(got));
      ::close(fds[0]);
      const bool refused = f.dropsZeroFlux || (f.fluxInHeader && legacy);
      SCOPED_TRACE(std::string(f.cliName) + (legacy ? " legacy" : ""));
      if (refused) {
        EXPECT_EQ(report.outcome, RunOutcome::Failed);
        EXPECT_NE(report.message.find("cannot be written to a pipe or a terminal"), std::string::npos)
            << report.message;
        EXPECT_EQ(received, "");
      } else {
        EXPECT_NE(report.outcome, RunOutcome::Failed) << report.message;
        EXPECT_GT(received.size(), 11 * 20u);
        if (f.id == OutputFormat::LightTools) {
          // The planned flux: the source flux, before the first ray.
          float flux = 0;
          std::memcpy(&flux, received.data() + 40, 4);
          EXPECT_EQ(flux, static_cast<float>(s.sourceFlux));
          EXPECT_EQ(received.substr(received.size() - 7), "LTRFEND");
        }
      }
    }
  }
}
#endif

}  // namespace
}  // namespace lucidra::testing
