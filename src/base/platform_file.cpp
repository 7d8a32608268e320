#include "base/platform_file.h"

#ifdef _WIN32
#include <windows.h>

#include <cerrno>
#endif

namespace lucidra {

#ifdef _WIN32

namespace {

std::wstring to_wide(const std::string& utf8) {
  if (utf8.empty()) return {};
  const int size = static_cast<int>(utf8.size());
  const int length = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), size, nullptr, 0);
  if (length <= 0) return {};
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), size, wide.data(), length);
  return wide;
}

}  // namespace

std::FILE* open_file(const std::string& utf8Name, const char* mode) {
  const std::wstring name = to_wide(utf8Name);
  if (name.empty()) {
    // Not valid UTF-8 (or empty): no file can have that name.
    errno = ENOENT;
    return nullptr;
  }
  const std::wstring wideMode(mode, mode + std::char_traits<char>::length(mode));
  return _wfopen(name.c_str(), wideMode.c_str());
}

std::filesystem::path path_from_utf8(const std::string& utf8Name) { return std::filesystem::path(to_wide(utf8Name)); }

std::string path_to_utf8(const std::filesystem::path& path) {
  const std::wstring& wide = path.native();
  if (wide.empty()) return {};
  const int size = static_cast<int>(wide.size());
  const int length = WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<std::size_t>(length > 0 ? length : 0), '\0');
  if (length > 0) WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, utf8.data(), length, nullptr, nullptr);
  return utf8;
}

#else

std::FILE* open_file(const std::string& utf8Name, const char* mode) { return std::fopen(utf8Name.c_str(), mode); }

std::filesystem::path path_from_utf8(const std::string& utf8Name) { return std::filesystem::path(utf8Name); }

std::string path_to_utf8(const std::filesystem::path& path) { return path.native(); }

#endif

}  // namespace lucidra
