// Whole runs written as Zemax binary and TM-25 files: the same rays as the
// text file, the same bytes on every thread count, headers that count the
// records, and what becomes of a stopped run.

#include <gtest/gtest.h>
#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <cmath>
#include <cstring>
#include <thread>

#include "engine/run_fixture.h"
#include "output/binary_ray_file.h"
#include "output/ray_file_reader.h"

namespace lucidra::testing {
namespace {

float f32_at(const std::string& bytes, std::size_t at) {
  float v = 0;
  std::memcpy(&v, bytes.data() + at, 4);
  return v;
}

std::uint64_t count_at(const std::string& bytes, std::size_t at, std::size_t width) {
  std::uint64_t v = 0;
  for (std::size_t i = 0; i < width; ++i)
    v |= static_cast<std::uint64_t>(static_cast<unsigned char>(bytes[at + i])) << (8 * i);
  return v;
}

// A float32 of the double the text printed with seven significant digits.
bool same_value(float binary, double text) {
  return std::fabs(static_cast<double>(binary) - text) <= 6e-7 * std::fabs(text) + 1e-30;
}

class BinaryRunTest : public RunTest {
 protected:
  std::string run_to(GenerationSettings s, OutputFormat format, const std::string& name, unsigned threads = 2) {
    s.outputFormat = format;
    s.outputPath = (dir.path() / name).string();
    s.threads = threads;
    ProcessRandomState fresh;
    RecordingObserver observer;
    const RunReport report = generate(s, observer, fresh);
    EXPECT_TRUE(report.outcome == RunOutcome::Succeeded || report.outcome == RunOutcome::LowFlux) << report.message;
    return read_bytes(s.outputPath);
  }
};

TEST_F(BinaryRunTest, TextAndBothBinaryFilesHoldTheSameRays) {
  // Tables that fall to zero at 40 degrees: rays beyond carry no flux, and
  // TM-25 leaves exactly those out.
  const std::string cut = dir.write("cut.txt", distribution_text({0, 20, 39, 40, 90}, {100, 80, 50, 0, 0}));
  // Weighted rays beyond 40 degrees carry no flux (equal-flux rays never
  // go there); version 3.5's as well.
  for (const bool legacy : {false, true}) {
    GenerationSettings s = led_settings();
    s.legacySampling = legacy;
    s.weightedSampling = !legacy;
    s.longitudinalFile = cut;
    s.transversalFile = cut;
    s.rayCount = 20000;
    const auto text = parse_rays(ray_lines(run_to(s, OutputFormat::Zemax, "t.txt"), 1));
    const std::string zemax = run_to(s, OutputFormat::ZemaxBinary, "z.dat");
    const std::string tm25 = run_to(s, OutputFormat::Tm25, "t.TM25RAY");
    ASSERT_EQ(text.size(), 20001u);
    ASSERT_EQ(zemax.size(), kZemaxHeaderBytes + 20001 * kBinaryRecordBytes);
    EXPECT_EQ(count_at(zemax, 4, 4), 20001u);

    std::size_t kept = 0, zero = 0;
    double zemaxFlux = 0, tm25Flux = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
      const std::size_t z = kZemaxHeaderBytes + i * kBinaryRecordBytes;
      for (std::size_t k = 0; k < 7; ++k) {
        ASSERT_TRUE(same_value(f32_at(zemax, z + 4 * k), text[i].v[k])) << "ray " << i << " value " << k;
      }
      zemaxFlux += static_cast<double>(f32_at(zemax, z + 24));
      if (text[i].v[6] == 0) {
        ++zero;
        continue;
      }
      const std::size_t t = kTm25HeaderBytes + kept * kBinaryRecordBytes;
      ASSERT_LE(t + kBinaryRecordBytes, tm25.size());
      // The TM-25 record is the Zemax record, byte for byte.
      ASSERT_EQ(tm25.compare(t, kBinaryRecordBytes, zemax, z, kBinaryRecordBytes), 0) << "ray " << i;
      tm25Flux += static_cast<double>(f32_at(tm25, t + 24));
      ++kept;
    }
    EXPECT_GT(zero, 100u) << "the cut table should give rays of zero flux";
    EXPECT_EQ(tm25.size(), kTm25HeaderBytes + kept * kBinaryRecordBytes);
    EXPECT_EQ(count_at(tm25, 20, 8), kept);
    // Both headers give the float32 sum of the records they hold.
    EXPECT_EQ(f32_at(zemax, 108), static_cast<float>(zemaxFlux));
    EXPECT_EQ(f32_at(zemax, 112), static_cast<float>(zemaxFlux));
    EXPECT_EQ(f32_at(tm25, 16), static_cast<float>(tm25Flux));
    EXPECT_EQ(std::string(tm25.data() + 28, 20), "2023-11-14T22:13:20Z");
  }
}

TEST_F(BinaryRunTest, SameBytesOnEveryThreadCount) {
  for (const OutputFormat format : {OutputFormat::ZemaxBinary, OutputFormat::Tm25}) {
    GenerationSettings s = led_settings();
    s.legacySampling = false;
    s.rayCount = 70000;  // several chunks
    s.planeShape = PlaneShape::Elliptical;
    const std::string one = run_to(s, format, "one", 1);
    for (const unsigned threads : {2u, 3u, 8u}) {
      EXPECT_TRUE(one == run_to(s, format, "many", threads)) << static_cast<int>(format) << " on " << threads;
    }
  }
}

// A stopped run leaves the previous file; on a pipe, whose header went out
// first, the reader tells a cut file from a whole one.
TEST_F(BinaryRunTest, StoppedRun) {
  GenerationSettings s = led_settings();
  s.rayCount = 400000;
  s.outputFormat = OutputFormat::ZemaxBinary;
  std::ofstream(output, std::ios::binary) << "previous";
  RecordingObserver stopping;
  stopping.stopAfterPolls = 3;
  EXPECT_EQ(run(s, stopping).outcome, RunOutcome::Interrupted);
  EXPECT_EQ(read_bytes(output), "previous");

#ifndef _WIN32  // a FIFO
  const auto fifo = dir.path() / "pipe.dat";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  std::string received;
  std::thread reader([&] {
    const int fd = ::open(fifo.c_str(), O_RDONLY);
    char buffer[65536];
    for (ssize_t got; (got = ::read(fd, buffer, sizeof buffer)) > 0;)
      received.append(buffer, static_cast<std::size_t>(got));
    ::close(fd);
  });
  s.outputPath = fifo.string();
  // A pipe's header states the flux first: known in advance only without
  // legacy sampling (which is refused there, see all_formats_test).
  s.legacySampling = false;
  RecordingObserver stopAgain;
  stopAgain.stopAfterPolls = 12;  // past the writer's first 4 MB
  const RunReport report = run(s, stopAgain);
  reader.join();
  EXPECT_EQ(report.outcome, RunOutcome::Interrupted) << report.message;
  EXPECT_NE(report.message.find("is incomplete"), std::string::npos) << report.message;
  ASSERT_GE(received.size(), kZemaxHeaderBytes);
  EXPECT_EQ(count_at(received, 4, 4), 400001u);                        // the planned count
  EXPECT_EQ(f32_at(received, 112), static_cast<float>(s.sourceFlux));  // and flux
  EXPECT_LT(received.size(), kZemaxHeaderBytes + 400001 * kBinaryRecordBytes);
  const auto copy = (dir.path() / "received.dat").string();
  std::ofstream(copy, std::ios::binary) << received;
  try {
    read_ray_file(
        copy, RayFileKind::Auto, 1, [](const RayRecord*, std::size_t) { return std::shared_ptr<void>(); },
        [](std::shared_ptr<void>) {});
    ADD_FAILURE() << "a cut file was read as whole";
  } catch (const RayFileError& e) {
    EXPECT_NE(std::string(e.what()).find("cut short"), std::string::npos) << e.what();
  }
#endif
}

TEST_F(BinaryRunTest, Tm25Refusals) {
  GenerationSettings s = led_settings();
  s.outputFormat = OutputFormat::Tm25;
  std::ofstream(output, std::ios::binary) << "previous";
  s.considerSourceFlux = true;
  s.sourceFlux = -5;
  RunReport report = run(s);
  EXPECT_EQ(report.outcome, RunOutcome::Failed);
  EXPECT_NE(report.message.find("TM-25 ray file holds positive flux"), std::string::npos) << report.message;
  EXPECT_EQ(read_bytes(output), "previous");

#ifndef _WIN32
  // A pipe cannot take a header written last.
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  s.sourceFlux = 5;
  s.outputPath = "/dev/fd/" + std::to_string(fds[1]);
  report = run(s);
  ::close(fds[1]);
  char byte = 0;
  EXPECT_EQ(::read(fds[0], &byte, 1), 0) << "nothing may reach the pipe";
  ::close(fds[0]);
  EXPECT_EQ(report.outcome, RunOutcome::Failed);
  EXPECT_NE(report.message.find("TM-25 ray file " + s.outputPath), std::string::npos) << report.message;
  EXPECT_NE(report.message.find("cannot be written to a pipe"), std::string::npos) << report.message;
#endif
}

}  // namespace
}  // namespace lucidra::testing
