// strings.cpp - tracked copies of texts and the two slot functions that
// replace the text a slot owns.
//
// Relies on: MemAllocMem_ and MemFreeMem_ only.
#include <cstring>

#include "qorb32n.h"

extern "C" {

QORB_API char *MemAllocString_(const char *text, uint32_t line, const char *file) {
  if (text == nullptr) return nullptr;
  const std::size_t bytes = std::strlen(text) + 1;
  // A text too long for one tracked block is refused like any failed request.
  if (bytes > 0xFFFFFFFFu - MEM_OVERHEAD) return nullptr;
  auto *copy = static_cast<char *>(MemAllocMem_(static_cast<uint32_t>(bytes), line, file));
  if (copy != nullptr) std::memcpy(copy, text, bytes);
  return copy;
}

QORB_API void MemFreeString_(void *pointer) {
  if (pointer != nullptr) MemFreeMem_(pointer);
}

QORB_API char *MemFreeStringAlloc_(char **slot, const char *text, uint32_t line, const char *file) {
  if (slot == nullptr) return nullptr;  // no slot to own a copy
  if (*slot != nullptr) {
    MemFreeMem_(*slot);
    *slot = nullptr;
  }
  *slot = MemAllocString_(text, line, file);
  return *slot;
}

QORB_API char *MemFreeStringSet(char **slot, char *pointer) {
  if (slot == nullptr) return pointer;  // nothing to free or store
  if (*slot != nullptr) {
    MemFreeMem_(*slot);
    *slot = nullptr;
  }
  *slot = pointer;
  return pointer;
}

}  // extern "C"
