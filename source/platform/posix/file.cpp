// file.cpp - opening host files by the library's Windows-style path names.
//
// Relies on: stdio's fopen. A path name uses backslashes and may start with
// a drive letter; the host sees slashes, and drive C: is the host root. The
// translation lives in HostPathFor alone, so drive mappings and per-drive
// working directories can later be added in that one place.
#include <cctype>
#include <cerrno>
#include <cstddef>
#include <cstdio>

#include "platform/files.h"
#include "platform/posix/host_error.h"

namespace qorb::plat {

namespace {

// Room for any host path a mapped drive may expand to; longer results are
// refused rather than cut.
inline constexpr std::size_t kHostPathCapacity = 4096;

bool HasDriveLetter(const char *pathName) {
  return std::isalpha(static_cast<unsigned char>(pathName[0])) != 0 && pathName[1] == ':';
}

// Writes the host path for a path name into out: backslashes become slashes,
// "C:" stands for the host root (so "C:\tmp\x" is "/tmp/x" and "C:x" is "x"
// under the working directory). Other drives are not mapped yet: false.
bool HostPathFor(const char *pathName, char *out, std::size_t capacity) {
  const char *rest = pathName;
  std::size_t length = 0;
  if (HasDriveLetter(pathName)) {
    if (std::toupper(static_cast<unsigned char>(pathName[0])) != 'C') return false;
    rest = pathName + 2;
  }
  for (; *rest != '\0'; ++rest) {
    if (length + 1 >= capacity) return false;
    out[length++] = *rest == '\\' ? '/' : *rest;
  }
  out[length] = '\0';
  return length > 0;
}

}  // namespace

std::FILE *OpenHostFile(const char *pathName, const char *mode) {
  if (pathName == nullptr || mode == nullptr) {
    SetLastError(kErrorInvalidParameter);
    return nullptr;
  }
  char hostPath[kHostPathCapacity];
  if (!HostPathFor(pathName, hostPath, sizeof hostPath)) {
    SetLastError(kErrorFileNotFound);
    return nullptr;
  }
  // A text-mode read ("r" without "b") must deliver each CR LF as a lone LF,
  // as the Windows run-time does; that filter belongs here, around the FILE*
  // returned below. Writes keep the host's LF line ends.
  std::FILE *file = std::fopen(hostPath, mode);
  if (file == nullptr) SetLastError(WindowsErrorFromErrno(errno));
  return file;
}

}  // namespace qorb::plat
