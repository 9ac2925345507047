// mapped_drives.h - drives C: and D: on fresh temporary directories for the
// length of a test, with the drive table, the current drive and the host
// working directory put back afterwards.
#pragma once

#include <filesystem>
#include <string>

namespace qorb::test {

// Why tests on mapped drives are left out on Windows, where drives are the
// system's own and the layer maps each only to itself.
inline constexpr char kNoDriveMapping[] =
    "C: and D: on temporary directories need the emulated drive map";

// On construction (POSIX; nothing on Windows, whose tests skip with
// kNoDriveMapping): C: and D: map to new empty directories, "C:\work\src\"
// and "D:\data\" exist, D:'s working directory is "D:\data\" and the current
// drive is C: in "C:\work\src\". Other drives stay as they were.
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

 private:
  struct Saved {
    bool mapped = false;
    std::string root;
  };
  std::filesystem::path root_;
  Saved savedC_, savedD_;
  int savedDrive_ = 0;
  std::filesystem::path savedWorkingDirectory_;
};

}  // namespace qorb::test
