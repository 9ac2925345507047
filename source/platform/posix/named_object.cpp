// named_object.cpp - creating, opening, using and closing named objects.
//
// Each handle maps the object's page on its own. Creating, opening and the
// last close of a handle run under the registry lock, where dead holders are
// pruned: a name whose holders have all ended counts as gone, and the name
// is unlinked when its last holder closes. Calls through a handle pin its
// slot, so a close from another thread only finishes when they are done.
#include "platform/posix/named_object.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/posix/event_word.h"
#include "platform/posix/host_error.h"
#include "platform/posix/registry_lock.h"
#include "platform/posix/shared_object.h"
#include "platform/posix/shm_name.h"

namespace qorb::plat {

// What a handle to a named object keeps on this host: its own mapping of the
// object's page and the identity of the file behind the name.
struct NamedMapping {
  posix::SharedObject *object;
  dev_t device;
  ino_t inode;
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

// A mapping, its file and its object's identity; unmapped unless released.
class OpenedObject {
 public:
  ~OpenedObject() {
    if (object_ != nullptr) munmap(object_, kSharedSize);
  }
  SharedObject *object() const { return object_; }
  SharedObject *release() {
    SharedObject *object = object_;
    object_ = nullptr;
    return object;
  }
  std::uint32_t Open(const char *shmName, bool mayCreate) {
    const int fd = shm_open(shmName, O_RDWR | (mayCreate ? O_CREAT : 0), 0600);
    if (fd < 0) return WindowsErrorFromErrno(errno);
    const std::uint32_t error = MapFile(fd, mayCreate);
    close(fd);
    return error;
  }
  bool Sized() const { return sized_; }
  dev_t device() const { return device_; }
  ino_t inode() const { return inode_; }

 private:
  std::uint32_t MapFile(int fd, bool mayCreate) {
    struct stat status {};
    if (fstat(fd, &status) != 0) return WindowsErrorFromErrno(errno);
    device_ = status.st_dev;
    inode_ = status.st_ino;
    sized_ = static_cast<std::size_t>(status.st_size) >= kSharedSize;
    // A creator that ended before sizing the file leaves it short.
    if (!sized_) {
      if (!mayCreate) return kErrorSuccess;
      if (ftruncate(fd, static_cast<off_t>(kSharedSize)) != 0) return WindowsErrorFromErrno(errno);
    }
    void *address = mmap(nullptr, kSharedSize, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (address == MAP_FAILED) return WindowsErrorFromErrno(errno);
    object_ = static_cast<SharedObject *>(address);
    return kErrorSuccess;
  }

  SharedObject *object_ = nullptr;
  bool sized_ = false;
  dev_t device_ = 0;
  ino_t inode_ = 0;
};

// Whether the name has no live object: never made whole, or all holders gone.
bool IsGone(SharedObject &object) {
  if (object.header.magic.load(std::memory_order_acquire) != kSharedMagic) return true;
  PruneDeadHolders(object);
  return object.header.holderCount == 0;
}

// Unlinks the name if it still names the object that was mapped.
void UnlinkIfSame(const char *shmName, dev_t device, ino_t inode) {
  const int fd = shm_open(shmName, O_RDONLY, 0);
  if (fd < 0) return;
  struct stat status {};
  const bool same = fstat(fd, &status) == 0 && status.st_dev == device && status.st_ino == inode;
  close(fd);
  if (same) shm_unlink(shmName);
}

Handle PublishNamed(ObjectKind kind, std::uint32_t access, OpenedObject &opened,
                    const char *shmName) {
  auto *mapping = static_cast<NamedMapping *>(std::malloc(sizeof(NamedMapping)));
  Slot *slot = mapping != nullptr ? AcquireSlot() : nullptr;
  if (slot == nullptr) {
    std::free(mapping);
    return FailHandle(kErrorNotEnoughMemory);
  }
  mapping->device = opened.device();
  mapping->inode = opened.inode();
  std::memcpy(mapping->shmName, shmName, sizeof mapping->shmName);
  mapping->object = opened.release();
  slot->named.store(mapping, std::memory_order_relaxed);
  slot->refs.store(1, std::memory_order_release);
  return PublishSlot(*slot, kind, access);
}

// Drops the mapping and this process's hold on the name (registry lock held).
void ForgetMapping(NamedMapping *mapping) {
  SharedObject &object = *mapping->object;
  RemoveHolder(object, CurrentProcess());
  PruneDeadHolders(object);
  if (object.header.holderCount == 0) {
    UnlinkIfSame(mapping->shmName, mapping->device, mapping->inode);
  }
  // glibc keeps a mutex a thread of this process still owns on that
  // thread's robust list; unmapping it would leave the list dangling.
  if (object.header.kind != SharedKind::kMutex || !SharedMutexHeldHere(object)) {
    munmap(mapping->object, kSharedSize);
  }
  std::free(mapping);
}

// The last reference to a named slot went: close the object for good.
void FinishClose(Slot &slot) {
  NamedMapping *mapping = slot.named.exchange(nullptr, std::memory_order_acq_rel);
  if (mapping != nullptr) {
    RegistryLock lock;
    ForgetMapping(mapping);
  }
  ReleaseSlot(slot);
}

void Unpin(Slot &slot) {
  if (slot.refs.fetch_sub(1, std::memory_order_acq_rel) == 1) FinishClose(slot);
}

// Holds a reference to a named slot for the length of one call.
class Pin {
 public:
  Pin(Slot &slot, Handle handle) : slot_(slot) {
    std::uint32_t refs = slot.refs.load(std::memory_order_acquire);
    do {
      if (refs == 0) return;
    } while (!slot.refs.compare_exchange_weak(refs, refs + 1, std::memory_order_acq_rel));
    pinned_ = true;
    if (slot.handle.load(std::memory_order_acquire) != handle) {
      Unpin(slot);
      pinned_ = false;
    }
  }
  ~Pin() {
    if (pinned_) Unpin(slot_);
  }
  Pin(const Pin &) = delete;
  Pin &operator=(const Pin &) = delete;

