// sync.cpp - the Sem family: mutexes, manual-reset events and counting
// semaphores over the platform's kernel objects.
//
// Every operation goes through four steps written once below: create, open,
// wait (with its result mapping) and check (true/false platform calls). The
// library keeps no state here; handles and counters live in the caller's
// variables. A NULL variable address is refused with 87.
#include <atomic>
#include <cstring>

#include "platform/objects.h"
#include "qorb32n.h"

static_assert(sizeof(SemCount) == 12, "SemCount is three 32-bit words");
static_assert(sizeof(SemMutexHandle) == 4 && sizeof(SemEventHandle) == 4);

namespace qorb::sync {
namespace {

namespace plat = qorb::plat;

// A counting semaphore's object names: N plus the suffix, in 80 bytes.
constexpr std::size_t kNameBufferSize = 80;
constexpr std::size_t kMaxCountNameLength = 68;
constexpr char kEventSuffix[] = ".countEvent";
constexpr char kMutexSuffix[] = ".countMutex";
static_assert(kMaxCountNameLength + sizeof(kEventSuffix) == kNameBufferSize);
static_assert(sizeof(kEventSuffix) == sizeof(kMutexSuffix));

std::uint32_t StoreHandle(std::uint32_t *variable, plat::Handle handle) {
  *variable = handle;
  return handle != 0 ? plat::kErrorSuccess : plat::LastError();
}

enum class Kind { kMutex, kEvent };

// Create step: the platform opens an existing name instead, and its
// already-exists indication is not passed on.
std::uint32_t CreateStep(std::uint32_t *variable, Kind kind, const char *name, bool initial) {
  return StoreHandle(variable, kind == Kind::kMutex ? plat::CreateMutexObject(name, initial)
                                                    : plat::CreateEventObject(name, initial));
}

// Open step: the right to wait only.
std::uint32_t OpenStep(std::uint32_t *variable, Kind kind, const char *name) {
  return StoreHandle(variable, kind == Kind::kMutex ? plat::OpenMutexObject(name, plat::kSynchronize)
                                                    : plat::OpenEventObject(name, plat::kSynchronize));
}

// Wait step: an abandoned mutex counts as taken.
std::uint32_t WaitStep(std::uint32_t handle, std::uint32_t timeout) {
  const std::uint32_t result = plat::WaitForObject(handle, timeout);
  if (result == plat::kWaitTimeout) return SEM_RC_TIMEOUT;
  if (result == plat::kWaitFailed) return plat::LastError();
  return plat::kErrorSuccess;
}

// Check step for the platform calls that answer true or false.
std::uint32_t CheckStep(bool succeeded) {
  return succeeded ? plat::kErrorSuccess : plat::LastError();
}

// The object names of a counting semaphore named N: N + ".countEvent" and
// N + ".countMutex", each in 80 bytes; both NULL for an unnamed one.
class CountNames {
 public:
  // False (nothing built) when N does not fit.
  bool Build(const char *name) {
    named_ = name != nullptr;
    if (!named_) return true;
    const std::size_t length = strnlen(name, kMaxCountNameLength + 1);
    if (length > kMaxCountNameLength) return false;
    Join(event_, name, length, kEventSuffix);
    Join(mutex_, name, length, kMutexSuffix);
    return true;
  }
  const char *event() const { return named_ ? event_ : nullptr; }
  const char *mutex() const { return named_ ? mutex_ : nullptr; }

 private:
  static void Join(char (&buffer)[kNameBufferSize], const char *name, std::size_t length,
                   const char (&suffix)[sizeof(kEventSuffix)]) {
    std::memcpy(buffer, name, length);
    std::memcpy(buffer + length, suffix, sizeof suffix);
  }

