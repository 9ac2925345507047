// mapped_drives_win32.cpp - the test drives on Windows: the system's own C:
// and D:, used only where the environment lends them (QORB_TEST_DRIVES=1).
// C:\work and D:\data are emptied and laid out afresh; what a test adds to
// either root is taken away again, and everything else is left alone.
//
// Relies on the platform layer for the current drive and each drive's
// working directory, on std::filesystem for the host side, and on the
// system's wide-character calls to remove trees with long names.
#ifdef _WIN32

#include <cstdlib>
#include <cstring>
#include <string>
#include <system_error>
#include <vector>

#include "platform/files.h"
#include "platform/win32/windows_api.h"
#include "support/mapped_drives.h"

namespace qorb::test {
namespace {

namespace fs = std::filesystem;

// The entries of a drive's root, less the one tree the tests own there.
std::vector<RootEntry> RootEntries(const char *root, const char *owned) {
  std::vector<RootEntry> entries;
  std::error_code error;
  for (const fs::directory_entry &entry : fs::directory_iterator(root, error)) {
    const std::string name = entry.path().filename().string();
    if (name == owned) continue;
    std::error_code ignored;
    entries.push_back({name, entry.is_directory(ignored)});
  }
  return entries;
}

// Removes a file or a directory tree named in the system's long-name form
// ("\\?\C:\x"): tests make directories whose names pass MAX_PATH, which
// std::filesystem cannot remove here.
void RemoveLongTree(const std::wstring &path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return;
  SetFileAttributesW(path.c_str(), attributes & ~DWORD{FILE_ATTRIBUTE_READONLY});
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    DeleteFileW(path.c_str());
    return;
  }
  if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
    WIN32_FIND_DATAW found;
    const HANDLE search = FindFirstFileW((path + L"\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
      do {
        const std::wstring name = found.cFileName;
        if (name != L"." && name != L"..") RemoveLongTree(path + L"\\" + name);
      } while (FindNextFileW(search, &found) != FALSE);
      FindClose(search);
    }
  }
  RemoveDirectoryW(path.c_str());
}

// Removes an entry of a drive's root with all it holds.
void RemoveTree(const char *root, const std::string &name) {
  RemoveLongTree(L"\\\\?\\" + (fs::path(root) / name).wstring());
}

// Takes away what a test added to a drive's root, and the tree it owns.
void RemoveAdded(const char *root, const char *owned, const std::vector<RootEntry> &before) {
  for (const RootEntry &entry : RootEntries(root, owned)) {
    bool kept = false;
    for (const RootEntry &old : before) kept = kept || old.name == entry.name;
    if (!kept) RemoveTree(root, entry.name);
  }
  RemoveTree(root, owned);
}

std::string DriveWorkingDirectory(int drive) {
  char text[260] = "";
  return plat::ReadDriveWorkingDirectory(drive, text, sizeof text) ? text : "";
}

}  // namespace

bool TestDrivesAvailable() {
  const char *lent = std::getenv("QORB_TEST_DRIVES");
  return lent != nullptr && std::strcmp(lent, "1") == 0;
}

void MappedDrives::Prepare() {
  savedC_ = {true, DriveWorkingDirectory(kDriveC)};
  savedD_ = {true, DriveWorkingDirectory(kDriveD)};
  RemoveTree("C:\\", "work");
  RemoveTree("D:\\", "data");
  foreignC_ = RootEntries("C:\\", "work");
  foreignD_ = RootEntries("D:\\", "data");
  std::error_code error;
  if (!fs::create_directories("C:\\work\\src", error) ||
      !fs::create_directories("D:\\data", error)) {
    ADD_FAILURE() << "cannot make C:\\work\\src and D:\\data: " << error.message();
  }
}

void MappedDrives::Restore() {
  // Each named directory makes its drive current and is remembered as that
  // drive's own when the next one is entered.
  for (const SavedDrive *saved : {&savedD_, &savedC_}) {
    if (!saved->directory.empty()) plat::ChangeWorkingDirectory(saved->directory.c_str());
  }
  std::error_code ignored;
  fs::current_path(savedWorkingDirectory_, ignored);
  RemoveAdded("C:\\", "work", foreignC_);
  RemoveAdded("D:\\", "data", foreignD_);
}

fs::path MappedDrives::Host(const std::string &pathName) const {
  return fs::path(pathName);
}

}  // namespace qorb::test

#endif
