#include "engine/settings_text.h"

#include "base/user_error.h"
#include "distributions/number_text.h"

namespace lucidra {

double numerical_aperture_from_text(std::string_view text, char decimalSeparator) {
  double na = parse_real(text, decimalSeparator);
  if (na > 1 && static_cast<float>(na) == 1.0f) na = 1;
  if (!(na >= 0 && na <= 1)) throw UserError("NA '" + std::string(text) + "' must lie between 0 and 1");
  return na;
}

void apply_setting_texts(GenerationSettings& settings, const SettingTexts& texts) {
  settings.sizeXmm = parse_real(texts.sizeX, texts.decimalSeparator);
  settings.sizeYmm = parse_real(texts.sizeY, texts.decimalSeparator);
  const bool usesAperture = settings.ledMode && (settings.angularType == AngularType::Lambertian ||
                                                 settings.angularType == AngularType::Uniform);
  settings.numericalAperture =
      usesAperture ? numerical_aperture_from_text(texts.numericalAperture, texts.decimalSeparator) : 0;
}

}  // namespace lucidra
