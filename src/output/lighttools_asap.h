#pragma once
// The LightTools ray data files (binary "LTRF" and text) and the ASAP binary
// distribution file (.dis) with one ray per record. All binary values are
// little-endian; a ray is x, y, z, the direction cosines and its flux, seven
// float32 (28 bytes) in every binary layout here, as in Zemax binary.
//
// LightTools binary ray data, as read and written by the public-domain
// TM25RaySetTools (TM25Library/LightToolsBinary.h, citing the LightTools
// help page on ray data files) and matching two LightTools-written samples
// in the same repository:
//
//   offset  type        field
//        0  char[4]     "LTRF"
//        4  uint32      major version: 2 (3 would add polarisation)
//        8  uint32      minor version: 0
//       12  uint32      data type: 0 radiometric (W), 1 photometric (lm)
//       16  uint32      far field: 0 near field (x, y, z per ray)
//       20  uint32      colour: 0 none, 2 one wavelength (nm) per ray
//       24  uint32      length units: 0 model, 1 mm, 2 cm, 3 m, 4 in, ...
//       28  float32 x3  data origin x, y, z
//       40  float32     total flux (W or lm per the data type)
//       44  records: x, y, z, kx, ky, kz, flux (float32 each)
//   then    char[7]     "LTRFEND", no terminator
//
// There is no ray count: readers stop at the trailer. LightTools itself does
// not insist on header flux = sum of the rays (its own samples differ), but
// other readers take the header at its word, so ours is the records' sum.
//
// LightTools text ray data, from a LightTools 2024.03 export in the same
// repository and the LightTools-API helper LTPython (LTUtilities.py,
// GetRayFileHeader): "key: value" header lines, then one ray per line
// between lt_startofdata and lt_endofdata.
//
// ASAP binary distribution file, as read by TM25RaySetTools
// (TM25Library/ReadASAPRaySet.cpp; the only field-level source we know):
// Fortran direct-access records of LENR = 7 words with no length markers.
//
//   record  offset  content
//        1       0  int32 1024 * LENR + 247, then 6 words (unread; 0 here)
//        2      28  TITLE char[24], NUMF int32
//        3      56  ZLABEL char[8], ZVAL float32, FLABEL char[16]
//        4      84  YLABEL char[16], YMIN, YMAX float32, NUMY int32 = -rays
//        5     112  XLABEL char[16], XMIN, XMAX float32, NUMX int32
//   6 .. 5+n   140  one ray per record: x, y, z, a, b, c, flux (float32)
//
// The reader checks only LENR and NUMY (a negative NUMY marks a ray file);
// the other words are our best guess, which is why the ASAP format is
// offered as experimental.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "base/flux_unit.h"
#include "base/ray_record.h"

namespace lucidra {

inline constexpr std::size_t kLightToolsHeaderBytes = 44;
inline constexpr std::string_view kLightToolsTrailer = "LTRFEND";
inline constexpr std::size_t kAsapRecordWords = 7;
inline constexpr std::size_t kAsapHeaderBytes = 5 * 4 * kAsapRecordWords;
inline constexpr std::int32_t kAsapFirstWord = 1024 * static_cast<std::int32_t>(kAsapRecordWords) + 247;

// The LTRF header: version 2.0, near field, no colour (or colour
// information 2, a wavelength per ray), millimetres, origin 0, `flux` in
// `unit` (W: radiometric, lm: photometric).
std::string lighttools_binary_header(double flux, FluxUnit unit, bool wavelength = false);

// The LightTools text header, CR LF line ends; the flux field has a fixed
// width, so that the header can be written again with the final sum.
// With a wavelength per ray: "lt_color_info: wavelength".
std::string lighttools_text_header(double flux, FluxUnit unit, bool wavelength = false);
inline constexpr std::string_view kLightToolsTextTrailer = "lt_endofdata\r\n";

// One LightTools text ray line: seven numbers in "%.9g" (enough to give the
// float32 of each value back) and CR LF. `out` needs
// kMaxLightToolsLineLength bytes.
inline constexpr int kMaxLightToolsLineLength = 8 * 16 + 7 + 2;
char* format_lighttools_line(const RayRecord& ray, char* out) noexcept;
// The same with the wavelength (nm) as an eighth number, as LightTools
// exports a ray set with colour information.
char* format_lighttools_spectral_line(const RayRecord& ray, char* out) noexcept;

// The five ASAP header records for `rays` ray records.
std::string asap_header(std::uint64_t rays);

}  // namespace lucidra
