// misc.cpp - small text utilities of the parser's family that stand on
// their own: replacing one character by another throughout a text.
//
// Relies on nothing but the language.
#include "qorb32n.h"

namespace qorb::msc {

// Walks the text's original extent, so that a NUL written as `to` only
// shortens it and the walk still ends at the old terminator.
void ReplaceChar(char *text, char from, char to) {
  for (; *text != '\0'; ++text) {
    if (*text == from) *text = to;
  }
}

}  // namespace qorb::msc

extern "C" {

QORB_API void MscReplaceChar(char *text, char from, char to) {
  if (text != nullptr && from != '\0') qorb::msc::ReplaceChar(text, from, to);
}

}  // extern "C"
