#include "output/ray_file_reader.h"

#include "output/binary_ray_file.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <deque>
#include <future>
#include <optional>
#include <vector>

namespace lucidra {
namespace {

// Powers of ten a double holds exactly: a seven-digit mantissa times or
// divided by one of them is rounded once, so the result is the correctly
// rounded value of the decimal text.
constexpr double kExactPow10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                  1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

constexpr std::size_t kBlockBytes = std::size_t{4} << 20;
// Longest line a text ray file may hold: a ray line takes at most 106 bytes,
// a header line a few dozen. A file without line breaks (or /dev/zero) is
// refused here instead of being held in memory.
constexpr std::size_t kMaxLineBytes = 4096;
// Most pairs a TM-25 spectral table may hold where the file's size is not
// known (a pipe): far beyond any measured spectrum.
constexpr std::uint64_t kMaxSpectralPairs = std::uint64_t{1} << 20;

bool is_digit(char c) { return c >= '0' && c <= '9'; }
bool is_blank(char c) { return c == ' ' || c == '\t'; }

std::string line_text(std::string_view line) {
  std::string shown(line.substr(0, 120));
  for (char& c : shown) {
    if (static_cast<unsigned char>(c) < 0x20 && c != '\t') c = '?';
  }
  return line.size() > 120 ? shown + "..." : shown;
}

[[noreturn]] void fail(const std::string& path, std::int64_t line, const std::string& what) {
  throw RayFileError("Ray file " + path + (line > 0 ? ", line " + std::to_string(line) : std::string()) + ": " + what);
}

std::string too_long() { return "is longer than " + std::to_string(kMaxLineBytes) + " bytes; is it a ray file?"; }

std::string describe(RayLineStatus status, int numbers, std::string_view line) {
  if (status == RayLineStatus::NotANumber) {
    std::string text = "'";  // appended piecewise: GCC 12 warns falsely on a chain of + here
    text += line_text(line);
    text += "' is not a ray of seven numbers";
    return text;
  }
  return "a ray line needs 7 numbers, this one has " + (numbers > 7 ? std::string("more") : std::to_string(numbers));
}

// A Zemax header: a whole number, then the 4 of the text format.
std::optional<std::int64_t> zemax_count(std::string_view line) {
  std::size_t i = 0;
  while (i < line.size() && is_blank(line[i])) ++i;
  std::int64_t n = 0;
  const auto [ptr, ec] = std::from_chars(line.data() + i, line.data() + line.size(), n);
  if (ec != std::errc() || ptr == line.data() + i) return std::nullopt;
  std::string_view rest(ptr, static_cast<std::size_t>(line.data() + line.size() - ptr));
  std::size_t j = 0;
  if (j >= rest.size() || !is_blank(rest[j])) return std::nullopt;
  while (j < rest.size() && is_blank(rest[j])) ++j;
  if (j >= rest.size() || rest[j] != '4') return std::nullopt;
  ++j;
  while (j < rest.size() && is_blank(rest[j])) ++j;
  if (j != rest.size()) return std::nullopt;
  return n;
}

// Splits off the next line of [p, end), without its CR LF or LF.
std::string_view next_line(const char*& p, const char* end) {
  const char* nl = static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p)));
  const char* lineEnd = nl ? nl : end;
  std::string_view line(p, static_cast<std::size_t>(lineEnd - p));
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  p = nl ? nl + 1 : end;
  return line;
}

struct BlockResult {
  std::int64_t lines = 0;
  std::int64_t rays = 0;
  std::int64_t errorLine = 0;  // 1-based within the block; 0 for none
  std::string error;
  std::shared_ptr<void> partial;
};

BlockResult parse_block(std::string bytes, const RayBlockWork& work) {
  BlockResult result;
  std::vector<RayRecord> rays;
  rays.reserve(bytes.size() / 90 + 1);
  const char* p = bytes.data();
  const char* end = p + bytes.size();
  while (p < end) {
    const std::string_view line = next_line(p, end);
    ++result.lines;
    if (line.size() > kMaxLineBytes) {
      result.errorLine = result.lines;
      result.error = "the line " + too_long();
      break;
    }
    RayRecord ray;
    int numbers = 0;
    const RayLineStatus status = parse_ray_line(line, ray, numbers);
    if (status == RayLineStatus::Ray) {
      rays.push_back(ray);
    } else if (status != RayLineStatus::Blank) {
      result.errorLine = result.lines;
      result.error = describe(status, numbers, line);
      break;
    }
  }
  result.rays = static_cast<std::int64_t>(rays.size());
  if (!rays.empty()) result.partial = work(rays.data(), rays.size());
  return result;
}

