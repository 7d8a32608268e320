#include "output/binary_ray_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#ifndef _WIN32
#include <unistd.h>
#endif

#include "output/ray_file.h"
#include "output/ray_file_reader.h"
#include "support/byte_builder.h"
#include "support/temp_dir.h"

namespace lucidra {
namespace {

using testing::Bytes;

std::string record_bytes(const RayRecord& r) {
  return Bytes()
      .f32(static_cast<float>(r.x))
      .f32(static_cast<float>(r.y))
      .f32(static_cast<float>(r.z))
      .f32(static_cast<float>(r.dx))
      .f32(static_cast<float>(r.dy))
      .f32(static_cast<float>(r.dz))
      .f32(static_cast<float>(r.flux))
      .str();
}

std::string read_file(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void write_file(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

TEST(BinaryRecord, BytesOfBothFormats) {
  const struct {
    RayRecord ray;
    std::string zemax;
    bool leftOutOfTm25;
  } cases[] = {
      // Exact float values, laid out bit for bit.
      {{1.0, -2.0, 0.5, 0.0, -0.0, 1.0, 0.125},
       std::string("\x00\x00\x80\x3f\x00\x00\x00\xc0\x00\x00\x00\x3f\x00\x00\x00\x00"
                   "\x00\x00\x00\x80\x00\x00\x80\x3f\x00\x00\x00\x3e",
                   28),
       false},
      // Doubles rounded to float32 as a cast rounds them.
      {{0.1, 1e-3, -7.25e5, 0.6, 0.0, 0.8, 3500.0 / 30001},
       record_bytes({0.1, 1e-3, -7.25e5, 0.6, 0.0, 0.8, 3500.0 / 30001}),
       false},
      // Zero flux, negative zero and a flux below the float range: TM-25
      // leaves the ray out, Zemax keeps it.
      {{0.1, 0.2, 0.3, 0.6, 0.0, 0.8, 0.0}, record_bytes({0.1, 0.2, 0.3, 0.6, 0.0, 0.8, 0.0}), true},
      {{0.1, 0.2, 0.3, 0.6, 0.0, 0.8, -0.0}, record_bytes({0.1, 0.2, 0.3, 0.6, 0.0, 0.8, -0.0}), true},
      {{0.1, 0.2, 0.3, 0.6, 0.0, 0.8, 1e-300}, record_bytes({0.1, 0.2, 0.3, 0.6, 0.0, 0.8, 1e-300}), true},
      // Negative flux is kept by both, as the text keeps it.
      {{0.1, 0.2, 0.3, 0.6, 0.0, 0.8, -1.5}, record_bytes({0.1, 0.2, 0.3, 0.6, 0.0, 0.8, -1.5}), false},
  };
  for (const auto& c : cases) {
    char out[kMaxRayLineLength];
    const std::string zemax(out, static_cast<std::size_t>(encode_zemax_record(c.ray, out) - out));
    EXPECT_EQ(zemax, c.zemax);
    const std::string tm25(out, static_cast<std::size_t>(encode_tm25_record(c.ray, out) - out));
    EXPECT_EQ(tm25, c.leftOutOfTm25 ? std::string() : c.zemax);
  }
}

TEST(ZemaxBinaryHeader, EveryField) {
  const std::string header = zemax_binary_header(30001, 52.25, "Lucidra LED 3.5.0; LED, Sobol");
  const std::string expected = Bytes()
                                   .i32(1010)
                                   .u32(30001)
                                   .text("Lucidra LED 3.5.0; LED, Sobol", 100)
                                   .f32(52.25f)           // source flux
                                   .f32(52.25f)           // ray-set flux
                                   .f32(0)                // wavelength: composite
                                   .zeros(16)             // inclination and azimuth ranges
                                   .u32(4)                // mm
                                   .zeros(9 * 4 + 4 * 4)  // location, rotation, scale, unused
                                   .i32(0)                // flux only
                                   .i32(0)                // watts
                                   .zeros(8)              // reserved
                                   .str();
  ASSERT_EQ(header.size(), 208u);
  EXPECT_EQ(header, expected);

  // A long or non-ASCII description is cut to 99 bytes and stays NUL-ended.
  const std::string cut = zemax_binary_header(1, 1, std::string(150, 'a') + "\xc3\xa9");
  EXPECT_EQ(cut.substr(8, 100), std::string(99, 'a') + '\0');
  EXPECT_EQ(zemax_binary_header(1, 1, "caf\xc3\xa9").substr(8, 7), std::string("caf??\0\0", 7));
}

TEST(Tm25Header, EveryField) {
  Tm25Texts texts;
  texts.lightSource = "LED source";
  texts.creator = "Lucidra LED 3.5.0";
  texts.software = "Lucidra LED 3.5.0 (simulation)";
  texts.information = "LED, Sobol";
  texts.dataReference = "Longitudinal: l\xc3\xa4ngs.txt";
  const std::string header = tm25_header(5000000001ULL, 12.5, 1700000000, texts);
  Bytes b;
  b.text("TM25", 4).i32(2013).i32(0);  // simulation
  b.f32(0).f32(12.5f);                 // luminous (not given), radiant
  b.u64(5000000001ULL);
  b.text("2023-11-14T22:13:20Z", 28);
  b.i32(0).i32(0);                                            // start position unknown, no spectrum
  b.f32(0).f32(0).f32(0);                                     // wavelengths
  b.i32(0).i32(0).i32(0);                                     // tables, columns, text
  b.zeros(168);                                               // reserved
  b.i32(1).i32(1).i32(1).i32(0).i32(0).i32(0).i32(0).i32(0);  // position, direction, radiant flux
  b.utf32(U"LED source", 1000).utf32(U"", 1000).utf32(U"", 1000).utf32(U"Lucidra LED 3.5.0", 1000);
  b.utf32(U"Lucidra LED 3.5.0 (simulation)", 1000).utf32(U"", 1000).utf32(U"", 1000);
  b.utf32(U"LED, Sobol", 1000).utf32(U"Longitudinal: l\u00e4ngs.txt", 1000);
  ASSERT_EQ(header.size(), 36288u);
  ASSERT_EQ(b.str().size(), 36288u);
  for (std::size_t i = 0; i < header.size(); ++i) ASSERT_EQ(header[i], b.str()[i]) << "byte " << i;

  // A text of more than 999 characters keeps a terminating 0.
  texts.information = std::string(1200, 'x');
  const std::string cut = tm25_header(1, 1, 0, texts);
  const std::size_t info = 288 + 7 * 4000;
  EXPECT_EQ(cut.substr(info + 998 * 4, 8), std::string("x\0\0\0\0\0\0\0", 8));
}

TEST(Tm25Header, DateAndTimeInUtc) {
  const struct {
    std::int64_t seconds;
    const char* text;
  } cases[] = {
      {0, "1970-01-01T00:00:00Z"},           {1700000000, "2023-11-14T22:13:20Z"},
      {951782400, "2000-02-29T00:00:00Z"},   {951868799, "2000-02-29T23:59:59Z"},
      {-1, "1969-12-31T23:59:59Z"},          {4107542400, "2100-03-01T00:00:00Z"},
      {-2208988800, "1900-01-01T00:00:00Z"}, {253402300799, "9999-12-31T23:59:59Z"},
  };
  for (const auto& c : cases) EXPECT_EQ(tm25_date_time(c.seconds), c.text) << c.seconds;
}

TEST(Utf8ToUtf32, CodePointsAndReplacement) {
  const struct {
    std::string in;
    std::u32string out;
  } cases[] = {
      {"abc", U"abc"},
      {"\xc3\xa4\xe2\x82\xac\xf0\x9f\x92\xa1", U"\u00e4\u20ac\U0001F4A1"},
      {"a\xff"
       "b",
       U"a\uFFFDb"},                            // not a lead byte
      {"\xc3", U"\uFFFD"},                      // cut short
      {"\xc0\xaf", U"\uFFFD\uFFFD"},            // overlong
      {"\xed\xa0\x80", U"\uFFFD\uFFFD\uFFFD"},  // a surrogate
  };
  for (const auto& c : cases) EXPECT_EQ(utf8_to_utf32(c.in), c.out) << c.in;
  EXPECT_EQ(utf32le_field_to_utf8(Bytes().utf32(U"\u00e4\U0001F4A1", 4).str().data(), 4), "\xc3\xa4\xf0\x9f\x92\xa1");
}

// A writer's binary header counts the records and adds their float32 flux.
TEST(BinaryWriter, HeaderWrittenAtCommitCountsTheRecords) {
  TempDir dir;
  const auto path = dir.path() / "rays.dat";
  write_file(path, "previous");
  const RayRecord rays[] = {{1, 2, 3, 0, 0, 1, 0.1}, {4, 5, 6, 0, 1, 0, 0.0}, {7, 8, 9, 1, 0, 0, 0.2}};
  {
    RayFileWriter writer(path.string());
    ASSERT_TRUE(writer.header_rewritable());
    writer.begin_binary(
        [](std::uint64_t n, double flux) { return zemax_binary_header(static_cast<std::uint32_t>(n), flux, "t"); },
        &encode_tm25_record, 99);
    std::string bytes;
    for (const auto& r : rays) {
      char out[kMaxRayLineLength];
      bytes.append(out, encode_tm25_record(r, out));
    }
    writer.write_rays(bytes);
    EXPECT_EQ(read_file(path), "previous");  // nothing replaced before commit
    writer.commit();
  }
  const double flux = static_cast<double>(0.1f) + static_cast<double>(0.2f);
  EXPECT_EQ(read_file(path), zemax_binary_header(2, flux, "t") + record_bytes(rays[0]) + record_bytes(rays[2]));
}

// A value beyond single precision (an infinity, or a NaN) anywhere in a
// record stops the file, naming the ray counted from the file's first, and
// the previous file stays.
TEST(BinaryWriter, RefusesARecordBeyondSinglePrecision) {
  struct Case {
    std::size_t record, field;  // in the second piece of four records
    float value;
    const char* ray;
  };
  const float inf = std::numeric_limits<float>::infinity();
  const Case cases[] = {{0, 0, inf, "ray 4 "}, {3, 6, -inf, "ray 7 "}, {2, 3, std::nanf(""), "ray 6 "}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.ray);
    TempDir dir;
    const auto path = dir.path() / "rays.dat";
    write_file(path, "previous");
    RayFileWriter writer(path.string());
    writer.begin_binary(
        [](std::uint64_t n, double flux) { return zemax_binary_header(static_cast<std::uint32_t>(n), flux, "t"); },
        &encode_tm25_record, 7);
    const RayRecord good{1, 2, 3, 0, 0, 1, 0.5};
    std::string first, second;
    for (int i = 0; i < 3; ++i) first += record_bytes(good);
    for (int i = 0; i < 4; ++i) second += record_bytes(good);
    std::memcpy(&second[c.record * kBinaryRecordBytes + c.field * 4], &c.value, 4);
    writer.write_rays(first);
    try {
      writer.write_rays(second);
      FAIL() << "no error";
    } catch (const OutputFileError& e) {
      EXPECT_NE(std::string(e.what()).find(c.ray), std::string::npos) << e.what();
      EXPECT_NE(std::string(e.what()).find("beyond the single precision"), std::string::npos) << e.what();
    }
    writer.discard();
    EXPECT_EQ(read_file(path), "previous");
  }
}

// Large files bypass the page cache in whole aligned blocks where the file
// system allows it: whatever the buffer size and however the bytes arrive
// (pieces smaller and larger than the buffer), the file holds exactly what
// was written, its header rewritten at the start and its trailer at the end.
TEST(BinaryWriter, LargeFilesKeepEveryByteAtAnyBufferSize) {
  struct Case {
    std::size_t buffer;
    std::size_t piece;  // rays handed over at once
    bool binary;
  };
  // The last two: the first flush is the final one, with more than half a
  // buffer to write.
  const Case cases[] = {{1, 7, true},          {5000, 3, true},       {65536, 4000, true},
                        {1 << 22, 1000, true}, {1, 11, false},        {9000, 500, false},
                        {65536, 3, false},     {1 << 20, 1000, true}, {3 << 20, 999, false}};
  TempDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE("buffer " + std::to_string(c.buffer) + ", piece " + std::to_string(c.piece) +
                 (c.binary ? ", binary" : ", text"));
    const auto path = dir.path() / "large.dat";
    std::string expected, pending;
    double flux = 0;
    std::uint64_t records = 0;
    {
      RayFileWriter writer(path.string(), c.buffer);
      if (c.binary) {
        RayFileWriter::Layout layout;
        layout.header = [](std::uint64_t n, double f) {
          return zemax_binary_header(static_cast<std::uint32_t>(n), f, "big");
        };
        layout.encoder = &encode_zemax_record;
        layout.recordBytes = 28;
        layout.trailer = "END";
        writer.begin(std::move(layout));
      } else {
        const std::string header = "!! an odd-sized header \r\n";
        writer.write(header);
        expected = header;
      }
      for (int i = 0; i < 20000; ++i) {
        // Stretches of equal fluxes (added in steps), one odd flux among
        // them, and stretches of different ones: the header's sum the same.
        const double rayFlux = i == 100 ? 0.7 : (i / 7000) % 2 == 0 ? 1.0 / 3 : 1.0 / (i + 3);
        const RayRecord ray{i * 0.5, -i * 1e-3, 0.25, 0.6, 0.0, 0.8, rayFlux};
        char out[kMaxRayLineLength];
        const char* end = writer.encoder()(ray, out);
        pending.append(static_cast<const char*>(out), end);
        if (c.binary) flux += static_cast<double>(static_cast<float>(ray.flux));
        ++records;
        if (records % c.piece == 0) {
          writer.write_rays(pending);
          expected += pending;
          pending.clear();
        }
      }
      writer.write_rays(pending);
      expected += pending;
      writer.commit();
    }
    if (c.binary) expected = zemax_binary_header(static_cast<std::uint32_t>(records), flux, "big") + expected + "END";
    const std::string written = read_file(path);
    ASSERT_EQ(written.size(), expected.size());
    EXPECT_TRUE(written == expected) << "first difference at byte "
                                     << std::mismatch(written.begin(), written.end(), expected.begin()).first -
                                            written.begin();
  }
}

#ifndef _WIN32  // POSIX pipes
// A pipe takes the planned count first; a run that wrote another number is
// not completed.
TEST(BinaryWriter, PipeHeaderHasThePlannedCount) {
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  const std::string name = "/dev/fd/" + std::to_string(fds[1]);
  std::string received;
  {
    RayFileWriter writer(name);
    EXPECT_FALSE(writer.header_rewritable());
    writer.begin_binary([](std::uint64_t n, double) { return Bytes().u64(n).str(); }, &encode_zemax_record, 2);
    char out[kMaxRayLineLength];
    const RayRecord ray{1, 1, 1, 0, 0, 1, 1};
    writer.write_rays(std::string_view(out, static_cast<std::size_t>(encode_zemax_record(ray, out) - out)));
    try {
      writer.commit();
      ADD_FAILURE() << "commit accepted 1 record under a header of 2";
    } catch (const OutputFileError& e) {
      EXPECT_NE(std::string(e.what()).find("announces 2 rays but 1 were written"), std::string::npos) << e.what();
      EXPECT_NE(std::string(e.what()).find(name), std::string::npos);
    }
  }
  ::close(fds[1]);
  char buffer[256];
  for (ssize_t got; (got = ::read(fds[0], buffer, sizeof buffer)) > 0;)
    received.append(buffer, static_cast<std::size_t>(got));
  ::close(fds[0]);
  EXPECT_EQ(received.substr(0, 8), Bytes().u64(2).str());
  EXPECT_EQ(received.size(), 8u + 28u);
}
#endif

std::vector<RayRecord> read_all(const std::string& path, RayFileKind kind, RayFileReadResult* result = nullptr) {
  std::vector<RayRecord> rays;
  const RayFileReadResult r = read_ray_file(
      path, kind, 2,
      [](const RayRecord* block, std::size_t n) -> std::shared_ptr<void> {
        return std::make_shared<std::vector<RayRecord>>(block, block + n);
      },
      [&](std::shared_ptr<void> part) {
        const auto& v = *static_cast<const std::vector<RayRecord>*>(part.get());
        rays.insert(rays.end(), v.begin(), v.end());
      });
  if (result) *result = r;
  return rays;
}

TEST(BinaryReader, ReadsBackWhatIsWrittenInOrder) {
  TempDir dir;
  std::string records;
  std::vector<RayRecord> rays;
  // More than one 4 MB block, so that blocks are merged in file order.
  for (int i = 0; i < 200000; ++i) {
    rays.push_back({i * 0.5, -i * 0.25, 1, 0, 0.6, 0.8, 1.0 + i});
    records += record_bytes(rays.back());
  }
  const auto zemax = (dir.path() / "z.dat").string();
  write_file(zemax, zemax_binary_header(200000, 7.0, "d") + records);
  const auto tm25 = (dir.path() / "t.TM25RAY").string();
  write_file(tm25, tm25_header(200000, 9.0, 0, {}) + records);
  for (const auto& [path, kind, flux] :
       {std::tuple{zemax, RayFileKind::ZemaxBinary, 7.0}, std::tuple{tm25, RayFileKind::Tm25, 9.0}}) {
    RayFileReadResult result;
    const auto back = read_all(path, RayFileKind::Auto, &result);
    EXPECT_EQ(result.kind, kind);
    EXPECT_EQ(result.headerCount, 200000);
    EXPECT_EQ(result.headerFlux, flux);
    ASSERT_EQ(back.size(), rays.size());
    for (std::size_t i = 0; i < rays.size(); i += 997) {
      EXPECT_EQ(back[i].x, static_cast<float>(rays[i].x));
      EXPECT_EQ(back[i].dy, static_cast<float>(rays[i].dy));
      EXPECT_EQ(back[i].flux, static_cast<float>(rays[i].flux));
    }
  }
}

// A TM-25 file of another tool: wavelength and luminous flux columns after
// the radiant flux, a spectral table and a column name to step over.
TEST(BinaryReader, Tm25WithMoreColumns) {
  TempDir dir;
  std::string header = tm25_header(1, 2, 0, {});
  auto set = [&](std::size_t at, std::uint32_t v) { std::memcpy(header.data() + at, Bytes().u32(v).str().data(), 4); };
  set(76, 1);                                                                      // one spectral table
  set(80, 1);                                                                      // one additional column
  set(256 + 8, 0);                                                                 // no radiant flux
  set(256 + 12, 1);                                                                // wavelength
  set(256 + 16, 1);                                                                // luminous flux
  const std::string table = Bytes().i32(2).f32(450).f32(1).f32(550).f32(2).str();  // 20 bytes, padded to 32
  const std::string ray = Bytes().f32(1).f32(2).f32(3).f32(0).f32(0).f32(1).f32(555).f32(42).f32(7).str();
  const auto path = (dir.path() / "other.TM25RAY").string();
  write_file(path, header + table + std::string(12, '\0') + std::string(512, '\0') + ray);
  const auto back = read_all(path, RayFileKind::Auto);
  ASSERT_EQ(back.size(), 1u);
  EXPECT_EQ(back[0].z, 3.0);
  EXPECT_EQ(back[0].flux, 42.0);  // the luminous flux column
}

TEST(BinaryReader, RefusesMalformedFiles) {
  TempDir dir;
  const std::string ray = record_bytes({0, 0, 0, 0, 0, 1, 1});
  const std::string zemax = zemax_binary_header(2, 2, "d");
  const std::string tm25 = tm25_header(2, 2, 0, {});
  auto patched = [](std::string bytes, std::size_t at, std::uint32_t v) {
    std::memcpy(bytes.data() + at, Bytes().u32(v).str().data(), 4);
    return bytes;
  };
  const struct {
    const char* name;
    std::string bytes;
    RayFileKind kind;
    const char* message;
  } cases[] = {
      {"short.dat", zemax + ray, RayFileKind::Auto, "announces 2 rays but the file holds 1; is it cut short?"},
      {"long.dat", zemax + ray + ray + ray, RayFileKind::Auto, "announces 2 rays but the file holds 3"},
      {"torn.dat", zemax + ray + ray.substr(0, 10), RayFileKind::Auto, "ends within a ray record (10 bytes"},
      {"id.dat", patched(zemax, 0, 1011) + ray + ray, RayFileKind::ZemaxBinary, "identifier is 1011, not 1010"},
      {"type.dat", patched(zemax, 192, 1) + ray + ray, RayFileKind::Auto, "ray format type 1"},
      {"header.dat", zemax.substr(0, 100), RayFileKind::Auto, "ends within its header"},
      {"none.dat", patched(zemax, 4, 0), RayFileKind::Auto, "holds no ray"},
      {"magic.tm25", "TM26" + tm25.substr(4) + ray + ray, RayFileKind::Tm25, "does not begin with TM25"},
      {"version.tm25", patched(tm25, 4, 2012) + ray + ray, RayFileKind::Auto, "version 2012"},
      {"position.tm25", patched(tm25, 256, 0) + ray + ray, RayFileKind::Auto, "a position and a direction"},
      {"flag.tm25", patched(tm25, 256 + 20, 2) + ray + ray, RayFileKind::Auto, "neither 0 nor 1"},
      {"flux.tm25", patched(tm25, 256 + 8, 0) + ray + ray, RayFileKind::Auto, "neither a radiant nor a luminous"},
      {"cut.tm25", tm25 + ray, RayFileKind::Auto, "announces 2 rays but the file holds 1"},
      {"sizes.tm25", patched(tm25, 80, 0xFFFFFFFF) + ray, RayFileKind::Auto, "malformed TM-25 header"},
  };
  for (const auto& c : cases) {
    const auto path = (dir.path() / c.name).string();
    write_file(path, c.bytes);
    try {
      read_all(path, c.kind);
      ADD_FAILURE() << c.name << " was read";
    } catch (const RayFileError& e) {
      EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << c.name << ": " << e.what();
      EXPECT_NE(std::string(e.what()).find(path), std::string::npos) << e.what();
    }
  }
}

}  // namespace
}  // namespace lucidra
