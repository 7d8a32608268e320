#pragma once
// Checks inside fuzz targets. A broken expectation prints what was expected
// and aborts, which libFuzzer records as a crash with its input and the
// corpus replay test reports as a failure.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace lucidra::fuzz {

[[noreturn]] inline void fail(std::string_view what) {
  std::fprintf(stderr, "fuzz check failed: %.*s\n", static_cast<int>(what.size()), what.data());
  std::abort();
}

inline void check(bool condition, std::string_view what) {
  if (!condition) fail(what);
}

inline std::string_view as_text(const std::uint8_t* data, std::size_t size) {
  return {reinterpret_cast<const char*>(data), size};
}

// The end every conversion message has, after the quoted text.
inline bool ends_with(std::string_view text, std::string_view tail) {
  return text.size() >= tail.size() && text.substr(text.size() - tail.size()) == tail;
}

}  // namespace lucidra::fuzz
