// tag.cpp - tagged records on a caller's stdio stream: writing headers and
// records in the library's own "I" order, reading headers of either order,
// and finding the next record with a given identifier.
//
// Relies on: the single-value swaps of swap_internal.h, and the standard
// stream functions on a stream the caller opened. The host stores numbers
// least significant byte first, so a header in memory is already "I".
#include <bit>
#include <climits>
#include <cstdio>
#include <cstring>

#include "qorb32n.h"
#include "swap_internal.h"

static_assert(sizeof(TagHeader) == 16, "TagHeader keeps its 16-byte layout on every host");
static_assert(std::endian::native == std::endian::little,
              "headers are written as they lie in memory, which must be the \"I\" order");

namespace qorb::tag {
namespace {

constexpr std::size_t kHeaderSize = sizeof(TagHeader);

bool IsKnownOrder(char order) {
  return order == TAG_ORDER_I || order == TAG_ORDER_M;
}

// Moves a stream forward; a long may be narrower than a record's length,
// so a long move is made in steps.
bool SkipForward(std::FILE *stream, std::uint32_t length) {
  unsigned long left = length;
  while (left > 0) {
    const long step = left > LONG_MAX ? LONG_MAX : static_cast<long>(left);
    if (std::fseek(stream, step, SEEK_CUR) != 0) return false;
    left -= static_cast<unsigned long>(step);
  }
  return true;
}

void SwapHeader(TagHeader &header) {
  header.tagId = swp::Reversed16(header.tagId);
  header.length = swp::Reversed32(header.length);
  header.info1 = swp::Reversed32(header.info1);
  header.info2 = swp::Reversed32(header.info2);
}

std::uint32_t WriteHeader(std::FILE *stream, TagHeader &header) {
  header.byteOrder = TAG_ORDER_I;
  header.magic = TAG_MAGIC;
  return std::fwrite(&header, kHeaderSize, 1, stream) == 1 ? 0 : TAG_RC_WRITE_FAILED;
}

// The header is left untouched when 16 bytes cannot be read; a bad header
// is handed back as read.
std::uint32_t ReadHeader(std::FILE *stream, TagHeader &header) {
  TagHeader read;
  if (std::fread(&read, kHeaderSize, 1, stream) != 1) return TAG_RC_READ_FAILED;
  header = read;
  if (!IsKnownOrder(read.byteOrder) || read.magic != TAG_MAGIC) return TAG_RC_BAD_HEADER;
  if (read.byteOrder == TAG_ORDER_M) SwapHeader(header);
  return 0;
}

std::uint32_t WriteRecord(std::FILE *stream, TagHeader &header, const void *data) {
  const std::uint32_t written = WriteHeader(stream, header);
  if (written != 0) return written;
  // One item of `length` bytes: a length of 0 writes no item, and says so.
  return std::fwrite(data, header.length, 1, stream) == 1 ? 0 : TAG_RC_DATA_WRITE_FAILED;
}

std::uint32_t FindRecord(std::FILE *stream, std::uint16_t tagId, TagHeader &found) {
  TagHeader header;
  if (ReadHeader(stream, header) != 0) return TAG_RC_NOT_FOUND;
  for (;;) {
    if (std::feof(stream) != 0 || header.tagId > TAG_MAX_ID) return TAG_RC_NOT_FOUND;
    if (header.tagId == tagId) {
      found = header;
      return 0;
    }
    if (!SkipForward(stream, header.length)) return TAG_RC_SKIP_FAILED;
    if (ReadHeader(stream, header) != 0) return TAG_RC_NOT_FOUND;
  }
}

}  // namespace
}  // namespace qorb::tag

extern "C" {

QORB_API uint32_t TagWriteTag(FILE *stream, TagHeader *header) {
  if (stream == nullptr || header == nullptr) return TAG_RC_WRITE_FAILED;
  return qorb::tag::WriteHeader(stream, *header);
}

QORB_API uint32_t TagReadTag(FILE *stream, TagHeader *header) {
  if (stream == nullptr || header == nullptr) return TAG_RC_READ_FAILED;
  return qorb::tag::ReadHeader(stream, *header);
}

QORB_API uint32_t TagWriteRecord(FILE *stream, uint16_t tagId, uint32_t length, uint32_t info1,
                                 uint32_t info2, const void *data) {
  if (data == nullptr) return TAG_RC_NO_DATA;
  if (stream == nullptr) return TAG_RC_WRITE_FAILED;
  TagHeader header{TAG_ORDER_I, TAG_MAGIC, tagId, length, info1, info2};
  return qorb::tag::WriteRecord(stream, header, data);
}

QORB_API uint32_t TagSwapTag(TagHeader *header) {
  if (header != nullptr) qorb::tag::SwapHeader(*header);
  return 0;
}

QORB_API uint32_t TagGetTag(FILE *stream, uint16_t tagId, TagHeader *out) {
  if (stream == nullptr) return TAG_RC_NOT_FOUND;
  TagHeader found;
  const std::uint32_t result = qorb::tag::FindRecord(stream, tagId, found);
  if (result == 0 && out != nullptr) *out = found;
  return result;
}

}  // extern "C"
