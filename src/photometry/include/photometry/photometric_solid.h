#pragma once
// A luminaire's intensity over the whole sphere, as a photometric run draws
// its rays from it: the file's complete (C, gamma) grid after its symmetry is
// expanded, with no averaging of half-planes and no reduction to two tables.
//
// Orientation, for every gamma range a file uses: gamma = 0 is the +z axis,
// gamma = 90 the emitter plane, gamma = 180 the -z axis; C = 0 is +x and
// C = 90 is +y (C counter-clockwise seen from +z). A 90-180 file keeps its
// light toward -z; flipped() turns any solid over.
//
// Between grid points the intensity is bilinear in C and gamma. It is a
// weighted mean of four non-negative values, so it never undershoots below
// zero, and its flux has a closed form per cell.

#include <string>
#include <vector>

#include "photometry/photometric_data.h"

namespace lucidra {

struct PhotometricSolid {
  std::vector<double> cDeg;      // ascending, cDeg.front() == 0, all < 360; periodic (C=360 is C=0)
  std::vector<double> gammaDeg;  // ascending, within [0, 180], at least 2 values (a rotational file has 1 C)
  std::vector<double> candela;   // candela[c * gammaDeg.size() + g], finite, >= 0

  // Bilinear in C (periodic, wrapping from the last plane to 360) and gamma;
  // 0 outside [gammaDeg.front(), gammaDeg.back()] and for angles that are not
  // finite. Never negative.
  double candela_at(double cDegrees, double gammaDegrees) const;
  double peak_candela() const;
  // The emitted flux (lm): the exact integral over the sphere of the
  // bilinear interpolant (sin(gamma) integrated in closed form per cell), so
  // that it matches what a sampler of the interpolant draws.
  double flux_lm() const;
  // The same integral over gammaFromDeg..gammaToDeg only, every C: e.g. the
  // flux toward +z is flux_lm_between(0, 90).
  double flux_lm_between(double gammaFromDeg, double gammaToDeg) const;
  // Turned over by half a turn about the x axis: (x, y, z) -> (x, -y, -z),
  // i.e. gamma -> 180 - gamma and C -> 360 - C (mod 360).
  PhotometricSolid flipped() const;
};

// Expands the file's horizontal symmetry into the whole circle, keeping its
// gamma values as they are (a 90-180 file's light stays toward -z). Planes
// missing between measured ones follow from the bilinear rule; a C0 plane is
// interpolated when the circle has none. Absolute candela: the readers have
// applied the multipliers. Throws PhotometricError for a file without light.
PhotometricSolid photometric_solid(const PhotometricData& data);

// Reads the named file (IES or EULUMDAT, as the import detects it) with the
// import's size limit and messages. Throws FileReadError or PhotometricError.
PhotometricSolid photometric_solid_file(const std::string& path);

// Which way the solid's light goes, in a sentence for an import's notes.
std::string light_direction_note(const PhotometricSolid& solid);

}  // namespace lucidra
