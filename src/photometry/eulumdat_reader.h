#pragma once
// EULUMDAT photometric files (.ldt): one field per line in a fixed order.

#include <string_view>

#include "photometry/photometric_data.h"

namespace lucidra {

// Reads the text of an EULUMDAT file; `fileName` is how messages name it.
// Intensities (cd per 1000 lm of lamp flux) become candela with the first
// lamp set's total flux and the file's conversion factor for intensities.
// Throws PhotometricError naming the line and field of any fault.
PhotometricData read_eulumdat_text(std::string_view text, std::string_view fileName);

}  // namespace lucidra
