// sentence.cpp - the sentence reader: quoted texts, joined when several
// follow each other (also over lines), or else the rest of the line.
//
// Relies on: the token finder and the line reader. A quoted text has no
// escape character; its line breaks and the blanks that start its
// continuation lines are not copied.
#include "parse/parser.h"

namespace qorb::prs {
namespace {

constexpr char kQuote = '"';

// Copies the quoted text whose opening quote is at text to out, reading
// further lines while it is open; answers the end of out, or nullptr when
// the input ends first. `position` is left just past the closing quote.
char *CopyQuoted(PrsContext &context, char *text, char *out) {
  ++text;
  for (;;) {
    while (*text != '\0' && *text != kQuote) *out++ = *text++;
    if (*text == kQuote) break;
    if (!NextLine(context)) return nullptr;
    text = context.position;
  }
  context.position = text + 1;
  return out;
}

bool ReadQuoted(PrsContext &context, char *token, char *buffer) {
  char *out = buffer;
  do {
    out = CopyQuoted(context, token, out);
    if (out == nullptr) {
      *buffer = '\0';
      return false;
    }
    token = FindToken(context);
  } while (*token == kQuote);
  *out = '\0';
  context.position = token;
  return true;
}

// Copies the rest of the line (up to a CR or LF) and moves to the next line.
bool ReadRestOfLine(PrsContext &context, const char *token, char *buffer) {
  while (*token != '\0' && *token != '\r' && *token != '\n') *buffer++ = *token++;
  *buffer = '\0';
  NextLine(context);
  return true;
}

bool ReadSentence(PrsContext &context, char *buffer) {
  if (context.endOfFile != 0) return false;
  char *const token = FindToken(context);
  return *token == kQuote ? ReadQuoted(context, token, buffer)
                          : ReadRestOfLine(context, token, buffer);
}

}  // namespace
}  // namespace qorb::prs

extern "C" {

QORB_API uint32_t PrsGetSentence(PrsContext *context, char *buffer) {
  if (context == nullptr || buffer == nullptr) return 0;
  return qorb::prs::ReadSentence(*context, buffer) ? 1 : 0;
}

}  // extern "C"
