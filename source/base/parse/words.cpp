// words.cpp - finding the next token, and the readers of words, single
// characters and keywords.
//
// Relies on: the line reader, the context's specials and case option, and
// the platform's case-insensitive compare. Nothing here allocates: words are
// classified and compared where they stand in the line buffer.
#include <cstring>

#include "parse/parser.h"
#include "platform/common/text_compare.h"

namespace qorb::prs {

bool CharMatches(const PrsContext &context, char wanted, char input) {
  if (input == '\0') return false;
  if (input == wanted) return true;
  return !CaseSensitive(context) && IsLetter(wanted) &&
         plat::LowerAscii(static_cast<unsigned char>(wanted)) ==
             plat::LowerAscii(static_cast<unsigned char>(input));
}

bool WordMatches(const PrsContext &context, const char *text, std::size_t length,
                 const char *word) {
  if (length == 0) return false;
  return CaseSensitive(context) ? std::strncmp(text, word, length) == 0
                                : plat::CompareNoCaseN(text, word, length) == 0;
}

char *FindToken(PrsContext &context) {
  char *token = SkipBlanks(context.position);
  while (*token == '\0') {
    // At the end the old token points into stale buffer text: answer the
    // emptied line instead.
    if (!NextLine(context)) return context.position;
    token = SkipBlanks(context.position);
  }
  return token;
}

bool ReadWord(PrsContext &context, char *buffer) {
  if (context.endOfFile != 0) return false;
  char *const token = FindToken(context);
  char *const end = SkipWord(context, token);
  if (buffer != nullptr) {
    std::memcpy(buffer, token, static_cast<std::size_t>(end - token));
    buffer[end - token] = '\0';
  }
  context.position = end;
  return true;
}

bool ReadChar(PrsContext &context, char wanted) {
  if (context.endOfFile != 0) return false;
  char *const token = FindToken(context);
  if (!CharMatches(context, wanted, *token)) return false;
  context.position = token + 1;
  return true;
}

namespace {

bool QueryChar(PrsContext &context, char wanted) {
  return context.endOfFile == 0 && CharMatches(context, wanted, *FindToken(context));
}

bool QueryWord(PrsContext &context, const char *word) {
  if (context.endOfFile != 0) return false;
  char *const token = FindToken(context);
  return WordMatches(context, token, static_cast<std::size_t>(SkipWord(context, token) - token),
                     word);
}

// Consumes the input word when it matches word; NULL consumes the whole run
// of non-blank characters at the token.
bool NextWord(PrsContext &context, const char *word) {
  if (context.endOfFile != 0) return false;
  char *const token = FindToken(context);
  if (word == nullptr) {
    context.position = SkipNonBlanks(token);
    return true;
  }
  char *const end = SkipWord(context, token);
  if (!WordMatches(context, token, static_cast<std::size_t>(end - token), word)) return false;
  context.position = end;
  return true;
}

// Whether a table entry equals the whole word of length characters at text.
bool KeywordEquals(const PrsContext &context, const char *entry, const char *text,
                   std::size_t length) {
  if (entry == nullptr || std::strlen(entry) != length) return false;
  return CaseSensitive(context) ? std::strncmp(entry, text, length) == 0
                                : plat::CompareNoCaseN(entry, text, length) == 0;
}

std::int32_t ReadKeyword(PrsContext &context, const char *const *table, std::uint32_t count) {
  if (context.endOfFile != 0 || count == 0) return -1;
  char *const token = FindToken(context);
  char *const end = SkipWord(context, token);
  const auto length = static_cast<std::size_t>(end - token);
  for (std::uint32_t i = 0; i < count; ++i) {
    if (KeywordEquals(context, table[i], token, length)) {
      context.position = end;
      return static_cast<std::int32_t>(i);
    }
  }
  return -1;
}

}  // namespace

}  // namespace qorb::prs

extern "C" {

QORB_API uint32_t PrsGetWord(PrsContext *context, char *buffer) {
  if (context == nullptr || buffer == nullptr) return 0;
  return qorb::prs::ReadWord(*context, buffer) ? 1 : 0;
}

QORB_API uint32_t PrsNextChar(PrsContext *context, char c) {
  return context != nullptr && qorb::prs::ReadChar(*context, c) ? 1 : 0;
}

QORB_API uint32_t PrsQueryChar(PrsContext *context, char c) {
  return context != nullptr && qorb::prs::QueryChar(*context, c) ? 1 : 0;
}

QORB_API uint32_t PrsQueryWord(PrsContext *context, const char *word) {
  if (context == nullptr || word == nullptr) return 0;
  return qorb::prs::QueryWord(*context, word) ? 1 : 0;
}

QORB_API uint32_t PrsNextWord(PrsContext *context, const char *word) {
  return context != nullptr && qorb::prs::NextWord(*context, word) ? 1 : 0;
}

QORB_API int32_t PrsGetKeyword(PrsContext *context, const char *const *table, uint32_t count) {
  if (context == nullptr || table == nullptr) return -1;
  return qorb::prs::ReadKeyword(*context, table, count);
}

}  // extern "C"
