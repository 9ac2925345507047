// values.cpp - turning text into a record's assignedValue: defaults by type,
// and the conversion of command-line arguments (scan, boolean words,
// argument pointers and tracked string arrays).
//
// Relies on: ScanValue with formats that RecordIsSound has let through, the
// platform's case-insensitive compare, and MemAllocMem_ for string arrays.
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "cmdline/cmdline_private.h"
#include "platform/common/text_compare.h"

namespace qorb::cmd {
namespace {

// Scans text with the record's format; only a scan that converts exactly one
// item changes the value. The scan goes through an aligned copy of the
// field, since the packed record leaves assignedValue unaligned.
bool Scan(CmdOptionStruct &record, const char *text) {
  CmdValue scratch;
  std::memcpy(&scratch, record.assignedValue.bytes, sizeof scratch);
  if (!ScanValue(text, record.conversionString, scratch)) return false;
  std::memcpy(record.assignedValue.bytes, &scratch, sizeof scratch);
  return true;
}

// Zero in the type's own width; the other bytes of the field stay.
void AssignZero(CmdOptionStruct &record) {
  switch (record.typeCode) {
    case CMD_TYPE_SHORT:
    case CMD_TYPE_USHORT:
      record.assignedValue.ushortValue = 0;
      return;
    case CMD_TYPE_DOUBLE:
      record.assignedValue.doubleValue = 0.0;
      return;
    case CMD_TYPE_CHARACTER:
      record.assignedValue.characterValue = '\0';
      return;
    default:  // BOOLEAN, LONG, ULONG, FLOAT: 32 bits
      record.assignedValue.ulongValue = 0;
      return;
  }
}

// "TRUE", "YES" or "ON" at the start of the text, in any case.
std::uint32_t BooleanOf(const char *text) {
  return plat::CompareNoCaseN(text, "TRUE", 4) == 0 || plat::CompareNoCaseN(text, "YES", 3) == 0 ||
                 plat::CompareNoCaseN(text, "ON", 2) == 0
             ? 1u
             : 0u;
}

// A tracked, null-terminated array of the arguments from `index` up to the
// next one beginning with '-'; how many it took, 0 when there is none or the
// array cannot be allocated.
std::size_t TakeStringArray(CmdOptionStruct &record, const Arguments &arguments,
                            std::size_t index) {
  std::size_t taken = 0;
  while (index + taken < arguments.count && !StartsWithDash(arguments.texts[index + taken])) {
    ++taken;
  }
  if (taken == 0) return 0;
  const std::size_t bytes = (taken + 1) * sizeof(char *);
  if (bytes > UINT32_MAX) return 0;
  auto **array =
      static_cast<char **>(MemAllocMem_(static_cast<std::uint32_t>(bytes), __LINE__, kSourcePath));
  if (array == nullptr) return 0;
  std::memcpy(array, arguments.texts + index, taken * sizeof(char *));
  array[taken] = nullptr;  // the block is zero-filled, but say it
  record.assignedValue.stringArrayValue = array;
  return taken;
}

}  // namespace

bool AssignDefault(CmdOptionStruct &record) {
  switch (record.typeCode) {
    case CMD_TYPE_STRING:
      record.assignedValue.stringValue = record.defaultValue;
      return true;
    case CMD_TYPE_STRINGARRAY:
      record.assignedValue.stringArrayValue = nullptr;
      return true;
    default:
      if (record.defaultValue[0] == '\0') {
        AssignZero(record);
        return true;
      }
      return Scan(record, record.defaultValue);
  }
}

std::size_t ConvertArgument(CmdOptionStruct &record, const Arguments &arguments,
                            std::size_t index) {
  char *text = arguments.texts[index];
  switch (record.typeCode) {
    case CMD_TYPE_BOOLEAN:
      record.assignedValue.booleanValue = BooleanOf(text);
      return 1;
    case CMD_TYPE_STRING:
      if (StartsWithDash(text)) return 0;
      record.assignedValue.stringValue = text;
      return 1;
    case CMD_TYPE_STRINGARRAY:
      return TakeStringArray(record, arguments, index);
    default:
      return Scan(record, text) ? 1 : 0;
  }
}

}  // namespace qorb::cmd
