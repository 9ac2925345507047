// parse.cpp - CmdParseCmdLine: help requests, defaults, the mandatory part
// with its groups of alternatives, the free part of positional arguments and
// switches with their arguments, and the exclusive-group check.
//
// Relies on: the record checks and ids of table.cpp, the conversions of
// values.cpp, the messages of messages.cpp, and MemAllocMem_ for the result.
#include <cstring>

#include "cmdline/cmdline_private.h"

namespace qorb::cmd {
namespace {

// One parse: the table, the arguments after the program name, the result,
// the next argument to look at and, in the free part, the positional cursor.
struct Parse {
  CmdOptionStruct *table;
  std::uint32_t count;
  Arguments arguments;
  CmdParseResult &result;
  std::size_t next = 0;
  std::uint32_t cursor = 0;

  bool ArgumentsLeft() const { return next < arguments.count; }
  char *Argument() const { return arguments.texts[next]; }
};

// "-h", "-h full" and "-h argid"; true when the line was such a request.
bool AnswerHelpRequest(Parse &parse) {
  const Arguments &arguments = parse.arguments;
  if (arguments.count == 0 || std::strcmp(arguments.texts[0], "-h") != 0) return false;
  if (arguments.count == 1) {
    parse.result.code = CMD_RC_SYNTAX;
  } else if (std::strcmp(arguments.texts[1], "full") == 0) {
    parse.result.code = CMD_RC_FULL_HELP;
  } else {
    const std::uint32_t found = FindRecordById(parse.table, parse.count, arguments.texts[1]);
    parse.result.code = found < parse.count ? parse.table[found].helpKey : CMD_RC_SYNTAX;
  }
  return true;
}

// Every record from its default, in order; false (code 110) at the first
// record that is faulty, which and whose followers keep their old values.
bool AssignDefaults(Parse &parse) {
  for (std::uint32_t i = 0; i < parse.count; ++i) {
    CmdOptionStruct &record = parse.table[i];
    if (!RecordIsSound(record) || !AssignDefault(record)) {
      parse.result.code = CMD_RC_BAD_TABLE;
      return false;
    }
  }
  return true;
}

// How many arguments a mandatory record takes from the current one: 0 when
// it does not fit, which for a positional record is a failed conversion.
std::size_t FitMandatory(Parse &parse, CmdOptionStruct &record) {
  const char *argument = parse.Argument();
  if (IsSwitch(record)) {
    if (argument[0] != '-' || argument[1] != record.switchId) return 0;
    MarkPresent(record);
    return 1;
  }
  if (IsPositional(record)) return ConvertArgument(record, parse.arguments, parse.next);
  return 0;
}

// Index past the records that continue the group of the record at `index`.
std::uint32_t PastGroup(const Parse &parse, std::uint32_t index) {
  while (index + 1 < parse.count && SameGroup(parse.table[index], parse.table[index + 1])) {
    ++index;
  }
  return index + 1;
}

// The leading run of mandatory records, each taking the next argument (or
// one of its group's alternatives taking it). False when parsing ends here:
// on an error, or when no argument is left after the run.
bool ParseMandatoryPart(Parse &parse) {
  std::uint32_t index = 0;
  while (index < parse.count && parse.table[index].mandatoryFlag != 0) {
    if (!parse.ArgumentsLeft()) {
      Fail(parse.result, CMD_RC_SYNTAX, Message::MissingMandatory);
      return false;
    }
    std::size_t taken = 0;
    for (;;) {
      CmdOptionStruct &record = parse.table[index];
      taken = FitMandatory(parse, record);
      if (taken > 0) break;
      if (IsPositional(record)) {
        Fail(parse.result, record.helpKey, Message::ErrorConverting, parse.Argument());
        return false;
      }
      if (index + 1 < parse.count && SameGroup(record, parse.table[index + 1])) {
        ++index;  // try the next alternative of the group
        continue;
      }
      Fail(parse.result, CMD_RC_SYNTAX, Message::UnexpectedParameter, parse.Argument());
      return false;
    }
    index = PastGroup(parse, index);
    parse.next += taken;
  }
  parse.cursor = index;
  return parse.ArgumentsLeft();
}

// The switch record with the letter, from the positional cursor on; count
// when there is none.
std::uint32_t FindSwitch(const Parse &parse, char letter) {
  for (std::uint32_t i = parse.cursor; i < parse.count; ++i) {
    if (IsSwitch(parse.table[i]) && parse.table[i].switchId == letter) return i;
  }
  return parse.count;
}

// The arguments of the switch at `index`, taken from the line in order; an
// optional one stops the taking when its argument is missing.
bool ParseSwitchArguments(Parse &parse, std::uint32_t index) {
  for (std::uint32_t i = index + 1; i < parse.count && IsSwitchArgument(parse.table[i]); ++i) {
    CmdOptionStruct &record = parse.table[i];
    if (!parse.ArgumentsLeft() || StartsWithDash(parse.Argument())) {
      if (record.mandatoryFlag == 0) return true;
      Fail(parse.result, record.helpKey, Message::MissingSwitchArgument);
      return false;
    }
    const std::size_t taken = ConvertArgument(record, parse.arguments, parse.next);
    if (taken == 0) {
      Fail(parse.result, record.helpKey, Message::FormatError, parse.Argument());
      return false;
    }
    parse.next += taken;
  }
  return true;
}

// A switch of the free part, with its arguments; false on an error.
bool ParseSwitch(Parse &parse) {
  const char *argument = parse.Argument();
  const std::uint32_t index = FindSwitch(parse, argument[1]);
  if (index == parse.count) {
    FailUnknownSwitch(parse.result, argument[1]);
    return false;
  }
  CmdOptionStruct &record = parse.table[index];
  if (record.mandatoryFlag != 0) {
    Fail(parse.result, record.helpKey, Message::MandatorySwitchUsed, argument);
    return false;
  }
  if (PresenceMark(record) != 0) {
    Fail(parse.result, record.helpKey, Message::SwitchTwice, argument);
    return false;
  }
  MarkPresent(record);
  ++parse.next;
  return ParseSwitchArguments(parse, index);
}

// A positional argument of the free part, for the record under the cursor.
bool ParsePositional(Parse &parse) {
  if (parse.cursor >= parse.count || !IsPositional(parse.table[parse.cursor])) {
    Fail(parse.result, CMD_RC_SYNTAX, Message::BadParameter, parse.Argument());
    return false;
  }
  CmdOptionStruct &record = parse.table[parse.cursor];
  const std::size_t taken = ConvertArgument(record, parse.arguments, parse.next);
  if (taken == 0) {
    Fail(parse.result, record.helpKey, Message::ErrorConverting, parse.Argument());
    return false;
  }
  ++parse.cursor;
  parse.next += taken;
  return true;
}

bool ParseFreePart(Parse &parse) {
  while (parse.ArgumentsLeft()) {
    const bool parsed =
        StartsWithDash(parse.Argument()) ? ParseSwitch(parse) : ParsePositional(parse);
    if (!parsed) return false;
  }
  return true;
}

// Two set switches of one exclusive group: the later one is reported.
void CheckExclusiveGroups(Parse &parse) {
  for (std::uint32_t i = 0; i < parse.count; ++i) {
    const CmdOptionStruct &first = parse.table[i];
    if (!IsSwitch(first) || first.exclusiveGroup == 0 || PresenceMark(first) == 0) continue;
    for (std::uint32_t j = i + 1; j < parse.count; ++j) {
      const CmdOptionStruct &later = parse.table[j];
      if (IsSwitch(later) && later.exclusiveGroup == first.exclusiveGroup &&
          PresenceMark(later) != 0) {
        Fail(parse.result, later.helpKey, Message::ExclusiveSwitches);
        return;
      }
    }
  }
}

void Run(Parse &parse) {
  if (AnswerHelpRequest(parse)) return;
  if (parse.arguments.count == 0) parse.result.code = CMD_RC_NO_ARGUMENTS;
  if (!AssignDefaults(parse)) return;
  if (!ParseMandatoryPart(parse)) return;
  if (!ParseFreePart(parse)) return;
  CheckExclusiveGroups(parse);
}

// The arguments after the program name, ending early at a NULL entry.
Arguments ArgumentsOf(int argc, char *argv[]) {
  if (argv == nullptr || argc < 2) return Arguments{argv, 0};
  std::size_t count = 0;
  while (count < static_cast<std::size_t>(argc - 1) && argv[count + 1] != nullptr) ++count;
  return Arguments{argv + 1, count};
}

}  // namespace
}  // namespace qorb::cmd

