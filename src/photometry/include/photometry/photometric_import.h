#pragma once
// Importing a measured intensity distribution (IES LM-63 or EULUMDAT) as
// the run's two distribution tables.
//
// The run models a source by two planes: the first table (x-z plane, the
// "longitudinal" -L file) and the second (y-z plane, the "transversal" -T
// file), blended between them as F + (E - F) cos^2(phi). The import takes
// the first table from the C0 and C180 half-planes and the second from C90
// and C270, each the mean of its two halves at every angle (the run looks
// a table up by |theta| only, so a plane's two halves cannot differ there).
// Planes a symmetry implies are mirrored; planes not measured are
// interpolated linearly between their neighbours. gamma = 0 is the +z axis,
// the main beam; a 90-180 vertical set is mirrored (theta = 180 - gamma).

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "photometry/photometric_data.h"

namespace lucidra {

// The most angles a distribution file may hold for the run.
inline constexpr std::size_t kMaxTableAngles = 450;

// One of the two tables: ascending angles (degrees from +z) and
// non-negative intensities (candela).
struct PlaneTable {
  std::vector<double> angleDeg;
  std::vector<double> candela;
};

struct PhotometricImport {
  PhotometricFormat format = PhotometricFormat::Ies;
  std::string versionText;                        // "IESNA:LM-63-2002", "EULUMDAT", ...
  std::string symmetryText;                       // "0-90 (quadrant symmetry)", ...
  std::vector<std::string> planesUsed;            // "C0: measured", "C270: by symmetry from C90", ...
  PlaneTable longitudinal;                        // C0-C180, the -L table
  PlaneTable transversal;                         // C90-C270, the -T table
  double verticalFromDeg = 0, verticalToDeg = 0;  // gamma range of the file
  std::size_t verticalCount = 0;
  double horizontalFromDeg = 0, horizontalToDeg = 0;  // C range of the stored planes
  std::size_t horizontalCount = 0;
  double peakCandela = 0;     // over every measured value
  double fluxLm = 0;          // integrated from the intensities over the measured sphere
  double twoPlaneFluxLm = 0;  // of the two tables blended by cos^2(phi)
  // What the header claims (see PhotometricData): the lamps' lumens (IES
  // lamps x lumens per lamp, EULUMDAT lamp flux), the IES lamp count, the
  // EULUMDAT light output ratio, and the luminaire's flux they give.
  std::optional<double> statedLumens;
  std::int64_t lampCount = 0;
  std::optional<double> lightOutputRatioPercent;
  std::optional<double> statedLuminaireLumens;
  std::vector<std::string> notes;
};

// Builds the two tables from a file's grid, with the notes on asymmetry,
// flux between the planes and resampling.
PhotometricImport two_plane_import(const PhotometricData& data);

// Reads text already in memory; `nameForMessages` names it in messages.
// Throws PhotometricError.
PhotometricImport import_photometric_text(std::string_view text, std::string_view nameForMessages,
                                          PhotometricFormat format);

// The format of a file: IES when its first line is an IES format line,
// otherwise by the extension (.ies, .ldt, any case), otherwise IES when a
// line starts with TILT=, otherwise EULUMDAT when the second line is a type
// indicator (0..3). Throws PhotometricError "<path> is not an IES or
// EULUMDAT file: ..." for anything else.
PhotometricFormat detect_photometric_format(std::string_view text, std::string_view path);

// Reads text already in memory as the format says, without importing it.
PhotometricData read_photometric_text(std::string_view text, std::string_view nameForMessages,
                                      PhotometricFormat format);

// Reads the named file as its format is detected. Throws FileReadError
// "Cannot open file <path>" or "File <path> is too large ...", or
// PhotometricError.
PhotometricData read_photometric_file(const std::string& path);

// Reads and imports the named file; throws as read_photometric_file.
PhotometricImport import_photometric_file(const std::string& path);

// A distribution file for the run: line 1 the angles, line 2 `label`, line 3
// the intensities, every value followed by exactly one space and written
// with 9 significant digits and `decimalSeparator`; lines end with CR LF.
// Line ends inside the label become blanks.
std::string distribution_file_text(const PlaneTable& table, std::string_view label, char decimalSeparator);

}  // namespace lucidra
