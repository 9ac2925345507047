// write.cpp - IniWrite: appending a caller's record to a file opened for
// writing, by walking the record's descriptor; and opening such a file.
//
// Relies on: the descriptor walker (two passes per structure), the value
// conversions, lists for structure and element lists, the files family for
// the bare file name and the platform layer to open the file. Lines are
// kept within INI_MAX_TEXT characters without breaking the syntax the
// reader expects: a value loses its end, and a key line or section header
// that cannot fit even so is left out, its section with everything below.
#include <cstdio>
#include <cstring>
#include <string>

#include "ini/handle.h"
#include "ini/ini_private.h"
#include "platform/files.h"

namespace qorb::ini {
namespace {

void WriteLine(std::FILE *stream, const BoundedText &line) {
  static_cast<void>(std::fputs(line.c_str(), stream));
  static_cast<void>(std::fputc('\n', stream));
}

// Writes the fields of one structure (or the top level): keys under the
// current section, nested structures in sections whose headers start with
// `prefix`.
class RecordWriter final : public RecordVisitor {
 public:
  RecordWriter(std::FILE *stream, const BoundedText &prefix, std::optional<std::uint32_t> listIndex)
      : stream_(stream), prefix_(prefix), listIndex_(listIndex) {}

  Flow BeginField(const Fdsc &field) override { return UnlessSkipped(field); }

 private:
  // " " and the element number, or nothing.
  BoundedText Suffix(const Fdsc &field, std::uint32_t index) const {
    BoundedText suffix;
    const std::optional<std::uint32_t> number = ElementNumber(field, index, listIndex_);
    if (number.has_value()) suffix.Append(' ').AppendNumber(*number);
    return suffix;
  }

  // "  name suffix = value", the value in quotes for the character types and
  // string pointers.
  Flow Plain(const Fdsc &field, std::uint32_t index, unsigned char *address) override {
    TextBuffer value;
    if (!ElementToText(address, field, value)) return Flow::kEndField;
    const bool quoted = IsCharacterType(field.type) || field.type == FDSC_STRINGPTR;
    const std::string_view quote = quoted ? "\"" : "";
    BoundedText line("  ");
    line.Append(NameOf(field)).Append(Suffix(field, index).c_str()).Append(" = ").Append(quote);
    if (line.fits() && line.size() + quote.size() <= INI_MAX_TEXT) {
      line.AppendCut(std::string_view(value).substr(0, INI_MAX_TEXT - line.size() - quote.size()));
      WriteLine(stream_, line.Append(quote));
    }
    return Flow::kNext;
  }

  // The section header "[ prefix name suffix ]" after an empty line, then
  // the structure at address with that header's words as its prefix.
  void WriteStructure(const Fdsc &field, const Sdsc &structure, std::uint32_t index,
                      unsigned char *address) {
    if (address == nullptr) return;
    BoundedText prefix(prefix_.c_str());
    prefix.Append(' ').Append(NameOf(field)).Append(Suffix(field, index).c_str());
    BoundedText header("[");
    header.Append(prefix.c_str()).Append(" ]");
    if (!prefix.fits() || !header.fits()) return;
    static_cast<void>(std::fputc('\n', stream_));
    WriteLine(stream_, header);
    RecordWriter writer(stream_, prefix, std::nullopt);
    void *cursor = address;
    WalkStructureInTwoPasses(&cursor, structure, writer);
  }

  Flow Structure(const Fdsc &field, const Sdsc &structure, std::uint32_t index,
                 unsigned char *address) override {
    WriteStructure(field, structure, index, address);
    return Flow::kNext;
  }

  Flow StructurePointer(const Fdsc &field, const Sdsc &structure, std::uint32_t /*index*/,
                        unsigned char *address) override {
    WriteStructure(field, structure, 0, static_cast<unsigned char *>(LoadPointer(address)));
    return Flow::kEndField;
  }

  Flow StructureList(const Fdsc &field, const Sdsc &structure, std::uint32_t /*index*/,
                     unsigned char *address) override {
    const auto *list = static_cast<const LstList *>(LoadPointer(address));
    std::uint32_t index = 0;
    for (const LstItem *item = list != nullptr ? list->first : nullptr; item != nullptr;
         item = item->next, ++index) {
      WriteStructure(field, structure, index, static_cast<unsigned char *>(item->data));
    }
    return Flow::kEndField;
  }

  // Each item's element under this section, numbered by its position. A
  // string element's item holds the string pointer itself.
  Flow List(const Fdsc & /*field*/, const Fdsc &element, std::uint32_t /*index*/,
            unsigned char *address) override {
    const auto *list = static_cast<const LstList *>(LoadPointer(address));
    if (!IsPlainType(element.type) || list == nullptr) return Flow::kEndField;
    const bool strings = element.type == FDSC_STRINGPTR;
    std::uint32_t index = 0;
    for (const LstItem *item = list->first; item != nullptr; item = item->next, ++index) {
      void *string = item->data;
      void *cursor = strings ? static_cast<void *>(&string) : item->data;
      if (cursor == nullptr) continue;
      RecordWriter writer(stream_, prefix_, index);
      WalkField(&cursor, element, writer);
    }
    return Flow::kEndField;
  }

  std::FILE *stream_;
  const BoundedText &prefix_;
  std::optional<std::uint32_t> listIndex_;
};

}  // namespace

IniFile *OpenForWriting(const char *path) {
  if (path == nullptr) return nullptr;
  std::string name(std::strlen(path) + 1, '\0');
  FilGetFileNameOf(name.data(), path);
  BoundedText header("[ ");
  header.AppendCut(std::string_view(name.c_str()).substr(0, INI_MAX_TEXT - 4)).Append(" ]");

  std::FILE *stream = plat::OpenHostFile(path, "w");
  if (stream == nullptr) return nullptr;
  auto *file = static_cast<IniFile *>(MemAllocMem_(sizeof(IniFile), __LINE__, kSourcePath));
  if (file == nullptr) {
    static_cast<void>(std::fclose(stream));
    return nullptr;
  }
  file->stream = stream;
  WriteLine(stream, header);
  return file;
}

}  // namespace qorb::ini

extern "C" {

QORB_API uint32_t IniWrite(IniFile *file, const void *record, const Fdsc *descriptor) {
  if (file == nullptr || file->stream == nullptr || record == nullptr || descriptor == nullptr) {
    return 0;
  }
  try {
    const qorb::ini::BoundedText topLevel;
    qorb::ini::RecordWriter writer(file->stream, topLevel, std::nullopt);
    void *cursor = const_cast<void *>(record);
    qorb::ini::WalkField(&cursor, *descriptor, writer);
  } catch (...) {
  }
  return 0;
}

}  // extern "C"
