// file.cpp - opening host files by the library's path names on Windows.
//
// Relies on the C run-time's fopen, whose text mode is the one the library
// promises: CR LF read as LF, LF written as CR LF; its failures carry the
// system's own code in _doserrno. Appending is the exception: the run-time
// moves to the end and then writes, so two writers can land on the same
// spot; a handle with the right to append only (FILE_APPEND_DATA) has the
// system put every write at the end, whole, as O_APPEND does on POSIX.
#include <fcntl.h>
#include <io.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/files.h"
#include "platform/win32/drives.h"
#include "platform/win32/windows_api.h"

namespace qorb::plat {
namespace {

std::FILE *Refuse(std::uint32_t code) {
  SetLastError(code);
  return nullptr;
}

bool IsPlainAppend(const char *mode) {
  return mode[0] == 'a' && std::strchr(mode, '+') == nullptr;
}

std::FILE *OpenForAppending(const char *pathName, const char *mode) {
  HANDLE file = CreateFileA(pathName, FILE_APPEND_DATA | SYNCHRONIZE,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return Refuse(GetLastError());
  const int textOrBinary = std::strchr(mode, 'b') != nullptr ? _O_BINARY : _O_TEXT;
  const int descriptor =
      _open_osfhandle(reinterpret_cast<std::intptr_t>(file), _O_APPEND | textOrBinary);
  if (descriptor == -1) {
    CloseHandle(file);
    return Refuse(kErrorTooManyOpenFiles);
  }
  std::FILE *stream = _fdopen(descriptor, mode);
  if (stream == nullptr) {
    _close(descriptor);
    return Refuse(kErrorNotEnoughMemory);
  }
  return stream;
}

}  // namespace

std::FILE *OpenHostFile(const char *pathName, const char *mode) {
  if (pathName == nullptr || mode == nullptr) return Refuse(kErrorInvalidParameter);
  if (pathName[0] == '\0') return Refuse(kErrorFileNotFound);
  if (!win32::PathDriveExists(pathName)) return nullptr;
  if (IsPlainAppend(mode)) return OpenForAppending(pathName, mode);
  _doserrno = 0;
  std::FILE *file = std::fopen(pathName, mode);
  if (file != nullptr) return file;
  // A mode the run-time refuses leaves no system code behind.
  return Refuse(_doserrno != 0 ? static_cast<std::uint32_t>(_doserrno) : kErrorInvalidParameter);
}

}  // namespace qorb::plat
