// ini_private.h - what the configuration family's sources share: its source
// path, the text limits of its files, the conversions of single elements,
// the numbering of elements in keys and section names, and bounded name
// texts.
//
// Relies on: qorb32n.h and the descriptor walker. Only ini/*.cpp include
// this header; other families use walker.h.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "ini/walker.h"
#include "qorb32n.h"

namespace qorb::ini {

// The source path every allocation of the family carries.
inline constexpr const char *kSourcePath = "base\\ini";

// Names, values and output lines hold at most INI_MAX_TEXT characters.
inline constexpr std::size_t kTextCapacity = INI_MAX_TEXT + 1;
using TextBuffer = char[kTextCapacity];

// The text of one element of a plain type, cut to INI_MAX_TEXT characters;
// false for a type above 17.
bool ElementToText(const unsigned char *address, const Fdsc &field, TextBuffer &out);
// Sets one element of a plain type from text; false for a type above 17.
bool ElementFromText(unsigned char *address, const char *text, const Fdsc &field, bool &changed);

// The number that follows a field's name in the key or section name of its
// element i: i + 1 for structure lists and for arrays (count 2 or more, not
// a character type or a structure pointer), i + x + 1 inside element x of
// an FDSC_LIST, none otherwise. Reader and writer build names from it alike.
std::optional<std::uint32_t> ElementNumber(const Fdsc &field, std::uint32_t index,
                                           std::optional<std::uint32_t> listIndex);

// What reading and writing answer at a field's start: FDSC_SKIP passes over
// it.
inline Flow UnlessSkipped(const Fdsc &field) {
  return (field.flags & FDSC_SKIP) != 0 ? Flow::kEndField : Flow::kNext;
}

// The field's name; a NULL name counts as empty.
inline const char *NameOf(const Fdsc &field) {
  return field.name != nullptr ? field.name : "";
}

// A name or line built piece by piece in kTextCapacity bytes. Append marks
// the whole text as overflowed when a piece does not fit (a name must not
// be cut into another name); AppendCut cuts the piece instead.
class BoundedText {
 public:
  BoundedText() { text_[0] = '\0'; }
  explicit BoundedText(std::string_view start) : BoundedText() { Append(start); }

  BoundedText &Append(std::string_view piece);
  BoundedText &Append(char c) { return Append(std::string_view(&c, 1)); }
  BoundedText &AppendNumber(std::uint32_t number);
  // Appends as much of the piece as there is room for.
  BoundedText &AppendCut(std::string_view piece);
  // Copies the text with its NUL into out.
  void CopyTo(TextBuffer &out) const;

  bool fits() const { return fits_; }
  const char *c_str() const { return text_; }
  std::size_t size() const { return length_; }

 private:
  TextBuffer text_;
  std::size_t length_ = 0;
  bool fits_ = true;
};

}  // namespace qorb::ini
