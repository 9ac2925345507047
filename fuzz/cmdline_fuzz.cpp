// cmdline_fuzz.cpp - CmdParseCmdLine on any command line against a table that
// uses every value type, switches alone and with one or two arguments,
// exclusive groups and a string array. The input's texts, split at NUL
// bytes, are the arguments. An input whose first text starts with '@' first
// rewrites one record: "@<record><type><format bytes>" and the second text
// as its default, so the table checks meet any format and default. A table
// that parses is shown with CmdDisplaySyntax too.
//
// Relies on: CmdParseCmdLine, CmdDisplaySyntax and MemFreeMem_.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz_input.h"
#include "qorb32n.h"

namespace {

constexpr std::size_t kArgumentLimit = 48;

CmdOptionStruct Record(uint32_t argumentFlag, char letter, uint32_t type, const char *format,
                       const char *defaultText, uint32_t mandatory = 0, uint32_t group = 0) {
  CmdOptionStruct record;
  std::memset(&record, 0, sizeof record);
  record.mandatoryFlag = mandatory;
  record.argumentFlag = argumentFlag;
  record.switchId = letter;
  record.exclusiveGroup = group;
  record.helpKey = 200u + static_cast<uint32_t>(letter);
  record.typeCode = type;
  std::strncpy(record.conversionString, format, sizeof record.conversionString - 1);
  std::strncpy(record.argumentName, "value", sizeof record.argumentName - 1);
  std::strncpy(record.defaultValue, defaultText, sizeof record.defaultValue - 1);
  return record;
}

std::vector<CmdOptionStruct> Table() {
  return {
      Record(0, 0, CMD_TYPE_LONG, "%ld", "", 1),
      Record(0, 0, CMD_TYPE_DOUBLE, "%lf", "1.5"),
      Record(0, 0, CMD_TYPE_STRING, "", "none"),
      Record(1, 'a', CMD_TYPE_BOOLEAN, "", ""),
      Record(1, 'b', CMD_TYPE_BOOLEAN, "", ""),
      Record(0, 'b', CMD_TYPE_BOOLEAN, "", "FALSE"),
      Record(1, 'c', CMD_TYPE_BOOLEAN, "", ""),
      Record(0, 'c', CMD_TYPE_SHORT, "%hd", "-3"),
      Record(1, 'd', CMD_TYPE_BOOLEAN, "", ""),
      Record(0, 'd', CMD_TYPE_USHORT, "%hx", "ff"),
      Record(1, 'e', CMD_TYPE_BOOLEAN, "", ""),
      Record(0, 'e', CMD_TYPE_ULONG, "%lu", "7"),
      Record(1, 'f', CMD_TYPE_BOOLEAN, "", ""),
      Record(0, 'f', CMD_TYPE_FLOAT, "%f", "2.5"),
      Record(1, 'g', CMD_TYPE_BOOLEAN, "", ""),
      Record(0, 'g', CMD_TYPE_CHARACTER, "%c", "q"),
      Record(1, 'i', CMD_TYPE_BOOLEAN, "", ""),
      Record(0, 'i', CMD_TYPE_STRINGARRAY, "", ""),
      Record(1, 'n', CMD_TYPE_BOOLEAN, "", ""),
      Record(0, 'n', CMD_TYPE_LONG, "x%4li", "x12"),
      Record(0, 'n', CMD_TYPE_DOUBLE, "%le", "1e3"),
      Record(1, 'o', CMD_TYPE_BOOLEAN, "", ""),
      Record(0, 'o', CMD_TYPE_STRING, "", "out"),
      Record(1, 'x', CMD_TYPE_BOOLEAN, "", "", 0, 1),
      Record(1, 'y', CMD_TYPE_BOOLEAN, "", "", 0, 1),
      Record(1, 'z', CMD_TYPE_BOOLEAN, "", "", 0, 2),
      Record(0, 'z', CMD_TYPE_ULONG, "%lo", "17", 0, 2),
      Record(1, 'w', CMD_TYPE_BOOLEAN, "", "", 0, 2),
  };
}

// Copies text into a fixed field the way a careless caller might: cut, and
// without a NUL when the text fills the field.
template <std::size_t N>
void FillField(char (&field)[N], const std::string &text) {
  std::memset(field, 0, N);
  std::memcpy(field, text.data(), text.size() < N ? text.size() : N);
}

// Applies an "@" rewrite of one record; answers how many texts it used.
std::size_t RewriteRecord(std::vector<CmdOptionStruct> &table,
                          const std::vector<std::string> &texts) {
  if (texts[0].size() < 3 || texts[0][0] != '@') return 0;
  CmdOptionStruct &record = table[static_cast<unsigned char>(texts[0][1]) % table.size()];
  record.typeCode = static_cast<unsigned char>(texts[0][2]) % 12u;
  FillField(record.conversionString, texts[0].substr(3));
  if (texts.size() > 1) FillField(record.defaultValue, texts[1]);
  return texts.size() > 1 ? 2 : 1;
}

void FreeStringArrays(const std::vector<CmdOptionStruct> &table) {
  for (const CmdOptionStruct &record : table) {
    if (record.typeCode != CMD_TYPE_STRINGARRAY) continue;
    char **array = nullptr;
    std::memcpy(&array, &record.assignedValue, sizeof array);
    if (array != nullptr) MemFreeMem_(array);
  }
}

std::FILE *NullStream() {
  static std::FILE *stream = std::fopen("/dev/null", "w");
  if (stream == nullptr) std::abort();
  return stream;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  qorb::fuzz::SetUpLibrary();
  std::vector<std::string> texts = qorb::fuzz::SplitTexts(data, size, kArgumentLimit);
  std::vector<CmdOptionStruct> table = Table();
  const std::size_t used = RewriteRecord(table, texts);
  std::vector<char *> argv;
  for (std::size_t i = used; i < texts.size(); ++i) argv.push_back(texts[i].data());
  const auto argc = static_cast<int>(argv.size());
  argv.push_back(nullptr);

  const qorb::fuzz::AllocationBalance balance;
  CmdParseResult *result =
      CmdParseCmdLine(argc, argv.data(), table.data(), static_cast<uint32_t>(table.size()));
  if (result == nullptr) std::abort();
  if (std::memchr(result->message, '\0', sizeof result->message) == nullptr) std::abort();
  const uint32_t code = result->code;
  MemFreeMem_(result);
  if (code != CMD_RC_BAD_TABLE) {
    CmdDisplaySyntax(NullStream(), table.data(), static_cast<uint32_t>(table.size()),
                     argc > 0 ? argv[0] : "prog");
  }
  FreeStringArrays(table);
  return 0;
}
