// mapped_drives_posix.cpp - the test drives on POSIX: C: and D: mapped to
// new temporary directories, the layer's drive table put back afterwards.
//
// Relies on the platform layer's drive table and std::filesystem.
#ifndef _WIN32

#include <cctype>
#include <cstdlib>
#include <system_error>
#include <utility>

#include "platform/files.h"
#include "support/mapped_drives.h"
#include "support/temp_directory.h"

namespace qorb::test {

namespace fs = std::filesystem;

bool TestDrivesAvailable() {
  return true;
}

void MappedDrives::Prepare() {
  for (auto [drive, saved] : {std::pair{kDriveC, &savedC_}, std::pair{kDriveD, &savedD_}}) {
    char root[4096];
    saved->mapped = plat::HostDirectoryOfDrive(drive, root, sizeof root);
    if (saved->mapped) saved->directory = root;
  }
  root_ = MakeTempDirectory("qorb_files_");
  if (root_.empty()) std::abort();
  fs::create_directories(root_ / "c" / "work" / "src");
  fs::create_directories(root_ / "d" / "data");
  if (!plat::MapDrive(kDriveC, (root_ / "c").string().c_str()) ||
      !plat::MapDrive(kDriveD, (root_ / "d").string().c_str())) {
    ADD_FAILURE() << "cannot map C: and D: below " << root_;
  }
}

void MappedDrives::Restore() {
  plat::ChangeCurrentDrive(kDriveC);
  for (auto [drive, saved] : {std::pair{kDriveC, &savedC_}, std::pair{kDriveD, &savedD_}}) {
    if (saved->mapped) {
      plat::MapDrive(drive, saved->directory.c_str());
    } else {
      plat::UnmapDrive(drive);
    }
  }
  fs::current_path(savedWorkingDirectory_);
  if (plat::CurrentDrive() != savedDrive_) {
    plat::ChangeCurrentDrive(savedDrive_);
    fs::current_path(savedWorkingDirectory_);
  }
  std::error_code ignored;
  fs::remove_all(root_, ignored);
}

fs::path MappedDrives::Host(const std::string &pathName) const {
  std::string below = pathName.size() > 3 ? pathName.substr(3) : std::string();
  for (char &c : below) c = c == '\\' ? '/' : c;
  const char drive = static_cast<char>(std::toupper(static_cast<unsigned char>(pathName[0])));
  return root_ / (drive == 'C' ? "c" : "d") / below;
}

}  // namespace qorb::test

#endif
