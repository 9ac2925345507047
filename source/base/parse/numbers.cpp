// numbers.cpp - the readers of decimal, hexadecimal and floating-point
// numbers and of time values.
//
// Relies on: the token finder, strtod for the floating-point conversion and
// the time family's standard-form parser. The integer conversions are done
// here, digit by digit, so that each stops exactly where its position rule
// says and holds an out-of-range value at the nearest 32-bit limit (as
// strtol and strtoul do with a 32-bit long).
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "parse/parser.h"
#include "time_internal.h"

namespace qorb::prs {
namespace {

constexpr std::uint64_t kUnsignedLimit = 0xFFFFFFFFu;
constexpr std::uint64_t kNegativeLimit = 0x80000000u;  // magnitude of INT32_MIN

// Steps over one '+' or '-'; whether it was a minus.
bool TakeSign(const char *&text) {
  const bool negative = *text == '-';
  if (*text == '+' || *text == '-') ++text;
  return negative;
}

std::uint32_t HexDigitValue(char c) {
  if (IsDigit(c)) return static_cast<std::uint32_t>(c - '0');
  return static_cast<std::uint32_t>((c | 0x20) - 'a' + 10);
}

// Reads the digits at text in the given base (10 or 16), moving text past
// them; a magnitude beyond `limit` stops growing, so it never overflows.
std::uint64_t ReadMagnitude(const char *&text, std::uint32_t base, std::uint64_t limit) {
  std::uint64_t magnitude = 0;
  for (; base == 16 ? IsHexDigit(*text) : IsDigit(*text); ++text) {
    if (magnitude <= limit) magnitude = magnitude * base + HexDigitValue(*text);
  }
  return magnitude;
}

std::int32_t SignedValue(std::uint64_t magnitude, bool negative) {
  if (negative) {
    return magnitude >= kNegativeLimit ? INT32_MIN : -static_cast<std::int32_t>(magnitude);
  }
  return magnitude > INT32_MAX ? INT32_MAX : static_cast<std::int32_t>(magnitude);
}

bool IsHexPrefix(const char *text) {
  return text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
}

// Where a hexadecimal token ends: past its sign, then past the run of
// hexadecimal digits and x characters.
char *HexTokenEnd(char *token) {
  if (*token == '+' || *token == '-') ++token;
  while (IsHexDigit(*token) || *token == 'x' || *token == 'X') ++token;
  return token;
}

// A character of the run a floating-point token is taken from.
bool IsRealChar(char c) {
  return IsDigit(c) || c == '.' || c == 'e' || c == 'E' || c == '+' || c == '-';
}

bool ReadReal(PrsContext &context, double *value) {
  if (context.endOfFile != 0) return false;
  char *const token = FindToken(context);
  char *end = token;
  while (IsRealChar(*end)) ++end;
  // The run alone is converted: no letters but the exponent's reach strtod,
  // so neither "inf", "nan" nor hexadecimal forms are taken.
  char number[PRS_LINE_SIZE];
  const auto length = static_cast<std::size_t>(end - token);
  std::memcpy(number, token, length);
  number[length] = '\0';
  char *stop = nullptr;
  const double converted = std::strtod(number, &stop);
  if (stop == number) return false;
  *value = converted;
  context.position = end;
  return true;
}

bool ReadRealTime(PrsContext &context, RealTime *value) {
  char *const text = SkipBlanks(context.position);
  *value = tme::StringToRealTime(text);
  context.position = SkipNonBlanks(text);
  return true;
}

}  // namespace

bool ReadNumber(PrsContext &context, std::int32_t *value) {
  if (context.endOfFile != 0) return false;
  char *const token = FindToken(context);
  const char *digits = token;
  const bool negative = TakeSign(digits);
  if (!IsDigit(*digits)) return false;
  const std::uint64_t magnitude = ReadMagnitude(digits, 10, kNegativeLimit);
  if (value != nullptr) *value = SignedValue(magnitude, negative);
  context.position = token + (digits - token);
  return true;
}

bool ReadHexNumber(PrsContext &context, std::uint32_t *value) {
  if (context.endOfFile != 0) return false;
  char *const token = FindToken(context);
  const char *digits = token;
  bool negative = false;
  if (token[0] != '\0' && (token[1] == 'x' || token[1] == 'X')) {
    // "0x" must then stand at the start; "Ax1" is no number.
    if (token[0] != '0') return false;
    digits += 2;
  } else {
    negative = TakeSign(digits);
    if (IsHexPrefix(digits) && IsHexDigit(digits[2])) digits += 2;
  }
  if (!IsHexDigit(*digits)) return false;
  const std::uint64_t magnitude = ReadMagnitude(digits, 16, kUnsignedLimit);
  if (value != nullptr) {
    const auto held =
        static_cast<std::uint32_t>(magnitude > kUnsignedLimit ? kUnsignedLimit : magnitude);
    *value = negative && magnitude <= kUnsignedLimit ? 0u - held : held;
  }
  context.position = HexTokenEnd(token);
  return true;
}

}  // namespace qorb::prs

extern "C" {

QORB_API uint32_t PrsGetNumber(PrsContext *context, int32_t *value) {
  if (context == nullptr || value == nullptr) return 0;
  return qorb::prs::ReadNumber(*context, value) ? 1 : 0;
}

QORB_API uint32_t PrsGetHexNumber(PrsContext *context, uint32_t *value) {
  if (context == nullptr || value == nullptr) return 0;
  return qorb::prs::ReadHexNumber(*context, value) ? 1 : 0;
}

QORB_API uint32_t PrsGetReal(PrsContext *context, double *value) {
  if (context == nullptr || value == nullptr) return 0;
  return qorb::prs::ReadReal(*context, value) ? 1 : 0;
}

QORB_API uint32_t PrsGetRealTime(PrsContext *context, RealTime *value) {
  if (context == nullptr || value == nullptr) return 0;
  return qorb::prs::ReadRealTime(*context, value) ? 1 : 0;
}

}  // extern "C"
