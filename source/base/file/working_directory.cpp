// working_directory.cpp - reading and changing the working directory with
// the drive, and visiting a directory for a moment.
//
// Relies on: the platform layer's drives and working directories. The
// working directory and current drive belong to the process; nothing here
// locks them against other threads.
#include <cstring>

#include "file/file_private.h"
#include "platform/common/path_text.h"
#include "platform/files.h"

namespace qorb::fil {

int DriveNumberOf(char letter) {
  return static_cast<unsigned char>(UpperAscii(letter)) - 64;
}

char *GetPath(char *buffer) {
  char text[kPathCapacity];
  if (!plat::ReadWorkingDirectory(text, sizeof text)) text[0] = '\0';
  std::size_t length = std::strlen(text);
  if (length > 0 && text[length - 1] != '\\') {
    if (length + 1 < kPathCapacity) {
      text[length++] = '\\';
      text[length] = '\0';
    } else {
      length = 0;  // no room for the backslash: no text at all rather than a cut one
    }
  }
  std::memcpy(buffer, text, length);
  buffer[length] = '\0';
  return buffer;
}

// A trailing backslash is accepted as it stands: the platform ignores it.
bool SetPath(const char *path) {
  const char *rest = path;
  if (HasDrivePrefix(path)) {
    if (!plat::ChangeCurrentDrive(DriveNumberOf(path[0]))) return false;
    rest = path + 2;
  }
  if (rest[0] == '\0') return true;
  return plat::ChangeWorkingDirectory(rest);
}

DirectoryVisit::DirectoryVisit(const char *target) {
  otherDrive_[0] = '\0';
  noted_ = plat::ReadWorkingDirectory(home_, sizeof home_);
  const int drive = plat::SplitDrive(target).drive;
  if (noted_ && drive > 0 && drive != plat::DriveNumberOfLetter(home_[0])) {
    // A drive that cannot be read cannot be entered either: nothing to note.
    if (!plat::ReadDriveWorkingDirectory(drive, otherDrive_, sizeof otherDrive_)) {
      otherDrive_[0] = '\0';
    }
  }
}

DirectoryVisit::~DirectoryVisit() {
  if (!noted_ || kept_) return;
  if (otherDrive_[0] != '\0') plat::ChangeWorkingDirectory(otherDrive_);
  plat::ChangeWorkingDirectory(home_);
}

}  // namespace qorb::fil

extern "C" {

QORB_API char *FilGetPath(char *buffer) {
  if (buffer == nullptr) return nullptr;
  return qorb::fil::GetPath(buffer);
}

QORB_API uint32_t FilSetPath(const char *path) {
  if (path == nullptr) return 0;
  return qorb::fil::SetPath(path) ? 1 : 0;
}

}  // extern "C"
