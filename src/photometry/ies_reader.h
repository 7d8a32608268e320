#pragma once
// IES LM-63 photometric files (.ies), versions 1986, 1991, 1995, 2002 and
// 2019, type C photometry only.

#include <string_view>

#include "photometry/photometric_data.h"

namespace lucidra {

// Reads the text of an IES file; `fileName` is how messages name it.
// Candela values are scaled by the candela multiplier and the ballast factor
// (and, in files before LM-63-2002, by the ballast-lamp photometric factor):
// the tables describe the luminaire as it runs, which is what the ray file
// models. Throws PhotometricError naming the line and field of any fault.
PhotometricData read_ies_text(std::string_view text, std::string_view fileName);

}  // namespace lucidra
