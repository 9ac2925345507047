// lines.cpp - reading the next accepted line: one fgets per physical line
// (or per buffer-full of a longer one), the line end cut off, comment lines
// dropped and line markers applied.
//
// Relies on: stdio's fgets on the context's stream (opened through the
// platform layer), the comment filters of comments.cpp.
#include <cstdio>
#include <cstring>

#include "parse/comments.h"
#include "parse/parser.h"

namespace qorb::prs {
namespace {

// Cuts the trailing run of CRs and LFs, but keeps an LF that is the line's
// first character: a blank line reads as "\n", a line of CRs as "".
void CutLineEnd(char *line) {
  std::size_t length = std::strlen(line);
  while (length > 0 && (line[length - 1] == '\n' || line[length - 1] == '\r')) {
    if (length == 1 && line[0] == '\n') break;
    --length;
  }
  line[length] = '\0';
}

// Applies a marker line '#<number> "<name>"': the number becomes the line
// number (the next line read counts on from it) and the text between the
// quotes the file name. A part that is not there leaves its field as it is.
void ApplyLineMarker(PrsContext &context) {
  const char *text = SkipBlanks(context.lineBuffer + 1);
  if (!IsDigit(*text)) return;
  std::uint32_t number = 0;
  for (; IsDigit(*text); ++text) number = number * 10 + static_cast<std::uint32_t>(*text - '0');
  context.lineNumber = number;
  text = SkipBlanks(text);
  if (*text == '"') CopyCut(context.fileName, text + 1, '"');
}

// Whether the line just read is kept, after the options' comment handling
// has had its say (slash comments also rewrite the line).
bool KeepLine(PrsContext &context) {
  if ((context.options & PRS_LINE_MARKERS) != 0) {
    if (context.lineBuffer[0] != '#') return true;
    ApplyLineMarker(context);
    return false;
  }
  switch (context.options & PRS_COMMENT_MASK) {
    case PRS_COMMENT_SLASH:
      return StripSlashComments(context);
    case PRS_COMMENT_HASH:
      return !IsHashComment(context.lineBuffer);
    case PRS_COMMENT_REM:
      return !IsRemComment(context.lineBuffer);
    default:
      return true;
  }
}

}  // namespace

bool NextLine(PrsContext &context) {
  for (;;) {
    if (std::fgets(context.lineBuffer, sizeof context.lineBuffer, context.stream) == nullptr) {
      context.endOfFile = 1;
      context.lineBuffer[0] = '\0';
      context.position = context.lineBuffer;
      return false;
    }
    ++context.lineNumber;
    CutLineEnd(context.lineBuffer);
    if (KeepLine(context)) break;
  }
  context.position = SkipBlanks(context.lineBuffer);
  return true;
}

}  // namespace qorb::prs
