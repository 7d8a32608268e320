#pragma once
// Files named by UTF-8 text. Every name in the core is UTF-8: the command line
// hands it over as such on every system. POSIX systems take those bytes as
// they are; Windows would read them in the ANSI code page, so there the names
// go through the wide-character API instead. This is the one place that knows.

#include <cstdio>
#include <filesystem>
#include <string>

namespace lucidra {

// std::fopen with a UTF-8 name (_wfopen on Windows). Same modes, same errno.
std::FILE* open_file(const std::string& utf8Name, const char* mode);

// A filesystem path from a UTF-8 name, and a path's name back as UTF-8.
std::filesystem::path path_from_utf8(const std::string& utf8Name);
std::string path_to_utf8(const std::filesystem::path& path);

}  // namespace lucidra
