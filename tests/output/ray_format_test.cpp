// The LightTools and ASAP layouts byte by byte, the format list's rules, and
// every reader of the new formats: what it reads back and what it refuses.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <set>
#include <string>
#include <vector>

#include "output/binary_ray_file.h"
#include "output/lighttools_asap.h"
#include "output/ray_file.h"
#include "output/ray_format.h"
#include "output/ray_format_reader.h"
#include "support/byte_builder.h"
#include "support/temp_dir.h"

namespace lucidra {
namespace {

using testing::Bytes;

std::string read_file(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void write_file(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

// The three rays of the research notes' sample: 0.5 + 0.25 + 0.25 W.
const RayRecord kThree[] = {{0, 0, 0, 0, 0, 1, 0.5}, {1, 2, 3, 0.6, 0, 0.8, 0.25}, {-1, 0.5, 0, 0, -0.6, 0.8, 0.25}};

std::string ltrf_header(std::uint32_t dataType, float flux) {
  return Bytes().text("LTRF").u32(2).u32(0).u32(dataType).u32(0).u32(0).u32(1).f32(0).f32(0).f32(0).f32(flux).str();
}

std::string asap_header_by_hand(std::int32_t rays) {
  return Bytes()
      .i32(7415)
      .i32(0)
      .i32(0)
      .i32(0)
      .i32(0)
      .i32(0)
      .i32(0)
      .text("Lucidra LED rays        ")
      .i32(1)
      .text("Z       ")
      .f32(0)
      .text("FLUX            ")
      .text("Y               ")
      .f32(0)
      .f32(0)
      .i32(-rays)
      .text("X               ")
      .f32(0)
      .f32(0)
      .i32(7)
      .str();
}

// Writes `rays` in `format` the way a run does, to `path`.
void write_rays(const RayFormat& format, const std::string& path, const std::vector<RayRecord>& rays,
                FluxUnit unit = FluxUnit::Watt) {
  RayFileWriter writer(path);
  HeaderFacts facts;
  facts.fluxUnit = unit;
  facts.rayCount = static_cast<std::int32_t>(rays.size()) - 1;
  facts.description = "t";
  RayFileWriter::Layout layout;
  layout.header = [facts, build = format.header](std::uint64_t n, double flux) { return build(facts, n, flux); };
  layout.encoder = format.encoder;
  layout.recordBytes = format.recordBytes;
  layout.rewriteHeader = format.rewriteHeader;
  layout.countInHeader = format.countInHeader;
  layout.trailer = std::string(format.trailer);
  layout.plannedRecords = rays.size();
  writer.begin(layout);
  std::string bytes;
  double flux = 0;
  for (const RayRecord& r : rays) {
    char out[kMaxRayLineLength];
    bytes.append(out, format.encoder(r, out));
    flux += r.flux;
  }
  writer.write_rays(bytes);
  writer.set_line_flux(format.binary ? -1e30 : flux);  // binary records keep their own sum
  writer.commit();
}

RayFileReadResult read_all(const std::string& path, std::vector<RayRecord>& rays,
                           RayFileKind kind = RayFileKind::Auto) {
  rays.clear();
  return read_ray_file(
      path, kind, 2,
      [](const RayRecord* r, std::size_t n) -> std::shared_ptr<void> {
        return std::make_shared<std::vector<RayRecord>>(r, r + n);
      },
      [&](std::shared_ptr<void> p) {
        const auto& part = *static_cast<const std::vector<RayRecord>*>(p.get());
        rays.insert(rays.end(), part.begin(), part.end());
      });
}

TEST(LightToolsBinary, HeaderAndSampleFileByHand) {
  EXPECT_EQ(lighttools_binary_header(1.0, FluxUnit::Watt), ltrf_header(0, 1.0f));
  EXPECT_EQ(lighttools_binary_header(1200.0, FluxUnit::Lumen), ltrf_header(1, 1200.0f));

  TempDir dir;
  const auto path = (dir.path() / "three.ray").string();
  write_rays(ray_format(OutputFormat::LightTools), path, {std::begin(kThree), std::end(kThree)});
  const std::string expected =
      ltrf_header(0, 1.0f) + Bytes().ray(kThree[0]).ray(kThree[1]).ray(kThree[2]).text("LTRFEND").str();
  ASSERT_EQ(expected.size(), 135u);  // 44 + 3 x 28 + 7, as in the notes
  EXPECT_EQ(read_file(path), expected);
}

TEST(LightToolsText, HeaderAndLinesByHand) {
  EXPECT_EQ(lighttools_text_header(1.0, FluxUnit::Watt),
            "# Lucidra LED\r\n# Ray Data Export File\r\nlt_rdf_version: 2.0\r\ndataname: LucidraRayData\r\n"
            "lt_datatype: radiant_power\r\nlt_far_field_data: no\r\nlt_color_info: none\r\n"
            "lt_length_units: millimeters\r\nlt_data_origin: 0 0 0\r\n"
            "lt_radiant_flux:   1.000000000e+00\r\nlt_startofdata\r\n");
  // The flux field keeps its width for any value, so the header can be
  // written again in place.
  const std::size_t size = lighttools_text_header(0, FluxUnit::Watt).size();
  for (const double flux : {-2.5e-30, 3.4e38, 123456.0, 1e-7}) {
    EXPECT_EQ(lighttools_text_header(flux, FluxUnit::Lumen).size(), size + 2)
        << flux;  // "luminous" vs "radiant", twice
    EXPECT_EQ(lighttools_text_header(flux, FluxUnit::Watt).size(), size) << flux;
  }
  EXPECT_NE(lighttools_text_header(5, FluxUnit::Lumen).find("lt_datatype: luminous_power\r\n"), std::string::npos);

  const struct {
    RayRecord ray;
    std::string line;
  } cases[] = {
      {{0.5, -1.25, 0, 0, 0, 1, 0.1}, "0.5 -1.25 0 0 0 1 0.1\r\n"},
      {{1e-5, 2.5e10, -0.0, 0.6, -0.8, 0, 3}, "1e-05 2.5e+10 -0 0.6 -0.8 0 3\r\n"},
      {{0.1 + 1e-12, 1.0 / 3, 0, 0, 0, 1, 1}, "0.1 0.33333334 0 0 0 1 1\r\n"},
  };
  for (const auto& c : cases) {
    char out[kMaxRayLineLength];
    EXPECT_EQ(std::string(out, format_lighttools_line(c.ray, out)), c.line);
  }
}

// Every float32, printed and read back, is the same float32; no line
// exceeds the buffer a ray gets.
TEST(LightToolsText, NumbersRoundTripFloat32) {
  std::uint32_t state = 12345;
  const auto next = [&] {
    state = state * 1664525u + 1013904223u;
    return state;
  };
  for (int i = 0; i < 20000; ++i) {
    float v[7];
    for (float& f : v) {
      std::uint32_t bits = next();
      std::memcpy(&f, &bits, 4);
      if (!std::isfinite(f)) f = -1.17549435e-38f;
    }
    const RayRecord ray{v[0], v[1], v[2], v[3], v[4], v[5], v[6]};
    char out[kMaxRayLineLength];
    const std::string line(out, format_lighttools_line(ray, out));
    ASSERT_LE(line.size(), static_cast<std::size_t>(kMaxRayLineLength));
    RayRecord back;
    int numbers = 0;
    ASSERT_EQ(parse_ray_line(std::string_view(line).substr(0, line.size() - 2), back, numbers), RayLineStatus::Ray)
        << line;
    const double got[7] = {back.x, back.y, back.z, back.dx, back.dy, back.dz, back.flux};
    for (int k = 0; k < 7; ++k) ASSERT_EQ(static_cast<float>(got[k]), v[k]) << line;
  }
}

TEST(AsapFile, HeaderByHand) {
  EXPECT_EQ(asap_header(3), asap_header_by_hand(3));
  EXPECT_EQ(asap_header(3).size(), 140u);
  EXPECT_EQ(asap_header(1000000001).substr(84 + 24, 4), Bytes().i32(-1000000001).str());
}

// The format list answers for every format, with unique names.
TEST(RayFormats, OneEntryPerFormat) {
  std::set<std::string_view> names;
  std::set<int> ids;
  for (const RayFormat& f : ray_formats()) {
    EXPECT_TRUE(names.insert(f.cliName).second) << f.cliName;
    EXPECT_TRUE(ids.insert(static_cast<int>(f.id)).second) << f.cliName;
    EXPECT_EQ(&ray_format(f.id), &f);
    EXPECT_EQ(ray_format_named(f.cliName), &f);
    EXPECT_EQ(ray_format_of_kind(f.readerKind), &f);
    EXPECT_TRUE(extension_matches(f, f.defaultName)) << f.defaultName;
    EXPECT_EQ(f.binary, f.recordBytes != 0) << f.cliName;
    const OutputFormat t = f.target;
    EXPECT_TRUE(t == OutputFormat::TracePro || t == OutputFormat::Zemax || t == OutputFormat::LightTools ||
                t == OutputFormat::Asap);
  }
  EXPECT_EQ(ids.size(), 7u);
  EXPECT_EQ(ray_format_named("text"), nullptr);
  EXPECT_EQ(ray_format_names(), "tracepro, zemax, zemax-binary, tm25, lighttools, lighttools-text or asap");
}

TEST(RayFormats, ExtensionRules) {
  const struct {
    OutputFormat format;
    std::string path;
    bool fits;
  } cases[] = {
      {OutputFormat::Tm25, "rays.dat", false},
      {OutputFormat::Tm25, "dir.x/rays.TM25RAY", true},
      {OutputFormat::Tm25, "rays.tm25ray", true},
      {OutputFormat::ZemaxBinary, "rays.TM25RAY", false},
      {OutputFormat::ZemaxBinary, "C:\\z\\rays.SDF", true},
      {OutputFormat::Zemax, "rays.txt", true},
      {OutputFormat::LightTools, "sample.dat", false},
      {OutputFormat::LightTools, "-", true},
      {OutputFormat::Asap, "/dev/stdout", true},
      {OutputFormat::Asap, "rays", true},
      {OutputFormat::Asap, "rays.ray", false},
      {OutputFormat::TracePro, "dir.d/rays", true},
      {OutputFormat::TracePro, "tracepro_rays.dat", true},  // as the shipped configuration names it
      {OutputFormat::TracePro, "rays.ray", false},
  };
  for (const auto& c : cases) {
    const RayFormat& f = ray_format(c.format);
    EXPECT_EQ(extension_matches(f, c.path), c.fits) << f.cliName << " " << c.path;
    EXPECT_EQ(extension_refusal(f, c.path).empty(), c.fits) << f.cliName << " " << c.path;
  }
  // A name no format claims is the user's: it fits none, yet is not refused.
  EXPECT_FALSE(extension_matches(ray_format(OutputFormat::Asap), "cli.out"));
  EXPECT_EQ(extension_refusal(ray_format(OutputFormat::Asap), "cli.out"), "");
  EXPECT_EQ(extension_refusal(ray_format(OutputFormat::Tm25), "out/rays.dat"),
            "Ray file out/rays.dat: the extension .dat does not fit the TM-25 format, which uses .TM25RAY; the ray "
            "tracer would take it for Zemax text. Use .TM25RAY or --force-extension to keep the name");
  EXPECT_EQ(with_format_extension(ray_format(OutputFormat::Tm25), "a.b/led.dat"), "a.b/led.TM25RAY");
  EXPECT_EQ(with_format_extension(ray_format(OutputFormat::Asap), "a.b/led"), "a.b/led.dis");
  EXPECT_EQ(with_format_extension(ray_format(OutputFormat::Asap), "-"), "-");
}

// Write, read back: the same float32 rays, the header's count and flux,
// the units, for every format the reader finds by content.
TEST(RayFormatReaders, ReadBackEveryFormat) {
  TempDir dir;
  std::vector<RayRecord> rays;
  for (int i = 0; i < 300000; ++i) {  // more than one reader block
    const double a = 0.001 * i;
    rays.push_back({std::sin(a), std::cos(a), 0, std::sin(a) * 0.6, std::cos(a) * 0.6, 0.8, 1e-3 * (1 + i % 7)});
  }
  double sum = 0;
  for (const RayRecord& r : rays) sum += static_cast<double>(static_cast<float>(r.flux));
  for (const RayFormat& f : ray_formats()) {
    if (f.id == OutputFormat::TracePro) continue;  // needs the run's angles; read in the engine's tests
    for (const FluxUnit unit : {FluxUnit::Watt, FluxUnit::Lumen}) {
      const auto path = (dir.path() / ("rays" + std::string(f.extensions[0]))).string();
      write_rays(f, path, rays, unit);
      std::vector<RayRecord> back;
      const RayFileReadResult r = read_all(path, back);
      EXPECT_EQ(r.kind, f.readerKind) << f.cliName;
      ASSERT_EQ(back.size(), rays.size()) << f.cliName;
      EXPECT_EQ(r.rays, static_cast<std::int64_t>(rays.size()));
      for (std::size_t i = 0; i < rays.size(); i += 997) {
        if (f.id == OutputFormat::Zemax) {  // "%e": seven digits
          EXPECT_NEAR(back[i].dx, rays[i].dx, 1e-6) << f.cliName << " ray " << i;
          EXPECT_NEAR(back[i].flux, rays[i].flux, 1e-9) << f.cliName << " ray " << i;
        } else {  // float32 exactly, whether binary or text
          EXPECT_EQ(static_cast<float>(back[i].dx), static_cast<float>(rays[i].dx)) << f.cliName << " ray " << i;
          EXPECT_EQ(static_cast<float>(back[i].flux), static_cast<float>(rays[i].flux)) << f.cliName << " ray " << i;
        }
      }
      const RayFileVerdict v = verify_ray_file(r);
      EXPECT_EQ(v.failure, "") << f.cliName;
      EXPECT_NEAR(r.fluxSum, sum, 1e-6 * sum) << f.cliName;
      if (f.fluxInHeader) {
        EXPECT_NEAR(r.headerFlux, sum, 1e-6 * sum) << f.cliName;
        ASSERT_TRUE(r.fluxUnit.has_value()) << f.cliName;
        EXPECT_EQ(*r.fluxUnit, unit) << f.cliName;
        EXPECT_EQ(r.lengthUnit, "mm") << f.cliName;
      }
      if (f.countInHeader && f.id != OutputFormat::Zemax) {
        EXPECT_EQ(r.headerCount, static_cast<std::int64_t>(rays.size())) << f.cliName;
      }
    }
  }
}

TEST(RayFormatReaders, RefuseMalformedFiles) {
  const std::string rays = Bytes().ray(kThree[0]).ray(kThree[1]).ray(kThree[2]).str();
  const std::string ltHead = lighttools_text_header(1, FluxUnit::Watt);
  const std::string ltLines = "0 0 0 0 0 1 0.5\r\n1 2 3 0.6 0 0.8 0.25\r\n";
  const struct {
    const char* name;
    std::string bytes;
    std::string message;
  } cases[] = {
      {"a.ray", ltrf_header(0, 1) + rays, "does not end with LTRFEND; is it cut short?"},
      {"b.ray", ltrf_header(0, 1) + rays.substr(4) + "LTRFEND", "ends within a ray record (24 bytes"},
      {"c.ray", Bytes().text("LTRF").u32(3).str() + ltrf_header(0, 1).substr(8) + rays + "LTRFEND",
       "version 3 (polarised); only version 2 is read"},
      {"d.ray", ltrf_header(0, 1).replace(16, 4, Bytes().u32(1).str()) + rays + "LTRFEND", "far-field"},
      {"e.ray", ltrf_header(0, 1).replace(20, 4, Bytes().u32(1).str()) + rays + "LTRFEND", "colour information 1"},
      {"f.ray", ltrf_header(2, 1) + rays + "LTRFEND", "data type 2"},
      {"g.ray", ltrf_header(0, 1) + "LTRFEND", "holds no ray"},
      {"h.dis", asap_header_by_hand(3).replace(0, 4, Bytes().i32(1024 * 9 + 247).str()) + rays,
       "its first word is 9463, not 7415"},
      {"i.dis", asap_header_by_hand(3) + rays.substr(0, 80),
       "announces 3 rays (224 bytes) but the file has 220 bytes; is it cut short?"},
      {"j.dis", asap_header_by_hand(4) + rays, "announces 4 rays"},
      {"k.dis", asap_header_by_hand(-3) + rays, "is a gridded ASAP distribution (NUMY 3)"},
      {"l.txt", ltHead + ltLines, "ends without lt_endofdata; is it cut short?"},
      {"m.txt", ltHead + "0 0 0 0 1 0.5\r\nlt_endofdata\r\n", "line 12: a ray line needs 7 numbers"},
      {"n.txt", ltHead + ltLines + "lt_endofdata\r\n1 1\r\n", "line 15: has text after lt_endofdata"},
      {"o.txt", "lt_datatype: spectral\r\nlt_startofdata\r\n" + ltLines + "lt_endofdata\r\n",
       "line 1: data type 'spectral'"},
      {"p.txt", "lt_rdf_version: 2.0\r\nlt_startofdata\r\nlt_endofdata\r\n", "holds no ray"},
  };
  TempDir dir;
  for (const auto& c : cases) {
    const auto path = (dir.path() / c.name).string();
    write_file(path, c.bytes);
    std::vector<RayRecord> back;
    try {
      read_all(path, back);
      ADD_FAILURE() << c.name << " was read";
    } catch (const RayFileError& e) {
      EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << c.name << ": " << e.what();
      EXPECT_NE(std::string(e.what()).find(path), std::string::npos) << e.what();
    }
  }
}

// check fails a file on the first ray that is not finite or not a unit
// direction, on a header flux that is not the rays' sum, and on lengths in
// other units; it names the ray.
TEST(RayFormatReaders, VerdictNamesTheFirstFault) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const RayRecord good{0, 0, 0, 0, 0, 1, 0.5};
  const RayRecord shortK{0, 0, 0, 0, 0.425, 0.8, 0.25};  // |k| = 0.905...
  const RayRecord nanRay{nan, 0, 0, 0, 0, 1, 0.25};
  const struct {
    const char* name;
    std::string bytes;
    std::string failure;
  } cases[] = {
      {"ok.ray", ltrf_header(0, 1) + Bytes().ray(good).ray(kThree[1]).ray(kThree[2]).text("LTRFEND").str(), ""},
      {"k.ray", ltrf_header(0, 1) + Bytes().ray(good).ray(shortK).ray(kThree[2]).text("LTRFEND").str(),
       "ray 2 has a direction of length 0.905"},
      {"nan.dis", asap_header_by_hand(3) + Bytes().ray(good).ray(shortK).ray(nanRay).str(),
       "ray 3 has a number that is not finite"},
      {"flux.ray", ltrf_header(0, 1.5f) + Bytes().ray(good).ray(kThree[1]).ray(kThree[2]).text("LTRFEND").str(),
       "the header's flux 1.5 W differs from the rays' sum 1 W"},
      {"m.ray",
       ltrf_header(0, 1).replace(24, 4, Bytes().u32(3).str()) +
           Bytes().ray(good).ray(kThree[1]).ray(kThree[2]).text("LTRFEND").str(),
       "lengths are in m, not mm"},
  };
  TempDir dir;
  for (const auto& c : cases) {
    const auto path = (dir.path() / c.name).string();
    write_file(path, c.bytes);
    std::vector<RayRecord> back;
    const RayFileVerdict v = verify_ray_file(read_all(path, back));
    if (c.failure.empty()) {
      EXPECT_EQ(v.failure, "") << c.name;
    } else {
      EXPECT_EQ(v.failure.substr(0, c.failure.size()), c.failure) << c.name << ": " << v.failure;
    }
  }
}

}  // namespace
}  // namespace lucidra
