#pragma once
// Every parameter a generation run takes from its front end.

#include <cstdint>
#include <string>

#include "sampling/sampling_types.h"

namespace lucidra {

enum class OutputFormat { TracePro, Zemax, LightTools, Asap };

struct GenerationSettings {
  OutputFormat outputFormat = OutputFormat::Zemax;
  std::string outputPath;                 // used as given; relative to the working directory
  std::string longitudinalFile;           // first distribution file (horizontal in LED mode)
  std::string transversalFile;            // second distribution file (vertical in LED mode)
  bool ledMode = true;                    // false: arc mode
  std::int32_t rayCount = 30000;          // N; the file gets N + 1 rays
  bool considerSourceFlux = false;
  std::int32_t sourceFlux = 3500;         // W
  RandomAlgorithm randomAlgorithm = RandomAlgorithm::Sobol;
  AngularType angularType = AngularType::UserDefined;
  // The three real fields stay text until the run reads them, so that a bad
  // value stops the run exactly where it is first needed.
  std::string numericalAperture = "0";
  std::int32_t extentAboutZ = 360;        // whole degrees
  std::string sizeX = "0.00001";          // mm
  std::string sizeY = "0.00001";          // mm
  PlaneShape planeShape = PlaneShape::Rectangular;
  bool doubleSide = false;
  std::int32_t balance = 50;              // 0..100
  bool squareShape = false;               // "Square" angular shape instead of "Radial"
  bool notifyEnd = false;
  double arcMarginADeg = 0.0;             // arc mode elevation margins
  double arcMarginBDeg = 0.0;
  char fieldDecimalSeparator = '.';       // separator of the NA and size texts
  char fileDecimalSeparator = '.';        // separator of the distribution files
  unsigned threads = 0;                   // 0: every core
  // Reproduces the ray files of version 3.5 byte for byte: integer-truncated
  // levels that persist from ray to ray, and double-sided emission reversing
  // (balance + 1) / 101 of the rays. Off: the tables are interpolated
  // linearly for every ray on its own, and balance b reverses b / 100.
  bool legacySampling = false;
};

}  // namespace lucidra
