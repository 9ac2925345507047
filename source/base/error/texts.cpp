// texts.cpp - the fixed texts of error numbers: the class names that the
// message box shows for 1 to 9 and the message formats of 100 to 107.
#include <iterator>

#include "error/error_private.h"

namespace qorb::err {

namespace {

constexpr const char *kClassNames[] = {
    "Win Error", "Gpi Error",     "Dos Error",      "Null Error",     "Assert Error",
    "RC Error",  "Boolean Error", "Critical Error", "Memory Corrupt",
};

// Numbers 10 to 99 have no class of their own.
constexpr const char *kUnnamedClass = "Unknown Error";

constexpr std::uint32_t kFirstMessageNumber = 100;
constexpr const char *kMessageFormats[] = {
    "Open failed on file: %s",
    "Read failed on file: %s",
    "Write failed on file: %s",
    "Malloc failed",
    "Thread start failed for thread: %s",
    "Font load failed for font: %s",
    "Internal error",
    "Bad format in file: %s",
};

}  // namespace

const char *ClassName(std::uint32_t number) {
  if (number >= 1 && number <= std::size(kClassNames)) return kClassNames[number - 1];
  return kUnnamedClass;
}

const char *MessageFormat(std::uint32_t number) {
  if (number < kFirstMessageNumber) return nullptr;
  const std::uint32_t offset = number - kFirstMessageNumber;
  return offset < std::size(kMessageFormats) ? kMessageFormats[offset] : nullptr;
}

}  // namespace qorb::err

extern "C" QORB_API const char *ErrGetMessage(std::uint32_t number) {
  return qorb::err::MessageFormat(number);
}
