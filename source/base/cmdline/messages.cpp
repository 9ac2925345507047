// messages.cpp - the parser's result messages, written into the 80-byte
// message field of the result block.
//
// Relies on: the library's bounded formatter, which cuts a message quoting a
// long argument at the end of the field and always terminates it.
#include "bounded_format.h"
#include "cmdline/cmdline_private.h"

namespace qorb::cmd {

void Fail(CmdParseResult &result, std::uint32_t code, Message message, const char *argument) {
  result.code = code;
  char *out = result.message;
  constexpr std::size_t size = sizeof result.message;
  switch (message) {
    case Message::MissingMandatory:
      BoundedFormat(out, size, "Missing mandatory argument.");
      return;
    case Message::ErrorConverting:
      BoundedFormat(out, size, "Error converting: %s", argument);
      return;
    case Message::UnexpectedParameter:
      BoundedFormat(out, size, "Unexpected parameter: %s", argument);
      return;
    case Message::MandatorySwitchUsed:
      BoundedFormat(out, size, "Invalid use of mandatory switch: %s", argument);
      return;
    case Message::SwitchTwice:
      BoundedFormat(out, size, "Same switch specified twice: %s", argument);
      return;
    case Message::MissingSwitchArgument:
      BoundedFormat(out, size, "Missing switch argument");
      return;
    case Message::FormatError:
      BoundedFormat(out, size, "Format error: %s", argument);
      return;
    case Message::BadParameter:
      BoundedFormat(out, size, "Bad parameter: %s", argument);
      return;
    case Message::ExclusiveSwitches:
      BoundedFormat(out, size, "Second instance of mutually exclusive switches");
      return;
  }
}

void FailUnknownSwitch(CmdParseResult &result, char letter) {
  result.code = CMD_RC_SYNTAX;
  BoundedFormat(result.message, sizeof result.message, "Unknown switch: -%c\n", letter);
}

}  // namespace qorb::cmd
