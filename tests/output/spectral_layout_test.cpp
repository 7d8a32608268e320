// The spectral layout of every format against golden bytes: records with
// the wavelength where each reader expects it (and in its unit), and the
// header fields that announce it.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

#include "output/binary_ray_file.h"
#include "output/lighttools_asap.h"
#include "output/ray_file.h"
#include "output/ray_file_reader.h"
#include "output/ray_format.h"

namespace lucidra {
namespace {

std::string hex(const char* begin, const char* end) {
  static const char* digits = "0123456789abcdef";
  std::string text;
  for (const char* p = begin; p != end; ++p) {
    const auto b = static_cast<unsigned char>(*p);
    text += digits[b >> 4];
    text += digits[b & 15];
  }
  return text;
}

float f32_at(const std::string& bytes, std::size_t at) {
  float v = 0;
  std::memcpy(&v, bytes.data() + at, 4);
  return v;
}

std::int32_t i32_at(const std::string& bytes, std::size_t at) {
  std::int32_t v = 0;
  std::memcpy(&v, bytes.data() + at, 4);
  return v;
}

const RayRecord kRay{1, 2, 3, 0, 0.6, 0.8, 0.5, 550};

TEST(SpectralLayout, RecordsAgainstGoldenBytes) {
  // x y z l m n = 1 2 3 0 0.6 0.8 as float32, then the format's own order.
  const std::string position = "0000803f0000004000004040000000009a99193fcdcc4c3f";
  struct Case {
    OutputFormat format;
    FluxUnit unit;
    std::string tail;  // after the direction
  };
  const Case cases[] = {
      {OutputFormat::ZemaxBinary, FluxUnit::Watt, "0000003fcdcc0c3f"},  // flux 0.5, 0.55 um
      {OutputFormat::ZemaxBinary, FluxUnit::Lumen, "0000003fcdcc0c3f"},
      {OutputFormat::Tm25, FluxUnit::Watt, "0000003f00800944"},        // radiant flux, 550 nm
      {OutputFormat::Tm25, FluxUnit::Lumen, "008009440000003f"},       // 550 nm, luminous flux
      {OutputFormat::LightTools, FluxUnit::Watt, "0000003f00800944"},  // flux, 550 nm
  };
  for (const Case& c : cases) {
    const SpectralLayout layout = spectral_layout(c.format, c.unit);
    ASSERT_NE(layout.encoder, nullptr);
    EXPECT_EQ(layout.recordBytes, 32u);
    char out[kMaxRayLineLength];
    const char* end = layout.encoder(kRay, out);
    EXPECT_EQ(hex(out, end), position + c.tail) << static_cast<int>(c.format);
    // The flux offset the writer sums for the header points at the flux.
    float flux = 0;
    std::memcpy(&flux, out + layout.fluxOffset, 4);
    EXPECT_EQ(flux, 0.5f);
  }
  // TM-25 leaves out a ray without flux, with a wavelength too.
  RayRecord dark = kRay;
  dark.flux = 0;
  char out[kMaxRayLineLength];
  EXPECT_EQ(encode_tm25_spectral_watt_record(dark, out), out);
  EXPECT_EQ(encode_tm25_spectral_lumen_record(dark, out), out);
  // ASAP's distribution file has no place for a wavelength.
  EXPECT_EQ(spectral_layout(OutputFormat::Asap, FluxUnit::Watt).encoder, nullptr);
}

// The records' floats are converted several at a time: each must still be
// the cast of its own double, in its own place, whatever the value (halfway
// cases, numbers that fall below or beyond single precision, negative zero).
TEST(SpectralLayout, EveryFloatIsItsDoublesCast) {
  const double tie = 1.0 + std::ldexp(1.0, -24);  // halfway between two floats: rounds to even
  const RayRecord rays[] = {
      {0.1, -0.2, 1e-3, 0.6, -0.0, 0.8, 3500.0 / 30001, 532.518},
      {tie, -tie, 1e-46, -1e-40, 3.5e38, -1e39, 1e-40, 2499.999},
      {1e39, 7.25e5, -3.3e-7, -0.123456789, 1e-300, -1, 0.35 / 3, 200.0000001},
  };
  struct Case {
    OutputFormat format;
    FluxUnit unit;
    double wavelengthScale;  // into the format's unit
    bool wavelengthBeforeFlux;
  };
  const Case cases[] = {
      {OutputFormat::ZemaxBinary, FluxUnit::Watt, 1e-3, false},
      {OutputFormat::Tm25, FluxUnit::Watt, 1, false},
      {OutputFormat::Tm25, FluxUnit::Lumen, 1, true},
      {OutputFormat::LightTools, FluxUnit::Watt, 1, false},
  };
  for (const Case& c : cases) {
    for (const RayRecord& ray : rays) {
      const float wavelength = static_cast<float>(ray.wavelength * c.wavelengthScale);
      const float flux = static_cast<float>(ray.flux);
      const float expected[8] = {static_cast<float>(ray.x),
                                 static_cast<float>(ray.y),
                                 static_cast<float>(ray.z),
                                 static_cast<float>(ray.dx),
                                 static_cast<float>(ray.dy),
                                 static_cast<float>(ray.dz),
                                 c.wavelengthBeforeFlux ? wavelength : flux,
                                 c.wavelengthBeforeFlux ? flux : wavelength};
      char out[kMaxRayLineLength];
      const char* end = spectral_layout(c.format, c.unit).encoder(ray, out);
      ASSERT_EQ(end - out, 32);
      EXPECT_EQ(hex(out, end),
                hex(reinterpret_cast<const char*>(expected), reinterpret_cast<const char*>(expected + 8)))
          << static_cast<int>(c.format) << " unit " << static_cast<int>(c.unit) << " ray x " << ray.x;
    }
  }
  // The seven-number record, which overlaps its two groups of four.
  for (const RayRecord& ray : rays) {
    const float expected[7] = {static_cast<float>(ray.x),   static_cast<float>(ray.y),  static_cast<float>(ray.z),
                               static_cast<float>(ray.dx),  static_cast<float>(ray.dy), static_cast<float>(ray.dz),
                               static_cast<float>(ray.flux)};
    char out[kMaxRayLineLength];
    std::memset(out, 0x5a, sizeof out);
    const char* end = encode_zemax_record(ray, out);
    ASSERT_EQ(end - out, 28);
    EXPECT_EQ(hex(out, end), hex(reinterpret_cast<const char*>(expected), reinterpret_cast<const char*>(expected + 7)));
    EXPECT_EQ(static_cast<unsigned char>(out[28]), 0x5a) << "nothing written past the record";
  }
}

TEST(SpectralLayout, TextLinesCarryAnEighthColumn) {
  char out[kMaxRayLineLength];
  // TracePro and Zemax text: micrometres, as their loaders read it.
  for (const OutputFormat format : {OutputFormat::TracePro, OutputFormat::Zemax}) {
    const SpectralLayout layout = spectral_layout(format, FluxUnit::Watt);
    EXPECT_EQ(layout.recordBytes, 0u);
    EXPECT_EQ(std::string(out, layout.encoder(kRay, out)),
              "1.000000e+00 2.000000e+00 3.000000e+00 0.000000e+00 6.000000e-01 8.000000e-01 5.000000e-01 "
              "5.500000e-01\r\n");
  }
  // LightTools text: nanometres.
  EXPECT_EQ(std::string(out, spectral_layout(OutputFormat::LightToolsText, FluxUnit::Watt).encoder(kRay, out)),
            "1 2 3 0 0.6 0.8 0.5 550\r\n");
  // The longest line fits the buffer and reads back as the same ray.
  const RayRecord wide{-1.234567e-300, -2.5e300, -3.3e-7, -0.123456789, -0.987654321, -1, -1.5e38, 2499.999};
  const std::string line(out, format_spectral_ray_line(wide, out));
  ASSERT_LE(line.size(), static_cast<std::size_t>(kMaxRayLineLength));
  RayRecord back;
  int numbers = 0;
  ASSERT_EQ(parse_ray_line(std::string_view(line).substr(0, line.size() - 2), back, numbers), RayLineStatus::Ray);
  EXPECT_EQ(numbers, 8);
  EXPECT_NEAR(back.wavelength, 2499.999, 1e-3);
  EXPECT_EQ(parse_ray_line("1 2 3 0 0 1 0.5", back, numbers), RayLineStatus::Ray);
  EXPECT_EQ(back.wavelength, 0.0) << "seven numbers: no wavelength";
}

TEST(SpectralLayout, HeadersAnnounceTheWavelengths) {
  SpectralHeader line;
  line.spectral = true;
  line.lineNm = 550;
  line.minNm = line.maxNm = 550;
  line.lumensPerWatt = 683 * 0.994950;
  SpectralHeader band;
  band.spectral = true;
  band.minNm = 450;
  band.maxNm = 700;
  band.lumensPerWatt = 300;

  // Zemax binary: format type 2; a line's wavelength in um, 0 for a spectrum.
  const std::string plain = zemax_binary_header(3, 1.5, "d");
  const std::string zLine = zemax_binary_header(3, 1.5, "d", FluxUnit::Watt, line);
  const std::string zBand = zemax_binary_header(3, 1.5, "d", FluxUnit::Lumen, band);
  EXPECT_EQ(i32_at(plain, 192), 0);
  EXPECT_EQ(i32_at(zLine, 192), 2);
  EXPECT_EQ(f32_at(zLine, 116), 0.55f);
  EXPECT_EQ(i32_at(zBand, 192), 2);
  EXPECT_EQ(f32_at(zBand, 116), 0.0f);
  EXPECT_EQ(i32_at(zBand, 196), 1);  // lumens
  // Nothing else differs from the flux-only header.
  std::string masked = zLine;
  std::memcpy(masked.data() + 116, plain.data() + 116, 4);
  std::memcpy(masked.data() + 192, plain.data() + 192, 4);
  EXPECT_EQ(masked, plain);

  // TM-25: wavelength flag, spectrum type 2, the range, the single
  // wavelength (NaN for a spectrum) and the other total through V(lambda).
  const Tm25Texts texts;
  const std::string tPlain = tm25_header(3, 2, 0, texts);
  const std::string tLine = tm25_header(3, 2, 0, texts, FluxUnit::Watt, line);
  const std::string tBand = tm25_header(3, 600, 0, texts, FluxUnit::Lumen, band);
  EXPECT_EQ(i32_at(tPlain, 60), 0);
  EXPECT_EQ(i32_at(tPlain, kTm25FixedHeaderBytes + 12), 0);
  EXPECT_EQ(i32_at(tLine, 60), 2);
  EXPECT_EQ(i32_at(tLine, kTm25FixedHeaderBytes + 12), 1);
  EXPECT_EQ(f32_at(tLine, 64), 550.0f);
  EXPECT_EQ(f32_at(tLine, 68), 550.0f);
  EXPECT_EQ(f32_at(tLine, 72), 550.0f);
  EXPECT_EQ(f32_at(tLine, 16), 2.0f);                                    // radiant
  EXPECT_EQ(f32_at(tLine, 12), static_cast<float>(2 * 683 * 0.994950));  // luminous
  EXPECT_TRUE(std::isnan(f32_at(tBand, 64)));
  EXPECT_EQ(f32_at(tBand, 68), 450.0f);
  EXPECT_EQ(f32_at(tBand, 72), 700.0f);
  EXPECT_EQ(f32_at(tBand, 12), 600.0f);                     // luminous, the run's unit
  EXPECT_EQ(f32_at(tBand, 16), 2.0f);                       // 600 lm / 300 lm/W
  EXPECT_EQ(i32_at(tBand, kTm25FixedHeaderBytes + 8), 0);   // no radiant flux column
  EXPECT_EQ(i32_at(tBand, kTm25FixedHeaderBytes + 16), 1);  // luminous flux column

  // LightTools: colour information 2 and the text keyword.
  EXPECT_EQ(i32_at(lighttools_binary_header(1, FluxUnit::Watt, true), 20), 2);
  EXPECT_EQ(i32_at(lighttools_binary_header(1, FluxUnit::Watt), 20), 0);
  EXPECT_NE(lighttools_text_header(1, FluxUnit::Watt, true).find("\r\nlt_color_info: wavelength\r\n"),
            std::string::npos);
  EXPECT_EQ(lighttools_text_header(1, FluxUnit::Watt, true).size(),
            lighttools_text_header(1, FluxUnit::Watt).size() + 6);
}

}  // namespace
}  // namespace lucidra
