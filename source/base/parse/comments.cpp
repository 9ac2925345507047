// comments.cpp - dropping hash and REM comment lines and cutting slash
// comments out of a line.
//
// Relies on: strstr for the comment marks and the platform's
// case-insensitive compare for "rem". The slash filter rewrites the line in
// place: what it keeps always lies at or before where it reads, so the
// line buffer serves as its own scratch and nothing is allocated.
#include <cstring>

#include "parse/comments.h"
#include "platform/common/text_compare.h"

namespace qorb::prs {
namespace {

// Moves the text [from, to) down to out and answers the new end of out.
char *Keep(char *out, const char *from, const char *to) {
  const auto length = static_cast<std::size_t>(to - from);
  std::memmove(out, from, length);
  return out + length;
}

}  // namespace

bool IsHashComment(const char *line) {
  return *SkipBlanks(line) == '#';
}

bool IsRemComment(const char *line) {
  return plat::CompareNoCaseN(SkipBlanks(line), "rem", 3) == 0;
}

bool StripSlashComments(PrsContext &context) {
  char *scan = context.lineBuffer;
  if (*scan == '\0') return false;
  char *const end = scan + std::strlen(scan);
  char *out = scan;
  bool kept = false;
  while (scan != end) {
    if (context.inComment != 0) {
      char *close = std::strstr(scan, "*/");
      if (close != nullptr) context.inComment = 0;
      scan = close != nullptr ? close + 2 : end;
    } else if (char *lineComment = std::strstr(scan, "//"); lineComment != nullptr) {
      // A line comment ends the line, even one that starts inside a
      // "/*...*/" pair further on.
      kept = kept || lineComment != scan;
      out = Keep(out, scan, lineComment);
      scan = end;
    } else if (char *open = std::strstr(scan, "/*"); open != nullptr) {
      kept = kept || open != scan;
      out = Keep(out, scan, open);
      context.inComment = 1;
      scan = open + 2;
    } else {
      out = Keep(out, scan, end);
      kept = true;
      scan = end;
    }
  }
  *out = '\0';
  return kept;
}

}  // namespace qorb::prs
