#pragma once

namespace lucidra {

// One ray: start point (mm), direction cosines, flux (W).
struct RayRecord {
  double x = 0, y = 0, z = 0;
  double dx = 0, dy = 0, dz = 0;
  double flux = 0;
};

}  // namespace lucidra
