#include "base/output_target.h"

#include "base/platform_file.h"

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <system_error>
#include <utility>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace lucidra {
namespace {

namespace fs = std::filesystem;

// Longest file name the common file systems take (NAME_MAX of Linux, the
// component limit of NTFS).
constexpr std::size_t kNameMax = 255;

// The name of a temporary file beside `path`: the target's name, shortened
// (on a character boundary) where needed so that the temporary name is legal
// whenever the target's is.
std::string temporary_pattern(const std::string& path) {
  const fs::path target = path_from_utf8(path);
  const fs::path folder = target.parent_path();
  static constexpr std::string_view kPrefix = ".~", kSuffix = ".lucidra-XXXXXX";
  std::string base = path_to_utf8(target.filename());
  const std::size_t room = kNameMax - kPrefix.size() - kSuffix.size();
  if (base.size() > room) {
    std::size_t cut = room;
    while (cut > 0 && (static_cast<unsigned char>(base[cut]) & 0xC0) == 0x80) --cut;
    base.resize(cut);
  }
  const std::string name = std::string(kPrefix) + base + std::string(kSuffix);
  return folder.empty() ? name : path_to_utf8(folder / path_from_utf8(name));
}

#ifdef _WIN32
std::wstring wide(const std::string& utf8) {
  if (utf8.empty()) return {};
  const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring out(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), n);
  return out;
}
#endif

}  // namespace

bool OutputTarget::open(const std::string& path, int& error) {
  path_ = path;
  error = 0;
  if (path == "-") {
    direct_ = standardOutput_ = true;
#ifdef _WIN32
    _setmode(_fileno(stdout), _O_BINARY);
#endif
    stream_ = stdout;
    return true;
  }
#ifdef _WIN32
  const std::wstring target = wide(path);
  const DWORD attributes = GetFileAttributesW(target.c_str());
  existed_ = attributes != INVALID_FILE_ATTRIBUTES;
  if (existed_ && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    error = EISDIR;
    return false;
  }
  if (existed_ && (attributes & FILE_ATTRIBUTE_READONLY) != 0) {
    error = EACCES;
    return false;
  }
  // Device names (NUL, CON, COM1...) are written directly.
  direct_ = existed_ ? false : (path == "NUL" || path == "nul");
  if (direct_) {
    stream_ = _wfopen(target.c_str(), L"wb");
    if (stream_ == nullptr) error = errno;
    return stream_ != nullptr;
  }
  std::string pattern = temporary_pattern(path);
  for (int attempt = 0; attempt < 100 && stream_ == nullptr; ++attempt) {
    temporary_ = pattern.substr(0, pattern.size() - 6) + std::to_string(GetCurrentProcessId()) + "-" +
                 std::to_string(GetTickCount() + static_cast<DWORD>(attempt));
    // "x": fail when the name exists, so another writer's file is never reused.
    stream_ = _wfopen(wide(temporary_).c_str(), L"wbx");
  }
  if (stream_ == nullptr) {
    error = errno;
    temporary_.clear();
  }
  return stream_ != nullptr;
#else
  const int descriptor = descriptor_named(path);
  if (descriptor >= 0) {
    // The shell's own redirection (">> build.log" behind /dev/stdout) is
    // written through, never followed to a name and replaced.
    const int fd = ::dup(descriptor);
    if (fd < 0 || (stream_ = ::fdopen(fd, "wb")) == nullptr) {
      error = errno;
      if (fd >= 0) ::close(fd);
      return false;
    }
    direct_ = true;
    return true;
  }
  struct stat info {};
  existed_ = ::stat(path.c_str(), &info) == 0;
  // A link is followed: the file it names is the one replaced.
  struct stat link {};
  if (existed_ && ::lstat(path.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) {
    std::error_code ec;
    const fs::path resolved = fs::canonical(path, ec);
    if (!ec) path_ = resolved.string();
  }
  direct_ = existed_ && !S_ISREG(info.st_mode);
  if (existed_ && S_ISDIR(info.st_mode)) {
    error = EISDIR;
    return false;
  }
  if (direct_) {
    // Write-only: a pipe whose reader has gone then fails the next write
    // instead of taking bytes nobody reads.
    const int fd = ::open(path.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
    if (fd < 0 || (stream_ = ::fdopen(fd, "wb")) == nullptr) {
      error = errno;
      if (fd >= 0) ::close(fd);
      return false;
    }
    return true;
  }
  // A file its owner made read-only is not replaced behind their back.
  if (existed_ && ::faccessat(AT_FDCWD, path_.c_str(), W_OK, AT_EACCESS) != 0) {
    error = errno;
    return false;
  }
  if (path_from_utf8(path_).filename().native().size() > kNameMax) {
    error = ENAMETOOLONG;
    return false;
  }
  std::string pattern = temporary_pattern(path_);
  const int fd = ::mkstemp(pattern.data());
  if (fd < 0) {
    error = errno;
    // A file the user may write in a folder they may not: writing it in
    // place would lose it on any failure, so it is refused.
    if (existed_ && (error == EACCES || error == EROFS || error == EPERM)) {
      refusal_ = "no temporary file can be created in its folder (" + std::generic_category().message(error) +
                 "), and it is not written in place, where a failed run would lose it";
    }
    return false;
  }
  temporary_ = pattern;
  // The new file gets the permissions of the one it replaces, or those a
  // newly created file gets (mkstemp makes it private to its owner).
  mode_t mode = 0;
  if (existed_) {
    mode = info.st_mode & 07777;
  } else {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    mode = 0666 & ~mask;
  }
  if (::fchmod(fd, mode) != 0 || (stream_ = ::fdopen(fd, "w+b")) == nullptr) {
    error = errno;
    ::close(fd);
    ::unlink(temporary_.c_str());
    temporary_.clear();
    return false;
  }
  return true;
#endif
}

bool OutputTarget::rewritable() const {
  if (stream_ == nullptr) return false;
#ifdef _WIN32
  const HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream_)));
  return handle != INVALID_HANDLE_VALUE && GetFileType(handle) == FILE_TYPE_DISK;
