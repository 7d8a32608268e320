// The ray-file reader on arbitrary tm25 ray files.

#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_check.h"
#include "output/binary_ray_file.h"
#include "ray_file_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes = lucidra::fuzz::as_text(data, size);
  // The input gives the fixed header and the flags after "TM25"; the text
  // fields (36000 bytes nobody checks) are put in as zeros, and the rest of
  // the input follows: spectral tables, column names, text, records.
  constexpr std::size_t kFixed = lucidra::kTm25FixedHeaderBytes + lucidra::kTm25FlagsBytes - 4;
  std::string file = "TM25";
  file.append(bytes.substr(0, kFixed));
  if (bytes.size() > kFixed) {
    file.append(lucidra::kTm25HeaderBytes - 4 - kFixed, '\0');
    file.append(bytes.substr(kFixed));
  }
  lucidra::fuzz::check_ray_file(file, lucidra::RayFileKind::Tm25);
  return 0;
}
