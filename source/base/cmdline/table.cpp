// table.cpp - checks on the option table: record ids for topical help, and
// whether a record is sound enough to be parsed into (known type, texts
// terminated inside their fields, a scan format that stores one value of
// the record's type and nothing more).
//
// Relies on: the case-insensitive compare of the platform layer.
#include <cstring>

#include "cmdline/cmdline_private.h"
#include "platform/common/text_compare.h"

namespace qorb::cmd {
namespace {

// Numbers records as the help lookup and the syntax display name them: a
// positional record by its place among the positional records, a switch
// argument by its place after the latest switch.
class IdCounter {
 public:
  // Counts the record in and returns its number (0 for switches and others).
  unsigned long Advance(const CmdOptionStruct &record) {
    switch (KindOf(record)) {
      case Kind::Positional:
        return ++positional_;
      case Kind::SwitchArgument:
        return ++afterSwitch_;
      case Kind::Switch:
      case Kind::None:
        afterSwitch_ = 0;  // every record with argumentFlag set starts a switch's run
        return 0;
    }
    return 0;
  }

 private:
  unsigned long positional_ = 0;
  unsigned long afterSwitch_ = 0;
};

// Room for "arg" and the digits of any record number.
constexpr std::size_t kIdCapacity = 32;

void BuildId(const CmdOptionStruct &record, unsigned long number, char (&id)[kIdCapacity]) {
  switch (KindOf(record)) {
    case Kind::Positional:
      (void)std::snprintf(id, sizeof id, "arg%lu", number);
      return;
    case Kind::Switch:
      (void)std::snprintf(id, sizeof id, "-%c", record.switchId);
      return;
    case Kind::SwitchArgument:
      (void)std::snprintf(id, sizeof id, "%c%lu", record.switchId, number);
      return;
    case Kind::None:
      id[0] = '\0';
      return;
  }
}

}  // namespace

std::uint32_t FindRecordById(const CmdOptionStruct *table, std::uint32_t count, const char *id) {
  IdCounter counter;
  char recordId[kIdCapacity];
  for (std::uint32_t i = 0; i < count; ++i) {
    BuildId(table[i], counter.Advance(table[i]), recordId);
    if (plat::CompareNoCase(recordId, id) == 0) return i;
  }
  return count;
}

namespace {

// One conversion of a scan format, taken apart.
struct Conversion {
  bool suppressed = false;  // '*'
  unsigned long width = 0;  // 0: none given
  char length[3] = {};      // "", "h", "hh", "l", "ll", "L", ...
  char specifier = '\0';
};

bool IsIntegerSpecifier(char c) {
  return c != '\0' && std::strchr("diouxX", c) != nullptr;
}

bool IsFloatingSpecifier(char c) {
  return c != '\0' && std::strchr("efgEFG", c) != nullptr;
}

// Reads the conversion that starts after a '%' at `text`; false when the
// text ends inside it. `text` is left on the specifier.
bool ReadConversion(const char *&text, Conversion &conversion) {
  if (*text == '*') {
    conversion.suppressed = true;
    ++text;
  }
  if (*text == '0') return false;  // a width of 0 has no meaning to sscanf
  while (*text >= '0' && *text <= '9') {
    conversion.width = conversion.width * 10 + static_cast<unsigned long>(*text - '0');
    ++text;
  }
  std::size_t lengthChars = 0;
  while (*text != '\0' && std::strchr("hlLjztqm", *text) != nullptr) {
    if (lengthChars == sizeof conversion.length - 1) return false;
    conversion.length[lengthChars++] = *text++;
  }
  conversion.specifier = *text;
  return conversion.specifier != '\0';
}

bool LengthIs(const Conversion &conversion, const char *length) {
  return std::strcmp(conversion.length, length) == 0;
}

// Whether the conversion stores exactly a value of the type, within the
// 8 bytes of assignedValue. 32-bit types accept 'l' as tables written for
// 32-bit programs use it; on a 64-bit host it stores 8 bytes, still inside
// the field, with the value in the low word.
bool ConversionFitsType(const Conversion &conversion, std::uint32_t typeCode) {
  if (conversion.suppressed) return false;
  switch (typeCode) {
    case CMD_TYPE_SHORT:
    case CMD_TYPE_USHORT:
      return IsIntegerSpecifier(conversion.specifier) && LengthIs(conversion, "h");
    case CMD_TYPE_BOOLEAN:
    case CMD_TYPE_LONG:
    case CMD_TYPE_ULONG:
      return IsIntegerSpecifier(conversion.specifier) &&
             (LengthIs(conversion, "") || LengthIs(conversion, "l"));
    case CMD_TYPE_DOUBLE:
      return IsFloatingSpecifier(conversion.specifier) && LengthIs(conversion, "l");
    case CMD_TYPE_FLOAT:
      return IsFloatingSpecifier(conversion.specifier) && LengthIs(conversion, "");
    case CMD_TYPE_CHARACTER:
      return conversion.specifier == 'c' && LengthIs(conversion, "") && conversion.width <= 1;
    default:
      return false;
  }
}

// Whether the format holds exactly one conversion, fit for the type; "%%"
// and ordinary text around it do not count.
bool FormatFitsType(const char *format, std::uint32_t typeCode) {
  int conversions = 0;
  for (const char *text = format; *text != '\0'; ++text) {
    if (*text != '%') continue;
    ++text;
    if (*text == '%') continue;
    Conversion conversion;
    if (!ReadConversion(text, conversion) || !ConversionFitsType(conversion, typeCode)) {
      return false;
    }
    ++conversions;
  }
  return conversions == 1;
}

template <std::size_t N>
bool IsTerminated(const char (&field)[N]) {
  return std::memchr(field, '\0', N) != nullptr;
}

// Whether arguments given for the record are scanned: positional and switch
// arguments of the numeric and character types (a switch's value is only
// its presence mark).
bool ScansArguments(const CmdOptionStruct &record) {
  const Kind kind = KindOf(record);
  if (kind != Kind::Positional && kind != Kind::SwitchArgument) return false;
  return record.typeCode != CMD_TYPE_BOOLEAN && record.typeCode != CMD_TYPE_STRING &&
         record.typeCode != CMD_TYPE_STRINGARRAY;
}

}  // namespace

// The format is checked only where it is used, so a switch whose value is
// only its presence mark may leave it empty.
bool RecordIsSound(const CmdOptionStruct &record) {
  const std::uint32_t type = record.typeCode;
  if (type > kLastTypeCode) return false;
  if (type == CMD_TYPE_STRINGARRAY) return true;  // neither default nor format is used
  if (!IsTerminated(record.defaultValue)) return false;
  if (type == CMD_TYPE_STRING) return true;
  const bool scansDefault = record.defaultValue[0] != '\0';
  if (!scansDefault && !ScansArguments(record)) return true;
  return IsTerminated(record.conversionString) && FormatFitsType(record.conversionString, type);
}

}  // namespace qorb::cmd
