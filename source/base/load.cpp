// load.cpp - the library's load entry. The library does nothing when it is
// loaded beyond telling the platform that it wants no per-thread attach
// notifications; all other state starts from its static initial values.
#include "platform/platform.h"

namespace {

__attribute__((constructor)) void OnLibraryLoad() {
  qorb::plat::DisableThreadNotifications();
}

}  // namespace