#else
  const int fd = ::fileno(stream_);
  const int flags = ::fcntl(fd, F_GETFL);
  // Appending writes go to the end whatever the position.
  if (flags < 0 || (flags & O_APPEND) != 0) return false;
  return ::lseek(fd, 0, SEEK_CUR) != static_cast<off_t>(-1);
#endif
}

bool OutputTarget::begin_unbuffered_writes() {
#ifdef _WIN32
  return false;
#else
  if (stream_ == nullptr || direct_ || temporary_.empty() || unbuffered_) return unbuffered_;
  const int fd = ::fileno(stream_);
  const int flags = ::fcntl(fd, F_GETFL);
  // File systems without it (tmpfs, some network ones) refuse the flag: the
  // writes then stay as they were.
  if (flags < 0 || ::fcntl(fd, F_SETFL, flags | O_DIRECT) != 0) return false;
  unbuffered_ = true;
  return true;
#endif
}

int OutputTarget::write_unbuffered(const char* bytes, std::size_t size) {
#ifdef _WIN32
  (void)bytes;
  (void)size;
  return EINVAL;
#else
  if (!unbuffered_ || stream_ == nullptr || size % kDirectAlignment != 0 ||
      reinterpret_cast<std::uintptr_t>(bytes) % kDirectAlignment != 0) {
    return EINVAL;
  }
  const int fd = ::fileno(stream_);
  bool wroteAny = false;
  while (size > 0) {
    const ssize_t n = ::write(fd, bytes, size);
    if (n < 0 && errno == EINTR) continue;
    // A file system that took the flag but refuses the write: nothing was
    // written, and the caller can write the same bytes the ordinary way.
    if (n < 0 && errno == EINVAL) return wroteAny ? EIO : EINVAL;
    wroteAny = true;
    // A short write leaves the file's end off the alignment: nothing more
    // could be written unbuffered, and a short write means a full medium.
    if (n <= 0 || static_cast<std::size_t>(n) % kDirectAlignment != 0) return n < 0 ? errno : ENOSPC;
    bytes += n;
    size -= static_cast<std::size_t>(n);
  }
  return 0;
#endif
}

int OutputTarget::end_unbuffered_writes() {
#ifdef _WIN32
  return 0;
#else
  if (!unbuffered_ || stream_ == nullptr) return 0;
  unbuffered_ = false;
  const int fd = ::fileno(stream_);
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_DIRECT) != 0) return errno != 0 ? errno : EIO;
  // The stream learns where the descriptor's writes have left the file.
  if (std::fseek(stream_, 0, SEEK_END) != 0) return errno != 0 ? errno : EIO;
  return 0;
#endif
}

int OutputTarget::close_stream() {
  std::FILE* stream = std::exchange(stream_, nullptr);
  if (stream == nullptr) return 0;
  unbuffered_ = false;
  if (standardOutput_) return std::fflush(stream) != 0 ? (errno != 0 ? errno : EIO) : 0;
  errno = 0;
  if (std::fclose(stream) != 0) {
    const int error = errno != 0 ? errno : EIO;
    discard();
    return error;
  }
  return 0;
}

namespace {

// Moves `from` over `to`; 0 or an errno value.
int rename_over(const std::string& from, const std::string& to) {
#ifdef _WIN32
  if (!MoveFileExW(wide(from).c_str(), wide(to).c_str(), MOVEFILE_REPLACE_EXISTING)) {
    return GetLastError() == ERROR_ACCESS_DENIED ? EACCES : EIO;
  }
  return 0;
#else
  return ::rename(from.c_str(), to.c_str()) != 0 ? errno : 0;
#endif
}

void remove_file(const std::string& path) {
#ifdef _WIN32
  _wremove(wide(path).c_str());
#else
  ::unlink(path.c_str());
#endif
}

}  // namespace

