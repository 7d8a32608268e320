#include "output/lighttools_asap.h"

#include <charconv>
#include <cstring>

#include "output/binary_ray_file.h"

namespace lucidra {
namespace {

void put_i32(char* out, std::int32_t value) noexcept { put_u32(out, static_cast<std::uint32_t>(value)); }

// A blank-padded Fortran character field.
void put_label(char* out, std::size_t width, std::string_view text) {
  std::memset(out, ' ', width);
  std::memcpy(out, text.data(), text.size() < width ? text.size() : width);
}

// The shortest text that reads back as the same float32: the numbers of a
// text file then hold exactly the values of the binary records.
char* put_float_text(float value, char* out) noexcept { return std::to_chars(out, out + 16, value).ptr; }

// "%.9e" of the header flux, right-aligned in 17 characters whatever its
// sign and exponent, so that every rewrite of the header has the same size.
std::string fixed_width_flux(double flux) {
  char text[64];
  const auto end = std::to_chars(text, text + sizeof text, static_cast<double>(static_cast<float>(flux)),
                                 std::chars_format::scientific, 9)
                       .ptr;
  const std::string number(text, end);
  return number.size() < 17 ? std::string(17 - number.size(), ' ') + number : number;
}

}  // namespace

std::string lighttools_binary_header(double flux, FluxUnit unit, bool wavelength) {
  std::string header(kLightToolsHeaderBytes, '\0');
  char* h = header.data();
  std::memcpy(h, "LTRF", 4);
  put_u32(h + 4, 2);                                   // major version: no polarisation
  put_u32(h + 8, 0);                                   // minor version
  put_u32(h + 12, unit == FluxUnit::Lumen ? 1u : 0u);  // photometric / radiometric
  put_u32(h + 16, 0);                                  // near field
  put_u32(h + 20, wavelength ? 2u : 0u);               // no colour, or a wavelength (nm) per ray
  put_u32(h + 24, 1);                                  // millimetres
  // 28..39 data origin: 0, 0, 0.
  put_f32(h + 40, static_cast<float>(flux));
  return header;
}

std::string lighttools_text_header(double flux, FluxUnit unit, bool wavelength) {
  // The photometric keywords are our reading of the radiometric ones
  // (radiant_power, lt_radiant_flux); no public sample shows them.
  const bool lumen = unit == FluxUnit::Lumen;
  std::string text =
      "# Lucidra LED\r\n"
      "# Ray Data Export File\r\n"
      "lt_rdf_version: 2.0\r\n"
      "dataname: LucidraRayData\r\n";
  text += lumen ? "lt_datatype: luminous_power\r\n" : "lt_datatype: radiant_power\r\n";
  text += "lt_far_field_data: no\r\n";
  text += wavelength ? "lt_color_info: wavelength\r\n" : "lt_color_info: none\r\n";
  text +=
      "lt_length_units: millimeters\r\n"
      "lt_data_origin: 0 0 0\r\n";
  text += lumen ? "lt_luminous_flux: " : "lt_radiant_flux: ";
  text += fixed_width_flux(flux);
  text += "\r\nlt_startofdata\r\n";
  return text;
}

char* format_lighttools_line(const RayRecord& ray, char* out) noexcept {
  const double values[7] = {ray.x, ray.y, ray.z, ray.dx, ray.dy, ray.dz, ray.flux};
  for (int i = 0; i < 7; ++i) {
    if (i > 0) *out++ = ' ';
    out = put_float_text(static_cast<float>(values[i]), out);
  }
  out[0] = '\r';
  out[1] = '\n';
  return out + 2;
}

char* format_lighttools_spectral_line(const RayRecord& ray, char* out) noexcept {
  out = format_lighttools_line(ray, out) - 2;
  *out++ = ' ';
  out = put_float_text(static_cast<float>(ray.wavelength), out);
  out[0] = '\r';
  out[1] = '\n';
  return out + 2;
}

std::string asap_header(std::uint64_t rays) {
  std::string header(kAsapHeaderBytes, '\0');
  char* h = header.data();
  constexpr std::size_t record = 4 * kAsapRecordWords;
  put_i32(h, kAsapFirstWord);  // record 1: the record length; words 1..6 unknown, 0
  char* r2 = h + record;
  put_label(r2, 24, "Lucidra LED rays");  // TITLE
  put_i32(r2 + 24, 1);                    // NUMF: one flux value a ray
  char* r3 = h + 2 * record;
  put_label(r3, 8, "Z");  // ZLABEL, ZVAL 0
  put_label(r3 + 12, 16, "FLUX");
  char* r4 = h + 3 * record;
  put_label(r4, 16, "Y");  // YLABEL, YMIN and YMAX 0
  // NUMY = -rays marks a ray file (a grid would give its row count); the
  // run's rays never exceed the int32 range.
  put_i32(r4 + 24, -static_cast<std::int32_t>(rays));
  char* r5 = h + 4 * record;
  put_label(r5, 16, "X");                                         // XLABEL, XMIN and XMAX 0
  put_i32(r5 + 24, static_cast<std::int32_t>(kAsapRecordWords));  // NUMX: words a ray
  return header;
}

}  // namespace lucidra
