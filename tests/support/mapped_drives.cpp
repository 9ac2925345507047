// mapped_drives.cpp - what the drives of the file tests do on every host:
// entering the fresh layout, putting the current drive back, and making
// files and directories on the drives.
//
// Relies on the platform layer's working-directory calls and on the
// host-specific halves in mapped_drives_posix.cpp and mapped_drives_win32.cpp
// (Prepare, Restore, Host, TestDrivesAvailable).
#include "support/mapped_drives.h"

#include <gtest/gtest.h>

#include <fstream>

#include "platform/files.h"

namespace qorb::test {

namespace fs = std::filesystem;

MappedDrives::MappedDrives() {
  if (!TestDrivesAvailable()) return;
  savedWorkingDirectory_ = fs::current_path();
  savedDrive_ = plat::CurrentDrive();
  active_ = true;
  Prepare();
  if (!plat::ChangeWorkingDirectory("D:\\data") || !plat::ChangeWorkingDirectory("C:\\work\\src")) {
    ADD_FAILURE() << "cannot enter D:\\data and C:\\work\\src: error " << plat::LastError();
  }
}

MappedDrives::~MappedDrives() {
  if (active_) Restore();
}

void MappedDrives::MakeFile(const std::string &pathName, const std::string &content) const {
  const fs::path host = Host(pathName);
  fs::create_directories(host.parent_path());
  std::ofstream(host, std::ios::binary) << content;
}

void MappedDrives::MakeDirectory(const std::string &pathName) const {
  fs::create_directories(Host(pathName));
}

}  // namespace qorb::test