int OutputTarget::commit() {
  const bool open = stream_ != nullptr;
  if (const int error = close_stream(); error != 0) return error;
  if (!open || temporary_.empty()) return 0;
  if (const int error = rename_over(temporary_, path_); error != 0) {
    discard();
    return error;
  }
  temporary_.clear();
  return 0;
}

void OutputTarget::discard() noexcept {
  unbuffered_ = false;
  if (stream_ != nullptr) {
    if (standardOutput_) {
      std::fflush(stream_);
    } else {
      std::fclose(stream_);
    }
    stream_ = nullptr;
  }
  if (!temporary_.empty()) {
    remove_file(temporary_);
    temporary_.clear();
  }
}

int descriptor_named(const std::string& path) {
#ifdef _WIN32
  (void)path;
  return -1;
#else
  const auto number_after = [](const std::string& name, std::string_view prefix) -> int {
    if (name.compare(0, prefix.size(), prefix) != 0 || name.size() == prefix.size()) return -1;
    int n = 0;
    for (std::size_t i = prefix.size(); i < name.size(); ++i) {
      if (name[i] < '0' || name[i] > '9' || n > 100000) return -1;
      n = n * 10 + (name[i] - '0');
    }
    return n;
  };
  const std::string self = "/proc/" + std::to_string(::getpid()) + "/fd/";
  std::string name = path;
  for (int hop = 0; hop < 40; ++hop) {
    if (name == "/dev/stdout") return 1;
    if (name == "/dev/stderr") return 2;
    for (const std::string_view prefix : {std::string_view("/dev/fd/"), std::string_view("/proc/self/fd/"),
                                          std::string_view("/proc/thread-self/fd/"), std::string_view(self)}) {
      if (const int n = number_after(name, prefix); n >= 0) return n;
    }
    char target[4096];
    const ssize_t length = ::readlink(name.c_str(), target, sizeof target - 1);
    if (length <= 0) return -1;
    const std::string next(target, static_cast<std::size_t>(length));
    name = next.front() == '/' ? next : path_to_utf8(path_from_utf8(name).parent_path() / path_from_utf8(next));
  }
  return -1;
#endif
}

std::optional<FileWriteFailure> write_whole_file(const std::string& path, std::string_view bytes) {
  return write_files_together({FileToWrite{path, bytes}});
}

std::optional<FileWriteFailure> write_files_together(const std::vector<FileToWrite>& files) {
  const auto failure = [](std::size_t index, bool created, int error, const std::string& refusal) {
    if (error == 0) error = ENOSPC;  // a short write without a reason: a full medium in practice
    return FileWriteFailure{index, created, error, refusal.empty() ? std::generic_category().message(error) : refusal};
  };
  std::vector<std::unique_ptr<OutputTarget>> targets;
  for (std::size_t k = 0; k < files.size(); ++k) {
    auto target = std::make_unique<OutputTarget>();
    int error = 0;
    if (!target->open(files[k].path, error)) return failure(k, false, error, target->refusal());
    errno = 0;
    const std::string_view bytes = files[k].bytes;
    if (std::fwrite(bytes.data(), 1, bytes.size(), target->stream()) != bytes.size()) {
      return failure(k, true, errno, {});
    }
    if (const int closeError = target->close_stream(); closeError != 0) return failure(k, true, closeError, {});
    targets.push_back(std::move(target));
  }
  // Every file is complete: each takes its place, the file it replaces kept
  // aside until all have, and put back if one cannot.
  struct Placed {
    std::string path, kept;  // kept: the previous file, moved aside ("" for none)
  };
  std::vector<Placed> placed;
  const auto undo = [&] {
    for (auto it = placed.rbegin(); it != placed.rend(); ++it) {
      if (it->kept.empty()) {
        remove_file(it->path);
      } else {
        rename_over(it->kept, it->path);
      }
    }
  };
  for (std::size_t k = 0; k < targets.size(); ++k) {
    OutputTarget& target = *targets[k];
    if (target.temporary_path().empty()) continue;  // written directly
    Placed step{target.target_path(), {}};
    if (target.replaces_existing() && targets.size() > 1) {
      OutputTarget aside;  // a unique name beside the file for the previous one
      int error = 0;
      if (!aside.open(target.target_path(), error) || (error = aside.close_stream()) != 0 ||
          (error = rename_over(target.target_path(), aside.temporary_path())) != 0) {
        undo();
        return failure(k, true, error, aside.refusal());
      }
      step.kept = aside.temporary_path();
      aside.placed();
    }
    if (const int error = rename_over(target.temporary_path(), target.target_path()); error != 0) {
      if (!step.kept.empty()) rename_over(step.kept, step.path);
      undo();
      return failure(k, true, error, {});
    }
    target.placed();
    placed.push_back(std::move(step));
  }
  for (const Placed& p : placed) {
    if (!p.kept.empty()) remove_file(p.kept);
  }
  return std::nullopt;
}

}  // namespace lucidra
