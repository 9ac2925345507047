// kernel_objects.cpp - the platform's mutex and event calls on Linux.
//
// Looks the handle up in the slot table and hands the call to the unnamed
// (local_mutex, event_word) or named (named_object) implementation. Handles
// are never inherited: fork_handler.cpp says what a child keeps.
#include "platform/common/handle_table.h"
#include "platform/common/refuse.h"
#include "platform/objects.h"
#include "platform/posix/event_word.h"
#include "platform/posix/fork_handler.h"
#include "platform/posix/local_mutex.h"
#include "platform/posix/named_object.h"

namespace qorb::plat {
namespace {

bool HasName(const char *name) {
  return name != nullptr && name[0] != '\0';
}

// An unnamed object: its whole state lives in its slot.
Handle CreateLocal(ObjectKind kind, bool initial) {
  posix::InstallForkHandlers();
  Slot *slot = AcquireSlot();
  if (slot == nullptr) return RefuseHandle(kErrorNotEnoughMemory);
  if (kind == ObjectKind::kLocalMutex) {
    posix::InitLocalMutex(*slot, initial);
  } else {
    slot->sleepers.store(0, std::memory_order_relaxed);
    posix::InitEventWord(slot->word, initial);
  }
  return PublishSlot(*slot, kind, kAllAccess);
}

// Creates an unnamed object, or creates (or opens) the named one.
Handle CreateObject(ObjectKind localKind, ObjectKind namedKind, const char *name, bool initial) {
  if (!HasName(name)) return CreateLocal(localKind, initial);
  posix::InstallForkHandlers();
  return posix::OpenNamedObject(namedKind, name, initial, true, kAllAccess);
}

Handle OpenExisting(ObjectKind kind, const char *name, std::uint32_t access) {
  posix::InstallForkHandlers();
  if (name == nullptr) return RefuseHandle(kErrorInvalidParameter);
  if (name[0] == '\0') return RefuseHandle(kErrorFileNotFound);
  return posix::OpenNamedObject(kind, name, false, false, access & kAllAccess);
}

bool SetOrReset(Handle event, bool posted) {
  Slot *slot = LookupSlot(event);
  if (slot == nullptr) return Refuse(kErrorInvalidHandle);
  switch (slot->kind.load(std::memory_order_relaxed)) {
    case ObjectKind::kLocalEvent:
      if (posted) {
        posix::SetEventWord(slot->word, false);
      } else {
        posix::ResetEventWord(slot->word);
      }
      return true;
    case ObjectKind::kNamedEvent:
      return posix::SetNamedEvent(*slot, event, posted);
    default:
      return Refuse(kErrorInvalidHandle);
  }
}

}  // namespace

Handle CreateMutexObject(const char *name, bool initialOwner) {
  return CreateObject(ObjectKind::kLocalMutex, ObjectKind::kNamedMutex, name, initialOwner);
}

Handle OpenMutexObject(const char *name, std::uint32_t access) {
  return OpenExisting(ObjectKind::kNamedMutex, name, access);
}

bool ReleaseMutexObject(Handle mutex) {
  Slot *slot = LookupSlot(mutex);
  if (slot == nullptr) return Refuse(kErrorInvalidHandle);
  switch (slot->kind.load(std::memory_order_relaxed)) {
    case ObjectKind::kLocalMutex:
      return posix::ReleaseLocalMutex(*slot);
    case ObjectKind::kNamedMutex:
      return posix::ReleaseNamedMutex(*slot, mutex);
    default:
      return Refuse(kErrorInvalidHandle);
  }
}

Handle CreateEventObject(const char *name, bool initialState) {
  return CreateObject(ObjectKind::kLocalEvent, ObjectKind::kNamedEvent, name, initialState);
}

Handle OpenEventObject(const char *name, std::uint32_t access) {
  return OpenExisting(ObjectKind::kNamedEvent, name, access);
}

bool SetEventObject(Handle event) {
  return SetOrReset(event, true);
}

bool ResetEventObject(Handle event) {
  return SetOrReset(event, false);
}

std::uint32_t WaitForObject(Handle object, std::uint32_t milliseconds) {
  Slot *slot = LookupSlot(object);
  if (slot == nullptr) {
    SetLastError(kErrorInvalidHandle);
    return kWaitFailed;
  }
  switch (slot->kind.load(std::memory_order_relaxed)) {
    case ObjectKind::kLocalMutex:
      return posix::WaitLocalMutex(*slot, milliseconds);
    case ObjectKind::kLocalEvent:
      return posix::WaitEventWord(slot->word, milliseconds, false, &slot->sleepers);
    case ObjectKind::kNamedMutex:
    case ObjectKind::kNamedEvent:
      return posix::WaitNamedObject(*slot, object, milliseconds);
    default:
      SetLastError(kErrorInvalidHandle);
      return kWaitFailed;
  }
}

bool CloseObject(Handle object) {
  Slot *slot = LookupSlot(object);
  if (slot == nullptr) return Refuse(kErrorInvalidHandle);
  switch (slot->kind.load(std::memory_order_relaxed)) {
    case ObjectKind::kLocalMutex:
    case ObjectKind::kLocalEvent:
      if (!RetireHandle(*slot, object)) return Refuse(kErrorInvalidHandle);
      if (slot->kind.load(std::memory_order_relaxed) == ObjectKind::kLocalMutex) {
        posix::CloseLocalMutex(*slot);
      }
      ReleaseSlot(*slot);
      return true;
    case ObjectKind::kNamedMutex:
    case ObjectKind::kNamedEvent:
      return posix::CloseNamedObject(*slot, object);
    default:
      return Refuse(kErrorInvalidHandle);
  }
}

std::uint32_t SleepersForTesting(Handle object) {
  const Slot *slot = LookupSlot(object);
  return slot != nullptr ? slot->sleepers.load(std::memory_order_acquire) : 0;
}

}  // namespace qorb::plat
