#pragma once
// A photometric file (IES, EULUMDAT) as the window's source: what the file
// panel, the C-plane chart and the summary show about it. No widgets here;
// the run itself reads the file again from the settings.

#include <optional>
#include <string>
#include <vector>

#include "distributions/distribution_plot.h"
#include "photometry/photometric_import.h"
#include "photometry/photometric_solid.h"

namespace lucidra::app {

struct PhotometricSource {
  std::string path;
  PhotometricImport header;  // format, symmetry, ranges and what the header states
  PhotometricSolid solid;    // as the file gives it (not turned over)

  // The solid as the run draws it: turned over when `flipped`.
  PhotometricSolid oriented(bool flipped) const { return flipped ? solid.flipped() : solid; }
};

// Reads the file once for both the summary and the solid. Throws the
// readers' errors (FileReadError, PhotometricError), naming the file.
PhotometricSource read_photometric_source(const std::string& path);

// The plane C-(C+180) as one curve: x is gamma in the C half-plane and
// -gamma in the opposite one (C + 180), y the intensity in cd, at every
// gamma of the grid (the interpolant is linear in gamma between them, so
// the polyline is exact). Only where the solid's gamma range reaches.
std::vector<PlotPoint> c_plane_curve(const PhotometricSolid& solid, double cDeg);

// The beam angle in the plane C-(C+180): the full angle between the two
// directions, either side of the plane's brightest one, where the intensity
// has fallen to half of that brightest value. Nothing when the plane holds
// no light or stays above half all round.
std::optional<double> beam_angle_deg(const PhotometricSolid& solid, double cDeg);

// The summary the window shows: format, symmetry, gamma and C ranges, peak,
// the luminaire's flux beside what the header states, the beam angles in
// C0-C180 and C90-C270, which way the light goes (as the run draws it,
// turned over or not), and the import's notes. One line each.
std::string photometric_source_summary(const PhotometricSource& source, bool flipped);

// One line for the file panel: flux, peak and beam angle.
std::string photometric_source_brief(const PhotometricSource& source, bool flipped);

}  // namespace lucidra::app
