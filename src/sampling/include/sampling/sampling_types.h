#pragma once
// The choices that shape how a ray is drawn and weighted.

namespace lucidra {

enum class RandomAlgorithm { Sobol, Uniform };
// Item indices of the "Angular Type" group.
enum class AngularType { Lambertian = 0, Uniform = 1, UserDefined = 2, Gaussian = 3 };
// Item indices of the "Plane shape" group.
enum class PlaneShape { Rectangular = 0, Elliptical = 1 };

}  // namespace lucidra
