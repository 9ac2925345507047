// directory_search.cpp - searching a directory by a wildcard pattern on
// Windows.
//
// Relies on FindFirstFileA/FindNextFileA over every entry of the directory,
// filtered by the Windows wildcard matcher of common/, so that every host
// matches by the same rules (the system's own matching also tries each
// entry's short 8.3 name). Windows lists "." and ".." except in a drive's
// root, as the layer promises.
#include <cstring>
#include <new>

#include "platform/common/path_text.h"
#include "platform/common/wildcard.h"
#include "platform/files.h"
#include "platform/win32/drives.h"
#include "platform/win32/windows_api.h"

namespace qorb::plat {

struct DirectorySearch::State {
  HANDLE find;
  bool holdsUnread;  // `data` holds an entry Next has not given yet
  WIN32_FIND_DATAA data;
  char pattern[kMaxWildcardPattern + 1];
};

namespace {

bool Refuse(std::uint32_t code) {
  SetLastError(code);
  return false;
}

// A directory that is no directory, or a name Windows cannot take, is a path
// that is not there.
std::uint32_t SearchError(DWORD code) {
  return code == ERROR_DIRECTORY || code == ERROR_INVALID_NAME ? kErrorPathNotFound : code;
}

}  // namespace

DirectorySearch::~DirectorySearch() {
  Close();
}

void DirectorySearch::Close() {
  if (state_ == nullptr) return;
  FindClose(state_->find);
  delete state_;
  state_ = nullptr;
}

bool DirectorySearch::Begin(const char *pattern, FoundEntry *entry) {
  if (pattern == nullptr || entry == nullptr || state_ != nullptr) {
    return Refuse(kErrorInvalidParameter);
  }
  if (!win32::PathDriveExists(pattern)) return false;
  const char *namePart = NamePartOf(pattern);
  const std::size_t nameLength = std::strlen(namePart);
  if (nameLength == 0 || nameLength > kMaxWildcardPattern) return Refuse(kErrorFileNotFound);
  // The directory part as given, then "*" for every entry.
  const std::size_t directoryLength = static_cast<std::size_t>(namePart - pattern);
  char everything[MAX_PATH];
  if (directoryLength + 2 > sizeof everything) return Refuse(kErrorNameTooLong);
  std::memcpy(everything, pattern, directoryLength);
  std::memcpy(everything + directoryLength, "*", 2);

  state_ = new (std::nothrow) State{};
  if (state_ == nullptr) return Refuse(kErrorNotEnoughMemory);
  state_->find = FindFirstFileA(everything, &state_->data);
  if (state_->find == INVALID_HANDLE_VALUE) {
    const DWORD code = GetLastError();
    delete state_;
    state_ = nullptr;
    return Refuse(SearchError(code));
  }
  state_->holdsUnread = true;
  std::memcpy(state_->pattern, namePart, nameLength + 1);
  if (Next(entry)) return true;
  const std::uint32_t code = LastError();
  Close();
  return Refuse(code == kErrorNoMoreFiles ? kErrorFileNotFound : code);
}

bool DirectorySearch::Next(FoundEntry *entry) {
  if (state_ == nullptr || entry == nullptr) return Refuse(kErrorInvalidParameter);
  for (;;) {
    if (!state_->holdsUnread && FindNextFileA(state_->find, &state_->data) == FALSE) {
      return Refuse(GetLastError());
    }
    state_->holdsUnread = false;
    const WIN32_FIND_DATAA &found = state_->data;
    if (!WildcardMatches(state_->pattern, found.cFileName)) continue;
    const std::size_t length = std::strlen(found.cFileName);
    if (length >= sizeof entry->name) continue;
    std::memcpy(entry->name, found.cFileName, length + 1);
    entry->attributes = found.dwFileAttributes;
    return true;
  }
}

}  // namespace qorb::plat
