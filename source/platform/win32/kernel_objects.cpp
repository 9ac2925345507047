// kernel_objects.cpp - the platform's mutex and event calls on Windows.
//
// Relies on the kernel's own objects (CreateMutexA, CreateEventA, OpenMutexA,
// OpenEventA, WaitForSingleObject, CloseHandle): recursion, abandonment,
// sharing by name and removal with the last handle come from the kernel.
// Each kernel handle sits in a slot of the common handle table, so that the
// library's handles stay 32-bit, are never handed out again soon after a
// close, and tell a mutex from an event. A call in progress pins its slot,
// so a close racing it never lets the kernel reuse the handle under it.
#include <cstring>

#include "platform/common/handle_table.h"
#include "platform/common/slot_pin.h"
#include "platform/objects.h"
#include "platform/win32/windows_api.h"

namespace qorb::plat {
namespace {

bool Fail(std::uint32_t code) {
  SetLastError(code);
  return false;
}

Handle FailHandle(std::uint32_t code) {
  SetLastError(code);
  return 0;
}

bool HasName(const char *name) {
  return name != nullptr && name[0] != '\0';
}

// The kernel takes names of fewer than MAX_PATH characters.
bool NameFits(const char *name) {
  return name == nullptr || std::strlen(name) < MAX_PATH;
}

bool IsMutex(ObjectKind kind) {
  return kind == ObjectKind::kLocalMutex || kind == ObjectKind::kNamedMutex;
}

bool IsEvent(ObjectKind kind) {
  return kind == ObjectKind::kLocalEvent || kind == ObjectKind::kNamedEvent;
}

// The kernel's code for a failed create or open, in the layer's terms: a
// name held by the other kind of object is an invalid handle there already.
std::uint32_t ObjectError() {
  const DWORD code = GetLastError();
  return code == ERROR_FILENAME_EXCED_RANGE ? kErrorInvalidParameter : code;
}

void CloseKernelObject(Slot &slot) {
  if (void *object = slot.hostObject.exchange(nullptr, std::memory_order_acq_rel)) {
    CloseHandle(object);
  }
  ReleaseSlot(slot);
}

// Puts a fresh kernel handle behind a library handle; 0 (the kernel handle
// closed) when the table is full.
Handle Publish(HANDLE object, ObjectKind kind, std::uint32_t access) {
  if (object == nullptr) return FailHandle(ObjectError());
  Slot *slot = AcquireSlot();
  if (slot == nullptr) {
    CloseHandle(object);
    return FailHandle(kErrorNotEnoughMemory);
  }
  slot->sleepers.store(0, std::memory_order_relaxed);
  slot->hostObject.store(object, std::memory_order_relaxed);
  slot->refs.store(1, std::memory_order_release);
  return PublishSlot(*slot, kind, access);
}

// A library handle pinned for one call, with its kernel handle.
class Pinned {
 public:
  explicit Pinned(Handle handle) : pin_(LookupSlot(handle), handle, CloseKernelObject) {}

  // The kernel handle when the library handle is live and of a kind that
  // `accepts` takes; otherwise nullptr with kErrorInvalidHandle set.
  HANDLE Object(bool (*accepts)(ObjectKind)) const {
    if (!pin_.pinned() || !accepts(pin_.slot().kind.load(std::memory_order_relaxed))) {
      SetLastError(kErrorInvalidHandle);
      return nullptr;
    }
    return pin_.slot().hostObject.load(std::memory_order_acquire);
  }
  // Only once Object() gave a kernel handle.
  Slot &slot() const { return pin_.slot(); }

 private:
  SlotPin pin_;
};

bool AnyKind(ObjectKind kind) {
  return IsMutex(kind) || IsEvent(kind);
}

// The kernel's answer to a call that returned `done`.
bool KernelResult(BOOL done) {
  return done != FALSE || Fail(GetLastError());
}

}  // namespace

Handle CreateMutexObject(const char *name, bool initialOwner) {
  if (!NameFits(name)) return FailHandle(kErrorInvalidParameter);
  const bool named = HasName(name);
  return Publish(CreateMutexA(nullptr, initialOwner ? TRUE : FALSE, named ? name : nullptr),
                 named ? ObjectKind::kNamedMutex : ObjectKind::kLocalMutex, kAllAccess);
}

Handle OpenMutexObject(const char *name, std::uint32_t access) {
  if (name == nullptr || !NameFits(name)) return FailHandle(kErrorInvalidParameter);
  if (name[0] == '\0') return FailHandle(kErrorFileNotFound);
  return Publish(OpenMutexA(access, FALSE, name), ObjectKind::kNamedMutex, access & kAllAccess);
}

bool ReleaseMutexObject(Handle mutex) {
  const Pinned pinned(mutex);
  HANDLE object = pinned.Object(IsMutex);
  if (object == nullptr) return false;
  return KernelResult(ReleaseMutex(object));
}

Handle CreateEventObject(const char *name, bool initialState) {
  if (!NameFits(name)) return FailHandle(kErrorInvalidParameter);
  const bool named = HasName(name);
  return Publish(CreateEventA(nullptr, TRUE, initialState ? TRUE : FALSE, named ? name : nullptr),
                 named ? ObjectKind::kNamedEvent : ObjectKind::kLocalEvent, kAllAccess);
}

Handle OpenEventObject(const char *name, std::uint32_t access) {
  if (name == nullptr || !NameFits(name)) return FailHandle(kErrorInvalidParameter);
  if (name[0] == '\0') return FailHandle(kErrorFileNotFound);
  return Publish(OpenEventA(access, FALSE, name), ObjectKind::kNamedEvent, access & kAllAccess);
}

bool SetEventObject(Handle event) {
  const Pinned pinned(event);
  HANDLE object = pinned.Object(IsEvent);
  return object != nullptr && KernelResult(SetEvent(object));
}

bool ResetEventObject(Handle event) {
  const Pinned pinned(event);
  HANDLE object = pinned.Object(IsEvent);
  return object != nullptr && KernelResult(ResetEvent(object));
}

std::uint32_t WaitForObject(Handle object, std::uint32_t milliseconds) {
  const Pinned pinned(object);
  HANDLE kernel = pinned.Object(AnyKind);
  if (kernel == nullptr) return kWaitFailed;
  std::atomic<std::uint32_t> &sleepers = pinned.slot().sleepers;
  sleepers.fetch_add(1, std::memory_order_acq_rel);
  const DWORD result = WaitForSingleObject(kernel, milliseconds);
  const DWORD code = GetLastError();
  sleepers.fetch_sub(1, std::memory_order_acq_rel);
  if (result == WAIT_FAILED) SetLastError(code);
  return result;
}

bool CloseObject(Handle object) {
  Slot *slot = LookupSlot(object);
  if (slot == nullptr || !RetireHandle(*slot, object)) return Fail(kErrorInvalidHandle);
  DropReference(*slot, CloseKernelObject);
  return true;
}

std::uint32_t SleepersForTesting(Handle object) {
  const Slot *slot = LookupSlot(object);
  return slot != nullptr ? slot->sleepers.load(std::memory_order_acquire) : 0;
}

}  // namespace qorb::plat
