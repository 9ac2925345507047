// local_mutex.h - unnamed (process-private) recursive mutexes.
//
// The state is one futex word in the handle slot holding the owner's thread
// id and two flags, plus a recursion count only the owner touches. Taking a
// free mutex or releasing one nobody waits for is a single atomic operation.
#pragma once

#include <cstdint>

#include "platform/common/handle_table.h"

namespace qorb::plat::posix {

// The calling thread's kernel id (cached). The first call of each thread
// arranges for its unnamed mutexes to be abandoned when it ends.
std::uint32_t CurrentThreadId();

void InitLocalMutex(Slot &slot, bool owned);

// kWaitObject0, kWaitAbandoned or kWaitTimeout.
std::uint32_t WaitLocalMutex(Slot &slot, std::uint32_t milliseconds);

// False with kErrorNotOwner set when the calling thread is not the owner.
bool ReleaseLocalMutex(Slot &slot);

// Its handle was closed: nobody can give it back or take it any more, so
// the threads waiting for it wake and fail with kErrorInvalidHandle, as a
// wait through a closed handle does, rather than sleep for good; an owner
// loses it.
void CloseLocalMutex(Slot &slot);

// In a child after fork(): the forking thread's mutexes pass to the child's
// thread, those of the parent's other threads (absent here) are abandoned.
void AdoptLocalMutexesAfterFork();

}  // namespace qorb::plat::posix
