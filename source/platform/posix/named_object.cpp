// named_object.cpp - creating, opening, using and closing named objects.
//
// Each handle maps the object's page on its own. Creating, opening and the
// last close of a handle lock the object's own file with flock(), where dead
// holders are pruned: a name whose holders have all ended counts as gone, and
// the name is unlinked when its last holder lets go. A name that another user
// made is refused. Calls through a handle pin its slot, so a close from
// another thread only finishes when they are done.
#include "platform/posix/named_object.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/common/slot_pin.h"
#include "platform/posix/event_word.h"
#include "platform/posix/host_error.h"
#include "platform/posix/shared_object.h"
#include "platform/posix/shm_name.h"
#include "platform/posix/stale_names.h"

namespace qorb::plat {

// What a handle to a named object keeps on this host: its own mapping of the
// object's page, the identity of the file behind the name, and the entry of
// this process among the object's holders.
struct NamedMapping {
  posix::SharedObject *object;
  dev_t device;
  ino_t inode;
  std::uint32_t holder;
  char shmName[posix::kShmNameSize];
};

}  // namespace qorb::plat

namespace qorb::plat::posix {
namespace {

Handle FailHandle(std::uint32_t code) {
  SetLastError(code);
  return 0;
}

SharedKind SharedKindOf(ObjectKind kind) {
  return kind == ObjectKind::kNamedMutex ? SharedKind::kMutex : SharedKind::kEvent;
}

// The file a name stands for, open and locked with flock() for one change
// of its holders. The lock is dropped explicitly: a mapping of the file keeps
// its open description, and with it the lock, alive after a close.
class LockedFile {
 public:
  LockedFile() = default;
  ~LockedFile() {
    if (fd_ < 0) return;
    flock(fd_, LOCK_UN);
    close(fd_);
  }
  LockedFile(const LockedFile &) = delete;
  LockedFile &operator=(const LockedFile &) = delete;

  // Opens (creating when allowed) and locks the file the name stands for
  // once the lock is held: one unlinked meanwhile is left for the new one.
  std::uint32_t Open(const char *shmName, bool mayCreate) {
    name_ = shmName;
    for (;;) {
      fd_ = shm_open(shmName, O_RDWR | O_CLOEXEC | (mayCreate ? O_CREAT : 0), 0600);
      if (fd_ < 0) return WindowsErrorFromErrno(errno);
      if (fstat(fd_, &status_) != 0) return WindowsErrorFromErrno(errno);
      if (status_.st_uid != geteuid()) return kErrorAccessDenied;
      while (flock(fd_, LOCK_EX) != 0) {
        if (errno != EINTR) return kErrorAccessDenied;
      }
      if (fstat(fd_, &status_) != 0) return WindowsErrorFromErrno(errno);
      if (status_.st_nlink > 0) return kErrorSuccess;
      close(fd_);
      fd_ = -1;
    }
  }

  bool Is(dev_t device, ino_t inode) const {
    return status_.st_dev == device && status_.st_ino == inode;
  }
  dev_t device() const { return status_.st_dev; }
  ino_t inode() const { return status_.st_ino; }

  // Maps the page, giving a file that its maker never sized its size first
  // (when allowed). nullptr with `error` set on failure.
  SharedObject *Map(bool maySize, std::uint32_t &error) {
    if (static_cast<std::size_t>(status_.st_size) < kSharedSize) {
      if (!maySize) {
        error = kErrorFileNotFound;
        return nullptr;
      }
      if (ftruncate(fd_, static_cast<off_t>(kSharedSize)) != 0) {
        error = WindowsErrorFromErrno(errno);
        return nullptr;
      }
    }
    void *address = mmap(nullptr, kSharedSize, PROT_READ | PROT_WRITE, MAP_SHARED, fd_, 0);
    if (address == MAP_FAILED) {
      error = WindowsErrorFromErrno(errno);
      return nullptr;
    }
    return static_cast<SharedObject *>(address);
  }

