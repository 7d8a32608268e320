#pragma once
// A photometric file the import refuses. The text names the file, the line
// and the field, and says what is wrong, e.g.
// "lamp.ies line 14, photometric type: type B is not supported ...".

#include <string>
#include <string_view>

#include "base/user_error.h"

namespace lucidra {

class PhotometricError : public UserError {
 public:
  using UserError::UserError;
};

// "<file> line <n>, <field>: <problem>"
[[noreturn]] void throw_photometric_error(std::string_view fileName, int line, std::string_view field,
                                          std::string_view problem);

}  // namespace lucidra
