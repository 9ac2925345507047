// formats.h - print and scan formats of the value conversions: choosing the
// descriptor's own format or the type's, checking an own format, and
// applying it with an argument of a width the format is rewritten to name.
//
// Relies on: the type table of walker.h and the bounded formatter. An own
// format is held in 80 bytes (79 characters, longer ones are cut) and is
// used only when it holds exactly one conversion of the field's kind, with
// no '*', '$', '[', 'n' or 'p'; otherwise the type's default takes over.
// Length modifiers are rewritten to the width of the argument passed, with
// the 32-bit meaning of "l" (as "%lx" has on the library's home platform).
#pragma once

#include <cstdint>

#include "ini/ini_private.h"

namespace qorb::ini {

// Prints a number of an integer type (2 to 6) into out.
void PrintInteger(TextBuffer &out, const Fdsc &field, std::int64_t value);
// Prints a number of a real type (7, 8) into out.
void PrintReal(TextBuffer &out, const Fdsc &field, double value);
// Puts a text through the field's format: the own format, the one made from
// count for FDSC_FIXEDSTRING, or "%s".
void PrintText(TextBuffer &out, const Fdsc &field, const char *text);

// Scans a number of an integer type; false when the text holds none.
bool ScanInteger(const char *text, const Fdsc &field, std::int64_t &value);
// Scans a number of a real type, single or double as the field's type says.
bool ScanFloat(const char *text, const Fdsc &field, float &value);
bool ScanDouble(const char *text, const Fdsc &field, double &value);

}  // namespace qorb::ini
