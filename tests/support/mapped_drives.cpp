// mapped_drives.cpp - the temporary drives of the file tests.
//
// Relies on: the platform layer's drive table (to save and restore it) and
// std::filesystem for the host side.
#include "support/mapped_drives.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstdlib>
#include <fstream>
#include <utility>

#include "platform/files.h"
#include "support/temp_directory.h"

namespace qorb::test {
namespace {

namespace fs = std::filesystem;
namespace plat = qorb::plat;

constexpr int kDriveC = 3;
constexpr int kDriveD = 4;

}  // namespace

MappedDrives::MappedDrives() {
#ifndef _WIN32  // Windows drives are the system's own: nothing to map
  savedWorkingDirectory_ = fs::current_path();
  savedDrive_ = plat::CurrentDrive();
  for (auto [drive, saved] : {std::pair{kDriveC, &savedC_}, std::pair{kDriveD, &savedD_}}) {
    char root[4096];
    saved->mapped = plat::HostDirectoryOfDrive(drive, root, sizeof root);
    if (saved->mapped) saved->root = root;
  }
  root_ = MakeTempDirectory("qorb_files_");
  if (root_.empty()) std::abort();
  fs::create_directories(root_ / "c" / "work" / "src");
  fs::create_directories(root_ / "d" / "data");
  if (!plat::MapDrive(kDriveC, (root_ / "c").string().c_str()) ||
      !plat::MapDrive(kDriveD, (root_ / "d").string().c_str()) ||
      !plat::ChangeWorkingDirectory("D:\\data") || !plat::ChangeWorkingDirectory("C:\\work\\src")) {
    ADD_FAILURE() << "cannot map C: and D: below " << root_;
  }
#endif
}

MappedDrives::~MappedDrives() {
  if (root_.empty()) return;
  plat::ChangeCurrentDrive(kDriveC);
  for (auto [drive, saved] : {std::pair{kDriveC, &savedC_}, std::pair{kDriveD, &savedD_}}) {
    if (saved->mapped) {
      plat::MapDrive(drive, saved->root.c_str());
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

void MappedDrives::MakeFile(const std::string &pathName, const std::string &content) const {
  const fs::path host = Host(pathName);
  fs::create_directories(host.parent_path());
  std::ofstream(host, std::ios::binary) << content;
}

void MappedDrives::MakeDirectory(const std::string &pathName) const {
  fs::create_directories(Host(pathName));
}

}  // namespace qorb::test
