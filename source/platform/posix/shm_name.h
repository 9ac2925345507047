// shm_name.h - the shared-memory names behind named kernel objects.
//
// Every user has one name space for mutexes and events: an object name maps
// to "/qorb32n-<uid>-<escaped name>". Bytes other than letters, digits, '.',
// '_' and '-' are escaped as %XX, so '/', '\\' and any other byte a caller
// passes give a valid, unambiguous shared-memory name.
#pragma once

#include <climits>
#include <cstddef>

namespace qorb::plat::posix {

// Room for a leading '/', NAME_MAX characters and the terminator.
inline constexpr std::size_t kShmNameSize = NAME_MAX + 2;

// Builds the shared-memory name of an object name; false (and an empty
// result) when the escaped name would not fit.
bool ObjectShmName(const char *name, char (&out)[kShmNameSize]);

// The name of the per-user lock file that serialises name registry changes.
void RegistryLockShmName(char (&out)[kShmNameSize]);

}  // namespace qorb::plat::posix
