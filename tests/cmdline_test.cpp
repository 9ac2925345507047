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
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "cmdline/cmdline_private.h"
#include "qorb32n.h"
#include "support/pipe_ends.h"

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
  (void)std::snprintf(record.conversionString, sizeof record.conversionString, "%s", format);
  (void)std::snprintf(record.argumentName, sizeof record.argumentName, "%s", name);
  (void)std::snprintf(record.defaultValue, sizeof record.defaultValue, "%s", defaultText);
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
    case CMD_TYPE_FLOAT:
      (void)std::snprintf(text, sizeof text, "%g",
                          record.typeCode == CMD_TYPE_FLOAT ? v.floatValue : v.doubleValue);
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

std::string RecordBytes(const CmdOptionStruct &record) {
  return std::string(reinterpret_cast<const char *>(&record), sizeof record);
}

// Frees the string arrays a parse left in the table and forgets them, since
// a help request or a faulty table assigns nothing the next time.
void FreeStringArrays(CmdOptionStruct *table, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) {
    if (table[i].typeCode != CMD_TYPE_STRINGARRAY) continue;
    if (table[i].assignedValue.stringArrayValue != nullptr) {
      MemFreeMem_(table[i].assignedValue.stringArrayValue);
    }
    table[i].assignedValue.stringArrayValue = nullptr;
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
    FreeStringArrays(table.data(), table.size());
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
  CommandLine none({});
  EXPECT_EQ(Parse(none, table).code, 102u);
  const char *expected[] = {"-3",   "65535", "1",      "-70000", "4000000000", "1e+300",
                            "text", "q",     "(null)", "1.5",    "0"};
  for (std::size_t i = 0; i < table.size(); ++i) EXPECT_EQ(ValueText(table[i]), expected[i]) << i;
}

TEST_F(CmdTest, BooleanWordsGiveOneAndAnythingElseZero) {
  std::vector<CmdOptionStruct> table = {Positional(CMD_TYPE_BOOLEAN, "", "flag", 201, 1)};
  for (const char *word : {"true", "Yes", "on", "ONE"})
    RunCases(table, {{{word}, 0, "", {{0, "1"}}}});
  for (const char *word : {"off", "1", "", "-on"}) RunCases(table, {{{word}, 0, "", {{0, "0"}}}});
}

// A faulty record answers 110 before any argument is looked at; it and the
// records after it keep what they held.
TEST_F(CmdTest, FaultyTablesAreRefusedWithoutTouchingTheRest) {
  // A long default that a string conversion would spill far past the field.
  const auto check = [](uint32_t type, const char *format, bool sound) {
    SCOPED_TRACE(std::string("type ") + std::to_string(type) + " format " + format);
    std::vector<CmdOptionStruct> table = {
        Positional(CMD_TYPE_LONG, "%ld", "before", 201, 0, "4"),
        Positional(type, format, "probe", 202, 0, "1111111111111111111111111111111111111"),
        Positional(CMD_TYPE_LONG, "%ld", "after", 203, 0, "6")};
    for (CmdOptionStruct &record : table) std::memset(record.assignedValue.bytes, 0xEE, 8);
    const CmdOptionStruct probe = table[1];
    CommandLine line({"7"});
    EXPECT_EQ(Parse(line, table).code, sound ? 0u : 110u);
    EXPECT_EQ(ValueText(table[0]), sound ? "7" : "4");
    if (!sound) {
      EXPECT_EQ(RecordBytes(table[1]), RecordBytes(probe));
      EXPECT_EQ(table[2].assignedValue.ulongValue, 0xEEEEEEEEu);
    }
  };
  // Per type: formats that fit it, and formats refused.
  struct FormatCase {
    uint32_t type;
    std::vector<const char *> sound, faulty;
  };
  const FormatCase cases[] = {
      {CMD_TYPE_SHORT, {"%hd", "%3hi"}, {"%d", "%hhd"}},
      {CMD_TYPE_USHORT, {"%hu", "%hu "}, {"%%hu"}},
      {CMD_TYPE_LONG, {"%ld", "%x"}, {"%lld", "%*d", "%d%n", "%d%d", "", "%0d"}},
      {CMD_TYPE_ULONG, {"%lu"}, {"%ms", "%zu", "%p", "%"}},
      {CMD_TYPE_DOUBLE, {"%lf", "%le"}, {"%f", "%Lf", "%la"}},
      {CMD_TYPE_FLOAT, {"%f", "%g"}, {"%lf"}},
      {CMD_TYPE_CHARACTER, {"%c", "%1c"}, {"%2c", "%s", "%[a]"}},
      {CMD_TYPE_STRING, {"%s"}, {}},
      {10, {}, {"%ld"}},
  };
  for (const FormatCase &c : cases) {
    for (const char *format : c.sound) check(c.type, format, true);
    for (const char *format : c.faulty) check(c.type, format, false);
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
    FreeStringArrays(table, rich.size());
  }
}