class FileHandle {
 public:
  explicit FileHandle(const std::string& path) : file_(std::fopen(path.c_str(), "rb")) {}
  ~FileHandle() {
    if (file_) std::fclose(file_);
  }
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;
  std::FILE* get() const { return file_; }

 private:
  std::FILE* file_;
};

}  // namespace

const char* parse_ray_number(const char* p, const char* end, double& value) noexcept {
  // Fast path: [-]d.dddddde(+|-)dd[d]
  const char* q = p;
  const bool negative = q < end && *q == '-';
  if (negative) ++q;
  if (end - q >= 12 && is_digit(q[0]) && q[1] == '.' && is_digit(q[2]) && is_digit(q[3]) && is_digit(q[4]) &&
      is_digit(q[5]) && is_digit(q[6]) && is_digit(q[7]) && (q[8] == 'e' || q[8] == 'E') &&
      (q[9] == '+' || q[9] == '-') && is_digit(q[10]) && is_digit(q[11])) {
    std::int64_t mantissa = q[0] - '0';
    for (int i = 2; i <= 7; ++i) mantissa = mantissa * 10 + (q[i] - '0');
    int exponent = (q[10] - '0') * 10 + (q[11] - '0');
    const char* after = q + 12;
    if (after < end && is_digit(*after)) {
      exponent = exponent * 10 + (*after - '0');
      ++after;
    }
    if (after == end || !is_digit(*after)) {
      const int shift = (q[9] == '-' ? -exponent : exponent) - 6;
      if (shift >= -22 && shift <= 22) {
        const auto m = static_cast<double>(mantissa);
        const double v = shift >= 0 ? m * kExactPow10[shift] : m / kExactPow10[-shift];
        value = negative ? -v : v;
        return after;
      }
    }
  }
  // General path: the number runs to the next blank or the end.
  const char* tokenEnd = p;
  while (tokenEnd < end && !is_blank(*tokenEnd)) ++tokenEnd;
  const char* first = p;
  if (first < tokenEnd && *first == '+') ++first;
  const auto [ptr, ec] = std::from_chars(first, tokenEnd, value, std::chars_format::general);
  if (ec != std::errc() || ptr != tokenEnd || !std::isfinite(value)) return nullptr;
  return tokenEnd;
}

RayLineStatus parse_ray_line(std::string_view line, RayRecord& ray, int& numbers) noexcept {
  const char* p = line.data();
  const char* end = p + line.size();
  double v[8];
  numbers = 0;
  for (;;) {
    while (p < end && is_blank(*p)) ++p;
    if (p == end) break;
    if (numbers == 8) {
      numbers = 9;
      return RayLineStatus::WrongCount;
    }
    double value = 0;
    const char* next = parse_ray_number(p, end, value);
    if (next == nullptr || (next < end && !is_blank(*next))) return RayLineStatus::NotANumber;
    v[numbers++] = value;
    p = next;
  }
  if (numbers == 0) return RayLineStatus::Blank;
  if (numbers < 7) return RayLineStatus::WrongCount;
  ray = RayRecord{v[0], v[1], v[2], v[3], v[4], v[5], v[6]};
  // An eighth number is the ray's wavelength, in micrometres as the
  // TracePro and Zemax text loaders read it.
  if (numbers == 8) ray.wavelength = v[7] * 1000;
  return RayLineStatus::Ray;
}

const char* ray_file_kind_name(RayFileKind kind) {
  switch (kind) {
    case RayFileKind::TracePro: return "TracePro text";
    case RayFileKind::Zemax: return "Zemax text";
    case RayFileKind::ZemaxBinary: return "Zemax binary";
    case RayFileKind::Tm25: return "TM-25";
    case RayFileKind::LightTools: return "LightTools binary";
    case RayFileKind::LightToolsText: return "LightTools text";
    case RayFileKind::Asap: return "ASAP (dis)";
    case RayFileKind::Auto: break;
  }
  return "ray file";
}

