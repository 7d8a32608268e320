// The ray-file reader on arbitrary text ray files.

#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_check.h"
#include "output/binary_ray_file.h"
#include "ray_file_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes = lucidra::fuzz::as_text(data, size);
  // Auto: a text file by its header (or a binary one by its identifier).
  lucidra::fuzz::check_ray_file(bytes, lucidra::RayFileKind::Auto);
  return 0;
}
