// mapped_drives.h - drives C: and D: for the length of a test, laid out
// afresh, with the current drive and the working directories put back
// afterwards. On POSIX the drives map to new temporary directories; on
// Windows they are the system's own and the tests may use them only where
// the environment lends them (a throw-away Wine prefix, see
// scripts/test-windows.sh), which says so with QORB_TEST_DRIVES=1.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace qorb::test {

// The layer's numbers of the two drives.
inline constexpr int kDriveC = 3;
inline constexpr int kDriveD = 4;

// Why tests on C: and D: are left out where the drives are not theirs.
inline constexpr char kNoTestDrives[] =
    "C: and D: are the system's own here; set QORB_TEST_DRIVES=1 only where the tests may "
    "empty C:\\work and D:\\data and write in both roots (scripts/test-windows.sh does so in "
    "a throw-away Wine prefix)";

// Whether the tests may own C:\work, D:\data and the roots of both drives
// (always on POSIX, where both drives are temporary directories).
bool TestDrivesAvailable();

// Leaves the test out, with the reason, where the drives are not lent.
#define QORB_NEEDS_TEST_DRIVES()           \
  if (qorb::test::TestDrivesAvailable()) { \
  } else                                   \
    GTEST_SKIP() << qorb::test::kNoTestDrives

// An entry of a drive's root that the test did not make.
struct RootEntry {
  std::string name;
  bool directory;
};

// On construction, where TestDrivesAvailable(): "C:\work\src\" and
// "D:\data\" exist and are empty, D:'s working
// directory is "D:\data\" and the current drive is C: in "C:\work\src\".
// Other drives stay as they were. On destruction whatever the test added to
// the roots of C: and D: goes. Nothing happens where the drives are not
// lent; such tests skip with kNoTestDrives.
class MappedDrives {
 public:
  MappedDrives();
  ~MappedDrives();
  MappedDrives(const MappedDrives &) = delete;
  MappedDrives &operator=(const MappedDrives &) = delete;

  // The host path of a path name on C: or D: ("C:\work\a.txt").
  std::filesystem::path Host(const std::string &pathName) const;
  // Makes a file with its directories, holding the given bytes.
  void MakeFile(const std::string &pathName, const std::string &content = "") const;
  // Makes a directory with its parents.
  void MakeDirectory(const std::string &pathName) const;
  // What the root of C: or D: held before the test, besides "work" and
  // "data": the system's own entries on Windows, nothing on a temporary
  // drive.
  const std::vector<RootEntry> &ForeignRootEntries(char drive) const {
    return drive == 'C' ? foreignC_ : foreignD_;
  }

 private:
  struct SavedDrive {
    bool mapped = false;
    std::string directory;  // the host root on POSIX, the working directory on Windows
  };
  void Prepare();
  void Restore();

  bool active_ = false;
  std::filesystem::path root_;  // the temporary root of both drives (POSIX)
  SavedDrive savedC_, savedD_;
  int savedDrive_ = 0;
  std::filesystem::path savedWorkingDirectory_;
  std::vector<RootEntry> foreignC_, foreignD_;
};

}  // namespace qorb::test
