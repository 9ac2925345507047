// load.cpp - what the platform does when the library is loaded.
//
// Windows sends every DLL a notification for each thread that starts or ends
// unless the DLL opts out; the library has no per-thread work to do then.
#include "platform/platform.h"

namespace qorb::plat {

// POSIX hosts have no per-thread attach or detach calls into a shared
// library, so there is nothing to switch off.
void DisableThreadNotifications() {}

}  // namespace qorb::plat
