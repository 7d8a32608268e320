#pragma once
// The two binary ray files: Zemax's binary source file (.dat) and the ANSI/IES
// TM-25-13 ray file (.TM25RAY). Both are little-endian, a fixed header and
// then one record of seven float32 per ray, so a ray costs 28 bytes and no
// number formatting. Every header field is written here; the run supplies
// the count and the total flux of the records once they are known.
//
// Zemax binary source file, as OpticStudio's help describes it ("Binary
// Source File format"; the same field list is in the public-domain
// TM25RaySetTools, TM25ReadWrite/ZemaxBinary.h, by J. Muschaweck):
//
//   offset  type        field
//        0  int32       identifier, 1010
//        4  uint32      number of rays (the records that follow)
//        8  char[100]   description, NUL-terminated
//      108  float32     source flux (W)
//      112  float32     ray-set flux (W)
//      116  float32     wavelength (um), 0: composite
//      120  float32 x4  inclination begin/end, azimuth begin/end (deg)
//      136  uint32      dimension units: 0 m, 1 in, 2 cm, 3 ft, 4 mm
//      140  float32 x3  location x, y, z
//      152  float32 x3  rotation x, y, z (rad)
//      164  float32 x3  scale x, y, z (unused)
//      176  float32 x4  unused
//      192  int32       ray format type: 0 flux only (7 floats a ray), 2 spectral (8:
//                       the flux, then the wavelength in um)
//      196  int32       flux type: 0 watts, 1 lumens
//      200  int32 x2    reserved
//      208  records: x, y, z, l, m, n, flux (float32 each)
//
// TM-25-13 ray file, as read by the public-domain TM25RaySetTools
// (TM25ReadWrite/TM25_impl.h, ReadHeader) and tabulated by the tm25ray
// crate's documentation (docs.rs/tm25ray, "Layout (TM-25-13,
// little-endian)"):
//
//   offset  type        field
//        0  char[4]     "TM25"
//        4  int32       version, 2013
//        8  int32       creation method: 0 simulation, 1 measurement
//       12  float32     total luminous flux (lm)
//       16  float32     total radiant flux (W)
//       20  uint64      number of rays
//       28  char[28]    creation date and time, ISO 8601, NUL-padded
//       56  int32       ray start position: 0 unknown
//       60  int32       spectrum type: 0 none, 1 single wavelength, 2 per-ray
//                       wavelength (3, 4: spectral tables, not written)
//       64  float32 x3  single wavelength (NaN: none), minimum and maximum
//                       wavelength (nm)
//       76  int32       number of spectral tables
//       80  int32       number of additional ray items
//       84  int32       bytes of the additional text block
//       88  168 bytes   reserved, 0
//      256  int32 x8    flags: position, direction, radiant flux, wavelength,
//                       luminous flux, Stokes, tristimulus, spectrum index
//      288  9 x 1000 UTF-32LE characters: light source name, manufacturer,
//                       model creator, ray file creator, equipment/software,
//                       camera, light source operation, additional
//                       information, data reference
//    36288  (spectral tables, additional column names and text: none here)
//    36288  records: x, y, z, kx, ky, kz, then one float32 per flag set
//           after direction (radiant flux, wavelength in nm, luminous
//           flux), in the flags' order

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "base/flux_unit.h"
#include "base/ray_record.h"

