// text_forms.h - the text forms that do not go through a format: verbosity
// masks as words, durations in days, hours, minutes and seconds, and dotted
// strings made of blank-padded parts.
//
// Relies on: the descriptor walker for the parts of a dotted string (the
// counts of its Sdsc's fields). Written texts are cut to INI_MAX_TEXT.
#pragma once

#include <cstdint>
#include <string>

#include "ini/ini_private.h"

namespace qorb::ini {

// "Error|Warning|Info|Debug|Area1|...|Area12" for the bits set; a text that
// would begin with '|' begins with a blank instead.
void VerbosityToText(std::uint32_t mask, TextBuffer &out);
// The mask of words separated by blanks and '|'; 0xF000 for any other word.
std::uint32_t VerbosityFromText(const char *text);

// "1d1h1m1s" with the parts that are not 0; 0 gives the empty text.
void DurationToText(std::uint32_t seconds, TextBuffer &out);
// Numbers followed by d, h, m or any other character (seconds), wrapping at
// 32 bits.
std::uint32_t DurationFromText(const char *text);

// The parts of a dotted array up to their first blank, joined by '.'.
void DottedToText(const unsigned char *array, const Fdsc &field, TextBuffer &out);
// The count characters a dotted text gives: its '.'-separated parts, each
// cut or blank-padded to its width.
std::string DottedFromText(const char *text, const Fdsc &field);

}  // namespace qorb::ini
