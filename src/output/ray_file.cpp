#include "output/ray_file.h"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <system_error>
#include <utility>

#include "base/repeated_sum.h"
#include "base/user_error.h"
#include "output/binary_ray_file.h"
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

// Buffers smaller than this could not take one ray line behind the partial
// block that an unbuffered write leaves at the buffer's start.
constexpr std::size_t kMinimumBuffer = 2 * OutputTarget::kDirectAlignment;

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

char* format_spectral_ray_line(const RayRecord& ray, char* out) noexcept {
  out = format_ray_line(ray, out) - 2;
  *out++ = ' ';
  out = format_e_near_one(ray.wavelength * 1e-3, out);  // micrometres: 0.2 to 2.5
  out[0] = '\r';
  out[1] = '\n';
  return out + 2;
}

std::string zemax_header(std::int32_t rayCount) {
  std::string text = std::to_string(rayCount);
  text += " 4 \r\n";
  return text;
}

std::string tracepro_header(const std::array<double, 3>& ignoredAngles) {
  std::string text =
      "!! Source file: F:quorvelan.oml \r\n"
      "\r\n"
      "TracePro Release: 3 2 5 \r\n";
  // The first, fifth and fourteenth angles of the file, each marked as
  // ignored; slots past the file's values hold 0.
  for (const double angle : ignoredAngles) {
    append_fixed6(text, angle);
    text += " ignored \r\n";
  }
  return text;
}

RayFileWriter::RayFileWriter(std::string path, std::size_t bufferBytes)
    : path_(std::move(path)),
      capacity_((std::max(bufferBytes, kMinimumBuffer) + OutputTarget::kDirectAlignment - 1) /
                OutputTarget::kDirectAlignment * OutputTarget::kDirectAlignment) {
  int error = 0;
  if (path_.empty() || !target_.open(path_, error)) {
    const std::string& refusal = target_.refusal();
    throw OutputFileError("Cannot create ray file " + path_ + ": " +
                          (refusal.empty() ? system_reason(path_.empty() ? ENOENT : error) : refusal));
  }
  // Our own buffer does the batching; the stream passes each block straight
  // through, so a failing write shows at once with its errno.
  std::setvbuf(target_.stream(), nullptr, _IONBF, 0);
  buffer_.reset(static_cast<char*>(::operator new[](capacity_, std::align_val_t{OutputTarget::kDirectAlignment})));
}

RayFileWriter::~RayFileWriter() { discard(); }

void RayFileWriter::write(std::string_view bytes) {
  // Once direct writes are known not to be taken (a pipe, a device, a file
  // system without them), a large span goes to the C library as it is,
  // after what the buffer holds: one copy of every byte less.
  if (unbufferedTried_ && !target_.unbuffered_writes() && bytes.size() >= kPassThroughBytes) {
    flush_buffer();
    errno = 0;
    if (std::fwrite(bytes.data(), 1, bytes.size(), target_.stream()) != bytes.size()) fail("write", errno);
    return;
  }
  // Through the buffer, a buffer-full at a time: writes past the page cache
  // need its alignment, and the order of the bytes is the file's.
  while (!bytes.empty()) {
    if (used_ == capacity_) flush_buffer();
    const std::size_t n = std::min(bytes.size(), capacity_ - used_);
    std::memcpy(buffer_.get() + used_, bytes.data(), n);
    used_ += n;
    bytes.remove_prefix(n);
  }
}

void RayFileWriter::flush_buffer() {
  if (target_.stream() == nullptr) throw std::logic_error("ray file " + path_ + " written after it was closed");
  if (used_ == 0) return;
  constexpr std::size_t kAlign = OutputTarget::kDirectAlignment;
  // A file that outgrows the buffer is written past the page cache: the
  // copy into the cache and its writeback would otherwise take a core from
  // the drawing. Only from an aligned place in the file, which the first
  // full buffer is.
  if (!unbufferedTried_ && used_ >= capacity_ / 2) {
    unbufferedTried_ = true;
    const long at = std::ftell(target_.stream());
    if (at >= 0 && static_cast<std::size_t>(at) % kAlign == 0) target_.begin_unbuffered_writes();
  }
  if (target_.unbuffered_writes()) {
    // Whole blocks go now; the rest waits at the buffer's start for more.
    const std::size_t whole = used_ / kAlign * kAlign;
    if (whole == 0) return;
    const int error = target_.write_unbuffered(buffer_.get(), whole);
    if (error == 0) {
      std::memmove(buffer_.get(), buffer_.get() + whole, used_ - whole);
      used_ -= whole;
      return;
    }
    if (error != EINVAL) fail("write", error);
    // Refused after all: the same bytes go the ordinary way.
    if (const int endError = target_.end_unbuffered_writes(); endError != 0) fail("write", endError);
  }
  errno = 0;
  const std::size_t written = std::fwrite(buffer_.get(), 1, used_, target_.stream());
  if (written != used_) fail("write", errno);
  used_ = 0;
}

void RayFileWriter::flush_all() {
  flush_buffer();
  // Unbuffered writes leave the last partial block in the buffer.
  if (!target_.unbuffered_writes()) return;
  if (const int error = target_.end_unbuffered_writes(); error != 0) fail("write", error);
  flush_buffer();
}

