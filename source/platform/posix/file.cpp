// file.cpp - opening host files by the library's Windows-style path names.
//
// Relies on: the drive table for the host path, stdio's fopen, and the CR LF
// reader for text-mode reads.
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/files.h"
#include "platform/posix/drive_table.h"
#include "platform/posix/host_error.h"
#include "platform/posix/text_reader.h"

namespace qorb::plat {
namespace {

bool IsTextRead(const char *mode) {
  return mode[0] == 'r' && std::strchr(mode, 'b') == nullptr && std::strchr(mode, '+') == nullptr;
}

std::FILE *Refuse(std::uint32_t code) {
  SetLastError(code);
  return nullptr;
}

// A directory opens for reading on POSIX; the Windows run-time refuses it.
bool IsDirectory(std::FILE *file) {
  struct stat status {};
  return fstat(fileno(file), &status) == 0 && S_ISDIR(status.st_mode);
}

}  // namespace

std::FILE *OpenHostFile(const char *pathName, const char *mode) {
  if (pathName == nullptr || mode == nullptr) return Refuse(kErrorInvalidParameter);
  if (pathName[0] == '\0') return Refuse(kErrorFileNotFound);
  HostPath host;
  if (!ResolveHostPath(pathName, &host)) return nullptr;
  const bool textRead = IsTextRead(mode);
  std::FILE *file = std::fopen(host.path, textRead ? "rb" : mode);
  if (file == nullptr) return Refuse(WindowsErrorFromErrno(errno));
  if (IsDirectory(file)) {
    (void)std::fclose(file);
    return Refuse(kErrorAccessDenied);
  }
  if (!textRead) return file;
  std::FILE *text = OpenCrLfReader(file);
  if (text == nullptr) {
    (void)std::fclose(file);
    return Refuse(kErrorNotEnoughMemory);
  }
  return text;
}

}  // namespace qorb::plat
