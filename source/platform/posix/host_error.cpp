// host_error.cpp - one table from errno values to Windows error codes, for
// every part of the POSIX layer that turns a failed host call into a
// last-error code.
#include "platform/posix/host_error.h"

#include <cerrno>

#include "platform/errors.h"

namespace qorb::plat {

std::uint32_t WindowsErrorFromErrno(int error) {
  switch (error) {
    case 0:
      return kErrorSuccess;
    case ENOENT:
      return kErrorFileNotFound;
    case ENOTDIR:
      return kErrorPathNotFound;
    case EACCES:
    case EPERM:
    case EISDIR:
    case EROFS:
      return kErrorAccessDenied;
    case EMFILE:
    case ENFILE:
      return kErrorTooManyOpenFiles;
    case ENOMEM:
    case EAGAIN:
      return kErrorNotEnoughMemory;
    case ENOSPC:
      return kErrorDiskFull;
    case EEXIST:
      return kErrorAlreadyExists;
    case ENAMETOOLONG:
      return kErrorNameTooLong;
    case ENOSYS:
    case ENOTSUP:
      return kErrorNotSupported;
    default:
      return kErrorInvalidParameter;
  }
}

std::uint32_t PathErrorFromErrno(int error) {
  return error == ENOENT ? kErrorPathNotFound : WindowsErrorFromErrno(error);
}

}  // namespace qorb::plat
