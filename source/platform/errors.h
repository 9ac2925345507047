// errors.h - the platform's error numbers and its per-thread last error.
//
// Results follow the Windows kernel and run-time the library was first
// written for: every platform call that fails stores a Windows error number
// that the caller reads right after the call, on the same thread.
#pragma once

#include <cstdint>

namespace qorb::plat {

inline constexpr std::uint32_t kErrorSuccess = 0;
inline constexpr std::uint32_t kErrorFileNotFound = 2;
inline constexpr std::uint32_t kErrorPathNotFound = 3;
inline constexpr std::uint32_t kErrorTooManyOpenFiles = 4;
inline constexpr std::uint32_t kErrorAccessDenied = 5;
inline constexpr std::uint32_t kErrorInvalidHandle = 6;
inline constexpr std::uint32_t kErrorNotEnoughMemory = 8;
inline constexpr std::uint32_t kErrorInvalidDrive = 15;
inline constexpr std::uint32_t kErrorNoMoreFiles = 18;
inline constexpr std::uint32_t kErrorNotSupported = 50;
// A named object that the most processes it can record hold already.
inline constexpr std::uint32_t kErrorTooManyHolders = 100;
inline constexpr std::uint32_t kErrorInvalidParameter = 87;
inline constexpr std::uint32_t kErrorDiskFull = 112;
inline constexpr std::uint32_t kErrorAlreadyExists = 183;
inline constexpr std::uint32_t kErrorNameTooLong = 206;
inline constexpr std::uint32_t kErrorNotOwner = 288;

// The calling thread's last-error code, set by every platform call that fails.
std::uint32_t LastError();
void SetLastError(std::uint32_t code);

}  // namespace qorb::plat
