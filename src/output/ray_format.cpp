#include "output/ray_format.h"

#include <cctype>

#include "output/lighttools_asap.h"

namespace lucidra {
namespace {

std::string tracepro_header_of(const HeaderFacts& f, std::uint64_t, double) {
  return tracepro_header(f.traceProAngles);
}

std::string zemax_text_header_of(const HeaderFacts& f, std::uint64_t, double) { return zemax_header(f.rayCount); }

std::string zemax_binary_header_of(const HeaderFacts& f, std::uint64_t records, double flux) {
  return zemax_binary_header(static_cast<std::uint32_t>(records), flux, f.description, f.fluxUnit, f.spectral);
}

std::string tm25_header_of(const HeaderFacts& f, std::uint64_t records, double flux) {
  return tm25_header(records, flux, f.createdUnixSeconds, f.tm25, f.fluxUnit, f.spectral);
}

std::string lighttools_header_of(const HeaderFacts& f, std::uint64_t, double flux) {
  return lighttools_binary_header(flux, f.fluxUnit, f.spectral.spectral);
}

std::string lighttools_text_header_of(const HeaderFacts& f, std::uint64_t, double flux) {
  return lighttools_text_header(flux, f.fluxUnit, f.spectral.spectral);
}

std::string asap_header_of(const HeaderFacts&, std::uint64_t records, double) { return asap_header(records); }

// clang-format off
constexpr RayFormat kFormats[] = {
  // id, cli name, display name, target, extensions, default name, Browse filter,
  // binary, experimental, flux in header, count in header, drops zero flux,
  // fixed header bytes, encoder, record bytes, header, rewrite header, trailer, reader
  // TracePro reads its text ray files under either name; the shipped
  // configuration has always named them .dat.
  {OutputFormat::TracePro, "tracepro", "TracePro", OutputFormat::TracePro, {".txt", ".dat"}, "ray1.txt",
   "TracePro ray files (*.txt *.dat)", false, false, false, false, false,
   0, &format_ray_line, 0, &tracepro_header_of, false, "", RayFileKind::TracePro},
  {OutputFormat::Zemax, "zemax", "Zemax text", OutputFormat::Zemax, {".dat", ".txt"}, "ray.dat",
   "Zemax source files (*.dat *.txt)", false, false, false, true, false,
   0, &format_ray_line, 0, &zemax_text_header_of, false, "", RayFileKind::Zemax},
  {OutputFormat::ZemaxBinary, "zemax-binary", "Zemax binary", OutputFormat::Zemax, {".dat", ".sdf"}, "ray.dat",
   "Zemax binary source files (*.dat *.sdf)", true, false, true, true, false,
   kZemaxHeaderBytes, &encode_zemax_record, kBinaryRecordBytes, &zemax_binary_header_of, true, "",
   RayFileKind::ZemaxBinary},
  {OutputFormat::Tm25, "tm25", "TM-25", OutputFormat::Zemax, {".tm25ray", ""}, "ray.TM25RAY",
   "TM-25 ray files (*.TM25RAY)", true, false, true, true, true,
   kTm25HeaderBytes, &encode_tm25_record, kBinaryRecordBytes, &tm25_header_of, true, "", RayFileKind::Tm25},
  {OutputFormat::LightTools, "lighttools", "LightTools binary", OutputFormat::LightTools, {".ray", ""}, "sample.ray",
   "LightTools ray data (*.ray)", true, false, true, false, false,
   kLightToolsHeaderBytes, &encode_zemax_record, kBinaryRecordBytes, &lighttools_header_of, true,
   kLightToolsTrailer, RayFileKind::LightTools},
  {OutputFormat::LightToolsText, "lighttools-text", "LightTools text", OutputFormat::LightTools, {".txt", ".ray"},
   "sample.txt", "LightTools text ray data (*.txt *.ray)", false, false, true, false, false,
   0, &format_lighttools_line, 0, &lighttools_text_header_of, true, kLightToolsTextTrailer,
   RayFileKind::LightToolsText},
  {OutputFormat::Asap, "asap", "ASAP (dis)", OutputFormat::Asap, {".dis", ""}, "source.dis",
   "ASAP distribution files (*.dis)", true, true, false, true, false,
   kAsapHeaderBytes, &encode_zemax_record, kBinaryRecordBytes, &asap_header_of, true, "", RayFileKind::Asap},
};
// clang-format on

std::string lower(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

// The extension of the name's last component, with its dot, lower case;
// empty when there is none.
std::string extension_of(std::string_view path) {
  const auto slash = path.find_last_of("/\\");
  const std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
  const auto dot = name.rfind('.');
  if (dot == std::string_view::npos || dot == 0) return {};
  return lower(name.substr(dot));
}

// Standard output and devices have no extension to keep.
bool is_stream_name(std::string_view path) {
  return path == "-" || path.substr(0, 5) == "/dev/" || path.substr(0, 4) == "\\\\.\\";
}

std::string shown_extensions(const RayFormat& format) {
  std::string text;
  for (const std::string_view e : format.extensions) {
    if (e.empty()) continue;
    if (!text.empty()) text += " or ";
    text += e == ".tm25ray" ? std::string(".TM25RAY") : std::string(e);
  }
  return text;
}

}  // namespace

SpectralLayout spectral_layout(OutputFormat id, FluxUnit unit) {
  switch (id) {
    case OutputFormat::TracePro:
    case OutputFormat::Zemax: return {&format_spectral_ray_line, 0, kRecordFluxOffset};
    case OutputFormat::ZemaxBinary: return {&encode_zemax_spectral_record, kSpectralRecordBytes, kRecordFluxOffset};
    case OutputFormat::Tm25:
      // The columns follow the flags: radiant flux before the wavelength,
      // luminous flux after it.
      if (unit == FluxUnit::Lumen) return {&encode_tm25_spectral_lumen_record, kSpectralRecordBytes, 7 * 4};
      return {&encode_tm25_spectral_watt_record, kSpectralRecordBytes, kRecordFluxOffset};
    case OutputFormat::LightTools: return {&encode_lighttools_spectral_record, kSpectralRecordBytes, kRecordFluxOffset};
    case OutputFormat::LightToolsText: return {&format_lighttools_spectral_line, 0, kRecordFluxOffset};
    case OutputFormat::Asap: break;
  }
  return {};
}

std::span<const RayFormat> ray_formats() { return kFormats; }

const RayFormat& ray_format(OutputFormat id) {
  for (const RayFormat& f : kFormats) {
    if (f.id == id) return f;
  }
  return kFormats[1];  // unreachable: every OutputFormat has an entry (tested)
}

const RayFormat* ray_format_named(std::string_view cliName) {
  for (const RayFormat& f : kFormats) {
    if (f.cliName == cliName) return &f;
  }
  return nullptr;
}

std::string ray_format_names() {
  std::string text;
  const std::size_t n = std::size(kFormats);
  for (std::size_t i = 0; i < n; ++i) {
    if (i > 0) text += i + 1 == n ? " or " : ", ";
    text += kFormats[i].cliName;
  }
  return text;
}

const RayFormat* ray_format_of_kind(RayFileKind kind) {
  for (const RayFormat& f : kFormats) {
    if (f.readerKind == kind) return &f;
  }
  return nullptr;
}

bool extension_matches(const RayFormat& format, std::string_view path) {
  if (is_stream_name(path)) return true;
  const std::string extension = extension_of(path);
  if (extension.empty()) return true;  // nothing a program could take for another format
  for (const std::string_view e : format.extensions) {
    if (!e.empty() && extension == e) return true;
  }
  return false;
}

std::string extension_refusal(const RayFormat& format, std::string_view path) {
  if (extension_matches(format, path)) return {};
  // Only an extension that belongs to another format misleads a ray tracer,
  // which chooses its reader by the extension; other names are the user's.
  // The format whose own extension it is first (.dat is Zemax's, though
  // TracePro reads it too), else any that accepts it.
  const RayFormat* taken = nullptr;
  const std::string extension = extension_of(path);
  for (const RayFormat& other : kFormats) {
    if (&other == &format || !extension_matches(other, path)) continue;
    if (taken == nullptr || other.extensions[0] == extension) taken = &other;
    if (other.extensions[0] == extension) break;
  }
  if (taken == nullptr) return {};
  std::string text = "Ray file " + std::string(path) + ": the extension " + extension_of(path) + " does not fit the " +
                     std::string(format.displayName) + " format, which uses " + shown_extensions(format) +
                     "; the ray tracer would take it for " + std::string(taken->displayName);
  text += ". Use " + std::string(format.defaultName.substr(format.defaultName.rfind('.'))) +
          " or --force-extension to keep the name";
  return text;
}

std::string with_format_extension(const RayFormat& format, std::string_view path) {
  if (is_stream_name(path)) return std::string(path);
  const auto slash = path.find_last_of("/\\");
  const std::size_t nameStart = slash == std::string_view::npos ? 0 : slash + 1;
  const auto dot = path.rfind('.');
  const std::size_t stemEnd = dot != std::string_view::npos && dot > nameStart ? dot : path.size();
  return std::string(path.substr(0, stemEnd)) + std::string(format.defaultName.substr(format.defaultName.rfind('.')));
}

}  // namespace lucidra
