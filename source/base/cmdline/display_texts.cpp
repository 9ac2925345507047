// display_texts.cpp - the fixed texts the displays share: how the syntax
// lines describe a value type and how the record dump names it.
//
// Relies on: nothing beyond the type codes of qorb32n.h.
#include <iterator>

#include "cmdline/cmdline_private.h"

namespace qorb::cmd {
namespace {

constexpr const char *kDescriptions[] = {
    "(integer)",        "(integer)", "(boolean)",          "(integer)",      "(integer)",
    "(floating point)", "(string)",  "(single character)", "(string array)", "(floating point)",
};

constexpr const char *kNames[] = {
    "SHORT",  "USHORT", "BOOLEAN",   "LONG",        "ULONG",
    "DOUBLE", "STRING", "CHARACTER", "STRINGARRAY", "FLOAT",
};

static_assert(std::size(kDescriptions) == kLastTypeCode + 1);
static_assert(std::size(kNames) == kLastTypeCode + 1);

}  // namespace

const char *TypeDescription(std::uint32_t typeCode) {
  return typeCode <= kLastTypeCode ? kDescriptions[typeCode] : "(unknown type)";
}

const char *TypeName(std::uint32_t typeCode) {
  return typeCode <= kLastTypeCode ? kNames[typeCode] : "UNKNOWN";
}

}  // namespace qorb::cmd
