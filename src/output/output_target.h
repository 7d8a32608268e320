#pragma once
// Where a ray file's bytes go. A regular file (or a name that does not exist
// yet) is written to a temporary file in the same folder, which takes the
// file's place in one step when the run is complete, so a run that fails or
// is stopped leaves the previous file exactly as it was. A device, a pipe or
// "-" (standard output) is written directly. Everything that differs between
// platforms about it is in output_target.cpp.

#include <cstdio>
#include <string>

namespace lucidra {

class OutputTarget {
 public:
  // Opens the target for writing in binary mode. Returns false with an
  // errno value when it cannot be opened.
  bool open(const std::string& path, int& error);
  std::FILE* stream() const { return stream_; }

  // Closes the stream and, for a replaced file, moves the temporary file
  // into place (keeping the permissions of the file it replaces). Returns 0
  // or an errno value; on failure the temporary file is removed.
  int commit();
  // Closes the stream and removes the temporary file. Never fails.
  void discard() noexcept;

  bool direct() const { return direct_; }
  // The stream can go back and write over what it wrote (a file or a
  // seekable device, not a pipe, a terminal or a file opened to append).
  bool rewritable() const;
  bool replaces_existing() const { return existed_; }

 private:
  std::FILE* stream_ = nullptr;
  std::string path_, temporary_;
  bool direct_ = false;
  bool existed_ = false;
  bool standardOutput_ = false;
};

}  // namespace lucidra
