#pragma once
// The ray file: a TracePro or Zemax header, then N + 1 ray lines of seven
// "%e" numbers. Every line ends with CR LF on every platform.

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <new>
#include <string>
#include <string_view>

#include "base/ray_record.h"
#include "output/output_target.h"

namespace lucidra {

// Longest ray line of any text format: eight numbers (seven, and a
// wavelength) of up to 15 characters (a float32's shortest text,
// LightTools; "%e" needs 14), seven blanks, CR LF.
inline constexpr int kMaxRayLineLength = 8 * 15 + 7 + 2;

// Writes one ray line (with its CR LF) and returns its end. `out` needs
// kMaxRayLineLength characters.
char* format_ray_line(const RayRecord& ray, char* out) noexcept;
// The same with the wavelength as an eighth "%e" number, in micrometres as
// the TracePro and Zemax text loaders take it.
char* format_spectral_ray_line(const RayRecord& ray, char* out) noexcept;

// Writes one ray's bytes in a ray file's layout and returns their end: a text
// line (format_ray_line) or a binary record (binary_ray_file.h), which may be
// left out (nothing written). `out` needs kMaxRayLineLength bytes.
using RayEncoder = char* (*)(const RayRecord& ray, char* out) noexcept;

// "30000 4 \r\n"
std::string zemax_header(std::int32_t rayCount);
// Six lines; lines 4 to 6 show the three values in "%f" (the run passes
// the first distribution file's angles 1, 5 and 14).
std::string tracepro_header(const std::array<double, 3>& ignoredAngles);

// A ray file open for writing. Output goes through a large buffer; every
// write is checked, and any failure throws OutputFileError naming the file
// and the system's reason. The file takes the place of an existing one only
// at commit(): until then, and after discard(), the previous file is as it
// was (devices, pipes and "-", standard output, are written directly).
class RayFileWriter {
 public:
  explicit RayFileWriter(std::string path, std::size_t bufferBytes = std::size_t{1} << 22);
  ~RayFileWriter();  // discards what was not committed
  RayFileWriter(const RayFileWriter&) = delete;
  RayFileWriter& operator=(const RayFileWriter&) = delete;

  // Appends bytes (a header) to the file.
  void write(std::string_view bytes);
  void write_ray(const RayRecord& ray) {
    if (capacity_ - used_ < static_cast<std::size_t>(kMaxRayLineLength)) flush_buffer();
    used_ = static_cast<std::size_t>(format_ray_line(ray, buffer_.get() + used_) - buffer_.get());
  }
  // A ray file whose header states what follows (the records and their
  // total flux), made by `header(records, flux)` (always the same size).
  // Where the header can be written again (a file, a seekable device), a
  // placeholder is written now and the header again at commit with the
  // records and flux written, and on discard of a direct output with what
  // it then holds; otherwise (a pipe, a terminal) the header is written now
  // with the planned count and flux, and commit refuses a file that holds
  // another number of records when the header counts them.
  using BinaryHeader = std::function<std::string(std::uint64_t records, double flux)>;
  struct Layout {
    BinaryHeader header;
    RayEncoder encoder = &format_ray_line;
    std::size_t recordBytes = 0;  // binary records; 0: text lines, counted by their line ends
    bool rewriteHeader = true;
    bool countInHeader = true;
    std::size_t fluxOffset = 6 * 4;  // where a binary record holds its flux
    std::string trailer;             // written at commit, after the last ray
    std::uint64_t plannedRecords = 0;
    double plannedFlux = 0;
  };
  void begin(Layout layout);
  void begin_binary(BinaryHeader header, RayEncoder recordEncoder, std::uint64_t plannedRecords) {
    Layout layout;
    layout.header = std::move(header);
    layout.encoder = recordEncoder;
    layout.recordBytes = kBinaryRecordBytes_;
    layout.plannedRecords = plannedRecords;
    begin(std::move(layout));
  }
  // The flux of text lines, which the writer does not read back: the run
  // gives the sum of the values it wrote before commit. Binary records
  // keep the sum of their own float32 flux.
  void set_line_flux(double flux) {
    if (layout_.recordBytes == 0) recordFlux_ = flux;
  }
  // Whole binary records (kBinaryRecordBytes each): counted, and their
  // float32 flux added in file order, for the header.
  void write_records(std::string_view bytes);
  bool header_rewritable() const { return target_.rewritable(); }
  // How this file's rays are encoded, and their bytes written: records
  // counted for a binary header, lines as they are.
  RayEncoder encoder() const { return encoder_; }
  // Bytes a ray takes in the file: a binary record's, or at most a text line's.
  std::size_t bytes_per_ray() const {
    return layout_.recordBytes != 0 ? layout_.recordBytes : static_cast<std::size_t>(kMaxRayLineLength);
  }
  // Text lines of another layout (a wavelength column) for a file whose
  // header is written once, without begin().
  void set_text_encoder(RayEncoder lineEncoder) { encoder_ = lineEncoder; }
  void write_rays(std::string_view bytes) {
    if (layout_.recordBytes != 0) {
      write_records(bytes);
    } else {
      if (layout_.header) records_ += static_cast<std::uint64_t>(std::count(bytes.begin(), bytes.end(), '\n'));
      write(bytes);
    }
  }
  std::uint64_t records() const { return records_; }

  // Flushes, closes and puts the file in place; throws if anything failed.
  // Idempotent.
  void commit();
  // Gives the file up: the previous file stays as it was. Never throws.
  void discard() noexcept;

  const std::string& path() const { return path_; }
  bool is_open() const { return target_.stream() != nullptr; }
  bool direct() const { return target_.direct(); }
  // A write or the commit failed: the file was given up.
  bool failed() const { return failed_; }
  bool replaces_existing() const { return target_.replaces_existing(); }

 private:
  void flush_buffer();
  // Everything in the buffer to the file, the last partial block included.
  void flush_all();
  void release_buffer();
  void write_header(std::uint64_t records, double flux);
  [[noreturn]] void fail(std::string_view what, int error);

  std::string path_;
  OutputTarget target_;
  bool failed_ = false;
  // Aligned for writes that bypass the page cache.
  struct AlignedDelete {
    void operator()(char* p) const noexcept {
      ::operator delete[](p, std::align_val_t{OutputTarget::kDirectAlignment});
    }
  };
  std::unique_ptr<char[], AlignedDelete> buffer_;
  std::size_t capacity_ = 0;
  // Spans at least this long skip the buffer when direct writes are off.
  static constexpr std::size_t kPassThroughBytes = std::size_t{64} << 10;
  std::size_t used_ = 0;
  bool unbufferedTried_ = false;
  static constexpr std::size_t kBinaryRecordBytes_ = 28;
  Layout layout_;  // header empty: a text file with its header written once
  RayEncoder encoder_ = &format_ray_line;
  bool headerLast_ = false;
  long headerOffset_ = 0;
  std::uint64_t records_ = 0;
  double recordFlux_ = 0;
};

}  // namespace lucidra
