// keys.cpp - the wait for a key between help pages and dumped records.
//
// Relies on: the C library's standard input stream. A console key read
// delivers an extended key as a 0 byte followed by its code, so a 0 byte is
// followed by a second read.
#include <cstdio>

#include "cmdline/cmdline_private.h"

namespace qorb::cmd {

void WaitForKey() {
  if (std::getchar() == 0) (void)std::getchar();
}

}  // namespace qorb::cmd