  void Unlink() const { shm_unlink(name_); }

 private:
  int fd_ = -1;
  const char *name_ = nullptr;
  struct stat status_ {};
};

// Makes the object whole for this process under the file's lock: a fresh
// object when the name had none alive, then this process among its holders.
std::uint32_t JoinObject(SharedObject &object, ObjectKind kind, bool initial, bool mayCreate,
                         LockedFile &file, std::uint32_t &holder) {
  const bool gone = object.header.magic.load(std::memory_order_acquire) != kSharedMagic ||
                    !PruneDeadHolders(object);
  if (gone) {
    if (!mayCreate) {
      file.Unlink();
      return kErrorFileNotFound;
    }
    InitSharedObject(object, SharedKindOf(kind), initial);
  } else if (object.header.kind != SharedKindOf(kind)) {
    return kErrorInvalidHandle;
  }
  const ProcessToken self = CurrentProcessToken();
  if (self.nonce == 0) return kErrorAccessDenied;
  holder = AddHolder(object, self);
  if (holder == kNoHolder) return kErrorTooManyHolders;
  if (gone && kind == ObjectKind::kNamedMutex && initial) ClaimFreshMutex(object, holder);
  return kErrorSuccess;
}

// Lets go of this process's hold through one handle: with its last handle
// the process leaves the holders, giving up a mutex one of its threads owns,
// and the name goes with its last live holder.
void LeaveObject(NamedMapping &mapping) {
  SharedObject &object = *mapping.object;
  LockedFile file;
  if (file.Open(mapping.shmName, false) != kErrorSuccess ||
      !file.Is(mapping.device, mapping.inode)) {
    return;  // the name no longer stands for this object: nobody to tell
  }
  if (!RemoveHolder(object, mapping.holder) && object.header.kind == SharedKind::kMutex) {
    AbandonIfOwnedByProcess(object, mapping.holder);
  }
  if (!PruneDeadHolders(object)) file.Unlink();
}

// The last reference to a named slot went: close the object for good.
void FinishClose(Slot &slot) {
  NamedMapping *mapping = slot.named.exchange(nullptr, std::memory_order_acq_rel);
  if (mapping != nullptr) {
    LeaveObject(*mapping);
    munmap(mapping->object, kSharedSize);
    std::free(mapping);
  }
  ReleaseSlot(slot);
}

void Unpin(Slot &slot) {
  DropReference(slot, FinishClose);
}

// Holds a reference to a named slot for the length of one call.
class Pin : public SlotPin {
 public:
  Pin(Slot &slot, Handle handle) : SlotPin(&slot, handle, FinishClose) {}