extern "C" QORB_API CmdParseResult *CmdParseCmdLine(int argc, char *argv[], CmdOptionStruct *table,
                                                    uint32_t count) {
  using namespace qorb::cmd;
  // The block comes zero-filled: code 0 and an empty message.
  auto *result =
      static_cast<CmdParseResult *>(MemAllocMem_(sizeof(CmdParseResult), __LINE__, kSourcePath));
  if (result == nullptr) return nullptr;
  if (table == nullptr && count != 0) {
    result->code = CMD_RC_BAD_TABLE;
    return result;
  }
  Parse parse{table, count, ArgumentsOf(argc, argv), *result};
  Run(parse);
  return result;
}

static_assert(sizeof(CmdParseResult) == 84, "the result block is 84 bytes on every host");
static_assert(sizeof(CmdOptionStruct) == 108, "an option record is 108 packed bytes");
static_assert(offsetof(CmdOptionStruct, switchId) == 8);
static_assert(offsetof(CmdOptionStruct, caseFlag) == 9);
static_assert(offsetof(CmdOptionStruct, conversionString) == 25);
static_assert(offsetof(CmdOptionStruct, argumentName) == 30);
static_assert(offsetof(CmdOptionStruct, defaultValue) == 60);
static_assert(offsetof(CmdOptionStruct, assignedValue) == 100);
static_assert(sizeof(void *) != 4 || sizeof(CmdHelpEntry) == 8, "a help pair is 8 bytes on m32");
