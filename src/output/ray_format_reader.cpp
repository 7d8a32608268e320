#include "output/ray_format_reader.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <deque>
#include <future>
#include <vector>

#include "output/binary_ray_file.h"
#include "output/lighttools_asap.h"

namespace lucidra {
namespace {

constexpr std::size_t kRaysPerBlock = std::size_t{1} << 17;
constexpr double kDirectionTolerance = 1e-3;
constexpr double kFluxTolerance = 1e-6;

[[noreturn]] void fail(const std::string& path, std::int64_t line, const std::string& what) {
  throw RayFileError("Ray file " + path + (line > 0 ? ", line " + std::to_string(line) : std::string()) + ": " + what);
}

class File {
 public:
  explicit File(const std::string& path) : file_(std::fopen(path.c_str(), "rb")) {
    if (file_ == nullptr) fail(path, 0, std::string("cannot be opened: ") + std::strerror(errno));
  }
  ~File() { std::fclose(file_); }
  File(const File&) = delete;
  File& operator=(const File&) = delete;
  std::FILE* get() const { return file_; }

 private:
  std::FILE* file_;
};

void read_exactly(std::FILE* file, const std::string& path, char* out, std::size_t bytes, const char* what) {
  if (std::fread(out, 1, bytes, file) != bytes) {
    if (std::ferror(file)) fail(path, 0, std::string("cannot be read: ") + std::strerror(errno));
    fail(path, 0, std::string("ends within its ") + what + "; is it cut short?");
  }
}

std::uint64_t file_size(std::FILE* file, const std::string& path) {
  if (std::fseek(file, 0, SEEK_END) != 0) fail(path, 0, "cannot be read to its end (is it a pipe?)");
  const long size = std::ftell(file);
  if (size < 0) fail(path, 0, "cannot be read to its end (is it a pipe?)");
  return static_cast<std::uint64_t>(size);
}

// `count` records of `recordBytes` (position, direction, flux as the first
// seven float32) from the file's current position, decoded in blocks on up
// to `threads` workers and merged in file order.
std::int64_t read_records(std::FILE* file, const std::string& path, std::uint64_t count, std::size_t recordBytes,
                          unsigned threads, const RayBlockWork& work, const RayBlockMerge& merge) {
  if (threads < 1) threads = 1;
  std::deque<std::future<std::shared_ptr<void>>> inFlight;
  const auto finish_one = [&] {
    std::shared_ptr<void> part = inFlight.front().get();
    inFlight.pop_front();
    if (part) merge(std::move(part));
  };
  std::uint64_t left = count;
  try {
    while (left > 0) {
      const std::size_t n = left < kRaysPerBlock ? static_cast<std::size_t>(left) : kRaysPerBlock;
      std::vector<char> bytes(n * recordBytes);
      read_exactly(file, path, bytes.data(), bytes.size(), "rays");
      left -= n;
      inFlight.push_back(std::async(std::launch::async, [bytes = std::move(bytes), n, recordBytes, &work] {
        std::vector<RayRecord> rays(n);
        for (std::size_t i = 0; i < n; ++i) {
          const char* r = bytes.data() + i * recordBytes;
          rays[i] = RayRecord{get_f32(r),      get_f32(r + 4),  get_f32(r + 8), get_f32(r + 12),
                              get_f32(r + 16), get_f32(r + 20), get_f32(r + 24)};
          // LightTools colour information 2: the wavelength (nm) follows.
          if (recordBytes >= kSpectralRecordBytes) rays[i].wavelength = get_f32(r + 28);
        }
        return work(rays.data(), n);
      }));
      while (inFlight.size() > threads) finish_one();
    }
    while (!inFlight.empty()) finish_one();
  } catch (...) {
    for (auto& f : inFlight) f.wait();
    throw;
  }
  return static_cast<std::int64_t>(count);
}

const char* lighttools_unit(std::uint32_t code) {
  static const char* const kUnits[] = {"model units", "mm", "cm", "m", "in", "ft", "um", "nm"};
  return code < 8 ? kUnits[code] : nullptr;
}

// Splits "key: value"; false for a line of another shape.
bool split_key(std::string_view line, std::string_view& key, std::string_view& value) {
  const auto colon = line.find(':');
  if (colon == std::string_view::npos) return false;
  key = line.substr(0, colon);
  value = line.substr(colon + 1);
  while (!value.empty() && (value.front() == ' ' || value.front() == '\t')) value.remove_prefix(1);
  while (!value.empty() && (value.back() == ' ' || value.back() == '\t')) value.remove_suffix(1);
  return true;
}

std::string lower(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return out;
}

// A LightTools ray line: seven numbers, or eight with a wavelength.
bool parse_lighttools_line(std::string_view line, int wanted, RayRecord& ray) {
  const char* p = line.data();
  const char* end = p + line.size();
  double v[8];
  int n = 0;
  for (;;) {
    while (p < end && (*p == ' ' || *p == '\t')) ++p;
    if (p == end) break;
    if (n == wanted) return false;
    double value = 0;
    const char* next = parse_ray_number(p, end, value);
    if (next == nullptr || (next < end && *next != ' ' && *next != '\t')) return false;
    v[n++] = value;
    p = next;
  }
  if (n != wanted) return false;
  ray = RayRecord{v[0], v[1], v[2], v[3], v[4], v[5], v[6]};
  if (wanted == 8) ray.wavelength = v[7];  // nm
  return true;
}

// The first faults among a block's rays, numbered within the block.
struct RayAudit {
  double flux = 0;
  std::int64_t firstNonFinite = 0;
  std::int64_t firstBadDirection = 0;
  double badDirectionLength = 0;
};

RayAudit audit_rays(const RayRecord* rays, std::size_t n) {
  RayAudit audit;
  for (std::size_t i = 0; i < n; ++i) {
    const RayRecord& r = rays[i];
    audit.flux += r.flux;
    const double length = std::sqrt(r.dx * r.dx + r.dy * r.dy + r.dz * r.dz);
    const bool finite = std::isfinite(r.x) && std::isfinite(r.y) && std::isfinite(r.z) && std::isfinite(length) &&
                        std::isfinite(r.flux);
    if (!finite) {
      if (audit.firstNonFinite == 0) audit.firstNonFinite = static_cast<std::int64_t>(i) + 1;
    } else if (std::fabs(length - 1) > kDirectionTolerance && audit.firstBadDirection == 0) {
      audit.firstBadDirection = static_cast<std::int64_t>(i) + 1;
      audit.badDirectionLength = length;
    }
  }
  return audit;
}

struct AuditedPart {
  RayAudit audit;
  std::size_t rays = 0;
  std::shared_ptr<void> inner;
};

RayFileKind kind_by_content(const std::string& path) {
  File file(path);
  char head[4096] = {};
  const std::size_t got = std::fread(head, 1, sizeof head, file.get());
  if (got >= 4) {
    if (std::memcmp(head, "TM25", 4) == 0) return RayFileKind::Tm25;
    if (std::memcmp(head, "LTRF", 4) == 0) return RayFileKind::LightTools;
    if (static_cast<std::int32_t>(get_u32(head)) == kZemaxIdentifier) return RayFileKind::ZemaxBinary;
    // An ASAP distribution file's first byte is 247 whatever its record
    // length; the reader says which lengths it takes.
    if (static_cast<unsigned char>(head[0]) == 0xF7 && get_u32(head) < 0x10000u) return RayFileKind::Asap;
  }
  const std::string_view text(head, got);
  if (text.find("lt_startofdata") != std::string_view::npos || text.find("lt_rdf_version") != std::string_view::npos) {
    return RayFileKind::LightToolsText;
  }
  return RayFileKind::Auto;  // a text file: its header tells TracePro from Zemax
}

std::string shown(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.9g", value);
  return text;
}

}  // namespace

RayFileReadResult read_lighttools_binary_file(const std::string& path, unsigned threads, const RayBlockWork& work,
                                              const RayBlockMerge& merge) {
  File file(path);
  char h[kLightToolsHeaderBytes];
  read_exactly(file.get(), path, h, sizeof h, "header");
  if (std::memcmp(h, "LTRF", 4) != 0)
    fail(path, 0, "is not a LightTools binary ray file (it does not begin with LTRF)");
  const std::uint32_t major = get_u32(h + 4);
  if (major != 2) {
    fail(path, 0,
         "is LightTools ray data version " + std::to_string(major) + (major == 3 ? " (polarised)" : "") +
             "; only version 2 is read");
  }
  const std::uint32_t dataType = get_u32(h + 12);
  if (dataType > 1)
    fail(path, 0, "has data type " + std::to_string(dataType) + "; only 0 (radiometric) and 1 (photometric) exist");
  if (get_u32(h + 16) != 0) fail(path, 0, "holds far-field ray data; only near-field data (start points) is read");
  const std::uint32_t colour = get_u32(h + 20);
  if (colour != 0 && colour != 2) {
    fail(path, 0, "has colour information " + std::to_string(colour) + "; only 0 (none) and 2 (wavelength) are read");
  }
  const char* unit = lighttools_unit(get_u32(h + 24));
  if (unit == nullptr)
    fail(path, 0, "has length unit code " + std::to_string(get_u32(h + 24)) + ", which does not exist");
  const std::size_t recordBytes = colour == 2 ? 32 : kBinaryRecordBytes;
  const std::uint64_t size = file_size(file.get(), path);
  const std::uint64_t trailer = kLightToolsTrailer.size();
  if (size < kLightToolsHeaderBytes + trailer) fail(path, 0, "ends before its LTRFEND trailer; is it cut short?");
  char end[8] = {};
  if (std::fseek(file.get(), static_cast<long>(size - trailer), SEEK_SET) != 0) fail(path, 0, "cannot be read");
  read_exactly(file.get(), path, end, trailer, "trailer");
  if (std::string_view(end, trailer) != kLightToolsTrailer) {
    fail(path, 0, "does not end with LTRFEND; is it cut short?");
  }
  const std::uint64_t body = size - kLightToolsHeaderBytes - trailer;
  if (body % recordBytes != 0) {
    fail(path, 0,
         "ends within a ray record (" + std::to_string(body % recordBytes) +
             " bytes after the last whole ray before LTRFEND)");
  }
  if (body == 0) fail(path, 0, "holds no ray");
  if (std::fseek(file.get(), static_cast<long>(kLightToolsHeaderBytes), SEEK_SET) != 0) fail(path, 0, "cannot be read");
  RayFileReadResult result;
  result.kind = RayFileKind::LightTools;
  result.headerFlux = static_cast<double>(get_f32(h + 40));
  result.fluxUnit = dataType == 1 ? FluxUnit::Lumen : FluxUnit::Watt;
  result.lengthUnit = unit;
  result.rays = read_records(file.get(), path, body / recordBytes, recordBytes, threads, work, merge);
  return result;
}

RayFileReadResult read_asap_file(const std::string& path, unsigned threads, const RayBlockWork& work,
                                 const RayBlockMerge& merge) {
  File file(path);
  char h[kAsapHeaderBytes];
  read_exactly(file.get(), path, h, sizeof h, "header");
  const auto first = static_cast<std::int32_t>(get_u32(h));
  if (first != kAsapFirstWord) {
    fail(path, 0,
         "is not an ASAP ray distribution file of 7-word records (its first word is " + std::to_string(first) +
             ", not " + std::to_string(kAsapFirstWord) + ")");
  }
  const auto numy = static_cast<std::int32_t>(get_u32(h + 3 * 28 + 24));
  if (numy >= 0) fail(path, 0, "is a gridded ASAP distribution (NUMY " + std::to_string(numy) + "), not a ray file");
  const auto count = static_cast<std::uint64_t>(-static_cast<std::int64_t>(numy));
  const std::uint64_t size = file_size(file.get(), path);
  const std::uint64_t expected = kAsapHeaderBytes + count * kBinaryRecordBytes;
  if (size != expected) {
    fail(path, 0,
         "the header announces " + std::to_string(count) + " rays (" + std::to_string(expected) +
             " bytes) but the file has " + std::to_string(size) + " bytes" +
             (size < expected ? "; is it cut short?" : ""));
  }
  if (std::fseek(file.get(), static_cast<long>(kAsapHeaderBytes), SEEK_SET) != 0) fail(path, 0, "cannot be read");
  RayFileReadResult result;
  result.kind = RayFileKind::Asap;
  result.headerCount = static_cast<std::int64_t>(count);
  result.rays = read_records(file.get(), path, count, kBinaryRecordBytes, threads, work, merge);
  return result;
}

RayFileReadResult read_lighttools_text_file(const std::string& path, const RayBlockWork& work,
                                            const RayBlockMerge& merge) {
  File file(path);
  RayFileReadResult result;
  result.kind = RayFileKind::LightToolsText;
  std::vector<RayRecord> rays;
  rays.reserve(kRaysPerBlock);
  const auto hand_out = [&] {
    if (rays.empty()) return;
    std::shared_ptr<void> part = work(rays.data(), rays.size());
    if (part) merge(std::move(part));
    rays.clear();
  };
  enum class Part { Header, Data, After } part = Part::Header;
  int numbers = 7;
  std::string line;
  std::int64_t lineNumber = 0;
  int c = 0;
  bool more = true;
  while (more) {
    line.clear();
    while ((c = std::getc(file.get())) != EOF && c != '\n') line += static_cast<char>(c);
    if (c == EOF) {
      if (std::ferror(file.get())) fail(path, 0, std::string("cannot be read: ") + std::strerror(errno));
      more = false;
      if (line.empty()) break;
    }
    ++lineNumber;
    std::string_view l(line);
    if (!l.empty() && l.back() == '\r') l.remove_suffix(1);
    const std::string trimmed = lower(l.substr(0, l.find_last_not_of(" \t") + 1));
    if (trimmed.find_first_not_of(" \t") == std::string::npos) continue;
    if (part == Part::Data) {
      if (trimmed == "lt_endofdata") {
        part = Part::After;
        continue;
      }
      RayRecord ray;
      if (!parse_lighttools_line(l, numbers, ray)) {
        fail(path, lineNumber,
             "a ray line needs " + std::to_string(numbers) + " numbers: '" + std::string(l.substr(0, 80)) + "'");
      }
      rays.push_back(ray);
      ++result.rays;
      if (rays.size() == kRaysPerBlock) hand_out();
      continue;
    }
    if (part == Part::After) fail(path, lineNumber, "has text after lt_endofdata");
    if (trimmed[0] == '#') continue;
    if (trimmed == "lt_startofdata") {
      part = Part::Data;
      continue;
    }
    std::string_view key, value;
    if (!split_key(l, key, value))
      fail(path, lineNumber, "'" + std::string(l.substr(0, 80)) + "' is not a 'key: value' header line");
    const std::string k = lower(key);
    const std::string v = lower(value);
    if (k == "lt_datatype") {
      if (v == "radiant_power") {
        result.fluxUnit = FluxUnit::Watt;
      } else if (v == "luminous_power") {
        result.fluxUnit = FluxUnit::Lumen;
      } else {
        fail(path, lineNumber, "data type '" + std::string(value) + "' is neither radiant_power nor luminous_power");
      }
    } else if (k == "lt_radiant_flux" || k == "lt_luminous_flux") {
      double flux = 0;
      const char* end = value.data() + value.size();
      if (value.empty() || parse_ray_number(value.data(), end, flux) != end) {
        fail(path, lineNumber, "the flux '" + std::string(value) + "' is not a number");
      }
      result.headerFlux = flux;
    } else if (k == "lt_length_units") {
      result.lengthUnit = v == "millimeters" ? "mm" : v;
    } else if (k == "lt_far_field_data") {
      if (v != "no") fail(path, lineNumber, "holds far-field ray data; only near-field data (start points) is read");
    } else if (k == "lt_color_info") {
      if (v == "wavelength") {
        numbers = 8;
      } else if (v != "none") {
        fail(path, lineNumber, "colour information '" + std::string(value) + "' is not read; only none or wavelength");
      }
    }
    // Other keys (version, name, origin) do not change how rays are read.
  }
  if (part == Part::Header) fail(path, 0, "has no lt_startofdata line; is it a LightTools text ray file?");
  if (part == Part::Data) fail(path, 0, "ends without lt_endofdata; is it cut short?");
  hand_out();
  if (result.rays == 0) fail(path, 0, "holds no ray");
  return result;
}

RayFileReadResult read_ray_file(const std::string& path, RayFileKind kind, unsigned threads, const RayBlockWork& work,
                                const RayBlockMerge& merge) {
  if (kind == RayFileKind::Auto) kind = kind_by_content(path);
  // Every block is also audited; the audits are merged in file order, so
  // the first bad ray is the first in the file.
  RayAudit total;
  std::int64_t seen = 0;
  const RayBlockWork audited = [&work](const RayRecord* rays, std::size_t n) -> std::shared_ptr<void> {
    auto part = std::make_shared<AuditedPart>();
    part->audit = audit_rays(rays, n);
    part->rays = n;
    part->inner = work(rays, n);
    return part;
  };
  const RayBlockMerge mergeAudited = [&](std::shared_ptr<void> p) {
    auto part = std::static_pointer_cast<AuditedPart>(p);
    total.flux += part->audit.flux;
    if (total.firstNonFinite == 0 && part->audit.firstNonFinite != 0) {
      total.firstNonFinite = seen + part->audit.firstNonFinite;
    }
    if (total.firstBadDirection == 0 && part->audit.firstBadDirection != 0) {
      total.firstBadDirection = seen + part->audit.firstBadDirection;
      total.badDirectionLength = part->audit.badDirectionLength;
    }
    seen += static_cast<std::int64_t>(part->rays);
    if (part->inner) merge(std::move(part->inner));
  };
  RayFileReadResult result;
  switch (kind) {
    case RayFileKind::ZemaxBinary:
    case RayFileKind::Tm25: result = read_binary_ray_file(path, kind, threads, audited, mergeAudited); break;
    case RayFileKind::LightTools: result = read_lighttools_binary_file(path, threads, audited, mergeAudited); break;
    case RayFileKind::LightToolsText: result = read_lighttools_text_file(path, audited, mergeAudited); break;
    case RayFileKind::Asap: result = read_asap_file(path, threads, audited, mergeAudited); break;
    case RayFileKind::Auto:
    case RayFileKind::TracePro:
    case RayFileKind::Zemax: result = read_text_ray_file(path, kind, threads, audited, mergeAudited); break;
  }
  result.fluxSum = total.flux;
  result.firstNonFinite = total.firstNonFinite;
  result.firstBadDirection = total.firstBadDirection;
  result.badDirectionLength = total.badDirectionLength;
  return result;
}

RayFileVerdict verify_ray_file(const RayFileReadResult& r) {
  RayFileVerdict v;
  const std::string unit = r.fluxUnit ? flux_unit_symbol(*r.fluxUnit) : "";
  const std::string unitSuffix = unit.empty() ? std::string() : " " + unit;
  v.report += "header count: " +
              (r.headerCount >= 0 ? std::to_string(r.headerCount) : std::string("not stored in this format")) +
              "; rays read: " + std::to_string(r.rays) + "\n";
  v.report += "header flux: " +
              (r.headerFlux >= 0 || r.kind == RayFileKind::LightTools || r.kind == RayFileKind::ZemaxBinary ||
                       r.kind == RayFileKind::Tm25
                   ? shown(r.headerFlux) + unitSuffix
                   : std::string("not stored in this format")) +
              "; sum of the rays: " + shown(r.fluxSum) + unitSuffix + "\n";
  v.report += "flux unit: " +
              (r.fluxUnit ? std::string(*r.fluxUnit == FluxUnit::Lumen ? "lumens (photometric)" : "watts (radiometric)")
                          : std::string("not stored in this format")) +
              "\n";
  v.report += "length unit: " + (r.lengthUnit.empty() ? std::string("not stored in this format") : r.lengthUnit) + "\n";

  const bool hasFlux = r.kind == RayFileKind::LightTools || r.kind == RayFileKind::ZemaxBinary ||
                       r.kind == RayFileKind::Tm25 || (r.kind == RayFileKind::LightToolsText && r.headerFlux != -1);
  if (r.firstNonFinite != 0) {
    v.failure = "ray " + std::to_string(r.firstNonFinite) + " has a number that is not finite";
  } else if (r.firstBadDirection != 0) {
    v.failure = "ray " + std::to_string(r.firstBadDirection) + " has a direction of length " +
                shown(r.badDirectionLength) + "; ray tracers want 1 within 1e-3";
  } else if (hasFlux && !(std::fabs(r.headerFlux - r.fluxSum) <= kFluxTolerance * std::fabs(r.fluxSum))) {
    v.failure = "the header's flux " + shown(r.headerFlux) + unitSuffix + " differs from the rays' sum " +
                shown(r.fluxSum) + unitSuffix;
  } else if (!r.lengthUnit.empty() && r.lengthUnit != "mm") {
    v.failure = "lengths are in " + r.lengthUnit + ", not mm";
  }
  return v;
}

}  // namespace lucidra
