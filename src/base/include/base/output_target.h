#pragma once
// Where the bytes of a file the program writes go (ray files, imported
// tables, check's CSV and SVG, settings, chart exports). A regular file (or a
// name that does not exist yet) is written to a temporary file in the same
// folder, which takes the file's place in one step when the file is
// complete, so a write that fails or is stopped leaves the previous file
// exactly as it was. A device, a pipe, "-" (standard output) or a name of
// one of this process's descriptors (/dev/stdout, /proc/self/fd/N) is
// written directly, write-only, so a reader that goes away ends the writing.
// Where no temporary file can be created beside the target, it is refused:
// a file is never rewritten in place. Everything that differs between
// platforms about it is in output_target.cpp.

#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lucidra {

class OutputTarget {
 public:
  OutputTarget() = default;
  ~OutputTarget() { discard(); }
  OutputTarget(const OutputTarget&) = delete;
  OutputTarget& operator=(const OutputTarget&) = delete;

  // Opens the target for writing in binary mode. Returns false with an
  // errno value when it cannot be opened; refusal() then may say more than
  // the errno's text.
  bool open(const std::string& path, int& error);
  std::FILE* stream() const { return stream_; }
  // Why open() refused, in words, when the errno's text alone would mislead;
  // empty otherwise.
  const std::string& refusal() const { return refusal_; }

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

  // Writes to the temporary file bypass the page cache from now on (Linux's
  // O_DIRECT): the disk takes the bytes straight from the caller's memory,
  // so a long write costs no copy and no page-cache pressure on the cores
  // that draw the rays. Every write must then start at a multiple of
  // kDirectAlignment in the file, from memory aligned alike, and be a
  // multiple of it long. Returns false (nothing changed) where the file
  // system, the platform or the kind of target does not allow it.
  bool begin_unbuffered_writes();
  // Writes `size` bytes (a multiple of kDirectAlignment, from aligned
  // memory) at the file's current end while unbuffered. 0 or an errno value;
  // EINVAL means nothing was written (not unbuffered, a misaligned block, or
  // a file system that refuses such writes after all).
  int write_unbuffered(const char* bytes, std::size_t size);
  // Back to ordinary writes through stream() (for a last partial block, a
  // header), positioned at the end of what was written. 0 or an errno value.
  int end_unbuffered_writes();
  bool unbuffered_writes() const { return unbuffered_; }
  static constexpr std::size_t kDirectAlignment = 4096;

  // Closes the stream without putting the file in place; 0 or an errno
  // value (the temporary file is then removed).
  int close_stream();
  // The file that is replaced (links followed) and the temporary file ("" for
  // a direct target or once placed).
  const std::string& target_path() const { return path_; }
  const std::string& temporary_path() const { return temporary_; }
  // The temporary file is now the target's: nothing is left to remove.
  void placed() { temporary_.clear(); }

 private:
  std::FILE* stream_ = nullptr;
  std::string path_, temporary_, refusal_;
  bool direct_ = false;
  bool existed_ = false;
  bool standardOutput_ = false;
  bool unbuffered_ = false;
};

// The descriptor of this process a name stands for: "/dev/stdout" 1,
// "/dev/stderr" 2, "/dev/fd/N" and "/proc/self/fd/N" N, followed through
// links; -1 for any other name.
int descriptor_named(const std::string& path);

// Why writing a whole file failed: the file (index among those written
// together), whether it could be created at all, and the reason.
struct FileWriteFailure {
  std::size_t index = 0;
  bool created = false;  // false: it could not even be opened
  int error = 0;
  std::string reason;  // the system's text, or the target's refusal
};

// Writes `bytes` as the whole of `path` through an OutputTarget.
std::optional<FileWriteFailure> write_whole_file(const std::string& path, std::string_view bytes);

// Writes several files as one: every file is written and closed first, and
// only then are they put in place, so on any failure every target is as it
// was before (both or neither, for the two tables of an import).
struct FileToWrite {
  std::string path;
  std::string_view bytes;
};
std::optional<FileWriteFailure> write_files_together(const std::vector<FileToWrite>& files);

}  // namespace lucidra
