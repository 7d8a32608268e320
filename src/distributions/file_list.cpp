#include "distributions/file_list.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "base/platform_file.h"

namespace lucidra {

namespace {

bool has_txt_suffix(const std::string& name) {
  constexpr std::string_view kSuffix = ".txt";
  if (name.size() < kSuffix.size()) return false;
  const std::string_view tail = std::string_view(name).substr(name.size() - kSuffix.size());
  return std::equal(tail.begin(), tail.end(), kSuffix.begin(),
                    [](char a, char b) { return (a >= 'A' && a <= 'Z' ? static_cast<char>(a - 'A' + 'a') : a) == b; });
}

}  // namespace

std::vector<std::string> list_distribution_files(const std::string& directory) {
  std::vector<std::string> names;
  std::error_code ec;
  std::filesystem::directory_iterator it(path_from_utf8(directory), ec);
  if (ec) return names;
  for (const std::filesystem::directory_iterator end; it != end; it.increment(ec)) {
    if (ec) break;
    std::error_code typeError;
    if (!it->is_regular_file(typeError) || typeError) continue;
    std::string name = path_to_utf8(it->path().filename());
    // Names starting with a dot are the hidden files of this platform.
    if (name.empty() || name.front() == '.' || !has_txt_suffix(name)) continue;
    names.push_back(std::move(name));
  }
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace lucidra
