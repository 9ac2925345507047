// convert_to_text.cpp - the text of one element of a plain type, and
// IniConvertToString.
//
// Relies on: the formats of formats.cpp, the text forms of text_forms.cpp
// and the time family's standard form. Character arrays are read only up to
// their count bytes; the text is cut to INI_MAX_TEXT characters.
#include <cstring>
#include <string>

#include "ini/formats.h"
#include "ini/ini_private.h"
#include "ini/text_forms.h"

namespace qorb::ini {
namespace {

constexpr std::size_t kTimeTextSize = 25;

// The name of an enumeration value, "Unknown" when no slot holds it. A
// 16-bit field compares the low 16 bits of the slots' values.
const char *NameOfValue(const Fdsc &field, std::uint32_t value, std::uint32_t mask) {
  const Edsc *names = EnumerationOf(field);
  for (std::uint32_t i = 0; names != nullptr && i < NamesInUse(*names); ++i) {
    if (names->names[i] != nullptr && (names->values[i] & mask) == value) return names->names[i];
  }
  return "Unknown";
}

// The text a character array holds: up to its first NUL, at most count bytes.
std::string ArrayText(const unsigned char *array, std::uint32_t count) {
  const char *text = reinterpret_cast<const char *>(array);
  return std::string(text, strnlen(text, count));
}

void PrintTruth(TextBuffer &out, const Fdsc &field, bool truth) {
  PrintText(out, field, truth ? "TRUE" : "FALSE");
}

}  // namespace

bool ElementToText(const unsigned char *address, const Fdsc &field, TextBuffer &out) {
  switch (field.type) {
    case FDSC_SHORTBOOL:
      PrintTruth(out, field, Load<std::int16_t>(address) == 1);
      break;
    case FDSC_BOOL:
      PrintTruth(out, field, Load<std::int32_t>(address) == 1);
      break;
    case FDSC_BYTE:
      PrintInteger(out, field, Load<std::uint8_t>(address));
      break;
    case FDSC_SHORT:
      PrintInteger(out, field, Load<std::int16_t>(address));
      break;
    case FDSC_USHORT:
      PrintInteger(out, field, Load<std::uint16_t>(address));
      break;
    case FDSC_LONG:
      PrintInteger(out, field, Load<std::int32_t>(address));
      break;
    case FDSC_ULONG:
      PrintInteger(out, field, Load<std::uint32_t>(address));
      break;
    case FDSC_FLOAT:
      PrintReal(out, field, Load<float>(address));
      break;
    case FDSC_DOUBLE:
      PrintReal(out, field, Load<double>(address));
      break;
    case FDSC_STRING:
    case FDSC_FIXEDSTRING:
      PrintText(out, field, ArrayText(address, field.count).c_str());
      break;
    case FDSC_STRINGPTR: {
      const auto *text = static_cast<const char *>(LoadPointer(address));
      PrintText(out, field, text != nullptr ? text : "");
      break;
    }
    case FDSC_SHORTENUM:
      PrintText(out, field, NameOfValue(field, Load<std::uint16_t>(address), 0xFFFFu));
      break;
    case FDSC_ENUM:
      PrintText(out, field, NameOfValue(field, Load<std::uint32_t>(address), 0xFFFFFFFFu));
      break;
    case FDSC_REALTIME: {
      char time[kTimeTextSize];
      TmeRealTimeToString(Load<RealTime>(address), time);
      PrintText(out, field, time);
      break;
    }
    case FDSC_DOTTEDSTRING:
      DottedToText(address, field, out);
      break;
    case FDSC_VERBOSITY:
      VerbosityToText(Load<std::uint32_t>(address), out);
      break;
    case FDSC_DURATION:
      DurationToText(Load<std::uint32_t>(address), out);
      break;
    default:
      return false;
  }
  return true;
}

}  // namespace qorb::ini

extern "C" {

QORB_API uint32_t IniConvertToString(void **cursor, char *out, const Fdsc *descriptor) {
  if (cursor == nullptr || *cursor == nullptr || out == nullptr || descriptor == nullptr) return 0;
  try {
    qorb::ini::TextBuffer text;
    if (!qorb::ini::ElementToText(static_cast<unsigned char *>(*cursor), *descriptor, text)) {
      return 0;
    }
    std::memcpy(out, text, std::strlen(text) + 1);
    return 1;
  } catch (...) {
    return 0;
  }
}

}  // extern "C"