RayFileReadResult read_text_ray_file(const std::string& path, RayFileKind kind, unsigned threads,
                                     const RayBlockWork& work, const RayBlockMerge& merge) {
  FileHandle file(path);
  if (!file.get()) fail(path, 0, std::string("cannot be opened: ") + std::strerror(errno));
  RayFileReadResult result;
  if (threads < 1) threads = 1;

  std::string pending;  // bytes read but not yet handed out (an incomplete last line)
  std::vector<char> buffer(kBlockBytes);
  bool atEnd = false;
  std::int64_t linesHandedOut = 0;
  // The next run of whole lines, or everything left at the end of the file.
  const auto next_block = [&]() -> std::optional<std::string> {
    while (!atEnd) {
      const std::size_t got = std::fread(buffer.data(), 1, buffer.size(), file.get());
      if (got < buffer.size()) {
        if (std::ferror(file.get())) fail(path, 0, std::string("cannot be read: ") + std::strerror(errno));
        atEnd = true;
      }
      pending.append(buffer.data(), got);
      const auto lastNewline = pending.rfind('\n');
      const std::size_t tail = lastNewline == std::string::npos ? pending.size() : pending.size() - lastNewline - 1;
      if (tail > kMaxLineBytes) {
        const auto whole = lastNewline == std::string::npos ? 0 : lastNewline + 1;
        const auto before = std::count(pending.begin(), pending.begin() + static_cast<std::ptrdiff_t>(whole), '\n');
        fail(path, linesHandedOut + before + 1, "the line " + too_long());
      }
      if (lastNewline != std::string::npos && (pending.size() >= kBlockBytes || atEnd)) {
        std::string block = pending.substr(0, lastNewline + 1);
        pending.erase(0, lastNewline + 1);
        linesHandedOut += std::count(block.begin(), block.end(), '\n');
        return block;
      }
    }
    if (pending.empty()) return std::nullopt;
    std::string block;
    block.swap(pending);
    return block;
  };

  // The header, from the first block.
  std::optional<std::string> first = next_block();
  if (!first) fail(path, 0, "is empty");
  std::int64_t line = 0;
  const char* p = first->data();
  const char* end = p + first->size();
  {
    const char* q = p;
    const std::string_view firstLine = next_line(q, end);
    const auto count = zemax_count(firstLine);
    if (kind != RayFileKind::TracePro && kind != RayFileKind::Zemax) {
      kind = count ? RayFileKind::Zemax : RayFileKind::TracePro;
    }
    result.kind = kind;
    if (kind == RayFileKind::Zemax) {
      if (!count) fail(path, 1, "'" + line_text(firstLine) + "' is not a Zemax header (the number of rays, then 4)");
      if (*count < 0) fail(path, 1, "the header announces a negative number of rays");
      result.headerCount = *count;
      p = q;
      line = 1;
    } else {
      // TracePro: header lines (comments, the release line, the "ignored"
      // values) up to the first line of seven numbers.
      for (;;) {
        const char* r = p;
        const std::string_view l = next_line(r, end);
        RayRecord ray;
        int numbers = 0;
        if (parse_ray_line(l, ray, numbers) == RayLineStatus::Ray || r == end) break;
        if (line >= 64) fail(path, 0, "no ray line in its first 64 lines; is it a ray file?");
        p = r;
        ++line;
      }
    }
  }
  std::string firstBody(p, static_cast<std::size_t>(end - p));
  first.reset();

  struct InFlight {
    std::int64_t firstLine;
    std::future<BlockResult> result;
  };
  std::deque<InFlight> inFlight;
  std::int64_t nextLine = line + 1;
  const auto finish_one = [&] {
    InFlight f = std::move(inFlight.front());
    inFlight.pop_front();
    BlockResult r = f.result.get();
    if (r.errorLine > 0) {
      while (!inFlight.empty()) {  // let the others end before reporting
        inFlight.front().result.wait();
        inFlight.pop_front();
      }
      fail(path, f.firstLine + r.errorLine - 1, r.error);
    }
    result.rays += r.rays;
    if (r.partial) merge(std::move(r.partial));
  };
  const auto submit = [&](std::string bytes) {
    const auto lines = static_cast<std::int64_t>(std::count(bytes.begin(), bytes.end(), '\n'));
    inFlight.push_back({nextLine, std::async(std::launch::async, parse_block, std::move(bytes), std::cref(work))});
    nextLine += lines;
    while (inFlight.size() > threads) finish_one();
  };
  try {
    submit(std::move(firstBody));
    while (auto block = next_block()) submit(std::move(*block));
    while (!inFlight.empty()) finish_one();
  } catch (...) {
    for (auto& f : inFlight) f.result.wait();
    throw;
  }

  if (result.rays == 0) fail(path, 0, "holds no ray");
  if (kind == RayFileKind::Zemax && result.rays != result.headerCount + 1 && result.rays != result.headerCount) {
    fail(path, 0,
         "the header announces " + std::to_string(result.headerCount) + " rays but the file holds " +
             std::to_string(result.rays) + "; is it cut short?");
  }
  return result;
}

