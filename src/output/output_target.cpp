#include "output/output_target.h"

#include "base/platform_file.h"

#include <cerrno>
#include <cstdlib>
#include <filesystem>
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

// The folder and name of `path`, and the name of a temporary file beside it.
std::string temporary_pattern(const std::string& path) {
  const fs::path target = path_from_utf8(path);
  const fs::path folder = target.parent_path();
  const std::string name = ".~" + path_to_utf8(target.filename()) + ".lucidra-XXXXXX";
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
    stream_ = std::fopen(path.c_str(), "w+b");
    if (stream_ == nullptr) error = errno;
    return stream_ != nullptr;
  }
  // A file its owner made read-only is not replaced behind their back.
  if (existed_ && ::access(path_.c_str(), W_OK) != 0) {
    error = errno;
    return false;
  }
  std::string pattern = temporary_pattern(path_);
  const int fd = ::mkstemp(pattern.data());
  if (fd < 0) {
    error = errno;
    // A file the user may write in a folder they may not: it can only be
    // written in place.
    if (existed_ && (error == EACCES || error == EROFS || error == EPERM) && ::access(path_.c_str(), W_OK) == 0) {
      direct_ = true;
      stream_ = std::fopen(path_.c_str(), "w+b");
      error = stream_ == nullptr ? errno : 0;
      return stream_ != nullptr;
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

int OutputTarget::commit() {
  std::FILE* stream = std::exchange(stream_, nullptr);
  if (stream == nullptr) return 0;
  if (standardOutput_) return std::fflush(stream) != 0 ? (errno != 0 ? errno : EIO) : 0;
  errno = 0;
  if (std::fclose(stream) != 0) {
    const int error = errno != 0 ? errno : EIO;
    discard();
    return error;
  }
  if (temporary_.empty()) return 0;
#ifdef _WIN32
  if (!MoveFileExW(wide(temporary_).c_str(), wide(path_).c_str(), MOVEFILE_REPLACE_EXISTING)) {
    const int error = GetLastError() == ERROR_ACCESS_DENIED ? EACCES : EIO;
    discard();
    return error;
  }
#else
  if (::rename(temporary_.c_str(), path_.c_str()) != 0) {
    const int error = errno;
    discard();
    return error;
  }
#endif
  temporary_.clear();
  return 0;
}

void OutputTarget::discard() noexcept {
  if (stream_ != nullptr) {
    if (standardOutput_) {
      std::fflush(stream_);
    } else {
      std::fclose(stream_);
    }
    stream_ = nullptr;
  }
  if (!temporary_.empty()) {
#ifdef _WIN32
    _wremove(wide(temporary_).c_str());
#else
    ::unlink(temporary_.c_str());
#endif
    temporary_.clear();
  }
}

}  // namespace lucidra
