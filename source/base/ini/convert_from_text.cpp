// convert_from_text.cpp - setting one element of a plain type from its
// text, with the changed flag, and IniConvertFromString.
//
// Relies on: the formats of formats.cpp for the numbers, the text forms of
// text_forms.cpp, the time family's parser, the tracked allocator for string
// pointers and the platform's case-insensitive compare. Nothing outside the
// element is written: numbers are scanned into wide scratch and stored at
// the element's own width, character arrays only up to their count bytes.
#include <cstring>
#include <string>

#include "ini/formats.h"
#include "ini/ini_private.h"
#include "ini/text_forms.h"
#include "platform/common/text_compare.h"

namespace qorb::ini {
namespace {

// Stores value and tells whether it differs from the value before.
template <typename T>
bool StoreChanged(unsigned char *address, T value) {
  const T old = Load<T>(address);
  Store(address, value);
  return old != value;
}

bool IsTrueText(const char *text) {
  return plat::CompareNoCaseN(text, "TRUE", 4) == 0 || plat::CompareNoCase(text, "YES") == 0;
}

// The value of the first name equal to text (case ignored), 0 for none.
std::uint32_t ValueOfName(const Fdsc &field, const char *text) {
  const Edsc *names = EnumerationOf(field);
  for (std::uint32_t i = 0; names != nullptr && i < NamesInUse(*names); ++i) {
    if (names->names[i] != nullptr && plat::CompareNoCase(names->names[i], text) == 0) {
      return names->values[i];
    }
  }
  return 0;
}

// Scans an integer of the field's type and stores it at the element's
// width; a text without a number leaves the element as it was.
template <typename T>
bool ScanIntegerInto(unsigned char *address, const char *text, const Fdsc &field) {
  std::int64_t value = 0;
  if (!ScanInteger(text, field, value)) return false;
  return StoreChanged(address, static_cast<T>(value));
}

// A byte is scanned through a 16-bit scratch that starts as the old value,
// and takes the scratch's low byte.
bool ScanByteInto(unsigned char *address, const char *text, const Fdsc &field) {
  auto scratch = static_cast<std::uint16_t>(Load<std::uint8_t>(address));
  std::int64_t value = 0;
  if (ScanInteger(text, field, value)) scratch = static_cast<std::uint16_t>(value);
  return StoreChanged(address, static_cast<std::uint8_t>(scratch));
}

template <typename T, bool (*Scan)(const char *, const Fdsc &, T &)>
bool ScanRealInto(unsigned char *address, const char *text, const Fdsc &field) {
  T value{};
  return Scan(text, field, value) && StoreChanged(address, value);
}

// FDSC_STRING: at most count - 1 characters and NULs after them; the last
// byte of the array is kept.
bool StringFromText(unsigned char *array, const char *text, std::uint32_t count) {
  if (count == 0) return false;
  auto *const chars = reinterpret_cast<char *>(array);
  const bool changed = plat::CompareNoCaseN(chars, text, count) != 0;
  const std::size_t length = strnlen(text, count - 1);
  std::memcpy(chars, text, length);
  std::memset(chars + length, 0, count - 1 - length);
  return changed;
}

bool IsPrintable(unsigned char c) {
  return c >= 0x20 && c <= 0x7E;
}

// Copies count characters into the array and tells whether they differ, case
// ignored, from what it held. New arrays never hold a NUL, so comparing byte
// by byte is what a case-insensitive compare over count characters gives.
bool ReplaceArray(unsigned char *array, const std::string &fresh) {
  bool changed = false;
  for (std::size_t k = 0; k < fresh.size(); ++k) {
    const auto c = static_cast<unsigned char>(fresh[k]);
    changed = changed || plat::LowerAscii(array[k]) != plat::LowerAscii(c);
    array[k] = c;
  }
  return changed;
}

// FDSC_FIXEDSTRING: count characters, blank-padded, non-printables blanked.
std::string FixedFromText(const char *text, std::uint32_t count) {
  std::string fresh(text, strnlen(text, count));
  fresh.resize(count, ' ');
  for (char &c : fresh) {
    if (!IsPrintable(static_cast<unsigned char>(c))) c = ' ';
  }
  return fresh;
}

}  // namespace

bool ElementFromText(unsigned char *address, const char *text, const Fdsc &field, bool &changed) {
  switch (field.type) {
    case FDSC_SHORTBOOL:
      changed = StoreChanged<std::int16_t>(address, IsTrueText(text) ? 1 : 0);
      break;
    case FDSC_BOOL:
      changed = StoreChanged<std::int32_t>(address, IsTrueText(text) ? 1 : 0);
      break;
    case FDSC_BYTE:
      changed = ScanByteInto(address, text, field);
      break;
    case FDSC_SHORT:
      changed = ScanIntegerInto<std::int16_t>(address, text, field);
      break;
    case FDSC_USHORT:
      changed = ScanIntegerInto<std::uint16_t>(address, text, field);
      break;
    case FDSC_LONG:
      changed = ScanIntegerInto<std::int32_t>(address, text, field);
      break;
    case FDSC_ULONG:
      changed = ScanIntegerInto<std::uint32_t>(address, text, field);
      break;
    case FDSC_FLOAT:
      changed = ScanRealInto<float, ScanFloat>(address, text, field);
      break;
    case FDSC_DOUBLE:
      changed = ScanRealInto<double, ScanDouble>(address, text, field);
      break;
    case FDSC_STRING:
      changed = StringFromText(address, text, field.count);
      break;
    case FDSC_STRINGPTR:
      StorePointer(address, MemAllocString_(text, __LINE__, kSourcePath));
      changed = true;
      break;
    case FDSC_SHORTENUM:
      changed = StoreChanged(address, static_cast<std::uint16_t>(ValueOfName(field, text)));
      break;
    case FDSC_ENUM:
      changed = StoreChanged(address, ValueOfName(field, text));
      break;
    case FDSC_REALTIME:
      changed = StoreChanged<RealTime>(address, TmeStringToRealTime(text));
      break;
    case FDSC_FIXEDSTRING:
      changed = ReplaceArray(address, FixedFromText(text, field.count));
      break;
    case FDSC_DOTTEDSTRING:
      changed = ReplaceArray(address, DottedFromText(text, field));
      break;
    case FDSC_VERBOSITY:
      changed = StoreChanged(address, VerbosityFromText(text));
      break;
    case FDSC_DURATION:
      changed = StoreChanged(address, DurationFromText(text));
      break;
    default:
      return false;
  }
  return true;
}

}  // namespace qorb::ini

extern "C" {

QORB_API uint32_t IniConvertFromString(void **cursor, const char *text, const Fdsc *descriptor,
                                       uint32_t *changed) {
  if (changed != nullptr) *changed = 0;
  if (cursor == nullptr || *cursor == nullptr || text == nullptr || descriptor == nullptr) {
    return 0;
  }
  try {
    bool differs = false;
    if (!qorb::ini::ElementFromText(static_cast<unsigned char *>(*cursor), text, *descriptor,
                                    differs)) {
      return 0;
    }
    if (changed != nullptr) *changed = differs ? 1 : 0;
    return 1;
  } catch (...) {
    return 0;
  }
}

}  // extern "C"
