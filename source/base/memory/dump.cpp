// dump.cpp - listing every live tracked block on a caller's stream, oldest
// first, one numbered line each.
//
// Relies on: the registry and memory lock of block.h; fprintf on the stream.
#include <cstdio>

#include "memory/block.h"

extern "C" QORB_API uint32_t MemDumpMemory(FILE *stream) {
  if (stream == nullptr) return 1;  // nowhere to write; nothing to list
  const qorb::mem::Registry &registry = qorb::mem::TheRegistry();
  qorb::mem::MemoryLock lock;
  unsigned long number = 0;
  for (MemBlockHeader *header = registry.first; header != nullptr; header = header->next) {
    const qorb::mem::RecordedName name = qorb::mem::NameOf(*header);
    // A stream that fails to take a line is the caller's to notice.
    (void)std::fprintf(stream, "%5lu. %p %6.6s - %hu: %lu\n", ++number, static_cast<void *>(header),
                       name.text, static_cast<unsigned short>(header->line),
                       static_cast<unsigned long>(header->size));
  }
  return 1;
}
