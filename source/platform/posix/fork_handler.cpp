// fork_handler.cpp - kernel objects across fork().
//
// Handles are not inheritable, but fork() copies the whole address space, and
// code that runs in a forked child (death tests, helpers that fork without
// exec) still uses the copies of the parent's private objects. So the child
// keeps its own copies of unnamed objects, as it does of pthread objects: the
// forking thread's mutexes stay owned by the child's thread, those of the
// parent's other threads are abandoned. Named handles are dropped in the
// child: it is no holder of those objects and must create or open them again.
#include "platform/posix/fork_handler.h"

#include <pthread.h>

#include "platform/common/handle_table.h"
#include "platform/posix/liveness.h"
#include "platform/posix/local_mutex.h"
#include "platform/posix/named_object.h"

namespace qorb::plat::posix {
namespace {

pthread_once_t g_installOnce = PTHREAD_ONCE_INIT;

void BeforeFork() {
  LockTokenForFork();
  LockTable();
}

void AfterForkInParent() {
  UnlockTable();
  UnlockTokenInParent();
}

void AfterForkInChild() {
  UnlockTable();
  ResetTokenInChild();
  // The parent's sleepers are not here; their count must not pin slots.
  ForEachSlot([](Slot &slot) { slot.sleepers.store(0, std::memory_order_relaxed); });
  AdoptLocalMutexesAfterFork();
  DropNamedHandlesAfterFork();
}

void Install() {
  pthread_atfork(BeforeFork, AfterForkInParent, AfterForkInChild);
}

}  // namespace

void InstallForkHandlers() {
  pthread_once(&g_installOnce, Install);
}

}  // namespace qorb::plat::posix