namespace lucidra {

inline constexpr std::size_t kBinaryRecordBytes = 7 * 4;
// A record with a wavelength: eight float32.
inline constexpr std::size_t kSpectralRecordBytes = 8 * 4;
inline constexpr std::size_t kZemaxHeaderBytes = 208;
inline constexpr std::int32_t kZemaxIdentifier = 1010;
inline constexpr std::size_t kZemaxDescriptionBytes = 100;
inline constexpr std::size_t kTm25FixedHeaderBytes = 256;
inline constexpr std::size_t kTm25FlagsBytes = 8 * 4;
inline constexpr std::size_t kTm25TextChars = 1000;
inline constexpr std::size_t kTm25TextFields = 9;
inline constexpr std::size_t kTm25HeaderBytes =
    kTm25FixedHeaderBytes + kTm25FlagsBytes + kTm25TextFields * kTm25TextChars * 4;
inline constexpr std::size_t kTm25DateBytes = 28;

// Byte offsets of the flux within a record (both formats).
inline constexpr std::size_t kRecordFluxOffset = 6 * 4;

// One Zemax record: x, y, z, l, m, n, flux as float32, from the doubles the
// text file prints. Writes kBinaryRecordBytes and returns the end.
char* encode_zemax_record(const RayRecord& ray, char* out) noexcept;

// One TM-25 record, x, y, z, kx, ky, kz, radiant flux as float32. A ray whose
// float32 flux is zero is left out (returns `out`): the format wants every
// ray's flux positive, and a ray without flux carries no light, so leaving it
// out changes neither the total flux nor any other ray (the header counts
// the records actually written). Negative flux is kept, as the text file
// keeps it, so that the total stays the same; TM-25 readers warn about it.
char* encode_tm25_record(const RayRecord& ray, char* out) noexcept;

// n rays encoded one after another, each as its record encoder encodes it,
// each ray's byte count into lengths[i]; returns the end.
using RecordBatchEncoder = char* (*)(const RayRecord* rays, std::size_t n, char* out, std::uint8_t* lengths) noexcept;
// The batch form of one of the record encoders declared here, the same
// bytes without a call a ray; nullptr for any other encoder.
RecordBatchEncoder batch_form_of(char* (*encoder)(const RayRecord& ray, char* out) noexcept) noexcept;

// What a spectral ray set's headers say about its wavelengths (nm).
struct SpectralHeader {
  bool spectral = false;  // every record carries a wavelength
  double lineNm = 0;      // the one wavelength of a line source; 0: a spectrum
  double minNm = 0, maxNm = 0;
  double lumensPerWatt = 0;  // the spectrum's luminous efficacy, for the other total
};

// Spectral records: Zemax x, y, z, l, m, n, flux, wavelength (um); TM-25
// in watts x .. kz, radiant flux, wavelength (nm), in lumens x .. kz,
// wavelength (nm), luminous flux (the flags' order), a ray of zero flux
// left out as in encode_tm25_record; LightTools x .. kz, flux, wavelength (nm).
char* encode_zemax_spectral_record(const RayRecord& ray, char* out) noexcept;
char* encode_tm25_spectral_watt_record(const RayRecord& ray, char* out) noexcept;
char* encode_tm25_spectral_lumen_record(const RayRecord& ray, char* out) noexcept;
char* encode_lighttools_spectral_record(const RayRecord& ray, char* out) noexcept;

// The Zemax header: `rays` records whose flux adds up to `flux` (in `unit`:
// flux type 0 watts, 1 lumens), in mm, flux only. The description is cut to 99 bytes and anything but
// printable ASCII becomes '?'.
// A spectral ray set: format type 2 and, for a line, its wavelength (um).
std::string zemax_binary_header(std::uint32_t rays, double flux, std::string_view description,
                                FluxUnit unit = FluxUnit::Watt, const SpectralHeader& spectral = {});

// The texts of a TM-25 header (UTF-8; each is cut to 999 characters).
struct Tm25Texts {
  std::string lightSource;    // name of the light source
  std::string creator;        // creator of the ray file: program and version
  std::string software;       // equipment / software
  std::string information;    // additional information: the settings
  std::string dataReference;  // the distribution files used
};

// "2023-11-14T22:13:20Z": the UTC time of `unixSeconds`, ISO 8601.
std::string tm25_date_time(std::int64_t unixSeconds);

// The TM-25 header, flags and texts (kTm25HeaderBytes): a simulation of
// `rays` records whose flux adds up to `flux`, created at `unixSeconds`,
// start positions unknown, no spectrum. In watts the rays carry radiant flux
// and the luminous total is 0 with its flag clear; in lumens the other way
// round. A spectral ray set sets the wavelength flag, the spectrum type
// (2: per ray), the wavelength range, the line's wavelength, and the other
// total through the spectrum's luminous efficacy.
std::string tm25_header(std::uint64_t rays, double flux, std::int64_t unixSeconds, const Tm25Texts& texts,
                        FluxUnit unit = FluxUnit::Watt, const SpectralHeader& spectral = {});

// Little-endian fields, for the writer and reader of both formats (inline:
// they run for every record).
inline void put_u32(char* out, std::uint32_t value) noexcept {
  if constexpr (std::endian::native == std::endian::little) {
    std::memcpy(out, &value, 4);
  } else {
    for (int i = 0; i < 4; ++i) out[i] = static_cast<char>((value >> (8 * i)) & 0xFFu);
  }
}

inline void put_f32(char* out, float value) noexcept { put_u32(out, std::bit_cast<std::uint32_t>(value)); }

inline std::uint32_t get_u32(const char* in) noexcept {
  std::uint32_t value = 0;
  if constexpr (std::endian::native == std::endian::little) {
    std::memcpy(&value, in, 4);
  } else {
    for (int i = 3; i >= 0; --i) value = (value << 8) | static_cast<unsigned char>(in[i]);
  }
  return value;
}

inline std::uint64_t get_u64(const char* in) noexcept {
  return static_cast<std::uint64_t>(get_u32(in)) | (static_cast<std::uint64_t>(get_u32(in + 4)) << 32);
}

inline float get_f32(const char* in) noexcept { return std::bit_cast<float>(get_u32(in)); }

// The UTF-32 code points of UTF-8 text; a malformed sequence becomes U+FFFD.
std::u32string utf8_to_utf32(std::string_view text);
// The UTF-8 text of NUL-terminated (or full) UTF-32LE field bytes.
std::string utf32le_field_to_utf8(const char* field, std::size_t chars);

}  // namespace lucidra
