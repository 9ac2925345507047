// records.cpp - swapping the byte order of a whole record by walking its
// field descriptors: SwpSwapField and SwpSwapStructure.
//
// Relies on: the configuration family's record-cursor walker (which keeps
// the cursor rule) and the swap widths of swap_internal.h. Pointers, texts,
// lists, verbosity and duration words are never swapped; a structure
// pointer is followed only when the caller asks.
#include "ini/walker.h"
#include "swap_internal.h"

namespace qorb::swp {
namespace {

using ini::Flow;

class RecordSwapper final : public ini::RecordVisitor {
 public:
  explicit RecordSwapper(bool follow) : follow_(follow) {}

 private:
  Flow Plain(const Fdsc &field, std::uint32_t /*index*/, unsigned char *address) override {
    if (address == nullptr || SwapWidth(field.type) == 0) return Flow::kEndField;
    SwapElement(address, field.type);
    return Flow::kNext;
  }

  Flow Structure(const Fdsc & /*field*/, const Sdsc &structure, std::uint32_t /*index*/,
                 unsigned char *address) override {
    if (address == nullptr) return Flow::kEndField;
    void *cursor = address;
    ini::WalkStructure(&cursor, structure, *this);
    return Flow::kNext;
  }

  // Only the field's first pointer is followed, with a cursor of its own.
  Flow StructurePointer(const Fdsc & /*field*/, const Sdsc &structure, std::uint32_t /*index*/,
                        unsigned char *address) override {
    if (follow_ && address != nullptr) {
      void *cursor = ini::LoadPointer(address);
      if (cursor != nullptr) ini::WalkStructure(&cursor, structure, *this);
    }
    return Flow::kEndField;
  }

  bool follow_;
};

}  // namespace
}  // namespace qorb::swp

extern "C" {

QORB_API void SwpSwapStructure(void **cursor, const Sdsc *structure, uint32_t follow) {
  if (cursor == nullptr || structure == nullptr) return;
  qorb::swp::RecordSwapper swapper(follow != 0);
  qorb::ini::WalkStructure(cursor, *structure, swapper);
}

QORB_API void SwpSwapField(void **cursor, const Fdsc *field, uint32_t follow) {
  if (cursor == nullptr || field == nullptr) return;
  qorb::swp::RecordSwapper swapper(follow != 0);
  qorb::ini::WalkField(cursor, *field, swapper);
}

}  // extern "C"
