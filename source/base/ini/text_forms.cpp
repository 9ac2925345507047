// text_forms.cpp - verbosity words, durations and dotted strings, both ways.
//
// Relies on: the platform's case-insensitive compare for the verbosity
// words, and the Sdsc below a dotted field for its part widths. Parts are
// never read or written beyond the field's count bytes.
#include "ini/text_forms.h"

#include <cstring>
#include <span>
#include <string_view>

#include "platform/common/text_compare.h"

namespace qorb::ini {
namespace {

struct VerbosityWord {
  const char *word;
  std::uint32_t bit;
};

// The severity words in the order they are written; the areas follow.
constexpr VerbosityWord kSeverityWords[] = {
    {"Error", 0x8000}, {"Warning", 0x4000}, {"Info", 0x2000}, {"Debug", 0x1000}};
constexpr std::uint32_t kAreaCount = 12;
constexpr std::uint32_t kAllSeverities = 0xF000;
// A run of letters longer than this matches no word.
constexpr std::size_t kLongestWordRun = 11;

bool IsLetter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// The letters of text [0, length) equal word, case ignored.
bool RunEquals(const char *text, std::size_t length, const char *word) {
  return length <= kLongestWordRun && std::strlen(word) == length &&
         plat::CompareNoCaseN(text, word, length) == 0;
}

// The bit a run of letters (and the digits after "Area") adds; false for a
// word that is none of them.
bool WordBit(const char *&text, std::uint32_t &bit) {
  const char *end = text;
  while (IsLetter(*end)) ++end;
  const auto length = static_cast<std::size_t>(end - text);
  bit = 0;
  for (const VerbosityWord &word : kSeverityWords) {
    if (RunEquals(text, length, word.word)) bit = word.bit;
  }
  if (bit == 0 && !RunEquals(text, length, "Area")) return false;
  if (bit == 0) {
    std::uint32_t area = 0;
    for (; IsDigit(*end); ++end) area = area > kAreaCount ? area : area * 10 + (*end - '0');
    if (area >= 1 && area <= kAreaCount) bit = 1u << (area - 1);
  }
  text = end;
  return true;
}

}  // namespace

void VerbosityToText(std::uint32_t mask, TextBuffer &out) {
  std::string text = (mask & kSeverityWords[0].bit) != 0 ? kSeverityWords[0].word : "";
  for (const VerbosityWord &word : std::span(kSeverityWords).subspan(1)) {
    if ((mask & word.bit) != 0) text.append("|").append(word.word);
  }
  for (std::uint32_t area = 1; area <= kAreaCount; ++area) {
    if ((mask & (1u << (area - 1))) != 0) text.append("|Area").append(std::to_string(area));
  }
  if (!text.empty() && text[0] == '|') text[0] = ' ';
  BoundedText().AppendCut(text).CopyTo(out);
}

std::uint32_t VerbosityFromText(const char *text) {
  std::uint32_t mask = 0;
  for (;;) {
    std::uint32_t bit = 0;
    if (!WordBit(text, bit)) return kAllSeverities;
    mask |= bit;
    while (*text == ' ' || *text == '|') ++text;
    if (*text == '\0') return mask;
  }
}

void DurationToText(std::uint32_t seconds, TextBuffer &out) {
  const std::uint32_t parts[] = {seconds / 86400, seconds % 86400 / 3600, seconds % 3600 / 60,
                                 seconds % 60};
  const char letters[] = {'d', 'h', 'm', 's'};
  BoundedText text;
  for (std::size_t i = 0; i < 4; ++i) {
    if (parts[i] != 0) text.AppendNumber(parts[i]).Append(letters[i]);
  }
  text.CopyTo(out);
}

std::uint32_t DurationFromText(const char *text) {
  constexpr int kMaxDigits = 11;
  std::uint32_t total = 0;
  for (;;) {
    std::uint64_t number = 0;
    for (int digits = 0; digits < kMaxDigits && IsDigit(*text); ++digits, ++text) {
      number = number * 10 + static_cast<std::uint64_t>(*text - '0');
    }
    const auto n = static_cast<std::uint32_t>(number);
    switch (*text) {
      case '\0':
        return total + n;
      case 'd':
        total += n * 86400u;
        break;
      case 'h':
        total += n * 3600u;
        break;
      case 'm':
        total += n * 60u;
        break;
      default:
        total += n;
        break;
    }
    ++text;
  }
}

void DottedToText(const unsigned char *array, const Fdsc &field, TextBuffer &out) {
  std::string text;
  const Sdsc *parts = StructureOf(field);
  std::size_t offset = 0;
  for (std::uint32_t i = 0; parts != nullptr && i < FieldsInUse(*parts); ++i) {
    const std::size_t width = parts->fields[i].count;
    for (std::size_t k = 0; k < width && offset + k < field.count; ++k) {
      const auto c = static_cast<char>(array[offset + k]);
      if (c == ' ' || c == '\0') break;
      text += c;
    }
    text += '.';
    offset += width;
  }
  if (!text.empty()) text.pop_back();
  BoundedText().AppendCut(text).CopyTo(out);
}

std::string DottedFromText(const char *text, const Fdsc &field) {
  std::string array(field.count, ' ');
  const Sdsc *parts = StructureOf(field);
  std::size_t offset = 0;
  for (std::uint32_t i = 0; parts != nullptr && i < FieldsInUse(*parts); ++i) {
    const std::size_t width = parts->fields[i].count;
    for (std::size_t k = 0; *text != '\0' && *text != '.'; ++text, ++k) {
      if (k < width && offset + k < array.size()) array[offset + k] = *text;
    }
    if (*text == '\0') break;
    ++text;
    offset += width;
  }
  return array;
}

}  // namespace qorb::ini
