#pragma once
// The ray-file reader on arbitrary bytes: the bytes go to a file of this
// process (the reader takes a name), and whatever the reader makes of them
// must hold. Accepted: at least one ray, every value finite, a binary
// header's count equal to the rays read. Refused: a RayFileError whose text
// names the file; nothing else escapes.

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "output/ray_file_reader.h"

namespace lucidra::fuzz {

inline const std::string& scratch_ray_file() {
  static const std::string path = "/tmp/lucidra-fuzz-ray-" + std::to_string(::getpid());
  return path;
}

inline void check_ray_file(std::string_view bytes, RayFileKind kind) {
  const std::string& path = scratch_ray_file();
  std::FILE* file = std::fopen(path.c_str(), "wb");
  check(file != nullptr, "the scratch file cannot be created");
  check(std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size(), "the scratch file cannot be written");
  std::fclose(file);
  std::int64_t seen = 0;
  try {
    const RayFileReadResult result = read_ray_file(
        path, kind, 2,
        [](const RayRecord* rays, std::size_t n) -> std::shared_ptr<void> {
          for (std::size_t i = 0; i < n; ++i) {
            const RayRecord& r = rays[i];
            check(std::isfinite(r.x) && std::isfinite(r.y) && std::isfinite(r.z) && std::isfinite(r.dx) &&
                      std::isfinite(r.dy) && std::isfinite(r.dz) && std::isfinite(r.flux),
                  "a ray with a value that is not finite was accepted");
          }
          return std::make_shared<std::int64_t>(static_cast<std::int64_t>(n));
        },
        [&](std::shared_ptr<void> partial) { seen += *static_cast<std::int64_t*>(partial.get()); });
    check(result.rays > 0, "a file without rays was accepted");
    check(seen == result.rays, "the rays handed out differ from the rays counted");
    if (result.kind == RayFileKind::ZemaxBinary || result.kind == RayFileKind::Tm25) {
      check(result.headerCount == result.rays, "a binary header's count differs from the rays read");
    }
  } catch (const RayFileError& error) {
    const std::string_view message = error.what();
    check(message.substr(0, 9 + path.size()) == "Ray file " + path, "the message does not name the file");
    check(message.size() < 1000, "the message is unbounded");
  }
}

}  // namespace lucidra::fuzz