void RayFileWriter::begin(Layout layout) {
  layout_ = std::move(layout);
  encoder_ = layout_.encoder;
  headerLast_ = layout_.rewriteHeader && target_.rewritable();
  if (headerLast_) {
    flush_buffer();
    headerOffset_ = std::ftell(target_.stream());
    headerLast_ = headerOffset_ >= 0;
  }
  write(headerLast_ ? layout_.header(0, 0) : layout_.header(layout_.plannedRecords, layout_.plannedFlux));
}

void RayFileWriter::write_records(std::string_view bytes) {
  // The flux of every record, added in file order as a reader adds it, and
  // whether a value is beyond single precision (it became an infinity: such
  // a file would pass for a good one in every tool that reads it). Both a
  // block of records at a time, so the bytes come from memory once; the
  // checks without a branch a value (which the compiler vectorises), then,
  // only when they find one, the search for its ray. Equal-flux records
  // (every one with the span's first flux) are added in a few steps at the
  // end of a run of such blocks, others one by one.
  const std::size_t recordBytes = layout_.recordBytes;
  const std::size_t blockBytes = 64 * recordBytes;
  const std::uint32_t common = bytes.size() >= recordBytes ? get_u32(bytes.data() + layout_.fluxOffset) : 0;
  const double commonFlux = static_cast<double>(std::bit_cast<float>(common));
  std::uint64_t pending = 0;  // records with the common flux not added yet
  std::uint32_t infinite = 0;
  for (std::size_t block = 0; block < bytes.size(); block += blockBytes) {
    const std::size_t end = std::min(bytes.size(), block + blockBytes);
    std::uint32_t differs = 0;
    std::uint64_t records = 0;
    for (std::size_t at = block + layout_.fluxOffset; at < end; at += recordBytes, ++records) {
      differs |= get_u32(bytes.data() + at) ^ common;
    }
    for (std::size_t at = block; at + 4 <= end; at += 4) {
      infinite |= static_cast<std::uint32_t>((get_u32(bytes.data() + at) & 0x7F800000u) == 0x7F800000u);
    }
    if (differs == 0) {
      pending += records;
      continue;
    }
    recordFlux_ = add_repeatedly(recordFlux_, commonFlux, pending);
    pending = 0;
    for (std::size_t at = block + layout_.fluxOffset; at < end; at += recordBytes) {
      recordFlux_ += static_cast<double>(get_f32(bytes.data() + at));
    }
  }
  recordFlux_ = add_repeatedly(recordFlux_, commonFlux, pending);
  for (std::size_t at = 0; infinite != 0 && at + 4 <= bytes.size(); at += 4) {
    if ((get_u32(bytes.data() + at) & 0x7F800000u) == 0x7F800000u) {
      const std::uint64_t ray = records_ + at / recordBytes + 1;
      failed_ = true;
      discard();
      throw OutputFileError("Cannot write ray file " + path_ + ": ray " + std::to_string(ray) +
                            " holds a value beyond the single precision of the format (at most 3.4e38); lower "
                            "the size, the source flux or the intensities");
    }
  }
  records_ += bytes.size() / recordBytes;
  write(bytes);
}

void RayFileWriter::write_header(std::uint64_t records, double flux) {
  flush_all();
  const std::string header = layout_.header(records, flux);
  errno = 0;
  if (std::fflush(target_.stream()) != 0) fail("write", errno);
  if (std::fseek(target_.stream(), headerOffset_, SEEK_SET) != 0) fail("write", errno);
  if (std::fwrite(header.data(), 1, header.size(), target_.stream()) != header.size()) fail("write", errno);
  if (std::fseek(target_.stream(), 0, SEEK_END) != 0) fail("write", errno);
}

void RayFileWriter::commit() {
  if (target_.stream() == nullptr) return;
  write(layout_.trailer);
  flush_all();
  errno = 0;
  if (std::fflush(target_.stream()) != 0) fail("write", errno);
  if (layout_.header && headerLast_) {
    write_header(records_, recordFlux_);
  } else if (layout_.header && layout_.countInHeader && records_ != layout_.plannedRecords) {
    // A pipe's header went out first: a file that holds another number of
    // records than it announces is not passed off as complete.
    failed_ = true;
    discard();
    throw OutputFileError("Cannot complete ray file " + path_ + ": its header announces " +
                          std::to_string(layout_.plannedRecords) + " rays but " + std::to_string(records_) +
                          " were written");
  }
  release_buffer();
  const int error = target_.commit();
  if (error != 0) fail("close", error);
}

void RayFileWriter::discard() noexcept {
  // A direct output keeps what was written, all of it: the rays counted
  // as written are then exactly the rays its reader got.
  if (direct() && !failed_ && target_.stream() != nullptr && used_ > 0) {
    if (std::fwrite(buffer_.get(), 1, used_, target_.stream()) != used_) failed_ = true;
    used_ = 0;
  }
  // A direct binary output keeps what was written: its header then counts
  // exactly the records it holds.
  if (layout_.header && headerLast_ && direct() && !failed_ && target_.stream() != nullptr) {
    try {
      write_header(records_, recordFlux_);
    } catch (...) {
      failed_ = true;  // the file says it is incomplete; nothing more to do
    }
  }
  release_buffer();
  target_.discard();
}

void RayFileWriter::release_buffer() {
  buffer_.reset();
  capacity_ = 0;
  used_ = 0;
}

void RayFileWriter::fail(std::string_view what, int error) {
  // The file is given up: nothing more can be written to it.
  failed_ = true;
  discard();
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
