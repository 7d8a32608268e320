#pragma once
// The settings a user types as text (the NA and the emitter sizes), turned
// into numbers by the front end that shows them, with its own decimal
// separator, before a run starts: a text that is not a number is refused
// before any file is touched.

#include <string>
#include <string_view>

#include "engine/settings.h"

namespace lucidra {

struct SettingTexts {
  std::string numericalAperture = "0";
  std::string sizeX = "0.00001";  // mm
  std::string sizeY = "0.00001";  // mm
  char decimalSeparator = '.';
};

// The NA: a number from 0 to 1. Texts that equal 1 in single precision
// (such as "1,00000001", which the window's field lets through) read as 1.
// Throws ConversionError for a text that is not a number and UserError
// "NA '<text>' must lie between 0 and 1".
double numerical_aperture_from_text(std::string_view text, char decimalSeparator);

// Converts the texts into `settings`: X size, Y size, then the NA where the
// run uses it (LED mode, Lambertian or Uniform). Throws as the conversions do.
void apply_setting_texts(GenerationSettings& settings, const SettingTexts& texts);

}  // namespace lucidra
