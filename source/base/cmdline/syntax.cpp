// syntax.cpp - CmdDisplaySyntax: the usage line with optional items in
// brackets and alternatives joined by " | ", one line per argument and
// switch, and the closing words on the help requests.
//
// Relies on: FilNameOfFileName for the program's name, the record kinds of
// table.cpp and the type descriptions of display_texts.cpp.
#include <cstring>

#include "cmdline/cmdline_private.h"

namespace qorb::cmd {
namespace {

constexpr std::size_t kPathCapacity = 256;
// Item texts are padded with blanks to this width before the dash.
constexpr int kItemWidth = 9;
// Room for an item text with any record number, and for it padded with
// its tail.
constexpr std::size_t kItemCapacity = 32;
constexpr std::size_t kPrefixCapacity = kItemCapacity + kItemWidth + 8;

const char *RequiredOrOptional(const CmdOptionStruct &record) {
  return record.mandatoryFlag != 0 ? " required" : " optional";
}

// The index past a switch's run of argument records.
std::uint32_t PastSwitchArguments(const CmdOptionStruct *table, std::uint32_t count,
                                  std::uint32_t index) {
  while (index + 1 < count && IsSwitchArgument(table[index + 1])) ++index;
  return index + 1;
}

void PrintProgramName(std::FILE *stream, const char *programPath) {
  char name[kPathCapacity] = {};
  if (programPath != nullptr) {
    std::memcpy(name, programPath, strnlen(programPath, kPathCapacity - 1));
  }
  FilNameOfFileName(name);
  (void)std::fprintf(stream, "%s ", name);
}

// Prints one item of the usage line (a positional argument, or a switch
// with its arguments); the index of its last record.
std::uint32_t PrintUsageItem(std::FILE *stream, const CmdOptionStruct *table, std::uint32_t count,
                             std::uint32_t index, unsigned long &positional) {
  const CmdOptionStruct &record = table[index];
  if (IsPositional(record)) {
    (void)std::fprintf(stream, "Arg%lu", ++positional);
    return index;
  }
  (void)std::fprintf(stream, "-%c", record.switchId);
  const std::uint32_t end = PastSwitchArguments(table, count, index);
  for (std::uint32_t i = index + 1; i < end; ++i) {
    (void)std::fprintf(stream, " %c%lu", record.switchId, static_cast<unsigned long>(i - index));
  }
  return end - 1;
}

void PrintUsageLine(std::FILE *stream, const CmdOptionStruct *table, std::uint32_t count,
                    const char *programPath) {
  PrintProgramName(stream, programPath);
  unsigned long positional = 0;
  bool bracketOpen = false;
  for (std::uint32_t index = 0; index < count; ++index) {
    const Kind kind = KindOf(table[index]);
    if (kind != Kind::Positional && kind != Kind::Switch) continue;
    if (!bracketOpen && table[index].mandatoryFlag == 0) {
      (void)std::fputs("[", stream);
      bracketOpen = true;
    }
    index = PrintUsageItem(stream, table, count, index, positional);
    if (index + 1 < count && SameGroup(table[index], table[index + 1])) {
      (void)std::fputs(" | ", stream);
    } else if (bracketOpen) {
      (void)std::fputs("] ", stream);
      bracketOpen = false;
    } else {
      (void)std::fputs(" ", stream);
    }
  }
  (void)std::fputs("\n", stream);
}

// The item text padded to its column, followed by the tail.
struct Prefix {
  char text[kPrefixCapacity];
};

Prefix PadItem(const char (&item)[kItemCapacity], const char *tail) {
  Prefix prefix;
  (void)std::snprintf(prefix.text, sizeof prefix.text, "%-*s%s", kItemWidth, item, tail);
  return prefix;
}

void PrintPositionalLine(std::FILE *stream, const CmdOptionStruct &record, unsigned long number) {
  char item[kItemCapacity];
  (void)std::snprintf(item, sizeof item, "  %s%lu", "  Arg", number);
  const Prefix prefix = PadItem(item, "- ");
  (void)std::fprintf(stream, "%s%.*s%s%s%s\n", prefix.text, FieldLength(record.argumentName),
                     record.argumentName, RequiredOrOptional(record), " argument ",
                     TypeDescription(record.typeCode));
}

void PrintSwitchLine(std::FILE *stream, const CmdOptionStruct &record) {
  char item[kItemCapacity];
  (void)std::snprintf(item, sizeof item, "    -%c", record.switchId);
  const Prefix prefix = PadItem(item, "- ");
  (void)std::fprintf(stream, "%s%.*s%s%s\n", prefix.text, FieldLength(record.argumentName),
                     record.argumentName, RequiredOrOptional(record), " switch");
}

void PrintSwitchArgumentLine(std::FILE *stream, const CmdOptionStruct &record,
                             unsigned long number) {
  char item[kItemCapacity];
  (void)std::snprintf(item, sizeof item, "     %c%lu", record.switchId, number);
  const Prefix prefix = PadItem(item, "-   ");
  (void)std::fprintf(stream, "%s%.*s%s%s%s\n", prefix.text, FieldLength(record.argumentName),
                     record.argumentName, RequiredOrOptional(record), " switch argument ",
                     TypeDescription(record.typeCode));
}

void PrintItemLines(std::FILE *stream, const CmdOptionStruct *table, std::uint32_t count) {
  unsigned long positional = 0;
  for (std::uint32_t index = 0; index < count; ++index) {
    const CmdOptionStruct &record = table[index];
    if (IsPositional(record)) {
      PrintPositionalLine(stream, record, ++positional);
    } else if (IsSwitch(record)) {
      PrintSwitchLine(stream, record);
      const std::uint32_t end = PastSwitchArguments(table, count, index);
      for (std::uint32_t i = index + 1; i < end; ++i) {
        PrintSwitchArgumentLine(stream, table[i], static_cast<unsigned long>(i - index));
      }
      index = end - 1;
    }
  }
}

}  // namespace
}  // namespace qorb::cmd

extern "C" QORB_API void CmdDisplaySyntax(FILE *stream, const CmdOptionStruct *table,
                                          uint32_t count, const char *programPath) {
  using namespace qorb::cmd;
  if (stream == nullptr) return;
  if (table == nullptr) count = 0;
  PrintUsageLine(stream, table, count, programPath);
  PrintItemLines(stream, table, count);
  (void)std::fprintf(stream, "%s",
                     "\nType \"-h\" for syntax, \"-h full\" for full help, or \"-h argid\" for "
                     "topical help.\n");
}