  SharedObject *object() const {
    return pinned_ ? slot_.named.load(std::memory_order_acquire)->object : nullptr;
  }

 private:
  Slot &slot_;
  bool pinned_ = false;
};

}  // namespace

Handle OpenNamedObject(ObjectKind kind, const char *name, bool initial, bool mayCreate,
                       std::uint32_t access) {
  char shmName[kShmNameSize];
  if (!ObjectShmName(name, shmName)) return FailHandle(kErrorInvalidParameter);
  RegistryLock lock;
  if (!lock.held()) return FailHandle(lock.error());
  OpenedObject opened;
  const std::uint32_t error = opened.Open(shmName, mayCreate);
  if (error != kErrorSuccess) return FailHandle(error);
  if (opened.object() == nullptr || IsGone(*opened.object())) {
    if (!mayCreate) {
      UnlinkIfSame(shmName, opened.device(), opened.inode());
      return FailHandle(kErrorFileNotFound);
    }
    if (!InitSharedObject(*opened.object(), SharedKindOf(kind), initial)) {
      return FailHandle(kErrorNotEnoughMemory);
    }
  } else if (opened.object()->header.kind != SharedKindOf(kind) ||
             (kind == ObjectKind::kNamedMutex &&
              opened.object()->header.mutexLayout != MutexLayout())) {
    return FailHandle(kErrorInvalidHandle);
  }
  if (!AddHolder(*opened.object(), CurrentProcess())) return FailHandle(kErrorTooManyOpenFiles);
  SharedObject *object = opened.object();
  const Handle handle = PublishNamed(kind, access, opened, shmName);
  if (handle == 0) RemoveHolder(*object, CurrentProcess());
  return handle;
}

std::uint32_t WaitNamedObject(Slot &slot, Handle handle, std::uint32_t milliseconds) {
  const Pin pin(slot, handle);
  SharedObject *object = pin.object();
  if (object == nullptr) {
    SetLastError(kErrorInvalidHandle);
    return kWaitFailed;
  }
  if ((slot.access.load(std::memory_order_relaxed) & kSynchronize) == 0) {
    SetLastError(kErrorAccessDenied);
    return kWaitFailed;
  }
  if (object->header.kind == SharedKind::kMutex) return WaitSharedMutex(*object, milliseconds);
  return WaitEventWord(object->header.eventWord, milliseconds, true, nullptr);
}

bool ReleaseNamedMutex(Slot &slot, Handle handle) {
  const Pin pin(slot, handle);
  SharedObject *object = pin.object();
  if (object == nullptr || object->header.kind != SharedKind::kMutex) {
    SetLastError(kErrorInvalidHandle);
    return false;
  }
  return ReleaseSharedMutex(*object);
}

bool SetNamedEvent(Slot &slot, Handle handle, bool posted) {
  const Pin pin(slot, handle);
  SharedObject *object = pin.object();
  if (object == nullptr || object->header.kind != SharedKind::kEvent) {
    SetLastError(kErrorInvalidHandle);
    return false;
  }
  if ((slot.access.load(std::memory_order_relaxed) & kModifyState) == 0) {
    SetLastError(kErrorAccessDenied);
    return false;
  }
  if (posted) {
    SetEventWord(object->header.eventWord, true);
  } else {
    ResetEventWord(object->header.eventWord);
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
