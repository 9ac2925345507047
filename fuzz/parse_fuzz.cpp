// parse_fuzz.cpp - a parse context over any file, driven by a script of token
// reads. The input's first line is the script: its first byte picks the
// options and the special characters, each later byte one reader; the rest of
// the input is the file. A script byte '%' starts a pattern that runs to the
// script's next '%%' (or its end) and is tried with both pattern readers.
//
// Relies on: PrsStartParse and every reader of the parse context, reached
// through a file on the scratch drive.
#include <array>
#include <cstdlib>
#include <cstring>
#include <string>

#include "fuzz_input.h"
#include "qorb32n.h"

namespace {

constexpr std::size_t kScriptLimit = 96;
constexpr std::size_t kPatternSlots = 12;

const char *const kKeywords[] = {"begin", nullptr, "end", "", "x", "BEGIN2"};

// Destinations for the pattern readers, each as large as a line so that any
// directive may write into it.
struct Destinations {
  alignas(8) std::array<std::array<char, PRS_LINE_SIZE>, kPatternSlots> slots{};
};

// A pattern may name no more destinations than the reader is handed.
bool FitsDestinations(const std::string &pattern) {
  std::size_t directives = 0;
  for (char c : pattern) directives += c == '%' ? 1 : 0;
  return directives <= kPatternSlots;
}

void RunPattern(PrsContext *context, const std::string &pattern) {
  if (PrsQueryPattern(context, pattern.c_str()) > 1) std::abort();
  if (!FitsDestinations(pattern)) return;
  static Destinations out;
  auto &s = out.slots;
  PrsGetPattern(context, pattern.c_str(), s[0].data(), s[1].data(), s[2].data(), s[3].data(),
                s[4].data(), s[5].data(), s[6].data(), s[7].data(), s[8].data(), s[9].data(),
                s[10].data(), s[11].data());
  for (const auto &slot : s) {
    if (std::memchr(slot.data(), '\0', slot.size()) == nullptr) std::abort();
  }
}

// One reader, chosen by a script byte. Texts read must end inside the
// buffer; the buffer is one line long, as the readers require.
void RunReader(PrsContext *context, unsigned char op) {
  static std::array<char, PRS_LINE_SIZE + 1> text;
  text.back() = 'X';
  int32_t number = 0;
  uint32_t hex = 0;
  double real = 0.0;
  RealTime time = 0.0;
  switch (op % 20) {
    case 0:
      PrsGetWord(context, text.data());
      break;
    case 1:
      PrsGetSentence(context, text.data());
      break;
    case 2:
      PrsGetNumber(context, &number);
      break;
    case 3:
      PrsGetHexNumber(context, &hex);
      break;
    case 4:
      PrsGetReal(context, &real);
      break;
    case 5:
      PrsGetKeyword(context, kKeywords, sizeof kKeywords / sizeof *kKeywords);
      break;
    case 6:
      PrsNextWord(context, op & 0x20 ? nullptr : "begin");
      break;
    case 7:
      PrsNextChar(context, static_cast<char>(op >> 3));
      break;
    case 8:
      PrsQueryChar(context, '=');
      break;
    case 9:
      PrsQueryWord(context, "end");
      break;
    case 10:
      PrsGetRealTime(context, &time);
      break;
    case 11:
      PrsNextLine(context);
      break;
    case 12:
      PrsResetToLine(context, op >> 5);
      break;
    case 13:
      PrsGetLine(context, text.data());
      break;
    case 14:
      PrsIsEndOfLine(context);
      break;
    case 15:
      PrsIsEndOfFile(context);
      break;
    case 16:
      RunPattern(context, "%w = %n");
      break;
    case 17:
      RunPattern(context, "%-w %*= %x %?");
      break;
    case 18:
      RunPattern(context, "[%w] %*");
      break;
    default:
      PrsQueryLineNumber(context);
      if (std::strlen(PrsQueryFileName(context)) >= PRS_FILE_NAME_SIZE) std::abort();
      break;
  }
  if (text.back() != 'X' || context->position < context->lineBuffer ||
      context->position > context->lineBuffer + PRS_LINE_SIZE - 1) {
    std::abort();
  }
}

const char *SpecialsFor(unsigned char selector) {
  switch (selector >> 6) {
    case 0:
      return nullptr;
    case 1:
      return "=;,[]";
    case 2:
      return "";
    default:
      return "=;,[]{}()<>!@#$%^&*-+/\\|:.?'\"`~0123456789";  // longer than the field
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  qorb::fuzz::SetUpLibrary();
  const auto *newline = static_cast<const std::uint8_t *>(std::memchr(data, '\n', size));
  const std::size_t scriptSize = newline != nullptr ? static_cast<std::size_t>(newline - data) : 0;
  if (scriptSize == 0 || scriptSize > kScriptLimit) return 0;
  const std::string script(reinterpret_cast<const char *>(data), scriptSize);
  const std::string path =
      qorb::fuzz::WriteInputFile("parse.txt", data + scriptSize + 1, size - scriptSize - 1);

  const qorb::fuzz::AllocationBalance balance;
  const auto selector = static_cast<unsigned char>(script[0]);
  PrsContext *context = PrsStartParse(path.c_str(), selector & 0x1Fu, SpecialsFor(selector));
  if (context == nullptr) return 0;
  for (std::size_t i = 1; i < script.size(); ++i) {
    if (script[i] != '%') {
      RunReader(context, static_cast<unsigned char>(script[i]));
      continue;
    }
    const std::size_t end = script.find("%%", i + 1);
    const std::size_t stop = end == std::string::npos ? script.size() : end;
    RunPattern(context, script.substr(i, stop - i));
    i = stop + 1;
  }
  char word[PRS_LINE_SIZE];
  for (int words = 0; words < 10000 && PrsGetWord(context, word) != 0; ++words) {
  }
  PrsEndParse_(context);
  return 0;
}
