#include "output/binary_ray_file.h"

#include <bit>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <limits>

// The records' floats four at a time where the processor has SSE2 (every
// x86-64), which is also little-endian like the files.
#if defined(__SSE2__)
#include <emmintrin.h>
#define LUCIDRA_RECORD_SSE2 1
#endif

namespace lucidra {
namespace {

void put_i32(char* out, std::int32_t value) noexcept { put_u32(out, static_cast<std::uint32_t>(value)); }

void put_u64(char* out, std::uint64_t value) noexcept {
  put_u32(out, static_cast<std::uint32_t>(value));
  put_u32(out + 4, static_cast<std::uint32_t>(value >> 32));
}

#ifdef LUCIDRA_RECORD_SSE2
static_assert(offsetof(RayRecord, x) == 0 && offsetof(RayRecord, dx) == 24 && offsetof(RayRecord, flux) == 48 &&
                  offsetof(RayRecord, wavelength) == 56,
              "the record's numbers are read in pairs, in their order");

// The ray's two numbers from the one at byte `offset` on.
inline __m128d pair_at(const RayRecord& ray, std::size_t offset) noexcept {
  return _mm_loadu_pd(reinterpret_cast<const double*>(reinterpret_cast<const char*>(&ray) + offset));
}
// Four doubles as four floats, each rounded as static_cast rounds it (the
// same conversion under the same rounding mode).
inline __m128 floats_of(__m128d low, __m128d high) noexcept {
  return _mm_movelh_ps(_mm_cvtpd_ps(low), _mm_cvtpd_ps(high));
}
inline void put_four(char* out, __m128 floats) noexcept { _mm_storeu_ps(reinterpret_cast<float*>(out), floats); }

// Seven float32 of a ray, in the order both formats share: x y z dx at
// the start, dx dy dz flux from byte 12 (dx twice, the same bits).
inline void put_ray(const RayRecord& ray, char* out) noexcept {
  put_four(out, floats_of(pair_at(ray, 0), pair_at(ray, 16)));
  put_four(out + 12, floats_of(pair_at(ray, 24), pair_at(ray, 40)));
}
// The same with an eighth float after the flux: the wavelength times
// `scale` (1 or 1e-3 for micrometres), or with `wavelengthFirst` the
// wavelength and then the flux.
inline void put_spectral_ray(const RayRecord& ray, char* out, double scale, bool wavelengthFirst = false) noexcept {
  __m128d last = _mm_mul_pd(pair_at(ray, 48), _mm_set_pd(scale, 1.0));  // flux x 1 is the flux
  if (wavelengthFirst) last = _mm_shuffle_pd(last, last, 1);
  put_four(out, floats_of(pair_at(ray, 0), pair_at(ray, 16)));
  put_four(out + 16, floats_of(pair_at(ray, 32), last));
}
#else
// Seven float32 of a ray, in the order both formats share.
inline void put_ray(const RayRecord& ray, char* out) noexcept {
  put_f32(out, static_cast<float>(ray.x));
  put_f32(out + 4, static_cast<float>(ray.y));
  put_f32(out + 8, static_cast<float>(ray.z));
  put_f32(out + 12, static_cast<float>(ray.dx));
  put_f32(out + 16, static_cast<float>(ray.dy));
  put_f32(out + 20, static_cast<float>(ray.dz));
  put_f32(out + 24, static_cast<float>(ray.flux));
}
inline void put_spectral_ray(const RayRecord& ray, char* out, double scale, bool wavelengthFirst = false) noexcept {
  put_ray(ray, out);
  const float wavelength = static_cast<float>(ray.wavelength * scale);
  if (wavelengthFirst) {
    put_f32(out + 24, wavelength);
    put_f32(out + 28, static_cast<float>(ray.flux));
  } else {
    put_f32(out + 28, wavelength);
  }
}
#endif

// A header's flux as float32; the sum of float32 records can exceed the
// float range only for absurd runs, which then say "infinite".
float header_flux(double flux) noexcept { return static_cast<float>(flux); }

// Writes up to kTm25TextChars - 1 code points of `text` as UTF-32LE into a
// zeroed field.
void put_utf32_field(char* field, std::string_view text) {
  const std::u32string points = utf8_to_utf32(text);
  const std::size_t n = points.size() < kTm25TextChars - 1 ? points.size() : kTm25TextChars - 1;
  for (std::size_t i = 0; i < n; ++i) put_u32(field + 4 * i, static_cast<std::uint32_t>(points[i]));
}

}  // namespace

char* encode_zemax_record(const RayRecord& ray, char* out) noexcept {
  put_ray(ray, out);
  return out + kBinaryRecordBytes;
}

char* encode_tm25_record(const RayRecord& ray, char* out) noexcept {
  if (static_cast<float>(ray.flux) == 0.0f) return out;
  put_ray(ray, out);
  return out + kBinaryRecordBytes;
}

char* encode_zemax_spectral_record(const RayRecord& ray, char* out) noexcept {
  put_spectral_ray(ray, out, 1e-3);
  return out + kSpectralRecordBytes;
}

char* encode_tm25_spectral_watt_record(const RayRecord& ray, char* out) noexcept {
  if (static_cast<float>(ray.flux) == 0.0f) return out;
  put_spectral_ray(ray, out, 1.0);
  return out + kSpectralRecordBytes;
}

char* encode_tm25_spectral_lumen_record(const RayRecord& ray, char* out) noexcept {
  if (static_cast<float>(ray.flux) == 0.0f) return out;
  put_spectral_ray(ray, out, 1.0, true);
  return out + kSpectralRecordBytes;
}

char* encode_lighttools_spectral_record(const RayRecord& ray, char* out) noexcept {
  put_spectral_ray(ray, out, 1.0);
  return out + kSpectralRecordBytes;
}

namespace {

// GCC vectorises the batch loop into shuffles that cost more than the
// plain stores of each record; the attribute is GCC's own.
#if defined(__GNUC__) && !defined(__clang__)
#define LUCIDRA_NOT_VECTORISED [[gnu::optimize("no-tree-vectorize")]]
#else
#define LUCIDRA_NOT_VECTORISED
#endif

template <char* (*Encode)(const RayRecord&, char*) noexcept>
LUCIDRA_NOT_VECTORISED char* encode_batch(const RayRecord* rays, std::size_t n, char* out,
                                          std::uint8_t* lengths) noexcept {
  for (std::size_t i = 0; i < n; ++i) {
    char* const end = Encode(rays[i], out);
    lengths[i] = static_cast<std::uint8_t>(end - out);
    out = end;
  }
  return out;
}

}  // namespace

RecordBatchEncoder batch_form_of(char* (*encoder)(const RayRecord& ray, char* out) noexcept) noexcept {
  if (encoder == &encode_zemax_record) return &encode_batch<&encode_zemax_record>;
  if (encoder == &encode_tm25_record) return &encode_batch<&encode_tm25_record>;
  if (encoder == &encode_zemax_spectral_record) return &encode_batch<&encode_zemax_spectral_record>;
  if (encoder == &encode_tm25_spectral_watt_record) return &encode_batch<&encode_tm25_spectral_watt_record>;
  if (encoder == &encode_tm25_spectral_lumen_record) return &encode_batch<&encode_tm25_spectral_lumen_record>;
  if (encoder == &encode_lighttools_spectral_record) return &encode_batch<&encode_lighttools_spectral_record>;
  return nullptr;
}

std::string zemax_binary_header(std::uint32_t rays, double flux, std::string_view description, FluxUnit unit,
                                const SpectralHeader& spectral) {
  std::string header(kZemaxHeaderBytes, '\0');
  char* h = header.data();
  put_i32(h + 0, kZemaxIdentifier);
  put_u32(h + 4, rays);
  const std::size_t length =
      description.size() < kZemaxDescriptionBytes - 1 ? description.size() : kZemaxDescriptionBytes - 1;
  for (std::size_t i = 0; i < length; ++i) {
    const auto c = static_cast<unsigned char>(description[i]);
    h[8 + i] = c >= 0x20 && c < 0x7F ? static_cast<char>(c) : '?';
  }
  put_f32(h + 108, header_flux(flux));  // source flux
  put_f32(h + 112, header_flux(flux));  // ray-set flux: the file is the whole source
  // 116 wavelength: a line's (um), else 0 (composite); 120..135 angular
  // range: 0 (not given).
  if (spectral.spectral) put_f32(h + 116, static_cast<float>(spectral.lineNm * 1e-3));
  put_u32(h + 136, 4);  // millimetres
  // 140..191 location, rotation, scale, unused: 0.
  put_i32(h + 192, spectral.spectral ? 2 : 0);        // flux only (seven floats a ray) or spectral (eight)
  put_i32(h + 196, unit == FluxUnit::Lumen ? 1 : 0);  // flux type: watts or lumens
  // 200..207 reserved: 0.
  return header;
}

std::string tm25_date_time(std::int64_t unixSeconds) {
  // Days and seconds of the day, rounding towards minus infinity so that
  // times before 1970 come out right.
  std::int64_t days = unixSeconds / 86400;
  std::int64_t second = unixSeconds % 86400;
  if (second < 0) {
    second += 86400;
    --days;
  }
  // The proleptic Gregorian date of a day count (eras of 400 years, with
  // March as the first month so that the leap day ends a year).
  const std::int64_t z = days + 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const std::int64_t dayOfEra = z - era * 146097;
  const std::int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const std::int64_t mp = (5 * dayOfYear + 2) / 153;
  const std::int64_t day = dayOfYear - (153 * mp + 2) / 5 + 1;
  const std::int64_t month = mp < 10 ? mp + 3 : mp - 9;
  const std::int64_t year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);
  char text[64];
  std::snprintf(text, sizeof text, "%04lld-%02lld-%02lldT%02lld:%02lld:%02lldZ", static_cast<long long>(year),
                static_cast<long long>(month), static_cast<long long>(day), static_cast<long long>(second / 3600),
                static_cast<long long>(second / 60 % 60), static_cast<long long>(second % 60));
  return text;
}

