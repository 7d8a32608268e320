// EULUMDAT files: the reader against a plain model of the fixed layout
// (line 3 the symmetry, line 4 the number of C planes, line 6 the number of
// gamma angles; the symmetry decides how many planes are stored), and every
// accepted file's tables against the properties the run needs.

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "fuzz_check.h"
#include "photometric_checks.h"
#include "photometry/eulumdat_reader.h"
#include "photometry/photometric_error.h"
#include "photometry/text_cursor.h"

namespace {

using lucidra::fuzz::check;

std::vector<std::string_view> model_lines(std::string_view text) {
  std::vector<std::string_view> lines;
  std::size_t start = text.substr(0, 3) == "\xEF\xBB\xBF" ? 3 : 0;
  while (start < text.size()) {
    std::size_t end = start;
    while (end < text.size() && text[end] != '\r' && text[end] != '\n') ++end;
    lines.push_back(text.substr(start, end - start));
    if (end == text.size()) break;
    start = end + ((text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') ? 2 : 1);
  }
  return lines;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text = lucidra::fuzz::as_text(data, size);
  try {
    const lucidra::PhotometricData d = lucidra::read_eulumdat_text(text, "f.ldt");
    lucidra::fuzz::check_grid(d);
    const std::vector<std::string_view> lines = model_lines(text);
    check(lines.size() >= 42, "accepted with fewer lines than the fixed part");
    const auto isym = lucidra::photometric_number_or_comma(lines[2]);
    const auto mc = lucidra::photometric_number_or_comma(lines[3]);
    const auto ng = lucidra::photometric_number_or_comma(lines[5]);
    check(isym && mc && ng, "accepted counts the model cannot read");
    const auto m = static_cast<std::size_t>(*mc);
    const std::size_t planes = *isym == 0 ? m : *isym == 1 ? 1 : *isym == 4 ? m / 4 + 1 : m / 2 + 1;
    check(d.horizontalDeg.size() == planes, "stored planes differ from what the symmetry stores");
    check(d.verticalDeg.size() == static_cast<std::size_t>(*ng), "gamma count differs from line 6");
    check(d.statedLumens.has_value() && *d.statedLumens > 0, "no lamp flux");
    lucidra::fuzz::check_import(d);
  } catch (const lucidra::PhotometricError& error) {
    lucidra::fuzz::check_refusal(error.what(), "f.ldt");
  }
  return 0;
}
