// read.cpp - IniRead: filling a caller's record from the entries of a file
// opened for reading, by walking the record's descriptor.
//
// Relies on: the descriptor walker (two passes per structure), the entry
// index, the value conversions, the tracked allocator and lists for what a
// record receives (pointed-to structures, structure lists, element lists).
// A structure's status is that of its section: present 0, absent 1; a
// missing key leaves its element and does not make the structure absent.
#include "ini/handle.h"
#include "ini/ini_private.h"

namespace qorb::ini {
namespace {

// Reads the fields of one structure (or the top level) of the file: keys
// from the run at `start`, sections below `path`.
class RecordReader final : public RecordVisitor {
 public:
  RecordReader(const ReadHandle &handle, const BoundedText &path, std::uint32_t start,
               std::optional<std::uint32_t> listIndex)
      : handle_(handle), path_(path), start_(start), listIndex_(listIndex) {}

  // 0, or 1 when the last field walked missed a key or a section.
  std::uint32_t status() const { return status_; }

  Flow BeginField(const Fdsc &field) override {
    status_ = 0;
    return UnlessSkipped(field);
  }

 private:
  // The key or section name of element index: the field's name and its
  // element number.
  BoundedText NameOfElement(const BoundedText &head, const Fdsc &field, std::uint32_t index) const {
    BoundedText name(head.c_str());
    name.Append(NameOf(field));
    const std::optional<std::uint32_t> number = ElementNumber(field, index, listIndex_);
    if (number.has_value()) name.AppendNumber(*number);
    return name;
  }

  Flow Plain(const Fdsc &field, std::uint32_t index, unsigned char *address) override {
    const BoundedText key = NameOfElement(BoundedText(), field, index);
    const char *value =
        key.fits() ? handle_.index.FindKey(handle_.file, start_, key.c_str()) : nullptr;
    if (value == nullptr) {
      status_ = 1;
      return Flow::kEndField;
    }
    bool changed = false;
    ElementFromText(address, value, field, changed);
    return Flow::kNext;
  }

  // Reads structure `index` of the field into address; false when its
  // section is absent.
  bool ReadStructure(const Fdsc &field, const Sdsc &structure, std::uint32_t index,
                     unsigned char *address) const {
    const BoundedText path = NameOfElement(path_, field, index);
    if (!path.fits()) return false;
    const std::optional<std::uint32_t> start =
        handle_.index.FindSection(handle_.file, path.c_str());
    if (!start.has_value()) return false;
    RecordReader reader(handle_, path, *start, std::nullopt);
    void *cursor = address;
    WalkStructureInTwoPasses(&cursor, structure, reader);
    return true;
  }

  Flow Structure(const Fdsc &field, const Sdsc &structure, std::uint32_t index,
                 unsigned char *address) override {
    if (ReadStructure(field, structure, index, address)) return Flow::kNext;
    status_ = 1;
    return Flow::kEndField;
  }

  // A structure the field points to, allocated when the field holds NULL;
  // an absent section frees it, whoever allocated it, and leaves NULL.
  Flow StructurePointer(const Fdsc &field, const Sdsc &structure, std::uint32_t /*index*/,
                        unsigned char *address) override {
    void *block = LoadPointer(address);
    if (block == nullptr) {
      block = MemAllocMem_(structure.size, __LINE__, kSourcePath);
      if (block == nullptr) return Flow::kEndField;
      StorePointer(address, block);
    }
    if (!ReadStructure(field, structure, 0, static_cast<unsigned char *>(block))) {
      MemFreeMem_(block);
      StorePointer(address, nullptr);
    }
    return Flow::kEndField;
  }

  // Appends data to the field's list, making the list for the first
  // element; false when either fails.
  static bool AppendToList(LstList *&list, unsigned char *address, void *data) {
    if (list == nullptr) {
      list = LstNewList(0);
      if (list == nullptr) return false;
      StorePointer(address, list);
    }
    return LstInsert(list, data, LST_AT_END) != nullptr;
  }

  // Structures 1, 2, ... for as long as their sections follow each other.
  Flow StructureList(const Fdsc &field, const Sdsc &structure, std::uint32_t /*index*/,
                     unsigned char *address) override {
    LstList *list = nullptr;
    for (std::uint32_t index = 0; index < INI_MAX_ENTRIES; ++index) {
      void *block = MemAllocMem_(structure.size, __LINE__, kSourcePath);
      if (block == nullptr) break;
      if (!ReadStructure(field, structure, index, static_cast<unsigned char *>(block)) ||
          !AppendToList(list, address, block)) {
        MemFreeMem_(block);
        break;
      }
    }
    return Flow::kEndField;
  }

  // An element descriptor the list can be read with: a plain type that is
  // not skipped, one element (or a character type's length).
  static bool IsListElement(const Fdsc &element) {
    return IsPlainType(element.type) && (element.flags & FDSC_SKIP) == 0 &&
           (element.count == 1 || (IsCharacterType(element.type) && element.count > 0));
  }

  // Elements 1, 2, ... for as long as their keys follow each other. String
  // elements are read into a pointer of their own and listed as such.
  Flow List(const Fdsc & /*field*/, const Fdsc &element, std::uint32_t /*index*/,
            unsigned char *address) override {
    if (IsListElement(element)) ReadElements(element, address);
    return Flow::kEndField;
  }

  void ReadElements(const Fdsc &element, unsigned char *address) {
    const bool strings = element.type == FDSC_STRINGPTR;
    LstList *list = nullptr;
    for (std::uint32_t index = 0; index < INI_MAX_ENTRIES; ++index) {
      void *string = nullptr;
      void *block = strings ? nullptr
                            : MemAllocMem_(static_cast<std::uint32_t>(FieldExtent(element)),
                                           __LINE__, kSourcePath);
      if (!strings && block == nullptr) return;
      RecordReader reader(handle_, path_, start_, index);
      void *cursor = strings ? static_cast<void *>(&string) : block;
      WalkField(&cursor, element, reader);
      void *data = strings ? string : block;
      if (reader.status() != 0 || !AppendToList(list, address, data)) {
        if (block != nullptr) MemFreeMem_(block);
        MemFreeString_(string);
        return;
      }
    }
  }

  const ReadHandle &handle_;
  const BoundedText &path_;
  std::uint32_t start_;
  std::optional<std::uint32_t> listIndex_;
  std::uint32_t status_ = 0;
};

}  // namespace
}  // namespace qorb::ini

extern "C" {

QORB_API uint32_t IniRead(IniFile *file, void *record, const Fdsc *descriptor) {
  if (file == nullptr || record == nullptr || descriptor == nullptr) return 1;
  const qorb::ini::ReadHandle *handle = qorb::ini::AsReadHandle(file);
  if (handle == nullptr) return 1;
  try {
    const qorb::ini::BoundedText topLevel;
    qorb::ini::RecordReader reader(*handle, topLevel, 0, std::nullopt);
    void *cursor = record;
    qorb::ini::WalkField(&cursor, *descriptor, reader);
    return reader.status();
  } catch (...) {
    return 1;
  }
}

}  // extern "C"