  NamedMapping *mapping() const {
    return pinned() ? slot().named.load(std::memory_order_acquire) : nullptr;
  }
};

Handle PublishNamed(ObjectKind kind, std::uint32_t access, const NamedMapping &fields) {
  auto *mapping = static_cast<NamedMapping *>(std::malloc(sizeof(NamedMapping)));
  Slot *slot = mapping != nullptr ? AcquireSlot() : nullptr;
  if (slot == nullptr) {
    std::free(mapping);
    return 0;
  }
  *mapping = fields;
  slot->named.store(mapping, std::memory_order_relaxed);
  slot->refs.store(1, std::memory_order_release);
  return PublishSlot(*slot, kind, access);
}

}  // namespace

Handle OpenNamedObject(ObjectKind kind, const char *name, bool initial, bool mayCreate,
                       std::uint32_t access) {
  NamedMapping fields{};
  if (!ObjectShmName(name, fields.shmName)) return FailHandle(kErrorInvalidParameter);
  SweepStaleNamesNowAndThen();
  LockedFile file;
  std::uint32_t error = file.Open(fields.shmName, mayCreate);
  if (error != kErrorSuccess) return FailHandle(error);
  SharedObject *object = file.Map(mayCreate, error);
  if (object == nullptr) {
    if (!mayCreate) file.Unlink();  // its maker ended before sizing it
    return FailHandle(error);
  }
  error = JoinObject(*object, kind, initial, mayCreate, file, fields.holder);
  if (error != kErrorSuccess) {
    munmap(object, kSharedSize);
    return FailHandle(error);
  }
  fields.object = object;
  fields.device = file.device();
  fields.inode = file.inode();
  const Handle handle = PublishNamed(kind, access, fields);
  if (handle == 0) {
    RemoveHolder(*object, fields.holder);
    munmap(object, kSharedSize);
    return FailHandle(kErrorNotEnoughMemory);
  }
  return handle;
}

std::uint32_t WaitNamedObject(Slot &slot, Handle handle, std::uint32_t milliseconds) {
  const Pin pin(slot, handle);
  NamedMapping *mapping = pin.mapping();
  if (mapping == nullptr) {
    SetLastError(kErrorInvalidHandle);
    return kWaitFailed;
  }
  if ((slot.access.load(std::memory_order_relaxed) & kSynchronize) == 0) {
    SetLastError(kErrorAccessDenied);
    return kWaitFailed;
  }
  SharedObject &object = *mapping->object;
  if (object.header.kind == SharedKind::kMutex) {
    return WaitSharedMutex(object, mapping->holder, milliseconds, slot.sleepers);
  }
  return WaitEventWord(object.header.eventWord, milliseconds, true, &slot.sleepers);
}

bool ReleaseNamedMutex(Slot &slot, Handle handle) {
  const Pin pin(slot, handle);
  NamedMapping *mapping = pin.mapping();
  if (mapping == nullptr || mapping->object->header.kind != SharedKind::kMutex) {
    SetLastError(kErrorInvalidHandle);
    return false;
  }
  return ReleaseSharedMutex(*mapping->object, mapping->holder);
}

bool SetNamedEvent(Slot &slot, Handle handle, bool posted) {
  const Pin pin(slot, handle);
  NamedMapping *mapping = pin.mapping();
  if (mapping == nullptr || mapping->object->header.kind != SharedKind::kEvent) {
    SetLastError(kErrorInvalidHandle);
    return false;
  }
  if ((slot.access.load(std::memory_order_relaxed) & kModifyState) == 0) {
    SetLastError(kErrorAccessDenied);
    return false;
  }
  if (posted) {
    SetEventWord(mapping->object->header.eventWord, true);
  } else {
    ResetEventWord(mapping->object->header.eventWord);
  }
  return true;
}

bool CloseNamedObject(Slot &slot, Handle handle) {
  if (!RetireHandle(slot, handle)) {
    SetLastError(kErrorInvalidHandle);
    return false;
  }
  Unpin(slot);
  return true;
}

void AbandonNamedMutexesOfThread(std::uint32_t threadId) {
  ForEachSlot([threadId](Slot &slot) {
    const Handle handle = slot.handle.load(std::memory_order_acquire);
    if (handle == 0 || slot.kind.load(std::memory_order_relaxed) != ObjectKind::kNamedMutex) {
      return;
    }
    const Pin pin(slot, handle);
    if (NamedMapping *mapping = pin.mapping()) {
      AbandonIfOwnedByThread(*mapping->object, mapping->holder, threadId);
    }
  });
}

void DropNamedHandlesAfterFork() {
  ForEachSlot([](Slot &slot) {
    const ObjectKind kind = slot.kind.load(std::memory_order_relaxed);
    if (kind != ObjectKind::kNamedMutex && kind != ObjectKind::kNamedEvent) return;
    slot.handle.store(0, std::memory_order_relaxed);
    slot.refs.store(0, std::memory_order_relaxed);
    NamedMapping *mapping = slot.named.exchange(nullptr, std::memory_order_relaxed);
    if (mapping != nullptr) {
      munmap(mapping->object, kSharedSize);
      std::free(mapping);
    }
    ReleaseSlot(slot);
  });
}

}  // namespace qorb::plat::posix