// The plain formats skip sscanf; they must still give sscanf's value and
// item count on every text, well formed or not.
TEST(CmdScan, PlainFormatsAgreeWithSscanf) {
  const char *formats[] = {"%d", "%ld", "%hd", "%u", "%lu", "%hu", "%lf", "%f", "%le", "%G", "%i"};
  std::istringstream texts(
      "12|-7|  42x|+5|-|| |99999999999999999999|-99999999999|4294967296|65536|0x1A|1e5|1e|1e+|"
      "1e+-3|inf|nan|-.5|.|abc|1.5e-400|3.4e39|0x|-0x|0xg|infinit|nan(1)|1e5x|2.5abc");
  std::vector<std::string> list;
  for (std::string text; std::getline(texts, text, '|');) list.push_back(text);
  for (const char *format : formats) {
    for (const std::string &entry : list) {
      const char *text = entry.c_str();
      SCOPED_TRACE(std::string(format) + " on \"" + text + "\"");
      CmdValue expected;
      CmdValue scanned;
      std::memset(&expected, 0x5A, sizeof expected);
      std::memset(&scanned, 0x5A, sizeof scanned);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
      const bool converted = std::sscanf(text, format, &expected) == 1;
#pragma GCC diagnostic pop
      EXPECT_EQ(qorb::cmd::ScanValue(text, format, scanned), converted);
      EXPECT_EQ(std::memcmp(expected.bytes, scanned.bytes, sizeof expected.bytes), 0);
    }
  }
}

// ---- Displays ----

// What a display writes on a stream of its own.
template <typename Body>
std::string Printed(Body body) {
  std::FILE *stream = std::tmpfile();
  if (stream == nullptr) return "no temporary file";
  body(stream);
  std::string text;
  std::rewind(stream);
  for (int c = std::fgetc(stream); c != EOF; c = std::fgetc(stream)) text += static_cast<char>(c);
  (void)std::fclose(stream);
  return text;
}

// Makes standard input a pipe holding the keys (and then its end), so that
// waits for a key never depend on the terminal the tests run from.
void FeedStandardInput(const std::string &keys) {
  int ends[2];
  ASSERT_EQ(OpenPipe(ends), 0);
  ASSERT_EQ(write(ends[1], keys.data(), keys.size()), static_cast<ssize_t>(keys.size()));
  close(ends[1]);
  dup2(ends[0], STDIN_FILENO);
  close(ends[0]);
  std::clearerr(stdin);
}

std::string RestOfStandardInput() {
  std::string rest;
  for (int c = std::getchar(); c != EOF; c = std::getchar()) rest += static_cast<char>(c);
  return rest;
}

const char kClosing[] =
    "\nType \"-h\" for syntax, \"-h full\" for full help, or \"-h argid\" for topical help.\n";

// The documented demo table, then mandatory alternatives, a switch with two
// arguments and a flag without a letter (shown nowhere).
TEST(CmdDisplay, SyntaxShowsUsageAndItemLines) {
  struct SyntaxCase {
    std::vector<CmdOptionStruct> table;
    const char *path;
    std::string lines;
  };
  const SyntaxCase cases[] = {
      {{Positional(CMD_TYPE_LONG, "%ld", "count", 201, 1), Switch('v', "verbose", 202),
        Switch('o', "output", 203), SwitchArgument('o', CMD_TYPE_STRING, "", "file name", 204),
        Switch('a', "all", 205, 0, 1), Switch('b', "brief", 206, 0, 1)},
       "C:\\tools\\demo.exe",
       "demo Arg1 [-v] [-o o1] [-a | -b] \n"
       "    Arg1 - count required argument (integer)\n"
       "    -v   - verbose optional switch\n"
       "    -o   - output optional switch\n"
       "     o1  -   file name optional switch argument (string)\n"
       "    -a   - all optional switch\n"
       "    -b   - brief optional switch\n"},
      {{Switch('x', "ex", 201, 1, 1), Switch('y', "why", 202, 1, 1),
        Positional(CMD_TYPE_STRING, "", "src", 203, 1), Positional(CMD_TYPE_LONG, "%ld", "n", 204),
        Record(1, 0, CMD_TYPE_LONG, "", "hidden", 205), Switch('o', "out", 206),
        SwitchArgument('o', CMD_TYPE_STRING, "", "first", 207, 1),
        SwitchArgument('o', CMD_TYPE_CHARACTER, "%c", "second", 208)},
       "C:\\x.d\\prog.tool.exe",
       "prog.tool -x | -y Arg1 [Arg2] [-o o1 o2] \n"
       "    -x   - ex required switch\n"
       "    -y   - why required switch\n"
       "    Arg1 - src required argument (string)\n"
       "    Arg2 - n optional argument (integer)\n"
       "    -o   - out optional switch\n"
       "     o1  -   first required switch argument (string)\n"
       "     o2  -   second optional switch argument (single character)\n"},
  };
  for (const SyntaxCase &c : cases) {
    EXPECT_EQ(Printed([&](std::FILE *stream) {
                CmdDisplaySyntax(stream, c.table.data(), static_cast<uint32_t>(c.table.size()),
                                 c.path);
              }),
              c.lines + kClosing);
  }
  // An overlong program path is cut to a path name's 255 characters.
  const std::string path(1000, 'p');
  EXPECT_EQ(Printed([&](std::FILE *stream) { CmdDisplaySyntax(stream, nullptr, 0, path.c_str()); }),
            std::string(255, 'p') + " \n" + kClosing);
}

