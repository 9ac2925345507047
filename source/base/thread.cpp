// thread.cpp - the pool of worker threads.
//
// Workers are tracked blocks that wait on their own manual-reset event; the
// idle ones sit in a list, longest idle first. A job takes the first idle
// worker (starting one when none is idle), stores the function in it and
// posts its event. The thread mutex guards the pool and the busy count.
// Relies on the platform's thread start and priorities, the Sem events and
// mutexes, the list family and the tracked allocator.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <thread>

#include "platform/thread.h"
#include "qorb32n.h"
#include "sem_lock.h"
#include "thread_internal.h"

namespace qorb::thd {
namespace {

constexpr const char *kSource = "base\\thread";
constexpr std::uint32_t kWorkerStackSize = 16384;
constexpr std::uint32_t kThreadStartFailed = 0xFFFFFFFFu;

// Workers retire only while the pool is idle and the thread mutex is held,
// so one flag and one event at pool level serve them all, one at a time.
struct Pool {
  std::atomic<SemMutexHandle> mutex{0};
  LstList *idle = nullptr;
  std::atomic<std::uint32_t> busy{0};
  // Busy workers whose job has ended, on their way back into the pool.
  std::atomic<std::uint32_t> returning{0};
  std::atomic<bool> retiring{false};
  std::atomic<SemEventHandle> retired{0};
};

Pool pool;

static_assert(sizeof(void *) != 4 || sizeof(ThdWorker) == 32, "ThdWorker keeps its 32-bit layout");

// Holds the thread mutex for a scope; the results of the mutex calls are not
// examined, as the pool has nobody to tell.
class PoolLock : public SemLock {
 public:
  PoolLock() : SemLock(pool.mutex.load(std::memory_order_acquire)) {}
};

void ApplyPriority(int priority, std::uint32_t line) {
  const std::uint32_t rc = plat::SetCurrentThreadPriority(priority);
  if (rc != 0) ErrDosError(kSource, line, rc);
}

// A worker that has run a job runs the next at idle priority unless that job
// asks for a level. It falls to idle only when such a job starts, not as it
// returns to the pool: a worker done with its job is available again at
// once, at the priority it ran at.
void SetJobPriority(const ThdWorker &worker, bool ranAJob) {
  if ((worker.flags & 0xFFu) == THD_SET_PRIORITY) {
    ApplyPriority(PriorityForLevel(worker.priorityLevel), __LINE__);
  } else if (ranAJob) {
    const std::uint32_t rc = plat::DropCurrentThreadPriority(PriorityForLevel(0));
    if (rc != 0) ErrDosError(kSource, __LINE__, rc);
  }
}

void RunJob(ThdWorker &worker, bool ranAJob) {
  SetJobPriority(worker, ranAJob);
  if (worker.function != nullptr) worker.function(worker.argument);
}

// Back at the end of the idle pool, so the pool stays ordered by idle time.
void ReturnToPool(ThdWorker &worker) {
  pool.returning.fetch_add(1, std::memory_order_acq_rel);
  const PoolLock lock;
  pool.returning.fetch_sub(1, std::memory_order_acq_rel);
  pool.busy.fetch_sub(1, std::memory_order_acq_rel);
  LstInsertAfter(pool.idle, worker.poolItem, pool.idle ? pool.idle->last : nullptr);
}

void ReleaseRecord(ThdWorker *worker) {
  SemCloseEvent(&worker->event);
  MemFreeMem_(worker);
}

// A worker whose wait failed can take no more jobs: it leaves the pool (after
// the job it may have been handed meanwhile) and its thread ends.
void LeavePool(ThdWorker &worker, bool ranAJob) {
  bool handedAJob = false;
  {
    const PoolLock lock;
    handedAJob = worker.poolItem->inList == 0;
    if (!handedAJob) LstRemoveItem(worker.poolItem);
  }
  if (handedAJob) {
    RunJob(worker, ranAJob);
    const PoolLock lock;
    pool.busy.fetch_sub(1, std::memory_order_acq_rel);
  }
  LstFree(worker.poolItem);
  ReleaseRecord(&worker);
}

// Tells ThdTerminate that this worker has left; touches nothing of the
// worker's record afterwards, since it is released at once.
void AcknowledgeRetirement() {
  SemEventHandle retired = pool.retired.load(std::memory_order_acquire);
  SemPostEvent(&retired);
}

void WorkerMain(void *argument) {
  auto *worker = static_cast<ThdWorker *>(argument);
  bool ranAJob = false;
  for (;;) {
    const bool woken = SemWaitEvent(&worker->event, SEM_INDEFINITE_WAIT) == 0;
    if (pool.retiring.load(std::memory_order_acquire)) {
      AcknowledgeRetirement();
      return;
    }
    if (!woken) {
      LeavePool(*worker, ranAJob);
      return;
    }
    RunJob(*worker, ranAJob);
    ranAJob = true;
    std::uint32_t postCount = 0;
    SemResetEvent(&worker->event, &postCount);
    ReturnToPool(*worker);
  }
}

// Starts one worker at the end of the idle pool; false when no worker could
// be had. It joins the pool before its thread starts, so a failure leaves no
// thread behind and no thread waits on a released record. Called with the
// thread mutex held.
bool StartWorker() {
  auto *worker = static_cast<ThdWorker *>(MemAllocMem_(sizeof(ThdWorker), __LINE__, kSource));
  if (worker == nullptr) return false;
  if (SemCreateEvent(&worker->event, nullptr, 0, 0) != 0) {
    MemFreeMem_(worker);
    return false;
  }
  worker->poolItem = LstInsert(pool.idle, worker, LST_AT_END);
  if (worker->poolItem == nullptr) {
    ReleaseRecord(worker);
    return false;
  }
  const std::uint32_t handle = plat::BeginThread(WorkerMain, kWorkerStackSize, worker);
  if (handle == kThreadStartFailed) {
    LstDelete(worker->poolItem);
    ReleaseRecord(worker);
    return false;
  }
  worker->threadHandle = handle;
  return true;
}

// Hands a job to the worker idle longest; thread mutex held, pool not empty.
ThdWorker *HandOut(ThdFunction function, uintptr_t argument, uint32_t priorityClass,
                   int32_t priorityLevel, uint32_t flags) {
  LstItem *item = pool.idle->first;
  auto *worker = static_cast<ThdWorker *>(item->data);
  LstRemoveItem(item);
  worker->function = function;
  worker->argument = argument;
  worker->priorityClass = priorityClass;
  worker->priorityLevel = priorityLevel;
  worker->flags = flags;
  // Counted busy from the moment it is handed a job, so that ThdTerminate
  // never releases the pool under a worker that is about to run.
  pool.busy.fetch_add(1, std::memory_order_acq_rel);
  SemPostEvent(&worker->event);
  return worker;
}

// Ends every idle worker's thread and releases its record, one at a time:
// each worker sees the flag when its event is posted, says it has left on
// the pool's event, and its record goes only then. Thread mutex held; the
// code of a failed event creation (nothing retired), else 0.
std::uint32_t RetireIdleWorkers() {
  SemEventHandle retired = 0;
  if (const std::uint32_t rc = SemCreateEvent(&retired, nullptr, 0, 0); rc != 0) return rc;
  pool.retired.store(retired, std::memory_order_release);
  pool.retiring.store(true, std::memory_order_release);
  while (LstItem *item = pool.idle->first) {
    auto *worker = static_cast<ThdWorker *>(item->data);
    LstDelete(item);
    std::uint32_t postCount = 0;
    SemResetEvent(&retired, &postCount);
    SemPostEvent(&worker->event);
    SemWaitEvent(&retired, SEM_INDEFINITE_WAIT);
    ReleaseRecord(worker);
  }
  pool.retiring.store(false, std::memory_order_release);
  pool.retired.store(0, std::memory_order_release);
  SemCloseEvent(&retired);
  return 0;
}

}  // namespace

int PriorityForLevel(std::int32_t level) {
  if (level < 6) return plat::kPriorityIdle;
  if (level < 10) return plat::kPriorityLowest;
  if (level < 14) return plat::kPriorityBelowNormal;
  if (level < 18) return plat::kPriorityNormal;
  if (level < 22) return plat::kPriorityAboveNormal;
  if (level < 26) return plat::kPriorityHighest;
  return plat::kPriorityTimeCritical;
}

std::uint32_t IdleCount() {
  PoolLock lock;
  return pool.idle != nullptr ? pool.idle->count : 0;
}

std::uint32_t BusyCount() {
  return pool.busy.load(std::memory_order_acquire);
}

ThdWorker *IdleWorkerAt(std::uint32_t position) {
  PoolLock lock;
  LstItem *item = pool.idle != nullptr ? pool.idle->first : nullptr;
  for (; item != nullptr && position > 0; --position) item = item->next;
  return item != nullptr ? static_cast<ThdWorker *>(item->data) : nullptr;
}

}  // namespace qorb::thd