  bool named_ = false;
  char event_[kNameBufferSize];
  char mutex_[kNameBufferSize];
};

// The counter is read without the lock by design; atomic_ref keeps that
// read well-defined while another thread changes it under the mutex.
std::atomic_ref<std::uint32_t> Counter(SemCount *c) {
  return std::atomic_ref<std::uint32_t>(c->count);
}

std::uint32_t CreateCount(SemCount *c, const char *name, std::uint32_t initial) {
  CountNames names;
  if (!names.Build(name)) return plat::kErrorInvalidParameter;
  std::uint32_t rc = CreateStep(&c->event, Kind::kEvent, names.event(), false);
  if (rc != 0) return rc;
  rc = CreateStep(&c->mutex, Kind::kMutex, names.mutex(), false);
  if (rc != 0) return rc;
  Counter(c).store(initial, std::memory_order_relaxed);
  return plat::kErrorSuccess;
}

std::uint32_t OpenCount(SemCount *c, const char *name) {
  CountNames names;
  if (!names.Build(name)) return plat::kErrorInvalidParameter;
  const std::uint32_t rc = OpenStep(&c->event, Kind::kEvent, names.event());
  if (rc != 0) return rc;
  return OpenStep(&c->mutex, Kind::kMutex, names.mutex());
}

std::uint32_t ChangeCount(SemCount *c, std::uint32_t delta) {
  const std::uint32_t rc = WaitStep(c->mutex, SEM_INDEFINITE_WAIT);
  if (rc != 0) return rc;
  std::atomic_ref<std::uint32_t> counter = Counter(c);
  counter.store(counter.load(std::memory_order_relaxed) + delta, std::memory_order_relaxed);
  const std::uint32_t posted = CheckStep(plat::SetEventObject(c->event));
  const std::uint32_t released = CheckStep(plat::ReleaseMutexObject(c->mutex));
  return posted != 0 ? posted : released;
}

std::uint32_t WaitCount(SemCount *c, std::uint32_t target, std::uint32_t timeout) {
  if (Counter(c).load(std::memory_order_relaxed) == target) return plat::kErrorSuccess;
  std::uint32_t rc = WaitStep(c->event, timeout);
  if (rc != 0) return rc;
  // Lets a change in progress finish; the counter is not tested again.
  rc = WaitStep(c->mutex, SEM_INDEFINITE_WAIT);
  if (rc != 0) return rc;
  return CheckStep(plat::ReleaseMutexObject(c->mutex));
}

std::uint32_t CloseCount(SemCount *c) {
  std::uint32_t rc = WaitStep(c->mutex, SEM_INDEFINITE_WAIT);
  if (rc != 0) return rc;
  rc = CheckStep(plat::ReleaseMutexObject(c->mutex));
  if (rc != 0) return rc;
  rc = CheckStep(plat::CloseObject(c->event));
  if (rc != 0) return rc;
  return CheckStep(plat::CloseObject(c->mutex));
}

std::uint32_t QueryCount(SemCount *c) {
  return Counter(c).load(std::memory_order_relaxed);
}

}  // namespace
}  // namespace qorb::sync

using qorb::sync::Kind;

namespace plat = qorb::plat;

