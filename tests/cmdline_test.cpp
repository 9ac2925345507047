// cmdline_test.cpp - the command line: parsing against option tables (help
// requests, defaults, mandatory part, switches, exclusive groups, faulty
// tables), random argument vectors under guards, the syntax display, paged
// full help through a pipe, and the record dump ending the process.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "qorb32n.h"

namespace {

// ---- Building tables ----

CmdOptionStruct Record(uint32_t argumentFlag, char letter, uint32_t type, const char *format,
                       const char *name, uint32_t key, uint32_t mandatory = 0,
                       const char *defaultText = "", uint32_t group = 0) {
  CmdOptionStruct record;
  std::memset(&record, 0, sizeof record);
  record.mandatoryFlag = mandatory;
  record.argumentFlag = argumentFlag;
  record.switchId = letter;
  record.exclusiveGroup = group;
  record.helpKey = key;
  record.typeCode = type;
  std::snprintf(record.conversionString, sizeof record.conversionString, "%s", format);
  std::snprintf(record.argumentName, sizeof record.argumentName, "%s", name);
  std::snprintf(record.defaultValue, sizeof record.defaultValue, "%s", defaultText);
  return record;
}
CmdOptionStruct Positional(uint32_t type, const char *format, const char *name, uint32_t key,
                           uint32_t mandatory = 0, const char *defaultText = "") {
  return Record(0, 0, type, format, name, key, mandatory, defaultText);
}
CmdOptionStruct Switch(char letter, const char *name, uint32_t key, uint32_t mandatory = 0,
                       uint32_t group = 0) {
  return Record(1, letter, CMD_TYPE_BOOLEAN, "", name, key, mandatory, "", group);
}
CmdOptionStruct SwitchArgument(char letter, uint32_t type, const char *format, const char *name,
                               uint32_t key, uint32_t mandatory = 0, const char *defaultText = "") {
  return Record(0, letter, type, format, name, key, mandatory, defaultText);
}

// The value as text, by type; string arrays as "a,b,c" and null as "(null)".
std::string ValueText(const CmdOptionStruct &record) {
  CmdValue v;
  std::memcpy(&v, record.assignedValue.bytes, sizeof v);
  char text[64];
  switch (record.typeCode) {
    case CMD_TYPE_SHORT:
      return std::to_string(v.shortValue);
    case CMD_TYPE_USHORT:
      return std::to_string(v.ushortValue);
    case CMD_TYPE_BOOLEAN:
    case CMD_TYPE_ULONG:
      return std::to_string(v.ulongValue);
    case CMD_TYPE_LONG:
      return std::to_string(v.longValue);
    case CMD_TYPE_DOUBLE:
      std::snprintf(text, sizeof text, "%g", v.doubleValue);
      return text;
    case CMD_TYPE_FLOAT:
      std::snprintf(text, sizeof text, "%g", double{v.floatValue});
      return text;
    case CMD_TYPE_CHARACTER:
      return std::string(1, v.characterValue);
    case CMD_TYPE_STRING:
      return v.stringValue != nullptr ? v.stringValue : "(null)";
    default:
      break;
  }
  if (v.stringArrayValue == nullptr) return "(null)";
  std::string joined;
  for (char **s = v.stringArrayValue; *s != nullptr; ++s)
    joined += (joined.empty() ? "" : ",") + std::string(*s);
  return joined;
}

// Frees the string arrays a parse left in the table.
void FreeStringArrays(std::vector<CmdOptionStruct> &table) {
  for (CmdOptionStruct &record : table) {
    if (record.typeCode != CMD_TYPE_STRINGARRAY || record.assignedValue.stringArrayValue == nullptr)
      continue;
    MemFreeMem_(record.assignedValue.stringArrayValue);
    record.assignedValue.stringArrayValue = nullptr;
  }
}

// An argument vector with a program name in front; the texts live as long as
// the vector, as STRING values point into them.
struct CommandLine {
  explicit CommandLine(std::vector<std::string> arguments) : texts(std::move(arguments)) {
    texts.insert(texts.begin(), "C:\\bin\\prog.exe");
    for (std::string &text : texts) pointers.push_back(text.data());
    pointers.push_back(nullptr);
  }
  int Count() const { return static_cast<int>(texts.size()); }
  std::vector<std::string> texts;
  std::vector<char *> pointers;
};

struct Outcome {
  uint32_t code;
  std::string message;
};

Outcome Parse(const CommandLine &line, std::vector<CmdOptionStruct> &table) {
  CmdParseResult *result = CmdParseCmdLine(line.Count(), const_cast<char **>(line.pointers.data()),
                                           table.data(), static_cast<uint32_t>(table.size()));
  if (result == nullptr) return {~0u, "no result block"};
  EXPECT_EQ(MemQueryBlockSize(result), 84u + MEM_OVERHEAD);
  Outcome outcome{result->code, std::string(result->message, strnlen(result->message, 80))};
  MemFreeMem_(result);
  return outcome;
}

class CmdTest : public testing::Test {
 protected:
  void SetUp() override {
    ErrInitialize(ERR_MODE_CONSOLE, "cmdtest", 0, 0, 0, 0);
    start_ = MemQueryMemoryAllocated();
  }
  void TearDown() override { EXPECT_EQ(MemQueryMemoryAllocated(), start_) << "blocks leaked"; }
  uint32_t start_ = 0;
};

// One parse case: the arguments, the code and message, and expected values
// as "index=text" pairs.
struct ParseCase {
  std::vector<std::string> arguments;
  uint32_t code;
  std::string message;
  std::vector<std::pair<int, std::string>> values;
};

void RunCases(std::vector<CmdOptionStruct> table, const std::vector<ParseCase> &cases) {
  for (const ParseCase &c : cases) {
    std::string trace = "arguments:";
    for (const std::string &a : c.arguments) trace += " [" + a + "]";
    SCOPED_TRACE(trace);
    CommandLine line(c.arguments);
    const Outcome outcome = Parse(line, table);
    EXPECT_EQ(outcome.code, c.code);
    EXPECT_EQ(outcome.message, c.message);
    for (const auto &[index, text] : c.values)
      EXPECT_EQ(ValueText(table[index]), text) << "record " << index;
    FreeStringArrays(table);
  }
}

// A table with every kind of record: 0 count, 1 name, 2 files, 3 -v, 4 -o
// with 5 its outputs, 6 -m with 7 m1 (mandatory) and 8 m2, 9 -a and 10 -b
// in one group, 11 -s whose default marks it present.
std::vector<CmdOptionStruct> RichTable() {
  return {
      Positional(CMD_TYPE_LONG, "%ld", "count", 201, 1),
      Positional(CMD_TYPE_STRING, "", "name", 202, 0, "anon"),
      Positional(CMD_TYPE_STRINGARRAY, "", "files", 203),
      Switch('v', "verbose", 204),
      Switch('o', "output", 205),
      SwitchArgument('o', CMD_TYPE_STRINGARRAY, "", "outputs", 206),
      Switch('m', "mode", 207),
      SwitchArgument('m', CMD_TYPE_USHORT, "%hu", "level", 208, 1, "7"),
      SwitchArgument('m', CMD_TYPE_DOUBLE, "%lf", "scale", 209, 0, "2.5"),
      Switch('a', "all", 210, 0, 1),
      Switch('b', "brief", 211, 0, 1),
      Record(1, 's', CMD_TYPE_LONG, "%ld", "sticky", 212, 0, "1"),
  };
}

TEST_F(CmdTest, HelpRequestsAnswerWithoutAssigningAnything) {
  RunCases(RichTable(), {
                            {{"-h"}, 100, "", {{0, "0"}, {1, "(null)"}}},
                            {{"-h", "full"}, 101, "", {}},
                            {{"-h", "FULL"}, 100, "", {}},
                            {{"-h", "ARG2"}, 202, "", {}},
                            {{"-h", "-V"}, 204, "", {}},
                            {{"-h", "m2"}, 209, "", {}},
                            {{"-h", "O1"}, 206, "", {}},
                            {{"-h", "arg4"}, 100, "", {}},
                            {{"x", "-h"}, 201, "Error converting: x", {}},
                        });
  std::vector<CmdOptionStruct> empty;
  CommandLine line({"-h", "arg1"});
  EXPECT_EQ(Parse(line, empty).code, 100u);
}

TEST_F(CmdTest, ArgumentsFillTheTableInOrder) {
  RunCases(
      RichTable(),
      {
          {{"5"}, 0, "", {{0, "5"}, {1, "anon"}, {2, "(null)"}, {3, "0"}, {7, "7"}, {8, "2.5"}}},
          {{"-5", "n", "f1", "f2", "-v"}, 0, "", {{0, "-5"}, {1, "n"}, {2, "f1,f2"}, {3, "1"}}},
          {{"5", "-verbose"}, 0, "", {{3, "1"}}},
          {{"5", "-o", "a", "b", "c", "-v"}, 0, "", {{5, "a,b,c"}, {3, "1"}}},
          {{"5", "-o", "-v"}, 0, "", {{5, "(null)"}, {3, "1"}}},
          {{"5", "-m", "3", "-v", "n"}, 0, "", {{7, "3"}, {8, "2.5"}, {3, "1"}, {1, "n"}}},
          {{"5", "-m", "3", "0.25"}, 0, "", {{7, "3"}, {8, "0.25"}}},
          {{"5", "-a"}, 0, "", {{9, "1"}, {10, "0"}}},
      });
}

TEST_F(CmdTest, ErrorsNameTheArgumentAndTheRecord) {
  const std::string longWord(200, 'w');
  RunCases(RichTable(),
           {
               {{}, 100, "Missing mandatory argument.", {}},
               {{"x"}, 201, "Error converting: x", {}},
               {{longWord}, 201, ("Error converting: " + longWord).substr(0, 79), {}},
               {{"5", "-v", "-v"}, 204, "Same switch specified twice: -v", {}},
               {{"5", "-s"}, 212, "Same switch specified twice: -s", {}},
               {{"5", "-m"}, 208, "Missing switch argument", {}},
               {{"5", "-m", "-v"}, 208, "Missing switch argument", {}},
               {{"5", "-m", "x"}, 208, "Format error: x", {}},
               {{"5", "-m", "1", "y"}, 209, "Format error: y", {{7, "1"}}},
               {{"5", "-z"}, 100, "Unknown switch: -z\n", {}},
               {{"5", "-"}, 100, "Unknown switch: -", {}},
               {{"5", "n", "f1", "-v", "f2"}, 100, "Bad parameter: f2", {{2, "f1"}, {3, "1"}}},
               {{"5", "-a", "-b"}, 211, "Second instance of mutually exclusive switches", {}},
           });
}

TEST_F(CmdTest, MandatoryAlternativesAndSwitches) {
  std::vector<CmdOptionStruct> table = {
      Switch('x', "x", 301, 1, 1),
      Switch('y', "y", 302, 1, 1),
      Positional(CMD_TYPE_STRING, "", "target", 303, 1),
      Switch('v', "v", 304),
      Switch('q', "q", 305, 1),
  };
  RunCases(table, {
                      {{"-x", "t"}, 0, "", {{0, "1"}, {1, "0"}, {2, "t"}}},
                      {{"-y", "t"}, 0, "", {{0, "0"}, {1, "1"}}},
                      {{"-z", "t"}, 100, "Unexpected parameter: -z", {}},
                      {{"-y"}, 100, "Missing mandatory argument.", {{1, "1"}}},
                      {{"-x", "-y"}, 303, "Error converting: -y", {}},
                      {{"-y", "t", "u"}, 100, "Bad parameter: u", {}},
                      {{"-y", "t", "-q"}, 305, "Invalid use of mandatory switch: -q", {}},
                      {{"-y", "t", "-x"}, 100, "Unknown switch: -x\n", {}},
                  });
}

TEST_F(CmdTest, NoArgumentsAssignsEveryDefault) {
  std::vector<CmdOptionStruct> table = {
      Positional(CMD_TYPE_SHORT, "%hd", "s", 201, 0, "-3"),
      Positional(CMD_TYPE_USHORT, "%hx", "u", 202, 0, "ffff"),
      Positional(CMD_TYPE_BOOLEAN, "%d", "b", 203, 0, "1"),
      Positional(CMD_TYPE_LONG, "%ld", "l", 204, 0, "-70000"),
      Positional(CMD_TYPE_ULONG, "%lu", "ul", 205, 0, "4000000000"),
      Positional(CMD_TYPE_DOUBLE, "%lf", "d", 206, 0, "1e300"),
      Positional(CMD_TYPE_STRING, "", "str", 207, 0, "text"),
      Positional(CMD_TYPE_CHARACTER, "%c", "c", 208, 0, "q"),
      Positional(CMD_TYPE_STRINGARRAY, "", "sa", 209, 0, "ignored"),
      Positional(CMD_TYPE_FLOAT, "%f", "f", 210, 0, "1.5"),
      Positional(CMD_TYPE_LONG, "%ld", "empty", 211),
  };
  RunCases(table, {{{},
                    102,
                    "",
                    {{0, "-3"},
                     {1, "65535"},
                     {2, "1"},
                     {3, "-70000"},
                     {4, "4000000000"},
                     {5, "1e+300"},
                     {6, "text"},
                     {7, "q"},
                     {8, "(null)"},
                     {9, "1.5"},
                     {10, "0"}}}});
}

TEST_F(CmdTest, BooleanWordsGiveOneAndAnythingElseZero) {
  std::vector<CmdOptionStruct> table = {Positional(CMD_TYPE_BOOLEAN, "", "flag", 201, 1)};
  for (const auto &[word, value] : std::vector<std::pair<std::string, std::string>>{{"true", "1"},
                                                                                    {"Yes", "1"},
                                                                                    {"on", "1"},
                                                                                    {"ONE", "1"},
                                                                                    {"off", "0"},
                                                                                    {"1", "0"},
                                                                                    {"", "0"},
                                                                                    {"-on", "0"}}) {
    RunCases(table, {{{word}, 0, "", {{0, value}}}});
  }
}

// A faulty record answers 110 before any argument is looked at; it and the
// records after it keep what they held.
TEST_F(CmdTest, FaultyTablesAreRefusedWithoutTouchingTheRest) {
  struct FormatCase {
    uint32_t type;
    const char *format;
    bool sound;
  };
  const FormatCase cases[] = {
      {CMD_TYPE_SHORT, "%hd", true},       {CMD_TYPE_SHORT, "%3hi", true},
      {CMD_TYPE_SHORT, "%d", false},       {CMD_TYPE_SHORT, "%hhd", false},
      {CMD_TYPE_USHORT, "%%hu", false},    {CMD_TYPE_LONG, "%ld", true},
      {CMD_TYPE_LONG, "%x", true},         {CMD_TYPE_LONG, "%lld", false},
      {CMD_TYPE_LONG, "%*d", false},       {CMD_TYPE_LONG, "%d%n", false},
      {CMD_TYPE_LONG, "%d%d", false},      {CMD_TYPE_LONG, "", false},
      {CMD_TYPE_ULONG, "%zu", false},      {CMD_TYPE_ULONG, "%p", false},
      {CMD_TYPE_DOUBLE, "%lf", true},      {CMD_TYPE_DOUBLE, "%f", false},
      {CMD_TYPE_DOUBLE, "%Lf", false},     {CMD_TYPE_DOUBLE, "%la", false},
      {CMD_TYPE_FLOAT, "%g", true},        {CMD_TYPE_FLOAT, "%lf", false},
      {CMD_TYPE_CHARACTER, "%c", true},    {CMD_TYPE_CHARACTER, "%1c", true},
      {CMD_TYPE_CHARACTER, "%2c", false},  {CMD_TYPE_CHARACTER, "%s", false},
      {CMD_TYPE_CHARACTER, "%[a]", false}, {CMD_TYPE_STRING, "%s", true},
      {CMD_TYPE_ULONG, "%ms", false},      {10, "%ld", false},
  };
  for (const FormatCase &c : cases) {
    SCOPED_TRACE(std::string("type ") + std::to_string(c.type) + " format " + c.format);
    // A long default that a string conversion would spill far past the field.
    std::vector<CmdOptionStruct> table = {
        Positional(CMD_TYPE_LONG, "%ld", "before", 201, 0, "4"),
        Positional(c.type, c.format, "probe", 202, 0, "1111111111111111111111111111111111111"),
        Positional(CMD_TYPE_LONG, "%ld", "after", 203, 0, "6")};
    for (CmdOptionStruct &record : table) std::memset(record.assignedValue.bytes, 0xEE, 8);
    const CmdOptionStruct probe = table[1];
    CommandLine line({"7"});
    EXPECT_EQ(Parse(line, table).code, c.sound ? 0u : 110u);
    EXPECT_EQ(ValueText(table[0]), c.sound ? "7" : "4");
    if (!c.sound) {
      EXPECT_EQ(std::memcmp(&table[1], &probe, sizeof probe), 0);
      EXPECT_EQ(table[2].assignedValue.ulongValue, 0xEEEEEEEEu);
    }
  }

  // Texts without their NUL, a default that does not convert, a NULL table.
  std::vector<CmdOptionStruct> table = {Positional(CMD_TYPE_STRING, "", "s", 201)};
  std::memset(table[0].defaultValue, 'd', sizeof table[0].defaultValue);
  CommandLine none({});
  EXPECT_EQ(Parse(none, table).code, 110u);
  table = {Positional(CMD_TYPE_LONG, "", "l", 201, 0, "5")};
  std::memcpy(table[0].conversionString, "%ld  ", 5);
  EXPECT_EQ(Parse(none, table).code, 110u);
  table = {Positional(CMD_TYPE_LONG, "%ld", "l", 201, 0, "five")};
  EXPECT_EQ(Parse(none, table).code, 110u);
  CommandLine help({"-h", "full"});
  EXPECT_EQ(Parse(help, table).code, 101u);  // help comes before the table is looked at
  CmdParseResult *result = CmdParseCmdLine(1, nullptr, nullptr, 3);
  ASSERT_NE(result, nullptr);
  EXPECT_EQ(result->code, 110u);
  MemFreeMem_(result);
}

// Random argument vectors against the rich table, which sits between guard
// bytes: only assignedValue fields change, the result is well formed, and
// every block goes back.
TEST_F(CmdTest, RandomArgumentVectorsStayInsideTableAndResult) {
  const std::vector<CmdOptionStruct> rich = RichTable();
  constexpr std::size_t kGuard = 64;
  const std::size_t tableBytes = rich.size() * sizeof(CmdOptionStruct);
  std::vector<unsigned char> memory(kGuard + tableBytes + kGuard, 0xA5);
  auto *table = reinterpret_cast<CmdOptionStruct *>(memory.data() + kGuard);
  for (std::size_t i = 0; i < rich.size(); ++i) std::memcpy(&table[i], &rich[i], sizeof rich[i]);
  const std::vector<unsigned char> pristine = memory;
  const std::vector<std::string> pool = {
      "-v",   "-o",   "-m", "-a", "-b",      "-s",          "-x", "-",    "--", "-h",
      "full", "arg1", "5",  "-5", "3.5e308", "99999999999", "",   "true", "x",  "%s%n"};
  std::mt19937 random(20240601);
  for (int round = 0; round < 3000; ++round) {
    std::vector<std::string> arguments(random() % 12);
    for (std::string &argument : arguments) {
      if (random() % 8 == 0) {
        argument.assign(100 + random() % 400, ' ');
        for (char &c : argument) c = static_cast<char>(1 + random() % 255);
      } else {
        argument = pool[random() % pool.size()];
      }
    }
    CommandLine line(arguments);
    CmdParseResult *result = CmdParseCmdLine(line.Count(), line.pointers.data(), table,
                                             static_cast<uint32_t>(rich.size()));
    ASSERT_NE(result, nullptr);
    ASSERT_EQ(MemQueryBlockSize(result), 84u + MEM_OVERHEAD);  // guards intact
    ASSERT_LT(strnlen(result->message, 80), 80u);
    const uint32_t code = result->code;
    ASSERT_TRUE(code <= 102 || (code >= 201 && code <= 212)) << code;
    MemFreeMem_(result);
    for (std::size_t i = 0; i < memory.size(); ++i) {
      const std::size_t inTable = i - kGuard;
      const bool value =
          i >= kGuard && i < kGuard + tableBytes &&
          inTable % sizeof(CmdOptionStruct) >= offsetof(CmdOptionStruct, assignedValue);
      if (!value) {
        ASSERT_EQ(memory[i], pristine[i]) << "byte " << i << " round " << round;
      }
    }
    // A help request or a faulty table assigns nothing, so freed arrays
    // must not stay behind for the next round.
    for (std::size_t i = 0; i < rich.size(); ++i) {
      char **array = table[i].typeCode == CMD_TYPE_STRINGARRAY
                         ? table[i].assignedValue.stringArrayValue
                         : nullptr;
      if (array != nullptr) MemFreeMem_(array);
      if (table[i].typeCode == CMD_TYPE_STRINGARRAY)
        table[i].assignedValue.stringArrayValue = nullptr;
    }
  }
}

}  // namespace