using namespace qorb::thd;  // NOLINT(google-build-using-namespace)

extern "C" {

QORB_API uint32_t ThdInitialize(uint32_t count) {
  // A repeated call keeps the existing mutex rather than leak it.
  SemMutexHandle mutex = pool.mutex.load(std::memory_order_acquire);
  if (mutex == 0 || SemRequestMutex(&mutex, SEM_INDEFINITE_WAIT) != 0) {
    mutex = 0;
    SemCreateMutex(&mutex, nullptr, 0, 1);
    pool.mutex.store(mutex, std::memory_order_release);
  }
  if (pool.idle == nullptr) pool.idle = LstNewList(0);
  for (uint32_t i = 0; i < count && pool.idle != nullptr; ++i) {
    if (!StartWorker()) break;
  }
  SemReleaseMutex(&mutex);
  return 0;
}

QORB_API ThdWorker *ThdStartThreadFull(ThdFunction function, uintptr_t argument,
                                       uint32_t priorityClass, int32_t priorityLevel,
                                       uint32_t flags) {
  for (;;) {
    PoolLock lock;
    if (!lock.held() || pool.idle == nullptr) return nullptr;
    if (pool.idle->first == nullptr) {
      // A worker whose job has ended is not busy: wait for it to be back
      // rather than start a thread, so bursts of short jobs need about as
      // many workers as jobs run at once.
      if (pool.returning.load(std::memory_order_acquire) != 0) {
        lock.Release();
        std::this_thread::yield();
        continue;
      }
      if (!StartWorker()) return nullptr;
    }
    return HandOut(function, argument, priorityClass, priorityLevel, flags);
  }
}

QORB_API uint32_t ThdTerminate(void) {
  uint32_t busy = pool.busy.load(std::memory_order_acquire);
  if (busy != 0) return busy;
  {
    const PoolLock lock;
    busy = pool.busy.load(std::memory_order_acquire);
    if (busy != 0) return busy;
    if (pool.idle != nullptr) {
      if (const uint32_t rc = RetireIdleWorkers(); rc != 0) return rc;
      LstFreeList_(pool.idle);
      pool.idle = nullptr;
    }
  }
  // A caller still waiting for the mutex takes it as abandoned once it is
  // closed, and finds no pool.
  SemMutexHandle mutex = pool.mutex.exchange(0, std::memory_order_acq_rel);
  return SemCloseMutex(&mutex);
}

}  // extern "C"