const std::string kPrompt = "\n      ----<press any key to continue>-----\r";
const std::string kWipe = std::string(42, ' ') + "\r";

TEST(CmdDisplay, FullHelpPagesThroughKeysFromStandardInput) {
  // Pages of 5 lines hold 4: a text that would reach that waits for a key,
  // and a new page drops a leading line feed. A 0 key is read with the next.
  const CmdHelpEntry small[] = {{201, "a\n"}, {202, "b\n"}, {203, "c\n"}, {204, "\nd\n"},
                                {205, "e\n"}, {206, "f\n"}, {0, "never"}};
  FeedStandardInput(std::string("\0xyz", 4));
  EXPECT_EQ(Printed([&](std::FILE *stream) { CmdDisplayFullHelp(stream, small, 5); }),
            "a\nb\nc\n" + kPrompt + kWipe + "d\ne\n" + kPrompt + kWipe + "f\n");
  EXPECT_EQ(RestOfStandardInput(), "z");

  const CmdHelpEntry none[] = {{0, "not shown\n"}, {201, "not shown\n"}};
  FeedStandardInput("k");
  EXPECT_EQ(Printed([&](std::FILE *stream) { CmdDisplayFullHelp(stream, none, 25); }), "");
  EXPECT_EQ(RestOfStandardInput(), "k");
}

// The dump ends the process; it writes on standard error here, where the
// death test looks.
void DumpToStandardError(const std::vector<CmdOptionStruct> &table) {
  FeedStandardInput(std::string(table.size(), 'k'));
  CmdDisplayOptionStruct(stderr, table.data(), static_cast<uint32_t>(table.size()));
}

TEST(CmdDisplayDeathTest, DumpShowsEveryFieldOfEveryRecordThenEndsWithStatusZero) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  std::vector<CmdOptionStruct> table = {
      Record(1, 'v', CMD_TYPE_BOOLEAN, "%d", "verbose", 100, 0, "", 2),
      SwitchArgument('o', CMD_TYPE_STRINGARRAY, "", "outputs", 207, 1, "x"),
      Positional(12, "", "v", 201),  // a type the dump does not know
  };
  table[0].caseFlag = 1;
  table[0].assignedValue.booleanValue = 1;
  char first[] = "a", second[] = "b";
  char *array[] = {first, second, nullptr};
  table[1].assignedValue.stringArrayValue = array;
  const std::string expected =
      "\nCMDLINE STRUCTURE 1  Switch \n"
      "  Argument Name     verbose\n"
      "  Mandatory Flag    CMD'L\n"
      "  Argument Flag     FLAG\n"
      "  Switch ID         v\n"
      "  Case Flag         CASE\n"
      "  Exclusive Group   2\n"
      "  Help Key          HLP+4294967196\n"
      "  Type Code         BOOLEAN\n"
      "  Conversion String \"%d\"\n"
      "  Default Value     \n"
      "  Assigned Value    1\n"
      "\nCMDLINE STRUCTURE 2  Switch Argument\n"
      "  Argument Name     outputs\n"
      "  Mandatory Flag    REQ'D\n"
      "  Argument Flag     ARG\n"
      "  Switch ID         o\n"
      "  Case Flag         NOCASE\n"
      "  Exclusive Group   0\n"
      "  Help Key          HLP+7\n"
      "  Type Code         STRINGARRAY\n"
      "  Conversion String \"\"\n"
      "  Default Value     x\n"
      "  Assigned Value    a\n"
      "                    b\n"
      "\nCMDLINE STRUCTURE 3  CommandLine Argument\n"
      "  Argument Name     v\n"
      "  Mandatory Flag    CMD'L\n"
      "  Argument Flag     ARG\n"
      "  Switch ID          \n"
      "  Case Flag         NOCASE\n"
      "  Exclusive Group   0\n"
      "  Help Key          HLP+1\n"
      "  Type Code         UNKNOWN\n"
      "  Conversion String \"\"\n"
      "  Default Value     \n"
      "  Assigned Value    Error! Unrecognized type\n";
  EXPECT_EXIT(DumpToStandardError(table), testing::ExitedWithCode(0),
              testing::Matcher<const std::string &>(expected));
  EXPECT_EXIT(DumpToStandardError({}), testing::ExitedWithCode(0),
              testing::Matcher<const std::string &>(std::string()));
}

}  // namespace
