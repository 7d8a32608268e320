#pragma once
// Little-endian bytes built by hand, field by field, from a format's
// published layout: the golden values binary headers and records are
// compared with, made without the code under test.

#include <cstdint>
#include <cstring>
#include <string>

#include "base/ray_record.h"

namespace lucidra::testing {

class Bytes {
 public:
  Bytes& u32(std::uint32_t v) {
    for (int i = 0; i < 4; ++i) text_ += static_cast<char>((v >> (8 * i)) & 0xFF);
    return *this;
  }
  Bytes& i32(std::int32_t v) { return u32(static_cast<std::uint32_t>(v)); }
  Bytes& u64(std::uint64_t v) { return u32(static_cast<std::uint32_t>(v)).u32(static_cast<std::uint32_t>(v >> 32)); }
  Bytes& f32(float v) {
    std::uint32_t bits = 0;
    std::memcpy(&bits, &v, 4);
    return u32(bits);
  }
  Bytes& text(const std::string& t) {
    text_ += t;
    return *this;
  }
  // A fixed-width field, padded with zero bytes.
  Bytes& text(const std::string& t, std::size_t width) {
    std::string field = t;
    field.resize(width, '\0');
    text_ += field;
    return *this;
  }
  Bytes& utf32(const std::u32string& t, std::size_t chars) {
    for (std::size_t i = 0; i < chars; ++i) u32(i < t.size() ? static_cast<std::uint32_t>(t[i]) : 0);
    return *this;
  }
  Bytes& zeros(std::size_t n) {
    text_.append(n, '\0');
    return *this;
  }
  // x, y, z, the direction and the flux as seven float32.
  Bytes& ray(const RayRecord& r) {
    return f32(static_cast<float>(r.x))
        .f32(static_cast<float>(r.y))
        .f32(static_cast<float>(r.z))
        .f32(static_cast<float>(r.dx))
        .f32(static_cast<float>(r.dy))
        .f32(static_cast<float>(r.dz))
        .f32(static_cast<float>(r.flux));
  }
  const std::string& str() const { return text_; }

 private:
  std::string text_;
};

}  // namespace lucidra::testing
