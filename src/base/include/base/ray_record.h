#pragma once

namespace lucidra {

// One ray: start point (mm), direction cosines, flux (W), and its wavelength
// (nm; 0 for a ray set without a spectrum).
struct RayRecord {
  double x = 0, y = 0, z = 0;
  double dx = 0, dy = 0, dz = 0;
  double flux = 0;
  double wavelength = 0;
};

}  // namespace lucidra
