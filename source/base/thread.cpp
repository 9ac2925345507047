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
#include <new>

#include "platform/thread.h"
#include "qorb32n.h"
#include "sem_lock.h"
#include "thread_internal.h"

namespace qorb::thd {
namespace {

constexpr const char *kSource = "base\\thread";
constexpr std::uint32_t kWorkerStackSize = 16384;

// The public record first, so that callers see a ThdWorker; behind it what
// the pool needs to retire a worker without touching a released record.
struct WorkerRecord {
  ThdWorker worker;
  std::atomic<std::uint32_t> retire;  // set by ThdTerminate before it posts
  SemEventHandle retired;             // posted by the worker as it leaves
};

struct Pool {
  SemMutexHandle mutex = 0;
  LstList *idle = nullptr;
  std::atomic<std::uint32_t> busy{0};
};

Pool pool;

static_assert(sizeof(void *) != 4 || sizeof(ThdWorker) == 32, "ThdWorker keeps its 32-bit layout");
static_assert(offsetof(WorkerRecord, worker) == 0, "callers see the record as a ThdWorker");

// Holds the thread mutex for a scope; the results of the mutex calls are not
// examined, as the pool has nobody to tell.
class PoolLock : public SemLock {
 public:
  PoolLock() : SemLock(pool.mutex) {}
  bool taken() const { return held(); }
};

void ApplyPriority(int priority, std::uint32_t line) {
  const std::uint32_t rc = plat::SetCurrentThreadPriority(priority);
  if (rc != 0) ErrDosError(kSource, line, rc);
}

// Back at the end of the idle pool, so the pool stays ordered by idle time.
void ReturnToPool(WorkerRecord *record) {
  PoolLock lock;
  pool.busy.fetch_sub(1, std::memory_order_acq_rel);
  LstInsertAfter(pool.idle, record->worker.poolItem, pool.idle ? pool.idle->last : nullptr);
}

void RunJob(ThdWorker &worker) {
  if ((worker.flags & 0xFFu) == THD_SET_PRIORITY) {
    ApplyPriority(PriorityForLevel(worker.priorityLevel), __LINE__);
  }
  if (worker.function != nullptr) worker.function(worker.argument);
  // A worker that has run a job runs the next at idle priority unless that
  // job asks for a level.
  ApplyPriority(PriorityForLevel(0), __LINE__);
}

void WorkerMain(void *argument) {
  auto *record = static_cast<WorkerRecord *>(argument);
  for (;;) {
    SemWaitEvent(&record->worker.event, SEM_INDEFINITE_WAIT);
    if (record->retire.load(std::memory_order_acquire) != 0) {
      // The record is released as soon as the post below is seen: copy the
      // handle first and touch nothing of the record afterwards.
      SemEventHandle retired = record->retired;
      SemPostEvent(&retired);
      return;
    }
    RunJob(record->worker);
    std::uint32_t postCount = 0;
    SemResetEvent(&record->worker.event, &postCount);
    ReturnToPool(record);
  }
}

void ReleaseRecord(WorkerRecord *record) {
  SemCloseEvent(&record->worker.event);
  record->~WorkerRecord();
  MemFreeMem_(record);
}

// Starts one worker and appends it to the idle pool; false when no worker
// could be had. Called with the thread mutex held.
bool StartWorker() {
  void *block = MemAllocMem_(sizeof(WorkerRecord), __LINE__, kSource);
  if (block == nullptr) return false;
  auto *record = new (block) WorkerRecord{};
  SemCreateEvent(&record->worker.event, nullptr, 0, 0);
  const std::uint32_t handle = plat::BeginThread(WorkerMain, kWorkerStackSize, record);
  if (handle == 0xFFFFFFFFu) {
    ReleaseRecord(record);
    return false;
  }
  record->worker.threadHandle = handle;
  record->worker.poolItem = LstInsert(pool.idle, &record->worker, LST_AT_END);
  return true;
}

// Ends one idle worker's thread and releases its record. The worker leaves
// its loop on the retire flag and says so on an event of its own, so no
// thread still waits on the record when it is freed.
void RetireWorker(WorkerRecord *record) {
  SemEventHandle retired = 0;
  SemCreateEvent(&retired, nullptr, 0, 0);
  record->retired = retired;
  record->retire.store(1, std::memory_order_release);
  SemPostEvent(&record->worker.event);
  SemWaitEvent(&retired, SEM_INDEFINITE_WAIT);
  SemCloseEvent(&retired);
  ReleaseRecord(record);
}

WorkerRecord *RecordOf(ThdWorker *worker) {
  return reinterpret_cast<WorkerRecord *>(worker);
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
  if (pool.mutex == 0 || SemRequestMutex(&pool.mutex, SEM_INDEFINITE_WAIT) != 0) {
    SemCreateMutex(&pool.mutex, nullptr, 0, 1);
  }
  if (pool.idle == nullptr) pool.idle = LstNewList(0);
  for (uint32_t i = 0; i < count; ++i) {
    if (!StartWorker()) break;
  }
  SemReleaseMutex(&pool.mutex);
  return 0;
}

QORB_API ThdWorker *ThdStartThreadFull(ThdFunction function, uintptr_t argument,
                                       uint32_t priorityClass, int32_t priorityLevel,
                                       uint32_t flags) {
  PoolLock lock;
  if (!lock.taken() || pool.idle == nullptr) return nullptr;
  if (pool.idle->first == nullptr && !StartWorker()) return nullptr;
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

QORB_API uint32_t ThdTerminate(void) {
  uint32_t busy = pool.busy.load(std::memory_order_acquire);
  if (busy != 0) return busy;
  {
    PoolLock lock;
    busy = pool.busy.load(std::memory_order_acquire);
    if (busy != 0) return busy;
    if (pool.idle != nullptr) {
      while (LstItem *item = pool.idle->first) {
        auto *worker = static_cast<ThdWorker *>(item->data);
        LstDelete(item);
        RetireWorker(RecordOf(worker));
      }
      LstFreeList_(pool.idle);
      pool.idle = nullptr;
    }
  }
  const uint32_t rc = SemCloseMutex(&pool.mutex);
  pool.mutex = 0;
  return rc;
}

}  // extern "C"
