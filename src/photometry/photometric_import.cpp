#include "photometry/photometric_import.h"

#include <cctype>
#include <charconv>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <system_error>

#include "base/user_error.h"
#include "photometry/eulumdat_reader.h"
#include "photometry/ies_reader.h"
#include "photometry/photometric_error.h"
#include "photometry/text_cursor.h"

namespace lucidra {

namespace {

// Photometric files are a few hundred kilobytes at most; a larger file is
// not one (or is a device that never ends).
constexpr std::uintmax_t kMaxPhotometricBytes = std::uintmax_t{64} << 20;

std::string lower(std::string_view text) {
  std::string s(text);
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

bool line_starts_tilt(std::string_view line) {
  const std::string l = lower(trimmed(line).substr(0, 4));
  if (l != "tilt") return false;
  const std::string_view rest = trimmed(trimmed(line).substr(4));
  return !rest.empty() && rest[0] == '=';
}

void append_number(std::string& out, double value, char decimalSeparator) {
  char buffer[40];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 9);
  for (const char* p = buffer; p != result.ptr; ++p) out.push_back(*p == '.' ? decimalSeparator : *p);
  out.push_back(' ');
}

}  // namespace

PhotometricData read_photometric_text(std::string_view text, std::string_view nameForMessages,
                                      PhotometricFormat format) {
  return format == PhotometricFormat::Ies ? read_ies_text(text, nameForMessages)
                                          : read_eulumdat_text(text, nameForMessages);
}

PhotometricImport import_photometric_text(std::string_view text, std::string_view nameForMessages,
                                          PhotometricFormat format) {
  return two_plane_import(read_photometric_text(text, nameForMessages, format));
}

PhotometricFormat detect_photometric_format(std::string_view text, std::string_view path) {
  TextCursor cursor(text, path);
  const std::string first = lower(trimmed(cursor.next_line().value_or("")));
  if (first.rfind("iesna", 0) == 0 || first.rfind("ies:", 0) == 0) return PhotometricFormat::Ies;
  const std::string extension = lower(std::filesystem::path(path).extension().string());
  if (extension == ".ies") return PhotometricFormat::Ies;
  if (extension == ".ldt") return PhotometricFormat::Eulumdat;
  if (line_starts_tilt(first)) return PhotometricFormat::Ies;
  std::optional<std::string> second;
  while (const auto line = cursor.next_line()) {
    if (line_starts_tilt(*line)) return PhotometricFormat::Ies;
    if (!second) second = std::string(trimmed(*line));
  }
  // Without a name to go by, a EULUMDAT file shows itself by its second
  // line, the type indicator 0..3; anything else (a distribution table, a
  // ray file) is neither format, whatever a reader would later trip over.
  if (!second || second->size() != 1 || (*second)[0] < '0' || (*second)[0] > '3') {
    throw PhotometricError(std::string(path) +
                           " is not an IES or EULUMDAT file: it has no TILT= line, and its second line is not a "
                           "EULUMDAT type indicator (0 to 3)");
  }
  return PhotometricFormat::Eulumdat;
}

PhotometricData read_photometric_file(const std::string& path) {
  std::error_code ec;
  if (path.empty() || path.find('\0') != std::string::npos || std::filesystem::is_directory(path, ec)) {
    throw FileReadError("Cannot open file " + path);
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) throw FileReadError("Cannot open file " + path);
  std::string text;
  char block[1 << 16];
  while (in.read(block, sizeof block) || in.gcount() > 0) {
    text.append(block, static_cast<std::size_t>(in.gcount()));
    if (text.size() > kMaxPhotometricBytes) {
      throw FileReadError("File " + path + " is too large for a photometric file (more than " +
                          std::to_string(kMaxPhotometricBytes >> 20) + " MB)");
    }
  }
  if (in.bad()) throw FileReadError("Cannot open file " + path);
  return read_photometric_text(text, path, detect_photometric_format(text, path));
}

PhotometricImport import_photometric_file(const std::string& path) {
  return two_plane_import(read_photometric_file(path));
}

std::string distribution_file_text(const PlaneTable& table, std::string_view label, char decimalSeparator) {
  std::string out;
  for (double a : table.angleDeg) append_number(out, a, decimalSeparator);
  out += "\r\n";
  for (char c : label) out.push_back(c == '\r' || c == '\n' ? ' ' : c);
  out += "\r\n";
  for (double v : table.candela) append_number(out, v, decimalSeparator);
  out += "\r\n";
  return out;
}

}  // namespace lucidra