namespace {

// What a binary header says about the records that follow it.
struct BinaryLayout {
  std::uint64_t count = 0;
  double flux = 0;
  std::size_t recordFloats = 7;
  std::size_t fluxIndex = 6;
  std::size_t wavelengthIndex = 0;  // 0: the records carry no wavelength
  double nmPerUnit = 1;             // Zemax writes micrometres
  std::optional<FluxUnit> fluxUnit;
  std::string lengthUnit;
};

void read_exactly(std::FILE* file, const std::string& path, char* out, std::size_t bytes, const char* what) {
  if (std::fread(out, 1, bytes, file) != bytes) {
    if (std::ferror(file)) fail(path, 0, std::string("cannot be read: ") + std::strerror(errno));
    fail(path, 0, std::string("ends within its ") + what + "; is it cut short?");
  }
}

BinaryLayout read_zemax_binary_header(std::FILE* file, const std::string& path) {
  char h[kZemaxHeaderBytes];
  read_exactly(file, path, h, sizeof h, "header");
  const auto identifier = static_cast<std::int32_t>(get_u32(h));
  if (identifier != kZemaxIdentifier) {
    fail(path, 0, "is not a Zemax binary source file (its identifier is " + std::to_string(identifier) + ", not 1010)");
  }
  BinaryLayout layout;
  layout.count = get_u32(h + 4);
  layout.flux = static_cast<double>(get_f32(h + 112));
  static const char* const kUnits[] = {"m", "in", "cm", "ft", "mm"};
  const std::uint32_t units = get_u32(h + 136);
  layout.lengthUnit = units < 5 ? kUnits[units] : "unit code " + std::to_string(units);
  const std::uint32_t fluxType = get_u32(h + 196);
  if (fluxType > 1)
    fail(path, 0, "has flux type " + std::to_string(fluxType) + "; only 0 (watts) and 1 (lumens) exist");
  layout.fluxUnit = fluxType == 1 ? FluxUnit::Lumen : FluxUnit::Watt;
  const auto format = static_cast<std::int32_t>(get_u32(h + 192));
  if (format == 2) {
    layout.recordFloats = 8;  // a wavelength (um) follows the flux
    layout.wavelengthIndex = 7;
    layout.nmPerUnit = 1000;
  } else if (format != 0) {
    fail(path, 0, "has ray format type " + std::to_string(format) + "; only 0 (flux only) and 2 (spectral) are read");
  }
  return layout;
}

// The bytes left in `file` from its position, or -1 where that is not known
// (a pipe).
std::int64_t bytes_left(std::FILE* file) {
  const long here = std::ftell(file);
  if (here < 0 || std::fseek(file, 0, SEEK_END) != 0) return -1;
  const long end = std::ftell(file);
  if (std::fseek(file, here, SEEK_SET) != 0) return -1;
  return end >= here ? end - here : -1;
}

// Reads and drops `bytes` bytes in small steps: a size from the file never
// decides an allocation.
void skip_bytes(std::FILE* file, const std::string& path, std::uint64_t bytes, const char* what) {
  char skip[4096];
  while (bytes > 0) {
    const std::size_t step = bytes < sizeof skip ? static_cast<std::size_t>(bytes) : sizeof skip;
    read_exactly(file, path, skip, step, what);
    bytes -= step;
  }
}

BinaryLayout read_tm25_header(std::FILE* file, const std::string& path) {
  std::vector<char> h(kTm25HeaderBytes);
  read_exactly(file, path, h.data(), h.size(), "header");
  if (std::memcmp(h.data(), "TM25", 4) != 0) fail(path, 0, "is not a TM-25 ray file (it does not begin with TM25)");
  const auto version = static_cast<std::int32_t>(get_u32(h.data() + 4));
  if (version != 2013) fail(path, 0, "is a TM-25 file of version " + std::to_string(version) + "; only 2013 is read");
  BinaryLayout layout;
  layout.count = get_u64(h.data() + 20);
  layout.flux = static_cast<double>(get_f32(h.data() + 16));
  const auto tables = static_cast<std::int32_t>(get_u32(h.data() + 76));
  const auto extraItems = static_cast<std::int32_t>(get_u32(h.data() + 80));
  const auto textBytes = static_cast<std::int32_t>(get_u32(h.data() + 84));
  if (tables < 0 || extraItems < 0 || textBytes < 0 || extraItems > 1000) {
    fail(path, 0, "has a malformed TM-25 header (negative or absurd table, column or text sizes)");
  }
  std::uint32_t flag[8];
  for (std::size_t i = 0; i < 8; ++i) {
    flag[i] = get_u32(h.data() + kTm25FixedHeaderBytes + 4 * i);
    if (flag[i] > 1) fail(path, 0, "has a TM-25 flag that is neither 0 nor 1");
  }
  if (flag[0] != 1 || flag[1] != 1) fail(path, 0, "does not give every ray a position and a direction");
  if (flag[2] == 0 && flag[4] == 0) fail(path, 0, "gives its rays neither a radiant nor a luminous flux");
  // Columns after the direction, in the flags' order: radiant flux,
  // wavelength, luminous flux, Stokes S1..S3, tristimulus X and Z, spectrum
  // index, then the additional items.
  layout.fluxIndex = flag[2] != 0 ? 6 : 6 + flag[3];
  if (flag[3] != 0) layout.wavelengthIndex = 6 + flag[2];  // nm
  // Radiant flux when the rays carry it, else luminous; TM-25 lengths are mm.
  layout.fluxUnit = flag[2] != 0 ? FluxUnit::Watt : FluxUnit::Lumen;
  layout.flux = static_cast<double>(get_f32(h.data() + (flag[2] != 0 ? 16 : 12)));
  layout.lengthUnit = "mm";
  layout.recordFloats =
      6 + flag[2] + flag[3] + flag[4] + 3 * flag[5] + 2 * flag[6] + flag[7] + static_cast<std::size_t>(extraItems);
  // Spectral tables (a count, then pairs of float32), padded to 32 bytes;
  // 512 bytes per additional column name; the additional text.
  const std::int64_t left = bytes_left(file);
  std::uint64_t tableBytes = 0;
  for (std::int32_t t = 0; t < tables; ++t) {
    char countBytes[4];
    read_exactly(file, path, countBytes, 4, "spectral tables");
    const auto pairs = static_cast<std::int32_t>(get_u32(countBytes));
    if (pairs <= 0) fail(path, 0, "has an empty or malformed spectral table");
    const std::uint64_t bytes = static_cast<std::uint64_t>(pairs) * 8;
    if (left >= 0 ? tableBytes + 4 + bytes > static_cast<std::uint64_t>(left)
                  : static_cast<std::uint64_t>(pairs) > kMaxSpectralPairs) {
      fail(path, 0,
           "announces a spectral table of " + std::to_string(pairs) +
               " pairs, more than the file holds; is it cut short?");
    }
    skip_bytes(file, path, bytes, "spectral tables");
    tableBytes += 4 + bytes;
  }
  skip_bytes(file, path,
             (32 - tableBytes % 32) % 32 + 512 * static_cast<std::uint64_t>(extraItems) +
                 static_cast<std::uint64_t>(textBytes),
             "header");
  return layout;
}

struct BinaryBlock {
  std::int64_t rays = 0;
  std::int64_t badRay = 0;  // 1-based within the block: a value that is not finite; 0 for none
  std::shared_ptr<void> partial;
};

BinaryBlock decode_block(std::vector<char> bytes, BinaryLayout layout, const RayBlockWork& work) {
  const std::size_t recordBytes = layout.recordFloats * 4;
  const std::size_t n = bytes.size() / recordBytes;
  std::vector<RayRecord> rays(n);
  for (std::size_t i = 0; i < n; ++i) {
    const char* r = bytes.data() + i * recordBytes;
    rays[i] = RayRecord{get_f32(r),
                        get_f32(r + 4),
                        get_f32(r + 8),
                        get_f32(r + 12),
                        get_f32(r + 16),
                        get_f32(r + 20),
                        get_f32(r + 4 * layout.fluxIndex)};
    if (layout.wavelengthIndex != 0) {
      rays[i].wavelength = static_cast<double>(get_f32(r + 4 * layout.wavelengthIndex)) * layout.nmPerUnit;
    }
    const RayRecord& ray = rays[i];
    if (!std::isfinite(ray.x) || !std::isfinite(ray.y) || !std::isfinite(ray.z) || !std::isfinite(ray.dx) ||
        !std::isfinite(ray.dy) || !std::isfinite(ray.dz) || !std::isfinite(ray.flux)) {
      BinaryBlock bad;
      bad.badRay = static_cast<std::int64_t>(i) + 1;
      return bad;
    }
  }
  BinaryBlock block;
  block.rays = static_cast<std::int64_t>(n);
  if (n > 0) block.partial = work(rays.data(), n);
  return block;
}

}  // namespace

