// tag_fuzz.cpp - the tagged-record reader on a file made from any input.
// The first byte names the identifier to search for; the rest is the file.
// A walk with TagReadTag lists the records the way TagGetTag promises to
// find them, each header checked against its bytes read by hand; TagGetTag
// must then find exactly those of the identifier, in order, each time
// leaving the stream at the record's data. The records the
// walk read in full are laid down again in the other byte order and through
// TagWriteRecord, and both copies must read back to the same headers.
//
// Relies on: TagReadTag, TagGetTag, TagSwapTag, TagWriteTag and
// TagWriteRecord on stdio streams over files in the scratch directory.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz_input.h"
#include "qorb32n.h"

namespace {

void Require(bool condition) {
  if (!condition) std::abort();
}

struct Record {
  TagHeader header;  // in this host's order
  long at;           // where its header starts
  bool whole;        // its data lies inside the file
};

struct Walk {
  std::vector<Record> records;
  long end = 0;  // where the walk stopped
};

bool SameNumbers(const TagHeader &a, const TagHeader &b) {
  return a.tagId == b.tagId && a.length == b.length && a.info1 == b.info1 && a.info2 == b.info2;
}

// Reads headers from the start as TagGetTag moves: over each record's data
// until a header cannot be read, is bad, or has an identifier above 45.
Walk WalkRecords(std::FILE *stream, long fileSize) {
  Walk walk;
  std::rewind(stream);
  for (;;) {
    const long at = std::ftell(stream);
    TagHeader header;
    std::memset(&header, 0x5A, sizeof header);
    const TagHeader before = header;
    const uint32_t result = TagReadTag(stream, &header);
    if (result == TAG_RC_READ_FAILED) {
      Require(std::memcmp(&header, &before, sizeof header) == 0);
      break;
    }
    Require(std::ftell(stream) == at + 16);
    if (result == TAG_RC_BAD_HEADER) break;
    Require(result == 0);
    Require((header.byteOrder == TAG_ORDER_I || header.byteOrder == TAG_ORDER_M) &&
            header.magic == TAG_MAGIC);
    TagHeader twice = header;
    TagSwapTag(&twice);
    TagSwapTag(&twice);
    Require(std::memcmp(&twice, &header, sizeof header) == 0);
    if (header.tagId > TAG_MAX_ID) break;
    const long dataEnd = at + 16 + static_cast<long>(header.length);
    walk.records.push_back({header, at, dataEnd <= fileSize});
    if (std::fseek(stream, dataEnd, SEEK_SET) != 0) break;
  }
  walk.end = std::ftell(stream);
  return walk;
}

// The header at the bytes, read by hand in the order its first byte names.
TagHeader Decoded(const std::uint8_t *bytes) {
  const bool mOrder = bytes[0] == TAG_ORDER_M;
  const auto number = [&](int at, int width) {
    std::uint32_t value = 0;
    for (int i = 0; i < width; ++i) {
      const int byte = mOrder ? at + i : at + width - 1 - i;
      value = (value << 8) | bytes[byte];
    }
    return value;
  };
  return TagHeader{static_cast<char>(bytes[0]),
                   bytes[1],
                   static_cast<uint16_t>(number(2, 2)),
                   number(4, 4),
                   number(8, 4),
                   number(12, 4)};
}

// Every header the walk read is the one its bytes hold.
void CheckDecoded(const std::uint8_t *file, const Walk &walk) {
  for (const Record &record : walk.records) {
    const TagHeader expected = Decoded(file + record.at);
    Require(std::memcmp(&expected, &record.header, sizeof expected) == 0);
  }
}

// TagGetTag from the start finds the walk's records of the identifier.
void CheckSearch(std::FILE *stream, const Walk &walk, uint16_t tagId) {
  std::rewind(stream);
  for (const Record &record : walk.records) {
    if (record.header.tagId != tagId) continue;
    TagHeader found;
    Require(TagGetTag(stream, tagId, &found) == 0);
    Require(std::memcmp(&found, &record.header, sizeof found) == 0);
    Require(std::ftell(stream) == record.at + 16);
    // The search goes on from the next header.
    if (std::fseek(stream, static_cast<long>(found.length), SEEK_CUR) != 0) return;
  }
  const uint32_t last = TagGetTag(stream, tagId, nullptr);
  Require(last == TAG_RC_NOT_FOUND || last == TAG_RC_SKIP_FAILED);
}

// The whole records again, their headers laid down by hand in the "M"
// order.
std::string InOtherOrder(const std::uint8_t *file, const Walk &walk) {
  std::string out;
  for (const Record &record : walk.records) {
    if (!record.whole) break;
    TagHeader header = record.header;
    TagSwapTag(&header);
    header.byteOrder = TAG_ORDER_M;
    header.magic = TAG_MAGIC;
    out.append(reinterpret_cast<const char *>(&header), sizeof header);
    out.append(reinterpret_cast<const char *>(file + record.at + 16), record.header.length);
  }
  return out;
}

std::FILE *OpenWritten(const char *name, const std::string &bytes) {
  qorb::fuzz::WriteInputFile(name, reinterpret_cast<const std::uint8_t *>(bytes.data()),
                             bytes.size());
  std::FILE *stream = std::fopen(qorb::fuzz::HostPath(name).c_str(), "rb");
  Require(stream != nullptr);
  return stream;
}

// Both copies hold the walk's whole records with the same numbers.
void CheckCopies(const std::uint8_t *file, const Walk &walk) {
  std::FILE *written = std::fopen(qorb::fuzz::HostPath("written.tag").c_str(), "wb");
  Require(written != nullptr);
  std::size_t whole = 0;
  for (const Record &record : walk.records) {
    if (!record.whole) break;
    ++whole;
    const TagHeader &h = record.header;
    const uint32_t result =
        TagWriteRecord(written, h.tagId, h.length, h.info1, h.info2, file + record.at + 16);
    Require(result == (h.length == 0 ? TAG_RC_DATA_WRITE_FAILED : 0));
  }
  Require(std::fclose(written) == 0);
  std::FILE *copies[] = {std::fopen(qorb::fuzz::HostPath("written.tag").c_str(), "rb"),
                         OpenWritten("other.tag", InOtherOrder(file, walk))};
  for (std::FILE *copy : copies) {
    Require(copy != nullptr);
    Require(std::fseek(copy, 0, SEEK_END) == 0);
    const Walk again = WalkRecords(copy, std::ftell(copy));
    Require(again.records.size() == whole);
    for (std::size_t i = 0; i < whole; ++i) {
      Require(SameNumbers(again.records[i].header, walk.records[i].header));
      Require(again.records[i].header.byteOrder == (copy == copies[0] ? TAG_ORDER_I : TAG_ORDER_M));
    }
    Require(std::fclose(copy) == 0);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  qorb::fuzz::SetUpLibrary();
  if (size == 0) return 0;
  const uint16_t tagId = data[0] % (TAG_MAX_ID + 3);
  const std::uint8_t *file = data + 1;
  qorb::fuzz::WriteInputFile("in.tag", file, size - 1);
  std::FILE *stream = std::fopen(qorb::fuzz::HostPath("in.tag").c_str(), "rb");
  Require(stream != nullptr);
  const Walk walk = WalkRecords(stream, static_cast<long>(size - 1));
  CheckDecoded(file, walk);
  CheckSearch(stream, walk, tagId);
  Require(std::fclose(stream) == 0);
  CheckCopies(file, walk);
  return 0;
}
