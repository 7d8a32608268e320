// The ray-file reader on arbitrary zemax_binary ray files.

#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_check.h"
#include "output/binary_ray_file.h"
#include "ray_file_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes = lucidra::fuzz::as_text(data, size);
  // The identifier is given, so every input reaches the header's fields.
  std::string file(4, '\0');
  lucidra::put_u32(file.data(), static_cast<std::uint32_t>(lucidra::kZemaxIdentifier));
  file.append(bytes);
  lucidra::fuzz::check_ray_file(file, lucidra::RayFileKind::ZemaxBinary);
  return 0;
}
