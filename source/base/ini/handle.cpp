// handle.cpp - IniOpen and IniClose: the mode decides which kind of handle
// is made; closing frees what either kind holds.
//
// Relies on: the reading and writing openers, the tracked allocator.
#include <cstdio>

#include "ini/handle.h"

namespace qorb::ini {

void CloseHandle(IniFile *file) {
  if (file->stream != nullptr) static_cast<void>(std::fclose(file->stream));
  const std::uint32_t count =
      file->entryCount < INI_MAX_ENTRIES ? file->entryCount : INI_MAX_ENTRIES;
  for (std::uint32_t i = 0; i < count; ++i) {
    MemFreeString_(file->entries[i].name);
    MemFreeString_(file->entries[i].value);
  }
  MemFreeMem_(file);
}

}  // namespace qorb::ini

extern "C" {

QORB_API IniFile *IniOpen(const char *path, uint32_t mode) {
  try {
    return mode == INI_MODE_READ ? qorb::ini::OpenForReading(path)
                                 : qorb::ini::OpenForWriting(path);
  } catch (...) {
    return nullptr;
  }
}

QORB_API uint32_t IniClose(IniFile *file) {
  if (file != nullptr) qorb::ini::CloseHandle(file);
  return 0;
}

}  // extern "C"
