#pragma once
// Reads ray files back: the TracePro and Zemax text files and the Zemax
// binary and TM-25 files this program writes (and those of other tools in
// the same layouts), streamed in blocks so that a file of any size is read
// in flat memory.

#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "base/flux_unit.h"
#include "base/ray_record.h"
#include "base/user_error.h"

namespace lucidra {

enum class RayFileKind { Auto, TracePro, Zemax, ZemaxBinary, Tm25, LightTools, LightToolsText, Asap };

// A ray file that cannot be read or is not a ray file; the text names the
// file and, where there is one, the line.
class RayFileError : public UserError {
 public:
  using UserError::UserError;
};

// Parses one number of a ray line at `p` (no leading blank). The "%e" shape
// the writers use (d.dddddde+XX) takes a fast exact path; anything else goes
// through the general conversion. Returns the end of the number, or nullptr
// when the text there is not a finite number.
const char* parse_ray_number(const char* p, const char* end, double& value) noexcept;

// The outcome of parsing one line of a ray file.
enum class RayLineStatus { Ray, Blank, WrongCount, NotANumber };

// Parses a line without its line end into `ray`: seven numbers, or eight with
// the wavelength (um, stored in nm). `numbers` receives how many numbers the
// line holds (up to 9, to tell "too many" from eight).
RayLineStatus parse_ray_line(std::string_view line, RayRecord& ray, int& numbers) noexcept;

// Streams the rays of a text ray file in blocks of consecutive lines. Each
// block is parsed on one of `threads` workers, which hands its rays to
// `work` and keeps what that returns; `merge` then receives those results on
// the calling thread in file order, so sums come out the same whatever the
// number of threads. Throws RayFileError for an unreadable or malformed
// file: a line that is not seven numbers, no rays at all, or a Zemax header
// count that disagrees with the rays the file holds (this program writes
// N + 1 rays after N; a file with exactly N is accepted too).
using RayBlockWork = std::function<std::shared_ptr<void>(const RayRecord* rays, std::size_t count)>;
using RayBlockMerge = std::function<void(std::shared_ptr<void> partial)>;

struct RayFileReadResult {
  RayFileKind kind = RayFileKind::Zemax;
  std::int64_t headerCount = -1;  // the Zemax or binary header's count; -1 for TracePro
  std::int64_t rays = 0;
  double headerFlux = -1;  // the header's total flux; -1 where the format has none
  // What the header says about units: its flux unit and length unit ("mm",
  // "m", ...), when it has a place for them.
  std::optional<FluxUnit> fluxUnit;
  std::string lengthUnit;
  // Every ray, in file order (read_ray_file fills these): the sum of their
  // flux, and the first ray (1-based, 0: none) with a number that is not
  // finite or a direction whose length is off 1 by more than 1e-3.
  double fluxSum = 0;
  std::int64_t firstNonFinite = 0;
  std::int64_t firstBadDirection = 0;
  double badDirectionLength = 0;
};

RayFileReadResult read_text_ray_file(const std::string& path, RayFileKind kind, unsigned threads,
                                     const RayBlockWork& work, const RayBlockMerge& merge);

// Reads a binary ray file (kind ZemaxBinary or Tm25) in the same way: its
// header is checked (identifier, version, flags), each record gives a ray
// (x, y, z, the direction and the radiant flux, or the luminous flux of a
// TM-25 file without radiant flux), and the header's count must equal the
// records the file holds.
RayFileReadResult read_binary_ray_file(const std::string& path, RayFileKind kind, unsigned threads,
                                       const RayBlockWork& work, const RayBlockMerge& merge);

// Any ray file: the kind given, or (Auto) a Zemax binary file by its
// identifier 1010, a TM-25 file by "TM25", else a text file by its header.
RayFileReadResult read_ray_file(const std::string& path, RayFileKind kind, unsigned threads, const RayBlockWork& work,
                                const RayBlockMerge& merge);

// The name of a kind as the reports show it.
const char* ray_file_kind_name(RayFileKind kind);

}  // namespace lucidra
