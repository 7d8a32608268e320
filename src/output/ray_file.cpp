#include "output/ray_file.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <system_error>
#include <utility>

#include "base/platform_file.h"
#include "engine/user_error.h"
#include "output/format_e.h"

namespace lucidra {
namespace {

// "%f" in the classic convention (decimal point, six decimals) whatever the
// process's locale.
void append_fixed6(std::string& text, double value) {
  char buffer[400];  // 309 integer digits of the largest double, sign, point, six decimals
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 6);
  text.append(buffer, result.ptr);
}

std::string system_reason(int error) { return std::generic_category().message(error); }

// Buffers smaller than this could not take one ray line.
constexpr std::size_t kMinimumBuffer = 4096;

}  // namespace

char* format_ray_line(const RayRecord& ray, char* out) noexcept {
  out = format_e(ray.x, out);
  *out++ = ' ';
  out = format_e(ray.y, out);
  *out++ = ' ';
  out = format_e(ray.z, out);
  *out++ = ' ';
  out = format_e(ray.dx, out);
  *out++ = ' ';
  out = format_e(ray.dy, out);
  *out++ = ' ';
  out = format_e(ray.dz, out);
  *out++ = ' ';
  out = format_e(ray.flux, out);
  out[0] = '\r';
  out[1] = '\n';
  return out + 2;
}

std::string zemax_header(std::int32_t rayCount) {
  std::string text = std::to_string(rayCount);
  text += " 4 \r\n";
  return text;
}

std::string tracepro_header(const AngularDistribution& longitudinal) {
  std::string text =
      "!! Source file: F:quorvelan.oml \r\n"
      "\r\n"
      "TracePro Release: 3 2 5 \r\n";
  // The first, fifth and fourteenth angles of the file, each marked as
  // ignored; slots past the file's values hold 0.
  for (const int slot : {1, 5, 14}) {
    append_fixed6(text, longitudinal.angle[static_cast<std::size_t>(slot)]);
    text += " ignored \r\n";
  }
  return text;
}

RayFileWriter::RayFileWriter(std::string path, std::size_t bufferBytes)
    : path_(std::move(path)), capacity_(std::max(bufferBytes, kMinimumBuffer)) {
  // A folder cannot become a ray file; say so plainly rather than relying on
  // how the platform words it.
  std::error_code ignored;
  if (!path_.empty() && std::filesystem::is_directory(path_from_utf8(path_), ignored)) {
    throw OutputFileError("Cannot create ray file " + path_ + ": " + system_reason(EISDIR));
  }
  // Binary mode: the lines carry their own CR LF.
  file_ = open_file(path_, "w+b");
  if (file_ == nullptr) {
    throw OutputFileError("Cannot create ray file " + path_ + ": " + system_reason(errno));
  }
  // Our own buffer does the batching; the stream passes each block straight
  // through, so a failing write shows at once with its errno.
  std::setvbuf(file_, nullptr, _IONBF, 0);
  buffer_ = std::make_unique<char[]>(capacity_);
}

RayFileWriter::~RayFileWriter() {
  if (file_ == nullptr) return;
  // Whatever was written so far reaches the file; errors have nobody to go to.
  if (used_ > 0) std::fwrite(buffer_.get(), 1, used_, file_);
  std::fclose(file_);
}

void RayFileWriter::write(std::string_view bytes) {
  if (bytes.empty()) return;
  if (capacity_ - used_ < bytes.size()) {
    flush_buffer();
    if (bytes.size() > capacity_) {
      errno = 0;
      if (std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size()) fail("write", errno);
      return;
    }
  }
  std::memcpy(buffer_.get() + used_, bytes.data(), bytes.size());
  used_ += bytes.size();
}

void RayFileWriter::flush_buffer() {
  if (file_ == nullptr) throw std::logic_error("ray file " + path_ + " written after it was closed");
  if (used_ == 0) return;
  errno = 0;
  const std::size_t written = std::fwrite(buffer_.get(), 1, used_, file_);
  if (written != used_) fail("write", errno);
  used_ = 0;
}

void RayFileWriter::close() {
  if (file_ == nullptr) return;
  flush_buffer();
  errno = 0;
  if (std::fflush(file_) != 0) fail("write", errno);
  release_buffer();
  std::FILE* file = std::exchange(file_, nullptr);
  errno = 0;
  if (std::fclose(file) != 0) fail("close", errno);
}

void RayFileWriter::release_buffer() {
  buffer_.reset();
  capacity_ = 0;
  used_ = 0;
}

void RayFileWriter::fail(std::string_view what, int error) {
  // The file is given up: nothing more can be written to it, and close()
  // and the destructor have nothing left to do.
  release_buffer();
  if (file_ != nullptr) std::fclose(std::exchange(file_, nullptr));
  std::string message = "Cannot ";
  message += what;
  message += " ray file ";
  message += path_;
  message += ": ";
  // A short write without a reason from the system is a full medium in
  // practice.
  message += system_reason(error != 0 ? error : ENOSPC);
  throw OutputFileError(message);
}

}  // namespace lucidra