std::string tm25_header(std::uint64_t rays, double flux, std::int64_t unixSeconds, const Tm25Texts& texts,
                        FluxUnit unit, const SpectralHeader& spectral) {
  const bool lumen = unit == FluxUnit::Lumen;
  std::string header(kTm25HeaderBytes, '\0');
  char* h = header.data();
  std::memcpy(h, "TM25", 4);
  put_i32(h + 4, 2013);
  put_i32(h + 8, 0);  // simulation
  // The other total follows from the spectrum (a spectrum without any
  // luminous power has no radiant total in lumens: 0, not given).
  const double efficacy = spectral.spectral ? spectral.lumensPerWatt : 0.0;
  const double luminous = lumen ? flux : flux * efficacy;
  const double radiant = !lumen ? flux : (efficacy > 0 ? flux / efficacy : 0.0);
  put_f32(h + 12, header_flux(luminous));  // luminous flux (0: not given)
  put_f32(h + 16, header_flux(radiant));   // radiant flux (0: not given)
  put_u64(h + 20, rays);
  const std::string date = tm25_date_time(unixSeconds);
  std::memcpy(h + 28, date.data(), date.size() < kTm25DateBytes ? date.size() : kTm25DateBytes - 1);
  // 56 start position unknown; 60 no spectrum and 64..75 wavelengths 0, or
  // a wavelength per ray; 76..87 no tables, columns or text, 88..255
  // reserved: all 0.
  if (spectral.spectral) {
    put_i32(h + 60, 2);
    put_f32(h + 64,
            spectral.lineNm > 0 ? static_cast<float>(spectral.lineNm) : std::numeric_limits<float>::quiet_NaN());
    put_f32(h + 68, static_cast<float>(spectral.minNm));
    put_f32(h + 72, static_cast<float>(spectral.maxNm));
  }
  char* flags = h + kTm25FixedHeaderBytes;
  put_i32(flags + 0, 1);                           // position
  put_i32(flags + 4, 1);                           // direction
  put_i32(flags + 8, lumen ? 0 : 1);               // radiant flux
  put_i32(flags + 16, lumen ? 1 : 0);              // luminous flux
  put_i32(flags + 12, spectral.spectral ? 1 : 0);  // wavelength
  // Stokes, tristimulus, spectrum index: 0.
  char* text = flags + kTm25FlagsBytes;
  const std::string_view fields[kTm25TextFields] = {
      texts.lightSource, {}, {}, texts.creator, texts.software, {}, {}, texts.information, texts.dataReference};
  for (std::size_t i = 0; i < kTm25TextFields; ++i) put_utf32_field(text + i * kTm25TextChars * 4, fields[i]);
  return header;
}

