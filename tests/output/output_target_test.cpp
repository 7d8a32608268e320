// The one writer every file goes through: what it replaces, what it writes
// through, and what it leaves when it fails.

#include "base/output_target.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <new>
#include <thread>

#include "support/temp_dir.h"

namespace lucidra {
namespace {

namespace fs = std::filesystem;

std::string bytes_of(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Every name in the folder, hidden ones included.
std::vector<std::string> listing(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

TEST(OutputTarget, DescriptorNamesAreFollowedThroughLinks) {
  TempDir dir;
  fs::create_symlink("/dev/stdout", dir.path() / "to-stdout");
  fs::create_symlink("to-stdout", dir.path() / "relative-link");
  dir.write("plain.txt", "x");
  fs::create_symlink(dir.path() / "plain.txt", dir.path() / "to-plain");
  const struct {
    std::string name;
    int descriptor;
  } cases[] = {
      {"/dev/stdout", 1},
      {"/dev/stderr", 2},
      {"/dev/fd/7", 7},
      {"/proc/self/fd/3", 3},
      {"/proc/" + std::to_string(::getpid()) + "/fd/12", 12},
      {(dir.path() / "to-stdout").string(), 1},
      {(dir.path() / "relative-link").string(), 1},
      {"/dev/null", -1},
      {"/proc/self/fd/x", -1},
      {"/dev/fd/", -1},
      {(dir.path() / "plain.txt").string(), -1},
      {(dir.path() / "to-plain").string(), -1},
      {"-", -1},
  };
  for (const auto& c : cases) EXPECT_EQ(descriptor_named(c.name), c.descriptor) << c.name;
}

TEST(OutputTarget, WholeFileReplacesKeepingModeOrLeavesItAsItWas) {
  TempDir dir;
  const fs::path target = dir.path() / "settings.cfg";
  dir.write("settings.cfg", "previous");
  ::chmod(target.c_str(), 0640);
  ASSERT_EQ(write_whole_file(target.string(), "new text"), std::nullopt);
  EXPECT_EQ(bytes_of(target), "new text");
  EXPECT_EQ(fs::status(target).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);

  // Names up to the longest legal one: the temporary name fits as well.
  for (const std::size_t length : {238u, 239u, 250u, 255u}) {
    const std::string name(length, 'n');
    EXPECT_EQ(write_whole_file((dir.path() / name).string(), "long"), std::nullopt) << length;
    EXPECT_EQ(bytes_of(dir.path() / name), "long") << length;
    fs::remove(dir.path() / name);
  }
  // A name whose shortened temporary name would cut a character in two.
  const std::string accented = std::string(237, 'e') + "\xC3\xA9" + std::string(10, 'x');
  EXPECT_EQ(write_whole_file((dir.path() / accented).string(), "utf8"), std::nullopt);
  EXPECT_EQ(bytes_of(dir.path() / accented), "utf8");
  fs::remove(dir.path() / accented);

  const auto failure = write_whole_file((dir.path() / std::string(256, 'n')).string(), "x");
  ASSERT_TRUE(failure.has_value());
  EXPECT_FALSE(failure->created);
  EXPECT_EQ(failure->reason, "File name too long");
  EXPECT_EQ(listing(dir.path()), std::vector<std::string>{"settings.cfg"}) << "no debris";
}

TEST(OutputTarget, FilesWrittenTogetherChangeTogetherOrNotAtAll) {
  TempDir dir;
  const fs::path first = dir.path() / "lamp_C0-C180.txt", second = dir.path() / "lamp_C90-C270.txt";
  const auto reset = [&] {
    fs::remove_all(second);
    dir.write(first.filename().string(), "old first");
    dir.write(second.filename().string(), "old second");
  };
  struct Case {
    const char* what;
    std::function<void()> prepare;
    std::string secondPath;
    std::size_t failedIndex;
    std::string reason;
  };
  const Case cases[] = {
      {"second name is a folder",
       [&] {
         fs::remove(second);
         fs::create_directory(second);
         dir.write("lamp_C90-C270.txt/inside", "kept");
       },
       second.string(), 1, "Is a directory"},
      {"second is a full disk", [] {}, "/dev/full", 1, "No space left on device"},
      {"second folder missing", [] {}, (dir.path() / "missing" / "b.txt").string(), 1, "No such file or directory"},
  };
  for (const Case& c : cases) {
    reset();
    c.prepare();
    const auto before = listing(dir.path());
    const auto failure = write_files_together({{first.string(), "new first"}, {c.secondPath, "new second"}});
    ASSERT_TRUE(failure.has_value()) << c.what;
    EXPECT_EQ(failure->index, c.failedIndex) << c.what;
    EXPECT_EQ(failure->reason, c.reason) << c.what;
    EXPECT_EQ(bytes_of(first), "old first") << c.what << ": the first table is kept";
    EXPECT_EQ(listing(dir.path()), before) << c.what << ": nothing added or removed";
    if (fs::is_directory(second)) {
      EXPECT_EQ(bytes_of(second / "inside"), "kept") << c.what;
    }
  }

  reset();
  ASSERT_EQ(write_files_together({{first.string(), "new first"}, {second.string(), "new second"}}), std::nullopt);
  EXPECT_EQ(bytes_of(first), "new first");
  EXPECT_EQ(bytes_of(second), "new second");
  EXPECT_EQ(listing(dir.path()), (std::vector<std::string>{first.filename().string(), second.filename().string()}));
}

// Unbuffered writes (past the page cache) are an option of a temporary file
// only: a device or a file system without them keeps ordinary writes, a
// misaligned block is refused with a reason instead of corrupting the file,
// and the file holds the aligned blocks and the ordinary tail in order.
TEST(OutputTarget, UnbufferedWritesAreAnOptionThatNeverChangesTheBytes) {
  TempDir dir;
  constexpr std::size_t kBlock = OutputTarget::kDirectAlignment;
  struct Deleter {
    void operator()(char* p) const noexcept { ::operator delete[](p, std::align_val_t{kBlock}); }
  };
  std::unique_ptr<char[], Deleter> block(static_cast<char*>(::operator new[](2 * kBlock, std::align_val_t{kBlock})));
  for (std::size_t i = 0; i < 2 * kBlock; ++i) block[i] = static_cast<char>('a' + i % 26);

  // Memory-backed folders may or may not take unbuffered writes, depending
  // on the kernel: either way the bytes are the same.
  std::vector<fs::path> folders{dir.path()};
  if (fs::is_directory("/dev/shm") && ::access("/dev/shm", W_OK) == 0) folders.push_back("/dev/shm");
  for (const fs::path& folder : folders) {
    SCOPED_TRACE(folder.string());
    const fs::path path = folder / ("unbuffered-" + std::to_string(::getpid()) + ".dat");
    OutputTarget target;
    int error = 0;
    ASSERT_TRUE(target.open(path.string(), error)) << error;
    std::string expected;
    if (target.begin_unbuffered_writes()) {
      EXPECT_TRUE(target.unbuffered_writes());
      EXPECT_EQ(target.write_unbuffered(block.get(), kBlock - 1), EINVAL) << "a partial block is refused";
      EXPECT_EQ(target.write_unbuffered(block.get() + 1, kBlock), EINVAL) << "unaligned memory is refused";
      ASSERT_EQ(target.write_unbuffered(block.get(), 2 * kBlock), 0);
      ASSERT_EQ(target.end_unbuffered_writes(), 0);
      EXPECT_FALSE(target.unbuffered_writes());
    } else {
      EXPECT_FALSE(target.unbuffered_writes());
      EXPECT_EQ(target.write_unbuffered(block.get(), 2 * kBlock), EINVAL) << "not unbuffered: refused";
      ASSERT_EQ(std::fwrite(block.get(), 1, 2 * kBlock, target.stream()), 2 * kBlock);
    }
    expected.assign(block.get(), 2 * kBlock);
    ASSERT_EQ(std::fwrite("tail", 1, 4, target.stream()), 4u);
    expected += "tail";
    ASSERT_EQ(target.commit(), 0);
    const std::string written = bytes_of(path);
    EXPECT_EQ(written.size(), expected.size());
    EXPECT_TRUE(written == expected);
    fs::remove(path);
  }

  OutputTarget device;
  int error = 0;
  ASSERT_TRUE(device.open("/dev/null", error));
  EXPECT_FALSE(device.begin_unbuffered_writes()) << "a device is written as it is";
}

TEST(OutputTarget, FifoWhoseReaderLeavesFailsTheWrite) {
  TempDir dir;
  const fs::path fifo = dir.path() / "fifo";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const auto previous = std::signal(SIGPIPE, SIG_IGN);
  std::thread reader([&] {
    std::ifstream in(fifo, std::ios::binary);
    char c[16];
    in.read(c, sizeof c);  // reads a little, then goes away
  });
  OutputTarget target;
  int error = 0;
  ASSERT_TRUE(target.open(fifo.string(), error)) << error;
  EXPECT_TRUE(target.direct());
  const std::string first(16, 'f');
  std::fwrite(first.data(), 1, first.size(), target.stream());
  std::fflush(target.stream());
  reader.join();
  const std::string block(1 << 16, 'r');
  bool failed = false;
  for (int i = 0; i < 64 && !failed; ++i) {
    failed = std::fwrite(block.data(), 1, block.size(), target.stream()) != block.size() ||
             std::fflush(target.stream()) != 0;
  }
  EXPECT_TRUE(failed) << "writes to a FIFO nobody reads must fail, not block or vanish";
  target.discard();
  std::signal(SIGPIPE, previous);
}

}  // namespace
}  // namespace lucidra
