#pragma once
// The unit of a run's source flux and of every ray's flux: radiometric
// (watts) or photometric (lumens). Ray file headers that have a place for it
// say which.

namespace lucidra {

enum class FluxUnit { Watt, Lumen };

inline const char* flux_unit_symbol(FluxUnit unit) { return unit == FluxUnit::Lumen ? "lm" : "W"; }

}  // namespace lucidra
