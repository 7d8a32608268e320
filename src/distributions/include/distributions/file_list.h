#pragma once

#include <string>
#include <vector>

namespace lucidra {

// Names (without directory) of the normal, non-hidden files of `directory`
// whose names match "*.txt", sorted by name.
std::vector<std::string> list_distribution_files(const std::string& directory);

}  // namespace lucidra
