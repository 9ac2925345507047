// comments.h - the three comment conventions of parser inputs.
//
// Relies on: parser.h. Hash and REM comments drop whole lines; slash
// comments are cut out of a line, and a block comment may span lines.
#pragma once

#include "parse/parser.h"

namespace qorb::prs {

// Whether the line's first non-blank character is '#'.
bool IsHashComment(const char *line);

// Whether the line's first non-blank characters are r, e, m in any case.
bool IsRemComment(const char *line);

// Removes "/*...*/" (carrying an open block into the next line through
// inComment) and "//..." from the current line, in place; whether any text
// stood outside the comments, so that the line is kept.
bool StripSlashComments(PrsContext &context);

}  // namespace qorb::prs
