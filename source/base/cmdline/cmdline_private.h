// cmdline_private.h - what the command-line family's sources share: its
// source path, the kinds of option records, the record checks, value
// conversions, result messages and the display helpers.
//
// Relies on: qorb32n.h only. Only cmdline/*.cpp include this header.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "qorb32n.h"

namespace qorb::cmd {

// The source path every allocation of the family carries.
inline constexpr const char *kSourcePath = "base\\cmdline";

inline constexpr std::uint32_t kLastTypeCode = CMD_TYPE_FLOAT;

// ---- Record kinds and ids (table.cpp) ----

enum class Kind { Positional, Switch, SwitchArgument, None };

// What a record is; a record with argumentFlag set but no letter is none of
// the three and takes no part in parsing or display.
inline Kind KindOf(const CmdOptionStruct &record) {
  if (record.argumentFlag != 0) return record.switchId != 0 ? Kind::Switch : Kind::None;
  return record.switchId != 0 ? Kind::SwitchArgument : Kind::Positional;
}

inline bool IsSwitch(const CmdOptionStruct &record) {
  return KindOf(record) == Kind::Switch;
}
inline bool IsSwitchArgument(const CmdOptionStruct &record) {
  return KindOf(record) == Kind::SwitchArgument;
}
inline bool IsPositional(const CmdOptionStruct &record) {
  return KindOf(record) == Kind::Positional;
}

// Whether record `next` continues the exclusive group of `record`.
inline bool SameGroup(const CmdOptionStruct &record, const CmdOptionStruct &next) {
  return record.exclusiveGroup != 0 && next.exclusiveGroup == record.exclusiveGroup;
}

// The index of the first record whose id ("arg2", "-v", "o1") equals the
// text ignoring case, or count when none does.
std::uint32_t FindRecordById(const CmdOptionStruct *table, std::uint32_t count, const char *id);

// Whether a record can be given a default and parsed without any write
// beyond its assignedValue: known type, terminated texts and, where its
// scan format is used, exactly one conversion of the kind its type allows.
bool RecordIsSound(const CmdOptionStruct &record);

// ---- Values (values.cpp) ----

// An argument vector without the program name: texts [0, count).
struct Arguments {
  char *const *texts;
  std::size_t count;
};

// Scans text with a checked format into value, as sscanf does; true when
// exactly one item was converted (scan.cpp).
bool ScanValue(const char *text, const char *format, CmdValue &value);

// Sets the value from the record's default; false when the default does
// not convert.
bool AssignDefault(CmdOptionStruct &record);

// Converts the argument at `index` into the record; answers how many
// arguments it took (a string array takes several), 0 when it fails.
std::size_t ConvertArgument(CmdOptionStruct &record, const Arguments &arguments, std::size_t index);

// The 32-bit presence mark of a switch.
inline std::uint32_t PresenceMark(const CmdOptionStruct &record) {
  return record.assignedValue.ulongValue;
}
inline void MarkPresent(CmdOptionStruct &record) {
  record.assignedValue.ulongValue = 1;
}

inline bool StartsWithDash(const char *text) {
  return text[0] == '-';
}

// ---- Result messages (messages.cpp) ----

enum class Message {
  MissingMandatory,       // "Missing mandatory argument."
  ErrorConverting,        // "Error converting: %s"
  UnexpectedParameter,    // "Unexpected parameter: %s"
  MandatorySwitchUsed,    // "Invalid use of mandatory switch: %s"
  SwitchTwice,            // "Same switch specified twice: %s"
  MissingSwitchArgument,  // "Missing switch argument"
  FormatError,            // "Format error: %s"
  BadParameter,           // "Bad parameter: %s"
  ExclusiveSwitches,      // "Second instance of mutually exclusive switches"
};

// Sets the code and writes the message, quoting the argument where the
// message has a place for it; cut to fit the field.
void Fail(CmdParseResult &result, std::uint32_t code, Message message, const char *argument = "");
void FailUnknownSwitch(CmdParseResult &result, char letter);

// ---- Displays (display_texts.cpp, keys.cpp) ----

// "(integer)", "(string)", ... as the syntax lines describe a type.
const char *TypeDescription(std::uint32_t typeCode);
// "SHORT", "STRING", ... as the record dump names a type.
const char *TypeName(std::uint32_t typeCode);

// The length of a text field that may lack its NUL, for printing it with
// "%.*s" without reading past the field.
template <std::size_t N>
int FieldLength(const char (&field)[N]) {
  return static_cast<int>(strnlen(field, N));
}

// Waits for one key from standard input; a 0 byte announces a second one.
void WaitForKey();

}  // namespace qorb::cmd
