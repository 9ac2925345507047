// pattern.cpp - reading a sequence of tokens by a pattern, and testing the
// rest of the current line against one without moving.
//
// Relies on: the word, number, hexadecimal and character readers. Both walk
// the same elements, decoded in one place; they differ in that the test
// never crosses lines, lets %n and %x match zero digits, and fails on a
// directive it does not know where the reader ignores it.
#include <cstdarg>
#include <cstring>

#include "parse/parser.h"

namespace qorb::prs {
namespace {

enum class ElementKind { kEnd, kLiteral, kWord, kNumber, kHex, kSkipPast, kStep, kUnknown };

struct Element {
  ElementKind kind;
  bool discard;  // %-w, %-n, %-x
  char c;        // the literal, or the stop character of %* (NUL: none)
};

bool IsReaderDirective(char c) {
  return c == 'w' || c == 'n' || c == 'x';
}

ElementKind DirectiveKind(char c) {
  switch (c) {
    case 'w':
      return ElementKind::kWord;
    case 'n':
      return ElementKind::kNumber;
    case 'x':
      return ElementKind::kHex;
    case '*':
      return ElementKind::kSkipPast;
    case '?':
      return ElementKind::kStep;
    default:
      return ElementKind::kUnknown;
  }
}

// Decodes the element after the pattern's blanks and moves pattern past it;
// never past the pattern's NUL.
Element NextElement(const char *&pattern) {
  pattern = SkipBlanks(pattern);
  if (*pattern == '\0') return {ElementKind::kEnd, false, '\0'};
  if (*pattern != '%') return {ElementKind::kLiteral, false, *pattern++};
  ++pattern;
  const bool discard = pattern[0] == '-' && IsReaderDirective(pattern[1]);
  if (discard) ++pattern;
  const ElementKind kind = DirectiveKind(*pattern);
  if (*pattern != '\0') ++pattern;
  if (kind != ElementKind::kSkipPast) return {kind, discard, '\0'};
  pattern = SkipBlanks(pattern);
  const char stop = *pattern;
  if (stop != '\0') ++pattern;
  return {kind, false, stop};
}

// Past the first character at or after text, on this line, that matches
// stop; nullptr when the line ends first. No stop character means the end
// of the line.
char *SkipPast(const PrsContext &context, char *text, char stop) {
  if (stop == '\0') return text + std::strlen(text);
  while (*text != '\0' && !CharMatches(context, stop, *text)) ++text;
  return *text != '\0' ? text + 1 : nullptr;
}

// One character on, but not past the end of the line.
char *StepOne(char *text) {
  return *text != '\0' ? text + 1 : text;
}

// Runs one storing reader into the destination the caller passed for it;
// a NULL destination fails unless the element discards its result.
template <typename T>
bool ReadStored(PrsContext &context, const Element &element, T *destination,
                bool (*reader)(PrsContext &, T *)) {
  if (!element.discard && destination == nullptr) return false;
  return reader(context, destination);
}

// Runs an element that stores nothing.
bool ReadUnstored(PrsContext &context, const Element &element) {
  switch (element.kind) {
    case ElementKind::kLiteral:
      return ReadChar(context, element.c);
    case ElementKind::kSkipPast: {
      char *const past = SkipPast(context, context.position, element.c);
      if (past == nullptr) return false;
      context.position = past;
      return true;
    }
    case ElementKind::kStep:
      context.position = StepOne(context.position);
      return true;
    default:  // an unknown directive is passed over
      return true;
  }
}

// The scan point after the element, or nullptr when the element fails.
char *TestElement(const PrsContext &context, const Element &element, char *scan) {
  switch (element.kind) {
    case ElementKind::kLiteral:
      return CharMatches(context, element.c, *scan) ? scan + 1 : nullptr;
    case ElementKind::kWord:
      return SkipWord(context, scan);
    case ElementKind::kNumber:
      while (IsDigit(*scan)) ++scan;
      return scan;
    case ElementKind::kHex:
      while (IsHexDigit(*scan)) ++scan;
      return scan;
    case ElementKind::kSkipPast:
      return SkipPast(context, scan, element.c);
    case ElementKind::kStep:
      return StepOne(scan);
    default:
      return nullptr;
  }
}

bool TestPattern(const PrsContext &context, const char *pattern) {
  char *scan = context.position;
  for (Element element = NextElement(pattern); element.kind != ElementKind::kEnd;
       element = NextElement(pattern)) {
    scan = TestElement(context, element, SkipBlanks(scan));
    if (scan == nullptr) return false;
  }
  return true;
}

}  // namespace
}  // namespace qorb::prs

extern "C" {

// The walk stays here, where the argument list was started: each storing
// element takes the next argument as the pointer type its reader fills.
QORB_API uint32_t PrsGetPattern(PrsContext *context, const char *pattern, ...) {
  using qorb::prs::ElementKind;
  if (context == nullptr || pattern == nullptr) return 0;
  std::va_list args;
  va_start(args, pattern);
  bool read = true;
  const char *walk = pattern;
  for (auto element = qorb::prs::NextElement(walk); read && element.kind != ElementKind::kEnd;
       element = qorb::prs::NextElement(walk)) {
    const bool takes = !element.discard;
    switch (element.kind) {
      case ElementKind::kWord:
        read = qorb::prs::ReadStored(*context, element, takes ? va_arg(args, char *) : nullptr,
                                     qorb::prs::ReadWord);
        break;
      case ElementKind::kNumber:
        read = qorb::prs::ReadStored(*context, element, takes ? va_arg(args, int32_t *) : nullptr,
                                     qorb::prs::ReadNumber);
        break;
      case ElementKind::kHex:
        read = qorb::prs::ReadStored(*context, element, takes ? va_arg(args, uint32_t *) : nullptr,
                                     qorb::prs::ReadHexNumber);
        break;
      default:
        read = qorb::prs::ReadUnstored(*context, element);
    }
  }
  va_end(args);
  return read ? 1 : 0;
}

QORB_API uint32_t PrsQueryPattern(PrsContext *context, const char *pattern) {
  if (context == nullptr || pattern == nullptr) return 0;
  return qorb::prs::TestPattern(*context, pattern) ? 1 : 0;
}

}  // extern "C"
