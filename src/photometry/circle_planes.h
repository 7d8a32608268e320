#pragma once
// Inside the photometry layer: the whole circle of C planes a file states or
// implies, and the polar integral of a plane, shared by the two tables and
// the photometric solid so that both expand a symmetry and add up flux the
// same way.

#include <vector>

#include "photometry/photometric_data.h"

namespace lucidra::detail {

// Two angles closer than this (degrees) are the same plane or the same gamma.
inline constexpr double kSameAngle = 1e-9;

// A plane of the whole circle: measured, or implied by the file's symmetry.
struct CirclePlane {
  double cDeg;
  const std::vector<double>* candela;
  bool measured;
  double sourceDeg;  // the measured plane it comes from
};

// c in [0, 360); a value just below 360 is 0.
double wrap_degrees(double c);

// Every plane the file states or implies, by ascending C in [0, 360); a
// measured plane wins over a mirrored one at the same C.
std::vector<CirclePlane> full_circle(const PhotometricData& data);

// The integral of I(gamma) sin(gamma) d(gamma) over one segment from a to b
// (radians) where I runs linearly from ia to ib.
double polar_segment(double a, double b, double ia, double ib);

// The integral of I(gamma) sin(gamma) d(gamma), I linear between the samples.
double polar_integral(const std::vector<double>& gammaDeg, const std::vector<double>& candela);

}  // namespace lucidra::detail
