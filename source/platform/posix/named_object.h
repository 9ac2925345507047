// named_object.h - mutexes and events shared between processes by name.
//
// Each named object is a POSIX shared-memory object holding its state and
// the list of processes holding handles to it. Handles to named objects
// live in the same table as unnamed ones; each keeps its own mapping, which
// a use in progress pins so that a concurrent close never unmaps it early.
#pragma once

#include <cstdint>

#include "platform/common/handle_table.h"

namespace qorb::plat::posix {

// Creates (when mayCreate) or opens the object of that name and kind. A
// name held by the other kind is refused with kErrorInvalidHandle; a missing
// one, when opening, with kErrorFileNotFound; one that another user made
// with kErrorAccessDenied; one that kMaxHolders processes hold already with
// kErrorTooManyHolders. 0 on failure, last error set.
Handle OpenNamedObject(ObjectKind kind, const char *name, bool initial, bool mayCreate,
                       std::uint32_t access);

// The operations on a live named handle; `handle` is checked again while
// the mapping is pinned.
std::uint32_t WaitNamedObject(Slot &slot, Handle handle, std::uint32_t milliseconds);
bool ReleaseNamedMutex(Slot &slot, Handle handle);
bool SetNamedEvent(Slot &slot, Handle handle, bool posted);
bool CloseNamedObject(Slot &slot, Handle handle);

// A thread is ending: the named mutexes it owns are freed as abandoned.
void AbandonNamedMutexesOfThread(std::uint32_t threadId);

// In a child after fork(): the parent's named handles are not the child's
// (handles are not inherited); they are dropped without closing the objects.
void DropNamedHandlesAfterFork();

}  // namespace qorb::plat::posix
