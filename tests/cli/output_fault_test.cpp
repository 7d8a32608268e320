// Ray files that cannot be created or written: each run stops with the
// file's name and the system's reason, exits 1, never reports success, and
// leaves the previous file as it was (a device holds what reached it).

#include <gtest/gtest.h>
#include <sys/mount.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>

#include "cli_fixture.h"

namespace lucidra::testing {
namespace {

namespace fs = std::filesystem;

void expect_failed_without_success(const CliResult& r, const std::string& expectedErr, const std::string& what) {
  EXPECT_FALSE(r.timedOut) << what;
  EXPECT_EQ(r.exitCode, 1) << what;
  EXPECT_EQ(r.err, expectedErr) << what;
  EXPECT_EQ(r.out, "") << what << ": no success notice and no obtained flux";
}

TEST_F(CliTest, OutputThatCannotBeCreatedOrWritten) {
  fs::create_directory(dir.path() / "folder");
  dir.write("folder/keep.txt", "kept");
  const std::string longName(300, 'n');  // beyond NAME_MAX (255)
  std::string longPath;                  // beyond PATH_MAX (4096)
  for (int i = 0; i < 20; ++i) longPath += std::string(250, 'p') + "/";
  longPath += "ray.dat";

  struct Case {
    std::string what;
    std::string output;
    std::string expectedErr;
    std::function<void()> checkDisk;
  };
  const Case cases[] = {
      {"missing folder", "missing/ray.dat",
       "lucidra-cli: Cannot create ray file missing/ray.dat: No such file or directory\n",
       [&] { EXPECT_FALSE(fs::exists(dir.path() / "missing")); }},
      {"a directory", "folder", "lucidra-cli: Cannot create ray file folder: Is a directory\n",
       [&] {
         EXPECT_TRUE(fs::is_directory(dir.path() / "folder"));
         EXPECT_EQ(bytes("folder/keep.txt"), "kept");
       }},
      {"name longer than NAME_MAX", longName,
       "lucidra-cli: Cannot create ray file " + longName + ": File name too long\n",
       [&] { EXPECT_FALSE(fs::exists(dir.path() / longName.substr(0, 255))); }},
      {"path longer than PATH_MAX", longPath,
       "lucidra-cli: Cannot create ray file " + longPath + ": File name too long\n",
       [&] { EXPECT_FALSE(fs::exists(dir.path() / std::string(250, 'p'))); }},
      {"disk full (/dev/full)", "/dev/full",
       "lucidra-cli: Cannot write ray file /dev/full: No space left on device\n"
       "The ray file /dev/full is incomplete.\n",
       [] {}},
  };
  for (const Case& c : cases) {
    if (c.output == "/dev/full" && !fs::exists("/dev/full")) continue;
    expect_failed_without_success(run(generate({"-o", c.output})), c.expectedErr, c.what);
    c.checkDisk();
    EXPECT_EQ(bytes("ray.dat"), kPreviousRayFile) << c.what << ": another file was touched";
  }
  // The same for a large run, whose rays leave the buffer many times.
  if (fs::exists("/dev/full")) {
    expect_failed_without_success(run(generate({"-o", "/dev/full", "-n", "300000"})),
                                  "lucidra-cli: Cannot write ray file /dev/full: No space left on device\n"
                                  "The ray file /dev/full is incomplete.\n",
                                  "large run on /dev/full");
  }
}

// Makes a file immutable for as long as it lives (root ignores permission
// bits, so chattr +i is the only way to make a file read-only for root).
class Immutable {
 public:
  explicit Immutable(fs::path file) : file_(std::move(file)) {
    set_ = std::system(("chattr +i '" + file_.string() + "' 2>/dev/null").c_str()) == 0;
  }
  ~Immutable() {
    if (set_ && std::system(("chattr -i '" + file_.string() + "'").c_str()) != 0) {
      ADD_FAILURE() << "cannot clear the immutable flag of " << file_;
    }
  }
  Immutable(const Immutable&) = delete;
  Immutable& operator=(const Immutable&) = delete;
  bool set() const { return set_; }

 private:
  fs::path file_;
  bool set_ = false;
};

TEST_F(CliTest, ReadOnlyOutputIsLeftAsItWas) {
  std::string reason;
  if (::geteuid() != 0) {
    fs::permissions(dir.path() / "ray.dat", fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    reason = "Permission denied";
  }
  const Immutable immutable(dir.path() / "ray.dat");
  if (::geteuid() == 0) {
    if (!immutable.set()) {
      GTEST_SKIP() << "running as root, where permission bits do not stop writing, and chattr +i is not "
                      "available on this file system";
    }
    reason = "Operation not permitted";
  }
  expect_failed_without_success(run(generate()), "lucidra-cli: Cannot create ray file ray.dat: " + reason + "\n",
                                "read-only file");
  EXPECT_EQ(bytes("ray.dat"), kPreviousRayFile);
}

// A small file system of its own, unmounted when the test ends.
class SmallFileSystem {
 public:
  explicit SmallFileSystem(const fs::path& where) : where_(where) {
    fs::create_directory(where_);
    mounted_ = ::mount("tmpfs", where_.c_str(), "tmpfs", 0, "size=256k") == 0;
  }
  ~SmallFileSystem() {
    if (mounted_) ::umount(where_.c_str());
  }
  SmallFileSystem(const SmallFileSystem&) = delete;
  SmallFileSystem& operator=(const SmallFileSystem&) = delete;
  bool mounted() const { return mounted_; }

 private:
  fs::path where_;
  bool mounted_ = false;
};

TEST_F(CliTest, FullDiskLeavesThePreviousFile) {
  const SmallFileSystem small(dir.path() / "small");
  if (!small.mounted()) GTEST_SKIP() << "cannot mount a small tmpfs here (needs root); /dev/full covers disk full";
  dir.write("small/ray.dat", kPreviousRayFile);
  expect_failed_without_success(run(generate({"-o", "small/ray.dat", "-n", "100000"})),
                                "lucidra-cli: Cannot write ray file small/ray.dat: No space left on device\n"
                                "The ray file small/ray.dat is unchanged.\n",
                                "full tmpfs");
  EXPECT_EQ(bytes("small/ray.dat"), kPreviousRayFile);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path() / "small"), fs::directory_iterator()), 1)
      << "no temporary file left behind";
}

// "-o -" writes the ray file to standard output, byte for byte what a file
// gets, with every message on stderr.
TEST_F(CliTest, StandardOutputGetsTheSameBytesAsAFile) {
  const CliResult toFile = run(generate({"-o", "file.dat"}));
  ASSERT_EQ(toFile.exitCode, 0) << toFile.err;
  const CliResult toStdout = run(generate({"-o", "-"}));
  ASSERT_EQ(toStdout.exitCode, 0) << toStdout.err;
  EXPECT_TRUE(toStdout.out == bytes("file.dat")) << "standard output differs from the file";
  EXPECT_NE(toStdout.err.find(" Source File Created Succesfully!!! \ntotal flux: "), std::string::npos) << toStdout.err;
  EXPECT_FALSE(fs::exists(dir.path() / "-"));
}

}  // namespace
}  // namespace lucidra::testing
