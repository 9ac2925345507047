// slot_pin.h - references that keep a handle's object alive while a call
// uses it.
//
// A slot whose object needs closing on the host (a named object's mapping,
// a Windows kernel handle) carries one reference for its handle plus one per
// call in progress; whoever drops the last one closes the object. A closed
// handle's slot is never pinned again: its count stays at 0.
#pragma once

#include "platform/common/handle_table.h"

namespace qorb::plat {

// Closes the object of a slot whose last reference went, and frees the slot.
using LastReferenceGone = void (*)(Slot &slot);

inline void DropReference(Slot &slot, LastReferenceGone finish) {
  if (slot.refs.fetch_sub(1, std::memory_order_acq_rel) == 1) finish(slot);
}

// Holds a reference for the length of one call, when the handle is still the
// slot's; pinned() tells whether it is (never for a null slot).
class SlotPin {
 public:
  SlotPin(Slot *slot, Handle handle, LastReferenceGone finish) : slot_(slot), finish_(finish) {
    if (slot == nullptr) return;
    std::uint32_t refs = slot->refs.load(std::memory_order_acquire);
    do {
      if (refs == 0) return;
    } while (!slot->refs.compare_exchange_weak(refs, refs + 1, std::memory_order_acq_rel));
    pinned_ = true;
    if (slot->handle.load(std::memory_order_acquire) != handle) {
      DropReference(*slot, finish);
      pinned_ = false;
    }
  }
  ~SlotPin() {
    if (pinned_) DropReference(*slot_, finish_);
  }
  SlotPin(const SlotPin &) = delete;
  SlotPin &operator=(const SlotPin &) = delete;

  bool pinned() const { return pinned_; }
  // The pinned slot; only while pinned().
  Slot &slot() const { return *slot_; }

 private:
  Slot *slot_;
  LastReferenceGone finish_;
  bool pinned_ = false;
};

}  // namespace qorb::plat
