// named_object.cpp - named kernel objects (in progress: not available yet).
#include "platform/posix/named_object.h"

namespace qorb::plat::posix {

Handle OpenNamedObject(ObjectKind, const char *, bool, bool, std::uint32_t) {
  SetLastError(kErrorNotSupported);
  return 0;
}
std::uint32_t WaitNamedObject(Slot &, Handle, std::uint32_t) {
  SetLastError(kErrorInvalidHandle);
  return kWaitFailed;
}
bool ReleaseNamedMutex(Slot &, Handle) {
  return false;
}
bool SetNamedEvent(Slot &, Handle, bool) {
  return false;
}
bool CloseNamedObject(Slot &, Handle) {
  return false;
}
void DropNamedHandlesAfterFork() {}
void LockNames() {}
void UnlockNames() {}

}  // namespace qorb::plat::posix
