#pragma once
// Every ray file format in one list: what the command line calls it, the
// window's target, its extensions and default name, whether its header can
// go to a pipe, how its header and rays are written and which reader reads
// it back. The command line, the window, the estimate, the run and `check`
// all ask this list, so a new format is one entry here, its value in
// OutputFormat and its header and record code (docs/architecture.md).

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "base/flux_unit.h"
#include "output/binary_ray_file.h"
#include "output/ray_file.h"
#include "output/ray_file_reader.h"

namespace lucidra {

// The window's configuration stores the first four (its target buttons) by
// index: new formats go after them.
enum class OutputFormat { TracePro, Zemax, LightTools, Asap, ZemaxBinary, Tm25, LightToolsText };

// What a header says beyond its count and flux; the run fills it in.
struct HeaderFacts {
  FluxUnit fluxUnit = FluxUnit::Watt;
  std::int32_t rayCount = 0;               // N, for the Zemax text header
  std::array<double, 3> traceProAngles{};  // the TracePro header's "ignored" values
  std::string description;                 // Zemax binary description
  Tm25Texts tm25;
  std::int64_t createdUnixSeconds = 0;
  SpectralHeader spectral;  // a wavelength on every ray
};

// The header of a file holding `records` rays whose flux adds up to `flux`.
// A format whose header is written again at the end gives the same size for
// any count and flux.
using HeaderBuilder = std::string (*)(const HeaderFacts& facts, std::uint64_t records, double flux);

struct RayFormat {
  OutputFormat id;
  std::string_view cliName;      // -f value
  std::string_view displayName;  // reports, banner, confirmation
  OutputFormat target;           // the window's target button it belongs to
  // Lower case, with the dot; the first is the default. Matching ignores case.
  std::array<std::string_view, 2> extensions;
  std::string_view defaultName;
  std::string_view fileFilter;  // the window's Browse filter
  bool binary;
  bool experimental;  // layout from one reader and guesses
  // The header holds the total flux / the ray count before the rays: to a
  // pipe (where it cannot be rewritten) they must be known in advance.
  bool fluxInHeader;
  bool countInHeader;
  bool dropsZeroFlux;            // rays of zero flux are left out (count unknown in advance)
  std::size_t fixedHeaderBytes;  // header size for the estimate; 0 for a text format
  RayEncoder encoder;
  std::size_t recordBytes;  // binary record size; 0: text lines
  HeaderBuilder header;
  bool rewriteHeader;  // the header is written again with the final count and flux
  std::string_view trailer;
  RayFileKind readerKind;
};

// How a format writes rays that carry a wavelength: its encoder, record size
// (0: text lines) and where a binary record holds the flux. ASAP's
// distribution file has no place for a wavelength: `encoder` is nullptr.
struct SpectralLayout {
  RayEncoder encoder = nullptr;
  std::size_t recordBytes = 0;
  std::size_t fluxOffset = kRecordFluxOffset;
};
SpectralLayout spectral_layout(OutputFormat id, FluxUnit unit);

// The formats, in the order the help and the window list them.
std::span<const RayFormat> ray_formats();
const RayFormat& ray_format(OutputFormat id);
// By -f name; nullptr when there is none.
const RayFormat* ray_format_named(std::string_view cliName);
// "tracepro, zemax, ... or asap"
std::string ray_format_names();

// The reader's kind of a format and back (nullptr for Auto).
const RayFormat* ray_format_of_kind(RayFileKind kind);

// Whether `path` ends in one of the format's extensions (ignoring case);
// "-" and device paths always match.
bool extension_matches(const RayFormat& format, std::string_view path);
// The refusal of an output name whose extension is not one of the format's
// but another format's: empty when the name fits (or its extension belongs
// to no format).
std::string extension_refusal(const RayFormat& format, std::string_view path);
// `path` with its extension replaced by the format's default extension.
std::string with_format_extension(const RayFormat& format, std::string_view path);

}  // namespace lucidra
