// parser.h - what the text parser's source files share: the character
// classes, the line reader, the token finder and the readers that patterns
// are made of.
//
// Relies on: qorb32n.h for PrsContext. Only parse/*.cpp include it. Every
// helper keeps `position` inside the current line, between its first
// character and its terminating NUL.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "qorb32n.h"

namespace qorb::prs {

// The source path the context's allocation carries.
inline constexpr const char *kSourcePath = "base\\parse";

// Space, tab, carriage return and line feed, the parser's only blanks.
inline bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

inline bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

inline bool IsHexDigit(char c) {
  return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// ASCII only, as the run-time's default character tables are.
inline bool IsLetter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

inline char *SkipBlanks(char *text) {
  while (IsBlank(*text)) ++text;
  return text;
}

inline const char *SkipBlanks(const char *text) {
  while (IsBlank(*text)) ++text;
  return text;
}

// The end of the run of non-blank characters at text.
inline char *SkipNonBlanks(char *text) {
  while (*text != '\0' && !IsBlank(*text)) ++text;
  return text;
}

inline bool CaseSensitive(const PrsContext &context) {
  return (context.options & PRS_CASE_SENSITIVE) != 0;
}

// A word character is neither blank nor NUL, and is a letter, a digit or
// absent from the context's specials.
inline bool IsWordChar(const PrsContext &context, char c) {
  if (c == '\0' || IsBlank(c)) return false;
  if (IsLetter(c) || IsDigit(c)) return true;
  return std::strchr(context.specials, c) == nullptr;
}

// The end of the run of word characters at text.
inline char *SkipWord(const PrsContext &context, char *text) {
  while (IsWordChar(context, *text)) ++text;
  return text;
}

// Copies text up to its end or the first stop character into a fixed
// field, cut to fit, always NUL-terminated.
template <std::size_t N>
void CopyCut(char (&field)[N], const char *text, char stop = '\0') {
  std::size_t length = 0;
  for (; length < N - 1 && text[length] != '\0' && text[length] != stop; ++length) {
    field[length] = text[length];
  }
  field[length] = '\0';
}

// Whether input matches the wanted character: equal, or a letter in the
// other case when the context ignores case. The end of a line never does.
bool CharMatches(const PrsContext &context, char wanted, char input);

// Whether the word at text (its first length characters) matches word: it
// is not empty and word begins with it, compared as the context's case rule
// says.
bool WordMatches(const PrsContext &context, const char *text, std::size_t length, const char *word);

// Reads the next accepted line into the context: true, or false at the end
// of the input (then endOfFile is set and the line is empty).
bool NextLine(PrsContext &context);

// The start of the next token: past blanks, reading lines while the current
// one is used up; the empty line at the end of the input. `position` moves
// only with the lines read.
char *FindToken(PrsContext &context);

// The readers patterns are made of; each fails at once at the end of the
// input. A NULL destination reads and discards.
bool ReadWord(PrsContext &context, char *buffer);
bool ReadNumber(PrsContext &context, std::int32_t *value);
bool ReadHexNumber(PrsContext &context, std::uint32_t *value);
bool ReadChar(PrsContext &context, char wanted);

}  // namespace qorb::prs