std::u32string utf8_to_utf32(std::string_view text) {
  std::u32string out;
  out.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size()) {
    const auto lead = static_cast<unsigned char>(text[i]);
    std::size_t length = 0;
    char32_t point = 0;
    char32_t least = 0;
    if (lead < 0x80) {
      length = 1;
      point = lead;
    } else if ((lead & 0xE0) == 0xC0) {
      length = 2;
      point = lead & 0x1Fu;
      least = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
      length = 3;
      point = lead & 0x0Fu;
      least = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
      length = 4;
      point = lead & 0x07u;
      least = 0x10000;
    }
    bool valid = length != 0 && i + length <= text.size();
    for (std::size_t k = 1; valid && k < length; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      valid = (next & 0xC0) == 0x80;
      point = (point << 6) | (next & 0x3Fu);
    }
    if (valid && (point < least || point > 0x10FFFF || (point >= 0xD800 && point <= 0xDFFF))) valid = false;
    out.push_back(valid ? point : U'\uFFFD');
    i += valid ? length : 1;
  }
  return out;
}

std::string utf32le_field_to_utf8(const char* field, std::size_t chars) {
  std::string out;
  for (std::size_t i = 0; i < chars; ++i) {
    std::uint32_t c = get_u32(field + 4 * i);
    if (c == 0) break;
    if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) c = 0xFFFD;
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

}  // namespace lucidra
