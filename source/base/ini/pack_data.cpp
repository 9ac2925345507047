// pack_data.cpp - packed data blocks: IniPackData, IniSizeofData and
// IniUnpackData, one walk over the record's descriptor for all three.
//
// Relies on: the record-cursor walker (which moves the record cursor by the
// host's extents, pointers at their native width) and the swap widths of
// swap_internal.h. The block cursor moves by the packed sizes, the same on
// every host: 4 bytes for each pointer-type element.
#include <cstdint>
#include <cstring>

#include "ini/walker.h"
#include "swap_internal.h"

namespace qorb::ini {
namespace {

constexpr std::uint32_t kPackedPointerSize = 4;

enum class Direction { kCount, kPack, kUnpack };

class DataWalker final : public RecordVisitor {
 public:
  DataWalker(Direction direction, unsigned char *block, bool swap)
      : direction_(direction), block_(block), swap_(swap) {}

  std::uint32_t result() const { return result_; }
  std::uint64_t bytes() const { return bytes_; }

 private:
  Flow Plain(const Fdsc &field, std::uint32_t /*index*/, unsigned char *address) override {
    if (field.type == FDSC_VERBOSITY || field.type == FDSC_DURATION) {
      return Stop(INI_RC_NO_PACKED_FORM);
    }
    if (field.type == FDSC_STRINGPTR) return PassOverPointer(field);
    const std::size_t size = IsCharacterType(field.type) ? field.count : ElementSize(field.type);
    Copy(address, size);
    if (direction_ == Direction::kUnpack && swap_ && address != nullptr && block_ != nullptr) {
      swp::SwapElement(address, field.type);
    }
    Advance(size);
    return Flow::kNext;
  }

  Flow Structure(const Fdsc & /*field*/, const Sdsc &structure, std::uint32_t /*index*/,
                 unsigned char *address) override {
    void *cursor = address;
    return WalkStructure(&cursor, structure, *this) ? Flow::kNext : Flow::kStop;
  }

  Flow StructurePointer(const Fdsc &field, const Sdsc &, std::uint32_t, unsigned char *) override {
    return PassOverPointer(field);
  }
  Flow StructureList(const Fdsc &field, const Sdsc &, std::uint32_t, unsigned char *) override {
    return PassOverPointer(field);
  }
  Flow List(const Fdsc &field, const Fdsc &, std::uint32_t, unsigned char *) override {
    return PassOverPointer(field);
  }

  // Pointer fields without their sub-descriptor, an FDSC_STRUCT without its
  // Sdsc (which takes no bytes), and the unused codes.
  Flow Other(const Fdsc &field, std::uint32_t, unsigned char *) override {
    if (IsPointerType(field.type)) return PassOverPointer(field);
    if (field.type == FDSC_STRUCT) return Flow::kEndField;
    return Stop(INI_RC_NO_PACKED_FORM);
  }

  Flow PassOverPointer(const Fdsc &field) {
    if ((field.flags & (FDSC_SKIP | FDSC_NOPACK)) == 0) return Stop(INI_RC_UNMARKED_POINTER);
    Advance(kPackedPointerSize);
    return Flow::kNext;
  }

  Flow Stop(std::uint32_t result) {
    result_ = result;
    return Flow::kStop;
  }

  // Copies between record and block when both are there.
  void Copy(unsigned char *address, std::size_t size) const {
    if (address == nullptr || block_ == nullptr) return;
    if (direction_ == Direction::kPack) std::memcpy(block_, address, size);
    if (direction_ == Direction::kUnpack) std::memcpy(address, block_, size);
  }

  void Advance(std::size_t size) {
    bytes_ += size;
    if (block_ != nullptr) block_ += size;
  }

  Direction direction_;
  unsigned char *block_;
  bool swap_;
  std::uint32_t result_ = 0;
  std::uint64_t bytes_ = 0;
};

// Walks the field from the record through the block; the walker's result,
// and the block's length in *size when asked.
std::uint32_t WalkData(Direction direction, const Fdsc &field, const void *record, void *block,
                       bool swap, std::uint32_t *size) {
  DataWalker walker(direction, static_cast<unsigned char *>(block), swap);
  void *cursor = const_cast<void *>(record);
  WalkField(&cursor, field, walker);
  if (size != nullptr) *size = static_cast<std::uint32_t>(walker.bytes());
  return walker.result();
}

}  // namespace
}  // namespace qorb::ini

extern "C" {

QORB_API uint32_t IniPackData(const Fdsc *descriptor, const void *record, void *block) {
  if (descriptor == nullptr) return 0;
  return qorb::ini::WalkData(qorb::ini::Direction::kPack, *descriptor, record, block, false,
                             nullptr);
}

QORB_API uint32_t IniSizeofData(const Fdsc *descriptor, const void * /*record*/, uint32_t *size) {
  uint32_t counted = 0;
  const uint32_t result = descriptor != nullptr
                              ? qorb::ini::WalkData(qorb::ini::Direction::kCount, *descriptor,
                                                    nullptr, nullptr, false, &counted)
                              : 0;
  if (size != nullptr) *size = counted;
  return result;
}

QORB_API uint32_t IniUnpackData(const Fdsc *descriptor, void *record, const void *block,
                                uint32_t swap) {
  if (descriptor == nullptr) return 0;
  return qorb::ini::WalkData(qorb::ini::Direction::kUnpack, *descriptor, record,
                             const_cast<void *>(block), swap != 0, nullptr);
}

}  // extern "C"
