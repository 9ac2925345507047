// directory_search.cpp - searching a directory by a wildcard pattern.
//
// Relies on: opendir/readdir on the host directory that the drive table
// resolves, fstatat where the host does not say an entry's type, and the
// Windows wildcard matcher of common/. A drive's root lists no "." or "..",
// as on Windows, so a search never leads above the drive.
#include <dirent.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <new>

#include "platform/common/path_text.h"
#include "platform/common/wildcard.h"
#include "platform/files.h"
#include "platform/posix/drive_table.h"
#include "platform/posix/host_error.h"

namespace qorb::plat {

struct DirectorySearch::State {
  DIR *directory;
  bool isDriveRoot;
  char pattern[kMaxWildcardPattern + 1];
};

namespace {

bool IsDotEntry(const char *name) {
  return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

bool IsDirectoryEntry(DIR *directory, const dirent *entry) {
  if (entry->d_type == DT_DIR) return true;
  if (entry->d_type != DT_UNKNOWN && entry->d_type != DT_LNK) return false;
  struct stat status {};
  return fstatat(dirfd(directory), entry->d_name, &status, 0) == 0 && S_ISDIR(status.st_mode);
}

bool Refuse(std::uint32_t code) {
  SetLastError(code);
  return false;
}

}  // namespace

DirectorySearch::~DirectorySearch() {
  Close();
}

void DirectorySearch::Close() {
  if (state_ == nullptr) return;
  closedir(state_->directory);
  delete state_;
  state_ = nullptr;
}

bool DirectorySearch::Begin(const char *pattern, FoundEntry *entry) {
  if (pattern == nullptr || entry == nullptr || state_ != nullptr) {
    return Refuse(kErrorInvalidParameter);
  }
  const char *namePart = NamePartOf(pattern);
  const std::size_t nameLength = std::strlen(namePart);
  if (nameLength == 0 || nameLength > kMaxWildcardPattern) return Refuse(kErrorFileNotFound);
  const std::size_t directoryLength = static_cast<std::size_t>(namePart - pattern);
  if (directoryLength >= kHostPathCapacity) return Refuse(kErrorNameTooLong);
  char directoryName[kHostPathCapacity];
  std::memcpy(directoryName, pattern, directoryLength);
  directoryName[directoryLength] = '\0';

  HostPath host;
  if (!ResolveHostPath(directoryName, &host)) return false;
  DIR *directory = opendir(host.path);
  if (directory == nullptr) return Refuse(PathErrorFromErrno(errno));
  state_ = new (std::nothrow) State{directory, host.isDriveRoot, {}};
  if (state_ == nullptr) {
    closedir(directory);
    return Refuse(kErrorNotEnoughMemory);
  }
  std::memcpy(state_->pattern, namePart, nameLength + 1);
  if (Next(entry)) return true;
  const std::uint32_t code = LastError();
  Close();
  return Refuse(code == kErrorNoMoreFiles ? kErrorFileNotFound : code);
}

bool DirectorySearch::Next(FoundEntry *entry) {
  if (state_ == nullptr || entry == nullptr) return Refuse(kErrorInvalidParameter);
  errno = 0;
  while (const dirent *found = readdir(state_->directory)) {
    if (state_->isDriveRoot && IsDotEntry(found->d_name)) continue;
    if (!WildcardMatches(state_->pattern, found->d_name)) continue;
    const std::size_t length = std::strlen(found->d_name);
    if (length >= sizeof entry->name) continue;
    std::memcpy(entry->name, found->d_name, length + 1);
    entry->attributes = IsDirectoryEntry(state_->directory, found) ? kAttributeDirectory : 0;
    return true;
  }
  return Refuse(errno != 0 ? WindowsErrorFromErrno(errno) : kErrorNoMoreFiles);
}

}  // namespace qorb::plat
