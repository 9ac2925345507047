// help.cpp - CmdDisplayFullHelp: the caller's help texts page by page, with
// a prompt and a wait for a key where a page fills.
//
// Relies on: WaitForKey of keys.cpp; fprintf on the caller's stream.
#include <algorithm>
#include <cstring>

#include "cmdline/cmdline_private.h"

namespace qorb::cmd {
namespace {

std::uint32_t CountLineFeeds(const char *text) {
  return static_cast<std::uint32_t>(std::count(text, text + std::strlen(text), '\n'));
}

// Shows the prompt, waits for a key and wipes the prompt again.
void PauseForKey(std::FILE *stream) {
  (void)std::fprintf(stream, "%s", "\n      ----<press any key to continue>-----\r");
  (void)std::fflush(stream);
  WaitForKey();
  (void)std::fprintf(stream, "%s", "                                          \r");
}

void PrintHelp(std::FILE *stream, const CmdHelpEntry *help, std::uint32_t linesPerPage) {
  std::uint32_t linesOnPage = 0;
  for (const CmdHelpEntry *entry = help; entry->helpKey != 0; ++entry) {
    const char *text = entry->text != nullptr ? entry->text : "";
    const std::uint32_t lines = CountLineFeeds(text);
    // Unsigned, as the page arithmetic has always been: a page of 0 lines
    // never fills.
    if (linesOnPage + lines >= linesPerPage - 1) {
      PauseForKey(stream);
      linesOnPage = lines;
      if (text[0] == '\n') ++text;  // a new page starts without a blank line
    } else {
      linesOnPage += lines;
    }
    (void)std::fprintf(stream, "%s", text);
  }
}

}  // namespace
}  // namespace qorb::cmd

extern "C" QORB_API void CmdDisplayFullHelp(FILE *stream, const CmdHelpEntry *help,
                                            uint32_t linesPerPage) {
  if (stream == nullptr || help == nullptr) return;
  qorb::cmd::PrintHelp(stream, help, linesPerPage);
}
