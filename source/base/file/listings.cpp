// listings.cpp - walking a directory one entry per call: the files that
// match a pattern, or the subdirectories of a directory.
//
// Relies on: the platform layer's directory search, path checking for the
// pattern's directory, tracked strings for the entries and a list to hold
// them. The whole listing is taken at the first call; the call that ends it
// frees the list and the handle. A caller that stops early keeps both.
#include <cstring>

#include "file/file_private.h"
#include "platform/files.h"

// The caller's handle: the entries still to be handed out.
struct FilListing {
  LstList *entries;
};

namespace qorb::fil {
namespace {

// What a listing keeps: files or subdirectories, and how long an entry may
// grow in its working buffer.
struct ListingKind {
  bool directories;
  std::size_t entryCapacity;
};
constexpr ListingKind kFiles{false, kFileEntryCapacity};
constexpr ListingKind kSubdirectories{true, kPathCapacity};

void FreeListing(FilListing *listing) {
  LstDeleteAllBoth(listing->entries);
  LstFreeList_(listing->entries);
  MemFreeMem_(listing);
}

FilListing *NewListing() {
  auto *listing =
      static_cast<FilListing *>(MemAllocMem_(sizeof(FilListing), __LINE__, kSourcePath));
  if (listing == nullptr) return nullptr;
  listing->entries = LstNewList(0);
  if (listing->entries == nullptr) {
    MemFreeMem_(listing);
    return nullptr;
  }
  return listing;
}

// Appends prefix and name as a tracked string; an entry too long for its
// working buffer is left out rather than cut into another name.
void AppendEntry(LstList *entries, const char *prefix, const char *name, std::size_t capacity) {
  char entry[kFileEntryCapacity];
  if (!JoinTexts(entry, capacity, prefix, name)) return;
  char *copy = MemAllocString_(entry, __LINE__, kSourcePath);
  if (copy != nullptr && LstInsert(entries, copy, LST_AT_END) == nullptr) MemFreeString_(copy);
}

// Takes the whole listing of a search pattern; nullptr when the search finds
// nothing at all or the handle cannot be made.
FilListing *TakeListing(const char *pattern, const char *prefix, const ListingKind &kind) {
  FilListing *listing = NewListing();
  if (listing == nullptr) return nullptr;
  plat::DirectorySearch search;
  plat::FoundEntry found{};
  if (!search.Begin(pattern, &found)) {
    FreeListing(listing);
    return nullptr;
  }
  do {
    const bool isDirectory = (found.attributes & plat::kAttributeDirectory) != 0;
    if (isDirectory == kind.directories) {
      AppendEntry(listing->entries, prefix, found.name, kind.entryCapacity);
    }
  } while (search.Next(&found));
  return listing;
}

// Hands out the next entry (with suffix appended), or ends the listing.
bool HandOutNext(FilListing **handle, char *out, const char *suffix) {
  FilListing *listing = *handle;
  LstItem *first = listing->entries->first;
  if (first == nullptr) {
    FreeListing(listing);
    *handle = nullptr;
    return false;
  }
  auto *entry = static_cast<char *>(first->data);
  LstDelete(first);
  // Entries were kept short enough for their suffix in an output of this size.
  JoinTexts(out, kFileEntryCapacity, entry, suffix);
  MemFreeString_(entry);
  return true;
}

bool NextPathName(FilListing **handle, const char *pattern, char *out) {
  if (*handle == nullptr) {
    char prefix[kPathCapacity];
    if (!JoinTexts(prefix, sizeof prefix, pattern, "") || !CheckPathName(prefix, 2, 2)) {
      return false;
    }
    *handle = TakeListing(pattern, prefix, kFiles);
    if (*handle == nullptr) return false;
  }
  return HandOutNext(handle, out, "");
}

bool NextPath(FilListing **handle, const char *directory, char *out) {
  if (*handle == nullptr) {
    char pattern[kPathCapacity];
    if (!JoinTexts(pattern, sizeof pattern, directory, "*")) return false;
    *handle = TakeListing(pattern, directory, kSubdirectories);
    if (*handle == nullptr) return false;
  }
  return HandOutNext(handle, out, "\\");
}

}  // namespace
}  // namespace qorb::fil

extern "C" {

QORB_API uint32_t FilGetNextPathName(FilListing **handle, const char *pattern, char *out,
                                     uint32_t /*unused*/) {
  if (handle == nullptr || pattern == nullptr || out == nullptr) return 0;
  return qorb::fil::NextPathName(handle, pattern, out) ? 1 : 0;
}

QORB_API uint32_t FilGetNextPath(FilListing **handle, const char *directory, char *out) {
  if (handle == nullptr || directory == nullptr || out == nullptr) return 0;
  return qorb::fil::NextPath(handle, directory, out) ? 1 : 0;
}

}  // extern "C"
