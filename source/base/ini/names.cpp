// names.cpp - element numbers in keys and section names, and the bounded
// texts that names and lines are built in.
//
// Relies on: the type codes of walker.h. Reader and writer take their
// numbering from here, so the names one writes are the names the other
// looks up.
#include <charconv>
#include <cstring>

#include "ini/ini_private.h"

namespace qorb::ini {

std::optional<std::uint32_t> ElementNumber(const Fdsc &field, std::uint32_t index,
                                           std::optional<std::uint32_t> listIndex) {
  if (field.type == FDSC_STRUCTLIST) return index + 1;
  const bool array =
      field.count >= 2 && !IsCharacterType(field.type) && field.type != FDSC_STRUCTPTR;
  if (array) return index + 1;
  if (listIndex.has_value()) return index + *listIndex + 1;
  return std::nullopt;
}

BoundedText &BoundedText::Append(std::string_view piece) {
  if (!fits_) return *this;
  if (piece.size() > INI_MAX_TEXT - length_) {
    fits_ = false;
    return *this;
  }
  std::memcpy(text_ + length_, piece.data(), piece.size());
  length_ += piece.size();
  text_[length_] = '\0';
  return *this;
}

BoundedText &BoundedText::AppendCut(std::string_view piece) {
  const std::size_t room = INI_MAX_TEXT - length_;
  return Append(piece.substr(0, room));
}

void BoundedText::CopyTo(TextBuffer &out) const {
  std::memcpy(out, text_, length_ + 1);
}

BoundedText &BoundedText::AppendNumber(std::uint32_t number) {
  char digits[16];
  const std::to_chars_result end = std::to_chars(digits, digits + sizeof digits, number);
  return Append(std::string_view(digits, static_cast<std::size_t>(end.ptr - digits)));
}

}  // namespace qorb::ini
