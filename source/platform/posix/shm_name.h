// shm_name.h - the shared-memory names behind named kernel objects.
//
// Every user has one name space for mutexes and events: an object name maps
// to "/qorb32n-<uid>-<escaped name>"; a process's liveness file is
// "/qorb32n-<uid>.live-<pid>-<nonce>", which no object name can give. Bytes other than letters,
// digits, '.',
// '_' and '-' are escaped as %XX, so '/', '\\' and any other byte a caller
// passes give a valid, unambiguous shared-memory name.
#pragma once

#include <climits>
#include <cstddef>
#include <cstdint>

namespace qorb::plat::posix {

// Room for a leading '/', NAME_MAX characters and the terminator.
inline constexpr std::size_t kShmNameSize = NAME_MAX + 2;

// Builds the shared-memory name of an object name; false (and an empty
// result) when the escaped name would not fit.
bool ObjectShmName(const char *name, char (&out)[kShmNameSize]);

// The liveness file of the process with that pid and nonce.
void LivenessShmName(std::uint32_t pid, std::uint32_t nonce, char (&out)[kShmNameSize]);

// What the names of this user's objects and liveness files start with,
// without the leading '/', as they appear in the host's shared-memory folder.
struct UserShmPrefixes {
  char objects[32];
  char liveness[40];
};
UserShmPrefixes UserPrefixes();

}  // namespace qorb::plat::posix
