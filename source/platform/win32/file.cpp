// file.cpp - opening host files by the library's path names on Windows.
//
// Relies on the C run-time's fopen, whose text mode is the one the library
// promises: CR LF read as LF, LF written as CR LF. Its failures carry the
// system's own code in _doserrno.
#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "platform/files.h"
#include "platform/win32/drives.h"

namespace qorb::plat {
namespace {

std::FILE *Refuse(std::uint32_t code) {
  SetLastError(code);
  return nullptr;
}

}  // namespace

std::FILE *OpenHostFile(const char *pathName, const char *mode) {
  if (pathName == nullptr || mode == nullptr) return Refuse(kErrorInvalidParameter);
  if (pathName[0] == '\0') return Refuse(kErrorFileNotFound);
  if (!win32::PathDriveExists(pathName)) return nullptr;
  _doserrno = 0;
  std::FILE *file = std::fopen(pathName, mode);
  if (file != nullptr) return file;
  // A mode the run-time refuses leaves no system code behind.
  return Refuse(_doserrno != 0 ? static_cast<std::uint32_t>(_doserrno) : kErrorInvalidParameter);
}

}  // namespace qorb::plat
