// dump.cpp - CmdDisplayOptionStruct: every option record field by field
// under 20-character labels, a wait for a key after each, then the end of
// the process.
//
// Relies on: the type names of display_texts.cpp, WaitForKey of keys.cpp,
// fprintf on the caller's stream and exit().
#include <cstdlib>
#include <cstring>

#include "cmdline/cmdline_private.h"

namespace qorb::cmd {
namespace {

// A string array is shown up to its null entry, but no further than this.
constexpr std::size_t kMostArrayStrings = 10000;
constexpr const char *kArrayIndent = "                    ";  // under the values

void PrintHeading(std::FILE *stream, const CmdOptionStruct &record, unsigned long number) {
  (void)std::fprintf(stream, "\nCMDLINE STRUCTURE %lu  ", number);
  if (record.switchId == 0) {
    (void)std::fprintf(stream, "%s", "CommandLine Argument\n");
  } else {
    (void)std::fprintf(stream, "Switch %s", record.argumentFlag != 0 ? "\n" : "Argument\n");
  }
}

void PrintStringArray(std::FILE *stream, char *const *array) {
  if (array == nullptr || array[0] == nullptr) {
    (void)std::fprintf(stream, "\n");
    return;
  }
  (void)std::fprintf(stream, "%s\n", array[0]);
  for (std::size_t i = 1; i < kMostArrayStrings && array[i] != nullptr; ++i) {
    (void)std::fprintf(stream, "%s%s\n", kArrayIndent, array[i]);
  }
}

void PrintValue(std::FILE *stream, const CmdOptionStruct &record) {
  CmdValue value;  // an aligned copy: the packed record leaves the field unaligned
  std::memcpy(&value, record.assignedValue.bytes, sizeof value);
  switch (record.typeCode) {
    case CMD_TYPE_SHORT:
      (void)std::fprintf(stream, "%i\n", static_cast<int>(value.shortValue));
      return;
    case CMD_TYPE_USHORT:
      (void)std::fprintf(stream, "%hu\n", static_cast<unsigned short>(value.ushortValue));
      return;
    case CMD_TYPE_BOOLEAN:
    case CMD_TYPE_ULONG:
      (void)std::fprintf(stream, "%lu\n", static_cast<unsigned long>(value.ulongValue));
      return;
    case CMD_TYPE_LONG:
      (void)std::fprintf(stream, "%li\n", static_cast<long>(value.longValue));
      return;
    case CMD_TYPE_DOUBLE:
      (void)std::fprintf(stream, "%lf\n", static_cast<double>(value.doubleValue));
      return;
    case CMD_TYPE_STRING:
      (void)std::fprintf(stream, "%s\n", value.stringValue != nullptr ? value.stringValue : "");
      return;
    case CMD_TYPE_CHARACTER:
      (void)std::fprintf(stream, "%c\n", value.characterValue);
      return;
    case CMD_TYPE_STRINGARRAY:
      PrintStringArray(stream, value.stringArrayValue);
      return;
    case CMD_TYPE_FLOAT:
      (void)std::fprintf(stream, "%f\n", static_cast<double>(value.floatValue));
      return;
    default:
      (void)std::fprintf(stream, "%s", "Error! Unrecognized type\n");
      return;
  }
}

void PrintRecord(std::FILE *stream, const CmdOptionStruct &record, unsigned long number) {
  PrintHeading(stream, record, number);
  (void)std::fprintf(stream, "%s%.*s\n", "  Argument Name     ", FieldLength(record.argumentName),
                     record.argumentName);
  (void)std::fprintf(stream, "%s%s\n", "  Mandatory Flag    ",
                     record.mandatoryFlag != 0 ? "REQ'D" : "CMD'L");
  (void)std::fprintf(stream, "%s%s\n", "  Argument Flag     ",
                     record.argumentFlag != 0 ? "FLAG" : "ARG");
  (void)std::fprintf(stream, "%s%c\n", "  Switch ID         ",
                     record.switchId != 0 ? record.switchId : ' ');
  (void)std::fprintf(stream, "%s%s\n", "  Case Flag         ",
                     record.caseFlag != 0 ? "CASE" : "NOCASE");
  (void)std::fprintf(stream, "%s%lu\n", "  Exclusive Group   ",
                     static_cast<unsigned long>(record.exclusiveGroup));
  (void)std::fprintf(stream, "%s%s%lu\n", "  Help Key          ", "HLP+",
                     static_cast<unsigned long>(static_cast<std::uint32_t>(record.helpKey - 200u)));
  (void)std::fprintf(stream, "%s%s\n", "  Type Code         ", TypeName(record.typeCode));
  (void)std::fprintf(stream, "%s\"%.*s\"\n", "  Conversion String ",
                     FieldLength(record.conversionString), record.conversionString);
  (void)std::fprintf(stream, "%s%.*s\n", "  Default Value     ", FieldLength(record.defaultValue),
                     record.defaultValue);
  (void)std::fprintf(stream, "%s", "  Assigned Value    ");
  PrintValue(stream, record);
}

}  // namespace
}  // namespace qorb::cmd

extern "C" QORB_API void CmdDisplayOptionStruct(FILE *stream, const CmdOptionStruct *table,
                                                uint32_t count) {
  if (stream != nullptr && table != nullptr) {
    for (uint32_t i = 0; i < count; ++i) {
      qorb::cmd::PrintRecord(stream, table[i], static_cast<unsigned long>(i) + 1);
      (void)std::fflush(stream);
      qorb::cmd::WaitForKey();
    }
  }
  std::exit(0);
}