extern "C" {

// Mutexes ------------------------------------------------------------------

uint32_t SemCreateMutex(SemMutexHandle *h, const char *name, uint32_t /*flags*/, int owned) {
  if (h == nullptr) return plat::kErrorInvalidParameter;
  return qorb::sync::CreateStep(h, Kind::kMutex, name, owned != 0);
}

uint32_t SemOpenMutex(SemMutexHandle *h, const char *name) {
  if (h == nullptr) return plat::kErrorInvalidParameter;
  return qorb::sync::OpenStep(h, Kind::kMutex, name);
}

uint32_t SemRequestMutex(SemMutexHandle *h, uint32_t timeout) {
  if (h == nullptr) return plat::kErrorInvalidParameter;
  return qorb::sync::WaitStep(*h, timeout);
}

uint32_t SemReleaseMutex(SemMutexHandle *h) {
  if (h == nullptr) return plat::kErrorInvalidParameter;
  return qorb::sync::CheckStep(plat::ReleaseMutexObject(*h));
}

uint32_t SemQueryMutex(SemMutexHandle * /*h*/, uint32_t * /*out1*/, uint32_t * /*out2*/,
                       uint32_t * /*out3*/) {
  return SEM_RC_NOT_SUPPORTED;
}

uint32_t SemCloseMutex(SemMutexHandle *h) {
  if (h == nullptr) return plat::kErrorInvalidParameter;
  return qorb::sync::CheckStep(plat::CloseObject(*h));
}

// Events -------------------------------------------------------------------

uint32_t SemCreateEvent(SemEventHandle *e, const char *name, uint32_t /*flags*/, int posted) {
  if (e == nullptr) return plat::kErrorInvalidParameter;
  return qorb::sync::CreateStep(e, Kind::kEvent, name, posted != 0);
}

uint32_t SemOpenEvent(SemEventHandle *e, const char *name) {
  if (e == nullptr) return plat::kErrorInvalidParameter;
  return qorb::sync::OpenStep(e, Kind::kEvent, name);
}

uint32_t SemResetEvent(SemEventHandle *e, uint32_t *postCount) {
  if (postCount == nullptr) return plat::kErrorInvalidParameter;
  *postCount = 0;  // no post count is kept
  if (e == nullptr) return plat::kErrorInvalidParameter;
  return qorb::sync::CheckStep(plat::ResetEventObject(*e));
}

uint32_t SemPostEvent(SemEventHandle *e) {
  if (e == nullptr) return plat::kErrorInvalidParameter;
  return qorb::sync::CheckStep(plat::SetEventObject(*e));
}

uint32_t SemWaitEvent(SemEventHandle *e, uint32_t timeout) {
  if (e == nullptr) return plat::kErrorInvalidParameter;
  return qorb::sync::WaitStep(*e, timeout);
}

uint32_t SemQueryEvent(SemEventHandle *e, uint32_t *posted) {
  if (posted == nullptr) return plat::kErrorInvalidParameter;
  *posted = 0;
  if (e == nullptr) return plat::kErrorInvalidParameter;
  const uint32_t rc = qorb::sync::WaitStep(*e, 0);
  if (rc == 0) *posted = 1;
  return rc;
}

uint32_t SemCloseEvent(SemEventHandle *e) {
  if (e == nullptr) return plat::kErrorInvalidParameter;
  return qorb::sync::CheckStep(plat::CloseObject(*e));
}

// Counting semaphores ------------------------------------------------------

uint32_t SemCreateCount(SemCount *c, const char *name, uint32_t /*flags*/, uint32_t initial) {
  if (c == nullptr) return plat::kErrorInvalidParameter;
  return qorb::sync::CreateCount(c, name, initial);
}

uint32_t SemOpenCount(SemCount *c, const char *name) {
  if (c == nullptr) return plat::kErrorInvalidParameter;
  return qorb::sync::OpenCount(c, name);
}

uint32_t SemChangeCount(SemCount *c, uint32_t delta) {
  if (c == nullptr) return plat::kErrorInvalidParameter;
  return qorb::sync::ChangeCount(c, delta);
}

uint32_t SemWaitCount(SemCount *c, uint32_t target, uint32_t timeout) {
  if (c == nullptr) return plat::kErrorInvalidParameter;
  return qorb::sync::WaitCount(c, target, timeout);
}

uint32_t SemQueryCount(SemCount *c, uint32_t *count) {
  if (c != nullptr && count != nullptr) *count = qorb::sync::QueryCount(c);
  return plat::kErrorSuccess;
}

uint32_t SemCloseCount(SemCount *c) {
  if (c == nullptr) return plat::kErrorInvalidParameter;
  return qorb::sync::CloseCount(c);
}

}  // extern "C"