RayFileReadResult read_binary_ray_file(const std::string& path, RayFileKind kind, unsigned threads,
                                       const RayBlockWork& work, const RayBlockMerge& merge) {
  FileHandle file(path);
  if (!file.get()) fail(path, 0, std::string("cannot be opened: ") + std::strerror(errno));
  if (threads < 1) threads = 1;
  const BinaryLayout layout =
      kind == RayFileKind::Tm25 ? read_tm25_header(file.get(), path) : read_zemax_binary_header(file.get(), path);
  RayFileReadResult result;
  result.kind = kind;
  result.headerFlux = layout.flux;
  result.headerCount = static_cast<std::int64_t>(layout.count);
  result.fluxUnit = layout.fluxUnit;
  result.lengthUnit = layout.lengthUnit;

  const std::size_t recordBytes = layout.recordFloats * 4;
  const std::size_t blockBytes = kBlockBytes / recordBytes * recordBytes;
  std::deque<std::future<BinaryBlock>> inFlight;
  const auto finish_one = [&] {
    BinaryBlock block = inFlight.front().get();
    inFlight.pop_front();
    if (block.badRay > 0) {
      fail(path, 0,
           "ray " + std::to_string(result.rays + block.badRay) +
               " holds a value that is not a finite number (NaN or infinity)");
    }
    result.rays += block.rays;
    if (block.partial) merge(std::move(block.partial));
  };
  std::size_t leftover = 0;
  try {
    for (;;) {
      std::vector<char> bytes(blockBytes);
      const std::size_t got = std::fread(bytes.data(), 1, bytes.size(), file.get());
      if (got < bytes.size() && std::ferror(file.get())) {
        fail(path, 0, std::string("cannot be read: ") + std::strerror(errno));
      }
      leftover = got % recordBytes;
      bytes.resize(got - leftover);
      if (!bytes.empty()) {
        inFlight.push_back(std::async(std::launch::async, decode_block, std::move(bytes), layout, std::cref(work)));
        while (inFlight.size() > threads) finish_one();
      }
      if (got < blockBytes) break;
    }
    while (!inFlight.empty()) finish_one();
  } catch (...) {
    for (auto& f : inFlight) f.wait();
    throw;
  }
  if (leftover != 0) {
    fail(
        path, 0,
        "ends within a ray record (" + std::to_string(leftover) + " bytes after the last whole ray); is it cut short?");
  }
  if (static_cast<std::uint64_t>(result.rays) != layout.count) {
    fail(path, 0,
         "the header announces " + std::to_string(layout.count) + " rays but the file holds " +
             std::to_string(result.rays) +
             (static_cast<std::uint64_t>(result.rays) < layout.count ? "; is it cut short?" : ""));
  }
  if (result.rays == 0) fail(path, 0, "holds no ray");
  return result;
}

// read_ray_file, which tells the kinds apart and checks every ray, is in
// ray_format_reader.cpp with the readers of the other formats.

}  // namespace lucidra
